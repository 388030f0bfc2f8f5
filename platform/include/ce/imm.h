// The input method: a window's input context and the text it last
// committed. Text typed at the desktop (or given to the headless back end as
// text) reaches windows as WM_CHAR; the input context keeps the last such
// text as its result string. There is no composition in progress ever.
#pragma once

#include "ce/windef.h"

#pragma GCC visibility push(default)

CE_DECLARE_HANDLE(HIMC);

inline constexpr DWORD GCS_COMPSTR = 0x0008;
inline constexpr DWORD GCS_RESULTSTR = 0x0800;

// The window's context; null for a window that does not exist.
HIMC ImmGetContext(HWND hwnd);
BOOL ImmReleaseContext(HWND hwnd, HIMC context);
// GCS_RESULTSTR: the last committed text, in bytes (no terminating zero);
// with no buffer (or a size of 0) only the size it needs. GCS_COMPSTR: 0.
// A buffer too small gets what fits, in whole characters. Negative
// (IMM_ERROR_GENERAL) for a context that does not exist.
inline constexpr LONG IMM_ERROR_NODATA = -1;
inline constexpr LONG IMM_ERROR_GENERAL = -2;
LONG ImmGetCompositionStringW(HIMC context, DWORD index, LPVOID buffer, DWORD bufferBytes);

#pragma GCC visibility pop
