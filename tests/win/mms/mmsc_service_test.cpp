// The installed service ZarqMMSC sends a queued test MMS to the practice
// operator MMSC and logs the verdict the Test Message page reads, while its
// MM7 port keeps listening.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "loopback.h"
#include "mmscdriver.h"
#include "service/services.h"
#include "servicetest.h"

TEST(MmscService, QueuedTestMessageIsSentAndLogged) {
  StartWinsock();
  MmscSim operatorMmsc;
  ASSERT_TRUE(operatorMmsc.Started()) << operatorMmsc.Error();
  GatewayFixtureDir data("mmssvc");
  const ScratchDir& d = data.Dir();
  unsigned mm7Port = 0;
  closesocket(BindLoopback(&mm7Port, false));
  WritePrivateProfileStringA("MMSC", "WebPort", std::to_string(mm7Port).c_str(), data.Ini("MMSC.INI").c_str());
  CreateDirectoryA((d / "VASPOUT").c_str(), nullptr);
  CreateDirectoryA((d / "VASPOUT\\zarqlocal").c_str(), nullptr);
  std::string vasp = d / "VASPOUT\\zarqlocal\\VASP.INI";
  WritePrivateProfileStringA("VASP", "Protocol", "MM1", vasp.c_str());
  WritePrivateProfileStringA("VASP", "Server", operatorMmsc.Url().c_str(), vasp.c_str());
  CreateDirectoryA((d / "VASPQ").c_str(), nullptr);
  WriteFileText(d / "VASPQ\\TEST4242.INI", "[Recipients]\r\nRecip1=+15550100200/TYPE=VASP:zarqlocal\r\n");
  ASSERT_TRUE(CopyFileA((BinDirectory() + "MMSTEST.MMS").c_str(), (d / "VASPQ\\TEST4242.MMS").c_str(), FALSE));

  ASSERT_TRUE(InstallServices(true));
  ASSERT_TRUE(WaitForState("ZarqMMSC", SERVICE_RUNNING, 15000));
  DWORD start = GetTickCount();
  while (PathExists(d / "VASPQ\\TEST4242.MMS") && GetTickCount() - start < 60000) Sleep(200);
  ASSERT_FALSE(PathExists(d / "VASPQ\\TEST4242.MMS")) << "the service did not take the message";

  SYSTEMTIME t;
  GetLocalTime(&t);
  char name[32];
  snprintf(name, sizeof name, "MMSC-%04u%02u%02u.LOG", t.wYear, t.wMonth, t.wDay);
  std::string line = ReadFileText(d / name);
  // 6th field "OK", 7th the message's file name.
  size_t field = 0;
  std::string fields[8];
  for (char c : line.substr(0, line.find('\r'))) {
    if (c == ',' && field < 7) ++field;
    else fields[field] += c;
  }
  EXPECT_EQ(fields[5], "OK") << line;
  EXPECT_EQ(fields[6], "TEST4242.MMS") << line;
  EXPECT_EQ(operatorMmsc.EventsWith("\"send-req\"").size(), 1u);

  // The MM7 port listens as before.
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(u_short(mm7Port));
  EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  closesocket(s);
}
