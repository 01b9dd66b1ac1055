// "LastRetryTime=" and "FirstAttemptTime=" values of message files.
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/smsfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> text(new char[size + 1]);
  memcpy(text.get(), data, size);
  text[size] = '\0';
  SmsDateTime t = ParseCompactTime(text.get());
  if (t.year > 9999 || t.month > 99 || t.day > 99 || t.hour > 99 || t.minute > 99 || t.second > 99 || t.dayOfWeek ||
      t.milliseconds)
    __builtin_trap();
  return 0;
}
