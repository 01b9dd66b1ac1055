// The 2-Way page and its command dialog in the test's own process: what the
// page reads (users, routing, character sets, 300 command keys with gaps and
// damaged entries, PHP), what Apply writes and removes, when leaving is
// refused, and the command table's editing with its questions.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/configstore.h"
#include "core/commandtable.h"
#include "modal.h"
#include "pages/pages.h"
#include "pages/twoway.h"
#include "resource.h"
#include "testenv.h"

namespace {

using Lines = std::vector<std::string>;
constexpr char kSection[] = "Modem - Test Modem";
constexpr char kNoPhp[] =
    "PHP support not available, unable to locate php-cgi.exe via PHPRC or PATH environemental variable";
constexpr char kReplace[] = "Replace existing defintion for command prefix '*'?";

std::string Value(const char* section, const std::string& key) {
  char value[2048];
  ReadSetting(g_SmsgwIni, section, key.c_str(), "<absent>", value, sizeof value);
  return value;
}
std::string Command(int n) { return Value("SMSGW", "ReceiveSMSCommand" + std::to_string(n)); }
void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
Lines Items(HWND dialog, int id, bool combo = false) {
  Lines items(size_t(SendDlgItemMessageA(dialog, id, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0)));
  for (size_t i = 0; i < items.size(); ++i) {
    char text[2048] = "";
    SendDlgItemMessageA(dialog, id, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    items[i] = text;
  }
  return items;
}
std::string Selected(HWND dialog, int id, bool combo = false) {
  LRESULT i = SendDlgItemMessageA(dialog, id, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  return i < 0 ? "<none>" : Items(dialog, id, combo)[size_t(i)];
}
bool Has(const Lines& items, const std::string& item) {
  for (const auto& i : items)
    if (i == item) return true;
  return false;
}
void WriteVaspServer(const ScratchDir& dir) {
  CreateDirectoryA((dir / "VASPOUT").c_str(), nullptr);
  CreateDirectoryA((dir / "VASPOUT\\zarqlocalmm7").c_str(), nullptr);
  WriteFileText(dir / "VASPOUT\\zarqlocalmm7\\VASP.INI", "[VASP]\r\nServer=http://mm7.example/\r\n");
}

INT_PTR CALLBACK OtherPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

INT_PTR ShowSheet(void* state) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  PROPSHEETPAGEA pages[2] = {};
  for (int i = 0; i < 2; ++i) {
    pages[i].dwSize = sizeof pages[i];
    pages[i].pszTemplate = i ? "DIALOG_SMSUSERS" : "DIALOG_RECV";
    pages[i].pfnDlgProc = i ? OtherPageProc : kTwoWayPage.procedure;
    pages[i].lParam = i ? 0 : reinterpret_cast<LPARAM>(state);
  }
  PROPSHEETHEADERA header = {sizeof header, PSH_PROPSHEETPAGE};
  header.pszCaption = "2-Way under test";
  header.nPages = 2;
  header.ppsp = pages;
  return PropertySheetA(&header);
}

class TwoWayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseDataDirectory(dir_);
    strcpy(g_ConfiguredModem, "Test Modem");
    g_ConfigChanged = false;
    path_.resize(GetEnvironmentVariableA("PATH", &path_[0], DWORD(path_.size())));
    SetEnvironmentVariableA("PHPRC", nullptr);
    SetEnvironmentVariableA("PATH", (dir_ / "bin").c_str());
    UseCharsets(true);
  }
  void TearDown() override {
    if (sheet) {
      g_ConfigChanged = false;
      PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      EXPECT_NE(thread_->Wait(), -2);
    }
    thread_.reset();
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, classes_.c_str());
    SetEnvironmentVariableA("PATH", path_.c_str());
  }

  // This process's HKEY_CLASSES_ROOT: character sets of every kind, or no MIME key at all.
  void UseCharsets(bool any) {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, classes_.c_str());
    HKEY root, key;
    RegCreateKeyExA(HKEY_CURRENT_USER, classes_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr);
    const char* names[] = {"utf-8", "x-alias", "x-blank-alias", "x-bare", "iso-8859-1"};
    for (int i = 0; any && i < 5; ++i) {
      RegCreateKeyExA(root, (std::string("MIME\\Database\\Charset\\") + names[i]).c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr);
      DWORD codepage = 65001;
      if (i == 0 || i == 4) RegSetValueExA(key, "Codepage", 0, REG_DWORD, reinterpret_cast<BYTE*>(&codepage), 4);
      if (i == 1 || i == 2)
        RegSetValueExA(key, "AliasForCharset", 0, REG_SZ, reinterpret_cast<const BYTE*>(i == 1 ? "utf-8" : ""),
                       i == 1 ? 6 : 1);
      RegCloseKey(key);
    }
    RegOverridePredefKey(HKEY_CLASSES_ROOT, root);
    RegCloseKey(root);
  }

  // The 2-Way page and a second page in a sheet on a thread of its own.
  HWND OpenPage() {
    state_.reset(kTwoWayPage.newState(), kTwoWayPage.deleteState);
    void* state = state_.get();
    thread_ = std::make_unique<ModalThread>([state] { return ShowSheet(state); });
    sheet = thread_->Window("2-Way under test");
    return sheet ? reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) : nullptr;
  }
  void Apply() { SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0); }
  // Leaving the page: refused with `refusal`, focus on `focus`; or, with none, allowed.
  void Leave(HWND page, const char* refusal = nullptr, int focus = 0) {
    PostMessageA(sheet, PSM_SETCURSEL, 1, 0);
    if (refusal) {
      ui::MessageBoxInfo box = thread_->Answer(IDOK);
      EXPECT_EQ(box.text, refusal);
      EXPECT_EQ(box.icon, ui::Icon::Error);
      thread_->Sync(sheet);
      EXPECT_TRUE(thread_->HasFocus(GetDlgItem(page, focus))) << refusal;
    }
    thread_->Sync(sheet);
    EXPECT_EQ(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) == LPARAM(page), refusal != nullptr);
  }
  // The command dialog opened by `button`, filled and confirmed.
  void EnterCommand(HWND page, int button, const char* prefix, const char* command, bool response) {
    ui::ClickItem(page, button);
    HWND dialog = thread_->Window("2-Way SMS Command");
    ASSERT_TRUE(dialog);
    SetDlgItemTextA(dialog, IDC_COMMAND_PREFIX, prefix);
    SetDlgItemTextA(dialog, IDC_COMMAND_TEXT, command);
    CheckDlgButton(dialog, IDC_COMMAND_RESPONSE, response ? BST_CHECKED : BST_UNCHECKED);
    ui::ClickItem(dialog, IDOK);
  }

  ScratchDir dir_{"twoway"};
  std::string path_ = std::string(8192, '\0');
  std::string classes_ = "Software\\ZarqTest\\Classes" + std::to_string(GetCurrentProcessId());
  std::shared_ptr<void> state_;
  std::unique_ptr<ModalThread> thread_;
  HWND sheet = nullptr;
};

