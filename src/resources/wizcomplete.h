// Controls of DIALOG_WIZCOMPLETE, the wizard's "Configuration Complete" page.
#pragma once

#define IDC_WIZCOMPLETE_YES 103
#define IDC_WIZCOMPLETE_NO 104
