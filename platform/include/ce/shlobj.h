// Shell special folders: the fixed device folders a program asks for by
// CSIDL number. Folder item lists exist only to be turned back into paths;
// the rest of the shell namespace (browsing, attributes, binding) is not
// offered.
#pragma once

#include "ce/windef.h"
#include "ce/winerror.h"

#pragma GCC visibility push(default)

inline constexpr int CSIDL_PROGRAMS = 0x0002;       // "\Windows\Start Menu\Programs"
inline constexpr int CSIDL_PERSONAL = 0x0005;       // "\My Documents"
inline constexpr int CSIDL_STARTUP = 0x0007;        // "\Windows\StartUp"
inline constexpr int CSIDL_STARTMENU = 0x000b;      // "\Windows\Start Menu"
inline constexpr int CSIDL_APPDATA = 0x001a;        // "\Application Data"
inline constexpr int CSIDL_WINDOWS = 0x0024;        // "\Windows"
inline constexpr int CSIDL_PROGRAM_FILES = 0x0026;  // "\Program Files"

// An item list naming one special folder. Callers treat it as opaque and
// release it with CoTaskMemFree (the C heap).
struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

// Writes the folder's device path (at most MAX_PATH characters with the
// terminator) to `path`. The device's special folders always exist: each is
// created when missing, whatever `create` says. FALSE for an unknown CSIDL or
// a null `path`.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int csidl, BOOL create);

// The folder's item list in *list (null on failure): S_OK, E_INVALIDARG for
// an unknown CSIDL or a null `list`, E_OUTOFMEMORY.
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list);

// The device path an item list names, into `path` (MAX_PATH characters).
// FALSE, with `path` emptied when it is not null, for a null or unknown list.
BOOL SHGetPathFromIDList(LPCITEMIDLIST list, LPWSTR path);

#pragma GCC visibility pop
