// Command table entries come from SMSGW.INI, MM7 server addresses and
// schema names from the receiver account's VASP.INI: outside input.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/commandtable.h"
#include "core/mm7settings.h"

namespace {
bool NoFile(const char*) { return false; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // a C string ends at its terminator

  char entry[kCommandEntrySize];
  CopyBounded(entry, sizeof entry, text.c_str());
  size_t length = std::strlen(entry);
  RepairCommandEntry(entry);
  if (std::strlen(entry) != length) __builtin_trap();
  char prefix[kCommandPrefixSize];
  CommandPrefix(entry, prefix);
  if (!*prefix || std::strlen(prefix) >= sizeof prefix) __builtin_trap();
  std::string command = CommandField(entry, 1);
  char program[kCommandProgramSize];
  (void)CheckCommand(command.c_str(), size % 2 == 0, NoFile, program, sizeof program);
  if (std::strlen(program) >= sizeof program) __builtin_trap();
  char built[kCommandEntrySize];
  BuildCommandEntry(prefix, text.c_str(), size % 3 == 0, built, sizeof built);
  std::string whole = built;
  size_t tab = whole.rfind('\t');
  if (tab == std::string::npos || (whole.substr(tab) != "\tYes" && whole.substr(tab) != "\tNo")) __builtin_trap();

  Mm7ServerAddress address = ParseMm7ServerAddress(text.c_str());
  if (address.host.find('/') != std::string::npos) __builtin_trap();
  (void)Mm7SchemaRelease(text.c_str());
  char host[250];
  CopyBounded(host, sizeof host, text.c_str());
  CutHostNumberSuffix(host);
  return 0;
}
