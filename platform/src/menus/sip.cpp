// The shell's input panel, press-and-hold and bitmaps from files.
//
// The input panel is the device's keyboard (sip_keyboard.h) in a
// WS_EX_NOACTIVATE top-level window, the same kind as the menu bar, lying
// just above the bar, 80 pixels high at 96 DPI and scaled with the screen.
// A tap on a key goes into the device's input as the user's typing would,
// so the focus window gets WM_CHAR (or the key for backspace, tab, enter and
// the caret keys) and keeps its focus.
#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ce/aygshell.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "imaging/picture.h"
#include "kernel/not_implemented.h"
#include "menus/draw.h"
#include "menus/menus.h"
#include "menus/sip_keyboard.h"
#include "user/input.h"

namespace {

using ce::menus::sip::KeyKind;
using ce::menus::sip::Modifiers;
using ce::menus::sip::PanelKey;

constexpr wchar_t kPanelClass[] = L"SipPanel";
constexpr COLORREF kPanelFace = RGB(192, 192, 192);
constexpr COLORREF kKeyFace = RGB(255, 255, 255);
constexpr COLORREF kKeyHeld = RGB(0, 0, 0);  // a Shift or CAP that is on

constexpr UINT kShowPanel = WM_APP + 0x51;  // wParam: 1 on, 0 off

std::mutex g_lock;
HWND g_panel = nullptr;
bool g_on = false;
Modifiers g_modifiers;

int PanelHeight() { return ce::menus::Scaled(80); }

RECT PanelRect() {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int bottom = GetSystemMetrics(SM_CYSCREEN) - ce::menus::BarHeight();
  return RECT{0, bottom - PanelHeight(), width, bottom};
}

std::vector<PanelKey> PanelKeys(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return ce::menus::sip::Layout(r.right - r.left, r.bottom - r.top);
}

void PaintPanel(HWND hwnd, HDC dc) {
  RECT all{};
  GetClientRect(hwnd, &all);
  Modifiers modifiers;
  {
    std::lock_guard guard(g_lock);
    modifiers = g_modifiers;
  }
  HBRUSH face = CreateSolidBrush(kPanelFace);
  FillRect(dc, &all, face);
  DeleteObject(face);
  HBRUSH keyFace = CreateSolidBrush(kKeyFace);
  HBRUSH heldFace = CreateSolidBrush(kKeyHeld);
  LOGFONTW font{};
  font.lfHeight = -ce::menus::sip::LabelHeight(all.bottom - all.top);
  font.lfWeight = FW_NORMAL;
  wcscpy(font.lfFaceName, L"Tahoma");
  HFONT labels = CreateFontIndirectW(&font);
  HGDIOBJ oldFont = SelectObject(dc, labels);
  SetBkMode(dc, TRANSPARENT);
  for (const PanelKey& k : ce::menus::sip::Layout(all.right - all.left, all.bottom - all.top)) {
    const bool held = (k.kind == KeyKind::kShift && modifiers.shift) || (k.kind == KeyKind::kCaps && modifiers.caps);
    RECT inner{k.rect.left + 1, k.rect.top + 1, k.rect.right - 1, k.rect.bottom - 1};
    FillRect(dc, &inner, held ? heldFace : keyFace);
    SetTextColor(dc, held ? kKeyFace : RGB(0, 0, 0));
    const std::wstring label = ce::menus::sip::LabelOf(k, modifiers);
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &inner,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  DeleteObject(labels);
  DeleteObject(heldFace);
  DeleteObject(keyFace);
}

// A key pressed as the user types: characters as text, the other keys as
// the keys they are; Shift and CAP change what the next keys type.
void PressKey(HWND panel, const PanelKey& key) {
  wchar_t typed = 0;
  bool redraw = false;
  {
    std::lock_guard guard(g_lock);
    typed = ce::menus::sip::CharacterOf(key, g_modifiers);
    const Modifiers next = ce::menus::sip::After(key, g_modifiers);
    redraw = next.shift != g_modifiers.shift || next.caps != g_modifiers.caps;
    g_modifiers = next;
  }
  if (redraw) InvalidateRect(panel, nullptr, FALSE);
  if (typed != 0) {
    ce::user::DeliverText(std::wstring_view(&typed, 1));
  } else if (const int vk = ce::menus::sip::VirtualKeyOf(key)) {
    ce::user::DeliverKey(vk, true);
    ce::user::DeliverKey(vk, false);
  }
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      PaintPanel(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      const POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      for (const PanelKey& k : PanelKeys(hwnd)) {
        const RECT& r = k.rect;
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) {
          PressKey(hwnd, k);
          break;
        }
      }
      return 0;
    }
    case kShowPanel: {
      const bool on = wParam != 0;
      if (on) {
        const RECT r = PanelRect();
        SetWindowPos(hwnd, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
      } else {
        ShowWindow(hwnd, SW_HIDE);
      }
      std::lock_guard guard(g_lock);
      g_on = on;
      return 0;
    }
    case WM_DESTROY: {
      std::lock_guard guard(g_lock);
      if (g_panel == hwnd) {
        g_panel = nullptr;
        g_on = false;
      }
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

bool RegisterPanelClass() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PanelProc;
    wc.lpszClassName = kPanelClass;
    wc.style = CS_GLOBALCLASS;
    return RegisterClassW(&wc) != 0;
  }();
  return registered;
}

// The panel lives on a thread of its own that does nothing but run its
// message loop, as the shell's own would: whichever thread puts it up or
// down (a program's, the script runner's), its keys are always answered.
DWORD WINAPI PanelThread(LPVOID ready) {
  HWND panel = nullptr;
  if (RegisterPanelClass()) {
    const RECT r = PanelRect();
    panel = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST, kPanelClass, L"", WS_POPUP, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
  }
  {
    std::lock_guard guard(g_lock);
    g_panel = panel;
  }
  SetEvent(static_cast<HANDLE>(ready));
  if (!panel) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

HWND EnsurePanel() {
  static std::mutex start;
  std::lock_guard once(start);
  {
    std::lock_guard guard(g_lock);
    if (g_panel && IsWindow(g_panel)) return g_panel;
  }
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ready) return nullptr;
  HANDLE thread = CreateThread(nullptr, 0, PanelThread, ready, 0, nullptr);
  if (thread) {
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(ready);
  std::lock_guard guard(g_lock);
  return g_panel;
}

// Tells the program's top-level windows (but the panel and the bars, which
// are the shell's) that the panel changed.
void BroadcastChange() {
  std::vector<HWND> tops;
  EnumWindows(
      [](HWND top, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(top);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&tops));
  for (HWND top : tops) {
    // The panel is this program's: other programs' windows are not told.
    DWORD process = 0;
    GetWindowThreadProcessId(top, &process);
    if (process != GetCurrentProcessId()) continue;
    if (!IsWindow(top) || (GetWindowLongW(top, GWL_EXSTYLE) & WS_EX_NOACTIVATE)) continue;
    SendMessageW(top, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
  }
}

bool SetPanel(bool on) {
  {
    std::lock_guard guard(g_lock);
    if (on == g_on) return true;
  }
  HWND panel = EnsurePanel();
  if (!panel) return false;
  SendMessageW(panel, kShowPanel, on ? 1 : 0, 0);
  BroadcastChange();
  return true;
}

SIPINFO CurrentState() {
  SIPINFO info{};
  info.cbSize = sizeof info;
  {
    std::lock_guard guard(g_lock);
    info.fdwFlags = g_on ? SIPF_ON : SIPF_OFF;
  }
  info.rcSipRect = PanelRect();
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const int top = height - GetSystemMetrics(SM_CYFULLSCREEN);
  const int bottom = (info.fdwFlags & SIPF_ON) ? info.rcSipRect.top : height - ce::menus::BarHeight();
  info.rcVisibleDesktop = RECT{0, top, GetSystemMetrics(SM_CXSCREEN), bottom};
  return info;
}

}  // namespace

namespace ce::menus {

bool SipOn() {
  std::lock_guard guard(g_lock);
  return g_on;
}

bool SetSip(bool on) { return SetPanel(on); }

std::optional<std::vector<POINT>> SipTapsFor(std::wstring_view text) {
  Modifiers now;
  {
    std::lock_guard guard(g_lock);
    if (!g_on) return std::nullopt;
    now = g_modifiers;
  }
  const RECT panel = PanelRect();
  const auto keys = sip::KeysFor(text, now, panel.right - panel.left, panel.bottom - panel.top);
  if (!keys) return std::nullopt;
  std::vector<POINT> taps;
  for (const PanelKey& k : *keys) {
    taps.push_back(POINT{panel.left + (k.rect.left + k.rect.right) / 2, panel.top + (k.rect.top + k.rect.bottom) / 2});
  }
  return taps;
}

}  // namespace ce::menus

BOOL SHSipPreference(HWND hwnd, SIPSTATE state) {
  if (hwnd && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  switch (state) {
    case SIP_UP:
      return SetPanel(true) ? TRUE : FALSE;
    case SIP_DOWN:
    case SIP_FORCEDOWN:
      return SetPanel(false) ? TRUE : FALSE;
    case SIP_UNCHANGED:
      return TRUE;
    case SIP_INPUTDIALOG:
      ce::kernel::NotImplemented("SHSipPreference(SIP_INPUTDIALOG)");
      return FALSE;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

BOOL SHSipInfo(UINT action, UINT, void* param, UINT) {
  auto* info = static_cast<SIPINFO*>(param);
  if (action != SPI_GETSIPINFO && action != SPI_SETSIPINFO) {
    ce::kernel::NotImplemented("SHSipInfo(action)");
    return FALSE;
  }
  if (!info || info->cbSize < sizeof(SIPINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (action == SPI_SETSIPINFO) return SetPanel((info->fdwFlags & SIPF_ON) != 0) ? TRUE : FALSE;
  const SIPINFO now = CurrentState();
  info->fdwFlags = now.fdwFlags;
  info->rcVisibleDesktop = now.rcVisibleDesktop;
  info->rcSipRect = now.rcSipRect;
  info->dwImDataSize = 0;
  return TRUE;
}

// --- Press and hold -----------------------------------------------------------------

DWORD SHRecognizeGesture(SHRGINFO* info) {
  constexpr DWORD kHoldMs = 500;
  constexpr int kSlop = 5;  // pixels the pen may wander
  constexpr DWORD kPollMs = 10;
  if (!info || info->cbSize < sizeof(SHRGINFO) || !IsWindow(info->hwndClient)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (info->dwFlags != SHRG_RETURNCMD) {
    ce::kernel::NotImplemented("SHRecognizeGesture(flags other than SHRG_RETURNCMD)");
    return 0;
  }
  // The pen's later events stay queued for the window; they are only looked
  // at. The wait is the platform's Sleep, so it follows the virtual clock.
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
      if (msg.message == WM_LBUTTONUP) return 0;
      if (msg.message == WM_MOUSEMOVE) {
        POINT p{static_cast<SHORT>(LOWORD(msg.lParam)), static_cast<SHORT>(HIWORD(msg.lParam))};
        if (msg.hwnd != info->hwndClient) {
          ClientToScreen(msg.hwnd, &p);
          ScreenToClient(info->hwndClient, &p);
        }
        const int dx = p.x - info->ptDown.x;
        const int dy = p.y - info->ptDown.y;
        if (dx > kSlop || dx < -kSlop || dy > kSlop || dy < -kSlop) return 0;
        // A move within reach is taken so the next event can be seen.
        PeekMessageW(&msg, msg.hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);
        continue;
      }
      break;
    }
    if (GetTickCount() - start >= kHoldMs) return GN_CONTEXTMENU;
    Sleep(kPollMs);
  }
}

// --- Bitmaps from files ---------------------------------------------------------------

HBITMAP SHLoadDIBitmap(LPCWSTR path) {
  constexpr DWORD kMaxFile = 64u << 20;
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  const DWORD size = GetFileSize(file, nullptr);
  std::vector<std::uint8_t> bytes;
  bool read = size != INVALID_FILE_SIZE && size > 0 && size <= kMaxFile;
  if (read) {
    bytes.resize(size);
    DWORD got = 0;
    read = ReadFile(file, bytes.data(), size, &got, nullptr) && got == size;
  }
  CloseHandle(file);
  ce::imaging::Picture picture;
  if (!read || !ce::imaging::DecodeBmp(bytes.data(), bytes.size(), picture)) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = static_cast<LONG>(picture.width);
  bi.bmiHeader.biHeight = -static_cast<LONG>(picture.height);
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  // 0x00RRGGBB rows, top first, are already the 32-bit DIB's BGRA layout.
  std::copy(picture.pixels.begin(), picture.pixels.end(), static_cast<std::uint32_t*>(bits));
  return bitmap;
}
