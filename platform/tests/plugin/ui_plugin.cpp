// A plug-in as the home screen loads them: a library that makes a window of
// its own class, draws into a DC its host gives it, sets a timer and reads
// the registry, all through the platform the host runs on.
#include "ce/windows.h"

namespace {

constexpr wchar_t kClassName[] = L"PluginPanel";
LONG g_timerTicks = 0;

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    ++g_timerTicks;
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

extern "C" {

// Makes the plug-in's window with a timer of `periodMs` (identifier 7).
__attribute__((visibility("default"))) HWND PluginCreatePanel(UINT periodMs) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PanelProc;
  wc.lpszClassName = kClassName;
  if (!RegisterClassW(&wc)) return nullptr;
  HWND hwnd =
      CreateWindowExW(0, kClassName, L"Plug-in panel", WS_VISIBLE, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
  if (hwnd && SetTimer(hwnd, 7, periodMs, nullptr) == 0) return nullptr;
  return hwnd;
}

__attribute__((visibility("default"))) LONG PluginTimerTicks() { return g_timerTicks; }

// Fills the rectangle (1, 1)-(5, 5) of the host's DC with `color`.
__attribute__((visibility("default"))) BOOL PluginDraw(HDC hdc, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  if (!brush) return FALSE;
  const RECT area{1, 1, 5, 5};
  const int filled = FillRect(hdc, &area, brush);
  DeleteObject(brush);
  return filled != 0;
}

// The DWORD value `name` of HKEY_CURRENT_USER\Software\PluginHost.
__attribute__((visibility("default"))) LONG PluginReadSetting(LPCWSTR name, DWORD* value) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\PluginHost", 0, 0, &key);
  if (result != ERROR_SUCCESS) return result;
  DWORD type = 0;
  DWORD size = sizeof *value;
  result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (result == ERROR_SUCCESS && type != REG_DWORD) return ERROR_INVALID_DATA;
  return result;
}
}
