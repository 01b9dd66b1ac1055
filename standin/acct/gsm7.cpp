#include "gsm7.h"

#include <cstdint>

namespace {

// The default alphabet; 0x1B is the escape to the extension table.
const uint16_t kDefault[128] = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC,  // @ £ $ ¥ è é ù ì
    0x00F2, 0x00C7, 0x000A, 0x00D8, 0x00F8, 0x000D, 0x00C5, 0x00E5,  // ò Ç LF Ø ø CR Å å
    0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8,  // Δ _ Φ Γ Λ Ω Π Ψ
    0x03A3, 0x0398, 0x039E, 0x0020, 0x00C6, 0x00E6, 0x00DF, 0x00C9,  // Σ Θ Ξ ESC Æ æ ß É
    0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026, 0x0027,  //   ! " # ¤ % & '
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // ( ) * + , - . /
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 0-7
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 8 9 : ; < = > ?
    0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // ¡ A-G
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // H-O
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // P-W
    0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,  // X Y Z Ä Ö Ñ Ü §
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // ¿ a-g
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // h-o
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // p-w
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,  // x y z ä ö ñ ü à
};

// The extension table after an escape; 0 for a code it does not define.
uint16_t Extension(unsigned s) {
  switch (s) {
    case 0x0A: return 0x000C;  // form feed
    case 0x14: return 0x005E;  // ^
    case 0x1B: return 0x0020;  // escape to a further table: shown as a space
    case 0x28: return 0x007B;  // {
    case 0x29: return 0x007D;  // }
    case 0x2F: return 0x005C;  // backslash
    case 0x3C: return 0x005B;  // [
    case 0x3D: return 0x007E;  // ~
    case 0x3E: return 0x005D;  // ]
    case 0x40: return 0x007C;  // |
    case 0x65: return 0x20AC;  // euro sign
    default: return 0;
  }
}

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
    if (s == 0x1B) {
      if (++i >= count) break;  // an escape with nothing after it
      c = Extension(septets[i]);
      if (!c) c = kDefault[septets[i]];  // undefined extensions show the default character
    } else {
      c = kDefault[s];
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
