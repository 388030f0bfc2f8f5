// The shell's "tray" window of a Smartphone device: the strip that shows
// the foreground program's caption. Programs find it by class and title
// "tray" and post it WM_USER with wParam 4 after changing their title, so
// it shows the caption again. Here it stays hidden and keeps what it was
// asked to show, for tests. A Pocket PC has none.
#include <atomic>
#include <mutex>
#include <string>

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "menus/menus.h"

namespace {

constexpr wchar_t kTrayName[] = L"tray";
constexpr WPARAM kShowCaption = 4;

std::mutex g_lock;
HWND g_tray = nullptr;
ce::menus::TrayView g_view;

LRESULT CALLBACK TrayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER && wParam == kShowCaption) {
    std::wstring caption;
    if (HWND front = GetForegroundWindow()) {
      caption.resize(static_cast<std::size_t>(GetWindowTextLengthW(front)) + 1);
      caption.resize(static_cast<std::size_t>(GetWindowTextW(front, caption.data(), static_cast<int>(caption.size()))));
    }
    std::lock_guard guard(g_lock);
    ++g_view.refreshes;
    g_view.caption = std::move(caption);
    return 0;
  }
  if (message == WM_DESTROY) {
    std::lock_guard guard(g_lock);
    if (g_tray == hwnd) g_tray = nullptr;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The tray answers on a thread of its own, as the shell's would, so a post
// to it is taken whatever the program's own thread is doing.
DWORD WINAPI TrayThread(LPVOID ready) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TrayProc;
  wc.lpszClassName = kTrayName;
  HWND tray = nullptr;
  if (RegisterClassW(&wc)) {
    tray = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kTrayName, kTrayName, WS_POPUP, 0, 0, 0, 0, nullptr,
                           nullptr, nullptr, nullptr);
  }
  {
    std::lock_guard guard(g_lock);
    g_tray = tray;
  }
  SetEvent(static_cast<HANDLE>(ready));
  if (!tray) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace

namespace ce::menus {

bool IsSmartphone() {
  wchar_t type[200] = {};
  if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, 200, type, 0)) return false;
  std::wstring text = type;
  for (wchar_t& c : text) c = static_cast<wchar_t>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
  return text == L"smartphone";
}

void EnsureTray() {
  // Set before the thread starts: its own first window must not start
  // another.
  static std::atomic<bool> started{false};
  if (started.load() || !ce::menus::IsSmartphone() || started.exchange(true)) return;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ready) return;
  if (HANDLE thread = CreateThread(nullptr, 0, TrayThread, ready, 0, nullptr)) {
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(ready);
}

std::optional<TrayView> TrayNow() {
  std::lock_guard guard(g_lock);
  if (!g_tray) return std::nullopt;
  return g_view;
}

}  // namespace ce::menus
