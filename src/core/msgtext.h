// Received message text: data coding schemes, hexadecimal digits and the
// UCS-2 conversion that turn a message's stored user data into UTF-8 for the
// lists. Pure code: no <windows.h>.
#pragma once

struct SmsFileInfo;

// 0 to 15 for 0-9, a-f, A-F; 0 for any other character.
unsigned HexDigitValue(char c);
bool IsHexDigit(char c);

// Low 8 bits of the value of the leading run of hexadecimal digits (0 when none).
unsigned char ParseHexByte(const char* text);

// Coding schemes whose user data is GSM 7-bit packed, or UCS-2.
bool IsGsm7Dcs(unsigned char dcs);
bool IsUcs2Dcs(unsigned char dcs);

// Hexadecimal UCS-2 units (four digits each, a shorter last one allowed) to
// UTF-8, in place or into `out`; reading ends at the first non-hexadecimal
// character, writing at the first unit 0. `out` may be `hex` itself: the
// output never overtakes the input.
void Ucs2HexToUtf8(const char* hex, char* out);
inline void Ucs2HexToUtf8(char* text) { Ucs2HexToUtf8(text, text); }

// The account library's GSM 7-bit conversion (udh, data, out); out is the
// data buffer itself, 8192 bytes.
typedef void (*Gsm7Converter)(const char* udh, const char* data, char* out);

// Rewrites a received message's Data as the text the lists show: binary GSM
// 7-bit data through `gsm7`, binary UCS-2 data to UTF-8, everything else as
// stored.
void DisplayText(SmsFileInfo* info, Gsm7Converter gsm7);
