// Our tapi32 as the modem code meets it under Wine: line devices from the
// installed modems, capabilities growth, open / call / "comm/datamodem" against
// the simulated modem, and the failure switches.
#include <windows.h>
#include <tapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modemregistry.h"
#include "modemsimdriver.h"

namespace {

const DWORD kLow = 0x00010003, kHigh = 0x00020001;

struct TapiApp {
  HLINEAPP app = 0;
  HANDLE event = nullptr;
  DWORD devices = 0;
  LONG rc = 0;
  TapiApp() {
    LINEINITIALIZEEXPARAMS params = {};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
    DWORD version = 0x00020001;
    rc = lineInitializeExA(&app, GetModuleHandleA(nullptr), nullptr, "tapi test", &devices, &version, &params);
    event = params.Handles.hEvent;
  }
  ~TapiApp() {
    if (app) lineShutdown(app);
  }
};

DWORD Negotiate(HLINEAPP app, DWORD device) {
  DWORD version = 0;
  LINEEXTENSIONID ext;
  return lineNegotiateAPIVersion(app, device, kLow, kHigh, &version, &ext) == 0 ? version : 0;
}

// The capabilities read as the modem code reads them: 1276 bytes, grown on demand.
std::vector<BYTE> ReadCaps(HLINEAPP app, DWORD device, DWORD version) {
  std::vector<BYTE> buf(1276);
  for (int i = 0; i < 4; ++i) {
    std::fill(buf.begin(), buf.end(), 0);
    LINEDEVCAPS* caps = reinterpret_cast<LINEDEVCAPS*>(buf.data());
    caps->dwTotalSize = DWORD(buf.size());
    LONG rc = lineGetDevCapsA(app, device, version, 0, caps);
    if (rc == LONG(LINEERR_STRUCTURETOOSMALL)) {
      buf.resize(buf.size() + 1024);
    } else if (rc != 0) {
      return {};
    } else if (caps->dwNeededSize > caps->dwTotalSize) {
      buf.resize(caps->dwNeededSize);
    } else {
      return buf;
    }
  }
  return {};
}

std::string LineName(const std::vector<BYTE>& buf) {
  if (buf.empty()) return "<no caps>";
  const LINEDEVCAPS* caps = reinterpret_cast<const LINEDEVCAPS*>(buf.data());
  if (!caps->dwLineNameSize) return "<no name>";
  return std::string(reinterpret_cast<const char*>(buf.data() + caps->dwLineNameOffset), caps->dwLineNameSize - 1);
}

std::string PortName(HLINE line) {
  std::vector<BYTE> buf(2048);
  VARSTRING* vs = reinterpret_cast<VARSTRING*>(buf.data());
  vs->dwTotalSize = DWORD(buf.size());
  LONG rc = lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, vs, "comm/datamodem/portname");
  if (rc != 0) return "error " + std::to_string(rc);
  return std::string(reinterpret_cast<const char*>(buf.data() + vs->dwStringOffset));
}

LONG MakeDataCall(HLINE line, HCALL* call) {
  std::vector<BYTE> buf(176);
  LINECALLPARAMS* params = reinterpret_cast<LINECALLPARAMS*>(buf.data());
  params->dwTotalSize = 176;
  params->dwBearerMode = LINEBEARERMODE_PASSTHROUGH;
  params->dwMediaMode = LINEMEDIAMODE_DATAMODEM;
  return lineMakeCallA(line, call, nullptr, 0, params);
}

// "comm/datamodem" on the call: the handle, or INVALID_HANDLE_VALUE with rc set.
HANDLE CommHandle(HCALL call, LONG* rc, std::string* name) {
  std::vector<BYTE> buf(2048);
  VARSTRING* vs = reinterpret_cast<VARSTRING*>(buf.data());
  vs->dwTotalSize = DWORD(buf.size());
  *rc = lineGetIDA(0, 0, call, LINECALLSELECT_CALL, vs, "comm/datamodem");
  if (*rc != 0 || vs->dwStringSize < sizeof(HANDLE) + 1) return INVALID_HANDLE_VALUE;
  HANDLE h;
  memcpy(&h, buf.data() + vs->dwStringOffset, sizeof h);
  if (name) *name = reinterpret_cast<const char*>(buf.data() + vs->dwStringOffset + sizeof h);
  return h;
}

class Tapi : public ::testing::Test {
 protected:
  void SetUp() override { UnregisterAllModems(); }
  void TearDown() override { UnregisterAllModems(); }
};

