// Rows of the message lists: each a run of NUL-terminated texts with one more
// NUL after the last, in its own zero-filled heap block. Field 0 is the path
// relative to the store's root, field 1 the file name, then the columns.
// Pure code: no <windows.h>.
#pragma once
#include <cstddef>

typedef char ListRecord;

// A record is built in a buffer of this size and never exceeds it.
constexpr size_t kListRecordBuffer = 8192;
// Records listed per scan; the scan array holds one more, always null.
constexpr unsigned kScanCap = 5000;
constexpr unsigned kScanArraySize = kScanCap + 1;

struct ListRecordBuilder {
  char buffer[kListRecordBuffer];
  size_t used;
};

void BeginListRecord(ListRecordBuilder* b);
// Appends one field, cut to what still fits (keeping room for the final NUL);
// with `utf8` the cut falls between whole UTF-8 characters.
void AddListField(ListRecordBuilder* b, const char* text, bool utf8 = false);
// A heap copy of the record (length plus 16 bytes, zero-filled), released
// with FreeListRecord; null when allocation fails.
ListRecord* FinishListRecord(ListRecordBuilder* b);
void FreeListRecord(ListRecord* record);

// The longest prefix of at most `n` bytes of `text` (which holds at least `n`)
// that does not end inside a UTF-8 sequence.
size_t WholeUtf8Length(const char* text, size_t n);

// Field `index` of a record; the empty text beyond the last field (any index
// below kListRecordMaxFields).
constexpr unsigned kListRecordMaxFields = 16;
const char* ListRecordField(const ListRecord* record, unsigned index);

// A zero-filled array of kScanArraySize record pointers (null on failure),
// and its release together with its first `count` records.
ListRecord** NewScanArray();
void FreeScanArray(ListRecord** records, unsigned count);

// Status column of the outbound lists: "Retry - %2u attempt(s)" (and " - "
// with the last error text when there is one) for a non-zero retry count,
// else "Queued".
void QueueStatusText(long retryCount, const char* lastError, char* out, size_t outSize);

// Status texts of the received-SMS list.
extern const char kStatusQueued[];
extern const char kStatusReceived[];
