// Reading what a GSM modem answers to AT commands, and the texts built from
// those answers. Pure code: no <windows.h>. Every function takes a
// NUL-terminated answer and tolerates any bytes in it.
#pragma once
#include <cstddef>

// The size of every answer and message buffer of the modem code.
constexpr size_t kModemTextSize = 500;

// True when the text contains "\nOK" or "\rOK" (exact case); "ERROR" is never success.
bool HasOk(const char* text);

// True when the text holds a final result code: "\nOK", "\rOK" or "ERROR"
// (the last also matches "+CMS ERROR: n" and "+CME ERROR: n").
bool HasFinalResult(const char* text);

// Case-insensitive (ASCII) search for `word` in `text`.
bool ContainsNoCase(const char* text, const char* word);

// The answer to "AT+CFUN=?": true when "+CFUN:" is followed, after spaces, by
// a parenthesised list and then, after spaces, a comma, i.e. the modem takes
// a second (reset) parameter.
bool CfunTakesResetParameter(const char* answer);

// The answer to "AT+CFUN?": true when it reports a functionality level and
// that level does not begin with "1" (the radio is not on); false when there
// is no "+CFUN:" at all or the radio is already on.
bool CfunReportsRadioOff(const char* answer);

// The answer to "AT+COPS?".
enum class CopsReply {
  kNoReport,    // no "+COPS:" in the answer
  kNoOperator,  // "+COPS: <mode>" alone: not registered yet
  kOperator,    // "+COPS: <mode>," followed by an operator
};
CopsReply ReadCopsReply(const char* answer);

// `prefix` followed by the modem's answer, limited to size - 1 characters and
// always terminated (size > 0). Used for the failure texts that quote the modem.
void BuildAnswerMessage(char* out, size_t size, const char* prefix, const char* answer);

// True for a serial port written as the gateway writes it: "COM" in any case,
// decimal digits (possibly none), and a final ":" with nothing after it.
bool IsDirectPortName(const char* name);

// The port name a reset works on: at most 99 characters of `name`, with ":"
// appended when it begins with "COM" (any case) and does not end in ":".
// `out` holds at least 101 bytes.
void ResetPortName(const char* name, char* out, size_t size);

// "\\.\" + `name` without its last character (the colon), the device path
// that opens ports beyond COM9. Always terminated (size > 0).
void DevicePortPath(const char* name, char* out, size_t size);