TEST_F(Tapi, OurDllIsTheOneLoaded) {
  char exe[MAX_PATH], dll[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  HMODULE tapi = GetModuleHandleA("tapi32.dll");
  ASSERT_NE(tapi, nullptr);
  GetModuleFileNameA(tapi, dll, MAX_PATH);
  std::string e = exe, d = dll;
  EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, e.substr(0, e.rfind('\\')).c_str(), -1,
                           d.substr(0, d.rfind('\\')).c_str(), -1),
            CSTR_EQUAL)
      << d << " is not beside " << e << " (WINEDLLOVERRIDES tapi32=n,b missing?)";
}

TEST_F(Tapi, InitialisationChecksItsArguments) {
  HLINEAPP app = 0;
  DWORD devices = 0, version = 0x00010004;
  LINEINITIALIZEEXPARAMS params = {};
  params.dwTotalSize = sizeof params;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
  EXPECT_EQ(lineInitializeExA(&app, nullptr, nullptr, "t", &devices, &version, &params),
            LONG(LINEERR_INCOMPATIBLEAPIVERSION));
  version = 0x00020001;
  params.dwTotalSize = sizeof params - 1;
  EXPECT_EQ(lineInitializeExA(&app, nullptr, nullptr, "t", &devices, &version, &params),
            LONG(LINEERR_STRUCTURETOOSMALL));
  // A callback is needed unless events or a completion port deliver the messages.
  params.dwTotalSize = sizeof params;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
  EXPECT_EQ(lineInitializeExA(&app, nullptr, nullptr, "t", &devices, &version, &params),
            LONG(LINEERR_INVALPOINTER));
  EXPECT_EQ(lineShutdown(12345), LONG(LINEERR_INVALAPPHANDLE));
}

TEST_F(Tapi, ListsTheInstalledModemsInKeyOrder) {
  RegisteredModem a({"Zarq GSM", "COM7"});
  RegisteredModem b({"Voice Box", "COM8", "", 0, LINEMEDIAMODE_INTERACTIVEVOICE});
  RegisteredModem c({"Zarq GSM", "COM9"});
  ASSERT_EQ(a.Key(), "0000");
  ASSERT_EQ(c.Key(), "0002");
  TapiApp t;
  ASSERT_EQ(t.rc, 0);
  ASSERT_NE(t.event, nullptr);
  EXPECT_EQ(WaitForSingleObject(t.event, 0), WAIT_TIMEOUT);
  ASSERT_EQ(t.devices, 3u);
  struct {
    const char* name;
    DWORD media;
  } want[] = {{"Zarq GSM", LINEMEDIAMODE_DATAMODEM}, {"Voice Box", LINEMEDIAMODE_INTERACTIVEVOICE},
              {"Zarq GSM", LINEMEDIAMODE_DATAMODEM}};
  for (DWORD i = 0; i < 3; ++i) {
    DWORD version = Negotiate(t.app, i);
    EXPECT_EQ(version, kHigh) << i;
    std::vector<BYTE> caps = ReadCaps(t.app, i, version);
    EXPECT_EQ(LineName(caps), want[i].name) << i;
    if (!caps.empty()) {
      EXPECT_EQ(reinterpret_cast<LINEDEVCAPS*>(caps.data())->dwMediaModes, want[i].media) << i;
    }
  }
  DWORD version = 0;
  LINEEXTENSIONID ext;
  EXPECT_EQ(lineNegotiateAPIVersion(t.app, 3, kLow, kHigh, &version, &ext), LONG(LINEERR_BADDEVICEID));
  EXPECT_EQ(lineNegotiateAPIVersion(t.app, 0, 0x00030000, 0x00030001, &version, &ext),
            LONG(LINEERR_INCOMPATIBLEAPIVERSION));
  EXPECT_EQ(lineNegotiateAPIVersion(t.app, 0, 0x00010000, 0x00010003, &version, &ext), 0);
  EXPECT_EQ(version, 0x00010003u);
}

