// ZARQACCT.DLL, the gateway's account library, imported by name:
// directories, settings files, SMS user accounts, GSM text, operator settings.
#pragma once
#include <windows.h>

#ifdef ZARQACCT_BUILD
#define ZARQACCT_API extern "C" __declspec(dllexport)
#else
#define ZARQACCT_API extern "C" __declspec(dllimport)
#endif

typedef void* SMSUSERFILE;

// Access modes of SMSOpenUserFile.
enum { SMS_USERFILE_READ = 1, SMS_USERFILE_READWRITE = 3 };

// Each fills a 260-character path that ends in a backslash.
ZARQACCT_API void __cdecl GetProgramDataDirectory(char* path);
ZARQACCT_API void __cdecl GetPrivateDataDirectory(char* path);
ZARQACCT_API void __cdecl GetRealProgramDirectory(char* path);

ZARQACCT_API void __cdecl SMSIniSetFilename(const char* path);
ZARQACCT_API void __cdecl MMSCIniSetFilename(const char* path);

// User store; records are UserRecord::kSize bytes (gateway/records.h).
ZARQACCT_API int __cdecl SMSOpenUserFile(SMSUSERFILE* file, int access);
ZARQACCT_API unsigned __cdecl SMSGetRecordCount(SMSUSERFILE file);
ZARQACCT_API int __cdecl SMSGetUserRecord(SMSUSERFILE file, unsigned index, void* record);
ZARQACCT_API int __cdecl SMSFindFirstUserRecord(SMSUSERFILE file, const char* text, void* record);
ZARQACCT_API int __cdecl SMSFindUserRecord(SMSUSERFILE file, const char* name, void* record);
ZARQACCT_API int __cdecl SMSAddUser(SMSUSERFILE file, const void* record);
ZARQACCT_API int __cdecl SMSDeleteUser(SMSUSERFILE file, const void* record);
ZARQACCT_API void __cdecl SMSCloseUserFile(SMSUSERFILE file);

// Decodes the hexadecimal GSM 7-bit user data `data`, which follows the user
// data header whose hexadecimal octets are `udh` ("" when none; its length
// sets the fill bits before the first septet), into terminated UTF-8 in
// `out`. `out` holds 8192 bytes, the Data buffer of a received message, and
// may be `data` itself; the text stops at the last whole character that fits.
// Decoding ends at the first non-hexadecimal character or an unpaired digit.
ZARQACCT_API void __cdecl GSM7ToUTF8String(const char* udh, const char* data, char* out);

// Modal chooser of an operator's MMS settings; each output holds 104 bytes.
// Non-zero when the operator chose.
ZARQACCT_API int __cdecl ChooseOperatorSettings(HWND owner, char* apn, char* apnLogin, char* apnPassword,
                                                char* wapGateway, char* mmsServerUrl);
