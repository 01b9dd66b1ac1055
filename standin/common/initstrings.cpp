#include "initstrings.h"

#include <cctype>
#include <cstring>
#include <map>

#include "core/textrules.h"

namespace {

bool MatchNoCase(const std::string& s, size_t at, const char* word) {
  size_t n = strlen(word);
  if (at + n > s.size()) return false;
  for (size_t i = 0; i < n; ++i)
    if (toupper(static_cast<unsigned char>(s[at + i])) != toupper(static_cast<unsigned char>(word[i]))) return false;
  return true;
}

bool SameApn(const std::string& a, const std::string& b) { return CompareNoCase(a.c_str(), b.c_str()) == 0; }

// One argument of the command at `p`: a quoted string or bare text up to ','.
std::string ReadArgument(const std::string& s, size_t& p, size_t end) {
  std::string value;
  if (p < end && s[p] == '"') {
    ++p;
    while (p < end && s[p] != '"') value += s[p++];
    if (p < end) ++p;
  } else {
    while (p < end && s[p] != ',') value += s[p++];
  }
  return value;
}

}  // namespace

std::vector<PdpDefinition> FindPdpDefinitions(const std::string& init) {
  std::vector<PdpDefinition> found;
  static const char kCommand[] = "+CGDCONT=";
  for (size_t at = 0; at < init.size(); ++at) {
    if (!MatchNoCase(init, at, kCommand)) continue;
    // Only a command start counts: after "AT", or after the ';' of a combined line.
    bool start = (at >= 2 && MatchNoCase(init, at - 2, "AT")) || (at >= 1 && init[at - 1] == ';');
    if (!start) continue;
    size_t end = at + sizeof kCommand - 1;
    bool inQuotes = false;
    while (end < init.size() && (inQuotes || !strchr(";\r\n<", init[end]))) {
      if (init[end] == '"') inQuotes = !inQuotes;
      ++end;
    }
    size_t p = at + sizeof kCommand - 1;
    if (p >= end || !isdigit(static_cast<unsigned char>(init[p]))) continue;
    unsigned cid = 0;
    while (p < end && isdigit(static_cast<unsigned char>(init[p])) && cid < 1000) cid = cid * 10 + unsigned(init[p++] - '0');
    if (cid == 0 || cid >= 1000) continue;
    PdpDefinition d;
    d.cid = cid;
    d.begin = at;
    d.end = end;
    if (p < end && init[p] == ',') {
      ++p;
      d.type = ReadArgument(init, p, end);
      if (p < end && init[p] == ',') {
        ++p;
        d.apn = ReadArgument(init, p, end);
      }
    }
    found.push_back(d);
    at = end > at ? end - 1 : at;
  }
  return found;
}

unsigned CidForApn(const std::vector<std::string>& inits, const std::string& apn) {
  std::map<unsigned, std::string> contexts;  // the modem keeps the last definition of each
  for (const std::string& s : inits)
    for (const PdpDefinition& d : FindPdpDefinitions(s)) contexts[d.cid] = d.apn;
  for (const auto& c : contexts)
    if (SameApn(c.second, apn)) return c.first;
  return 0;
}

unsigned ChooseCidForApn(const std::vector<std::string>& inits, const std::string& apn) {
  if (unsigned own = CidForApn(inits, apn)) return own;
  std::map<unsigned, bool> used;
  for (const std::string& s : inits)
    for (const PdpDefinition& d : FindPdpDefinitions(s)) used[d.cid] = true;
  for (unsigned cid = 1; cid < 100; ++cid)
    if (!used.count(cid)) return cid;
  return 0;
}

std::string PdpDefinitionCommand(unsigned cid, const std::string& apn) {
  return "AT+CGDCONT=" + std::to_string(cid) + ",\"IP\",\"" + apn + "\"";
}

bool IsUsableApn(const std::string& apn) {
  if (apn.empty() || apn.size() > 99) return false;
  for (char c : apn)
    if (c < 33 || c > 126 || c == '"') return false;
  return true;
}

AtResult ClassifyAtReply(const char* reply, size_t size, unsigned* errorCode) {
  if (errorCode) *errorCode = 0;
  if (!reply) return AtResult::None;
  size_t lineStart = 0;
  for (size_t i = 0; i < size; ++i) {
    if (reply[i] != '\r' && reply[i] != '\n') continue;
    std::string line(reply + lineStart, i - lineStart);
    lineStart = i + 1;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.empty()) continue;
    const char* l = line.c_str();
    if (CompareNoCase(l, "OK") == 0) return AtResult::Ok;
    if (StartsWithNoCase(l, "CONNECT") && (line.size() == 7 || line[7] == ' ')) return AtResult::Connect;
    if (CompareNoCase(l, "ERROR") == 0) return AtResult::Error;
    if (StartsWithNoCase(l, "+CME ERROR:") || StartsWithNoCase(l, "+CMS ERROR:")) {
      if (errorCode) *errorCode = DecimalValue(l + 11);
      return AtResult::Error;
    }
    if (CompareNoCase(l, "NO CARRIER") == 0) return AtResult::NoCarrier;
    if (CompareNoCase(l, "BUSY") == 0) return AtResult::Busy;
    if (CompareNoCase(l, "NO DIALTONE") == 0 || CompareNoCase(l, "NO DIAL TONE") == 0) return AtResult::NoDialtone;
    if (CompareNoCase(l, "NO ANSWER") == 0) return AtResult::NoAnswer;
  }
  return AtResult::None;
}
