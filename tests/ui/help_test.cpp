// Help opens the help document shipped beside the program, from the
// configuration sheet and from the wizard, with the document's own folder as
// working directory. The document is opened through the system's
// association for .pdf, which the test points at a recorder of its own.
#include <algorithm>
#include <cctype>

#include "apptest.h"

#include "app/configstore.h"

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
  return s;
}

std::string BinDirectory() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path);
  return dir.erase(dir.find_last_of('\\') + 1);
}

// .pdf opens with zarq_openrecorder.exe while this lives (in the classes
// of the machine: Wine does not merge the user's into them); the prefix's
// own association comes back afterwards.
class PdfAssociation {
 public:
  PdfAssociation() {
    had_ = Get(".pdf", &saved_);
    std::string command = "\"" + BinDirectory() + "zarq_openrecorder.exe\" \"%1\"";
    ok_ = Set(".pdf", "ZarqHelpTest.Document") && Set("ZarqHelpTest.Document\\shell\\open\\command", command);
  }
  ~PdfAssociation() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "ZarqHelpTest.Document");
    if (had_)
      Set(".pdf", saved_);
    else
      RegDeleteTreeA(HKEY_CLASSES_ROOT, ".pdf");
  }
  bool Ok() const { return ok_; }

 private:
  static bool Get(const char* key, std::string* value) {
    char buffer[512];
    LONG size = sizeof buffer;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key, buffer, &size) != ERROR_SUCCESS) return false;
    *value = buffer;
    return true;
  }
  static bool Set(const char* key, const std::string& value) {
    return RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, value.c_str(), static_cast<DWORD>(value.size())) ==
           ERROR_SUCCESS;
  }
  bool ok_ = false, had_ = false;
  std::string saved_;
};

struct HelpCase {
  bool wizard;
  int page;
};

TEST_F(AppTest, HelpOpensTheDocumentBesideTheProgram) {
  std::string bin = BinDirectory();
  ASSERT_TRUE(PathExists(bin + "ZarqSMS Lite.pdf")) << "the build makes the help document beside the program";
  PdfAssociation association;
  ASSERT_TRUE(association.Ok());
  std::string record = dir_ / "opened.txt";
  SetEnvironmentVariableA("ZARQ_OPEN_LOG", record.c_str());

  const HelpCase cases[] = {{false, kServerPage}, {false, kDebugLogPage}, {true, kSelectModemStep}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    DeleteFileA(record.c_str());
    WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", cases[i].wizard ? "" : "Test Modem");
    ui::Program app;
    ASSERT_TRUE(app.StartConfig()) << "case " << i;
    HWND sheet = ui::FindSheet(app.Id(), kStartTimeoutMs);
    ASSERT_TRUE(sheet) << "case " << i;
    if (cases[i].page) ui::SelectPage(sheet, cases[i].page);
    ui::PressButton(sheet, PSBTN_HELP);
    ASSERT_TRUE(ui::WaitUntil([&] { return ReadFileText(record).find('\n') != std::string::npos; }, kBoxTimeoutMs))
        << "case " << i << ": the document was not opened";
    std::string opened = Lower(ReadFileText(record));
    opened.erase(std::remove(opened.begin(), opened.end(), '\r'), opened.end());
    EXPECT_NE(opened.find(Lower("\"" + bin + "ZarqSMS Lite.pdf\"")), std::string::npos) << "case " << i << ": " << opened;
    std::string folder = Lower(bin.substr(0, bin.size() - 1));
    EXPECT_NE(opened.find("\n" + folder + "\n"), std::string::npos) << "case " << i << ": working directory, in [" << opened << "]";
    EXPECT_EQ(CancelAnsweringNo(app, sheet), 0u) << "case " << i;
  }
  SetEnvironmentVariableA("ZARQ_OPEN_LOG", nullptr);
}

}  // namespace
