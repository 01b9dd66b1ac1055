#include "operatorcsv.h"

#include <cstdint>
#include <cstring>
#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "core/gatewaynames.h"
#include "core/textrules.h"

std::vector<std::vector<std::string>> ParseCsv(const char* data, size_t size) {
  std::vector<std::vector<std::string>> rows;
  if (!data) return rows;
  size_t i = 0;
  if (size >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0) i = 3;

  std::vector<std::string> row;
  std::string field;
  bool quoted = false;     // inside a quoted field
  bool rowStarted = false;  // anything seen since the last line end
  auto add = [&field](char c) {
    if (field.size() < kMaxCsvField) field += c;
  };
  auto endField = [&]() {
    row.push_back(field);
    field.clear();
  };
  auto endRow = [&]() {
    endField();
    rows.push_back(std::move(row));
    row.clear();
    rowStarted = false;
  };

  for (; i < size && rows.size() < kMaxCsvRows; ++i) {
    char c = data[i];
    if (quoted) {
      if (c != '"') {
        add(c);
      } else if (i + 1 < size && data[i + 1] == '"') {
        add('"');
        ++i;
      } else {
        quoted = false;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      rowStarted = true;
    } else if (c == ',') {
      endField();
      rowStarted = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
      if (rowStarted || !row.empty()) endRow();  // blank lines are no records
    } else {
      add(c);
      rowStarted = true;
    }
  }
  if ((rowStarted || !row.empty()) && rows.size() < kMaxCsvRows) endRow();
  return rows;
}

bool ParseOperatorTable(const char* data, size_t size, std::vector<OperatorEntry>* rows) {
  rows->clear();
  std::vector<std::vector<std::string>> records = ParseCsv(data, size);
  if (records.empty()) return false;

  struct Column {
    const char* name;
    std::string OperatorEntry::*field;
    size_t index;
  } columns[] = {
      {"country", &OperatorEntry::country, SIZE_MAX},
      {"mcc", &OperatorEntry::mcc, SIZE_MAX},
      {"mnc", &OperatorEntry::mnc, SIZE_MAX},
      {"operator", &OperatorEntry::name, SIZE_MAX},
      {"apn", &OperatorEntry::apn, SIZE_MAX},
      {"apn_login", &OperatorEntry::login, SIZE_MAX},
      {"apn_password", &OperatorEntry::password, SIZE_MAX},
      {"mms_proxy", &OperatorEntry::wapGateway, SIZE_MAX},
      {"mms_proxy_port", &OperatorEntry::wapGatewayPort, SIZE_MAX},
      {"mms_server_url", &OperatorEntry::mmsUrl, SIZE_MAX},
  };
  const std::vector<std::string>& header = records[0];
  for (Column& c : columns)
    for (size_t i = 0; i < header.size() && c.index == SIZE_MAX; ++i)
      if (CompareNoCase(header[i].c_str(), c.name) == 0) c.index = i;
  if (columns[0].index == SIZE_MAX || columns[3].index == SIZE_MAX) return false;

  for (size_t r = 1; r < records.size(); ++r) {
    OperatorEntry entry;
    for (const Column& c : columns)
      if (c.index < records[r].size()) entry.*c.field = records[r][c.index];
    if (!entry.country.empty() && !entry.name.empty()) rows->push_back(std::move(entry));
  }
  return true;
}

std::vector<std::string> OperatorCountries(const std::vector<OperatorEntry>& rows) {
  std::vector<std::string> countries;
  std::unordered_set<std::string> seen;
  for (const OperatorEntry& e : rows)
    if (seen.insert(e.country).second) countries.push_back(e.country);
  return countries;
}

namespace {

// Latin-1 Supplement and Latin Extended-A letters, U+00C0 to U+017F, as the
// lower-case ASCII they fold to; "" for characters that fold to themselves.
const char* const kLatinFold[192] = {
    // U+00C0
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "", "o", "u", "u", "u", "u", "y", "th", "ss",
    // U+00E0
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "", "o", "u", "u", "u", "u", "y", "th", "y",
    // U+0100
    "a", "a", "a", "a", "a", "a", "c", "c", "c", "c", "c", "c", "c", "c", "d", "d",
    "d", "d", "e", "e", "e", "e", "e", "e", "e", "e", "e", "e", "g", "g", "g", "g",
    // U+0120
    "g", "g", "g", "g", "h", "h", "h", "h", "i", "i", "i", "i", "i", "i", "i", "i",
    "i", "i", "ij", "ij", "j", "j", "k", "k", "k", "l", "l", "l", "l", "l", "l", "l",
    // U+0140
    "l", "l", "l", "n", "n", "n", "n", "n", "n", "n", "n", "n", "o", "o", "o", "o",
    "o", "o", "oe", "oe", "r", "r", "r", "r", "r", "r", "s", "s", "s", "s", "s", "s",
    // U+0160
    "s", "s", "t", "t", "t", "t", "t", "t", "u", "u", "u", "u", "u", "u", "u", "u",
    "u", "u", "u", "u", "w", "w", "y", "y", "y", "z", "z", "z", "z", "z", "z", "s",
};

// The code point of the UTF-8 sequence at text[i] and its length; a broken
// sequence is one unit of its own first byte, with no code point (kBroken).
constexpr uint32_t kBroken = 0xFFFFFFFF;
uint32_t NextCodePoint(const std::string& text, size_t i, size_t* length) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > text.size()) {
    *length = 1;
    return kBroken;
  }
  uint32_t code = n == 1 ? c : c & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    unsigned char t = static_cast<unsigned char>(text[i + k]);
    if ((t & 0xC0) != 0x80) {
      *length = 1;
      return kBroken;
    }
    code = code << 6 | (t & 0x3F);
  }
  *length = n;
  return code;
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

