// ZARQRELAYSVC.EXE, the MMSC service `ZarqMMSC` (stand-in): status block
// "ZARQ_MMSC_ShMem" and the MM7/EAIF interface on WebPort of [MMSC] in
// MMSC.INI (only when set).
#include "gatewaysvc.h"

int main() {
  static const gatewaysvc::PortSetting kPorts[] = {
      {"WebPort", 0, 2},
  };
  static const gatewaysvc::Description kService = {
      "ZarqMMSC", "ZARQ_MMSC_ShMem", "MMSC.INI", "MMSC", false, kPorts, 1, "Zarq MMS Gateway Lite Edition"};
  return gatewaysvc::Run(kService);
}
