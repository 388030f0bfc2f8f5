#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ce/crt.h"
#include "ce/winbase.h"
#include "ce/winnls.h"

namespace {

TEST(LstrCalls, CopyConcatLengthAndNulls) {
  wchar_t buffer[16];
  std::wmemset(buffer, L'#', 16);
  EXPECT_EQ(lstrcpynW(buffer, L"abcdef", 4), buffer);
  EXPECT_STREQ(buffer, L"abc");
  EXPECT_EQ(buffer[4], L'#');
  EXPECT_STREQ(lstrcpynW(buffer, L"xy", 10), L"xy");
  EXPECT_STREQ(lstrcatW(buffer, L"z"), L"xyz");
  EXPECT_STREQ(lstrcpyW(buffer, L"hello"), L"hello");
  EXPECT_EQ(lstrlenW(buffer), 5);
  EXPECT_EQ(lstrlenW(nullptr), 0);
  EXPECT_EQ(lstrcpyW(nullptr, L"a"), nullptr);
  EXPECT_EQ(lstrcpynW(buffer, nullptr, 4), nullptr);
}

TEST(LstrCalls, CompareOrdersLettersBeforeCase) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    int exact;
    int noCase;
  } cases[] = {
      {L"apple", L"apple", 0, 0},
      {L"a", L"B", -1, -1},
      {L"B", L"a", 1, 1},
      {L"a", L"A", -1, 0},
      {L"Abc", L"abd", -1, -1},
      {L"ab", L"abc", -1, -1},
      {L"\u00e9t\u00e9", L"\u00c9T\u00c9", -1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ((lstrcmpW(c.a, c.b) > 0) - (lstrcmpW(c.a, c.b) < 0), c.exact) << c.a << L" " << c.b;
    EXPECT_EQ((lstrcmpiW(c.a, c.b) > 0) - (lstrcmpiW(c.a, c.b) < 0), c.noCase) << c.a << L" " << c.b;
  }
}

TEST(CharCase, StringsBuffersAndSingleCharacters) {
  wchar_t text[] = L"Stra\u00dfe \u00ff \u00e0 \u0161 \u03b1\u03c2 \u0434 z";
  CharUpperW(text);
  EXPECT_STREQ(text, L"STRA\u00dfE \u0178 \u00c0 \u0160 \u0391\u03a3 \u0414 Z");
  CharLowerW(text);
  EXPECT_STREQ(text, L"stra\u00dfe \u00ff \u00e0 \u0161 \u03b1\u03c3 \u0434 z");

  wchar_t partial[] = L"abcd";
  EXPECT_EQ(CharUpperBuffW(partial, 2), 2u);
  EXPECT_STREQ(partial, L"ABcd");
  EXPECT_EQ(CharLowerBuffW(partial, 4), 4u);
  EXPECT_STREQ(partial, L"abcd");

  // A value below 0x10000 in place of a pointer is one character.
  auto single = [](LPWSTR result) { return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(result)); };
  EXPECT_EQ(single(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(L'q')))), L'Q');
  EXPECT_EQ(single(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(0xC9)))), L'\u00e9');
}

TEST(CrtCompare, NoCaseComparesFoldToLowerCase) {
  EXPECT_EQ(_wcsicmp(L"TYPHOON", L"typhoon"), 0);
  EXPECT_EQ(_wcsicmp(L"\u00c9cole", L"\u00e9COLE"), 0);
  EXPECT_LT(_wcsicmp(L"abc", L"abd"), 0);
  EXPECT_GT(_wcsicmp(L"abc", L"ab"), 0);
  EXPECT_LT(_wcsicmp(L"_", L"A"), 0);  // folded to lower case, so "_" sorts before letters
  EXPECT_EQ(_wcsnicmp(L"Rooms\\x", L"ROOMS\\y", 6), 0);
  EXPECT_NE(_wcsnicmp(L"Rooms\\x", L"ROOMS\\y", 7), 0);
  EXPECT_EQ(wcsicmp(L"Ab", L"aB"), 0);
  EXPECT_EQ(_wcsicmp(nullptr, L"a"), _NLSCMPERROR);

  EXPECT_EQ(_stricmp("Table.KSO", "table.kso"), 0);
  EXPECT_NE(_stricmp("\xC9", "\xE9"), 0);  // narrow compares fold ASCII only
  EXPECT_LT(_stricmp("_", "A"), 0);
  EXPECT_EQ(_strnicmp("UIx", "uiY", 2), 0);
  EXPECT_EQ(_stricmp("a", nullptr), _NLSCMPERROR);
}

