// The Users page of the real program over a user store on disk (real
// ZARQACCT.DLL and ZARQPEER.DLL): a damaged store shown as far as it reads,
// Add with its checks and the 10-user limit, Edit with a rename, addresses
// hidden without SMPP, the delete of several users, and the login switch.
#include <cstring>
#include <string>
#include <vector>

#include "app/configstore.h"
#include "apptest.h"
#include "gateway/zarqpeer.h"
#include "listauto.h"
#include "pages/useraccounts.h"
#include "resource.h"

namespace {

class UsersPageTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(SMSOpenUserFile(&store_, SMS_USERFILE_READWRITE));
  }
  void TearDown() override { SMSCloseUserFile(store_); }

  std::string Store() const { return dir_ / "SMSUSERS.DAT"; }
  std::string UserDir(const std::string& name) const { return dir_ / ("USERS\\" + name); }

  void AddUser(const char* name, const char* fullName, bool smpp, bool accept) {
    UserFields f;
    std::strcpy(f.name, name);
    std::strcpy(f.fullName, fullName);
    f.smppLogin = smpp;
    f.acceptReceived = accept;
    unsigned char r[UserRecord::kSize];
    BuildUserRecord(f, r);
    ASSERT_TRUE(SMSAddUser(store_, r)) << name;
    CreateDirectoryA((dir_ / "USERS").c_str(), nullptr);
    CreateDirectoryA(UserDir(name).c_str(), nullptr);
    WriteFileText(UserDir(name) + "\\mail.txt", name);
  }
  bool Stored(const char* name, unsigned char* record = nullptr) {
    unsigned char r[UserRecord::kSize];
    return SMSFindUserRecord(store_, name, record ? record : r) != 0;
  }

  // The "Edit User" dialog, once it shows.
  HWND UserDialog() { return ui::WaitTopWindow(app_.Id(), "Edit User", kBoxTimeoutMs); }
  void Click(HWND dialog, int id, bool checked) {
    ui::ClickItem(dialog, id);
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemChecked(dialog, id) == checked; }, 5000)) << "control " << id;
  }
  void Refuse(HWND dialog, const std::string& text) {
    ui::ClickItem(dialog, IDOK);
    ui::MessageBoxInfo box = ExpectBox(text);
    EXPECT_EQ(box.icon, ui::Icon::Error) << text;
    EXPECT_EQ(box.caption, kProductTitle);
    ui::AnswerMessageBox(box, IDOK);
    ui::WaitGone(box.window, kBoxTimeoutMs);
  }
  void Confirm(HWND dialog) {
    ui::ClickItem(dialog, IDOK);
    EXPECT_TRUE(ui::WaitGone(dialog, kBoxTimeoutMs));
  }

  SMSUSERFILE store_ = nullptr;
};

void Key(HWND list, WPARAM key) {
  PostMessageA(list, WM_KEYDOWN, key, 1);
  PostMessageA(list, WM_KEYUP, key, 0xC0000001);
}

