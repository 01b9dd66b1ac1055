// ZARQLINK.DLL stand-in: modem hand-over with the gateway service, the list of
// data connections, the modem driver's GPRS context, modem reset.
#define ZARQLINK_BUILD
#include "gateway/zarqlink.h"

#include <ras.h>
#include <raserror.h>

#include <string>
#include <vector>

#include "core/textrules.h"
#include "initstrings.h"
#include "linkinternal.h"
#include "modemhandover.h"
#include "modems.h"
#include "serialat.h"

namespace {

const char* ModemOfProfile(const char* profile) {
  return StartsWithNoCase(profile, ZARQLINK_MODEM_PREFIX) ? profile + strlen(ZARQLINK_MODEM_PREFIX) : nullptr;
}

}  // namespace

std::vector<std::string> PhonebookEntries() {
  std::vector<std::string> names;
  DWORD size = sizeof(RASENTRYNAMEA), count = 0;
  std::vector<RASENTRYNAMEA> entries(1);
  entries[0].dwSize = sizeof(RASENTRYNAMEA);
  DWORD r = RasEnumEntriesA(nullptr, nullptr, entries.data(), &size, &count);
  if (r == ERROR_BUFFER_TOO_SMALL && size >= sizeof(RASENTRYNAMEA)) {
    RASENTRYNAMEA blank = {};
    entries.assign(size / sizeof(RASENTRYNAMEA) + 1, blank);
    for (auto& e : entries) e.dwSize = sizeof(RASENTRYNAMEA);
    size = DWORD(entries.size() * sizeof(RASENTRYNAMEA));
    r = RasEnumEntriesA(nullptr, nullptr, entries.data(), &size, &count);
  }
  if (r != 0) return names;
  for (DWORD i = 0; i < count && i < entries.size(); ++i) {
    entries[i].szEntryName[sizeof entries[i].szEntryName - 1] = '\0';
    if (entries[i].szEntryName[0]) names.push_back(entries[i].szEntryName);
  }
  return names;
}

bool PhonebookHas(const char* profile) {
  for (const std::string& entry : PhonebookEntries())
    if (CompareNoCase(entry.c_str(), profile) == 0) return true;
  return false;
}

namespace {

// Small limits are seconds, large ones milliseconds: callers pass both kinds.
DWORD WaitLimitMs(unsigned limit) { return limit < 1000 ? DWORD(limit) * 1000 : DWORD(limit); }

}  // namespace

ZARQLINK_API MODEMLEASE __cdecl ModemAllocate(const char* modemName, unsigned waitLimit, unsigned* detail) {
  handover::Outcome outcome = handover::Outcome::kRefused;
  handover::Lease* lease = handover::Request(modemName, WaitLimitMs(waitLimit), &outcome);
  if (detail) {
    switch (outcome) {
      case handover::Outcome::kNoService: *detail = MODEM_ALLOC_NO_SERVICE; break;
      case handover::Outcome::kLent: *detail = MODEM_ALLOC_LENT; break;
      case handover::Outcome::kRefused: *detail = MODEM_ALLOC_REFUSED; break;
      case handover::Outcome::kTimeout: *detail = MODEM_ALLOC_TIMEOUT; break;
      case handover::Outcome::kBusy: *detail = MODEM_ALLOC_BUSY; break;
    }
  }
  return lease;
}

ZARQLINK_API int __cdecl ModemRequested(const char* modemName) { return handover::IsRequested(modemName); }

ZARQLINK_API void __cdecl ModemRelease(MODEMLEASE lease) { handover::Return(static_cast<handover::Lease*>(lease)); }

ZARQLINK_API int __cdecl RasLoadListOrComboBox(HWND dialog, int controlId, UINT addMessage) {
  if (!GetDlgItem(dialog, controlId)) return 0;
  std::vector<std::string> names = PhonebookEntries();
  for (const InstalledModem& m : ListInstalledModems()) names.push_back(ZARQLINK_MODEM_PREFIX + m.name);
  int added = 0;
  for (const std::string& n : names) {
    LRESULT r = SendDlgItemMessageA(dialog, controlId, addMessage, 0, reinterpret_cast<LPARAM>(n.c_str()));
    if (r >= 0) ++added;  // CB_ERR and LB_ERR are -1, the space errors -2
  }
  return added;
}

