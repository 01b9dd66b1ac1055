// The MM7 receiver account's settings: the lists the dialog offers, the 3GPP
// schema namespaces, and how a server address names the host, port and
// whether TLS is spoken. Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>

#include "core/textrules.h"

constexpr size_t kMm7VersionCount = 18;
constexpr size_t kMm7SchemaCount = 10;
constexpr size_t kMm7VariationCount = 5;
extern const char* const kMm7Versions[kMm7VersionCount];
extern const char* const kMm7Schemas[kMm7SchemaCount];
extern const char* const kMm7Variations[kMm7VariationCount];

// What is selected when the file says nothing, and what is then not written.
constexpr char kMm7DefaultVersion[] = "5.3.0";
constexpr char kMm7DefaultSchema[] = "REL-5-MM7-1-2";
// The schema entry shown for a namespace outside the 3GPP ones; it leaves
// the stored namespace as it is.
constexpr char kMm7CustomSchema[] = "(Custom)";

// Indexes into kMm7Variations.
enum Mm7Variation { kMm7Standard, kMm7PhpUpload, kMm7Ericsson, kMm7LogicaCmg, kMm7AnnyWay };

// The published MM7 namespaces of 3GPP TS 23.140 are this prefix followed by
// the release name.
extern const char kMm7SchemaPrefix[];
std::string Mm7SchemaNamespace(const char* release);
// The listed release a stored namespace names (prefix compared over its whole
// length without regard to case), or -1.
int Mm7SchemaRelease(const char* ns, const UpperTable* upper = nullptr);

// Where the connection test goes for a server address as typed.
struct Mm7ServerAddress {
  std::string host;
  unsigned port = 80;
  bool tls = false;
};
// "http://" or "https://" (any case) dropped, the latter meaning TLS and port
// 443 unless one is given; the rest cut at the first "/"; "host:port" split
// at its colon.
Mm7ServerAddress ParseMm7ServerAddress(const char* address, const UpperTable* upper = nullptr);

// A host name followed by "#" and nothing but decimal digits is resolved
// without that suffix; in place.
void CutHostNumberSuffix(char* host);
