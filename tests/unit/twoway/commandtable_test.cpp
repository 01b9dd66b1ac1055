#include "core/commandtable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

TEST(RepairCommandEntry, BlanksBecomeTabsUntilThereAreTwo) {
  struct Case {
    const char* stored;
    const char* repaired;
  } cases[] = {
      {"WX http://weather.example/q?c=@@SMS@@ Yes", "WX\thttp://weather.example/q?c=@@SMS@@\tYes"},
      {"RUN\tc:\\tools\\run.exe -a @@SMS@@ No", "RUN\tc:\\tools\\run.exe -a @@SMS@@\tNo"},
      {"A\tB\tC D", "A\tB\tC D"},        // two tabs: left alone
      {"A\tB\tC\tD", "A\tB\tC\tD"},      // more than two: left alone
      {"no-blanks-at-all", "no-blanks-at-all"},
      {"one blank", "one\tblank"},       // only one blank to turn
      {"a b c d", "a b\tc\td"},          // the last blanks, not the first
      {"", ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char entry[kCommandEntrySize];
    strcpy(entry, cases[i].stored);
    RepairCommandEntry(entry);
    EXPECT_STREQ(entry, cases[i].repaired) << "case " << i;
  }
}

TEST(RepairCommandEntry, EntryOfFullLengthWithoutTabs) {
  char entry[kCommandEntrySize];
  memset(entry, 'x', sizeof entry - 1);
  entry[sizeof entry - 1] = '\0';
  entry[10] = ' ';
  entry[500] = ' ';
  entry[1000] = ' ';
  RepairCommandEntry(entry);
  EXPECT_EQ(entry[10], ' ');
  EXPECT_EQ(entry[500], '\t');
  EXPECT_EQ(entry[1000], '\t');
  EXPECT_EQ(strlen(entry), sizeof entry - 1);
}

TEST(CommandField, SplitsAtTabs) {
  const char* entry = "WX\thttp://h/\tYes";
  EXPECT_EQ(CommandField(entry, 0), "WX");
  EXPECT_EQ(CommandField(entry, 1), "http://h/");
  EXPECT_EQ(CommandField(entry, 2), "Yes");
  EXPECT_EQ(CommandField("only", 1), "");
  EXPECT_EQ(CommandField("a\tb", 2), "");
}

TEST(CommandPrefix, EmptyIsStarAndLongIsCut) {
  char prefix[kCommandPrefixSize];
  CommandPrefix("\thttp://x/\tNo", prefix);
  EXPECT_STREQ(prefix, "*");
  CommandPrefix("Info\tcmd\tNo", prefix);
  EXPECT_STREQ(prefix, "Info");
  std::string longPrefix(150, 'p');
  CommandPrefix((longPrefix + "\tcmd\tNo").c_str(), prefix);
  EXPECT_EQ(std::string(prefix), std::string(99, 'p'));
  CommandPrefix("no tab at all", prefix);
  EXPECT_STREQ(prefix, "no tab at all");
}

namespace {
std::set<std::string>* g_files;
// Windows file names: case does not matter.
bool InFiles(const char* path) {
  for (const std::string& f : *g_files)
    if (CompareNoCase(f.c_str(), path) == 0) return true;
  return false;
}
}  // namespace

TEST(CheckCommand, ChecksInOrder) {
  std::set<std::string> files = {"notepad.exe", "C:\\Program Files\\Tool\\tool.exe", "run.bat", "c:\\bin\\x"};
  g_files = &files;
  struct Case {
    const char* command;
    bool response;
    CommandProblem problem;
    const char* program;  // as tried last
  } cases[] = {
      {"", true, CommandProblem::Empty, ""},
      {"MAILTO:me@example.com", true, CommandProblem::MailTo, ""},
      {"mailto:@@SMS@@", false, CommandProblem::MailTo, ""},  // mailto comes before the replacement strings
      {"notepad", false, CommandProblem::NoReplacementString, ""},
      {"http://host/", false, CommandProblem::NoReplacementString, ""},
      {"notepad @@SMS@@", false, CommandProblem::None, "notepad.EXE"},
      {"notepad @@sender@@", false, CommandProblem::None, "notepad.EXE"},
      {"notepad", true, CommandProblem::None, "notepad.EXE"},
      {"wordpad @@FullSms@@", false, CommandProblem::ProgramMissing, "wordpad.EXE"},
      {"HTTPS://nowhere/@@SMS@@", false, CommandProblem::None, ""},
      {"Http://nowhere/", true, CommandProblem::None, ""},
      {"\"C:\\Program Files\\Tool\\tool.exe\" @@SMS@@", false, CommandProblem::None,
       "C:\\Program Files\\Tool\\tool.exe"},
      {"\"C:\\Program Files\\Tool\\tool\" -x", true, CommandProblem::None, "C:\\Program Files\\Tool\\tool.EXE"},
      {"\"run.bat @@SMS@@", false, CommandProblem::None, "run.bat"},  // lone quote dropped
      {"\"run.exe @@SMS@@", false, CommandProblem::ProgramMissing, "run.exe"},  // has a dot: no .EXE
      {"c:\\bin.d\\x @@SMS@@", false, CommandProblem::ProgramMissing, "c:\\bin.d\\x.EXE"},  // dot only in the folder
      {"c:\\bin\\x @@SMS@@", false, CommandProblem::None, "c:\\bin\\x"},
      {"\"\" @@SMS@@", false, CommandProblem::ProgramMissing, ".EXE"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char program[kCommandProgramSize];
    EXPECT_EQ(CheckCommand(cases[i].command, cases[i].response, InFiles, program, sizeof program), cases[i].problem)
        << "case " << i << " " << cases[i].command;
    if (cases[i].problem == CommandProblem::ProgramMissing || cases[i].problem == CommandProblem::None) {
      EXPECT_STREQ(program, cases[i].program) << "case " << i;
    }
  }
}

TEST(BuildCommandEntry, FieldsAndLimits) {
  char entry[kCommandEntrySize];
  BuildCommandEntry("", "http://h/?t=@@SMS@@", true, entry, sizeof entry);
  EXPECT_STREQ(entry, "*\thttp://h/?t=@@SMS@@\tYes");
  BuildCommandEntry("Info", "notepad @@SMS@@", false, entry, sizeof entry);
  EXPECT_STREQ(entry, "Info\tnotepad @@SMS@@\tNo");
  // A command of 1023 characters still leaves both tabs and the flag.
  std::string command(1023, 'c');
  BuildCommandEntry("P", command.c_str(), true, entry, sizeof entry);
  EXPECT_EQ(strlen(entry), sizeof entry - 1);
  EXPECT_EQ(CommandField(entry, 0), "P");
  EXPECT_EQ(CommandField(entry, 2), "Yes");
  std::string prefix(2000, 'p');
  BuildCommandEntry(prefix.c_str(), "cmd", false, entry, sizeof entry);
  EXPECT_EQ(strlen(entry), sizeof entry - 1);
  EXPECT_EQ(CommandField(entry, 2), "No");
}
