// Reading the gateway's message files from disk: SMS requests and received
// SMS, MMS control files, MMS header files, route error files, and the
// creation time the lists show. Every reader opens for reading only, shares
// reading and writing with the gateway, and never creates a file.
#pragma once
#include <windows.h>

#include "core/smsfile.h"

// Opens an existing file for reading (read and write sharing).
HANDLE OpenMessageFile(const char* path);

// Fills `info` from an open request or received-message file. Never fails:
// an unreadable or oversized file leaves the fields empty.
void ReadSmsFile(HANDLE file, SmsFileInfo* info);

// Reads at most the first 8191 bytes of an open header file into `text`
// (kMmsHeaderReadSize + 1 bytes), terminated; the number of bytes read.
DWORD ReadMmsHeaderText(HANDLE file, char* text);

// What the outbound MMS list shows of a control file.
struct MmsControlInfo {
  char SenderAddress[500];
  unsigned RetryCount;
  char LastErrorInfo[500];
  char Recipients[512];  // the Recipient column (MmsRecipientsText)
};

// The control file of an .MMS message: the path with everything from the
// last "." replaced by ".INI". False when it does not fit.
bool MmsControlPath(const char* mmsPath, char* out, size_t outSize);

// Reads "[Routing]" and "[Recipients]" of a control file with the profile
// functions; "[Recipients]" in one 500-byte read.
void ReadMmsControlFile(const char* controlPath, MmsControlInfo* info);

// The error text (at most 250 bytes, terminated; `text` holds 251) of a
// failing route, from its ".ERR" file in the private data directory; empty
// when the file is missing, unreadable or empty.
void ReadRouteErrorFile(const char* route, RouteKind kind, char* text);
// The same with the private data directory already known (many routes in a row).
void ReadRouteErrorFileIn(const char* privateDir, const char* route, RouteKind kind, char* text);

// A file time as local time "%04d-%02d-%02d %02d:%02d:%02d" (`out` holds 20).
void FileTimeText(const FILETIME& utc, char* out);
