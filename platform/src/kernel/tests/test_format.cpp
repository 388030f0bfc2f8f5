#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <string>

#include "ce/crt.h"
#include "ce/winbase.h"

namespace {

std::wstring W(const wchar_t* format, ...) {
  wchar_t buffer[512];
  va_list args;
  va_start(args, format);
  const int length = _vsnwprintf(buffer, 512, format, args);
  va_end(args);
  EXPECT_GE(length, 0) << format;
  return length < 0 ? L"<cut>" : std::wstring(buffer, static_cast<std::size_t>(length));
}

std::string N(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int length = _vsnprintf(buffer, 512, format, args);
  va_end(args);
  EXPECT_GE(length, 0) << format;
  return length < 0 ? "<cut>" : std::string(buffer, static_cast<std::size_t>(length));
}

TEST(Format, WideAndNarrowTextArguments) {
  // In a wide format %s is wide and %S narrow; narrow formats the reverse.
  EXPECT_EQ(W(L"%s|%S", L"wide \u00e9", "narrow \x80"), L"wide \u00e9|narrow \u20ac");
  EXPECT_EQ(W(L"%hs %ls %ws", "a", L"b", L"c"), L"a b c");
  EXPECT_EQ(W(L"%c%C%c", L'\u00e9', 'A', L'\u4e2d'), L"\u00e9A\u4e2d");
  EXPECT_EQ(N("%s|%S", "narrow", L"wide \u20ac\u4e2d"), "narrow|wide \x80?");
  EXPECT_EQ(N("%c%C", 'x', L'\u0178'), "x\x9F");
  EXPECT_EQ(W(L"%s Wins", L"Ann"), L"Ann Wins");
  EXPECT_EQ(W(L"%s\\%s\\%s", L"Rooms", L"Garage", L"Table.kso"), L"Rooms\\Garage\\Table.kso");
  EXPECT_EQ(W(L"[%5s|%-5s|%05s]", L"ab", L"cd", L"ef"), L"[   ab|cd   |000ef]");
  EXPECT_EQ(W(L"%.2s|%.0s|", L"abcdef", L"xyz"), L"ab||");
  EXPECT_EQ(W(L"%s|%S", static_cast<const wchar_t*>(nullptr), static_cast<const char*>(nullptr)), L"(null)|(null)");
  // A precision bounds the read: the text need not be terminated.
  const wchar_t unterminated[3] = {L'x', L'y', L'z'};
  EXPECT_EQ(W(L"%.3s", unterminated), L"xyz");
}

TEST(Format, Integers) {
  struct Case {
    std::wstring got;
    const wchar_t* expected;
  } cases[] = {
      {W(L"%d", 42), L"42"},
      {W(L"%03d", 7), L"007"},
      {W(L"%03d", -7), L"-07"},
      {W(L"%-5d|", 42), L"42   |"},
      {W(L"%5d|", -42), L"  -42|"},
      {W(L"%+d % d %+d", 5, 5, -5), L"+5  5 -5"},
      {W(L"%i", -2147483647 - 1), L"-2147483648"},
      {W(L"%u", -1), L"4294967295"},
      {W(L"%x %X %#x %#X %#x", 255, 255, 255, 255, 0), L"ff FF 0xff 0XFF 0"},
      {W(L"%02X-%02X", 0x0A, 0xBC), L"0A-BC"},
      {W(L"%o %#o", 8, 8), L"10 010"},
      {W(L"%ld %lu", -5, 4000000000u), L"-5 4000000000"},
      {W(L"%hd %hu", 70000, 70000), L"4464 4464"},
      {W(L"%I64d %I64u", -9000000000LL, 18446744073709551615ULL), L"-9000000000 18446744073709551615"},
      {W(L"%lld %I64x", -1LL, 0x123456789ABLL), L"-1 123456789ab"},
      {W(L"%I32d", 12), L"12"},
      {W(L"%.3d|%.0d|%5.3d", 5, 0, 5), L"005||  005"},
      {W(L"%08.3d", 5), L"     005"},  // a precision turns zero padding off
      {W(L"%*d|%-*d|%*d", 5, 42, 4, 1, -4, 2), L"   42|1   |2   "},
      {W(L"%d%%", 50), L"50%"},
      {W(L"$%d,%03d", 1, 234), L"$1,234"},
      {W(L"%d  -  %d", 3, 4), L"3  -  4"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(Format, Floats) {
  struct Case {
    std::wstring got;
    const wchar_t* expected;
  } cases[] = {
      {W(L"%3.2f", 3.14159), L"3.14"},
      {W(L"%3.2fx%3.2f", 1.0, 0.5), L"1.00x0.50"},
      {W(L"%3.2f", 123.456), L"123.46"},
      {W(L"%f", 1.0), L"1.000000"},
      {W(L"%.1f Kb", 9.96), L"10.0 Kb"},
      {W(L"%.0f|%#.0f", 3.0, 3.0), L"3|3."},
      {W(L"%010.3f|%-8.2f|%+.1f", -3.14159, 2.5, 2.0), L"-00003.142|2.50    |+2.0"},
      {W(L"%f", -0.0), L"-0.000000"},
      {W(L"%.*f", 2, 3.14159), L"3.14"},
      {W(L"%e|%E", 1234.5, 0.00012), L"1.234500e+003|1.200000E-004"},
      {W(L"%.2e", 0.0), L"0.00e+000"},
      {W(L"%g|%g|%g|%g", 0.0001, 0.00001, 1234567.0, 100000.0), L"0.0001|1e-005|1.23457e+006|100000"},
      {W(L"%g|%G|%#g|%.3g", 0.5, 1e-10, 1.0, 2.0), L"0.5|1E-010|1.00000|2"},
      {W(L"%f|%f|%5.1f", std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
         std::nan("")),
       L"inf|-inf|  nan"},
      {W(L"%Lf", 1.5L), L"1.500000"},
      // Rounding works on 17 significant digits, half away from zero.
      {W(L"%.1f|%.2f|%.0f|%.0f|%.0f", 0.25, 0.125, 0.5, 2.5, 0.49), L"0.3|0.13|1|3|0"},
      {W(L"%.2f|%.1f|%.3f", 2.675, 9.96, 0.0004), L"2.67|10.0|0.000"},
      {W(L"%.20f", 0.1), L"0.10000000000000001000"},
      {W(L"%.1e|%.0e|%g", 9.96, 25.0, 999999.5), L"1.0e+001|3e+001|1e+006"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
  EXPECT_EQ(N("%f %3.2f %g", 1.0, 2.345, 0.25), "1.000000 2.35 0.25");
  // Large values print every integer digit.
  const std::wstring big = W(L"%f", 1e300);
  EXPECT_EQ(big.size(), 308u);
  EXPECT_EQ(big.substr(0, 20), L"10000000000000001000");
  EXPECT_EQ(big.substr(301), L".000000");
}

TEST(Format, PointersPercentAndOddConversions) {
  const auto p = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xBEEF));
  EXPECT_EQ(W(L"%p", p), std::wstring(2 * sizeof(void*) - 4, L'0') + L"BEEF");
  EXPECT_EQ(W(L"100%%"), L"100%");
  EXPECT_EQ(W(L"%y|%d", 3), L"y|3");  // an unknown conversion prints itself
  EXPECT_EQ(W(L"end%"), L"end");      // a format ending inside a conversion stops
  int count = 99;
  EXPECT_EQ(W(L"ab%ncd%d", &count, 1), L"abcd1");
  EXPECT_EQ(count, 99);  // %n stores nothing
}

TEST(Format, CountedFormsNeverWritePastTheCount) {
  wchar_t buffer[8];
  std::wmemset(buffer, L'#', 8);
  EXPECT_EQ(_snwprintf(buffer, 5, L"%s", L"abcdefg"), -1);
  EXPECT_EQ(std::wstring(buffer, 6), L"abcde#");  // cut, and no terminator

  std::wmemset(buffer, L'#', 8);
  EXPECT_EQ(_snwprintf(buffer, 3, L"%d", 123), 3);
  EXPECT_EQ(std::wstring(buffer, 4), L"123#");  // exact fit: no terminator either

  std::wmemset(buffer, L'#', 8);
  EXPECT_EQ(_snwprintf(buffer, 8, L"%03d", 9), 3);
  EXPECT_EQ(std::wstring(buffer, 5), std::wstring(L"009\0#", 5));

  EXPECT_EQ(_snwprintf(buffer, 0, L"x"), -1);
  EXPECT_EQ(_snwprintf(buffer, 0, L""), 0);
  EXPECT_EQ(_snwprintf(nullptr, 4, L"x"), -1);
  EXPECT_EQ(_snwprintf(buffer, 4, nullptr), -1);
  // A huge width is cut at the count, not written.
  std::wmemset(buffer, L'#', 8);
  EXPECT_EQ(_snwprintf(buffer, 6, L"%2147483647d", 1), -1);
  EXPECT_EQ(std::wstring(buffer, 7), L"      #");

  // Every count gives a prefix of the full text and touches nothing past it.
  const wchar_t* format = L"%s|%5d|%-8.3f|%S|%c";
  const std::wstring full = W(format, L"name", -42, 2.5, "ab", L'z');
  for (std::size_t count = 0; count <= full.size() + 2; ++count) {
    std::wstring out(full.size() + 8, L'#');
    const int result = _snwprintf(out.data(), count, format, L"name", -42, 2.5, "ab", L'z');
    const std::size_t stored = std::min(count, full.size());
    EXPECT_EQ(out.substr(0, stored), full.substr(0, stored));
    EXPECT_EQ(result, count < full.size() ? -1 : static_cast<int>(full.size()));
    EXPECT_EQ(out.find_first_not_of(L'#', count > full.size() ? full.size() + 1 : count), std::wstring::npos) << count;
  }

  char narrow[8];
  std::memset(narrow, '#', 8);
  EXPECT_EQ(_snprintf(narrow, 4, "%s", "abcdef"), -1);
  EXPECT_EQ(std::string(narrow, 5), "abcd#");
  EXPECT_EQ(_snprintf(narrow, 8, "%S=%d", L"\u00e9", 1), 3);
  EXPECT_STREQ(narrow, "\xE9=1");
}

TEST(Format, CappedFormsStopAt1024Characters) {
  const std::wstring longText(2000, L'x');
  std::wstring buffer(1100, L'#');
  // wsprintfW keeps the cut text and reports what it stored.
  EXPECT_EQ(wsprintfW(buffer.data(), L"%s", longText.c_str()), 1023);
  EXPECT_EQ(buffer[1022], L'x');
  EXPECT_EQ(buffer[1023], L'\0');
  EXPECT_EQ(buffer[1024], L'#');
  // The device's swprintf has no count; ours stops at the same bound and
  // reports the cut.
  buffer.assign(1100, L'#');
  EXPECT_EQ(ce::swprintf(buffer.data(), L"%s!", longText.c_str()), -1);
  EXPECT_EQ(buffer[1023], L'\0');
  EXPECT_EQ(buffer[1024], L'#');

  wchar_t small[64];
  EXPECT_EQ(wsprintfW(small, L"%lu", 4000000000u), 10);
  EXPECT_STREQ(small, L"4000000000");
  EXPECT_EQ(ce::swprintf(small, L"Spot (%d)", 7), 8);
  EXPECT_STREQ(small, L"Spot (7)");
  char narrow[64];
  EXPECT_EQ(ce::sprintf(narrow, "%d %f", -3, 0.5), 11);
  EXPECT_STREQ(narrow, "-3 0.500000");
}

int Forward(wchar_t* buffer, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int first = wvsprintfW(buffer, format, args);
  va_end(args);
  va_start(args, format);
  const int second = ce::vswprintf(buffer + 32, format, args);
  va_end(args);
  return first == second ? first : -2;
}

TEST(Format, VaListForms) {
  wchar_t buffer[64];
  EXPECT_EQ(Forward(buffer, L"%s=%I64d", L"n", 1LL << 40), 15);
  EXPECT_STREQ(buffer, L"n=1099511627776");
  EXPECT_STREQ(buffer + 32, L"n=1099511627776");
}

}  // namespace
