// The Test Message page (the wizard's last page and the "Test Message" tab):
// drops one test SMS request, or one test MMS message with its control file,
// into the gateway's own outbound queues and follows it once a second until
// the gateway has taken it and its daily log gives the verdict.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "app/configstore.h"
#include "app/msgbox.h"
#include "app/pageprotocol.h"
#include "app/uihelpers.h"
#include "core/testmessage.h"
#include "gateway/zarqacct.h"
#include "pages/pages.h"
#include "resource.h"
#include "service/services.h"
#include "store/msgfiles.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr DWORD kNumberSize = 4096;
constexpr DWORD kProfileSize = 4096;
constexpr char kMmsRoute[] = "zarqlocal";

// The tests outlive the page: a test sent from the wizard is still followed
// when the configuration sheet shows the page afterwards.
struct TestState {
  bool smsPending = false;
  bool mmsPending = false;
  bool smsDone = false;
  bool mmsDone = false;
  bool pageActive = false;
  DWORD smsTestTick = 0;
  DWORD mmsTestTick = 0;
};
TestState g_TestState;

struct TestMessagePageState {
  TestState* test = &g_TestState;
};

void ShowItem(HWND page, int id, bool shown) { ShowWindow(GetDlgItem(page, id), shown ? SW_SHOWNA : SW_HIDE); }
void EnableItem(HWND page, int id, bool enabled) { EnableWindow(GetDlgItem(page, id), enabled ? TRUE : FALSE); }
void SetItemText(HWND page, int id, const char* text) { SetTextIfChanged(GetDlgItem(page, id), text); }

void ReadNumber(HWND page, char* number) { GetDlgItemTextA(page, IDC_TESTMSG_NUMBER, number, kNumberSize); }
bool NumberUsable(const char* number) { return number[0] && IsTestPhoneNumber(number); }

// The request file of a test: the base queue directory, or the MMSC's outbound
// queue, + "TEST%04X" + extension.
void SmsRequestPath(DWORD tick, char* path) {
  char id[16];
  TestIdentifier(tick, id, sizeof id);
  QueueDirectory(path);
  BoundedAppend(path, MAX_PATH, id);
  BoundedAppend(path, MAX_PATH, ".REQ");
}

void MmsRequestPath(DWORD tick, const char* extension, char* path) {
  char id[16];
  TestIdentifier(tick, id, sizeof id);
  VaspQueueDirectory(path);
  BoundedAppend(path, MAX_PATH, id);
  BoundedAppend(path, MAX_PATH, extension);
}

void DayLogPath(const char* prefix, char* path) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char name[64];
  snprintf(name, sizeof name, "%s-%04u%02u%02u.LOG", prefix, now.wYear, now.wMonth, now.wDay);
  GetProgramDataDirectory(path);
  BoundedAppend(path, MAX_PATH, name);
}

