#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "backend/headless/headless_display.h"
#include "backend/headless/headless_input.h"
#include "backend/sdl/key_map.h"
#include "backend/sdl/sdl_backend.h"
#include "ce/aygshell.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "headless_device.h"
#include "gdi/screen.h"
#include "kernel/clock.h"
#include "platform_thread.h"
#include "scoped_setting.h"
#include "screen_config.h"
#include "user/message_box.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::test::JoinThread;
using ce::test::StartThread;
using ce::test::ThreadBody;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

// What a window procedure saw, in order: "message wParam lParam" for the
// messages a test names, so each test reads only what it cares about.
struct Log {
  std::vector<UINT> watched;
  std::vector<std::string> lines;
  bool Watches(UINT m) const { return std::find(watched.begin(), watched.end(), m) != watched.end(); }
};
Log g_log;

std::string Line(UINT message, WPARAM wParam, LPARAM lParam) {
  return std::to_string(message) + " " + std::to_string(wParam) + " " + std::to_string(lParam);
}

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_log.Watches(message)) g_log.lines.push_back(Line(message, wParam, lParam));
  if (message == WM_DESTROY) PostQuitMessage(7);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    g_log = Log{};
    WNDCLASSW wc{};
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = L"TestWindow";
    wc.style = CS_DBLCLKS;
    wc.cbWndExtra = 8;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    ASSERT_NE(RegisterClassW(&wc), 0);
  }
  void TearDown() override {
    for (HWND hwnd : made) {
      if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    ce::test::PumpUntilIdle();
    UnregisterClassW(L"TestWindow", nullptr);
  }
  HWND Make(DWORD style, int x, int y, int w, int h, HWND parent = nullptr, LPCWSTR title = L"") {
    HWND hwnd = CreateWindowExW(0, L"TestWindow", title, style, x, y, w, h, parent, nullptr, nullptr, nullptr);
    if (hwnd) made.push_back(hwnd);
    return hwnd;
  }
  std::vector<HWND> made;
};

TEST(WindowHeader, ValuesMatchTheDevice) {
  const std::pair<long long, long long> values[] = {
      {WM_CREATE, 0x0001},
      {WM_DESTROY, 0x0002},
      {WM_ACTIVATE, 0x0006},
      {WM_SETFOCUS, 0x0007},
      {WM_KILLFOCUS, 0x0008},
      {WM_PAINT, 0x000F},
      {WM_CLOSE, 0x0010},
      {WM_ERASEBKGND, 0x0014},
      {WM_SETTINGCHANGE, 0x001A},
      {WM_SETCURSOR, 0x0020},
      {WM_COPYDATA, 0x004A},
      {WM_KEYDOWN, 0x0100},
      {WM_KEYUP, 0x0101},
      {WM_CHAR, 0x0102},
      {WM_COMMAND, 0x0111},
      {WM_TIMER, 0x0113},
      {WM_MOUSEMOVE, 0x0200},
      {WM_LBUTTONDOWN, 0x0201},
      {WM_LBUTTONUP, 0x0202},
      {WM_LBUTTONDBLCLK, 0x0203},
      {WM_CAPTURECHANGED, 0x0215},
      {WM_HOTKEY, 0x0312},
      {WS_VISIBLE, 0x10000000},
      {WS_CHILD, 0x40000000},
      {WS_POPUP, 0x80000000},
      {CS_DBLCLKS, 8},
      {SW_SHOW, 5},
      {GWL_WNDPROC, -4},
      {GWL_USERDATA, -21},
      {VK_RETURN, 0x0D},
      {VK_TSOFT1, 0x70},
      {VK_OFF, 0xDF},
      {MB_ICONEXCLAMATION, 0x30},
      {IDYES, 6},
      {SM_CXSCREEN, 0},
      {SHFS_HIDESTARTICON, 0x20},
      {CW_USEDEFAULT, static_cast<int>(0x80000000u)},
  };
  for (const auto& [actual, expected] : values) EXPECT_EQ(actual, expected);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(IDC_ARROW), 32512u);
  EXPECT_EQ(sizeof(COPYDATASTRUCT), 3 * sizeof(void*));
}

