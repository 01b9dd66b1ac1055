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
#include "pages/mm7receiver.h"
#include "resource.h"
#include "testenv.h"

namespace {

constexpr char kNamespace[] = "http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/";

bool Connects(const char* host, unsigned port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  bool ok = ConnectTest(s, host, port) == 0;
  closesocket(s);
  return ok;
}

// Takes the connection a test made, so that the listener's queue never fills.
void TakeConnection(const LoopbackSocket& listener) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(SOCKET(listener.Socket()), &readable);
  timeval wait = {5, 0};
  if (select(0, &readable, nullptr, nullptr, &wait) == 1) closesocket(accept(SOCKET(listener.Socket()), nullptr, nullptr));
}

// openssl s_server on the Linux side with a fresh self-signed certificate.
struct OpensslServer {
  OpensslServer() {
    closesocket(BindLoopback(&port));  // a port free a moment ago
    RunLinuxCommand("/bin/sh " ZARQ_TLSSERVER_SCRIPT " " + dir + " " + std::to_string(port));
    ready = ui::WaitUntil([&] { return Connects("127.0.0.1", port); }, 30000);
  }
  ~OpensslServer() {
    std::string pid = ReadFileText(WindowsPathOf(dir + "/pid"));
    if (!pid.empty()) RunLinuxCommand("/bin/kill " + std::to_string(atoi(pid.c_str())));
    RunLinuxCommand("/bin/rm -rf " + dir);
  }
  std::string dir = "/tmp/zarq-mm7-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
  unsigned port = 0;
  bool ready = false;
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
    ReadSetting(Vasp().c_str(), "VASP", key, "<absent>", value, sizeof value);
    return value;
  }
  HWND Open(const std::string& preset = "") {
    if (!preset.empty()) {
      CreateDirectoryA((dir_ / "VASPOUT").c_str(), nullptr);
      CreateDirectoryA((dir_ / "VASPOUT\\zarqlocalmm7").c_str(), nullptr);
      WriteFileText(Vasp(), preset);
    }
    run_ = std::make_unique<ModalThread>([] { return RunMm7Dialog(nullptr); });
    return run_->Window("Configure MM7 Receiver");
  }
  std::string Text(HWND dialog, int id) { return ui::ItemText(dialog, id); }
  void Choose(HWND dialog, int id, const char* text) {
    SendDlgItemMessageA(dialog, id, CB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(text));
  }
  // OK with `server`, refused: the message; the server field is focused again and nothing written.
  std::string Refused(HWND dialog, const std::string& server, DWORD timeoutMs = 10000) {
    std::string before = ReadFileText(Vasp());
    SetDlgItemTextA(dialog, IDC_MM7_SERVER, server.c_str());
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_MM7_VASPID)), TRUE);
    ui::ClickItem(dialog, IDOK);
    ui::MessageBoxInfo box = run_->Answer(IDOK, timeoutMs);
    EXPECT_EQ(box.icon, ui::Icon::Error) << server;
    run_->Sync(dialog);
    EXPECT_TRUE(run_->HasFocus(GetDlgItem(dialog, IDC_MM7_SERVER))) << server;
    EXPECT_EQ(ReadFileText(Vasp()), before) << server;
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
    bool connects;
  } cases[] = {
      {"127.0.0.1", open, true},     {"127.000.0.001", open, true},  // dotted, normalised first
      {"localhost", open, true},     {"localhost#12", open, true},   // resolved without "#12"
      {"localhost#x", open, false},  // resolved as written: no such host
      {"zarq-no-such-host.invalid", open, false},
      {"127.0.0.1", closed.Port(), false}, {"", open, false}, {"#12", open, false}, {"127.0.0.1", 0, false},
      {"127.0.0.1", open + 65536, false},  // no port, though its low 16 bits name the listener
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    EXPECT_EQ(Connects(cases[i].host, cases[i].port), cases[i].connects) << "case " << i << " " << cases[i].host;
    if (cases[i].connects) TakeConnection(listener);
  }
}

