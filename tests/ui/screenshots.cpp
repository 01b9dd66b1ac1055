// Saves a picture of every page of the setup wizard and the configuration
// sheet, of the dialogs the sheet opens and of the message lists:
//   zarq_screenshots.exe <output directory>
// (BMP files; tools/screenshots turns them into PNG). The program runs on a
// fresh data directory with a few settings, users, queued and received
// messages, events and Windows modems, so the pictures show typical values.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/configstore.h"
#include "core/daycounter.h"
#include "core/userrecord.h"
#include "gateway/eventlog.h"
#include "gateway/zarqacct.h"
#include "listauto.h"
#include "modemregistry.h"
#include "resource.h"
#include "testenv.h"
#include "uiauto.h"
#include "../../standin/acct/operators_res.h"

namespace {

const char* const kWizardShots[] = {"wizard-1-select-modem", "wizard-2-modem-settings", "wizard-3-server-settings",
                                    "wizard-4-configuration-complete", "wizard-5-send-test-message"};
const char* const kSheetShots[] = {"sheet-1-status", "sheet-2-modem",        "sheet-3-server", "sheet-4-users",
                                   "sheet-5-2-way",  "sheet-6-test-message", "sheet-7-debug-logs"};
enum SheetPage { kStatusPage, kModemPage, kServerPage, kUsersPage, kTwoWayPage };
constexpr DWORD kWaitMs = 15000;

int g_failures = 0;
// Today as "YYYYMMDD": the gateway names its message files by the day, and
// the lists show the files' creation time (today, whatever the name says).
std::string g_day;

// A message file's name of today: "YYYYMMDD-000n" and the extension.
std::string Today(int number, const char* extension = "") {
  char name[40];
  snprintf(name, sizeof name, "%s-%04d%s", g_day.c_str(), number, extension);
  return name;
}


void Fail(const char* what) {
  printf("failed: %s\n", what);
  ++g_failures;
}

// A few accounts for the Users page; the first with everything an
// administrator has.
void AddUsers() {
  const char* const users[][2] = {{"admin", "Gateway Administrator"}, {"alerts", "Monitoring Alerts"},
                                  {"smppclient", "Billing System (SMPP)"}};
  SMSUSERFILE store;
  if (!SMSOpenUserFile(&store, SMS_USERFILE_READWRITE)) return;
  for (const auto& user : users) {
    UserFields f;
    CopyBounded(f.name, sizeof f.name, user[0]);
    CopyBounded(f.fullName, sizeof f.fullName, user[1]);
    if (f.name == std::string("admin")) {
      CopyBounded(f.password, sizeof f.password, "Nq7!xPa2");
      CopyBounded(f.ipAddresses, sizeof f.ipAddresses, "192.168.10.*");
      f.admin = true;
      f.smppLogin = true;
      f.acceptReceived = true;
    }
    unsigned char record[UserRecord::kSize];
    BuildUserRecord(f, record);
    SMSAddUser(store, record);
  }
  SMSCloseUserFile(store);
}

// The gateway's day counters over the last 30 days, so that the Status
// page shows today's, the last 7 days' and the last 30 days' traffic.
void WriteCounters(const ScratchDir& data) {
  static const struct {
    const char* name;
    unsigned perDay;
  } kCounters[] = {{"SMSSUBMIT", 140}, {"SMSSENT", 131}, {"SMSRECEIVED", 57}, {"SMSFAILED", 3},
                   {"SMSRETRY", 9},    {"MMSIN-VASP", 12}, {"MMSOUT-MMSC", 11}, {"MMSIN-MODEM", 6}};
  SYSTEMTIME now;
  GetLocalTime(&now);
  unsigned today = CounterDayOfYear(now.wYear, now.wMonth, now.wDay);
  CreateDirectoryA((data / "STATS").c_str(), nullptr);
  for (const auto& c : kCounters) {
    std::string bytes(kCounterFileSize, '\0');
    for (unsigned back = 0; back < 30 && back < today; ++back) {
      // Busier on some days than others; today is not over yet.
      uint32_t count = c.perDay * (7 + (back * 5) % 7) / 10 / (back ? 1 : 2);
      for (int b = 0; b < 4; ++b) bytes[4 * (today - 1 - back) + b] = char((count >> (8 * b)) & 0xFF);
    }
    char file[MAX_PATH];
    CounterFileName(c.name, now.wYear, file, sizeof file);
    WriteFileText(data / file, bytes);
  }
}

// Events the gateway service reports, in the machine's Application log (the
// file-backed one the program reads here).
void ReportEvents() {
  std::string heldRequest = "SMS request C:\\ProgramData\\ZarqSMS\\Q\\" + Today(13, ".REQ") +
                            " cannot be opened (error 32); it stays in the queue.";
  std::string givenUp = "SMS message " + Today(9, ".REQ") +
                        " to +447700900461 given up after 5 attempt(s): +CMS ERROR: 38 (network out of order)";
  const struct {
    WORD type;
    const char* text;
  } kEvents[] = {
      {EVENTLOG_INFORMATION_TYPE, "ZarqSMS service started"},
      {EVENTLOG_ERROR_TYPE, "Modem Standard Modem is off-line: SIM PIN required"},
      {EVENTLOG_INFORMATION_TYPE, "Modem Standard Modem is back on-line."},
      {EVENTLOG_WARNING_TYPE, heldRequest.c_str()},
      {EVENTLOG_ERROR_TYPE, givenUp.c_str()},
      {EVENTLOG_ERROR_TYPE, "WebPort 8800 already in use"},
  };
  const EventLogFunctions& log = EventLog();
  HANDLE source = log.RegisterEventSourceA(nullptr, "ZarqSMS");
  if (!source) return Fail("the event log cannot be written");
  for (const auto& e : kEvents) {
    const char* strings[] = {e.text};
    log.ReportEventA(source, e.type, 0, 0, nullptr, 1, 0, strings, nullptr);
  }
  log.DeregisterEventSource(source);
}

// Requests waiting in the outbound SMS queue, two of them being retried.
void AddOutboundSms(const ScratchDir& data) {
  static const struct {
    int number;
    const char* fields;
  } kRequests[] = {
      {11, "PhoneNumber=+447700900123\r\nSubmitUser=alerts\r\nData=Disk space on db02 below 10%"},
      {12, "PhoneNumber=+4915112345678\r\nSubmitUser=smppclient\r\nData=Ihre Rechnung ist da"},
      {13,
       "PhoneNumber=+33612345678\r\nSubmitUser=smppclient\r\nData=Votre code: 482913\r\nRetryCount=2\r\n"
       "LastErrorInfo=+CMS ERROR: 42 (congestion)"},
      {14, "PhoneNumber=+15550100123\r\nSubmitUser=admin\r\nData=Gateway maintenance at 22:00"},
      {15,
       "PhoneNumber=+61412345678\r\nSubmitUser=alerts\r\nData=Backup finished\r\nRetryCount=1\r\n"
       "LastErrorInfo=Modem not responding"},
  };
  std::string queue = data / "Q\\";
  CreateDirectoryA(queue.c_str(), nullptr);
  for (const auto& r : kRequests) WriteFileText(queue + Today(r.number, ".REQ"), std::string("[SMS]\r\n") + r.fields + "\r\n");
}

// Received MMS: each a header file and a directory of its parts.
void AddReceivedMms(const ScratchDir& data) {
  struct Part {
    const char* file;
    const char* type;
    const char* content;
  };
  static const struct {
    int number;
    const char* from;
    const char* subject;
    Part parts[3];
  } kMessages[] = {
      {1, "+447700900123", "Site photo, north gate",
       {{"pres.smil", "application/smil",
         "<smil><body><par dur=\"5000ms\"><img src=\"photo.jpg\"/><text src=\"text.txt\"/></par></body></smil>"},
        {"photo.jpg", "image/jpeg", "\xFF\xD8\xFF\xE0"},
        {"text.txt", "text/plain", "Gate 3 is blocked by a delivery van."}}},
      {2, "+4915112345678", "Lieferung angekommen",
       {{"paket.jpg", "image/jpeg", "\xFF\xD8\xFF\xE0"}, {"text.txt", "text/plain", "Paket ist da."}, {}}},
      {3, "+33612345678", "Rendez-vous demain",
       {{"message.txt", "text/plain", "A demain 10h."}, {}, {}}},
      {4, "+15550100123", "Meter reading 4471",
       {{"meter.png", "image/png", "\x89PNG\r\n"}, {"reading.txt", "text/plain", "Meter 4471: 18220 kWh"}, {}}},
  };
  std::string inbox = data / "MMS-IN\\";
  CreateDirectoryA(inbox.c_str(), nullptr);
  for (const auto& m : kMessages) {
    std::string id = Today(m.number);
    CreateDirectoryA((inbox + id).c_str(), nullptr);
    std::string header = std::string("From: ") + m.from + "/TYPE=PLMN\r\nTo: +15550100100/TYPE=PLMN\r\nSubject: " +
                         m.subject + "\r\nMessage-ID: " + id + "@mmsc.example.net\r\n" +
                         "Content-Type: application/vnd.wap.multipart.related\r\n";
    for (const Part& p : m.parts) {
      if (!p.file) continue;
      WriteFileText(inbox + id + "\\" + p.file, p.content);
      header += "X-ZarqMMS-Content-Location: " + id + "\\" + p.file + ";" + p.type + "\r\n";
    }
    WriteFileText(inbox + id + ".HDR", header);
  }
}

// Waits until the window's thread has handled what it was given and has
// painted; a short settle for what it posted to itself on the way.
void Settle(HWND window) {
  ui::WaitIdle(window, kWaitMs);
  Sleep(100);
  ui::WaitIdle(window, kWaitMs);
}

void Shoot(HWND window, const std::string& dir, const char* name) {
  // Shown active, as the window the operator works in.
  SetForegroundWindow(window);
  Settle(window);
  std::string path = dir + name + ".bmp";
  if (ui::SaveWindowImage(window, path)) {
    printf("%s\n", path.c_str());
  } else {
    Fail(path.c_str());
  }
}

// The program's visible top-level window with this caption, once it shows.
HWND FindWindowCaption(DWORD processId, const std::string& caption) {
  return ui::WaitTopWindow(processId, caption, kWaitMs);
}

// Shows each page of the program's sheet in turn and saves it.
template <size_t N>
bool ShootSheet(ui::Program& program, const char* const (&names)[N], const std::string& dir) {
  HWND sheet = ui::FindSheet(program.Id(), 30000);
  if (!sheet) return false;
  for (size_t i = 0; i < N; ++i) {
    HWND page = ui::SelectPage(sheet, static_cast<int>(i));
    if (page) Settle(page);
    Shoot(sheet, dir, names[i]);
  }
  ui::PressButton(sheet, PSBTN_CANCEL);
  return true;
}

// A dialog of the sheet: `button` on page `pageIndex` opens the window
// captioned `caption`; `fill` gives it what the picture shows (false when it
// could not), then the picture is taken and the dialog cancelled.
bool ShootSheetDialog(ui::Program& program, HWND sheet, int pageIndex, int button, const char* caption,
                      const char* name, const std::string& dir, const std::function<bool(HWND)>& fill = nullptr) {
  HWND page = ui::SelectPage(sheet, pageIndex);
  if (!page) return false;
  Settle(page);
  ui::ClickItem(page, button);
  HWND dialog = FindWindowCaption(program.Id(), caption);
  if (!dialog) {
    printf("failed: no \"%s\" for %s\n", caption, name);
    ++g_failures;
    return false;
  }
  Settle(dialog);
  bool filled = !fill || fill(dialog);
  if (filled)
    Shoot(dialog, dir, name);
  else
    printf("failed: %s could not be filled in\n", name);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ui::WaitGone(dialog, kWaitMs);
  Settle(sheet);
  if (!filled) ++g_failures;
  return filled;
}

// The operator settings chooser searching "Vodafone" over every country,
// with the German operator chosen.
bool FillOperatorSearch(HWND chooser) {
  ui::SetItemText(chooser, IDC_OPERATOR_SEARCH, "Vodafone");
  HWND list = GetDlgItem(chooser, IDC_OPERATOR_LIST);
  LRESULT wanted = -1;
  ui::WaitUntil(
      [&] {
        LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n && wanted < 0; ++i)
          if (ui::ListBoxEntry(list, i).find("(Germany)") != std::string::npos) wanted = i;
        return wanted >= 0;
      },
      kWaitMs);
  if (wanted < 0) wanted = 0;  // a table without it: the first match
  if (SendMessageA(list, LB_GETCOUNT, 0, 0) <= 0) return false;
  // A few rows of other countries above it stay in view.
  SendMessageA(list, LB_SETTOPINDEX, WPARAM(wanted > 3 ? wanted - 3 : 0), 0);
  SendMessageA(list, LB_SETCURSEL, WPARAM(wanted), 0);
  SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDC_OPERATOR_LIST, LBN_SELCHANGE), LPARAM(list));
  return !ui::ItemText(chooser, IDC_OPERATOR_APN).empty();
}

