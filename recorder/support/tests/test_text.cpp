#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/winreg.h"
#include "liba/text.h"
#include "os/file.h"
#include "os/registry.h"

namespace {

TEST(ParseInt, Cases) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int value;
    int consumed;  // characters up to the returned position
  };
  const Case cases[] = {
      {L"  -12,5", true, -12, 6}, {L"+7", true, 7, 2},   {L"42", true, 42, 2}, {L"3 4", true, 3, 2},
      {L"+", false, 0, 0},        {L"   ", false, 0, 0}, {L"", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    const wchar_t* end = c.text + std::wcslen(c.text);
    int out = 99;
    const wchar_t* p = liba::parse_int(c.text, end, out);
    ASSERT_EQ(p != nullptr, c.ok);
    if (c.ok) {
      EXPECT_EQ(out, c.value);
      EXPECT_EQ(p - c.text, c.consumed);
    }
  }
  // Overlong digit strings saturate at the int range.
  const std::wstring big = L"99999999999999999999,-99999999999";
  int v = 0;
  const wchar_t* next = liba::parse_int(big.data(), big.data() + big.size(), v);
  EXPECT_EQ(v, 2147483647);
  liba::parse_int(next, big.data() + big.size(), v);
  EXPECT_EQ(v, -2147483647 - 1);
  // Letters only: null, with `out` written as 0.
  const wchar_t* letters = L"abc";
  int out = 99;
  EXPECT_EQ(liba::parse_int(letters, letters + 3, out), nullptr);
  EXPECT_EQ(out, 0);
  // Four numbers separated by single characters, by consecutive calls.
  const std::wstring list = L"1,22,-3;4";
  const wchar_t* p = list.data();
  std::vector<int> values;
  for (int i = 0; i < 4 && p; ++i) {
    int v = 0;
    p = liba::text_to_int(v, p, list.data() + list.size());
    values.push_back(v);
  }
  EXPECT_EQ(values, (std::vector<int>{1, 22, -3, 4}));
  EXPECT_EQ(p, list.data() + list.size());
}

