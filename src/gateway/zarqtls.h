// ZARQTLS.DLL, the gateway's TLS library, loaded at run time
// (gateway/linkbinding.h). Sessions run over a socket the caller connected and
// closes itself; the socket is passed as its integer value (SOCKET).
#pragma once
#include <windows.h>

#ifdef ZARQTLS_BUILD
#define ZARQTLS_API extern "C" __declspec(dllexport)
#else
#define ZARQTLS_API extern "C"
#endif

typedef void* SSLSESSION;

// Size of the error text buffers the session calls fill.
#define ZARQTLS_ERROR_TEXT_SIZE 2048

#define ZARQTLS_EXPORTS(X)                                                                                  \
  /* Client handshake on a connected socket; non-zero once done, else 0 and the reason in errorText. */     \
  X(SSLSESSION, sslInitSession, (UINT_PTR socket, char* errorText))                                         \
  /* Server handshake; this library offers no server side and says so in errorText. */                      \
  X(SSLSESSION, sslAcceptSession, (UINT_PTR socket, char* errorText))                                       \
  /* Sends a closing alert when it can and frees the session (not the socket). */                           \
  X(void, sslFreeSession, (SSLSESSION session))                                                             \
  /* Bytes sent (all of them), or -1. */                                                                    \
  X(int, sslSend, (SSLSESSION session, const void* data, int length))                                       \
  /* Bytes received (blocking until some arrive), 0 when the peer closed, -1 on failure. */                 \
  X(int, sslRecv, (SSLSESSION session, void* buffer, int size))                                             \
  /* Decrypted bytes waiting to be read without touching the socket. */                                    \
  X(int, sslDataPending, (SSLSESSION session))                                                              \
  /* Non-zero when TLS is ready for use in this process. */                                                 \
  X(int, sslInitLib, (void))                                                                                \
  X(void, sslTermLib, (void))                                                                               \
  /* Server certificates: none are kept by this library. */                                                 \
  X(int, sslServerCertExists, (void))                                                                       \
  X(int, sslSignedCertExists, (void))                                                                       \
  X(int, sslGenerateCertificate, (const char* commonName, char* errorText))

#define ZARQTLS_DECLARE(ret, name, args)    \
  typedef ret(__cdecl* PFN_##name) args; \
  ZARQTLS_API ret __cdecl name args;
ZARQTLS_EXPORTS(ZARQTLS_DECLARE)
#undef ZARQTLS_DECLARE
