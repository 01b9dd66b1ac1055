#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/profilesection.h"

namespace {

// Entries joined as the section read returns them.
std::string Section(const std::vector<std::string>& entries) {
  std::string s;
  for (const std::string& e : entries) s += e + '\0';
  return s + '\0';
}

TEST(ProfileSection, ValueAsAKeyByKeyReadSeesIt) {
  std::string s = Section({"WebPort=8800", " Spaced =  two words  ", "Quoted=\"a b\"", "Single='x'", "Half=\"open",
                           "webport=9999", "Bare", "Empty="});
  struct Case {
    const char* key;
    bool found;
    const char* value;
  } cases[] = {{"WEBPORT", true, "8800"}, {"Spaced", true, "two words"}, {"Quoted", true, "a b"},
               {"Single", true, "x"},     {"Half", true, "\"open"},        {"Bare", true, ""},
               {"Empty", true, ""},       {"Missing", false, ""}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::string value;
    EXPECT_EQ(SectionValue(s.data(), s.size(), cases[i].key, &value), cases[i].found) << "case " << i;
    EXPECT_EQ(value, cases[i].value) << "case " << i;
  }
}

TEST(ProfileSection, ModemKeysAreProbedWithGapsUpTo201AndBeyondWhileTheyGoOn) {
  std::vector<std::string> entries = {"Modem3=Third", "Modem1=COM3:", "modem1=Second of 1", "Modem2=",
                                      "Modem05=leading zero", "Modem201=Last", "Modem202=Beyond",
                                      "Modem204=After a gap", "ModemX=x", "Modem=none"};
  std::string s = Section(entries);
  EXPECT_EQ(ConfiguredModemNames(s.data(), s.size()),
            (std::vector<std::string>{"COM3:", "Third", "Last", "Beyond"}));
  s = Section({"Modem150=" + std::string(1500, 'm'), "Modem300=unreached"});
  std::vector<std::string> names = ConfiguredModemNames(s.data(), s.size());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), 1023u);
  EXPECT_TRUE(ConfiguredModemNames(nullptr, 0).empty());
  // A buffer cut without its final NUL still ends at its size.
  std::string cut = "Modem1=abc";
  EXPECT_EQ(ConfiguredModemNames(cut.data(), cut.size()), (std::vector<std::string>{"abc"}));
}

}  // namespace
