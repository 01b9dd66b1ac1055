#include "smsgateway.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/smsfile.h"
#include "core/textrules.h"

namespace smsgw {
namespace {

// The text's lines without their ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find_first_of("\r\n", i);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(i, end - i));
    i = end + 1;
  }
  return lines;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, strlen(prefix), prefix) == 0; }

// Comma-separated numbers of an answer line after its prefix; empty fields count.
std::vector<std::string> Fields(const std::string& rest) {
  std::vector<std::string> out;
  std::string field;
  bool quoted = false;
  for (char c : rest) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      out.push_back(Trim(field));
      field.clear();
    } else {
      field.push_back(c);
    }
  }
  out.push_back(Trim(field));
  return out;
}

bool Number(const std::string& s, unsigned* value) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = unsigned(strtoul(s.c_str(), nullptr, 10));
  return true;
}

std::string Unquote(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// A line as the message file reader sees it: characters 1 to 32 before it vanish.
std::string Unindented(const std::string& line) {
  size_t b = 0;
  while (b < line.size() && line[b] != '\0' && static_cast<unsigned char>(line[b]) <= 32) ++b;
  return line.substr(b);
}

bool IsSectionLine(const std::string& line) {
  std::string t = Unindented(line);
  return !t.empty() && t[0] == '[';
}

bool IsSection(const std::string& line, const char* name) {
  std::string t = Unindented(line);
  return t.size() >= strlen(name) && StartsWithNoCase(t.c_str(), name);
}

std::string Hex2(uint8_t v) {
  char b[4];
  snprintf(b, sizeof b, "%02X", v);
  return b;
}

}  // namespace

std::vector<unsigned> NewMessageIndexes(const std::string& text) {
  std::vector<unsigned> out;
  for (const std::string& raw : Lines(text)) {
    std::string line = Trim(raw);
    if (!StartsWith(line, "+CMTI:")) continue;
    std::vector<std::string> f = Fields(line.substr(6));
    unsigned index;
    if (f.size() >= 2 && Number(f[1], &index)) out.push_back(index);
  }
  return out;
}

std::vector<ListedMessage> ParseMessageList(const std::string& text) {
  std::vector<ListedMessage> out;
  std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = Trim(lines[i]);
    bool list = StartsWith(line, "+CMGL:");
    if (!list && !StartsWith(line, "+CMGR:")) continue;
    std::vector<std::string> f = Fields(line.substr(6));
    ListedMessage m;
    if (list ? f.size() < 4 || !Number(f[0], &m.index) || !Number(f[1], &m.status)
             : f.size() < 3 || !Number(f[0], &m.status))
      continue;
    // The PDU is the next non-empty line.
    size_t j = i + 1;
    while (j < lines.size() && Trim(lines[j]).empty()) ++j;
    if (j >= lines.size()) break;
    m.pduHex = Trim(lines[j]);
    i = j;
    out.push_back(m);
  }
  return out;
}

bool ParseSubmitReference(const std::string& text, unsigned* reference) {
  for (const std::string& raw : Lines(text)) {
    std::string line = Trim(raw);
    if (StartsWith(line, "+CMGS:") && Number(Fields(line.substr(6))[0], reference)) return true;
  }
  return false;
}

bool ParseOwnNumber(const std::string& text, std::string* number) {
  for (const std::string& raw : Lines(text)) {
    std::string line = Trim(raw);
    if (!StartsWith(line, "+CNUM:")) continue;
    std::vector<std::string> f = Fields(line.substr(6));
    if (f.size() >= 2 && !Unquote(f[1]).empty()) {
      *number = Unquote(f[1]);
      return true;
    }
  }
  return false;
}

std::string ErrorLine(const std::string& text) {
  for (const std::string& raw : Lines(text)) {
    std::string line = Trim(raw);
    if (StartsWith(line, "+CMS ERROR:") || StartsWith(line, "+CME ERROR:") || line == "ERROR" ||
        line == "NO CARRIER")
      return line;
  }
  return "";
}

std::string LogField(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == ',') c = ';';
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

