// Where the gateway keeps its data, as its libraries and services find it:
// HKLM\SOFTWARE\ZarqSMS values ProgramDataDirectory / PrivateDataDirectory,
// else %ProgramData%\ZarqSMS\. A process may be pointed elsewhere through the
// environment (ZARQ_PROGRAMDATA_DIR, ZARQ_PRIVATEDATA_DIR), which lets tests
// run side by side in one Wine prefix.
#pragma once
#include <windows.h>

namespace datadirs {
// Each fills `path` (MAX_PATH) with a directory ending in a backslash and
// creates it when missing.
void ProgramData(char* path);
void PrivateData(char* path);
// Directory of the process's main module, ending in a backslash.
void RealProgram(char* path);
// Creates every missing level of `dir`.
void CreateTree(const char* dir);
}  // namespace datadirs
