// The two gateway services as a pair, SMS gateway first: queries the pages
// poll, the operations that change them (each with `unattended`: never offer
// elevation), and the services' shared-memory status blocks.
#pragma once
#include <windows.h>

bool IsSmsServiceActive();
bool IsMmscServiceActive();
bool IsSmsServiceInstalled();
bool IsMmscServiceInstalled();

bool HasAdminRights();
bool IsVistaOrLater();
// Asks whether to relaunch elevated; true only for Yes.
bool ConfirmElevation();

// Starts this program's own file again with `parameters`, shown normally,
// with the verb "runas" when `elevate`, and waits for it at most `waitMs`. A
// refused start (elevation declined) gives no process and no wait.
void RunProgramCopy(const char* parameters, bool elevate, DWORD waitMs);

bool InstallServices(bool unattended);
bool RemoveServices(bool unattended);
void StopServices(bool unattended);
void StartServices(bool unattended);
void RestartServices(bool unattended);

enum class Gateway { Sms, Mmsc };

// A mapped status block; both members are null when closed.
struct StatusBlock {
  HANDLE mapping = nullptr;
  unsigned char* view = nullptr;
};
// Offsets of the bytes this program uses.
enum : unsigned {
  kStopRequestByte = 0,    // SMS gateway block only
  kWebPortConflictByte = 2,  // MM7 port conflict in the MMSC block
  kSmppPortConflictByte = 4,
};
bool OpenStatusBlock(Gateway which, StatusBlock* block);
void CloseStatusBlock(StatusBlock* block);

// What IsSmsServiceInstalled, IsSmsServiceActive, IsMmscServiceInstalled and
// IsMmscServiceActive answer, asked of the service manager in one pass (for
// the pages that poll all four every second).
struct ServicePairState {
  bool smsInstalled = false, smsActive = false, mmscInstalled = false, mmscActive = false;
};
ServicePairState QueryServicePair();
