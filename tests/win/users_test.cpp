// What the Users page and the Edit User dialog change besides a user's record:
// the store through the real ZARQACCT.DLL, MM7/EAIF logins through the real
// ZARQPEER.DLL, user directories on disk and the routing keys of SMSGW.INI.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/configstore.h"
#include "gateway/zarqpeer.h"
#include "pages/useraccounts.h"
#include "testenv.h"

namespace {

struct Rec {
  unsigned char b[UserRecord::kSize] = {};
  explicit Rec(const char* name, const char* fullName = "") {
    UserFields f;
    CopyBounded(f.name, sizeof f.name, name);
    CopyBounded(f.fullName, sizeof f.fullName, fullName);
    BuildUserRecord(f, b);
  }
};

class Users : public ::testing::Test {
 protected:
  void SetUp() override {
    UseDataDirectory(dir_);
    CreateDirectoryA(Dir("").c_str(), nullptr);
    ASSERT_TRUE(SMSOpenUserFile(&store_, SMS_USERFILE_READWRITE));
  }
  void TearDown() override { SMSCloseUserFile(store_); }

  std::string Dir(const std::string& name) const { return dir_ / ("USERS\\" + name); }
  // A user as the gateway leaves one: record, directory with a file, routing key, MM7/EAIF login.
  void MakeUser(const char* name) {
    ASSERT_TRUE(SMSAddUser(store_, Rec(name, "Full").b)) << name;
    CreateDirectoryA(Dir(name).c_str(), nullptr);
    WriteFileText(Dir(name) + "\\inbox.txt", name);
    WriteUserRouting(name, "+15550001");
    UserFields f;
    CopyBounded(f.name, sizeof f.name, name);
    SaveMm7Account(f);
  }
  bool Stored(const char* name) {
    unsigned char r[UserRecord::kSize];
    return SMSFindUserRecord(store_, name, r) != 0;
  }
  std::string StoredName(const char* name) {
    unsigned char r[UserRecord::kSize];
    return SMSFindUserRecord(store_, name, r) ? ReadUserRecord(r).name : "";
  }

  ScratchDir dir_{"users"};
  SMSUSERFILE store_ = nullptr;
};

}  // namespace

