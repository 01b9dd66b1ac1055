// List rows: fields, the size limit of a record, the status texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/listrecord.h"

namespace {

struct Record {
  ListRecord* r;
  explicit Record(ListRecord* record) : r(record) {}
  ~Record() { FreeListRecord(r); }
};

size_t RecordBytes(const ListRecord* r, unsigned fields) {
  const char* p = r;
  for (unsigned i = 0; i < fields; ++i) p += strlen(p) + 1;
  return size_t(p - r) + 1;  // the final NUL
}

}  // namespace

TEST(ListRecords, FieldsIncludingEmptyOnes) {
  ListRecordBuilder b;
  BeginListRecord(&b);
  const char* fields[] = {"sub\\A.REQ", "A.REQ", "", "+4411", "2012-02-16 13:45:01", "Queued"};
  for (const char* f : fields) AddListField(&b, f);
  Record rec(FinishListRecord(&b));
  ASSERT_NE(rec.r, nullptr);
  for (unsigned i = 0; i < 6; ++i) EXPECT_STREQ(ListRecordField(rec.r, i), fields[i]) << "field " << i;
  for (unsigned i = 6; i < 40; ++i) EXPECT_STREQ(ListRecordField(rec.r, i), "") << "field " << i;
  EXPECT_EQ(RecordBytes(rec.r, 6), strlen("sub\\A.REQ") + 1 + 6 + 1 + 6 + 20 + 7 + 1);
}

TEST(ListRecords, ALongTextIsShortenedToKeepTheRecordInItsBuffer) {
  // A euro sign (three bytes) per character: the cut must fall between characters.
  std::string euros;
  for (int i = 0; i < 3000; ++i) euros += "\xE2\x82\xAC";
  for (size_t head = 0; head < 4; ++head) {
    ListRecordBuilder b;
    BeginListRecord(&b);
    AddListField(&b, std::string(100 + head, 'p').c_str());
    AddListField(&b, "name");
    AddListField(&b, euros.c_str(), true);
    Record rec(FinishListRecord(&b));
    ASSERT_NE(rec.r, nullptr);
    size_t bytes = RecordBytes(rec.r, 3);
    EXPECT_LE(bytes, kListRecordBuffer) << "head " << head;
    EXPECT_GT(bytes + 3, kListRecordBuffer) << "head " << head;
    std::string text = ListRecordField(rec.r, 2);
    EXPECT_EQ(text.size() % 3, 0u) << "head " << head;
    EXPECT_EQ(text, euros.substr(0, text.size())) << "head " << head;
  }
  // Plain text is cut to the byte, and later fields still find room for nothing.
  ListRecordBuilder b;
  BeginListRecord(&b);
  AddListField(&b, std::string(9000, 'x').c_str());
  AddListField(&b, "after");
  Record rec(FinishListRecord(&b));
  EXPECT_EQ(strlen(ListRecordField(rec.r, 0)), kListRecordBuffer - 2);
  EXPECT_STREQ(ListRecordField(rec.r, 1), "");
}

TEST(ListRecords, StatusTexts) {
  struct {
    long count;
    const char* error;
    const char* status;
  } cases[] = {
      {0, "ignored", "Queued"},
      {3, "Modem timeout", "Retry -  3 attempt(s) - Modem timeout"},
      {3, "", "Retry -  3 attempt(s)"},
      {12, nullptr, "Retry - 12 attempt(s)"},
      {123, "x", "Retry - 123 attempt(s) - x"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char out[300];
    QueueStatusText(cases[i].count, cases[i].error, out, sizeof out);
    EXPECT_STREQ(out, cases[i].status) << "case " << i;
  }
}
