#include "inbound.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <vector>

#include "counters.h"
#include "datadirs.h"
#include "gwfiles.h"
#include "modemline.h"
#include "smsgateway.h"

namespace {

constexpr ULONGLONG kPartLifetime = 24ull * 3600 * 10000000;  // in 100 ns units

std::string PartsDir() { return gw::PrivateDataDir() + "SMSPARTS\\"; }

std::string NowText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return gw::DisplayTime(now);
}

// A name for one message's parts: sender, reference and count, made safe.
std::string PartGroup(const std::string& sender, const smspdu::Concatenation& c) {
  std::string safe;
  for (char ch : sender) safe.push_back(isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
  char tail[48];
  snprintf(tail, sizeof tail, "-%u-%u", c.reference, c.total);
  return safe.substr(0, 40) + tail;
}

bool WriteReceived(const char* ini, smsgw::ReceivedSms message, const std::string& ownNumber,
                   const std::string& modemName) {
  message.recipient = ownNumber;
  message.modemName = modemName;
  message.receivedTime = NowText();
  std::string dir = gw::InboxDir(ini);
  if (gw::WriteNewFile(dir, "SMS", ".SMS", smsgw::ReceivedFileText(message)).empty()) return false;
  AddDayCounter("SMSRECEIVED");
  return true;
}

// The WSP push (the user data without its header) for the MMSC.
bool WritePush(const smspdu::Bytes& body) {
  std::string dir = gw::PrivateDataDir() + "MMSPUSH\\";
  datadirs::CreateTree(dir.c_str());
  return !gw::WriteNewFile(dir, "PUSH", ".PUSH", std::string(body.begin(), body.end())).empty();
}

bool IsPush(const smspdu::Bytes& header) {
  std::vector<smspdu::HeaderElement> elements;
  smspdu::Ports ports;
  return smspdu::ParseHeader(header, &elements) && smspdu::FindPorts(elements, &ports) &&
         ports.destination == smsgw::kWapPushPort;
}

// A whole message: a push goes to the MMSC, anything else to the inbox.
bool Deliver(const char* ini, const smsgw::ReceivedSms& message, const std::string& ownNumber,
             const std::string& modemName) {
  if (IsPush(message.header)) return WritePush(message.body);
  return WriteReceived(ini, message, ownNumber, modemName);
}

// A PDU that cannot be read is kept as it came, with the reason, rather than lost.
bool WriteUnreadable(const char* ini, const std::string& pduHex, const std::string& error,
                     const std::string& ownNumber, const std::string& modemName) {
  smsgw::ReceivedSms raw;
  raw.dcs = 0x04;
  if (!smspdu::FromHex(pduHex, &raw.body)) raw.body.assign(pduHex.begin(), pduHex.end());
  raw.pduError = error;
  return WriteReceived(ini, raw, ownNumber, modemName);
}

bool DecodePart(const std::string& path, smspdu::Decoded* decoded) {
  std::string hex;
  smspdu::Bytes pdu;
  std::string error;
  return gw::ReadWholeFile(path, 4096, &hex) && smspdu::FromHex(hex, &pdu) &&
         smspdu::DecodePdu(pdu.data(), pdu.size(), true, decoded, &error);
}

}  // namespace

bool Inbound::Pass(ModemLine* modem, const std::string& ownNumber, const std::string& modemName) {
  StoreStaleParts(ownNumber, modemName);
  std::string listing;
  AtResult r = modem->Command("AT+CMGL=4", 20000, &listing);
  if (r == AtResult::None) return false;
  if (r != AtResult::Ok) return true;
  for (const smsgw::ListedMessage& m : smsgw::ParseMessageList(listing)) {
    if (!Take(m.pduHex, ownNumber, modemName)) continue;  // stays on the SIM until its file can be written
    if (modem->Command("AT+CMGD=" + std::to_string(m.index), 10000) == AtResult::None) return false;
  }
  return true;
}

bool Inbound::Take(const std::string& pduHex, const std::string& ownNumber, const std::string& modemName) {
  smspdu::Bytes pdu;
  smspdu::Decoded decoded;
  std::string error = "not hexadecimal";
  if (!smspdu::FromHex(pduHex, &pdu) || !smspdu::DecodePdu(pdu.data(), pdu.size(), true, &decoded, &error))
    return WriteUnreadable(ini_, pduHex, error, ownNumber, modemName);
  std::vector<smspdu::HeaderElement> elements;
  smspdu::Concatenation c;
  if (!smspdu::ParseHeader(decoded.header, &elements) || !smspdu::FindConcatenation(elements, &c))
    return Deliver(ini_, smsgw::FromDecoded(decoded), ownNumber, modemName);

  // One part: kept on disk with its siblings until the message is whole.
  std::string dir = PartsDir();
  datadirs::CreateTree(dir.c_str());
  std::string group = PartGroup(decoded.address, c);
  char partName[96];
  snprintf(partName, sizeof partName, "%s-%u.PART", group.c_str(), c.sequence);
  std::string partPath = dir + partName;
  DeleteFileA(partPath.c_str());  // a part sent again replaces the one kept
  std::string written = gw::WriteNewFile(dir, "NEW", ".TMP2", pduHex);
  if (written.empty() || !MoveFileA(written.c_str(), partPath.c_str())) {
    if (!written.empty()) DeleteFileA(written.c_str());
    return false;
  }
  std::vector<std::string> names = datadirs::FilesIn(PartsDir(), (group + "-*.PART").c_str());
  if (names.size() < c.total) return true;
  std::vector<smspdu::Decoded> parts;
  for (const std::string& name : names) {
    smspdu::Decoded part;
    if (DecodePart(dir + name, &part)) parts.push_back(part);
  }
  smsgw::ReceivedSms joined;
  if (!smsgw::JoinParts(parts, &joined)) return true;  // parts of another message of the same name: wait
  if (!Deliver(ini_, joined, ownNumber, modemName)) return true;  // the parts stay; this one is on disk
  for (const std::string& name : names) DeleteFileA((dir + name).c_str());
  return true;
}

void Inbound::StoreStaleParts(const std::string& ownNumber, const std::string& modemName) {
  FILETIME nowFile;
  GetSystemTimeAsFileTime(&nowFile);
  ULARGE_INTEGER now = {{nowFile.dwLowDateTime, nowFile.dwHighDateTime}};
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((PartsDir() + "*.PART").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    ULARGE_INTEGER written = {{found.ftLastWriteTime.dwLowDateTime, found.ftLastWriteTime.dwHighDateTime}};
    if (now.QuadPart - written.QuadPart < kPartLifetime) continue;
    std::string path = PartsDir() + found.cFileName;
    smspdu::Decoded part;
    std::string hex;
    bool stored = DecodePart(path, &part) ? WriteReceived(ini_, smsgw::FromDecoded(part), ownNumber, modemName)
                  : gw::ReadWholeFile(path, 4096, &hex)
                      ? WriteUnreadable(ini_, hex, "unreadable message part", ownNumber, modemName)
                      : false;
    if (stored) DeleteFileA(path.c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}
