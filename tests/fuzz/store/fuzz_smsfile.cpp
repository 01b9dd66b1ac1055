// Request and received-message files come from the gateway and its submitters.
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/smsfile.h"

namespace {
void Check(const char* text, size_t size) {
  if (strnlen(text, size) >= size) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reader terminates the file's bytes; the copy is exactly that long.
  std::unique_ptr<char[]> text(new char[size + 1]);
  memcpy(text.get(), data, size);
  text[size] = '\0';
  static SmsFileInfo info;
  ParseSmsText(text.get(), &info);
  Check(info.PhoneNumber, sizeof info.PhoneNumber);
  Check(info.Sender, sizeof info.Sender);
  Check(info.Data, sizeof info.Data);
  Check(info.udh, sizeof info.udh);
  Check(info.SubmittedBy, sizeof info.SubmittedBy);
  Check(info.SubmitUser, sizeof info.SubmitUser);
  Check(info.ServiceType, sizeof info.ServiceType);
  Check(info.RouteToLocalUser, sizeof info.RouteToLocalUser);
  Check(info.SMPPOptions, sizeof info.SMPPOptions);
  Check(info.SMSCRoute, sizeof info.SMSCRoute);
  Check(info.Validity, sizeof info.Validity);
  Check(info.BillingInfo, sizeof info.BillingInfo);
  Check(info.LastErrorInfo, sizeof info.LastErrorInfo);
  Check(info.ModemName, sizeof info.ModemName);
  Check(info.ReceiptMessageId, sizeof info.ReceiptMessageId);
  if (info.ReceiptFlags & ~0x7Fu) __builtin_trap();
  return 0;
}
