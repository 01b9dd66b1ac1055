// The Status page reads [SMSGW] in one piece: the modems it finds there must
// be those that the key-by-key reads of the platform's profile functions find.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/profilesection.h"
#include "testenv.h"

namespace {

// Modem1..Modem201 always, past 201 while the key exists, one read per key.
std::vector<std::string> KeyByKey(const std::string& ini) {
  std::vector<std::string> names;
  for (unsigned i = 1;; ++i) {
    char key[32], value[1024];
    snprintf(key, sizeof key, "Modem%u", i);
    GetPrivateProfileStringA("SMSGW", key, "\x01", value, sizeof value, ini.c_str());
    if (i > 201 && value[0] == '\x01') break;
    if (value[0] && value[0] != '\x01') names.push_back(value);
  }
  return names;
}

std::vector<std::string> WholeSection(const std::string& ini) {
  std::vector<char> section(65536);
  GetPrivateProfileSectionA("SMSGW", section.data(), DWORD(section.size()), ini.c_str());
  return ConfiguredModemNames(section.data(), section.size());
}

TEST(SectionRead, FindsTheModemsThatKeyByKeyReadsFind) {
  ScratchDir dir("section");
  std::string ini = dir / "SMSGW.INI";
  std::string text =
      "[SMSGW]\r\nWebPort=8800\r\nModem3 = Zarq GSM Modem \r\nMODEM1=\"COM3:\"\r\nmodem1=second\r\nModem2=\r\n"
      "Modem4='quoted'\r\nModem5=\"half\r\nModem05=leading zero\r\n;Modem6=comment\r\nModem7\r\n"
      "Modem201=last\r\nModem202=beyond\r\nModem204=after a gap\r\n"
      "Modem8=" + std::string(1500, 'm') + "\r\n[COM3:]\r\nModem9=other section\r\n[SMSGW]\r\nModem10=second part\r\n";
  WriteFileText(ini, text);
  std::vector<std::string> want = KeyByKey(ini);
  EXPECT_EQ(WholeSection(ini), want);
  EXPECT_GE(want.size(), 6u);
}

}  // namespace
