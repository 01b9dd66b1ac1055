// In-memory image of an account store: fixed-size records keyed by a
// zero-terminated name at offset 0, unique without regard to case, kept in
// one order (by name) that every index refers to. Pure code; the file
// handling lives in the libraries.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class RecordStore {
 public:
  RecordStore(size_t recordSize, size_t keySize) : recordSize_(recordSize), keySize_(keySize) {}

  // Replaces the content with what `data` holds. A damaged or foreign image
  // gives the records that could be read whole (possibly none); never fails.
  // False when the image held anything that was not read back whole: a
  // header that is not ours, a cut record, bytes past the records, a record
  // without a usable name or repeating one.
  bool Load(const uint8_t* data, size_t size);
  // The file image of the current content, stamped with `generation`.
  std::vector<uint8_t> Serialize(uint64_t generation) const;
  // Generation stamped in an image, or 0 when the header is not ours.
  static uint64_t GenerationOf(const uint8_t* data, size_t size);
  static constexpr size_t kHeaderSize = 24;

  size_t Count() const { return records_.size(); }
  const uint8_t* At(size_t index) const;
  // Index of the record with that name (any case), or -1.
  long Find(const char* name) const;
  // Index of the first record whose name begins with `prefix` (any case), or -1.
  long FindFirstWithPrefix(const char* prefix) const;
  // Stores a copy of `record`, replacing one of the same name. False when the
  // record's name is empty or not terminated within the key.
  bool Put(const uint8_t* record);
  // Removes the record of that name; false when there was none.
  bool Remove(const char* name);

  size_t RecordSize() const { return recordSize_; }

 private:
  bool ValidKey(const uint8_t* record) const;
  size_t LowerBound(const char* name) const;

  size_t recordSize_;
  size_t keySize_;
  std::vector<std::vector<uint8_t>> records_;
};
