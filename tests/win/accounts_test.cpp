// The account and peer libraries, through their real DLLs, over real files.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gateway/records.h"
#include "gateway/zarqacct.h"
#include "gateway/zarqpeer.h"
#include "testenv.h"

namespace {

struct User {
  unsigned char b[UserRecord::kSize] = {};
  explicit User(const char* name = "", const char* password = "") {
    strncpy(reinterpret_cast<char*>(b), name, UserRecord::kNameSize - 1);
    strncpy(reinterpret_cast<char*>(b + UserRecord::kPasswordOffset), password, UserRecord::kPasswordSize - 1);
  }
  const char* Name() const { return reinterpret_cast<const char*>(b); }
  const char* Password() const { return reinterpret_cast<const char*>(b + UserRecord::kPasswordOffset); }
};

class Accounts : public ::testing::Test {
 protected:
  void SetUp() override {
    UseDataDirectory(dir_);
    ASSERT_TRUE(SMSOpenUserFile(&file_, SMS_USERFILE_READWRITE));
  }
  void TearDown() override { SMSCloseUserFile(file_); }
  std::string StorePath() const { return dir_ / "SMSUSERS.DAT"; }

  ScratchDir dir_{"accounts"};
  SMSUSERFILE file_ = nullptr;
};

}  // namespace

TEST(DataDirectories, EndInABackslashAndExist) {
  ScratchDir dir("dirs");
  std::string sub = dir.Path() + "deeper\\data";  // no trailing backslash, two missing levels
  SetEnvironmentVariableA("ZARQ_PROGRAMDATA_DIR", sub.c_str());
  char path[MAX_PATH];
  GetProgramDataDirectory(path);
  EXPECT_EQ(std::string(path), sub + "\\");
  EXPECT_TRUE(PathExists(sub));
  GetRealProgramDirectory(path);
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, sizeof module);
  *strrchr(module, '\\') = '\0';
  EXPECT_EQ(std::string(path), std::string(module) + "\\");
  SetEnvironmentVariableA("ZARQ_PROGRAMDATA_DIR", nullptr);
  SetEnvironmentVariableA("ZARQ_PRIVATEDATA_DIR", nullptr);
  GetPrivateDataDirectory(path);  // registry or %ProgramData%\ZarqSMS\ otherwise
  ASSERT_GT(strlen(path), 0u);
  EXPECT_EQ(path[strlen(path) - 1], '\\');
  EXPECT_TRUE(PathExists(path));
}

TEST_F(Accounts, AddReplaceByNameInAnyCaseAndDelete) {
  EXPECT_EQ(SMSGetRecordCount(file_), 0u);
  ASSERT_TRUE(SMSAddUser(file_, User("bob", "one").b));
  ASSERT_TRUE(SMSAddUser(file_, User("alice", "two").b));
  ASSERT_TRUE(SMSAddUser(file_, User("BOB", "three").b));
  EXPECT_EQ(SMSGetRecordCount(file_), 2u);
  User got;
  ASSERT_TRUE(SMSFindUserRecord(file_, "Bob", got.b));
  EXPECT_STREQ(got.Name(), "BOB");
  EXPECT_STREQ(got.Password(), "three");
  EXPECT_FALSE(SMSFindUserRecord(file_, "carol", got.b));
  EXPECT_FALSE(SMSFindUserRecord(file_, "", got.b));

  ASSERT_TRUE(SMSDeleteUser(file_, User("bOB").b));
  EXPECT_EQ(SMSGetRecordCount(file_), 1u);
  EXPECT_FALSE(SMSDeleteUser(file_, User("bob").b));
  EXPECT_FALSE(SMSAddUser(file_, User("").b));  // a record without a name is refused
}

TEST_F(Accounts, IndexOrderIsSharedWithFindFirst) {
  for (const char* n : {"zoe", "mark", "Mary", "adam"}) SMSAddUser(file_, User(n).b);
  std::vector<std::string> order;
  User u;
  for (unsigned i = 0; i < SMSGetRecordCount(file_); ++i) {
    ASSERT_TRUE(SMSGetUserRecord(file_, i, u.b)) << i;
    order.push_back(u.Name());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"adam", "mark", "Mary", "zoe"}));
  EXPECT_FALSE(SMSGetUserRecord(file_, 4, u.b));
  int i = SMSFindFirstUserRecord(file_, "MA", u.b);
  EXPECT_EQ(i, 1);
  EXPECT_STREQ(u.Name(), "mark");
  EXPECT_EQ(SMSFindFirstUserRecord(file_, "mary", u.b), 2);
  EXPECT_EQ(SMSFindFirstUserRecord(file_, "q", u.b), -1);
}

