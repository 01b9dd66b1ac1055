// A settings section as the profile functions return it, looked up as the
// Status page looks up its modems and a key.
#include <cstdint>
#include <string>
#include <vector>

#include "core/profilesection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> bytes(data, data + size);
  std::vector<std::string> names = ConfiguredModemNames(bytes.data(), bytes.size(), 40);
  for (const std::string& n : names)
    if (n.empty() || n.size() > 40) __builtin_trap();
  std::string value;
  SectionValue(bytes.data(), bytes.size(), "AlertEMailQueueSize", &value);
  return 0;
}
