// The 2-Way page: whether received SMS are processed and by whom (one local
// SMPP user or the 2-way command table), the character set of command
// output, where received MMS go (the MMS-IN directory, or the MM7 receiver
// account), and the gateway web server's local PHP. The gateway services
// read these settings; the page only edits them.
#include <windows.h>

#include <cstring>
#include <string>

#include "app/appstate.h"
#include "app/configstore.h"
#include "app/msgbox.h"
#include "app/pageprotocol.h"
#include "core/commandtable.h"
#include "core/gatewaynames.h"
#include "gateway/records.h"
#include "gateway/zarqacct.h"
#include "pages/mm7receiver.h"
#include "pages/pages.h"
#include "pages/twoway.h"
#include "resource.h"

namespace {

constexpr size_t kTextSize = 1024;
// Keys 1 to 201 of the command table are always looked at; past them the
// table goes on only while keys follow without a gap.
constexpr unsigned kCommandKeysAlwaysProbed = 201;
// Read as the default, it tells a missing key from an empty one.
constexpr char kMissingKey[] = "\x01missing\x01";
// The name the gateway's web server serves local PHP scripts under.
constexpr char kPhpHostName[] = "zarqphp";
constexpr char kDefaultCharset[] = "(default)";
constexpr char kNoPhpCgi[] =
    "PHP support not available, unable to locate php-cgi.exe via PHPRC or PATH environemental variable";

struct TwoWayPageState {
  bool initialising = false;  // the page is filling its own controls
};

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
void Check(HWND page, int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }
void Enable(HWND page, int id, bool on) { EnableWindow(GetDlgItem(page, id), on); }
LRESULT Send(HWND page, int id, UINT message, WPARAM wParam = 0, const void* lParam = nullptr) {
  return SendDlgItemMessageA(page, id, message, wParam, reinterpret_cast<LPARAM>(lParam));
}

// The modem's own section of SMSGW.INI; false when no modem is configured.
bool ModemSection(char* section) {
  if (!g_ConfiguredModem[0]) return false;
  ConnectionSectionName(g_ConfiguredModem, section, kSectionNameSize);
  return true;
}

std::string CommandKey(unsigned number) { return "ReceiveSMSCommand" + std::to_string(number); }

// The stored entry of a command key; false when the key is not there.
bool ReadCommandKey(unsigned number, char* entry) {
  ReadSetting(g_SmsgwIni, "SMSGW", CommandKey(number).c_str(), kMissingKey, entry, kCommandEntrySize);
  return strcmp(entry, kMissingKey) != 0;
}

std::string EnvironmentValue(const char* name) {
  DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (!size) return std::string();
  std::string value(size, '\0');
  DWORD length = GetEnvironmentVariableA(name, &value[0], size);
  value.resize(length < size ? length : 0);
  return value;
}

// "dir" + "\" when missing + "php-cgi.exe", when it exists.
bool PhpCgiIn(std::string directory, char* text) {
  if (directory.empty()) return false;
  if (directory.back() != '\\') directory += '\\';
  directory += "php-cgi.exe";
  if (!FileExists(directory.c_str())) return false;
  CopyBounded(text, kPhpCgiTextSize, directory.c_str());
  return true;
}

// ---- users ----

// Adds every user with SMPP login that the list does not hold yet (users
// deleted meanwhile stay until the page is built again).
void AddSmppUsers(HWND page) {
  SMSUSERFILE file = nullptr;
  if (!SMSOpenUserFile(&file, SMS_USERFILE_READ)) return;
  unsigned count = SMSGetRecordCount(file);
  unsigned char record[UserRecord::kSize];
  for (unsigned i = 0; i < count; ++i) {
    if (!SMSGetUserRecord(file, i, record) || !record[UserRecord::kSmppEnabledOffset]) continue;
    char name[UserRecord::kNameSize];
    CopyBounded(name, sizeof name, reinterpret_cast<const char*>(record + UserRecord::kNameOffset));
    if (Send(page, IDC_RECV_LOCAL_USER, CB_FINDSTRINGEXACT, WPARAM(-1), name) == CB_ERR)
      Send(page, IDC_RECV_LOCAL_USER, CB_ADDSTRING, 0, name);
  }
  SMSCloseUserFile(file);
}

// ---- character sets ----

bool HasValue(HKEY key, const char* name) {
  BYTE data[512];
  DWORD size = sizeof data, type = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
  if (result == ERROR_MORE_DATA) return true;
  if (result != ERROR_SUCCESS || !size) return false;
  return (type != REG_SZ && type != REG_EXPAND_SZ) || data[0] != 0;
}

// "(default)", then the system's MIME character sets in registry order.
void LoadCharsets(HWND page) {
  Send(page, IDC_RECV_CHARSET, CB_ADDSTRING, 0, kDefaultCharset);
  HKEY charsets;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "MIME\\Database\\Charset", 0, KEY_READ, &charsets) == ERROR_SUCCESS) {
    for (DWORD i = 0;; ++i) {
      char name[501];
      DWORD size = sizeof name;
      LONG result = RegEnumKeyExA(charsets, i, name, &size, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_MORE_DATA) continue;  // a name past 500 characters is no character set
      if (result != ERROR_SUCCESS) break;
      HKEY charset;
      if (RegOpenKeyExA(charsets, name, 0, KEY_READ, &charset) != ERROR_SUCCESS) continue;
      if (HasValue(charset, "AliasForCharset") || HasValue(charset, "Codepage"))
        Send(page, IDC_RECV_CHARSET, CB_ADDSTRING, 0, name);
      RegCloseKey(charset);
    }
    RegCloseKey(charsets);
  }
  char current[kTextSize];
  ReadSetting(g_SmsgwIni, "SMSGW", "ReceiveSMSCharset", "utf-8", current, sizeof current);
  LRESULT index = Send(page, IDC_RECV_CHARSET, CB_FINDSTRINGEXACT, WPARAM(-1), current);
  Send(page, IDC_RECV_CHARSET, CB_SETCURSEL, index == CB_ERR ? 0 : WPARAM(index));
}