TEST_F(TwoWayTest, ReadsWhatIsStoredAndAppliesItBack) {
  // Keys 1 to 300 without 3, 100 and 250; key 1 has no tabs, key 2 one, key 4 is too long.
  std::string ini = "[SMSGW]\r\nReceiveMMS=Yes\r\nPHPEnable=Yes\r\nPHPAllowRemote=Yes\r\n";
  for (int i = 1; i <= 300; ++i) {
    std::string entry = "K" + std::to_string(1000 + i) + "\tcmd\tNo";
    if (i == 1) entry = "WX http://weather.example/q?c=@@SMS@@ Yes";
    if (i == 2) entry = "RUN\tc:\\tools\\run.exe -a @@SMS@@ No";
    if (i == 4) entry = "LONG\t" + std::string(1100, 'x') + "\tYes";
    if (i != 3 && i != 100 && i != 250) ini += "ReceiveSMSCommand" + std::to_string(i) + "=" + entry + "\r\n";
  }
  WriteFileText(g_SmsgwIni, ini + "[" + kSection + "]\r\nRouteLocal=bob\r\nMMSRouting=ZarqLocalMM7\r\n");
  WriteVaspServer(dir_);
  AddTestUser("bob", true);
  AddTestUser("alice", true);
  AddTestUser("carol", false);

  HWND page = OpenPage();
  ASSERT_TRUE(page);
  // RouteLocal ticks both boxes even though ReceiveSMS is off; ReceiveMMS follows.
  EXPECT_TRUE(Checked(page, IDC_RECV_PROCESS_SMS) && Checked(page, IDC_RECV_ROUTE_LOCAL));
  EXPECT_EQ(Items(page, IDC_RECV_LOCAL_USER, true), (Lines{"", "alice", "bob"}));
  EXPECT_EQ(Selected(page, IDC_RECV_LOCAL_USER, true), "bob");
  EXPECT_TRUE(Checked(page, IDC_RECV_PROCESS_MMS) && Checked(page, IDC_RECV_MMS_ROUTE));
  EXPECT_TRUE(Enabled(page, IDC_RECV_CONFIGURE));
  EXPECT_FALSE(Enabled(page, IDC_RECV_TABLE) || Enabled(page, IDC_RECV_CHARSET));
  Lines charsets = Items(page, IDC_RECV_CHARSET, true);
  ASSERT_EQ(charsets.size(), 4u);
  EXPECT_EQ(charsets[0], "(default)");
  EXPECT_TRUE(Has(charsets, "utf-8") && Has(charsets, "x-alias") && Has(charsets, "iso-8859-1"));
  EXPECT_EQ(Selected(page, IDC_RECV_CHARSET, true), "utf-8");
  Lines table = Items(page, IDC_RECV_TABLE);
  EXPECT_EQ(table.size(), 247u);  // 1 to 249 without 3 and 100; the gap at 250 ends the table
  EXPECT_TRUE(Has(table, "WX\thttp://weather.example/q?c=@@SMS@@\tYes"));
  EXPECT_TRUE(Has(table, "RUN\tc:\\tools\\run.exe -a @@SMS@@\tNo"));
  EXPECT_TRUE(Has(table, "LONG\t" + std::string(kCommandEntrySize - 6, 'x')));
  EXPECT_FALSE(Has(table, "K1251\tcmd\tNo"));
  // No php-cgi.exe: PHP reads as off; the remote box keeps its value, disabled.
  EXPECT_FALSE(Checked(page, IDC_RECV_PHP_ENABLE) || Enabled(page, IDC_RECV_PHP_REMOTE));
  EXPECT_TRUE(Checked(page, IDC_RECV_PHP_REMOTE));
  EXPECT_FALSE(g_ConfigChanged);

  Apply();
  const char* expected[][3] = {{"SMSGW", "ReceiveSMS", "Yes"},         {"SMSGW", "ReceiveMMS", "Yes"},
                               {"SMSGW", "PHPEnable", "No"},           {"SMSGW", "PHPAllowRemote", "Yes"},
                               {"SMSGW", "ReceiveSMSCharset", "utf-8"}, {kSection, "RouteLocal", "bob"},
                               {kSection, "MMSRouting", "zarqlocalmm7"}};
  for (auto& e : expected) EXPECT_EQ(Value(e[0], e[1]), e[2]) << e[1];
  for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(Command(int(i + 1)), table[i]) << i;
  EXPECT_EQ(Command(248), "<absent>");
  EXPECT_EQ(Command(249), "<absent>");
  EXPECT_EQ(Command(251), "K1251\tcmd\tNo");  // past the gap: never read, never removed
}

