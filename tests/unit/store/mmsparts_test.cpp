// The MMS view's parts: their entries, which program opens them, and which
// stored paths may be opened at all.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/mmsparts.h"

namespace {

std::string Entry(const char* path, const char* type) {
  MmsPartLocation part = {};
  strcpy(part.Path, path);
  strcpy(part.ContentType, type);
  char out[1000];
  MmsPartEntryText(part, out, sizeof out);
  return out;
}

}  // namespace

TEST(MmsParts, EntriesShowNameAndTypeAndCarryThePathAfterATab) {
  EXPECT_EQ(Entry("20120216\\msg1\\text.txt", "text/plain"), "text.txt (text/plain)\t20120216\\msg1\\text.txt");
  EXPECT_EQ(Entry("photo.jpg", ""), "photo.jpg\tphoto.jpg");
  EXPECT_STREQ(MmsPartEntryPath("a (b)\tdir\\a"), "dir\\a");
  EXPECT_EQ(MmsPartEntryPath("no tab"), nullptr);
}

TEST(MmsParts, NotepadForSmilAndForTextWithoutExtension) {
  struct {
    const char* path;
    const char* type;
    bool notepad;
  } cases[] = {
      {"m\\photo.jpg", "image/jpeg", false},   {"m\\pres.smil", "application/smil", true},
      {"m\\pres.smil", "APPLICATION/SMIL", true}, {"m\\body", "text/plain", true},
      {"m\\body", "Text/Plain", true},         {"m\\body", "image/gif", false},
      {"m\\body.txt", "text/plain", false},    {"m.1\\body", "text/plain", false},  // a dot anywhere counts
      {"m\\body", "", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::string entry = Entry(cases[i].path, cases[i].type);
    EXPECT_EQ(MmsPartOpensInNotepad(entry.c_str(), cases[i].path), cases[i].notepad) << "case " << i;
  }
}

TEST(MmsParts, OnlyPathsInsideTheStoreMayOpen) {
  struct {
    const char* path;
    bool inside;
  } cases[] = {
      {"msg1\\photo.jpg", true},  {"photo.jpg", true},          {".\\msg1\\a.txt", true},
      {"msg1\\..foo", true},      {"..\\SMSGW.INI", false},       {"msg1\\..\\..\\x", false},
      {"msg1/../../x", false},    {"msg1\\...\\x", false},        {"msg1\\.. \\x", false},
      {"..", false},              {"C:\\Windows\\win.ini", false}, {"\\\\server\\share\\x", false},
      {"\\Windows\\x", false},    {"/etc/passwd", false},         {"a.txt:stream", false},
      {"a\"b", false},            {"a\tb", false},                {"", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(IsContainedPartPath(cases[i].path), cases[i].inside) << "case " << i << " " << cases[i].path;
}

TEST(MmsParts, HeaderLinesShownWithCrLf) {
  char out[64];
  WithCrLfLineBreaks("a\r\nb\nc\rd\n\ne", out, sizeof out);
  EXPECT_STREQ(out, "a\r\nb\r\nc\r\nd\r\n\r\ne");
  WithCrLfLineBreaks("abc\n", out, 5);  // a break that does not fit is left out
  EXPECT_STREQ(out, "abc");
}
