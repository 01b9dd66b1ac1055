#include "app/appstate.h"

bool g_ConfigChanged = false;
char g_ConfiguredModem[250];
bool g_MmsSettingsTested = false;
bool g_HelpExists = false;
