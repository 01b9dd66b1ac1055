// The Windows modems of the registry, as the link library uses them: name,
// serial port, speed, and the driver's initialisation strings.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The modem device class.
constexpr const char* kModemClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";

struct InstalledModem {
  std::string name;      // FriendlyName, else DriverDesc
  std::string key;       // under HKLM: the class key + "\\" + instance
  std::string port;      // AttachedTo, e.g. "COM3"
  DWORD baudRate = 0;    // from the driver's DCB value, 0 when absent
};

std::vector<InstalledModem> ListInstalledModems();
// The modem of that name (without regard to case).
bool FindInstalledModem(const char* name, InstalledModem* modem);

// The initialisation strings the driver sends when the port opens: the values
// "1", "2", ... of its Init subkey in order, then its UserInit value.
std::vector<std::string> ReadInitStrings(const InstalledModem& modem);
// Adds `command` (followed by "<cr>", the drivers' carriage return) as the next numbered value
// of the Init subkey, creating it when missing. True when written.
bool AppendInitString(const InstalledModem& modem, const std::string& command);
