// Binds the link and TLS libraries in a process of its own, the way the
// program does, and reports through its exit code (bits below). With
// "hold NAME" it borrows that modem from the service and ends without giving
// it back (exit code: the allocation detail, 100 when the library is missing).
#include <cstdio>
#include <cstring>

#include "gateway/linkbinding.h"
#include "linkprobe.h"

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "hold") == 0) {
    const LinkLibrary* link = BindLinkLibrary();
    if (!link) return 100;
    unsigned detail = 99;
    MODEMLEASE lease = link->ModemAllocate(argv[2], 5, &detail);
    printf("lease %p detail %u\n", lease, detail);
    return int(detail);  // ends holding the modem
  }
  const LinkLibrary* link = BindLinkLibrary();
  const TlsLibrary* tls = BindTlsLibrary();
  int bits = 0;
  if (link) bits |= kLinkBound;
  if (link && link->ModemGetCIDForAPN && link->ModemDriverUpdateInitStrings && link->WSPRasGetErrorString &&
      link->ModemReset)
    bits |= kOptionalFound;
  if (GetModuleHandleA("ZARQLINK.DLL")) bits |= kLinkModuleLoaded;
  if (BindLinkLibrary() == link && BindTlsLibrary() == tls) bits |= kSameOutcome;
  if (tls) bits |= kTlsBound;
  if (GetModuleHandleA("ZARQTLS.DLL")) bits |= kTlsModuleLoaded;
  printf("bits %d\n", bits);
  return bits;
}
