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

// Text folded for searching: lower case, Latin accents and ligatures dropped
// ("Côte d'Ivoire" -> "cote d'ivoire", "Straße" -> "strasse"); other
// characters kept as they are. UTF-8 in, UTF-8 out.
std::string FoldForSearch(const std::string& utf8);

// True when every blank-separated word of `query` (folded by FoldForSearch
// here) is found in the row's operator name, country, MCC or MNC. An empty
// query matches every row.
bool OperatorMatches(const OperatorEntry& row, const std::string& query);

// One label for each of `shown` (indexes into `rows`), unique among them: the
// operator's name, followed in parentheses by what tells it apart from the
// other shown rows: the country (always, when `withCountry`), then as far as
// needed the MCC and MNC, the APN, the MMS server's host, and last a running
// number.
std::vector<std::string> OperatorLabels(const std::vector<OperatorEntry>& rows, const std::vector<size_t>& shown,
                                        bool withCountry);

// Host and port of an MMS server URL as the table writes it ("http://h:p/x",
// "https://h/x", "h/x", blanks after the scheme tolerated); the port is the
// scheme's (80, 443) when the URL names none. False without a usable host.
bool MmsServerHostPort(const std::string& url, std::string* host, unsigned* port);

// The five texts the chooser hands back, filled so that the Modem page
// accepts them and the connection test knocks on the right port.
struct OperatorSettings {
  std::string apn, login, password, wapGateway, mmsUrl;
  bool gatewayIsServer = false;  // no WAP gateway: the MMS server's own host and port
};

// The WAP gateway address: the dotted proxy address alone when its port is
// one the test tries anyway (9201, 8080, 80, or none), else
// "http://address:port"; a host-name proxy as "http://name[:port]"; without a
// usable proxy, "http://host:port" of the MMS server.
OperatorSettings FillOperatorSettings(const OperatorEntry& row);
