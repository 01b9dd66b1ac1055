#include "gateway/linkbinding.h"

namespace {

template <typename F>
bool Resolve(HMODULE module, const char* name, F& slot) {
  slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
}

const LinkLibrary* LoadLink() {
  static LinkLibrary lib;
  HMODULE module = LoadLibraryA("ZARQLINK.DLL");
  if (!module) return nullptr;
  bool complete = true;
#define ZARQLINK_REQUIRE(ret, name, args) complete = Resolve(module, #name, lib.name) && complete;
  ZARQLINK_EXPORTS(ZARQLINK_REQUIRE)
#undef ZARQLINK_REQUIRE
  if (!complete) {
    FreeLibrary(module);
    lib = LinkLibrary();
    return nullptr;
  }
#define ZARQLINK_OPTIONAL(ret, name, args) Resolve(module, #name, lib.name);
  ZARQLINK_OPTIONAL_EXPORTS(ZARQLINK_OPTIONAL)
#undef ZARQLINK_OPTIONAL
  return &lib;  // stays loaded for the life of the process
}

const TlsLibrary* LoadTls() {
  static TlsLibrary lib;
  HMODULE module = LoadLibraryA("ZARQTLS.DLL");
  if (!module) return nullptr;
  bool complete = true;
#define ZARQTLS_REQUIRE(ret, name, args) complete = Resolve(module, #name, lib.name) && complete;
  ZARQTLS_EXPORTS(ZARQTLS_REQUIRE)
#undef ZARQTLS_REQUIRE
  if (!complete) {
    FreeLibrary(module);
    lib = TlsLibrary();
    return nullptr;
  }
  return &lib;
}

}  // namespace

// Function-local statics: loaded once, safely even when two threads ask first.
const LinkLibrary* BindLinkLibrary() {
  static const LinkLibrary* lib = LoadLink();
  return lib;
}

const TlsLibrary* BindTlsLibrary() {
  static const TlsLibrary* lib = LoadTls();
  return lib;
}
