// Account store files are read from disk, where anything may have been left.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/userrecord.h"
#include "recordstore.h"

// A user record read from a store and built again reads back the same.
static void CheckUserRecord(const uint8_t* record) {
  UserFields fields = ReadUserRecord(record);
  uint8_t rebuilt[UserRecord::kSize];
  BuildUserRecord(fields, rebuilt);
  UserFields again = ReadUserRecord(rebuilt);
  if (std::strcmp(again.name, fields.name) || std::strcmp(again.fullName, fields.fullName) ||
      std::strcmp(again.ipAddresses, fields.ipAddresses) || again.admin != (fields.admin && fields.webLogin))
    __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t recordSize : {size_t(522), size_t(511)}) {
    RecordStore s(recordSize, 51);
    s.Load(data, size);
    for (size_t i = 0; i < s.Count(); ++i) {
      (void)s.Find(reinterpret_cast<const char*>(s.At(i)));
      if (recordSize == UserRecord::kSize) CheckUserRecord(s.At(i));
    }
    std::vector<uint8_t> image = s.Serialize(RecordStore::GenerationOf(data, size) + 1);
    RecordStore again(recordSize, 51);
    // A saved store must read back whole.
    if (!again.Load(image.data(), image.size()) || again.Count() != s.Count()) __builtin_trap();
  }
  return 0;
}
