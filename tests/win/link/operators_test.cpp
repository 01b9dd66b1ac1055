// ChooseOperatorSettings of ZARQACCT.DLL, driven through its dialog. A copy of
// the library is loaded from a scratch directory under another name so that
// it reads the test's own OPERATORS.CSV.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../../../standin/acct/operators_res.h"
#include "testenv.h"

namespace {

typedef int(__cdecl* ChooseFn)(HWND, char*, char*, char*, char*, char*);

const char kTable[] =
    "country,mcc,mnc,operator,apn,apn_login,apn_password,mms_proxy,mms_proxy_port,mms_server_url\r\n"
    "Atlantis,999,01,Deep Blue MMS,mms.deep,,,10.1.1.1,8080,http://mmsc.deep/\r\n"
    "Atlantis,999,02,Deep Blue MMS,mms.deep2,,,10.1.1.2,8080,http://mmsc.deep/\r\n"
    "Utopia,998,01,\xC5\x81\xC3\xB3\x64\xC5\xBA Mobile,mms.lodz,jos\xC3\xA9,\"p,w\",10.0.0.1,9201,http://mmsc.utopia/mms\r\n"
    "Utopia,998,02,Long One,%APN%,,,10.0.0.2,80,http://long/\r\n"
    "Germany,262,01,Deep Red MMS,mms.red,,,10.2.2.2,8799,http://mmsc.red/\r\n";

std::string BinDir() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  *strrchr(path, '\\') = '\0';
  return path;
}

class Chooser : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string table = kTable;
    table.replace(table.find("%APN%"), 5, std::string(150, 'a'));
    WriteFileText(dir_ / "OPERATORS.CSV", table);
    ASSERT_TRUE(CopyFileA((BinDir() + "\\ZARQACCT.DLL").c_str(), (dir_ / "OPERTEST.DLL").c_str(), FALSE));
    module_ = LoadLibraryA((dir_ / "OPERTEST.DLL").c_str());
    ASSERT_NE(module_, nullptr);
    choose_ = reinterpret_cast<ChooseFn>(reinterpret_cast<void*>(GetProcAddress(module_, "ChooseOperatorSettings")));
    ASSERT_NE(choose_, nullptr);
    for (char* b : out_) memset(b, '#', 104);
    for (char* b : out_) b[103] = '\0';
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  // Runs the chooser while `drive` works its window from another thread.
  int Run(const std::function<void(HWND)>& drive) {
    std::thread driver([&] {
      // This process's chooser, once shown: it is filled before it is shown.
      HWND dialog = nullptr;
      for (int i = 0; i < 200 && !dialog; ++i) {
        Sleep(50);
        for (HWND w = nullptr; !dialog && (w = FindWindowExA(nullptr, w, "#32770", "Operator Settings"));) {
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid == GetCurrentProcessId() && IsWindowVisible(w)) dialog = w;
        }
      }
      if (dialog) drive(dialog);
    });
    int r = choose_(nullptr, out_[0], out_[1], out_[2], out_[3], out_[4]);
    driver.join();
    return r;
  }

  static void Select(HWND dialog, int id, int index) {
    HWND control = GetDlgItem(dialog, id);
    bool combo = id == IDC_OPERATOR_COUNTRY;
    SendMessageA(control, combo ? CB_SETCURSEL : LB_SETCURSEL, WPARAM(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE), LPARAM(control));
  }

  static std::wstring ItemText(HWND dialog, int index) {
    wchar_t text[128] = L"";
    SendDlgItemMessageW(dialog, IDC_OPERATOR_LIST, LB_GETTEXT, WPARAM(index), LPARAM(text));
    return text;
  }

  ScratchDir dir_{"operators"};
  HMODULE module_ = nullptr;
  ChooseFn choose_ = nullptr;
  char apn_[104], login_[104], password_[104], gateway_[104], url_[104];
  char* out_[5] = {apn_, login_, password_, gateway_, url_};
};

}  // namespace

TEST_F(Chooser, CountryThenOperatorFillsTheFiveTexts) {
  std::atomic<bool> okEnabledEarly{true};
  std::atomic<int> countries{0}, operators{0};
  std::wstring shown;
  int r = Run([&](HWND dialog) {
    countries = int(SendDlgItemMessageA(dialog, IDC_OPERATOR_COUNTRY, CB_GETCOUNT, 0, 0));
    Select(dialog, IDC_OPERATOR_COUNTRY, 2);  // Utopia
    operators = int(SendDlgItemMessageA(dialog, IDC_OPERATOR_LIST, LB_GETCOUNT, 0, 0));
    shown = ItemText(dialog, 0);
    okEnabledEarly = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
    Select(dialog, IDC_OPERATOR_LIST, 0);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(r, 1);
  EXPECT_EQ(countries, 3);  // in the order of their names
  EXPECT_EQ(operators, 2);
  EXPECT_FALSE(okEnabledEarly);  // nothing to take before an operator is chosen
  EXPECT_EQ(shown, std::wstring(L"\u0141\u00f3d\u017a Mobile"));  // shown as the table writes it
  EXPECT_STREQ(apn_, "mms.lodz");
  EXPECT_STREQ(login_, "jos\xE9");  // the ANSI (Windows-1252) form of the UTF-8 text
  EXPECT_STREQ(password_, "p,w");
  EXPECT_STREQ(gateway_, "10.0.0.1");
  EXPECT_STREQ(url_, "http://mmsc.utopia/mms");
}

TEST_F(Chooser, LongTextsAreCutToTheBuffers) {
  int r = Run([&](HWND dialog) {
    Select(dialog, IDC_OPERATOR_COUNTRY, 2);
    Select(dialog, IDC_OPERATOR_LIST, 1);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_OPERATOR_LIST, LBN_DBLCLK),
                 LPARAM(GetDlgItem(dialog, IDC_OPERATOR_LIST)));
  });
  EXPECT_EQ(r, 1);
  EXPECT_EQ(std::string(apn_), std::string(103, 'a'));
  EXPECT_STREQ(login_, "");
  EXPECT_STREQ(url_, "http://long/");
}

