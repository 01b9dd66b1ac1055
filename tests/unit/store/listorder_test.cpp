// How the message lists order, find and show their rows, and the lock they
// take around them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/listorder.h"
#include "core/reentrantlock.h"
#include "core/textrules.h"

namespace {

int NoCase(const char* a, const char* b) { return CompareNoCase(a, b); }

// Rows built from fields; released at the end.
struct Rows {
  std::vector<ListRecord*> r;
  explicit Rows(const std::vector<std::vector<const char*>>& rows) {
    for (const auto& fields : rows) {
      ListRecordBuilder b;
      BeginListRecord(&b);
      for (const char* f : fields) AddListField(&b, f);
      r.push_back(FinishListRecord(&b));
    }
  }
  ~Rows() {
    for (ListRecord* x : r) FreeListRecord(x);
  }
  std::string Column(unsigned field) const {
    std::string out;
    for (ListRecord* x : r) out += std::string(ListRecordField(x, field)) + "|";
    return out;
  }
};

}  // namespace

TEST(ListOrder, ColumnClicksCycleAscendingDescendingAscending) {
  struct {
    int key;
    unsigned column;
    int next;
  } cases[] = {{4, 2, 3}, {3, 2, -3}, {-3, 2, 3}, {3, 4, 5}, {-4, 3, 4}, {0, 0, 1}, {-6, 5, 6}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(NextSortKey(cases[i].key, cases[i].column), cases[i].next) << "case " << i;
}

TEST(ListOrder, SortsByTheKeysFieldInEitherDirectionWithoutCase) {
  Rows rows({{"a.req", "A", "bob", "+3", "2012-02-16 10:00:00", "Retry -  3 attempt(s)"},
             {"b.req", "B", "Alice", "+1", "2012-02-16 09:00:00", "Queued"},
             {"c.req", "C", "carol", "+2", "2012-02-15 23:59:59", "Retry - 12 attempt(s)"},
             {"d.req", "D", "", "+0", "2012-02-16 09:30:00", "queued"}});
  unsigned n = unsigned(rows.r.size());
  SortListRecords(rows.r.data(), n, 2, NoCase);
  EXPECT_EQ(rows.Column(2), "|Alice|bob|carol|");
  SortListRecords(rows.r.data(), n, -2, NoCase);
  EXPECT_EQ(rows.Column(2), "carol|bob|Alice||");
  SortListRecords(rows.r.data(), n, 4, NoCase);  // the fixed-width time sorts in time order
  EXPECT_EQ(rows.Column(0), "c.req|b.req|d.req|a.req|");
  SortListRecords(rows.r.data(), n, -4, NoCase);
  EXPECT_EQ(rows.Column(0), "a.req|d.req|b.req|c.req|");
  SortListRecords(rows.r.data(), n, 5, NoCase);  // "%2u" keeps 3 before 12
  EXPECT_EQ(rows.Column(0).substr(12), "a.req|c.req|");
  std::string before = rows.Column(0);
  SortListRecords(rows.r.data(), n, 0, NoCase);  // no key: the order stays
  EXPECT_EQ(rows.Column(0), before);
  SortListRecords(rows.r.data(), n, 7, NoCase);  // a field the rows lack: all equal, nothing lost
  EXPECT_EQ(rows.Column(1).size(), std::string("A|B|C|D|").size());
}

TEST(ListOrder, FindsTheRememberedPathWithoutCase) {
  Rows rows({{"a.req", "a"}, {"COM1-\\B.REQ", "B"}, {"c.req", "c"}});
  struct {
    const char* path;
    int row;
  } cases[] = {{"com1-\\b.req", 1}, {"c.req", 2}, {"a.req", 0}, {"b.req", -1}, {"", -1}, {"c.re", -1}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(FindListRecordByPath(rows.r.data(), 3, cases[i].path, NoCase), cases[i].row) << "case " << i;
  EXPECT_EQ(FindListRecordByPath(rows.r.data(), 2, "c.req", NoCase), -1);  // beyond the listed count
  EXPECT_EQ(FindListRecordByPath(nullptr, 0, "a.req", NoCase), -1);
  // A long relative path is found whole, not by its first 249 characters.
  std::string longer = std::string(249, 'x') + "\\1.REQ", other = std::string(249, 'x') + "\\2.REQ";
  Rows deep({{other.c_str()}, {longer.c_str()}});
  EXPECT_EQ(FindListRecordByPath(deep.r.data(), 2, longer.c_str(), NoCase), 1);
}

TEST(ListOrder, CellsHoldAtMost499BytesAndWholeUtf8Characters) {
  std::string ascii(600, 'a');
  std::string cyrillic;
  for (int i = 0; i < 300; ++i) cyrillic += "\xD0\x96";  // two bytes each
  Rows rows({{"p", "n", ascii.c_str(), cyrillic.c_str(), "short"}});
  char cell[kListCellBuffer];
  ListCellText(rows.r[0], 2, false, cell);
  EXPECT_EQ(std::string(cell), std::string(499, 'a'));
  ListCellText(rows.r[0], 3, true, cell);
  EXPECT_EQ(strlen(cell), 498u);  // 249 whole characters
  ListCellText(rows.r[0], 3, false, cell);
  EXPECT_EQ(strlen(cell), 499u);  // ANSI text is cut by bytes
  ListCellText(rows.r[0], 4, true, cell);
  EXPECT_STREQ(cell, "short");
  ListCellText(rows.r[0], 9, false, cell);
  EXPECT_STREQ(cell, "");
  ListCellText(nullptr, 1, false, cell);
  EXPECT_STREQ(cell, "");
}

TEST(ListOrder, Utf8CellsBecomeUtf16WithSurrogatesTakenBack) {
  struct {
    const char* utf8;
    std::u16string utf16;
  } cases[] = {
      {"abc", u"abc"},
      {"\xD0\x9F\xD1\x80", u"\u041F\u0440"},                  // Cyrillic
      {"\xE4\xBD\xA0\xE5\xA5\xBD", u"\u4F60\u597D"},          // Chinese
      {"\xF0\x9F\x98\x80", u"\U0001F600"},                      // four bytes
      {"\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"},              // the pair written unit by unit
      {"a\xFF" "b", u"a\uFFFDb"},                                 // not UTF-8
      {"\xC3", u"\uFFFD"},                                        // cut short
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},                  // overlong
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},        // beyond U+10FFFF
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    uint16_t out[16];
    Utf8CellToUtf16(cases[i].utf8, out, 16);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)), cases[i].utf16) << "case " << i;
  }
  uint16_t small[3];
  Utf8CellToUtf16("\xF0\x9F\x98\x80\xF0\x9F\x98\x80", small, 3);  // a pair is never split
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(small)), u"\U0001F600");
  std::string full(499, 'x');
  uint16_t wide[kListCellBuffer];
  Utf8CellToUtf16(full.c_str(), wide, kListCellBuffer);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide)).size(), 499u);
}

