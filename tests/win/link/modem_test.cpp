// The link library against installed Windows modems: the data-connection list,
// the driver's init strings, and GPRS dialling through the simulated modem.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gateway/linkbinding.h"
#include "loopback.h"
#include "modemregistry.h"
#include "modemsimdriver.h"

namespace {

const LinkLibrary& Link() {
  const LinkLibrary* link = BindLinkLibrary();
  if (!link) abort();
  return *link;
}

std::string ModemKey(const RegisteredModem& m) { return std::string(kModemClassKey) + "\\" + m.Key(); }

void SetInit(const RegisteredModem& m, const char* name, const char* value, const char* subkey = "Init") {
  HKEY key;
  std::string path = ModemKey(m) + (*subkey ? std::string("\\") + subkey : "");
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(strlen(value) + 1));
  RegCloseKey(key);
}

std::string GetInit(const RegisteredModem& m, const char* name) {
  char value[256] = "";
  DWORD size = sizeof value;
  RegGetValueA(HKEY_LOCAL_MACHINE, (ModemKey(m) + "\\Init").c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
  return value;
}


bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

}  // namespace

TEST(LinkModems, ConnectionListHasOneEntryPerModem) {
  RegisteredModem a({"Link List Modem A", "COM250"});
  RegisteredModem b({"Link List Modem B", "COM251"});
  ASSERT_FALSE(a.Key().empty());
  HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  HWND combo = CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, parent,
                             reinterpret_cast<HMENU>(129), nullptr, nullptr);
  HWND list = CreateWindowA("LISTBOX", "", WS_CHILD, 0, 0, 100, 100, parent, reinterpret_cast<HMENU>(130), nullptr,
                            nullptr);
  int added = Link().RasLoadListOrComboBox(parent, 129, CB_ADDSTRING);
  EXPECT_EQ(added, int(SendMessageA(combo, CB_GETCOUNT, 0, 0)));
  EXPECT_GE(SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("Modem: Link List Modem A")), 0);
  EXPECT_GE(SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("Modem: Link List Modem B")), 0);
  EXPECT_EQ(Link().RasLoadListOrComboBox(parent, 130, LB_ADDSTRING), added);
  EXPECT_GE(SendMessageA(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("Modem: Link List Modem B")), 0);
  EXPECT_EQ(Link().RasLoadListOrComboBox(parent, 131, CB_ADDSTRING), 0);  // no such control
  DestroyWindow(parent);

  char name[64];
  EXPECT_TRUE(Link().RasGetModemName("modem: Link List Modem A", name, sizeof name));
  EXPECT_STREQ(name, "Link List Modem A");
  char user[32] = "x", password[32] = "y";
  EXPECT_FALSE(Link().RasGetUserAndPassword("Modem: Link List Modem A", user, sizeof user, password, sizeof password));
  EXPECT_STREQ(user, "");
  EXPECT_FALSE(Link().RasGetUserAndPassword("No Such Dial-Up Entry", user, sizeof user, password, sizeof password));
  EXPECT_FALSE(Link().RasGetModemName("No Such Dial-Up Entry", name, sizeof name));
}

