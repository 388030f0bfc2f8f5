// Text helpers: ANSI code page conversion, numbers over wide ranges,
// appending to wide strings, and reading whole text resources.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace liba {

class ResourceReader;

bool is_space(wchar_t c);
bool is_digit(wchar_t c);
bool starts_with(const std::wstring& text, const std::wstring& prefix);

// Each returns success and writes `out` only on success.
bool multibyte_to_wide(const char* bytes, std::uint32_t count, std::wstring& out);
bool wide_to_multibyte(const wchar_t* chars, std::uint32_t count, std::string& out);
// Return `end`, or null on failure.
const char* narrow_range_to_wide(std::wstring& out, const char* begin, const char* end);
const wchar_t* wide_range_to_narrow(std::string& out, const wchar_t* begin, const wchar_t* end);
std::wstring narrow_to_wide(const std::string& text);
std::string wide_to_narrow(const std::wstring& text);
void assign_wide_range(std::wstring& out, const wchar_t* begin, const wchar_t* end);

struct CharRange {
  const char* begin;
  const char* end;
};
struct WcharRange {
  const wchar_t* begin;
  const wchar_t* end;
};
CharRange make_char_range(const char* text);
std::wstring narrow_range_to_wide(const CharRange& range);
WcharRange make_wchar_range(const wchar_t* text);

// "%d" and "%f" text.
std::string format_int(int value);
std::string format_double(double value);
// Appends printf-formatted text (at most 1023 characters) and returns `text`.
std::wstring& append_format(std::wstring& text, const wchar_t* format, ...);
const wchar_t* skip_spaces(const wchar_t* begin, const wchar_t* end);
// Past the digits and the one character that ended them; null when no digit.
const wchar_t* parse_int(const wchar_t* begin, const wchar_t* end, int& out);
// At the first character after the number; null when no digit.
const wchar_t* parse_double(const wchar_t* begin, const wchar_t* end, double& out);
const wchar_t* text_to_int(int& out, const wchar_t* begin, const wchar_t* end);
const wchar_t* text_to_double(double& out, const wchar_t* begin, const wchar_t* end);
// `out` = the characters up to the first blank; returns that blank's position.
const wchar_t* read_token(std::wstring& out, const wchar_t* begin, const wchar_t* end);
const wchar_t* read_narrow_token(std::string& out, const wchar_t* begin, const wchar_t* end);

// 1 when the text carried the UTF-16LE mark (into `wide_out`), else 0.
int read_text(ResourceReader& reader, std::string& narrow_out, std::wstring& wide_out, std::uint32_t max_bytes);
std::wstring read_text_wide(ResourceReader& reader, std::uint32_t max_bytes);
// Reads from byte `start` on; false when nothing could be read.
bool read_text_wide(ResourceReader& reader, std::wstring& out, std::uint32_t start, std::uint32_t max_bytes);

}  // namespace liba

std::wstring& operator<<(std::wstring& out, int value);
std::wstring& operator<<(std::wstring& out, const char* text);
std::wstring& operator<<(std::wstring& out, const wchar_t* text);
std::wstring& operator<<(std::wstring& out, const std::wstring& text);