TEST_F(TwoWayTest, SavesByItsRulesWithoutAModem) {
  std::string ini = "[SMSGW]\r\nReceiveSMS=Yes\r\nReceiveMMS=Yes\r\nReceiveSMSCharset=iso-8859-1\r\n";
  for (int i = 1; i <= 7; ++i) ini += "ReceiveSMSCommand" + std::to_string(i) + "=C" + std::to_string(i) + "\tc\tNo\r\n";
  WriteFileText(g_SmsgwIni, ini + "[" + kSection + "]\r\nRouteLocal=bob\r\n");
  g_ConfiguredModem[0] = '\0';
  UseCharsets(false);
  HWND page = OpenPage();
  ASSERT_TRUE(page);
  EXPECT_EQ(Items(page, IDC_RECV_CHARSET, true), Lines{"(default)"});
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE), "C1\tc\tNo");
  // Removing the last line selects the one before; removing the first keeps the place.
  SendDlgItemMessageA(page, IDC_RECV_TABLE, LB_SETCURSEL, 6, 0);
  Click(page, IDC_RECV_REMOVE);
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE), "C6\tc\tNo");
  SendDlgItemMessageA(page, IDC_RECV_TABLE, LB_SETCURSEL, 0, 0);
  Click(page, IDC_RECV_REMOVE);
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE), "C2\tc\tNo");
  EXPECT_TRUE(g_ConfigChanged);
  // Roads that would refuse leaving, then SMS processing off: never refused.
  Click(page, IDC_RECV_ROUTE_LOCAL);
  Click(page, IDC_RECV_MMS_ROUTE);
  Click(page, IDC_RECV_PROCESS_SMS);
  EXPECT_TRUE(Checked(page, IDC_RECV_PROCESS_MMS) && !Enabled(page, IDC_RECV_PROCESS_MMS));
  Leave(page);
  SendMessageA(sheet, PSM_SETCURSEL, 0, 0);

  Apply();
  EXPECT_FALSE(g_ConfigChanged);
  EXPECT_EQ(Value("SMSGW", "ReceiveSMS"), "No");
  EXPECT_EQ(Value("SMSGW", "ReceiveMMS"), "No");
  EXPECT_EQ(Value("SMSGW", "ReceiveSMSCharset"), "<absent>");  // "(default)"
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(Command(i), i <= 5 ? "C" + std::to_string(i + 1) + "\tc\tNo" : "<absent>");
  EXPECT_EQ(Value(kSection, "RouteLocal"), "bob");  // no modem: its section is left alone
}