// The 2-Way page's Add, filled in as for a balance lookup.
bool FillTwoWayCommand(HWND command) {
  ui::SetItemText(command, IDC_COMMAND_PREFIX, "BAL");
  ui::SetItemText(command, IDC_COMMAND_TEXT,
                  "https://billing.example.com/sms/balance.php?from=@@SENDER@@&text=@@SMS@@");
  ui::ClickItem(command, IDC_COMMAND_RESPONSE);
  return ui::WaitUntil([&] { return ui::IsItemChecked(command, IDC_COMMAND_RESPONSE); }, kWaitMs);
}

// The event viewer once it lists every event reported.
bool FillEventLog(HWND viewer) {
  HWND list = GetDlgItem(viewer, IDC_EVENT_LIST);
  return ui::WaitUntil([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) >= 6; }, kWaitMs);
}

// The dialogs the configuration sheet opens, one after the other.
bool ShootSheetDialogs(ui::Program& program, const std::string& dir) {
  HWND sheet = ui::FindSheet(program.Id(), 30000);
  if (!sheet) return false;
  ShootSheetDialog(program, sheet, kStatusPage, IDC_STATUS_EVENT_LOG, "Event Log", "dialog-event-log", dir,
                   FillEventLog);
  ShootSheetDialog(program, sheet, kModemPage, IDC_MODEM_CHANGE, "Add Modem", "dialog-add-modem", dir);
  ShootSheetDialog(program, sheet, kModemPage, IDC_MODEM_LOOKUP, "Operator Settings", "dialog-operator-settings",
                   dir, FillOperatorSearch);
  ShootSheetDialog(program, sheet, kUsersPage, IDC_SMSUSERS_EDIT, "Edit User", "dialog-user", dir);
  ShootSheetDialog(program, sheet, kTwoWayPage, IDC_RECV_ADD, "2-Way SMS Command", "dialog-2way-command", dir,
                   FillTwoWayCommand);
  ShootSheetDialog(program, sheet, kTwoWayPage, IDC_RECV_CONFIGURE, "Configure MM7 Receiver", "dialog-mm7-receiver",
                   dir);
  ui::PressButton(sheet, PSBTN_CANCEL);
  return true;
}

