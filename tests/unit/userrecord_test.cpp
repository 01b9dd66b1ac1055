#include "core/userrecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace UserRecord;

struct Record {
  unsigned char b[kSize];
  explicit Record(unsigned char fill = 0) { std::memset(b, fill, sizeof b); }
};

UserFields Sample() {
  UserFields f;
  std::strcpy(f.name, "alice");
  std::strcpy(f.password, "pw");
  std::strcpy(f.fullName, "Alice Smith");
  std::strcpy(f.ipAddresses, "10.0.0.1");
  f.webLogin = true;
  f.smppLogin = true;
  f.acceptReceived = true;
  f.admin = true;
  f.webMenu = 1;
  return f;
}

}  // namespace

TEST(UserRecord, BuiltAfreshWithOnlyItsFieldsSet) {
  Record r(0xEE);  // whatever the record held before
  BuildUserRecord(Sample(), r.b);
  Record expected;
  std::strcpy(reinterpret_cast<char*>(expected.b + 0), "alice");
  std::strcpy(reinterpret_cast<char*>(expected.b + 51), "pw");
  std::strcpy(reinterpret_cast<char*>(expected.b + 102), "Alice Smith");
  expected.b[203] = 0;
  expected.b[204] = 1;
  std::strcpy(reinterpret_cast<char*>(expected.b + 225), "10.0.0.1");
  expected.b[419] = 177;
  expected.b[420] = 'j';
  expected.b[421] = 1;
  for (size_t i = 0; i < kSize; ++i) ASSERT_EQ(r.b[i], expected.b[i]) << "byte " << i;
}

TEST(UserRecord, FlagBytesTable) {
  struct Case {
    bool web, admin, smpp, accept;
    int menu;
    unsigned char b203, b204, b419, b420, b421;
  } cases[] = {
      {true, true, false, false, 0, 0, 0, 176, 'j', 0},
      {false, true, false, false, 0, 1, 0, 176, 0, 0},  // admin only together with web login
      {true, false, true, true, 1, 0, 1, 177, 0, 1},
      {true, true, false, false, -1, 0, 0, 176, 'j', 0},  // nothing chosen
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    UserFields f;
    std::strcpy(f.name, "u");
    f.webLogin = c.web;
    f.admin = c.admin;
    f.smppLogin = c.smpp;
    f.acceptReceived = c.accept;
    f.webMenu = c.menu;
    Record r;
    BuildUserRecord(f, r.b);
    EXPECT_EQ(r.b[203], c.b203) << "case " << i;
    EXPECT_EQ(r.b[204], c.b204) << "case " << i;
    EXPECT_EQ(r.b[419], c.b419) << "case " << i;
    EXPECT_EQ(r.b[420], c.b420) << "case " << i;
    EXPECT_EQ(r.b[421], c.b421) << "case " << i;
  }
}

TEST(UserRecord, ReadsStoredCodes) {
  const unsigned char menu[][2] = {{176, 0}, {177, 1}, {178, 2}, {180, 4}, {181, 0}, {0, 0}, {175, 0}};
  for (size_t i = 0; i < sizeof menu / sizeof menu[0]; ++i) EXPECT_EQ(WebMenuIndex(menu[i][0]), menu[i][1]) << "case " << i;
  Record r;
  std::strcpy(reinterpret_cast<char*>(r.b), "bob");
  r.b[203] = 7;    // any non-zero disables web login
  r.b[420] = 'J';  // only "j" is admin
  r.b[421] = 2;
  UserFields f = ReadUserRecord(r.b);
  EXPECT_STREQ(f.name, "bob");
  EXPECT_FALSE(f.webLogin);
  EXPECT_FALSE(f.admin);
  EXPECT_TRUE(f.acceptReceived);
  EXPECT_FALSE(f.smppLogin);
}

TEST(UserRecord, FieldsAtAndPastTheirLimits) {
  // A damaged record: no field terminated. Each is cut at its limit.
  Record garbage('x');
  UserFields f = ReadUserRecord(garbage.b);
  EXPECT_EQ(std::strlen(f.name), 50u);
  EXPECT_EQ(std::strlen(f.password), 50u);
  EXPECT_EQ(std::strlen(f.fullName), 100u);
  EXPECT_EQ(std::strlen(f.ipAddresses), 49u);

  // Rebuilt, every field keeps its terminator inside its width.
  Record r;
  BuildUserRecord(f, r.b);
  EXPECT_EQ(r.b[50], 0);
  EXPECT_EQ(r.b[101], 0);
  EXPECT_EQ(r.b[202], 0);
  EXPECT_EQ(r.b[274], 0);
  EXPECT_EQ(r.b[49], 'x');
  EXPECT_EQ(r.b[201], 'x');
  EXPECT_EQ(r.b[273], 'x');
  EXPECT_EQ(r.b[275], 0);  // nothing spills past the addresses
}

TEST(AccountRecord, FilledFromTheUserKeepingOtherBytes) {
  unsigned char a[AccountRecord::kSize];
  std::memset(a, 0x55, sizeof a);
  UserFields f = Sample();
  FillAccountRecord(f, a);
  EXPECT_STREQ(reinterpret_cast<char*>(a), "alice");
  EXPECT_EQ(a[50], 0);  // the former name's tail is cleared
  EXPECT_STREQ(reinterpret_cast<char*>(a + 51), "pw");
  EXPECT_STREQ(reinterpret_cast<char*>(a + 102), "Alice Smith");
  EXPECT_EQ(a[203], 1);
  EXPECT_EQ(a[204], 0);
  EXPECT_EQ(a[205], 1);
  EXPECT_EQ(a[206], 1);
  EXPECT_STREQ(reinterpret_cast<char*>(a + 267), "10.0.0.1");
  EXPECT_EQ(a[316], 0);
  EXPECT_EQ(a[207], 0x55);  // bytes the account keeps of its own
  EXPECT_EQ(a[317], 0x55);
  EXPECT_EQ(a[510], 0x55);
}

TEST(UserName, UsableAsDirectoryAndKey) {
  struct Case {
    const char* name;
    bool usable;
  } cases[] = {
      {"bob", true},   {"Bob Smith", true}, {"a.b", true},  {"x-1_2", true}, {"", false},    {".", false},
      {"..", false},   {"bob.", false},     {"bob ", false}, {" bob", false}, {"a\\b", false}, {"a/b", false},
      {"..\\x", false}, {"c:", false},       {"a=b", false}, {"[x", false},   {"a;b", false},  {"a\tb", false},
      {"a*", false},   {"a?", false},       {"a|b", false}, {"a\"b", false}, {"<a>", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(IsUsableUserName(cases[i].name), cases[i].usable) << "case " << i << " '" << cases[i].name << "'";
}
