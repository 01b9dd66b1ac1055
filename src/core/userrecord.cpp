#include "core/userrecord.h"

#include <cstring>

namespace {

// Copies a stored text field, cut at the width less its terminator.
void ReadText(const unsigned char* field, size_t width, char* out) {
  size_t n = 0;
  while (n + 1 < width && field[n]) ++n;
  std::memcpy(out, field, n);
  out[n] = '\0';
}

void WriteText(unsigned char* field, size_t width, const char* text) {
  size_t n = std::strlen(text);
  if (n > width - 1) n = width - 1;
  std::memcpy(field, text, n);
  field[n] = 0;
}

}  // namespace

const char* const kWebMenuOptions[kWebMenuOptionCount] = {"All Options Enabled", "Text SMS Only"};

int WebMenuIndex(unsigned char code) { return code >= kWebMenuBase + 1 && code <= kWebMenuBase + 4 ? code - kWebMenuBase : 0; }

UserFields ReadUserRecord(const unsigned char* r) {
  using namespace UserRecord;
  UserFields f;
  ReadText(r + kNameOffset, kNameSize, f.name);
  ReadText(r + kPasswordOffset, kPasswordSize, f.password);
  ReadText(r + kFullNameOffset, kFullNameSize, f.fullName);
  ReadText(r + kIpAddressesOffset, kIpAddressesSize, f.ipAddresses);
  f.webLogin = r[kWebLoginDisabledOffset] == 0;
  f.smppLogin = r[kSmppEnabledOffset] != 0;
  f.acceptReceived = r[kAcceptReceivedOffset] != 0;
  f.admin = r[kAdminOffset] == kAdminGranted;
  f.webMenu = WebMenuIndex(r[kWebMenuOffset]);
  return f;
}

void BuildUserRecord(const UserFields& f, unsigned char* r) {
  using namespace UserRecord;
  std::memset(r, 0, kSize);
  WriteText(r + kNameOffset, kNameSize, f.name);
  WriteText(r + kPasswordOffset, kPasswordSize, f.password);
  WriteText(r + kFullNameOffset, kFullNameSize, f.fullName);
  r[kWebLoginDisabledOffset] = f.webLogin ? 0 : 1;
  r[kSmppEnabledOffset] = f.smppLogin ? 1 : 0;
  WriteText(r + kIpAddressesOffset, kIpAddressesSize, f.ipAddresses);
  r[kWebMenuOffset] = static_cast<unsigned char>(kWebMenuBase + (f.webMenu > 0 && f.webMenu <= 4 ? f.webMenu : 0));
  r[kAdminOffset] = f.webLogin && f.admin ? kAdminGranted : 0;
  r[kAcceptReceivedOffset] = f.acceptReceived ? 1 : 0;
}

void FillAccountRecord(const UserFields& f, unsigned char* a) {
  using namespace AccountRecord;
  std::memset(a + kNameOffset, 0, kNameSize);
  std::memset(a + kPasswordOffset, 0, kPasswordSize);
  std::memset(a + kFullNameOffset, 0, kFullNameSize);
  std::memset(a + kIpAddressesOffset, 0, kIpAddressesSize);
  WriteText(a + kNameOffset, kNameSize, f.name);
  WriteText(a + kPasswordOffset, kPasswordSize, f.password);
  WriteText(a + kFullNameOffset, kFullNameSize, f.fullName);
  a[kFlag203] = 1;
  a[kFlag204] = 0;
  a[kFlag205] = 1;
  a[kFlag206] = 1;
  WriteText(a + kIpAddressesOffset, kIpAddressesSize, f.ipAddresses);
}

bool IsUsableUserName(const char* name) {
  size_t n = std::strlen(name);
  if (n == 0 || name[0] == ' ' || name[n - 1] == ' ' || name[n - 1] == '.') return false;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 32 || std::strchr("\\/:*?\"<>|=;[]", c)) return false;
  }
  return true;
}
