// The services' debug logs (SMSDEBUG.LOG, MMSCDEBUG.LOG), switched on and off
// by the Debug Logs page through `Debug` of the service's own section.
#pragma once
#include <string>

// When `Debug` of `section` in `settingsFile` is a yes-value, appends one line
// to `logPath`: the local time to the millisecond, a blank, then `text` with
// CR, LF and other control characters written as escapes (\r, \n, \xNN), so
// that one event is one line whatever a modem or server sent.
void AppendDebugLine(const std::string& settingsFile, const char* section, const std::string& logPath,
                     const std::string& text);
