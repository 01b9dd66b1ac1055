// The 2-Way page and its command dialog in the test's own process: what the
// page reads (users, routing, character sets, a command table of 300 keys
// with gaps and damaged entries, PHP), what Apply writes and removes, when
// leaving is refused, and the command table's editing with its questions.
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

constexpr char kProduct[] = "Zarq SMS/MMS Gateway Lite Edition (v2012.02.16)";
constexpr char kSection[] = "Modem - Test Modem";
constexpr char kSheetTitle[] = "2-Way under test";
constexpr char kAbsentValue[] = "<absent>";
constexpr char kNoPhp[] =
    "PHP support not available, unable to locate php-cgi.exe via PHPRC or PATH environemental variable";

std::string Value(const char* section, const std::string& key, const std::string& file = g_SmsgwIni) {
  char value[2048];
  ReadSetting(file.c_str(), section, key.c_str(), kAbsentValue, value, sizeof value);
  return value;
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

std::vector<std::string> Items(HWND dialog, int id, bool combo) {
  HWND list = GetDlgItem(dialog, id);
  std::vector<std::string> items;
  LRESULT n = SendMessageA(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    char text[2048] = "";
    SendMessageA(list, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}
std::string Selected(HWND dialog, int id, bool combo) {
  LRESULT i = SendDlgItemMessageA(dialog, id, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  return i < 0 ? "<none>" : Items(dialog, id, combo)[size_t(i)];
}
void Choose(HWND page, int id, const char* text) {
  HWND combo = GetDlgItem(page, id);
  SendMessageA(combo, CB_SETCURSEL,
               WPARAM(SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text))), 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
}
bool Has(const std::vector<std::string>& items, const std::string& item) {
  for (const auto& i : items)
    if (i == item) return true;
  return false;
}

INT_PTR CALLBACK OtherPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class TwoWayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseDataDirectory(dir_);
    strcpy(g_ConfiguredModem, "Test Modem");
    g_ConfigChanged = false;
    path_ = std::string(4096, '\0');
    path_.resize(GetEnvironmentVariableA("PATH", &path_[0], 4096));
    SetEnvironmentVariableA("PHPRC", nullptr);
    SetEnvironmentVariableA("PATH", (dir_ / "bin").c_str());
    UseCharsets(true);
  }
  void TearDown() override {
    sheet_.reset();
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, classes_.c_str());
    SetEnvironmentVariableA("PATH", path_.c_str());
  }

  // HKEY_CLASSES_ROOT of this process: MIME character sets of every kind, or none at all.
  void UseCharsets(bool any) {
    classes_ = "Software\\ZarqTest\\Classes" + std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, classes_.c_str());
    HKEY root;
    RegCreateKeyExA(HKEY_CURRENT_USER, classes_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr);
    struct Charset {
      const char* name;
      const char* value;  // Codepage (a number) or AliasForCharset, or none
      const char* alias;
    } charsets[] = {{"utf-8", "65001", nullptr}, {"x-alias", nullptr, "utf-8"}, {"x-blank-alias", nullptr, ""},
                    {"x-bare", nullptr, nullptr}, {"iso-8859-1", "28591", nullptr}};
    for (const Charset& c : charsets) {
      if (!any) break;
      HKEY key;
      RegCreateKeyExA(root, (std::string("MIME\\Database\\Charset\\") + c.name).c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr);
      if (c.value) {
        DWORD codepage = DWORD(atoi(c.value));
        RegSetValueExA(key, "Codepage", 0, REG_DWORD, reinterpret_cast<BYTE*>(&codepage), sizeof codepage);
      }
      if (c.alias)
        RegSetValueExA(key, "AliasForCharset", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.alias),
                       DWORD(strlen(c.alias) + 1));
      RegCloseKey(key);
    }
    RegOverridePredefKey(HKEY_CLASSES_ROOT, root);
    RegCloseKey(root);
  }

  // A sheet of the 2-Way page and a second page, shown on its own thread.
  HWND OpenPage() {
    state_.reset(kTwoWayPage.newState(), kTwoWayPage.deleteState);
    void* state = state_.get();
    sheet_ = std::make_unique<ModalThread>([state]() -> INT_PTR {
      INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
      InitCommonControlsEx(&controls);
      PROPSHEETPAGEA pages[2] = {};
      const char* templates[2] = {"DIALOG_RECV", "DIALOG_SMSUSERS"};
      for (int i = 0; i < 2; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = GetModuleHandleA(nullptr);
        pages[i].pszTemplate = templates[i];
        pages[i].pfnDlgProc = i ? OtherPageProc : kTwoWayPage.procedure;
        pages[i].lParam = i ? 0 : reinterpret_cast<LPARAM>(state);
      }
      PROPSHEETHEADERA header = {};
      header.dwSize = sizeof header;
      header.dwFlags = PSH_PROPSHEETPAGE;
      header.hInstance = GetModuleHandleA(nullptr);
      header.pszCaption = kSheetTitle;
      header.nPages = 2;
      header.ppsp = pages;
      return PropertySheetA(&header);
    });
    sheet = sheet_->Window(kSheetTitle);
    return sheet ? reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) : nullptr;
  }
  void Apply() { SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0); }
  // Leaving the page: refused with the message `refusal` focused on `focus`, or not.
  void Leave(HWND page, const char* refusal, int focus) {
    PostMessageA(sheet, PSM_SETCURSEL, 1, 0);
    if (refusal) {
      ui::MessageBoxInfo box = sheet_->Answer(IDOK);
      EXPECT_EQ(box.text, refusal);
      EXPECT_EQ(box.caption, kProduct);
      EXPECT_EQ(box.icon, ui::Icon::Error);
      sheet_->Sync(sheet);
      EXPECT_EQ(sheet_->Focus(), GetDlgItem(page, focus)) << refusal;
    }
    sheet_->Sync(sheet);
    EXPECT_EQ(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) == LPARAM(page), refusal != nullptr);
  }
  void Close() {
    g_ConfigChanged = false;
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_NE(sheet_->Wait(), -2);
  }
  // The command dialog opened by `button`, filled and confirmed.
  HWND CommandDialog(HWND page, int button) {
    ui::ClickItem(page, button);
    return sheet_->Window("2-Way SMS Command");
  }
  void FillCommand(HWND dialog, const char* prefix, const char* command, bool response) {
    SetDlgItemTextA(dialog, IDC_COMMAND_PREFIX, prefix);
    SetDlgItemTextA(dialog, IDC_COMMAND_TEXT, command);
    CheckDlgButton(dialog, IDC_COMMAND_RESPONSE, response ? BST_CHECKED : BST_UNCHECKED);
    ui::ClickItem(dialog, IDOK);
  }

  ScratchDir dir_{"twoway"};
  std::string path_, classes_;
  std::shared_ptr<void> state_;
  std::unique_ptr<ModalThread> sheet_;
  HWND sheet = nullptr;
};

