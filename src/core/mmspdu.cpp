#include "core/mmspdu.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace mms {
namespace {

// MMS header field codes (without the 0x80 bit).
enum Field : uint8_t {
  kBcc = 0x01,
  kCc = 0x02,
  kContentLocation = 0x03,
  kContentType = 0x04,
  kDate = 0x05,
  kExpiry = 0x08,
  kFrom = 0x09,
  kMessageClass = 0x0A,
  kMessageId = 0x0B,
  kMessageType = 0x0C,
  kMmsVersion = 0x0D,
  kMessageSize = 0x0E,
  kResponseStatus = 0x12,
  kResponseText = 0x13,
  kStatus = 0x15,
  kSubject = 0x16,
  kTo = 0x17,
  kTransactionId = 0x18,
  kRetrieveStatus = 0x19,
  kRetrieveText = 0x1A,
};

// WSP well-known header codes used in multipart entries and pushes.
enum : uint8_t {
  kWspContentLocation = 0x0E,
  kWspContentId = 0x40,
  kWspApplicationId = 0x2F,
};

constexpr uint32_t kCharsetUtf8 = 106;

// WSP well-known media types, by number.
const char* const kMediaTypes[] = {
    "*/*", "text/*", "text/html", "text/plain", "text/x-hdml", "text/x-ttml", "text/x-vcalendar", "text/x-vcard",
    "text/vnd.wap.wml", "text/vnd.wap.wmlscript", "text/vnd.wap.wta-event", "multipart/*", "multipart/mixed",
    "multipart/form-data", "multipart/byterantes", "multipart/alternative", "application/*", "application/java-vm",
    "application/x-www-form-urlencoded", "application/x-hdmlc", "application/vnd.wap.wmlc",
    "application/vnd.wap.wmlscriptc", "application/vnd.wap.wta-eventc", "application/vnd.wap.uaprof",
    "application/vnd.wap.wtls-ca-certificate", "application/vnd.wap.wtls-user-certificate",
    "application/x-x509-ca-cert", "application/x-x509-user-cert", "image/*", "image/gif", "image/jpeg",
    "image/tiff", "image/png", "image/vnd.wap.wbmp", "application/vnd.wap.multipart.*",
    "application/vnd.wap.multipart.mixed", "application/vnd.wap.multipart.form-data",
    "application/vnd.wap.multipart.byteranges", "application/vnd.wap.multipart.alternative", "application/xml",
    "text/xml", "application/vnd.wap.wbxml", "application/x-x968-cross-cert", "application/x-x968-ca-cert",
    "application/x-x968-user-cert", "text/vnd.wap.si", "application/vnd.wap.sic", "text/vnd.wap.sl",
    "application/vnd.wap.slc", "text/vnd.wap.co", "application/vnd.wap.coc",
    "application/vnd.wap.multipart.related", "application/vnd.wap.sia", "text/vnd.wap.connectivity-xml",
    "application/vnd.wap.connectivity-wbxml", "application/pkcs7-mime", "application/vnd.wap.hashed-certificate",
    "application/vnd.wap.signed-certificate", "application/vnd.wap.cert-response", "application/xhtml+xml",
    "application/wml+xml", "text/css", "application/vnd.wap.mms-message",
    "application/vnd.wap.rollover-certificate", "application/vnd.wap.locc+wbxml", "application/vnd.wap.loc+xml",
    "application/vnd.syncml.dm+wbxml", "application/vnd.syncml.dm+xml", "application/vnd.syncml.notification",
    "application/vnd.wap.xhtml+xml", "application/vnd.wv.csp.cir", "application/vnd.oma.dd+xml",
    "application/vnd.oma.drm.message", "application/vnd.oma.drm.content", "application/vnd.oma.drm.rights+xml",
    "application/vnd.oma.drm.rights+wbxml",
};
constexpr size_t kMediaTypeCount = sizeof kMediaTypes / sizeof kMediaTypes[0];

// Character sets by their IANA MIBenum, the ones MMS uses.
struct Charset {
  uint32_t mib;
  const char* name;
};
const Charset kCharsets[] = {{3, "us-ascii"},  {4, "iso-8859-1"}, {106, "utf-8"},
                             {1000, "iso-10646-ucs-2"}, {1015, "utf-16"}, {2252, "windows-1252"}};

std::string CharsetName(uint32_t mib) {
  for (const Charset& c : kCharsets)
    if (c.mib == mib) return c.name;
  char text[24];
  snprintf(text, sizeof text, "mib-%u", mib);
  return text;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(char(cp));
  } else if (cp < 0x800) {
    out->push_back(char(0xC0 | (cp >> 6)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(char(0xE0 | (cp >> 12)));
    out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(char(0xF0 | (cp >> 18)));
    out->push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  }
}

// Text in a known character set, as UTF-8; other sets are kept as they came.
std::string ToUtf8(const std::string& raw, uint32_t mib) {
  std::string out;
  if (mib == 4) {
    for (unsigned char c : raw) AppendUtf8(c, &out);
    return out;
  }
  if (mib == 1000 || mib == 1015) {
    bool little = false;
    size_t i = 0;
    if (raw.size() >= 2 && uint8_t(raw[0]) == 0xFF && uint8_t(raw[1]) == 0xFE) little = true, i = 2;
    else if (raw.size() >= 2 && uint8_t(raw[0]) == 0xFE && uint8_t(raw[1]) == 0xFF) i = 2;
    for (; i + 1 < raw.size(); i += 2) {
      uint32_t u = little ? uint8_t(raw[i]) | uint8_t(raw[i + 1]) << 8 : uint8_t(raw[i]) << 8 | uint8_t(raw[i + 1]);
      AppendUtf8(u, &out);
    }
    return out;
  }
  return raw;
}

// A bounded reader over one buffer. Every read checks what is left; the
// first failure sticks, so a decoder may read on and test `ok` at the end.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  size_t Left() const { return size_t(end_ - p_); }
  const uint8_t* Here() const { return p_; }
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  bool Fail(const char* why) {
    if (ok_) error_ = why;
    ok_ = false;
    p_ = end_;
    return false;
  }

  bool Peek(uint8_t* b) const {
    if (!ok_ || p_ == end_) return false;
    *b = *p_;
    return true;
  }
  bool Byte(uint8_t* b) {
    if (!ok_ || p_ == end_) return Fail("the data ends inside a field");
    *b = *p_++;
    return true;
  }
  bool Skip(size_t n) {
    if (!ok_ || n > Left()) return Fail("a length runs past the end of the data");
    p_ += n;
    return true;
  }
  // A sub-reader over the next n bytes, which this reader then passes over.
  Reader Take(size_t n) {
    if (!ok_ || n > Left()) {
      Fail("a length runs past the end of the data");
      Reader none(p_, 0);
      none.Fail("a length runs past the end of the data");
      return none;
    }
    Reader sub(p_, n);
    p_ += n;
    return sub;
  }
  bool Uintvar(uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < 5; ++i) {
      uint8_t b = 0;
      if (!Byte(&b)) return false;
      if (i == 4 && (v >> 25) != 0) return Fail("a variable-length number is too large");
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) {
        *value = v;
        return true;
      }
    }
    return Fail("a variable-length number is too long");
  }
  // Value-length: 0..30 directly, or 31 followed by a uintvar; never past the end.
  bool ValueLength(uint32_t* n) {
    uint8_t b = 0;
    if (!Byte(&b)) return false;
    if (b <= 30) {
      *n = b;
    } else if (b == 31) {
      if (!Uintvar(n)) return false;
    } else {
      return Fail("a value length was expected");
    }
    if (*n > Left()) return Fail("a value length runs past the end of the data");
    return true;
  }
  // Text-string (an initial quote 127 dropped) or Quoted-string (the initial '"' kept off).
  bool Text(std::string* out) {
    const uint8_t* nul = static_cast<const uint8_t*>(memchr(p_, 0, Left()));
    if (!ok_ || !nul) return Fail("a text does not end");
    const uint8_t* begin = p_;
    if (begin < nul && (*begin == 127 || *begin == '"')) ++begin;
    if (size_t(nul - begin) > kMaxText) return Fail("a text is too long");
    out->assign(reinterpret_cast<const char*>(begin), size_t(nul - begin));
    p_ = nul + 1;
    return true;
  }
  bool LongInteger(uint64_t* value) {
    uint8_t n;
    if (!Byte(&n)) return false;
    if (n == 0 || n > 30) return Fail("a long integer has a bad length");
    if (n > 8) return Fail("a long integer is too large");
    if (n > Left()) return Fail("a long integer runs past the end of the data");
    uint64_t v = 0;
    for (uint8_t i = 0; i < n; ++i) v = (v << 8) | *p_++;
    *value = v;
    return true;
  }
  // Integer-value: a short integer or a long integer.
  bool Integer(uint64_t* value) {
    uint8_t b = 0;
    if (!Peek(&b)) return Fail("the data ends inside a field");
    if (b & 0x80) {
      ++p_;
      *value = b & 0x7F;
      return true;
    }
    return LongInteger(value);
  }
  // Passes over one header value of any of the generic encodings.
  bool SkipValue() {
    uint8_t b = 0;
    if (!Peek(&b)) return Fail("the data ends inside a field");
    if (b >= 0x80) return Skip(1);
    if (b <= 31) {
      uint32_t n;
      return ValueLength(&n) && Skip(n);
    }
    std::string ignored;
    return Text(&ignored);
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
  bool ok_ = true;
  std::string error_;
};

