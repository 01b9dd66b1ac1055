// The view of one received MMS message (template DIALOG_MMSVIEW): its header
// file as text and one entry per stored part, each opened in Notepad or
// through the shell. Modal, owned by `owner`; 1 for OK, 0 for Cancel.
#pragma once
#include <windows.h>

INT_PTR ShowMmsView(HWND owner, const char* headerPath);