TEST_F(Accounts, SeveralHandlesSeeEachOthersChanges) {
  SMSUSERFILE second = nullptr, reader = nullptr;
  ASSERT_TRUE(SMSOpenUserFile(&second, SMS_USERFILE_READWRITE));
  ASSERT_TRUE(SMSOpenUserFile(&reader, SMS_USERFILE_READ));
  SMSAddUser(file_, User("one").b);
  EXPECT_EQ(SMSGetRecordCount(second), 1u);
  SMSAddUser(second, User("two").b);
  EXPECT_EQ(SMSGetRecordCount(file_), 2u);
  EXPECT_EQ(SMSGetRecordCount(reader), 2u);
  EXPECT_FALSE(SMSAddUser(reader, User("three").b));  // opened for reading only
  EXPECT_FALSE(SMSDeleteUser(reader, User("one").b));
  SMSCloseUserFile(second);
  SMSCloseUserFile(reader);
  EXPECT_FALSE(PathExists(StorePath() + ".new"));  // nothing left beside the store
}

// Run by ReopenAfterTheProcessEnds in a child process of this same program.
TEST_F(Accounts, ChildAddsUsers) {
  char parentDir[MAX_PATH];
  if (!GetEnvironmentVariableA("ZARQ_CHILD_DIR", parentDir, sizeof parentDir)) GTEST_SKIP() << "child only";
  SetEnvironmentVariableA("ZARQ_PRIVATEDATA_DIR", parentDir);
  SMSUSERFILE f;
  ASSERT_TRUE(SMSOpenUserFile(&f, SMS_USERFILE_READWRITE));
  SMSAddUser(f, User("written-by-child", "pw").b);
  SMSCloseUserFile(f);
}

TEST_F(Accounts, ReopenAfterTheProcessEnds) {
  SMSAddUser(file_, User("parent").b);
  SetEnvironmentVariableA("ZARQ_CHILD_DIR", dir_.Path().c_str());
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string cmd = std::string("\"") + exe + "\" --gtest_filter=Accounts.ChildAddsUsers";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  SetEnvironmentVariableA("ZARQ_CHILD_DIR", nullptr);
  ASSERT_EQ(code, 0u);
  SMSCloseUserFile(file_);
  ASSERT_TRUE(SMSOpenUserFile(&file_, SMS_USERFILE_READ));
  User u;
  EXPECT_EQ(SMSGetRecordCount(file_), 2u);
  ASSERT_TRUE(SMSFindUserRecord(file_, "WRITTEN-BY-CHILD", u.b));
  EXPECT_STREQ(u.Password(), "pw");
}

TEST_F(Accounts, DamagedStoreFilesGiveWhatCanBeRead) {
  for (const char* n : {"a", "b", "c"}) SMSAddUser(file_, User(n).b);
  std::string image = ReadFileText(StorePath());
  ASSERT_EQ(image.size(), 24u + 3 * UserRecord::kSize);

  WriteFileText(StorePath(), image.substr(0, image.size() - 100));  // truncated
  EXPECT_EQ(SMSGetRecordCount(file_), 2u);
  WriteFileText(StorePath(), std::string(5000, '\xA5'));  // garbage
  EXPECT_EQ(SMSGetRecordCount(file_), 0u);
  User u;
  EXPECT_FALSE(SMSGetUserRecord(file_, 0, u.b));
  WriteFileText(StorePath(), "");  // empty
  EXPECT_EQ(SMSGetRecordCount(file_), 0u);
  EXPECT_TRUE(SMSAddUser(file_, User("fresh").b));  // and the store works again
  EXPECT_EQ(SMSGetRecordCount(file_), 1u);
}