// Encoded-string-value: a text string, or a value length, charset and text.
bool EncodedString(Reader& r, std::string* out) {
  uint8_t b = 0;
  if (!r.Peek(&b)) return r.Fail("the data ends inside a field");
  if (b > 31) return r.Text(out);
  uint32_t n;
  if (!r.ValueLength(&n)) return false;
  Reader v = r.Take(n);
  uint64_t mib = 0;
  uint8_t first = 0;
  if (v.Peek(&first) && first == 0x80) {
    v.Byte(&first);  // any charset
  } else if (!v.Integer(&mib)) {
    return r.Fail("a character set is malformed");
  }
  std::string raw;
  if (!v.Text(&raw)) return r.Fail("an encoded text is malformed");
  *out = mib ? ToUtf8(raw, uint32_t(mib)) : raw;
  return true;
}

// From: value length, then the address-present token and an address, or the insert-address token.
bool FromValue(Reader& r, std::string* out) {
  uint32_t n;
  if (!r.ValueLength(&n)) return false;
  Reader v = r.Take(n);
  uint8_t token = 0;
  if (!v.Byte(&token)) return r.Fail("a sender address is empty");
  if (token == 0x81) {
    out->clear();
    return true;
  }
  if (token != 0x80) return r.Fail("a sender address has an unknown token");
  if (!EncodedString(v, out)) return r.Fail(v.error().c_str());
  return true;
}

