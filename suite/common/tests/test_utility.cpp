#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "ce/testing.h"
#include "common/iss_utility.h"
#include "common/launch.h"
#include "common/log.h"
#include "common/ui_helpers.h"
#include "scoped_setting.h"

namespace {

using ce::test::ScopedSetting;
using suite::IssUtility;

// A fresh utility object, which reads the version again.
IssUtility& FreshUtility() {
  IssUtility::DeleteInstance();
  return *IssUtility::GetInstance();
}

TEST(IssUtility, VersionKindsAndStorageRoots) {
  const struct {
    const char* major;
    const char* minor;
    const char* build;
    int kind;
    const wchar_t* root;
    const wchar_t* rootName;
  } cases[] = {
      {"2", "11", "0", 0, L"\\Storage\\", L"\\Storage"}, {"3", "0", "10999", 1, L"\\IPSM\\", L"\\IPSM"},
      {"3", "0", "11000", 2, L"\\IPSM\\", L"\\IPSM"},    {"3", "1", "0", 2, L"\\IPSM\\", L"\\IPSM"},
      {"4", "20", "0", 3, L"\\Storage\\", L"\\Storage"}, {"5", "2", "1235", 3, L"\\Storage\\", L"\\Storage"},
  };
  for (const auto& c : cases) {
    ScopedSetting major("DEVICE_OS_MAJOR", c.major);
    ScopedSetting minor("DEVICE_OS_MINOR", c.minor);
    ScopedSetting build("DEVICE_OS_BUILD", c.build);
    IssUtility& utility = FreshUtility();
    EXPECT_EQ(utility.GetOsVersionKind(), c.kind) << c.major << "." << c.minor << " build " << c.build;
    wchar_t root[16];
    ASSERT_TRUE(utility.GetStorageRoot(root));
    EXPECT_STREQ(root, c.root);
    ASSERT_TRUE(suite::GetStorageRootName(root));
    EXPECT_STREQ(root, c.rootName);
  }
  EXPECT_FALSE(FreshUtility().GetStorageRoot(nullptr));
  IssUtility::DeleteInstance();
}

TEST(IssUtility, ModuleDirectoryAndTimes) {
  IssUtility& utility = FreshUtility();
  wchar_t folder[MAX_PATH];
  ASSERT_TRUE(utility.GetModuleDirectory(folder));
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  EXPECT_EQ(std::wstring(program).rfind(folder, 0), 0u);
  EXPECT_EQ(folder[wcslen(folder) - 1], L'\\');

  SYSTEMTIME late{};
  late.wHour = 23;
  late.wMinute = 59;
  late.wSecond = 59;
  SYSTEMTIME early{};
  early.wYear = 2030;
  early.wDay = 2;
  early.wSecond = 1;
  EXPECT_DOUBLE_EQ(utility.TimeDifferenceMs(late, early), 86398000.0);
  EXPECT_DOUBLE_EQ(utility.TimeDifferenceMs(early, late), 86398000.0);
  IssUtility::DeleteInstance();
}

TEST(IssUtility, EventSoundsNeedTheSoundService) {
  EXPECT_FALSE(FreshUtility().PlayEventSound(5, TRUE)) << "no sound service on this device";

  // The service installed in "\Windows".
  ScopedSetting folders("DEVICE_PROGRAM_FOLDERS", std::string("SoundService=") + SUITE_OSSVCS_FOLDER);
  ASSERT_TRUE(CopyFileW(L"\\Program Files\\SoundService\\ossvcs.dll", L"\\Windows\\ossvcs.dll", FALSE));
  IssUtility& utility = FreshUtility();
  EXPECT_TRUE(utility.PlayEventSound(5, TRUE));
  EXPECT_TRUE(utility.PlayEventSound(7, FALSE));
  HMODULE service = GetModuleHandleW(L"ossvcs.dll");
  ASSERT_NE(service, nullptr);
  auto played =
      reinterpret_cast<const wchar_t* (*)()>(reinterpret_cast<void (*)()>(GetProcAddressW(service, L"StandInPlayed")));
  ASSERT_NE(played, nullptr);
  EXPECT_STREQ(played(), L"warning||5;SystemExclamation||7;");
  IssUtility::DeleteInstance();
}

TEST(UiHelpers, PointsRectanglesAndMetrics) {
  EXPECT_TRUE(suite::PtInBounds(0, 0, 10, 20, 10, 20)) << "right and bottom edges hit";
  EXPECT_TRUE(suite::PtInBounds(0, 0, 10, 20, 0, 0));
  EXPECT_FALSE(suite::PtInBounds(0, 0, 10, 20, 11, 5));
  EXPECT_FALSE(suite::PtInBounds(0, 0, 10, 20, 5, -1));

  RECT a{0, 5, 10, 20};
  RECT b{-3, 8, 4, 30};
  RECT out{};
  suite::UnionRect(&out, &a, &b);
  EXPECT_EQ(out.left, -3);
  EXPECT_EQ(out.bottom, 30);
  suite::DeflateRect(&out, &a, 2);
  EXPECT_EQ(out.left, 2);
  EXPECT_EQ(out.bottom, 18);
  suite::OffsetRect(&out, &a, POINT{3, -5});
  EXPECT_EQ(out.left, 3);
  EXPECT_EQ(out.top, 0);

  // Without the shell's own call the metrics come from the system font; a
  // buffer too small only reports the size needed.
  DWORD value = 0;
  DWORD required = 0;
  EXPECT_EQ(suite::GetUIMetrics(1, &value, 2, &required), S_OK);
  EXPECT_EQ(required, 4u);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(suite::GetUIMetrics(3, &value, 4, nullptr), S_OK);
  EXPECT_EQ(value, 100u);
  EXPECT_EQ(suite::GetUIMetrics(2, &value, 4, nullptr), S_OK);
  EXPECT_GT(value, 0u);
  EXPECT_EQ(suite::GetUIMetrics(9, &value, 4, nullptr), E_INVALIDARG);

  EXPECT_EQ(suite::ScaleByDpi(96), suite::ScreenDpiX());

  // Shorter than 320 pixels at 96 DPI.
  {
    ScopedSetting height("DEVICE_SCREEN_HEIGHT", "240");
    ce::testing::ReloadScreen();
    EXPECT_TRUE(suite::IsShortScreen());
  }
  ce::testing::ReloadScreen();
  EXPECT_FALSE(suite::IsShortScreen());
}

// What cannot be started or opened is told to the person, naming it; the
// message box's text reaches standard error on the headless device.
TEST(Launch, WhatCannotOpenIsToldToThePerson) {
  HANDLE file = CreateFileW(L"\\My Documents\\help.htp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  HANDLE shortcut = CreateFileW(L"\\My Documents\\gone.lnk", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const std::string text = "27#\"\\Program Files\\Gone\\g.exe\"";
  DWORD written = 0;
  WriteFile(shortcut, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(shortcut);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.lpFile = L"\\My Documents\\gone.lnk";
  const struct {
    const char* what;
    std::function<BOOL()> call;
    BOOL result;
    const char* told;  // null: nothing told
  } cases[] = {
      {"a missing program", [] { return suite::StartProgram(nullptr, L"\\Windows\\settings.exe", L"clock.cpl.xml"); },
       FALSE, "settings: Cannot open \"\\Windows\\settings.exe\": it is not on this device."},
      {"a shortcut to a missing program", [&] { return suite::OpenWithShell(nullptr, &info); }, FALSE,
       "Cannot open \"\\My Documents\\gone.lnk\": it is not on this device."},
      {"a missing help file",
       [] { return suite::OpenInBrowser(nullptr, L"\\Storage\\Application Data\\Home\\qveng.htp", nullptr); }, FALSE,
       "qveng: Cannot open \"\\Storage\\Application Data\\Home\\qveng.htp\": it is not on this device."},
      // The shell shows it: without a viewer (headless) it says where it is.
      {"a help file that is there", [] { return suite::OpenInBrowser(nullptr, L"\\My Documents\\help.htp", nullptr); },
       TRUE, "Documents: This device has no viewer for \"\\My Documents\\help.htp\"."},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(c.call(), c.result) << c.what;
    const std::string shown = ::testing::internal::GetCapturedStderr();
    if (c.told != nullptr) {
      EXPECT_NE(shown.find(c.told), std::string::npos) << c.what << ": " << shown;
    } else {
      EXPECT_EQ(shown, "") << c.what;
    }
  }
}

TEST(UiHelpers, PowerOffPressesAndReleasesThePowerKey) {
  suite::PowerOffDevice();
  std::ifstream log(ce::testing::DeviceRuntimeFolder() + "/power-requests.log");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_EQ(text.str(), "key down 0x4\nkey up 0x6\n");
}

// A dialog-like parent with one combo box, id 100.
class Combo : public ::testing::Test {
 protected:
  void SetUp() override {
    parent = CreateWindowExW(0, L"static", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    combo = CreateWindowExW(0, L"combobox", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 80, 100, parent,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(100)), nullptr, nullptr);
    ASSERT_NE(combo, nullptr);
  }
  void TearDown() override { DestroyWindow(parent); }
  LRESULT Count() const { return SendMessageW(combo, CB_GETCOUNT, 0, 0); }
  HWND parent = nullptr;
  HWND combo = nullptr;
};

TEST_F(Combo, NumbersRoundTripAndRangesAreChecked) {
  suite::FillComboWithNumbers(combo, 5, 30, 5, 15);
  EXPECT_EQ(Count(), 6);
  EXPECT_EQ(suite::GetComboNumber(parent, 100), 15u);
  ULONG n = 0;
  EXPECT_TRUE(suite::GetComboNumberInRange(parent, 100, 5, 30, 5, &n));
  EXPECT_EQ(n, 15u);
  EXPECT_FALSE(suite::GetComboNumberInRange(parent, 100, 20, 30, 5, &n)) << "below the minimum";

  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  suite::FillComboWithNumbers(combo, 10, 14, 1, 12);
  EXPECT_FALSE(suite::GetComboNumberInRange(parent, 100, 5, 30, 5, &n)) << "12 is not 5 + a multiple of 5";
  EXPECT_TRUE(suite::GetComboNumberInRange(parent, 100, 5, 30, 0, &n)) << "a step of 0 takes any number in range";
  EXPECT_EQ(n, 12u);

  // An item too long to be a number is refused, not copied.
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  const std::wstring huge(200, L'9');
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(huge.c_str()));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  EXPECT_EQ(suite::GetComboNumber(parent, 100), 0u);
  EXPECT_FALSE(suite::GetComboNumberInRange(parent, 100, 0, 0xFFFFFFFFu, 1, &n));
}

TEST_F(Combo, StringsComeFromTheModulesTable) {
  suite::FillComboFromStrings(combo, 10, 12, 1);
  ASSERT_EQ(Count(), 2) << "the missing string 11 is skipped";
  wchar_t text[32];
  SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Twelve");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);

  EXPECT_EQ(suite::ShowMessageFromStrings(nullptr, 1, 11, MB_OK), 0) << "an empty text shows nothing";
  EXPECT_EQ(suite::ShowMessageFromStrings(nullptr, 1, 2, MB_OK), IDOK);
}

// The suite's diagnostics: wide %s, one line each, cut to the line buffer.
TEST(Log, LinesGoToTheDebugOutput) {
  ::testing::internal::CaptureStderr();
  suite::LogLine(L"Home: the plug-in %s did not take its saved bytes (0x%08X)", L"{ABC}", 0x80004005u);
  suite::LogLine(L"%s", std::wstring(2 * suite::kLogLineChars, L'x').c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Home: the plug-in {ABC} did not take its saved bytes (0x80004005)\n" +
                std::string(suite::kLogLineChars - 1, 'x') + "\n");
}

}  // namespace
