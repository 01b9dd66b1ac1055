// The message lists of the four stores and the MMS view, driven through their
// windows: header counts, the row cap, sorting, the minute's refresh and the
// selection, View (Enter, double-click) and Delete, text in every script.
// What the lists open is recorded by a stand-in copied as NOTEPAD.EXE into
// the host's current directory (searched before the system's) and by a test
// file type registered with the shell.
#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "apptest.h"
#include "listauto.h"
#include "resource.h"

namespace {

enum Kind { kOutboundSms, kOutboundMms, kReceivedSms, kReceivedMms };
const char* const kTitles[] = {"Outbound SMS Queue", "Outbound MMS Queue", "Received SMS Messages",
                               "Received MMS Messages"};
const char* const kPrefixes[] = {"Outbound SMS Message Queue:  ", "Outbound MMS Message Queue:  ",
                                 "Received SMS Messages:  ", "Received MMS Messages:  "};
const char* const kZeroWords[] = {"Empty", "Empty", "None", "None"};
const char* const kStores[] = {"Q\\", "VASPQ\\", "SMS-IN\\", "MMS-IN\\"};
constexpr char kShellType[] = ".zqpart";  // opened through the shell by the recorder

std::string Format(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// Files made in different seconds show different times (the file system's
// creation time, which Wine cannot set).
void WaitNextSecond() {
  SYSTEMTIME start, now;
  GetSystemTime(&start);
  ui::WaitUntil([&] { return GetSystemTime(&now), now.wSecond != start.wSecond; }, 2000);
}

// A directory link: under Wine a Unix symbolic link (which Wine shows as a
// reparse point), made by the system's ln, since Wine makes no junctions of
// its own; elsewhere a directory symbolic link.
bool MakeDirectoryLink(const std::string& link, const std::string& target) {
  typedef char*(CDECL * UnixName)(const WCHAR*);
  auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) {
    CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
  } else {
    std::string names[2];
    const std::string* paths[2] = {&target, &link};
    for (int i = 0; i < 2; ++i) {
      // The link does not exist yet: its directory's Unix name, then its own name.
      std::string path = i ? paths[i]->substr(0, paths[i]->find_last_of('\\')) : *paths[i];
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
      char* name = unixName(wide);
      if (!name) return false;
      names[i] = name;
      HeapFree(GetProcessHeap(), 0, name);
      if (i) names[i] += "/" + paths[i]->substr(paths[i]->find_last_of('\\') + 1);
    }
    std::string command = "/bin/ln -s \"" + names[0] + "\" \"" + names[1] + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return ui::WaitUntil(
      [&] {
        DWORD a = GetFileAttributesA(link.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) &&
               PathExists(link + "\\keep.txt");
      },
      5000);
}

class MessageListTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    bin_ = exe;
    bin_.resize(bin_.find_last_of('\\') + 1);
    tools_ = dir_ / "tools";
    CreateDirectoryA(tools_.c_str(), nullptr);
    CopyFileA((bin_ + "zarq_openrecorder.exe").c_str(), (tools_ + "\\NOTEPAD.EXE").c_str(), FALSE);
    SetEnvironmentVariableA("ZARQ_OPEN_LOG", (dir_ / "opened.log").c_str());
    for (const char* store : kStores) CreateDirectoryA((dir_ / store).c_str(), nullptr);
  }

  void TearDown() override { CloseList(); }

  // Closes the list (and an MMS view over it) and waits for its host to end.
  void CloseList() {
    if (app_.Running() && dialog_) {
      for (HWND w : ui::TopWindows(app_.Id()))  // an MMS view first, then its list
        if (ui::WindowText(w) == "MMS Message Details") {
          PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
          ui::WaitGone(w, kBoxTimeoutMs);
        }
      PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
    }
    app_.WaitExit(10000);
  }