bool MediaFromInteger(uint64_t n, std::string* out) {
  if (n >= kMediaTypeCount) {
    char text[48];
    snprintf(text, sizeof text, "application/x-wsp-media-%u", unsigned(n));
    *out = text;
    return true;
  }
  *out = kMediaTypes[n];
  return true;
}

// Parameters of a content type up to the end of `v`.
bool ContentTypeParameters(Reader& v, ContentType* type) {
  while (v.ok() && v.Left() > 0) {
    uint8_t b = 0;
    v.Peek(&b);
    if (b >= 0x80 || b <= 30) {
      uint64_t token;
      if (!v.Integer(&token)) return false;
      std::string text;
      switch (token) {
        case 0x00: {  // Q: a uintvar-like value
          uint32_t q;
          if (!v.Uintvar(&q)) return false;
          break;
        }
        case 0x01: {  // charset
          uint8_t c = 0;
          v.Peek(&c);
          uint64_t mib = 0;
          if (c == 0x80) {
            v.Byte(&c);
          } else if (c >= 32 && c < 0x80) {
            if (!v.Text(&type->charset)) return false;
            break;
          } else if (!v.Integer(&mib)) {
            return false;
          }
          type->charset = mib ? CharsetName(uint32_t(mib)) : "";
          break;
        }
        case 0x05: case 0x06: case 0x17: case 0x18:  // name, filename
          if (!EncodedString(v, &text)) return false;
          if (type->name.empty() || token == 0x05 || token == 0x17) type->name = text;
          break;
        case 0x09: {  // type (multipart/related): constrained encoding
          uint8_t c = 0;
          v.Peek(&c);
          if (c >= 0x80) {
            uint64_t n;
            v.Integer(&n);
            MediaFromInteger(n, &type->startType);
          } else if (!v.Text(&type->startType)) {
            return false;
          }
          type->startType = Lower(type->startType);
          break;
        }
        case 0x0A: case 0x19:  // start
          if (!v.Text(&type->start)) return false;
          break;
        default:
          if (!v.SkipValue()) return false;
      }
    } else {
      // Untyped parameter: token text, then an integer or a text value.
      std::string name, value;
      if (!v.Text(&name)) return false;
      uint8_t c = 0;
      if (!v.Peek(&c)) return v.Fail("a parameter has no value");
      if (c == 0) {
        v.Byte(&c);
      } else if (c >= 0x80 || c <= 30) {
        uint64_t ignored;
        if (!v.Integer(&ignored)) return false;
      } else if (!v.Text(&value)) {
        return false;
      }
      std::string key = Lower(name);
      if (key == "charset") type->charset = Lower(value);
      else if (key == "name" || (key == "filename" && type->name.empty())) type->name = value;
      else if (key == "start") type->start = value;
      else if (key == "type") type->startType = Lower(value);
    }
  }
  return v.ok();
}

