#include "common/iss_utility.h"

#include <cwchar>
#include <utility>

#include "common/module_state.h"
#include "common/string_helper.h"

namespace suite {
namespace {

IssUtility* g_instance = nullptr;

// Debug output only: the suite's traces are compiled out of release builds.
void Trace(LPCWSTR /*text*/) {}

int TextWidth(HDC dc, LPCWSTR text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &size);
  return size.cx;
}

int AlignedX(HDC dc, int x, LPCWSTR text, int align) {
  if (align == 1) return x - TextWidth(dc, text) / 2;
  if (align == 2) return x - TextWidth(dc, text);
  return x;
}

void DrawTransparentText(HDC dc, int x, int y, LPCWSTR text, COLORREF colour) {
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = SetTextColor(dc, colour);
  ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(std::wcslen(text)), nullptr);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
}

BYTE Channel(COLORREF c, int shift) { return static_cast<BYTE>((c >> shift) & 0xFF); }

}  // namespace

IssUtility* IssUtility::GetInstance() {
  if (g_instance == nullptr) g_instance = new IssUtility();
  return g_instance;
}

void IssUtility::DeleteInstance() {
  delete g_instance;
  g_instance = nullptr;
}

IssUtility::IssUtility() : m_strings(CStringHelper::GetInstance()) {
  m_soundService = LoadLibraryW(L"\\windows\\ossvcs.dll");
  if (m_soundService == nullptr) {
    Trace(L"**IssUtility: Unable to load ossvcs.dll\r\n");
    return;
  }
  // The exports have their own signatures; FARPROC only carries them.
  m_playEventSoundScript = reinterpret_cast<PlayEventSoundScriptFn>(
      reinterpret_cast<void (*)()>(GetProcAddressW(m_soundService, L"PlayEventSoundScript")));
  m_stopEventSounds = reinterpret_cast<StopEventSoundsFn>(
      reinterpret_cast<void (*)()>(GetProcAddressW(m_soundService, L"StopEventSounds")));
  if (m_playEventSoundScript == nullptr || m_stopEventSounds == nullptr) {
    Trace(L"**IssUtility: Unable to load Function in ossvcs.dll\r\n");
    FreeLibrary(m_soundService);
    m_soundService = nullptr;
    m_playEventSoundScript = nullptr;
    m_stopEventSounds = nullptr;
  }
}

IssUtility::~IssUtility() {
  if (m_soundService != nullptr) FreeLibrary(m_soundService);
}

BOOL IssUtility::PlayEventSound(DWORD value, BOOL warning) {
  if (m_playEventSoundScript == nullptr) return FALSE;
  m_playEventSoundScript(warning ? L"warning" : L"SystemExclamation", L"", value);
  return TRUE;
}

const OSVERSIONINFOW* IssUtility::Version() {
  if (!m_version) {
    auto version = std::make_unique<OSVERSIONINFOW>();
    version->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(version.get())) return nullptr;
    m_version = std::move(version);
  }
  return m_version.get();
}

BOOL IssUtility::GetStorageRoot(LPWSTR buffer) {
  if (buffer == nullptr) return FALSE;
  const OSVERSIONINFOW* version = Version();
  m_strings->Copy(buffer, version != nullptr && version->dwMajorVersion == 3 ? L"\\IPSM\\" : L"\\Storage\\");
  return TRUE;
}

BOOL IssUtility::GetModuleDirectory(LPWSTR buffer) {
  if (buffer == nullptr) return FALSE;
  if (m_moduleDirectory[0] == L'\0') {
    WCHAR path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
    // A path cut to the buffer would name another folder: refuse it.
    if (n == 0 || n >= MAX_PATH) return FALSE;
    const WCHAR* slash = std::wcsrchr(path, L'\\');
    if (slash == nullptr) return FALSE;
    const std::size_t keep = static_cast<std::size_t>(slash - path) + 1;
    std::wmemcpy(m_moduleDirectory, path, keep);
    m_moduleDirectory[keep] = L'\0';
  }
  m_strings->Copy(buffer, m_moduleDirectory);
  return TRUE;
}

int IssUtility::GetOsVersionKind() {
  const OSVERSIONINFOW* version = Version();
  if (version == nullptr || version->dwMajorVersion < 3) return 0;
  if (version->dwMajorVersion == 3) {
    return version->dwMinorVersion == 0 && version->dwBuildNumber < 11000 ? 1 : 2;
  }
  return 3;
}

