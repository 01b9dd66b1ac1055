// The operators' table: CSV reading and the columns by name.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "operatorcsv.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows Csv(const std::string& text) { return ParseCsv(text.data(), text.size()); }

std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(ParseCsv, FieldsAndLineEnds) {
  const struct {
    std::string text;
    Rows rows;
  } cases[] = {
      {"a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
      {"a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
      {"\"x,y\",\"say \"\"hi\"\"\"\r\n", {{"x,y", "say \"hi\""}}},
      {"\"two\r\nlines\",z\r\n", {{"two\r\nlines", "z"}}},
      {"\xEF\xBB\xBF" "a,b\r\n", {{"a", "b"}}},
      {"a,,\r\n", {{"a", "", ""}}},
      {"\r\n\r\na\r\n\n", {{"a"}}},
      {"\"open,never closed\r\nnext", {{"open,never closed\r\nnext"}}},
      {",", {{"", ""}}},
      {"\"\"", {{""}}},
      {"", {}},
      {"a\rb", {{"a"}, {"b"}}},
      {"K\xC3\xB6ln,x", {{"K\xC3\xB6ln", "x"}}},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) EXPECT_EQ(Csv(cases[i].text), cases[i].rows) << "case " << i;
}

TEST(ParseCsv, BoundsHugeFieldsAndRowCounts) {
  Rows rows = Csv(std::string(kMaxCsvField * 3, 'x') + ",y");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].size(), kMaxCsvField);
  EXPECT_EQ(rows[0][1], "y");

  std::string many;
  for (size_t i = 0; i < kMaxCsvRows + 10; ++i) many += "r\n";
  EXPECT_EQ(Csv(many).size(), kMaxCsvRows);
}

TEST(OperatorTable, ColumnsByNameInAnyOrder) {
  std::string text =
      "MMS_Server_URL,Operator,Country,apn,mms_proxy,extra\r\n"
      "http://mmsc,One,Utopia,one.apn,10.0.0.1,?\r\n"
      "http://x,,Utopia,nameless,,\r\n"  // no operator name: left out
      "http://two,Two,Atlantis,two.apn\r\n";
  std::vector<OperatorEntry> rows;
  ASSERT_TRUE(ParseOperatorTable(text.data(), text.size(), &rows));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "One");
  EXPECT_EQ(rows[0].country, "Utopia");
  EXPECT_EQ(rows[0].apn, "one.apn");
  EXPECT_EQ(rows[0].wapGateway, "10.0.0.1");
  EXPECT_EQ(rows[0].mmsUrl, "http://mmsc");
  EXPECT_EQ(rows[0].login, "");
  EXPECT_EQ(rows[1].wapGateway, "");  // short row: missing fields are empty
  EXPECT_EQ(OperatorCountries(rows), (std::vector<std::string>{"Utopia", "Atlantis"}));

  std::string noOperator = "country,apn\r\nX,y\r\n";
  EXPECT_FALSE(ParseOperatorTable(noOperator.data(), noOperator.size(), &rows));
  EXPECT_FALSE(ParseOperatorTable("", 0, &rows));
}

TEST(OperatorTable, ShippedTablesReadCompletely) {
  for (const char* path : {ZARQ_FALLBACK_OPERATORS, ZARQ_SHARED_OPERATORS}) {
    std::string data = ReadAll(path);
    if (data.empty() && path != std::string(ZARQ_FALLBACK_OPERATORS)) continue;  // the shared data is optional
    std::vector<OperatorEntry> rows;
    ASSERT_TRUE(ParseOperatorTable(data.data(), data.size(), &rows)) << path;
    size_t lines = 0;
    for (char c : data) lines += c == '\n';
    EXPECT_EQ(rows.size(), lines - 1) << path;  // no row is lost or split
    for (const OperatorEntry& e : rows) {
      EXPECT_FALSE(e.mmsUrl.empty()) << path << ": " << e.name;
      EXPECT_EQ(e.mmsUrl.find('\r'), std::string::npos) << path << ": " << e.name;
    }
  }
}
