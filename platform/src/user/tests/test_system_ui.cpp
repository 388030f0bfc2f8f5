#include <gtest/gtest.h>

#include <string>

#include "ce/imm.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "headless_device.h"
#include "screen_config.h"

namespace {

static_assert(COLOR_HIGHLIGHT == 13 && COLOR_HIGHLIGHTTEXT == 14 && COLOR_WINDOW == 5 && COLOR_BTNFACE == 15);
static_assert(GCS_RESULTSTR == 0x0800 && GCS_COMPSTR == 0x0008);

TEST(SystemMetrics, FollowTheConfiguredScreenAndDpi) {
  ce::test::ScreenConfig config{
      {"DEVICE_SCREEN_WIDTH", "480"}, {"DEVICE_SCREEN_HEIGHT", "640"}, {"DEVICE_SCREEN_DPI", "192"}};
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 480);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 640);
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), 64);  // 32 at 96 dpi
  EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
}

TEST(SystemColours, TheSchemeAndItsBrushes) {
  // Highlight text must read on the highlight, and window text on windows.
  EXPECT_NE(GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT));
  EXPECT_NE(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT | SYS_COLOR_INDEX_FLAG), GetSysColor(COLOR_HIGHLIGHT));
  SetLastError(0);
  EXPECT_EQ(GetSysColor(29), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetSysColorBrush(-1), nullptr);

  for (int index = COLOR_SCROLLBAR; index <= COLOR_GRADIENTINACTIVECAPTION; ++index) {
    HBRUSH brush = GetSysColorBrush(index);
    ASSERT_NE(brush, nullptr) << index;
    LOGBRUSH logical{};
    ASSERT_EQ(GetObjectW(brush, sizeof logical, &logical), static_cast<int>(sizeof logical));
    EXPECT_EQ(logical.lbColor, GetSysColor(index)) << index;
    EXPECT_EQ(GetSysColorBrush(index), brush) << "one brush per colour";
  }
  // A program that deletes one after all still gets a working brush.
  DeleteObject(GetSysColorBrush(COLOR_WINDOW));
  LOGBRUSH logical{};
  EXPECT_EQ(GetObjectW(GetSysColorBrush(COLOR_WINDOW), sizeof logical, &logical), static_cast<int>(sizeof logical));
}

TEST(InputMethod, TheResultStringIsTheTextLastTyped) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"Typing";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND hwnd = CreateWindowExW(0, L"Typing", L"", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  SetFocus(hwnd);
  HIMC context = ImmGetContext(hwnd);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0), 0);

  ce::test::TypeText(L"h\u00e9llo");
  ce::test::PumpUntilIdle();
  constexpr LONG kChar = sizeof(wchar_t);
  EXPECT_EQ(ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0), 5 * kChar);  // bytes
  wchar_t text[8] = {};
  EXPECT_EQ(ImmGetCompositionStringW(context, GCS_RESULTSTR, text, sizeof text), 5 * kChar);
  EXPECT_EQ(std::wstring(text), L"h\u00e9llo");
  wchar_t small[2] = {};
  // Whole characters only.
  EXPECT_EQ(ImmGetCompositionStringW(context, GCS_RESULTSTR, small, 2 * kChar + 1), 2 * kChar);
  EXPECT_EQ(std::wstring(small, 2), L"h\u00e9");
  EXPECT_EQ(ImmGetCompositionStringW(context, GCS_COMPSTR, nullptr, 0), 0);
  EXPECT_TRUE(ImmReleaseContext(hwnd, context));

  DestroyWindow(hwnd);
  EXPECT_EQ(ImmGetContext(hwnd), nullptr);
  EXPECT_LT(ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0), 0);  // gone with its window
  UnregisterClassW(L"Typing", nullptr);
}

}  // namespace
