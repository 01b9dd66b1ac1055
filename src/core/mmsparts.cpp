#include "core/mmsparts.h"

#include <cstring>

#include "core/textrules.h"

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// True when `text` holds `word` (ASCII letters compared in any case).
bool ContainsNoCase(const char* text, const char* word) {
  size_t n = std::strlen(word);
  for (const char* p = text; *p; ++p) {
    size_t i = 0;
    while (i < n && p[i] && FoldAscii(p[i]) == FoldAscii(word[i])) ++i;
    if (i == n) return true;
  }
  return false;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

void MmsPartEntryText(const MmsPartLocation& part, char* out, size_t size) {
  if (!size) return;
  const char* slash = std::strrchr(part.Path, '\\');
  CopyBounded(out, size, slash ? slash + 1 : part.Path);
  if (part.ContentType[0]) {
    BoundedAppend(out, size, " (");
    BoundedAppend(out, size, part.ContentType);
    BoundedAppend(out, size, ")");
  }
  BoundedAppend(out, size, "\t");
  BoundedAppend(out, size, part.Path);
}

const char* MmsPartEntryPath(const char* entry) {
  const char* tab = entry ? std::strchr(entry, '\t') : nullptr;
  return tab ? tab + 1 : nullptr;
}

bool MmsPartOpensInNotepad(const char* entry, const char* storedPath) {
  if (ContainsNoCase(entry, "application/smil")) return true;
  return !std::strchr(storedPath, '.') && ContainsNoCase(entry, "text/");
}

bool IsContainedPartPath(const char* storedPath) {
  if (!storedPath || !*storedPath || IsSeparator(storedPath[0])) return false;
  for (const char* p = storedPath; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 32 || c == ':' || c == '"') return false;
  }
  // Every component: one made only of dots and blanks climbs out (or is
  // read as "..") unless it is the single "." of the directory itself.
  const char* start = storedPath;
  for (;;) {
    const char* end = start;
    while (*end && !IsSeparator(*end)) ++end;
    size_t n = size_t(end - start);
    bool onlyDots = n > 0;  // dots and blanks only
    for (const char* q = start; q < end; ++q)
      if (*q != '.' && *q != ' ') onlyDots = false;
    if (onlyDots && !(n == 1 && *start == '.')) return false;
    if (!*end) return true;
    start = end + 1;
  }
}

void WithCrLfLineBreaks(const char* text, char* out, size_t size) {
  if (!size) return;
  size_t n = 0;
  for (const char* p = text; *p; ++p) {
    bool lineBreak = *p == '\r' || *p == '\n';
    if (n + (lineBreak ? 2 : 1) >= size) break;
    if (!lineBreak) {
      out[n++] = *p;
      continue;
    }
    if (*p == '\r' && p[1] == '\n') ++p;
    out[n++] = '\r';
    out[n++] = '\n';
  }
  out[n] = '\0';
}
