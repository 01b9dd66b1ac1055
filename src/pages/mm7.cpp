// The MM7 receiver account ("zarqlocalmm7"): where the MMSC delivers received
// MMS when the 2-Way page routes them via MM7 or PHP upload. Nothing is saved
// before the server has answered a TCP connection (and, for "https://", a TLS
// handshake), so the account always points at a server that answered once.
#define _WINSOCK_DEPRECATED_NO_WARNINGS  // gethostbyname and inet_addr: Winsock 1.1, as the gateway uses
#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/configstore.h"
#include "app/msgbox.h"
#include "app/pagestate.h"
#include "app/uihelpers.h"
#include "core/gatewaynames.h"
#include "core/mm7settings.h"
#include "gateway/linkbinding.h"
#include "pages/mm7receiver.h"
#include "pages/twoway.h"
#include "resource.h"

namespace {

constexpr int kTextSize = 1024;    // every field of the account
constexpr size_t kHostSize = 250;  // host names as the test takes them

struct Mm7DialogState {
  char settingsFile[MAX_PATH];  // VASPOUT\zarqlocalmm7\VASP.INI
};

void SettingsFilePath(char* path) {
  ProgramDataPath("VASPOUT\\", path);
  BoundedAppend(path, MAX_PATH, kMm7Account);
  BoundedAppend(path, MAX_PATH, "\\VASP.INI");
}

void AddEntries(HWND dialog, int id, const char* const* texts, size_t count) {
  for (size_t i = 0; i < count; ++i) SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
}

void SelectEntry(HWND dialog, int id, const char* text) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL,
                      SendDlgItemMessageA(dialog, id, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text)), 0);
}

// The selected entry's text; false when nothing is selected.
bool SelectedEntry(HWND dialog, int id, char* text, size_t size) {
  LRESULT index = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR || SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, WPARAM(index), 0) >= LRESULT(size))
    return false;
  SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text));
  return true;
}

void LoadField(HWND dialog, const char* file, const char* key, int id) {
  char value[kTextSize];
  ReadSetting(file, "VASP", key, "", value, sizeof value);
  SetDlgItemTextA(dialog, id, value);
}

const char* StoredVariation(const char* file) {
  char protocol[kTextSize];
  ReadSetting(file, "VASP", "Protocol", "", protocol, sizeof protocol);
  if (CompareNoCase(protocol, "MM7", &AnsiUpper()) == 0) {
    if (ReadYesSetting(file, "VASP", "AnnyWay")) return kMm7Variations[kMm7AnnyWay];
    if (ReadYesSetting(file, "VASP", "LogicaCMG")) return kMm7Variations[kMm7LogicaCmg];
    if (ReadYesSetting(file, "VASP", "PHPMultipartPost")) return kMm7Variations[kMm7PhpUpload];
  } else if (CompareNoCase(protocol, "EricssonMM7", &AnsiUpper()) == 0) {
    return kMm7Variations[kMm7Ericsson];
  }
  return kMm7Variations[kMm7Standard];
}