std::string FormatLogLine(const LogEntry& e) {
  std::string submitter = e.submitter;
  return LogField(e.time) + "," + LogField(e.requestName) + "," + LogField(e.recipient) + "," + LogField(e.route) +
         "," + LogField(e.result) + "," + std::to_string(e.parts) + "," + LogField(submitter) + "\r\n";
}

std::string WithRetryState(const std::string& text, const RetryState& state) {
  // Keep every line outside the old section.
  std::string kept;
  bool inDetail = false;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find_first_of("\r\n", i);
    size_t next = end == std::string::npos ? text.size() : end;
    while (next < text.size() && (text[next] == '\r' || text[next] == '\n')) ++next;
    std::string line = text.substr(i, (end == std::string::npos ? text.size() : end) - i);
    if (IsSectionLine(line)) inDetail = IsSection(line, "[ErrorDetail]");
    if (!inDetail) kept += text.substr(i, next - i);
    i = next;
  }
  if (!kept.empty() && kept.back() != '\n' && kept.back() != '\r') kept += "\r\n";
  std::string error = LogField(state.lastErrorInfo).substr(0, 199);
  kept += "[ErrorDetail]\r\nRetryCount=" + std::to_string(state.retryCount) + "\r\nLastErrorInfo=" + error +
          "\r\nFirstAttemptTime=" + state.firstAttemptTime + "\r\nLastRetryTime=" + state.lastRetryTime + "\r\n";
  if (state.partsSent) {
    kept += "PartsSent=" + std::to_string(state.partsSent) + "\r\nReference=" + std::to_string(state.reference) +
            "\r\n";
  }
  return kept;
}

void ReadExtraRetryState(const std::string& text, RetryState* state) {
  bool inDetail = false;
  for (const std::string& raw : Lines(text)) {
    std::string line = Unindented(raw);
    if (IsSectionLine(line)) {
      inDetail = IsSection(line, "[ErrorDetail]");
      continue;
    }
    if (!inDetail) continue;
    unsigned v;
    if (StartsWithNoCase(line.c_str(), "PartsSent=") && Number(line.substr(10), &v)) state->partsSent = v;
    if (StartsWithNoCase(line.c_str(), "Reference=") && Number(line.substr(10), &v)) state->reference = v & 0xFF;
    if (StartsWithNoCase(line.c_str(), "FirstAttemptTime=")) state->firstAttemptTime = line.substr(17);
  }
}

bool IsMarkedSent(const std::string& text) {
  for (const std::string& line : Lines(text))
    if (IsSection(line, "[Sent]")) return true;
  return false;
}

std::string SentMark(const std::string& time, const std::string& result) {
  return "\r\n[Sent]\r\nTime=" + time + "\r\nResult=" + LogField(result) + "\r\n";
}

std::string SentResult(const std::string& text) {
  bool in = false;
  for (const std::string& raw : Lines(text)) {
    std::string line = Trim(raw);
    if (IsSectionLine(line)) {
      in = IsSection(line, "[Sent]");
      continue;
    }
    if (in && StartsWithNoCase(line.c_str(), "Result=")) return line.substr(7);
  }
  return "OK";
}

bool PrepareRequest(const SmsFileInfo& request, const std::u16string& text, bool dataTruncated,
                    smspdu::Outgoing* message, std::string* error) {
  std::string number = request.PhoneNumber;
  if (number.empty()) {
    *error = "No recipient phone number";
    return false;
  }
  if (dataTruncated) {
    *error = "Message too long";
    return false;
  }
  if (!request.binary) {
    *message = smspdu::TextMessage(number, text);
  } else {
    smspdu::Outgoing m;
    m.number = number;
    m.dcs = request.dcs ? request.dcs : 0x04;
    m.alphabet = smspdu::AlphabetOfDcs(m.dcs);
    smspdu::Bytes data;
    if (!smspdu::FromHex(request.Data, &data)) {
      *error = "Invalid binary message data";
      return false;
    }
    if (m.alphabet == smspdu::Alphabet::Gsm7) {
      m.payload = smspdu::UnpackSeptets(data.data(), data.size(), 0, data.size() * 8 / 7);
    } else {
      m.payload = data;
    }
    *message = m;
  }
  message->pid = request.pid;
  message->statusReport = (request.ReceiptFlags & 0x02) != 0;
  if (request.udh[0]) {
    smspdu::Bytes udh;
    std::vector<smspdu::HeaderElement> elements;
    // Written with its length octet, as the gateway's files keep it.
    if (!smspdu::FromHex(request.udh, &udh) || udh.empty() || udh[0] + 1u != udh.size() ||
        !smspdu::ParseHeader(smspdu::Bytes(udh.begin() + 1, udh.end()), &elements)) {
      *error = "Invalid user data header";
      return false;
    }
    message->header.assign(udh.begin() + 1, udh.end());
  }
  std::vector<smspdu::Bytes> probe;
  if (!smspdu::EncodeSubmit(*message, 0, &probe, error)) return false;
  return true;
}

