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
    // What the chooser does with every row: fill, search, label.
    std::vector<size_t> all;
    for (size_t i = 0; i < rows.size() && i < 200; ++i) {
      all.push_back(i);
      FillOperatorSettings(rows[i]);
      OperatorMatches(rows[i], rows[0].name);
    }
    std::vector<std::string> labels = OperatorLabels(rows, all, true);
    if (labels.size() != all.size()) __builtin_trap();
    for (size_t i = 0; i < labels.size(); ++i)
      for (size_t j = i + 1; j < labels.size(); ++j)
        if (labels[i] == labels[j] && rows[all[i]].name.find('(') == std::string::npos) __builtin_trap();
  }
  return 0;
}
