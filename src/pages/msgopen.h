// How the program opens a file for the operator to read: Notepad for texts
// (messages, message parts, logs), the shell's "open" for everything else.
// Failures are ignored: the operator sees that nothing opened.
#pragma once
#include <windows.h>

// Starts "NOTEPAD.EXE \"path\"" without waiting for it.
void OpenInNotepad(const char* path);
// Asks the shell to "open" `path`, with its directory as working directory.
void OpenMessageWithShell(HWND owner, const char* path);
// True when `path`, made absolute and normalised, lies inside `directory`
// (which ends in a backslash).
bool IsPathInsideDirectory(const char* directory, const char* path);