TEST_F(Chooser, CancelLeavesTheBuffersAlone) {
  std::wstring first, second;
  int r = Run([&](HWND dialog) {
    Select(dialog, IDC_OPERATOR_COUNTRY, 0);
    first = ItemText(dialog, 0);  // one operator under two network codes
    second = ItemText(dialog, 1);
    Select(dialog, IDC_OPERATOR_LIST, 0);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(first, L"Deep Blue MMS (999 01)");
  EXPECT_EQ(second, L"Deep Blue MMS (999 02)");
  EXPECT_EQ(std::string(apn_), std::string(103, '#'));
}

// The region under test: Wine reads the user's geographic location here.
class Region {
 public:
  explicit Region(const char* nation) {
    RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\International\\Geo", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key_, nullptr);
    DWORD size = sizeof saved_ - 1;
    had_ = RegQueryValueExA(key_, "Nation", nullptr, nullptr, reinterpret_cast<BYTE*>(saved_), &size) == 0;
    RegSetValueExA(key_, "Nation", 0, REG_SZ, reinterpret_cast<const BYTE*>(nation), DWORD(strlen(nation) + 1));
  }
  ~Region() {
    if (had_)
      RegSetValueExA(key_, "Nation", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_), DWORD(strlen(saved_) + 1));
    else
      RegDeleteValueA(key_, "Nation");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  char saved_[32] = "";
  bool had_ = false;
};

std::wstring SelectedCountry(HWND dialog) {
  wchar_t text[64] = L"";
  GetDlgItemTextW(dialog, IDC_OPERATOR_COUNTRY, text, 64);
  return text;
}

TEST_F(Chooser, OpensAtTheRegionsCountryElseTheLastOneChosen) {
  std::wstring first, second;
  {
    Region germany("94");
    int r = Run([&](HWND dialog) {
      first = SelectedCountry(dialog);
      Select(dialog, IDC_OPERATOR_COUNTRY, 2);  // Utopia, after Atlantis and Germany
      Select(dialog, IDC_OPERATOR_LIST, 0);
      SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(r, 1);
  }
  Region nowhere("39");  // Canada: not in the table
  Run([&](HWND dialog) {
    second = SelectedCountry(dialog);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(first, L"Germany");
  EXPECT_EQ(second, L"Utopia");
}

TEST_F(Chooser, SearchFindsRowsInEveryCountryAndEnterTakesTheFirst) {
  std::vector<std::wstring> found;
  std::atomic<bool> masked{false};
  int r = Run([&](HWND dialog) {
    HWND password = GetDlgItem(dialog, IDC_OPERATOR_PASSWORD);
    masked = (GetWindowLongA(password, GWL_STYLE) & ES_PASSWORD) && SendMessageA(password, EM_GETPASSWORDCHAR, 0, 0);
    SetDlgItemTextW(dialog, IDC_OPERATOR_SEARCH, L"DEEP");
    int n = int(SendDlgItemMessageA(dialog, IDC_OPERATOR_LIST, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) found.push_back(ItemText(dialog, i));
    SetDlgItemTextW(dialog, IDC_OPERATOR_SEARCH, L"lodz 998");  // accents and case ignored, MCC too
    found.push_back(ItemText(dialog, 0));
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);  // what Enter does
  });
  EXPECT_EQ(r, 1);
  EXPECT_TRUE(masked);
  EXPECT_EQ(found, (std::vector<std::wstring>{L"Deep Blue MMS (Atlantis, 999 01)", L"Deep Blue MMS (Atlantis, 999 02)",
                                              L"Deep Red MMS (Germany)", L"\u0141\u00f3d\u017a Mobile (Utopia)"}));
  EXPECT_STREQ(apn_, "mms.lodz");
  EXPECT_STREQ(gateway_, "10.0.0.1");
}

TEST_F(Chooser, MissingTableIsReportedAndNothingChosen) {
  DeleteFileA((dir_ / "OPERATORS.CSV").c_str());
  std::atomic<bool> sawMessage{false};
  int r = Run([&](HWND box) {
    sawMessage = GetDlgItem(box, IDC_OPERATOR_LIST) == nullptr;  // the message box, not the chooser
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(r, 0);
  EXPECT_TRUE(sawMessage);
  EXPECT_EQ(std::string(apn_), std::string(103, '#'));
}
