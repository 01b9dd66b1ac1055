// A WAP gateway address as the gateway's settings hold it: "a.b.c.d",
// "host:port", or a URL form "http:host[:port][/...]" / "http://host...".
// Pure code: no <windows.h>.
#pragma once
#include <string>

// Host and port (0 when the text names none). False when no host can be
// read: empty, blanks inside, a port that is not 1 to 65535.
bool ParseGatewayAddress(const std::string& text, std::string* host, unsigned* port);
