// Scaffolding of the service tests: the gateway's data directory as the
// services see it (registry), the service manager's state read and reset
// independently of the code under test, message boxes of this or another
// process, and runs of the real ZARQCFG.EXE.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "testenv.h"

// Points the services (HKLM\SOFTWARE\ZarqSMS, 64-bit view), this process and
// the programs it starts (environment) at one scratch directory; restores the
// registry values afterwards. Removes both services before and after.
class GatewayFixtureDir {
 public:
  explicit GatewayFixtureDir(const char* tag);
  ~GatewayFixtureDir();
  const ScratchDir& Dir() const { return dir_; }
  std::string Ini(const char* name) const { return dir_ / name; }

 private:
  ScratchDir dir_;
  std::string savedProgramData_, savedPrivateData_;
  bool hadProgramData_ = false, hadPrivateData_ = false;
};

// Directory of this test executable (and of everything the build produced),
// ending in a backslash.
std::string BinDirectory();

// --- The service manager, read and changed without the code under test ---
struct ServiceFacts {
  bool installed = false;
  DWORD state = 0;
  DWORD processId = 0;
  DWORD serviceType = 0, startType = 0, errorControl = 0;
  std::string binaryPath, displayName, account, group, dependencies;
};
ServiceFacts QueryFacts(const char* name);
// The system's short (8.3) form of `path`, or `path` when it has none.
std::string ShortPath(const std::string& path);
// Checks both services are configured as the program installs them, from the
// build's directory; `what` names the case in failure messages.
void ExpectConfigured(const std::string& what);
// The lines the firewall program recorded in `log` for the two services
// installed from `dir`, once both are there (up to 5 s), in file order
// made canonical: the program does not wait for one call before the next.
std::string FirewallLog(const std::string& log);
std::string ExpectedFirewallLog(const std::string& dir);
// Stops (waiting up to `ms`) and deletes a service; true when it is gone.
bool ForceRemoveService(const char* name, DWORD ms = 20000);
void ForceRemoveBoth();
// Creates a service by hand (demand start) with the given executable.
bool CreateServiceByHand(const char* name, const char* display, const std::string& exe);
bool WaitForState(const char* name, DWORD state, DWORD ms);
// Creates the gateway service ZarqSMS by hand from the build's ZARQGATESVC.EXE
// and starts it; true once it runs (up to 15 s).
bool StartGatewayService();

// --- Message boxes (caption = the product title) of this process, of the
// programs it started with StartProgram, and of their descendants ---
struct SeenBox {
  HWND window = nullptr;
  DWORD processId = 0;
  std::string text;
  bool iconShown = false;            // icon control 1088 visible, holding an icon
  HICON icon = nullptr;              // meaningful only within this process
  std::vector<std::string> buttons;  // visible buttons, in child order
  std::vector<int> buttonIds;
};
// Waits up to `ms` for a message box with the product caption. False on timeout.
bool WaitForBox(DWORD ms, SeenBox* box);
// Presses a button of the box by id (IDOK, IDYES, ...) and waits until it is gone.
void PressBox(const SeenBox& box, int id);
// The visible top-level windows of a process whose caption contains `text`.
HWND FindTopWindow(DWORD processId, const char* captionPart, DWORD ms);

// --- ZARQCFG.EXE and the other programs of the build ---
struct Program {
  HANDLE process = nullptr;
  DWORD id = 0;
  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program();
  // Waits for the end; the exit code, or STILL_ACTIVE on timeout.
  DWORD Wait(DWORD ms);
};
// Starts `exe` (a full path) with `arguments`; `extraEnv` are NAME=VALUE pairs
// set for the child only. Its boxes (and its children's) count as this
// test's while the Program lives.
bool StartProgram(Program* p, const std::string& exe, const std::string& arguments,
                  const std::vector<std::string>& extraEnv = {});

// Answers the message boxes that appear until `done()` holds and none is
// left (or `limitMs` passes): the n-th box seen gets the n-th answer, later
// ones IDOK. The boxes seen, in order.
template <class Done>
std::vector<SeenBox> AnswerBoxes(const std::vector<int>& answers, Done done, DWORD limitMs = 60000) {
  std::vector<SeenBox> seen;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < limitMs) {
    SeenBox box;
    if (WaitForBox(100, &box)) {
      int answer = seen.size() < answers.size() ? answers[seen.size()] : IDOK;
      seen.push_back(box);
      PressBox(box, answer);
    } else if (done()) {
      break;
    }
  }
  return seen;
}

// The texts of the service operations' messages.
extern const char kRightsForChange[];
extern const char kRightsForInstall[];
extern const char kRightsForRemove[];
extern const char kElevationQuestion[];