  // Opens the list of `kind` (`openings` times in turn, each once the last closes).
  bool Open(Kind kind, int openings = 1) {
    CloseList();  // one list host at a time: what a key or click opens is that list's
    kind_ = kind;
    if (!app_.Start("zarq_listhost.exe", Format("%d %d %s", kind, openings, tools_.c_str()))) return false;
    return FindList();
  }
  // The program's MMS view, once it shows.
  HWND FindView() { return ui::WaitTopWindow(app_.Id(), "MMS Message Details", kBoxTimeoutMs); }
  bool FindList() {
    dialog_ = nullptr;
    ui::WaitUntil(
        [&] {
          for (HWND w : ui::TopWindows(app_.Id()))
            if (ui::WindowText(w) == kTitles[kind_] && GetDlgItem(w, IDC_SMSQ_LIST)) dialog_ = w;
          return dialog_ != nullptr;
        },
        300000);  // a list of thousands shows once scanned
    list_ = dialog_ ? GetDlgItem(dialog_, IDC_SMSQ_LIST) : nullptr;
    return dialog_ != nullptr;
  }
  void Close() {
    PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
    ui::WaitGone(dialog_, 10000);
  }

  std::string Header() const { return ui::ItemText(dialog_, IDC_SMSQ_HEADER); }
  std::string HeaderFor(unsigned total) const {
    if (!total) return std::string(kPrefixes[kind_]) + kZeroWords[kind_];
    return kPrefixes[kind_] + Format("%u message%s", total, total > 1 ? "s" : "");
  }
  // The minute's refresh, now; returns once it has run.
  void Refresh() {
    DWORD_PTR result;
    SendMessageTimeoutA(dialog_, WM_TIMER, 1, 0, SMTO_ABORTIFHUNG, 300000, &result);
  }
  void ExpectCapWith6000(Kind kind);
  // Clicks the ID column until the rows run in that order.
  void SortById(bool ascending) {
    ui::ClickColumn(list_, 0);
    EXPECT_TRUE(ui::WaitUntil(
        [&] {
          int n = ui::ListRowCount(list_);
          return n > 1 && (ui::ListCell(list_, 0, 0) < ui::ListCell(list_, n - 1, 0)) == ascending;
        },
        kBoxTimeoutMs));
  }
  bool WaitRows(int n) {
    return ui::WaitUntil([&] { return ui::ListRowCount(list_) == n; }, kBoxTimeoutMs);
  }
  bool WaitSelected(const std::vector<int>& rows) {
    return ui::WaitUntil([&] { return ui::SelectedRows(list_) == rows; }, kBoxTimeoutMs);
  }
  // Clicks a row once it is listed. A plain click that changed nothing is
  // clicked again (a second one is harmless); a Ctrl click never is (it would toggle).
  void Select(int row, WPARAM keys = 0) {
    ui::WaitUntil([&] { return ui::ListRowCount(list_) > row; }, kBoxTimeoutMs);
    std::vector<int> before = ui::SelectedRows(list_);
    for (int attempt = 0; attempt < (keys ? 1 : 2); ++attempt) {
      ui::ClickRow(list_, row, keys);
      if (ui::WaitUntil([&] { return ui::SelectedRows(list_) != before; }, kBoxTimeoutMs / 2)) return;
    }
  }

  // A message of the list's kind, numbered `i`, in the store's root or `sub`.
  std::string Add(int i, const std::string& sub = "") {
    std::string dir = dir_ / kStores[kind_] + sub;
    std::string name = Format("M%05d", i);
    switch (kind_) {
      case kOutboundSms:
        WriteFileText(dir + name + ".REQ", Format("[SMS]\r\nPhoneNumber=+4477009%05d\r\nSubmitUser=user%d\r\n", i, i % 3));
        return name + ".REQ";
      case kOutboundMms:
        WriteFileText(dir + name + ".INI", Format("[Routing]\r\nSenderAddress=+1555%05d\r\n[Recipients]\r\n"
                                            "Recip1=+4477009%05d/TYPE=PLMN\r\n", i, i));
        WriteFileText(dir + name + ".MMS", "mms");
        return name + ".MMS";
      case kReceivedSms:
        WriteFileText(dir + name + ".SMS", Format("[SMS-IN]\r\nSender=+4477009%05d\r\nPhoneNumber=+15550100100\r\n"
                                            "Data=Message %d\r\n", i, i));
        return name + ".SMS";
      case kReceivedMms:
        WriteFileText(dir + name + ".HDR", Format("From: +4477009%05d/TYPE=PLMN\r\nTo: +15550100100\r\nSubject: Photo %d\r\n",
                                            i, i));
        return name + ".HDR";
    }
    return "";
  }

