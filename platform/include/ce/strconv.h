// Explicit text conversions for every boundary where text leaves wchar_t:
// UTF-16 in files, registry data and messages between processes, UTF-8 in
// host paths. Invalid sequences become U+FFFD; nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#pragma GCC visibility push(default)

namespace ce {

std::string Utf8FromWide(std::wstring_view text);
// Appends one code point as UTF-8 (surrogates and values past U+10FFFF as U+FFFD).
void AppendUtf8(std::string& out, char32_t c);
std::wstring WideFromUtf8(std::string_view text);

std::u16string Utf16FromWide(std::wstring_view text);
std::wstring WideFromUtf16(std::u16string_view text);

// Little-endian UTF-16 bytes, as stored in files and registry values.
void AppendUtf16LE(std::vector<std::uint8_t>& out, std::wstring_view text);
std::wstring WideFromUtf16LE(const std::uint8_t* bytes, std::size_t byteCount);

// Case mapping independent of the host locale: ASCII, Latin-1, Latin
// Extended-A, basic Greek and Cyrillic and the full-width Latin letters, as
// the device's file system and string compares fold them. Other characters
// map to themselves.
wchar_t ToUpperInvariant(wchar_t c);
wchar_t ToLowerInvariant(wchar_t c);
// <0, 0, >0 like wcscmp, comparing case-folded (upper-case) characters.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

}  // namespace ce

#pragma GCC visibility pop