TEST_F(TwoWayTest, ReadsWhatIsStoredAndAppliesItBack) {
  // 300 command keys with gaps at 3, 100 and 250; key 1 has no tabs, key 2
  // one, key 4 is longer than an entry.
  std::string ini = "[SMSGW]\r\nReceiveMMS=Yes\r\nPHPEnable=Yes\r\nPHPAllowRemote=Yes\r\n";
  for (int i = 1; i <= 300; ++i) {
    if (i == 3 || i == 100 || i == 250) continue;
    std::string entry = "K" + std::to_string(1000 + i) + "\tcmd\tNo";
    if (i == 1) entry = "WX http://weather.example/q?c=@@SMS@@ Yes";
    if (i == 2) entry = "RUN\tc:\\tools\\run.exe -a @@SMS@@ No";
    if (i == 4) entry = "LONG\t" + std::string(1100, 'x') + "\tYes";
    ini += "ReceiveSMSCommand" + std::to_string(i) + "=" + entry + "\r\n";
  }
  ini += std::string("[") + kSection + "]\r\nRouteLocal=bob\r\nMMSRouting=ZarqLocalMM7\r\n";
  WriteFileText(g_SmsgwIni, ini);
  CreateDirectoryA((dir_ / "VASPOUT").c_str(), nullptr);
  CreateDirectoryA((dir_ / "VASPOUT\\zarqlocalmm7").c_str(), nullptr);
  WriteFileText(dir_ / "VASPOUT\\zarqlocalmm7\\VASP.INI", "[VASP]\r\nServer=http://mm7.example/\r\n");
  AddTestUser("bob", true);
  AddTestUser("alice", true);
  AddTestUser("carol", false);

  HWND page = OpenPage();
  ASSERT_TRUE(page);
  // RouteLocal ticks both boxes even though ReceiveSMS is off; ReceiveMMS follows.
  EXPECT_TRUE(Checked(page, IDC_RECV_PROCESS_SMS));
  EXPECT_TRUE(Checked(page, IDC_RECV_ROUTE_LOCAL));
  EXPECT_FALSE(Checked(page, IDC_RECV_COMMANDS));
  EXPECT_EQ(Items(page, IDC_RECV_LOCAL_USER, true), (std::vector<std::string>{"", "alice", "bob"}));
  EXPECT_EQ(Selected(page, IDC_RECV_LOCAL_USER, true), "bob");
  EXPECT_TRUE(Checked(page, IDC_RECV_PROCESS_MMS));
  EXPECT_TRUE(Checked(page, IDC_RECV_MMS_ROUTE));
  EXPECT_FALSE(Checked(page, IDC_RECV_MMS_INBOX));
  EXPECT_TRUE(Enabled(page, IDC_RECV_LOCAL_USER));
  EXPECT_FALSE(Enabled(page, IDC_RECV_TABLE));
  EXPECT_FALSE(Enabled(page, IDC_RECV_CHARSET));
  EXPECT_TRUE(Enabled(page, IDC_RECV_CONFIGURE));

  std::vector<std::string> charsets = Items(page, IDC_RECV_CHARSET, true);
  ASSERT_EQ(charsets.size(), 4u);
  EXPECT_EQ(charsets[0], "(default)");
  EXPECT_TRUE(Has(charsets, "utf-8") && Has(charsets, "x-alias") && Has(charsets, "iso-8859-1"));
  EXPECT_EQ(Selected(page, IDC_RECV_CHARSET, true), "utf-8");  // the default when the key is absent

  std::vector<std::string> table = Items(page, IDC_RECV_TABLE, false);
  EXPECT_EQ(table.size(), 247u);  // 1 to 249 without 3 and 100; 250 ends the walk
  EXPECT_TRUE(Has(table, "WX\thttp://weather.example/q?c=@@SMS@@\tYes"));
  EXPECT_TRUE(Has(table, "RUN\tc:\\tools\\run.exe -a @@SMS@@\tNo"));
  EXPECT_TRUE(Has(table, "K1249\tcmd\tNo"));
  EXPECT_FALSE(Has(table, "K1251\tcmd\tNo"));
  EXPECT_TRUE(Has(table, ("LONG\t" + std::string(kCommandEntrySize - 6, 'x'))));

  // No php-cgi.exe: PHP reads as off; the remote box keeps its value, disabled.
  EXPECT_FALSE(Checked(page, IDC_RECV_PHP_ENABLE));
  EXPECT_FALSE(Enabled(page, IDC_RECV_PHP_REMOTE));
  EXPECT_TRUE(Checked(page, IDC_RECV_PHP_REMOTE));
  EXPECT_FALSE(g_ConfigChanged);

  Apply();
  EXPECT_EQ(Value("SMSGW", "ReceiveSMS"), "Yes");
  EXPECT_EQ(Value("SMSGW", "ReceiveMMS"), "Yes");
  EXPECT_EQ(Value("SMSGW", "PHPEnable"), "No");
  EXPECT_EQ(Value("SMSGW", "PHPAllowRemote"), "Yes");
  EXPECT_EQ(Value("SMSGW", "ReceiveSMSCharset"), "utf-8");
  EXPECT_EQ(Value(kSection, "RouteLocal"), "bob");
  EXPECT_EQ(Value(kSection, "MMSRouting"), "zarqlocalmm7");
  for (size_t i = 0; i < table.size(); ++i)
    EXPECT_EQ(Value("SMSGW", "ReceiveSMSCommand" + std::to_string(i + 1)), table[i]) << i;
  for (int gone : {248, 249})
    EXPECT_EQ(Value("SMSGW", "ReceiveSMSCommand" + std::to_string(gone)), kAbsentValue) << gone;
  EXPECT_EQ(Value("SMSGW", "ReceiveSMSCommand251"), "K1251\tcmd\tNo");  // past the gap: never read, never removed
  EXPECT_EQ(Value("SMSGW", "ReceiveSMSCommand300"), "K1300\tcmd\tNo");
  Close();
}

