// The Application event log kept in a file, for Wine runs only: Wine's own
// event-log functions keep nothing. Same functions and behaviour as the
// system's, as far as a reader and a reporter of events see them: records in
// the platform's EVENTLOGRECORD layout, numbered from 1, read forwards or
// backwards, sequentially or from a record number, whole records only;
// cleared, optionally into a backup file. Every log name opens the one
// Application log, as the system does with names it does not know.
//
// The file is the classic event-log file: a 48-byte header, the records, an
// end record. It is kept compact (the oldest records are dropped when a new
// one would pass 512 KB) and shared by every process: each operation holds a
// lock on the header. It lies at %SystemRoot%\Logs\AppEvent.Evt, or at the
// path in the environment variable ZARQ_EVENTLOG_FILE (tests that need a log
// of their own).
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "core/eventrecord.h"

extern "C" {
HANDLE WINAPI ElfOpenEventLogA(LPCSTR server, LPCSTR log);
HANDLE WINAPI ElfRegisterEventSourceA(LPCSTR server, LPCSTR source);
BOOL WINAPI ElfCloseEventLog(HANDLE log);
BOOL WINAPI ElfDeregisterEventSource(HANDLE source);
BOOL WINAPI ElfGetOldestEventLogRecord(HANDLE log, PDWORD oldest);
BOOL WINAPI ElfGetNumberOfEventLogRecords(HANDLE log, PDWORD count);
BOOL WINAPI ElfReadEventLogA(HANDLE log, DWORD flags, DWORD recordNumber, LPVOID buffer, DWORD bufferSize,
                             DWORD* read, DWORD* needed);
BOOL WINAPI ElfClearEventLogA(HANDLE log, LPCSTR backupFile);
BOOL WINAPI ElfReportEventA(HANDLE source, WORD type, WORD category, DWORD eventId, PSID user, WORD stringCount,
                            DWORD dataSize, LPCSTR* strings, LPVOID data);
}

namespace {

constexpr DWORD kSignature = 0x654c664c;  // "LfLe"
constexpr DWORD kMaxSize = 512 * 1024;

struct FileHeader {
  DWORD HeaderSize, Signature, MajorVersion, MinorVersion, StartOffset, EndOffset, CurrentRecordNumber,
      OldestRecordNumber, MaxSize, Flags, Retention, EndHeaderSize;
};
struct FileEnd {
  DWORD RecordSizeBeginning, One, Two, Three, Four, BeginRecord, EndRecord, CurrentRecordNumber, OldestRecordNumber,
      RecordSizeEnd;
};
constexpr DWORD kHeaderSize = sizeof(FileHeader);
constexpr DWORD kEndSize = sizeof(FileEnd);
static_assert(kHeaderSize == 0x30 && kEndSize == 0x28, "file layout");

// ---- handles ----

struct Handle {
  bool source;          // from RegisterEventSource, else from OpenEventLog
  std::string name;     // the source's name
  DWORD position = 0;   // record a sequential read starts from; 0: the first in its direction
};

std::mutex g_handlesLock;
std::set<Handle*> g_handles;

HANDLE NewHandle(bool source, const char* name) {
  Handle* h = new (std::nothrow) Handle{source, name ? name : ""};
  if (!h) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_handlesLock);
  g_handles.insert(h);
  return h;
}

