#include "core/smsfile.h"

#include <cstdio>
#include <cstring>

#include "core/textrules.h"
#include "core/msgtext.h"

namespace {

inline bool IsWhite(char c) { return c != '\0' && static_cast<unsigned char>(c) <= 32; }
inline bool IsLineEnd(char c) { return c == '\0' || c == '\r' || c == '\n'; }

// The line walk of the message files: a line runs to CR, LF or the end; the
// characters with codes 1 to 32 before and between lines are skipped, so blank
// lines and indentation vanish.
struct LineWalk {
  const char* next;
  explicit LineWalk(const char* text) : next(text) {
    while (IsWhite(*next)) ++next;
  }
  bool Take(const char** begin, const char** end) {
    if (!*next) return false;
    const char* p = next;
    while (!IsLineEnd(*p)) ++p;
    *begin = next;
    *end = p;
    while (IsWhite(*p)) ++p;
    next = p;
    return true;
  }
};

void CopyValue(char* dst, size_t size, const char* begin, const char* end) {
  size_t n = size_t(end - begin);
  if (n > size - 1) n = size - 1;
  std::memcpy(dst, begin, n);
  dst[n] = '\0';
}

// Enough of a value for the yes test: "TRUE" plus more characters stays "not TRUE".
bool YesValue(const char* begin, const char* end) {
  char v[8];
  CopyValue(v, sizeof v, begin, end);
  return IsYesValue(v);
}

enum class Kind { Text, Data, HexByte, Yes, Long, Flags, Time };

struct Key {
  const char* name;  // with its "="
  Kind kind;
  size_t offset;
  size_t size;      // text capacity
  uint32_t bits;    // receipt flags
  bool errorDetail;  // also read in "[ErrorDetail]"
};

#define TEXT_KEY(k, f) {k, Kind::Text, offsetof(SmsFileInfo, f), sizeof(SmsFileInfo::f), 0, false}

const Key kKeys[] = {
    TEXT_KEY("PhoneNumber=", PhoneNumber),
    TEXT_KEY("Sender=", Sender),
    {"Data=", Kind::Data, offsetof(SmsFileInfo, Data), sizeof(SmsFileInfo::Data), 0, false},
    TEXT_KEY("udh=", udh),
    TEXT_KEY("SubmittedBy=", SubmittedBy),
    TEXT_KEY("SubmitUser=", SubmitUser),
    TEXT_KEY("ServiceType=", ServiceType),
    TEXT_KEY("RouteToLocalUser=", RouteToLocalUser),
    TEXT_KEY("SMPPOptions=", SMPPOptions),
    TEXT_KEY("SMSCRoute=", SMSCRoute),
    TEXT_KEY("Validity=", Validity),
    TEXT_KEY("BillingInfo=", BillingInfo),
    {"LastErrorInfo=", Kind::Text, offsetof(SmsFileInfo, LastErrorInfo), sizeof(SmsFileInfo::LastErrorInfo), 0, true},
    TEXT_KEY("ModemName=", ModemName),
    {"pid=", Kind::HexByte, offsetof(SmsFileInfo, pid), 0, 0, false},
    {"dcs=", Kind::HexByte, offsetof(SmsFileInfo, dcs), 0, 0, false},
    {"binary=", Kind::Yes, offsetof(SmsFileInfo, binary), 0, 0, false},
    {"RetryCount=", Kind::Long, offsetof(SmsFileInfo, RetryCount), 0, 0, true},
    {"ReplyRequested=", Kind::Flags, 0, 0, kReplyRequested, false},
    {"ReceiptRequested=", Kind::Flags, 0, 0, kReceiptRequested, false},
    {"ReceiptDelivered=", Kind::Flags, 0, 0, kReceiptDelivered, false},
    {"ReceiptIntransit=", Kind::Flags, 0, 0, kReceiptIntransit, false},
    {"ReceiptFailed=", Kind::Flags, 0, 0, kReceiptFailed, false},
    {"NonDelReceiptRequested=", Kind::Flags, 0, 0, kNonDelReceiptRequested, false},
    {"LastRetryTime=", Kind::Time, offsetof(SmsFileInfo, LastRetryTime), 0, 0, true},
    {"FirstAttemptTime=", Kind::Time, offsetof(SmsFileInfo, FirstAttemptTime), 0, 0, true},
    TEXT_KEY("ReceiptMessageId=", ReceiptMessageId),
};

#undef TEXT_KEY

// Key name lengths, counted once.
struct KeyIndex {
  size_t len[sizeof kKeys / sizeof kKeys[0]];
  KeyIndex() {
    for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) len[i] = std::strlen(kKeys[i].name);
  }
};
const KeyIndex& Index() {
  static const KeyIndex index;
  return index;
}

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

