// The registry: predefined root keys, value types, and the calls that open,
// create, read, write, enumerate and delete keys and values. Left out: remote
// and per-user loading, security descriptors, change notification, key class
// strings (a created key's class is not stored and enumerates as empty) and
// last-write times (reported as zero).
//
// Behaviour worth knowing:
// - Keys and values live in one file of the device, shared by every program.
//   A change is at once visible to the program that made it; it reaches the
//   file (and the other programs) within a tenth of a second, at once on
//   RegFlushKey, when the program closes its last key handle, before it
//   posts or sends a message to another program's window, starts a program
//   or releases a named mutex, and at exit. A program killed loses at most
//   its changes of that last tenth of a second, never the file. A write that
//   fails (a full disk) keeps the changes pending; RegFlushKey reports it.
// - Key and value names compare without regard to case. Subkey paths use
//   backslashes; empty components (a leading, trailing or doubled backslash)
//   are skipped. A key name is at most 255 characters, a value name at most
//   16383; longer ones fail with ERROR_INVALID_PARAMETER.
// - Access masks are accepted and not enforced, as on the device.
// - RegDeleteKeyW deletes the key together with everything below it, as on
//   the device. A handle to a deleted key fails later calls with
//   ERROR_KEY_DELETED.
// - Text values (REG_SZ, REG_EXPAND_SZ, REG_LINK, REG_MULTI_SZ) are stored and
//   sized as on the device, in UTF-16 bytes (two per character): L"abc" with
//   its terminator is 8 bytes, and a query with a null data pointer reports 8.
//   The programs' buffers are wchar_t all the same, so:
//   * Storing: the count is the device's, (length + 1) * 2. Reading the
//     caller's text stops after its terminator (after the empty string that
//     ends a REG_MULTI_SZ), so a larger count, such as sizeof of a wchar_t
//     array, stores the same bytes and never reads past a terminated string.
//     An odd count drops its last half character.
//   * Querying: the caller's count is the real size of its buffer in bytes,
//     and the text is written as wchar_t, so a wchar_t buf[N] passed as
//     sizeof(buf) takes N characters with the terminator, just as on the
//     device. A buffer too small for the wchar_t text (a DWORD asked for a
//     string value, say) gets ERROR_MORE_DATA with the size this call needs,
//     never an overrun. On success the size returned is the device's.
//   Other types are raw bytes, counted as they are.
// - A corrupt registry file is reported on standard error and every call then
//   fails with ERROR_REGISTRY_CORRUPT until the file is repaired or removed;
//   the file is never overwritten meanwhile.
#pragma once

#include "ce/minwindef.h"
#include "ce/winerror.h"
#include "ce/winbase.h"

#pragma GCC visibility push(default)

using REGSAM = DWORD;
using LSTATUS = LONG;

// The predefined keys; always open, closing them does nothing.
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u));
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u));

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;

// Access rights (accepted, not enforced).
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_EXECUTE = 0x20019;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyExW options and dispositions. Only non-volatile keys exist.
inline constexpr DWORD REG_OPTION_RESERVED = 0x0000;
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0000;
inline constexpr DWORD REG_OPTION_VOLATILE = 0x0001;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Creates every missing key along subKey (or opens the existing one) and
// returns a new handle; disposition tells which happened.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCloseKey(HKEY key);
// Writes every pending change of the program to the file (not only the
// key's): ERROR_SUCCESS, ERROR_DISK_FULL, ERROR_REGISTRY_IO_FAILED or
// ERROR_REGISTRY_CORRUPT.
LONG RegFlushKey(HKEY key);

// A null or empty name is the key's default value. With data null the size
// alone is returned; a buffer too small gives ERROR_MORE_DATA with the type
// and the size needed.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);

// Enumeration by index in a stable order (creation order) while nothing
// changes; ERROR_NO_MORE_ITEMS past the end. nameSize is in characters: on
// entry the buffer's room including the terminator, on success the length
// without it. A name or data that does not fit gives ERROR_MORE_DATA and
// nameSize (data size) set to what is needed, the name's terminator included.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classSize, PFILETIME lastWriteTime);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameSize, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize);

#pragma GCC visibility pop
