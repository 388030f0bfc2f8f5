#include <gtest/gtest.h>

#include <string>

#include "common/string_helper.h"

namespace {

using suite::CStringHelper;

CStringHelper& S() { return *CStringHelper::GetInstance(); }

TEST(StringHelper, CutsClampAndRefuseWhatIsNotThere) {
  wchar_t out[64];
  S().Left(out, L"abc", 5);
  EXPECT_STREQ(out, L"abc");
  S().Left(out, L"abc", -3);
  EXPECT_STREQ(out, L"");
  S().Right(out, L"abcdef", 2);
  EXPECT_STREQ(out, L"ef");

  wcscpy(out, L"keep");
  EXPECT_FALSE(S().Mid(out, L"abc", 2, 5));
  EXPECT_STREQ(out, L"keep");
  EXPECT_TRUE(S().Mid(out, L"abcdef", 1, 3));
  EXPECT_STREQ(out, L"bcd");
  EXPECT_TRUE(S().SafeMid(out, L"abcdef", -2, 100));
  EXPECT_STREQ(out, L"abcdef");
  EXPECT_TRUE(S().SafeMid(out, L"abcdef", 4, 100));
  EXPECT_STREQ(out, L"ef");
  EXPECT_TRUE(S().MidFrom(out, L"abcdef", 3));
  EXPECT_STREQ(out, L"def");

  EXPECT_EQ(S().Find(L"abcabc", L"c", 3), 5);
  EXPECT_EQ(S().Find(L"abc", L"c", 4), -1);
  EXPECT_EQ(S().Find(L"abc", L"x", 0), -1);
  EXPECT_EQ(S().Find(nullptr, L"x", 0), -1);
  EXPECT_EQ(S().FindA("abc", "bc", 0), 1);
}

TEST(StringHelper, NullPointersAreTolerated) {
  EXPECT_EQ(S().Compare(nullptr, L"a"), -1);
  EXPECT_EQ(S().CompareA("a", nullptr), -1);
  EXPECT_EQ(S().CompareNoCase(L"ABC", L"abc"), 0);
  EXPECT_EQ(S().Length(nullptr), 0);
  EXPECT_EQ(S().FirstChar(nullptr), L'\0');
  EXPECT_EQ(S().LastChar(L"xyz"), L'z');
  EXPECT_TRUE(S().IsEmpty(nullptr));
  EXPECT_EQ(S().ToLong(nullptr), -1);
  EXPECT_EQ(S().ToDouble(nullptr), -1.0);
  S().Copy(nullptr, L"x");
  wchar_t out[8] = L"x";
  S().Concat(out, nullptr);
  EXPECT_STREQ(out, L"x");
  EXPECT_EQ(S().LoadResString(out, 1, 8), 0) << "no module set";
}

TEST(StringHelper, InsertDeleteAndTrimInPlace) {
  wchar_t text[CStringHelper::kTextCapacity] = L"bc";
  EXPECT_TRUE(S().Insert(text, L"a", 0));
  EXPECT_STREQ(text, L"abc");
  EXPECT_TRUE(S().Insert(text, L"d", 3));
  EXPECT_STREQ(text, L"abcd");
  EXPECT_TRUE(S().Insert(text, L"e", 99));
  EXPECT_STREQ(text, L"abcde");
  EXPECT_TRUE(S().Delete(-4, 2, text));
  EXPECT_STREQ(text, L"cde");
  EXPECT_TRUE(S().Delete(1, 50, text));
  EXPECT_STREQ(text, L"c");

  // A result beyond the buffer is refused, not written.
  std::wstring long_text(CStringHelper::kTextCapacity - 2, L'x');
  wcscpy(text, long_text.c_str());
  EXPECT_FALSE(S().Insert(text, L"yz", 0));
  EXPECT_EQ(std::wstring(text), long_text);

  wchar_t blank[] = L"   ";
  S().TrimRight(blank);
  EXPECT_STREQ(blank, L"");
  wchar_t padded[] = L" \t a b \r\n";
  S().Trim(padded);
  EXPECT_STREQ(padded, L"a b");
}

TEST(StringHelper, NumbersAndFormatting) {
  wchar_t out[64];
  // Device printf rules: "%s" is a wide string.
  EXPECT_TRUE(S().Format(out, L"%d   %s", 1, L"Add"));
  EXPECT_STREQ(out, L"1   Add");
  EXPECT_TRUE(S().IntToString(out, -42));
  EXPECT_STREQ(out, L"-42");

  const struct {
    double value;
    int digits;
    const wchar_t* text;
  } cases[] = {
      {0.05, 3, L"0.05"},
      {0.00123, 3, L"0.00123"},
      {5.0, 3, L"5"},
      {123.456, 4, L"123.5"},
      {1e7, 3, L"1.e+007"},
      {0.00001234, 6, L"0.00001234"},
      {0.00001234, 3, L"1.23e-005"},
      {-0.0000125, 5, L"-0.0000125"},
      {0.0, 3, L"0"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(S().DoubleToString(out, c.value, c.digits));
    EXPECT_STREQ(out, c.text) << c.value << " with " << c.digits << " digits";
  }
}

TEST(StringHelper, TokenizeAndConversions) {
  wchar_t text[] = L" one, two,,three ";
  std::wstring joined;
  for (wchar_t* t = S().Tokenize(text, L", "); t != nullptr; t = S().Tokenize(nullptr, L", "))
    joined += t + std::wstring(L"|");
  EXPECT_EQ(joined, L"one|two|three|");

  wchar_t wide[16];
  EXPECT_TRUE(S().AnsiToWide(wide, "caf\xE9"));
  EXPECT_STREQ(wide, L"caf\u00E9");
  char narrow[16];
  EXPECT_TRUE(S().WideToAnsi(narrow, L"caf\u00E9"));
  EXPECT_STREQ(narrow, "caf\xE9");
  EXPECT_DOUBLE_EQ(S().ToDoubleA("2.5"), 2.5);
}

}  // namespace