void ApplyKey(const Key& k, const char* value, const char* end, SmsFileInfo* info) {
  char* base = reinterpret_cast<char*>(info);
  switch (k.kind) {
    case Kind::Text:
      CopyValue(base + k.offset, k.size, value, end);
      break;
    case Kind::Data:
      CopyValue(info->Data, sizeof info->Data, value, end);
      UnescapeLineBreaks(info->Data);
      break;
    case Kind::HexByte:
      // The digits stop at the line's end: CR, LF and NUL are not hexadecimal.
      *reinterpret_cast<uint8_t*>(base + k.offset) = ParseHexByte(value);
      break;
    case Kind::Yes:
      info->binary = YesValue(value, end);
      break;
    case Kind::Long:
      info->RetryCount = ParseLongValue(value, end);
      break;
    case Kind::Flags:
      if (YesValue(value, end)) info->ReceiptFlags |= k.bits;
      break;
    case Kind::Time:
      *reinterpret_cast<SmsDateTime*>(base + k.offset) = ParseCompactTime(value);
      break;
  }
}

// Reads the key lines of one section, up to the next line beginning with "[".
void ReadSection(LineWalk& walk, bool errorDetailOnly, SmsFileInfo* info) {
  const KeyIndex& index = Index();
  const char *b, *e;
  while (walk.Take(&b, &e)) {
    if (*b == '[') return;
    char first = Lower(*b);
    for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
      const Key& k = kKeys[i];
      if (errorDetailOnly && !k.errorDetail) continue;
      if (Lower(k.name[0]) != first || size_t(e - b) < index.len[i]) continue;
      if (!LineStartsWith(b, e, k.name)) continue;
      ApplyKey(k, b + index.len[i], e, info);
      break;  // no key is the beginning of another
    }
  }
}

// Positions `walk` after the first line that begins with one of the headers.
bool FindSection(LineWalk& walk, const char* h1, const char* h2) {
  const char *b, *e;
  while (walk.Take(&b, &e))
    if (LineStartsWith(b, e, h1) || (h2 && LineStartsWith(b, e, h2))) return true;
  return false;
}

inline const char* SkipWhiteIn(const char* p, const char* end) {
  while (p < end && IsWhite(*p)) ++p;
  return p;
}

inline bool IsCWhite(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

// Copies an address from [begin, end), cut at "/TYPE=" (any case).
void CopyAddress(const char* begin, const char* end, char* out, size_t size) {
  for (const char* p = begin; p + 6 <= end; ++p)
    if (LineStartsWith(p, end, "/TYPE=")) {
      end = p;
      break;
    }
  CopyValue(out, size, begin, end);
}

}  // namespace

bool LineStartsWith(const char* p, const char* end, const char* prefix) {
  for (; *prefix; ++p, ++prefix)
    if (p >= end || Lower(*p) != Lower(*prefix)) return false;
  return true;
}

void ParseSmsText(const char* text, SmsFileInfo* info) {
  std::memset(info, 0, sizeof *info);
  if (!text) return;
  LineWalk walk(text);
  if (FindSection(walk, "[SMS]", "[SMS-IN]")) ReadSection(walk, false, info);
  LineWalk again(text);
  if (FindSection(again, "[ErrorDetail]", nullptr)) ReadSection(again, true, info);
}