  // The command lines of the programs opened so far (each is followed by
  // its working directory in the record).
  std::vector<std::string> Opened() const {
    std::vector<std::string> lines;
    std::string text = ReadFileText(dir_ / "opened.log");
    for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1)
      lines.push_back(text.substr(pos, end - pos));
    std::vector<std::string> commands;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) commands.push_back(lines[i]);
    return commands;
  }
  // The next program the list opens: its command line.
  std::string NextOpened() {
    size_t seen = opened_++;
    std::vector<std::string> lines;
    ui::WaitUntil([&] { return (lines = Opened()).size() > seen; }, 60000);
    return lines.size() > seen ? lines[seen] : "<nothing opened>";
  }
  std::string NotepadOn(const std::string& path) const { return "NOTEPAD.EXE \"" + dir_.Path() + path + "\""; }

  ui::MessageBoxInfo ExpectQuestion(const std::string& text) {
    ui::MessageBoxInfo box = ExpectBox(text);
    EXPECT_EQ(box.caption, kProductTitle);
    EXPECT_EQ(box.icon, ui::Icon::Question);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    return box;
  }

  std::string bin_, tools_;
  Kind kind_ = kOutboundSms;
  HWND dialog_ = nullptr, list_ = nullptr;
  size_t opened_ = 0;
};

TEST_F(MessageListTest, HeaderCountsNoneOneAndTwoMessagesOfEachKind) {
  for (Kind kind : {kOutboundSms, kOutboundMms, kReceivedSms, kReceivedMms}) {
    SCOPED_TRACE(kTitles[kind]);
    ASSERT_TRUE(Open(kind));
    EXPECT_EQ(Header(), HeaderFor(0));
    for (int i = 0; i < 2; ++i) {
      Add(i);
      Refresh();
      EXPECT_EQ(Header(), HeaderFor(i + 1));
      EXPECT_EQ(ui::ListRowCount(list_), i + 1);
    }
    ui::ClickItem(dialog_, IDOK);
    EXPECT_EQ(app_.WaitExit(10000), 0u);
  }
}

// 6000 files: the header counts them all, 5000 rows are listed.
void MessageListTest::ExpectCapWith6000(Kind kind) {
  SCOPED_TRACE(kTitles[kind]);
  kind_ = kind;
  for (int s = 0; s < 12; ++s) CreateDirectoryA((dir_ / kStores[kind] + Format("S%d", s)).c_str(), nullptr);
  for (int i = 0; i < 6000; ++i) Add(i, Format("S%d\\", i % 12));
  ASSERT_TRUE(Open(kind));
  EXPECT_EQ(Header(), HeaderFor(6000));
  EXPECT_EQ(ui::ListRowCount(list_), 5000);
  Add(6000, "S0\\");
  Refresh();
  EXPECT_EQ(Header(), HeaderFor(6001));
  EXPECT_EQ(ui::ListRowCount(list_), 5000);
}

TEST_F(MessageListTest, SixThousandRequestsShowTheirCountAnd5000Rows) { ExpectCapWith6000(kOutboundSms); }

// Minutes under Wine: run with the long tests.
TEST_F(MessageListTest, DISABLED_SixThousandOfEveryOtherKindShowTheirCountAnd5000Rows) {
  for (Kind kind : {kOutboundMms, kReceivedSms, kReceivedMms}) {
    ExpectCapWith6000(kind);
    ui::ClickItem(dialog_, IDOK);
    EXPECT_EQ(app_.WaitExit(60000), 0u);
  }
}

