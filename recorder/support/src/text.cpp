#include "liba/text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ce/crt.h"
#include "ce/strconv.h"
#include "ce/winnls.h"
#include "liba/resource.h"

namespace liba {

bool is_space(wchar_t c) { return ce::iswctype(static_cast<wint_t>(c), _SPACE) != 0; }
bool is_digit(wchar_t c) { return ce::iswctype(static_cast<wint_t>(c), _DIGIT) != 0; }

bool starts_with(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool multibyte_to_wide(const char* bytes, std::uint32_t count, std::wstring& out) {
  if (count == 0) {
    out.clear();
    return true;
  }
  if (count > 0x7FFFFFFFu) return false;
  // A single-byte code page never gives more characters than bytes.
  std::vector<wchar_t> buffer(count);
  const int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, static_cast<int>(count), buffer.data(),
                                    static_cast<int>(count));
  if (n <= 0) return false;
  out.assign(buffer.data(), static_cast<std::size_t>(n));
  return true;
}

bool wide_to_multibyte(const wchar_t* chars, std::uint32_t count, std::string& out) {
  if (count == 0) {
    out.clear();
    return true;
  }
  if (count > 0x7FFFFFFFu) return false;
  std::vector<char> buffer(count);
  const int n = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, chars, static_cast<int>(count), buffer.data(),
                                    static_cast<int>(count), nullptr, nullptr);
  if (n <= 0) return false;
  out.assign(buffer.data(), static_cast<std::size_t>(n));
  return true;
}

const char* narrow_range_to_wide(std::wstring& out, const char* begin, const char* end) {
  return multibyte_to_wide(begin, static_cast<std::uint32_t>(end - begin), out) ? end : nullptr;
}

const wchar_t* wide_range_to_narrow(std::string& out, const wchar_t* begin, const wchar_t* end) {
  return wide_to_multibyte(begin, static_cast<std::uint32_t>(end - begin), out) ? end : nullptr;
}

std::wstring narrow_to_wide(const std::string& text) {
  std::wstring out;
  multibyte_to_wide(text.data(), static_cast<std::uint32_t>(text.size()), out);
  return out;
}

std::string wide_to_narrow(const std::wstring& text) {
  std::string out;
  wide_to_multibyte(text.data(), static_cast<std::uint32_t>(text.size()), out);
  return out;
}

void assign_wide_range(std::wstring& out, const wchar_t* begin, const wchar_t* end) { out.assign(begin, end); }

CharRange make_char_range(const char* text) { return {text, text + std::strlen(text)}; }

std::wstring narrow_range_to_wide(const CharRange& range) {
  std::wstring out;
  narrow_range_to_wide(out, range.begin, range.end);
  return out;
}
WcharRange make_wchar_range(const wchar_t* text) { return {text, text + std::wcslen(text)}; }

// The platform's formatting writes up to its bound whatever the value, so
// every buffer has that size ("%f" of the largest double needs 317).
std::string format_int(int value) {
  char buffer[ce::kFormatBound];
  ce::sprintf(buffer, "%d", value);
  return buffer;
}

std::string format_double(double value) {
  char buffer[ce::kFormatBound];
  ce::sprintf(buffer, "%f", value);
  return buffer;
}

std::wstring& append_format(std::wstring& text, const wchar_t* format, ...) {
  wchar_t buffer[ce::kFormatBound];
  va_list args;
  va_start(args, format);
  ce::vswprintf(buffer, format, args);
  va_end(args);
  return text += buffer;
}

const wchar_t* skip_spaces(const wchar_t* begin, const wchar_t* end) {
  while (begin != end && is_space(*begin)) ++begin;
  return begin;
}

const wchar_t* parse_int(const wchar_t* begin, const wchar_t* end, int& out) {
  const wchar_t* p = skip_spaces(begin, end);
  if (p == end) return nullptr;
  bool negative = false;
  if (*p == L'-' || *p == L'+') {
    negative = *p == L'-';
    if (++p == end) return nullptr;
  }
  // An overlong number saturates at the int range instead of overflowing.
  constexpr std::int64_t kLimit = 2147483648LL;
  std::int64_t value = 0;
  bool digits = false;
  while (p != end && is_digit(*p)) {
    value = std::min<std::int64_t>(value * 10 + (*p - L'0'), kLimit);
    digits = true;
    ++p;
  }
  if (negative) value = -value;
  out = static_cast<int>(std::clamp<std::int64_t>(value, -kLimit, kLimit - 1));
  if (!digits) return nullptr;
  return p == end ? end : p + 1;
}