SmsDateTime ParseCompactTime(const char* text) {
  SmsDateTime t = {2000, 1, 0, 1, 0, 0, 0, 0};
  for (int i = 0; i < 14; ++i)
    if (text[i] < '0' || text[i] > '9') return t;  // stops at the terminator too
  auto num = [&](int at, int len) {
    unsigned v = 0;
    for (int i = 0; i < len; ++i) v = v * 10 + unsigned(text[at + i] - '0');
    return uint16_t(v);
  };
  t.year = num(0, 4);
  t.month = num(4, 2);
  t.day = num(6, 2);
  t.hour = num(8, 2);
  t.minute = num(10, 2);
  t.second = num(12, 2);
  return t;
}

int32_t ParseLongValue(const char* p, const char* end) {
  while (p < end && IsCWhite(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  int64_t v = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > int64_t(INT32_MAX) + 1) v = int64_t(INT32_MAX) + 1;  // saturates below
  }
  if (negative) return v > int64_t(INT32_MAX) ? INT32_MIN : int32_t(-v);
  return v > INT32_MAX ? INT32_MAX : int32_t(v);
}

void ParseMmsHeader(const char* text, MmsHeaderInfo* info) {
  std::memset(info, 0, sizeof *info);
  if (!text) return;
  LineWalk walk(text);
  const char *b, *e;
  while (walk.Take(&b, &e)) {
    if (LineStartsWith(b, e, "From:"))
      CopyAddress(SkipWhiteIn(b + 5, e), e, info->From, sizeof info->From);
    else if (LineStartsWith(b, e, "To:"))
      CopyAddress(SkipWhiteIn(b + 3, e), e, info->To, sizeof info->To);
    else if (LineStartsWith(b, e, "Subject:"))
      CopyValue(info->Subject, sizeof info->Subject, SkipWhiteIn(b + 8, e), e);
  }
}

bool NextMmsPartLocation(const char** cursor, MmsPartLocation* part) {
  static const char kName[] = "X-ZarqMMS-Content-Location:";
  std::memset(part, 0, sizeof *part);
  if (!cursor || !*cursor) return false;
  LineWalk walk(*cursor);
  const char *b, *e;
  while (walk.Take(&b, &e)) {
    if (!LineStartsWith(b, e, kName)) continue;
    *cursor = walk.next;
    b = SkipWhiteIn(b + sizeof kName - 1, e);
    const char* semi = static_cast<const char*>(std::memchr(b, ';', size_t(e - b)));
    CopyValue(part->Path, sizeof part->Path, b, semi ? semi : e);
    if (semi) {
      const char* type = semi + 1;
      const char* typeEnd = static_cast<const char*>(std::memchr(type, ';', size_t(e - type)));
      CopyValue(part->ContentType, sizeof part->ContentType, type, typeEnd ? typeEnd : e);
    }
    return true;
  }
  *cursor = walk.next;
  return false;
}

void MmsRecipientsText(const char* section, size_t size, char* out, size_t outSize) {
  if (!outSize) return;
  out[0] = '\0';
  if (!section) return;
  const char* p = section;
  const char* end = section + size;
  unsigned count = 0;
  while (p < end && *p) {
    const char* entryEnd = static_cast<const char*>(std::memchr(p, '\0', size_t(end - p)));
    if (!entryEnd) entryEnd = end;  // a last entry without terminator
    const char* eq = static_cast<const char*>(std::memchr(p, '=', size_t(entryEnd - p)));
    if (!eq) break;
    if (++count <= 5) {
      char address[512];
      CopyAddress(eq + 1, entryEnd, address, sizeof address);
      if (count > 1) BoundedAppend(out, outSize, ", ");
      BoundedAppend(out, outSize, address);
    }
    p = entryEnd + 1;
  }
  if (count > 5) std::snprintf(out, outSize, "%u recipients", count);
}

void RouteErrorFileName(const char* route, RouteKind kind, char* out, size_t outSize) {
  if (!outSize) return;
  out[0] = '\0';
  if (kind == RouteKind::Mmsc) BoundedAppend(out, outSize, "MMSCROUTE--");
  size_t at = std::strlen(out);
  BoundedAppend(out, outSize, route ? route : "");
  for (char* p = out + at; *p; ++p)
    if (*p == ':' || *p == '/' || *p == '\\') *p = '-';
  BoundedAppend(out, outSize, ".ERR");
}