TEST_F(TwoWayTest, SavesByItsRulesWithoutAModem) {
  std::string ini = "[SMSGW]\r\nReceiveSMS=Yes\r\nReceiveMMS=Yes\r\nReceiveSMSCharset=iso-8859-1\r\n";
  for (int i = 1; i <= 7; ++i) ini += "ReceiveSMSCommand" + std::to_string(i) + "=C" + std::to_string(i) + "\tc\tNo\r\n";
  ini += std::string("[") + kSection + "]\r\nRouteLocal=bob\r\n";
  WriteFileText(g_SmsgwIni, ini);
  g_ConfiguredModem[0] = '\0';
  UseCharsets(false);  // no MIME\Database\Charset key at all

  HWND page = OpenPage();
  ASSERT_TRUE(page);
  EXPECT_EQ(Items(page, IDC_RECV_CHARSET, true), std::vector<std::string>{"(default)"});
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE, false), "C1\tc\tNo");
  // Removing the last line selects the one before; removing the first keeps the place.
  SendDlgItemMessageA(page, IDC_RECV_TABLE, LB_SETCURSEL, 6, 0);
  Click(page, IDC_RECV_REMOVE);
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE, false), "C6\tc\tNo");
  SendDlgItemMessageA(page, IDC_RECV_TABLE, LB_SETCURSEL, 0, 0);
  Click(page, IDC_RECV_REMOVE);
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE, false), "C2\tc\tNo");
  EXPECT_TRUE(g_ConfigChanged);

  // Roads that would refuse leaving, then SMS processing off: never refused.
  Click(page, IDC_RECV_ROUTE_LOCAL);
  Click(page, IDC_RECV_MMS_ROUTE);
  Click(page, IDC_RECV_PROCESS_SMS);
  EXPECT_FALSE(Enabled(page, IDC_RECV_PROCESS_MMS));
  EXPECT_TRUE(Checked(page, IDC_RECV_PROCESS_MMS));
  Leave(page, nullptr, 0);
  SendMessageA(sheet, PSM_SETCURSEL, 0, 0);

  Apply();
  EXPECT_FALSE(g_ConfigChanged);
  EXPECT_EQ(Value("SMSGW", "ReceiveSMS"), "No");
  EXPECT_EQ(Value("SMSGW", "ReceiveMMS"), "No");
  EXPECT_EQ(Value("SMSGW", "ReceiveSMSCharset"), kAbsentValue);  // "(default)"
  for (int i = 1; i <= 5; ++i)
    EXPECT_EQ(Value("SMSGW", "ReceiveSMSCommand" + std::to_string(i)), "C" + std::to_string(i + 1) + "\tc\tNo");
  EXPECT_EQ(Value("SMSGW", "ReceiveSMSCommand6"), kAbsentValue);
  EXPECT_EQ(Value("SMSGW", "ReceiveSMSCommand7"), kAbsentValue);
  EXPECT_EQ(Value(kSection, "RouteLocal"), "bob");  // no modem: its section is left alone
  EXPECT_EQ(Value(kSection, "MMSRouting"), kAbsentValue);
  Close();
}

