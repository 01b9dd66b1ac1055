#include "core/mmsstore.h"

#include <cstdint>
#include <cstdio>

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool SafeNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
         c == '-' || c == '+' || c == '(' || c == ')';
}

const char* ExtensionFor(const std::string& media) {
  static const struct {
    const char* media;
    const char* ext;
  } kKnown[] = {{"text/plain", ".txt"},     {"application/smil", ".smil"}, {"image/gif", ".gif"},
                {"image/jpeg", ".jpg"},     {"image/jpg", ".jpg"},         {"image/png", ".png"},
                {"image/bmp", ".bmp"},      {"image/vnd.wap.wbmp", ".wbmp"}, {"audio/amr", ".amr"},
                {"audio/mpeg", ".mp3"},     {"audio/midi", ".mid"},        {"video/3gpp", ".3gp"},
                {"video/mp4", ".mp4"},      {"text/x-vcard", ".vcf"},      {"text/x-vcalendar", ".vcs"},
                {"text/html", ".html"},     {"text/xml", ".xml"}};
  std::string m = Lower(media);
  for (const auto& k : kKnown)
    if (m == k.media) return k.ext;
  return "";
}

bool IsDeviceName(const std::string& name) {
  std::string base = Lower(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "clock$", "conin$", "conout$"};
  for (const char* d : kDevices)
    if (base == d) return true;
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) && base[3] >= '0' &&
         base[3] <= '9';
}

bool Taken(const std::string& name, const std::vector<std::string>& taken) {
  std::string l = Lower(name);
  for (const std::string& t : taken)
    if (Lower(t) == l) return true;
  return false;
}

// Code point from UTF-8 at s[i], advancing i; invalid bytes give U+FFFD.
uint32_t NextCodePoint(const std::string& s, size_t* i) {
  unsigned char c = static_cast<unsigned char>(s[(*i)++]);
  int more = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (c >= 0x80 && more == 0) return 0xFFFD;
  uint32_t cp = more == 3 ? c & 0x07 : more == 2 ? c & 0x0F : more == 1 ? c & 0x1F : c;
  for (int k = 0; k < more; ++k) {
    if (*i >= s.size() || (static_cast<unsigned char>(s[*i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(s[(*i)++]) & 0x3F);
  }
  return cp;
}

// Windows-1252 for the code points its 0x80..0x9F range holds.
int Cp1252Byte(uint32_t cp) {
  static const uint16_t kHigh[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                     0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                     0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
  for (int k = 0; k < 32; ++k)
    if (kHigh[k] && kHigh[k] == cp) return 0x80 + k;
  return -1;
}

std::string OneField(const std::string& text) {
  std::string out = AnsiLineText(text, 1000);
  for (char& c : out)
    if (c == ',') c = ' ';
  return out;
}

// "Tue, 01 May 2012 10:00:00 +0000" for seconds since 1970 (UTC).
std::string Rfc822Date(uint64_t seconds) {
  static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int64_t days = int64_t(seconds / 86400);
  unsigned rest = unsigned(seconds % 86400);
  // Civil date from a day count (Howard Hinnant's algorithm).
  int64_t z = days + 719468;
  int64_t era = z / 146097;
  unsigned doe = unsigned(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t year = int64_t(yoe) + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  unsigned day = doy - (153 * mp + 2) / 5 + 1;
  unsigned month = mp < 10 ? mp + 3 : mp - 9;
  if (month <= 2) ++year;
  char text[64];
  snprintf(text, sizeof text, "%s, %02u %s %lld %02u:%02u:%02u +0000", kDays[days % 7], day, kMonths[month - 1],
           static_cast<long long>(year), rest / 3600, rest / 60 % 60, rest % 60);
  return text;
}

}  // namespace

std::string SafePartFileName(const std::string& proposed, const std::string& media, size_t index,
                             const std::vector<std::string>& taken) {
  std::string name = proposed;
  size_t cut = name.find_first_of("?#");  // a URL's query is no part of a file name
  if (cut != std::string::npos) name.erase(cut);
  size_t slash = name.find_last_of("/\\:");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  // Windows drops trailing dots and blanks; leading dots would hide the file or climb.
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  size_t lead = name.find_first_not_of('.');
  name.erase(0, lead == std::string::npos ? name.size() : lead);
  for (char& c : name)
    if (!SafeNameChar(c)) c = '_';
  if (name.find_first_not_of("_") == std::string::npos) name.clear();
  if (name.empty()) name = "part" + std::to_string(index);
  if (name.find('.') == std::string::npos) name += ExtensionFor(media);
  if (IsDeviceName(name)) name = "_" + name;

  size_t dot = name.rfind('.');
  std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  std::string ext = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
  if (ext.size() > 16) ext = ext.substr(0, 16);
  const size_t kMax = 64;
  if (stem.size() + ext.size() > kMax) stem.resize(kMax - ext.size());
  name = stem + ext;
  for (unsigned n = 2; Taken(name, taken); ++n) {
    std::string suffix = "-" + std::to_string(n);
    std::string s = stem.size() + suffix.size() + ext.size() > kMax ? stem.substr(0, kMax - suffix.size() - ext.size())
                                                                      : stem;
    name = s + suffix + ext;
  }
  return name;
}

std::string AnsiLineText(const std::string& utf8, size_t limit) {
  std::string out;
  for (size_t i = 0; i < utf8.size() && out.size() < limit;) {
    uint32_t cp = NextCodePoint(utf8, &i);
    if (cp < 32 || cp == 127 || (cp >= 0x80 && cp < 0xA0)) {
      out.push_back(' ');
      continue;
    }
    int b = Cp1252Byte(cp);
    out.push_back(b < 0 ? '?' : char(b));
  }
  return out;
}

std::string MmsHeaderFileText(const mms::RetrieveConf& m, const std::vector<StoredPart>& parts) {
  std::string t;
  auto line = [&t](const char* name, const std::string& value) {
    t += name;
    t += ' ';
    t += AnsiLineText(value);
    t += "\r\n";
  };
  auto list = [](const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& a : v) s += (s.empty() ? "" : ", ") + a;
    return s;
  };
  line("From:", m.from);
  line("To:", list(m.to));
  if (!m.cc.empty()) line("Cc:", list(m.cc));
  line("Subject:", m.subject);
  if (m.date) line("Date:", Rfc822Date(m.date));
  if (!m.messageId.empty()) line("Message-ID:", m.messageId);
  line("Content-Type:", m.type.media);
  for (const StoredPart& p : parts) {
    std::string media = AnsiLineText(p.media, 149);
    for (char& c : media)
      if (c == ';') c = ' ';
    line("X-ZarqMMS-Content-Location:", p.relativePath + ";" + media);
  }
  return t;
}

std::string MmscLogLine(const MmscLogEntry& e) {
  std::string l;
  for (const std::string* f : {&e.time, &e.direction, &e.route, &e.from, &e.to, &e.result, &e.fileName, &e.messageId}) {
    if (!l.empty()) l += ',';
    l += OneField(*f);
  }
  return l + "\r\n";
}

QueuedRecipient ParseQueuedRecipient(const std::string& value) {
  QueuedRecipient r;
  std::string lower = Lower(value);
  size_t at = lower.find("/type=vasp:");
  if (at != std::string::npos) {
    r.route = value.substr(at + 11);
    size_t end = r.route.find_first_of("/ \t");
    if (end != std::string::npos) r.route.erase(end);
  }
  r.address = mms::MmsAddress(value);
  return r;
}
