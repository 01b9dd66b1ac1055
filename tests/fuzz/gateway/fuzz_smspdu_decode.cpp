// PDUs the modem lists come from the network: any bytes. A PDU that decodes
// must give units that match its length, and its parts must join or refuse.
#include <cstdint>
#include <string>
#include <vector>

#include "smsgateway.h"
#include "smspdu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool centre : {true, false}) {
    smspdu::Decoded d;
    std::string error;
    if (!smspdu::DecodePdu(data, size, centre, &d, &error)) {
      if (error.empty()) __builtin_trap();
      continue;
    }
    if (d.alphabet != smspdu::Alphabet::Gsm7 && d.units.size() != d.body.size()) __builtin_trap();
    if (d.alphabet == smspdu::Alphabet::Gsm7 && d.units.size() > 160) __builtin_trap();
    smspdu::MessageText(d);
    smsgw::ReceivedSms joined;
    // The same part twice never joins.
    if (smsgw::JoinParts({d, d}, &joined)) __builtin_trap();
    smsgw::ReceivedFileText(smsgw::FromDecoded(d));
  }
  // The hexadecimal form the modem shows.
  smspdu::Bytes bytes;
  smspdu::FromHex(std::string(reinterpret_cast<const char*>(data), size), &bytes);
  return 0;
}
