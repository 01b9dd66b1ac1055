// The SMS gateway stand-in's rules that need no system: what the modem
// answers to the message commands, the lines of the daily SMSOUT log, the
// retry state kept in a request's "[ErrorDetail]" section, the received
// message files, and turning a request into the message to send. Pure code:
// no <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "smspdu.h"

struct SmsFileInfo;

namespace smsgw {

// ---- modem answers ----

// Indexes of the "+CMTI: <mem>,<index>" announcements in `text`.
std::vector<unsigned> NewMessageIndexes(const std::string& text);

// One message of an AT+CMGL (PDU mode) listing, or of AT+CMGR with index 0.
struct ListedMessage {
  unsigned index = 0;
  unsigned status = 0;
  std::string pduHex;
};
// "+CMGL: <index>,<stat>,[<alpha>],<length>" lines, each followed by its PDU line.
std::vector<ListedMessage> ParseMessageList(const std::string& text);
// The message reference of "+CMGS: <mr>"; false when there is none.
bool ParseSubmitReference(const std::string& text, unsigned* reference);
// The number of "+CNUM: [<alpha>],"<number>",<type>"; false when there is none.
bool ParseOwnNumber(const std::string& text, std::string* number);
// The modem's error line ("+CMS ERROR: 500", "+CME ERROR: 10", "ERROR"), or
// "" when the text holds none.
std::string ErrorLine(const std::string& text);

// ---- the day's log ----

// A log field: commas become semicolons and line breaks blanks, so that the
// field positions hold (readers count commas).
std::string LogField(const std::string& text);

// One line of "SMSOUT-YYYYMMDD.LOG", CR LF ended. Fields: 1 local time
// "YYYY-MM-DD hh:mm:ss", 2 the request's file name, 3 the recipient, 4 the
// route (modem), 5 the result ("OK -- ..." or the error), 6 the number of
// message parts, 7 the submitter (SubmittedBy, then "/" and SubmitUser when
// there is one).
struct LogEntry {
  std::string time;
  std::string requestName;
  std::string recipient;
  std::string route;
  std::string result;
  unsigned parts = 0;
  std::string submitter;
};
std::string FormatLogLine(const LogEntry& entry);

// ---- the request's retry state ----

struct RetryState {
  int retryCount = 0;
  std::string lastErrorInfo;   // at most 199 characters are kept
  std::string firstAttemptTime;  // YYYYMMDDhhmmss
  std::string lastRetryTime;     // YYYYMMDDhhmmss
  unsigned partsSent = 0;      // parts already accepted by the network
  unsigned reference = 0;      // the concatenation reference of the parts
};
// The request's text with its "[ErrorDetail]" section (any case, wherever it
// stands) replaced by one holding `state`, placed at the end.
std::string WithRetryState(const std::string& text, const RetryState& state);
// The keys of "[ErrorDetail]" this gateway adds beyond the readers' own.
void ReadExtraRetryState(const std::string& text, RetryState* state);

// True once the request's text carries the "[Sent]" mark: the network took
// the whole message and only the log line and the deletion were missing.
bool IsMarkedSent(const std::string& text);
std::string SentMark(const std::string& time, const std::string& result);
// The result recorded by the "[Sent]" mark.
std::string SentResult(const std::string& text);

// ---- from request to message ----

// The message a request asks for, or false with the reason that makes it
// unsendable. `text` is the Data value as UTF-16 (ignored for binary
// requests, whose Data is hexadecimal user data, dcs 0 counting as 8-bit).
// `dataTruncated`: the Data line was longer than the reader keeps.
bool PrepareRequest(const SmsFileInfo& request, const std::u16string& text, bool dataTruncated,
                    smspdu::Outgoing* message, std::string* error);

// ---- received messages ----

struct ReceivedSms {
  std::string sender;
  std::string recipient;   // the modem's own number, when known
  std::string modemName;
  std::string receivedTime;  // "YYYY-MM-DD hh:mm:ss"
  std::string centreTime;    // the service centre's time stamp
  uint8_t pid = 0, dcs = 0;
  smspdu::Bytes header;    // elements without the length octet; empty when none
  smspdu::Bytes body;      // user data after the header, as the PDU holds it
  std::string pduError;    // why the PDU could not be read (then body is the whole PDU)
};
// The file text of a received message: "[SMS-IN]" with Sender, PhoneNumber,
// Data (hexadecimal user data), binary, dcs, udh (with its length octet) and
// the gateway's own keys.
std::string ReceivedFileText(const ReceivedSms& message);

// A received message from one decoded PDU (no concatenation applied).
ReceivedSms FromDecoded(const smspdu::Decoded& decoded);

// Parts of one concatenated message, in any order; false unless every part
// 1..total is there once, all with one coding. The result keeps the header
// elements of the first part other than concatenation.
bool JoinParts(const std::vector<smspdu::Decoded>& parts, ReceivedSms* joined);

// A WAP push for the MMSC: application port 2948 (WSP connectionless push).
constexpr unsigned kWapPushPort = 2948;

}  // namespace smsgw
