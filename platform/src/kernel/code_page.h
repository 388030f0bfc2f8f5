// The single-byte ANSI code page (Windows-1252) shared by the conversion
// calls, the formatter and the C-runtime conversions.
#pragma once

namespace ce::kernel {

inline constexpr unsigned kAnsiCodePage = 1252;

wchar_t WideFromAnsi(unsigned char byte);
// The byte that holds c in the ANSI code page, or -1 when there is none.
int AnsiFromWide(wchar_t c);

}  // namespace ce::kernel
