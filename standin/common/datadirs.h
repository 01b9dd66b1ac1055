// Where the gateway keeps its data, as its libraries and services find it:
// HKLM\SOFTWARE\ZarqSMS values ProgramDataDirectory / PrivateDataDirectory,
// else %ProgramData%\ZarqSMS\. A process may be pointed elsewhere through the
// environment (ZARQ_PROGRAMDATA_DIR, ZARQ_PRIVATEDATA_DIR), which lets tests
// run side by side in one Wine prefix.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace datadirs {
// Each fills `path` (MAX_PATH) with a directory ending in a backslash and
// creates it when missing.
void ProgramData(char* path);
void PrivateData(char* path);
// Directory of the process's main module, ending in a backslash.
void RealProgram(char* path);
// Creates every missing level of `dir`.
void CreateTree(const char* dir);
// The names of the files (not directories) in `dir` that match `pattern`, as
// the system lists them, taken whole before any of them is moved or deleted.
std::vector<std::string> FilesIn(const std::string& dir, const char* pattern);
// `dir` (ending in a backslash) and each of its subdirectories whose name does
// not start with a dot, each ending in a backslash: a queue and its routes.
std::vector<std::string> DirectoryAndSubdirectories(const std::string& dir);
// Appends `text` to the file at `path` (created when missing) in one write, so
// that lines of several writers never mix; false when the file cannot be
// opened or not all of it was written.
bool AppendToFile(const std::string& path, const std::string& text);
}  // namespace datadirs
