// The one-shot actions of the command line. Switches are matched anywhere in
// the argument text and in any case; the table is tried in order and the
// first action found is the only one carried out.
#include "app/cmdline.h"

#include <windows.h>

#include "app/configstore.h"
#include "app/msgbox.h"
#include "gateway/zarqacct.h"
#include "modem/gprstest.h"
#include "service/services.h"

namespace {

bool HasSwitch(const char* arguments, const char* const* forms) {
  for (; *forms; ++forms)
    if (FindCommandSwitch(arguments, *forms, &AnsiUpper())) return true;
  return false;
}

const char* const kQuiet[] = {"-QUIET", "/QUIET", "/Q", "-Q", nullptr};
const char* const kStop[] = {"-STOPSERVICE", "/STOPSERVICE", nullptr};
const char* const kStart[] = {"-STARTSERVICE", "/STARTSERVICE", nullptr};
const char* const kRestart[] = {"-RESTARTSERVICE", "/RESTARTSERVICE", nullptr};
const char* const kInstall[] = {"-INSTALLSERVICE", "/INSTALLSERVICE", "/I", "-I", nullptr};
const char* const kRemove[] = {"-REMOVESERVICE", "/REMOVESERVICE", "/R", "-R", nullptr};
const char* const kDeleteDataDir[] = {"-DELETEDATADIR", "/DELETEDATADIR", nullptr};
const char* const kModemTest[] = {"-MODEMTEST", "/MODEMTEST", nullptr};
const char* const kWizard[] = {"-WIZARD", "/WIZARD", nullptr};

void ShowResult(bool quiet, bool ok, const char* success, const char* failure) {
  if (quiet) return;
  if (ok)
    ShowMessage(nullptr, success, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
  else
    ShowMessage(nullptr, failure, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// True when `dir` is `inside` or one of its parents (both end in a backslash).
bool ContainsDirectory(const char* dir, const char* inside) { return StartsWithNoCase(inside, dir, &AnsiUpper()); }

// Deletes the gateway's private data, after asking, unless that is where the
// program itself lives: deleting it would delete the program.
void DeleteDataDirectory() {
  char privateDir[MAX_PATH];
  char programDir[MAX_PATH];
  GetPrivateDataDirectory(privateDir);
  GetRealProgramDirectory(programDir);
  if (!privateDir[0] || ContainsDirectory(privateDir, programDir)) return;
  if (ShowMessage(nullptr, "Delete Configuration files for ZarqSMS?", MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) ==
      IDYES)
    DeleteDirectoryTree(privateDir);
}

void RunModemTest() {
  if (HasAdminRights()) {
    RunGprsConnectionTest();
    return;
  }
  const char text[] = "Administrative rights are required for this test.";
  char path[MAX_PATH];
  ProgramDataPath("MODEMTEST.INI", path);
  WriteSetting(path, "ModemTest", "Result", text);
  ShowMessage(nullptr, text, MB_OK | MB_ICONERROR);
}

}  // namespace

bool RunCommandLineAction(const char* arguments, bool* quiet) {
  if (!arguments) return false;
  if (HasSwitch(arguments, kQuiet)) *quiet = true;
  if (HasSwitch(arguments, kStop)) {
    StopServices(true);
  } else if (HasSwitch(arguments, kStart)) {
    StartServices(true);
  } else if (HasSwitch(arguments, kRestart)) {
    RestartServices(true);
  } else if (HasSwitch(arguments, kInstall)) {
    bool ok = InstallServices(true);
    ShowResult(*quiet, ok, "Service successfully installed!", "Service installation failed!");
  } else if (HasSwitch(arguments, kRemove)) {
    StopServices(true);
    bool ok = RemoveServices(true);
    ShowResult(*quiet, ok, "Service successfully removed!", "Service removal failed!");
  } else if (HasSwitch(arguments, kDeleteDataDir)) {
    DeleteDataDirectory();
  } else if (HasSwitch(arguments, kModemTest)) {
    RunModemTest();
  } else {
    return false;
  }
  return true;
}

bool WizardRequested(const char* arguments) { return arguments && HasSwitch(arguments, kWizard); }
