// The printf engine. Arguments are read in the device's sizes: plain and
// "l" integers are 32 bits, "I64"/"ll" 64 bits, "I" pointer-sized. Numbers
// are built in small local buffers; widths and precisions only repeat a pad
// character, so a huge width costs time only up to the sink's capacity.
#include "kernel/format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "kernel/code_page.h"

namespace ce::kernel {
namespace {

// Long enough for a fixed-notation DBL_MAX (309 digits) at the largest
// precision the formatter honours; places past the 17th significant digit
// are zeros anyway.
constexpr int kMaxFloatPrecision = 512;
constexpr std::size_t kFloatBuffer = 900;

// va_list wrapped so it can be passed by reference on every ABI.
struct ArgList {
  va_list ap;
};

enum class Size { Default, Char8, Short, Long, LongLong, LongDouble, Wide, Pointer };

struct Field {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool zero = false;
  bool alt = false;
  long long width = 0;
  long long precision = -1;  // -1: none given
  Size size = Size::Default;
  bool narrowOverride = false;  // "h" on c, C, s, S
};

constexpr long long kMaxNumber = 0x7FFFFFFF;

template <class Char>
long long ReadNumber(const Char*& f) {
  long long value = 0;
  while (*f >= '0' && *f <= '9') {
    if (value < kMaxNumber) value = value * 10 + (*f - '0');
    if (value > kMaxNumber) value = kMaxNumber;
    ++f;
  }
  return value;
}

template <class Char>
class Engine {
 public:
  Engine(FormatSink<Char>& sink, ArgList& args) : sink_(sink), args_(args) {}

  void Run(const Char* f) {
    while (*f != 0 && !sink_.overflow) {
      if (*f != '%') {
        sink_.Put(*f++);
        continue;
      }
      ++f;
      Field field;
      if (!ParseField(f, field)) return;  // the format ended inside a conversion
      Convert(*f++, field);
    }
  }

 private:
  static constexpr bool kWide = std::is_same_v<Char, wchar_t>;

  bool ParseField(const Char*& f, Field& field) {
    for (;; ++f) {
      if (*f == '-') {
        field.left = true;
      } else if (*f == '+') {
        field.plus = true;
      } else if (*f == ' ') {
        field.space = true;
      } else if (*f == '0') {
        field.zero = true;
      } else if (*f == '#') {
        field.alt = true;
      } else {
        break;
      }
    }
    if (*f == '*') {
      ++f;
      const long long width = va_arg(args_.ap, int);
      if (width < 0) {
        field.left = true;
        field.width = -width;
      } else {
        field.width = width;
      }
    } else {
      field.width = ReadNumber(f);
    }
    if (*f == '.') {
      ++f;
      if (*f == '*') {
        ++f;
        const int precision = va_arg(args_.ap, int);
        field.precision = precision < 0 ? -1 : precision;
      } else {
        field.precision = ReadNumber(f);
      }
    }
    if (*f == 'h') {
      ++f;
      field.size = Size::Short;
      field.narrowOverride = true;
      if (*f == 'h') {
        ++f;
        field.size = Size::Char8;
      }
    } else if (*f == 'l') {
      ++f;
      field.size = Size::Long;
      if (*f == 'l') {
        ++f;
        field.size = Size::LongLong;
      }
    } else if (*f == 'w') {
      ++f;
      field.size = Size::Wide;
    } else if (*f == 'L') {
      ++f;
      field.size = Size::LongDouble;
    } else if (*f == 'I') {
      ++f;
      if (f[0] == '6' && f[1] == '4') {
        f += 2;
        field.size = Size::LongLong;
      } else if (f[0] == '3' && f[1] == '2') {
        f += 2;
        field.size = Size::Default;
      } else {
        field.size = Size::Pointer;
      }
    }
    return *f != 0;
  }

  void Convert(Char conversion, const Field& field) {
    switch (conversion) {
      case 'd':
      case 'i':
        return Signed(field);
      case 'u':
        return Unsigned(field, 10, false);
      case 'o':
        return Unsigned(field, 8, false);
      case 'x':
        return Unsigned(field, 16, false);
      case 'X':
        return Unsigned(field, 16, true);
      case 'p':
        return Pointer(field);
      case 'c':
      case 'C':
        return Character(field, WideArgument(conversion, field));
      case 's':
      case 'S':
        return String(field, WideArgument(conversion, field));
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
        return Float(field, static_cast<char>(conversion));
      case 'n':
        (void)va_arg(args_.ap, void*);  // counts are never stored through a pointer
        return;
      default:
        // "%%" and any unknown conversion print the character itself.
        sink_.Put(conversion);
        return;
    }
  }