TEST_F(MessageListTest, ColumnsSortAscendingDescendingAscendingAndTheKeySurvivesClosing) {
  kind_ = kOutboundSms;
  const char* recipients[] = {"+4420", "+1555", "+4930", "+3310"};
  const char* retries[] = {"", "[ErrorDetail]\r\nRetryCount=12\r\n", "[ErrorDetail]\r\nRetryCount=3\r\n", ""};
  for (int i = 3; i >= 0; --i) {  // R3 oldest
    WriteFileText(dir_ / Format("Q\\R%d.REQ", i), Format("[SMS]\r\nPhoneNumber=%s\r\n%s", recipients[i], retries[i]));
    if (i) WaitNextSecond();
  }
  ASSERT_TRUE(Open(kOutboundSms, 2));
  EXPECT_EQ(ui::ListColumn(list_, 0), "R3.REQ|R2.REQ|R1.REQ|R0.REQ|");  // oldest first
  ui::ClickColumn(list_, 2);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::ListColumn(list_, 2) == "+1555|+3310|+4420|+4930|"; }, 5000));
  ui::ClickColumn(list_, 2);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::ListColumn(list_, 2) == "+4930|+4420|+3310|+1555|"; }, 5000));
  ui::ClickColumn(list_, 2);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::ListColumn(list_, 2) == "+1555|+3310|+4420|+4930|"; }, 5000));
  ui::ClickColumn(list_, 4);  // another column: ascending, retry counts in numeric order
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::ListColumn(list_, 0).substr(14) == "R2.REQ|R1.REQ|"; }, 5000))
      << ui::ListColumn(list_, 4);

  // The next opening sorts by time again; its first refresh applies the kept key.
  Close();
  ASSERT_TRUE(FindList());
  EXPECT_EQ(ui::ListColumn(list_, 0), "R3.REQ|R2.REQ|R1.REQ|R0.REQ|");
  Refresh();
  EXPECT_EQ(ui::ListColumn(list_, 0).substr(14), "R2.REQ|R1.REQ|");
}

TEST_F(MessageListTest, RefreshKeepsTheSelectedMessageAndSkipsAMultipleSelection) {
  kind_ = kReceivedSms;
  for (int i = 0; i < 40; ++i) Add(i);
  ASSERT_TRUE(Open(kReceivedSms));
  SortById(true);
  SortById(false);
  Select(30);
  ASSERT_EQ(ui::SelectedRows(list_), std::vector<int>{30});
  EXPECT_EQ(ui::ListCell(list_, 30, 0), "M00009.SMS");

  // Newer messages push it down: it stays selected and in view.
  Add(40);
  Add(41);
  Refresh();
  EXPECT_EQ(Header(), HeaderFor(42));
  EXPECT_EQ(ui::SelectedRows(list_), std::vector<int>{32});
  EXPECT_EQ(ui::ListCell(list_, 32, 0), "M00009.SMS");
  EXPECT_TRUE(ui::ListRowVisible(list_, 32));

  // Two rows selected: neither rows nor header change until one is left.
  Select(33, MK_CONTROL);
  ASSERT_EQ(ui::SelectedRows(list_), (std::vector<int>{32, 33}));
  Add(42);
  Refresh();
  EXPECT_EQ(ui::ListRowCount(list_), 42);
  EXPECT_EQ(Header(), HeaderFor(42));
  Select(33);
  Refresh();
  EXPECT_EQ(ui::ListRowCount(list_), 43);
  EXPECT_EQ(Header(), HeaderFor(43));
  EXPECT_EQ(ui::SelectedRows(list_), std::vector<int>{34});

  // The selected message leaves the store: nothing selected, back at the top.
  DeleteFileA((dir_ / "SMS-IN\\M00008.SMS").c_str());
  Refresh();
  EXPECT_TRUE(ui::SelectedRows(list_).empty());
  EXPECT_EQ(ui::ListTopRow(list_), 0);
}