TEST(CrtClasses, ClassesAndCaseIgnoreTheHostLocale) {
  struct Case {
    wint_t c;
    unsigned mask;
  } cases[] = {
      {L'a', _LOWER | 0x100 | _HEX},
      {L'G', _UPPER | 0x100},
      {L'7', _DIGIT | _HEX},
      {L' ', _SPACE | _BLANK},
      {L'\t', _SPACE | _BLANK | _CONTROL},
      {L'\n', _SPACE | _CONTROL},
      {0xA0, _SPACE | _BLANK},
      {0x3000, _SPACE | _BLANK},
      {L',', _PUNCT},
      {0x20AC, _PUNCT},
      {0xE9, _LOWER | 0x100},
      {0xC9, _UPPER | 0x100},
      {0xDF, _LOWER | 0x100},
      {0x4E2D, 0x100},
      {0x0663, 0},  // other scripts' digits are not digits
      {0, _CONTROL},
  };
  for (const Case& c : cases) EXPECT_EQ(static_cast<unsigned>(ce::iswctype(c.c, 0x1FF)), c.mask) << std::hex << c.c;
  EXPECT_TRUE(ce::iswalpha(0x416));
  EXPECT_TRUE(ce::iswalnum(L'5'));
  EXPECT_FALSE(ce::iswprint(L'\n'));
  EXPECT_TRUE(ce::iswprint(L' '));
  EXPECT_EQ(ce::towupper(0xFF), 0x178u);
  EXPECT_EQ(ce::towlower(L'I'), static_cast<wint_t>(L'i'));
  EXPECT_EQ(ce::towupper(L'i'), static_cast<wint_t>(L'I'));
  EXPECT_EQ(ce::towlower(0x401), 0x451u);
}

