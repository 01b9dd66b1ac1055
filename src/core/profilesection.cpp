#include "core/profilesection.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "core/textrules.h"

namespace {

constexpr unsigned kAlwaysProbed = 201;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// [begin, end) without blanks at either end.
void Trim(const char** begin, const char** end) {
  while (*begin < *end && IsBlank(**begin)) ++*begin;
  while (*end > *begin && IsBlank((*end)[-1])) --*end;
}

struct Entry {
  std::string key;
  std::string value;
};

// Calls `visit` for each entry until it returns false.
template <typename Visit>
void ForEachEntry(const char* section, size_t size, Visit visit) {
  if (!section) return;
  const char* p = section;
  const char* limit = section + size;
  while (p < limit && *p) {
    const char* nul = static_cast<const char*>(std::memchr(p, 0, size_t(limit - p)));
    const char* entryEnd = nul ? nul : limit;
    const char* eq = static_cast<const char*>(std::memchr(p, '=', size_t(entryEnd - p)));
    const char* keyBegin = p;
    const char* keyEnd = eq ? eq : entryEnd;
    const char* valueBegin = eq ? eq + 1 : entryEnd;
    const char* valueEnd = entryEnd;
    Trim(&keyBegin, &keyEnd);
    Trim(&valueBegin, &valueEnd);
    if (valueEnd - valueBegin >= 2 && (*valueBegin == '"' || *valueBegin == '\'') && valueEnd[-1] == *valueBegin) {
      ++valueBegin;
      --valueEnd;
    }
    Entry e{std::string(keyBegin, keyEnd), std::string(valueBegin, valueEnd)};
    if (!visit(e)) return;
    p = entryEnd + 1;
  }
}

// The number of a "Modem%u" key, 0 when the key is not one.
unsigned ModemKeyNumber(const std::string& key) {
  if (!StartsWithNoCase(key.c_str(), "Modem") || key.size() == 5 || key.size() > 14) return 0;
  unsigned long long n = 0;
  for (size_t i = 5; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return 0;
    n = n * 10 + unsigned(key[i] - '0');
  }
  if (key[5] == '0' || n > 0xFFFFFFFFull) return 0;  // "%u" never writes a leading zero
  return unsigned(n);
}

}  // namespace

bool SectionValue(const char* section, size_t size, const char* key, std::string* value) {
  bool found = false;
  ForEachEntry(section, size, [&](const Entry& e) {
    if (CompareNoCase(e.key.c_str(), key) != 0) return true;
    *value = e.value;
    found = true;
    return false;
  });
  return found;
}

std::vector<std::string> ConfiguredModemNames(const char* section, size_t size, size_t maxLength) {
  std::map<unsigned, std::string> byNumber;  // the first entry of each number wins
  ForEachEntry(section, size, [&](const Entry& e) {
    unsigned n = ModemKeyNumber(e.key);
    if (n) byNumber.emplace(n, e.value);
    return true;
  });
  std::vector<std::string> names;
  for (unsigned i = 1; i != 0; ++i) {
    auto it = byNumber.find(i);
    if (it == byNumber.end()) {
      if (i > kAlwaysProbed) break;
      continue;
    }
    if (!it->second.empty()) names.push_back(it->second.substr(0, maxLength));
  }
  return names;
}
