// Text rules shared by every page: boolean settings, command-line switches,
// blanks and bounded buffers. Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>

// Upper-case table for the 256 byte values of an 8-bit code page.
struct UpperTable {
  unsigned char map[256];
};

// Windows-1252 upper-casing, the table used when none is given.
const UpperTable& Cp1252Upper();

// True when the first character is Y, y or 1, or the whole text is TRUE in any case.
bool IsYesValue(const char* text);

// Position of the first place where `sw` matches `text`, compared after
// upper-casing both through `upper`; the match may start inside a word or path.
// Null when there is none.
const char* FindCommandSwitch(const char* text, const char* sw, const UpperTable* upper = nullptr);

// Case-insensitive comparison through an upper-case table (default Windows-1252).
int CompareNoCase(const char* a, const char* b, const UpperTable* upper = nullptr);
bool StartsWithNoCase(const char* text, const char* prefix, const UpperTable* upper = nullptr);

// Skip spaces (32) only.
const char* SkipBlanks(const char* p);
char* SkipBlanks(char* p);
// Skip characters with codes 1 to 32.
const char* SkipWhite(const char* p);
char* SkipWhite(char* p);
// Remove trailing characters with codes 1 to 32, in place.
void TrimRight(char* text);

// Copy "name:number" into `name` (size `nameSize`, always terminated); when the
// text holds a colon the copy ends there and `*number` gets the decimal value
// after it; without a colon `*number` is left as it was.
void SplitNameAndNumber(const char* text, char* name, size_t nameSize, unsigned* number);

// Append `text` to the terminated buffer `buf` of total size `size`: nothing when
// it is already full, otherwise at most what fits with the terminator.
void BoundedAppend(char* buf, size_t size, const char* text);

// Copy with truncation, always terminated (size > 0).
void CopyBounded(char* dst, size_t size, const char* src);

// The C library's decimal reading (leading white, sign, digits up to the first
// other character; no digits gives 0), as an unsigned value the way "%u" shows it.
unsigned DecimalValue(const char* text);

// An INI value ends at its line's end, so texts with line breaks are stored
// with CR as backslash r and LF as backslash n, as the gateway's message files
// keep them.
std::string EscapeLineBreaks(const char* text);
// Backslash r -> CR, then backslash n -> LF (lower case only), in place.
void UnescapeLineBreaks(char* text);