TEST_F(MessageListTest, DeleteAsksThenRemovesTheRowsAtOnceAndTheFilesOfEach) {
  kind_ = kOutboundMms;
  for (int i = 0; i < 5; ++i) Add(i);
  ASSERT_TRUE(Open(kOutboundMms));
  SortById(true);
  Select(1);
  Select(2, MK_CONTROL);
  Select(4, MK_CONTROL);
  ui::PressKey(list_, VK_DELETE);
  ui::MessageBoxInfo box = ExpectQuestion("Delete 3 messages?");
  ui::AnswerMessageBox(box, IDNO);
  EXPECT_TRUE(ui::WaitGone(box.window, kBoxTimeoutMs));
  EXPECT_EQ(ui::ListRowCount(list_), 5);
  ui::PressKey(list_, VK_DELETE);
  ui::AnswerMessageBox(ExpectQuestion("Delete 3 messages?"), IDYES);
  EXPECT_TRUE(WaitRows(2));
  EXPECT_EQ(ui::ListColumn(list_, 0), "M00000.MMS|M00003.MMS|");
  EXPECT_EQ(Header(), HeaderFor(5));  // until the next refresh
  for (int i : {1, 2, 4}) {
    EXPECT_FALSE(PathExists(dir_ / Format("VASPQ\\M%05d.MMS", i))) << i;
    EXPECT_FALSE(PathExists(dir_ / Format("VASPQ\\M%05d.INI", i))) << i;
  }
  EXPECT_TRUE(PathExists(dir_ / "VASPQ\\M00003.INI"));
  Select(0);
  ui::PressKey(list_, VK_DELETE);
  ui::AnswerMessageBox(ExpectQuestion("Delete Message?"), IDYES);
  EXPECT_TRUE(WaitRows(1));
  Refresh();
  EXPECT_EQ(Header(), HeaderFor(1));
}

TEST_F(MessageListTest, AFileHeldOpenLeavesTheListAtOnceAndTheDiskWhenReleased) {
  kind_ = kOutboundSms;
  std::string held = dir_ / ("Q\\" + Add(0)), kept = dir_ / ("Q\\" + Add(1));
  HANDLE first = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr);
  HANDLE second = CreateFileA(kept.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Open(kOutboundSms));
  Select(0);
  Select(1, MK_CONTROL);
  ui::PressKey(list_, VK_DELETE);
  ui::AnswerMessageBox(ExpectQuestion("Delete 2 messages?"), IDYES);
  EXPECT_TRUE(WaitRows(0));
  EXPECT_TRUE(PathExists(held));
  CloseHandle(first);
  EXPECT_TRUE(ui::WaitUntil([&] { return !PathExists(held); }, 15000));
  // The one still held comes back at the next refresh.
  Refresh();
  EXPECT_EQ(ui::ListColumn(list_, 0), "M00001.REQ|");
  CloseHandle(second);
}