TEST_F(Windows, ClassesAreNamedOnceIgnoringCaseAndStayWhileUsed) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"testwindow";
  SetLastError(0);
  EXPECT_EQ(RegisterClassW(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  HWND hwnd = Make(0, 0, 0, 10, 10);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_FALSE(UnregisterClassW(L"TestWindow", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);

  SetLastError(0);
  EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  EXPECT_EQ(CreateWindowExW(0, L"TestWindow", L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);
}

TEST_F(Windows, CreationTellsTheProcedureAndDefaultsToTheWholeScreen) {
  g_log.watched = {WM_CREATE, WM_SIZE, WM_MOVE};
  HWND hwnd = Make(0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  ASSERT_NE(hwnd, nullptr);
  const int cx = GetSystemMetrics(SM_CXSCREEN);
  const int cy = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_EQ(g_log.lines.size(), 3u);
  EXPECT_EQ(g_log.lines[0].rfind(std::to_string(WM_CREATE) + " 0 ", 0), 0u) << "lParam points at CREATESTRUCTW";
  EXPECT_EQ(g_log.lines[1], Line(WM_SIZE, SIZE_RESTORED, MAKELONG(cx, cy)));
  EXPECT_EQ(g_log.lines[2], Line(WM_MOVE, 0, 0));
  RECT r{};
  ASSERT_TRUE(GetWindowRect(hwnd, &r));
  EXPECT_EQ(r.right, cx);
  EXPECT_EQ(r.bottom, cy);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(hwnd) & 3u, 0u) << "low bits stay free";
  EXPECT_LE(reinterpret_cast<ULONG_PTR>(hwnd), 0xFFFFFFFFu) << "fits a DWORD";
}

TEST_F(Windows, CloseDestroysAndTheDestroyEndsTheLoop) {
  g_log.watched = {WM_CLOSE, WM_DESTROY};
  HWND hwnd = Make(WS_VISIBLE, 0, 0, 50, 50);
  HWND child = Make(WS_CHILD | WS_VISIBLE, 5, 5, 10, 10, hwnd);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(PostMessageW(hwnd, WM_CLOSE, 0, 0));
  MSG msg{};
  int got = 0;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(got, 0);
  EXPECT_EQ(msg.wParam, 7u);
  // The parent hears of its end first, then the child.
  EXPECT_EQ(g_log.lines,
            (std::vector<std::string>{Line(WM_CLOSE, 0, 0), Line(WM_DESTROY, 0, 0), Line(WM_DESTROY, 0, 0)}));
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(IsWindow(child));
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(hwnd, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 0);
}

TEST_F(Windows, PostedMessagesComeBeforePaintAndKeysTranslateToCharacters) {
  HWND hwnd = Make(WS_VISIBLE, 0, 0, 40, 40);
  ce::test::PumpUntilIdle();
  g_log.watched = {WM_PAINT, WM_USER, WM_KEYDOWN, WM_CHAR, WM_KEYUP};
  InvalidateRect(hwnd, nullptr, FALSE);
  PostMessageW(hwnd, WM_USER, 1, 2);
  ce::test::KeyDown(VK_SHIFT);
  ce::test::KeyDown('A');
  ce::test::PumpUntilIdle();
  ce::test::KeyUp('A');
  ce::test::KeyUp(VK_SHIFT);
  ce::test::KeyDown('1');
  ce::test::PumpUntilIdle();
  ce::test::KeyUp('1');
  ce::test::PumpUntilIdle();
  const std::vector<std::string> expected = {
      Line(WM_USER, 1, 2),
      Line(WM_KEYDOWN, VK_SHIFT, 1),
      Line(WM_KEYDOWN, 'A', 1),
      Line(WM_CHAR, 'A', 1),  // posted by TranslateMessage
      Line(WM_PAINT, 0, 0),   // once no posted message is left
      Line(WM_KEYUP, 'A', static_cast<LPARAM>(0xC0000001)),
      Line(WM_KEYUP, VK_SHIFT, static_cast<LPARAM>(0xC0000001)),
      Line(WM_KEYDOWN, '1', 1),
      Line(WM_CHAR, '1', 1),
      Line(WM_KEYUP, '1', static_cast<LPARAM>(0xC0000001)),
  };
  EXPECT_EQ(g_log.lines, expected);
}

TEST_F(Windows, KeyStateFollowsTheDeviceAndTheMessagesSeen) {
  HWND hwnd = Make(WS_VISIBLE, 0, 0, 40, 40);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(GetFocus(), hwnd);
  ce::test::KeyDown(VK_LEFT);
  MSG peek{};
  EXPECT_TRUE(PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE)) << "the input is taken when the queue is looked at";
  EXPECT_EQ(GetAsyncKeyState(VK_LEFT) & 0x8001, 0x8001) << "down, and pressed since last asked";
  EXPECT_EQ(GetAsyncKeyState(VK_LEFT) & 0x8001, 0x8000);
  EXPECT_EQ(GetKeyState(VK_LEFT) & 0x8000, 0) << "the program has not seen the key yet";
  ce::test::PumpUntilIdle();
  EXPECT_NE(GetKeyState(VK_LEFT) & 0x8000, 0);
  ce::test::KeyUp(VK_LEFT);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(GetAsyncKeyState(VK_LEFT), 0);
  EXPECT_EQ(GetKeyState(VK_LEFT) & 0x8000, 0);
  EXPECT_EQ(GetAsyncKeyState(0), 0);
  EXPECT_EQ(GetAsyncKeyState(0x1000), 0);
  // A device key beyond the key table (the suspend key) still arrives.
  ce::test::KeyUp(0x5BDD);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_KEYUP);
  EXPECT_EQ(msg.wParam, 0x5BDDu);
  DispatchMessageW(&msg);
}

TEST_F(Windows, PenGoesToTheWindowUnderItInClientCoordinates) {
  HWND top = Make(WS_VISIBLE, 10, 20, 100, 100);
  HWND child = Make(WS_CHILD | WS_VISIBLE, 30, 40, 20, 20, top);
  ce::test::PumpUntilIdle();
  g_log.watched = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_LBUTTONDBLCLK, WM_CAPTURECHANGED};
  std::vector<HWND> targets;
  ce::test::PenDown(45, 65);  // child origin is (40, 60) on the screen
  ce::test::PenMove(46, 66);
  ce::test::PenUp(46, 66);
  ce::test::PenMove(0, 0);  // no pen, no message
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    targets.push_back(msg.hwnd);
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(targets, (std::vector<HWND>{child, child, child}));
  EXPECT_EQ(g_log.lines, (std::vector<std::string>{Line(WM_LBUTTONDOWN, MK_LBUTTON, MAKELONG(5, 5)),
                                                   Line(WM_MOUSEMOVE, MK_LBUTTON, MAKELONG(6, 6)),
                                                   Line(WM_LBUTTONUP, 0, MAKELONG(6, 6))}));
  // A second tap close by and soon is a double click for a CS_DBLCLKS class.
  g_log.lines.clear();
  ce::test::Tap(20, 30);
  ce::test::Tap(21, 31);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(g_log.lines,
            (std::vector<std::string>{
                Line(WM_LBUTTONDOWN, MK_LBUTTON, MAKELONG(10, 10)), Line(WM_LBUTTONUP, 0, MAKELONG(10, 10)),
                Line(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELONG(11, 11)), Line(WM_LBUTTONUP, 0, MAKELONG(11, 11))}));
  // Capture takes the pen wherever it goes; losing it is announced.
  g_log.lines.clear();
  SetCapture(child);
  ce::test::PenDown(0, 0);
  ce::test::PenUp(0, 0);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(ReleaseCapture());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(g_log.lines,
            (std::vector<std::string>{Line(WM_LBUTTONDOWN, MK_LBUTTON, MAKELONG(-40 & 0xFFFF, -60 & 0xFFFF)),
                                      Line(WM_LBUTTONUP, 0, MAKELONG(-40 & 0xFFFF, -60 & 0xFFFF)),
                                      Line(WM_CAPTURECHANGED, 0, 0)}));
}

