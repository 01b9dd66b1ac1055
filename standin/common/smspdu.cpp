#include "smspdu.h"

#include <cstdio>

#include "gsm7alphabet.h"

namespace smspdu {
namespace {

using gsm7::kEscape;
constexpr char16_t kReplacement = 0xFFFD;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Septets of the header (with its length octet) and its fill.
size_t HeaderSeptets(size_t headerOctets) { return headerOctets ? (headerOctets * 8 + 6) / 7 : 0; }

// How many payload units the next part takes from `at`, given the room left.
size_t TakeUnits(const Outgoing& m, size_t at, size_t room) {
  size_t left = m.payload.size() - at;
  size_t n = left < room ? left : room;
  if (n == left) return n;
  if (m.alphabet == Alphabet::Gsm7) {
    // Never leave an escape at the end of a part without its character.
    size_t i = at;
    while (i < at + n) i += m.payload[i] == kEscape ? 2 : 1;
    if (i > at + n) n -= 1;
  } else if (m.alphabet == Alphabet::Ucs2) {
    n &= ~size_t(1);
    if (n >= 2 && IsHighSurrogate(char16_t(m.payload[at + n - 2] << 8 | m.payload[at + n - 1]))) n -= 2;
  }
  return n;
}

// Splits the payload into parts, each with room for `headerOctets` of header
// (length octet included). Empty when a part would hold nothing.
std::vector<std::pair<size_t, size_t>> Split(const Outgoing& m, size_t headerOctets) {
  std::vector<std::pair<size_t, size_t>> parts;
  size_t room;
  if (m.alphabet == Alphabet::Gsm7) {
    room = kMaxSeptets - HeaderSeptets(headerOctets);
  } else {
    room = kMaxUserDataOctets - headerOctets;
    if (m.alphabet == Alphabet::Ucs2) room &= ~size_t(1);
  }
  if (room == 0 || (m.alphabet == Alphabet::Ucs2 && room < 4)) return parts;
  size_t at = 0;
  do {
    size_t n = TakeUnits(m, at, room);
    if (n == 0 && at < m.payload.size()) return {};
    parts.push_back({at, n});
    at += n;
  } while (at < m.payload.size());
  return parts;
}

void AppendPart(const Outgoing& m, const Bytes& header, size_t at, size_t n, Bytes* tpdu) {
  Bytes& t = *tpdu;
  // SMS-SUBMIT, relative validity period, reply path off.
  uint8_t first = 0x11;
  if (!header.empty()) first |= 0x40;
  if (m.statusReport) first |= 0x20;
  t.push_back(first);
  t.push_back(0x00);  // message reference: the modem sets it
  EncodeAddress(m.number, &t);
  t.push_back(m.pid);
  t.push_back(m.dcs);
  t.push_back(0xA7);  // validity: 24 hours
  size_t headerOctets = header.empty() ? 0 : header.size() + 1;
  Bytes units(m.payload.begin() + long(at), m.payload.begin() + long(at + n));
  if (m.alphabet == Alphabet::Gsm7) {
    t.push_back(uint8_t(HeaderSeptets(headerOctets) + n));
    if (headerOctets) {
      t.push_back(uint8_t(header.size()));
      t.insert(t.end(), header.begin(), header.end());
    }
    Bytes packed = PackSeptets(units, FillBits(headerOctets));
    t.insert(t.end(), packed.begin(), packed.end());
  } else {
    t.push_back(uint8_t(headerOctets + n));
    if (headerOctets) {
      t.push_back(uint8_t(header.size()));
      t.insert(t.end(), header.begin(), header.end());
    }
    t.insert(t.end(), units.begin(), units.end());
  }
}

}  // namespace

Alphabet AlphabetOfDcs(uint8_t dcs) {
  unsigned group = dcs >> 4;
  if (group <= 7) {  // general data coding (and its automatic-deletion half)
    switch ((dcs >> 2) & 3) {
      case 0: return Alphabet::Gsm7;
      case 1: return Alphabet::Data8;
      case 2: return Alphabet::Ucs2;
      default: return Alphabet::Data8;
    }
  }
  if (group == 0xC || group == 0xD) return Alphabet::Gsm7;
  if (group == 0xE) return Alphabet::Ucs2;
  if (group == 0xF) return (dcs & 0x04) ? Alphabet::Data8 : Alphabet::Gsm7;
  return Alphabet::Data8;
}

bool TextToSeptets(const std::u16string& text, Bytes* septets) {
  septets->clear();
  for (char16_t c : text) {
    uint8_t code;
    if (gsm7::DefaultCode(c, &code)) {
      septets->push_back(code);
    } else if (gsm7::ExtensionCode(c, &code)) {
      septets->push_back(kEscape);
      septets->push_back(code);
    } else {
      return false;
    }
  }
  return true;
}

std::u16string SeptetsToText(const Bytes& septets) {
  std::u16string text;
  for (size_t i = 0; i < septets.size(); ++i) {
    uint8_t s = septets[i] & 0x7F;
    if (s == kEscape) {
      if (++i >= septets.size()) break;  // an escape with nothing after it
      text.push_back(gsm7::EscapedCharacter(septets[i] & 0x7F));
    } else {
      text.push_back(gsm7::kDefault[s]);
    }
  }
  return text;
}

Bytes PackSeptets(const Bytes& septets, unsigned fillBits) {
  Bytes out;
  size_t bits = fillBits + septets.size() * 7;
  out.assign((bits + 7) / 8, 0);
  size_t bit = fillBits;
  for (uint8_t s : septets) {
    unsigned v = s & 0x7F;
    size_t at = bit / 8, shift = bit % 8;
    out[at] = uint8_t(out[at] | (v << shift));
    if (shift > 1) out[at + 1] = uint8_t(out[at + 1] | (v >> (8 - shift)));
    bit += 7;
  }
  return out;
}

Bytes UnpackSeptets(const uint8_t* octets, size_t size, unsigned fillBits, size_t count) {
  Bytes out;
  size_t total = size * 8;
  for (size_t bit = fillBits; out.size() < count && bit + 7 <= total; bit += 7) {
    size_t at = bit / 8, shift = bit % 8;
    unsigned v = octets[at] >> shift;
    if (shift > 1) v |= unsigned(octets[at + 1]) << (8 - shift);
    out.push_back(uint8_t(v & 0x7F));
  }
  return out;
}

unsigned FillBits(size_t headerOctets) { return headerOctets ? unsigned((7 - (headerOctets * 8) % 7) % 7) : 0; }

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  size_t i = 0, n = text.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    unsigned cp;
    size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    bool ok = i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) {
      unsigned char d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (d & 0x3F);
    }
    static const unsigned kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