std::string Trimmed(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) <= 32) ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(start, end - start);
}

// A port as the table writes it; 0 when it is not one.
unsigned PortValue(const std::string& text) {
  std::string digits = Trimmed(text);
  if (digits.empty() || digits.size() > 5) return 0;
  unsigned value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + unsigned(c - '0');
  }
  return value <= 65535 ? value : 0;
}

}  // namespace

std::string FoldForSearch(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = 1;
    uint32_t code = NextCodePoint(utf8, i, &n);
    if (code >= 'A' && code <= 'Z') {
      out += char(code - 'A' + 'a');
    } else if (code >= 0xC0 && code <= 0x17F && kLatinFold[code - 0xC0][0]) {
      out += kLatinFold[code - 0xC0];
    } else if (code == 0x2019 || code == 0x2018) {
      out += '\'';  // typographic apostrophes search like the typed one
    } else {
      out.append(utf8, i, n);
    }
    i += n;
  }
  return out;
}

bool OperatorMatches(const OperatorEntry& row, const std::string& query) {
  std::string folded = FoldForSearch(query);
  std::string fields = FoldForSearch(row.name) + "\n" + FoldForSearch(row.country) + "\n" + row.mcc + " " + row.mnc;
  size_t i = 0;
  while (i < folded.size()) {
    while (i < folded.size() && folded[i] == ' ') ++i;
    size_t end = folded.find(' ', i);
    if (end == std::string::npos) end = folded.size();
    if (end > i && !Contains(fields, folded.substr(i, end - i))) return false;
    i = end;
  }
  return true;
}

bool MmsServerHostPort(const std::string& url, std::string* host, unsigned* port) {
  std::string s = Trimmed(url);
  unsigned defaultPort = 80;
  if (StartsWithNoCase(s.c_str(), "https:")) {
    s.erase(0, 6);
    defaultPort = 443;
  } else if (StartsWithNoCase(s.c_str(), "http:")) {
    s.erase(0, 5);
  }
  size_t start = 0;
  while (start < s.size() && (s[start] == '/' || s[start] == ' ')) ++start;
  s.erase(0, start);
  s.erase(std::min(s.size(), s.find_first_of("/?#")));
  *port = defaultPort;
  size_t colon = s.find(':');
  if (colon != std::string::npos) {
    *port = PortValue(s.substr(colon + 1));
    s.erase(colon);
    if (*port == 0) return false;
  }
  char dotted[64];
  CopyBounded(dotted, sizeof dotted, s.c_str());
  if (s.empty()) return false;
  if (!IsHostName(s.data(), s.size()) && !(s.size() < sizeof dotted && NormaliseIpAddress(dotted, sizeof dotted)))
    return false;
  *host = s;
  return true;
}

