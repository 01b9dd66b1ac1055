// The account library as the shipped 32-bit build loads it: GSM text
// conversion and the user store through the 32-bit ZARQACCT.DLL, in a 32-bit
// process. Run by the 32-bit smoke suite (driver.cpp) beside the shipped DLL:
//   smoke32_acct.exe REPORTFILE
// Writes one line per failed check to REPORTFILE, then "checks: N passed,
// M failed"; the exit code is the number of failures. The data directory
// comes from the environment (ZARQ_PROGRAMDATA_DIR), as for every test.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "gateway/records.h"
#include "gateway/zarqacct.h"
#include "recordstore.h"

namespace {

std::string g_report;
int g_passed = 0, g_failed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    g_report += "FAILED: " + what + "\n";
  }
}

struct GsmCase {
  const char* udh;
  const char* data;
  const char* text;
};

// Packed septets, with and without a header's fill bits, and the escape
// table: what a received SMS carries.
const GsmCase kGsmCases[] = {
    {"", "C8329BFD06", "Hello"},
    {"050003CC0201", "906536FB0D", "Hello"},
    {"", "9B32", "\xE2\x82\xAC"},  // escape, then e: the euro sign
    {"", "", ""},
};

void CheckGsmText() {
  for (size_t i = 0; i < sizeof kGsmCases / sizeof kGsmCases[0]; ++i) {
    static char out[8192];
    char data[8192];
    strcpy(data, kGsmCases[i].data);
    GSM7ToUTF8String(kGsmCases[i].udh, data, out);
    Check(strcmp(out, kGsmCases[i].text) == 0,
          "GSM7ToUTF8String case " + std::to_string(i) + " gave \"" + out + "\"");
  }
}

void MakeUser(unsigned char* record, const char* name, const char* password) {
  memset(record, 0, UserRecord::kSize);
  strcpy(reinterpret_cast<char*>(record + UserRecord::kNameOffset), name);
  strcpy(reinterpret_cast<char*>(record + UserRecord::kPasswordOffset), password);
  record[UserRecord::kAdminOffset] = 1;
}

// Add, find without regard to case, replace, delete, and the file's 522-byte
// records behind its header on disk: the 32-bit build must share the store
// with the services and the 64-bit build.
void CheckUserStore() {
  SMSUSERFILE file = nullptr;
  Check(SMSOpenUserFile(&file, SMS_USERFILE_READWRITE) != 0, "SMSOpenUserFile for writing");
  if (!file) return;
  unsigned char record[UserRecord::kSize], found[UserRecord::kSize];
  MakeUser(record, "alice", "one");
  Check(SMSAddUser(file, record) != 0, "add alice");
  MakeUser(record, "bob", "two");
  Check(SMSAddUser(file, record) != 0, "add bob");
  MakeUser(record, "ALICE", "three");
  Check(SMSAddUser(file, record) != 0, "replace alice as ALICE");
  Check(SMSGetRecordCount(file) == 2, "two records after a replace, not " + std::to_string(SMSGetRecordCount(file)));
  Check(SMSFindUserRecord(file, "Alice", found) != 0 &&
            strcmp(reinterpret_cast<char*>(found + UserRecord::kPasswordOffset), "three") == 0 &&
            found[UserRecord::kAdminOffset] == 1,
        "find Alice with the replaced password");
  MakeUser(record, "bob", "");
  Check(SMSDeleteUser(file, record) != 0, "delete bob");
  Check(SMSFindUserRecord(file, "bob", found) == 0, "bob is gone");
  SMSCloseUserFile(file);

  char dir[MAX_PATH];
  GetProgramDataDirectory(dir);
  WIN32_FILE_ATTRIBUTE_DATA info;
  std::string store = std::string(dir) + "SMSUSERS.DAT";
  Check(GetFileAttributesExA(store.c_str(), GetFileExInfoStandard, &info) &&
            info.nFileSizeLow == RecordStore::kHeaderSize + UserRecord::kSize,
        "SMSUSERS.DAT holds its header and one 522-byte record, not " + std::to_string(info.nFileSizeLow) + " bytes");

  Check(SMSOpenUserFile(&file, SMS_USERFILE_READ) != 0, "SMSOpenUserFile for reading");
  if (!file) return;
  Check(SMSGetRecordCount(file) == 1 && SMSGetUserRecord(file, 0, found) != 0 &&
            strcmp(reinterpret_cast<char*>(found), "ALICE") == 0,
        "the store read back holds ALICE");
  SMSCloseUserFile(file);
}

}  // namespace

int main(int argc, char** argv) {
  Check(sizeof(void*) == 4, "a 32-bit process");
  CheckGsmText();
  CheckUserStore();
  g_report += "checks: " + std::to_string(g_passed) + " passed, " + std::to_string(g_failed) + " failed\n";
  fputs(g_report.c_str(), stdout);
  if (argc > 1) {
    FILE* f = fopen(argv[1], "w");
    if (f) {
      fputs(g_report.c_str(), f);
      fclose(f);
    }
  }
  return g_failed;
}