BOOL OnInitDialog(HWND dialog, LPARAM initParam) {
  Mm7DialogState* state = KeepDialogState<Mm7DialogState>(dialog, initParam);
  const char* file = state->settingsFile;
  AddEntries(dialog, IDC_MM7_VERSION, kMm7Versions, kMm7VersionCount);
  AddEntries(dialog, IDC_MM7_SCHEMA, kMm7Schemas, kMm7SchemaCount);
  AddEntries(dialog, IDC_MM7_VARIATION, kMm7Variations, kMm7VariationCount);
  SelectEntry(dialog, IDC_MM7_VERSION, kMm7DefaultVersion);
  SelectEntry(dialog, IDC_MM7_SCHEMA, kMm7DefaultSchema);
  SelectEntry(dialog, IDC_MM7_VARIATION, StoredVariation(file));

  LoadField(dialog, file, "Server", IDC_MM7_SERVER);
  LoadField(dialog, file, "VASPID", IDC_MM7_VASPID);
  LoadField(dialog, file, "VASID", IDC_MM7_VASID);
  LoadField(dialog, file, "ServiceCode", IDC_MM7_SERVICE_CODE);
  LoadField(dialog, file, "UserName", IDC_MM7_USERNAME);
  LoadField(dialog, file, "Password", IDC_MM7_PASSWORD);

  char value[kTextSize];
  ReadSetting(file, "VASP", "MM7Version", kMm7DefaultVersion, value, sizeof value);
  if (!value[0]) CopyBounded(value, sizeof value, kMm7DefaultVersion);
  if (SendDlgItemMessageA(dialog, IDC_MM7_VERSION, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(value)) ==
      CB_ERR)
    SendDlgItemMessageA(dialog, IDC_MM7_VERSION, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value));
  SelectEntry(dialog, IDC_MM7_VERSION, value);

  std::string defaultSchema = Mm7SchemaNamespace(kMm7DefaultSchema);
  ReadSetting(file, "VASP", "MM7Schema", defaultSchema.c_str(), value, sizeof value);
  if (!value[0]) CopyBounded(value, sizeof value, defaultSchema.c_str());
  int release = Mm7SchemaRelease(value, &AnsiUpper());
  if (release < 0) {
    SendDlgItemMessageA(dialog, IDC_MM7_SCHEMA, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kMm7CustomSchema));
    SelectEntry(dialog, IDC_MM7_SCHEMA, kMm7CustomSchema);
  } else {
    SelectEntry(dialog, IDC_MM7_SCHEMA, kMm7Schemas[release]);
  }

  CheckDlgButton(dialog, IDC_MM7_STRIP_WHITE,
                 ReadYesSetting(file, "VASP", "StripWhiteSpace", "No") ? BST_CHECKED : BST_UNCHECKED);
  return TRUE;
}

// Every refusal of OK: the product caption, the error icon, the server field
// focused, the dialog left open.
void Refuse(HWND dialog, const char* text) {
  ShowMessage(dialog, text, MB_OK | MB_ICONERROR);
  FocusDialogControl(dialog, IDC_MM7_SERVER);
}

// With TLS: completes a handshake through ZARQTLS.DLL when it is there and
// ready; without it the check is skipped. False with the library's reason.
bool NegotiateTls(SOCKET s, char* errorText) {
  const TlsLibrary* tls = BindTlsLibrary();
  if (!tls || !tls->sslInitLib()) return true;
  SSLSESSION session = tls->sslInitSession(s, errorText);
  if (!session) return false;
  tls->sslFreeSession(session);
  return true;
}

void CreateDirectoryIfMissing(const char* path) {
  if (!FileExists(path)) CreateDirectoryA(path, nullptr);
}

