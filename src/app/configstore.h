// Where the gateway's settings files and data directories are, how settings
// are read and written, and the small file operations every part shares.
#pragma once
#include <windows.h>

#include "core/textrules.h"

// Full paths of SMSGW.INI and MMSC.INI, computed once at start-up.
extern char g_SmsgwIni[MAX_PATH];
extern char g_MmscIni[MAX_PATH];

// Settings files in the program-data directory, rebuilt at each use.
void ProgramDataPath(const char* name, char* path);  // program-data directory + name

// Reads a setting with a default (the text is always terminated).
DWORD ReadSetting(const char* file, const char* section, const char* key, const char* def, char* out, DWORD size);
// Writes a setting; a null or empty value removes the key.
BOOL WriteSetting(const char* file, const char* section, const char* key, const char* value);
// Reads a setting as a yes value (IsYesValue).
bool ReadYesSetting(const char* file, const char* section, const char* key, const char* def = "");

// Data directories, each a 260-character path ending in a backslash.
void QueueDirectory(char* path, const char* subdirectory = nullptr);
void SmsInboxDirectory(char* path);
void MmsInboxDirectory(char* path);
void VaspQueueDirectory(char* path);

bool FileExists(const char* pathOrPattern);
bool IsPlainFile(const char* path);
// Deletes a directory and everything under it, skipping dot-directories.
// A junction or symbolic link is removed itself; its target is left alone.
void DeleteDirectoryTree(const char* path);

// Writes `text` without its terminator; the number of bytes written, 0 on failure.
DWORD WriteText(HANDLE file, const char* text);

// The system's ANSI upper-case table, for FindCommandSwitch.
const UpperTable& AnsiUpper();
