// The SMS gateway's web interface on WebPort: a status page (modem, queue,
// today's counts) with a form that queues a text message, and the same as a
// URL ("/?PhoneNumber=...&Text=..."). With `WebAuth` = Yes in [SMSGW] every
// page asks for a login (HTTP Basic) checked against the gateway's user
// accounts (SMSUSERS.DAT, through ZARQACCT.DLL): the user's password, and web
// login enabled for that user.
#pragma once
#include <winsock2.h>

// Answers one connection and closes it.
void ServeWebClient(SOCKET client, const char* ini);