bool ContentTypeValue(Reader& r, ContentType* type) {
  *type = ContentType();
  uint8_t b = 0;
  if (!r.Peek(&b)) return r.Fail("a content type is missing");
  if (b >= 0x80) {  // constrained: a well-known media type
    r.Byte(&b);
    return MediaFromInteger(b & 0x7F, &type->media);
  }
  if (b > 31) {  // constrained: a media type as text
    if (!r.Text(&type->media)) return false;
    type->media = Lower(type->media);
    return true;
  }
  uint32_t n;
  if (!r.ValueLength(&n)) return false;
  Reader v = r.Take(n);
  if (!v.Peek(&b)) return r.Fail("a content type is empty");
  if (b >= 0x80 || b <= 30) {
    uint64_t media;
    if (!v.Integer(&media)) return r.Fail("a content type is malformed");
    MediaFromInteger(media, &type->media);
  } else if (v.Text(&type->media)) {
    type->media = Lower(type->media);
  }
  if (!ContentTypeParameters(v, type)) return r.Fail(v.error().empty() ? "a content type is malformed" : v.error().c_str());
  return true;
}

// One MMS header: its field code (without the top bit) and the reader left at its value.
bool FieldCode(Reader& r, uint8_t* code) {
  uint8_t b = 0;
  if (!r.Byte(&b)) return false;
  if (!(b & 0x80)) return r.Fail("an unknown header field");
  *code = b & 0x7F;
  return true;
}

bool ShortValue(Reader& r, uint8_t* value) {
  if (!r.Byte(value)) return false;
  if (!(*value & 0x80)) return r.Fail("a header value is malformed");
  return true;
}

// The first two headers every MMS PDU starts with are its type and (in our
// kinds) the transaction id; the decoders below accept the fields in any
// order after the type, as receivers must.
bool ExpectType(Reader& r, uint8_t type) {
  uint8_t code = 0, value = 0;
  if (!FieldCode(r, &code) || code != kMessageType) return r.Fail("the message type is not the first header");
  if (!ShortValue(r, &value)) return false;
  if (value != type) return r.Fail("the message is of another type");
  return true;
}

// The end of every decoder: the message goes to `out` only when all of it
// read well, else the reason goes to `error`.
template <class Message>
bool Finish(const Reader& r, Message* m, Message* out, std::string* error) {
  if (!r.ok()) {
    if (error) *error = r.error();
    return false;
  }
  *out = std::move(*m);
  return true;
}

bool DecodeParts(Reader& r, std::vector<Part>* parts) {
  uint32_t count;
  if (!r.Uintvar(&count)) return false;
  // Every entry takes at least three bytes: two lengths and a content type.
  if (count > kMaxParts) return r.Fail("too many parts");
  if (count > r.Left() / 3) return r.Fail("more parts than the data can hold");
  parts->clear();
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t headersLength, dataLength;
    if (!r.Uintvar(&headersLength) || !r.Uintvar(&dataLength)) return false;
    if (headersLength == 0) return r.Fail("a part has no content type");
    Reader h = r.Take(headersLength);
    if (!r.ok()) return false;
    if (dataLength > r.Left()) return r.Fail("a part runs past the end of the data");
    Part part;
    if (!ContentTypeValue(h, &part.type)) return r.Fail(h.error().c_str());
    while (h.ok() && h.Left() > 0) {
      uint8_t b = 0;
      h.Peek(&b);
      if (b & 0x80) {
        h.Byte(&b);
        uint8_t code = b & 0x7F;
        if (code == kWspContentLocation) {
          h.Text(&part.location);
        } else if (code == kWspContentId) {
          h.Text(&part.contentId);
        } else {
          h.SkipValue();
        }
      } else if (b >= 32 && b < 127) {  // application header: name and text value
        std::string name, value;
        if (h.Text(&name) && h.Text(&value)) {
          std::string key = Lower(name);
          if (key == "content-location") part.location = value;
          else if (key == "content-id") part.contentId = value;
        }
      } else {
        h.Fail("a part header is malformed");
      }
    }
    if (!h.ok()) return r.Fail(h.error().c_str());
    part.data.assign(r.Here(), r.Here() + dataLength);
    r.Skip(dataLength);
    parts->push_back(std::move(part));
  }
  if (r.ok() && r.Left() != 0) return r.Fail("data follows the last part");
  return r.ok();
}

// --- Writing ---

void PutUintvar(Bytes& out, uint32_t v) {
  uint8_t tmp[5];
  int n = 0;
  do {
    tmp[n++] = uint8_t(v & 0x7F);
    v >>= 7;
  } while (v);
  while (n > 1) out.push_back(tmp[--n] | 0x80);
  out.push_back(tmp[0]);
}

void PutValueLength(Bytes& out, size_t n) {
  if (n <= 30) {
    out.push_back(uint8_t(n));
  } else {
    out.push_back(31);
    PutUintvar(out, uint32_t(n));
  }
}

