// GSM 7-bit default alphabet (3GPP TS 23.038) user data to UTF-8. Pure code:
// no <windows.h>; ZARQACCT.DLL's GSM7ToUTF8String is this function.
#pragma once
#include <cstddef>

// Bytes the output buffer holds: the Data buffer of a received message.
constexpr size_t kGsm7OutputCapacity = 8192;

// `data` is hexadecimal user data that follows the user data header whose
// hexadecimal octets are `udh` (empty or null when there is none): its first
// septet starts after the fill bits that align the header to a septet
// boundary. Writes terminated UTF-8 into `out` (kGsm7OutputCapacity bytes,
// may be `data` itself), stopping at the last whole character that fits.
// Decoding stops at the first non-hexadecimal character or an odd last digit.
void Gsm7HexToUtf8(const char* udh, const char* data, char* out);
