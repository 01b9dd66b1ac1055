// ZARQGATESVC.EXE, the SMS gateway service `ZarqSMS` (stand-in): status block
// "ZARQ_SMSGW_ShMem", web interface on WebPort (8800 when unset) and the SMPP
// server on SMPPPort (when set) of [SMSGW] in SMSGW.INI.
#include "gatewaysvc.h"

int main() {
  static const gatewaysvc::PortSetting kPorts[] = {
      {"WebPort", 8800, 2},
      {"SMPPPort", 0, 4},
  };
  static const gatewaysvc::Description kService = {
      "ZarqSMS", "ZARQ_SMSGW_ShMem", "SMSGW.INI", "SMSGW", true, kPorts, 2, "Zarq SMS Gateway Lite Edition"};
  return gatewaysvc::Run(kService);
}
