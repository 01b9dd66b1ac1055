// Names and addresses as the gateway stores them in SMSGW.INI. Pure code: no <windows.h>.
#pragma once
#include <cstddef>

// Room every caller gives a connection section name.
constexpr size_t kSectionNameSize = 500;

// The SMSGW.INI section of a modem or connection: "Modem - " in front unless
// the name is one of the gateway's other connection kinds ("SMPP - ",
// "HTTP - ", "UCP - ", "CIMD - " in any case), and each "[" / "]" written as
// the four characters \x5B / \x5D. `out` (size `outSize`) may be `name` itself.
// When the whole result does not fit, it is cut before the first character or
// escape that would not fit (so a too-long name always gives the same
// section) and false is returned; true when it fitted.
bool ConnectionSectionName(const char* name, char* out, size_t outSize = kSectionNameSize);

// The page's address check. Trailing characters with codes up to 32 are
// removed, leading blanks skipped; then only digits and at most three dots may
// follow, each of the four parts 0 to 255 (an empty or missing part is 0).
// On success the text (buffer of `size` bytes) is rewritten as four plain
// decimal parts joined by "." and true returned; otherwise it keeps only the
// trailing-character removal and false is returned. A normal form that would
// not fit the buffer counts as a failure.
bool NormaliseIpAddress(char* text, size_t size);

// A host name as a URL carries it: labels of letters, digits and hyphens (1 to
// 63 characters, no hyphen at either end) joined by single dots, at most 253
// characters, with at least one letter or hyphen (all digits and dots is a
// malformed address, not a name). [text, text + length).
bool IsHostName(const char* text, size_t length);

// What follows "http:" in a WAP gateway address: an optional "//", a host (a
// dotted address as NormaliseIpAddress reads it, or a host name), an optional
// ":" and port 1 to 65535, and optionally "/" and a path.
bool IsHttpGatewayTarget(const char* text);

// The Modem page's WAP gateway check, on the text as typed (buffer of `size`
// bytes, changed in place): trailing characters up to code 32 and leading
// blanks removed, "http://" shortened to "http:"; then either a dotted address
// (rewritten in normal form by NormaliseIpAddress) or "http:" followed by
// IsHttpGatewayTarget, which is left as it stands. False when it is neither.
bool PrepareWapGatewayAddress(char* address, size_t size);