  // Whether a c/C/s/S argument is wide: lower case follows the format's own
  // width, upper case the other one; "h" forces narrow, "l" and "w" wide.
  bool WideArgument(Char conversion, const Field& field) const {
    if (field.narrowOverride) return false;
    if (field.size == Size::Long || field.size == Size::Wide) return true;
    const bool lower = conversion == 'c' || conversion == 's';
    return lower == kWide;
  }

  void Pad(long long count, Char c) {
    for (long long i = 0; i < count && !sink_.overflow; ++i) sink_.Put(c);
  }

  // Emits prefix, zeros, body with the width rules for numbers.
  void Number(const Field& field, const char* prefix, long long zeros, const char* body, std::size_t bodyLength) {
    const long long prefixLength = static_cast<long long>(std::strlen(prefix));
    long long total = prefixLength + zeros + static_cast<long long>(bodyLength);
    long long pad = field.width > total ? field.width - total : 0;
    if (!field.left && !field.zero) Pad(pad, ' ');
    for (const char* p = prefix; *p != 0; ++p) sink_.Put(static_cast<Char>(*p));
    if (!field.left && field.zero) Pad(pad, '0');
    Pad(zeros, '0');
    for (std::size_t i = 0; i < bodyLength && !sink_.overflow; ++i) sink_.Put(static_cast<Char>(body[i]));
    if (field.left) Pad(pad, ' ');
  }