TEST_F(Windows, ActivationAndFocusMoveWithShowAndDestroy) {
  HWND first = Make(WS_VISIBLE, 0, 0, 50, 50);
  EXPECT_EQ(GetActiveWindow(), first);
  EXPECT_EQ(GetFocus(), first);
  g_log.watched = {WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS};
  HWND second = Make(WS_VISIBLE, 0, 0, 50, 50);
  const LPARAM firstValue = reinterpret_cast<LPARAM>(first);
  const LPARAM secondValue = reinterpret_cast<LPARAM>(second);
  EXPECT_EQ(g_log.lines, (std::vector<std::string>{Line(WM_ACTIVATE, WA_INACTIVE, secondValue),
                                                   Line(WM_KILLFOCUS, static_cast<WPARAM>(secondValue), 0),
                                                   Line(WM_ACTIVATE, WA_ACTIVE, firstValue), Line(WM_SETFOCUS, 0, 0)}));
  EXPECT_EQ(GetFocus(), second);
  // Hiding the active window hands the activation on; the device's
  // "hwnd | 1" brings a window forward like the plain handle.
  ShowWindow(second, SW_HIDE);
  EXPECT_EQ(GetActiveWindow(), first);
  EXPECT_FALSE(IsWindowVisible(second));
  auto* display = dynamic_cast<ce::backend::HeadlessDisplay*>(&ce::gdi::Screen::Current()->display());
  ASSERT_NE(display, nullptr);
  const int raised = display->raiseCount();
  EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(second) | 1)));
  EXPECT_EQ(GetForegroundWindow(), second);
  EXPECT_EQ(display->raiseCount(), raised + 1) << "the program comes to the front of the desktop";
  DestroyWindow(second);
  EXPECT_EQ(GetActiveWindow(), first);
  EXPECT_EQ(GetFocus(), first);
}

