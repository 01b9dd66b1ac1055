// The operators' table: CSV reading and the columns by name.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <set>

#include "core/gatewaynames.h"
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

TEST(OperatorSearch, FoldsCaseAndAccents) {
  EXPECT_EQ(FoldForSearch("C\xC3\xB4te d\xE2\x80\x99Ivoire"), "cote d'ivoire");
  EXPECT_EQ(FoldForSearch("R\xC3\xA9union T\xC3\xBCrkiye Stra\xC3\x9F" "e \xC5\x81\xC3\xB3\x64\xC5\xBA"), "reunion turkiye strasse lodz");
  EXPECT_EQ(FoldForSearch("\xD0\x9C\xD0\xA2\xD0\xA1 \xFF"), "\xD0\x9C\xD0\xA2\xD0\xA1 \xFF");  // kept as they are

  OperatorEntry e{"C\xC3\xB4te d'Ivoire", "612", "03", "Orange MMS"};
  const struct {
    const char* query;
    bool match;
  } cases[] = {
      {"", true}, {"  ", true}, {"orange", true}, {"ORANGE cote", true}, {"c\xC3\xB4te", true},
      {"612", true}, {"612 03", true}, {"03", true}, {"orange germany", false}, {"mtn", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(OperatorMatches(e, cases[i].query), cases[i].match) << "case " << i;
}

TEST(OperatorSettings, FillingRule) {
  const struct {
    const char* proxy;
    const char* port;
    const char* url;
    const char* gateway;
    bool isServer;
  } cases[] = {
      {"10.1.2.3", "8080", "http://x/", "10.1.2.3", false},
      {"10.1.2.3", "9201", "http://x/", "10.1.2.3", false},
      {"10.1.2.3", "", "http://x/", "10.1.2.3", false},
      {"10.1.2.3", "8799", "http://x/", "http://10.1.2.3:8799", false},
      {"mmsproxy.rogers.com", "80", "http://x/", "http://mmsproxy.rogers.com:80", false},
      {"mmsproxy.rogers.com", "", "http://x/", "http://mmsproxy.rogers.com", false},
      {"", "", "http://mms.example.net:8002/mms", "http://mms.example.net:8002", true},
      {"", "", "https://mms.orange.tn", "http://mms.orange.tn:443", true},
      {"", "", "http:/mms.heyah.pl/servlets/mms", "http://mms.heyah.pl:80", true},
      {"", "", "http:// 10.122.200.12:8002", "http://10.122.200.12:8002", true},
      {"", "", "mms.unomobile.it/servlets/mms", "http://mms.unomobile.it:80", true},
      {"9201", "", "http://10.81.6.11", "http://10.81.6.11:80", true},  // a port in the proxy column
      {"", "", "", "", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    OperatorEntry e;
    e.wapGateway = cases[i].proxy;
    e.wapGatewayPort = cases[i].port;
    e.mmsUrl = cases[i].url;
    OperatorSettings s = FillOperatorSettings(e);
    EXPECT_EQ(s.wapGateway, cases[i].gateway) << "case " << i;
    EXPECT_EQ(s.gatewayIsServer, cases[i].isServer) << "case " << i;
    EXPECT_EQ(s.mmsUrl, cases[i].url) << "case " << i;
  }
}

// Every row of the shipped tables as the chooser fills it passes the Modem
// page's check, keeps the proxy's port, fits the 104-byte results, and has a
// label of its own, in its country and in a search over every country.
TEST(OperatorSettings, EveryShippedRowIsAcceptedAndTellsApart) {
  for (const char* path : {ZARQ_FALLBACK_OPERATORS, ZARQ_SHARED_OPERATORS}) {
    std::string data = ReadAll(path);
    if (data.empty() && path != std::string(ZARQ_FALLBACK_OPERATORS)) continue;
    std::vector<OperatorEntry> rows;
    ASSERT_TRUE(ParseOperatorTable(data.data(), data.size(), &rows)) << path;
    std::vector<size_t> all;
    for (size_t r = 0; r < rows.size(); ++r) {
      all.push_back(r);
      OperatorSettings s = FillOperatorSettings(rows[r]);
      char checked[250];
      ASSERT_LT(s.wapGateway.size(), 104u) << path << " row " << r;
      strcpy(checked, s.wapGateway.c_str());
      EXPECT_TRUE(PrepareWapGatewayAddress(checked, sizeof checked)) << path << " row " << r << ": " << s.wapGateway;
      const std::string& port = rows[r].wapGatewayPort;
      if (!s.gatewayIsServer && !port.empty() && port != "9201" && port != "8080" && port != "80") {
        EXPECT_NE(s.wapGateway.find(":" + port), std::string::npos) << path << " row " << r;
      }
    }
    std::vector<std::string> labels = OperatorLabels(rows, all, true);
    EXPECT_EQ(std::set<std::string>(labels.begin(), labels.end()).size(), rows.size()) << path;
    for (const std::string& country : OperatorCountries(rows)) {
      std::vector<size_t> shown;
      for (size_t r = 0; r < rows.size(); ++r)
        if (rows[r].country == country) shown.push_back(r);
      labels = OperatorLabels(rows, shown, false);
      EXPECT_EQ(std::set<std::string>(labels.begin(), labels.end()).size(), shown.size()) << path << " " << country;
    }
  }
}

TEST(OperatorSettings, LabelsAddOnlyWhatTellsRowsApart) {
  std::vector<OperatorEntry> rows(4);
  const char* fields[4][5] = {{"Utopia", "998", "01", "One", "apn.a"},
                              {"Utopia", "998", "02", "One", "apn.a"},
                              {"Utopia", "998", "02", "One", "apn.b"},
                              {"Utopia", "998", "03", "Two", "apn.c"}};
  for (size_t i = 0; i < 4; ++i) {
    rows[i].country = fields[i][0];
    rows[i].mcc = fields[i][1];
    rows[i].mnc = fields[i][2];
    rows[i].name = fields[i][3];
    rows[i].apn = fields[i][4];
  }
  EXPECT_EQ(OperatorLabels(rows, {0, 1, 2, 3}, false),
            (std::vector<std::string>{"One (998 01)", "One (998 02, apn.a)", "One (998 02, apn.b)", "Two"}));
  EXPECT_EQ(OperatorLabels(rows, {0, 3}, true), (std::vector<std::string>{"One (Utopia)", "Two (Utopia)"}));
}
