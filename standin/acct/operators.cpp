// ChooseOperatorSettings: the operator's MMS settings picked from the table
// OPERATORS.CSV beside this library, first the country, then the operator.
// The dialog is a Unicode one so that the table's UTF-8 names show as they
// are; the five results go back in the ANSI code page.
#define ZARQACCT_BUILD
#include "gateway/zarqacct.h"

#include <string>
#include <vector>

#include "core/textrules.h"
#include "operatorcsv.h"
#include "operators_res.h"

namespace {

// Bigger is not an operator table.
constexpr DWORD kMaxTableSize = 16 * 1024 * 1024;
constexpr size_t kResultSize = 104;

struct Chooser {
  std::vector<OperatorEntry> rows;
  std::vector<std::string> countries;
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

// The ANSI form the program works in (characters it lacks become the code page's best fit or "?").
void ToAnsi(const std::string& utf8, char* out) {
  std::wstring wide = Wide(utf8);
  char text[kResultSize * 4] = "";
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), text, sizeof text - 1, nullptr, nullptr);
  text[n > 0 ? n : 0] = '\0';
  CopyBounded(out, kResultSize, text);
}

void ShowOperator(HWND dialog, const OperatorEntry* e) {
  static const std::string kEmpty;
  SetDlgItemTextW(dialog, IDC_OPERATOR_APN, Wide(e ? e->apn : kEmpty).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_LOGIN, Wide(e ? e->login : kEmpty).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_PASSWORD, Wide(e ? e->password : kEmpty).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_GATEWAY, Wide(e ? e->wapGateway : kEmpty).c_str());
  SetDlgItemTextW(dialog, IDC_OPERATOR_MMSURL, Wide(e ? e->mmsUrl : kEmpty).c_str());
  EnableWindow(GetDlgItem(dialog, IDOK), e != nullptr);
}

const OperatorEntry* SelectedOperator(HWND dialog, const Chooser& c) {
  LRESULT item = SendDlgItemMessageW(dialog, IDC_OPERATOR_LIST, LB_GETCURSEL, 0, 0);
  if (item == LB_ERR) return nullptr;
  LRESULT row = SendDlgItemMessageW(dialog, IDC_OPERATOR_LIST, LB_GETITEMDATA, WPARAM(item), 0);
  return row >= 0 && size_t(row) < c.rows.size() ? &c.rows[size_t(row)] : nullptr;
}

void FillOperators(HWND dialog, const Chooser& c) {
  SendDlgItemMessageW(dialog, IDC_OPERATOR_LIST, LB_RESETCONTENT, 0, 0);
  LRESULT country = SendDlgItemMessageW(dialog, IDC_OPERATOR_COUNTRY, CB_GETCURSEL, 0, 0);
  if (country >= 0 && size_t(country) < c.countries.size()) {
    const std::string& chosen = c.countries[size_t(country)];
    for (size_t i = 0; i < c.rows.size(); ++i) {
      if (c.rows[i].country != chosen) continue;
      // One operator may have several network codes: tell its rows apart.
      bool shared = false;
      for (size_t j = 0; j < c.rows.size() && !shared; ++j)
        shared = j != i && c.rows[j].country == chosen && c.rows[j].name == c.rows[i].name;
      std::wstring label = Wide(c.rows[i].name);
      if (shared) label += Wide(" (" + c.rows[i].mcc + " " + c.rows[i].mnc + ")");
      LRESULT item = SendDlgItemMessageW(dialog, IDC_OPERATOR_LIST, LB_ADDSTRING, 0, LPARAM(label.c_str()));
      if (item >= 0) SendDlgItemMessageW(dialog, IDC_OPERATOR_LIST, LB_SETITEMDATA, WPARAM(item), LPARAM(i));
    }
  }
  ShowOperator(dialog, nullptr);
}

INT_PTR OnInit(HWND dialog, Chooser* c) {
  SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
  for (const std::string& country : c->countries)
    SendDlgItemMessageW(dialog, IDC_OPERATOR_COUNTRY, CB_ADDSTRING, 0, LPARAM(Wide(country).c_str()));
  SendDlgItemMessageW(dialog, IDC_OPERATOR_COUNTRY, CB_SETCURSEL, 0, 0);
  FillOperators(dialog, *c);
  return TRUE;
}

INT_PTR OnCommand(HWND dialog, Chooser* c, WORD id, WORD code) {
  if (id == IDC_OPERATOR_COUNTRY && code == CBN_SELCHANGE) {
    FillOperators(dialog, *c);
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
  auto* c = reinterpret_cast<Chooser*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
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
  INT_PTR r = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(IDD_OPERATORS), owner, ChooserProc,
                              reinterpret_cast<LPARAM>(&c));
  if (r != IDOK || !c.chosen) return 0;
  char* outputs[] = {apn, apnLogin, apnPassword, wapGateway, mmsServerUrl};
  const std::string* values[] = {&c.chosen->apn, &c.chosen->login, &c.chosen->password, &c.chosen->wapGateway,
                                 &c.chosen->mmsUrl};
  for (int i = 0; i < 5; ++i)
    if (outputs[i]) ToAnsi(*values[i], outputs[i]);
  return 1;
}
