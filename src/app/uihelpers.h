// User-interface helpers every page shares: the help document, the busy
// cursor and control texts that change only when they must.
#pragma once
#include <windows.h>

// The help document, built once at start-up.
extern char g_HelpDocumentPath[MAX_PATH];
void OpenHelpDocument();

HCURSOR BeginBusyCursor();
void EndBusyCursor(HCURSOR previous);

// Sets a control's text only when it differs (ignoring case) from the current
// one; true when it set it.
bool SetTextIfChanged(HWND control, const char* text);

// Draws `window` and its controls at once, for a window that must show
// before the thread blocks in a long wait (which would leave it blank until
// the wait ends). Only `window`'s own messages are handled meanwhile.
void PaintNow(HWND window);
