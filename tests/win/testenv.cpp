#include "testenv.h"

#include <cstdio>

#include "app/configstore.h"
#include "gateway/zarqacct.h"

ScratchDir::ScratchDir(const char* tag) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  static LONG counter = 0;
  char name[MAX_PATH];
  snprintf(name, sizeof name, "%s%s-%lu-%lu-%ld\\", temp, tag, GetCurrentProcessId(), GetTickCount(),
           InterlockedIncrement(&counter));
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

void UseDataDirectory(const ScratchDir& dir) {
  SetEnvironmentVariableA("ZARQ_PROGRAMDATA_DIR", dir.Path().c_str());
  SetEnvironmentVariableA("ZARQ_PRIVATEDATA_DIR", dir.Path().c_str());
  snprintf(g_SmsgwIni, sizeof g_SmsgwIni, "%sSMSGW.INI", dir.Path().c_str());
  snprintf(g_MmscIni, sizeof g_MmscIni, "%sMMSC.INI", dir.Path().c_str());
  WriteFileText(g_SmsgwIni, "");
  WriteFileText(g_MmscIni, "");
  SMSIniSetFilename(g_SmsgwIni);
  MMSCIniSetFilename(g_MmscIni);
}
