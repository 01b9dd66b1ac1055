// The received-SMS command table of SMSGW.INI ("ReceiveSMSCommand%u"): one
// line per command, three fields separated by tabs: the message prefix, the
// command to execute, and "Yes" or "No" for whether the command returns
// response text. Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>

#include "core/textrules.h"

// Buffer of one entry as the gateway reads it back (1023 characters).
constexpr size_t kCommandEntrySize = 1024;
// The prefix that entries are compared by: at most 99 characters.
constexpr size_t kCommandPrefixSize = 100;
// Room for a program name taken from a command.
constexpr size_t kCommandProgramSize = 1024;

// Older tables separated the fields by blanks: while the entry holds fewer
// than two tabs its last blank becomes a tab (at most twice), so that
// "pfx http://host/x Yes" reads as three fields.
void RepairCommandEntry(char* entry);

// Field 0 (prefix), 1 (command) or 2 (response flag) of an entry; empty when
// the entry has fewer fields.
std::string CommandField(const char* entry, int field);

// The prefix an entry is compared by: the text before the first tab, at most
// 99 characters, "*" when empty.
void CommandPrefix(const char* entry, char* prefix, size_t size = kCommandPrefixSize);

// What the command dialog refuses, in the order it checks.
enum class CommandProblem { None, Empty, MailTo, NoReplacementString, ProgramMissing };

// Checks a command as typed. `programExists` tells whether a path names a
// plain file (relative paths from the current directory). On ProgramMissing,
// `program` holds the name as tried last (with ".EXE" when one was added).
CommandProblem CheckCommand(const char* command, bool returnsResponse, bool (*programExists)(const char* path),
                            char* program, size_t programSize, const UpperTable* upper = nullptr);

// prefix ("*" when empty), tab, command, tab, "Yes" or "No", in `entry` of
// `size` bytes. Overlong texts are cut in the command (then the prefix) so
// that both tabs and the response flag always fit.
void BuildCommandEntry(const char* prefix, const char* command, bool returnsResponse, char* entry, size_t size);
