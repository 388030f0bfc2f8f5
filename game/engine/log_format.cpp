#include "engine/log_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

struct Spec {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = 0;
  int precision = -1;
};

void Pad(std::wstring& out, const std::wstring& body, const Spec& spec, bool numeric) {
  std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
  if (body.size() >= width) {
    out += body;
    return;
  }
  std::size_t fill = width - body.size();
  if (spec.left) {
    out += body;
    out.append(fill, L' ');
  } else if (spec.zero && numeric) {
    // Zeros go after the sign or 0x prefix.
    std::size_t prefix = 0;
    if (!body.empty() && (body[0] == L'-' || body[0] == L'+' || body[0] == L' ')) prefix = 1;
    if (body.size() >= prefix + 2 && body[prefix] == L'0' && (body[prefix + 1] == L'x' || body[prefix + 1] == L'X'))
      prefix += 2;
    out += body.substr(0, prefix);
    out.append(fill, L'0');
    out += body.substr(prefix);
  } else {
    out.append(fill, L' ');
    out += body;
  }
}

std::wstring Digits(std::uint64_t value, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::wstring s;
  do {
    s.insert(s.begin(), static_cast<wchar_t>(set[value % base]));
    value /= base;
  } while (value != 0);
  return s;
}

std::wstring Integer(std::uint64_t magnitude, bool negative, unsigned base, bool upper, const Spec& spec) {
  std::wstring digits = (magnitude == 0 && spec.precision == 0) ? L"" : Digits(magnitude, base, upper);
  if (spec.precision > 0 && digits.size() < static_cast<std::size_t>(spec.precision))
    digits.insert(0, static_cast<std::size_t>(spec.precision) - digits.size(), L'0');
  if (spec.alt && magnitude != 0) {
    if (base == 16) digits.insert(0, upper ? L"0X" : L"0x");
    if (base == 8 && digits[0] != L'0') digits.insert(0, L"0");
  }
  if (negative) return L"-" + digits;
  if (spec.plus) return L"+" + digits;
  if (spec.space) return L" " + digits;
  return digits;
}

std::wstring Fixed(double value, const Spec& spec) {
  int precision = spec.precision < 0 ? 6 : (spec.precision > 18 ? 18 : spec.precision);
  if (std::isnan(value)) return L"nan";
  bool negative = std::signbit(value);
  double magnitude = std::fabs(value);
  if (std::isinf(magnitude)) return negative ? L"-inf" : L"inf";
  double scale = std::pow(10.0, precision);
  std::wstring body;
  if (magnitude * scale < 9.0e18) {
    std::uint64_t scaled = static_cast<std::uint64_t>(std::llround(magnitude * scale));
    std::uint64_t unit = static_cast<std::uint64_t>(std::llround(scale));
    body = Digits(scaled / unit, 10, false);
    if (precision > 0 || spec.alt) body += L'.';
    if (precision > 0) {
      std::wstring frac = Digits(scaled % unit, 10, false);
      body += std::wstring(static_cast<std::size_t>(precision) - frac.size(), L'0') + frac;
    }
  } else {
    body = L"(large)";
  }
  if (negative) return L"-" + body;
  if (spec.plus) return L"+" + body;
  if (spec.space) return L" " + body;
  return body;
}

}  // namespace