TEST_F(MessageListTest, DeletingAReceivedMmsTakesItsPartsOnlyWithItsHeaderAndNeverFollowsALink) {
  kind_ = kReceivedMms;
  for (int i = 0; i < 2; ++i) {
    Add(i);
    CreateDirectoryA((dir_ / Format("MMS-IN\\M%05d", i)).c_str(), nullptr);
    WriteFileText(dir_ / Format("MMS-IN\\M%05d\\text.txt", i), "hello");
  }
  // A third message whose part directory is a link to a directory elsewhere.
  std::string outside = dir_ / "outside";
  CreateDirectoryA(outside.c_str(), nullptr);
  WriteFileText(outside + "\\keep.txt", "x");
  Add(2);
  bool linked = MakeDirectoryLink(dir_ / "MMS-IN\\M00002", outside);
  HANDLE held = CreateFileA((dir_ / "MMS-IN\\M00001.HDR").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(Open(kReceivedMms));
  for (int row = 0; row < 3; ++row) Select(row, MK_CONTROL);
  ui::PressKey(list_, VK_DELETE);
  ui::AnswerMessageBox(ExpectQuestion("Delete 3 messages?"), IDYES);
  EXPECT_TRUE(WaitRows(0));
  EXPECT_FALSE(PathExists(dir_ / "MMS-IN\\M00000.HDR"));
  EXPECT_FALSE(PathExists(dir_ / "MMS-IN\\M00000"));
  EXPECT_TRUE(PathExists(dir_ / "MMS-IN\\M00001.HDR"));
  EXPECT_TRUE(PathExists(dir_ / "MMS-IN\\M00001\\text.txt"));
  EXPECT_FALSE(PathExists(dir_ / "MMS-IN\\M00002.HDR"));
  EXPECT_TRUE(PathExists(outside + "\\keep.txt"));
  if (!linked) ADD_FAILURE() << "no directory link could be made here; the link case went untested";
  CloseHandle(held);
  Refresh();
  EXPECT_EQ(ui::ListRowCount(list_), 1);
}

TEST_F(MessageListTest, EnterAndDoubleClickOpenTheMessageOfEachKind) {
  const char* opened[] = {"Q\\M00000.REQ", "VASPQ\\M00000.INI", "SMS-IN\\M00000.SMS"};
  for (Kind kind : {kOutboundSms, kOutboundMms, kReceivedSms, kReceivedMms}) {
    SCOPED_TRACE(kTitles[kind]);
    kind_ = kind;
    Add(0);
    ASSERT_TRUE(Open(kind));
    Select(0);
    ASSERT_TRUE(WaitSelected({0})) << ui::ListRowCount(list_) << " rows";
    for (int way = 0; way < 2; ++way) {
      if (way == 0)
        ui::PressKey(list_, VK_RETURN);
      else
        ui::DoubleClickRow(list_, 0);
      if (kind != kReceivedMms) {
        EXPECT_EQ(NextOpened(), NotepadOn(opened[kind])) << "way " << way;
        continue;
      }
      HWND view = FindView();
      ASSERT_TRUE(view) << "way " << way;
      EXPECT_NE(ui::ItemText(view, IDC_MMSVIEW_HEADER).find("Subject: Photo 0"), std::string::npos);
      PostMessageA(view, WM_COMMAND, IDCANCEL, 0);
      EXPECT_TRUE(ui::WaitGone(view, kBoxTimeoutMs));
    }
    ui::ClickItem(dialog_, IDOK);  // the button closes the list
    EXPECT_EQ(app_.WaitExit(10000), 0u);
  }
}

TEST_F(MessageListTest, CellsReadRightInEveryScriptAndStopAt499Characters) {
  kind_ = kReceivedSms;
  struct {
    const char* file;
    const char* content;
    const char* sender;
    const char* text;
  } cases[] = {
      {"A.SMS", "Data=\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xF0\x9F\x98\x80", "+7", u8"Привет 😀"},
      {"B.SMS", "Data=\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7", "+20", u8"مرحبا"},
      {"C.SMS", "binary=Yes\r\ndcs=08\r\nData=4F60597D", "+86", u8"你好"},
      {"D.SMS", "binary=Yes\r\ndcs=08\r\nData=D83DDE00", "+1", u8"😀"},
      {"E.SMS", "Data=Caf\xC3\xA9", "Ren\xE9", u8"Café"},  // the sender is ANSI text, é in Windows-1252
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    WriteFileText(dir_ / "SMS-IN\\" + cases[i].file,
            Format("[SMS-IN]\r\nSender=%s\r\n%s\r\n", cases[i].sender, cases[i].content));
  WriteFileText(dir_ / "SMS-IN\\F.SMS", "[SMS-IN]\r\nSender=+44\r\nData=" + std::string(600, 'x') + "\r\n");
  ASSERT_TRUE(Open(kReceivedSms));
  ASSERT_EQ(ui::ListRowCount(list_), 6);
  SortById(true);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ui::ListCell(list_, i, 0), cases[i].file) << "case " << i;
    EXPECT_EQ(ui::ListCell(list_, i, 5), cases[i].text) << "case " << i;
  }
  EXPECT_EQ(ui::ListCellWide(list_, 4, 1), L"Ren\u00E9");
  EXPECT_EQ(ui::ListCell(list_, 5, 5), std::string(499, 'x'));
  EXPECT_EQ(ui::ListCell(list_, 5, 4), "Received");
  // Typing finds the row by its ID.
  PostMessageW(list_, WM_CHAR, L'e', 1);
  EXPECT_TRUE(WaitSelected({4}));
}

