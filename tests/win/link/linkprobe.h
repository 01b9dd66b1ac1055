// The exit-code bits of linkprobe.exe, read by the binding tests.
#pragma once

enum {
  kLinkBound = 1,
  kOptionalFound = 2,
  kLinkModuleLoaded = 4,
  kSameOutcome = 8,
  kTlsBound = 16,
  kTlsModuleLoaded = 32,
};