TEST_F(Users, RenameCases) {
  struct Case {
    const char* from;
    const char* to;
    bool rename;         // the former user, directory, key and login go
    const char* stored;  // the name the store holds afterwards
  } cases[] = {
      {"bob", "robert", true, "robert"},
      {"carol", "CAROL", false, "CAROL"},  // letter case only: replaced in place
      {"dave", "Dave2", true, "Dave2"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    MakeUser(c.from);
    Rec after(c.to, "Edited");
    Rec before(c.from, "Full");
    ASSERT_TRUE(StoreEditedUser(store_, before.b, after.b)) << "case " << i;
    EXPECT_EQ(StoredName(c.to), c.stored) << "case " << i;
    EXPECT_EQ(SMSGetRecordCount(store_), i + 1) << "case " << i;
    EXPECT_EQ(ReadFileText(Dir(c.to) + "\\inbox.txt"), c.from) << "case " << i;  // same directory, moved or not
    EXPECT_EQ(ReadUserRouting(c.from).empty(), c.rename) << "case " << i;
    EXPECT_EQ(HasMm7Account(c.from), !c.rename) << "case " << i;
    EXPECT_EQ(PathExists(Dir(c.from)), !c.rename) << "case " << i;
  }
}

TEST_F(Users, RenameOntoAnExistingDirectoryKeepsBoth) {
  MakeUser("erin");
  CreateDirectoryA(Dir("frank").c_str(), nullptr);
  ASSERT_TRUE(StoreEditedUser(store_, Rec("erin").b, Rec("frank").b));
  EXPECT_TRUE(Stored("frank"));
  EXPECT_FALSE(Stored("erin"));
  EXPECT_TRUE(PathExists(Dir("erin") + "\\inbox.txt"));  // the move failed and is ignored
}

TEST_F(Users, RefusedRecordLosesNobody) {
  MakeUser("gina");
  SMSUSERFILE reader;
  ASSERT_TRUE(SMSOpenUserFile(&reader, SMS_USERFILE_READ));  // a store that refuses changes
  EXPECT_FALSE(StoreEditedUser(reader, Rec("gina").b, Rec("helen").b));
  SMSCloseUserFile(reader);
  EXPECT_TRUE(Stored("gina"));
  EXPECT_TRUE(PathExists(Dir("gina")));
  EXPECT_EQ(ReadUserRouting("gina"), "+15550001");
}

TEST_F(Users, DeleteTakesDirectoryKeyAndLogin) {
  MakeUser("ann");
  MakeUser("annie");  // a name that begins like the other
  ASSERT_TRUE(DeleteUserAt(store_, 0));
  EXPECT_FALSE(Stored("ann"));
  EXPECT_FALSE(PathExists(Dir("ann")));
  EXPECT_EQ(ReadUserRouting("ann"), "");
  EXPECT_EQ(ReadFileText(g_SmsgwIni).find("ann="), std::string::npos);
  EXPECT_FALSE(HasMm7Account("ann"));
  EXPECT_TRUE(Stored("annie"));
  EXPECT_TRUE(PathExists(Dir("annie") + "\\inbox.txt"));
  EXPECT_EQ(ReadUserRouting("annie"), "+15550001");
  EXPECT_TRUE(HasMm7Account("annie"));

  EXPECT_FALSE(DeleteUserAt(store_, 1));  // no record there: nothing happens
  EXPECT_EQ(SMSGetRecordCount(store_), 1u);
}

TEST_F(Users, NamesThatLeaveTheirDirectoryAreNeverPaths) {
  // Stored by someone else under names this program does not accept.
  WriteFileText(dir_ / "keep.txt", "data");
  for (const char* name : {"..", "x\\..\\..", "annie."}) ASSERT_TRUE(SMSAddUser(store_, Rec(name).b)) << name;
  MakeUser("annie");
  ASSERT_TRUE(StoreEditedUser(store_, Rec("..").b, Rec("dots").b));
  EXPECT_TRUE(PathExists(dir_ / "keep.txt"));
  for (unsigned i = 0; i < SMSGetRecordCount(store_);) {
    unsigned char r[UserRecord::kSize];
    ASSERT_TRUE(SMSGetUserRecord(store_, i, r));
    if (std::strcmp(ReadUserRecord(r).name, "annie") == 0)
      ++i;
    else
      ASSERT_TRUE(DeleteUserAt(store_, i));
  }
  EXPECT_EQ(SMSGetRecordCount(store_), 1u);
  EXPECT_TRUE(PathExists(dir_ / "keep.txt"));
  EXPECT_TRUE(PathExists(Dir("annie") + "\\inbox.txt"));  // "annie." would have reached it
}

TEST_F(Users, NameChecksInTheirOrder) {
  MakeUser("alice");
  const std::string longest(50, 'n');
  struct Case {
    const char* original;
    const char* name;
    UserNameCheck expected;
  } cases[] = {
      {"", "", UserNameCheck::kRequired},
      {"alice", "", UserNameCheck::kRequired},
      {"", "ALICE", UserNameCheck::kAlreadyDefined},
      {"bob", "alice", UserNameCheck::kAlreadyDefined},
      {"alice", "Alice", UserNameCheck::kOk},  // letter case only: no duplicate check
      {"", "newbie", UserNameCheck::kOk},
      {"", "a/b", UserNameCheck::kUnusable},
      {"a/b", "A/B", UserNameCheck::kOk},  // a stored name kept as it is
      {"", longest.c_str(), UserNameCheck::kOk},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(CheckUserName(store_, cases[i].original, cases[i].name), cases[i].expected) << "case " << i;
}

TEST_F(Users, ExtrasFollowTheDialog) {
  UserFields f;
  std::strcpy(f.name, "mm");
  std::strcpy(f.password, "secret");
  std::strcpy(f.fullName, "Multi Media");
  std::strcpy(f.ipAddresses, "192.168.1.1");
  f.acceptReceived = true;
  SaveUserExtras(f, "+1555\r\n+1666", true);
  EXPECT_EQ(ReadUserRouting("mm"), "+1555  +1666");  // one line: no stray keys
  unsigned char account[AccountRecord::kSize];
  ASSERT_TRUE(VASPFindUserRecord("mm", account));
  EXPECT_STREQ(reinterpret_cast<char*>(account + AccountRecord::kPasswordOffset), "secret");
  EXPECT_STREQ(reinterpret_cast<char*>(account + AccountRecord::kIpAddressesOffset), "192.168.1.1");
  EXPECT_EQ(account[AccountRecord::kFlag205], 1);

  account[400] = 0x42;  // a byte the MMSC keeps of its own
  VASPAddUser(account);
  std::strcpy(f.password, "changed");
  SaveUserExtras(f, "", true);
  EXPECT_EQ(ReadUserRouting("mm"), "");  // an empty text removes the key
  ASSERT_TRUE(VASPFindUserRecord("mm", account));
  EXPECT_STREQ(reinterpret_cast<char*>(account + AccountRecord::kPasswordOffset), "changed");
  EXPECT_EQ(account[400], 0x42);

  std::string longest(kRoutingLimit, '7'), longer(40000, '8');
  SaveUserExtras(f, longest.c_str(), false);
  EXPECT_TRUE(ReadUserRouting("mm") == longest);
  EXPECT_FALSE(VASPFindUserRecord("mm", account));
  SaveUserExtras(f, longer.c_str(), false);
  EXPECT_TRUE(ReadUserRouting("mm") == longer.substr(0, kRoutingLimit));
  f.acceptReceived = false;
  SaveUserExtras(f, "+1555", false);
  EXPECT_EQ(ReadUserRouting("mm"), "");
}
