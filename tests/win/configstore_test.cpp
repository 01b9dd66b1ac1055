// The settings files and data directories over real directories under Wine.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

// A directory junction at `link` to `target` (an existing directory), made
// with the file system's own reparse call.
bool MakeJunction(const std::string& link, const std::string& target) {
  if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
  HANDLE h = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    RemoveDirectoryA(link.c_str());
    return false;
  }
  // REPARSE_DATA_BUFFER's mount point form: tag, sizes, then the substitute
  // name ("\??\" + full path) and the print name, each terminated.
  std::wstring substitute = L"\\??\\", print;
  char full[MAX_PATH];
  GetFullPathNameA(target.c_str(), sizeof full, full, nullptr);
  for (const char* p = full; *p; ++p) print += wchar_t(static_cast<unsigned char>(*p));
  substitute += print;
  std::vector<BYTE> buffer(8 + 8 + (substitute.size() + print.size() + 2) * sizeof(wchar_t));
  auto put16 = [&](size_t at, size_t value) {
    WORD v = WORD(value);
    memcpy(&buffer[at], &v, 2);
  };
  DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  memcpy(&buffer[0], &tag, 4);
  put16(4, buffer.size() - 8);                                          // ReparseDataLength
  put16(8, 0);                                                          // SubstituteNameOffset
  put16(10, substitute.size() * sizeof(wchar_t));                       // SubstituteNameLength
  put16(12, (substitute.size() + 1) * sizeof(wchar_t));                 // PrintNameOffset
  put16(14, print.size() * sizeof(wchar_t));                            // PrintNameLength
  memcpy(&buffer[16], substitute.c_str(), (substitute.size() + 1) * sizeof(wchar_t));
  memcpy(&buffer[16 + (substitute.size() + 1) * sizeof(wchar_t)], print.c_str(), (print.size() + 1) * sizeof(wchar_t));
  DWORD returned = 0;
  BOOL made = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), DWORD(buffer.size()), nullptr, 0, &returned,
                              nullptr);
  CloseHandle(h);
  if (!made) RemoveDirectoryA(link.c_str());
  return made != FALSE;
}

// The Linux name of a path in the Wine prefix; empty off Wine.
std::string HostPath(const std::string& path) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return "";
  std::wstring wide(path.begin(), path.end());
  char* name = unixName(wide.c_str());
  std::string out = name ? name : "";
  if (name) HeapFree(GetProcessHeap(), 0, name);
  return out;
}

// Runs a Linux program on the host (Wine starts it detached) and waits until
// `link` does or does not exist, as `present` says.
bool RunOnHostUntil(std::string command, const std::string& link, bool present) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  if (process.hProcess) {  // Wine starts a Linux program without one; close only real handles
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  auto exists = [&] { return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; };
  for (DWORD start = GetTickCount(); exists() != present && GetTickCount() - start < 10000;) Sleep(50);
  return exists() == present;
}

// A symbolic link made on the Linux side of a Wine prefix, which Wine shows
// as a reparse point; false off Wine.
bool MakeHostSymlink(const std::string& link, const std::string& target) {
  std::string from = HostPath(target), to = HostPath(link);
  return !from.empty() && RunOnHostUntil("/bin/ln -s \"" + from + "\" \"" + to + "\"", link, true);
}

TEST_F(ConfigStore, DeleteDirectoryTreeDoesNotFollowLinks) {
  std::string outside = dir_ / "precious";
  CreateDirectoryA(outside.c_str(), nullptr);
  CreateDirectoryA((outside + "\\inner").c_str(), nullptr);
  WriteFileText(outside + "\\keep.txt", "x");
  WriteFileText(outside + "\\inner\\keep.txt", "x");
  const struct {
    const char* kind;
    bool (*make)(const std::string& link, const std::string& target);
  } kinds[] = {{"junction", MakeJunction}, {"host symbolic link", MakeHostSymlink}};
  int tried = 0;
  for (const auto& kind : kinds) {
    std::string root = dir_ / "data";
    CreateDirectoryA(root.c_str(), nullptr);
    WriteFileText(root + "\\own.txt", "x");
    std::string link = root + "\\link";
    if (!kind.make(link, outside)) {
      RemoveTree(root);
      continue;
    }
    ++tried;
    // A real link: marked as one, and showing the target's files.
    DWORD attributes = GetFileAttributesA(link.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << kind.kind;
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << kind.kind;
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY) << kind.kind;
    ASSERT_TRUE(PathExists(link + "\\inner\\keep.txt")) << kind.kind << " does not lead to its target";

    DeleteDirectoryTree(root.c_str());
    EXPECT_FALSE(PathExists(root + "\\own.txt")) << kind.kind;  // the tree's own files go
    EXPECT_TRUE(PathExists(outside + "\\keep.txt")) << kind.kind;  // the target's stay
    EXPECT_TRUE(PathExists(outside + "\\inner\\keep.txt")) << kind.kind;
    // Windows removes the link itself, and then the tree. Wine cannot remove
    // a host symbolic link (its RemoveDirectory acts on the target, which
    // holds files): there the link stays, still leading to the whole target.
    if (PathExists(link))
      EXPECT_TRUE(PathExists(link + "\\inner\\keep.txt")) << kind.kind;
    else
      EXPECT_FALSE(PathExists(root)) << kind.kind;
    if (PathExists(link)) RunOnHostUntil("/bin/rm -f \"" + HostPath(link) + "\"", link, false);
    RemoveTree(root);
  }
  if (!tried) GTEST_SKIP() << "neither a junction nor a host symbolic link can be made here";
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