OperatorSettings FillOperatorSettings(const OperatorEntry& row) {
  OperatorSettings s;
  s.apn = row.apn;
  s.login = row.login;
  s.password = row.password;
  s.mmsUrl = row.mmsUrl;
  std::string proxy = Trimmed(row.wapGateway);
  unsigned port = PortValue(row.wapGatewayPort);
  char dotted[64];
  CopyBounded(dotted, sizeof dotted, proxy.c_str());
  bool isDotted = !proxy.empty() && proxy.size() < sizeof dotted && NormaliseIpAddress(dotted, sizeof dotted);
  if (isDotted) {
    bool usual = port == 0 || port == 9201 || port == 8080 || port == 80;
    s.wapGateway = usual ? proxy : "http://" + proxy + ":" + std::to_string(port);
  } else if (IsHostName(proxy.data(), proxy.size())) {
    s.wapGateway = "http://" + proxy + (port ? ":" + std::to_string(port) : "");
  } else {
    // No proxy (or a column holding something else): the gateway talks to
    // the MMS server itself, so that is the first hop to prove.
    std::string host;
    unsigned serverPort = 0;
    if (MmsServerHostPort(row.mmsUrl, &host, &serverPort)) {
      s.wapGateway = "http://" + host + ":" + std::to_string(serverPort);
      s.gatewayIsServer = true;
    }
  }
  return s;
}

std::vector<std::string> OperatorLabels(const std::vector<OperatorEntry>& rows, const std::vector<size_t>& shown,
                                        bool withCountry) {
  // Each row's candidate details, most telling first; a detail is added to a
  // label only while another shown row shares everything so far.
  auto detail = [&](size_t row, int level) -> std::string {
    const OperatorEntry& e = rows[row];
    std::string host;
    unsigned port = 0;
    switch (level) {
      case 0: return withCountry ? e.country : std::string();
      case 1: return e.mcc + " " + e.mnc;
      case 2: return e.apn;
      case 3: return MmsServerHostPort(e.mmsUrl, &host, &port) ? host : e.mmsUrl;
    }
    return std::string();
  };
  const int kLevels = 4;
  std::vector<std::string> keys(shown.size());
  std::vector<std::vector<std::string>> parts(shown.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    keys[i] = rows[shown[i]].name;
    if (withCountry) parts[i].push_back(detail(shown[i], 0));
  }
  for (int level = 0; level <= kLevels; ++level) {
    // Rows whose label so far is shared with another row.
    std::vector<size_t> order(shown.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::vector<std::string> current(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
      current[i] = keys[i];
      for (const std::string& p : parts[i]) current[i] += "\n" + p;
    }
    std::unordered_map<std::string, unsigned> counts;
    for (const std::string& c : current) ++counts[c];
    bool clash = false;
    std::unordered_map<std::string, unsigned> running;
    for (size_t i = 0; i < shown.size(); ++i) {
      if (counts[current[i]] < 2) continue;
      clash = true;
      if (level == 0) continue;  // the country was already there when asked for
      if (level < kLevels) {
        std::string d = detail(shown[i], level);
        if (!d.empty()) parts[i].push_back(d);
      } else {
        parts[i].push_back("#" + std::to_string(++running[current[i]]));
      }
    }
    if (!clash) break;
  }
  std::vector<std::string> labels(shown.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    labels[i] = keys[i];
    if (parts[i].empty()) continue;
    labels[i] += " (";
    for (size_t k = 0; k < parts[i].size(); ++k) labels[i] += (k ? ", " : "") + parts[i][k];
    labels[i] += ")";
  }
  return labels;
}
