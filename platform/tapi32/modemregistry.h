// Installs and removes Windows modems in the registry of the current (Wine)
// prefix: the keys our tapi32 lists as line devices and the program searches
// for a modem's port. Tests that install modems share one list of line
// devices; serialise them with the ctest resource lock "wine_modems".
#pragma once
#include <windows.h>

#include <string>

extern const char kModemClassKey[];  // HKLM\...\Control\Class\{4D36E96D-E325-11CE-BFC1-08002BE10318}

struct ModemEntry {
  std::string friendlyName;
  std::string attachedTo;  // "COM3"
  std::string tapiFail;    // ZarqTapiFail: comma list of open, call, callreply, getid, portname
  DWORD baud = 0;          // ZarqTapiBaud, 0 = not written (115200)
  DWORD mediaModes = 0;    // ZarqTapiMediaModes, 0 = not written (data modem)
  long callDelay = -1;     // ZarqTapiCallDelay in ms, -1 = not written (100)
};

// Creates the next free "NNNN" key under the modem class (creating the class
// with Class = "Modem" when missing); returns its name, empty on failure.
std::string RegisterModem(const ModemEntry& entry);
bool UnregisterModem(const std::string& key);
// Removes every installed modem (the class key stays).
void UnregisterAllModems();

// A modem installed for the lifetime of the object.
class RegisteredModem {
 public:
  explicit RegisteredModem(const ModemEntry& entry) : key_(RegisterModem(entry)) {}
  ~RegisteredModem() {
    if (!key_.empty()) UnregisterModem(key_);
  }
  RegisteredModem(const RegisteredModem&) = delete;
  RegisteredModem& operator=(const RegisteredModem&) = delete;
  const std::string& Key() const { return key_; }

 private:
  std::string key_;
};
