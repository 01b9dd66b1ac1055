// The command-line switches of ZARQCFG.EXE.
#pragma once

// Sets `*quiet` for a quiet switch, then carries out the first action switch
// of the table (service operations, data-directory delete, modem test) and
// returns true: the process then ends with exit code 0. False when no action
// switch is on the command line.
bool RunCommandLineAction(const char* arguments, bool* quiet);

// True when "-WIZARD" or "/WIZARD" is on the command line.
bool WizardRequested(const char* arguments);
