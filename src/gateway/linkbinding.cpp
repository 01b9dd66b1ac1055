#include "gateway/linkbinding.h"

namespace {

template <typename F>
bool Resolve(HMODULE module, const char* name, F& slot) {
  slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
}

// One slot of a library's export list: a required export that is missing
// makes the library incomplete; an optional one may stay null.
#define ZARQ_BIND_REQUIRED(ret, name, args) complete = Resolve(module, #name, lib->name) && complete;
#define ZARQ_BIND_OPTIONAL(ret, name, args) Resolve(module, #name, lib->name);

bool BindLinkExports(HMODULE module, LinkLibrary* lib) {
  bool complete = true;
  ZARQLINK_EXPORTS(ZARQ_BIND_REQUIRED)
  ZARQLINK_OPTIONAL_EXPORTS(ZARQ_BIND_OPTIONAL)
  return complete;
}

bool BindTlsExports(HMODULE module, TlsLibrary* lib) {
  bool complete = true;
  ZARQTLS_EXPORTS(ZARQ_BIND_REQUIRED)
  return complete;
}

#undef ZARQ_BIND_REQUIRED
#undef ZARQ_BIND_OPTIONAL

// Loads `file` and binds its exports; a library that lacks a required
// export is freed again. A bound library stays loaded for the life of the
// process.
template <class Library>
const Library* Load(const char* file, bool (*bind)(HMODULE, Library*)) {
  static Library lib;
  HMODULE module = LoadLibraryA(file);
  if (!module) return nullptr;
  if (bind(module, &lib)) return &lib;
  FreeLibrary(module);
  lib = Library();
  return nullptr;
}

}  // namespace

// Function-local statics: loaded once, safely even when two threads ask first.
const LinkLibrary* BindLinkLibrary() {
  static const LinkLibrary* lib = Load<LinkLibrary>("ZARQLINK.DLL", BindLinkExports);
  return lib;
}

const TlsLibrary* BindTlsLibrary() {
  static const TlsLibrary* lib = Load<TlsLibrary>("ZARQTLS.DLL", BindTlsExports);
  return lib;
}
