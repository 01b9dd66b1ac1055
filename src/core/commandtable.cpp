#include "core/commandtable.h"

#include <cstring>

namespace {

size_t CountTabs(const char* text) {
  size_t n = 0;
  for (; *text; ++text)
    if (*text == '\t') ++n;
  return n;
}

bool TurnLastBlankIntoTab(char* entry) {
  char* blank = std::strrchr(entry, ' ');
  if (!blank) return false;
  *blank = '\t';
  return true;
}

}  // namespace

void RepairCommandEntry(char* entry) {
  while (CountTabs(entry) < 2 && TurnLastBlankIntoTab(entry)) {
  }
}

std::string CommandField(const char* entry, int field) {
  const char* start = entry;
  for (int i = 0; i < field; ++i) {
    start = std::strchr(start, '\t');
    if (!start) return std::string();
    ++start;
  }
  const char* end = std::strchr(start, '\t');
  return end ? std::string(start, end) : std::string(start);
}

void CommandPrefix(const char* entry, char* prefix, size_t size) {
  size_t n = std::strcspn(entry, "\t");
  if (n > kCommandPrefixSize - 1) n = kCommandPrefixSize - 1;
  if (n > size - 1) n = size - 1;
  std::memcpy(prefix, entry, n);
  prefix[n] = '\0';
  if (!n) CopyBounded(prefix, size, "*");
}

CommandProblem CheckCommand(const char* command, bool returnsResponse, bool (*programExists)(const char* path),
                            char* program, size_t programSize, const UpperTable* upper) {
  if (programSize) *program = '\0';
  if (!*command) return CommandProblem::Empty;
  if (StartsWithNoCase(command, "mailto:", upper)) return CommandProblem::MailTo;
  if (!returnsResponse && !FindCommandSwitch(command, "@@SENDER@@", upper) &&
      !FindCommandSwitch(command, "@@SMS@@", upper) && !FindCommandSwitch(command, "@@FULLSMS@@", upper))
    return CommandProblem::NoReplacementString;
  if (StartsWithNoCase(command, "http://", upper) || StartsWithNoCase(command, "https://", upper))
    return CommandProblem::None;

  // "C:\Program Files\x.exe" args, or a path up to the first blank.
  const char* text = command;
  if (text[0] == '"' && !std::strchr(text + 1, '"')) ++text;
  std::string name;
  if (text[0] == '"')
    name.assign(text + 1, static_cast<size_t>(std::strchr(text + 1, '"') - (text + 1)));
  else
    name.assign(text, std::strcspn(text, " "));
  CopyBounded(program, programSize, name.c_str());
  if (programExists(program)) return CommandProblem::None;
  const char* slash = std::strrchr(program, '\\');
  if (!std::strchr(slash ? slash + 1 : program, '.')) {
    // The name as the system would run it; only for this test, never stored.
    BoundedAppend(program, programSize, ".EXE");
    if (programExists(program)) return CommandProblem::None;
  }
  return CommandProblem::ProgramMissing;
}

void BuildCommandEntry(const char* prefix, const char* command, bool returnsResponse, char* entry, size_t size) {
  if (!size) return;
  const char* flag = returnsResponse ? "Yes" : "No";
  if (!*prefix) prefix = "*";
  // Two tabs, the flag and the terminator always fit; the prefix and command share the rest.
  size_t fixed = 2 + std::strlen(flag) + 1;
  size_t room = size > fixed ? size - fixed : 0;
  size_t prefixLength = std::strlen(prefix);
  if (prefixLength > room) prefixLength = room;
  size_t commandLength = std::strlen(command);
  if (commandLength > room - prefixLength) commandLength = room - prefixLength;
  std::string built(prefix, prefixLength);
  built += '\t';
  built.append(command, commandLength);
  built += '\t';
  built += flag;
  CopyBounded(entry, size, built.c_str());
}