  void Integer(Field field, std::uint64_t magnitude, bool negative, int base, bool upper, bool isSigned) {
    char digits[72];
    std::size_t n = 0;
    const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[72];
    std::uint64_t v = magnitude;
    while (v != 0) {
      reversed[n++] = alphabet[v % static_cast<unsigned>(base)];
      v /= static_cast<unsigned>(base);
    }
    for (std::size_t i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
    if (n == 0 && field.precision != 0) digits[n++] = '0';

    char prefix[3] = {0, 0, 0};
    if (isSigned) {
      if (negative) {
        prefix[0] = '-';
      } else if (field.plus) {
        prefix[0] = '+';
      } else if (field.space) {
        prefix[0] = ' ';
      }
    }
    if (field.alt && base == 16 && magnitude != 0) {
      prefix[0] = '0';
      prefix[1] = upper ? 'X' : 'x';
    }
    long long zeros = field.precision > static_cast<long long>(n) ? field.precision - static_cast<long long>(n) : 0;
    if (field.alt && base == 8 && zeros == 0 && (n == 0 || digits[0] != '0')) zeros = 1;
    if (field.precision >= 0) field.zero = false;
    Number(field, prefix, zeros, digits, n);
  }

  void Signed(const Field& field) {
    std::int64_t value = 0;
    switch (field.size) {
      case Size::Char8:
        value = static_cast<signed char>(va_arg(args_.ap, int));
        break;
      case Size::Short:
        value = static_cast<short>(va_arg(args_.ap, int));
        break;
      case Size::LongLong:
        value = va_arg(args_.ap, long long);
        break;
      case Size::Pointer:
        value = va_arg(args_.ap, std::intptr_t);
        break;
      default:
        value = va_arg(args_.ap, int);
        break;
    }
    const bool negative = value < 0;
    // Negate in unsigned arithmetic so the most negative value is safe.
    const std::uint64_t magnitude =
        negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    Integer(field, magnitude, negative, 10, false, true);
  }

  void Unsigned(const Field& field, int base, bool upper) {
    std::uint64_t value = 0;
    switch (field.size) {
      case Size::Char8:
        value = static_cast<unsigned char>(va_arg(args_.ap, unsigned));
        break;
      case Size::Short:
        value = static_cast<unsigned short>(va_arg(args_.ap, unsigned));
        break;
      case Size::LongLong:
        value = va_arg(args_.ap, unsigned long long);
        break;
      case Size::Pointer:
        value = va_arg(args_.ap, std::uintptr_t);
        break;
      default:
        value = va_arg(args_.ap, unsigned);
        break;
    }
    Integer(field, value, false, base, upper, false);
  }

  void Pointer(Field field) {
    const auto value = reinterpret_cast<std::uintptr_t>(va_arg(args_.ap, void*));
    field.alt = false;
    field.precision = 2 * sizeof(void*);
    Integer(field, value, false, 16, true, false);
  }

  void Character(const Field& field, bool wideArgument) {
    const int raw = va_arg(args_.ap, int);
    Char c;
    if (wideArgument) {
      const auto wide = static_cast<wchar_t>(raw);
      if constexpr (kWide) {
        c = wide;
      } else {
        const int byte = AnsiFromWide(wide);
        c = static_cast<char>(byte < 0 ? '?' : byte);
      }
    } else {
      const auto byte = static_cast<unsigned char>(raw);
      if constexpr (kWide) {
        c = WideFromAnsi(byte);
      } else {
        c = static_cast<char>(byte);
      }
    }
    const long long pad = field.width > 1 ? field.width - 1 : 0;
    const Char padChar = field.zero && !field.left ? Char('0') : Char(' ');
    if (!field.left) Pad(pad, padChar);
    sink_.Put(c);
    if (field.left) Pad(pad, ' ');
  }

  template <class From>
  void Text(const Field& field, const From* text) {
    std::size_t length = 0;
    while ((field.precision < 0 || static_cast<long long>(length) < field.precision) && text[length] != 0) ++length;
    const long long pad =
        field.width > static_cast<long long>(length) ? field.width - static_cast<long long>(length) : 0;
    const Char padChar = field.zero && !field.left ? Char('0') : Char(' ');
    if (!field.left) Pad(pad, padChar);
    for (std::size_t i = 0; i < length && !sink_.overflow; ++i) {
      if constexpr (std::is_same_v<From, Char>) {
        sink_.Put(text[i]);
      } else if constexpr (kWide) {
        sink_.Put(WideFromAnsi(static_cast<unsigned char>(text[i])));
      } else {
        const int byte = AnsiFromWide(text[i]);
        sink_.Put(static_cast<char>(byte < 0 ? '?' : byte));
      }
    }
    if (field.left) Pad(pad, ' ');
  }

  void String(const Field& field, bool wideArgument) {
    const void* pointer = va_arg(args_.ap, const void*);
    if (pointer == nullptr) {
      Text(field, "(null)");
    } else if (wideArgument) {
      Text(field, static_cast<const wchar_t*>(pointer));
    } else {
      Text(field, static_cast<const char*>(pointer));
    }
  }

  void Float(Field field, char conversion) {
    double value = 0;
    if (field.size == Size::LongDouble) {
      value = static_cast<double>(va_arg(args_.ap, long double));
    } else {
      value = va_arg(args_.ap, double);
    }
    long long precision = field.precision < 0 ? 6 : field.precision;
    if (precision > kMaxFloatPrecision) precision = kMaxFloatPrecision;
    char body[kFloatBuffer];
    const bool negative = std::signbit(value) && !std::isnan(value);
    const std::size_t length =
        FormatDouble(std::fabs(value), conversion, static_cast<int>(precision), field.alt, body, sizeof body);
    char prefix[2] = {0, 0};
    if (negative) {
      prefix[0] = '-';
    } else if (field.plus) {
      prefix[0] = '+';
    } else if (field.space) {
      prefix[0] = ' ';
    }
    if (!std::isfinite(value)) field.zero = false;
    Number(field, prefix, 0, body, length);
  }

  FormatSink<Char>& sink_;
  ArgList& args_;
};

// The decimal form the device's runtime prints from: the value rounded to 17
// significant digits, then rounded half away from zero at the place the
// format asks for; places past the 17th digit print as zeros.
struct Decimal {
  char digits[17];
  int exponent = 0;  // value = d0.d1d2... x 10^exponent