bool FromHex(const std::string& hex, Bytes* bytes) {
  bytes->clear();
  if (hex.size() % 2) return false;
  bytes->reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes->push_back(uint8_t(hi * 16 + lo));
  }
  return true;
}

bool EncodeAddress(const std::string& number, Bytes* out) {
  bool international = !number.empty() && number[0] == '+';
  std::string digits = number.substr(international ? 1 : 0);
  if (digits.empty() || digits.size() > 20) return false;
  for (char c : digits)
    if (!((c >= '0' && c <= '9') || c == '*' || c == '#')) return false;
  out->push_back(uint8_t(digits.size()));
  out->push_back(international ? 0x91 : 0x81);
  auto nibble = [](char c) -> uint8_t { return c == '*' ? 0xA : c == '#' ? 0xB : uint8_t(c - '0'); };
  for (size_t i = 0; i < digits.size(); i += 2) {
    uint8_t lo = nibble(digits[i]);
    uint8_t hi = i + 1 < digits.size() ? nibble(digits[i + 1]) : 0xF;
    out->push_back(uint8_t(hi << 4 | lo));
  }
  return true;
}

bool DecodeAddress(const uint8_t* p, size_t size, size_t* used, std::string* number) {
  number->clear();
  if (size < 2) return false;
  unsigned digits = p[0];
  uint8_t type = p[1];
  size_t octets = (digits + 1) / 2;
  if (digits > 20 || 2 + octets > size) return false;
  *used = 2 + octets;
  if (((type >> 4) & 7) == 5) {  // alphanumeric: GSM 7-bit text in the digit octets
    Bytes septets = UnpackSeptets(p + 2, octets, 0, digits * 4 / 7);
    *number = Utf16ToUtf8(SeptetsToText(septets));
    return true;
  }
  if (((type >> 4) & 7) == 1) number->push_back('+');
  static const char kNibbles[] = "0123456789*#abc";
  for (unsigned i = 0; i < digits; ++i) {
    uint8_t b = p[2 + i / 2];
    unsigned v = i % 2 ? b >> 4 : b & 15;
    if (v == 0xF) {
      if (i + 1 == digits) break;  // a filler only as the last digit
      return false;
    }
    number->push_back(kNibbles[v]);
  }
  return true;
}

bool ParseHeader(const Bytes& header, std::vector<HeaderElement>* elements) {
  elements->clear();
  size_t i = 0;
  while (i < header.size()) {
    if (i + 2 > header.size()) return false;
    HeaderElement e;
    e.id = header[i];
    size_t len = header[i + 1];
    if (i + 2 + len > header.size()) return false;
    e.data.assign(header.begin() + long(i + 2), header.begin() + long(i + 2 + len));
    elements->push_back(e);
    i += 2 + len;
  }
  return true;
}

