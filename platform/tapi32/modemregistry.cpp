#include "modemregistry.h"

#include <cstdio>
#include <vector>

const char kModemClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";

namespace {

bool SetString(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        DWORD(value.size() + 1)) == ERROR_SUCCESS;
}

bool SetDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

HKEY OpenClass() {
  HKEY cls = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kModemClassKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &cls, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  SetString(cls, nullptr, "Modems");
  SetString(cls, "Class", "Modem");
  return cls;
}

}  // namespace

std::string RegisterModem(const ModemEntry& entry) {
  HKEY cls = OpenClass();
  if (!cls) return std::string();
  std::string result;
  for (int n = 0; n < 10000 && result.empty(); ++n) {
    char name[8];
    snprintf(name, sizeof name, "%04d", n);
    HKEY modem = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(cls, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &modem, &disposition) != ERROR_SUCCESS)
      break;
    if (disposition == REG_CREATED_NEW_KEY) {
      bool ok = SetString(modem, "FriendlyName", entry.friendlyName) && SetString(modem, "AttachedTo", entry.attachedTo);
      if (ok && !entry.tapiFail.empty()) ok = SetString(modem, "ZarqTapiFail", entry.tapiFail);
      if (ok && entry.baud) ok = SetDword(modem, "ZarqTapiBaud", entry.baud);
      if (ok && entry.mediaModes) ok = SetDword(modem, "ZarqTapiMediaModes", entry.mediaModes);
      if (ok && entry.callDelay >= 0) ok = SetDword(modem, "ZarqTapiCallDelay", DWORD(entry.callDelay));
      RegCloseKey(modem);
      if (ok)
        result = name;
      else
        RegDeleteKeyA(cls, name);
    } else {
      RegCloseKey(modem);
    }
  }
  RegCloseKey(cls);
  return result;
}

bool UnregisterModem(const std::string& key) {
  HKEY cls = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModemClassKey, 0, KEY_ALL_ACCESS, &cls) != ERROR_SUCCESS) return false;
  bool ok = RegDeleteTreeA(cls, key.c_str()) == ERROR_SUCCESS;
  RegCloseKey(cls);
  return ok;
}

void UnregisterAllModems() {
  HKEY cls = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModemClassKey, 0, KEY_ALL_ACCESS, &cls) != ERROR_SUCCESS) return;
  std::vector<std::string> keys;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    LONG rc = RegEnumKeyExA(cls, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    keys.push_back(name);
  }
  for (const std::string& k : keys) RegDeleteTreeA(cls, k.c_str());
  RegCloseKey(cls);
}
