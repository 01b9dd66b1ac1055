// Records of the platform's event log as its read function returns them
// (the EVENTLOGRECORD layout: a 56-byte fixed part, then the source and
// computer names, the insertion strings and the data, then the length again),
// walked by each record's own length, and the viewer's line for one of them.
// Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/smsfile.h"  // SmsDateTime, the SYSTEMTIME layout

constexpr size_t kEventRecordFixedSize = 56;

// Byte offsets of the fixed part's fields.
enum : size_t {
  kEventLengthOffset = 0,
  kEventRecordNumberOffset = 8,
  kEventTimeGeneratedOffset = 12,
  kEventTypeOffset = 24,
  kEventNumStringsOffset = 26,
  kEventStringOffsetOffset = 36,
  kEventSourceNameOffset = 56,
};

// Event types the viewer tells apart; every other type reads as information.
enum : uint16_t { kEventErrorType = 1, kEventWarningType = 2 };

// One record seen in place: texts point into the caller's bytes and are not
// terminated there; each ends at its NUL or at the record's end.
struct EventRecordView {
  uint32_t length;
  uint32_t recordNumber;
  uint32_t timeGenerated;  // seconds since 1970-01-01 00:00 UTC
  uint16_t eventType;
  const char* source;
  size_t sourceLength;
  const char* firstString;  // empty when the record holds no insertion string
  size_t firstStringLength;
};

// The record at `offset` of the `size` bytes read. False when it does not fit
// whole in the bytes or claims less than its fixed part (the walk must stop
// there: the rest cannot be trusted).
bool ViewEventRecord(const unsigned char* bytes, size_t size, size_t offset, EventRecordView* record);

// The record's source equals `name` ignoring case.
bool EventSourceIs(const EventRecordView& record, const char* name);

// "Error: ", "Warning: " or "Info: ".
const char* EventTypeWord(uint16_t eventType);

// The viewer's line: the local generation time as "YYYY-MM-DD hh:mm:ss - "
// (nothing when `localTime` is null), the type word and the first insertion
// string unchanged, cut to fit `outSize` (always terminated).
void EventLineText(const SmsDateTime* localTime, const EventRecordView& record, char* out, size_t outSize);
