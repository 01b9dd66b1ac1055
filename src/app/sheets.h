// The setup wizard, the configuration sheet and the wait window.
#pragma once
#include <windows.h>

// The wizard, modal; the property sheet's result (less than 1: cancelled).
INT_PTR RunSetupWizard(HICON icon);
// The configuration sheet, modal, Status page first.
void RunConfigurationSheet(HICON icon);

// The modeless wait window "WAITDLG" (title "Test in Progress").
HWND CreateWaitWindow(HWND owner);
