// Controls of DIALOG_2WAYCOMMAND, one entry of the 2-way command table.
#pragma once

#define IDC_COMMAND_PREFIX_LABEL 101
#define IDC_COMMAND_PREFIX 102
#define IDC_COMMAND_TEXT_LABEL 103
#define IDC_COMMAND_TEXT 104
#define IDC_COMMAND_RESPONSE 105
