// Program-wide state shared by the pages.
#pragma once

// Some page holds edits that are not yet saved.
extern bool g_ConfigChanged;
// The gateway's modem (Modem1 of [SMSGW]), at most 249 characters.
extern char g_ConfiguredModem[250];
// Whether the help document exists; decided once at start-up.
extern bool g_HelpExists;