TEST(GsmText, DecodesInPlaceThroughTheLibrary) {
  char data[8192] = "C8329BFD06";
  GSM7ToUTF8String("", data, data);
  EXPECT_STREQ(data, "Hello");
  strcpy(data, "906536FB0D");  // one fill bit after a six-octet header
  GSM7ToUTF8String("050003CC0201", data, data);
  EXPECT_STREQ(data, "Hello");
}

TEST(PeerAccounts, AddFindReplaceDelete) {
  ScratchDir dir("peer");
  UseDataDirectory(dir);
  unsigned char rec[AccountRecord::kSize] = {};
  strcpy(reinterpret_cast<char*>(rec), "mm7user");
  strcpy(reinterpret_cast<char*>(rec + AccountRecord::kPasswordOffset), "secret");
  strcpy(reinterpret_cast<char*>(rec + AccountRecord::kIpAddressesOffset), "10.0.0.1");
  unsigned char got[AccountRecord::kSize];
  EXPECT_FALSE(VASPFindUserRecord("mm7user", got));
  ASSERT_TRUE(VASPAddUser(rec));
  ASSERT_TRUE(VASPFindUserRecord("MM7USER", got));
  EXPECT_EQ(memcmp(got, rec, sizeof rec), 0);
  strcpy(reinterpret_cast<char*>(rec), "MM7User");
  strcpy(reinterpret_cast<char*>(rec + AccountRecord::kPasswordOffset), "changed");
  ASSERT_TRUE(VASPAddUser(rec));
  ASSERT_TRUE(VASPFindUserRecord("mm7user", got));
  EXPECT_STREQ(reinterpret_cast<char*>(got + AccountRecord::kPasswordOffset), "changed");
  EXPECT_TRUE(VASPDeleteUser("mm7user"));
  EXPECT_FALSE(VASPFindUserRecord("mm7user", got));
  EXPECT_TRUE(VASPDeleteUser("mm7user"));  // absence is no error

  unsigned char route[AccountRecord::kSize] = {};
  strcpy(reinterpret_cast<char*>(route), "zarqlocal");
  EXPECT_TRUE(VASPOutAddUser(route));
  EXPECT_TRUE(VASPOutAddUser(route));  // kept
  EXPECT_FALSE(VASPFindUserRecord("zarqlocal", got));  // route accounts are not MM7 logins
  EXPECT_TRUE(PathExists(dir / "VASPOUT.DAT"));
}

TEST_F(Accounts, DamagedStoreIsKeptAsideBeforeItIsRewritten) {
  for (const char* n : {"a", "b", "c"}) SMSAddUser(file_, User(n).b);
  std::string image = ReadFileText(StorePath());
  std::string cut = image.substr(0, image.size() - 100);
  WriteFileText(StorePath(), cut);
  EXPECT_EQ(SMSGetRecordCount(file_), 2u);
  EXPECT_FALSE(PathExists(StorePath() + ".damaged"));  // reading changes nothing
  ASSERT_TRUE(SMSAddUser(file_, User("d").b));
  EXPECT_EQ(ReadFileText(StorePath() + ".damaged"), cut);
  EXPECT_EQ(ReadFileText(StorePath()).size(), 24u + 3 * UserRecord::kSize);  // whole again: a, b, d
  ASSERT_TRUE(SMSAddUser(file_, User("e").b));  // a sound store is not kept again
  EXPECT_FALSE(PathExists(StorePath() + ".damaged.2"));

  std::string garbage(3000, '\x5A');
  WriteFileText(StorePath(), garbage);
  EXPECT_EQ(SMSGetRecordCount(file_), 0u);
  ASSERT_TRUE(SMSAddUser(file_, User("f").b));
  EXPECT_EQ(ReadFileText(StorePath() + ".damaged.2"), garbage);
  EXPECT_EQ(ReadFileText(StorePath() + ".damaged"), cut);
  EXPECT_EQ(SMSGetRecordCount(file_), 1u);
}

TEST_F(Accounts, StoreThatCannotBeReadIsNeverReplaced) {
  CreateDirectoryA(StorePath().c_str(), nullptr);  // in the way of the file
  WriteFileText(StorePath() + "\\inside", "x");
  EXPECT_EQ(SMSGetRecordCount(file_), 0u);
  EXPECT_FALSE(SMSAddUser(file_, User("a").b));
  EXPECT_EQ(ReadFileText(StorePath() + "\\inside"), "x");
}