TEST(LinkModems, DriverInitStringsGainTheApnContextOnce) {
  RegisteredModem m({"Link Init Modem", "COM252"});
  ASSERT_FALSE(m.Key().empty());
  SetInit(m, "1", "AT&F<cr>");
  SetInit(m, "2", "AT+CGDCONT=1,\"IP\",\"internet\"<cr>");
  SetInit(m, "UserInit", "AT+CGDCONT=3,\"IP\",\"wap.example\"", "");
  const LinkLibrary& link = Link();
  ASSERT_NE(link.ModemGetCIDForAPN, nullptr);
  ASSERT_NE(link.ModemDriverUpdateInitStrings, nullptr);

  // Defined already (in Init or UserInit): the first call answers, nothing to update.
  EXPECT_EQ(link.ModemGetCIDForAPN("Link Init Modem", "INTERNET", 0), 1);
  EXPECT_EQ(link.ModemGetCIDForAPN("link init modem", "wap.example", 0), 3);
  EXPECT_EQ(link.ModemDriverUpdateInitStrings("Link Init Modem", "internet"), 0);

  // The three calls for a new APN, then the update, then the same calls settle.
  EXPECT_EQ(link.ModemGetCIDForAPN("Link Init Modem", "mms.example", 0), 0);
  EXPECT_EQ(link.ModemGetCIDForAPN("Link Init Modem", "mms.example", 1), 2);
  EXPECT_EQ(link.ModemGetCIDForAPN("Link Init Modem", "mms.example", 0), 0);
  EXPECT_NE(link.ModemDriverUpdateInitStrings("Link Init Modem", "mms.example"), 0);
  EXPECT_EQ(GetInit(m, "3"), "AT+CGDCONT=2,\"IP\",\"mms.example\"<cr>");
  EXPECT_EQ(GetInit(m, "1"), "AT&F<cr>");
  EXPECT_EQ(link.ModemGetCIDForAPN("Link Init Modem", "mms.example", 0), 2);
  EXPECT_EQ(link.ModemDriverUpdateInitStrings("Link Init Modem", "mms.example"), 0);

  // Nothing to change: unknown modems, APNs that cannot go into a command.
  EXPECT_EQ(link.ModemGetCIDForAPN("No Such Modem", "mms.example", 1), 0);
  EXPECT_EQ(link.ModemDriverUpdateInitStrings("No Such Modem", "mms.example"), 0);
  EXPECT_EQ(link.ModemGetCIDForAPN("Link Init Modem", "bad\"apn", 1), 0);
  EXPECT_EQ(link.ModemDriverUpdateInitStrings("Link Init Modem", "bad\"apn"), 0);
  EXPECT_EQ(link.ModemDriverUpdateInitStrings("Link Init Modem", ""), 0);
  EXPECT_EQ(GetInit(m, "4"), "");
}

TEST(LinkModems, DriverWithoutInitStringsGetsItsFirst) {
  RegisteredModem m({"Link Bare Modem", "COM253"});
  EXPECT_EQ(Link().ModemGetCIDForAPN("Link Bare Modem", "internet", 1), 1);
  EXPECT_NE(Link().ModemDriverUpdateInitStrings("Link Bare Modem", "internet"), 0);
  EXPECT_EQ(GetInit(m, "1"), "AT+CGDCONT=1,\"IP\",\"internet\"<cr>");
}

TEST(LinkDial, ModemCallUpGatewayAnswersThenHangUp) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem m({"Link Dial Modem", sim.Port()});
  LoopbackSocket gateway;
  const LinkLibrary& link = Link();
  EXPECT_EQ(link.WSPRasDial("Modem: Link Dial Modem", "internet", "", "", gateway.HttpAddress().c_str()), 0);
  std::vector<std::string> sent = sim.Commands();
  EXPECT_TRUE(Contains(sent, "AT+CGDCONT=1,\"IP\",\"internet\"\r"));
  EXPECT_TRUE(Contains(sent, "AT+CGATT=1\r"));
  EXPECT_TRUE(Contains(sent, "ATD*99***1#\r"));
  EXPECT_FALSE(Contains(sent, "ATH\r"));  // the link stays up for the caller

  sim.ClearLog();
  EXPECT_EQ(link.WSPRasHangUp("MODEM: link dial modem"), 1);
  EXPECT_TRUE(Contains(sim.Commands(), "ATH\r"));
  EXPECT_EQ(link.WSPRasHangUp("Modem: Link Dial Modem"), 0);  // nothing left to close

  // A host name is resolved and its addresses knocked on at the given port.
  std::string named = "http://localhost:" + std::to_string(gateway.Port());
  EXPECT_EQ(link.WSPRasDial("Modem: Link Dial Modem", "internet", "", "", named.c_str()), 0);
  EXPECT_EQ(link.WSPRasHangUp("Modem: Link Dial Modem"), 1);

  // A modem chosen by its port has no driver entry: it is dialled on that port.
  std::string byPort = "Modem: " + sim.Port() + ":";
  sim.ClearLog();
  EXPECT_EQ(link.WSPRasDial(byPort.c_str(), "internet", "", "", gateway.HttpAddress().c_str()), 0);
  EXPECT_TRUE(Contains(sim.Commands(), "ATD*99***1#\r"));
  EXPECT_EQ(link.WSPRasHangUp(byPort.c_str()), 1);

  // The port is free again: the gateway gone, the call ends at once with 1.
  gateway.Close();
  sim.ClearLog();
  EXPECT_EQ(link.WSPRasDial("Modem: Link Dial Modem", "internet", "", "", gateway.HttpAddress().c_str()), 1);
  EXPECT_TRUE(Contains(sim.Commands(), "ATH\r"));
  EXPECT_EQ(link.WSPRasHangUp("Modem: Link Dial Modem"), 0);
}

