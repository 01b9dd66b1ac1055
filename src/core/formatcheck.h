// Compile-time checking of printf-style formats: the compiler compares the
// arguments with the format, and -Wformat-nonliteral refuses a format it
// cannot see. Declare a function as
//   int Say(int level, ZARQ_FORMAT_STRING const char* format, ...) ZARQ_PRINTF_LIKE(2, 3);
// GCC and clang check through the format attribute (on mingw-w64 in the
// flavour of the C library it links), MSVC's code analysis through the
// annotation; other compilers check nothing.
#pragma once
#include <cstdio>  // mingw-w64: __MINGW_PRINTF_FORMAT

#if defined(__GNUC__) || defined(__clang__)
#if defined(__MINGW_PRINTF_FORMAT)
#define ZARQ_PRINTF_LIKE(formatIndex, firstArgument) \
  __attribute__((format(__MINGW_PRINTF_FORMAT, formatIndex, firstArgument)))
#else
#define ZARQ_PRINTF_LIKE(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#endif
#else
#define ZARQ_PRINTF_LIKE(formatIndex, firstArgument)
#endif

#if defined(_MSC_VER) && !defined(__clang__)
#include <sal.h>
#define ZARQ_FORMAT_STRING _Printf_format_string_
#else
#define ZARQ_FORMAT_STRING
#endif
