#include "recordstore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kSize = 522, kKey = 51;

std::vector<uint8_t> Rec(const char* name, uint8_t tag = 0) {
  std::vector<uint8_t> r(kSize, 0);
  std::strncpy(reinterpret_cast<char*>(r.data()), name, kKey - 1);
  r[300] = tag;
  return r;
}

std::string NameAt(const RecordStore& s, size_t i) { return reinterpret_cast<const char*>(s.At(i)); }

}  // namespace

TEST(RecordStore, NamesUniqueWithoutRegardToCaseInOneOrder) {
  RecordStore s(kSize, kKey);
  ASSERT_TRUE(s.Put(Rec("bob", 1).data()));
  ASSERT_TRUE(s.Put(Rec("Alice", 2).data()));
  ASSERT_TRUE(s.Put(Rec("carol", 3).data()));
  ASSERT_TRUE(s.Put(Rec("BOB", 4).data()));  // replaces bob
  ASSERT_EQ(s.Count(), 3u);
  EXPECT_EQ(NameAt(s, 0), "Alice");
  EXPECT_EQ(NameAt(s, 1), "BOB");
  EXPECT_EQ(s.At(1)[300], 4);
  EXPECT_EQ(s.Find("bOb"), 1);
  EXPECT_EQ(s.Find("dave"), -1);
  EXPECT_EQ(s.At(3), nullptr);
}

TEST(RecordStore, FindFirstByPrefixUsesTheSameOrder) {
  RecordStore s(kSize, kKey);
  for (const char* n : {"zed", "ann", "andy", "Andrea", "bert"}) s.Put(Rec(n).data());
  long i = s.FindFirstWithPrefix("AN");
  ASSERT_GE(i, 0);
  EXPECT_EQ(NameAt(s, size_t(i)), "Andrea");
  EXPECT_EQ(s.FindFirstWithPrefix("andy"), s.Find("andy"));
  EXPECT_EQ(s.FindFirstWithPrefix("c"), -1);
  EXPECT_EQ(s.FindFirstWithPrefix("zedd"), -1);
  EXPECT_EQ(s.FindFirstWithPrefix(""), 0);
}

TEST(RecordStore, RejectsKeysThatAreEmptyOrUnterminated) {
  RecordStore s(kSize, kKey);
  std::vector<uint8_t> empty(kSize, 0);
  EXPECT_FALSE(s.Put(empty.data()));
  std::vector<uint8_t> longName(kSize, 'x');
  EXPECT_FALSE(s.Put(longName.data()));
  EXPECT_EQ(s.Count(), 0u);
}

TEST(RecordStore, RemoveAndRoundTrip) {
  RecordStore s(kSize, kKey);
  for (const char* n : {"a", "b", "c"}) s.Put(Rec(n, uint8_t(n[0])).data());
  EXPECT_TRUE(s.Remove("B"));
  EXPECT_FALSE(s.Remove("b"));
  auto image = s.Serialize(42);
  EXPECT_EQ(RecordStore::GenerationOf(image.data(), image.size()), 42u);
  RecordStore t(kSize, kKey);
  t.Load(image.data(), image.size());
  ASSERT_EQ(t.Count(), 2u);
  EXPECT_EQ(NameAt(t, 1), "c");
  EXPECT_EQ(t.At(1)[300], 'c');
}

TEST(RecordStore, DamagedImagesGiveWhatCanBeRead) {
  RecordStore s(kSize, kKey);
  for (const char* n : {"a", "b", "c"}) s.Put(Rec(n).data());
  auto image = s.Serialize(7);

  RecordStore t(kSize, kKey);
  t.Load(image.data(), image.size() - 1);  // truncated inside the last record
  EXPECT_EQ(t.Count(), 2u);
  t.Load(image.data(), 10);  // inside the header
  EXPECT_EQ(t.Count(), 0u);

  auto bad = image;
  bad[0] = 'X';  // not our file
  t.Load(bad.data(), bad.size());
  EXPECT_EQ(t.Count(), 0u);

  RecordStore other(511, kKey);  // a store of another record size
  other.Load(image.data(), image.size());
  EXPECT_EQ(other.Count(), 0u);

  auto dup = image;  // the second record renamed to the first, in another case
  dup[RecordStore::kHeaderSize + kSize] = 'A';
  t.Load(dup.data(), dup.size());
  EXPECT_EQ(t.Count(), 2u);

  auto huge = image;  // a count far beyond the data
  huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
  t.Load(huge.data(), huge.size());
  EXPECT_EQ(t.Count(), 3u);
}

TEST(RecordStore, LoadTellsWhetherTheImageWasReadWhole) {
  RecordStore s(kSize, kKey);
  for (const char* n : {"a", "b"}) s.Put(Rec(n).data());
  auto image = s.Serialize(3);
  RecordStore t(kSize, kKey);
  EXPECT_TRUE(t.Load(image.data(), image.size()));
  EXPECT_TRUE(t.Load(nullptr, 0));  // an empty file holds nothing to lose
  auto longer = image;
  longer.push_back(0);
  const struct {
    const uint8_t* data;
    size_t size;
  } damaged[] = {{image.data(), image.size() - 1}, {image.data(), 5}, {longer.data(), longer.size()}};
  for (size_t i = 0; i < 3; ++i) EXPECT_FALSE(t.Load(damaged[i].data, damaged[i].size)) << "case " << i;
  auto unnamed = image;
  unnamed[RecordStore::kHeaderSize] = 0;
  EXPECT_FALSE(t.Load(unnamed.data(), unnamed.size()));
  EXPECT_EQ(t.Count(), 1u);
}
