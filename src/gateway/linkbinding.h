// Run-time binding of the link and TLS libraries: loaded by file name on first
// use, at most once per process, the outcome remembered. A library counts only
// when every required export resolves; otherwise it is freed again. Optional
// exports are looked up separately and may be null.
#pragma once
#include "gateway/zarqlink.h"
#include "gateway/zarqtls.h"

struct LinkLibrary {
#define ZARQLINK_SLOT(ret, name, args) PFN_##name name;
  ZARQLINK_EXPORTS(ZARQLINK_SLOT)
  ZARQLINK_OPTIONAL_EXPORTS(ZARQLINK_SLOT)  // null when absent
#undef ZARQLINK_SLOT
};

struct TlsLibrary {
#define ZARQTLS_SLOT(ret, name, args) PFN_##name name;
  ZARQTLS_EXPORTS(ZARQTLS_SLOT)
#undef ZARQTLS_SLOT
};

// ZARQLINK.DLL, or null when it is not available.
const LinkLibrary* BindLinkLibrary();
// ZARQTLS.DLL, or null when it is not available.
const TlsLibrary* BindTlsLibrary();