void PutText(Bytes& out, const std::string& s) {
  if (!s.empty() && uint8_t(s[0]) >= 128) out.push_back(127);
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

bool HasHighBytes(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 128) return true;
  return false;
}

// Encoded-string-value: plain when ASCII, else UTF-8 with its charset.
void PutEncodedString(Bytes& out, const std::string& s) {
  if (!HasHighBytes(s)) {
    PutText(out, s);
    return;
  }
  Bytes v;
  v.push_back(0x80 | kCharsetUtf8);
  PutText(v, s);
  PutValueLength(out, v.size());
  out.insert(out.end(), v.begin(), v.end());
}

bool CheckText(const std::string& s, const char* what, std::string* error) {
  if (s.find('\0') == std::string::npos) return true;
  if (error) *error = std::string(what) + " holds a NUL";
  return false;
}

int WellKnownMedia(const std::string& media) {
  // Only the types every decoder knows by number; the rest go as text.
  static const int kShort[] = {0x03, 0x0C, 0x1D, 0x1E, 0x20, 0x23, 0x26, 0x33, 0x3E};
  for (int n : kShort)
    if (media == kMediaTypes[n]) return n;
  return -1;
}

void PutContentType(Bytes& out, const ContentType& t) {
  Bytes v;
  int known = WellKnownMedia(Lower(t.media));
  if (known >= 0) v.push_back(uint8_t(0x80 | known));
  else PutText(v, t.media);
  if (!t.charset.empty()) {
    std::string cs = Lower(t.charset);
    bool done = false;
    for (const Charset& c : kCharsets) {
      if (cs == c.name) {
        v.push_back(0x81);
        if (c.mib < 128) {
          v.push_back(uint8_t(0x80 | c.mib));
        } else {
          v.push_back(2);
          v.push_back(uint8_t(c.mib >> 8));
          v.push_back(uint8_t(c.mib));
        }
        done = true;
        break;
      }
    }
    if (!done) {
      PutText(v, "charset");
      PutText(v, t.charset);
    }
  }
  if (!t.start.empty()) {
    v.push_back(0x8A);
    PutText(v, t.start);
  }
  if (!t.startType.empty()) {
    v.push_back(0x89);
    PutText(v, t.startType);
  }
  if (!t.name.empty()) {
    v.push_back(0x85);
    PutText(v, t.name);
  }
  bool hasParameters = !t.charset.empty() || !t.start.empty() || !t.startType.empty() || !t.name.empty();
  if (!hasParameters) {  // constrained form: the media type alone
    out.insert(out.end(), v.begin(), v.end());
    return;
  }
  PutValueLength(out, v.size());
  out.insert(out.end(), v.begin(), v.end());
}

bool CheckContentType(const ContentType& t, std::string* error) {
  if (t.media.empty()) {
    if (error) *error = "a content type is empty";
    return false;
  }
  return CheckText(t.media, "a content type", error) && CheckText(t.charset, "a charset", error) &&
         CheckText(t.name, "a name", error) && CheckText(t.start, "a start", error) &&
         CheckText(t.startType, "a type", error);
}

void PutField(Bytes& out, uint8_t code) { out.push_back(0x80 | code); }

}  // namespace

bool EncodeMultipart(const std::vector<Part>& parts, Bytes* out, std::string* error) {
  Bytes b;
  if (parts.size() > kMaxParts) {
    if (error) *error = "too many parts";
    return false;
  }
  PutUintvar(b, uint32_t(parts.size()));
  for (const Part& p : parts) {
    if (!CheckContentType(p.type, error) || !CheckText(p.location, "a content location", error) ||
        !CheckText(p.contentId, "a content id", error))
      return false;
    Bytes h;
    PutContentType(h, p.type);
    if (!p.location.empty()) {
      h.push_back(0x80 | kWspContentLocation);
      PutText(h, p.location);
    }
    if (!p.contentId.empty()) {
      h.push_back(0x80 | kWspContentId);
      h.push_back('"');  // a quoted string
      h.insert(h.end(), p.contentId.begin(), p.contentId.end());
      h.push_back(0);
    }
    PutUintvar(b, uint32_t(h.size()));
    PutUintvar(b, uint32_t(p.data.size()));
    b.insert(b.end(), h.begin(), h.end());
    b.insert(b.end(), p.data.begin(), p.data.end());
  }
  out->swap(b);
  return true;
}