const wchar_t* parse_double(const wchar_t* begin, const wchar_t* end, double& out) {
  const wchar_t* p = skip_spaces(begin, end);
  bool negative = false;
  if (p != end && (*p == L'-' || *p == L'+')) {
    negative = *p == L'-';
    ++p;
  }
  double value = 0;
  bool digits = false;
  while (p != end && is_digit(*p)) {
    value = value * 10 + (*p - L'0');
    digits = true;
    ++p;
  }
  if (p != end && *p == L'.') {
    ++p;
    double scale = 0.1;
    while (p != end && is_digit(*p)) {
      value += (*p - L'0') * scale;
      scale *= 0.1;
      digits = true;
      ++p;
    }
  } else if (digits && p != end && (*p == L'e' || *p == L'E')) {
    int exponent = 0;
    p = parse_int(p + 1, end, exponent);
    if (p == nullptr) return nullptr;
    double factor = 1;
    const bool down = exponent < 0;
    for (long i = down ? -static_cast<long>(exponent) : exponent; i > 0 && factor < 1e308; --i) factor *= 10;
    value = down ? value / factor : value * factor;
  }
  if (!digits) return nullptr;
  out = negative ? -value : value;
  return p;
}

const wchar_t* text_to_int(int& out, const wchar_t* begin, const wchar_t* end) { return parse_int(begin, end, out); }
const wchar_t* text_to_double(double& out, const wchar_t* begin, const wchar_t* end) {
  return parse_double(begin, end, out);
}

const wchar_t* read_token(std::wstring& out, const wchar_t* begin, const wchar_t* end) {
  const wchar_t* p = begin;
  while (p != end && !is_space(*p)) ++p;
  out.assign(begin, p);
  return p;
}

const wchar_t* read_narrow_token(std::string& out, const wchar_t* begin, const wchar_t* end) {
  std::wstring token;
  const wchar_t* p = read_token(token, begin, end);
  out = wide_to_narrow(token);
  return p;
}

int read_text(ResourceReader& reader, std::string& narrow_out, std::wstring& wide_out, std::uint32_t max_bytes) {
  const std::uint32_t size = reader.get_size();
  const std::uint32_t at = reader.tell();
  const std::uint32_t left = size > at ? size - at : 0;
  const std::uint32_t count = left < max_bytes ? left : max_bytes;
  if (count % 2 != 0 || count < 2) {
    std::string bytes(count, '\0');
    if (reader.read(bytes.data(), count) == count) narrow_out = bytes;
    return 0;
  }
  unsigned char mark[2];
  if (reader.read(mark, 2) != 2) return 0;
  std::string rest(count - 2, '\0');
  const bool all = reader.read(rest.data(), count - 2) == count - 2;
  if (mark[0] == 0xFF && mark[1] == 0xFE) {
    if (all) {
      wide_out = ce::WideFromUtf16LE(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size());
    }
    return 1;
  }
  if (all) narrow_out = std::string(reinterpret_cast<const char*>(mark), 2) + rest;
  return 0;
}

std::wstring read_text_wide(ResourceReader& reader, std::uint32_t max_bytes) {
  std::string narrow;
  std::wstring wide;
  if (read_text(reader, narrow, wide, max_bytes) == 1) return wide;
  return narrow_to_wide(narrow);
}

bool read_text_wide(ResourceReader& reader, std::wstring& out, std::uint32_t start, std::uint32_t max_bytes) {
  if (start != reader.tell() && reader.seek(start) == 0) return false;
  std::string narrow;
  std::wstring wide;
  const bool was_wide = read_text(reader, narrow, wide, max_bytes) == 1;
  out = was_wide ? wide : narrow_to_wide(narrow);
  return !out.empty();
}

}  // namespace liba

std::wstring& operator<<(std::wstring& out, int value) { return out += liba::narrow_to_wide(liba::format_int(value)); }
std::wstring& operator<<(std::wstring& out, const char* text) { return out += liba::narrow_to_wide(text); }
std::wstring& operator<<(std::wstring& out, const wchar_t* text) { return out += text; }
std::wstring& operator<<(std::wstring& out, const std::wstring& text) { return out += text; }
