// Tuneup: the Today items renumbered in order, the font list (no
// "Bookdings", at most fifty), changes written at once, and the soft-reset
// notice only when something needs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ce/testing.h"
#include "common/reg_helper.h"
#include "temp_device.h"
#include "test_host.h"
#include "tuneup.h"

namespace tessivo {
namespace {

using test::RunSteps;
using test::TestHost;

constexpr wchar_t kNotificationKey[] = L"ControlPanel\\Notifications\\{A877D663-239C-47a7-9304-0D347F580408}";

HKEY MakeKey(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

DWORD ReadDword(HKEY root, const wchar_t* path, const wchar_t* name, DWORD fallback = 0xDEAD) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return fallback;
  DWORD value = fallback;
  suite::RegReadDword(key, name, &value);
  RegCloseKey(key);
  return value;
}

std::wstring ReadText(HKEY root, const wchar_t* path, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return L"<no key>";
  WCHAR text[64] = {};
  const LONG result = suite::RegReadString(key, name, text, sizeof(text) / sizeof(WCHAR) * 2);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::wstring(text) : L"<none>";
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

class Tuneup : public ::testing::Test {
 protected:
  void TearDown() override {
    CTuneupDialog::DeleteInstance();
    ::unsetenv("DEVICE_FONT_FAMILIES");
  }
  // A device of its own: the system font, title bar and notification
  // settings Tuneup writes stay with this test.
  ce::test::TempDevice m_device;
  TestHost m_host;
};

TEST_F(Tuneup, TodayItemsAreRenumberedFromTheSmallestOrder) {
  HKEY items = MakeKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Today\\Items");
  const struct {
    const wchar_t* name;
    DWORD order;  // 0xFFFF: no "Order" value
    DWORD expected;
  } cases[] = {{L"Alpha", 5, 20}, {L"Beta", 5, 30}, {L"Gamma", 1, 10}, {L"Delta", 0xFFFF, 0xDEAD}};
  for (const auto& c : cases) {
    HKEY item = MakeKey(items, c.name);
    if (c.order != 0xFFFF) SetDword(item, L"Order", c.order);
    RegCloseKey(item);
  }
  RegCloseKey(items);
  CTuneupLogic logic;
  logic.ReorderTodayItems();
  for (const auto& c : cases) {
    const std::wstring path = std::wstring(L"SOFTWARE\\Microsoft\\Today\\Items\\") + c.name;
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, path.c_str(), L"Order"), c.expected) << c.order;
  }
}

TEST_F(Tuneup, FontListSkipsBookdingsAndHoldsAtMostFifty) {
  std::string families = "Sans, Bookdings, Serif, Sans";
  for (int i = 0; i < 60; ++i) families += ", Face" + std::to_string(i);
  ::setenv("DEVICE_FONT_FAMILIES", families.c_str(), 1);
  CTuneupLogic logic;
  HDC dc = GetDC(nullptr);
  logic.CollectFonts(dc);
  ReleaseDC(nullptr, dc);
  ASSERT_EQ(logic.FontCount(), kTuneupMaxFonts);
  EXPECT_STREQ(logic.Font(0), L"Sans");
  EXPECT_STREQ(logic.Font(1), L"Serif");
  EXPECT_STREQ(logic.Font(2), L"Face0");
  for (int i = 0; i < logic.FontCount(); ++i) EXPECT_STRNE(logic.Font(i), L"Bookdings");
}

TEST_F(Tuneup, ChangesAreWrittenAtOnceAndDoneAsksForASoftResetOnlyThen) {
  ::setenv("DEVICE_FONT_FAMILIES", "Sans, Serif, Mono", 1);
  HKEY notification = MakeKey(HKEY_CURRENT_USER, kNotificationKey);
  SetDword(notification, L"Options", 9);
  RegCloseKey(notification);
  RegCloseKey(MakeKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shell"));  // the title bar's key exists
  // Nothing changed: no notice.
  RunSteps({[] { PostMessageW(CTuneupDialog::Existing()->Window(), WM_COMMAND, kCmdDone, 0); }});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CTuneupDialog::Instance()->Show(nullptr), kCmdDone);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(m_host.allSaves, 1);
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kNotificationKey, L"Default"), L"Low Battery Warning");

  RunSteps({[] {
    HWND dialog = CTuneupDialog::Existing()->Window();
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, kIdRemoveBatteryWarning)));
    CheckDlgButton(dialog, kIdClearType, BST_CHECKED);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kIdClearType, BN_CLICKED), 0);
    CToolLogic::SetListSelection(dialog, kIdSystemFont, 1);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kIdSystemFont, CBN_SELCHANGE), 0);
    CToolLogic::SetListSelection(dialog, kIdTitleBarDisplay, 3);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kIdTitleBarDisplay, CBN_SELCHANGE), 0);
    CheckDlgButton(dialog, kIdRemoveBatteryWarning, BST_CHECKED);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kIdRemoveBatteryWarning, BN_CLICKED), 0);
    PostMessageW(dialog, WM_COMMAND, kCmdDone, 0);
  }});
  ::testing::internal::CaptureStderr();
  CTuneupDialog::Instance()->Show(nullptr);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Tuneup: Please perform a soft reset"), std::string::npos);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Shell", L"Cleartype"), 1u);
  for (const wchar_t* key :
       {L"SYSTEM\\GDI\\SYSFNT", L"SYSTEM\\GWE\\Menu\\BarFnt", L"SYSTEM\\GWE\\Menu\\PopFnt", L"SYSTEM\\GWE\\OOMFnt"}) {
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, key, L"Nm"), L"Serif");
  }
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shell", L"TBOpt"), 3u);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kNotificationKey, L"Options"), 1u);

  // Opened again, the font written is the one selected; Cancel ends the
  // dialog and keeps what was written.
  RunSteps({[] {
    HWND dialog = CTuneupDialog::Existing()->Window();
    WCHAR font[32] = {};
    EXPECT_TRUE(CToolLogic::GetListText(dialog, kIdSystemFont, font, 32));
    EXPECT_STREQ(font, L"Serif");
    EXPECT_EQ(IsDlgButtonChecked(dialog, kIdRemoveBatteryWarning), static_cast<UINT>(BST_CHECKED));
    PostMessageW(dialog, WM_COMMAND, kCmdCancel, 0);
  }});
  EXPECT_EQ(CTuneupDialog::Instance()->Show(nullptr), IDCANCEL);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Shell", L"Cleartype"), 1u);
}

TEST_F(Tuneup, WithoutTheNotificationKeyItsCheckBoxIsHidden) {
  RegDeleteKeyW(HKEY_CURRENT_USER, kNotificationKey);
  RunSteps({[] {
    HWND dialog = CTuneupDialog::Existing()->Window();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kIdRemoveBatteryWarning)));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }});
  CTuneupDialog::Instance()->Show(nullptr);
  EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kNotificationKey, L"Default"), L"<no key>");
}

}  // namespace
}  // namespace tessivo
