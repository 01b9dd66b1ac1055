// The MM7 receiver dialog and its connection test against real servers: a
// loopback listener, a closed port, a listener that never answers the TLS
// handshake, and openssl s_server with a certificate made for the test.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/configstore.h"
#include "loopback.h"
#include "modal.h"
#include "modemsimdriver.h"  // RunLinuxCommand, WindowsPathOf
#include "pages/mm7.h"
#include "resource.h"
#include "testenv.h"

namespace {

constexpr char kProduct[] = "Zarq SMS/MMS Gateway Lite Edition (v2012.02.16)";
constexpr char kTitle[] = "Configure MM7 Receiver";
constexpr char kAbsentValue[] = "<absent>";
constexpr char kNamespace[] = "http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/";

// Takes the connection a test made, so that the listener's queue never fills.
void TakeConnection(const LoopbackSocket& listener) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(SOCKET(listener.Socket()), &readable);
  timeval wait = {5, 0};
  if (select(0, &readable, nullptr, nullptr, &wait) == 1) closesocket(accept(SOCKET(listener.Socket()), nullptr, nullptr));
}

// openssl s_server on the Linux side with a fresh self-signed certificate.
class OpensslServer {
 public:
  OpensslServer() {
    closesocket(BindLoopback(&port_));  // a port free a moment ago
    dir_ = "/tmp/zarq-mm7-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    if (!RunLinuxCommand("/bin/sh " ZARQ_TLSSERVER_SCRIPT " " + dir_ + " " + std::to_string(port_))) return;
    ready_ = ui::WaitUntil(
        [&] {
          SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
          bool ok = ConnectTest(s, "127.0.0.1", port_) == 0;
          closesocket(s);
          return ok;
        },
        30000);
  }
  ~OpensslServer() {
    std::string pid = ReadFileText(WindowsPathOf(dir_ + "/pid"));
    while (!pid.empty() && pid.back() < '0') pid.pop_back();
    if (!pid.empty()) RunLinuxCommand("/bin/kill " + pid);
    RunLinuxCommand("/bin/rm -rf " + dir_);
  }
  unsigned port_ = 0;
  bool ready_ = false;
  std::string dir_;
};

class Mm7Test : public ::testing::Test {
 protected:
  void SetUp() override {
    UseDataDirectory(dir_);
    StartWinsock();
  }
  std::string Vasp() const { return dir_ / "VASPOUT\\zarqlocalmm7\\VASP.INI"; }
  std::string Key(const char* key) const {
    char value[1024];
    ReadSetting(Vasp().c_str(), "VASP", key, kAbsentValue, value, sizeof value);
    return value;
  }
  void Preset(const std::string& text) {
    CreateDirectoryA((dir_ / "VASPOUT").c_str(), nullptr);
    CreateDirectoryA((dir_ / "VASPOUT\\zarqlocalmm7").c_str(), nullptr);
    WriteFileText(Vasp(), text);
  }
  HWND Open() {
    run_ = std::make_unique<ModalThread>([] { return RunMm7Dialog(nullptr); });
    return run_->Window(kTitle);
  }
  std::string Selected(HWND dialog, int id) {
    char text[1024] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
  }
  void Choose(HWND dialog, int id, const char* text) {
    SendDlgItemMessageA(dialog, id, CB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(text));
  }
  // OK with `server`, refused: the message, with the server field focused again.
  std::string Refused(HWND dialog, const std::string& server, DWORD timeoutMs = 10000) {
    std::string before = ReadFileText(Vasp());
    SetDlgItemTextA(dialog, IDC_MM7_SERVER, server.c_str());
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_MM7_VASPID)), TRUE);
    ui::ClickItem(dialog, IDOK);
    ui::MessageBoxInfo box = run_->Answer(IDOK, timeoutMs);
    EXPECT_EQ(box.caption, kProduct) << server;
    EXPECT_EQ(box.icon, ui::Icon::Error) << server;
    run_->Sync(dialog);
    EXPECT_EQ(run_->Focus(), GetDlgItem(dialog, IDC_MM7_SERVER)) << server;
    EXPECT_EQ(ReadFileText(Vasp()), before) << server;  // nothing written
    return box.text;
  }

  ScratchDir dir_{"mm7"};
  std::unique_ptr<ModalThread> run_;
};