// ---- command table ----

void LoadCommandTable(HWND page) {
  char entry[kCommandEntrySize];
  for (unsigned number = 1;; ++number) {
    if (!ReadCommandKey(number, entry)) {
      if (number >= kCommandKeysAlwaysProbed) break;
      continue;
    }
    if (!entry[0]) continue;
    RepairCommandEntry(entry);
    Send(page, IDC_RECV_TABLE, LB_ADDSTRING, 0, entry);
  }
  Send(page, IDC_RECV_TABLE, LB_SETCURSEL, 0);
}

// The table's line `index` (the list holds only lines that fit an entry).
bool TableLine(HWND page, LRESULT index, char* entry) {
  LRESULT length = Send(page, IDC_RECV_TABLE, LB_GETTEXTLEN, WPARAM(index));
  if (length == LB_ERR || length >= LRESULT(kCommandEntrySize)) return false;
  Send(page, IDC_RECV_TABLE, LB_GETTEXT, WPARAM(index), entry);
  return true;
}

// The line other than `except` whose prefix is that of `entry`, or -1.
LRESULT FindSamePrefix(HWND page, const char* entry, LRESULT except) {
  char prefix[kCommandPrefixSize], other[kCommandPrefixSize], line[kCommandEntrySize];
  CommandPrefix(entry, prefix);
  LRESULT count = Send(page, IDC_RECV_TABLE, LB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    if (i == except || !TableLine(page, i, line)) continue;
    CommandPrefix(line, other);
    if (CompareNoCase(prefix, other, &AnsiUpper()) == 0) return i;
  }
  return -1;
}

bool ConfirmReplace(HWND page, const char* entry) {
  char prefix[kCommandPrefixSize];
  CommandPrefix(entry, prefix);
  return ShowMessageF(page, MB_YESNO | MB_ICONQUESTION, "Replace existing defintion for command prefix '%s'?",
                      prefix) == IDYES;
}

void AddLine(HWND page, const char* entry) {
  LRESULT index = Send(page, IDC_RECV_TABLE, LB_ADDSTRING, 0, entry);
  Send(page, IDC_RECV_TABLE, LB_SETCURSEL, WPARAM(index));
  NoteConfigChanged(page);
}

void OnAdd(HWND page) {
  char entry[kCommandEntrySize] = "";
  LRESULT other;
  do {
    if (!EditCommandEntry(page, entry)) return;
    other = FindSamePrefix(page, entry, -1);
  } while (other >= 0 && !ConfirmReplace(page, entry));  // No: the dialog again, with the entry just made
  if (other >= 0) Send(page, IDC_RECV_TABLE, LB_DELETESTRING, WPARAM(other));
  AddLine(page, entry);
}

