// A ZARQLINK.DLL for the binding tests: every export of the real one, doing
// nothing, except what the build leaves out (FIXTURE_WITHOUT_MODEMRELEASE: a
// required export; FIXTURE_WITHOUT_OPTIONAL: the optional ones).
#define ZARQLINK_BUILD
#ifdef FIXTURE_WITHOUT_MODEMRELEASE
#define ModemRelease ModemRelease_missing  // exported under another name only
#endif
#include "gateway/zarqlink.h"

template <typename T>
T Nothing() {
  return T();
}
#define FIXTURE_DEFINE(ret, name, args) \
  ZARQLINK_API ret __cdecl name args { return Nothing<ret>(); }
ZARQLINK_EXPORTS(FIXTURE_DEFINE)
#ifndef FIXTURE_WITHOUT_OPTIONAL
ZARQLINK_OPTIONAL_EXPORTS(FIXTURE_DEFINE)
#endif
