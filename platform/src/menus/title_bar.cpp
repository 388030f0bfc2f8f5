// The shell's title bar of a Pocket PC device: a strip across the top of the
// screen with the foreground window's title and the clock. Each program has
// a screen of its own (the headless memory screen, or its own desktop
// window), so each program's platform makes the bar that shows on it: a
// window of the program's input thread (its window thread), made with its
// first top-level window there and painted by that thread's message loop,
// so that nothing draws on the screen behind the program's back (not while
// it ends, either). It stays in front of the program's windows and is never
// activated (WS_EX_NOACTIVATE), so the window layer keeps the program's
// drawing off it and its own drawing off the windows in front of it
// (windows placed on the bar, popups); it hides while the foreground window
// asked for the whole screen (SHFullScreen(SHFS_HIDETASKBAR): the game).
#include <algorithm>
#include <cwchar>
#include <mutex>
#include <string>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winnls.h"
#include "ce/winuser.h"
#include "kernel/device.h"
#include "menus/draw.h"
#include "menus/menus.h"
#include "user/input.h"
#include "user/observe.h"

namespace {

constexpr wchar_t kClassName[] = L"ShellTitleBar";
constexpr UINT_PTR kClockTimer = 1;
constexpr UINT kMsgRefresh = WM_USER + 1;  // the title or the foreground changed
constexpr COLORREF kTitleText = 0x00FFFFFF;

std::mutex g_lock;
HWND g_bar = nullptr;
bool g_making = false;
ce::menus::TitleBarView g_view;

// Hours and minutes on the 24-hour clock: short enough for the corner.
std::wstring ClockText() {
  wchar_t text[32] = {};
  constexpr DWORD kFlags = TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT;
  if (GetTimeFormatW(LOCALE_USER_DEFAULT, kFlags, nullptr, nullptr, text, 32) <= 0) return L"";
  return text;
}

// The clock changes at the next whole minute of the local time.
UINT MillisecondsToNextMinute() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return static_cast<UINT>((60 - now.wSecond) * 1000 - now.wMilliseconds);
}

// Where the title and the clock go. The part between them is where
// programs place indicator windows on the bar, and where they sample its
// colour (184, 7 at 96 DPI): nothing is drawn there.
RECT TitleArea(int width, int height) {
  return RECT{ce::menus::Scaled(6), 0, std::max(ce::menus::Scaled(6), width - ce::menus::Scaled(96)), height};
}
RECT ClockArea(int width, int height) {
  return RECT{width - ce::menus::Scaled(44), 0, width - ce::menus::Scaled(4), height};
}

void Paint(HWND hwnd) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd, &paint);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd, &client);
  std::wstring title;
  const std::wstring clock = ClockText();
  {
    std::lock_guard guard(g_lock);
    title = g_view.title;
    g_view.clock = clock;
    ++g_view.paints;
  }
  HBRUSH face = CreateSolidBrush(ce::menus::kBarFace);
  FillRect(dc, &client, face);
  DeleteObject(face);
  LOGFONTW font{};
  font.lfHeight = -ce::menus::Scaled(13);
  font.lfWeight = FW_BOLD;
  std::wcscpy(font.lfFaceName, L"Tahoma");
  HFONT made = CreateFontIndirectW(&font);
  HGDIOBJ old = SelectObject(dc, made ? made : GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kTitleText);
  RECT titleArea = TitleArea(client.right, client.bottom);
  DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &titleArea,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  RECT clockArea = ClockArea(client.right, client.bottom);
  DrawTextW(dc, clock.c_str(), static_cast<int>(clock.size()), &clockArea,
            DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  if (made) DeleteObject(made);
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK TitleBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      if (wParam == kClockTimer) {
        SetTimer(hwnd, kClockTimer, MillisecondsToNextMinute(), nullptr);
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    case kMsgRefresh:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_CLOSE:  // the shell's bar stays
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

namespace ce::menus {

void EnsureTitleBar() {
  HWND existing = nullptr;
  {
    std::lock_guard guard(g_lock);
    if (g_making) return;
    existing = g_bar;
  }
  if (existing && IsWindow(existing)) return;
  if (!ce::user::IsInputThread() || ce::device::SettingOr("title_bar", "on") == "off" || ce::menus::IsSmartphone()) {
    return;
  }
  {
    std::lock_guard guard(g_lock);
    if (g_making || g_bar != existing) return;
    g_making = true;  // its own window must not make another
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = TitleBarProc;
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);  // already registered for an earlier bar: fine
  // Shown once it is known: the foreground window decides.
  HWND bar = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0,
                             GetSystemMetrics(SM_CXSCREEN), ce::menus::Scaled(26), nullptr, nullptr, nullptr, nullptr);
  if (bar) SetTimer(bar, kClockTimer, MillisecondsToNextMinute(), nullptr);
  {
    std::lock_guard guard(g_lock);
    g_bar = bar;
    g_making = false;
  }
  ForegroundChanged();
}

void ForegroundChanged() {
  HWND bar = nullptr;
  {
    std::lock_guard guard(g_lock);
    bar = g_bar;
  }
  if (!bar) return;
  const ce::user::ForegroundView front = ce::user::Foreground();
  bool changed = false;
  {
    std::lock_guard guard(g_lock);
    changed = g_view.title != front.title;
    g_view.title = front.title;
    g_view.shown = !front.fullScreen;
  }
  // Shown or hidden here, on the caller's thread, so that a program taking
  // the whole screen never finds the bar drawn over its first frame.
  if ((IsWindowVisible(bar) != FALSE) != !front.fullScreen) ShowWindow(bar, front.fullScreen ? SW_HIDE : SW_SHOWNA);
  if (changed) PostMessageW(bar, kMsgRefresh, 0, 0);
}

std::optional<TitleBarView> TitleBarNow() {
  std::lock_guard guard(g_lock);
  if (!g_bar) return std::nullopt;
  TitleBarView view = g_view;
  view.hwnd = g_bar;
  return view;
}

}  // namespace ce::menus