Handle* FindHandle(HANDLE handle, bool source) {
  std::lock_guard<std::mutex> lock(g_handlesLock);
  auto it = g_handles.find(static_cast<Handle*>(handle));
  if (it != g_handles.end() && (*it)->source == source) return *it;
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

BOOL CloseLogHandle(HANDLE handle, bool source) {
  Handle* h = FindHandle(handle, source);
  if (!h) return FALSE;
  {
    std::lock_guard<std::mutex> lock(g_handlesLock);
    g_handles.erase(h);
  }
  delete h;
  return TRUE;
}

bool IsLocalServer(LPCSTR server) {
  if (!server || !*server) return true;
  SetLastError(RPC_S_SERVER_UNAVAILABLE);
  return false;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// ---- the file ----

std::string LogPath() {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("ZARQ_EVENTLOG_FILE", path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return path;
  n = GetSystemWindowsDirectoryA(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH - 32) return std::string();
  std::string dir = std::string(path) + "\\Logs";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir + "\\AppEvent.Evt";
}

// The log file opened and locked for one operation.
class LockedLog {
 public:
  LockedLog() = default;
  LockedLog(const LockedLog&) = delete;
  LockedLog& operator=(const LockedLog&) = delete;
  ~LockedLog() {
    if (locked_) {
      OVERLAPPED at = {};
      UnlockFileEx(file_, 0, kHeaderSize, 0, &at);
    }
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }

  // Opens (creating an empty log when there is none, or when the file holds
  // no log) and locks it. The last error is set on failure.
  bool Open() {
    std::string path = LogPath();
    if (path.empty()) return Fail(ERROR_PATH_NOT_FOUND);
    file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED at = {};
    if (!LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, kHeaderSize, 0, &at)) return false;
    locked_ = true;
    DWORD got = 0;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_, &size)) return false;
    if (!ReadAt(0, &header, kHeaderSize, &got) || got != kHeaderSize || !Plausible(size.QuadPart)) return Clear();
    return true;
  }

  // The records, oldest first.
  bool ReadRecords(std::vector<unsigned char>* bytes) {
    bytes->resize(header.EndOffset - header.StartOffset);
    DWORD got = 0;
    if (bytes->empty()) return true;
    if (!ReadAt(header.StartOffset, bytes->data(), DWORD(bytes->size()), &got)) return false;
    bytes->resize(got);
    return true;
  }

  // Adds a record (its number is filled in), dropping the oldest ones first
  // when the file would pass its size.
  bool Append(std::vector<unsigned char>* record) {
    DWORD length = DWORD(record->size());
    if (length > kMaxSize - kHeaderSize - kEndSize) return Fail(ERROR_INVALID_PARAMETER);
    if (header.EndOffset + length + kEndSize > kMaxSize && !DropOldest(length)) return false;
    DWORD number = header.CurrentRecordNumber;
    std::memcpy(record->data() + kEventRecordNumberOffset, &number, sizeof number);
    if (!WriteAt(header.EndOffset, record->data(), length)) return false;
    header.EndOffset += length;
    if (!header.OldestRecordNumber) header.OldestRecordNumber = number;
    header.CurrentRecordNumber = number + 1;
    return Store();
  }

  // Empties the log; record numbers start again at 1.
  bool Clear() {
    header = FileHeader{kHeaderSize, kSignature, 1, 1, kHeaderSize, kHeaderSize, 1, 0, kMaxSize, 0, 0, kHeaderSize};
    return Store();
  }

  // The whole file into a new file `path` (which must not exist yet).
  bool CopyTo(const char* path) {
    std::vector<unsigned char> bytes(header.EndOffset + kEndSize);
    DWORD got = 0;
    if (!ReadAt(0, bytes.data(), DWORD(bytes.size()), &got)) return false;
    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(out, bytes.data(), got, &written, nullptr) && written == got;
    CloseHandle(out);
    return ok != FALSE;
  }

  FileHeader header = {};

 private:
  bool Plausible(LONGLONG fileSize) const {
    const FileHeader& h = header;
    return h.HeaderSize == kHeaderSize && h.Signature == kSignature && h.EndHeaderSize == kHeaderSize &&
           h.StartOffset == kHeaderSize && h.EndOffset >= h.StartOffset && h.EndOffset <= kMaxSize &&
           LONGLONG(h.EndOffset) <= fileSize && h.CurrentRecordNumber >= 1 &&
           (h.OldestRecordNumber == 0 ? h.EndOffset == h.StartOffset : h.OldestRecordNumber < h.CurrentRecordNumber);
  }

  bool ReadAt(DWORD offset, void* data, DWORD size, DWORD* got) {
    OVERLAPPED at = {};
    at.Offset = offset;
    return ReadFile(file_, data, size, got, &at) != FALSE;
  }

  bool WriteAt(DWORD offset, const void* data, DWORD size) {
    OVERLAPPED at = {};
    at.Offset = offset;
    DWORD written = 0;
    return WriteFile(file_, data, size, &written, &at) && written == size;
  }

  // The header, the end record after the last record, and nothing beyond.
  bool Store() {
    FileEnd end = {kEndSize, 0x11111111, 0x22222222, 0x33333333, 0x44444444, header.StartOffset, header.EndOffset,
                   header.CurrentRecordNumber, header.OldestRecordNumber, kEndSize};
    if (!WriteAt(header.EndOffset, &end, kEndSize) || !WriteAt(0, &header, kHeaderSize)) return false;
    LARGE_INTEGER at;
    at.QuadPart = header.EndOffset + kEndSize;
    return SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) && SetEndOfFile(file_);
  }

  // Keeps the newest records that leave room for `room` more bytes.
  bool DropOldest(DWORD room) {
    std::vector<unsigned char> bytes;
    if (!ReadRecords(&bytes)) return false;
    size_t at = 0;
    EventRecordView v;
    DWORD oldest = header.OldestRecordNumber;
    while (ViewEventRecord(bytes.data(), bytes.size(), at, &v) &&
           kHeaderSize + (bytes.size() - at) + room + kEndSize > kMaxSize) {
      at += v.length;
      oldest = v.recordNumber + 1;
    }
    if (kHeaderSize + (bytes.size() - at) + room + kEndSize > kMaxSize) at = bytes.size();  // unreadable rest
    if (at < bytes.size() && !WriteAt(kHeaderSize, bytes.data() + at, DWORD(bytes.size() - at))) return false;
    header.EndOffset = kHeaderSize + DWORD(bytes.size() - at);
    header.OldestRecordNumber = at < bytes.size() ? oldest : 0;
    return true;
  }

  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool locked_ = false;
};

