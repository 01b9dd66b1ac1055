// The Test Message page's rules: the phone number it accepts, the name of a
// test, the gateway's daily log read line by line and the verdict it holds
// for a test, and the address of the gateway's web interface. Pure code: no
// <windows.h>; the page reads the files and shows the texts.
#pragma once
#include <cstddef>
#include <cstdint>

// An optional leading "+" and then at least one character, every one a digit.
bool IsTestPhoneNumber(const char* text);

// "TEST%04X" of the low 16 bits of `tick` (`out` holds at least 9 bytes).
void TestIdentifier(uint32_t tick, char* out, size_t outSize);

// The bytes a log line buffer holds, the terminator included.
constexpr size_t kLogLineBufferSize = 4096;

// One line from `n` bytes just read into `buffer` (`bufferSize` bytes, n <
// bufferSize). The line ends at the first lone CR or LF, or at a CR LF pair;
// a CR followed by another CR becomes a blank. A chunk that filled the buffer
// (n == bufferSize - 1) without a line end is cut after its last blank, or
// taken whole when it has none; a shorter chunk without one is the file's
// last line, taken whole. Leading Ctrl-Z characters are removed. The line is
// left terminated in `buffer`; the result is the number of bytes consumed
// (where the next line begins).
size_t TakeLogLine(char* buffer, size_t n, size_t bufferSize);

// What the day's log says about one test.
enum class TestKind { Sms, Mms };
struct LogVerdict {
  bool found = false;  // some line named the test
  bool ok = false;     // the last such line reported success
  char detail[kLogLineBufferSize] = "";  // its error text when it did not
};

// Looks at one log line. SMS log: the 2nd field names the request, the 5th
// holds the result. MMS log: the 7th names the message, the 6th holds the
// result, and an error shows the 6th and 7th fields together. A field names
// the test when its first 8 characters equal `id` ignoring case; a result is
// success when it begins with "OK" in any case. Lines with fewer fields are
// passed over; a matching line replaces what an earlier one said.
void ExamineLogLine(const char* line, const char* id, TestKind kind, LogVerdict* verdict);

// "http://%s:%u/" for the web interface: `webPort` as a decimal number, 0 (or
// no number) meaning 8800; an empty `ipAddress` meaning "127.0.0.1".
void WebInterfaceUrl(const char* webPort, const char* ipAddress, char* out, size_t outSize);
