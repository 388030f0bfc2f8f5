// The shell's title bar: found where programs look for it, showing the
// foreground title and the clock, hidden for a window that takes the whole
// screen, and never painting over the program's windows or they over it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce/aygshell.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "headless_device.h"
#include "kernel/clock.h"
#include "menus/draw.h"
#include "menus/menus.h"
#include "scoped_setting.h"

namespace {

namespace clock = ce::kernel::clock;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;  // 1 January 2010, 0:00
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

std::vector<UINT> g_taps;  // pen-downs the program's windows were given

LRESULT CALLBACK ProgramProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN) g_taps.push_back(message);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The colour the screen shows for a colour (its format may hold fewer bits).
COLORREF Shown(COLORREF colour) {
  HDC screen = GetDC(nullptr);
  const COLORREF old = GetPixel(screen, 239, 319);
  SetPixel(screen, 239, 319, colour);
  const COLORREF shown = ce::test::ScreenPixel(239, 319);
  SetPixel(screen, 239, 319, old);
  ReleaseDC(nullptr, screen);
  return shown;
}

// The first top-level window at (0, 0), as wide as the screen and 26 pixels
// (at 96 DPI) high: how programs find the title bar.
HWND FindTitleBar() {
  struct Search {
    RECT wanted;
    HWND found;
  } search{RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), ce::menus::Scaled(26)}, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        RECT r{};
        if (GetWindowRect(hwnd, &r) && r.left == s->wanted.left && r.top == s->wanted.top &&
            r.right == s->wanted.right && r.bottom == s->wanted.bottom) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class TitleBar : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    g_taps.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProgramProc;
    wc.lpszClassName = L"BarProgram";
    wc.hbrBackground = CreateSolidBrush(kRed);
    ASSERT_NE(RegisterClassW(&wc), 0);
    program = Make(L"Alpha", 0);
    ASSERT_NE(program, nullptr);
    ce::test::PumpUntilIdle();
    const auto bar = ce::menus::TitleBarNow();
    ASSERT_TRUE(bar.has_value()) << "the first top-level window brings the bar";
    this->bar = bar->hwnd;
  }
  void TearDown() override {
    for (HWND w : made) {
      if (IsWindow(w)) DestroyWindow(w);
    }
    // The bar goes too, so later tests start without it.
    if (IsWindow(bar)) DestroyWindow(bar);
    ce::test::PumpUntilIdle();
    WNDCLASSW wc{};
    if (GetClassInfoW(nullptr, L"BarProgram", &wc)) DeleteObject(wc.hbrBackground);
    UnregisterClassW(L"BarProgram", nullptr);
  }

  HWND Make(const wchar_t* title, DWORD exStyle, HWND owner = nullptr, RECT r = RECT{0, 0, 240, 320}) {
    HWND w = CreateWindowExW(exStyle, L"BarProgram", title, WS_VISIBLE, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, owner, nullptr, nullptr, nullptr);
    made.push_back(w);
    return w;
  }

  std::wstring Title() { return ce::menus::TitleBarNow().value_or(ce::menus::TitleBarView{}).title; }

  ce::test::ScopedSetting on{"DEVICE_TITLE_BAR", "on"};
  HWND program = nullptr;
  HWND bar = nullptr;
  std::vector<HWND> made;
};

TEST_F(TitleBar, IsFoundAtTheTopAndShowsTheForegroundTitleAndTheClock) {
  EXPECT_EQ(FindTitleBar(), bar);
  EXPECT_TRUE(GetWindowLongW(bar, GWL_EXSTYLE) & WS_EX_NOACTIVATE);
  EXPECT_TRUE(IsWindowVisible(bar));
  EXPECT_EQ(Title(), L"Alpha");
  EXPECT_EQ(ce::menus::TitleBarNow()->clock, L"0:00");
  EXPECT_EQ(ce::test::ScreenPixel(ce::menus::Scaled(184), ce::menus::Scaled(7)), Shown(ce::menus::kBarFace));

  SetWindowTextW(program, L"Beta");
  ce::test::PumpUntilIdle();
  EXPECT_EQ(Title(), L"Beta");
  HWND other = Make(L"Gamma", 0);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(Title(), L"Gamma");
  DestroyWindow(other);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(Title(), L"Beta") << "the activation goes back to the program, never to the bar";
  EXPECT_EQ(GetActiveWindow(), program);

  // The clock moves on with the minutes of the clock.
  ASSERT_TRUE(ce::test::RunFor(60 * 1000));
  EXPECT_EQ(ce::menus::TitleBarNow()->clock, L"0:01");
}

