#include "pages/useraccounts.h"

#include <cstring>
#include <vector>

#include "app/configstore.h"
#include "gateway/zarqpeer.h"

namespace {

const char kRoutingSection[] = "Inbound SMS Routing";
constexpr DWORD kRoutingSize = kRoutingLimit + 1;

// "USERS\<name>" under the program-data directory; false when the name is not
// a plain directory name or the path would not fit whole.
bool UserDirectory(const char* name, char* path) {
  if (!IsUsableUserName(name)) return false;
  GetProgramDataDirectory(path);
  if (std::strlen(path) + std::strlen("USERS\\") + std::strlen(name) >= MAX_PATH) return false;
  BoundedAppend(path, MAX_PATH, "USERS\\");
  BoundedAppend(path, MAX_PATH, name);
  return true;
}

bool SameName(const char* a, const char* b) { return CompareNoCase(a, b, &AnsiUpper()) == 0; }

}  // namespace

std::string ReadUserRouting(const char* name) {
  if (!IsUsableUserName(name)) return std::string();
  std::vector<char> value(kRoutingSize);
  ReadSetting(g_SmsgwIni, kRoutingSection, name, "", value.data(), kRoutingSize);
  return value.data();
}

void WriteUserRouting(const char* name, const char* addresses) {
  if (!IsUsableUserName(name)) return;
  std::string value(addresses ? addresses : "");
  if (value.size() >= kRoutingSize) value.resize(kRoutingSize - 1);
  for (char& c : value)
    if (c == '\r' || c == '\n') c = ' ';
  WriteSetting(g_SmsgwIni, kRoutingSection, name, value.c_str());
}

void MoveUserDirectory(const char* from, const char* to) {
  char oldPath[MAX_PATH], newPath[MAX_PATH];
  if (UserDirectory(from, oldPath) && UserDirectory(to, newPath)) MoveFileA(oldPath, newPath);
}

void DeleteUserDirectory(const char* name) {
  char path[MAX_PATH];
  if (UserDirectory(name, path)) DeleteDirectoryTree(path);
}

bool HasMm7Account(const char* name) {
  unsigned char account[AccountRecord::kSize];
  return name[0] && VASPFindUserRecord(name, account);
}

void SaveMm7Account(const UserFields& fields) {
  unsigned char account[AccountRecord::kSize] = {};
  if (!VASPFindUserRecord(fields.name, account)) std::memset(account, 0, sizeof account);
  FillAccountRecord(fields, account);
  VASPAddUser(account);
}

void DeleteMm7Account(const char* name) {
  if (name[0]) VASPDeleteUser(name);
}

UserNameCheck CheckUserName(SMSUSERFILE store, const char* original, const char* name) {
  if (!name[0]) return UserNameCheck::kRequired;
  if (SameName(name, original)) return UserNameCheck::kOk;
  unsigned char found[UserRecord::kSize];
  if (SMSFindUserRecord(store, name, found)) return UserNameCheck::kAlreadyDefined;
  return IsUsableUserName(name) ? UserNameCheck::kOk : UserNameCheck::kUnusable;
}

void SaveUserExtras(const UserFields& fields, const char* addresses, bool mm7) {
  WriteUserRouting(fields.name, fields.acceptReceived ? addresses : "");
  if (mm7)
    SaveMm7Account(fields);
  else
    DeleteMm7Account(fields.name);
}

bool StoreEditedUser(SMSUSERFILE store, const unsigned char* before, const unsigned char* after) {
  UserFields former = ReadUserRecord(before);
  UserFields edited = ReadUserRecord(after);
  // Stored before the former user goes, so that a refused record loses nobody.
  if (!SMSAddUser(store, after)) return false;
  if (!SameName(former.name, edited.name)) {
    SMSDeleteUser(store, before);
    MoveUserDirectory(former.name, edited.name);
    WriteUserRouting(former.name, "");
    DeleteMm7Account(former.name);
  }
  return true;
}

bool DeleteUserAt(SMSUSERFILE store, unsigned index) {
  unsigned char record[UserRecord::kSize];
  if (!SMSGetUserRecord(store, index, record)) return false;
  UserFields user = ReadUserRecord(record);
  SMSDeleteUser(store, record);
  DeleteUserDirectory(user.name);
  WriteUserRouting(user.name, "");
  DeleteMm7Account(user.name);
  return true;
}
