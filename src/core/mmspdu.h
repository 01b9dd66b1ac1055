// MMS encapsulation (OMA MMS 1.2 binary PDUs) and the WSP pieces it rides on:
// the multipart body, content types with their parameters, and the WAP push
// that carries a notification to the handset. Encodes what the gateway sends
// (m-send-req, m-notifyresp-ind) and decodes what it receives (m-send-conf,
// m-notification-ind, m-retrieve-conf, the push). Pure code: no <windows.h>.
//
// Everything here reads data from the network: every length is checked
// against what is left, part counts and texts are bounded, and a decoder
// refuses (false with a reason) rather than guess.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mms {

using Bytes = std::vector<uint8_t>;

// X-Mms-Message-Type values.
enum : uint8_t {
  kSendReq = 0x80,
  kSendConf = 0x81,
  kNotificationInd = 0x82,
  kNotifyRespInd = 0x83,
  kRetrieveConf = 0x84,
  kAcknowledgeInd = 0x85,
  kDeliveryInd = 0x86,
};

// X-Mms-MMS-Version 1.2 (major in bits 4-6, minor in bits 0-3, short integer).
constexpr uint8_t kVersion12 = 0x92;

// X-Mms-Response-Status / X-Mms-Retrieve-Status: Ok, then the error classes.
constexpr uint8_t kStatusOk = 0x80;
// X-Mms-Status of m-notifyresp-ind.
enum : uint8_t { kStatusRetrieved = 0x81, kStatusRejected = 0x82, kStatusDeferred = 0x83 };

// Bounds on what is accepted from outside.
constexpr size_t kMaxParts = 100;
constexpr size_t kMaxText = 4096;
constexpr size_t kMaxRecipients = 100;

// A content type: the media type in lower case and the parameters we use.
struct ContentType {
  std::string media;      // "application/vnd.wap.multipart.related", "text/plain"
  std::string charset;    // "utf-8", empty when absent
  std::string name;       // name or filename parameter, as received
  std::string start;      // multipart/related: Content-ID of the root part
  std::string startType;  // multipart/related: media type of the root part
};

struct Part {
  ContentType type;
  std::string location;   // Content-Location, as received
  std::string contentId;  // Content-ID, as received (usually "<...>")
  Bytes data;
};

struct SendReq {
  std::string transactionId;
  uint8_t version = kVersion12;
  std::string from;  // empty: the MMSC inserts the sender's address
  std::vector<std::string> to;
  std::string subject;
  ContentType type;  // of the whole message
  std::vector<Part> parts;
};

struct SendConf {
  std::string transactionId;
  uint8_t version = 0;
  uint8_t responseStatus = 0;
  std::string responseText;
  std::string messageId;
};

struct NotificationInd {
  std::string transactionId;
  uint8_t version = 0;
  std::string from;
  std::string subject;
  std::string messageClass;  // "personal", "advertisement", ... or the token
  uint64_t messageSize = 0;
  uint64_t expirySeconds = 0;  // relative, or absolute seconds since 1970
  bool expiryRelative = true;
  std::string contentLocation;
};

struct RetrieveConf {
  std::string transactionId;
  uint8_t version = 0;
  std::string messageId;
  uint64_t date = 0;  // seconds since 1970, 0 when absent
  std::string from;
  std::vector<std::string> to, cc;
  std::string subject;
  uint8_t retrieveStatus = kStatusOk;  // absent counts as Ok
  std::string retrieveText;
  ContentType type;
  std::vector<Part> parts;  // empty for a single-part body, see `body`
  Bytes body;               // the body when the type is not multipart
};

// A WSP push (connectionless: transaction id first).
struct Push {
  uint8_t tid = 0;
  uint8_t pduType = 0;  // 0x06 Push, 0x07 ConfirmedPush
  ContentType type;
  std::string applicationId;  // X-Wap-Application-Id, "x-wap-application:mms.ua" or the number as text
  Bytes body;
};

// --- Encoders ---------------------------------------------------------------
// An m-send-req with a multipart body. The message's content type should be
// multipart (related with start and type, or mixed). Texts are written as
// plain text strings, or as UTF-8 encoded strings when they hold bytes above
// 127. False (and `error`) when a text holds a NUL.
bool EncodeSendReq(const SendReq& req, Bytes* out, std::string* error);
// m-notifyresp-ind with X-Mms-Status `status` (kStatusRetrieved ...).
Bytes EncodeNotifyRespInd(const std::string& transactionId, uint8_t status);
// The WSP multipart body of `parts`.
bool EncodeMultipart(const std::vector<Part>& parts, Bytes* out, std::string* error);

// --- Decoders ---------------------------------------------------------------
// The message type of an MMS PDU (its first header), 0 when it has none.
uint8_t MessageTypeOf(const uint8_t* data, size_t size);
bool DecodeSendReq(const uint8_t* data, size_t size, SendReq* out, std::string* error);
bool DecodeSendConf(const uint8_t* data, size_t size, SendConf* out, std::string* error);
bool DecodeNotificationInd(const uint8_t* data, size_t size, NotificationInd* out, std::string* error);
bool DecodeRetrieveConf(const uint8_t* data, size_t size, RetrieveConf* out, std::string* error);
bool DecodeMultipart(const uint8_t* data, size_t size, std::vector<Part>* out, std::string* error);
bool DecodePush(const uint8_t* data, size_t size, Push* out, std::string* error);

// The same m-send-req with a new transaction id, the recipients `to` and the
// sender left to the MMSC (insert-address token); every other header and the
// body are kept byte for byte. The input must decode as an m-send-req.
bool ReaddressSendReq(const uint8_t* data, size_t size, const std::string& transactionId,
                      const std::vector<std::string>& to, Bytes* out, std::string* error);

// --- Texts ------------------------------------------------------------------
// "Ok", "Error-service-denied", ... for a response or retrieve status;
// "Error-unknown-status-0xNN" for others.
std::string ResponseStatusText(uint8_t status);
// Permanent errors are not worth another try (0x81..0x88 and 0xE0..0xFF).
bool IsPermanentError(uint8_t status);
// Whether a media type is one of the multipart types.
bool IsMultipart(const std::string& media);
// An MMS address for a recipient as the gateway's files hold it: a phone
// number gets "/TYPE=PLMN", an e-mail address stays, an address that already
// names an MMS type stays; the gateway's own routing suffix "/TYPE=VASP:..."
// is removed first. Empty when nothing is left.
std::string MmsAddress(const std::string& recipient);

}  // namespace mms
