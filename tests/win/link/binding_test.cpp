// The run-time binding of the link and TLS libraries: all required exports or
// nothing, optional exports apart, once per process. Each case runs the probe
// in a directory of its own holding the library under test.
#include <gtest/gtest.h>

#include <string>

#include "linkprobe.h"
#include "testenv.h"

namespace {

std::string BinDir() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  *strrchr(path, '\\') = '\0';
  return path;
}

// Exit code of the probe run from `dir`.
DWORD RunProbe(const std::string& dir) {
  std::string exe = dir + "linkprobe.exe";
  std::string line = "\"" + exe + "\"";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  // Started from the scratch directory so that nothing but its own copy can be found.
  if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) return 0xFFFF;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0xFFFF;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

}  // namespace

TEST(LinkBinding, AllRequiredExportsOrNothing) {
  const std::string bin = BinDir() + "\\";
  const std::string cases = bin + "linkcases\\";
  const struct {
    const char* link;  // the ZARQLINK.DLL put beside the probe, or none
    const char* tls;
    DWORD expected;
  } table[] = {
      {nullptr, nullptr, kSameOutcome},
      {"missing\\ZARQLINK.DLL", nullptr, kSameOutcome},  // freed again
      {"required\\ZARQLINK.DLL", nullptr, kLinkBound | kLinkModuleLoaded | kSameOutcome},
      {"", "", kLinkBound | kOptionalFound | kLinkModuleLoaded | kSameOutcome | kTlsBound | kTlsModuleLoaded},
  };
  for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i) {
    ScratchDir dir("linkbind");
    ASSERT_TRUE(CopyFileA((cases + "linkprobe.exe").c_str(), (dir / "linkprobe.exe").c_str(), FALSE)) << i;
    if (table[i].link) {
      std::string from = *table[i].link ? cases + table[i].link : bin + "ZARQLINK.DLL";
      ASSERT_TRUE(CopyFileA(from.c_str(), (dir / "ZARQLINK.DLL").c_str(), FALSE)) << i;
    }
    if (table[i].tls) {
      ASSERT_TRUE(CopyFileA((bin + "ZARQTLS.DLL").c_str(), (dir / "ZARQTLS.DLL").c_str(), FALSE)) << i;
    }
    EXPECT_EQ(RunProbe(dir.Path()), table[i].expected) << "case " << i;
  }
}
