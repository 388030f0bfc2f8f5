#include "common/ui_helpers.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "ce/aygshell.h"
#include "ce/crt.h"
#include "common/module_state.h"

namespace suite {
namespace {

int g_dpiX = 0;
int g_dpiY = 0;
HFONT g_childFont = nullptr;

constexpr int kStringCapacity = 261;
constexpr int kNumberCapacity = 32;

using ShGetUIMetricsFn = HRESULT (*)(DWORD metric, void* buffer, DWORD size, DWORD* required);

// The selected item's number; false when there is none or it is longer
// than a number can be.
bool SelectedNumber(HWND dialog, int id, ULONG& number) {
  const LRESULT selected = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
  if (selected < 0) return false;
  const LRESULT length = SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
  if (length < 0 || length >= kNumberCapacity) return false;
  wchar_t text[kNumberCapacity] = {};
  if (SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text)) <
      0) {
    return false;
  }
  number = ce::wcstoul(text, nullptr, 10);
  return true;
}

bool OsMajorIs3() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) && version.dwMajorVersion == 3;
}

}  // namespace

void InitScreenDpi() {
  if (g_dpiX != 0) return;
  HDC screen = GetDC(nullptr);
  g_dpiX = GetDeviceCaps(screen, LOGPIXELSX);
  g_dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
}

int ScreenDpiX() {
  InitScreenDpi();
  return g_dpiX;
}

int ScreenDpiY() {
  InitScreenDpi();
  return g_dpiY;
}

int ScaleByDpi(int n) { return (n * ScreenDpiX() + 48) / 96; }

HRESULT GetUIMetrics(DWORD metric, void* buffer, DWORD size, DWORD* required) {
  if (HMODULE shell = LoadLibraryW(L"AYGSHELL")) {
    auto call =
        reinterpret_cast<ShGetUIMetricsFn>(reinterpret_cast<void (*)()>(GetProcAddressW(shell, L"SHGetUIMetrics")));
    const HRESULT hr = call != nullptr ? call(metric, buffer, size, required) : E_NOTIMPL;
    FreeLibrary(shell);
    if (call != nullptr) return hr;
  }
  if (buffer == nullptr || size < sizeof(DWORD)) {
    if (required != nullptr) *required = sizeof(DWORD);
    return S_OK;
  }
  LOGFONTW font{};
  GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font);
  DWORD value = 0;
  switch (metric) {
    case 1:
      value = static_cast<DWORD>(font.lfHeight * -7200 / std::max(1, ScreenDpiY()));
      break;
    case 2:
      value = static_cast<DWORD>(-font.lfHeight);
      break;
    case 3:
      value = 100;
      break;
    default:
      return E_INVALIDARG;
  }
  std::memcpy(buffer, &value, sizeof value);
  if (required != nullptr) *required = sizeof(DWORD);
  return S_OK;
}

ATOM RegisterPluginWindowClass(HINSTANCE module, LPCWSTR className, WNDPROC procedure) {
  WNDCLASSW wc{};
  wc.style = CS_VREDRAW | CS_HREDRAW;
  wc.lpfnWndProc = procedure;
  wc.hInstance = module;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = className;
  return RegisterClassW(&wc);
}

void SetChildFontSource(HFONT font) { g_childFont = font; }

void SetChildFonts(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_childFont), 0);
  }
}

BOOL ReturnTrue() { return TRUE; }

void FillComboFromStrings(HWND combo, UINT firstId, UINT lastId, int select) {
  for (UINT id = firstId; id <= lastId; ++id) {
    wchar_t text[kStringCapacity] = {};
    if (LoadStringW(ModuleInstance(), id, text, kStringCapacity) > 0) {
      SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    if (id == 0xFFFFFFFFu) break;
  }
  if (select != -1) SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(select), 0);
}

void FillComboWithNumbers(HWND combo, int from, int to, int step, int select) {
  // A step that would never reach `to` adds the first number only.
  for (long long n = from; n <= to; n += step) {
    wchar_t text[kNumberCapacity];
    ce::swprintf(text, L"%d", static_cast<int>(n));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (step <= 0) break;
  }
  if (select != -1) SelectComboNumber(combo, static_cast<ULONG>(select));
}

ULONG GetComboNumber(HWND dialog, int id) {
  ULONG number = 0;
  return SelectedNumber(dialog, id, number) ? number : 0;
}

void SelectComboNumber(HWND combo, ULONG value) {
  wchar_t text[kNumberCapacity];
  ce::swprintf(text, L"%lu", value);
  const LRESULT found =
      SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
}

BOOL GetComboNumberInRange(HWND dialog, int id, ULONG min, ULONG max, int step, ULONG* out) {
  ULONG n = 0;
  if (out == nullptr || !SelectedNumber(dialog, id, n) || n < min || n > max) return FALSE;
  if (step > 0 && (n - min) % static_cast<ULONG>(step) != 0) return FALSE;
  *out = n;
  return TRUE;
}