// The MMS view of a received message, opened with Enter on its row.
class MmsViewTest : public MessageListTest {
 protected:
  void SetUp() override {
    MessageListTest::SetUp();
    kind_ = kReceivedMms;
    // The test part type opens through the shell with the recorder.
    HKEY key;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, kShellType, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("ZarqTestPart"), 13);
    RegCloseKey(key);
    std::string command = "\"" + bin_ + "zarq_openrecorder.exe\" shell \"%1\"";
    RegCreateKeyExA(HKEY_CLASSES_ROOT, "ZarqTestPart\\shell\\open\\command", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), DWORD(command.size() + 1));
    RegCloseKey(key);
  }
  void TearDown() override {
    MessageListTest::TearDown();
    SHDeleteKeyA(HKEY_CLASSES_ROOT, kShellType);
    SHDeleteKeyA(HKEY_CLASSES_ROOT, "ZarqTestPart");
  }

  HWND OpenView(const std::string& header) {
    WriteFileText(dir_ / "MMS-IN\\M1.HDR", header);
    if (!Open(kReceivedMms)) return nullptr;
    Select(0);
    ui::PressKey(list_, VK_RETURN);
    HWND view = FindView();
    if (view) parts_ = GetDlgItem(view, IDC_MMSVIEW_PARTS);
    return view;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> out;
    for (LRESULT i = 0, n = SendMessageA(parts_, LB_GETCOUNT, 0, 0); i < n; ++i)
      out.push_back(ui::ListBoxEntry(parts_, i));
    return out;
  }
  // Selects an entry and presses View; returns once the press has been handled
  // (or after 2 s, when it shows something modal).
  void ViewEntry(HWND view, int index) {
    SendMessageA(parts_, LB_SETCURSEL, WPARAM(index), 0);
    DWORD_PTR result;
    SendMessageTimeoutA(GetDlgItem(view, IDC_MMSVIEW_VIEW), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
  }
  HWND parts_ = nullptr;
};

