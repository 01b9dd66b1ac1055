// How the MMSC keeps what it moves: the names of stored parts, the header
// file of a received MMS, the lines of its daily log and the routing of a
// queued message's recipients. Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "core/mmspdu.h"

// A file name for a part received from the network, safe to create inside
// the message's own part directory: only the last path component of
// `proposed` is kept, characters outside letters, digits and "._-+()" become
// "_", leading dots and trailing dots and blanks go, device names (CON, NUL,
// COM1...) get a "_" in front, the name is at most 64 characters. Empty
// names become "part<index>"; a name without extension gets one from the
// media type when we know it. A name already in `taken` (any case) gets
// "-2", "-3" ... before its extension.
std::string SafePartFileName(const std::string& proposed, const std::string& media, size_t index,
                             const std::vector<std::string>& taken);

// A received text for one line of the gateway's ANSI files: UTF-8 decoded to
// Windows-1252 ("?" for what it cannot show), control characters (line
// breaks included) as blanks, at most `limit` bytes.
std::string AnsiLineText(const std::string& utf8, size_t limit = 500);

// One part as stored: its path relative to the received-MMS directory and its media type.
struct StoredPart {
  std::string relativePath;  // "<message>\<file>"
  std::string media;
};

// The text of a received message's header file: "From:", "To:", "Cc:",
// "Subject:", "Date:" (UTC, RFC 822 form), "Message-ID:", "Content-Type:",
// then one "X-ZarqMMS-Content-Location: path;type" line per part, CR LF after
// each line. Every value is made one safe line (AnsiLineText).
std::string MmsHeaderFileText(const mms::RetrieveConf& message, const std::vector<StoredPart>& parts);

// One line of the MMSC's daily log "MMSC-YYYYMMDD.LOG": comma-separated
// fields, commas and line breaks inside a field written as blanks, CR LF at
// the end.
//   1 time "YYYY-MM-DD hh:mm:ss", 2 direction "OUT"/"IN", 3 route,
//   4 sender, 5 recipients (";" between), 6 result ("OK..." or the error),
//   7 the message's file name, 8 the MMSC's message id.
struct MmscLogEntry {
  std::string time, direction, route, from, to, result, fileName, messageId;
};
std::string MmscLogLine(const MmscLogEntry& entry);

// A recipient of a queued message as its control file holds it:
// "address/TYPE=VASP:route" names the outbound account; any other form goes
// to the default route.
struct QueuedRecipient {
  std::string address;  // the MMS address (mms::MmsAddress)
  std::string route;    // account name, empty for the default route
};
QueuedRecipient ParseQueuedRecipient(const std::string& value);
