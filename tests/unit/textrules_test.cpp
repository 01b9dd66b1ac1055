#include "core/textrules.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(IsYesValue, SpellingTable) {
  struct Case {
    const char* text;
    bool yes;
  } cases[] = {
      {"Yes", true}, {"yes", true}, {"Y", true},    {"y", true},      {"1", true},    {"10", true},
      {"TRUE", true}, {"true", true}, {"TrUe", true}, {"yellow", true}, {"", false},    {"No", false},
      {"0", false},  {"T", false},  {"on", false},  {"TRUE ", false}, {" Yes", false}, {"TRU", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(IsYesValue(cases[i].text), cases[i].yes) << "case " << i << " '" << cases[i].text << "'";
  EXPECT_FALSE(IsYesValue(nullptr));
}

TEST(FindCommandSwitch, MatchesAnywhereInAnyCase) {
  const char* line = "/install";
  EXPECT_EQ(FindCommandSwitch(line, "/I"), line);
  const char* quick = "x -Quick";
  EXPECT_EQ(FindCommandSwitch(quick, "-Q"), quick + 2);
  const char* path = "C:\\tools\\my-quiet\\file.txt";
  EXPECT_EQ(FindCommandSwitch(path, "-Q"), path + 11);
  EXPECT_EQ(FindCommandSwitch("-STOPSERVICE", "-STARTSERVICE"), nullptr);
  EXPECT_EQ(FindCommandSwitch("", "-Q"), nullptr);
  // The switch need not end at a blank, and a prefix of the switch is no match.
  EXPECT_NE(FindCommandSwitch("/restartserviceX", "/RESTARTSERVICE"), nullptr);
  EXPECT_EQ(FindCommandSwitch("/RESTARTSERV", "/RESTARTSERVICE"), nullptr);
  // "/R" is found inside "/RESTARTSERVICE": the table order, not this search, keeps restart apart.
  EXPECT_NE(FindCommandSwitch("/RESTARTSERVICE", "/R"), nullptr);
}

TEST(FindCommandSwitch, UsesTheCodePageTable) {
  // Windows-1252: é upper-cases to É.
  EXPECT_NE(FindCommandSwitch("-caf\xE9", "-CAF\xC9"), nullptr);
  UpperTable ascii;
  for (int i = 0; i < 256; ++i) ascii.map[i] = static_cast<unsigned char>(i >= 'a' && i <= 'z' ? i - 32 : i);
  EXPECT_EQ(FindCommandSwitch("-caf\xE9", "-CAF\xC9", &ascii), nullptr);
}

TEST(TextOps, SkipBlanksAndWhite) {
  EXPECT_STREQ(SkipBlanks("  \tx"), "\tx");
  EXPECT_STREQ(SkipWhite("  \t\r\n\x01x "), "x ");
  EXPECT_STREQ(SkipWhite("\xA0x"), "\xA0x");  // codes above 32 are text, even when signed char is negative
  char t[] = "abc \t\r\n\x01";
  TrimRight(t);
  EXPECT_STREQ(t, "abc");
  char e[] = " \t";
  TrimRight(e);
  EXPECT_STREQ(e, "");
  char hi[] = "x\xA0";
  TrimRight(hi);
  EXPECT_STREQ(hi, "x\xA0");
}

TEST(TextOps, SplitNameAndNumber) {
  char name[16];
  unsigned n = 77;
  SplitNameAndNumber("host.example:8080", name, sizeof name, &n);
  EXPECT_STREQ(name, "host.example");
  EXPECT_EQ(n, 8080u);
  n = 77;
  SplitNameAndNumber("plainhost", name, sizeof name, &n);
  EXPECT_STREQ(name, "plainhost");
  EXPECT_EQ(n, 77u);  // untouched without a colon
  SplitNameAndNumber("a:b", name, sizeof name, &n);
  EXPECT_EQ(n, 0u);
  // Longer than the buffer: cut, terminated, number still read.
  SplitNameAndNumber("averyveryverylonghostname:25", name, sizeof name, &n);
  EXPECT_EQ(std::strlen(name), sizeof name - 1);
  EXPECT_EQ(n, 25u);
}

TEST(TextOps, BoundedAppendEdges) {
  char b[8] = "abc";
  BoundedAppend(b, sizeof b, "de");  // fits
  EXPECT_STREQ(b, "abcde");
  BoundedAppend(b, sizeof b, "fg");  // exactly fills (7 chars + terminator)
  EXPECT_STREQ(b, "abcdefg");
  BoundedAppend(b, sizeof b, "h");  // already full
  EXPECT_STREQ(b, "abcdefg");
  char c[8] = "abcdef";
  BoundedAppend(c, sizeof c, "xyz");  // one short: cut
  EXPECT_STREQ(c, "abcdefx");
}

TEST(TextOps, DecimalValueReadsLikeTheCLibrary) {
  EXPECT_EQ(DecimalValue("25abc"), 25u);
  EXPECT_EQ(DecimalValue("  42"), 42u);
  EXPECT_EQ(DecimalValue("+7"), 7u);
  EXPECT_EQ(DecimalValue("abc"), 0u);
  EXPECT_EQ(DecimalValue(""), 0u);
  EXPECT_EQ(DecimalValue("-1"), 4294967295u);  // shown with %u
}

TEST(TextOps, CompareNoCase) {
  EXPECT_EQ(CompareNoCase("Admin", "ADMIN"), 0);
  EXPECT_LT(CompareNoCase("abc", "abd"), 0);
  EXPECT_LT(CompareNoCase("ab", "abc"), 0);
  EXPECT_TRUE(StartsWithNoCase("Operator", "oPe"));
  EXPECT_FALSE(StartsWithNoCase("Op", "ope"));
}