void OnEdit(HWND page) {
  LRESULT edited = Send(page, IDC_RECV_TABLE, LB_GETCURSEL);
  char entry[kCommandEntrySize];
  if (edited == LB_ERR || !TableLine(page, edited, entry)) return;
  LRESULT other;
  do {
    if (!EditCommandEntry(page, entry)) return;
    other = FindSamePrefix(page, entry, edited);
  } while (other >= 0 && !ConfirmReplace(page, entry));
  // The later line first, so that the other keeps its index.
  if (other > edited) Send(page, IDC_RECV_TABLE, LB_DELETESTRING, WPARAM(other));
  Send(page, IDC_RECV_TABLE, LB_DELETESTRING, WPARAM(edited));
  if (other >= 0 && other < edited) Send(page, IDC_RECV_TABLE, LB_DELETESTRING, WPARAM(other));
  AddLine(page, entry);
}

void OnRemove(HWND page) {
  LRESULT index = Send(page, IDC_RECV_TABLE, LB_GETCURSEL);
  if (index == LB_ERR) return;
  LRESULT count = Send(page, IDC_RECV_TABLE, LB_DELETESTRING, WPARAM(index));
  if (count > 0) Send(page, IDC_RECV_TABLE, LB_SETCURSEL, WPARAM(index < count ? index : count - 1));
  NoteConfigChanged(page);
}

void SaveCommandTable(HWND page) {
  LRESULT count = Send(page, IDC_RECV_TABLE, LB_GETCOUNT);
  char entry[kCommandEntrySize];
  unsigned number = 0;
  for (LRESULT i = 0; i < count; ++i)
    if (TableLine(page, i, entry)) WriteSetting(g_SmsgwIni, "SMSGW", CommandKey(++number).c_str(), entry);
  for (++number;; ++number) {
    if (ReadCommandKey(number, entry))
      WriteSetting(g_SmsgwIni, "SMSGW", CommandKey(number).c_str(), nullptr);
    else if (number >= kCommandKeysAlwaysProbed)
      break;
  }
}

// ---- PHP ----

void ShowPhpDirectory(HWND page) {
  char directory[MAX_PATH];
  PhpDirectory(directory);
  char bare[MAX_PATH];
  CopyBounded(bare, sizeof bare, directory);
  size_t length = strlen(bare);
  if (length > 3 && bare[length - 1] == '\\') bare[length - 1] = '\0';  // searched without its backslash
  if (!FileExists(bare)) CreateDirectoryA(bare, nullptr);
  std::string note = std::string("http://") + kPhpHostName + "/php resolves to " + directory;
  SetDlgItemTextA(page, IDC_RECV_PHP_NOTE, note.c_str());
}

void OnPhpClicked(HWND page) {
  NoteConfigChanged(page);
  if (!Checked(page, IDC_RECV_PHP_ENABLE)) {
    SetDlgItemTextA(page, IDC_RECV_PHP_NOTE, "");
    Enable(page, IDC_RECV_PHP_REMOTE, false);
    return;
  }
  char text[kPhpCgiTextSize];
  if (FindPhpCgi(text)) {
    Enable(page, IDC_RECV_PHP_REMOTE, true);
    ShowPhpDirectory(page);
  } else {
    Check(page, IDC_RECV_PHP_ENABLE, false);
    ShowMessage(page, text, MB_OK | MB_ICONERROR);
  }
}

// ---- the page ----

void UpdateEnabled(HWND page) {
  bool sms = Checked(page, IDC_RECV_PROCESS_SMS);
  bool commands = sms && Checked(page, IDC_RECV_COMMANDS);
  bool mms = sms && Checked(page, IDC_RECV_PROCESS_MMS);
  Enable(page, IDC_RECV_ROUTE_LOCAL, sms);
  Enable(page, IDC_RECV_COMMANDS, sms);
  Enable(page, IDC_RECV_LOCAL_USER, sms && Checked(page, IDC_RECV_ROUTE_LOCAL));
  for (int id = IDC_RECV_TABLE_LABEL; id <= IDC_RECV_CHARSET; ++id) Enable(page, id, commands);
  Enable(page, IDC_RECV_PROCESS_MMS, sms);
  Enable(page, IDC_RECV_MMS_INBOX, mms);
  Enable(page, IDC_RECV_MMS_ROUTE, mms);
  Enable(page, IDC_RECV_CONFIGURE, mms && Checked(page, IDC_RECV_MMS_ROUTE));
}

void LoadRouting(HWND page) {
  char section[kSectionNameSize];
  if (!ModemSection(section)) return;
  char value[kTextSize];
  ReadSetting(g_SmsgwIni, section, "RouteLocal", "", value, sizeof value);
  LRESULT user = Send(page, IDC_RECV_LOCAL_USER, CB_FINDSTRINGEXACT, WPARAM(-1), value);
  if (user != CB_ERR && user > 0) {
    Send(page, IDC_RECV_LOCAL_USER, CB_SETCURSEL, WPARAM(user));
    Check(page, IDC_RECV_ROUTE_LOCAL, true);
    Check(page, IDC_RECV_PROCESS_SMS, true);
  }
  ReadSetting(g_SmsgwIni, section, "MMSRouting", "", value, sizeof value);
  if (CompareNoCase(value, kMm7Account, &AnsiUpper()) == 0) Check(page, IDC_RECV_MMS_ROUTE, true);
}

