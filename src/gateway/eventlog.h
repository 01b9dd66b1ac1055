// The system's event-log functions, reached through one table of function
// pointers set once per process: the event viewer reads the Application log
// through it and the gateway services report to it. It holds the system's own
// functions, unless the event-log library "zarqevlog.dll" (a file-backed
// Application log for systems whose own keeps nothing) lies beside the running
// program; tests hand it functions of their own.
#pragma once
#include <windows.h>

struct EventLogFunctions {
  HANDLE(WINAPI* OpenEventLogA)(LPCSTR server, LPCSTR log);
  BOOL(WINAPI* CloseEventLog)(HANDLE log);
  BOOL(WINAPI* GetOldestEventLogRecord)(HANDLE log, PDWORD oldest);
  BOOL(WINAPI* GetNumberOfEventLogRecords)(HANDLE log, PDWORD count);
  BOOL(WINAPI* ReadEventLogA)(HANDLE log, DWORD flags, DWORD recordNumber, LPVOID buffer, DWORD bufferSize,
                              DWORD* read, DWORD* needed);
  BOOL(WINAPI* ClearEventLogA)(HANDLE log, LPCSTR backupFile);
  HANDLE(WINAPI* RegisterEventSourceA)(LPCSTR server, LPCSTR source);
  BOOL(WINAPI* DeregisterEventSource)(HANDLE source);
  BOOL(WINAPI* ReportEventA)(HANDLE source, WORD type, WORD category, DWORD eventId, PSID user, WORD stringCount,
                             DWORD dataSize, LPCSTR* strings, LPVOID data);
};

// The functions in use; bound on first use.
const EventLogFunctions& EventLog();

// Replaces the functions in use (tests feed records through here).
void BindEventLog(const EventLogFunctions& functions);