TEST_F(TwoWayTest, LeavingNeedsAUserAndMm7SettingsAndShowingAgainAddsUsers) {
  WriteFileText(g_SmsgwIni, "[SMSGW]\r\nReceiveSMS=Yes\r\n");
  AddTestUser("alice", true);
  HWND page = OpenPage();
  ASSERT_TRUE(page);
  Click(page, IDC_RECV_ROUTE_LOCAL);
  EXPECT_TRUE(Enabled(page, IDC_RECV_LOCAL_USER) && !Enabled(page, IDC_RECV_TABLE));
  Leave(page, "Please select a local user account to receive messages", IDC_RECV_LOCAL_USER);
  SendDlgItemMessageA(page, IDC_RECV_LOCAL_USER, CB_SELECTSTRING, WPARAM(-1), LPARAM("alice"));
  Click(page, IDC_RECV_PROCESS_MMS);
  EXPECT_FALSE(Enabled(page, IDC_RECV_CONFIGURE));
  Click(page, IDC_RECV_MMS_ROUTE);
  EXPECT_TRUE(Enabled(page, IDC_RECV_CONFIGURE));
  Leave(page, "MM7 Settings must be configured", IDC_RECV_CONFIGURE);
  WriteVaspServer(dir_);
  Leave(page);
  AddTestUser("dave", true);
  AddTestUser("erin", false);
  SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
  EXPECT_EQ(Items(page, IDC_RECV_LOCAL_USER, true), (Lines{"", "alice", "dave"}));
  EXPECT_EQ(Selected(page, IDC_RECV_LOCAL_USER, true), "alice");
}

TEST_F(TwoWayTest, CommandTableKeepsOneEntryPerPrefix) {
  WriteFileText(g_SmsgwIni, "[SMSGW]\r\nReceiveSMS=Yes\r\n");
  HWND page = OpenPage();
  ASSERT_TRUE(page);
  EnterCommand(page, IDC_RECV_ADD, "", "http://h/a?t=@@SMS@@", false);
  thread_->Sync(sheet);
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE), "*\thttp://h/a?t=@@SMS@@\tNo");
  EXPECT_TRUE(g_ConfigChanged);
  // A second empty prefix: No brings the dialog back with the new entry, Yes replaces.
  EnterCommand(page, IDC_RECV_ADD, "", "http://h/b", true);
  ui::MessageBoxInfo box = thread_->Answer(IDNO);
  EXPECT_EQ(box.text, kReplace);
  EXPECT_EQ(box.icon, ui::Icon::Question);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
  HWND dialog = thread_->Window("2-Way SMS Command");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(ui::ItemText(dialog, IDC_COMMAND_PREFIX) + ui::ItemText(dialog, IDC_COMMAND_TEXT), "*http://h/b");
  ui::ClickItem(dialog, IDOK);
  EXPECT_EQ(thread_->Answer(IDYES).text, kReplace);
  thread_->Sync(sheet);
  EXPECT_EQ(Items(page, IDC_RECV_TABLE), Lines{"*\thttp://h/b\tYes"});
  // Editing "info" into the empty prefix: both lines go, the edited entry stays.
  EnterCommand(page, IDC_RECV_ADD, "info", "http://h/i", true);
  thread_->Sync(sheet);
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE), "info\thttp://h/i\tYes");
  EnterCommand(page, IDC_RECV_EDIT, "", "http://h/i", true);
  EXPECT_EQ(thread_->Answer(IDYES).text, kReplace);
  thread_->Sync(sheet);
  EXPECT_EQ(Items(page, IDC_RECV_TABLE), Lines{"*\thttp://h/i\tYes"});
  // Its own prefix asks nothing.
  EnterCommand(page, IDC_RECV_EDIT, "*", "http://h/j?@@SENDER@@", false);
  thread_->Sync(sheet);
  EXPECT_EQ(Items(page, IDC_RECV_TABLE), Lines{"*\thttp://h/j?@@SENDER@@\tNo"});
}

