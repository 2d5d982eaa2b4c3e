// The registry the settings are kept in: typed values under keys of HKEY_CURRENT_USER, stored as
// a text file in the Windows registry export format, so a person can read and edit it:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Velmora\Aerolyre\AppInfo]
//   "Process_BufSize"="400"
//   "Process_Overcycle"=dword:00000000
//
// The file is $XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg (default ~/.config). A key's changes
// are written when it is closed: under a lock that every process takes (registry.reg.lock beside
// it), the file is read again, the changes applied, and the whole written to a temporary file
// that is renamed over the old one, so a crash never leaves half a file and two saves at once
// lose nothing. Keys and values the program does not own are kept; a damaged file reads as missing values.
#pragma once

#include <string>

#include "platform/win_types.h"

struct RegistryKey;
using HKEY = RegistryKey*;
using REGSAM = DWORD;

extern const HKEY HKEY_CURRENT_USER;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions,
                     REGSAM samDesired, void* lpSecurityAttributes, HKEY* phkResult, DWORD* lpdwDisposition);
// Fills type, data and byte count. A value larger than *lpcbData fails with ERROR_MORE_DATA and
// the size it needs.
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegCloseKey(HKEY hKey);

// The file the registry is kept in.
std::string RegistryFilePath();
// Why the settings file cannot be used (empty when it can, or is not there yet): for a save that
// could not even open its key, so it still says why.
std::string RegistryFileProblem();

// The settings file's text as the registry layer reads it and would write it back, and a
// listing of the values it reads from it (for tests and fuzzing: one save must be a fixed point
// and must keep every value).
std::string ReformatRegistryText(const std::string& text);
std::string DescribeRegistryValues(const std::string& text);
