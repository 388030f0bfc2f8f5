// Local memory blocks: what the clipboard takes and gives (a block handed
// to SetClipboardData belongs to the clipboard from then on). A block's
// handle is also its address; LocalLock gives that address and counts the
// locks. Handles not made here are refused, never followed.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

inline constexpr UINT LMEM_FIXED = 0x0000;
inline constexpr UINT LMEM_MOVEABLE = 0x0002;
inline constexpr UINT LMEM_ZEROINIT = 0x0040;
inline constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;
inline constexpr UINT LHND = LMEM_MOVEABLE | LMEM_ZEROINIT;

// Null with ERROR_NOT_ENOUGH_MEMORY when the block cannot be had.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// Null on success; the handle itself, with ERROR_INVALID_HANDLE, when it is
// not a live block.
HLOCAL LocalFree(HLOCAL mem);
LPVOID LocalLock(HLOCAL mem);
// FALSE once the block is unlocked (last error NO_ERROR), or for a block
// that was not locked (ERROR_NOT_LOCKED) or not a block.
BOOL LocalUnlock(HLOCAL mem);
// The block's size in bytes as asked for; 0 for a handle that is not a block.
UINT LocalSize(HLOCAL mem);

#pragma GCC visibility pop
