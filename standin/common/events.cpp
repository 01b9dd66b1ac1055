#include "events.h"

void ReportGatewayEvent(const char* source, WORD type, const char* text) {
  HANDLE log = RegisterEventSourceA(nullptr, source);
  if (!log) return;
  const char* strings[1] = {text};
  // Event id 0: the program's message table entry "ZarqSMS Error Report.  %1".
  ReportEventA(log, type, 0, 0, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(log);
}
