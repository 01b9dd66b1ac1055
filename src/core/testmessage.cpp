#include "core/testmessage.h"

#include <cstdio>
#include <cstring>

#include "core/textrules.h"

bool IsTestPhoneNumber(const char* text) {
  if (*text == '+') ++text;
  if (!*text) return false;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

void TestIdentifier(uint32_t tick, char* out, size_t outSize) {
  snprintf(out, outSize, "TEST%04X", static_cast<unsigned>(tick & 0xFFFF));
}

size_t TakeLogLine(char* buffer, size_t n, size_t bufferSize) {
  size_t end = n, consumed = n;
  bool ended = false;
  for (size_t i = 0; i < n; ++i) {
    if (buffer[i] == '\r') {
      if (i + 1 < n && buffer[i + 1] == '\r') {
        buffer[i] = ' ';  // CR CR: the first one is a blank, the scan goes on
        continue;
      }
      end = i;
      consumed = i + 1 < n && buffer[i + 1] == '\n' ? i + 2 : i + 1;
      ended = true;
      break;
    }
    if (buffer[i] == '\n') {
      end = i;
      consumed = i + 1;
      ended = true;
      break;
    }
  }
  if (!ended && n + 1 >= bufferSize) {
    // A full chunk without a line end: cut after the last blank, so that the
    // rest is read again with what follows it.
    for (size_t i = n; i-- > 0;) {
      if (buffer[i] == ' ') {
        end = consumed = i + 1;
        break;
      }
    }
  }
  buffer[end] = '\0';
  size_t skip = 0;
  while (buffer[skip] == 26) ++skip;
  if (skip) memmove(buffer, buffer + skip, end - skip + 1);
  return consumed;
}

namespace {

// Start of field `index` (1-based) and its length up to the next comma; false
// when the line has fewer fields.
bool Field(const char* line, int index, const char** start, size_t* length) {
  const char* p = line;
  for (int i = 1; i < index; ++i) {
    p = strchr(p, ',');
    if (!p) return false;
    ++p;
  }
  const char* comma = strchr(p, ',');
  *start = p;
  *length = comma ? size_t(comma - p) : strlen(p);
  return true;
}

bool NamesTest(const char* field, size_t length, const char* id) {
  size_t idLength = strlen(id);
  if (length < idLength) return false;
  char head[16];
  if (idLength >= sizeof head) return false;
  memcpy(head, field, idLength);
  head[idLength] = '\0';
  return CompareNoCase(head, id) == 0;
}

}  // namespace

void ExamineLogLine(const char* line, const char* id, TestKind kind, LogVerdict* verdict) {
  const int nameField = kind == TestKind::Sms ? 2 : 7;
  const int resultField = kind == TestKind::Sms ? 5 : 6;
  const char *name, *result;
  size_t nameLength, resultLength;
  if (!Field(line, nameField, &name, &nameLength) || !Field(line, resultField, &result, &resultLength)) return;
  if (!NamesTest(name, nameLength, id)) return;
  verdict->found = true;
  verdict->ok = resultLength >= 2 && (result[0] == 'O' || result[0] == 'o') && (result[1] == 'K' || result[1] == 'k');
  verdict->detail[0] = '\0';
  if (verdict->ok) return;
  // SMS: the result field; MMS: the result and the message's name with the comma between.
  size_t length = kind == TestKind::Sms ? resultLength : size_t(name + nameLength - result);
  if (length >= sizeof verdict->detail) length = sizeof verdict->detail - 1;
  memcpy(verdict->detail, result, length);
  verdict->detail[length] = '\0';
}

void WebInterfaceUrl(const char* webPort, const char* ipAddress, char* out, size_t outSize) {
  unsigned port = DecimalValue(webPort);
  if (port == 0) port = 8800;
  snprintf(out, outSize, "http://%s:%u/", *ipAddress ? ipAddress : "127.0.0.1", port);
}
