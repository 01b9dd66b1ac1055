// Encoding and decoding MMS PDUs. The byte vectors are written out field by
// field from the OMA MMS encapsulation and WSP encoding rules; each was also
// decoded by tshark's MMS dissector while it was written.
#include <gtest/gtest.h>

#include <string>

#include "core/mmspdu.h"

namespace {

using mms::Bytes;

Bytes B(std::initializer_list<int> bytes) {
  Bytes b;
  for (int x : bytes) b.push_back(uint8_t(x));
  return b;
}
void Add(Bytes& b, const std::string& s, bool nul = true) {
  b.insert(b.end(), s.begin(), s.end());
  if (nul) b.push_back(0);
}
void Add(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A multipart body of two parts: text/plain; charset=utf-8 with Content-Location
// "hello.txt" and Content-ID <t>, then image/gif with Content-Location "a.gif".
Bytes TwoParts() {
  Bytes b = B({0x02});
  Bytes h1 = B({0x03, 0x83, 0x81, 0xEA, 0x8E});  // value length 3: text/plain, charset utf-8; Content-Location
  Add(h1, "hello.txt");
  Add(h1, B({0xC0, '"'}));  // Content-ID, quoted string
  Add(h1, "<t>");
  Add(b, B({uint8_t(h1.size()), 0x05}));
  Add(b, h1);
  Add(b, "Hallo", false);
  Bytes h2 = B({0x9D, 0x8E});  // image/gif; Content-Location
  Add(h2, "a.gif");
  Add(b, B({uint8_t(h2.size()), 0x03}));
  Add(b, h2);
  Add(b, B({'G', 'I', 'F'}));
  return b;
}

}  // namespace

TEST(MmsPdu, SendConfOkAndError) {
  Bytes ok = B({0x8C, 0x81, 0x98});
  Add(ok, "T1");
  Add(ok, B({0x8D, 0x92, 0x92, 0x80, 0x8B}));
  Add(ok, "msg-1");
  mms::SendConf c;
  std::string error;
  ASSERT_TRUE(mms::DecodeSendConf(ok.data(), ok.size(), &c, &error)) << error;
  EXPECT_EQ(c.transactionId, "T1");
  EXPECT_EQ(c.version, 0x92);
  EXPECT_EQ(c.responseStatus, mms::kStatusOk);
  EXPECT_EQ(c.messageId, "msg-1");

  Bytes refused = B({0x8C, 0x81, 0x98});
  Add(refused, "T2");
  Add(refused, B({0x8D, 0x92, 0x92, 0xE1, 0x93, 0x06, 0xEA}));  // Response-Text with charset utf-8
  Add(refused, "nein");
  ASSERT_TRUE(mms::DecodeSendConf(refused.data(), refused.size(), &c, &error)) << error;
  EXPECT_EQ(c.responseStatus, 0xE1);
  EXPECT_EQ(c.responseText, "nein");
  EXPECT_EQ(mms::ResponseStatusText(0xE1), "Error-permanent-service-denied");
  EXPECT_TRUE(mms::IsPermanentError(0xE1));
  EXPECT_FALSE(mms::IsPermanentError(0xC0));
  EXPECT_EQ(mms::ResponseStatusText(0xC3), "Error-transient-network-problem");
  EXPECT_EQ(mms::ResponseStatusText(0x7F), "Error-unknown-status-0x7F");

  Bytes noStatus = B({0x8C, 0x81, 0x98, 'x', 0});
  EXPECT_FALSE(mms::DecodeSendConf(noStatus.data(), noStatus.size(), &c, &error));
  Bytes otherType = B({0x8C, 0x82, 0x98, 'x', 0});
  EXPECT_FALSE(mms::DecodeSendConf(otherType.data(), otherType.size(), &c, &error));
}

TEST(MmsPdu, NotificationInd) {
  Bytes n = B({0x8C, 0x82, 0x98});
  Add(n, "tid42");
  Add(n, B({0x8D, 0x92, 0x89, 0x18, 0x80}));  // From: value length 24, address present
  Add(n, "+15550100200/TYPE=PLMN");
  Add(n, B({0x96, 0x09, 0xEA}));  // Subject: utf-8 "Grüße"
  Add(n, "Gr\xC3\xBC\xC3\x9F" "e");
  Add(n, B({0x8A, 0x80, 0x8E, 0x02, 0x05, 0xDC}));        // personal, 1500 bytes
  Add(n, B({0x88, 0x05, 0x81, 0x03, 0x01, 0x51, 0x80}));  // expiry: relative 86400 s
  Add(n, B({0x83}));
  Add(n, "http://mmsc.example/m/1");
  mms::NotificationInd m;
  std::string error;
  ASSERT_TRUE(mms::DecodeNotificationInd(n.data(), n.size(), &m, &error)) << error;
  EXPECT_EQ(m.transactionId, "tid42");
  EXPECT_EQ(m.from, "+15550100200/TYPE=PLMN");
  EXPECT_EQ(m.subject, "Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(m.messageClass, "personal");
  EXPECT_EQ(m.messageSize, 1500u);
  EXPECT_TRUE(m.expiryRelative);
  EXPECT_EQ(m.expirySeconds, 86400u);
  EXPECT_EQ(m.contentLocation, "http://mmsc.example/m/1");
}

TEST(MmsPdu, PushCarryingANotification) {
  Bytes body = B({0x8C, 0x82, 0x98, 'a', 0, 0x8D, 0x92, 0x83});
  Add(body, "http://h/1");
  Bytes p = B({0x01, 0x06, 0x03, 0xBE, 0xAF, 0x84});  // tid, Push, headers: mms-message, X-Wap-Application-Id mms.ua
  Add(p, body);
  mms::Push push;
  std::string error;
  ASSERT_TRUE(mms::DecodePush(p.data(), p.size(), &push, &error)) << error;
  EXPECT_EQ(push.pduType, 0x06);
  EXPECT_EQ(push.type.media, "application/vnd.wap.mms-message");
  EXPECT_EQ(push.applicationId, "x-wap-application:mms.ua");
  EXPECT_EQ(push.body, body);

  Bytes notPush = B({0x01, 0x04, 0x01, 0xBE});
  EXPECT_FALSE(mms::DecodePush(notPush.data(), notPush.size(), &push, &error));
}

TEST(MmsPdu, RetrieveConfWithParts) {
  Bytes r = B({0x8C, 0x84, 0x98, 'r', 0, 0x8D, 0x92, 0x8B});
  Add(r, "id-7");
  Add(r, B({0x85, 0x04, 0x4F, 0xB0, 0x00, 0x00}));  // Date 1336934400
  Add(r, B({0x89, 0x18, 0x80}));  // From: value length 24
  Add(r, "+15550100100/TYPE=PLMN");
  Add(r, B({0x97}));
  Add(r, "+15550100100/TYPE=PLMN");
  Add(r, B({0x96}));
  Add(r, "Hi");
  Add(r, B({0x84, 0xA3}));  // multipart.mixed
  Add(r, TwoParts());
  mms::RetrieveConf m;
  std::string error;
  ASSERT_TRUE(mms::DecodeRetrieveConf(r.data(), r.size(), &m, &error)) << error;
  EXPECT_EQ(m.messageId, "id-7");
  EXPECT_EQ(m.date, 1336934400u);
  EXPECT_EQ(m.from, "+15550100100/TYPE=PLMN");
  ASSERT_EQ(m.to.size(), 1u);
  EXPECT_EQ(m.subject, "Hi");
  EXPECT_EQ(m.type.media, "application/vnd.wap.multipart.mixed");
  ASSERT_EQ(m.parts.size(), 2u);
  EXPECT_EQ(m.parts[0].type.media, "text/plain");
  EXPECT_EQ(m.parts[0].type.charset, "utf-8");
  EXPECT_EQ(m.parts[0].location, "hello.txt");
  EXPECT_EQ(m.parts[0].contentId, "<t>");
  EXPECT_EQ(std::string(m.parts[0].data.begin(), m.parts[0].data.end()), "Hallo");
  EXPECT_EQ(m.parts[1].type.media, "image/gif");
  EXPECT_EQ(m.parts[1].location, "a.gif");
}

TEST(MmsPdu, SendReqEncodesAsWrittenOutByHand) {
  mms::SendReq req;
  req.transactionId = "T";
  req.subject = "S";
  req.to = {"+1/TYPE=PLMN"};
  req.type.media = "application/vnd.wap.multipart.related";
  req.type.start = "<a>";
  req.type.startType = "text/plain";
  mms::Part p;
  p.type.media = "text/plain";
  p.location = "a.txt";
  p.data = B({'x'});
  req.parts = {p};
  Bytes want = B({0x8C, 0x80, 0x98, 'T', 0, 0x8D, 0x92, 0x89, 0x01, 0x81, 0x97});
  Add(want, "+1/TYPE=PLMN");
  Add(want, B({0x96, 'S', 0, 0x84, 0x12, 0xB3, 0x8A}));  // general form: 18 bytes
  Add(want, "<a>");
  Add(want, B({0x89}));
  Add(want, "text/plain");
  Add(want, B({0x01, 0x08, 0x01, 0x83, 0x8E}));  // one entry: 8 header bytes, 1 data byte
  Add(want, "a.txt");
  Add(want, B({'x'}));
  Bytes got;
  std::string error;
  ASSERT_TRUE(mms::EncodeSendReq(req, &got, &error)) << error;
  EXPECT_EQ(got, want);

  mms::SendReq back;
  ASSERT_TRUE(mms::DecodeSendReq(got.data(), got.size(), &back, &error)) << error;
  EXPECT_EQ(back.from, "");
  EXPECT_EQ(back.to, req.to);
  EXPECT_EQ(back.type.start, "<a>");
  EXPECT_EQ(back.type.startType, "text/plain");
  ASSERT_EQ(back.parts.size(), 1u);
  EXPECT_EQ(back.parts[0].data, p.data);

  req.subject = std::string("a\0b", 3);
  EXPECT_FALSE(mms::EncodeSendReq(req, &got, &error));
}

TEST(MmsPdu, ReaddressKeepsEverythingButTheAddresses) {
  mms::SendReq req;
  req.transactionId = "OLD";
  req.from = "+1999/TYPE=PLMN";
  req.to = {"+1000/TYPE=PLMN", "+2000/TYPE=PLMN"};
  req.subject = "Kept";
  req.type.media = "application/vnd.wap.multipart.mixed";
  mms::Part p;
  p.type.media = "text/plain";
  p.type.charset = "utf-8";
  p.data = B({'h', 'i'});
  req.parts = {p, p};
  Bytes original, got;
  std::string error;
  ASSERT_TRUE(mms::EncodeSendReq(req, &original, &error));
  ASSERT_TRUE(mms::ReaddressSendReq(original.data(), original.size(), "NEW", {"+15550100100/TYPE=PLMN"}, &got, &error))
      << error;
  mms::SendReq back;
  ASSERT_TRUE(mms::DecodeSendReq(got.data(), got.size(), &back, &error)) << error;
  EXPECT_EQ(back.transactionId, "NEW");
  EXPECT_EQ(back.from, "");
  EXPECT_EQ(back.to, std::vector<std::string>{"+15550100100/TYPE=PLMN"});
  EXPECT_EQ(back.subject, "Kept");
  ASSERT_EQ(back.parts.size(), 2u);
  // The body travels byte for byte.
  Bytes body;
  ASSERT_TRUE(mms::EncodeMultipart(req.parts, &body, &error));
  EXPECT_TRUE(std::equal(body.begin(), body.end(), got.end() - long(body.size())));

  EXPECT_FALSE(mms::ReaddressSendReq(original.data(), original.size(), "N", {}, &got, &error));
  Bytes conf = B({0x8C, 0x81, 0x98, 'x', 0, 0x92, 0x80});
  EXPECT_FALSE(mms::ReaddressSendReq(conf.data(), conf.size(), "N", {"+1"}, &got, &error));
}

TEST(MmsPdu, HostileDataIsRefused) {
  Bytes huge = B({0x8F, 0xFF, 0xFF, 0xFF, 0x7F});  // 2^32 - 1 parts
  Bytes manyParts = B({0x82, 0x00});                 // 256 parts in two bytes
  for (int i = 0; i < 256 * 3; ++i) manyParts.push_back(0x01);
  Bytes pastEnd = TwoParts();
  pastEnd[1 + 1] = 0x7F;  // first part's data length 127
  Bytes headersPastEnd = TwoParts();
  headersPastEnd[1] = 0x7F;
  Bytes longVar = B({0x01, 0x81, 0x81, 0x81, 0x81, 0x81, 0x01, 0x00});
  Bytes trailing = TwoParts();
  trailing.push_back(0);
  Bytes noType = B({0x01, 0x00, 0x00});
  Bytes valueLengthPastEnd = B({0x01, 0x02, 0x00, 0x1F, 0x7F, 0x83});
  Bytes textNoEnd = B({0x01, 0x02, 0x00, 'a', 'b'});
  const Bytes* cases[] = {&huge, &manyParts, &pastEnd, &headersPastEnd, &longVar, &trailing, &noType,
                          &valueLengthPastEnd, &textNoEnd};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::vector<mms::Part> parts;
    std::string error;
    EXPECT_FALSE(mms::DecodeMultipart(cases[i]->data(), cases[i]->size(), &parts, &error)) << "case " << i;
    EXPECT_FALSE(error.empty()) << "case " << i;
  }
  std::vector<mms::Part> parts;
  Bytes good = TwoParts();
  EXPECT_TRUE(mms::DecodeMultipart(good.data(), good.size(), &parts, nullptr));

  // Truncating a valid message anywhere never passes for a whole one.
  Bytes r = B({0x8C, 0x84, 0x98, 'r', 0, 0x8D, 0x92, 0x84, 0xA3});
  Add(r, good);
  for (size_t n = 0; n < r.size(); ++n) {
    mms::RetrieveConf m;
    EXPECT_FALSE(mms::DecodeRetrieveConf(r.data(), n, &m, nullptr)) << "cut at " << n;
  }
}

TEST(MmsPdu, AddressesForTheWire) {
  const struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"+15550100100/TYPE=VASP:zarqlocal", "+15550100100/TYPE=PLMN"},
      {"15550100100", "15550100100/TYPE=PLMN"},
      {"user@example.com", "user@example.com"},
      {"+1555/TYPE=PLMN", "+1555/TYPE=PLMN"},
      {" +1 555 ", "+1 555"},
      {"/TYPE=VASP:zarqlocal", ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(mms::MmsAddress(cases[i].in), cases[i].want) << "case " << i;
}