TEST_F(TwoWayTest, CommandDialogLooksForTheProgramFromTheCurrentDirectory) {
  char saved[MAX_PATH];
  GetCurrentDirectoryA(sizeof saved, saved);
  SetCurrentDirectoryA(dir_.Path().c_str());
  char entry[kCommandEntrySize] = "old\told command\tYes";
  ModalThread run([&entry] { return EditCommandEntry(nullptr, entry); });
  HWND dialog = run.Window("2-Way SMS Command");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(ui::ItemText(dialog, IDC_COMMAND_TEXT), "old command");
  EXPECT_TRUE(Checked(dialog, IDC_COMMAND_RESPONSE));
  SetDlgItemTextA(dialog, IDC_COMMAND_TEXT, "notepad @@SMS@@");
  CheckDlgButton(dialog, IDC_COMMAND_RESPONSE, BST_UNCHECKED);
  ui::ClickItem(dialog, IDOK);
  ui::MessageBoxInfo box = run.Answer(IDOK);
  EXPECT_EQ(box.text, "Cannot locate program file:  notepad.EXE\r\n\r\n"
                      "Please specify an http://url, or a valid executable file name.");
  EXPECT_EQ(box.icon, ui::Icon::Error);
  run.Sync(dialog);
  EXPECT_TRUE(run.HasFocus(GetDlgItem(dialog, IDC_COMMAND_TEXT)));
  WriteFileText(dir_ / "notepad.EXE", "MZ");
  ui::ClickItem(dialog, IDOK);
  EXPECT_EQ(run.Wait(), 1);
  EXPECT_STREQ(entry, "old\tnotepad @@SMS@@\tNo");  // the ".EXE" only for the test
  SetCurrentDirectoryA(saved);
}

TEST_F(TwoWayTest, PhpFollowsPhpCgi) {
  ScratchDir php("php"), other("other");
  WriteFileText(php / "php-cgi.exe", "MZ");
  char text[kPhpCgiTextSize];
  SetEnvironmentVariableA("PHPRC", php.Path().c_str());
  EXPECT_TRUE(FindPhpCgi(text));
  EXPECT_EQ(std::string(text), php / "php-cgi.exe");
  SetEnvironmentVariableA("PHPRC", other.Path().c_str());
  std::string bare = php.Path().substr(0, php.Path().size() - 1);  // without its backslash
  SetEnvironmentVariableA("PATH", (other.Path() + ";;  " + bare).c_str());
  EXPECT_TRUE(FindPhpCgi(text));
  EXPECT_EQ(std::string(text), php / "php-cgi.exe");
  SetEnvironmentVariableA("PATH", other.Path().c_str());
  EXPECT_FALSE(FindPhpCgi(text));
  EXPECT_STREQ(text, kNoPhp);

  SetEnvironmentVariableA("PHPRC", php.Path().c_str());
  WriteFileText(g_SmsgwIni, "[SMSGW]\r\nPHPEnable=Yes\r\n");
  HWND page = OpenPage();
  ASSERT_TRUE(page);
  EXPECT_TRUE(Checked(page, IDC_RECV_PHP_ENABLE) && Enabled(page, IDC_RECV_PHP_REMOTE));
  EXPECT_EQ(ui::ItemText(page, IDC_RECV_PHP_NOTE), "http://zarqphp/php resolves to " + (dir_ / "PHP\\"));
  EXPECT_TRUE(PathExists(dir_ / "PHP"));
  Click(page, IDC_RECV_PHP_ENABLE);
  EXPECT_EQ(ui::ItemText(page, IDC_RECV_PHP_NOTE), "");
  EXPECT_FALSE(Enabled(page, IDC_RECV_PHP_REMOTE));
  SetEnvironmentVariableA("PHPRC", nullptr);
  ui::ClickItem(page, IDC_RECV_PHP_ENABLE);
  ui::MessageBoxInfo box = thread_->Answer(IDOK);
  EXPECT_EQ(box.text, kNoPhp);
  EXPECT_EQ(box.icon, ui::Icon::Error);
  thread_->Sync(sheet);
  EXPECT_FALSE(Checked(page, IDC_RECV_PHP_ENABLE));
  EXPECT_TRUE(g_ConfigChanged);
}

}  // namespace