void PrepareSettingsFile(const char* file) {
  char path[MAX_PATH];
  ProgramDataPath("VASPOUT", path);
  CreateDirectoryIfMissing(path);
  BoundedAppend(path, MAX_PATH, "\\");
  BoundedAppend(path, MAX_PATH, kMm7Account);
  CreateDirectoryIfMissing(path);
  if (!FileExists(file)) {
    HANDLE handle = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
}

void SaveField(HWND dialog, const char* file, const char* key, int id) {
  char value[kTextSize];
  GetDlgItemTextA(dialog, id, value, sizeof value);
  WriteSetting(file, "VASP", key, value);
}

void SaveSettings(HWND dialog, const char* file) {
  PrepareSettingsFile(file);
  WriteSetting(file, "VASP", "Protocol", "MM7");
  SaveField(dialog, file, "Server", IDC_MM7_SERVER);
  WriteSetting(file, "VASP", "Domain", nullptr);
  SaveField(dialog, file, "VASPID", IDC_MM7_VASPID);
  SaveField(dialog, file, "VASID", IDC_MM7_VASID);
  SaveField(dialog, file, "ServiceCode", IDC_MM7_SERVICE_CODE);
  WriteSetting(file, "VASP", "mm7DeliverReq", "Yes");
  SaveField(dialog, file, "UserName", IDC_MM7_USERNAME);
  SaveField(dialog, file, "Password", IDC_MM7_PASSWORD);

  char selected[kTextSize];
  if (SelectedEntry(dialog, IDC_MM7_VERSION, selected, sizeof selected))
    WriteSetting(file, "VASP", "MM7Version", strcmp(selected, kMm7DefaultVersion) == 0 ? nullptr : selected);
  if (SelectedEntry(dialog, IDC_MM7_SCHEMA, selected, sizeof selected) && strcmp(selected, kMm7CustomSchema) != 0) {
    std::string ns = Mm7SchemaNamespace(selected);
    WriteSetting(file, "VASP", "MM7Schema", strcmp(selected, kMm7DefaultSchema) == 0 ? nullptr : ns.c_str());
  }
  WriteSetting(file, "VASP", "StripWhiteSpace",
               IsDlgButtonChecked(dialog, IDC_MM7_STRIP_WHITE) == BST_CHECKED ? "Yes" : nullptr);
  LRESULT variation = SendDlgItemMessageA(dialog, IDC_MM7_VARIATION, CB_GETCURSEL, 0, 0);
  if (variation != CB_ERR) {
    if (variation == kMm7Ericsson) WriteSetting(file, "VASP", "Protocol", "EricssonMM7");
    WriteSetting(file, "VASP", "AnnyWay", variation == kMm7AnnyWay ? "Yes" : nullptr);
    WriteSetting(file, "VASP", "LogicaCMG", variation == kMm7LogicaCmg ? "Yes" : nullptr);
    WriteSetting(file, "VASP", "PHPMultipartPost", variation == kMm7PhpUpload ? "Yes" : nullptr);
  }
}

void OnOk(HWND dialog) {
  char server[kTextSize];
  GetDlgItemTextA(dialog, IDC_MM7_SERVER, server, sizeof server);
  if (!server[0]) return Refuse(dialog, "Please define a URL for connecting to the server");
  Mm7ServerAddress target = ParseMm7ServerAddress(server, &AnsiUpper());
  const char* host = target.host.c_str();

  HCURSOR cursor = BeginBusyCursor();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    EndBusyCursor(cursor);
    return Refuse(dialog, "General socket error");
  }
  if (ConnectTest(s, host, target.port) != 0) {
    EndBusyCursor(cursor);
    ShowMessageF(dialog, MB_OK | MB_ICONERROR, "Unable to connect to server %s:%u", host, target.port);
    FocusDialogControl(dialog, IDC_MM7_SERVER);
    closesocket(s);
    return;
  }
  if (target.tls) {
    char errorText[ZARQTLS_ERROR_TEXT_SIZE] = "";
    if (!NegotiateTls(s, errorText)) {
      EndBusyCursor(cursor);
      errorText[sizeof errorText - 1] = '\0';
      std::string text = "Unable to negotiate SSL/TLS connection with server " + target.host + ":" +
                         std::to_string(target.port) + "\r\n\r\n" + errorText;
      Refuse(dialog, text.c_str());
      closesocket(s);
      return;
    }
  }
  EndBusyCursor(cursor);
  closesocket(s);
  SaveSettings(dialog, StateOf<Mm7DialogState>(dialog)->settingsFile);
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK Mm7DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog, lParam);
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (LOWORD(wParam) == IDOK) {
        OnOk(dialog);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

bool ConnectTo(SOCKET s, u_long address, unsigned port) {
  sockaddr_in target = {};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<u_short>(port));
  target.sin_addr.s_addr = address;
  return connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
}

}  // namespace

INT_PTR RunMm7Dialog(HWND owner) {
  Mm7DialogState state = {};
  SettingsFilePath(state.settingsFile);
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "DIALOG_MM7", owner, Mm7DialogProc,
                                   reinterpret_cast<LPARAM>(&state));
  return result == 1 ? 1 : 0;
}

int ConnectTest(UINT_PTR socket, const char* host, unsigned port) {
  SOCKET s = static_cast<SOCKET>(socket);
  char name[kHostSize];
  CopyBounded(name, sizeof name, host);
  CutHostNumberSuffix(name);
  // No host, or a port that does not exist, names no server (an empty text
  // would otherwise read as 0.0.0.0, and a port past 65535 as another port).
  if (!*SkipWhite(name) || port == 0 || port > 65535) return 1;
  if (NormaliseIpAddress(name, sizeof name)) return ConnectTo(s, inet_addr(name), port) ? 0 : 1;

  const hostent* entry = gethostbyname(name);
  if (!entry || entry->h_addrtype != AF_INET || entry->h_length != sizeof(u_long)) return 1;
  unsigned count = 0;
  while (entry->h_addr_list[count]) ++count;
  if (!count) return 1;
  // Spread the tests over the host's addresses.
  unsigned first = GetTickCount() % count;
  for (unsigned i = 0; i < count; ++i) {
    u_long address;
    memcpy(&address, entry->h_addr_list[(first + i) % count], sizeof address);
    if (ConnectTo(s, address, port)) return 0;
  }
  return 1;
}