TEST_F(Windows, SendMessageRunsOnTheWindowsThreadAndAnswersBack) {
  // A window on another thread; its procedure sends back to the caller's
  // window while the caller waits, which must not dead-lock.
  HWND mine = Make(0, 0, 0, 10, 10);
  HWND theirs = nullptr;
  DWORD theirThread = 0;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  static DWORD s_procThread;
  static HWND s_mine;
  s_mine = mine;
  ThreadBody body([&] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_USER) {
        s_procThread = GetCurrentThreadId();
        return static_cast<LRESULT>(w * 10) + SendMessageW(s_mine, WM_GETTEXTLENGTH, 0, 0);
      }
      return DefWindowProcW(h, m, w, l);
    };
    wc.lpszClassName = L"OtherThread";
    RegisterClassW(&wc);
    theirs = CreateWindowExW(0, L"OtherThread", L"", 0, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    theirThread = GetCurrentThreadId();
    SetEvent(ready);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(theirs);
    return DWORD{0};
  });
  HANDLE thread = StartThread(body);
  WaitForSingleObject(ready, INFINITE);
  SetWindowTextW(mine, L"abc");
  EXPECT_EQ(SendMessageW(theirs, WM_USER, 4, 0), 43);
  EXPECT_EQ(s_procThread, theirThread);
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(theirs, &pid), theirThread);
  EXPECT_EQ(pid, GetCurrentProcessId());
  PostThreadMessageW(theirThread, WM_QUIT, 0, 0);
  JoinThread(thread);
  SetLastError(0);
  EXPECT_EQ(SendMessageW(theirs, WM_USER, 1, 0), 0) << "gone with its thread";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  CloseHandle(ready);
  UnregisterClassW(L"OtherThread", nullptr);
}

TEST_F(Windows, AThreadsWindowsEndWithIt) {
  HWND left = nullptr;
  ThreadBody body([&] {
    left =
        CreateWindowExW(0, L"TestWindow", L"Left behind", WS_VISIBLE, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    return DWORD{0};
  });
  JoinThread(StartThread(body));
  ASSERT_NE(left, nullptr);
  EXPECT_FALSE(IsWindow(left));
  EXPECT_EQ(FindWindowW(L"TestWindow", L"Left behind"), nullptr);
  EXPECT_TRUE(UnregisterClassW(L"TestWindow", nullptr)) << "no window of the class is left";
  WNDCLASSW wc{};
  wc.lpfnWndProc = LoggingProc;
  wc.lpszClassName = L"TestWindow";
  EXPECT_NE(RegisterClassW(&wc), 0);
}

TEST_F(Windows, PaintComesForVisibleWindowsAndDrawsInTheirArea) {
  const COLORREF white = RGB(255, 255, 255);
  const COLORREF black = RGB(0, 0, 0);
  HDC screen = GetDC(nullptr);
  HBRUSH gray = CreateSolidBrush(RGB(128, 128, 128));
  const RECT all{-100, -100, 500, 500};
  FillRect(screen, &all, gray);
  ReleaseDC(nullptr, screen);
  DeleteObject(gray);
  HWND hwnd = Make(0, 20, 30, 40, 40);
  g_log.watched = {WM_PAINT, WM_ERASEBKGND};
  InvalidateRect(hwnd, nullptr, TRUE);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(g_log.lines.empty()) << "a hidden window is not painted";
  ShowWindow(hwnd, SW_SHOWNA);
  ce::test::PumpUntilIdle();
  // DefWindowProc painted: the class brush erased the window, only it.
  ASSERT_EQ(g_log.lines.size(), 2u);
  EXPECT_EQ(g_log.lines[0], Line(WM_PAINT, 0, 0));
  EXPECT_EQ(g_log.lines[1].rfind(std::to_string(WM_ERASEBKGND) + " ", 0), 0u) << "wParam is the paint DC";
  EXPECT_EQ(ce::test::ScreenPixel(20, 30), white);
  EXPECT_EQ(ce::test::ScreenPixel(59, 69), white);
  EXPECT_NE(ce::test::ScreenPixel(19, 30), white);

  // A window DC's origin is the client origin, and it draws nowhere else.
  HDC dc = GetDC(hwnd);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(hwnd, dc);
  EXPECT_EQ(ce::test::ScreenPixel(20, 30), black);
  EXPECT_EQ(ce::test::ScreenPixel(59, 69), black);
  EXPECT_NE(ce::test::ScreenPixel(19, 30), black);
  EXPECT_NE(ce::test::ScreenPixel(60, 69), black);

  // A paint DC draws only in the update rectangle, which BeginPaint clears.
  const RECT part{10, 10, 20, 20};
  InvalidateRect(hwnd, &part, FALSE);
  RECT update{};
  EXPECT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
  PAINTSTRUCT ps{};
  HDC paintDc = BeginPaint(hwnd, &ps);
  ASSERT_NE(paintDc, nullptr);
  EXPECT_EQ(ps.rcPaint.left, 10);
  EXPECT_EQ(ps.rcPaint.bottom, 20);
  FillRect(paintDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EndPaint(hwnd, &ps);
  EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));
  EXPECT_EQ(ce::test::ScreenPixel(30, 40), white);
  EXPECT_EQ(ce::test::ScreenPixel(29, 40), black);
  EXPECT_EQ(ce::test::ScreenPixel(40, 50), black);
}

