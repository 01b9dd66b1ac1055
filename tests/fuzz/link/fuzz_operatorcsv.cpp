// The operators' table is a file beside the library that anyone may replace.
#include <cstdint>
#include <string>

#include "operatorcsv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  for (const auto& row : ParseCsv(text, size))
    for (const auto& field : row)
      if (field.size() > kMaxCsvField) __builtin_trap();
  std::vector<OperatorEntry> rows;
  if (ParseOperatorTable(text, size, &rows)) {
    for (const OperatorEntry& e : rows)
      if (e.country.empty() || e.name.empty()) __builtin_trap();
    if (OperatorCountries(rows).size() > rows.size()) __builtin_trap();
  }
  return 0;
}
