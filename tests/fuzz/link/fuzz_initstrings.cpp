// Modem driver init strings (registry values anyone with rights may edit) and
// the modem's own answers.
#include <cstdint>
#include <string>

#include "gatewayaddress.h"
#include "initstrings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string all(reinterpret_cast<const char*>(data), size);
  size_t cut = all.find('\n');
  std::string init = all.substr(0, cut);
  std::string apn = cut == std::string::npos ? "internet" : all.substr(cut + 1, 120);
  for (const PdpDefinition& d : FindPdpDefinitions(init))
    if (d.begin >= d.end || d.end > init.size() || d.cid == 0 || d.cid >= 1000) __builtin_trap();
  std::vector<std::string> inits = {init, all};
  unsigned own = CidForApn(inits, apn);
  unsigned chosen = ChooseCidForApn(inits, apn);
  if (own && chosen != own) __builtin_trap();
  if (chosen >= 100 && chosen != own) __builtin_trap();
  if (IsUsableApn(apn) && apn.find('"') != std::string::npos) __builtin_trap();

  unsigned code = 0;
  (void)ClassifyAtReply(all.data(), all.size(), &code);
  std::string host;
  unsigned port = 0;
  if (ParseGatewayAddress(all, &host, &port) && (host.empty() || port > 65535)) __builtin_trap();
  return 0;
}