TEST(CrtNumbers, WideToInteger) {
  struct Case {
    const wchar_t* text;
    LONG value;
  } cases[] = {
      {L"42", 42},
      {L"  -17x", -17},
      {L"+8", 8},
      {L"", 0},
      {L"abc", 0},
      {L"\u3000 12", 12},
      {L"2147483647", 2147483647},
      {L"2147483648", 2147483647},
      {L"-2147483648", INT32_MIN},
      {L"-99999999999", INT32_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(_wtol(c.text), c.value) << c.text;
    EXPECT_EQ(_wtoi(c.text), c.value) << c.text;
  }
  EXPECT_EQ(_wtoi(nullptr), 0);
}

TEST(CrtNumbers, WcstolBasesAndEnd) {
  wchar_t* end = nullptr;
  const wchar_t* text = L"#ff8040";
  EXPECT_EQ(ce::wcstol(text + 1, &end, 16), 0xff8040);
  EXPECT_EQ(end, text + 7);
  EXPECT_EQ(ce::wcstol(L"0x1A", nullptr, 0), 26);
  EXPECT_EQ(ce::wcstol(L"077", nullptr, 0), 63);
  EXPECT_EQ(ce::wcstol(L"z", nullptr, 36), 35);
  const wchar_t* none = L"  x1";
  EXPECT_EQ(ce::wcstol(none, &end, 10), 0);
  EXPECT_EQ(end, none);
  EXPECT_EQ(ce::wcstol(L"12", &end, 1), 0);  // invalid base
  EXPECT_EQ(ce::wcstoul(L"4294967295", nullptr, 10), 4294967295u);
  EXPECT_EQ(ce::wcstoul(L"99999999999", nullptr, 10), 4294967295u);
  EXPECT_EQ(ce::wcstoul(L"-1", nullptr, 10), 4294967295u);
  EXPECT_EQ(ce::wcstoul(L"120 ", nullptr, 10), 120u);
}

TEST(CrtNumbers, WcstodUsesThePoint) {
  wchar_t* end = nullptr;
  const wchar_t* text = L" -0.25x";
  EXPECT_EQ(ce::wcstod(text, &end), -0.25);
  EXPECT_EQ(end, text + 6);
  EXPECT_EQ(ce::wcstod(L"1.5e3", nullptr), 1500.0);
  EXPECT_EQ(ce::wcstod(L".5", nullptr), 0.5);
  EXPECT_EQ(ce::wcstod(L"7.", nullptr), 7.0);
  EXPECT_EQ(ce::wcstod(L"1,5", nullptr), 1.0);
  EXPECT_EQ(ce::wcstod(L"2e", &end), 2.0);
  EXPECT_EQ(*end, L'e');
  EXPECT_TRUE(std::isinf(ce::wcstod(L"1e999", nullptr)));
  EXPECT_EQ(ce::wcstod(L"1e-999", nullptr), 0.0);
  const wchar_t* nan = L"nan";
  EXPECT_EQ(ce::wcstod(nan, &end), 0.0);
  EXPECT_EQ(end, nan);
  EXPECT_EQ(_wtof(L"3.25"), 3.25);
}

TEST(CrtNumbers, IntegerToText) {
  wchar_t buffer[40];
  EXPECT_STREQ(_itow(0, buffer, 10), L"0");
  EXPECT_STREQ(_itow(-123, buffer, 10), L"-123");
  EXPECT_STREQ(_itow(INT32_MIN, buffer, 10), L"-2147483648");
  EXPECT_STREQ(_itow(-1, buffer, 16), L"ffffffff");
  EXPECT_STREQ(_itow(255, buffer, 2), L"11111111");
  EXPECT_STREQ(_ultow(4294967295u, buffer, 36), L"1z141z3");
  EXPECT_STREQ(_ltow(-5, buffer, 10), L"-5");
  EXPECT_STREQ(_itow(5, buffer, 1), L"");
  char narrow[40];
  EXPECT_STREQ(_itoa(-42, narrow, 10), "-42");
}

TEST(CrtNumbers, GcvtKeepsThePoint) {
  struct Case {
    double value;
    int digits;
    const char* text;
  } cases[] = {
      {5.0, 3, "5."},
      {0.05, 3, "0.05"},
      {0.00123, 3, "0.00123"},
      {123.456, 4, "123.5"},
      {1e7, 3, "1.e+007"},
      {0.0, 3, "0."},
      {-3.1415e5, 7, "-314150."},
      {-3.1415e-4, 7, "-0.00031415"},
      {-3.1415e-5, 7, "-3.1415e-005"},
      {123.456, 3, "123."},
  };
  char buffer[40];
  for (const Case& c : cases) EXPECT_STREQ(_gcvt(c.value, c.digits, buffer), c.text) << c.value;
}

TEST(CodePage, AnsiIsWindows1252AndRoundTrips) {
  EXPECT_EQ(GetACP(), 1252u);
  char bytes[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
  wchar_t wide[256];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, 256, wide, 256), 256);
  EXPECT_EQ(wide[0x41], L'A');
  EXPECT_EQ(wide[0x80], L'\u20ac');
  EXPECT_EQ(wide[0x8A], L'\u0160');
  EXPECT_EQ(wide[0x99], L'\u2122');
  EXPECT_EQ(wide[0x9F], L'\u0178');
  EXPECT_EQ(wide[0x81], L'\u0081');
  EXPECT_EQ(wide[0xE9], L'\u00e9');
  char back[256];
  BOOL usedDefault = TRUE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide, 256, back, 256, nullptr, &usedDefault), 256);
  EXPECT_EQ(std::memcmp(bytes, back, 256), 0);
  EXPECT_FALSE(usedDefault);
}

