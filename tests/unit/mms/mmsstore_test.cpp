// Stored forms of the MMSC: part file names, header files, log lines, routing.
#include <gtest/gtest.h>

#include <string>

#include "core/mmsstore.h"
#include "core/smsfile.h"

TEST(MmsStore, PartNamesStayInsideThePartDirectory) {
  const struct {
    const char* proposed;
    const char* media;
    const char* want;
  } cases[] = {
      {"../../evil.exe", "", "evil.exe"},
      {"..\\..\\Windows\\system32\\x.dll", "", "x.dll"},
      {"C:\\boot.ini", "", "boot.ini"},
      {"/etc/passwd", "text/plain", "passwd.txt"},
      {"..", "image/gif", "part3.gif"},
      {"....", "", "part3"},
      {"CON", "text/plain", "_CON.txt"},
      {"com1.txt", "", "_com1.txt"},
      {"nul.tar.gz", "", "_nul.tar.gz"},
      {"file.txt::$DATA", "text/plain", "_DATA.txt"},
      {"http://mmsc/x/pic.jpg?id=1", "image/jpeg", "pic.jpg"},
      {"a b\tc\r\n.txt", "", "a_b_c__.txt"},
      {"trailing. . .", "", "trailing"},
      {"\xC3\xBC" "ber.txt", "", "__ber.txt"},
      {"", "application/smil", "part3.smil"},
      {"smil", "application/smil", "smil.smil"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(SafePartFileName(cases[i].proposed, cases[i].media, 3, {}), cases[i].want) << "case " << i;

  std::string longName = std::string(300, 'n') + ".jpeg";
  std::string cut = SafePartFileName(longName, "", 0, {});
  EXPECT_EQ(cut.size(), 64u);
  EXPECT_EQ(cut.substr(59), ".jpeg");
  EXPECT_EQ(SafePartFileName("A.TXT", "", 0, {"a.txt", "a-2.txt"}), "A-3.TXT");
}

TEST(MmsStore, HeaderFileReadsBackThroughTheViewersReader) {
  mms::RetrieveConf m;
  m.from = "+15550100100/TYPE=PLMN";
  m.to = {"+15550100100/TYPE=PLMN"};
  // A subject that tries to add a part line of its own.
  m.subject = "Hi\r\nX-ZarqMMS-Content-Location: ..\\..\\evil.exe;text/plain";
  m.date = 1336934400;
  m.messageId = "id-7";
  m.type.media = "application/vnd.wap.multipart.related";
  std::string text = MmsHeaderFileText(m, {{"M1\\zarq.txt", "text/plain"}, {"M1\\zarq.gif", "image/gif;x"}});

  EXPECT_NE(text.find("Date: Sun, 13 May 2012 18:40:00 +0000\r\n"), std::string::npos);
  MmsHeaderInfo info;
  ParseMmsHeader(text.c_str(), &info);
  EXPECT_STREQ(info.From, "+15550100100");
  EXPECT_STREQ(info.To, "+15550100100");
  EXPECT_EQ(std::string(info.Subject).substr(0, 4), "Hi  ");
  const char* cursor = text.c_str();
  MmsPartLocation part;
  ASSERT_TRUE(NextMmsPartLocation(&cursor, &part));
  EXPECT_STREQ(part.Path, "M1\\zarq.txt");
  EXPECT_STREQ(part.ContentType, "text/plain");
  ASSERT_TRUE(NextMmsPartLocation(&cursor, &part));
  EXPECT_STREQ(part.Path, "M1\\zarq.gif");
  EXPECT_STREQ(part.ContentType, "image/gif x");
  EXPECT_FALSE(NextMmsPartLocation(&cursor, &part));
}

TEST(MmsStore, AnsiTextOfReceivedTexts) {
  EXPECT_EQ(AnsiLineText("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xE4\xB8\xAD"), "Gr\xFC\xDF" "e \x80 ?");
  EXPECT_EQ(AnsiLineText("a\x01" "b\x7F" "c\xFF"), "a b c?");
  EXPECT_EQ(AnsiLineText(std::string(600, 'x')).size(), 500u);
}

TEST(MmsStore, LogLineFieldsStayInTheirPlaces) {
  MmscLogEntry e{"2012-05-13 18:40:00", "OUT", "zarqlocal", "", "+1, +2", "ERROR: refused, really", "TEST03A7.MMS",
                 "id,1"};
  EXPECT_EQ(MmscLogLine(e),
            "2012-05-13 18:40:00,OUT,zarqlocal,,+1  +2,ERROR: refused  really,TEST03A7.MMS,id 1\r\n");
}

TEST(MmsStore, QueuedRecipientsNameTheirRoute) {
  QueuedRecipient r = ParseQueuedRecipient("+15550100100/TYPE=VASP:zarqlocal");
  EXPECT_EQ(r.address, "+15550100100/TYPE=PLMN");
  EXPECT_EQ(r.route, "zarqlocal");
  r = ParseQueuedRecipient("someone@example.com");
  EXPECT_EQ(r.address, "someone@example.com");
  EXPECT_EQ(r.route, "");
}
