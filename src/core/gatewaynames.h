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

// The WAP gateway address as the connection test gets it, checked and
// rewritten in place (buffer of `size` bytes): blanks around it are dropped;
// a dotted address is put in normal form (NormaliseIpAddress); an address
// beginning with "http://" (any case) loses the two slashes, and one beginning
// with "http:" passes as typed when a dotted address follows it, optionally
// with a port or path (":8080", "/wap"). False when it is neither. This is
// the one place the rule lives: the Modem page and its tests call it.
bool PrepareWapGatewayAddress(char* address, size_t size);