TEST(CodePage, UnmappedCharactersBecomeTheDefault) {
  char out[16];
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"a\u4e2d\u20acb", 4, out, 16, nullptr, &usedDefault), 4);
  EXPECT_EQ(std::string(out, 4),
            "a?\x80"
            "b");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u0100", 1, out, 16, "#", &usedDefault), 1);
  EXPECT_EQ(out[0], '#');

  // Composite check: a base letter and a combining mark become the
  // precomposed letter; otherwise the mark is separated, dropped or replaced.
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, L"e\u0301S\u030c", 4, out, 16, nullptr, &usedDefault), 2);
  EXPECT_EQ(std::string(out, 2), "\xE9\x8A");
  EXPECT_FALSE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, L"q\u0301", 2, out, 16, nullptr, &usedDefault), 2);
  EXPECT_EQ(std::string(out, 2), "q?");
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK | WC_DISCARDNS, L"q\u0301", 2, out, 16, nullptr, nullptr), 1);
  EXPECT_EQ(out[0], 'q');
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK | WC_DEFAULTCHAR, L"q\u0301", 2, out, 16, nullptr, nullptr),
            1);
  EXPECT_EQ(out[0], '?');
}

TEST(CodePage, SizeQueriesAndSmallBuffers) {
  // Length -1 counts the terminator; an explicit length does not add one.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 0), 3);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", -1, nullptr, 0, nullptr, nullptr), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u20ac", -1, nullptr, 0, nullptr, nullptr), 4);

  wchar_t wide[8];
  std::wmemset(wide, L'#', 8);
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 8), 4);
  EXPECT_STREQ(wide, L"abc");

  std::wmemset(wide, L'#', 8);
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(wide[0], L'#');  // nothing written on failure

  char narrow[4];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00e9\u00e9", 2, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, BadArgumentsAndFlags) {
  wchar_t wide[8];
  char narrow[8];
  BOOL used = FALSE;
  struct Case {
    std::function<int()> call;
    DWORD error;
  } cases[] = {
      {[&] { return MultiByteToWideChar(CP_ACP, 0, nullptr, 3, wide, 8); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_ACP, 0, "abc", 0, wide, 8); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_ACP, 0, "abc", -2, wide, 8); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 8); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(12345, 0, "abc", 3, wide, 8); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED | MB_COMPOSITE, "a", 1, wide, 8); },
       ERROR_INVALID_FLAGS},
      {[&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 8); }, ERROR_INVALID_FLAGS},
      {[&] { return WideCharToMultiByte(CP_UTF8, 0, L"a", 1, narrow, 8, nullptr, &used); }, ERROR_INVALID_PARAMETER},
      {[&] { return WideCharToMultiByte(CP_UTF8, 0, L"a", 1, narrow, 8, "?", nullptr); }, ERROR_INVALID_PARAMETER},
      {[&] { return WideCharToMultiByte(CP_ACP, 0, L"a", 1, narrow, -1, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
      {[&] { return WideCharToMultiByte(CP_ACP, 0, nullptr, 1, narrow, 8, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {[&] { return WideCharToMultiByte(CP_ACP, WC_DISCARDNS, L"a", 1, narrow, 8, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
      {[&] { return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, L"a", 1, narrow, 8, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SetLastError(0);
    EXPECT_EQ(cases[i].call(), 0) << i;
    EXPECT_EQ(GetLastError(), cases[i].error) << i;
  }
}

TEST(CodePage, UnconvertedFormsFailLoudly) {
  wchar_t wide[4];
  EXPECT_DEATH(MultiByteToWideChar(CP_ACP, MB_COMPOSITE, "a", 1, wide, 4), "not implemented");
  EXPECT_DEATH(MultiByteToWideChar(CP_OEMCP, 0, "a", 1, wide, 4), "not implemented");
}

TEST(CodePage, ConstantsKeepTheirDeviceValues) {
  static_assert(CP_ACP == 0 && CP_OEMCP == 1 && CP_THREAD_ACP == 3 && CP_UTF8 == 65001);
  static_assert(MB_PRECOMPOSED == 1 && MB_COMPOSITE == 2 && MB_USEGLYPHCHARS == 4 && MB_ERR_INVALID_CHARS == 8);
  static_assert(WC_DISCARDNS == 0x10 && WC_SEPCHARS == 0x20 && WC_DEFAULTCHAR == 0x40 && WC_ERR_INVALID_CHARS == 0x80 &&
                WC_COMPOSITECHECK == 0x200 && WC_NO_BEST_FIT_CHARS == 0x400);
  static_assert(_UPPER == 1 && _LOWER == 2 && _DIGIT == 4 && _SPACE == 8 && _PUNCT == 0x10 && _CONTROL == 0x20 &&
                _BLANK == 0x40 && _HEX == 0x80 && _ALPHA == 0x103);
  static_assert(CE_RAND_MAX == 0x7FFF && ERROR_INVALID_FLAGS == 1004 && ERROR_NO_UNICODE_TRANSLATION == 1113);
  SUCCEED();
}

TEST(CodePage, Utf8RoundTripAndInvalidInput) {
  const wchar_t text[] = L"a\u00e9\u20ac\U0001F600";
  char utf8[16];
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, 16, nullptr, nullptr);
  ASSERT_EQ(bytes, 11);
  EXPECT_STREQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  wchar_t wide[8];
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 8), 5);
  EXPECT_STREQ(wide, text);

  // Invalid bytes become U+FFFD, or fail when asked to.
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0,
                                "a\xFF"
                                "b\xC3",
                                4, wide, 8),
            4);
  EXPECT_EQ(std::wstring(wide, 4), L"a\ufffdb\ufffd");
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wide, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);

  const wchar_t lone[] = {0xD800, 0};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 1, utf8, 16, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(utf8, 3), "\xEF\xBF\xBD");
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 1, utf8, 16, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePage, CrtConversionsUseTheAnsiCodePage) {
  wchar_t wide[8];
  EXPECT_EQ(ce::mbstowcs(nullptr, "x\x80y", 0), 3u);
  EXPECT_EQ(ce::mbstowcs(wide, "x\x80y", 8), 3u);
  EXPECT_STREQ(wide, L"x\u20acy");
  std::wmemset(wide, L'#', 8);
  EXPECT_EQ(ce::mbstowcs(wide, "abcdef", 3), 3u);
  EXPECT_EQ(wide[3], L'#');  // no room for the terminator: none written

  char narrow[8];
  EXPECT_EQ(ce::wcstombs(narrow, L"\u00fc\u20ac", 8), 2u);
  EXPECT_STREQ(narrow, "\xFC\x80");
  EXPECT_EQ(ce::wcstombs(nullptr, L"abc", 0), 3u);
  EXPECT_EQ(ce::wcstombs(narrow, L"a\u4e2d", 8), static_cast<std::size_t>(-1));
}

TEST(Rand, DeviceSequence) {
  ce::srand(1);
  const int afterOne[] = {41, 18467, 6334, 26500, 19169};
  for (int expected : afterOne) EXPECT_EQ(ce::rand(), expected);
  ce::srand(0);
  const int afterZero[] = {38, 7719, 21238, 2437, 8855};
  for (int expected : afterZero) EXPECT_EQ(ce::rand(), expected);
  ce::srand(12345);
  for (int i = 0; i < 1000; ++i) {
    const int r = ce::rand();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, CE_RAND_MAX);
  }
}

TEST(Rand, StartsSeededWithOneInAFreshProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(ce::rand() == 41 ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST(Rand, OneStateSharedByAllThreads) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 5000;
  ce::srand(7);
  std::vector<int> expected;
  for (int i = 0; i < kThreads * kPerThread; ++i) expected.push_back(ce::rand());

  ce::srand(7);
  std::vector<std::vector<int>> drawn(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&drawn, t] {
      for (int i = 0; i < kPerThread; ++i) drawn[t].push_back(ce::rand());
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<int> all;
  for (const auto& values : drawn) all.insert(all.end(), values.begin(), values.end());
  std::sort(all.begin(), all.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);  // every value of the one sequence, each exactly once
}

}  // namespace