std::string ReceivedFileText(const ReceivedSms& m) {
  std::string t = "[SMS-IN]\r\n";
  t += "Sender=" + LogField(m.sender) + "\r\n";
  t += "PhoneNumber=" + LogField(m.recipient) + "\r\n";
  t += "Data=" + smspdu::ToHex(m.body) + "\r\n";
  t += "binary=Yes\r\n";
  t += "dcs=" + Hex2(m.dcs) + "\r\n";
  if (!m.header.empty()) {
    smspdu::Bytes udh = {uint8_t(m.header.size())};
    udh.insert(udh.end(), m.header.begin(), m.header.end());
    t += "udh=" + smspdu::ToHex(udh) + "\r\n";
  }
  if (m.pid) t += "pid=" + Hex2(m.pid) + "\r\n";
  if (!m.modemName.empty()) t += "ModemName=" + LogField(m.modemName) + "\r\n";
  if (!m.receivedTime.empty()) t += "ReceivedTime=" + m.receivedTime + "\r\n";
  if (!m.centreTime.empty()) t += "SMSCTimeStamp=" + m.centreTime + "\r\n";
  if (!m.pduError.empty()) t += "PDUError=" + LogField(m.pduError) + "\r\n";
  return t;
}

ReceivedSms FromDecoded(const smspdu::Decoded& d) {
  ReceivedSms m;
  m.sender = d.address;
  m.pid = d.pid;
  m.dcs = d.dcs;
  m.header = d.header;
  m.body = d.body;
  m.centreTime = d.timestamp;
  return m;
}

bool JoinParts(const std::vector<smspdu::Decoded>& parts, ReceivedSms* joined) {
  if (parts.empty()) return false;
  std::vector<const smspdu::Decoded*> ordered;
  unsigned total = 0;
  for (const smspdu::Decoded& p : parts) {
    std::vector<smspdu::HeaderElement> elements;
    smspdu::Concatenation c;
    if (!smspdu::ParseHeader(p.header, &elements) || !smspdu::FindConcatenation(elements, &c)) return false;
    if (total == 0) {
      total = c.total;
      ordered.assign(total, nullptr);
    }
    if (c.total != total || ordered[c.sequence - 1] || p.alphabet != parts[0].alphabet) return false;
    ordered[c.sequence - 1] = &p;
  }
  if (std::find(ordered.begin(), ordered.end(), nullptr) != ordered.end()) return false;
  const smspdu::Decoded& first = *ordered[0];
  *joined = FromDecoded(first);
  std::vector<smspdu::HeaderElement> elements;
  smspdu::ParseHeader(first.header, &elements);
  joined->header = smspdu::BuildHeader(smspdu::WithoutConcatenation(elements));
  smspdu::Bytes units;
  for (const smspdu::Decoded* p : ordered) units.insert(units.end(), p->units.begin(), p->units.end());
  if (first.alphabet == smspdu::Alphabet::Gsm7) {
    size_t headerOctets = joined->header.empty() ? 0 : joined->header.size() + 1;
    joined->body = smspdu::PackSeptets(units, smspdu::FillBits(headerOctets));
  } else {
    joined->body = units;
  }
  return true;
}

}  // namespace smsgw