TEST_F(MmsViewTest, ListsEveryPartAndOpensTextInNotepadOthersThroughTheShell) {
  const char* header =
      "From: +4477009\r\nSubject: Holiday\r\n"
      "X-ZarqMMS-Content-Location: M1\\pres.smil;application/smil;name=pres.smil\r\n"
      "X-ZarqMMS-Content-Location:  M1\\photo.zqpart;image/jpeg\n"
      "x-zarqmms-content-location: M1\\body;text/plain\r"
      "X-ZarqMMS-Content-Location: M1\\anim;image/gif\r\n"
      "X-ZarqMMS-Content-Location: ..\\SMSGW.INI;text/plain\r\n"
      "X-ZarqMMS-Content-Location: C:\\windows\\win.ini;text/plain\r\n"
      "X-ZarqMMS-Content-Location: M1\\..\\..\\SMSGW.INI;application/smil\r\n";
  CreateDirectoryA((dir_ / "MMS-IN\\M1").c_str(), nullptr);
  for (const char* part : {"pres.smil", "photo.zqpart", "body", "anim"}) WriteFileText(dir_ / "MMS-IN\\M1\\" + part, "x");
  HWND view = OpenView(header);
  ASSERT_TRUE(view);
  std::vector<std::string> expected = {"pres.smil (application/smil)\tM1\\pres.smil",
                                       "photo.zqpart (image/jpeg)\tM1\\photo.zqpart",
                                       "body (text/plain)\tM1\\body",
                                       "anim (image/gif)\tM1\\anim",
                                       "SMSGW.INI (text/plain)\t..\\SMSGW.INI",
                                       "win.ini (text/plain)\tC:\\windows\\win.ini",
                                       "SMSGW.INI (application/smil)\tM1\\..\\..\\SMSGW.INI"};
  EXPECT_EQ(Entries(), expected);
  EXPECT_EQ(SendMessageA(parts_, LB_GETCURSEL, 0, 0), 0);
  EXPECT_NE(ui::ItemText(view, IDC_MMSVIEW_HEADER).find("image/jpeg\r\nx-zarqmms"), std::string::npos);

  // Parts outside the store never open: the first program started is the SMIL part's.
  for (int i : {4, 5, 6, 0}) ViewEntry(view, i);
  EXPECT_EQ(NextOpened(), NotepadOn("MMS-IN\\M1\\pres.smil"));
  ViewEntry(view, 1);
  EXPECT_EQ(NextOpened(), "\"" + bin_ + "zarq_openrecorder.exe\" shell \"" + dir_.Path() + "MMS-IN\\M1\\photo.zqpart\"");
  ViewEntry(view, 3);  // to the shell, which has no program for it: nothing opens
  ViewEntry(view, 2);
  EXPECT_EQ(NextOpened(), NotepadOn("MMS-IN\\M1\\body"));
  PostMessageA(view, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(ui::WaitGone(view, kBoxTimeoutMs));
}

TEST_F(MmsViewTest, HeadersWithoutPartsOrWithMoreThanFitShowWhatTheirFirst8191BytesHold) {
  HWND view = OpenView("From: +4477009\r\nSubject: nothing stored\r\n");
  ASSERT_TRUE(view);
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(ui::ItemText(view, IDC_MMSVIEW_HEADER), "From: +4477009\r\nSubject: nothing stored\r\n");
  ui::ClickItem(view, IDC_MMSVIEW_VIEW);  // nothing to view
  PostMessageA(view, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(ui::WaitGone(view, kBoxTimeoutMs));
  Close();
  app_.WaitExit(10000);

  std::string many;
  for (int i = 0; i < 500; ++i) many += Format("X-ZarqMMS-Content-Location: M1\\part%03d.txt;text/plain\r\n", i);
  size_t line = many.find('\n') + 1;
  view = OpenView(many);
  ASSERT_TRUE(view);
  // Whole lines, and a last one cut after its name.
  EXPECT_EQ(Entries().size(), 8191 / line + (8191 % line >= 27 ? 1 : 0));
  EXPECT_TRUE(Opened().empty());
}

TEST_F(MessageListTest, VanishedFilesAndLongNamesAreHandled) {
  kind_ = kReceivedSms;
  // A name that brings the full path to 259 characters, in a subdirectory.
  std::string sub = "route1\\";
  CreateDirectoryA((dir_ / "SMS-IN\\" + sub).c_str(), nullptr);
  size_t room = 259 - (dir_ / "SMS-IN\\" + sub).size();
  std::string longName = std::string(room - 4, 'L') + ".SMS";
  WriteFileText(dir_ / "SMS-IN\\" + sub + longName, "[SMS-IN]\r\nSender=+1\r\nData=long\r\n");
  Add(0);
  Add(1);
  ASSERT_TRUE(Open(kReceivedSms));
  ASSERT_EQ(ui::ListRowCount(list_), 3);
  SortById(true);  // the long name first
  EXPECT_EQ(ui::ListCell(list_, 0, 0), longName);
  Select(0);
  ui::PressKey(list_, VK_RETURN);
  EXPECT_EQ(NextOpened(), NotepadOn("SMS-IN\\" + sub + longName));
  Refresh();  // a long path keeps its selection
  EXPECT_EQ(ui::SelectedRows(list_), std::vector<int>{0});

  // Gone behind the list's back: deleting it only drops the row.
  DeleteFileA((dir_ / "SMS-IN\\M00000.SMS").c_str());
  Select(1);
  ui::PressKey(list_, VK_DELETE);
  ui::AnswerMessageBox(ExpectQuestion("Delete Message?"), IDYES);
  EXPECT_TRUE(WaitRows(2));
  Select(0);
  ui::PressKey(list_, VK_DELETE);
  ui::AnswerMessageBox(ExpectQuestion("Delete Message?"), IDYES);
  EXPECT_TRUE(WaitRows(1));
  EXPECT_FALSE(PathExists(dir_ / "SMS-IN\\" + sub + longName));
  EXPECT_TRUE(PathExists(dir_ / "SMS-IN\\M00001.SMS"));
}

}  // namespace
