// ZARQPEER.DLL stand-in: the MMSC's MM7/EAIF accounts and its outbound route
// accounts, each a store of AccountRecord::kSize records in the private data
// directory.
#define ZARQPEER_BUILD
#include "gateway/zarqpeer.h"

#include <windows.h>

#include <string>

#include "core/textrules.h"
#include "datadirs.h"
#include "gateway/records.h"
#include "storefile.h"

namespace {

StoreFile OpenStore(const char* file, const char* mutexName) {
  char dir[MAX_PATH];
  datadirs::PrivateData(dir);
  return StoreFile(std::string(dir) + file, mutexName, AccountRecord::kSize, AccountRecord::kNameSize);
}

}  // namespace

ZARQPEER_API int __cdecl VASPFindUserRecord(const char* name, void* record) {
  if (!name || !*name) return 0;
  StoreFile f = OpenStore("VASPUSERS.DAT", "ZarqMMSC_AccountStore");
  const RecordStore& s = f.Current();
  long i = s.Find(name);
  if (i < 0) return 0;
  if (record) memcpy(record, s.At(size_t(i)), AccountRecord::kSize);
  return 1;
}

ZARQPEER_API int __cdecl VASPAddUser(const void* record) {
  if (!record) return 0;
  StoreFile f = OpenStore("VASPUSERS.DAT", "ZarqMMSC_AccountStore");
  return f.Change([&](RecordStore& s) { return s.Put(static_cast<const uint8_t*>(record)); });
}

ZARQPEER_API int __cdecl VASPDeleteUser(const char* name) {
  if (!name || !*name) return 1;
  StoreFile f = OpenStore("VASPUSERS.DAT", "ZarqMMSC_AccountStore");
  f.Change([&](RecordStore& s) { return s.Remove(name); });
  return 1;  // absence is no error
}

ZARQPEER_API int __cdecl VASPOutAddUser(const void* record) {
  if (!record) return 0;
  // Only the name is taken; an existing route account is kept as it is.
  uint8_t fresh[AccountRecord::kSize] = {};
  CopyBounded(reinterpret_cast<char*>(fresh), AccountRecord::kNameSize, static_cast<const char*>(record));
  StoreFile f = OpenStore("VASPOUT.DAT", "ZarqMMSC_RouteStore");
  if (f.Current().Find(reinterpret_cast<char*>(fresh)) >= 0) return 1;
  return f.Change([&](RecordStore& s) { return s.Find(reinterpret_cast<char*>(fresh)) >= 0 || s.Put(fresh); });
}