ZARQLINK_API int __cdecl RasGetUserAndPassword(const char* profile, char* user, unsigned userSize, char* password,
                                               unsigned passwordSize) {
  if (user && userSize) *user = '\0';
  if (password && passwordSize) *password = '\0';
  if (!profile || !*profile || ModemOfProfile(profile)) return 0;  // a modem itself keeps no credentials
  if (!PhonebookHas(profile)) return 0;
  RASDIALPARAMSA params = {};
  params.dwSize = sizeof params;
  CopyBounded(params.szEntryName, sizeof params.szEntryName, profile);
  BOOL hasPassword = FALSE;
  if (RasGetEntryDialParamsA(nullptr, &params, &hasPassword) != 0) return 0;
  if (user && userSize) CopyBounded(user, userSize, params.szUserName);
  if (password && passwordSize) CopyBounded(password, passwordSize, hasPassword ? params.szPassword : "");
  SecureZeroMemory(params.szPassword, sizeof params.szPassword);
  return 1;
}

ZARQLINK_API int __cdecl RasGetModemName(const char* profile, char* modemName, unsigned size) {
  if (!modemName || !size) return 0;
  *modemName = '\0';
  if (!profile || !*profile) return 0;
  if (const char* modem = ModemOfProfile(profile)) {
    CopyBounded(modemName, size, modem);
    return *modem != '\0';
  }
  if (!PhonebookHas(profile)) return 0;
  DWORD entrySize = 0;
  RasGetEntryPropertiesA(nullptr, profile, nullptr, &entrySize, nullptr, nullptr);
  if (entrySize < sizeof(RASENTRYA)) entrySize = sizeof(RASENTRYA);
  std::vector<char> buffer(entrySize);
  auto* entry = reinterpret_cast<RASENTRYA*>(buffer.data());
  entry->dwSize = sizeof(RASENTRYA);
  if (RasGetEntryPropertiesA(nullptr, profile, entry, &entrySize, nullptr, nullptr) != 0) return 0;
  entry->szDeviceName[sizeof entry->szDeviceName - 1] = '\0';
  CopyBounded(modemName, size, entry->szDeviceName);
  return *modemName != '\0';
}

ZARQLINK_API unsigned short __cdecl ModemGetCIDForAPN(const char* modemName, const char* apn, int flag) {
  InstalledModem modem;
  if (!FindInstalledModem(modemName, &modem)) return 0;
  std::string apnText = apn ? apn : "";
  std::vector<std::string> inits = ReadInitStrings(modem);
  if (flag == 0) return static_cast<unsigned short>(CidForApn(inits, apnText));
  return IsUsableApn(apnText) ? static_cast<unsigned short>(ChooseCidForApn(inits, apnText)) : 0;
}

ZARQLINK_API int __cdecl ModemDriverUpdateInitStrings(const char* modemName, const char* apn) {
  InstalledModem modem;
  std::string apnText = apn ? apn : "";
  if (!FindInstalledModem(modemName, &modem) || !IsUsableApn(apnText)) return 0;
  std::vector<std::string> inits = ReadInitStrings(modem);
  if (CidForApn(inits, apnText) != 0) return 0;  // already defined: nothing to change
  unsigned cid = ChooseCidForApn(inits, apnText);
  return cid != 0 && AppendInitString(modem, PdpDefinitionCommand(cid, apnText));
}

ZARQLINK_API int __cdecl ModemReset(const char* modemName) {
  InstalledModem modem;
  if (!FindInstalledModem(modemName, &modem) || modem.port.empty()) return 0;
  AtPort port;
  if (!port.Open(modem.port, modem.baudRate)) return 0;
  return port.Command("ATZ", 5000) == AtResult::Ok;
}
