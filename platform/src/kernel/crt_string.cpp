// The C-runtime string calls of the device that must not follow the host
// locale: compares, character classes, number conversions, code-page
// conversions and _gcvt.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "ce/crt.h"
#include "ce/strconv.h"
#include "kernel/code_page.h"
#include "kernel/format.h"

namespace {

bool InRange(wint_t c, wint_t low, wint_t high) { return c >= low && c <= high; }

bool IsLetter(wint_t c) {
  if (c < 0x80) return InRange(c, L'A', L'Z') || InRange(c, L'a', L'z');
  if (c <= 0xFF) return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
  return InRange(c, 0x100, 0x2AF) ||  // Latin Extended, IPA
         c == 0x386 || (InRange(c, 0x388, 0x3FF) && c != 0x38B && c != 0x38D && c != 0x3A2 && c != 0x3F6) ||
         InRange(c, 0x400, 0x481) || InRange(c, 0x48A, 0x52F) ||      // Cyrillic
         InRange(c, 0x5D0, 0x5EA) || InRange(c, 0x620, 0x64A) ||      // Hebrew, Arabic
         InRange(c, 0x1E00, 0x1FFF) ||                                // Latin and Greek extended
         InRange(c, 0x3041, 0x3096) || InRange(c, 0x30A1, 0x30FA) ||  // kana
         InRange(c, 0x4E00, 0x9FFF) || InRange(c, 0xAC00, 0xD7A3) ||  // CJK, Hangul
         InRange(c, 0xFF21, 0xFF3A) || InRange(c, 0xFF41, 0xFF5A);    // full-width Latin
}

bool IsSpace(wint_t c) {
  return InRange(c, 0x09, 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 || InRange(c, 0x2000, 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool IsBlank(wint_t c) {
  return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || InRange(c, 0x2000, 0x200A) || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

bool IsControl(wint_t c) { return c < 0x20 || InRange(c, 0x7F, 0x9F); }

bool IsPunctuation(wint_t c) {
  if (c < 0x80) {
    return InRange(c, 0x21, 0x2F) || InRange(c, 0x3A, 0x40) || InRange(c, 0x5B, 0x60) || InRange(c, 0x7B, 0x7E);
  }
  if (c <= 0xFF) return (InRange(c, 0xA1, 0xBF) && c != 0xAA && c != 0xB5 && c != 0xBA) || c == 0xD7 || c == 0xF7;
  return c == 0x37E || c == 0x387 || c == 0x3F6 || InRange(c, 0x2010, 0x2027) || InRange(c, 0x2030, 0x205E) ||
         InRange(c, 0x20A0, 0x20CF) || InRange(c, 0x2100, 0x214F) || InRange(c, 0x2190, 0x23FF) ||
         InRange(c, 0x2500, 0x27BF) || InRange(c, 0x3001, 0x303F) || InRange(c, 0xFF01, 0xFF20) ||
         InRange(c, 0xFF3B, 0xFF40) || InRange(c, 0xFF5B, 0xFF65);
}

unsigned ClassOf(wint_t c) {
  unsigned mask = 0;
  if (IsLetter(c)) {
    mask |= 0x100;
    const auto w = static_cast<wchar_t>(c);
    if (ce::ToLowerInvariant(w) != w) mask |= _UPPER;
    if (ce::ToUpperInvariant(w) != w || c == 0xAA || c == 0xB5 || c == 0xBA || c == 0xDF || c == 0x131 || c == 0x138 ||
        c == 0x149 || c == 0x17F) {
      mask |= _LOWER;
    }
  }
  if (InRange(c, L'0', L'9')) mask |= _DIGIT | _HEX;
  if (InRange(c, L'a', L'f') || InRange(c, L'A', L'F')) mask |= _HEX;
  if (IsSpace(c)) mask |= _SPACE;
  if (IsBlank(c)) mask |= _BLANK;
  if (IsControl(c)) mask |= _CONTROL;
  if (IsPunctuation(c)) mask |= _PUNCT;
  return mask;
}

template <class Char>
int DigitValue(Char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// The common part of wcstol and wcstoul: returns the magnitude, saturated
// at 2^32, the sign, and where parsing stopped.
struct ParsedInteger {
  std::uint64_t magnitude = 0;
  bool negative = false;
  bool valid = false;
  const wchar_t* end = nullptr;
};

ParsedInteger ParseInteger(const wchar_t* text, int base) {
  ParsedInteger result;
  result.end = text;
  if (text == nullptr || base < 0 || base == 1 || base > 36) return result;
  const wchar_t* p = text;
  while (ce::iswspace(static_cast<wint_t>(*p))) ++p;
  if (*p == L'-' || *p == L'+') result.negative = *p++ == L'-';
  if ((base == 0 || base == 16) && p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && DigitValue(p[2]) < 16) {
    p += 2;
    base = 16;
  } else if (base == 0) {
    base = p[0] == L'0' ? 8 : 10;
  }
  constexpr std::uint64_t kLimit = 0x100000000ull;
  const wchar_t* digits = p;
  while (DigitValue(*p) < base) {
    result.magnitude = result.magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(*p));
    if (result.magnitude > kLimit) result.magnitude = kLimit;
    ++p;
  }
  if (p == digits) return result;
  result.valid = true;
  result.end = p;
  return result;
}

template <class Char>
Char* IntegerToText(std::uint64_t magnitude, bool negative, Char* buffer, int radix) {
  if (buffer == nullptr) return nullptr;
  if (radix < 2 || radix > 36) {
    buffer[0] = 0;
    return buffer;
  }
  Char reversed[72];
  int n = 0;
  do {
    const auto digit = static_cast<int>(magnitude % static_cast<unsigned>(radix));
    reversed[n++] = static_cast<Char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    magnitude /= static_cast<unsigned>(radix);
  } while (magnitude != 0);
  int i = 0;
  if (negative) buffer[i++] = '-';
  while (n > 0) buffer[i++] = reversed[--n];
  buffer[i] = 0;
  return buffer;
}

template <class Char>
int CompareFolded(const Char* a, const Char* b, std::size_t count) {
  if (a == nullptr || b == nullptr) return _NLSCMPERROR;
  for (std::size_t i = 0; i < count; ++i) {
    long long ca = 0;
    long long cb = 0;
    if constexpr (sizeof(Char) == 1) {
      auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
      ca = lower(static_cast<unsigned char>(a[i]));
      cb = lower(static_cast<unsigned char>(b[i]));
    } else {
      ca = ce::ToLowerInvariant(a[i]);
      cb = ce::ToLowerInvariant(b[i]);
    }
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

}  // namespace

int _wcsicmp(const wchar_t* a, const wchar_t* b) { return CompareFolded(a, b, SIZE_MAX); }
int _wcsnicmp(const wchar_t* a, const wchar_t* b, std::size_t count) { return CompareFolded(a, b, count); }
int _stricmp(const char* a, const char* b) { return CompareFolded(a, b, SIZE_MAX); }
int _strnicmp(const char* a, const char* b, std::size_t count) { return CompareFolded(a, b, count); }

LONG _wtol(const wchar_t* text) { return ce::wcstol(text, nullptr, 10); }
int _wtoi(const wchar_t* text) { return ce::wcstol(text, nullptr, 10); }
double _wtof(const wchar_t* text) { return text == nullptr ? 0.0 : ce::wcstod(text, nullptr); }

wchar_t* _itow(int value, wchar_t* buffer, int radix) { return _ltow(value, buffer, radix); }

wchar_t* _ltow(LONG value, wchar_t* buffer, int radix) {
  const bool negative = radix == 10 && value < 0;
  const std::uint64_t magnitude =
      negative ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(value)) : static_cast<std::uint32_t>(value);
  return IntegerToText(magnitude, negative, buffer, radix);
}

wchar_t* _ultow(ULONG value, wchar_t* buffer, int radix) { return IntegerToText(value, false, buffer, radix); }

char* _itoa(int value, char* buffer, int radix) {
  const bool negative = radix == 10 && value < 0;
  const std::uint64_t magnitude =
      negative ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(value)) : static_cast<std::uint32_t>(value);
  return IntegerToText(magnitude, negative, buffer, radix);
}

char* _gcvt(double value, int digits, char* buffer) {
  if (buffer == nullptr) return nullptr;
  if (digits < 1) digits = 1;
  if (digits > 17) digits = 17;  // a double has no more significant digits
  std::size_t length = 0;
  if (std::signbit(value) && value == value) buffer[length++] = '-';
  char text[64];
  std::size_t n = ce::kernel::FormatDouble(std::fabs(value), 'g', digits, false, text, sizeof text);
  if (std::memchr(text, '.', n) == nullptr && std::isfinite(value)) {
    // The device keeps the decimal point: "5." and "1.e+007".
    char* e = static_cast<char*>(std::memchr(text, 'e', n));
    const std::size_t at = e != nullptr ? static_cast<std::size_t>(e - text) : n;
    std::memmove(text + at + 1, text + at, n - at);
    text[at] = '.';
    ++n;
  }
  std::memcpy(buffer + length, text, n);
  buffer[length + n] = 0;
  return buffer;
}

namespace ce {

int iswctype(wint_t c, unsigned mask) { return static_cast<int>(ClassOf(c) & mask); }
int iswalpha(wint_t c) { return iswctype(c, _ALPHA); }
int iswupper(wint_t c) { return iswctype(c, _UPPER); }
int iswlower(wint_t c) { return iswctype(c, _LOWER); }
int iswdigit(wint_t c) { return iswctype(c, _DIGIT); }
int iswxdigit(wint_t c) { return iswctype(c, _HEX); }
int iswspace(wint_t c) { return iswctype(c, _SPACE); }
int iswpunct(wint_t c) { return iswctype(c, _PUNCT); }
int iswcntrl(wint_t c) { return iswctype(c, _CONTROL); }
int iswalnum(wint_t c) { return iswctype(c, _ALPHA | _DIGIT); }
int iswgraph(wint_t c) { return iswctype(c, _ALPHA | _DIGIT | _PUNCT); }
int iswprint(wint_t c) { return iswgraph(c) != 0 || (IsBlank(c) && !IsControl(c)) ? 1 : 0; }

wint_t towupper(wint_t c) { return static_cast<wint_t>(ToUpperInvariant(static_cast<wchar_t>(c))); }
wint_t towlower(wint_t c) { return static_cast<wint_t>(ToLowerInvariant(static_cast<wchar_t>(c))); }

LONG wcstol(const wchar_t* text, wchar_t** end, int base) {
  const ParsedInteger parsed = ParseInteger(text, base);
  if (end != nullptr) *end = const_cast<wchar_t*>(parsed.end);
  if (!parsed.valid) return 0;
  if (parsed.negative) {
    if (parsed.magnitude > 0x80000000ull) {
      errno = ERANGE;
      return INT32_MIN;
    }
    return static_cast<LONG>(-static_cast<std::int64_t>(parsed.magnitude));
  }
  if (parsed.magnitude > 0x7FFFFFFFull) {
    errno = ERANGE;
    return INT32_MAX;
  }
  return static_cast<LONG>(parsed.magnitude);
}

ULONG wcstoul(const wchar_t* text, wchar_t** end, int base) {
  const ParsedInteger parsed = ParseInteger(text, base);
  if (end != nullptr) *end = const_cast<wchar_t*>(parsed.end);
  if (!parsed.valid) return 0;
  if (parsed.magnitude > 0xFFFFFFFFull) {
    errno = ERANGE;
    return UINT32_MAX;
  }
  const auto value = static_cast<ULONG>(parsed.magnitude);
  return parsed.negative ? static_cast<ULONG>(0u - value) : value;
}

double wcstod(const wchar_t* text, wchar_t** end) {
  if (end != nullptr) *end = const_cast<wchar_t*>(text);
  if (text == nullptr) return 0.0;
  const wchar_t* p = text;
  while (iswspace(static_cast<wint_t>(*p))) ++p;
  std::string ascii;
  bool negative = false;
  if (*p == L'-' || *p == L'+') negative = *p++ == L'-';
  long long integerDigits = 0;
  bool seenNonZero = false;
  bool anyDigit = false;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    anyDigit = true;
    seenNonZero = seenNonZero || *p != L'0';
    if (seenNonZero) ++integerDigits;
    ascii += static_cast<char>(*p);
  }
  if (*p == L'.') {
    const wchar_t* q = p + 1;
    std::string fraction;
    for (; *q >= L'0' && *q <= L'9'; ++q) fraction += static_cast<char>(*q);
    if (anyDigit || !fraction.empty()) {
      anyDigit = true;
      ascii += '.';
      ascii += fraction;
      p = q;
    }
  }
  if (!anyDigit) return 0.0;
  long long exponent = 0;
  if (*p == L'e' || *p == L'E') {
    const wchar_t* q = p + 1;
    bool expNegative = false;
    if (*q == L'-' || *q == L'+') expNegative = *q++ == L'-';
    if (*q >= L'0' && *q <= L'9') {
      for (; *q >= L'0' && *q <= L'9'; ++q) {
        if (exponent < 100000) exponent = exponent * 10 + (*q - L'0');
      }
      if (expNegative) exponent = -exponent;
      ascii += 'e';
      ascii += std::to_string(exponent);
      p = q;
    }
  }
  if (end != nullptr) *end = const_cast<wchar_t*>(p);
  double value = 0.0;
  const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    errno = ERANGE;
    value = integerDigits + exponent > 0 ? HUGE_VAL : 0.0;
  }
  return negative ? -value : value;
}

std::size_t mbstowcs(wchar_t* dest, const char* source, std::size_t count) {
  if (source == nullptr) return static_cast<std::size_t>(-1);
  if (dest == nullptr) return std::strlen(source);
  std::size_t i = 0;
  for (; i < count && source[i] != 0; ++i) dest[i] = kernel::WideFromAnsi(static_cast<unsigned char>(source[i]));
  if (i < count) dest[i] = 0;
  return i;
}

std::size_t wcstombs(char* dest, const wchar_t* source, std::size_t count) {
  if (source == nullptr) return static_cast<std::size_t>(-1);
  std::size_t i = 0;
  for (; (dest == nullptr || i < count) && source[i] != 0; ++i) {
    const int byte = kernel::AnsiFromWide(source[i]);
    if (byte < 0) return static_cast<std::size_t>(-1);
    if (dest != nullptr) dest[i] = static_cast<char>(byte);
  }
  if (dest != nullptr && i < count) dest[i] = 0;
  return i;
}

}  // namespace ce