bool EncodeSendReq(const SendReq& req, Bytes* out, std::string* error) {
  if (!CheckText(req.transactionId, "the transaction id", error) || !CheckText(req.from, "the sender", error) ||
      !CheckText(req.subject, "the subject", error) || !CheckContentType(req.type, error))
    return false;
  for (const std::string& to : req.to)
    if (!CheckText(to, "a recipient", error)) return false;
  Bytes b;
  PutField(b, kMessageType);
  b.push_back(kSendReq);
  PutField(b, kTransactionId);
  PutText(b, req.transactionId);
  PutField(b, kMmsVersion);
  b.push_back(req.version);
  PutField(b, kFrom);
  if (req.from.empty()) {
    b.push_back(1);
    b.push_back(0x81);
  } else {
    Bytes v;
    v.push_back(0x80);
    PutEncodedString(v, req.from);
    PutValueLength(b, v.size());
    b.insert(b.end(), v.begin(), v.end());
  }
  for (const std::string& to : req.to) {
    PutField(b, kTo);
    PutEncodedString(b, to);
  }
  if (!req.subject.empty()) {
    PutField(b, kSubject);
    PutEncodedString(b, req.subject);
  }
  PutField(b, kContentType);
  PutContentType(b, req.type);
  Bytes body;
  if (!EncodeMultipart(req.parts, &body, error)) return false;
  b.insert(b.end(), body.begin(), body.end());
  out->swap(b);
  return true;
}

Bytes EncodeNotifyRespInd(const std::string& transactionId, uint8_t status) {
  Bytes b;
  PutField(b, kMessageType);
  b.push_back(kNotifyRespInd);
  PutField(b, kTransactionId);
  std::string tid = transactionId;
  tid.erase(std::find(tid.begin(), tid.end(), '\0'), tid.end());
  PutText(b, tid);
  PutField(b, kMmsVersion);
  b.push_back(kVersion12);
  PutField(b, kStatus);
  b.push_back(status);
  return b;
}

uint8_t MessageTypeOf(const uint8_t* data, size_t size) {
  if (size < 2 || data[0] != (0x80 | kMessageType) || !(data[1] & 0x80)) return 0;
  return data[1];
}

bool DecodeMultipart(const uint8_t* data, size_t size, std::vector<Part>* out, std::string* error) {
  Reader r(data, size);
  if (DecodeParts(r, out)) return true;
  if (error) *error = r.error();
  return false;
}

bool DecodeSendReq(const uint8_t* data, size_t size, SendReq* out, std::string* error) {
  Reader r(data, size);
  SendReq m;
  m.version = 0;
  bool haveType = false;
  if (ExpectType(r, kSendReq)) {
    while (r.ok() && !haveType) {
      uint8_t code = 0;
      if (!FieldCode(r, &code)) break;
      std::string text;
      switch (code) {
        case kTransactionId: r.Text(&m.transactionId); break;
        case kMmsVersion: ShortValue(r, &m.version); break;
        case kFrom: FromValue(r, &m.from); break;
        case kTo:
          if (EncodedString(r, &text)) {
            if (m.to.size() >= kMaxRecipients) r.Fail("too many recipients");
            m.to.push_back(text);
          }
          break;
        case kSubject: EncodedString(r, &m.subject); break;
        case kContentType:
          ContentTypeValue(r, &m.type);
          haveType = true;
          break;
        default: r.SkipValue();
      }
    }
    if (r.ok() && !haveType) r.Fail("the message has no content type");
    if (r.ok() && m.version == 0) r.Fail("the message has no MMS version");
    if (r.ok() && m.transactionId.empty()) r.Fail("the message has no transaction id");
    if (r.ok() && IsMultipart(m.type.media)) DecodeParts(r, &m.parts);
    else if (r.ok()) r.Fail("the message body is not multipart");
  }
  return Finish(r, &m, out, error);
}

bool DecodeSendConf(const uint8_t* data, size_t size, SendConf* out, std::string* error) {
  Reader r(data, size);
  SendConf m;
  bool haveStatus = false;
  if (ExpectType(r, kSendConf)) {
    while (r.ok() && r.Left() > 0) {
      uint8_t code = 0;
      if (!FieldCode(r, &code)) break;
      switch (code) {
        case kTransactionId: r.Text(&m.transactionId); break;
        case kMmsVersion: ShortValue(r, &m.version); break;
        case kResponseStatus:
          haveStatus = ShortValue(r, &m.responseStatus);
          break;
        case kResponseText: EncodedString(r, &m.responseText); break;
        case kMessageId: r.Text(&m.messageId); break;
        default: r.SkipValue();
      }
    }
    if (r.ok() && !haveStatus) r.Fail("the confirmation has no response status");
  }
  return Finish(r, &m, out, error);
}

