// The connection test of a build that does not carry it yet: the launching
// copy must still read a verdict, and it must not read success. Remove this
// file when src/modem/gprstest.cpp arrives.
#include <windows.h>

#include "app/configstore.h"
#include "modem/gprstest.h"

int RunGprsConnectionTest() {
  char path[MAX_PATH];
  ProgramDataPath("MODEMTEST.INI", path);
  WriteSetting(path, "ModemTest", "Result", "GPRS connection test is not available in this build.");
  return 0;
}
