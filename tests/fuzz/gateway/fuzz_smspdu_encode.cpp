// Whatever a request holds, the encoder either refuses it with a reason or
// makes parts that decode back to the same units in order.
#include <cstdint>
#include <string>
#include <vector>

#include "smspdu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  smspdu::Outgoing m;
  static const uint8_t kDcs[] = {0x00, 0x04, 0x08, 0xF1, 0xF5, 0x18};
  m.dcs = kDcs[data[0] % 6];
  m.alphabet = smspdu::AlphabetOfDcs(m.dcs);
  size_t headerSize = data[1] % 24;
  size_t at = 2;
  m.number = (data[2] & 1) ? "+15550100100" : std::string(data[2] % 23, '7');
  ++at;
  if (headerSize && at + headerSize <= size) {
    // A well-formed header of one element, or raw bytes.
    m.header.assign(data + at, data + at + headerSize);
    at += headerSize;
  }
  m.payload.assign(data + at, data + size);
  if (m.alphabet == smspdu::Alphabet::Gsm7)
    for (uint8_t& s : m.payload) s &= 0x7F;
  std::vector<smspdu::Bytes> tpdus;
  std::string error;
  if (!smspdu::EncodeSubmit(m, data[0], &tpdus, &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  smspdu::Bytes units;
  for (const smspdu::Bytes& t : tpdus) {
    smspdu::Decoded d;
    if (t.size() > 164 || !smspdu::DecodePdu(t.data(), t.size(), false, &d, &error)) __builtin_trap();
    units.insert(units.end(), d.units.begin(), d.units.end());
  }
  // A 7-bit message may gain one padding septet only where the packing left 7 spare bits.
  if (m.alphabet == smspdu::Alphabet::Gsm7) {
    if (units.size() < m.payload.size() || !std::equal(m.payload.begin(), m.payload.end(), units.begin()))
      __builtin_trap();
  } else if (units != m.payload) {
    __builtin_trap();
  }
  return 0;
}