TEST_F(Tapi, CapabilitiesTellHowMuchRoomTheNameNeeds) {
  std::string longName(2000, 'M');
  RegisteredModem m({longName, "COM7"});
  TapiApp t;
  ASSERT_EQ(t.rc, 0);
  ASSERT_EQ(t.devices, 1u);
  std::vector<BYTE> probe(4096);
  LINEDEVCAPS* caps = reinterpret_cast<LINEDEVCAPS*>(probe.data());
  caps->dwTotalSize = 4096;
  ASSERT_EQ(lineGetDevCapsA(t.app, 0, kHigh, 0, caps), 0);
  const DWORD needed = caps->dwNeededSize, fixed = 252;  // the 2.0 / 2.1 fixed part
  ASSERT_GT(needed, 1276u);
  ASSERT_EQ(LineName(probe), longName);
  struct {
    DWORD total;
    LONG rc;
    bool name;
  } cases[] = {
      {16, LONG(LINEERR_STRUCTURETOOSMALL), false}, {fixed - 1, LONG(LINEERR_STRUCTURETOOSMALL), false},
      {fixed, 0, false}, {1276, 0, false}, {needed - 1, 0, false}, {needed, 0, true}, {needed + 100, 0, true},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::vector<BYTE> buf(cases[i].total + 64, 0xEE);
    caps = reinterpret_cast<LINEDEVCAPS*>(buf.data());
    caps->dwTotalSize = cases[i].total;
    EXPECT_EQ(lineGetDevCapsA(t.app, 0, kHigh, 0, caps), cases[i].rc) << "case " << i;
    if (cases[i].rc) continue;
    EXPECT_EQ(caps->dwNeededSize, needed) << "case " << i;
    EXPECT_EQ(caps->dwUsedSize, cases[i].name ? needed : fixed) << "case " << i;
    EXPECT_EQ(caps->dwLineNameSize != 0, cases[i].name) << "case " << i;
    EXPECT_EQ(caps->dwMediaModes, DWORD(LINEMEDIAMODE_DATAMODEM)) << "case " << i;
    // Nothing is written past the caller's size.
    for (size_t b = cases[i].total; b < buf.size(); ++b) ASSERT_EQ(buf[b], 0xEE) << "case " << i << " byte " << b;
  }
  // The growth loop the modem code runs lands on the full name.
  EXPECT_EQ(LineName(ReadCaps(t.app, 0, kHigh)), longName);
}

TEST_F(Tapi, OpenCallAndTalkToTheModemThroughItsHandle) {
  ModemSim sim("--baud 9600");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem m({"Zarq GSM", sim.Port(), "", 9600});
  TapiApp t;
  ASSERT_EQ(t.rc, 0);
  ASSERT_EQ(t.devices, 1u);
  HLINE line = 0;
  ASSERT_EQ(lineOpenA(t.app, 0, &line, kHigh, 0, 77, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr), 0);
  EXPECT_EQ(PortName(line), sim.Port());
  HCALL call = 0;
  LONG request = MakeDataCall(line, &call);
  ASSERT_GT(request, 0);
  // Completed later: no handle and no message yet.
  EXPECT_EQ(WaitForSingleObject(t.event, 0), WAIT_TIMEOUT);
  EXPECT_EQ(call, 0u);
  ASSERT_EQ(WaitForSingleObject(t.event, 60000), WAIT_OBJECT_0);
  LINEMESSAGE msg = {};
  ASSERT_EQ(lineGetMessage(t.app, &msg, 0), 0);
  EXPECT_EQ(msg.dwMessageID, DWORD(LINE_REPLY));
  EXPECT_EQ(msg.dwParam1, DWORD_PTR(request));
  EXPECT_EQ(msg.dwParam2, 0u);
  EXPECT_EQ(msg.dwCallbackInstance, 77u);
  ASSERT_EQ(lineGetMessage(t.app, &msg, 0), 0);
  EXPECT_EQ(msg.dwMessageID, DWORD(LINE_CALLSTATE));
  EXPECT_EQ(msg.hDevice, call);
  EXPECT_EQ(msg.dwParam1, DWORD_PTR(LINECALLSTATE_CONNECTED));
  EXPECT_EQ(WaitForSingleObject(t.event, 0), WAIT_TIMEOUT) << "event stays set with an empty queue";
  EXPECT_EQ(lineGetMessage(t.app, &msg, 100), LONG(LINEERR_OPERATIONFAILED));
  EXPECT_NE(call, 0u);

  // Too small for the handle and name: only the size needed, no handle handed out.
  VARSTRING small = {};
  small.dwTotalSize = sizeof small;
  EXPECT_EQ(lineGetIDA(0, 0, call, LINECALLSELECT_CALL, &small, "comm/datamodem"), 0);
  EXPECT_EQ(small.dwNeededSize, sizeof(VARSTRING) + sizeof(HANDLE) + sizeof "Zarq GSM");
  EXPECT_EQ(small.dwStringSize, 0u);

  LONG rc = 0;
  std::string name;
  HANDLE h = CommHandle(call, &rc, &name);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << rc;
  EXPECT_EQ(name, "Zarq GSM");
  COMMTIMEOUTS timeouts = {200, 0, 1000, 0, 15000};
  EXPECT_TRUE(SetCommTimeouts(h, &timeouts));
  // The line was set to the modem's speed: the fixed-rate modem answers.
  EXPECT_EQ(PortExchange(h, "ATE0V1\r", "OK\r\n"), "ATE0V1\r\r\nOK\r\n");
  CloseHandle(h);
  EXPECT_EQ(lineClose(line), 0);
  EXPECT_EQ(lineGetIDA(0, 0, call, LINECALLSELECT_CALL, &small, "comm/datamodem"), LONG(LINEERR_INVALCALLHANDLE));
  EXPECT_EQ(sim.Commands(), std::vector<std::string>{"ATE0V1\r"});
}

