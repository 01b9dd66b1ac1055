// The parts of a received MMS as the MMS view lists and opens them: one list
// entry per "X-ZarqMMS-Content-Location:" line (core/smsfile.h), the program
// a part opens with, and which stored paths may be opened at all. Pure code:
// no <windows.h>.
#pragma once
#include <cstddef>

#include "core/smsfile.h"

// The entry of a part: its file name (the text after the last backslash of
// the stored path, or the whole path), " (" content type ")" when it has one,
// a tab and the stored path.
void MmsPartEntryText(const MmsPartLocation& part, char* out, size_t size);

// The stored path an entry carries after its tab; null without a tab.
const char* MmsPartEntryPath(const char* entry);

// True when the part opens in Notepad rather than through the shell: the
// entry holds "application/smil", or the stored path holds no "." and the
// entry holds "text/" (any case).
bool MmsPartOpensInNotepad(const char* entry, const char* storedPath);

// True when a stored path stays inside the received-MMS directory: not empty,
// relative (no leading "\" or "/", no drive or stream ":"), no component made
// only of dots other than ".", no quote or control character. The gateway's
// header files come from outside and must not open files elsewhere.
bool IsContainedPartPath(const char* storedPath);

// The header text as a multi-line edit control shows it: every line break
// (CR LF, a lone CR or a lone LF) written as CR LF, cut to fit `size`.
void WithCrLfLineBreaks(const char* text, char* out, size_t size);
