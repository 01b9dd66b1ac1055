// The settings files and data directories over real directories under Wine.
#include <gtest/gtest.h>

#include "app/configstore.h"
#include "app/uihelpers.h"
#include "testenv.h"

namespace {

class ConfigStore : public ::testing::Test {
 protected:
  void SetUp() override { UseDataDirectory(dir_); }
  ScratchDir dir_{"cfgstore"};
};

}  // namespace

TEST_F(ConfigStore, WriteWithoutValueRemovesTheKey) {
  ASSERT_TRUE(WriteSetting(g_SmsgwIni, "SMSGW", "WebPort", "8800"));
  char v[32];
  ReadSetting(g_SmsgwIni, "SMSGW", "WebPort", "x", v, sizeof v);
  EXPECT_STREQ(v, "8800");
  WriteSetting(g_SmsgwIni, "SMSGW", "WebPort", "");
  ReadSetting(g_SmsgwIni, "SMSGW", "WebPort", "dflt", v, sizeof v);
  EXPECT_STREQ(v, "dflt");
  EXPECT_EQ(ReadFileText(g_SmsgwIni).find("WebPort"), std::string::npos);
  WriteSetting(g_SmsgwIni, "SMSGW", "Debug", "1");
  EXPECT_TRUE(ReadYesSetting(g_SmsgwIni, "SMSGW", "Debug"));
  EXPECT_FALSE(ReadYesSetting(g_SmsgwIni, "SMSGW", "Missing"));
}

TEST_F(ConfigStore, QueueDirectoryDefaultIsCreated) {
  char path[MAX_PATH];
  QueueDirectory(path);
  EXPECT_EQ(std::string(path), dir_ / "Q\\");
  EXPECT_TRUE(PathExists(dir_ / "Q"));
  QueueDirectory(path, "");
  EXPECT_EQ(std::string(path), dir_ / "Q\\");
}

TEST_F(ConfigStore, QueueDirectorySubdirectoryNames) {
  char path[MAX_PATH];
  QueueDirectory(path, "Modem: a/b\\c");
  EXPECT_EQ(std::string(path), dir_ / "Q\\Modem- a-b-c\\");
  EXPECT_TRUE(PathExists(dir_ / "Q\\Modem- a-b-c"));
  // COM1 alone is a device name; with the colon replaced it is an ordinary directory.
  QueueDirectory(path, "COM1:");
  EXPECT_EQ(std::string(path), dir_ / "Q\\COM1-\\");
  // A name whose directory cannot be created gives the base directory.
  QueueDirectory(path, "bad<>|name?");
  EXPECT_EQ(std::string(path), dir_ / "Q\\");
  std::string tooLong(300, 'x');
  QueueDirectory(path, tooLong.c_str());
  EXPECT_EQ(std::string(path), dir_ / "Q\\");
}

TEST_F(ConfigStore, QueueDirectoryFromSettingIsUsedAsWritten) {
  std::string qdir = dir_ / "elsewhere";
  WriteSetting(g_SmsgwIni, "SMSGW", "QDir", qdir.c_str());
  char path[MAX_PATH];
  QueueDirectory(path);
  EXPECT_EQ(std::string(path), qdir + "\\");
  EXPECT_FALSE(PathExists(qdir));  // never created from a setting
  WriteSetting(g_SmsgwIni, "SMSGW", "QDir", (qdir + "\\").c_str());
  QueueDirectory(path);
  EXPECT_EQ(std::string(path), qdir + "\\");
  EXPECT_FALSE(PathExists(dir_ / "Q"));
}

