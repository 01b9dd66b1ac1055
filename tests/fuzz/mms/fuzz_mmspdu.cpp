// Every MMS decoder over the same bytes; whatever decodes as a received
// message is also stored the way the MMSC stores it (names and header text).
#include <cstddef>
#include <cstdint>

#include "core/mmspdu.h"
#include "core/mmsstore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  mms::Push push;
  if (mms::DecodePush(data, size, &push, &error)) {
    mms::NotificationInd n;
    mms::DecodeNotificationInd(push.body.data(), push.body.size(), &n, &error);
  }
  mms::SendConf conf;
  mms::DecodeSendConf(data, size, &conf, &error);
  mms::SendReq req;
  if (mms::DecodeSendReq(data, size, &req, &error)) {
    mms::Bytes again;
    mms::ReaddressSendReq(data, size, "T", {"+1/TYPE=PLMN"}, &again, &error);
  }
  mms::RetrieveConf m;
  if (mms::DecodeRetrieveConf(data, size, &m, &error)) {
    std::vector<std::string> taken;
    std::vector<StoredPart> stored;
    for (size_t i = 0; i < m.parts.size(); ++i) {
      std::string name = SafePartFileName(m.parts[i].location.empty() ? m.parts[i].type.name : m.parts[i].location,
                                          m.parts[i].type.media, i, taken);
      if (name.empty() || name.find_first_of("/\\:") != std::string::npos || name[0] == '.') __builtin_trap();
      taken.push_back(name);
      stored.push_back({"M\\" + name, m.parts[i].type.media});
    }
    std::string header = MmsHeaderFileText(m, stored);
    (void)header;
  }
  return 0;
}