Bytes BuildHeader(const std::vector<HeaderElement>& elements) {
  Bytes out;
  for (const HeaderElement& e : elements) {
    out.push_back(e.id);
    out.push_back(uint8_t(e.data.size()));
    out.insert(out.end(), e.data.begin(), e.data.end());
  }
  return out;
}

bool FindConcatenation(const std::vector<HeaderElement>& elements, Concatenation* c) {
  for (const HeaderElement& e : elements) {
    if (e.id == 0x00 && e.data.size() == 3) {
      *c = {e.data[0], e.data[1], e.data[2]};
    } else if (e.id == 0x08 && e.data.size() == 4) {
      *c = {unsigned(e.data[0]) << 8 | e.data[1], e.data[2], e.data[3]};
    } else {
      continue;
    }
    return c->total != 0 && c->sequence != 0 && c->sequence <= c->total;
  }
  return false;
}

bool FindPorts(const std::vector<HeaderElement>& elements, Ports* ports) {
  for (const HeaderElement& e : elements) {
    if (e.id == 0x04 && e.data.size() == 2) {
      *ports = {e.data[0], e.data[1]};
      return true;
    }
    if (e.id == 0x05 && e.data.size() == 4) {
      *ports = {unsigned(e.data[0]) << 8 | e.data[1], unsigned(e.data[2]) << 8 | e.data[3]};
      return true;
    }
  }
  return false;
}

std::vector<HeaderElement> WithoutConcatenation(const std::vector<HeaderElement>& elements) {
  std::vector<HeaderElement> out;
  for (const HeaderElement& e : elements)
    if (e.id != 0x00 && e.id != 0x08) out.push_back(e);
  return out;
}

Outgoing TextMessage(const std::string& number, const std::u16string& text) {
  Outgoing m;
  m.number = number;
  if (TextToSeptets(text, &m.payload)) {
    m.alphabet = Alphabet::Gsm7;
    m.dcs = 0x00;
  } else {
    m.alphabet = Alphabet::Ucs2;
    m.dcs = 0x08;
    m.payload.clear();
    for (char16_t c : text) {
      m.payload.push_back(uint8_t(c >> 8));
      m.payload.push_back(uint8_t(c & 0xFF));
    }
  }
  return m;
}

bool EncodeSubmit(const Outgoing& message, uint8_t reference, std::vector<Bytes>* tpdus, std::string* error) {
  tpdus->clear();
  Bytes probe;
  if (!EncodeAddress(message.number, &probe)) {
    *error = "Invalid phone number";
    return false;
  }
  if (AlphabetOfDcs(message.dcs) != message.alphabet) {
    *error = "Data coding scheme does not match the data";
    return false;
  }
  if (message.alphabet == Alphabet::Ucs2 && message.payload.size() % 2) {
    *error = "UCS-2 data has an odd number of octets";
    return false;
  }
  std::vector<HeaderElement> elements;
  if (!ParseHeader(message.header, &elements)) {
    *error = "Invalid user data header";
    return false;
  }
  size_t ownHeader = message.header.empty() ? 0 : message.header.size() + 1;
  if (ownHeader > kMaxUserDataOctets - 8) {
    *error = "User data header too long";
    return false;
  }
  auto single = Split(message, ownHeader);
  if (single.size() == 1) {
    Bytes t;
    AppendPart(message, message.header, 0, message.payload.size(), &t);
    tpdus->push_back(t);
    return true;
  }
  // Several parts: each carries the message's own elements and the concatenation element.
  const size_t concatOctets = 5;
  auto parts = Split(message, (message.header.empty() ? 1 : ownHeader) + concatOctets);
  if (parts.empty() || parts.size() > kMaxParts) {
    *error = "Message too long";
    return false;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    Bytes header = {0x00, 0x03, reference, uint8_t(parts.size()), uint8_t(i + 1)};
    header.insert(header.end(), message.header.begin(), message.header.end());
    Bytes t;
    AppendPart(message, header, parts[i].first, parts[i].second, &t);
    tpdus->push_back(t);
  }
  return true;
}

