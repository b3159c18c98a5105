// A per-user key/value store shaped like the Windows registry: keys named by
// backslash paths under a few roots, values typed as integers (REG_DWORD)
// or strings (REG_SZ, UTF-16 with the terminating zero), names compared
// without regard to ASCII case. Backed by one SQLite database in WAL mode
// (default $XDG_CONFIG_HOME/velka/settings.db), so that every write is a
// single commit that survives a crash of the program.
#pragma once
#include <string>

#include "platform/win_types.h"

namespace velka {

struct RegKeyNode; // an open key
using HKEY = RegKeyNode*;

// Roots. They are always "open" and are never closed.
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;
extern const HKEY HKEY_CLASSES_ROOT;

// Status codes (the platform's, 0 = success).
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_CANTOPEN = 1011;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

// The database file; tests and the command line may point it elsewhere.
// Changing it closes the open database (open keys become invalid).
void RegSetDatabasePath(const std::string& strPath);
std::string RegDatabasePath();
// Last SQLite or system message of a failed open (for the "says so" text).
std::string RegLastOpenError();
// Where a damaged store was moved ("settings.db.damaged") when this open
// replaced it by a new one; empty otherwise. RegLastOpenError says why.
std::string RegDamagedStoreAside();
// Closes the database (keys must be closed first).
void RegShutdown();

LONG RegCreateKeyEx(HKEY hParent, const char16_t* szSubKey, HKEY* phResult);
LONG RegOpenKeyEx(HKEY hParent, const char16_t* szSubKey, HKEY* phResult);
LONG RegCloseKey(HKEY hKey);
// Data null: only type and size are returned. A buffer too small gives
// ERROR_MORE_DATA with the needed size in *pcbData. Name null or empty is
// the key's default value.
LONG RegQueryValueEx(HKEY hKey, const char16_t* szName, DWORD* pdwType, BYTE* pData,
                     DWORD* pcbData);
LONG RegSetValueEx(HKEY hKey, const char16_t* szName, DWORD dwType, const BYTE* pData, DWORD cbData);
LONG RegDeleteValue(HKEY hKey, const char16_t* szName);
// Enumerates value names in a stable order; *pcchName is the buffer's
// capacity in characters on entry (room for the zero included) and the
// name's length on return. A name that does not fit gives ERROR_MORE_DATA.
LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char16_t* szName, DWORD* pcchName, DWORD* pdwType);
// Deletes a key that has no sub-keys, with its values.
LONG RegDeleteKey(HKEY hParent, const char16_t* szSubKey);
// Enumerates sub-key names (same buffer rules as RegEnumValue).
LONG RegEnumKey(HKEY hKey, DWORD dwIndex, char16_t* szName, DWORD cchName);

} // namespace velka
