// The gateway's user record (522 bytes) and the MM7/EAIF account record made
// from it (511 bytes), as the Users page reads and builds them, and the rule
// that keeps user names usable as directory and settings-key names.
// Pure code: no <windows.h>.
#pragma once
#include <cstddef>

#include "gateway/records.h"

// Web menu options the user dialog offers; stored as 176 + index.
constexpr unsigned char kWebMenuBase = 176;
constexpr int kWebMenuOptionCount = 2;
extern const char* const kWebMenuOptions[kWebMenuOptionCount];
constexpr unsigned char kAdminGranted = 'j';

// What the user dialog edits. Texts are terminated and never longer than the
// record's fields allow (50, 50, 100 and 49 characters).
struct UserFields {
  char name[UserRecord::kNameSize] = "";
  char password[UserRecord::kPasswordSize] = "";
  char fullName[UserRecord::kFullNameSize] = "";
  char ipAddresses[UserRecord::kIpAddressesSize] = "";
  bool webLogin = true;
  bool smppLogin = false;
  bool acceptReceived = false;
  bool admin = false;  // as stored; it counts only together with web login
  int webMenu = 0;     // list index; -1 when nothing is chosen
};

// The list index of a stored web menu code: 177 -> 1 ... 180 -> 4, any other -> 0.
int WebMenuIndex(unsigned char code);

// Reads a stored record. Fields that are not terminated within their width
// (a damaged store) are cut at their limit.
UserFields ReadUserRecord(const unsigned char* record);

// Builds the record afresh: every byte it does not set is zero. The admin
// byte is set only together with web login; an unselected menu stores 176.
void BuildUserRecord(const UserFields& fields, unsigned char* record);

// Sets name, password, full name, the flag bytes and the permitted addresses
// of an MM7/EAIF account record (an existing one, or zero-filled), keeping
// its other bytes.
void FillAccountRecord(const UserFields& fields, unsigned char* account);

// True when the name can stand as one directory name under "USERS\" and as a
// key of a settings file: not empty, no control characters, none of
// \ / : * ? " < > | = ; [ ], no blank at either end and no dot at the end
// ("." and ".." included). Windows drops trailing dots and blanks, so such a
// name would reach another user's directory.
bool IsUsableUserName(const char* name);