HANDLE CreateRequestFile(const char* path) {
  return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One text line from an open file (`size` bytes including the terminator,
// at most kLogLineBufferSize); false when nothing more can be read.
bool ReadLogLine(HANDLE file, char* buffer, DWORD size) {
  buffer[0] = '\0';
  LARGE_INTEGER zero = {}, position = {};
  if (!SetFilePointerEx(file, zero, &position, FILE_CURRENT)) return false;
  DWORD got = 0;
  if (!ReadFile(file, buffer, size - 1, &got, nullptr) || got == 0) {
    buffer[0] = '\0';
    return false;
  }
  size_t consumed = TakeLogLine(buffer, got, size);
  position.QuadPart += static_cast<LONGLONG>(consumed);
  SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
  return true;
}

// The verdict of the day's log for a test that has ended; false when the log
// cannot be opened or names the test nowhere.
bool ReadVerdict(const char* prefix, DWORD tick, TestKind kind, LogVerdict* verdict) {
  char path[MAX_PATH], id[16];
  DayLogPath(prefix, path);
  TestIdentifier(tick, id, sizeof id);
  HANDLE log = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return false;
  static char line[kLogLineBufferSize];
  while (ReadLogLine(log, line, sizeof line)) ExamineLogLine(line, id, kind, verdict);
  CloseHandle(log);
  return verdict->found;
}

void ShowVerdict(HWND page, const LogVerdict& verdict, int statusId, int detailId) {
  if (verdict.ok) {
    SetItemText(page, statusId, "Status:  OK -- Message Sent");
    SetItemText(page, detailId, "");
  } else {
    SetItemText(page, statusId, "Status:  ERROR");
    SetItemText(page, detailId, verdict.detail);
  }
}

// A test still queued: the route's error first, then the retry state the
// gateway keeps in `controlFile` under `section`, else waiting.
void ShowQueuedState(HWND page, const char* routeError, const char* offlineStatus, const char* controlFile,
                     const char* section, int statusId, int detailId) {
  if (routeError[0]) {
    SetItemText(page, statusId, offlineStatus);
    SetItemText(page, detailId, routeError);
    return;
  }
  static char retries[kProfileSize], error[kProfileSize];
  GetPrivateProfileStringA(section, "RetryCount", "", retries, kProfileSize, controlFile);
  if (retries[0]) {
    static char status[kProfileSize + 64], detail[kProfileSize + 64];
    GetPrivateProfileStringA(section, "LastErrorInfo", "", error, kProfileSize, controlFile);
    snprintf(status, sizeof status, "Status:  Retry pending, %s attempts", retries);
    snprintf(detail, sizeof detail, "Last Error Info:  %s", error);
    SetItemText(page, statusId, status);
    SetItemText(page, detailId, detail);
  } else {
    SetItemText(page, statusId, "Status:  Waiting");
    SetItemText(page, detailId, "");
  }
}

void FollowSmsTest(HWND page, TestState* test) {
  char path[MAX_PATH];
  SmsRequestPath(test->smsTestTick, path);
  if (FileExists(path)) {
    char modem[kProfileSize], error[251];
    ReadSetting(g_SmsgwIni, "SMSGW", "Modem1", "", modem, sizeof modem);
    ReadRouteErrorFile(modem, RouteKind::Modem, error);
    ShowQueuedState(page, error, "Status:  Modem Off-Line", path, "ErrorDetail", IDC_TESTMSG_SMS_STATUS,
                    IDC_TESTMSG_SMS_DETAIL);
    return;
  }
  SetItemText(page, IDC_TESTMSG_SMS_STATUS, "");
  SetItemText(page, IDC_TESTMSG_SMS_DETAIL, "");
  test->smsPending = false;
  test->smsDone = true;
  static LogVerdict verdict;
  verdict = LogVerdict();
  if (ReadVerdict("SMSOUT", test->smsTestTick, TestKind::Sms, &verdict))
    ShowVerdict(page, verdict, IDC_TESTMSG_SMS_STATUS, IDC_TESTMSG_SMS_DETAIL);
}

void FollowMmsTest(HWND page, TestState* test) {
  char message[MAX_PATH], control[MAX_PATH];
  MmsRequestPath(test->mmsTestTick, ".MMS", message);
  MmsRequestPath(test->mmsTestTick, ".INI", control);
  if (FileExists(message)) {
    char error[251];
    ReadRouteErrorFile(kMmsRoute, RouteKind::Mmsc, error);
    ShowQueuedState(page, error, "Status:  Connection Error", control, "Routing", IDC_TESTMSG_MMS_STATUS,
                    IDC_TESTMSG_MMS_DETAIL);
    return;
  }
  SetItemText(page, IDC_TESTMSG_MMS_STATUS, "");
  SetItemText(page, IDC_TESTMSG_MMS_DETAIL, "");
  test->mmsPending = false;
  test->mmsDone = true;
  static LogVerdict verdict;
  verdict = LogVerdict();
  if (ReadVerdict("MMSC", test->mmsTestTick, TestKind::Mms, &verdict))
    ShowVerdict(page, verdict, IDC_TESTMSG_MMS_STATUS, IDC_TESTMSG_MMS_DETAIL);
}

// Back with a disabled Finish while a test is pending or none has ended yet.
void PostWizardButtons(HWND page, const TestState* test) {
  bool finishable = !test->smsPending && !test->mmsPending && (test->smsDone || test->mmsDone);
  SetWizardButtons(page, finishable ? PSWIZB_BACK | PSWIZB_FINISH : PSWIZB_BACK | PSWIZB_DISABLEDFINISH);
}

void ShowCancel(HWND page, const TestState* test) { ShowItem(page, IDC_TESTMSG_CANCEL, test->smsPending || test->mmsPending); }

void Refresh(HWND page, TestState* test) {
  bool webReady = IsSmsServiceInstalled() && IsSmsServiceActive();
  EnableItem(page, IDC_TESTMSG_WEB, webReady);
  EnableItem(page, IDC_TESTMSG_NUMBER, webReady && !test->smsPending);
  static char number[kNumberSize];
  number[0] = '\0';
  if (webReady) ReadNumber(page, number);
  bool numberOk = NumberUsable(number);
  EnableItem(page, IDC_TESTMSG_SEND_SMS, numberOk && !test->smsPending);
  EnableItem(page, IDC_TESTMSG_SEND_MMS,
             numberOk && IsMmscServiceInstalled() && IsMmscServiceActive() && !test->mmsPending);
  ShowCancel(page, test);
  if (test->smsPending) FollowSmsTest(page, test);
  if (test->mmsPending) FollowMmsTest(page, test);
  if (test->pageActive) PostWizardButtons(page, test);
}

void EnsureService(bool (*installed)(), bool (*active)()) {
  HCURSOR cursor = BeginBusyCursor();
  if (!installed()) InstallServices(false);
  if (!active()) StartServices(false);
  EndBusyCursor(cursor);
}

void OnSendSms(HWND page, TestState* test) {
  static char number[kNumberSize];
  ReadNumber(page, number);
  if (!NumberUsable(number)) return;
  EnsureService(IsSmsServiceInstalled, IsSmsServiceActive);
  test->smsTestTick = GetTickCount();
  char path[MAX_PATH];
  SmsRequestPath(test->smsTestTick, path);
  HANDLE file = CreateRequestFile(path);
  if (file == INVALID_HANDLE_VALUE) {
    ShowMessage(page, "Error creating SMS request file in queue", MB_OK | MB_ICONERROR);
    return;
  }
  WriteText(file, "[SMS]\r\nPhoneNumber=");
  WriteText(file, number);
  WriteText(file, "\r\nData=ZarqSMS Test Message\r\n");
  CloseHandle(file);
  test->smsPending = true;
  SetItemText(page, IDC_TESTMSG_SMS_STATUS, "Status:  Waiting");
  SetItemText(page, IDC_TESTMSG_SMS_DETAIL, "");
}

// Copies the rest of `from` into `to` through the largest buffer (32768
// bytes, halved while it cannot be had) and ends `to` where the copy ended.
void CopyTemplate(HANDLE from, HANDLE to) {
  DWORD size = 32768;
  void* buffer = nullptr;
  while (!(buffer = HeapAlloc(GetProcessHeap(), 0, size)) && size > 15) size /= 2;
  if (buffer) {
    DWORD got = 0, written = 0;
    while (ReadFile(from, buffer, size, &got, nullptr) && got > 0) {
      if (!WriteFile(to, buffer, got, &written, nullptr) || written != got) break;
    }
    HeapFree(GetProcessHeap(), 0, buffer);
  }
  SetEndOfFile(to);
}

void OnSendMms(HWND page, TestState* test) {
  static char number[kNumberSize];
  ReadNumber(page, number);
  if (!NumberUsable(number)) return;
  EnsureService(IsMmscServiceInstalled, IsMmscServiceActive);
  char templatePath[MAX_PATH];
  GetRealProgramDirectory(templatePath);
  BoundedAppend(templatePath, sizeof templatePath, "MMSTEST.MMS");
  HANDLE source = CreateFileA(templatePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source == INVALID_HANDLE_VALUE) {
    ShowMessageCaptioned(page, templatePath, "Error locating MMS message template file", MB_OK | MB_ICONERROR);
    return;
  }
  test->mmsTestTick = GetTickCount();
  char controlPath[MAX_PATH], messagePath[MAX_PATH];
  MmsRequestPath(test->mmsTestTick, ".INI", controlPath);
  MmsRequestPath(test->mmsTestTick, ".MMS", messagePath);
  // The control file comes first and is complete before the message is closed:
  // the MMSC takes a message only with its control file.
  HANDLE control = CreateRequestFile(controlPath);
  HANDLE message = control == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE : CreateRequestFile(messagePath);
  if (message == INVALID_HANDLE_VALUE) {
    if (control != INVALID_HANDLE_VALUE) CloseHandle(control);
    CloseHandle(source);
    ShowMessage(page, "Error creating MMS request file in queue", MB_OK | MB_ICONERROR);
    return;
  }
  WriteText(control, "[Recipients]\r\nRecip1=");
  WriteText(control, number);
  WriteText(control, "/TYPE=VASP:zarqlocal\r\n");
  CopyTemplate(source, message);
  test->mmsPending = true;
  SetItemText(page, IDC_TESTMSG_MMS_STATUS, "Status:  Waiting");
  SetItemText(page, IDC_TESTMSG_MMS_DETAIL, "");
  CloseHandle(message);
  CloseHandle(control);
  CloseHandle(source);
}

// Deletes the files; when the gateway holds one, stops the services, deletes
// again and starts them once more.
void WithdrawFiles(const char* first, const char* second) {
  HCURSOR cursor = BeginBusyCursor();
  DeleteFileA(first);
  if (second) DeleteFileA(second);
  if (FileExists(first) || (second && FileExists(second))) {
    StopServices(false);
    DeleteFileA(first);
    if (second) DeleteFileA(second);
    Sleep(1000);
    StartServices(false);
  }
  EndBusyCursor(cursor);
}

// The next refresh finds the files gone and ends the tests as usual.
void OnCancel(const TestState* test) {
  if (test->smsPending) {
    char path[MAX_PATH];
    SmsRequestPath(test->smsTestTick, path);
    WithdrawFiles(path, nullptr);
  }
  if (test->mmsPending) {
    char message[MAX_PATH], control[MAX_PATH];
    MmsRequestPath(test->mmsTestTick, ".MMS", message);
    MmsRequestPath(test->mmsTestTick, ".INI", control);
    WithdrawFiles(message, control);
  }
}

void OnWebInterface() {
  EnsureService(IsSmsServiceInstalled, IsSmsServiceActive);
  char port[64], address[500], url[600];
  ReadSetting(g_SmsgwIni, "SMSGW", "WebPort", "8800", port, sizeof port);
  ReadSetting(g_SmsgwIni, "SMSGW", "IPAddress", "", address, sizeof address);
  WebInterfaceUrl(port, address, url, sizeof url);
  ShellExecuteA(nullptr, "open", url, nullptr, ".\\", SW_SHOWNORMAL);
}

// Any change of the number: both send buttons follow it at once; the next
// refresh applies the service and pending conditions again.
void OnNumberChanged(HWND page) {
  static char number[kNumberSize];
  ReadNumber(page, number);
  bool ok = NumberUsable(number);
  EnableItem(page, IDC_TESTMSG_SEND_SMS, ok);
  EnableItem(page, IDC_TESTMSG_SEND_MMS, ok);
}

BOOL OnInitDialog(HWND page, LPARAM initParam) {
  TestMessagePageState* state = KeepPageState<TestMessagePageState>(page, initParam);
  SetTimer(page, kRefreshTimer, 1000, nullptr);
  Refresh(page, state->test);
  return TRUE;
}

BOOL OnCommand(HWND page, int id, int code) {
  TestState* test = StateOf<TestMessagePageState>(page)->test;
  switch (id) {
    case IDC_TESTMSG_NUMBER:
      OnNumberChanged(page);
      return TRUE;
    case IDC_TESTMSG_SEND_SMS:
      if (code != BN_CLICKED) return FALSE;
      OnSendSms(page, test);
      return TRUE;
    case IDC_TESTMSG_SEND_MMS:
      if (code != BN_CLICKED) return FALSE;
      OnSendMms(page, test);
      return TRUE;
    case IDC_TESTMSG_CANCEL:
      if (code != BN_CLICKED) return FALSE;
      OnCancel(test);
      return TRUE;
    case IDC_TESTMSG_WEB:
      if (code != BN_CLICKED) return FALSE;
      OnWebInterface();
      return TRUE;
  }
  return FALSE;
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
  TestState* test = StateOf<TestMessagePageState>(page)->test;
  switch (header->code) {
    case PSN_SETACTIVE:
      test->pageActive = true;
      PostWizardButtons(page, test);
      ShowCancel(page, test);
      return SetPageResult(page, 0);
    case PSN_KILLACTIVE:
      test->pageActive = false;
      return SetPageResult(page, FALSE);
    case PSN_WIZNEXT:
    case PSN_WIZFINISH:
      return SetPageResult(page, 0);
  }
  return AnswerSharedNotify(page, header->code, false);
}

INT_PTR CALLBACK TestMessagePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page, lParam);
    case WM_COMMAND:
      return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
      if (wParam == kRefreshTimer) Refresh(page, StateOf<TestMessagePageState>(page)->test);
      return TRUE;
    case WM_DESTROY:
      KillTimer(page, kRefreshTimer);
      if (TestMessagePageState* state = StateOf<TestMessagePageState>(page)) state->test->pageActive = false;
      return FALSE;
  }
  return FALSE;
}

}  // namespace

const PageDefinition kTestMessagePage = StatefulPage<TestMessagePageState>(TestMessagePageProc);
