// ZARQACCT.DLL stand-in: directories, settings file names and the SMS user
// store of the gateway.
#define ZARQACCT_BUILD
#include "gateway/zarqacct.h"

#include <memory>
#include <string>

#include "core/textrules.h"
#include "datadirs.h"
#include "gsm7.h"
#include "gateway/records.h"
#include "storefile.h"

namespace {

char g_smsIni[MAX_PATH];
char g_mmscIni[MAX_PATH];

// One open user file: its own view of the store, so several can be open at once.
struct UserFile {
  std::unique_ptr<StoreFile> store;
  bool writable = false;
};

UserFile* FromHandle(SMSUSERFILE file) { return static_cast<UserFile*>(file); }

void CopyRecord(const RecordStore& s, long index, void* out) {
  if (out && index >= 0) memcpy(out, s.At(size_t(index)), UserRecord::kSize);
}

}  // namespace

ZARQACCT_API void __cdecl GetProgramDataDirectory(char* path) { datadirs::ProgramData(path); }
ZARQACCT_API void __cdecl GetPrivateDataDirectory(char* path) { datadirs::PrivateData(path); }
ZARQACCT_API void __cdecl GetRealProgramDirectory(char* path) { datadirs::RealProgram(path); }

ZARQACCT_API void __cdecl SMSIniSetFilename(const char* path) { CopyBounded(g_smsIni, sizeof g_smsIni, path); }
ZARQACCT_API void __cdecl MMSCIniSetFilename(const char* path) { CopyBounded(g_mmscIni, sizeof g_mmscIni, path); }

ZARQACCT_API int __cdecl SMSOpenUserFile(SMSUSERFILE* file, int access) {
  if (!file) return 0;
  *file = nullptr;
  char dir[MAX_PATH];
  datadirs::PrivateData(dir);
  auto* f = new UserFile;
  f->store = std::make_unique<StoreFile>(std::string(dir) + "SMSUSERS.DAT", "ZarqSMS_UserStore", UserRecord::kSize,
                                         UserRecord::kNameSize);
  f->writable = (access & SMS_USERFILE_READWRITE) == SMS_USERFILE_READWRITE;
  *file = f;
  return 1;
}

ZARQACCT_API unsigned __cdecl SMSGetRecordCount(SMSUSERFILE file) {
  UserFile* f = FromHandle(file);
  return f ? unsigned(f->store->Current().Count()) : 0;
}

ZARQACCT_API int __cdecl SMSGetUserRecord(SMSUSERFILE file, unsigned index, void* record) {
  UserFile* f = FromHandle(file);
  if (!f) return 0;
  const RecordStore& s = f->store->Current();
  if (index >= s.Count()) return 0;
  CopyRecord(s, long(index), record);
  return 1;
}

ZARQACCT_API int __cdecl SMSFindFirstUserRecord(SMSUSERFILE file, const char* text, void* record) {
  UserFile* f = FromHandle(file);
  if (!f || !text) return -1;
  const RecordStore& s = f->store->Current();
  long i = s.FindFirstWithPrefix(text);
  CopyRecord(s, i, record);
  return int(i);
}

ZARQACCT_API int __cdecl SMSFindUserRecord(SMSUSERFILE file, const char* name, void* record) {
  UserFile* f = FromHandle(file);
  if (!f || !name || !*name) return 0;
  const RecordStore& s = f->store->Current();
  long i = s.Find(name);
  CopyRecord(s, i, record);
  return i >= 0;
}

ZARQACCT_API int __cdecl SMSAddUser(SMSUSERFILE file, const void* record) {
  UserFile* f = FromHandle(file);
  if (!f || !f->writable || !record) return 0;
  return f->store->Change([&](RecordStore& s) { return s.Put(static_cast<const uint8_t*>(record)); });
}

ZARQACCT_API int __cdecl SMSDeleteUser(SMSUSERFILE file, const void* record) {
  UserFile* f = FromHandle(file);
  if (!f || !f->writable || !record) return 0;
  char name[UserRecord::kNameSize];
  CopyBounded(name, sizeof name, static_cast<const char*>(record));
  return f->store->Change([&](RecordStore& s) { return s.Remove(name); });
}

ZARQACCT_API void __cdecl SMSCloseUserFile(SMSUSERFILE file) { delete FromHandle(file); }

ZARQACCT_API void __cdecl GSM7ToUTF8String(const char* udh, const char* data, char* out) {
  Gsm7HexToUtf8(udh, data, out);
}

// ChooseOperatorSettings: operators.cpp.
