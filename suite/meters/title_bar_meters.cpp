#include "title_bar_meters.h"

#include <algorithm>

#include "common/module_state.h"
#include "meter_dialog.h"
#include "meter_settings.h"
#include "obj_battery.h"
#include "obj_memory.h"
#include "obj_meter.h"

namespace pelmora {
namespace {

// The values last drawn, to repaint only on a change.
int g_lastBattery = -1;
int g_lastMemory = -1;

int BatteryLevel() {
  const SYSTEM_POWER_STATUS_EX2& status = Battery().Status();
  return BatteryValue(status.BatteryLifePercent, status.BatteryFlag);
}

struct TitleBarSearch {
  int width;
  int height;
  HWND found;
};

BOOL CALLBACK MatchTitleBar(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<TitleBarSearch*>(lParam);
  RECT r{};
  if (GetWindowRect(hwnd, &r) && r.left == 0 && r.top == 0 && r.right == search->width && r.bottom == search->height) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void DrawTitleBarBar(HDC dc, int x, int y, HDC bars, int barsWidth, int barsHeight, int value, int fullRow, int cutRow,
                     int sourceY) {
  if (dc == nullptr || bars == nullptr) return;
  const int row = barsHeight / 3;
  if (value > 100) {
    CopyTransparent(dc, x, y, barsWidth, row, bars, 0, sourceY + row * 2);
    return;
  }
  if (value < 0) value = 0;
  CopyTransparent(dc, x, y, barsWidth, row, bars, 0, sourceY + row * fullRow);
  CopyTransparent(dc, x, y, barsWidth * value / 100, row, bars, 0, sourceY + row * cutRow);
}

CTitleBarMeters& CTitleBarMeters::Get() {
  static CTitleBarMeters* meters = new CTitleBarMeters;
  return *meters;
}

CTitleBarMeters::CTitleBarMeters() {
  static const int kGlyphs[14] = {0, 4, 7, 11, 15, 19, 23, 27, 31, 35, 39, 44, 48, 53};
  for (int i = 0; i < 14; ++i) m_glyphs[i] = static_cast<BYTE>(Scale(kGlyphs[i]));
}

CTitleBarMeters::~CTitleBarMeters() { Release(); }

void CTitleBarMeters::Release() {
  HideBattery();
  HideMemory();
  if (m_brush != nullptr) DeleteObject(m_brush);
  m_brush = nullptr;
  m_brushColour = CLR_INVALID;
  if (m_batteryAtom != 0) UnregisterClassW(L"TWBattWnd", DialogModule());
  if (m_memoryAtom != 0) UnregisterClassW(L"TWMemWnd", DialogModule());
  m_batteryAtom = m_memoryAtom = 0;
  m_bars.Free();
  m_icons.Free();
  m_batteryPicture.Free();
  m_levels.Free();
  m_numbers.Free();
  m_titleBar = nullptr;
}

void CTitleBarMeters::LoadPictures(HDC dc) {
  HINSTANCE module = DialogModule();
  if (!m_bars.IsLoaded()) {
    const bool large = Dpi() > 129;
    m_bars.LoadBitmap(dc, module, large ? 164 : 128,
                      large ? L"\\Windows\\QV_TitleBar_Bars_VGA.bmp" : L"\\Windows\\QV_TitleBar_Bars.bmp", 0);
    m_icons.LoadBitmap(dc, module, large ? 168 : 129,
                       large ? L"\\Windows\\QV_TitleBar_Icons_VGA.bmp" : L"\\Windows\\QV_TitleBar_Icons.bmp", 0);
    m_batteryPicture.LoadBitmap(
        dc, module, large ? 167 : 131,
        large ? L"\\Windows\\QV_TitleBar_Battery_VGA.bmp" : L"\\Windows\\QV_TitleBar_Battery.bmp", 0);
    m_levels.LoadBitmap(dc, module, large ? 166 : 132,
                        large ? L"\\Windows\\QV_TitleBar_Pelmoras_VGA.bmp" : L"\\Windows\\QV_TitleBar_Pelmoras.bmp", 0);
    m_numbers.LoadBitmap(dc, module, large ? 169 : 130,
                         large ? L"\\Windows\\QV_TitleBar_Numbers_VGA.bmp" : L"\\Windows\\QV_TitleBar_Numbers.bmp", 0);
    m_rowHeight = m_bars.GetHeight() / 3;
  }
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_NOCLOSE;
  wc.hInstance = module;
  if (m_batteryAtom == 0) {
    wc.lpfnWndProc = BatteryProc;
    wc.lpszClassName = L"TWBattWnd";
    m_batteryAtom = RegisterClassW(&wc);
  }
  if (m_memoryAtom == 0) {
    wc.lpfnWndProc = MemoryProc;
    wc.lpszClassName = L"TWMemWnd";
    m_memoryAtom = RegisterClassW(&wc);
  }
}

void CTitleBarMeters::DefaultPositions(int screenWidth, CMeterSettings& settings) {
  // Both pictures are 30 pixels wide at 96 DPI; the memory window adds its
  // 10-pixel icon and a 2-pixel gap. A 2-pixel gap is left before the clock.
  const int clockLeft = screenWidth - Scale(44);
  settings.pbbx = static_cast<DWORD>(std::max(0, clockLeft - Scale(2) - Scale(30)));
  settings.pbby = static_cast<DWORD>(Scale(18));
  settings.pbmx = static_cast<DWORD>(std::max(0, clockLeft - Scale(2) - (Scale(30) + Scale(10) + Scale(2))));
}

HWND CTitleBarMeters::FindTitleBar() {
  if (m_titleBar != nullptr && IsWindow(m_titleBar)) return m_titleBar;
  TitleBarSearch search{GetSystemMetrics(SM_CXSCREEN), Scale(26), nullptr};
  EnumWindows(MatchTitleBar, reinterpret_cast<LPARAM>(&search));
  m_titleBar = search.found;
  return m_titleBar;
}

HWND CTitleBarMeters::Create(ATOM atom, const wchar_t* className, int x, int y, int width, int height) {
  HWND titleBar = FindTitleBar();
  if (titleBar == nullptr || atom == 0) return nullptr;
  HWND hwnd = CreateWindowExW(0x04000008, className, L"", WS_VISIBLE, x, y, width, height, titleBar, nullptr,
                              DialogModule(), nullptr);
  if (hwnd != nullptr) SetTimer(hwnd, kTitleBarTimer, 5000, nullptr);
  return hwnd;
}

void CTitleBarMeters::ShowBattery() {
  if (m_battery != nullptr && IsWindow(m_battery)) return;
  const CMeterSettings& s = CMeterSettings::Get();
  m_battery = Create(m_batteryAtom, L"TWBattWnd", static_cast<int>(s.pbbx), static_cast<int>(s.pbby),
                     m_batteryPicture.GetWidth(), m_batteryPicture.GetHeight());
}

void CTitleBarMeters::ShowMemory() {
  if (m_memory != nullptr && IsWindow(m_memory)) return;
  const CMeterSettings& s = CMeterSettings::Get();
  m_memory = Create(m_memoryAtom, L"TWMemWnd", static_cast<int>(s.pbmx), static_cast<int>(s.pbmy),
                    m_bars.GetWidth() + Scale(10) + Scale(2), m_rowHeight);
}

void CTitleBarMeters::HideBattery() {
  if (m_battery != nullptr && IsWindow(m_battery)) SendMessageW(m_battery, WM_CLOSE, 0, 0);
  m_battery = nullptr;
}

void CTitleBarMeters::HideMemory() {
  if (m_memory != nullptr && IsWindow(m_memory)) SendMessageW(m_memory, WM_CLOSE, 0, 0);
  m_memory = nullptr;
}

void CTitleBarMeters::ApplySettings() {
  const CMeterSettings& s = CMeterSettings::Get();
  if (s.bt) {
    ShowBattery();
  } else {
    HideBattery();
  }
  if (s.mtb) {
    ShowMemory();
  } else {
    HideMemory();
  }
  if (m_battery != nullptr) InvalidateRect(m_battery, nullptr, TRUE);
  if (m_memory != nullptr) InvalidateRect(m_memory, nullptr, TRUE);
}

int CTitleBarMeters::MemoryValue() const {
  if (!m_showMemory) {
    const StorageCard& card = Storage().cards[m_card];
    return card.used;
  }
  const CObjMemory& memory = Memory();
  const std::uint64_t whole = static_cast<std::uint64_t>(memory.programTotalKb) + memory.storageTotalKb;
  // Both memories unknown: nothing in use rather than a division by zero.
  if (whole == 0) return 0;
  const std::uint64_t programUsed =
      memory.programTotalKb >= memory.programFreeKb ? memory.programTotalKb - memory.programFreeKb : 0;
  const std::uint64_t storageUsed =
      memory.storageTotalKb >= memory.storageFreeKb ? memory.storageTotalKb - memory.storageFreeKb : 0;
  const std::uint64_t program = (programUsed * 1000 / whole + 5) / 10;
  const std::uint64_t storage = (storageUsed * 1000 / whole + 5) / 10;
  return static_cast<int>(program + storage);
}

void CTitleBarMeters::NextMemoryView() {
  const CObjStorage& storage = Storage();
  if (m_showMemory) {
    if (storage.cards[0].used != 255) {
      m_showMemory = false;
      m_card = 0;
    }
  } else if (m_card + 1 < kCardSlots && storage.cards[m_card + 1].used != 255) {
    ++m_card;
  } else {
    m_showMemory = true;
    m_card = 0;
  }
}

void CTitleBarMeters::PaintBackground(HDC dc, HWND hwnd) {
  COLORREF colour = 0xFFFFFF;
  if (HWND titleBar = FindTitleBar()) {
    HDC source = GetDC(titleBar);
    const COLORREF sampled = GetPixel(source, Scale(184), Scale(7));
    ReleaseDC(titleBar, source);
    if (sampled != CLR_INVALID) colour = sampled;
  }
  if (m_brush == nullptr || colour != m_brushColour) {
    if (m_brush != nullptr) DeleteObject(m_brush);
    m_brush = CreateSolidBrush(colour);
    m_brushColour = colour;
  }
  RECT client{};
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, m_brush);
}

void CTitleBarMeters::PaintBattery(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  PaintBackground(dc, hwnd);
  const int value = BatteryLevel();
  g_lastBattery = value;
  const int w = m_batteryPicture.GetWidth();
  const int h = m_batteryPicture.GetHeight();
  CopyTransparent(dc, 0, 0, w, h, m_batteryPicture.GetDC(), 0, 0);
  DrawTitleBarBar(dc, 0, 0, m_levels.GetDC(), m_levels.GetWidth(), m_levels.GetHeight(), value, 0, 1);
  const DWORD mode = CMeterSettings::Get().tbb;
  const int seconds = mode == 0 ? static_cast<int>(Battery().TimeRemaining()) : -1;
  DrawBatteryDigits(dc, value, static_cast<int>(mode), seconds, 0, 0, w, h);
  EndPaint(hwnd, &paint);
}

void CTitleBarMeters::DrawBatteryDigits(HDC dc, int value, int mode, int seconds, int x, int y, int width,
                                        int height) const {
  if ((mode != 0 && mode != 1) || value > 100 || !m_numbers.IsLoaded()) return;
  const MeterBitmap digits{m_numbers.GetDC(), m_numbers.GetWidth(), m_numbers.GetHeight()};
  DrawDigits(dc, value, digits, m_glyphs, 14, 0, mode == 0 ? seconds : -1, x, y, width, height);
}

void CTitleBarMeters::DrawBatteryMeter(HDC dc, int x, int y, const MeterBitmap& meter, const BatteryMeterLayout& layout,
                                       int value, int mode, int seconds) const {
  if (dc == nullptr || meter.dc == nullptr) return;
  const int width = Scale(layout.width);
  const int height = Scale(layout.height);
  const int barHeight = Scale(layout.barHeight);
  // A picture too small for the layout (a replaced file) is not drawn.
  if (meter.width < width || meter.height < height + 3 * barHeight) return;
  CopyTransparent(dc, x, y, width, height, meter.dc, 0, 0);
  DrawTitleBarBar(dc, x + Scale(layout.barX), y + Scale(layout.barY), meter.dc, Scale(layout.barWidth), 3 * barHeight,
                  value, 0, 1, height);
  DrawBatteryDigits(dc, value, mode, seconds, x, y, width, height);
}

void CTitleBarMeters::PaintMemory(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  PaintBackground(dc, hwnd);
  const int value = MemoryValue();
  g_lastMemory = value + (m_showMemory ? 0 : 1000 * (m_card + 1));
  const int icon = m_showMemory ? 0 : Storage().cards[m_card].picture + 1;
  const int iconWidth = Scale(10);
  if (icon * iconWidth < m_icons.GetWidth()) {
    CopyTransparent(dc, 0, 0, iconWidth, m_icons.GetHeight(), m_icons.GetDC(), icon * iconWidth, 0);
  }
  const int barX = Scale(10) + Scale(2);
  DrawTitleBarBar(dc, barX, 0, m_bars.GetDC(), m_bars.GetWidth(), m_bars.GetHeight(), value, 1, 0);
  if (CMeterSettings::Get().tbm == 1 && value <= 100 && m_numbers.IsLoaded()) {
    MeterBitmap digits{m_numbers.GetDC(), m_numbers.GetWidth(), m_numbers.GetHeight()};
    DrawDigits(dc, value, digits, m_glyphs, 14, 0, -1, barX, 0, m_bars.GetWidth(), m_rowHeight);
  }
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK CTitleBarMeters::BatteryProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CTitleBarMeters& self = Get();
  switch (message) {
    case WM_PAINT:
      self.PaintBattery(hwnd);
      return 0;
    case WM_TIMER:
      if (wParam == kTitleBarTimer && BatteryLevel() != g_lastBattery) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
      InvalidateRect(hwnd, nullptr, TRUE);
      Battery().Action(0);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kTitleBarTimer);
      if (self.m_battery == hwnd) self.m_battery = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT CALLBACK CTitleBarMeters::MemoryProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CTitleBarMeters& self = Get();
  switch (message) {
    case WM_PAINT:
      self.PaintMemory(hwnd);
      return 0;
    case WM_TIMER:
      if (wParam == kTitleBarTimer) {
        const int now = self.MemoryValue() + (self.m_showMemory ? 0 : 1000 * (self.m_card + 1));
        if (now != g_lastMemory) InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_LBUTTONDOWN:
      self.NextMemoryView();
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kTitleBarTimer);
      if (self.m_memory == hwnd) self.m_memory = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace pelmora
