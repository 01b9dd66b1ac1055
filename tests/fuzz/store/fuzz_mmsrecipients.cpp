// The "[Recipients]" section of an MMS control file, as the profile functions
// hand it over: possibly cut off without its closing empty entry.
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/smsfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> section(new char[size ? size : 1]);
  memcpy(section.get(), data, size);
  char out[64];
  MmsRecipientsText(section.get(), size, out, sizeof out);
  if (strnlen(out, sizeof out) >= sizeof out) __builtin_trap();
  return 0;
}
