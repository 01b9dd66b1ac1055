#include "gateway/eventlog.h"

#include <cstddef>
#include <cstring>

#include "core/eventrecord.h"

// The record walk reads the platform's layout by offset.
static_assert(offsetof(EVENTLOGRECORD, RecordNumber) == kEventRecordNumberOffset, "record layout");
static_assert(offsetof(EVENTLOGRECORD, TimeGenerated) == kEventTimeGeneratedOffset, "record layout");
static_assert(offsetof(EVENTLOGRECORD, EventType) == kEventTypeOffset, "record layout");
static_assert(offsetof(EVENTLOGRECORD, NumStrings) == kEventNumStringsOffset, "record layout");
static_assert(offsetof(EVENTLOGRECORD, StringOffset) == kEventStringOffsetOffset, "record layout");
static_assert(sizeof(EVENTLOGRECORD) == kEventRecordFixedSize, "record layout");

namespace {

const char kLogLibrary[] = "zarqevlog.dll";

EventLogFunctions SystemFunctions() {
  return {::OpenEventLogA,  ::CloseEventLog,        ::GetOldestEventLogRecord,
          ::GetNumberOfEventLogRecords, ::ReadEventLogA, ::ClearEventLogA,
          ::RegisterEventSourceA, ::DeregisterEventSource, ::ReportEventA};
}

template <typename Function>
bool Resolve(HMODULE library, const char* name, Function* slot) {
  *slot = reinterpret_cast<Function>(GetProcAddress(library, name));
  return *slot != nullptr;
}

// The library beside the running program, when it is there and complete.
bool BindLogLibrary(EventLogFunctions* f) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  char* slash = std::strrchr(path, '\\');
  if (!slash || size_t(slash + 1 - path) + sizeof kLogLibrary > sizeof path) return false;
  std::memcpy(slash + 1, kLogLibrary, sizeof kLogLibrary);
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return false;
  HMODULE library = LoadLibraryA(path);
  if (!library) return false;
  EventLogFunctions bound;
  if (Resolve(library, "OpenEventLogA", &bound.OpenEventLogA) && Resolve(library, "CloseEventLog", &bound.CloseEventLog) &&
      Resolve(library, "GetOldestEventLogRecord", &bound.GetOldestEventLogRecord) &&
      Resolve(library, "GetNumberOfEventLogRecords", &bound.GetNumberOfEventLogRecords) &&
      Resolve(library, "ReadEventLogA", &bound.ReadEventLogA) && Resolve(library, "ClearEventLogA", &bound.ClearEventLogA) &&
      Resolve(library, "RegisterEventSourceA", &bound.RegisterEventSourceA) &&
      Resolve(library, "DeregisterEventSource", &bound.DeregisterEventSource) &&
      Resolve(library, "ReportEventA", &bound.ReportEventA)) {
    *f = bound;  // the library stays loaded for the life of the process
    return true;
  }
  FreeLibrary(library);
  return false;
}

EventLogFunctions& Table() {
  static EventLogFunctions table = [] {
    EventLogFunctions f = SystemFunctions();
    BindLogLibrary(&f);
    return f;
  }();
  return table;
}

}  // namespace

const EventLogFunctions& EventLog() { return Table(); }

void BindEventLog(const EventLogFunctions& functions) { Table() = functions; }