TEST(ListOrder, HeaderLineCountsMessages) {
  struct {
    const char* prefix;
    const char* zero;
    unsigned total;
    const char* text;
  } cases[] = {{"Outbound SMS Message Queue:  ", "Empty", 0, "Outbound SMS Message Queue:  Empty"},
               {"Received SMS Messages:  ", "None", 0, "Received SMS Messages:  None"},
               {"Received SMS Messages:  ", "None", 1, "Received SMS Messages:  1 message"},
               {"Outbound MMS Message Queue:  ", "Empty", 2, "Outbound MMS Message Queue:  2 messages"},
               {"Received MMS Messages:  ", "None", 6000, "Received MMS Messages:  6000 messages"}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char text[200];
    ListHeaderText(cases[i].prefix, cases[i].zero, cases[i].total, text, sizeof text);
    EXPECT_STREQ(text, cases[i].text) << "case " << i;
  }
}

TEST(ReentrantLockTest, TheHolderTakesItAgainAndOthersWaitForTheLastRelease) {
  ReentrantLock lock;
  EXPECT_EQ(lock.Depth(), 0u);
  lock.Lock();
  {
    LockHold nested(&lock);  // as a nested message loop takes it
    EXPECT_EQ(lock.Depth(), 2u);
  }
  EXPECT_EQ(lock.Depth(), 1u);

  // Another thread gets it only once the holder has released it as often as
  // it took it.
  std::atomic<bool> trying{false}, released{false}, sawReleased{false};
  std::thread other([&] {
    EXPECT_EQ(lock.Depth(), 0u);  // held, but not by this thread
    lock.Unlock();                // a release by a non-holder changes nothing
    trying = true;
    LockHold hold(&lock);
    sawReleased = released.load();
  });
  while (!trying) std::this_thread::yield();
  lock.Lock();
  lock.Unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it reach the lock
  released = true;
  lock.Unlock();
  other.join();
  EXPECT_TRUE(sawReleased);
  EXPECT_EQ(lock.Depth(), 0u);
  LockHold none(nullptr);  // a lock not made yet holds nothing
}