TEST_F(Mm7Test, ConnectTestTakesAddressesAndNames) {
  LoopbackSocket listener, closed(false);
  unsigned open = listener.Port();
  struct Case {
    const char* host;
    unsigned port;
    int result;
  } cases[] = {
      {"127.0.0.1", open, 0},
      {"127.000.0.001", open, 0},  // the dotted address in its normal form
      {"localhost", open, 0},
      {"localhost#12", open, 0},  // resolved without "#12"
      {"localhost#x", open, 1},   // resolved as written: no such host
      {"zarq-no-such-host.invalid", open, 1},
      {"127.0.0.1", closed.Port(), 1},
      {"", open, 1},
      {"#12", open, 1},
      {"127.0.0.1", 0, 1},
      {"127.0.0.1", open + 65536, 1},  // not a port, even though its low 16 bits name the listener
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_EQ(ConnectTest(s, cases[i].host, cases[i].port), cases[i].result) << "case " << i << " " << cases[i].host;
    closesocket(s);
    if (cases[i].result == 0) TakeConnection(listener);
  }
}

TEST_F(Mm7Test, RefusesUntilTheServerAnswersOverTls) {
  Preset(
      "[VASP]\r\nProtocol=EricssonMM7\r\nServer=old\r\nMM7Version=7.1.0\r\nMM7Schema=urn:example:mm7\r\n"
      "Domain=example\r\nPHPMultipartPost=Yes\r\nStripWhiteSpace=Yes\r\n");
  HWND dialog = Open();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Selected(dialog, IDC_MM7_VARIATION), "Ericsson");
  EXPECT_EQ(Selected(dialog, IDC_MM7_VERSION), "7.1.0");  // appended to the 18
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_MM7_VERSION, CB_GETCOUNT, 0, 0), 19);
  EXPECT_EQ(Selected(dialog, IDC_MM7_SCHEMA), "(Custom)");
  EXPECT_EQ(Selected(dialog, IDC_MM7_SERVER), "old");
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_MM7_STRIP_WHITE), BST_CHECKED);

  LoopbackSocket silent, closed(false);
  EXPECT_EQ(Refused(dialog, ""), "Please define a URL for connecting to the server");
  EXPECT_EQ(Refused(dialog, "http://127.0.0.1:" + std::to_string(closed.Port()) + "/mm7"),
            "Unable to connect to server 127.0.0.1:" + std::to_string(closed.Port()));
  // Port 80 of this machine takes no connections here; the message names the port tried.
  EXPECT_EQ(Refused(dialog, "http://127.0.0.1/mm7/deliver"), "Unable to connect to server 127.0.0.1:80");
  EXPECT_EQ(Refused(dialog, "localhost"), "Unable to connect to server localhost:80");
  EXPECT_EQ(Refused(dialog, "https://zarq-no-such-host.invalid/x"),
            "Unable to connect to server zarq-no-such-host.invalid:443");
  // A server that takes the connection and never answers the handshake: the
  // TLS library gives up after 15 seconds and the dialog comes back.
  DWORD start = GetTickCount();
  std::string text = Refused(dialog, "https://127.0.0.1:" + std::to_string(silent.Port()) + "/mm7", 60000);
  EXPECT_EQ(text.rfind("Unable to negotiate SSL/TLS connection with server 127.0.0.1:" +
                           std::to_string(silent.Port()) + "\r\n\r\nTLS handshake failed: ",
                       0),
            0u)
      << text;
  EXPECT_LT(GetTickCount() - start, 30000u);

  OpensslServer tls;
  ASSERT_TRUE(tls.ready_);
  std::string server = "HTTPS://127.0.0.1:" + std::to_string(tls.port_) + "/mm7/receive";
  SetDlgItemTextA(dialog, IDC_MM7_SERVER, server.c_str());
  ui::ClickItem(dialog, IDOK);
  EXPECT_EQ(run_->Wait(30000), 1);
  EXPECT_EQ(Key("Server"), server);
  EXPECT_EQ(Key("Protocol"), "EricssonMM7");
  EXPECT_EQ(Key("MM7Schema"), "urn:example:mm7");  // "(Custom)": left as it was
  EXPECT_EQ(Key("MM7Version"), "7.1.0");
  EXPECT_EQ(Key("StripWhiteSpace"), "Yes");
  EXPECT_EQ(Key("mm7DeliverReq"), "Yes");
  EXPECT_EQ(Key("Domain"), kAbsentValue);
  EXPECT_EQ(Key("PHPMultipartPost"), kAbsentValue);
}