int ShowMessageFromStrings(HWND owner, UINT captionId, UINT textId, UINT type) {
  wchar_t caption[kStringCapacity] = {};
  wchar_t text[kStringCapacity] = {};
  if (LoadStringW(ModuleInstance(), captionId, caption, kStringCapacity) <= 0 ||
      LoadStringW(ModuleInstance(), textId, text, kStringCapacity) <= 0) {
    return 0;
  }
  return MessageBoxW(owner, text, caption, type);
}

BOOL PtInBounds(int left, int top, int right, int bottom, int x, int y) {
  return left <= x && x <= right && top <= y && y <= bottom;
}

BOOL IsShortScreen() { return GetSystemMetrics(SM_CYSCREEN) < (320 * ScreenDpiY() + 48) / 96; }

void SetPoint(POINT* point, int x, int y) {
  if (point == nullptr) return;
  point->x = x;
  point->y = y;
}

int DrawTextInFont(HDC dc, LPCWSTR text, RECT* rect, UINT format, HFONT font, COLORREF colour) {
  if (dc == nullptr || text == nullptr || rect == nullptr) return 0;
  HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
  const COLORREF oldColour = SetTextColor(dc, colour);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const int result = DrawTextW(dc, text, -1, rect, format);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColour);
  if (oldFont != nullptr) SelectObject(dc, oldFont);
  return result;
}

BOOL GetStorageRootName(LPWSTR buffer) {
  if (buffer == nullptr) return FALSE;
  const wchar_t* name = OsMajorIs3() ? L"\\IPSM" : L"\\Storage";
  std::wmemcpy(buffer, name, std::wcslen(name) + 1);
  return TRUE;
}

namespace {

// The 24-bit bottom-up work surface TintRect blends in, kept between paints
// and grown only when an area larger than any before is tinted, so the
// paint path does not allocate.
struct TintSurface {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  BYTE* bits = nullptr;
  int width = 0;
  int height = 0;
};

bool EnsureTintSurface(TintSurface& surface, HDC like, int width, int height) {
  if (surface.dc != nullptr && width <= surface.width && height <= surface.height) return true;
  const int newWidth = std::max(width, surface.width);
  const int newHeight = std::max(height, surface.height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = newWidth;
  info.bmiHeader.biHeight = newHeight;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biXPelsPerMeter = 3780;
  info.bmiHeader.biYPelsPerMeter = 3780;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(like);
  HBITMAP bitmap = dc != nullptr ? CreateDIBSection(like, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (bitmap == nullptr || bits == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
    return false;
  }
  if (surface.dc != nullptr) {
    SelectObject(surface.dc, surface.previous);
    DeleteObject(surface.bitmap);
    DeleteDC(surface.dc);
  }
  surface = {dc, bitmap, SelectObject(dc, bitmap), static_cast<BYTE*>(bits), newWidth, newHeight};
  return true;
}

}  // namespace

void TintRect(HDC dc, const RECT* rect, COLORREF colour, int strength) {
  if (dc == nullptr || rect == nullptr) return;
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  if (width <= 0 || height <= 0) return;
  static TintSurface surface;
  if (!EnsureTintSurface(surface, dc, width, height)) return;
  const int a = std::clamp(strength, 0, 255);
  BitBlt(surface.dc, 0, 0, width, height, dc, rect->left, rect->top, SRCCOPY);
  const int blue = GetBValue(colour) * a;
  const int green = GetGValue(colour) * a;
  const int red = GetRValue(colour) * a;
  const int keep = 255 - a;
  const std::size_t stride = (static_cast<std::size_t>(surface.width) * 3 + 3) & ~static_cast<std::size_t>(3);
  for (int y = 0; y < height; ++y) {
    // Bottom-up: the area's row y is the surface's row height - 1 - y.
    BYTE* p = surface.bits + static_cast<std::size_t>(surface.height - 1 - y) * stride;
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = static_cast<BYTE>((p[0] * keep + blue) >> 8);
      p[1] = static_cast<BYTE>((p[1] * keep + green) >> 8);
      p[2] = static_cast<BYTE>((p[2] * keep + red) >> 8);
    }
  }
  BitBlt(dc, rect->left, rect->top, width, height, surface.dc, 0, 0, SRCCOPY);
}

void PowerOffDevice() {
  keybd_event(static_cast<BYTE>(VK_OFF), 0, KEYEVENTF_SILENT, 0);
  keybd_event(static_cast<BYTE>(VK_OFF), 0, KEYEVENTF_KEYUP | KEYEVENTF_SILENT, 0);
}

void EmptyHook() {}

void DebugTrace(LPCWSTR /*format*/, ...) {}

void UnionRect(RECT* out, const RECT* a, const RECT* b) {
  if (out == nullptr || a == nullptr || b == nullptr) return;
  *out = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
          std::max(a->bottom, b->bottom)};
}

void DeflateRect(RECT* out, const RECT* rect, int n) {
  if (out == nullptr || rect == nullptr) return;
  *out = {rect->left + n, rect->top + n, rect->right - n, rect->bottom - n};
}

void OffsetRect(RECT* out, const RECT* rect, POINT point) {
  if (out == nullptr || rect == nullptr) return;
  *out = {rect->left + point.x, rect->top + point.y, rect->right + point.x, rect->bottom + point.y};
}

}  // namespace suite