TEST_F(TitleBar, NeitherPaintsOverTheOtherNorTakesTheOthersPen) {
  // The program paints its whole window: the bar stays.
  HDC dc = GetDC(program);
  RECT all{0, 0, 240, 320};
  HBRUSH red = CreateSolidBrush(kRed);
  FillRect(dc, &all, red);
  DeleteObject(red);
  ReleaseDC(program, dc);
  const COLORREF face = Shown(ce::menus::kBarFace);
  EXPECT_EQ(ce::test::ScreenPixel(100, 5), face);
  EXPECT_EQ(ce::test::ScreenPixel(100, ce::menus::Scaled(26)), Shown(kRed));

  // A window another program part places on the bar (owned by it, topmost)
  // stays in front of it when the bar paints again, and takes its taps
  // without taking the activation.
  HWND placed =
      CreateWindowExW(WS_EX_TOPMOST, L"BarProgram", L"", WS_VISIBLE, 180, 0, 20, 10, bar, nullptr, nullptr, nullptr);
  made.push_back(placed);
  ce::test::PumpUntilIdle();
  HDC placedDc = GetDC(placed);
  RECT inside{0, 0, 20, 10};
  HBRUSH blue = CreateSolidBrush(kBlue);
  FillRect(placedDc, &inside, blue);
  DeleteObject(blue);
  ReleaseDC(placed, placedDc);
  InvalidateRect(bar, nullptr, TRUE);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(185, 5), Shown(kBlue));
  EXPECT_EQ(ce::test::ScreenPixel(100, 5), face);

  ce::test::Tap(185, 5);
  ce::test::Tap(100, 5);  // the bar itself: nothing for the program
  ce::test::PumpUntilIdle();
  EXPECT_EQ(g_taps.size(), 1u) << "only the placed window's tap";
  EXPECT_EQ(GetActiveWindow(), program);
  ce::test::Tap(100, 100);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(g_taps.size(), 2u);

  // A window whose owner is hidden goes: the activation passes over the
  // placed window to the program, and the bar says so.
  HWND hidden = CreateWindowExW(0, L"BarProgram", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  made.push_back(hidden);
  HWND dialog = Make(L"Dialog", 0, hidden, RECT{0, 26, 240, 294});
  ce::test::PumpUntilIdle();
  EXPECT_EQ(Title(), L"Dialog");
  DestroyWindow(dialog);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(GetActiveWindow(), program);
  EXPECT_EQ(Title(), L"Alpha");
}

TEST_F(TitleBar, HidesWhileTheForegroundWindowTakesTheWholeScreen) {
  ASSERT_TRUE(SHFullScreen(program, SHFS_HIDETASKBAR));
  EXPECT_FALSE(IsWindowVisible(bar));
  EXPECT_FALSE(ce::menus::TitleBarNow()->shown);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(100, 5), Shown(kRed)) << "the program paints where the bar was";

  // Another window in front brings it back; the full-screen one again hides it.
  HWND other = Make(L"Other", 0);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(IsWindowVisible(bar));
  SetForegroundWindow(program);
  EXPECT_FALSE(IsWindowVisible(bar));
  DestroyWindow(other);

  ASSERT_TRUE(SHFullScreen(program, SHFS_SHOWTASKBAR));
  EXPECT_TRUE(IsWindowVisible(bar));
  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(100, 5), Shown(ce::menus::kBarFace));
}

}  // namespace