TEST(LinkDial, FailuresGiveRemoteAccessNumbers) {
  const LinkLibrary& link = Link();
  LoopbackSocket gateway;
  const std::string address = gateway.HttpAddress();
  {
    ModemSim noGprs("--gprs no");
    ASSERT_TRUE(noGprs.Started()) << noGprs.Error();
    RegisteredModem m({"Link NoGprs Modem", noGprs.Port()});
    EXPECT_EQ(link.WSPRasDial("Modem: Link NoGprs Modem", "internet", "", "", address.c_str()), 651);
  }
  {
    ModemSim noNetwork("--network-polls never");
    ASSERT_TRUE(noNetwork.Started()) << noNetwork.Error();
    RegisteredModem m({"Link NoNet Modem", noNetwork.Port()});
    EXPECT_EQ(link.WSPRasDial("Modem: Link NoNet Modem", "internet", "", "", address.c_str()), 651);
  }
  {
    ModemSim garbage("--garbage");
    ASSERT_TRUE(garbage.Started()) << garbage.Error();
    RegisteredModem m({"Link Garbage Modem", garbage.Port()});
    EXPECT_EQ(link.WSPRasDial("Modem: Link Garbage Modem", "internet", "", "", address.c_str()), 692);
  }
  {
    ModemSim silent("--silent");
    ASSERT_TRUE(silent.Started()) << silent.Error();
    RegisteredModem m({"Link Silent Modem", silent.Port()});
    EXPECT_EQ(link.WSPRasDial("Modem: Link Silent Modem", "internet", "", "", address.c_str()), 692);
    EXPECT_EQ(link.ModemReset("Link Silent Modem"), 0);
  }
  {
    ModemSim plain;
    ASSERT_TRUE(plain.Started()) << plain.Error();
    RegisteredModem m({"Link Plain Modem", plain.Port()});
    EXPECT_EQ(link.ModemReset("Link Plain Modem"), 1);
    EXPECT_EQ(link.WSPRasDial("Modem: Link Plain Modem", "bad\"apn", "", "", address.c_str()), 87);
  }
  RegisteredModem portless({"Link Portless Modem", "COM249"});
  EXPECT_EQ(link.WSPRasDial("Modem: Link Portless Modem", "internet", "", "", address.c_str()), 615);
  EXPECT_EQ(link.WSPRasDial("Modem: Not Installed Anywhere", "internet", "", "", address.c_str()), 623);
  EXPECT_EQ(link.WSPRasDial("", "internet", "", "", address.c_str()), 87);
  EXPECT_EQ(link.WSPRasDial("No Such Dial-Up Entry", "internet", "", "", address.c_str()), 623);
}

TEST(LinkDial, ErrorTextsAppendIntoTheRoomLeft) {
  const LinkLibrary& link = Link();
  ASSERT_NE(link.WSPRasGetErrorString, nullptr);
  char verdict[500] = "Connection Failed\r\nRAS Error 650\r\n";
  size_t used = strlen(verdict);
  EXPECT_TRUE(link.WSPRasGetErrorString(650, verdict, unsigned(sizeof verdict - used)));
  EXPECT_EQ(std::string(verdict), "Connection Failed\r\nRAS Error 650\r\nThe network is not responding.");

  // Given the end of the text instead of its start: the same.
  char tail[500] = "Connection Failed";
  used = strlen(tail);
  EXPECT_TRUE(link.WSPRasGetErrorString(692, tail + used, unsigned(sizeof tail - used)));
  EXPECT_EQ(std::string(tail), "Connection FailedThe modem does not respond.");

  const struct {
    unsigned room;
    const char* after;
  } rooms[] = {{1, "abc"}, {2, "abcT"}, {5, "abcTher"}};
  for (size_t i = 0; i < sizeof rooms / sizeof rooms[0]; ++i) {
    char text[16] = "abc";
    char guard[8] = "GUARD";
    memcpy(text + 8, guard, 8);
    link.WSPRasGetErrorString(678, text, rooms[i].room);
    EXPECT_STREQ(text, rooms[i].after) << "case " << i;
    EXPECT_STREQ(text + 8, "GUARD") << "case " << i;  // nothing written past the room
  }

  char other[200] = "";
  EXPECT_TRUE(link.WSPRasGetErrorString(2, other, sizeof other));  // a system error number
  EXPECT_GT(strlen(other), 5u);
}
