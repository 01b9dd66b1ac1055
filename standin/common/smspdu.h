// SMS transfer-layer PDUs as a GSM modem takes and gives them in PDU mode
// (3GPP TS 23.040, alphabets of TS 23.038): SMS-SUBMIT built from a message
// the gateway sends, SMS-DELIVER (and SMS-SUBMIT) read from what the modem
// lists. Pure code: no <windows.h>; every reader takes any bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace smspdu {

using Bytes = std::vector<uint8_t>;

enum class Alphabet { Gsm7, Data8, Ucs2 };

// The alphabet a data coding scheme announces (general data coding, message
// waiting and data coding/message class groups); reserved codings count as
// 8-bit data, so their user data is kept as octets.
Alphabet AlphabetOfDcs(uint8_t dcs);

// ---- GSM 7-bit default alphabet ----

// Text (UTF-16 code units) as septets of the default alphabet, characters of
// the extension table as escape 0x1B plus their code. False when a character
// is in neither table (the text then needs UCS-2).
bool TextToSeptets(const std::u16string& text, Bytes* septets);
// Septets back to text; an escape followed by a code the extension table does
// not define gives the default character of that code.
std::u16string SeptetsToText(const Bytes& septets);
// Septets packed little-endian after `fillBits` zero bits (0..6).
Bytes PackSeptets(const Bytes& septets, unsigned fillBits);
// `count` septets read from `octets` after `fillBits` bits; fewer when the
// octets end first.
Bytes UnpackSeptets(const uint8_t* octets, size_t size, unsigned fillBits, size_t count);
// Fill bits that bring a header of `headerOctets` octets (with its length
// octet) to a septet boundary.
unsigned FillBits(size_t headerOctets);

// ---- UTF-8 / UTF-16 ----
std::u16string Utf8ToUtf16(const std::string& text);  // invalid bytes become U+FFFD
std::string Utf16ToUtf8(const std::u16string& text);

// ---- hexadecimal ----
std::string ToHex(const Bytes& bytes);  // upper case
// False when the text holds anything but pairs of hexadecimal digits.
bool FromHex(const std::string& hex, Bytes* bytes);

// ---- addresses ----

// A destination or originating address field (length in digits, type, BCD
// digits). `number` is "+" and digits (international) or digits, "*", "#";
// false for anything else, for no digit and for more than 20 digits.
bool EncodeAddress(const std::string& number, Bytes* out);
// Reads an address field at `p`; `used` gets its size. International numbers
// get a "+", alphanumeric addresses (type 101) their GSM 7-bit text as UTF-8.
bool DecodeAddress(const uint8_t* p, size_t size, size_t* used, std::string* number);

// ---- user data header ----
struct HeaderElement {
  uint8_t id = 0;
  Bytes data;
};
// Elements of a header (without its length octet). False when an element runs
// past the end.
bool ParseHeader(const Bytes& header, std::vector<HeaderElement>* elements);
Bytes BuildHeader(const std::vector<HeaderElement>& elements);

struct Concatenation {
  unsigned reference = 0;  // 8- or 16-bit reference
  unsigned total = 0;
  unsigned sequence = 0;
};
// The concatenation element (id 0 or 8) of a header; false when absent or
// malformed (total 0, sequence 0 or beyond total).
bool FindConcatenation(const std::vector<HeaderElement>& elements, Concatenation* c);
struct Ports {
  unsigned destination = 0;
  unsigned source = 0;
};
// Application port addressing (id 4, 8-bit, or 5, 16-bit); false when absent.
bool FindPorts(const std::vector<HeaderElement>& elements, Ports* ports);
// The elements without concatenation.
std::vector<HeaderElement> WithoutConcatenation(const std::vector<HeaderElement>& elements);

// ---- SMS-SUBMIT ----

struct Outgoing {
  std::string number;      // destination
  Alphabet alphabet = Alphabet::Gsm7;
  uint8_t dcs = 0;         // as sent; its alphabet must be `alphabet`
  Bytes payload;           // septets for Gsm7, octets otherwise
  Bytes header;            // header elements the message carries (without length octet), may be empty
  uint8_t pid = 0;
  bool statusReport = false;
};

// Limits of one message's user data.
constexpr size_t kMaxUserDataOctets = 140;
constexpr size_t kMaxSeptets = 160;
constexpr unsigned kMaxParts = 255;

// A text as the gateway sends it: GSM 7-bit (DCS 0x00) when every character
// has a place in the default alphabet or its extension, else UCS-2 (DCS 0x08).
Outgoing TextMessage(const std::string& number, const std::u16string& text);

// The SMS-SUBMIT TPDUs (no service centre field) of `message`: one, or when
// the user data does not fit, several parts that each carry a concatenation
// element with `reference`; an escape pair or a UTF-16 surrogate pair is never
// cut. False with a reason in `error` (bad number, too long, header too big).
bool EncodeSubmit(const Outgoing& message, uint8_t reference, std::vector<Bytes>* tpdus, std::string* error);

// ---- reading PDUs ----

enum class PduType { Deliver, Submit, StatusReport, Unknown };

struct Decoded {
  PduType type = PduType::Unknown;
  std::string serviceCentre;  // when the PDU begins with the service centre field
  std::string address;        // originating (deliver) or destination (submit)
  uint8_t pid = 0, dcs = 0;
  Alphabet alphabet = Alphabet::Gsm7;
  std::string timestamp;      // deliver: "YY/MM/DD,hh:mm:ss+zz" (quarter hours, signed)
  uint8_t messageReference = 0;  // submit
  unsigned userDataLength = 0;   // TP-UDL as given
  Bytes header;               // header elements without the length octet; empty without UDHI
  // The user data after the header as it stands in the PDU (7-bit: the packed
  // octets, fill bits first) — what a received message file keeps.
  Bytes body;
  // The characters: septets (7-bit, header and fill removed) or octets.
  Bytes units;
};

// Reads a whole PDU: with `withServiceCentre` the service centre address field
// comes first (as AT+CMGR and AT+CMGL show it, and AT+CMGS takes it). False
// with a reason when the bytes are not one well-formed SMS-DELIVER or
// SMS-SUBMIT, or hold bytes past its end.
bool DecodePdu(const uint8_t* pdu, size_t size, bool withServiceCentre, Decoded* out, std::string* error);

// The text of a decoded message: GSM 7-bit and UCS-2 units as UTF-8; 8-bit
// data as upper-case hexadecimal.
std::string MessageText(const Decoded& message);

}  // namespace smspdu
