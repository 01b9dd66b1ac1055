// The 2-Way page's command dialog and its local PHP support, shared with the
// tests.
#pragma once
#include <windows.h>

#include <cstddef>

// Buffer of FindPhpCgi's text: the program found, or the reason.
constexpr size_t kPhpCgiTextSize = 500;

// The command dialog (DIALOG_2WAYCOMMAND) on `entry` (kCommandEntrySize bytes,
// empty for a new entry): 1 when OK stored a new entry there, 0 on Cancel.
INT_PTR EditCommandEntry(HWND owner, char* entry);

// Gives the keyboard focus to control `id` of `dialog` (a dialog or a sheet
// page) after a message box: the window is made active first, so that a late
// reactivation cannot hand the focus back to the control it had before.
void FocusDialogControl(HWND dialog, int id);

// Looks for "php-cgi.exe" in the directory of PHPRC, else along PATH. True
// when found, with its path in `text`; otherwise `text` holds the message
// for the operator.
bool FindPhpCgi(char* text);

// The PHP script directory (PHPDir of [SMSGW], else the program-data
// directory + "PHP\"), ending in a backslash. 260 characters.
void PhpDirectory(char* path);