TEST_F(TwoWayTest, LeavingNeedsAUserAndMm7SettingsAndShowingAgainAddsUsers) {
  WriteFileText(g_SmsgwIni, "[SMSGW]\r\nReceiveSMS=Yes\r\n");
  AddTestUser("alice", true);
  HWND page = OpenPage();
  ASSERT_TRUE(page);
  EXPECT_FALSE(Enabled(page, IDC_RECV_LOCAL_USER));
  Click(page, IDC_RECV_ROUTE_LOCAL);
  EXPECT_TRUE(Enabled(page, IDC_RECV_LOCAL_USER));
  EXPECT_FALSE(Enabled(page, IDC_RECV_TABLE));
  Leave(page, "Please select a local user account to receive messages", IDC_RECV_LOCAL_USER);
  Choose(page, IDC_RECV_LOCAL_USER, "alice");
  Click(page, IDC_RECV_PROCESS_MMS);
  EXPECT_FALSE(Enabled(page, IDC_RECV_CONFIGURE));
  Click(page, IDC_RECV_MMS_ROUTE);
  EXPECT_TRUE(Enabled(page, IDC_RECV_CONFIGURE));
  Leave(page, "MM7 Settings must be configured", IDC_RECV_CONFIGURE);

  CreateDirectoryA((dir_ / "VASPOUT").c_str(), nullptr);
  CreateDirectoryA((dir_ / "VASPOUT\\zarqlocalmm7").c_str(), nullptr);
  WriteSetting((dir_ / "VASPOUT\\zarqlocalmm7\\VASP.INI").c_str(), "VASP", "Server", "http://mm7.example/");
  Leave(page, nullptr, 0);
  AddTestUser("dave", true);
  AddTestUser("erin", false);
  SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
  EXPECT_EQ(Items(page, IDC_RECV_LOCAL_USER, true), (std::vector<std::string>{"", "alice", "dave"}));
  EXPECT_EQ(Selected(page, IDC_RECV_LOCAL_USER, true), "alice");
  Close();
}