void IssUtility::DrawTextWithFont(HDC dc, int x, int y, int height, int weight, LPCWSTR face, LPCWSTR text,
                                  COLORREF colour, int align, int angle) {
  if (dc == nullptr || text == nullptr) return;
  HFONT font = CreateFontW(height, 0, angle * 10, angle * 10, weight, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face != nullptr ? face : L"");
  if (font == nullptr) return;
  SelectObject(dc, font);
  DrawTransparentText(dc, AlignedX(dc, x, text, align), y, text, colour);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

void IssUtility::DrawTextAligned(HDC dc, int x, int y, HFONT font, LPCWSTR text, COLORREF colour, int align) {
  if (dc == nullptr || text == nullptr || font == nullptr) return;
  HGDIOBJ old = SelectObject(dc, font);
  DrawTransparentText(dc, AlignedX(dc, x, text, align), y, text, colour);
  SelectObject(dc, old);
}

void IssUtility::TileBitmap(HDC dc, int left, int top, int right, int bottom, HDC source, int tileWidth,
                            int tileHeight) {
  if (dc == nullptr || source == nullptr || tileWidth <= 0 || tileHeight <= 0) return;
  for (int y = top; y < bottom; y += tileHeight) {
    const int h = bottom - y < tileHeight ? bottom - y : tileHeight;
    for (int x = left; x < right; x += tileWidth) {
      const int w = right - x < tileWidth ? right - x : tileWidth;
      BitBlt(dc, x, y, w, h, source, 0, 0, SRCCOPY);
    }
  }
}

void IssUtility::DrawFrame(HDC dc, int left, int top, int right, int bottom, HPEN pen, HPEN shadowPen, HBRUSH brush,
                           HBITMAP tile) {
  if (dc == nullptr || pen == nullptr || shadowPen == nullptr || brush == nullptr) return;
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  Rectangle(dc, left + 3, top + 1, right - 3, bottom - 3);
  BITMAP facts{};
  if (tile != nullptr && GetObjectW(tile, sizeof facts, &facts) != 0) {
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ oldTile = source != nullptr ? SelectObject(source, tile) : nullptr;
    if (oldTile != nullptr) {
      const int tileHeight = facts.bmHeight < 0 ? -facts.bmHeight : facts.bmHeight;
      TileBitmap(dc, left + 4, top + 2, right - 4, bottom - 4, source, facts.bmWidth, tileHeight);
      SelectObject(source, oldTile);
    }
    if (source != nullptr) DeleteDC(source);
  }
  SelectObject(dc, shadowPen);
  const POINT shadow[] = {{left + 3, bottom - 3}, {right - 3, bottom - 3}, {right - 3, top}};
  Polyline(dc, shadow, 3);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

void IssUtility::DrawGradient(HDC dc, int left, int top, int right, int bottom, COLORREF leftColour,
                              COLORREF rightColour) {
  const int width = right - left;
  if (dc == nullptr || width <= 0) return;
  for (int x = 0; x < width; ++x) {
    const double t = static_cast<double>(x) / width;
    auto mix = [&](int shift) {
      const int value =
          static_cast<int>(Channel(rightColour, shift) * t) + static_cast<int>(Channel(leftColour, shift) * (1.0 - t));
      return value & 0xFF;
    };
    SetPixel(dc, left + x, top, RGB(mix(0), mix(8), mix(16)));
  }
  for (int y = top + 1; y < bottom; ++y) BitBlt(dc, left, y, width, 1, dc, left, top, SRCCOPY);
}

void IssUtility::FillClientGradient(HDC dc, HWND window, COLORREF a1, COLORREF b1, COLORREF a2, COLORREF b2) {
  if (dc == nullptr || window == nullptr) return;
  RECT client{};
  if (!GetClientRect(window, &client)) return;
  constexpr int kBand = 176;
  DrawGradient(dc, 0, 0, kBand, 2, a1, b1);
  DrawGradient(dc, 0, 2, kBand, 4, a2, b2);
  for (int y = 4; y < client.bottom; y += 4) BitBlt(dc, 0, y, kBand, 4, dc, 0, 0, SRCCOPY);
}

double IssUtility::TimeDifferenceMs(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  auto ms = [](const SYSTEMTIME& t) {
    return ((t.wHour * 60.0 + t.wMinute) * 60.0 + t.wSecond) * 1000.0 + t.wMilliseconds;
  };
  const double d = ms(a) - ms(b);
  return d < 0 ? -d : d;
}

}  // namespace suite