// Where each whole record starts in the records' bytes.
std::vector<EventRecordView> Walk(const std::vector<unsigned char>& bytes, std::vector<size_t>* offsets) {
  std::vector<EventRecordView> records;
  size_t at = 0;
  EventRecordView v;
  while (ViewEventRecord(bytes.data(), bytes.size(), at, &v)) {
    records.push_back(v);
    offsets->push_back(at);
    at += v.length;
  }
  return records;
}

DWORD SecondsSince1970() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t;
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  return DWORD((t.QuadPart - 116444736000000000ull) / 10000000ull);
}

void Align4(std::vector<unsigned char>* r) {
  while (r->size() % 4) r->push_back(0);
}

void AppendText(std::vector<unsigned char>* r, const char* text) {
  r->insert(r->end(), text, text + std::strlen(text) + 1);
}

}  // namespace

extern "C" {

HANDLE WINAPI ElfOpenEventLogA(LPCSTR server, LPCSTR log) {
  if (!IsLocalServer(server)) return nullptr;
  if (!log) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return NewHandle(false, log);
}

HANDLE WINAPI ElfRegisterEventSourceA(LPCSTR server, LPCSTR source) {
  if (!IsLocalServer(server)) return nullptr;
  if (!source || !*source) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return NewHandle(true, source);
}

BOOL WINAPI ElfCloseEventLog(HANDLE log) { return CloseLogHandle(log, false); }

BOOL WINAPI ElfDeregisterEventSource(HANDLE source) { return CloseLogHandle(source, true); }

BOOL WINAPI ElfGetOldestEventLogRecord(HANDLE log, PDWORD oldest) {
  if (!FindHandle(log, false)) return FALSE;
  if (!oldest) return Fail(ERROR_INVALID_PARAMETER);
  LockedLog file;
  if (!file.Open()) return FALSE;
  *oldest = file.header.OldestRecordNumber;
  return TRUE;
}

BOOL WINAPI ElfGetNumberOfEventLogRecords(HANDLE log, PDWORD count) {
  if (!FindHandle(log, false)) return FALSE;
  if (!count) return Fail(ERROR_INVALID_PARAMETER);
  LockedLog file;
  if (!file.Open()) return FALSE;
  const FileHeader& h = file.header;
  *count = h.OldestRecordNumber ? h.CurrentRecordNumber - h.OldestRecordNumber : 0;
  return TRUE;
}

BOOL WINAPI ElfReadEventLogA(HANDLE log, DWORD flags, DWORD recordNumber, LPVOID buffer, DWORD bufferSize,
                             DWORD* read, DWORD* needed) {
  Handle* h = FindHandle(log, false);
  if (!h) return FALSE;
  bool seek = (flags & EVENTLOG_SEEK_READ) != 0, forwards = (flags & EVENTLOG_FORWARDS_READ) != 0;
  if (seek == ((flags & EVENTLOG_SEQUENTIAL_READ) != 0) || forwards == ((flags & EVENTLOG_BACKWARDS_READ) != 0) ||
      !read || !needed || (!buffer && bufferSize))
    return Fail(ERROR_INVALID_PARAMETER);
  *read = *needed = 0;
  std::vector<unsigned char> bytes;
  {
    LockedLog file;
    if (!file.Open() || !file.ReadRecords(&bytes)) return FALSE;
  }
  std::vector<size_t> offsets;
  std::vector<EventRecordView> records = Walk(bytes, &offsets);
  if (records.empty()) return Fail(ERROR_HANDLE_EOF);
  DWORD oldest = records.front().recordNumber, newest = records.back().recordNumber;
  DWORD start = seek ? recordNumber : h->position;
  if (!seek && (!start || (forwards && start < oldest))) start = forwards ? oldest : newest;
  size_t i = 0;
  while (i < records.size() && records[i].recordNumber != start) ++i;
  if (start < oldest || start > newest || i == records.size())
    return Fail(seek ? ERROR_INVALID_PARAMETER : ERROR_HANDLE_EOF);
  size_t first = i;
  DWORD total = 0, next = start;
  while (i < records.size() && total + records[i].length <= bufferSize) {
    std::memcpy(static_cast<unsigned char*>(buffer) + total, bytes.data() + offsets[i], records[i].length);
    total += records[i].length;
    next = forwards ? records[i].recordNumber + 1 : records[i].recordNumber - 1;
    if (forwards) {
      ++i;
    } else if (i-- == 0) {
      break;
    }
  }
  if (!total) {
    *needed = records[first].length;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  *read = total;
  h->position = next;
  if (!forwards && next < oldest) h->position = DWORD(-1);  // past the oldest: nothing more backwards
  return TRUE;
}

BOOL WINAPI ElfClearEventLogA(HANDLE log, LPCSTR backupFile) {
  Handle* h = FindHandle(log, false);
  if (!h) return FALSE;
  LockedLog file;
  if (!file.Open()) return FALSE;
  if (backupFile && *backupFile && !file.CopyTo(backupFile)) return FALSE;
  if (!file.Clear()) return FALSE;
  h->position = 0;
  return TRUE;
}

BOOL WINAPI ElfReportEventA(HANDLE source, WORD type, WORD category, DWORD eventId, PSID user, WORD stringCount,
                            DWORD dataSize, LPCSTR* strings, LPVOID data) {
  Handle* h = FindHandle(source, true);
  if (!h) return FALSE;
  if ((stringCount && !strings) || (dataSize && !data) || (user && !IsValidSid(user)))
    return Fail(ERROR_INVALID_PARAMETER);
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
  DWORD computerSize = sizeof computer;
  if (!GetComputerNameA(computer, &computerSize)) computer[0] = '\0';

  std::vector<unsigned char> r(sizeof(EVENTLOGRECORD));
  AppendText(&r, h->name.c_str());
  AppendText(&r, computer);
  Align4(&r);
  DWORD sidOffset = DWORD(r.size()), sidLength = user ? GetLengthSid(user) : 0;
  if (sidLength) r.insert(r.end(), static_cast<unsigned char*>(user), static_cast<unsigned char*>(user) + sidLength);
  DWORD stringOffset = DWORD(r.size());
  for (WORD i = 0; i < stringCount; ++i) AppendText(&r, strings[i] ? strings[i] : "");
  DWORD dataOffset = DWORD(r.size());
  if (dataSize) r.insert(r.end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + dataSize);
  Align4(&r);
  r.resize(r.size() + sizeof(DWORD));
  DWORD length = DWORD(r.size());
  std::memcpy(r.data() + length - sizeof length, &length, sizeof length);

  EVENTLOGRECORD fixed = {};
  fixed.Length = length;
  fixed.Reserved = kSignature;
  fixed.TimeGenerated = fixed.TimeWritten = SecondsSince1970();
  fixed.EventID = eventId;
  fixed.EventType = type;
  fixed.NumStrings = stringCount;
  fixed.EventCategory = category;
  fixed.StringOffset = stringOffset;
  fixed.UserSidLength = sidLength;
  fixed.UserSidOffset = sidOffset;
  fixed.DataLength = dataSize;
  fixed.DataOffset = dataOffset;
  std::memcpy(r.data(), &fixed, sizeof fixed);

  LockedLog file;
  return file.Open() && file.Append(&r);
}

}  // extern "C"
