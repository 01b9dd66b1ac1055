// Opens one of the program's message lists the way the Status and 2-Way
// pages do, for the tests that drive it through its windows:
//   zarq_listhost.exe KIND [OPENINGS [DIRECTORY]]
// KIND 0 outbound SMS, 1 outbound MMS, 2 received SMS, 3 received MMS; the
// list opens OPENINGS times in turn (default 1); DIRECTORY becomes the
// current directory, where the tests keep the programs that record what the
// lists open.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "app/configstore.h"
#include "gateway/zarqacct.h"
#include "pages/pages.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
  int kind = -1, openings = 1;
  char directory[MAX_PATH] = "";
  if (sscanf(arguments, "%d %d %259[^\n]", &kind, &openings, directory) < 1 || kind < 0 || kind > 3) return 2;
  if (directory[0]) SetCurrentDirectoryA(directory);

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  char dir[MAX_PATH];
  GetProgramDataDirectory(dir);
  snprintf(g_SmsgwIni, sizeof g_SmsgwIni, "%sSMSGW.INI", dir);
  snprintf(g_MmscIni, sizeof g_MmscIni, "%sMMSC.INI", dir);
  SMSIniSetFilename(g_SmsgwIni);
  MMSCIniSetFilename(g_MmscIni);

  for (int i = 0; i < openings; ++i) ShowMessageList(nullptr, static_cast<MessageListKind>(kind));
  return 0;
}
