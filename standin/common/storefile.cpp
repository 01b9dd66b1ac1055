#include "storefile.h"

#include <vector>

namespace {

constexpr DWORD kMaxStoreBytes = 64u << 20;  // far beyond any real store; bounds a hostile file

HANDLE OpenForRead(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadAll(HANDLE h, DWORD limit, std::vector<uint8_t>& out) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size)) return false;
  DWORD want = size.QuadPart > limit ? limit : DWORD(size.QuadPart);
  out.resize(want);
  DWORD got = 0;
  if (want && !ReadFile(h, out.data(), want, &got, nullptr)) return false;
  out.resize(got);
  return true;
}

}  // namespace

StoreFile::StoreFile(std::string path, const char* mutexName, size_t recordSize, size_t keySize)
    : path_(std::move(path)), mutex_(CreateMutexA(nullptr, FALSE, mutexName)), store_(recordSize, keySize) {}

StoreFile::~StoreFile() {
  if (mutex_) CloseHandle(mutex_);
}

const RecordStore& StoreFile::Current() {
  Reload(false);
  return store_;
}

void StoreFile::Reload(bool force) {
  HANDLE h = OpenForRead(path_);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    store_.Load(nullptr, 0);
    generation_ = 0;
    stamp_ = 0;
    loaded_ = true;
    damaged_ = false;
    unreadable_ = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    return;
  }
  // Unchanged when the generation, size and write time all match what was loaded:
  // a file replaced by hand keeps no stale copy alive.
  uint8_t header[RecordStore::kHeaderSize];
  DWORD got = 0;
  BY_HANDLE_FILE_INFORMATION info = {};
  GetFileInformationByHandle(h, &info);
  uint64_t stamp = (uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime) ^
                   (uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow) * 0x9E3779B97F4A7C15ull;
  bool same = false;
  if (!force && loaded_ && stamp == stamp_ && ReadFile(h, header, sizeof header, &got, nullptr)) {
    uint64_t gen = RecordStore::GenerationOf(header, got);
    same = gen != 0 && gen == generation_;
  }
  stamp_ = stamp;
  if (!same) {
    std::vector<uint8_t> data;
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    LARGE_INTEGER size;
    if (ReadAll(h, kMaxStoreBytes, data) && GetFileSizeEx(h, &size)) {
      damaged_ = !store_.Load(data.data(), data.size()) || uint64_t(size.QuadPart) != data.size();
      unreadable_ = false;
      generation_ = RecordStore::GenerationOf(data.data(), data.size());
    } else {
      store_.Load(nullptr, 0);
      unreadable_ = true;
      generation_ = 0;
    }
    loaded_ = true;
  }
  CloseHandle(h);
}

bool StoreFile::KeepDamagedFile() {
  for (int n = 1; n < 100; ++n) {
    std::string copy = path_ + ".damaged";
    if (n > 1) copy += "." + std::to_string(n);
    if (CopyFileA(path_.c_str(), copy.c_str(), TRUE)) return true;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool StoreFile::Save() {
  if (unreadable_) return false;  // replacing it would lose what it holds
  if (damaged_ && !KeepDamagedFile()) return false;
  // A fresh generation that no earlier image of this file carried.
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  uint64_t gen = (generation_ + 1) ^ (uint64_t(now.QuadPart) << 20);
  if (gen == 0 || gen == generation_) gen = generation_ + 1;
  std::vector<uint8_t> image = store_.Serialize(gen);

  std::string beside = path_ + ".new";
  HANDLE h = CreateFileA(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, image.data(), DWORD(image.size()), &written, nullptr) && written == image.size() &&
            FlushFileBuffers(h);
  CloseHandle(h);
  if (!ok || !MoveFileExA(beside.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(beside.c_str());
    Reload(true);  // keep memory equal to what the file holds
    return false;
  }
  generation_ = gen;
  damaged_ = false;
  return true;
}