bool DecodeNotificationInd(const uint8_t* data, size_t size, NotificationInd* out, std::string* error) {
  Reader r(data, size);
  NotificationInd m;
  if (ExpectType(r, kNotificationInd)) {
    while (r.ok() && r.Left() > 0) {
      uint8_t code = 0;
      if (!FieldCode(r, &code)) break;
      switch (code) {
        case kTransactionId: r.Text(&m.transactionId); break;
        case kMmsVersion: ShortValue(r, &m.version); break;
        case kFrom: FromValue(r, &m.from); break;
        case kSubject: EncodedString(r, &m.subject); break;
        case kMessageClass: {
          uint8_t b = 0;
          r.Peek(&b);
          static const char* const kClasses[] = {"personal", "advertisement", "informational", "auto"};
          if (b >= 0x80 && b <= 0x83) {
            r.Byte(&b);
            m.messageClass = kClasses[b - 0x80];
          } else {
            r.Text(&m.messageClass);
          }
          break;
        }
        case kMessageSize: r.LongInteger(&m.messageSize); break;
        case kExpiry: {
          uint32_t n;
          if (!r.ValueLength(&n)) break;
          Reader v = r.Take(n);
          uint8_t token = 0;
          if (v.Byte(&token) && (token == 0x80 || token == 0x81) && v.LongInteger(&m.expirySeconds))
            m.expiryRelative = token == 0x81;
          else
            r.Fail("the expiry is malformed");
          break;
        }
        case kContentLocation: r.Text(&m.contentLocation); break;
        default: r.SkipValue();
      }
    }
    if (r.ok() && m.contentLocation.empty()) r.Fail("the notification has no content location");
    if (r.ok() && m.transactionId.empty()) r.Fail("the notification has no transaction id");
  }
  return Finish(r, &m, out, error);
}

bool DecodeRetrieveConf(const uint8_t* data, size_t size, RetrieveConf* out, std::string* error) {
  Reader r(data, size);
  RetrieveConf m;
  bool haveType = false;
  if (ExpectType(r, kRetrieveConf)) {
    while (r.ok() && !haveType) {
      uint8_t code = 0;
      if (!FieldCode(r, &code)) break;
      std::string text;
      switch (code) {
        case kTransactionId: r.Text(&m.transactionId); break;
        case kMmsVersion: ShortValue(r, &m.version); break;
        case kMessageId: r.Text(&m.messageId); break;
        case kDate: r.LongInteger(&m.date); break;
        case kFrom: FromValue(r, &m.from); break;
        case kTo:
        case kCc:
          if (EncodedString(r, &text)) {
            std::vector<std::string>& list = code == kTo ? m.to : m.cc;
            if (m.to.size() + m.cc.size() >= kMaxRecipients) r.Fail("too many recipients");
            list.push_back(text);
          }
          break;
        case kSubject: EncodedString(r, &m.subject); break;
        case kRetrieveStatus: ShortValue(r, &m.retrieveStatus); break;
        case kRetrieveText: EncodedString(r, &m.retrieveText); break;
        case kContentType:
          ContentTypeValue(r, &m.type);
          haveType = true;
          break;
        default: r.SkipValue();
      }
    }
    if (r.ok() && !haveType) r.Fail("the message has no content type");
    if (r.ok() && IsMultipart(m.type.media)) DecodeParts(r, &m.parts);
    else if (r.ok()) m.body.assign(r.Here(), r.Here() + r.Left());
  }
  return Finish(r, &m, out, error);
}

bool DecodePush(const uint8_t* data, size_t size, Push* out, std::string* error) {
  Reader r(data, size);
  Push m;
  uint32_t headersLength = 0;
  if (r.Byte(&m.tid) && r.Byte(&m.pduType)) {
    if (m.pduType != 0x06 && m.pduType != 0x07) r.Fail("not a push PDU");
    if (r.Uintvar(&headersLength)) {
      Reader h = r.Take(headersLength);
      if (r.ok() && ContentTypeValue(h, &m.type)) {
        while (h.ok() && h.Left() > 0) {
          uint8_t b = 0;
          h.Peek(&b);
          if (b == (0x80 | kWspApplicationId)) {
            h.Byte(&b);
            uint8_t c = 0;
            h.Peek(&c);
            if (c >= 32 && c < 0x80) {
              h.Text(&m.applicationId);
            } else {
              uint64_t id;
              if (h.Integer(&id)) m.applicationId = id == 4 ? "x-wap-application:mms.ua" : std::to_string(id);
            }
          } else if (b & 0x80) {
            h.Byte(&b);
            h.SkipValue();
          } else if (b >= 32 && b < 127) {
            std::string name, value;
            h.Text(&name);
            h.Text(&value);
          } else {
            h.Fail("a push header is malformed");
          }
        }
      }
      if (!h.ok()) r.Fail(h.error().c_str());
      if (r.ok()) m.body.assign(r.Here(), r.Here() + r.Left());
    }
  }
  return Finish(r, &m, out, error);
}

