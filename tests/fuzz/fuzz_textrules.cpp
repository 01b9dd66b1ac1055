// Command lines and "host:port" texts come from outside the program.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/textrules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string all(reinterpret_cast<const char*>(data), size);
  size_t cut = all.find('\n');
  std::string text = all.substr(0, cut);
  std::string sw = cut == std::string::npos ? "-Q" : all.substr(cut + 1);
  text = text.c_str();  // stop at an embedded terminator, as a C string would
  sw = sw.c_str();
  const char* hit = FindCommandSwitch(text.c_str(), sw.c_str());
  if (hit && (hit < text.c_str() || hit >= text.c_str() + text.size())) __builtin_trap();
  (void)IsYesValue(text.c_str());

  char name[64];
  unsigned number = 0;
  SplitNameAndNumber(text.c_str(), name, sizeof name, &number);
  if (std::strlen(name) >= sizeof name) __builtin_trap();

  char buf[32] = "";
  BoundedAppend(buf, sizeof buf, text.c_str());
  BoundedAppend(buf, sizeof buf, sw.c_str());
  if (std::strlen(buf) >= sizeof buf) __builtin_trap();

  std::string t = text;
  TrimRight(&t[0]);
  (void)SkipWhite(text.c_str());
  (void)DecimalValue(text.c_str());
  return 0;
}