// Answers whatever the program asks on its way out (leaving without saving,
// not starting the services), and waits for it.
void CloseDown(ui::Program& program) {
  ui::WaitUntil(
      [&] {
        ui::MessageBoxInfo box;
        if (ui::FindMessageBox(program.Id(), &box, 0))
          ui::AnswerMessageBox(box, box.text.find("without saving") != std::string::npos ? IDYES : IDNO);
        return !program.Running();
      },
      15000);
  program.Kill();
}

// One of the message lists, opened by the list host as the Status and 2-Way
// pages open it.
HWND OpenList(ui::Program& host, int kind, const char* title) {
  if (!host.Start("zarq_listhost.exe", std::to_string(kind))) return nullptr;
  HWND list = nullptr;
  ui::WaitUntil(
      [&] {
        for (HWND w : ui::TopWindows(host.Id()))
          if (ui::WindowText(w) == title && GetDlgItem(w, IDC_SMSQ_LIST)) list = w;
        return list != nullptr;
      },
      30000);
  if (!list) printf("failed: the list \"%s\" did not show\n", title);
  return list;
}

void CloseList(ui::Program& host, HWND list) {
  PostMessageA(list, WM_COMMAND, IDCANCEL, 0);
  host.WaitExit(10000);
}

// The received-SMS list with messages in several scripts.
void ShootReceivedSmsList(const ScratchDir& data, const std::string& dir) {
  static const struct {
    int number;
    const char* extension;
    const char* sender;
    const char* content;
  } kMessages[] = {
      {1, ".SMS", "+79161234567",
       "Data=\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82! \xD0\x92\xD1\x81\xD1\x82\xD1\x80\xD0\xB5"
       "\xD1\x87\xD0\xB0 \xD0\xB2 15:00"},
      {2, ".SMS", "+201001234567", "Data=\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD9\x83"},
      {3, ".SMS", "+8613800138000", "binary=Yes\r\ndcs=08\r\nData=4F60597DFF0C660E5929"
       "89C1"},
      {4, ".SMS", "+447700900123", "binary=Yes\r\ndcs=08\r\nData=0047007200650061007400200021D83DDE00"},
      {5, ".REC", "+15550100123", "Data=Meeting moved to room 4"},
  };
  std::string inbox = data / "SMS-IN\\";
  CreateDirectoryA(inbox.c_str(), nullptr);
  for (const auto& m : kMessages)
    WriteFileText(inbox + Today(m.number, m.extension), std::string("[SMS-IN]\r\nSender=") + m.sender +
                                      "\r\nPhoneNumber=+15550100100\r\n" + m.content + "\r\n");
  ui::Program host;
  HWND list = OpenList(host, 2, "Received SMS Messages");
  if (!list) return Fail("list-received-sms");
  Shoot(list, dir, "list-received-sms");
  CloseList(host, list);
}