TEST_F(ConfigStore, InboxDefaultsAndWhichAreCreated) {
  char path[MAX_PATH];
  SmsInboxDirectory(path);
  EXPECT_EQ(std::string(path), dir_ / "SMS-IN\\");
  EXPECT_FALSE(PathExists(dir_ / "SMS-IN"));
  MmsInboxDirectory(path);
  EXPECT_EQ(std::string(path), dir_ / "MMS-IN\\");
  EXPECT_TRUE(PathExists(dir_ / "MMS-IN"));
  VaspQueueDirectory(path);
  EXPECT_EQ(std::string(path), dir_ / "VASPQ\\");
  EXPECT_TRUE(PathExists(dir_ / "VASPQ"));

  WriteSetting(g_SmsgwIni, "SMSGW", "SmsInDir", "D:\\sms");
  WriteSetting(g_SmsgwIni, "SMSGW", "MMSDir", "D:\\mms\\");
  WriteSetting(g_MmscIni, "MMSC", "VASPQDir", "D:\\vq");
  SmsInboxDirectory(path);
  EXPECT_STREQ(path, "D:\\sms\\");
  MmsInboxDirectory(path);
  EXPECT_STREQ(path, "D:\\mms\\");
  VaspQueueDirectory(path);
  EXPECT_STREQ(path, "D:\\vq\\");
}

TEST_F(ConfigStore, FileExistsAndIsPlainFile) {
  WriteFileText(dir_ / "a.req", "x");
  CreateDirectoryA((dir_ / "sub").c_str(), nullptr);
  EXPECT_TRUE(FileExists((dir_ / "a.req").c_str()));
  EXPECT_TRUE(FileExists((dir_ / "*.req").c_str()));
  EXPECT_TRUE(FileExists((dir_ / "sub").c_str()));
  EXPECT_FALSE(FileExists((dir_ / "*.mms").c_str()));
  EXPECT_TRUE(IsPlainFile((dir_ / "a.req").c_str()));
  EXPECT_FALSE(IsPlainFile((dir_ / "sub").c_str()));
  EXPECT_FALSE(IsPlainFile((dir_ / "none").c_str()));
}

TEST_F(ConfigStore, DeleteDirectoryTreeSkipsDotDirectories) {
  std::string root = dir_ / "tree";
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA((root + "\\a").c_str(), nullptr);
  CreateDirectoryA((root + "\\a\\b").c_str(), nullptr);
  WriteFileText(root + "\\a\\b\\f.txt", "x");
  WriteFileText(root + "\\.hidden", "x");
  DeleteDirectoryTree((root + "\\a").c_str());
  EXPECT_FALSE(PathExists(root + "\\a"));

  CreateDirectoryA((root + "\\.keep").c_str(), nullptr);
  WriteFileText(root + "\\.keep\\inside", "x");
  DeleteDirectoryTree((root + "\\").c_str());
  EXPECT_FALSE(PathExists(root + "\\.hidden"));          // a dot-file is deleted
  EXPECT_TRUE(PathExists(root + "\\.keep\\inside"));     // a dot-directory is kept
  EXPECT_TRUE(PathExists(root));                         // so the parent stays
  DeleteDirectoryTree("");                               // nothing happens
}

TEST_F(ConfigStore, DeleteDirectoryTreeDoesNotFollowLinks) {
  std::string outside = dir_ / "precious";
  CreateDirectoryA(outside.c_str(), nullptr);
  WriteFileText(outside + "\\keep.txt", "x");
  std::string root = dir_ / "data";
  CreateDirectoryA(root.c_str(), nullptr);
  std::string link = root + "\\link";
  if (!CreateSymbolicLinkA(link.c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "directory links unsupported here, error " << GetLastError();
  ASSERT_TRUE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
  DeleteDirectoryTree(root.c_str());
  EXPECT_TRUE(PathExists(outside + "\\keep.txt"));
  EXPECT_FALSE(PathExists(link));
  EXPECT_FALSE(PathExists(root));
}

TEST(TextControl, SetTextIfChangedComparesWithoutCase) {
  HWND edit = CreateWindowA("EDIT", "Active", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_FALSE(SetTextIfChanged(edit, "ACTIVE"));
  EXPECT_TRUE(SetTextIfChanged(edit, "Not Active"));
  char t[32];
  GetWindowTextA(edit, t, sizeof t);
  EXPECT_STREQ(t, "Not Active");
  DestroyWindow(edit);
}

TEST(TextControl, AnsiUpperMatchesTheSystem) {
  EXPECT_NE(FindCommandSwitch("c:\\x\\zarqcfg.exe /i", "/I", &AnsiUpper()), nullptr);
  EXPECT_EQ(AnsiUpper().map[static_cast<unsigned char>('q')], 'Q');
}
