// Saves a picture of every page of the setup wizard and the configuration
// sheet:  zarq_screenshots.exe <output directory>
// (BMP files; tools/screenshots turns them into PNG). The program runs on a
// fresh data directory with a few settings, so the pages show typical values.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "app/configstore.h"
#include "core/userrecord.h"
#include "gateway/zarqacct.h"
#include "resource.h"
#include "testenv.h"
#include "uiauto.h"

namespace {

const char* const kWizardShots[] = {"wizard-1-select-modem", "wizard-2-modem-settings", "wizard-3-server-settings",
                                    "wizard-4-configuration-complete", "wizard-5-send-test-message"};
const char* const kSheetShots[] = {"sheet-1-status", "sheet-2-modem",        "sheet-3-server", "sheet-4-users",
                                   "sheet-5-2-way",  "sheet-6-test-message", "sheet-7-debug-logs"};

int g_failures = 0;

// A few accounts for the Users page.
void AddUsers() {
  const char* const users[][2] = {{"admin", "Gateway Administrator"}, {"alerts", "Monitoring Alerts"},
                                  {"smppclient", "Billing System (SMPP)"}};
  SMSUSERFILE store;
  if (!SMSOpenUserFile(&store, SMS_USERFILE_READWRITE)) return;
  for (const auto& user : users) {
    UserFields f;
    CopyBounded(f.name, sizeof f.name, user[0]);
    CopyBounded(f.fullName, sizeof f.fullName, user[1]);
    unsigned char record[UserRecord::kSize];
    BuildUserRecord(f, record);
    SMSAddUser(store, record);
  }
  SMSCloseUserFile(store);
}

void Shoot(HWND window, const std::string& dir, const char* name) {
  std::string path = dir + name + ".bmp";
  if (ui::SaveWindowImage(window, path)) {
    printf("%s\n", path.c_str());
  } else {
    printf("failed: %s\n", path.c_str());
    ++g_failures;
  }
}

// Shows each page of the program's sheet in turn and saves it.
template <size_t N>
bool ShootSheet(ui::Program& program, const char* const (&names)[N], const std::string& dir) {
  HWND sheet = ui::FindSheet(program.Id(), 30000);
  if (!sheet) return false;
  for (size_t i = 0; i < N; ++i) {
    ui::SelectPage(sheet, static_cast<int>(i));
    Sleep(400);
    Shoot(sheet, dir, names[i]);
  }
  ui::PressButton(sheet, PSBTN_CANCEL);
  return true;
}

// The Users page's "Edit User" dialog, opened on the first user.
bool ShootUserDialog(ui::Program& program, const std::string& dir) {
  HWND sheet = ui::FindSheet(program.Id(), 30000);
  if (!sheet) return false;
  HWND page = ui::SelectPage(sheet, 3);
  ui::ClickItem(page, 102);  // Edit
  HWND dialog = nullptr;
  ui::WaitUntil(
      [&] {
        for (HWND w : ui::TopWindows(program.Id()))
          if (ui::WindowText(w) == "Edit User") dialog = w;
        return dialog != nullptr;
      },
      10000);
  if (!dialog) return false;
  Sleep(400);
  Shoot(dialog, dir, "dialog-edit-user");
  ui::ClickItem(dialog, IDCANCEL);
  ui::WaitGone(dialog, 10000);
  ui::PressButton(sheet, PSBTN_CANCEL);
  return true;
}

// Answers whatever the program asks on its way out with No, and waits for it.
void CloseDown(ui::Program& program) {
  ui::WaitUntil(
      [&] {
        ui::MessageBoxInfo box;
        if (ui::FindMessageBox(program.Id(), &box, 0)) ui::AnswerMessageBox(box, IDNO);
        return !program.Running();
      },
      15000);
  program.Kill();
}

// The MM7 receiver dialog, opened from the 2-Way page.
bool ShootMm7Dialog(ui::Program& program, const std::string& dir) {
  HWND sheet = ui::FindSheet(program.Id(), 30000);
  if (!sheet) return false;
  HWND page = ui::SelectPage(sheet, 4);
  ui::ClickItem(page, IDC_RECV_CONFIGURE);
  HWND dialog = nullptr;
  ui::WaitUntil(
      [&] {
        for (HWND w : ui::TopWindows(program.Id()))
          if (ui::WindowText(w) == "Configure MM7 Receiver") dialog = w;
        return dialog != nullptr;
      },
      10000);
  if (!dialog) return false;
  Sleep(400);
  Shoot(dialog, dir, "dialog-mm7-receiver");
  ui::ClickItem(dialog, IDCANCEL);
  ui::WaitGone(dialog, 5000);
  ui::PressButton(sheet, PSBTN_CANCEL);
  return true;
}

// The received-SMS list with messages in several scripts (opened by the list
// host, as the Status and 2-Way pages open it).
void ShootReceivedSmsList(const ScratchDir& data, const std::string& dir) {
  static const struct {
    const char* name;
    const char* sender;
    const char* content;
  } kMessages[] = {
      {"20120216-0001.SMS", "+79161234567",
       "Data=\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82! \xD0\x92\xD1\x81\xD1\x82\xD1\x80\xD0\xB5"
       "\xD1\x87\xD0\xB0 \xD0\xB2 15:00"},
      {"20120216-0002.SMS", "+201001234567", "Data=\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD9\x83"},
      {"20120216-0003.SMS", "+8613800138000", "binary=Yes\r\ndcs=08\r\nData=4F60597DFF0C660E5929"
       "89C1"},
      {"20120216-0004.SMS", "+447700900123", "binary=Yes\r\ndcs=08\r\nData=0047007200650061007400200021D83DDE00"},
      {"20120216-0005.REC", "+15550100123", "Data=Meeting moved to room 4"},
  };
  std::string inbox = data / "SMS-IN\\";
  CreateDirectoryA(inbox.c_str(), nullptr);
  for (const auto& m : kMessages)
    WriteFileText(inbox + m.name, std::string("[SMS-IN]\r\nSender=") + m.sender +
                                      "\r\nPhoneNumber=+15550100100\r\n" + m.content + "\r\n");
  ui::Program host;
  HWND list = nullptr;
  if (host.Start("zarq_listhost.exe", "2"))
    ui::WaitUntil(
        [&] {
          for (HWND w : ui::TopWindows(host.Id()))
            if (ui::WindowText(w) == "Received SMS Messages") list = w;
          return list != nullptr;
        },
        30000);
  if (!list) {
    printf("failed: the received-SMS list did not show\n");
    ++g_failures;
    return;
  }
  Sleep(400);
  Shoot(list, dir, "list-received-sms");
  PostMessageA(list, WM_COMMAND, IDCANCEL, 0);
  host.WaitExit(10000);
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
  WriteSetting((data / "VASPOUT\\zarqlocalmm7\\VASP.INI").c_str(), "VASP", "Server", "https://mm7.example.com:8443/mm7");

  {
    ui::Program wizard;
    if (!wizard.StartConfig("-WIZARD") || !ShootSheet(wizard, kWizardShots, dir)) ++g_failures;
    CloseDown(wizard);
  }
  {
    ui::Program sheet;
    if (!sheet.StartConfig() || !ShootSheet(sheet, kSheetShots, dir)) ++g_failures;
    CloseDown(sheet);
  }
  {
    ui::Program users;
    if (!users.StartConfig() || !ShootUserDialog(users, dir)) ++g_failures;
    CloseDown(users);
  }
  {
    ui::Program sheet;
    if (!sheet.StartConfig() || !ShootMm7Dialog(sheet, dir)) ++g_failures;
    CloseDown(sheet);
  }
  ShootReceivedSmsList(data, dir);
  return g_failures ? 1 : 0;
}
