#include "core/atreply.h"

#include <cstring>

#include "core/textrules.h"

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool HasOk(const char* text) { return std::strstr(text, "\nOK") || std::strstr(text, "\rOK"); }

bool HasFinalResult(const char* text) { return HasOk(text) || std::strstr(text, "ERROR"); }

bool ContainsNoCase(const char* text, const char* word) {
  if (!*word) return true;
  for (const char* p = text; *p; ++p) {
    size_t i = 0;
    while (word[i] && p[i] && AsciiUpper(p[i]) == AsciiUpper(word[i])) ++i;
    if (!word[i]) return true;
  }
  return false;
}

bool CfunTakesResetParameter(const char* answer) {
  const char* p = std::strstr(answer, "+CFUN:");
  if (!p) return false;
  p = SkipBlanks(p + 6);
  if (*p != '(') return false;
  p = std::strchr(p, ')');
  if (!p) return false;
  p = SkipBlanks(p + 1);
  return *p == ',';
}

bool CfunReportsRadioOff(const char* answer) {
  const char* p = std::strstr(answer, "+CFUN:");
  if (!p) return false;
  p = SkipBlanks(p + 6);
  return *p != '1';
}

CopsReply ReadCopsReply(const char* answer) {
  const char* p = std::strstr(answer, "+COPS:");
  if (!p) return CopsReply::kNoReport;
  p = SkipBlanks(p + 6);
  while (IsDigit(*p)) ++p;
  p = SkipBlanks(p);
  return *p == ',' ? CopsReply::kOperator : CopsReply::kNoOperator;
}

void BuildAnswerMessage(char* out, size_t size, const char* prefix, const char* answer) {
  if (!size) return;
  CopyBounded(out, size, prefix);
  BoundedAppend(out, size, answer);
}

bool IsDirectPortName(const char* name) {
  if (!StartsWithNoCase(name, "COM")) return false;
  const char* p = name + 3;
  while (IsDigit(*p)) ++p;
  return p[0] == ':' && p[1] == '\0';
}

void ResetPortName(const char* name, char* out, size_t size) {
  if (!size) return;
  CopyBounded(out, size < 100 ? size : 100, name);
  size_t n = std::strlen(out);
  if (StartsWithNoCase(out, "COM") && (n == 0 || out[n - 1] != ':')) BoundedAppend(out, size, ":");
}

void DevicePortPath(const char* name, char* out, size_t size) {
  if (!size) return;
  CopyBounded(out, size, "\\\\.\\");
  size_t used = std::strlen(out);
  size_t n = std::strlen(name);
  if (n) --n;
  if (used + n >= size) n = size - used - 1;
  std::memcpy(out + used, name, n);
  out[used + n] = '\0';
}
