// How the message lists order, find and show their rows (core/listrecord.h).
// The text comparison is handed in: the program passes the system's
// locale-aware, case-insensitive comparison. Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/listrecord.h"

// A three-way text comparison (negative, 0, positive).
typedef int (*TextCompare)(const char* a, const char* b);

// The sort key after a click on column `column` (0-based): n = column + 1
// becomes -n when the key already is n, otherwise n. So a first click sorts
// ascending, a second descending, a third ascending again.
int NextSortKey(int key, unsigned column);

// Orders the first `count` records by field |key|, descending for a negative
// key; a key of 0 leaves them as they are. Equal rows keep no particular order.
void SortListRecords(ListRecord** records, unsigned count, int key, TextCompare compare);

// The index of the record whose field 0 (its relative path) compares equal to
// `path`, or -1; an empty path finds nothing.
int FindListRecordByPath(ListRecord* const* records, unsigned count, const char* path, TextCompare compare);

// A cell as the list shows it: field `field` of `record` (the empty text for a
// null record), at most kListCellMax bytes, in `out` of kListCellBuffer bytes.
// A UTF-8 field is cut between whole characters.
constexpr size_t kListCellBuffer = 500;
constexpr size_t kListCellMax = kListCellBuffer - 1;
void ListCellText(const ListRecord* record, unsigned field, bool utf8, char* out);

// The header line: `prefix`, then "%u message%s" with the total (no "s" for
// 1), or `zeroWord` when the total is 0.
void ListHeaderText(const char* prefix, const char* zeroWord, unsigned total, char* out, size_t size);

// A UTF-8 cell as UTF-16 (terminated, at most `outSize` units with the
// terminator). Surrogates written each as three bytes, as the UCS-2 decoding
// of received messages writes them, are taken back as they were, so that a
// pair shows its character; a byte that starts no valid sequence gives U+FFFD.
void Utf8CellToUtf16(const char* text, uint16_t* out, size_t outSize);
