#include "operatorcsv.h"

#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "core/textrules.h"

std::vector<std::vector<std::string>> ParseCsv(const char* data, size_t size) {
  std::vector<std::vector<std::string>> rows;
  if (!data) return rows;
  size_t i = 0;
  if (size >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0) i = 3;

  std::vector<std::string> row;
  std::string field;
  bool quoted = false;     // inside a quoted field
  bool rowStarted = false;  // anything seen since the last line end
  auto add = [&field](char c) {
    if (field.size() < kMaxCsvField) field += c;
  };
  auto endField = [&]() {
    row.push_back(field);
    field.clear();
  };
  auto endRow = [&]() {
    endField();
    rows.push_back(std::move(row));
    row.clear();
    rowStarted = false;
  };

  for (; i < size && rows.size() < kMaxCsvRows; ++i) {
    char c = data[i];
    if (quoted) {
      if (c != '"') {
        add(c);
      } else if (i + 1 < size && data[i + 1] == '"') {
        add('"');
        ++i;
      } else {
        quoted = false;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      rowStarted = true;
    } else if (c == ',') {
      endField();
      rowStarted = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
      if (rowStarted || !row.empty()) endRow();  // blank lines are no records
    } else {
      add(c);
      rowStarted = true;
    }
  }
  if ((rowStarted || !row.empty()) && rows.size() < kMaxCsvRows) endRow();
  return rows;
}

bool ParseOperatorTable(const char* data, size_t size, std::vector<OperatorEntry>* rows) {
  rows->clear();
  std::vector<std::vector<std::string>> records = ParseCsv(data, size);
  if (records.empty()) return false;

  struct Column {
    const char* name;
    std::string OperatorEntry::*field;
    size_t index;
  } columns[] = {
      {"country", &OperatorEntry::country, SIZE_MAX},
      {"mcc", &OperatorEntry::mcc, SIZE_MAX},
      {"mnc", &OperatorEntry::mnc, SIZE_MAX},
      {"operator", &OperatorEntry::name, SIZE_MAX},
      {"apn", &OperatorEntry::apn, SIZE_MAX},
      {"apn_login", &OperatorEntry::login, SIZE_MAX},
      {"apn_password", &OperatorEntry::password, SIZE_MAX},
      {"mms_proxy", &OperatorEntry::wapGateway, SIZE_MAX},
      {"mms_proxy_port", &OperatorEntry::wapGatewayPort, SIZE_MAX},
      {"mms_server_url", &OperatorEntry::mmsUrl, SIZE_MAX},
  };
  const std::vector<std::string>& header = records[0];
  for (Column& c : columns)
    for (size_t i = 0; i < header.size() && c.index == SIZE_MAX; ++i)
      if (CompareNoCase(header[i].c_str(), c.name) == 0) c.index = i;
  if (columns[0].index == SIZE_MAX || columns[3].index == SIZE_MAX) return false;

  for (size_t r = 1; r < records.size(); ++r) {
    OperatorEntry entry;
    for (const Column& c : columns)
      if (c.index < records[r].size()) entry.*c.field = records[r][c.index];
    if (!entry.country.empty() && !entry.name.empty()) rows->push_back(std::move(entry));
  }
  return true;
}

std::vector<std::string> OperatorCountries(const std::vector<OperatorEntry>& rows) {
  std::vector<std::string> countries;
  std::unordered_set<std::string> seen;
  for (const OperatorEntry& e : rows)
    if (seen.insert(e.country).second) countries.push_back(e.country);
  return countries;
}
