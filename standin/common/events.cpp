#include "events.h"

#include "gateway/eventlog.h"

void ReportGatewayEvent(const char* source, WORD type, const char* text) {
  const EventLogFunctions& log = EventLog();
  HANDLE handle = log.RegisterEventSourceA(nullptr, source);
  if (!handle) return;
  const char* strings[1] = {text};
  // Event id 0: the program's message table entry "ZarqSMS Error Report.  %1".
  log.ReportEventA(handle, type, 0, 0, nullptr, 1, 0, strings, nullptr);
  log.DeregisterEventSource(handle);
}