  char At(long long index) const { return index >= 0 && index < 17 ? digits[index] : '0'; }
  bool IsZero() const {
    for (char c : digits) {
      if (c != '0') return false;
    }
    return true;
  }
};

Decimal ToDecimal(double magnitude) {
  Decimal d;
  char text[48];
  const auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 16);
  d.digits[0] = text[0];
  std::memcpy(d.digits + 1, text + 2, 16);  // "d.dddddddddddddddde+XX"
  const char* e = static_cast<const char*>(std::memchr(text, 'e', static_cast<std::size_t>(result.ptr - text)));
  std::from_chars(e + (e[1] == '+' ? 2 : 1), result.ptr, d.exponent);
  if (d.IsZero()) d.exponent = 0;
  return d;
}

// Keeps `keep` significant digits, rounding half away from zero.
void RoundTo(Decimal& d, long long keep) {
  if (keep >= 17) return;
  if (keep < 0) {
    std::memset(d.digits, '0', sizeof d.digits);
    return;
  }
  const bool up = d.digits[keep] >= '5';
  std::memset(d.digits + keep, '0', static_cast<std::size_t>(17 - keep));
  if (!up) return;
  long long i = keep - 1;
  while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
  if (i >= 0) {
    ++d.digits[i];
  } else {
    d.digits[0] = '1';  // 9.99 became 10.0
    ++d.exponent;
  }
}

// Appends within `size`; the callers' buffers are sized for the worst case.
struct TextOut {
  char* out;
  std::size_t size;
  std::size_t length = 0;
  void Put(char c) {
    if (length < size) out[length++] = c;
  }
};

void Fixed(const Decimal& d, int precision, bool alt, TextOut& text) {
  if (d.exponent < 0) {
    text.Put('0');
  } else {
    for (long long k = 0; k <= d.exponent; ++k) text.Put(d.At(k));
  }
  if (precision > 0 || alt) text.Put('.');
  for (long long i = 1; i <= precision; ++i) text.Put(d.At(d.exponent + i));
}

void Scientific(const Decimal& d, int precision, bool alt, TextOut& text) {
  text.Put(d.At(0));
  if (precision > 0 || alt) text.Put('.');
  for (long long i = 1; i <= precision; ++i) text.Put(d.At(i));
  text.Put('e');
  text.Put(d.exponent < 0 ? '-' : '+');
  char digits[8];
  const auto result = std::to_chars(digits, digits + sizeof digits, d.exponent < 0 ? -d.exponent : d.exponent);
  for (auto n = result.ptr - digits; n < 3; ++n) text.Put('0');  // at least three exponent digits
  for (const char* p = digits; p < result.ptr; ++p) text.Put(*p);
}

// %g without '#': trailing zeros of the fraction go, then a bare point.
void StripFraction(TextOut& text) {
  char* e = static_cast<char*>(std::memchr(text.out, 'e', text.length));
  const std::size_t mantissaEnd = e != nullptr ? static_cast<std::size_t>(e - text.out) : text.length;
  if (std::memchr(text.out, '.', mantissaEnd) == nullptr) return;
  std::size_t end = mantissaEnd;
  while (text.out[end - 1] == '0') --end;
  if (text.out[end - 1] == '.') --end;
  std::memmove(text.out + end, text.out + mantissaEnd, text.length - mantissaEnd);
  text.length -= mantissaEnd - end;
}

}  // namespace

std::size_t FormatDouble(double magnitude, char conversion, int precision, bool alt, char* out, std::size_t size) {
  const bool upper = conversion >= 'A' && conversion <= 'Z';
  const char kind = static_cast<char>(upper ? conversion - 'A' + 'a' : conversion);
  TextOut text{out, size};
  if (std::isnan(magnitude) || std::isinf(magnitude)) {
    for (const char* p = std::isnan(magnitude) ? "nan" : "inf"; *p != 0; ++p) text.Put(*p);
  } else {
    Decimal d = ToDecimal(magnitude);
    if (kind == 'f') {
      RoundTo(d, d.exponent + 1LL + precision);
      Fixed(d, precision, alt, text);
    } else if (kind == 'e') {
      RoundTo(d, precision + 1LL);
      Scientific(d, precision, alt, text);
    } else {
      const int significant = precision == 0 ? 1 : precision;
      RoundTo(d, significant);
      if (d.exponent >= -4 && d.exponent < significant) {
        Fixed(d, significant - 1 - d.exponent, alt, text);
      } else {
        Scientific(d, significant - 1, alt, text);
      }
      if (!alt) StripFraction(text);
    }
  }
  if (upper) {
    for (std::size_t i = 0; i < text.length; ++i) {
      if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
    }
  }
  return text.length;
}

void FormatV(FormatSink<wchar_t>& sink, const wchar_t* format, va_list args) {
  ArgList list;
  va_copy(list.ap, args);
  Engine<wchar_t>(sink, list).Run(format);
  va_end(list.ap);
}

void FormatV(FormatSink<char>& sink, const char* format, va_list args) {
  ArgList list;
  va_copy(list.ap, args);
  Engine<char>(sink, list).Run(format);
  va_end(list.ap);
}

}  // namespace ce::kernel