TEST_F(TwoWayTest, CommandTableKeepsOneEntryPerPrefix) {
  WriteFileText(g_SmsgwIni, "[SMSGW]\r\nReceiveSMS=Yes\r\n");
  HWND page = OpenPage();
  ASSERT_TRUE(page);
  HWND dialog = CommandDialog(page, IDC_RECV_ADD);
  ASSERT_TRUE(dialog);
  FillCommand(dialog, "", "http://h/a?t=@@SMS@@", false);
  ASSERT_TRUE(ui::WaitGone(dialog, 5000));
  sheet_->Sync(sheet);
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE, false), "*\thttp://h/a?t=@@SMS@@\tNo");
  EXPECT_TRUE(g_ConfigChanged);

  // A second empty prefix: No brings the dialog back with the new entry, Yes replaces.
  FillCommand(CommandDialog(page, IDC_RECV_ADD), "", "http://h/b", true);
  ui::MessageBoxInfo box = sheet_->Answer(IDNO);
  EXPECT_EQ(box.text, "Replace existing defintion for command prefix '*'?");
  EXPECT_EQ(box.icon, ui::Icon::Question);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
  dialog = sheet_->Window("2-Way SMS Command");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(ui::ItemText(dialog, IDC_COMMAND_PREFIX), "*");
  EXPECT_EQ(ui::ItemText(dialog, IDC_COMMAND_TEXT), "http://h/b");
  EXPECT_TRUE(Checked(dialog, IDC_COMMAND_RESPONSE));
  ui::ClickItem(dialog, IDOK);
  EXPECT_EQ(sheet_->Answer(IDYES).text, "Replace existing defintion for command prefix '*'?");
  sheet_->Sync(sheet);
  EXPECT_EQ(Items(page, IDC_RECV_TABLE, false), std::vector<std::string>{"*\thttp://h/b\tYes"});

  FillCommand(CommandDialog(page, IDC_RECV_ADD), "info", "http://h/i", true);
  sheet_->Sync(sheet);
  // Cancel changes nothing.
  dialog = CommandDialog(page, IDC_RECV_ADD);
  ui::ClickItem(dialog, IDCANCEL);
  ui::WaitGone(dialog, 5000);
  sheet_->Sync(sheet);
  EXPECT_EQ(Items(page, IDC_RECV_TABLE, false), (std::vector<std::string>{"*\thttp://h/b\tYes", "info\thttp://h/i\tYes"}));

  // Editing "info" into "*": both lines go, the edited entry stays.
  EXPECT_EQ(Selected(page, IDC_RECV_TABLE, false), "info\thttp://h/i\tYes");
  FillCommand(CommandDialog(page, IDC_RECV_EDIT), "", "http://h/i", true);
  EXPECT_EQ(sheet_->Answer(IDYES).text, "Replace existing defintion for command prefix '*'?");
  sheet_->Sync(sheet);
  EXPECT_EQ(Items(page, IDC_RECV_TABLE, false), std::vector<std::string>{"*\thttp://h/i\tYes"});
  // Editing a line into its own prefix asks nothing.
  FillCommand(CommandDialog(page, IDC_RECV_EDIT), "*", "http://h/j?@@SENDER@@", false);
  sheet_->Sync(sheet);
  EXPECT_EQ(Items(page, IDC_RECV_TABLE, false), std::vector<std::string>{"*\thttp://h/j?@@SENDER@@\tNo"});
  Close();
}

