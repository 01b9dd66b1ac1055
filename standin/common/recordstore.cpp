#include "recordstore.h"

#include <algorithm>
#include <cstring>

#include "core/textrules.h"

namespace {

const uint8_t kMagic[4] = {'Z', 'Q', 'R', 'S'};
constexpr uint32_t kVersion = 1;

uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

const char* NameOf(const std::vector<uint8_t>& r) { return reinterpret_cast<const char*>(r.data()); }

}  // namespace

// Header: magic, version, record size, record count, generation (64 bits), all little-endian.
uint64_t RecordStore::GenerationOf(const uint8_t* data, size_t size) {
  if (size < kHeaderSize || std::memcmp(data, kMagic, 4) != 0) return 0;
  return uint64_t(Get32(data + 16)) | uint64_t(Get32(data + 20)) << 32;
}

bool RecordStore::Load(const uint8_t* data, size_t size) {
  records_.clear();
  if (size == 0) return true;
  if (size < kHeaderSize || std::memcmp(data, kMagic, 4) != 0) return false;
  if (Get32(data + 4) != kVersion || Get32(data + 8) != recordSize_) return false;
  size_t count = Get32(data + 12);
  size_t fit = (size - kHeaderSize) / recordSize_;
  bool whole = count == fit && (size - kHeaderSize) % recordSize_ == 0;
  if (count > fit) count = fit;  // a truncated file keeps its whole records
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* r = data + kHeaderSize + i * recordSize_;
    if (ValidKey(r) && Find(reinterpret_cast<const char*>(r)) < 0)
      Put(r);
    else
      whole = false;
  }
  return whole;
}

std::vector<uint8_t> RecordStore::Serialize(uint64_t generation) const {
  std::vector<uint8_t> out(kHeaderSize + records_.size() * recordSize_);
  std::memcpy(out.data(), kMagic, 4);
  Put32(&out[4], kVersion);
  Put32(&out[8], uint32_t(recordSize_));
  Put32(&out[12], uint32_t(records_.size()));
  Put32(&out[16], uint32_t(generation));
  Put32(&out[20], uint32_t(generation >> 32));
  uint8_t* p = out.data() + kHeaderSize;
  for (const auto& r : records_) {
    std::memcpy(p, r.data(), recordSize_);
    p += recordSize_;
  }
  return out;
}

const uint8_t* RecordStore::At(size_t index) const {
  return index < records_.size() ? records_[index].data() : nullptr;
}

bool RecordStore::ValidKey(const uint8_t* record) const {
  return record[0] != 0 && std::memchr(record, 0, keySize_) != nullptr;
}

size_t RecordStore::LowerBound(const char* name) const {
  auto it = std::lower_bound(records_.begin(), records_.end(), name,
                             [](const std::vector<uint8_t>& r, const char* n) { return CompareNoCase(NameOf(r), n) < 0; });
  return size_t(it - records_.begin());
}

long RecordStore::Find(const char* name) const {
  size_t i = LowerBound(name);
  return i < records_.size() && CompareNoCase(NameOf(records_[i]), name) == 0 ? long(i) : -1;
}

long RecordStore::FindFirstWithPrefix(const char* prefix) const {
  // Names sharing a prefix are contiguous in name order, starting at the lower bound.
  size_t i = LowerBound(prefix);
  return i < records_.size() && StartsWithNoCase(NameOf(records_[i]), prefix) ? long(i) : -1;
}

bool RecordStore::Put(const uint8_t* record) {
  if (!ValidKey(record)) return false;
  const char* name = reinterpret_cast<const char*>(record);
  size_t i = LowerBound(name);
  std::vector<uint8_t> copy(record, record + recordSize_);
  if (i < records_.size() && CompareNoCase(NameOf(records_[i]), name) == 0)
    records_[i] = std::move(copy);
  else
    records_.insert(records_.begin() + long(i), std::move(copy));
  return true;
}

bool RecordStore::Remove(const char* name) {
  long i = Find(name);
  if (i < 0) return false;
  records_.erase(records_.begin() + i);
  return true;
}
