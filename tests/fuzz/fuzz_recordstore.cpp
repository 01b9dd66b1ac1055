// Account store files are read from disk, where anything may have been left.
#include <cstdint>
#include <vector>

#include "recordstore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t recordSize : {size_t(522), size_t(511)}) {
    RecordStore s(recordSize, 51);
    s.Load(data, size);
    for (size_t i = 0; i < s.Count(); ++i) (void)s.Find(reinterpret_cast<const char*>(s.At(i)));
    std::vector<uint8_t> image = s.Serialize(RecordStore::GenerationOf(data, size) + 1);
    RecordStore again(recordSize, 51);
    again.Load(image.data(), image.size());
    if (again.Count() != s.Count()) __builtin_trap();  // a saved store must read back whole
  }
  return 0;
}