std::size_t FormatLogText(wchar_t* out, std::size_t count, const wchar_t* format, va_list args) {
  if (out == nullptr || count == 0) return 0;
  std::wstring text;
  for (const wchar_t* p = format ? format : L""; *p != 0 && text.size() < count; ++p) {
    if (*p != L'%') {
      text += *p;
      continue;
    }
    ++p;
    Spec spec;
    for (;; ++p) {
      if (*p == L'-') spec.left = true;
      else if (*p == L'+') spec.plus = true;
      else if (*p == L' ') spec.space = true;
      else if (*p == L'0') spec.zero = true;
      else if (*p == L'#') spec.alt = true;
      else break;
    }
    if (*p == L'*') {
      spec.width = va_arg(args, int);
      if (spec.width < 0) {
        spec.left = true;
        spec.width = spec.width == INT32_MIN ? 0 : -spec.width;
      }
      ++p;
    } else {
      while (*p >= L'0' && *p <= L'9') spec.width = std::min(spec.width * 10 + (*p++ - L'0'), 4096);
    }
    if (*p == L'.') {
      ++p;
      spec.precision = 0;
      if (*p == L'*') {
        spec.precision = va_arg(args, int);
        ++p;
      } else {
        while (*p >= L'0' && *p <= L'9') spec.precision = std::min(spec.precision * 10 + (*p++ - L'0'), 4096);
      }
    }
    int size = 0;  // -1 h, 1 l, 2 ll / I64
    if (*p == L'h') {
      size = -1;
      ++p;
    } else if (*p == L'l') {
      size = 1;
      ++p;
      if (*p == L'l') {
        size = 2;
        ++p;
      }
    } else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
      size = 2;
      p += 3;
    }
    wchar_t conversion = *p;
    if (conversion == 0) break;
    switch (conversion) {
      case L'%':
        text += L'%';
        break;
      case L'd':
      case L'i': {
        std::int64_t v = size == 2 ? va_arg(args, long long) : size == 1 ? va_arg(args, long) : va_arg(args, int);
        if (size == -1) v = static_cast<short>(v);
        std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        Pad(text, Integer(magnitude, v < 0, 10, false, spec), spec, spec.precision < 0);
        break;
      }
      case L'u':
      case L'x':
      case L'X':
      case L'o': {
        std::uint64_t v = size == 2   ? va_arg(args, unsigned long long)
                          : size == 1 ? va_arg(args, unsigned long)
                                      : va_arg(args, unsigned int);
        if (size == -1) v = static_cast<unsigned short>(v);
        unsigned base = conversion == L'u' ? 10 : conversion == L'o' ? 8 : 16;
        Pad(text, Integer(v, false, base, conversion == L'X', spec), spec, spec.precision < 0);
        break;
      }
      case L'p': {
        Spec hex = spec;
        hex.precision = static_cast<int>(sizeof(void*) * 2);
        Pad(text, Integer(reinterpret_cast<std::uintptr_t>(va_arg(args, void*)), false, 16, true, hex), spec,
            false);
        break;
      }
      case L'c':
      case L'C': {
        int v = va_arg(args, int);
        bool wide = (conversion == L'c') != (size == -1);
        wchar_t c = wide ? static_cast<wchar_t>(v) : static_cast<wchar_t>(static_cast<unsigned char>(v));
        Pad(text, std::wstring(1, c), spec, false);
        break;
      }
      case L's':
      case L'S': {
        bool wide = (conversion == L's') ? size != -1 : size == 1;
        std::wstring s;
        std::size_t limit = spec.precision >= 0 ? static_cast<std::size_t>(spec.precision) : SIZE_MAX;
        if (wide) {
          const wchar_t* w = va_arg(args, const wchar_t*);
          if (w == nullptr) w = L"(null)";
          for (; *w != 0 && s.size() < limit && s.size() < count; ++w) s += *w;
        } else {
          const char* n = va_arg(args, const char*);
          if (n == nullptr) n = "(null)";
          for (; *n != 0 && s.size() < limit && s.size() < count; ++n) s += static_cast<wchar_t>(static_cast<unsigned char>(*n));
        }
        Pad(text, s, spec, false);
        break;
      }
      case L'f':
      case L'F':
      case L'e':
      case L'E':
      case L'g':
      case L'G':
        Pad(text, Fixed(va_arg(args, double), spec), spec, true);
        break;
      default:
        // Unknown conversion: shown as written, consuming no argument.
        text += L'%';
        text += conversion;
        break;
    }
  }
  std::size_t n = std::min(text.size(), count - 1);
  std::memcpy(out, text.data(), n * sizeof(wchar_t));
  out[n] = 0;
  return n;
}
