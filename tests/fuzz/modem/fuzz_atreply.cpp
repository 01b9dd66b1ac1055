// Whatever a modem sends reaches these readers; none may read or write
// outside its buffers, and the quoted texts stay within 499 characters.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/atreply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string answer(reinterpret_cast<const char*>(data), size);
  answer = answer.c_str();  // the channel's buffer ends at the first NUL
  const char* a = answer.c_str();
  (void)HasOk(a);
  (void)HasFinalResult(a);
  (void)ContainsNoCase(a, "READY");
  (void)CfunTakesResetParameter(a);
  (void)CfunReportsRadioOff(a);
  (void)ReadCopsReply(a);
  (void)IsDirectPortName(a);

  char message[kModemTextSize];
  BuildAnswerMessage(message, sizeof message, "Modem does not support SMS --\r\n\r\n", a);
  if (std::strlen(message) >= sizeof message) __builtin_trap();
  char port[101];
  ResetPortName(a, port, sizeof port);
  if (std::strlen(port) > 100) __builtin_trap();
  char device[64];
  DevicePortPath(a, device, sizeof device);
  if (std::strlen(device) >= sizeof device) __builtin_trap();
  return 0;
}