bool DecodePdu(const uint8_t* pdu, size_t size, bool withServiceCentre, Decoded* out, std::string* error) {
  *out = Decoded();
  size_t i = 0;
  auto fail = [error](const char* why) {
    *error = why;
    return false;
  };
  if (withServiceCentre) {
    if (size < 1) return fail("empty PDU");
    size_t len = pdu[0];
    if (1 + len > size) return fail("service centre address runs past the end");
    if (len > 11) return fail("bad service centre address");
    if (len > 1) {  // a type octet alone is an empty number
      // The service centre field counts octets, the type included.
      Bytes field = {uint8_t((len - 1) * 2)};
      field.insert(field.end(), pdu + 1, pdu + 1 + len);
      size_t used = 0;
      if ((field[len] >> 4) == 0xF) field[0] = uint8_t(field[0] - 1);
      if (!DecodeAddress(field.data(), field.size(), &used, &out->serviceCentre))
        return fail("bad service centre address");
    }
    i = 1 + len;
  }
  if (i >= size) return fail("no message after the service centre");
  uint8_t first = pdu[i++];
  unsigned mti = first & 3;
  bool udhi = (first & 0x40) != 0;
  size_t used = 0;
  if (mti == 0) {
    out->type = PduType::Deliver;
    if (!DecodeAddress(pdu + i, size - i, &used, &out->address)) return fail("bad originating address");
    i += used;
    if (i + 9 > size) return fail("message ends in its header");
    out->pid = pdu[i++];
    out->dcs = pdu[i++];
    const uint8_t* ts = pdu + i;
    auto swap = [](uint8_t b) { return (b & 15) * 10 + (b >> 4); };
    for (int k = 0; k < 6; ++k)
      if ((ts[k] & 15) > 9 || (ts[k] >> 4) > 9) return fail("bad time stamp");
    int zone = (ts[6] & 7) * 10 + (ts[6] >> 4);
    char text[32];
    snprintf(text, sizeof text, "%02d/%02d/%02d,%02d:%02d:%02d%c%02d", swap(ts[0]), swap(ts[1]), swap(ts[2]),
             swap(ts[3]), swap(ts[4]), swap(ts[5]), (ts[6] & 8) ? '-' : '+', zone);
    out->timestamp = text;
    i += 7;
  } else if (mti == 1) {
    out->type = PduType::Submit;
    if (i >= size) return fail("message ends in its header");
    out->messageReference = pdu[i++];
    if (!DecodeAddress(pdu + i, size - i, &used, &out->address)) return fail("bad destination address");
    if (out->address.empty()) return fail("no destination address");
    i += used;
    if (i + 2 > size) return fail("message ends in its header");
    out->pid = pdu[i++];
    out->dcs = pdu[i++];
    unsigned vpf = (first >> 3) & 3;
    size_t vp = vpf == 2 ? 1 : vpf == 0 ? 0 : 7;
    if (i + vp > size) return fail("message ends in its validity period");
    i += vp;
  } else {
    out->type = mti == 2 ? PduType::StatusReport : PduType::Unknown;
    return fail("not an SMS-DELIVER or SMS-SUBMIT");
  }
  if (i >= size) return fail("no user data length");
  out->userDataLength = pdu[i++];
  out->alphabet = AlphabetOfDcs(out->dcs);
  size_t udOctets = out->alphabet == Alphabet::Gsm7 ? (out->userDataLength * 7 + 7) / 8 : out->userDataLength;
  if (out->alphabet == Alphabet::Gsm7 ? out->userDataLength > kMaxSeptets : udOctets > kMaxUserDataOctets)
    return fail("user data length too large");
  if (i + udOctets != size) return fail(i + udOctets > size ? "user data shorter than its length" : "bytes after the user data");
  const uint8_t* ud = pdu + i;
  size_t headerOctets = 0;
  if (udhi) {
    if (udOctets < 1 || size_t(ud[0]) + 1 > udOctets) return fail("user data header runs past the user data");
    headerOctets = size_t(ud[0]) + 1;
    out->header.assign(ud + 1, ud + headerOctets);
    std::vector<HeaderElement> elements;
    if (!ParseHeader(out->header, &elements)) return fail("malformed user data header");
  }
  out->body.assign(ud + headerOctets, ud + udOctets);
  if (out->alphabet == Alphabet::Gsm7) {
    size_t headerSeptets = HeaderSeptets(headerOctets);
    if (headerSeptets > out->userDataLength) return fail("user data header longer than the user data");
    size_t count = out->userDataLength - headerSeptets;
    out->units = UnpackSeptets(out->body.data(), out->body.size(), FillBits(headerOctets), count);
  } else {
    out->units = out->body;
  }
  return true;
}

std::string MessageText(const Decoded& message) {
  switch (message.alphabet) {
    case Alphabet::Gsm7:
      return Utf16ToUtf8(SeptetsToText(message.units));
    case Alphabet::Ucs2: {
      std::u16string text;
      for (size_t i = 0; i + 1 < message.units.size(); i += 2)
        text.push_back(char16_t(message.units[i] << 8 | message.units[i + 1]));
      return Utf16ToUtf8(text);
    }
    default:
      return ToHex(message.units);
  }
}

}  // namespace smspdu
