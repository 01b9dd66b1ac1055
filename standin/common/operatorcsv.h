// The operators' MMS settings table shipped beside the account library
// (OPERATORS.CSV): comma-separated, UTF-8, first row naming the columns
// country, mcc, mnc, operator, apn, apn_login, apn_password, mms_proxy,
// mms_proxy_port, mms_server_url. Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Fields of one CSV record. Quoted fields may hold commas, line breaks and
// doubled quotes; lines end in CRLF or LF; a leading UTF-8 byte-order mark is
// skipped. Input is bounded: fields stop growing at kMaxCsvField bytes and
// reading stops after kMaxCsvRows records.
constexpr size_t kMaxCsvField = 1024;
constexpr size_t kMaxCsvRows = 100000;
std::vector<std::vector<std::string>> ParseCsv(const char* data, size_t size);

struct OperatorEntry {
  std::string country, mcc, mnc, name, apn, login, password, wapGateway, wapGatewayPort, mmsUrl;
};

// Rows of the table in file order, located by the header's column names (in
// any order and case). Rows without a country or operator are left out.
// False when the header lacks the country or operator column.
bool ParseOperatorTable(const char* data, size_t size, std::vector<OperatorEntry>* rows);

// The countries of `rows` in first-seen order, each once.
std::vector<std::string> OperatorCountries(const std::vector<OperatorEntry>& rows);
