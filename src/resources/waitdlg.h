// Controls of WAITDLG, the modeless wait window.
#pragma once

#define IDC_WAIT_TEXT 1444
