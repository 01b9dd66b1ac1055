// What the modem answers, and what a request file holds, read by the gateway.
#include <cstdint>
#include <string>

#include "core/smsfile.h"
#include "smsgateway.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  smsgw::NewMessageIndexes(text);
  for (const smsgw::ListedMessage& m : smsgw::ParseMessageList(text))
    if (m.pduHex.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  unsigned mr;
  smsgw::ParseSubmitReference(text, &mr);
  std::string number;
  smsgw::ParseOwnNumber(text, &number);
  smsgw::ErrorLine(text);
  // A request's retry state, written and read back.
  smsgw::RetryState s;
  s.retryCount = 2;
  s.lastErrorInfo = text.substr(0, 300);
  std::string rewritten = smsgw::WithRetryState(text, s);
  static SmsFileInfo info;
  ParseSmsText(rewritten.c_str(), &info);
  if (rewritten.find('\0') == std::string::npos && info.RetryCount != 2) __builtin_trap();
  smsgw::ReadExtraRetryState(rewritten, &s);
  smsgw::IsMarkedSent(text);
  smsgw::SentResult(text);
  smspdu::Outgoing m;
  std::string error;
  static SmsFileInfo request;
  ParseSmsText(std::string(text.c_str()).c_str(), &request);
  smsgw::PrepareRequest(request, u"x", false, &m, &error);
  return 0;
}
