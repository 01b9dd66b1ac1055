#include "core/commandtable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(CommandTable, RepairTurnsTheLastBlanksIntoTabs) {
  const char* cases[][2] = {
      {"WX http://weather.example/q?c=@@SMS@@ Yes", "WX\thttp://weather.example/q?c=@@SMS@@\tYes"},
      {"RUN\tc:\\tools\\run.exe -a @@SMS@@ No", "RUN\tc:\\tools\\run.exe -a @@SMS@@\tNo"},
      {"A\tB\tC D", "A\tB\tC D"}, {"a b c d", "a b\tc\td"}, {"one blank", "one\tblank"}, {"none", "none"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char entry[kCommandEntrySize];
    strcpy(entry, cases[i][0]);
    RepairCommandEntry(entry);
    EXPECT_STREQ(entry, cases[i][1]) << "case " << i;
  }
}

TEST(CommandTable, FieldsPrefixAndBuilding) {
  EXPECT_EQ(CommandField("WX\thttp://h/\tYes", 1), "http://h/");
  EXPECT_EQ(CommandField("a\tb", 2), "");
  char prefix[kCommandPrefixSize];
  CommandPrefix("\thttp://x/\tNo", prefix);
  EXPECT_STREQ(prefix, "*");
  CommandPrefix((std::string(150, 'p') + "\tc\tNo").c_str(), prefix);
  EXPECT_EQ(std::string(prefix), std::string(99, 'p'));

  char entry[kCommandEntrySize];
  BuildCommandEntry("", "http://h/?t=@@SMS@@", true, entry, sizeof entry);
  EXPECT_STREQ(entry, "*\thttp://h/?t=@@SMS@@\tYes");
  // Overlong texts are cut so that the response flag always survives.
  BuildCommandEntry(std::string(2000, 'p').c_str(), std::string(2000, 'c').c_str(), false, entry, sizeof entry);
  EXPECT_EQ(strlen(entry), sizeof entry - 1);
  EXPECT_STREQ(entry + sizeof entry - 4, "\tNo");
}

namespace {
// Files that exist, compared as Windows compares names.
bool Exists(const char* path) {
  for (const char* f : {"notepad.exe", "C:\\Program Files\\Tool\\tool.exe", "run.bat", "c:\\bin\\x"})
    if (CompareNoCase(f, path) == 0) return true;
  return false;
}
}  // namespace

TEST(CommandTable, ChecksInOrder) {
  using P = CommandProblem;
  struct Case {
    const char* command;
    bool response;
    P problem;
    const char* program;  // as tried last
  } cases[] = {
      {"", true, P::Empty, ""},
      {"mailto:@@SMS@@", false, P::MailTo, ""},  // before the replacement strings
      {"notepad", false, P::NoReplacementString, ""},
      {"http://host/", false, P::NoReplacementString, ""},
      {"notepad @@sender@@", false, P::None, "notepad.EXE"},
      {"notepad", true, P::None, "notepad.EXE"},
      {"wordpad @@FullSms@@", false, P::ProgramMissing, "wordpad.EXE"},
      {"HTTPS://nowhere/@@SMS@@", false, P::None, ""},
      {"\"C:\\Program Files\\Tool\\tool\" -x", true, P::None, "C:\\Program Files\\Tool\\tool.EXE"},
      {"\"run.bat @@SMS@@", false, P::None, "run.bat"},          // a lone quote is dropped
      {"\"run.exe @@SMS@@", false, P::ProgramMissing, "run.exe"},  // has a dot: no ".EXE"
      {"c:\\bin.d\\x @@SMS@@", false, P::ProgramMissing, "c:\\bin.d\\x.EXE"},  // the dot is the folder's
      {"c:\\bin\\x @@SMS@@", false, P::None, "c:\\bin\\x"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char program[kCommandProgramSize];
    EXPECT_EQ(CheckCommand(cases[i].command, cases[i].response, Exists, program, sizeof program), cases[i].problem)
        << "case " << i;
    EXPECT_STREQ(program, cases[i].program) << "case " << i;
  }
}
