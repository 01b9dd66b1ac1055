// The four service queries answered by one listing of the service manager:
// each query of its own opens the manager, which costs more than the listing.
// The listing leaves out the services the caller may not query, so a listed
// service is one that "can be opened for status query".
#include <cstring>
#include <vector>

#include "service/scmaccess.h"
#include "service/services.h"

namespace {

bool IsActiveState(DWORD state) {
  return state == SERVICE_RUNNING || state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
}

}  // namespace

ServicePairState QueryServicePair() {
  ServicePairState s;
  SC_HANDLE manager = OpenServiceManager(GENERIC_READ);
  if (!manager) return s;
  std::vector<char> buffer(65536);
  DWORD resume = 0;
  for (;;) {
    DWORD needed = 0, count = 0;
    BOOL done = EnumServicesStatusA(manager, SERVICE_WIN32, SERVICE_STATE_ALL,
                                    reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data()), DWORD(buffer.size()),
                                    &needed, &count, &resume);
    if (!done && GetLastError() != ERROR_MORE_DATA) break;
    const ENUM_SERVICE_STATUSA* entries = reinterpret_cast<const ENUM_SERVICE_STATUSA*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      bool active = IsActiveState(entries[i].ServiceStatus.dwCurrentState);
      if (lstrcmpiA(entries[i].lpServiceName, "ZarqSMS") == 0) {
        s.smsInstalled = true;
        s.smsActive = active;
      } else if (lstrcmpiA(entries[i].lpServiceName, "ZarqMMSC") == 0) {
        s.mmscInstalled = true;
        s.mmscActive = active;
      }
    }
    if (done) break;
    if (!count) {  // not even one entry fitted
      if (needed <= buffer.size()) break;
      buffer.resize(needed);
    }
  }
  CloseServiceHandle(manager);
  return s;
}