// A parent with WS_CLIPCHILDREN paints around its visible children, through
// BeginPaint and GetDC alike and with every kind of drawing; a hidden child
// or a parent without the style is painted over.
TEST_F(Windows, ClipChildrenKeepsParentPaintingOffVisibleChildren) {
  const COLORREF black = RGB(0, 0, 0);
  const COLORREF white = RGB(255, 255, 255);
  for (const DWORD style : {DWORD{WS_CLIPCHILDREN}, DWORD{0}}) {
    SCOPED_TRACE(style ? "with WS_CLIPCHILDREN" : "without");
    HWND parent = Make(style, 20, 30, 60, 60);
    HWND child = Make(WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, parent);
    HWND hidden = Make(WS_CHILD, 40, 0, 10, 10, parent);
    ASSERT_NE(hidden, nullptr);
    ShowWindow(parent, SW_SHOWNA);
    ce::test::PumpUntilIdle();
    const RECT all{-100, -100, 500, 500};
    const auto blackChild = [&] {
      HDC dc = GetDC(child);
      FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      ReleaseDC(child, dc);
    };
    const bool clips = style != 0;

    blackChild();
    InvalidateRect(parent, nullptr, FALSE);
    PAINTSTRUCT ps{};
    HDC paintDc = BeginPaint(parent, &ps);
    ASSERT_NE(paintDc, nullptr);
    FillRect(paintDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EndPaint(parent, &ps);
    EXPECT_EQ(ce::test::ScreenPixel(20, 30), white);
    EXPECT_EQ(ce::test::ScreenPixel(29, 50), white) << "beside the child";
    EXPECT_EQ(ce::test::ScreenPixel(60, 30), white) << "over the hidden child";
    EXPECT_EQ(ce::test::ScreenPixel(30, 40) == black, clips);
    EXPECT_EQ(ce::test::ScreenPixel(49, 59) == black, clips);

    // A window DC: a pattern blit, a rectangle and a line across the child.
    blackChild();
    HDC dc = GetDC(parent);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    BitBlt(dc, 0, 0, 60, 15, nullptr, 0, 0, PATCOPY);
    Rectangle(dc, 0, 15, 60, 25);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, 0, 27, nullptr);
    LineTo(dc, 60, 27);
    ReleaseDC(parent, dc);
    EXPECT_EQ(ce::test::ScreenPixel(25, 44), white) << "blit beside the child";
    EXPECT_EQ(ce::test::ScreenPixel(35, 44) == black, clips) << "blit";
    EXPECT_EQ(ce::test::ScreenPixel(35, 50) == black, clips) << "rectangle";
    EXPECT_EQ(ce::test::ScreenPixel(35, 57) == black, clips) << "line";
    EXPECT_EQ(ce::test::ScreenPixel(55, 57), white) << "line beside the child";
    DestroyWindow(parent);
  }
}

// A window behind another top-level window (its dialog, a popup) paints
// around it; once the front window is hidden it paints there again.
TEST_F(Windows, TopLevelWindowsInFrontAreNotPaintedOver) {
  const COLORREF black = RGB(0, 0, 0);
  const COLORREF white = RGB(255, 255, 255);
  HWND back = Make(WS_VISIBLE, 10, 40, 100, 100);
  HWND front = Make(WS_VISIBLE, 30, 60, 40, 40);  // made later: in front
  ce::test::PumpUntilIdle();
  const RECT all{-100, -100, 500, 500};
  HDC dc = GetDC(front);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(front, dc);

  InvalidateRect(back, nullptr, FALSE);
  PAINTSTRUCT ps{};
  HDC paintDc = BeginPaint(back, &ps);
  FillRect(paintDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EndPaint(back, &ps);
  EXPECT_EQ(ce::test::ScreenPixel(15, 45), white);
  EXPECT_EQ(ce::test::ScreenPixel(50, 80), black) << "under the front window";
  EXPECT_EQ(ce::test::ScreenPixel(80, 80), white) << "beside it";

  ShowWindow(front, SW_HIDE);
  dc = GetDC(back);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(back, dc);
  EXPECT_EQ(ce::test::ScreenPixel(50, 80), white);

  // A bar that stays in front (WS_EX_NOACTIVATE) is in front of a window
  // made after it: the window does not paint over the bar, the bar paints.
  HWND bar = CreateWindowExW(WS_EX_NOACTIVATE, L"TestWindow", L"", WS_VISIBLE, 10, 120, 100, 20, nullptr, nullptr,
                             nullptr, nullptr);
  made.push_back(bar);
  HWND later = Make(WS_VISIBLE, 10, 100, 100, 60);
  ce::test::PumpUntilIdle();
  dc = GetDC(bar);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(bar, dc);
  dc = GetDC(later);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(later, dc);
  EXPECT_EQ(ce::test::ScreenPixel(50, 130), black) << "the bar";
  EXPECT_EQ(ce::test::ScreenPixel(50, 105), white) << "the window above the bar";

  // A second bar at the same place (a modal form's over its owner's):
  // the later one paints, the earlier one no longer over it.
  HWND second = CreateWindowExW(WS_EX_NOACTIVATE, L"TestWindow", L"", WS_VISIBLE, 10, 120, 100, 20, nullptr, nullptr,
                                nullptr, nullptr);
  made.push_back(second);
  ce::test::PumpUntilIdle();
  dc = GetDC(second);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(second, dc);
  dc = GetDC(bar);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(bar, dc);
  EXPECT_EQ(ce::test::ScreenPixel(50, 130), white) << "the later bar";
}

LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_USER + 9) return 99;
  return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

