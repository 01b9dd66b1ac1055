// ChooseOperatorSettings: the operator's MMS settings picked from the table
// OPERATORS.CSV beside this library, by country and operator or by a search
// over every country, filled in the form the Modem page and its connection
// test take.
// The dialog is a Unicode one so that the table's UTF-8 names show as they
// are; the five results go back in the ANSI code page.
#define ZARQACCT_BUILD
#include "gateway/zarqacct.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/textrules.h"
#include "operatorcsv.h"
#include "operators_res.h"

namespace {

// Bigger is not an operator table.
constexpr DWORD kMaxTableSize = 16 * 1024 * 1024;
constexpr size_t kResultSize = 104;
const char kSettingsKey[] = "Software\\ZarqSMS\\Operator Settings";

struct CountryCode {
  const char* iso;
  const char* name;
};
const CountryCode kCountryCodes[] = {
#include "countrycodes.inc"
    {nullptr, nullptr}};

struct Chooser {
  std::vector<OperatorEntry> rows;
  std::vector<std::string> countries;  // in the order the combo box shows them
  std::vector<size_t> shown;           // the rows the list shows, in its order
  bool filling = false;                // the dialog is changing its own controls
  const OperatorEntry* chosen = nullptr;
};

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

bool ReadTable(std::vector<OperatorEntry>* rows) {
  char path[MAX_PATH + 20];
  DWORD n = GetModuleFileNameA(ThisModule(), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  char* slash = strrchr(path, '\\');
  if (!slash) return false;
  strcpy(slash + 1, "OPERATORS.CSV");
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  DWORD size = GetFileSize(file, nullptr);
  if (size != INVALID_FILE_SIZE && size <= kMaxTableSize) {
    std::string data(size, '\0');
    DWORD got = 0;
    if (ReadFile(file, &data[0], size, &got, nullptr) && got == size)
      ok = ParseOperatorTable(data.data(), data.size(), rows) && !rows->empty();
  }
  CloseHandle(file);
  return ok;
}

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring text(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &text[0], n);
  return text;
}

std::string Utf8(const std::wstring& wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &text[0], n, nullptr, nullptr);
  return text;
}

// The ANSI form the program works in (characters it lacks become the code page's best fit or "?").
void ToAnsi(const std::string& utf8, char* out) {
  std::wstring wide = Wide(utf8);
  char text[kResultSize * 4] = "";
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), text, sizeof text - 1, nullptr, nullptr);
  text[n > 0 ? n : 0] = '\0';
  CopyBounded(out, kResultSize, text);
}

// Countries in the order of the system's collation for their names.
void SortCountries(std::vector<std::string>* countries) {
  std::vector<std::pair<std::wstring, std::string>> keyed;
  for (const std::string& c : *countries) keyed.emplace_back(Wide(c), c);
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, 0, a.first.c_str(), -1, b.first.c_str(), -1) == CSTR_LESS_THAN;
  });
  for (size_t i = 0; i < keyed.size(); ++i) (*countries)[i] = keyed[i].second;
}

// The table's name of the country of the system's region: the user's
// geographic location, else the locale's country.
std::string RegionCountry() {
  char iso[16] = "";
  GEOID geo = GetUserGeoID(GEOCLASS_NATION);
  if (geo == GEOID_NOT_AVAILABLE || GetGeoInfoA(geo, GEO_ISO2, iso, sizeof iso, 0) == 0)
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, iso, sizeof iso);
  for (const CountryCode* c = kCountryCodes; c->iso; ++c)
    if (iso[0] && CompareNoCase(c->iso, iso) == 0) return c->name;
  return std::string();
}

std::string LastCountry() {
  wchar_t value[256] = L"";
  DWORD size = sizeof value - sizeof(wchar_t), type = 0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string();
  LONG r = RegQueryValueExW(key, L"Country", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || type != REG_SZ) return std::string();
  value[size / sizeof(wchar_t)] = L'\0';
  return Utf8(value);
}