bool ReaddressSendReq(const uint8_t* data, size_t size, const std::string& transactionId,
                      const std::vector<std::string>& to, Bytes* out, std::string* error) {
  SendReq check;
  if (!DecodeSendReq(data, size, &check, error)) return false;
  if (!CheckText(transactionId, "the transaction id", error)) return false;
  if (to.empty()) {
    if (error) *error = "no recipient";
    return false;
  }
  for (const std::string& t : to)
    if (!CheckText(t, "a recipient", error)) return false;

  Bytes b;
  PutField(b, kMessageType);
  b.push_back(kSendReq);
  PutField(b, kTransactionId);
  PutText(b, transactionId);
  PutField(b, kMmsVersion);
  b.push_back(check.version);
  PutField(b, kFrom);
  b.push_back(1);
  b.push_back(0x81);
  for (const std::string& t : to) {
    PutField(b, kTo);
    PutEncodedString(b, t);
  }
  // Copy the other headers as they stand, then the content type and the body.
  Reader r(data, size);
  uint8_t code = 0, value = 0;
  FieldCode(r, &code);
  ShortValue(r, &value);
  while (r.ok()) {
    const uint8_t* start = r.Here();
    if (!FieldCode(r, &code)) break;
    if (code == kContentType) {
      b.insert(b.end(), start, data + size);
      out->swap(b);
      return true;
    }
    r.SkipValue();
    if (code == kTransactionId || code == kMmsVersion || code == kFrom || code == kTo || code == kCc ||
        code == kBcc)
      continue;
    b.insert(b.end(), start, r.Here());
  }
  if (error) *error = r.error();
  return false;
}

std::string ResponseStatusText(uint8_t status) {
  static const char* const kOld[] = {"Ok", "Error-unspecified", "Error-service-denied", "Error-message-format-corrupt",
                                     "Error-sending-address-unresolved", "Error-message-not-found",
                                     "Error-network-problem", "Error-content-not-accepted",
                                     "Error-unsupported-message"};
  static const char* const kTransient[] = {"Error-transient-failure", "Error-transient-sending-address-unresolved",
                                           "Error-transient-message-not-found", "Error-transient-network-problem",
                                           "Error-transient-partial-success"};
  static const char* const kPermanent[] = {
      "Error-permanent-failure", "Error-permanent-service-denied", "Error-permanent-message-format-corrupt",
      "Error-permanent-sending-address-unresolved", "Error-permanent-message-not-found",
      "Error-permanent-content-not-accepted", "Error-permanent-reply-charging-limitations-not-met",
      "Error-permanent-reply-charging-request-not-accepted", "Error-permanent-reply-charging-forwarding-denied",
      "Error-permanent-reply-charging-not-supported", "Error-permanent-address-hiding-not-supported",
      "Error-permanent-lack-of-prepaid"};
  if (status >= 0x80 && status < 0x80 + sizeof kOld / sizeof kOld[0]) return kOld[status - 0x80];
  if (status >= 0xC0 && status < 0xC0 + sizeof kTransient / sizeof kTransient[0]) return kTransient[status - 0xC0];
  if (status >= 0xE0 && status < 0xE0 + sizeof kPermanent / sizeof kPermanent[0]) return kPermanent[status - 0xE0];
  char text[40];
  snprintf(text, sizeof text, "Error-unknown-status-0x%02X", status);
  return text;
}

bool IsPermanentError(uint8_t status) { return (status >= 0x81 && status <= 0x88) || status >= 0xE0; }

bool IsMultipart(const std::string& media) {
  return media.rfind("multipart/", 0) == 0 || media.rfind("application/vnd.wap.multipart.", 0) == 0;
}

std::string MmsAddress(const std::string& recipient) {
  std::string a = recipient;
  size_t routing = Lower(a).find("/type=vasp");
  if (routing != std::string::npos) a.erase(routing);
  while (!a.empty() && (a.back() == ' ' || a.back() == '\t')) a.pop_back();
  size_t lead = a.find_first_not_of(" \t");
  a = lead == std::string::npos ? std::string() : a.substr(lead);
  if (a.empty()) return a;
  if (Lower(a).find("/type=") != std::string::npos || a.find('@') != std::string::npos) return a;
  bool phone = true;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (!((c >= '0' && c <= '9') || (i == 0 && c == '+') || c == '-' || c == '.')) phone = false;
  }
  return phone ? a + "/TYPE=PLMN" : a;
}

}  // namespace mms