TEST_F(Windows, FieldsSubclassingAndExtraBytes) {
  HWND hwnd = Make(0, 0, 0, 10, 10);
  const LONG_PTR old = SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass));
  EXPECT_EQ(old, reinterpret_cast<LONG_PTR>(LoggingProc));
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, old);
  g_log.watched = {WM_USER + 1};
  EXPECT_EQ(SendMessageW(hwnd, WM_USER + 9, 0, 0), 99);
  SendMessageW(hwnd, WM_USER + 1, 0, 0);
  EXPECT_EQ(g_log.lines.size(), 1u) << "the saved procedure still runs";

  SetLastError(0);
  EXPECT_EQ(SetWindowLongW(hwnd, GWL_WNDPROC, 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX) << "a procedure does not fit 32 bits";
  EXPECT_EQ(SetWindowLongW(hwnd, 4, 0x12345678), 0);
  EXPECT_EQ(GetWindowLongW(hwnd, 4), 0x12345678);
  EXPECT_EQ(SetWindowLongPtrW(hwnd, 0, 5), static_cast<LONG_PTR>(0x1234567800000000ll)) << "eight bytes from 0";
  SetLastError(0);
  EXPECT_EQ(GetWindowLongW(hwnd, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX) << "past the 8 extra bytes";
  EXPECT_EQ(GetWindowLongW(hwnd, -100), 0);
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & static_cast<LONG>(WS_VISIBLE), 0);
}

BOOL CALLBACK CountUntilSecond(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return *reinterpret_cast<int*>(count) < 2;
}

TEST_F(Windows, FindingByClassAndTitle) {
  HWND untitled = Make(0, 0, 0, 10, 10, nullptr, L"");
  HWND titled = Make(0, 0, 0, 10, 10, nullptr, L"Kestrel");
  EXPECT_EQ(FindWindowW(L"testWINDOW", L"kestrel"), titled);
  EXPECT_EQ(FindWindowW(L"TestWindow", L""), untitled) << "an empty title matches only an empty title";
  EXPECT_NE(FindWindowW(L"TestWindow", nullptr), nullptr);
  EXPECT_EQ(FindWindowW(L"Other", nullptr), nullptr);
  wchar_t name[5];
  EXPECT_EQ(GetClassNameW(titled, name, 5), 4);
  EXPECT_STREQ(name, L"Test");
  wchar_t title[32];
  EXPECT_EQ(GetWindowTextW(titled, title, 32), 7);
  EXPECT_STREQ(title, L"Kestrel");
  int count = 0;
  EXPECT_TRUE(EnumWindows(CountUntilSecond, reinterpret_cast<LPARAM>(&count)));
  EXPECT_EQ(count, 2) << "the callback's FALSE stops the enumeration";
}

TEST_F(Windows, TheDesktopIsTheHomeScreensWindow) {
  EXPECT_EQ(GetDesktopWindow(), nullptr) << "no home screen runs";
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = DESKTOP_WINDOW_CLASS;
  ASSERT_NE(RegisterClassW(&wc), 0);
  Make(0, 0, 0, 10, 10);
  HWND desktop = CreateWindowExW(0, DESKTOP_WINDOW_CLASS, L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(desktop, nullptr);
  EXPECT_EQ(GetDesktopWindow(), desktop);
  DestroyWindow(desktop);
  EXPECT_EQ(GetDesktopWindow(), nullptr);
  UnregisterClassW(DESKTOP_WINDOW_CLASS, nullptr);
}

TEST_F(Windows, CursorsMetricsFullScreenAndWorkArea) {
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), arrow);
  SetCursor(arrow);
  EXPECT_EQ(SetCursor(wait), arrow);
  EXPECT_EQ(GetCursor(), wait);
  EXPECT_EQ(ce::test::CurrentCursorId(), 32514);
  EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);

  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), GetDeviceCaps(screen, HORZRES));
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), GetDeviceCaps(screen, VERTRES));
  ReleaseDC(nullptr, screen);
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work.right, GetSystemMetrics(SM_CXSCREEN));

  HWND hwnd = Make(WS_VISIBLE, 0, 0, 10, 10);
  EXPECT_TRUE(SHFullScreen(hwnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON));
  EXPECT_EQ(ce::test::FullScreenState(hwnd), 42u);
  EXPECT_TRUE(SHFullScreen(hwnd, SHFS_SHOWTASKBAR));
  EXPECT_EQ(ce::test::FullScreenState(hwnd), 41u);
  EXPECT_FALSE(SHFullScreen(hwnd, 0x100));
  EXPECT_FALSE(SHFullScreen(nullptr, SHFS_SHOWTASKBAR));
}