void ShootOutboundSmsQueue(const std::string& dir) {
  ui::Program host;
  HWND list = OpenList(host, 0, "Outbound SMS Queue");
  if (!list) return Fail("dialog-outbound-sms-queue");
  Shoot(list, dir, "dialog-outbound-sms-queue");
  CloseList(host, list);
}

// The received-MMS list with its first message chosen, then that message's view.
void ShootReceivedMms(const std::string& dir) {
  ui::Program host;
  HWND dialog = OpenList(host, 3, "Received MMS Messages");
  if (!dialog) return Fail("dialog-received-mms");
  HWND list = GetDlgItem(dialog, IDC_SMSQ_LIST);
  int row = -1;
  for (int i = 0, n = ui::ListRowCount(list); i < n; ++i)
    if (ui::ListCell(list, i, 0) == Today(1, ".HDR")) row = i;
  if (row < 0) {
    CloseList(host, dialog);
    return Fail("dialog-received-mms: the message is not listed");
  }
  ui::ClickRow(list, row);
  ui::WaitUntil([&] { return ui::SelectedRows(list) == std::vector<int>{row}; }, kWaitMs);
  Shoot(dialog, dir, "dialog-received-mms");
  ui::PressKey(list, VK_RETURN);
  HWND view = FindWindowCaption(host.Id(), "MMS Message Details");
  if (view) {
    ui::WaitUntil([&] { return SendMessageA(GetDlgItem(view, IDC_MMSVIEW_PARTS), LB_GETCOUNT, 0, 0) == 3; }, kWaitMs);
    SendMessageA(GetDlgItem(view, IDC_MMSVIEW_PARTS), LB_SETCURSEL, 1, 0);
    Shoot(view, dir, "dialog-mms-view");
    PostMessageA(view, WM_COMMAND, IDCANCEL, 0);
    ui::WaitGone(view, kWaitMs);
  } else {
    Fail("dialog-mms-view");
  }
  CloseList(host, dialog);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: zarq_screenshots <output directory>\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  CreateDirectoryA(dir.c_str(), nullptr);

  SYSTEMTIME now;
  GetLocalTime(&now);
  char day[16];
  snprintf(day, sizeof day, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  g_day = day;

  ScratchDir data("shots");
  UseDataDirectory(data);
  WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", "Standard Modem");
  WriteSetting(g_SmsgwIni, "SMSGW", "WebPort", "8800");
  WriteSetting(g_SmsgwIni, "SMSGW", "SMPPPort", "2775");
  WriteFileText(data / "SMSDEBUG.LOG", "");
  AddUsers();
  WriteSetting(g_SmsgwIni, "SMSGW", "ReceiveSMS", "Yes");
  WriteSetting(g_SmsgwIni, "SMSGW", "ReceiveMMS", "Yes");
  WriteSetting(g_SmsgwIni, "SMSGW", "ReceiveSMSCommand1", "INFO\thttp://127.0.0.1/info.php?from=@@SENDER@@&t=@@SMS@@\tYes");
  WriteSetting(g_SmsgwIni, "SMSGW", "ReceiveSMSCommand2", "LOG\t\"C:\\Tools\\smslog.exe\" @@FULLSMS@@\tNo");
  WriteSetting(g_SmsgwIni, "Modem - Standard Modem", "MMSRouting", "zarqlocalmm7");
  CreateDirectoryA((data / "VASPOUT").c_str(), nullptr);
  CreateDirectoryA((data / "VASPOUT\\zarqlocalmm7").c_str(), nullptr);
  std::string vasp = data / "VASPOUT\\zarqlocalmm7\\VASP.INI";
  WriteSetting(vasp.c_str(), "VASP", "Server", "https://mm7.example.com:8443/mm7");
  WriteSetting(vasp.c_str(), "VASP", "UserName", "zarqvasp");
  WriteSetting(vasp.c_str(), "VASP", "Password", "m7-Rx4q");
  WriteSetting(vasp.c_str(), "VASP", "VASPID", "ZARQ01");
  WriteSetting(vasp.c_str(), "VASP", "VASID", "ALERTS");
  WriteSetting(vasp.c_str(), "VASP", "ServiceCode", "1001");
  AddOutboundSms(data);
  WriteCounters(data);
  AddReceivedMms(data);
  // The program reads the Application log kept in this file.
  SetEnvironmentVariableA("ZARQ_EVENTLOG_FILE", (data / "AppEvent.Evt").c_str());
  ReportEvents();
  // Windows modems for the modem lists, for as long as the pictures take.
  RegisteredModem standard({"Standard Modem", "COM3"});
  RegisteredModem usb({"Wavecom Fastrack Supreme USB", "COM5"});

  {
    ui::Program wizard;
    if (!wizard.StartConfig("-WIZARD") || !ShootSheet(wizard, kWizardShots, dir)) Fail("the wizard");
    CloseDown(wizard);
  }
  {
    ui::Program sheet;
    if (!sheet.StartConfig() || !ShootSheet(sheet, kSheetShots, dir)) Fail("the configuration sheet");
    CloseDown(sheet);
  }
  {
    ui::Program sheet;
    if (!sheet.StartConfig() || !ShootSheetDialogs(sheet, dir)) Fail("the dialogs of the configuration sheet");
    CloseDown(sheet);
  }
  ShootReceivedSmsList(data, dir);
  ShootOutboundSmsQueue(dir);
  ShootReceivedMms(dir);
  return g_failures ? 1 : 0;
}