TEST_F(Mm7Test, RefusesUntilTheServerAnswersOverTls) {
  HWND dialog = Open(
      "[VASP]\r\nProtocol=EricssonMM7\r\nServer=old\r\nMM7Version=7.1.0\r\nMM7Schema=urn:example:mm7\r\n"
      "Domain=example\r\nPHPMultipartPost=Yes\r\nStripWhiteSpace=Yes\r\n");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Text(dialog, IDC_MM7_VARIATION), "Ericsson");
  EXPECT_EQ(Text(dialog, IDC_MM7_VERSION), "7.1.0");  // appended to the 18
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_MM7_VERSION, CB_GETCOUNT, 0, 0), 19);
  EXPECT_EQ(Text(dialog, IDC_MM7_SCHEMA), "(Custom)");
  EXPECT_EQ(Text(dialog, IDC_MM7_SERVER), "old");

  LoopbackSocket silent, closed(false);
  EXPECT_EQ(Refused(dialog, ""), "Please define a URL for connecting to the server");
  EXPECT_EQ(Refused(dialog, "http://127.0.0.1:" + std::to_string(closed.Port()) + "/mm7"),
            "Unable to connect to server 127.0.0.1:" + std::to_string(closed.Port()));
  EXPECT_EQ(Refused(dialog, "https://zarq-no-such-host.invalid/x"),
            "Unable to connect to server zarq-no-such-host.invalid:443");
  if (!Connects("127.0.0.1", 80)) {  // without a port, port 80 is tried (unless a web server answers here)
    EXPECT_EQ(Refused(dialog, "http://127.0.0.1/mm7/deliver"), "Unable to connect to server 127.0.0.1:80");
    EXPECT_EQ(Refused(dialog, "localhost"), "Unable to connect to server localhost:80");
  }
  // A server that takes the connection and never answers the handshake: the
  // TLS library gives up after 15 seconds and the dialog comes back.
  DWORD start = GetTickCount();
  std::string text = Refused(dialog, "https://127.0.0.1:" + std::to_string(silent.Port()) + "/mm7", 60000);
  EXPECT_EQ(text.rfind("Unable to negotiate SSL/TLS connection with server 127.0.0.1:" +
                           std::to_string(silent.Port()) + "\r\n\r\nTLS handshake failed: ", 0), 0u) << text;
  EXPECT_LT(GetTickCount() - start, 30000u);

  OpensslServer tls;
  ASSERT_TRUE(tls.ready);
  std::string server = "HTTPS://127.0.0.1:" + std::to_string(tls.port) + "/mm7/receive";
  SetDlgItemTextA(dialog, IDC_MM7_SERVER, server.c_str());
  ui::ClickItem(dialog, IDOK);
  EXPECT_EQ(run_->Wait(30000), 1);
  const char* expected[][2] = {{"Server", server.c_str()}, {"Protocol", "EricssonMM7"},
                               {"MM7Schema", "urn:example:mm7"},  // "(Custom)": left as it was
                               {"MM7Version", "7.1.0"}, {"StripWhiteSpace", "Yes"}, {"mm7DeliverReq", "Yes"},
                               {"Domain", "<absent>"}, {"PHPMultipartPost", "<absent>"}};
  for (auto& e : expected) EXPECT_EQ(Key(e[0]), e[1]) << e[0];
}

TEST_F(Mm7Test, WritesEveryKeyInOrderAndDefaultsRemoveTheirs) {
  LoopbackSocket listener;
  HWND dialog = Open();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Text(dialog, IDC_MM7_VERSION) + Text(dialog, IDC_MM7_SCHEMA) + Text(dialog, IDC_MM7_VARIATION),
            "5.3.0REL-5-MM7-1-2None - Use Standard MM7");
  const int fields[] = {IDC_MM7_SERVICE_CODE, IDC_MM7_VASID, IDC_MM7_VASPID, IDC_MM7_PASSWORD, IDC_MM7_USERNAME};
  const char* values[] = {"code", "vas", "vasp", "secret", "user"};
  for (int i = 0; i < 5; ++i) SetDlgItemTextA(dialog, fields[i], values[i]);
  Choose(dialog, IDC_MM7_VERSION, "6.7.0");
  Choose(dialog, IDC_MM7_SCHEMA, "REL-6-MM7-1-3");
  Choose(dialog, IDC_MM7_VARIATION, "LogicaCMG - PAP");
  CheckDlgButton(dialog, IDC_MM7_STRIP_WHITE, BST_CHECKED);
  std::string server = "127.0.0.1#3:" + std::to_string(listener.Port());
  SetDlgItemTextA(dialog, IDC_MM7_SERVER, server.c_str());
  ui::ClickItem(dialog, IDOK);
  EXPECT_EQ(run_->Wait(), 1);
  TakeConnection(listener);
  std::string written = "[VASP]\r\nProtocol=MM7\r\nServer=" + server +
                        "\r\nVASPID=vasp\r\nVASID=vas\r\nServiceCode=code\r\nmm7DeliverReq=Yes\r\nUserName=user\r\n"
                        "Password=secret\r\nMM7Version=6.7.0\r\nMM7Schema=" + kNamespace +
                        "REL-6-MM7-1-3\r\nStripWhiteSpace=Yes\r\nLogicaCMG=Yes\r\n";
  EXPECT_EQ(ReadFileText(Vasp()), written);

  // Cancel writes nothing; "5.3.0" and "REL-5-MM7-1-2" remove their keys; AnnyWay replaces LogicaCMG.
  for (bool ok : {false, true}) {
    dialog = Open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Text(dialog, IDC_MM7_SCHEMA) + Text(dialog, IDC_MM7_VARIATION), "REL-6-MM7-1-3LogicaCMG - PAP");
    Choose(dialog, IDC_MM7_VERSION, "5.3.0");
    Choose(dialog, IDC_MM7_SCHEMA, "REL-5-MM7-1-2");
    Choose(dialog, IDC_MM7_VARIATION, "AnnyWay");
    ui::ClickItem(dialog, ok ? IDOK : IDCANCEL);
    EXPECT_EQ(run_->Wait(), ok ? 1 : 0);
  }
  TakeConnection(listener);
  for (const char* gone : {"MM7Version", "MM7Schema", "LogicaCMG", "PHPMultipartPost"})
    EXPECT_EQ(Key(gone), "<absent>") << gone;
  EXPECT_EQ(Key("Protocol") + Key("AnnyWay"), "MM7Yes");
}

}  // namespace
