#include <gtest/gtest.h>

#include <string>

#include "common/reg_helper.h"

namespace {

using suite::CRegHelper;

TEST(RegHelper, StringSizesAreDeviceBytes) {
  CRegHelper reg;
  const std::wstring fits(127, L'a');
  const std::wstring tooLong(200, L'b');
  ASSERT_TRUE(reg.WriteString(L"Software\\SuiteTest\\Sizes", L"fits", fits.c_str(), 127));
  ASSERT_TRUE(reg.WriteString(L"Software\\SuiteTest\\Sizes", L"long", tooLong.c_str(), 200));
  wchar_t buffer[256] = L"keep";
  EXPECT_TRUE(reg.ReadString(L"Software\\SuiteTest\\Sizes", L"fits", buffer, 256));
  EXPECT_EQ(std::wstring(buffer), fits);
  EXPECT_FALSE(reg.ReadString(L"Software\\SuiteTest\\Sizes", L"long", buffer, 256)) << "256 bytes hold 127 characters";
  EXPECT_TRUE(reg.ReadString(L"Software\\SuiteTest\\Sizes", L"long", buffer, 512));
  EXPECT_EQ(std::wstring(buffer), tooLong);
  EXPECT_FALSE(reg.ReadString(L"Software\\SuiteTest\\Missing", L"fits", buffer, 256));

  // The stored size is the device's: (length + 1) * 2 bytes.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\SuiteTest\\Sizes", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"fits", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 256u);
  RegCloseKey(key);
}

TEST(RegHelper, WritesAreBoundedAndUseTheGivenLength) {
  CRegHelper reg;
  wchar_t buffer[300];
  // A length past the text's end stores the text only.
  ASSERT_TRUE(reg.WriteString(L"Software\\SuiteTest\\Write", L"short", L"abc", 100));
  ASSERT_TRUE(reg.ReadString(L"Software\\SuiteTest\\Write", L"short", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, L"abc");
  ASSERT_TRUE(reg.WriteString(L"Software\\SuiteTest\\Write", L"cut", L"abcdef", 2));
  ASSERT_TRUE(reg.ReadString(L"Software\\SuiteTest\\Write", L"cut", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, L"ab");
  const std::wstring huge(260, L'x');
  EXPECT_FALSE(reg.WriteString(L"Software\\SuiteTest\\Write", L"huge", huge.c_str(), 260));
  EXPECT_TRUE(reg.WriteString(L"Software\\SuiteTest\\Write", L"most", huge.c_str(), 259));
}

TEST(RegHelper, TypesAreCheckedAndResultConventionsDiffer) {
  CRegHelper reg;
  ASSERT_TRUE(reg.WriteDword(L"Software\\SuiteTest\\Types", L"number", 42));
  ASSERT_TRUE(reg.WriteString(L"Software\\SuiteTest\\Types", L"text", L"42", 2));
  DWORD number = 7;
  EXPECT_TRUE(reg.ReadDword(L"Software\\SuiteTest\\Types", L"number", &number));
  EXPECT_EQ(number, 42u);
  number = 7;
  EXPECT_FALSE(reg.ReadDword(L"Software\\SuiteTest\\Types", L"text", &number));
  EXPECT_EQ(number, 7u);
  wchar_t buffer[64] = L"keep";
  EXPECT_FALSE(reg.ReadString(L"Software\\SuiteTest\\Types", L"number", buffer, sizeof buffer));

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\SuiteTest\\Types", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(suite::RegReadString(key, L"text", nullptr, 64), ERROR_INVALID_DATA);
  EXPECT_EQ(suite::RegReadString(key, L"", buffer, 64), ERROR_INVALID_DATA);
  EXPECT_EQ(suite::RegReadString(key, L"text", buffer, 64), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"42");
  EXPECT_EQ(suite::RegReadString(key, L"missing", buffer, 64), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(suite::RegReadDword(key, L"number", &number));
  EXPECT_FALSE(suite::RegReadDword(nullptr, L"number", &number));
  RegCloseKey(key);

  // A text stored without its terminator still reads terminated.
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\SuiteTest\\Types", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, L"bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"xyz"), 6), ERROR_SUCCESS);
  EXPECT_EQ(suite::RegWriteString(key, L"written", L"hello"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(reg.ReadString(L"Software\\SuiteTest\\Types", L"bare", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, L"xyz");
  EXPECT_TRUE(reg.ReadString(L"Software\\SuiteTest\\Types", L"written", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, L"hello");
}

}  // namespace
