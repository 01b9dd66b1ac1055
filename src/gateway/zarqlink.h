// ZARQLINK.DLL, the gateway's GPRS/WAP link library, loaded at run time
// (gateway/linkbinding.h). One declaration of every export serves the
// program (as pointer types) and the library itself (as definitions).
#pragma once
#include <windows.h>

#ifdef ZARQLINK_BUILD
#define ZARQLINK_API extern "C" __declspec(dllexport)
#else
#define ZARQLINK_API extern "C"
#endif

// A modem lent by the gateway service; 0 = not lent.
typedef void* MODEMLEASE;
// An open session with a WAP gateway; 0 = none.
typedef void* WSPSESSION;

// Prefix of the data-connection names that stand for a Windows modem itself.
#define ZARQLINK_MODEM_PREFIX "Modem: "

// What ModemAllocate reports through its third argument.
enum ModemAllocateDetail {
  MODEM_ALLOC_NO_SERVICE = 0,  // no service holds modems: nothing to hand over
  MODEM_ALLOC_LENT = 1,        // the service let go of the modem
  MODEM_ALLOC_REFUSED = 2,     // the service could not let go within the wait limit
  MODEM_ALLOC_TIMEOUT = 3,     // no answer within the wait limit
  MODEM_ALLOC_BUSY = 4,        // another program has borrowed the modem
};

#define ZARQLINK_EXPORTS(X)                                                                                     \
  /* Dials `profile` ("Modem: " + modem name, or a dial-up entry), then checks that the WAP gateway        \
     answers. 0: link up and gateway answered (close it with WSPRasHangUp); 1: gateway unreachable;        \
     600 to 799: remote-access error; anything else: failure. */                                            \
  X(int, WSPRasDial,                                                                                        \
    (const char* profile, const char* apn, const char* apnLogin, const char* apnPassword,                   \
     const char* wapGateway))                                                                               \
  /* Closes the link a successful WSPRasDial left open; non-zero when there was one. */                     \
  X(int, WSPRasHangUp, (const char* profile))                                                               \
  /* TCP session with a WAP gateway acting as HTTP proxy: "a.b.c.d", "host:port" or "http:..." form;        \
     port 0 = the one in the text, else 8080. */                                                            \
  X(WSPSESSION, WSPConnect, (const char* wapGateway, unsigned port, unsigned timeoutMs))                    \
  X(void, WSPDisconnect, (WSPSESSION session))                                                              \
  /* One request through the gateway; returns the HTTP status (0 on failure) and up to replySize bytes of   \
     the reply body. */                                                                                     \
  X(int, WSPRequest,                                                                                        \
    (WSPSESSION session, const char* method, const char* url, const char* contentType, const void* body,     \
     unsigned bodyLength, void* reply, unsigned replySize, unsigned* replyLength))                           \
  /* Asks the gateway service to let go of `modemName`. The wait limit is in seconds when below 1000,       \
     otherwise in milliseconds. Non-zero: the program may open the modem until ModemRelease. */            \
  X(MODEMLEASE, ModemAllocate, (const char* modemName, unsigned waitLimit, unsigned* detail))              \
  /* Service side: non-zero while a program waits for `modemName` (any modem when null or empty). */        \
  X(int, ModemRequested, (const char* modemName))                                                           \
  X(void, ModemRelease, (MODEMLEASE lease))                                                                 \
  /* Adds each dial-up entry, then "Modem: " + name of each Windows modem, to control `controlId` of        \
     `dialog` with `addMessage` (CB_ADDSTRING, LB_ADDSTRING); returns how many were added. */                \
  X(int, RasLoadListOrComboBox, (HWND dialog, int controlId, UINT addMessage))                              \
  /* Stored user name and password of a dial-up entry; non-zero when the entry exists. */                   \
  X(int, RasGetUserAndPassword,                                                                             \
    (const char* profile, char* user, unsigned userSize, char* password, unsigned passwordSize))             \
  /* The device a profile dials through; non-zero when known. */                                            \
  X(int, RasGetModemName, (const char* profile, char* modemName, unsigned size))

#define ZARQLINK_OPTIONAL_EXPORTS(X)                                                                        \
  /* flag 0: the context number the modem driver's init strings define for `apn`, 0 when none.             \
     flag 1: the context number the APN would get (its own, else the first free one), 0 when the modem     \
     has no driver settings to change. */                                                                   \
  X(unsigned short, ModemGetCIDForAPN, (const char* modemName, const char* apn, int flag))                  \
  /* Defines the APN's context in the driver's init strings; non-zero only when something changed. */       \
  X(int, ModemDriverUpdateInitStrings, (const char* modemName, const char* apn))                            \
  /* Appends the text of a WSPRasDial result at the end of `text`, writing at most `roomLeft` bytes there    \
     (terminator included). */                                                                               \
  X(int, WSPRasGetErrorString, (unsigned error, char* text, unsigned roomLeft))                            \
  /* Restores the modem's stored profile (ATZ); non-zero when it answered OK. */                            \
  X(int, ModemReset, (const char* modemName))

#define ZARQLINK_DECLARE(ret, name, args)   \
  typedef ret(__cdecl* PFN_##name) args; \
  ZARQLINK_API ret __cdecl name args;
ZARQLINK_EXPORTS(ZARQLINK_DECLARE)
ZARQLINK_OPTIONAL_EXPORTS(ZARQLINK_DECLARE)
#undef ZARQLINK_DECLARE
