// ZARQTLS.DLL stand-in: TLS client sessions over a caller's socket, on the
// system's SChannel. The server's certificate is not validated: the gateway
// uses these sessions to prove that a peer speaks TLS at all, and peers with
// self-signed certificates are the common case. No server side is offered.
#define ZARQTLS_BUILD
#include <winsock2.h>
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/formatcheck.h"
#include "gateway/zarqtls.h"
#include "sendall.h"

namespace {

// How long a handshake may wait for the peer before it counts as failed.
constexpr DWORD kHandshakeWaitMs = 15000;
// Bound on what one TLS record may bring (header, 16 KiB and room for its overhead).
constexpr size_t kMaxRecord = 16384 + 2048 + 64;

struct Session {
  SOCKET socket = INVALID_SOCKET;
  CredHandle credentials = {};
  CtxtHandle context = {};
  bool haveContext = false;
  SecPkgContext_StreamSizes sizes = {};
  std::vector<char> incoming;   // received, not yet decrypted
  std::vector<char> plain;      // decrypted, not yet read
  bool peerClosed = false;
};

void SetError(char* text, ZARQ_FORMAT_STRING const char* format, ...) ZARQ_PRINTF_LIKE(2, 3);
void SetError(char* text, const char* format, ...) {
  if (!text) return;
  va_list args;
  va_start(args, format);
  vsnprintf(text, ZARQTLS_ERROR_TEXT_SIZE, format, args);
  va_end(args);
}

// The system's text for a security status, for the operator.
std::string StatusText(SECURITY_STATUS status) {
  char text[512] = "";
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(status), 0, text,
                     sizeof text, nullptr) == 0)
    text[0] = '\0';
  size_t n = strlen(text);
  while (n && static_cast<unsigned char>(text[n - 1]) <= 32) text[--n] = '\0';
  char code[32];
  snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  return *text ? std::string(text) + " (" + code + ")" : std::string("security status ") + code;
}

// Appends what the socket has to `into`; 0 when the peer closed, -1 on
// failure or after `waitMs` without data (INFINITE: wait as long as it takes).
int ReceiveMore(SOCKET s, std::vector<char>& into, DWORD waitMs) {
  if (waitMs != INFINITE) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait = {long(waitMs / 1000), long(waitMs % 1000 * 1000)};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return -1;
  }
  char buffer[8192];
  int n = recv(s, buffer, sizeof buffer, 0);
  if (n > 0) into.insert(into.end(), buffer, buffer + n);
  return n;
}

// A plain-text service (a web or mail server on the wrong port) answers in
// printable lines where a TLS server sends binary records.
bool LooksLikeText(const std::vector<char>& data) {
  if (data.size() < 4) return false;
  for (size_t i = 0; i < data.size() && i < 64; ++i) {
    unsigned char c = static_cast<unsigned char>(data[i]);
    if (c < 32 && c != '\r' && c != '\n' && c != '\t') return false;
    if (c > 126) return false;
  }
  return true;
}

// Its first line, shortened, for the operator.
std::string Excerpt(const std::vector<char>& data) {
  std::string line;
  for (size_t i = 0; i < data.size() && line.size() < 80 && data[i] != '\r' && data[i] != '\n'; ++i)
    line += data[i] == '"' ? '\'' : data[i];
  return line;
}

void FreeSession(Session* s) {
  if (s->haveContext) DeleteSecurityContext(&s->context);
  FreeCredentialsHandle(&s->credentials);
  SecureZeroMemory(s->plain.data(), s->plain.size());
  delete s;
}