TEST(ParseDouble, Cases) {
  struct Case {
    const wchar_t* text;
    bool ok;
    double value;
    int consumed;
  };
  const Case cases[] = {
      {L"2.5", true, 2.5, 3}, {L"3e2", true, 300, 3}, {L" -0.25x", true, -0.25, 6}, {L"1e-2,", true, 0.01, 5},
      {L".5", true, 0.5, 2},  {L".", false, 0, 0},    {L"-", false, 0, 0},          {L"e5", false, 0, 0},
      {L"7 ", true, 7, 1},    {L"2e", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
    const wchar_t* end = c.text + std::wcslen(c.text);
    double out = 99;
    const wchar_t* p = liba::parse_double(c.text, end, out);
    ASSERT_EQ(p != nullptr, c.ok);
    if (c.ok) {
      EXPECT_DOUBLE_EQ(out, c.value);
      EXPECT_EQ(p - c.text, c.consumed);
    }
  }
}

TEST(TextHelpers, FormatTokensAndConversion) {
  EXPECT_EQ(liba::format_int(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(liba::format_double(1.5), "1.500000");
  // The largest values need far more than a short buffer.
  EXPECT_EQ(liba::format_double(-1e308).size(), 317u);
  std::wstring token;
  const std::wstring text = L"abc def";
  EXPECT_EQ(liba::read_token(token, text.data(), text.data() + text.size()), text.data() + 3);
  EXPECT_EQ(token, L"abc");
  std::string narrow;
  liba::read_narrow_token(narrow, text.data() + 4, text.data() + text.size());
  EXPECT_EQ(narrow, "def");

  EXPECT_EQ(liba::narrow_to_wide("caf\xE9"), L"café");
  EXPECT_EQ(liba::wide_to_narrow(L"café"), "caf\xE9");
  std::wstring w = L"keep";
  EXPECT_TRUE(liba::multibyte_to_wide("", 0, w));
  EXPECT_EQ(w, L"");

  std::wstring f = L"a";
  EXPECT_EQ(liba::append_format(f, L"=%d/%.1f/%ls", 5, 2.34, L"x"), L"a=5/2.3/x");
  EXPECT_EQ(liba::narrow_range_to_wide(liba::make_char_range("r\xE9")), L"ré");

  std::wstring s;
  s << L"n=" << 12 << " " << std::wstring(L"x") << "";
  EXPECT_EQ(s, L"n=12 x");
  EXPECT_TRUE(liba::starts_with(L"HKEY_USERS\\a", L"HKEY_USERS"));
  EXPECT_FALSE(liba::starts_with(L"hkey_users", L"HKEY_USERS"));
}

std::uint32_t ReadTextOf(const std::string& bytes, std::string& narrow, std::wstring& wide, std::uint32_t max) {
  {
    os::File f(L"%my_documents%/text.bin", 1);
    f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }
  os::File f(L"%my_documents%/text.bin", 0);
  return static_cast<std::uint32_t>(liba::read_text(f, narrow, wide, max));
}

TEST(ReadText, MarkDecidesWideOrNarrow) {
  std::string narrow = "old";
  std::wstring wide = L"old";
  EXPECT_EQ(ReadTextOf(std::string("\xFF\xFE"
                                   "A",
                                   3),
                       narrow, wide, 100),
            0u);
  EXPECT_EQ(narrow, std::string("\xFF\xFE"
                                "A",
                                3));
  EXPECT_EQ(wide, L"old");

  narrow = "old";
  EXPECT_EQ(ReadTextOf(std::string("\xFF\xFE"
                                   "A\0B\0",
                                   6),
                       narrow, wide, 100),
            1u);
  EXPECT_EQ(wide, L"AB");
  EXPECT_EQ(narrow, "old");

  EXPECT_EQ(ReadTextOf("abcd", narrow, wide, 100), 0u);
  EXPECT_EQ(narrow, "abcd");
  EXPECT_EQ(ReadTextOf("abcdef", narrow, wide, 4), 0u);  // limited by max_bytes
  EXPECT_EQ(narrow, "abcd");

  {
    os::File f(L"%my_documents%/text.bin", 1);
    f.write(
        "\xFF\xFE"
        "h\0i\0",
        6);
  }
  os::File f(L"%my_documents%/text.bin", 0);
  EXPECT_EQ(liba::read_text_wide(f, 1000), L"hi");
  std::wstring from;
  EXPECT_TRUE(liba::read_text_wide(f, from, 2, 1000));  // past the mark: narrow text
  EXPECT_EQ(from, std::wstring(L"h\0i\0", 4));
  EXPECT_TRUE(liba::read_text_wide(f, from, 0, 1000));
  EXPECT_EQ(from, L"hi");
  os::File g(L"%my_documents%/missing.bin", 0);
  EXPECT_EQ(liba::read_text_wide(g, 1000), L"");
}

TEST(Registry, PathsAndDwordValues) {
  HKEY root = nullptr;
  EXPECT_EQ(os::parse_registry_path(L"HKEY_CURRENT_USER\\Software\\Zentra", root), L"Software\\Zentra");
  EXPECT_EQ(root, HKEY_CURRENT_USER);
  EXPECT_EQ(os::parse_registry_path(L"HKEY_LOCAL_MACHINE\\A", root), L"A");
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(os::parse_registry_path(L"HKEY_CLASSES_ROOT/x", root), L"x");
  EXPECT_EQ(root, HKEY_CLASSES_ROOT);
  EXPECT_EQ(os::parse_registry_path(L"HKEY_USERS\\u", root), L"u");
  EXPECT_EQ(root, HKEY_USERS);
  root = HKEY_LOCAL_MACHINE;
  EXPECT_EQ(os::parse_registry_path(L"hkey_users\\u", root), L"");
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);

  const std::wstring path = L"HKEY_CURRENT_USER\\Software\\RegTest";
  std::uint32_t out = 7;
  EXPECT_TRUE(os::get_registry_dword(path, L"Missing", out));  // key is created
  EXPECT_EQ(out, 7u);

  os::RegKey key;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\RegTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key.key,
                            &disposition),
            ERROR_SUCCESS);
  const DWORD value = 0x12345678;
  ASSERT_EQ(RegSetValueExW(key.key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  const wchar_t text[] = L"abc";
  ASSERT_EQ(RegSetValueExW(key.key, L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 8), ERROR_SUCCESS);
  EXPECT_TRUE(os::get_registry_dword(path, L"Number", out));
  EXPECT_EQ(out, 0x12345678u);
  out = 5;
  EXPECT_TRUE(os::get_registry_dword(path, L"Text", out));  // not a DWORD: left as it was
  EXPECT_EQ(out, 5u);
}

}  // namespace