TEST(WindowInput, OnTheHostClockTheWaitingLoopLooksForInputByItself) {
  // As with the desktop back end, nobody wakes the loop: it looks in time.
  clock::UseRealClock();
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"Polled";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"Polled", L"", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  ce::test::PumpUntilIdle();
  auto source = ce::backend::InputSource::Current();
  auto* queue = dynamic_cast<ce::backend::HeadlessInput*>(source.get());
  ASSERT_NE(queue, nullptr);
  queue->PushKey(ce::backend::InputKind::KeyDown, VK_F1);
  MSG msg{};
  ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, WM_KEYDOWN);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_F1));
  EXPECT_EQ(msg.hwnd, hwnd);
  DestroyWindow(hwnd);
}

TEST(MessageBoxes, AnswerAtOnceWithTheDefaultOrTheConfiguredButton) {
  struct Case {
    UINT type;
    const char* setting;
    int answer;
  };
  const Case cases[] = {
      {MB_OK, nullptr, IDOK},
      {MB_YESNO | MB_DEFBUTTON2, nullptr, IDNO},
      {MB_OKCANCEL | MB_ICONEXCLAMATION, "cancel", IDCANCEL},
      {MB_YESNOCANCEL, "7", IDNO},
      {MB_OK, "no", IDOK},  // not a button of the box: the default
      {MB_RETRYCANCEL | MB_DEFBUTTON4, nullptr, IDRETRY},
  };
  for (const Case& c : cases) {
    std::optional<ce::test::ScopedSetting> setting;
    if (c.setting) setting.emplace("DEVICE_MESSAGEBOX_ANSWER", c.setting);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxW(nullptr, L"4.5MB needed", L"Not Enough Memory", c.type), c.answer) << c.type;
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Not Enough Memory: 4.5MB needed\n"), std::string::npos) << err;
  }
  const auto last = ce::test::LastMessageBox();
  ASSERT_TRUE(last);
  EXPECT_EQ(last->caption, L"Not Enough Memory");
  EXPECT_EQ(last->answer, IDRETRY);
}

// Input for the drawn box: the given events, then a note of what the screen
// showed once the box was up; a box still waiting when they run out is
// asked to quit.
class BoxInput final : public ce::backend::InputSource {
 public:
  explicit BoxInput(std::vector<ce::backend::InputEvent> events, POINT probe)
      : events_(std::move(events)), probe_(probe) {}
  bool Poll(ce::backend::InputEvent& event) override {
    if (!probed_) {
      HDC screen = GetDC(nullptr);
      shown_ = GetPixel(screen, probe_.x, probe_.y);
      ReleaseDC(nullptr, screen);
      probed_ = true;
    }
    if (next_ >= events_.size()) return false;
    event = events_[next_++];
    return true;
  }
  bool Wait(DWORD) override {
    ADD_FAILURE() << "the box waits for more input";
    ce::backend::InputEvent quit;
    quit.kind = ce::backend::InputKind::Quit;
    events_.push_back(quit);
    return true;
  }
  void Wake() override {}
  COLORREF shown() const { return shown_; }
  std::vector<ce::backend::InputEvent> injected;

 protected:
  void Queue(const ce::backend::InputEvent& event) override { injected.push_back(event); }

 private:
  std::vector<ce::backend::InputEvent> events_;
  std::size_t next_ = 0;
  POINT probe_;
  bool probed_ = false;
  COLORREF shown_ = CLR_INVALID;
};

ce::backend::InputEvent Pen(ce::backend::InputKind kind, const RECT& r) {
  ce::backend::InputEvent e;
  e.kind = kind;
  e.pen = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  return e;
}

ce::backend::InputEvent Key(WORD key) {
  ce::backend::InputEvent e;
  e.kind = ce::backend::InputKind::KeyDown;
  e.key = key;
  return e;
}