TEST_F(Tapi, FailureSwitchesAndAMissingPort) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  struct {
    const char* fail;
    const char* port;  // nullptr: the simulator's
    LONG open, call, reply, portname, datamodem;
  } cases[] = {
      {"", nullptr, 0, 1, 0, 0, 0},
      {"open", nullptr, LONG(LINEERR_OPERATIONFAILED), 0, 0, 0, 0},
      {"", "COM98", LONG(LINEERR_RESOURCEUNAVAIL), 0, 0, 0, 0},
      {"call", nullptr, 0, LONG(LINEERR_CALLUNAVAIL), 0, 0, 0},
      {"callreply", nullptr, 0, 1, LONG(LINEERR_OPERATIONFAILED), 0, LONG(LINEERR_INVALCALLHANDLE)},
      {"getid", nullptr, 0, 1, 0, 0, LONG(LINEERR_OPERATIONFAILED)},
      {"Portname", nullptr, 0, 1, 0, LONG(LINEERR_OPERATIONFAILED), 0},
      {"call, getid", nullptr, 0, LONG(LINEERR_CALLUNAVAIL), 0, 0, 0},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    RegisteredModem m({"Zarq GSM", cases[i].port ? cases[i].port : sim.Port(), cases[i].fail});
    TapiApp t;
    ASSERT_EQ(t.devices, 1u) << i;
    HLINE line = 0;
    EXPECT_EQ(lineOpenA(t.app, 0, &line, kHigh, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr),
              cases[i].open)
        << "case " << i;
    if (cases[i].open) continue;
    std::string port = PortName(line);
    if (cases[i].portname)
      EXPECT_EQ(port, "error " + std::to_string(cases[i].portname)) << "case " << i;
    else
      EXPECT_EQ(port, sim.Port()) << "case " << i;
    HCALL call = 0;
    LONG request = MakeDataCall(line, &call);
    if (cases[i].call <= 0) {
      EXPECT_EQ(request, cases[i].call) << "case " << i;
      lineClose(line);
      continue;
    }
    ASSERT_GT(request, 0) << "case " << i;
    ASSERT_EQ(WaitForSingleObject(t.event, 5000), WAIT_OBJECT_0) << "case " << i;
    LINEMESSAGE msg = {};
    ASSERT_EQ(lineGetMessage(t.app, &msg, 0), 0) << "case " << i;
    EXPECT_EQ(msg.dwMessageID, DWORD(LINE_REPLY)) << "case " << i;
    EXPECT_EQ(LONG(msg.dwParam2), cases[i].reply) << "case " << i;
    LONG rc = 0;
    HANDLE h = CommHandle(call, &rc, nullptr);
    EXPECT_EQ(rc, cases[i].datamodem) << "case " << i;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_EQ(lineClose(line), 0) << "case " << i;
  }
}

