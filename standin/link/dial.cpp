// WSPRasDial / WSPRasHangUp: a GPRS data call through a Windows modem's own
// serial port ("Modem: " + name), or a dial-up entry through the system's
// remote-access API, then a check that the WAP gateway answers.
#define ZARQLINK_BUILD
#include "net.h"  // before <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "core/atreply.h"
#include "core/textrules.h"
#include "gateway/zarqlink.h"
#include "gatewayaddress.h"
#include "initstrings.h"
#include "linkinternal.h"
#include "modems.h"
#include "serialat.h"

namespace {

// 650, "the server is not responding": the network never answered the attach.
constexpr int kNotResponding = RASBASE + 50;

// Links left open by a successful dial, until WSPRasHangUp.
struct OpenLink {
  std::unique_ptr<AtPort> port;  // a modem's own call
  HRASCONN connection = nullptr;  // a dial-up entry
};
std::mutex g_linksLock;
std::map<std::string, OpenLink> g_links;  // by upper-cased profile

std::string LinkKey(const char* profile) {
  std::string key = profile;
  for (char& c : key) c = char(Cp1252Upper().map[static_cast<unsigned char>(c)]);
  return key;
}

// The gateway answers when a TCP connection to it opens: to the port its
// address names, else to the WAP session port 9201, the usual proxy port
// 8080 or the web port 80, whichever accepts first within five seconds.
bool GatewayAnswers(const char* wapGateway) {
  std::string host;
  unsigned port = 0;
  if (!ParseGatewayAddress(wapGateway ? wapGateway : "", &host, &port)) return false;
  std::vector<unsigned> ports = port ? std::vector<unsigned>{port} : std::vector<unsigned>{9201, 8080, 80};
  SOCKET s = ConnectAny(host, ports, 5000);
  if (s == INVALID_SOCKET) return false;
  closesocket(s);
  return true;
}

int ResultOfDial(AtResult result) {
  switch (result) {
    case AtResult::Connect: return 0;
    case AtResult::NoCarrier: return ERROR_NO_CARRIER;     // 679
    case AtResult::Busy: return ERROR_LINE_BUSY;           // 676
    case AtResult::NoDialtone: return ERROR_NO_DIALTONE;   // 680
    case AtResult::NoAnswer: return ERROR_NO_ANSWER;       // 678
    case AtResult::None: return ERROR_NO_ANSWER;           // nothing within the dial time
    default: return ERROR_FROM_DEVICE;                     // 651
  }
}

// The modem behind "Modem: name": a modem chosen by its port ("COM3:", as
// the gateway takes it too) has no driver entry and is dialled on that port.
bool FindDialModem(const char* name, InstalledModem* modem) {
  if (name && IsDirectPortName(name)) {
    modem->name = name;
    modem->port.assign(name, strlen(name) - 1);
    return true;
  }
  return FindInstalledModem(name, modem) && !modem->port.empty();
}

int DialModem(const char* profile, const char* modemName, const char* apn, const char* wapGateway) {
  InstalledModem modem;
  if (!FindDialModem(modemName, &modem)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;  // 623
  std::string apnText = apn ? apn : "";
  if (!apnText.empty() && !IsUsableApn(apnText)) return ERROR_INVALID_PARAMETER;

  auto port = std::make_unique<AtPort>();
  if (!port->Open(modem.port, modem.baudRate)) {
    DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? ERROR_PORT_NOT_AVAILABLE  // 633
                                                                            : ERROR_PORT_NOT_FOUND;     // 615
  }
  // A modem that does not answer at all: one retry after the first command woke it.
  if (port->Command("AT", 2000) != AtResult::Ok && port->Command("AT", 2000) != AtResult::Ok)
    return ERROR_PORT_OR_DEVICE;  // 692

  unsigned cid = ChooseCidForApn(modem.key.empty() ? std::vector<std::string>() : ReadInitStrings(modem), apnText);
  if (cid == 0) cid = 1;
  if (port->Command(PdpDefinitionCommand(cid, apnText).c_str(), 5000) != AtResult::Ok) return ERROR_FROM_DEVICE;
  AtResult attach = port->Command("AT+CGATT=1", 30000);
  if (attach == AtResult::None) return kNotResponding;
  if (attach != AtResult::Ok) return ERROR_FROM_DEVICE;

  std::string dial = "ATD*99***" + std::to_string(cid) + "#";
  int result = ResultOfDial(port->Command(dial.c_str(), 60000));
  if (result != 0) {
    port->HangUp();
    return result;
  }
  if (!GatewayAnswers(wapGateway)) {
    port->HangUp();
    return 1;
  }
  std::lock_guard<std::mutex> lock(g_linksLock);
  OpenLink& link = g_links[LinkKey(profile)];
  if (link.port) link.port->HangUp();
  link.port = std::move(port);
  return 0;
}

int DialEntry(const char* profile, const char* login, const char* password, const char* wapGateway) {
  if (!PhonebookHas(profile)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;  // 623
  RASDIALPARAMSA params = {};
  params.dwSize = sizeof params;
  CopyBounded(params.szEntryName, sizeof params.szEntryName, profile);
  BOOL hasPassword = FALSE;
  RasGetEntryDialParamsA(nullptr, &params, &hasPassword);  // the stored credentials, when any
  params.dwSize = sizeof params;
  CopyBounded(params.szEntryName, sizeof params.szEntryName, profile);
  if (login && *login) CopyBounded(params.szUserName, sizeof params.szUserName, login);
  if (password && *password) CopyBounded(params.szPassword, sizeof params.szPassword, password);

  HRASCONN connection = nullptr;
  DWORD result = RasDialA(nullptr, nullptr, &params, 0, nullptr, &connection);
  SecureZeroMemory(params.szPassword, sizeof params.szPassword);
  if (result != 0) {
    if (connection) RasHangUpA(connection);
    // 1 means "gateway unreachable" to our callers; from the system it means the call is not implemented.
    return result == ERROR_INVALID_FUNCTION ? ERROR_NOT_SUPPORTED : int(result);
  }
  if (!GatewayAnswers(wapGateway)) {
    RasHangUpA(connection);
    return 1;
  }
  std::lock_guard<std::mutex> lock(g_linksLock);
  OpenLink& link = g_links[LinkKey(profile)];
  if (link.connection) RasHangUpA(link.connection);
  link.connection = connection;
  return 0;
}

}  // namespace

ZARQLINK_API int __cdecl WSPRasDial(const char* profile, const char* apn, const char* apnLogin,
                                    const char* apnPassword, const char* wapGateway) {
  if (!profile || !*profile) return ERROR_INVALID_PARAMETER;
  if (StartsWithNoCase(profile, ZARQLINK_MODEM_PREFIX))
    return DialModem(profile, profile + strlen(ZARQLINK_MODEM_PREFIX), apn, wapGateway);
  return DialEntry(profile, apnLogin, apnPassword, wapGateway);
}

ZARQLINK_API int __cdecl WSPRasHangUp(const char* profile) {
  if (!profile) return 0;
  OpenLink link;
  {
    std::lock_guard<std::mutex> lock(g_linksLock);
    auto it = g_links.find(LinkKey(profile));
    if (it == g_links.end()) return 0;
    link = std::move(it->second);
    g_links.erase(it);
  }
  if (link.port) link.port->HangUp();
  if (link.connection) RasHangUpA(link.connection);
  return 1;
}

// Texts of the results this library gives; others come from the system.
ZARQLINK_API int __cdecl WSPRasGetErrorString(unsigned error, char* text, unsigned roomLeft) {
  if (!text || roomLeft == 0) return 0;
  static const struct {
    unsigned error;
    const char* text;
  } kTexts[] = {
      {1, "The WAP gateway did not answer."},
      {ERROR_PORT_NOT_FOUND, "The modem's port was not found."},
      {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "The connection or modem was not found."},
      {ERROR_PORT_NOT_AVAILABLE, "The modem is already in use or is not configured for dialing out."},
      {kNotResponding, "The network is not responding."},
      {ERROR_FROM_DEVICE, "The modem reported an error."},
      {ERROR_LINE_BUSY, "The line is busy."},
      {ERROR_NO_ANSWER, "There was no answer."},
      {ERROR_NO_CARRIER, "The connection was refused (no carrier)."},
      {ERROR_NO_DIALTONE, "There is no network (no dial tone)."},
      {ERROR_PORT_OR_DEVICE, "The modem does not respond."},
  };
  char message[512] = "";
  for (const auto& t : kTexts)
    if (t.error == error) CopyBounded(message, sizeof message, t.text);
  if (!*message && error >= RASBASE && error <= RASBASEEND + 100 &&
      RasGetErrorStringA(error, message, sizeof message) != 0)
    *message = '\0';
  if (!*message &&
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message,
                     sizeof message, nullptr) == 0)
    *message = '\0';
  TrimRight(message);
  if (!*message) snprintf(message, sizeof message, "Remote access error %u.", error);
  CopyBounded(text + strlen(text), roomLeft, message);
  return 1;
}