TEST_F(UsersPageTest, AddEditDeleteAndTheLoginSwitch) {
  AddUser("alice", "Alice A", false, false);
  AddUser("bob", "Bob B", true, true);
  WriteUserRouting("bob", "+1555");
  UserFields mm7;
  std::strcpy(mm7.name, "bob");
  SaveMm7Account(mm7);
  AddUser("carol", "Carol C", false, true);
  WriteUserRouting("carol", "+1999");
  for (const char* name : {"u4", "u5", "u6", "u7", "u8", "u9", "zed"}) AddUser(name, "", false, false);
  // The last record cut short: the page shows the nine that read whole.
  std::string image = ReadFileText(Store());
  WriteFileText(Store(), image.substr(0, image.size() - 100));

  HWND sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  HWND page = ui::SelectPage(sheet, kUsersPage);
  ASSERT_TRUE(page);
  HWND list = GetDlgItem(page, IDC_SMSUSERS_LIST);
  ASSERT_EQ(ui::ListRowCount(list), 9);
  EXPECT_EQ(ui::ListCell(list, 0, 0), "alice");
  EXPECT_EQ(ui::ListCell(list, 0, 1), "Alice A");
  EXPECT_EQ(ui::ListCell(list, 8, 0), "u9");
  EXPECT_FALSE(ui::IsItemChecked(page, IDC_SMSUSERS_WEBAUTH));
  PostMessageA(list, WM_CHAR, 'C', 1);  // type-ahead through the store's own search
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::SelectedRows(list) == std::vector<int>{2}; }, 5000));

  // Insert adds: a fresh user, with the name checks.
  Key(list, VK_INSERT);
  HWND dialog = UserDialog();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(ui::ItemText(dialog, IDC_USERINFO_NAME), "");
  EXPECT_TRUE(ui::IsItemChecked(dialog, IDC_USERINFO_WEBLOGIN));
  EXPECT_FALSE(ui::IsItemEnabled(dialog, IDC_USERINFO_ADDRESSES));
  Refuse(dialog, "Field is required!");
  ui::SetItemText(dialog, IDC_USERINFO_NAME, "ALICE");
  Refuse(dialog, "User ALICE is already defined.");
  ui::SetItemText(dialog, IDC_USERINFO_NAME, "dave");
  ui::SetItemText(dialog, IDC_USERINFO_PASSWORD, "pw");
  ui::SetItemText(dialog, IDC_USERINFO_FULLNAME, "Dave D");
  Click(dialog, IDC_USERINFO_ADMIN, true);
  Click(dialog, IDC_USERINFO_WEBLOGIN, false);  // admin access goes with the web login
  EXPECT_FALSE(ui::IsItemEnabled(dialog, IDC_USERINFO_ADMIN));
  Click(dialog, IDC_USERINFO_SMPP, true);
  Click(dialog, IDC_USERINFO_ACCEPT, true);
  EXPECT_TRUE(ui::IsItemEnabled(dialog, IDC_USERINFO_ADDRESSES));
  ui::SetItemText(dialog, IDC_USERINFO_ADDRESSES, "+1777");
  Click(dialog, IDC_USERINFO_MM7, true);
  ui::SetItemText(dialog, IDC_USERINFO_IP, "10.1.1.1");
  Confirm(dialog);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::ListRowCount(list) == 10; }, 5000));

  UserFields dave;
  std::strcpy(dave.name, "dave");
  std::strcpy(dave.password, "pw");
  std::strcpy(dave.fullName, "Dave D");
  std::strcpy(dave.ipAddresses, "10.1.1.1");
  dave.webLogin = false;
  dave.smppLogin = true;
  dave.acceptReceived = true;
  unsigned char expected[UserRecord::kSize], stored[UserRecord::kSize];
  BuildUserRecord(dave, expected);
  ASSERT_TRUE(Stored("dave", stored));
  for (size_t i = 0; i < sizeof stored; ++i) EXPECT_EQ(stored[i], expected[i]) << "byte " << i;
  EXPECT_EQ(ReadUserRouting("dave"), "+1777");
  unsigned char account[AccountRecord::kSize];
  ASSERT_TRUE(VASPFindUserRecord("dave", account));
  EXPECT_STREQ(reinterpret_cast<char*>(account + AccountRecord::kIpAddressesOffset), "10.1.1.1");
  EXPECT_TRUE(PathExists(Store() + ".damaged"));  // the cut store was kept before it was rewritten

  // Ten users: Add is refused.
  ui::ClickItem(page, IDC_SMSUSERS_ADD);
  ui::MessageBoxInfo box = ExpectBox("User Limit Exceeded");
  EXPECT_EQ(box.icon, ui::Icon::Error);
  ui::AnswerMessageBox(box, IDOK);
  ui::WaitGone(box.window, kBoxTimeoutMs);

  // Without SMPP the stored addresses stay hidden; the box shows the record's byte.
  ui::DoubleClickRow(list, 2);
  dialog = UserDialog();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(ui::ItemText(dialog, IDC_USERINFO_NAME), "carol");
  EXPECT_TRUE(ui::IsItemChecked(dialog, IDC_USERINFO_ACCEPT));
  EXPECT_EQ(ui::ItemText(dialog, IDC_USERINFO_ADDRESSES), "");
  EXPECT_FALSE(ui::IsItemEnabled(dialog, IDC_USERINFO_ADDRESSES));
  ui::ClickItem(dialog, IDCANCEL);
  EXPECT_TRUE(ui::WaitGone(dialog, kBoxTimeoutMs));
  EXPECT_EQ(ReadUserRouting("carol"), "+1999");

  // Enter edits; with ten users a rename is allowed and takes directory, key and login along.
  ASSERT_TRUE(ui::SelectRows(list, {1}));
  Key(list, VK_RETURN);
  dialog = UserDialog();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(ui::ItemText(dialog, IDC_USERINFO_NAME), "bob");
  EXPECT_EQ(ui::ItemText(dialog, IDC_USERINFO_ADDRESSES), "+1555");
  EXPECT_TRUE(ui::IsItemChecked(dialog, IDC_USERINFO_MM7));
  ui::SetItemText(dialog, IDC_USERINFO_NAME, "robert");
  Confirm(dialog);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::ListCell(list, 3, 0) == "robert"; }, 5000));
  EXPECT_FALSE(Stored("bob"));
  EXPECT_EQ(SMSGetRecordCount(store_), 10u);
  EXPECT_EQ(ReadFileText(UserDir("robert") + "\\mail.txt"), "bob");
  EXPECT_FALSE(PathExists(UserDir("bob")));
  EXPECT_EQ(ReadUserRouting("bob"), "");
  EXPECT_EQ(ReadUserRouting("robert"), "+1555");
  EXPECT_FALSE(VASPFindUserRecord("bob", account));
  EXPECT_TRUE(VASPFindUserRecord("robert", account));

  // Two selected, the last one gone from the store meanwhile: one user is
  // deleted with its directory, and both items leave the list.
  unsigned char u9[UserRecord::kSize];
  ASSERT_TRUE(Stored("u9", u9));
  SMSDeleteUser(store_, u9);
  ASSERT_TRUE(ui::SelectRows(list, {8, 9}));
  Key(list, VK_DELETE);
  box = ExpectBox("Delete 2 users?");
  EXPECT_EQ(box.icon, ui::Icon::Question);
  ui::AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::ListRowCount(list) == 8; }, 5000));
  EXPECT_FALSE(Stored("u8"));
  EXPECT_FALSE(PathExists(UserDir("u8")));
  EXPECT_TRUE(PathExists(UserDir("u9")));  // not fetched: left alone
  EXPECT_EQ(SMSGetRecordCount(store_), 8u);

  // The login switch waits for Apply.
  ui::ClickItem(page, IDC_SMSUSERS_WEBAUTH);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(sheet, ui::kApplyButton); }, 5000));
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "WebAuth"), kAbsent);
  ui::PressButton(sheet, PSBTN_APPLYNOW);
  EXPECT_TRUE(ui::WaitUntil([&] { return IniValue(SmsgwIni(), "SMSGW", "WebAuth") == "Yes"; }, 5000));
  ui::PressButton(sheet, PSBTN_CANCEL);
  ui::AnswerMessageBox(ExpectBox("Exit without saving configuration changes?"), IDYES);
  DeclineServiceOfferAndExpectExit();
}

}  // namespace
