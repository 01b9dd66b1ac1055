// A test of the real program: a fresh data directory that the started program
// inherits through the environment, the program itself, and the common moves
// of opening and closing its sheets.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "testenv.h"
#include "uiauto.h"

// Pages of the configuration sheet and the wizard, in their order.
enum SheetPage { kStatusPage, kModemPage, kServerPage, kUsersPage, kTwoWayPage, kTestMessagePage, kDebugLogPage };
enum WizardPage { kSelectModemStep, kModemSettingsStep, kServerSettingsStep, kCompleteStep, kTestMessageStep };

constexpr char kProductTitle[] = "Zarq SMS/MMS Gateway Lite Edition (v2012.02.16)";
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kBoxTimeoutMs = 15000;

// A setting as the file on disk holds it ("<absent>" when the key is not
// there), read without the profile functions' cache.
std::string IniValue(const std::string& file, const std::string& section, const std::string& key);
constexpr char kAbsent[] = "<absent>";

// Presses Cancel on `sheet`, answers No to whatever `app` asks until it ends
// (up to kBoxTimeoutMs) and returns its exit code (STILL_ACTIVE when it runs on).
DWORD CancelAnsweringNo(ui::Program& app, HWND sheet);

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Starts the program with a modem configured, so that the configuration
  // sheet opens; null when it does not show.
  HWND OpenConfigurationSheet(const std::string& arguments = "");
  // Expects the message box the program shows next and returns it.
  ui::MessageBoxInfo ExpectBox(const std::string& text);
  // After the configuration sheet has closed: answers the offer to start the
  // services with No (it is not made while another test has both services
  // running) and expects the program to end with exit code 0.
  void DeclineServiceOfferAndExpectExit();
  // Presses Cancel on a sheet without unsaved edits and sees the program end.
  void CancelAndExpectExit(HWND sheet);

  std::string SmsgwIni() const { return dir_ / "SMSGW.INI"; }
  std::string MmscIni() const { return dir_ / "MMSC.INI"; }
  std::string MmswapIni() const { return dir_ / "MMSWAP.INI"; }

  ScratchDir dir_{"ui"};
  ui::Program app_;
};
