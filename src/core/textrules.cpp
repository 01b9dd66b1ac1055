#include "core/textrules.h"

#include <cstdlib>
#include <cstring>

namespace {

UpperTable MakeCp1252Upper() {
  UpperTable t;
  for (int i = 0; i < 256; ++i) t.map[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) t.map[c] = static_cast<unsigned char>(c - 32);
  // Latin-1 letters: à..þ except ÷ map 0x20 down.
  for (int c = 0xE0; c <= 0xFE; ++c)
    if (c != 0xF7) t.map[c] = static_cast<unsigned char>(c - 0x20);
  t.map[0x9A] = 0x8A;  // š Š
  t.map[0x9C] = 0x8C;  // œ Œ
  t.map[0x9E] = 0x8E;  // ž Ž
  t.map[0xFF] = 0x9F;  // ÿ Ÿ
  return t;
}

inline unsigned char Up(const UpperTable* t, char c) { return t->map[static_cast<unsigned char>(c)]; }

}  // namespace

const UpperTable& Cp1252Upper() {
  static const UpperTable table = MakeCp1252Upper();
  return table;
}

bool IsYesValue(const char* text) {
  if (!text || !*text) return false;
  if (text[0] == 'Y' || text[0] == 'y' || text[0] == '1') return true;
  return CompareNoCase(text, "TRUE") == 0;
}

const char* FindCommandSwitch(const char* text, const char* sw, const UpperTable* upper) {
  if (!text || !sw || !*sw) return nullptr;
  if (!upper) upper = &Cp1252Upper();
  for (const char* p = text; *p; ++p) {
    size_t i = 0;
    while (sw[i] && p[i] && Up(upper, p[i]) == Up(upper, sw[i])) ++i;
    if (!sw[i]) return p;
  }
  return nullptr;
}

int CompareNoCase(const char* a, const char* b, const UpperTable* upper) {
  if (!upper) upper = &Cp1252Upper();
  for (;; ++a, ++b) {
    int ca = Up(upper, *a), cb = Up(upper, *b);
    if (ca != cb || !ca) return ca - cb;
  }
}

bool StartsWithNoCase(const char* text, const char* prefix, const UpperTable* upper) {
  if (!upper) upper = &Cp1252Upper();
  for (; *prefix; ++text, ++prefix)
    if (Up(upper, *text) != Up(upper, *prefix)) return false;
  return true;
}

const char* SkipBlanks(const char* p) {
  while (*p == ' ') ++p;
  return p;
}
char* SkipBlanks(char* p) { return const_cast<char*>(SkipBlanks(static_cast<const char*>(p))); }

const char* SkipWhite(const char* p) {
  while (*p && static_cast<unsigned char>(*p) <= 32) ++p;
  return p;
}
char* SkipWhite(char* p) { return const_cast<char*>(SkipWhite(static_cast<const char*>(p))); }

void TrimRight(char* text) {
  size_t n = std::strlen(text);
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= 32) text[--n] = '\0';
}

void SplitNameAndNumber(const char* text, char* name, size_t nameSize, unsigned* number) {
  if (!nameSize) return;
  CopyBounded(name, nameSize, text);
  const char* colon = std::strchr(text, ':');
  if (!colon) return;
  size_t at = static_cast<size_t>(colon - text);
  if (at < nameSize) name[at] = '\0';
  if (number) *number = DecimalValue(colon + 1);
}

void BoundedAppend(char* buf, size_t size, const char* text) {
  if (!size) return;
  size_t used = strnlen(buf, size);
  if (used + 1 >= size) return;
  size_t room = size - used - 1;
  size_t n = std::strlen(text);
  if (n > room) n = room;
  std::memcpy(buf + used, text, n);
  buf[used + n] = '\0';
}

void CopyBounded(char* dst, size_t size, const char* src) {
  if (!size) return;
  size_t n = strnlen(src, size - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

unsigned DecimalValue(const char* text) {
  // strtol saturates where atoi is undefined; the value is then shown with "%u".
  return static_cast<unsigned>(std::strtol(text, nullptr, 10));
}

std::string EscapeLineBreaks(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p == '\r') out += "\\r";
    else if (*p == '\n') out += "\\n";
    else out += *p;
  }
  return out;
}

void UnescapeLineBreaks(char* text) {
  static const char kPairs[2][2] = {{'r', '\r'}, {'n', '\n'}};
  for (const auto& pair : kPairs) {
    char* o = text;
    for (const char* p = text; *p; ++p) {
      if (p[0] == '\\' && p[1] == pair[0]) {
        *o++ = pair[1];
        ++p;
      } else {
        *o++ = *p;
      }
    }
    *o = '\0';
  }
}