void LoadPhp(HWND page) {
  char text[kPhpCgiTextSize];
  bool php = ReadYesSetting(g_SmsgwIni, "SMSGW", "PHPEnable", "No") && FindPhpCgi(text);
  Check(page, IDC_RECV_PHP_ENABLE, php);
  Enable(page, IDC_RECV_PHP_REMOTE, php);
  if (php) ShowPhpDirectory(page);
  Check(page, IDC_RECV_PHP_REMOTE, ReadYesSetting(g_SmsgwIni, "SMSGW", "PHPAllowRemote", "No"));
}

BOOL OnInitDialog(HWND page, LPARAM initParam) {
  TwoWayPageState* state = KeepPageState<TwoWayPageState>(page, initParam);
  state->initialising = true;
  const INT tabStops[] = {50, 300};
  Send(page, IDC_RECV_TABLE, LB_SETTABSTOPS, 2, tabStops);
  Send(page, IDC_RECV_TABLE, LB_SETHORIZONTALEXTENT, 1500);
  Check(page, IDC_RECV_PROCESS_SMS, ReadYesSetting(g_SmsgwIni, "SMSGW", "ReceiveSMS", "No"));
  Send(page, IDC_RECV_LOCAL_USER, CB_ADDSTRING, 0, "");
  AddSmppUsers(page);
  LoadRouting(page);
  if (!Checked(page, IDC_RECV_ROUTE_LOCAL)) Check(page, IDC_RECV_COMMANDS, true);
  if (!Checked(page, IDC_RECV_MMS_ROUTE)) Check(page, IDC_RECV_MMS_INBOX, true);
  LoadCharsets(page);
  LoadCommandTable(page);
  if (Checked(page, IDC_RECV_PROCESS_SMS))
    Check(page, IDC_RECV_PROCESS_MMS, ReadYesSetting(g_SmsgwIni, "SMSGW", "ReceiveMMS", "No"));
  UpdateEnabled(page);
  LoadPhp(page);
  state->initialising = false;
  return TRUE;
}

// Leaving is refused, while SMS are processed, when the chosen road has
// nowhere to go.
bool MayLeave(HWND page) {
  if (!Checked(page, IDC_RECV_PROCESS_SMS)) return true;
  if (Checked(page, IDC_RECV_ROUTE_LOCAL) && Send(page, IDC_RECV_LOCAL_USER, CB_GETCURSEL) <= 0) {
    ShowMessage(page, "Please select a local user account to receive messages", MB_OK | MB_ICONERROR);
    FocusDialogControl(page, IDC_RECV_LOCAL_USER);
    return false;
  }
  if (Checked(page, IDC_RECV_PROCESS_MMS) && Checked(page, IDC_RECV_MMS_ROUTE)) {
    char file[MAX_PATH], server[kTextSize];
    ProgramDataPath("VASPOUT\\", file);
    BoundedAppend(file, sizeof file, kMm7Account);
    BoundedAppend(file, sizeof file, "\\VASP.INI");
    ReadSetting(file, "VASP", "Server", "", server, sizeof server);
    if (!server[0]) {
      ShowMessage(page, "MM7 Settings must be configured", MB_OK | MB_ICONERROR);
      FocusDialogControl(page, IDC_RECV_CONFIGURE);
      return false;
    }
  }
  return true;
}