bool Handshake(Session* s, char* errorText) {
  const ULONG request = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                        ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                        ISC_REQ_MANUAL_CRED_VALIDATION;
  ULONG attributes = 0;
  bool first = true;
  for (;;) {
    SecBuffer inBuffers[2] = {{ULONG(s->incoming.size()), SECBUFFER_TOKEN, s->incoming.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in = {SECBUFFER_VERSION, 2, inBuffers};
    SecBuffer outBuffer = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out = {SECBUFFER_VERSION, 1, &outBuffer};
    SECURITY_STATUS status = InitializeSecurityContextA(
        &s->credentials, first ? nullptr : &s->context, nullptr, request, 0, 0, first ? nullptr : &in, 0,
        first ? &s->context : nullptr, &out, &attributes, nullptr);
    if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) s->haveContext = true;
    first = false;

    if (outBuffer.cbBuffer && outBuffer.pvBuffer) {
      bool sent = SendAll(s->socket, static_cast<const char*>(outBuffer.pvBuffer), outBuffer.cbBuffer);
      FreeContextBuffer(outBuffer.pvBuffer);
      if (!sent) {
        SetError(errorText, "TLS handshake failed: the connection was lost while sending (error %d).",
                 WSAGetLastError());
        return false;
      }
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      // Wait for the rest of the record.
    } else if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) {
      // Keep what belongs to the next record (or, at the end, to the data).
      if (inBuffers[1].BufferType == SECBUFFER_EXTRA && inBuffers[1].cbBuffer <= s->incoming.size())
        s->incoming.erase(s->incoming.begin(), s->incoming.end() - long(inBuffers[1].cbBuffer));
      else
        s->incoming.clear();
      if (status == SEC_E_OK) return true;
      if (!s->incoming.empty()) continue;
    } else {
      SetError(errorText, "TLS handshake failed: %s", StatusText(status).c_str());
      return false;
    }
    if (s->incoming.size() > kMaxRecord * 4) {
      SetError(errorText, "TLS handshake failed: the server sent too much without completing a record.");
      return false;
    }
    int n = ReceiveMore(s->socket, s->incoming, kHandshakeWaitMs);
    if (n <= 0 && LooksLikeText(s->incoming)) {
      SetError(errorText, "TLS handshake failed: the server does not speak TLS; it answered \"%s\".",
               Excerpt(s->incoming).c_str());
      return false;
    }
    if (n == 0) {
      SetError(errorText, "TLS handshake failed: the server closed the connection.");
      return false;
    }
    if (n < 0) {
      SetError(errorText, "TLS handshake failed: no answer from the server within %lu seconds (error %d).",
               static_cast<unsigned long>(kHandshakeWaitMs / 1000), WSAGetLastError());
      return false;
    }
  }
}

// Decrypts whole records from `incoming` into `plain`. False on a fatal error.
bool DecryptPending(Session* s) {
  while (!s->incoming.empty() && !s->peerClosed) {
    SecBuffer buffers[4] = {{ULONG(s->incoming.size()), SECBUFFER_DATA, s->incoming.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = DecryptMessage(&s->context, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return true;
    if (status == SEC_I_CONTEXT_EXPIRED) {
      s->peerClosed = true;
      return true;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) return false;
    size_t extra = 0;
    for (const SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_DATA && b.pvBuffer)
        s->plain.insert(s->plain.end(), static_cast<char*>(b.pvBuffer), static_cast<char*>(b.pvBuffer) + b.cbBuffer);
      if (b.BufferType == SECBUFFER_EXTRA) extra = b.cbBuffer;
    }
    if (extra > s->incoming.size()) extra = 0;
    s->incoming.erase(s->incoming.begin(), s->incoming.end() - long(extra));
    if (status == SEC_I_RENEGOTIATE) return false;  // not supported by this library
  }
  return true;
}

}  // namespace

ZARQTLS_API int __cdecl sslInitLib(void) {
  // Ready when the system offers the SChannel package.
  PSecPkgInfoA info = nullptr;
  if (QuerySecurityPackageInfoA(const_cast<char*>(UNISP_NAME_A), &info) != SEC_E_OK) return 0;
  FreeContextBuffer(info);
  return 1;
}

ZARQTLS_API void __cdecl sslTermLib(void) {}

ZARQTLS_API SSLSESSION __cdecl sslInitSession(UINT_PTR socket, char* errorText) {
  if (errorText) *errorText = '\0';
  if (socket == UINT_PTR(INVALID_SOCKET)) {
    SetError(errorText, "TLS handshake failed: no connection.");
    return nullptr;
  }
  auto* s = new Session;
  s->socket = SOCKET(socket);
  SCHANNEL_CRED cred = {};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  SECURITY_STATUS status = AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                                     nullptr, &cred, nullptr, nullptr, &s->credentials, nullptr);
  if (status != SEC_E_OK) {
    SetError(errorText, "TLS is not available: %s", StatusText(status).c_str());
    delete s;
    return nullptr;
  }
  if (!Handshake(s, errorText)) {
    FreeSession(s);
    return nullptr;
  }
  status = QueryContextAttributesA(&s->context, SECPKG_ATTR_STREAM_SIZES, &s->sizes);
  if (status != SEC_E_OK) {
    SetError(errorText, "TLS session failed: %s", StatusText(status).c_str());
    FreeSession(s);
    return nullptr;
  }
  return s;
}

