#include "modems.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/textrules.h"

namespace {

std::string ReadString(HKEY key, const char* value) {
  char text[512];
  DWORD size = sizeof text - 1, type = 0;
  if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return "";
  text[size < sizeof text ? size : sizeof text - 1] = '\0';
  return text;
}

// Numbered values of an Init subkey, in number order.
std::vector<std::pair<unsigned long, std::string>> ReadNumbered(HKEY init) {
  std::vector<std::pair<unsigned long, std::string>> values;
  for (DWORD i = 0;; ++i) {
    char name[64];
    DWORD nameSize = sizeof name;
    if (RegEnumValueA(init, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    char* end = nullptr;
    unsigned long n = strtoul(name, &end, 10);
    if (!*name || *end) continue;
    values.emplace_back(n, ReadString(init, name));
  }
  std::sort(values.begin(), values.end());
  return values;
}

}  // namespace

std::vector<InstalledModem> ListInstalledModems() {
  std::vector<InstalledModem> modems;
  HKEY cls;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModemClassKey, 0, KEY_READ, &cls) != ERROR_SUCCESS) return modems;
  for (DWORD i = 0;; ++i) {
    char instance[64];
    DWORD size = sizeof instance;
    if (RegEnumKeyExA(cls, i, instance, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY key;
    if (RegOpenKeyExA(cls, instance, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    InstalledModem m;
    m.name = ReadString(key, "FriendlyName");
    if (m.name.empty()) m.name = ReadString(key, "DriverDesc");
    m.key = std::string(kModemClassKey) + "\\" + instance;
    m.port = ReadString(key, "AttachedTo");
    DCB dcb;
    DWORD dcbSize = sizeof dcb, type = 0;
    if (RegQueryValueExA(key, "DCB", nullptr, &type, reinterpret_cast<BYTE*>(&dcb), &dcbSize) == ERROR_SUCCESS &&
        type == REG_BINARY && dcbSize >= offsetof(DCB, BaudRate) + sizeof dcb.BaudRate)
      m.baudRate = dcb.BaudRate;
    RegCloseKey(key);
    if (!m.name.empty()) modems.push_back(m);
  }
  RegCloseKey(cls);
  return modems;
}

bool FindInstalledModem(const char* name, InstalledModem* modem) {
  if (!name || !*name) return false;
  for (const InstalledModem& m : ListInstalledModems())
    if (CompareNoCase(m.name.c_str(), name) == 0) {
      *modem = m;
      return true;
    }
  return false;
}

std::vector<std::string> ReadInitStrings(const InstalledModem& modem) {
  std::vector<std::string> inits;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, modem.key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return inits;
  HKEY init;
  if (RegOpenKeyExA(key, "Init", 0, KEY_READ, &init) == ERROR_SUCCESS) {
    for (auto& v : ReadNumbered(init)) inits.push_back(v.second);
    RegCloseKey(init);
  }
  std::string user = ReadString(key, "UserInit");
  if (!user.empty()) inits.push_back(user);
  RegCloseKey(key);
  return inits;
}

bool AppendInitString(const InstalledModem& modem, const std::string& command) {
  HKEY init;
  std::string path = modem.key + "\\Init";
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &init,
                      nullptr) != ERROR_SUCCESS)
    return false;
  auto values = ReadNumbered(init);
  unsigned long next = values.empty() ? 1 : values.back().first + 1;
  std::string text = command + "<cr>";  // the drivers' own notation for a carriage return
  bool ok = RegSetValueExA(init, std::to_string(next).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           DWORD(text.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(init);
  return ok;
}
