// A whole settings section read at once (the profile functions' section
// form: "key=value" entries, each NUL-terminated, an empty entry at the end),
// looked up as a key-by-key read would see it. Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The value of `key` (compared ignoring case; the first entry wins), with
// blanks around key and value removed and one pair of enclosing quotes (" or
// ') dropped, as a key-by-key read returns it. False when the section has no
// such key.
bool SectionValue(const char* section, size_t size, const char* key, std::string* value);

// The modems named in [SMSGW], in the order the gateway's keys number them:
// Modem1 to Modem201 always, gaps allowed, and past 201 only while each next
// key exists. Empty values are left out; each value is cut to `maxLength`.
std::vector<std::string> ConfiguredModemNames(const char* section, size_t size, size_t maxLength = 1023);