TEST(MessageBoxes, TheDrawnBoxAnswersThePenAndTheKeysAndPutsTheScreenBack) {
  ce::test::ScopedSetting boxes("DEVICE_FONT_TEST", "fixed");
  using ce::backend::InputKind;
  const std::wstring text = L"Delete all the recordings in this folder? This cannot be undone.";
  const std::vector<int> three = {IDYES, IDNO, IDCANCEL};
  const ce::user::MessageBoxLayout layout = ce::user::LayoutMessageBox(text, three);
  ASSERT_EQ(layout.buttons.size(), 3u);
  HDC screen = GetDC(nullptr);
  const int width = GetDeviceCaps(screen, HORZRES);
  EXPECT_GE(layout.frame.left, 0);
  EXPECT_LE(layout.frame.right, width);
  EXPECT_GT(layout.text.bottom - layout.text.top, 12) << "the text wraps to several lines";
  for (const RECT& b : layout.buttons) {
    EXPECT_GE(b.left, layout.frame.left);
    EXPECT_LE(b.right, layout.frame.right);
    EXPECT_GE(b.top, layout.text.bottom);
  }
  const POINT probe{(layout.caption.left + layout.caption.right) / 2, layout.caption.top + 1};
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  const RECT all{0, 0, width, GetDeviceCaps(screen, VERTRES)};
  FillRect(screen, &all, green);
  const COLORREF before = GetPixel(screen, probe.x, probe.y);

  struct Case {
    const char* name;
    std::vector<int> buttons;
    std::size_t defaultIndex;
    std::vector<ce::backend::InputEvent> events;
    int answer;
  };
  const std::vector<Case> cases = {
      {"tap", three, 0, {Pen(InputKind::PenDown, layout.buttons[1]), Pen(InputKind::PenUp, layout.buttons[1])}, IDNO},
      {"pen slides off, then keys",
       three,
       0,
       {Pen(InputKind::PenDown, layout.buttons[0]), Pen(InputKind::PenUp, layout.buttons[1]), Key(VK_RIGHT),
        Key(VK_RIGHT), Key(VK_RETURN)},
       IDCANCEL},
      {"default button and the action key", three, 1, {Key(VK_RETURN)}, IDNO},
      {"back is cancel", three, 0, {Key(VK_ESCAPE)}, IDCANCEL},
      {"no back without cancel; soft keys", {IDYES, IDNO}, 0, {Key(VK_ESCAPE), Key(VK_F2)}, IDNO},
  };
  for (const Case& c : cases) {
    BoxInput input(c.events, probe);
    EXPECT_EQ(ce::user::RunMessageBox(L"Recordings", text, c.buttons, c.defaultIndex, input), c.answer) << c.name;
    EXPECT_NE(input.shown(), before) << c.name << ": the box was drawn";
    EXPECT_EQ(GetPixel(screen, probe.x, probe.y), before) << c.name << ": the screen is put back";
    EXPECT_TRUE(input.injected.empty()) << c.name;
  }
  // A request to quit cancels the box and is passed on.
  ce::backend::InputEvent quit;
  quit.kind = InputKind::Quit;
  BoxInput input({quit}, probe);
  EXPECT_EQ(ce::user::RunMessageBox(L"Recordings", text, three, 0, input), IDCANCEL);
  ASSERT_EQ(input.injected.size(), 1u);
  EXPECT_EQ(input.injected[0].kind, InputKind::Quit);
  DeleteObject(green);
  ReleaseDC(nullptr, screen);
}

// On the desktop back end (its library's dummy video driver here) the box
// waits for the user's keys on the window thread.
TEST(MessageBoxes, OnTheDesktopTheBoxWaitsForTheUsersKeys) {
  ce::test::ScopedSetting driver("SDL_VIDEODRIVER", "dummy");
  {
    ce::test::ScreenConfig desktop{{"DEVICE_BACKEND", "sdl"}};
    ce::backend::InputSource::Reset();
    HDC screen = GetDC(nullptr);  // opens the window
    const auto input = ce::backend::InputSource::Current();
    ASSERT_TRUE(input->ReadableHere());
    namespace sdl = ce::backend::sdl;
    for (const char* key : {"Right", "Return"}) {
      sdl::SimulateKey(true, *sdl::ScancodeFromName(key), 0);
      sdl::SimulateKey(false, *sdl::ScancodeFromName(key), 0);
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxW(nullptr, L"Go on?", L"Question", MB_YESNO), IDNO);
    ::testing::internal::GetCapturedStderr();
    // From a thread that does not read the window's events, the default.
    std::thread([] {
      ::testing::internal::CaptureStderr();
      EXPECT_EQ(MessageBoxW(nullptr, L"Go on?", L"Question", MB_YESNO | MB_DEFBUTTON2), IDNO);
      EXPECT_NE(::testing::internal::GetCapturedStderr().find("window thread"), std::string::npos);
    }).join();
    ReleaseDC(nullptr, screen);
  }
  ce::backend::InputSource::Reset();
}

}  // namespace