void RememberCountry(const std::string& country) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  std::wstring value = Wide(country);
  RegSetValueExW(key, L"Country", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 DWORD((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void ShowOperator(HWND dialog, const OperatorEntry* e) {
  OperatorSettings s;
  if (e) s = FillOperatorSettings(*e);
  SetDlgItemTextW(dialog, IDC_OPERATOR_APN, Wide(s.apn).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_LOGIN, Wide(s.login).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_PASSWORD, Wide(s.password).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_GATEWAY, Wide(s.wapGateway).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_MMSURL, Wide(s.mmsUrl).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_NOTE,
                  s.gatewayIsServer ? L"This operator has no WAP gateway: MMS go straight to the MMS server, "
                                      L"so the connection test checks that server."
                                    : L"");
  EnableWindow(GetDlgItem(dialog, IDOK), e != nullptr);
}

const OperatorEntry* SelectedOperator(HWND dialog, const Chooser& c) {
  LRESULT item = SendDlgItemMessageW(dialog, IDC_OPERATOR_LIST, LB_GETCURSEL, 0, 0);
  if (item == LB_ERR || size_t(item) >= c.shown.size()) return nullptr;
  return &c.rows[c.shown[size_t(item)]];
}

std::wstring ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  std::wstring text(size_t(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(control, &text[0], int(text.size()))));
  return text;
}

// The list: the rows matching the search text across all countries, or,
// without one, the chosen country's rows.
void FillOperators(HWND dialog, Chooser* c) {
  std::string query = Utf8(ControlText(dialog, IDC_OPERATOR_SEARCH));
  bool searching = query.find_first_not_of(' ') != std::string::npos;
  c->shown.clear();
  if (searching) {
    for (size_t i = 0; i < c->rows.size(); ++i)
      if (OperatorMatches(c->rows[i], query)) c->shown.push_back(i);
  } else {
    LRESULT country = SendDlgItemMessageW(dialog, IDC_OPERATOR_COUNTRY, CB_GETCURSEL, 0, 0);
    if (country >= 0 && size_t(country) < c->countries.size())
      for (size_t i = 0; i < c->rows.size(); ++i)
        if (c->rows[i].country == c->countries[size_t(country)]) c->shown.push_back(i);
  }
  std::vector<std::string> labels = OperatorLabels(c->rows, c->shown, searching);
  HWND list = GetDlgItem(dialog, IDC_OPERATOR_LIST);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& label : labels) SendMessageW(list, LB_ADDSTRING, 0, LPARAM(Wide(label).c_str()));
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  // A search selects its first match, so that Enter takes it at once.
  if (searching && !c->shown.empty()) SendMessageW(list, LB_SETCURSEL, 0, 0);
  ShowOperator(dialog, SelectedOperator(dialog, *c));
}

INT_PTR OnInit(HWND dialog, Chooser* c) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(c));
  c->filling = true;
  for (const std::string& country : c->countries)
    SendDlgItemMessageW(dialog, IDC_OPERATOR_COUNTRY, CB_ADDSTRING, 0, LPARAM(Wide(country).c_str()));
  size_t start = 0;
  for (const std::string& wanted : {RegionCountry(), LastCountry()}) {
    auto at = std::find(c->countries.begin(), c->countries.end(), wanted);
    if (!wanted.empty() && at != c->countries.end()) {
      start = size_t(at - c->countries.begin());
      break;
    }
  }
  SendDlgItemMessageW(dialog, IDC_OPERATOR_COUNTRY, CB_SETCURSEL, start, 0);
  FillOperators(dialog, c);
  c->filling = false;
  return TRUE;
}

INT_PTR OnCommand(HWND dialog, Chooser* c, WORD id, WORD code) {
  if (id == IDC_OPERATOR_SEARCH && code == EN_CHANGE) {
    if (!c->filling) FillOperators(dialog, c);
  } else if (id == IDC_OPERATOR_COUNTRY && code == CBN_SELCHANGE) {
    // Choosing a country leaves the search.
    c->filling = true;
    SetDlgItemTextW(dialog, IDC_OPERATOR_SEARCH, L"");
    c->filling = false;
    FillOperators(dialog, c);
  } else if (id == IDC_OPERATOR_LIST && code == LBN_SELCHANGE) {
    ShowOperator(dialog, SelectedOperator(dialog, *c));
  } else if ((id == IDC_OPERATOR_LIST && code == LBN_DBLCLK) || id == IDOK) {
    c->chosen = SelectedOperator(dialog, *c);
    if (c->chosen) EndDialog(dialog, IDOK);
  } else if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
  } else {
    return FALSE;
  }
  return TRUE;
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* c = reinterpret_cast<Chooser*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: return OnInit(dialog, reinterpret_cast<Chooser*>(lParam));
    case WM_COMMAND: return c ? OnCommand(dialog, c, LOWORD(wParam), HIWORD(wParam)) : FALSE;
  }
  return FALSE;
}

}  // namespace

ZARQACCT_API int __cdecl ChooseOperatorSettings(HWND owner, char* apn, char* apnLogin, char* apnPassword,
                                                char* wapGateway, char* mmsServerUrl) {
  Chooser c;
  if (!ReadTable(&c.rows)) {
    MessageBoxA(owner, "The table of operator settings (OPERATORS.CSV) is missing or unreadable.",
                "Operator Settings", MB_OK | MB_ICONERROR);
    return 0;
  }
  c.countries = OperatorCountries(c.rows);
  SortCountries(&c.countries);
  INT_PTR r = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(IDD_OPERATORS), owner, ChooserProc,
                              reinterpret_cast<LPARAM>(&c));
  if (r != IDOK || !c.chosen) return 0;
  RememberCountry(c.chosen->country);
  OperatorSettings s = FillOperatorSettings(*c.chosen);
  char* outputs[] = {apn, apnLogin, apnPassword, wapGateway, mmsServerUrl};
  const std::string* values[] = {&s.apn, &s.login, &s.password, &s.wapGateway, &s.mmsUrl};
  for (int i = 0; i < 5; ++i)
    if (outputs[i]) ToAnsi(*values[i], outputs[i]);
  return 1;
}
