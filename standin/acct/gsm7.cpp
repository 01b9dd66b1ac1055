#include "gsm7.h"

#include <cstdint>

#include "gsm7alphabet.h"

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

unsigned HexValue(char c) {
  if (c <= '9') return unsigned(c - '0');
  return unsigned((c | 0x20) - 'a' + 10);
}

// Octets of a hexadecimal text of at most `maxChars` characters, up to the
// first non-hexadecimal character or an unpaired last digit.
size_t ReadOctets(const char* hex, size_t maxChars, uint8_t* out) {
  size_t n = 0;
  if (!hex) return 0;
  for (size_t i = 0; i + 1 < maxChars && IsHex(hex[i]) && IsHex(hex[i + 1]); i += 2)
    out[n++] = uint8_t(HexValue(hex[i]) * 16 + HexValue(hex[i + 1]));
  return n;
}

size_t CountOctets(const char* hex, size_t maxChars) {
  size_t n = 0;
  if (!hex) return 0;
  for (size_t i = 0; i + 1 < maxChars && IsHex(hex[i]) && IsHex(hex[i + 1]); i += 2) ++n;
  return n;
}

}  // namespace

void Gsm7HexToUtf8(const char* udh, const char* data, char* out) {
  if (!out) return;
  // The input is taken whole before anything is written: the UTF-8 form can
  // be longer than the hexadecimal text it comes from.
  uint8_t octets[kGsm7OutputCapacity / 2];
  size_t n = ReadOctets(data, kGsm7OutputCapacity, octets);

  // The header ends on an octet boundary; the text starts at the next septet
  // boundary counted from the start of the header.
  size_t headerOctets = CountOctets(udh, kGsm7OutputCapacity);
  size_t fill = headerOctets ? (7 - (headerOctets * 8) % 7) % 7 : 0;

  uint8_t septets[kGsm7OutputCapacity / 2 * 8 / 7 + 1];
  size_t count = 0;
  size_t totalBits = n * 8;
  for (size_t bit = fill; bit + 7 <= totalBits; bit += 7) {
    size_t at = bit / 8, shift = bit % 8;
    unsigned v = octets[at] >> shift;
    if (shift > 1) v |= unsigned(octets[at + 1]) << (8 - shift);
    septets[count++] = uint8_t(v & 0x7F);
  }
  // Seven spare bits after the last character read as one more septet: CR is
  // the padding the standard asks for, zero bits the padding older senders use.
  // Without the message length the two cases look the same, so a last @ or
  // CR that fills exactly the top seven bits of the last octet is dropped.
  if (count && totalBits > fill && (totalBits - fill) % 7 == 0 &&
      (septets[count - 1] == 0x0D || septets[count - 1] == 0x00))
    --count;

  size_t used = 0;
  for (size_t i = 0; i < count; ++i) {
    unsigned s = septets[i];
    uint16_t c;
    if (s == gsm7::kEscape) {
      if (++i >= count) break;  // an escape with nothing after it
      c = gsm7::EscapedCharacter(septets[i]);
    } else {
      c = gsm7::kDefault[s];
    }
    char bytes[3];
    size_t len;
    if (c < 0x80) {
      bytes[0] = char(c);
      len = 1;
    } else if (c < 0x800) {
      bytes[0] = char(0xC0 | (c >> 6));
      bytes[1] = char(0x80 | (c & 0x3F));
      len = 2;
    } else {
      bytes[0] = char(0xE0 | (c >> 12));
      bytes[1] = char(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = char(0x80 | (c & 0x3F));
      len = 3;
    }
    if (used + len + 1 > kGsm7OutputCapacity) break;  // only whole characters, and the terminator
    for (size_t k = 0; k < len; ++k) out[used++] = bytes[k];
  }
  out[used] = '\0';
}
