/* The one function newer than Windows XP that our mingw-w64 runtime needs.

   The static POSIX thread library of mingw-w64 (winpthreads), which every
   program and DLL of ours carries, imports GetTickCount64 (Vista and later)
   for its timed waits; XP's loader would refuse to start a program whose
   import it cannot find. This file fills that import slot itself: with the
   system's GetTickCount64 where kernel32 has one, else with GetTickCount
   counted past its wrap every 49.7 days. It is linked into every target of
   the mingw-w64 builds (CMakeLists.txt); the MSVC build does not need it. */
#include <windows.h>

typedef ULONGLONG(WINAPI* TickCount64Function)(void);

static volatile LONG g_lock;
static DWORD g_lastTick;
static ULONGLONG g_wraps;

static ULONGLONG WINAPI CountedTicks(void) {
  ULONGLONG ticks;
  DWORD now;
  while (InterlockedExchange(&g_lock, 1)) Sleep(0);
  now = GetTickCount();
  if (now < g_lastTick) g_wraps += 0x100000000ULL;
  g_lastTick = now;
  ticks = g_wraps + now;
  InterlockedExchange(&g_lock, 0);
  return ticks;
}

static ULONGLONG WINAPI TickCount64(void) {
  static TickCount64Function chosen;  /* the same answer whichever thread asks first */
  if (!chosen) {
    TickCount64Function system =
        (TickCount64Function)(void (*)(void))GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64");
    chosen = system ? system : CountedTicks;
  }
  return chosen();
}

/* The import slot as the compiler names it for a dllimport function. */
#ifdef _WIN64
#define ZARQ_IMPORT_SLOT "__imp_GetTickCount64"
#else
#define ZARQ_IMPORT_SLOT "__imp__GetTickCount64@0"
#endif
TickCount64Function zarq_GetTickCount64_import __asm__(ZARQ_IMPORT_SLOT) = TickCount64;
