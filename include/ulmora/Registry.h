// The registry calls that settings are stored with, under their Win32 names.
//
// On Windows this is the system registry (<windows.h>). Elsewhere the library
// provides the same calls on a small registry of its own: one text file per
// predefined root key, in the "REGEDIT4" export format, kept in
// $XDG_CONFIG_HOME/ulmora/ (or ~/.config/ulmora/) unless moved with
// UlmoraSetRegistryDirectory. Host code that stores settings compiles
// unchanged on both. The umbrella header ulmora/Ulmora.h does not include
// this one: include it where you call these functions.
//
// The file store: keys, subkeys and values of every type (REG_SZ, REG_DWORD
// and REG_MULTI_SZ are written in their readable forms, others as hex).
// Value names and data of every byte round-trip; a key name with a line feed
// cannot be written and RegCreateKeyExA refuses it (ERROR_INVALID_PARAMETER).
// Changes reach the file when the last key of the process that was written
// through is closed (or at RegDeleteTreeA when none is open), in one atomic
// replacement under an advisory lock, merged with what other processes
// stored meanwhile; that RegCloseKey (or RegDeleteTreeA) returns the outcome.
// When the file cannot be written (disk full, file size limit), the changes
// are dropped and the process reads again what is on disk. A file that cannot
// be parsed is never overwritten: opening or creating a key in it fails with
// ERROR_BADDB. An empty file is an empty store. Files are readable by their
// owner only.
//
// Where the store is refused: without a home directory (no XDG_CONFIG_HOME,
// no HOME and no home in the user database) every call fails with
// ERROR_PATH_NOT_FOUND; the store is never put in a shared folder. A store
// folder that is not owned by the user, or that its group or others may write
// to, fails every call with ERROR_ACCESS_DENIED.
//
// What an open key sees of other processes: RegCreateKeyExA, RegOpenKeyExA
// and RegDeleteTreeA first bring the process's copy of the file up to date.
// RegQueryValueExA and RegSetValueExA do not: through keys already open they
// see the file as it was at the last of those calls in this process (on any
// key of the same root), with this process's own changes on top. Open the key
// again to see what other processes stored since.
//
// Threads: every function may be called from any thread; the calls of one
// process are serialized. A key must not be closed while another thread
// still uses it.
#ifndef ULMORA_REGISTRY_H
#define ULMORA_REGISTRY_H

#include "ulmora/Export.h"
#include "ulmora/RegistryKey.h"

#if defined(_WIN32)

#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
// RegDeleteTreeA needs Windows Vista or later.
#  if !defined(_WIN32_WINNT)
#    define _WIN32_WINNT 0x0601
#  endif
#  include <windows.h>

#else

#  include <stdint.h>

typedef HKEY* PHKEY;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef uint32_t REGSAM;
typedef unsigned char BYTE;
typedef BYTE* LPBYTE;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

#  define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#  define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)

#  define ERROR_SUCCESS 0L
#  define ERROR_FILE_NOT_FOUND 2L
#  define ERROR_PATH_NOT_FOUND 3L
#  define ERROR_ACCESS_DENIED 5L
#  define ERROR_INVALID_HANDLE 6L
#  define ERROR_OUTOFMEMORY 14L
#  define ERROR_INVALID_PARAMETER 87L
#  define ERROR_MORE_DATA 234L
#  define ERROR_BADDB 1009L
#  define ERROR_CANTREAD 1012L
#  define ERROR_CANTWRITE 1013L
#  define ERROR_KEY_DELETED 1018L

#  define REG_NONE 0u
#  define REG_SZ 1u
#  define REG_EXPAND_SZ 2u
#  define REG_BINARY 3u
#  define REG_DWORD 4u
#  define REG_MULTI_SZ 7u

#  define REG_OPTION_NON_VOLATILE 0u
#  define REG_CREATED_NEW_KEY 1u
#  define REG_OPENED_EXISTING_KEY 2u

#  define KEY_QUERY_VALUE 0x0001u
#  define KEY_SET_VALUE 0x0002u
#  define KEY_CREATE_SUB_KEY 0x0004u
#  define KEY_READ 0x20019u
#  define KEY_WRITE 0x20006u
#  define KEY_ALL_ACCESS 0xF003Fu

#  ifdef __cplusplus
extern "C" {
#  endif

// Creates the key and every missing key on its path, or opens it.
ULMORA_API LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                                DWORD options, REGSAM access,
                                LPSECURITY_ATTRIBUTES security, PHKEY result,
                                LPDWORD disposition);
// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
ULMORA_API LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access,
                              PHKEY result);
// Without a buffer: the size of the value. With one: its data, or
// ERROR_MORE_DATA and the size needed when it is too small.
ULMORA_API LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                 LPBYTE data, LPDWORD size);
ULMORA_API LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                               const BYTE* data, DWORD size);
// Writes the changes to the file when this is the last key written through,
// and returns the outcome of that write.
ULMORA_API LONG RegCloseKey(HKEY key);
// Deletes `subKey` with everything below it; with no subKey, everything below
// `key` and its values.
ULMORA_API LONG RegDeleteTreeA(HKEY key, LPCSTR subKey);

#  ifdef __cplusplus
}
#  endif

#endif

#ifdef __cplusplus
extern "C" {
#endif
// Moves the file store to `directory` for keys opened from now on (created
// when first written). Null or empty text restores the default location.
// Does nothing on Windows, where the system registry is used.
ULMORA_API void UlmoraSetRegistryDirectory(const char* directory);
#ifdef __cplusplus
}
#endif

#endif
