// The shell's input panel, press-and-hold and bitmaps from files.
//
// The input panel is a small keyboard in a WS_EX_NOACTIVATE top-level
// window, the same kind as the menu bar, lying just above the bar. A tap on
// a key goes into the device's input as the user's typing would, so the
// focus window gets WM_CHAR (or the key for backspace and enter) and keeps
// its focus.
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
#include "menus/menus.h"
#include "user/input.h"

namespace {

constexpr wchar_t kPanelClass[] = L"SipPanel";
constexpr COLORREF kPanelFace = RGB(192, 192, 192);
constexpr COLORREF kKeyFace = RGB(255, 255, 255);

// The keyboard: four rows of ten keys; the last row has backspace, space
// and enter, wider than the rest. A key is its character, or '\b' / '\r'.
constexpr int kRows = 4;
constexpr int kColumns = 10;
constexpr int kKeyHeight = 20;
const std::array<std::wstring, 3> kRowKeys = {L"1234567890", L"qwertyuiop", L"asdfghjklz"};
struct Key {
  RECT rect;
  wchar_t ch;
};

constexpr UINT kShowPanel = WM_APP + 0x51;  // wParam: 1 on, 0 off

std::mutex g_lock;
HWND g_panel = nullptr;
bool g_on = false;

int PanelHeight() { return kRows * kKeyHeight; }

RECT PanelRect() {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int bottom = GetSystemMetrics(SM_CYSCREEN) - ce::menus::BarHeight();
  return RECT{0, bottom - PanelHeight(), width, bottom};
}

// The keys in panel coordinates, for a panel `width` pixels wide.
std::vector<Key> Layout(int width) {
  std::vector<Key> keys;
  auto column = [&](int c) { return c * width / kColumns; };
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      keys.push_back({RECT{column(c), r * kKeyHeight, column(c + 1), (r + 1) * kKeyHeight}, kRowKeys[r][c]});
    }
  }
  const int top = 3 * kKeyHeight;
  const int bottom = 4 * kKeyHeight;
  keys.push_back({RECT{0, top, column(2), bottom}, L'\b'});
  keys.push_back({RECT{column(2), top, column(8), bottom}, L' '});
  keys.push_back({RECT{column(8), top, width, bottom}, L'\r'});
  return keys;
}

const wchar_t* KeyLabel(wchar_t ch, wchar_t (&one)[2]) {
  if (ch == L'\b') return L"<-";
  if (ch == L'\r') return L"Enter";
  if (ch == L' ') return L"space";
  one[0] = ch;
  one[1] = 0;
  return one;
}

int PanelWidth(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return r.right - r.left;
}

void PaintPanel(HWND hwnd, HDC dc) {
  RECT all{};
  GetClientRect(hwnd, &all);
  HBRUSH face = CreateSolidBrush(kPanelFace);
  FillRect(dc, &all, face);
  DeleteObject(face);
  HBRUSH keyFace = CreateSolidBrush(kKeyFace);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  for (const Key& k : Layout(all.right - all.left)) {
    RECT inner{k.rect.left + 1, k.rect.top + 1, k.rect.right - 1, k.rect.bottom - 1};
    FillRect(dc, &inner, keyFace);
    wchar_t one[2];
    DrawTextW(dc, KeyLabel(k.ch, one), -1, &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  DeleteObject(keyFace);
}

// A key typed as the user types: characters as text, backspace and enter
// as the keys they are.
void TypeKey(wchar_t ch) {
  if (ch == L'\b' || ch == L'\r') {
    const int vk = ch == L'\b' ? VK_BACK : VK_RETURN;
    ce::user::DeliverKey(vk, true);
    ce::user::DeliverKey(vk, false);
    return;
  }
  ce::user::DeliverText(std::wstring_view(&ch, 1));
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
      for (const Key& k : Layout(PanelWidth(hwnd))) {
        const RECT& r = k.rect;
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) {
          TypeKey(k.ch);
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
