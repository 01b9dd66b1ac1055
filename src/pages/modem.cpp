// The Modem page (wizard page 2 and the "Modem" tab): the gateway's modem,
// its SMS settings, and the MMS settings of its GPRS data connection, which
// also set up the MMSC's outbound route account "zarqlocal".
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <initializer_list>

#include "app/appstate.h"
#include "app/configstore.h"
#include "app/uihelpers.h"
#include "app/msgbox.h"
#include "app/pageprotocol.h"
#include "app/sheets.h"
#include "core/gatewaynames.h"
#include "gateway/linkbinding.h"
#include "gateway/records.h"
#include "gateway/zarqacct.h"
#include "gateway/zarqpeer.h"
#include "core/atreply.h"
#include "pages/pages.h"
#include "resource.h"
#include "service/services.h"
#include "core/textrules.h"

namespace {

constexpr size_t kTextSize = 500;
constexpr size_t kTestValueSize = 250;  // MODEMTEST.INI values: up to 249 characters
constexpr size_t kVerdictSize = 2 * kTextSize;  // the Result key, line breaks escaped
constexpr size_t kOperatorValueSize = 104;
constexpr DWORD kModemTestWaitMs = 120000;

const char kModemPrefix[] = "Modem: ";
const char kRouteAccount[] = "zarqlocal";
const char kTestSection[] = "ModemTest";
const char kSelectModem[] = "Please select a modem";
const char kUntestedQuestion[] =
    "MMS configuration settings have not been tested.\r\n\r\n"
    "Do you wish to test these settings before saving configuration changes?";

// Storage list entries and what each stores in ReceiveTo.
const char* const kStorageNames[] = {"Default", "Device Memory", "SIM Card", "Direct to Modem"};
const char* const kStorageValues[] = {"", "ME", "SM", "Direct"};

// The MMS keys of the connection section and their [VASP] twins, by control.
struct MmsKey {
  int control;
  const char* connectionKey;
  const char* vaspKey;
};
const MmsKey kMmsKeys[] = {
    {IDC_MODEM_APN, "APN", "APN"},
    {IDC_MODEM_APN_LOGIN, "APNLogin", "APNLogin"},
    {IDC_MODEM_APN_PASSWORD, "APNPass", "APNPass"},
    {IDC_MODEM_WAP_GATEWAY, "WAPGatewayIP", "WAPGatewayIP"},
    {IDC_MODEM_MMS_URL, "MMSURL", "Server"},
};

// The page's own state; whether the MMS settings were tested is the run's
// (g_MmsSettingsTested), since the wizard's page and the sheet's share it.
struct ModemPageState {
  bool initialising = false;         // the page is filling its own controls
  char loadedModem[kTextSize] = "";  // Modem1 as this page last read or wrote it
};

ModemPageState* State(HWND page) { return StateOf<ModemPageState>(page); }

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
void Check(HWND page, int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }
void Enable(HWND page, int id, bool on) { EnableWindow(GetDlgItem(page, id), on ? TRUE : FALSE); }

void ItemText(HWND page, int id, char* text, int size) { GetDlgItemTextA(page, id, text, size); }

void ComboSelectedText(HWND page, int id, char* text, size_t size) {
  text[0] = '\0';
  LRESULT index = SendDlgItemMessageA(page, id, CB_GETCURSEL, 0, 0);
  if (index < 0) return;
  LRESULT length = SendDlgItemMessageA(page, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0 || static_cast<size_t>(length) >= size) return;
  SendDlgItemMessageA(page, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
}

// Selects the entry equal to `text` (any case); false when there is none.
bool ComboSelectExact(HWND page, int id, const char* text) {
  LRESULT index =
      SendDlgItemMessageA(page, id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
  if (index == CB_ERR) return false;
  SendDlgItemMessageA(page, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  return true;
}

// Modem1 names one of the gateway's other connection kinds, not a modem.
bool IsOtherConnectionKind(const char* name) {
  for (const char* prefix : {"SMPP - ", "HTTP - ", "UCP - ", "CIMD - "})
    if (StartsWithNoCase(name, prefix)) return true;
  return false;
}

void ReadConfiguredModem(char* name) {
  ReadSetting(g_SmsgwIni, "SMSGW", "Modem1", "", name, kTextSize);
  if (IsOtherConnectionKind(name)) name[0] = '\0';
}

void RememberConfiguredModem(const char* name) { CopyBounded(g_ConfiguredModem, sizeof g_ConfiguredModem, name); }

// ---- enabling and change tracking ----

void ApplyEnableRule(HWND page) {
  bool sms = Checked(page, IDC_MODEM_RECEIVE_SMS);
  bool mms = Checked(page, IDC_MODEM_SEND_MMS);
  bool other = Checked(page, IDC_MODEM_OTHER_CONNECTION);
  Enable(page, IDC_MODEM_STORAGE_LABEL, sms);
  Enable(page, IDC_MODEM_STORAGE, sms);
  for (int id = IDC_MODEM_LOOKUP; id <= IDC_MODEM_TEST; ++id) Enable(page, id, mms);
  Enable(page, IDC_MODEM_RECEIVE_MMS, mms && sms);  // a later disabling keeps (and saves) the check mark
  Enable(page, IDC_MODEM_CONNECTION_LABEL, other);
  Enable(page, IDC_MODEM_CONNECTION, other);
}

void MarkChanged(HWND page) {
  if (!State(page)->initialising) NoteConfigChanged(page);
}

// ---- building ----

void LoadPage(HWND page) {
  ModemPageState* state = State(page);
  state->initialising = true;

  char modem[kTextSize];
  ReadConfiguredModem(modem);
  CopyBounded(state->loadedModem, sizeof state->loadedModem, modem);
  SetDlgItemTextA(page, IDC_MODEM_NAME, modem);
  RememberConfiguredModem(modem);

  // Start from an empty page: a reload (the wizard's first step chose
  // another modem) must not keep the previous modem's settings.
  SetDlgItemTextA(page, IDC_MODEM_PIN, "");
  SendDlgItemMessageA(page, IDC_MODEM_STORAGE, CB_SETCURSEL, 0, 0);
  for (int id : {IDC_MODEM_ACCESS_DEFAULT, IDC_MODEM_ACCESS_GSM, IDC_MODEM_ACCESS_GPRS, IDC_MODEM_RECEIVE_SMS,
                 IDC_MODEM_RECEIVE_MMS, IDC_MODEM_OTHER_CONNECTION})
    Check(page, id, false);
  for (const MmsKey& key : kMmsKeys) SetDlgItemTextA(page, key.control, "");
  SendDlgItemMessageA(page, IDC_MODEM_CONNECTION, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);

  if (modem[0]) {
    char section[kSectionNameSize];
    ConnectionSectionName(modem, section, sizeof section);
    char value[kTextSize];
    ReadSetting(g_SmsgwIni, section, "PIN", "", value, sizeof value);
    SetDlgItemTextA(page, IDC_MODEM_PIN, value);
    ReadSetting(g_SmsgwIni, section, "ReceiveTo", "", value, sizeof value);
    for (int i = 1; i < 4; ++i)
      if (CompareNoCase(value, kStorageValues[i]) == 0)
        SendDlgItemMessageA(page, IDC_MODEM_STORAGE, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    Check(page, IDC_MODEM_RECEIVE_SMS, ReadYesSetting(g_SmsgwIni, section, "ReceiveSMS", "Yes"));
    ReadSetting(g_SmsgwIni, section, "SMSAccess", "", value, sizeof value);
    int access = CompareNoCase(value, "GPRS") == 0  ? IDC_MODEM_ACCESS_GPRS
                 : CompareNoCase(value, "GSM") == 0 ? IDC_MODEM_ACCESS_GSM
                                                    : IDC_MODEM_ACCESS_DEFAULT;
    Check(page, access, true);
    Check(page, IDC_MODEM_RECEIVE_MMS, ReadYesSetting(g_SmsgwIni, section, "ReceiveMMS"));
    for (const MmsKey& key : kMmsKeys) {
      ReadSetting(g_SmsgwIni, section, key.connectionKey, "", value, sizeof value);
      SetDlgItemTextA(page, key.control, value);
    }
    ReadSetting(g_SmsgwIni, section, "DialUpProfile", "", value, sizeof value);
    char own[kTextSize];
    CopyBounded(own, sizeof own, kModemPrefix);
    BoundedAppend(own, sizeof own, g_ConfiguredModem);
    if (value[0] && CompareNoCase(value, own) != 0 && ComboSelectExact(page, IDC_MODEM_CONNECTION, value))
      Check(page, IDC_MODEM_OTHER_CONNECTION, true);
  }

  Check(page, IDC_MODEM_SEND_MMS, GetWindowTextLengthA(GetDlgItem(page, IDC_MODEM_MMS_URL)) > 0);
  ApplyEnableRule(page);
  if (!IsWindowEnabled(GetDlgItem(page, IDC_MODEM_RECEIVE_MMS))) Check(page, IDC_MODEM_RECEIVE_MMS, false);
  state->initialising = false;
}

BOOL OnInitDialog(HWND page, LPARAM initParam) {
  KeepPageState<ModemPageState>(page, initParam)->initialising = true;
  for (const char* name : kStorageNames)
    SendDlgItemMessageA(page, IDC_MODEM_STORAGE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  if (const LinkLibrary* link = BindLinkLibrary()) link->RasLoadListOrComboBox(page, IDC_MODEM_CONNECTION, CB_ADDSTRING);
  LoadPage(page);
  return TRUE;
}

// ---- the data connection ----

struct DataConnection {
  char useModem[kTextSize];  // empty for a dial-up connection: the key is removed
  char profile[kTextSize];
  bool nonStandard;
};

// The connection chosen in list 129 (when box 127 is ticked) counts when it
// is a dial-up connection or another modem than the page's own; otherwise
// MMS goes through the page's modem.
DataConnection ChooseDataConnection(HWND page, const char* modem) {
  DataConnection c = {};
  char entry[kTextSize] = "";
  if (Checked(page, IDC_MODEM_OTHER_CONNECTION)) ComboSelectedText(page, IDC_MODEM_CONNECTION, entry, sizeof entry);
  const size_t prefix = strlen(kModemPrefix);
  bool modemEntry = StartsWithNoCase(entry, kModemPrefix);
  c.nonStandard = entry[0] && (!modemEntry || CompareNoCase(entry + prefix, modem) != 0);
  if (c.nonStandard) {
    CopyBounded(c.useModem, sizeof c.useModem, modemEntry ? entry + prefix : "");
    CopyBounded(c.profile, sizeof c.profile, entry);
  } else {
    CopyBounded(c.useModem, sizeof c.useModem, modem);
    CopyBounded(c.profile, sizeof c.profile, kModemPrefix);
    BoundedAppend(c.profile, sizeof c.profile, modem);
  }
  return c;
}

// ---- the connection test ----

void FailOn(HWND page, const char* text, int focus) {
  ShowMessage(page, text, MB_OK | MB_ICONERROR);
  SetFocus(GetDlgItem(page, focus));
}

// No modem: say so and open the Add Modem dialog.
void AskForModem(HWND page) {
  FailOn(page, kSelectModem, IDC_MODEM_CHANGE);
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_MODEM_CHANGE, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_MODEM_CHANGE)));
}

bool ModemChosen(HWND page) { return GetWindowTextLengthA(GetDlgItem(page, IDC_MODEM_NAME)) > 0; }

// One run of the elevated copy, behind the wait window; its verdict.
void RunElevatedTest(HWND page, const char* testFile, char* verdict) {
  HCURSOR cursor = BeginBusyCursor();
  HWND wait = CreateWaitWindow(page);
  if (wait) {
    SetForegroundWindow(wait);
    PaintNow(wait);  // the wait for the elevated copy blocks this thread
  }
  RunProgramCopy("/MODEMTEST", IsVistaOrLater(), kModemTestWaitMs);
  if (wait && IsWindow(wait)) SendMessageA(wait, WM_CLOSE, 0, 0);
  EndBusyCursor(cursor);
  // The verdict's line breaks are kept escaped in the file: 500 characters
  // of text take up to twice as many there.
  ReadSetting(testFile, kTestSection, "Result", "", verdict, kVerdictSize);
  UnescapeLineBreaks(verdict);
}

void RunConnectionTest(HWND page) {
  char wap[kTestValueSize], apn[kTestValueSize], login[kTestValueSize], password[kTestValueSize];
  char url[kTextSize];
  ItemText(page, IDC_MODEM_WAP_GATEWAY, wap, sizeof wap);
  ItemText(page, IDC_MODEM_APN, apn, sizeof apn);
  ItemText(page, IDC_MODEM_APN_LOGIN, login, sizeof login);
  ItemText(page, IDC_MODEM_APN_PASSWORD, password, sizeof password);
  ItemText(page, IDC_MODEM_MMS_URL, url, sizeof url);
  if (!url[0]) return FailOn(page, "MMS Server URL is Required!", IDC_MODEM_MMS_URL);
  if (!ModemChosen(page)) return AskForModem(page);
  if (!wap[0]) return FailOn(page, "WAP Gateway Address is Required!", IDC_MODEM_WAP_GATEWAY);
  if (!PrepareWapGatewayAddress(wap, sizeof wap)) return FailOn(page, "Invalid WAP Gateway Address", IDC_MODEM_WAP_GATEWAY);

  char modem[kTextSize];
  ItemText(page, IDC_MODEM_NAME, modem, sizeof modem);
  char testFile[MAX_PATH];
  ProgramDataPath("MODEMTEST.INI", testFile);
  HANDLE file = CreateFileA(testFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  WriteSetting(testFile, kTestSection, "WAPGatewayIP", wap);
  WriteSetting(testFile, kTestSection, "APN", apn);
  WriteSetting(testFile, kTestSection, "APNLogin", login);
  WriteSetting(testFile, kTestSection, "APNPass", password);
  WriteSetting(testFile, kTestSection, "ModemName", modem);
  DataConnection connection = ChooseDataConnection(page, modem);
  if (connection.nonStandard) WriteSetting(testFile, kTestSection, "DialUpProfile", connection.profile);

  if (!IsVistaOrLater() || HasAdminRights() || ConfirmElevation()) {
    for (;;) {
      char verdict[kVerdictSize];
      RunElevatedTest(page, testFile, verdict);
      if (!verdict[0]) break;
      if (ContainsNoCase(verdict, "OK!")) {
        g_MmsSettingsTested = true;
        ShowMessage(page, verdict, MB_OK | MB_ICONINFORMATION);
        break;
      }
      if (ShowMessage(page, verdict, MB_RETRYCANCEL | MB_ICONERROR) != IDRETRY) break;
    }
  }
  DeleteFileA(testFile);
}

// The untested-settings question before the page is left or saved: false
// for Cancel. Yes tests (whatever the outcome), No counts as tested.
bool OfferConnectionTest(HWND page) {
  if (!Checked(page, IDC_MODEM_SEND_MMS) || g_MmsSettingsTested) return true;
  switch (ShowMessage(page, kUntestedQuestion, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      RunConnectionTest(page);
      return true;
    case IDNO:
      g_MmsSettingsTested = true;
      return true;
  }
  return false;
}

// ---- saving ----

void CreateDirectoryIfMissing(const char* path) {
  if (!FileExists(path)) CreateDirectoryA(path, nullptr);
}

// program-data directory + "VASPOUT\zarqlocal\VASP.INI", created step by step.
void PrepareRouteAccountFile(char* vaspIni) {
  ProgramDataPath("VASPOUT", vaspIni);
  CreateDirectoryIfMissing(vaspIni);
  BoundedAppend(vaspIni, MAX_PATH, "\\");
  BoundedAppend(vaspIni, MAX_PATH, kRouteAccount);
  CreateDirectoryIfMissing(vaspIni);
  BoundedAppend(vaspIni, MAX_PATH, "\\VASP.INI");
  if (!FileExists(vaspIni)) {
    HANDLE file = CreateFileA(vaspIni, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
}

void AddRouteAccount() {
  unsigned char record[AccountRecord::kSize] = {};
  CopyBounded(reinterpret_cast<char*>(record + AccountRecord::kNameOffset), AccountRecord::kNameSize, kRouteAccount);
  VASPOutAddUser(record);
}

void SavePage(HWND page) {
  char modem[kTextSize];
  ItemText(page, IDC_MODEM_NAME, modem, sizeof modem);
  if (!modem[0]) return;
  char section[kSectionNameSize];
  ConnectionSectionName(modem, section, sizeof section);

  AddRouteAccount();
  WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", modem);
  CopyBounded(State(page)->loadedModem, kTextSize, modem);
  WriteSetting(g_MmscIni, "MMSC", "DefaultOutboundRoute", kRouteAccount);
  char vaspIni[MAX_PATH];
  PrepareRouteAccountFile(vaspIni);

  WriteSetting(vaspIni, "VASP", "Protocol", "MM1");
  WriteSetting(vaspIni, "VASP", "ForceSenderAddress", "Yes");
  WriteSetting(g_SmsgwIni, section, "UseDial", "Yes");
  WriteSetting(vaspIni, "VASP", "UseDial", "Yes");

  DataConnection connection = ChooseDataConnection(page, modem);
  for (const char* file : {static_cast<const char*>(g_SmsgwIni), static_cast<const char*>(vaspIni)}) {
    const char* fileSection = file == vaspIni ? "VASP" : section;
    WriteSetting(file, fileSection, "UseModem", connection.useModem);
    WriteSetting(file, fileSection, "DialUpProfile", connection.profile);
  }

  char value[kTextSize];
  ItemText(page, IDC_MODEM_PIN, value, sizeof value);
  WriteSetting(g_SmsgwIni, section, "PIN", value);
  LRESULT storage = SendDlgItemMessageA(page, IDC_MODEM_STORAGE, CB_GETCURSEL, 0, 0);
  WriteSetting(g_SmsgwIni, section, "ReceiveTo", storage > 0 && storage < 4 ? kStorageValues[storage] : "");
  WriteSetting(g_SmsgwIni, section, "ReceiveSMS", Checked(page, IDC_MODEM_RECEIVE_SMS) ? "Yes" : "No");
  const char* access = Checked(page, IDC_MODEM_ACCESS_GPRS)  ? "GPRS"
                       : Checked(page, IDC_MODEM_ACCESS_GSM) ? "GSM"
                                                             : "";
  WriteSetting(g_SmsgwIni, section, "SMSAccess", access);
  WriteSetting(g_SmsgwIni, section, "ReceiveMMS", Checked(page, IDC_MODEM_RECEIVE_MMS) ? "Yes" : "No");

  if (Checked(page, IDC_MODEM_SEND_MMS)) {
    for (const MmsKey& key : kMmsKeys) {
      ItemText(page, key.control, value, sizeof value);
      WriteSetting(g_SmsgwIni, section, key.connectionKey, value);
      WriteSetting(vaspIni, "VASP", key.vaspKey, value);
    }
  } else {
    WriteSetting(vaspIni, "VASP", nullptr, nullptr);  // the whole section; MMSURL and the rest stay
  }
}

// ---- commands ----

void OnChangeModem(HWND page) {
  AddModemChoice choice;
  if (!RunAddModemDialog(page, &choice)) return;
  char current[kTextSize];
  ItemText(page, IDC_MODEM_NAME, current, sizeof current);
  if (CompareNoCase(choice.name, current) != 0) {
    RememberConfiguredModem(choice.name);
    SetDlgItemTextA(page, IDC_MODEM_NAME, choice.name);
    MarkChanged(page);
    g_MmsSettingsTested = false;  // tested with the other modem
    Check(page, IDC_MODEM_OTHER_CONNECTION, false);
    ApplyEnableRule(page);
  }
  ItemText(page, IDC_MODEM_PIN, current, sizeof current);
  if (CompareNoCase(choice.pin, current) != 0) {
    SetDlgItemTextA(page, IDC_MODEM_PIN, choice.pin);
    MarkChanged(page);
  }
}

void OnLookupOperatorSettings(HWND page) {
  char apn[kOperatorValueSize] = "", login[kOperatorValueSize] = "", password[kOperatorValueSize] = "";
  char wap[kOperatorValueSize] = "", url[kOperatorValueSize] = "";
  if (!ChooseOperatorSettings(page, apn, login, password, wap, url)) return;
  const struct {
    int id;
    const char* text;
  } fields[] = {{IDC_MODEM_APN, apn}, {IDC_MODEM_APN_LOGIN, login}, {IDC_MODEM_APN_PASSWORD, password},
                {IDC_MODEM_WAP_GATEWAY, wap}};
  // A field that changes reports it like an edit of the operator's, which
  // marks the settings untested.
  for (const auto& f : fields) SetTextIfChanged(GetDlgItem(page, f.id), f.text);
  SetDlgItemTextA(page, IDC_MODEM_MMS_URL, url);
}

void OnOtherConnectionClicked(HWND page) {
  ApplyEnableRule(page);
  if (!Checked(page, IDC_MODEM_OTHER_CONNECTION)) return;
  char own[kTextSize];
  CopyBounded(own, sizeof own, kModemPrefix);
  BoundedAppend(own, sizeof own, g_ConfiguredModem);
  ComboSelectExact(page, IDC_MODEM_CONNECTION, own);
}

BOOL OnCommand(HWND page, int id, int code) {
  switch (id) {
    case IDC_MODEM_PIN:
    case IDC_MODEM_MMS_URL:
      if (code != EN_CHANGE) return FALSE;
      MarkChanged(page);
      return TRUE;
    case IDC_MODEM_APN:
    case IDC_MODEM_APN_LOGIN:
    case IDC_MODEM_APN_PASSWORD:
    case IDC_MODEM_WAP_GATEWAY:
      if (code != EN_CHANGE || State(page)->initialising) return FALSE;
      MarkChanged(page);
      g_MmsSettingsTested = false;
      return TRUE;
    case IDC_MODEM_STORAGE:
    case IDC_MODEM_CONNECTION:
      if (code != CBN_SELCHANGE) return FALSE;
      MarkChanged(page);
      return TRUE;
  }
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_MODEM_ACCESS_DEFAULT:
    case IDC_MODEM_ACCESS_GSM:
    case IDC_MODEM_ACCESS_GPRS:
      MarkChanged(page);
      return TRUE;
    case IDC_MODEM_RECEIVE_SMS:
    case IDC_MODEM_RECEIVE_MMS:
    case IDC_MODEM_SEND_MMS:
      MarkChanged(page);
      ApplyEnableRule(page);
      return TRUE;
    case IDC_MODEM_OTHER_CONNECTION:
      MarkChanged(page);
      OnOtherConnectionClicked(page);
      return TRUE;
    case IDC_MODEM_CHANGE:
      OnChangeModem(page);
      return TRUE;
    case IDC_MODEM_LOOKUP:
      OnLookupOperatorSettings(page);
      return TRUE;
    case IDC_MODEM_TEST:
      RunConnectionTest(page);
      return TRUE;
  }
  return FALSE;
}

// ---- notifications ----

// The wizard's first step may have chosen another modem since this page was
// built: show that one, with its own settings.
void OnSetActive(HWND page) {
  char modem[kTextSize];
  ReadConfiguredModem(modem);
  if (modem[0] && CompareNoCase(modem, State(page)->loadedModem) != 0) {
    g_MmsSettingsTested = false;  // tested with the other modem
    LoadPage(page);
  }
  SetWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
}

INT_PTR OnKillActive(HWND page) {
  if (!ModemChosen(page)) {
    AskForModem(page);
    return SetPageResult(page, TRUE);
  }
  return SetPageResult(page, OfferConnectionTest(page) ? FALSE : TRUE);
}

INT_PTR OnApply(HWND page) {
  if (!OfferConnectionTest(page)) return SetPageResult(page, PSNRET_INVALID_NOCHANGEPAGE);
  g_ConfigChanged = false;  // only once the save goes ahead: a refused apply keeps the edits unsaved
  SavePage(page);
  return SetPageResult(page, PSNRET_NOERROR);
}

INT_PTR OnWizardNext(HWND page) {
  if (!ModemChosen(page)) {
    AskForModem(page);
    return SetPageResult(page, -1);
  }
  if (Checked(page, IDC_MODEM_SEND_MMS)) {
    g_MmsSettingsTested = false;
    RunConnectionTest(page);
    if (!g_MmsSettingsTested) return SetPageResult(page, -1);
  }
  PSHNOTIFY apply = {};
  apply.hdr.hwndFrom = GetParent(page);
  apply.hdr.idFrom = 0;
  apply.hdr.code = PSN_APPLY;
  SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&apply));
  return SetPageResult(page, 0);
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE:
      OnSetActive(page);
      return SetPageResult(page, 0);
    case PSN_KILLACTIVE:
      return OnKillActive(page);
    case PSN_WIZNEXT:
      return OnWizardNext(page);
    case PSN_APPLY:
      return OnApply(page);
  }
  return AnswerSharedNotify(page, header->code, false);
}

// The modem name is only ever changed through "Change Modem": it looks
// read-only on every sheet, whatever background the sheet gives its pages.
INT_PTR OnControlColour(HWND page, HDC dc, HWND control) {
  if (control != GetDlgItem(page, IDC_MODEM_NAME)) return FALSE;
  SetBkColor(dc, GetSysColor(COLOR_3DFACE));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
}

INT_PTR CALLBACK ModemPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page, lParam);
    case WM_CTLCOLORSTATIC:
      return OnControlColour(page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
      return State(page) ? OnCommand(page, LOWORD(wParam), HIWORD(wParam)) : FALSE;
    case WM_NOTIFY:
      return State(page) ? OnNotify(page, reinterpret_cast<const NMHDR*>(lParam)) : FALSE;
  }
  return FALSE;
}

}  // namespace

const PageDefinition kModemPage = StatefulPage<ModemPageState>(ModemPageProc);