void SavePage(HWND page) {
  bool sms = Checked(page, IDC_RECV_PROCESS_SMS);
  WriteSetting(g_SmsgwIni, "SMSGW", "ReceiveSMS", sms ? "Yes" : "No");
  WriteSetting(g_SmsgwIni, "SMSGW", "ReceiveMMS", sms && Checked(page, IDC_RECV_PROCESS_MMS) ? "Yes" : "No");
  WriteSetting(g_SmsgwIni, "SMSGW", "PHPEnable", Checked(page, IDC_RECV_PHP_ENABLE) ? "Yes" : "No");
  WriteSetting(g_SmsgwIni, "SMSGW", "PHPAllowRemote", Checked(page, IDC_RECV_PHP_REMOTE) ? "Yes" : "No");
  char section[kSectionNameSize];
  bool modem = ModemSection(section);
  if (modem) {
    char user[UserRecord::kNameSize * 2] = "";
    LRESULT index = Send(page, IDC_RECV_LOCAL_USER, CB_GETCURSEL);
    if (Checked(page, IDC_RECV_ROUTE_LOCAL) && index > 0 &&
        Send(page, IDC_RECV_LOCAL_USER, CB_GETLBTEXTLEN, WPARAM(index)) < LRESULT(sizeof user))
      Send(page, IDC_RECV_LOCAL_USER, CB_GETLBTEXT, WPARAM(index), user);
    WriteSetting(g_SmsgwIni, section, "RouteLocal", user);
  }
  SaveCommandTable(page);
  char charset[kTextSize] = "";
  LRESULT index = Send(page, IDC_RECV_CHARSET, CB_GETCURSEL);
  if (index > 0 && Send(page, IDC_RECV_CHARSET, CB_GETLBTEXTLEN, WPARAM(index)) < LRESULT(sizeof charset))
    Send(page, IDC_RECV_CHARSET, CB_GETLBTEXT, WPARAM(index), charset);
  WriteSetting(g_SmsgwIni, "SMSGW", "ReceiveSMSCharset", charset);
  if (modem) WriteSetting(g_SmsgwIni, section, "MMSRouting", Checked(page, IDC_RECV_MMS_ROUTE) ? kMm7Account : nullptr);
  g_ConfigChanged = false;
}

BOOL OnCommand(HWND page, int id, int code) {
  bool initialising = StateOf<TwoWayPageState>(page)->initialising;
  switch (id) {
    case IDC_RECV_PROCESS_SMS:
    case IDC_RECV_ROUTE_LOCAL:
    case IDC_RECV_COMMANDS:
    case IDC_RECV_PROCESS_MMS:
    case IDC_RECV_MMS_INBOX:
    case IDC_RECV_MMS_ROUTE:
      if (code != BN_CLICKED) return FALSE;
      if (!initialising) NoteConfigChanged(page);
      UpdateEnabled(page);
      return TRUE;
    case IDC_RECV_PHP_REMOTE:
      if (code != BN_CLICKED) return FALSE;
      if (!initialising) NoteConfigChanged(page);
      return TRUE;
    case IDC_RECV_PHP_ENABLE:
      if (code != BN_CLICKED || initialising) return FALSE;
      OnPhpClicked(page);
      return TRUE;
    case IDC_RECV_LOCAL_USER:
    case IDC_RECV_CHARSET:
      if (code != CBN_SELENDOK) return FALSE;
      if (!initialising) NoteConfigChanged(page);
      return TRUE;
  }
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_RECV_ADD:
      OnAdd(page);
      return TRUE;
    case IDC_RECV_EDIT:
      OnEdit(page);
      return TRUE;
    case IDC_RECV_REMOVE:
      OnRemove(page);
      return TRUE;
    case IDC_RECV_VIEW_SMS:
      ShowMessageList(page, MessageListKind::ReceivedSms);
      return TRUE;
    case IDC_RECV_VIEW_MMS:
      ShowMessageList(page, MessageListKind::ReceivedMms);
      return TRUE;
    case IDC_RECV_CONFIGURE:
      RunMm7Dialog(page);
      return TRUE;
  }
  return FALSE;
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE:
      AddSmppUsers(page);
      return SetPageResult(page, 0);
    case PSN_KILLACTIVE:
      return SetPageResult(page, MayLeave(page) ? FALSE : TRUE);
    case PSN_APPLY:
      SavePage(page);
      return SetPageResult(page, PSNRET_NOERROR);
  }
  return AnswerSharedNotify(page, header->code, false);
}

INT_PTR CALLBACK TwoWayPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page, lParam);
    case WM_COMMAND:
      return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
  }
  return FALSE;
}

}  // namespace

const PageDefinition kTwoWayPage = StatefulPage<TwoWayPageState>(TwoWayPageProc);

bool FindPhpCgi(char* text) {
  if (PhpCgiIn(EnvironmentValue("PHPRC"), text)) return true;
  std::string path = EnvironmentValue("PATH");
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    if (PhpCgiIn(path.substr(start, end - start), text)) return true;
    start = end + 1;
    while (start < path.size() && path[start] == ' ') ++start;
  }
  CopyBounded(text, kPhpCgiTextSize, kNoPhpCgi);
  return false;
}

void PhpDirectory(char* path) {
  ReadSetting(g_SmsgwIni, "SMSGW", "PHPDir", "", path, MAX_PATH);
  if (!path[0])
    ProgramDataPath("PHP\\", path);
  else if (path[strlen(path) - 1] != '\\')
    BoundedAppend(path, MAX_PATH, "\\");
}
