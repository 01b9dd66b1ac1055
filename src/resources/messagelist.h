// Controls and commands of DIALOG_SMSQ, the message list dialog of all four
// message stores.
#pragma once

#define IDC_SMSQ_LIST 101
#define IDC_SMSQ_HEADER 102
// Commands without buttons: Enter and a double-click view, the Delete key deletes.
#define IDC_SMSQ_VIEW 102
#define IDC_SMSQ_DELETE 103