TEST_F(Tapi, TwoModemsOfOneNameAreTwoLines) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem first({"Zarq GSM", sim.Port(), "open"});
  RegisteredModem second({"Zarq GSM", sim.Port()});
  TapiApp t;
  ASSERT_EQ(t.devices, 2u);
  HLINE line = 0;
  EXPECT_EQ(lineOpenA(t.app, 0, &line, kHigh, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr),
            LONG(LINEERR_OPERATIONFAILED));
  ASSERT_EQ(lineOpenA(t.app, 1, &line, kHigh, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr), 0);
  HCALL call = 0;
  ASSERT_GT(MakeDataCall(line, &call), 0);
  ASSERT_EQ(WaitForSingleObject(t.event, 5000), WAIT_OBJECT_0);
  LONG rc = 0;
  HANDLE h = CommHandle(call, &rc, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << rc;
  EXPECT_EQ(PortExchange(h, "AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
  CloseHandle(h);
  // A second pass-through call on a busy line is refused; after a drop it works again.
  HCALL other = 0;
  EXPECT_EQ(MakeDataCall(line, &other), LONG(LINEERR_CALLUNAVAIL));
  EXPECT_EQ(lineDeallocateCall(call), LONG(LINEERR_INVALCALLSTATE));
  EXPECT_GT(lineDrop(call, nullptr, 0), 0);
  EXPECT_EQ(lineDeallocateCall(call), 0);
  EXPECT_GT(MakeDataCall(line, &other), 0);
  lineClose(line);
}

TEST_F(Tapi, ACallStillPendingWhenTheLineClosesIsForgotten) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  ModemEntry entry = {"Zarq GSM", sim.Port()};
  entry.callDelay = 1500;
  RegisteredModem m(entry);
  TapiApp t;
  HLINE line = 0;
  ASSERT_EQ(lineOpenA(t.app, 0, &line, kHigh, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr), 0);
  HCALL call = 0;
  ASSERT_GT(MakeDataCall(line, &call), 0);
  // The caller's wait gives up first, as the modem code's does after 60 s.
  EXPECT_EQ(WaitForSingleObject(t.event, 300), WAIT_TIMEOUT);
  HCALL second = 0;
  EXPECT_EQ(MakeDataCall(line, &second), LONG(LINEERR_CALLUNAVAIL)) << "one call per line, pending included";
  LONG rc = 0;
  EXPECT_EQ(CommHandle(call, &rc, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(rc, LONG(LINEERR_INVALCALLHANDLE));
  EXPECT_EQ(lineClose(line), 0);
  EXPECT_EQ(WaitForSingleObject(t.event, 2500), WAIT_TIMEOUT);
  EXPECT_EQ(call, 0u);
}

std::vector<LINEMESSAGE> g_delivered;

void CALLBACK Record(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
  g_delivered.push_back({device, message, instance, p1, p2, p3});
}

TEST_F(Tapi, CallbackAndCompletionPortDelivery) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem m({"Zarq GSM", sim.Port()});
  // Hidden window: the callback runs from this thread's message loop.
  {
    HLINEAPP app = 0;
    DWORD devices = 0;
    ASSERT_EQ(lineInitialize(&app, GetModuleHandleA(nullptr), Record, "t", &devices), 0);
    HLINE line = 0;
    ASSERT_EQ(lineOpenA(app, 0, &line, kHigh, 0, 5, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr), 0);
    HCALL call = 0;
    LONG request = MakeDataCall(line, &call);
    ASSERT_GT(request, 0);
    g_delivered.clear();
    DWORD start = GetTickCount();
    while (g_delivered.size() < 2 && GetTickCount() - start < 5000) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    ASSERT_EQ(g_delivered.size(), 2u);
    EXPECT_EQ(g_delivered[0].dwMessageID, DWORD(LINE_REPLY));
    EXPECT_EQ(g_delivered[0].dwParam1, DWORD_PTR(request));
    EXPECT_EQ(g_delivered[1].dwCallbackInstance, 5u);
    lineShutdown(app);
  }
  // Completion port: each message is a LocalAlloc'd LINEMESSAGE for the caller to free.
  {
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    LINEINITIALIZEEXPARAMS params = {};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USECOMPLETIONPORT;
    params.Handles.hCompletionPort = port;
    params.dwCompletionKey = 42;
    HLINEAPP app = 0;
    DWORD devices = 0, version = kHigh;
    ASSERT_EQ(lineInitializeExA(&app, nullptr, nullptr, "t", &devices, &version, &params), 0);
    HLINE line = 0;
    ASSERT_EQ(lineOpenA(app, 0, &line, kHigh, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr), 0);
    HCALL call = 0;
    LONG request = MakeDataCall(line, &call);
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* ov = nullptr;
    ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &key, &ov, 5000));
    EXPECT_EQ(key, 42u);
    LINEMESSAGE* m1 = reinterpret_cast<LINEMESSAGE*>(ov);
    EXPECT_EQ(m1->dwMessageID, DWORD(LINE_REPLY));
    EXPECT_EQ(m1->dwParam1, DWORD_PTR(request));
    LocalFree(m1);
    lineShutdown(app);
    CloseHandle(port);
  }
}

}  // namespace
