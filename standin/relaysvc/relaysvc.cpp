// ZARQRELAYSVC.EXE, the MMSC service `ZarqMMSC` (stand-in): status block
// "ZARQ_MMSC_ShMem", the MM7/EAIF interface on WebPort of [MMSC] in MMSC.INI
// (only when set), and the message work of mmscwork.h: the outbound MMS
// queue sent to the operator's MMSC, received MMS fetched and stored.
#include "gatewaysvc.h"
#include "mmscwork.h"

int main() {
  static const gatewaysvc::PortSetting kPorts[] = {
      {"WebPort", 0, 2},
  };
  static const gatewaysvc::Description kService = {
      "ZarqMMSC", "ZARQ_MMSC_ShMem", "MMSC.INI", "MMSC", false, kPorts, 1, "Zarq MMS Gateway Lite Edition",
      mmsc::Run};
  return gatewaysvc::Run(kService);
}
