// Program-wide state shared by the pages.
#pragma once

// Some page holds edits that are not yet saved.
extern bool g_ConfigChanged;
// The gateway's modem (Modem1 of [SMSGW]), at most 249 characters.
extern char g_ConfiguredModem[250];
// The Modem page's MMS settings passed the connection test (or the operator
// chose not to test them): one run's fact, shared by the page of the wizard
// and of the configuration sheet.
extern bool g_MmsSettingsTested;
// Whether the help document exists; decided once at start-up.
extern bool g_HelpExists;
