// The gateway's message files read from memory: SMS requests and received
// SMS (sections "[SMS]" / "[SMS-IN]" and "[ErrorDetail]"), the recipients of
// an MMS control file, the header lines of a received MMS, and the names of
// the route error files. Pure code: no <windows.h>; the file handling lives
// in store/msgfiles.h.
#pragma once
#include <cstddef>
#include <cstdint>

// Same layout as the platform's SYSTEMTIME; day of week and milliseconds stay 0.
struct SmsDateTime {
  uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// Receipt flag bits.
enum : uint32_t {
  kReplyRequested = 0x01,
  kReceiptRequested = 0x02,
  kReceiptDelivered = 0x0C,
  kReceiptIntransit = 0x14,
  kReceiptFailed = 0x24,
  kNonDelReceiptRequested = 0x40,
};

// One request or received message. Text capacities include the terminator;
// every field is empty or zero when its key is absent.
struct SmsFileInfo {
  char PhoneNumber[150];
  char Sender[150];
  char Data[8192];  // line breaks unescaped; hexadecimal user data when binary
  char udh[500];
  char SubmittedBy[500];
  char SubmitUser[250];
  char ServiceType[100];
  char RouteToLocalUser[100];
  char SMPPOptions[500];
  char SMSCRoute[100];
  char Validity[50];
  char BillingInfo[50];
  char LastErrorInfo[200];
  char ModemName[150];
  uint8_t pid;
  uint8_t dcs;
  bool binary;
  int32_t RetryCount;
  uint32_t ReceiptFlags;
  SmsDateTime LastRetryTime;
  SmsDateTime FirstAttemptTime;
  char ReceiptMessageId[150];
};

// Files up to this size are read into a fixed buffer, larger ones into the heap.
constexpr size_t kSmsFileFixedBuffer = 8192;

// Fills `info` from a file's text, which ends at its first NUL. Never fails:
// what cannot be read stays empty.
void ParseSmsText(const char* text, SmsFileInfo* info);

// YYYYMMDDhhmmss when the first 14 characters are digits, else 2000-01-01 00:00:00.
SmsDateTime ParseCompactTime(const char* text);

// The C library's decimal reading of a long (leading white and a sign, digits
// up to the first other character, saturating) over [text, end), in the
// platform's 32-bit long.
int32_t ParseLongValue(const char* text, const char* end);

// Received MMS header lines; the last of each kind wins.
struct MmsHeaderInfo {
  char From[150];
  char To[150];
  char Subject[500];
};

// Only this many bytes of a header file are read.
constexpr size_t kMmsHeaderReadSize = 8191;

// Fills `info` from a header file's text (terminated).
void ParseMmsHeader(const char* text, MmsHeaderInfo* info);

// One stored part named by an "X-ZarqMMS-Content-Location:" line.
struct MmsPartLocation {
  char Path[260];         // relative to the received-MMS directory
  char ContentType[150];  // the first parameter after ";", empty when none
};

// Finds the next "X-ZarqMMS-Content-Location:" line at or after `*cursor`
// (which starts at the header text and is advanced past it) and fills `part`.
// False when there is none.
bool NextMmsPartLocation(const char** cursor, MmsPartLocation* part);

// The "[Recipients]" section of an MMS control file as the profile functions
// return it (entries "key=value", each NUL-terminated, an empty entry at the
// end) in a buffer of `size` bytes, made into the Recipient column: the first
// five addresses joined by ", ", each cut at "/TYPE=", or "%u recipients"
// when there are more than five. An entry without "=" ends the walk.
void MmsRecipientsText(const char* section, size_t size, char* out, size_t outSize);

// Route error file name (no directory): route name with ":", "/" and "\"
// replaced by "-", prefixed with "MMSCROUTE--" for an MMSC route, plus ".ERR".
enum class RouteKind { Modem, Mmsc };
void RouteErrorFileName(const char* route, RouteKind kind, char* out, size_t outSize);

// Text position helper: true when [p, end) begins with `prefix` in any case.
bool LineStartsWith(const char* p, const char* end, const char* prefix);
