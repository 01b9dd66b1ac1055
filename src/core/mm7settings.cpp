#include "core/mm7settings.h"

#include <cstring>

const char* const kMm7Versions[kMm7VersionCount] = {"5.2.0",  "5.3.0",  "5.4.0", "5.5.0", "5.6.0", "5.7.0",
                                                    "5.8.0",  "5.9.0",  "5.10.0", "5.11.0", "6.0.0", "6.1.0",
                                                    "6.2.0",  "6.3.0",  "6.4.0", "6.5.0", "6.6.0", "6.7.0"};

const char* const kMm7Schemas[kMm7SchemaCount] = {"REL-5-MM7-1-0", "REL-5-MM7-1-1", "REL-5-MM7-1-2", "REL-5-MM7-1-3",
                                                  "REL-5-MM7-1-4", "REL-5-MM7-1-5", "REL-6-MM7-1-0", "REL-6-MM7-1-1",
                                                  "REL-6-MM7-1-2", "REL-6-MM7-1-3"};

const char* const kMm7Variations[kMm7VariationCount] = {"None - Use Standard MM7", "PHP Multipart File Upload",
                                                        "Ericsson", "LogicaCMG - PAP", "AnnyWay"};

const char kMm7SchemaPrefix[] = "http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/";

std::string Mm7SchemaNamespace(const char* release) { return std::string(kMm7SchemaPrefix) + release; }

int Mm7SchemaRelease(const char* ns, const UpperTable* upper) {
  if (!StartsWithNoCase(ns, kMm7SchemaPrefix, upper)) return -1;
  const char* release = ns + std::strlen(kMm7SchemaPrefix);
  for (size_t i = 0; i < kMm7SchemaCount; ++i)
    if (CompareNoCase(release, kMm7Schemas[i], upper) == 0) return int(i);
  return -1;
}

Mm7ServerAddress ParseMm7ServerAddress(const char* address, const UpperTable* upper) {
  Mm7ServerAddress result;
  if (StartsWithNoCase(address, "http://", upper)) {
    address += 7;
  } else if (StartsWithNoCase(address, "https://", upper)) {
    address += 8;
    result.tls = true;
  }
  result.port = result.tls ? 443 : 80;
  std::string rest(address, std::strcspn(address, "/"));
  size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    result.port = DecimalValue(rest.c_str() + colon + 1);
    rest.resize(colon);
  }
  result.host = rest;
  return result;
}

void CutHostNumberSuffix(char* host) {
  char* hash = std::strchr(host, '#');
  if (hash && std::strspn(hash + 1, "0123456789") == std::strlen(hash + 1)) *hash = '\0';
}
