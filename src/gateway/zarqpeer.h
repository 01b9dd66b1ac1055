// ZARQPEER.DLL, the gateway's MMSC account library, imported by name.
// Records are AccountRecord::kSize bytes (gateway/records.h).
#pragma once

#ifdef ZARQPEER_BUILD
#define ZARQPEER_API extern "C" __declspec(dllexport)
#else
#define ZARQPEER_API extern "C" __declspec(dllimport)
#endif

ZARQPEER_API int __cdecl VASPFindUserRecord(const char* name, void* record);
ZARQPEER_API int __cdecl VASPAddUser(const void* record);
ZARQPEER_API int __cdecl VASPDeleteUser(const char* name);
ZARQPEER_API int __cdecl VASPOutAddUser(const void* record);