ZARQTLS_API SSLSESSION __cdecl sslAcceptSession(UINT_PTR, char* errorText) {
  SetError(errorText, "This TLS library has no server side: it cannot accept TLS connections.");
  return nullptr;
}

ZARQTLS_API void __cdecl sslFreeSession(SSLSESSION session) {
  auto* s = static_cast<Session*>(session);
  if (!s) return;
  // Tell the peer we are closing (close_notify), when the session still stands.
  DWORD shutdown = SCHANNEL_SHUTDOWN;
  SecBuffer token = {sizeof shutdown, SECBUFFER_TOKEN, &shutdown};
  SecBufferDesc desc = {SECBUFFER_VERSION, 1, &token};
  if (!s->peerClosed && ApplyControlToken(&s->context, &desc) == SEC_E_OK) {
    SecBuffer outBuffer = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out = {SECBUFFER_VERSION, 1, &outBuffer};
    ULONG attributes = 0;
    if (InitializeSecurityContextA(&s->credentials, &s->context, nullptr,
                                   ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_CONFIDENTIALITY, 0, 0, nullptr,
                                   0, nullptr, &out, &attributes, nullptr) == SEC_E_OK &&
        outBuffer.pvBuffer) {
      SendAll(s->socket, static_cast<const char*>(outBuffer.pvBuffer), outBuffer.cbBuffer);
    }
    if (outBuffer.pvBuffer) FreeContextBuffer(outBuffer.pvBuffer);
  }
  FreeSession(s);
}

ZARQTLS_API int __cdecl sslSend(SSLSESSION session, const void* data, int length) {
  auto* s = static_cast<Session*>(session);
  if (!s || length < 0 || (!data && length > 0)) return -1;
  const char* p = static_cast<const char*>(data);
  int left = length;
  std::vector<char> record(s->sizes.cbHeader + s->sizes.cbMaximumMessage + s->sizes.cbTrailer);
  while (left > 0) {
    ULONG chunk = ULONG(left) < s->sizes.cbMaximumMessage ? ULONG(left) : s->sizes.cbMaximumMessage;
    memcpy(record.data() + s->sizes.cbHeader, p, chunk);
    SecBuffer buffers[4] = {{s->sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                            {chunk, SECBUFFER_DATA, record.data() + s->sizes.cbHeader},
                            {s->sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + s->sizes.cbHeader + chunk},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(&s->context, 0, &desc, 0) != SEC_E_OK) return -1;
    if (!SendAll(s->socket, record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer)) return -1;
    p += chunk;
    left -= int(chunk);
  }
  return length;
}

ZARQTLS_API int __cdecl sslRecv(SSLSESSION session, void* buffer, int size) {
  auto* s = static_cast<Session*>(session);
  if (!s || size < 0 || (!buffer && size > 0)) return -1;
  while (s->plain.empty()) {
    if (s->peerClosed) return 0;
    if (s->incoming.size() > kMaxRecord * 2) return -1;
    int n = ReceiveMore(s->socket, s->incoming, INFINITE);
    if (n == 0) return 0;
    if (n < 0) return -1;
    if (!DecryptPending(s)) return -1;
  }
  size_t take = s->plain.size() < size_t(size) ? s->plain.size() : size_t(size);
  memcpy(buffer, s->plain.data(), take);
  s->plain.erase(s->plain.begin(), s->plain.begin() + long(take));
  return int(take);
}

ZARQTLS_API int __cdecl sslDataPending(SSLSESSION session) {
  auto* s = static_cast<Session*>(session);
  if (!s) return 0;
  if (!DecryptPending(s)) return 0;
  return int(s->plain.size());
}

ZARQTLS_API int __cdecl sslServerCertExists(void) { return 0; }
ZARQTLS_API int __cdecl sslSignedCertExists(void) { return 0; }

ZARQTLS_API int __cdecl sslGenerateCertificate(const char*, char* errorText) {
  SetError(errorText, "This TLS library has no server side: it cannot create server certificates.");
  return 0;
}
