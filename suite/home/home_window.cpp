#include "home_window.h"

#include <cwchar>
#include <memory>

#include "ce/aygshell.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "common/log.h"
#include "home_screen.h"
#include "home_settings.h"

namespace home {
namespace {

constexpr UINT kMsgReload = 0x8000 + 2;  // WM_APP + 2: read the layout again
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kRetryTimer = 2;  // a reload put off while a plug-in is busy
constexpr UINT kRetryMs = 250;

// The current layout; an unreadable one is reported and leaves an empty
// home screen.
HomeLayout CurrentLayout() {
  HomeLayout layout;
  std::wstring why;
  if (!ReadCurrentLayout(ReadHomeSettings(), layout, &why)) {
    suite::LogLine(L"Home: no layout shown: %s", why.c_str());
    layout = HomeLayout{};
  }
  return layout;
}

BOOL CALLBACK PostColorChange(HWND window, LPARAM) {
  PostMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

void Reload(HWND window, HomeScreen& screen) {
  if (screen.Busy()) {
    SetTimer(window, kRetryTimer, kRetryMs, nullptr);
    return;
  }
  screen.Load(CurrentLayout(), ReadCurrentScheme());
  // Every program's windows learn that the home screen took the new
  // settings (the layout editor waits for this).
  EnumWindows(PostColorChange, 0);
}

// The window holds its screen through its user data, from WM_CREATE to
// WM_DESTROY, and each message it handles holds it too: a plug-in's call can
// run a modal loop in which the window is destroyed, and the screen must
// outlive the call that is under way.
using SharedScreen = std::shared_ptr<HomeScreen>;

SharedScreen HeldScreenOf(HWND window) {
  const auto* holder = reinterpret_cast<const SharedScreen*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return holder ? *holder : nullptr;
}

LRESULT CALLBACK HomeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SharedScreen held = HeldScreenOf(window);
  HomeScreen* screen = held.get();
  switch (message) {
    case WM_CREATE: {
      RECT client{};
      GetClientRect(window, &client);
      HDC dc = GetDC(window);
      const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
      ReleaseDC(window, dc);
      // The screen is there before the layout loads, so what the plug-ins
      // send while they start reaches it.
      auto made = std::make_unique<SharedScreen>(
          std::make_shared<HomeScreen>(window, client.right - client.left, client.bottom - client.top, dpi));
      HomeScreen& created = **made;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made.release()));
      created.Load(CurrentLayout(), ReadCurrentScheme());
      SetTimer(window, kTickTimer, kTickMs, nullptr);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      if (screen && dc) screen->Paint(dc, paint.rcPaint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_KEYDOWN:
      if (screen) screen->OnKey(static_cast<WORD>(wParam));
      return 0;
    case WM_LBUTTONDOWN: {
      if (!screen) return 0;
      // A pen held still is the context gesture; anything else a tap.
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      SHRGINFO gesture{sizeof(SHRGINFO), window, point, SHRG_RETURNCMD};
      screen->OnPen(point, SHRecognizeGesture(&gesture) == GN_CONTEXTMENU);
      return 0;
    }
    case WM_TIMER:
      if (!screen) return 0;
      if (wParam == kTickTimer) screen->OnTimer();
      if (wParam == kRetryTimer) {
        KillTimer(window, kRetryTimer);
        Reload(window, *screen);
      }
      return 0;
    case WM_SETTINGCHANGE:
      // Reloaded after the sender's call returns, so the sender never waits
      // on the plug-ins.
      if (wParam == kReloadLayout) PostMessageW(window, kMsgReload, 0, 0);
      return 0;
    case kMsgReload:
      if (screen) Reload(window, *screen);
      return 0;
    case WM_SYSCOLORCHANGE:
      if (screen) screen->OnSysColorChange(ReadCurrentScheme());
      return 0;
    case kMsgInvalidatePlugin:
      if (screen) screen->OnInvalidate(static_cast<HPLUGIN>(wParam), static_cast<DWORD>(lParam));
      return 0;
    case WM_DESTROY: {
      KillTimer(window, kTickTimer);
      KillTimer(window, kRetryTimer);
      std::unique_ptr<SharedScreen> holder(reinterpret_cast<SharedScreen*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      // The plug-ins are saved and released before the loop ends: here, or
      // as the call into the screen under way returns.
      holder.reset();
      held.reset();
      PostQuitMessage(0);
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

HWND CreateHomeWindow(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = HomeProc;
  wc.hInstance = instance;
  wc.lpszClassName = DESKTOP_WINDOW_CLASS;
  RegisterClassW(&wc);  // already registered by an earlier window: fine
  HWND window = CreateWindowExW(0, DESKTOP_WINDOW_CLASS, L"Home", WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
  if (window) UpdateWindow(window);
  return window;
}

HomeScreen* HomeScreenOf(HWND window) {
  wchar_t name[32] = {};
  if (!window || GetClassNameW(window, name, 32) == 0 || std::wcscmp(name, DESKTOP_WINDOW_CLASS) != 0) return nullptr;
  return HeldScreenOf(window).get();
}

}  // namespace home
