// Where the SMS gateway keeps its files and how it writes them: the queue
// and inbox directories as the setup program resolves them, the day's log,
// route error files, and files that appear whole (written beside, then
// renamed).
#pragma once
#include <windows.h>

#include <string>

namespace gw {

// SMSGW.INI's settings, read afresh at each use.
std::string Setting(const char* ini, const char* section, const char* key, const char* def = "");
unsigned NumberSetting(const char* ini, const char* section, const char* key, unsigned def);

std::string ProgramDataDir();  // ends in a backslash
std::string PrivateDataDir();
// QDir of [SMSGW], else program data + "Q\" (created).
std::string QueueDir(const char* ini);
// SmsInDir of [SMSGW], else program data + "SMS-IN\" (created here: the gateway writes into it).
std::string InboxDir(const char* ini);

// Local time as "YYYY-MM-DD hh:mm:ss" and as "YYYYMMDDhhmmss".
std::string DisplayTime(const SYSTEMTIME& t);
std::string CompactTime(const SYSTEMTIME& t);

// The whole file (at most `limit` bytes; false when bigger or unreadable).
bool ReadWholeFile(HANDLE file, size_t limit, std::string* text);
bool ReadWholeFile(const std::string& path, size_t limit, std::string* text);
// Writes `text` as `directory` + a unique name made from `prefix` and the time,
// with `extension`: first as ".TMP", then renamed, so that a reader never sees
// half a file. The final path, or "" on failure.
std::string WriteNewFile(const std::string& directory, const char* prefix, const char* extension,
                         const std::string& text);

// SMSDEBUG.LOG in the program-data directory, when `Debug` of [SMSGW] is on:
// one line per entry, local time first, control characters escaped.
void DebugLog(const char* ini, const std::string& text);

// The modem route's error file: `text` written when not empty, the file
// emptied when it is.
void SetRouteError(const char* route, const std::string& text);

}  // namespace gw
