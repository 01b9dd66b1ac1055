// The services' notable events, reported to the Application event log the
// way the real gateway reports them: source "ZarqSMS" for the SMS gateway,
// "ZarqMMSC" for the MMSC, the text as the record's one insertion string.
#pragma once
#include <windows.h>

// `type` is EVENTLOG_ERROR_TYPE, EVENTLOG_WARNING_TYPE or
// EVENTLOG_INFORMATION_TYPE. Failures are ignored: an event never stops the
// service's work.
void ReportGatewayEvent(const char* source, WORD type, const char* text);
