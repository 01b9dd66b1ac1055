// ZARQTLS.DLL against a real TLS server (openssl on the Linux side) and a
// plain-text one, and WSPRequest of ZARQLINK.DLL through a loopback proxy.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "gateway/linkbinding.h"
#include "loopback.h"
#include "modemsimdriver.h"  // RunLinuxCommand, WindowsPathOf

namespace {

struct Winsock {
  Winsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~Winsock() { WSACleanup(); }
};


SOCKET ConnectLoopback(unsigned port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(u_short(port));
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

// openssl s_server with a fresh self-signed certificate, for one test.
class OpensslServer {
 public:
  OpensslServer() {
    unsigned port = 0;
    closesocket(BindLoopback(&port));  // a port free a moment ago
    port_ = port;
    char dir[128];
    snprintf(dir, sizeof dir, "/tmp/zarq-tls-%lu-%lu", GetCurrentProcessId(), GetTickCount());
    dir_ = dir;
    std::string script = std::string(ZARQ_TEST_SOURCE_DIR) + "/tlsserver.sh";
    if (!RunLinuxCommand("/bin/sh " + script + " " + dir_ + " " + std::to_string(port_))) return;
    // Ready when it accepts a connection (which it then drops as a failed handshake).
    for (int i = 0; i < 300 && !ready_; ++i) {
      Sleep(100);
      SOCKET s = ConnectLoopback(port_);
      if (s != INVALID_SOCKET) {
        ready_ = true;
        closesocket(s);
      }
    }
  }
  ~OpensslServer() {
    FILE* f = fopen(WindowsPathOf(dir_ + "/pid").c_str(), "r");
    unsigned long pid = 0;
    if (f) {
      if (fscanf(f, "%lu", &pid) != 1) pid = 0;
      fclose(f);
    }
    if (pid) RunLinuxCommand("/bin/kill " + std::to_string(pid));
    RunLinuxCommand("/bin/rm -rf " + dir_);
  }
  bool Ready() const { return ready_; }
  unsigned Port() const { return port_; }

 private:
  std::string dir_;
  unsigned port_ = 0;
  bool ready_ = false;
};

// A server on the loopback that answers every connection with `reply`, then closes.
class PlainServer {
 public:
  explicit PlainServer(std::string reply) : reply_(std::move(reply)) {
    socket_ = BindLoopback(&port_);
    thread_ = std::thread([this] {
      SOCKET c = accept(socket_, nullptr, nullptr);
      if (c == INVALID_SOCKET) return;
      char buffer[4096];
      int n = recv(c, buffer, sizeof buffer, 0);
      if (n > 0) received_.assign(buffer, size_t(n));
      // A whole request may come in pieces; take what follows quickly too.
      fd_set r;
      FD_ZERO(&r);
      FD_SET(c, &r);
      timeval wait = {0, 200000};
      while (select(0, &r, nullptr, nullptr, &wait) > 0 && (n = recv(c, buffer, sizeof buffer, 0)) > 0)
        received_.append(buffer, size_t(n));
      send(c, reply_.data(), int(reply_.size()), 0);
      shutdown(c, SD_SEND);
      Sleep(200);
      closesocket(c);
    });
  }
  ~PlainServer() {
    closesocket(socket_);
    if (thread_.joinable()) thread_.join();
  }
  unsigned Port() const { return port_; }
  const std::string& Received() const { return received_; }  // after Join
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::string reply_, received_;
  SOCKET socket_ = INVALID_SOCKET;
  unsigned port_ = 0;
  std::thread thread_;
};

const TlsLibrary& Tls() {
  const TlsLibrary* tls = BindTlsLibrary();
  if (!tls) abort();
  return *tls;
}

std::string ReceiveLine(const TlsLibrary& tls, SSLSESSION session) {
  std::string line;
  char buffer[256];
  while (line.find('\n') == std::string::npos) {
    int n = tls.sslRecv(session, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, size_t(n));
  }
  return line;
}

}  // namespace

TEST(Tls, HandshakeAndRoundTripWithARealServer) {
  Winsock winsock;
  const TlsLibrary& tls = Tls();
  ASSERT_TRUE(tls.sslInitLib());
  OpensslServer server;
  ASSERT_TRUE(server.Ready());
  SOCKET s = ConnectLoopback(server.Port());
  ASSERT_NE(s, INVALID_SOCKET);
  char error[ZARQTLS_ERROR_TEXT_SIZE] = "untouched";
  SSLSESSION session = tls.sslInitSession(s, error);
  ASSERT_NE(session, nullptr) << error;
  EXPECT_STREQ(error, "");

  EXPECT_EQ(tls.sslSend(session, "hello zarq\n", 11), 11);
  EXPECT_EQ(ReceiveLine(tls, session), "qraz olleh\n");
  EXPECT_EQ(tls.sslDataPending(session), 0);

  // Several lines in one send come back in order.
  std::string many;
  for (int i = 0; i < 50; ++i) many += "line " + std::to_string(i) + " " + std::string(200, 'x') + "\n";
  ASSERT_EQ(tls.sslSend(session, many.data(), int(many.size())), int(many.size()));
  std::string back;
  char buffer[4096];
  while (back.size() < many.size()) {
    int n = tls.sslRecv(session, buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    back.append(buffer, size_t(n));
  }
  std::string expected;
  for (size_t start = 0; start < many.size();) {
    size_t end = many.find('\n', start);
    expected += std::string(many.rbegin() + long(many.size() - end), many.rend() - long(start)) + "\n";
    start = end + 1;
  }
  EXPECT_EQ(back, expected);
  tls.sslFreeSession(session);
  closesocket(s);
  tls.sslTermLib();
}

TEST(Tls, PlainTextServersFailTheHandshakeWithAReason) {
  Winsock winsock;
  const TlsLibrary& tls = Tls();
  const char* replies[] = {"220 plain text service ready\r\n", ""};
  for (size_t i = 0; i < 2; ++i) {
    PlainServer server(replies[i]);
    SOCKET s = ConnectLoopback(server.Port());
    ASSERT_NE(s, INVALID_SOCKET) << i;
    char error[ZARQTLS_ERROR_TEXT_SIZE + 8];
    memset(error, 'X', sizeof error);
    EXPECT_EQ(tls.sslInitSession(s, error), nullptr) << i;
    EXPECT_LT(strnlen(error, ZARQTLS_ERROR_TEXT_SIZE), size_t(ZARQTLS_ERROR_TEXT_SIZE)) << i;
    EXPECT_EQ(std::string(error).rfind("TLS handshake failed: ", 0), 0u) << i << ": " << error;
    EXPECT_GT(strlen(error), strlen("TLS handshake failed: ")) << i;
    if (*replies[i]) {
      EXPECT_NE(strstr(error, "\"220 plain text service ready\""), nullptr) << error;
    }
    closesocket(s);
  }
  char error[ZARQTLS_ERROR_TEXT_SIZE];
  EXPECT_EQ(tls.sslInitSession(UINT_PTR(INVALID_SOCKET), error), nullptr);
  EXPECT_STRNE(error, "");
}

TEST(Tls, NoServerSideAndItSaysSo) {
  const TlsLibrary& tls = Tls();
  char error[ZARQTLS_ERROR_TEXT_SIZE] = "";
  EXPECT_EQ(tls.sslAcceptSession(0, error), nullptr);
  EXPECT_NE(strstr(error, "no server side"), nullptr) << error;
  error[0] = '\0';
  EXPECT_EQ(tls.sslGenerateCertificate("gateway.example", error), 0);
  EXPECT_NE(strstr(error, "no server side"), nullptr) << error;
  EXPECT_EQ(tls.sslServerCertExists(), 0);
  EXPECT_EQ(tls.sslSignedCertExists(), 0);
  EXPECT_EQ(tls.sslSend(nullptr, "x", 1), -1);
  EXPECT_EQ(tls.sslRecv(nullptr, error, 1), -1);
}

TEST(Wsp, RequestThroughTheGatewayProxy) {
  Winsock winsock;
  const LinkLibrary* link = BindLinkLibrary();
  ASSERT_NE(link, nullptr);
  PlainServer proxy("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 11\r\n\r\nhello world");
  std::string gateway = "127.0.0.1:" + std::to_string(proxy.Port());
  WSPSESSION session = link->WSPConnect(gateway.c_str(), 0, 5000);
  ASSERT_NE(session, nullptr);
  char reply[5];
  unsigned length = 0;
  EXPECT_EQ(link->WSPRequest(session, "POST", "http://mmsc.example/mms", "application/vnd.wap.mms-message", "abc", 3,
                             reply, sizeof reply, &length),
            200);
  EXPECT_EQ(length, 5u);  // cut to the room given
  EXPECT_EQ(std::string(reply, length), "hello");
  link->WSPDisconnect(session);
  proxy.Join();
  EXPECT_EQ(proxy.Received(),
            "POST http://mmsc.example/mms HTTP/1.0\r\nContent-Type: application/vnd.wap.mms-message\r\n"
            "Content-Length: 3\r\nConnection: close\r\n\r\nabc");

  PlainServer other("HTTP/1.0 200 OK\r\n\r\n");
  session = link->WSPConnect(("http://127.0.0.1:" + std::to_string(other.Port()) + "/").c_str(), 0, 5000);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(link->WSPRequest(session, "GET", "http://x/\r\nInjected: 1", nullptr, nullptr, 0, nullptr, 0, &length), 0);
  link->WSPDisconnect(session);

  unsigned closedPort = 0;
  closesocket(BindLoopback(&closedPort));
  EXPECT_EQ(link->WSPConnect("127.0.0.1", closedPort, 2000), nullptr);
  EXPECT_EQ(link->WSPConnect("not an address", 0, 2000), nullptr);
}