TEST_F(TwoWayTest, CommandDialogChecksInOrder) {
  ScratchDir withNotepad("notepad"), empty("empty");
  WriteFileText(withNotepad / "notepad.EXE", "MZ");
  const std::string missing = "Cannot locate program file:  notepad.EXE\r\n\r\n"
                              "Please specify an http://url, or a valid executable file name.";
  struct Case {
    const char* command;
    bool response;
    const ScratchDir* directory;
    std::string message;  // empty: accepted
  } cases[] = {
      {"", true, &empty, "Field is required!"},
      {"MailTo:x@example.com", true, &empty, "mailto: not supported by this edition of ZarqSMS"},
      {"notepad", false, &withNotepad,
       "You must include one or more of the following replacement strings in the command to be executed:\r\n\r\n"
       "@@SENDER@@ - Will contain the phone number of the sender of the inbound SMS message\r\n"
       "@@SMS@@ - Will contain the text of the SMS message without the command prefix\r\n"
       "@@FULLSMS@@ - Will contain the complete text of the SMS message, including the command prefix"},
      {"notepad @@SMS@@", false, &empty, missing},
      {"notepad @@SMS@@", false, &withNotepad, ""},
      {"HTTPS://nowhere.example/x", true, &empty, ""},
  };
  char saved[MAX_PATH];
  GetCurrentDirectoryA(sizeof saved, saved);
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    SetCurrentDirectoryA(cases[i].directory->Path().c_str());
    char entry[kCommandEntrySize] = "old\told command\tYes";
    ModalThread run([&entry] { return EditCommandEntry(nullptr, entry); });
    HWND dialog = run.Window("2-Way SMS Command");
    ASSERT_TRUE(dialog) << i;
    EXPECT_EQ(ui::ItemText(dialog, IDC_COMMAND_PREFIX), "old") << i;
    SetDlgItemTextA(dialog, IDC_COMMAND_PREFIX, "");
    SetDlgItemTextA(dialog, IDC_COMMAND_TEXT, cases[i].command);
    CheckDlgButton(dialog, IDC_COMMAND_RESPONSE, cases[i].response ? BST_CHECKED : BST_UNCHECKED);
    ui::ClickItem(dialog, IDOK);
    if (cases[i].message.empty()) {
      EXPECT_EQ(run.Wait(), 1) << i;
      EXPECT_EQ(std::string(entry), std::string("*\t") + cases[i].command + (cases[i].response ? "\tYes" : "\tNo"));
      continue;
    }
    ui::MessageBoxInfo box = run.Answer(IDOK);
    EXPECT_EQ(box.text, cases[i].message) << i;
    EXPECT_EQ(box.icon, ui::Icon::Error) << i;
    run.Sync(dialog);
    EXPECT_EQ(run.Focus(), GetDlgItem(dialog, IDC_COMMAND_TEXT)) << i;
    ui::ClickItem(dialog, IDCANCEL);
    EXPECT_EQ(run.Wait(), 0) << i;
    EXPECT_STREQ(entry, "old\told command\tYes") << i;
  }
  SetCurrentDirectoryA(saved);
}

TEST_F(TwoWayTest, PhpFollowsPhpCgi) {
  ScratchDir php("php"), other("other");
  WriteFileText(php / "php-cgi.exe", "MZ");
  char text[kPhpCgiTextSize];
  SetEnvironmentVariableA("PHPRC", php.Path().c_str());
  EXPECT_TRUE(FindPhpCgi(text));
  EXPECT_EQ(std::string(text), php / "php-cgi.exe");
  std::string bare = php.Path().substr(0, php.Path().size() - 1);  // without its backslash
  SetEnvironmentVariableA("PHPRC", other.Path().c_str());
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
  EXPECT_TRUE(Checked(page, IDC_RECV_PHP_ENABLE));
  EXPECT_TRUE(Enabled(page, IDC_RECV_PHP_REMOTE));
  EXPECT_EQ(ui::ItemText(page, IDC_RECV_PHP_NOTE), "http://zarqphp/php resolves to " + (dir_ / "PHP\\"));
  EXPECT_TRUE(PathExists(dir_ / "PHP"));
  Click(page, IDC_RECV_PHP_ENABLE);
  EXPECT_EQ(ui::ItemText(page, IDC_RECV_PHP_NOTE), "");
  EXPECT_FALSE(Enabled(page, IDC_RECV_PHP_REMOTE));
  EXPECT_TRUE(g_ConfigChanged);

  SetEnvironmentVariableA("PHPRC", nullptr);
  ui::ClickItem(page, IDC_RECV_PHP_ENABLE);
  ui::MessageBoxInfo box = sheet_->Answer(IDOK);
  EXPECT_EQ(box.text, kNoPhp);
  EXPECT_EQ(box.icon, ui::Icon::Error);
  sheet_->Sync(sheet);
  EXPECT_FALSE(Checked(page, IDC_RECV_PHP_ENABLE));
  Apply();
  EXPECT_EQ(Value("SMSGW", "PHPEnable"), "No");
  Close();
}

}  // namespace
