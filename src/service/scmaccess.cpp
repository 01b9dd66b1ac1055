#include "service/scmaccess.h"

#include <cstdlib>

namespace {

constexpr DWORD kPassMs = 1000;

struct Seam {
  bool deny = false;
  DWORD passMs = kPassMs;
};

Seam& TheSeam() {
  static Seam seam = [] {
    Seam s;
    char value[16];
    DWORD n = GetEnvironmentVariableA("ZARQ_TEST_WITHOUT_ADMIN", value, sizeof value);
    if (n > 0 && n < sizeof value) s.deny = value[0] == '1';
    SetEnvironmentVariableA("ZARQ_TEST_WITHOUT_ADMIN", nullptr);
    n = GetEnvironmentVariableA("ZARQ_TEST_WAIT_PASS_MS", value, sizeof value);
    if (n > 0 && n < sizeof value) {
      unsigned long ms = strtoul(value, nullptr, 10);
      if (ms >= 1 && ms <= kPassMs) s.passMs = DWORD(ms);
    }
    return s;
  }();
  return seam;
}

}  // namespace

SC_HANDLE OpenServiceManager(DWORD access) {
  if (TheSeam().deny && access == SC_MANAGER_ALL_ACCESS) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return OpenSCManagerA(nullptr, nullptr, access);
}

SC_HANDLE OpenServiceNamed(SC_HANDLE manager, const char* name, DWORD access) {
  if (TheSeam().deny && access == SERVICE_ALL_ACCESS) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return OpenServiceA(manager, name, access);
}

void SleepOnePass() { Sleep(TheSeam().passMs); }

void DenyServiceChangeAccess(bool deny) { TheSeam().deny = deny; }