TEST_F(Mm7Test, WritesEveryKeyInOrderIntoANewFile) {
  LoopbackSocket listener;
  HWND dialog = Open();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Selected(dialog, IDC_MM7_VERSION), "5.3.0");
  EXPECT_EQ(Selected(dialog, IDC_MM7_SCHEMA), "REL-5-MM7-1-2");
  EXPECT_EQ(Selected(dialog, IDC_MM7_VARIATION), "None - Use Standard MM7");
  const int fields[] = {IDC_MM7_SERVICE_CODE, IDC_MM7_VASID, IDC_MM7_VASPID, IDC_MM7_PASSWORD, IDC_MM7_USERNAME};
  const char* values[] = {"code", "vas", "vasp", "secret", "user"};
  for (int i = 0; i < 5; ++i) SetDlgItemTextA(dialog, fields[i], values[i]);
  Choose(dialog, IDC_MM7_VERSION, "6.7.0");
  Choose(dialog, IDC_MM7_SCHEMA, "REL-6-MM7-1-3");
  Choose(dialog, IDC_MM7_VARIATION, "AnnyWay");
  CheckDlgButton(dialog, IDC_MM7_STRIP_WHITE, BST_CHECKED);
  std::string server = "127.0.0.1#3:" + std::to_string(listener.Port());
  SetDlgItemTextA(dialog, IDC_MM7_SERVER, server.c_str());
  ui::ClickItem(dialog, IDOK);
  EXPECT_EQ(run_->Wait(), 1);
  TakeConnection(listener);
  EXPECT_EQ(ReadFileText(Vasp()), "[VASP]\r\nProtocol=MM7\r\nServer=" + server +
                                      "\r\nVASPID=vasp\r\nVASID=vas\r\nServiceCode=code\r\nmm7DeliverReq=Yes\r\n"
                                      "UserName=user\r\nPassword=secret\r\nMM7Version=6.7.0\r\nMM7Schema=" +
                                      kNamespace + "REL-6-MM7-1-3\r\nStripWhiteSpace=Yes\r\nAnnyWay=Yes\r\n");
}

TEST_F(Mm7Test, DefaultsRemoveTheirKeysAndCancelWritesNothing) {
  LoopbackSocket listener;
  std::string preset = "[VASP]\r\nServer=http://127.0.0.1:" + std::to_string(listener.Port()) +
                       "/\r\nMM7Version=6.0.0\r\nMM7Schema=" + kNamespace +
                       "rel-6-mm7-1-0\r\nLogicaCMG=Yes\r\nPHPMultipartPost=Yes\r\nProtocol=mm7\r\nVASPID=v\r\n";
  Preset(preset);
  HWND dialog = Open();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Selected(dialog, IDC_MM7_VARIATION), "LogicaCMG - PAP");  // before PHP upload
  EXPECT_EQ(Selected(dialog, IDC_MM7_SCHEMA), "REL-6-MM7-1-0");
  EXPECT_EQ(Selected(dialog, IDC_MM7_VERSION), "6.0.0");
  Choose(dialog, IDC_MM7_VERSION, "5.3.0");
  Choose(dialog, IDC_MM7_VARIATION, "AnnyWay");
  ui::ClickItem(dialog, IDCANCEL);
  EXPECT_EQ(run_->Wait(), 0);
  EXPECT_EQ(ReadFileText(Vasp()), preset);

  dialog = Open();
  ASSERT_TRUE(dialog);
  Choose(dialog, IDC_MM7_VERSION, "5.3.0");
  Choose(dialog, IDC_MM7_SCHEMA, "REL-5-MM7-1-2");
  Choose(dialog, IDC_MM7_VARIATION, "AnnyWay");
  SetDlgItemTextA(dialog, IDC_MM7_VASPID, "");
  ui::ClickItem(dialog, IDOK);
  EXPECT_EQ(run_->Wait(), 1);
  TakeConnection(listener);
  for (const char* gone : {"MM7Version", "MM7Schema", "LogicaCMG", "PHPMultipartPost", "VASPID"})
    EXPECT_EQ(Key(gone), kAbsentValue) << gone;
  EXPECT_EQ(Key("Protocol"), "MM7");
  EXPECT_EQ(Key("AnnyWay"), "Yes");
}

}  // namespace
