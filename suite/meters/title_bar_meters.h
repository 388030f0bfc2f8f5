// CTitleBarMeters: the two small indicator windows the plug-in can put into
// the shell's title bar: the battery level and the memory in use (or one
// storage card's), each a bar over its picture with optional digits.
#pragma once

#include "ce/windows.h"
#include "battery_meter_layout.h"
#include "common/bitmap_image.h"
#include "obj_meter.h"

namespace pelmora {

inline constexpr UINT_PTR kTitleBarTimer = 2310;

// Draws a three-row bar picture at (x, y): a value above 100 shows the
// third row whole; otherwise row `fullRow` at full width and row `cutRow`
// over it cut to width x value / 100. Magenta is transparent. The rows
// start at `sourceY` in the picture and are barsHeight / 3 high each.
void DrawTitleBarBar(HDC dc, int x, int y, HDC bars, int barsWidth, int barsHeight, int value, int fullRow, int cutRow,
                     int sourceY = 0);

class CMeterSettings;

class CTitleBarMeters {
 public:
  static CTitleBarMeters& Get();
  virtual ~CTitleBarMeters();
  CTitleBarMeters(const CTitleBarMeters&) = delete;
  CTitleBarMeters& operator=(const CTitleBarMeters&) = delete;

  // Loads the five pictures once and registers the two window classes.
  void LoadPictures(HDC dc);
  // Where the indicators sit on a screen `screenWidth` wide until the user
  // moves them: in the title bar's indicator area, right-aligned against the
  // clock's corner (the last 44 pixels at 96 DPI) and clear of it, the
  // memory bar at the top, the battery under it.
  static void DefaultPositions(int screenWidth, CMeterSettings& settings);
  void ShowBattery();
  void ShowMemory();
  void HideBattery();
  void HideMemory();
  // Shows or hides both by the settings.
  void ApplySettings();

  HWND BatteryWindow() const { return m_battery; }
  HWND MemoryWindow() const { return m_memory; }
  // The first top-level window at (0, 0) as wide as the screen and s(26)
  // high; null when there is none.
  HWND FindTitleBar();
  // The memory window's value: program and storage memory in use together,
  // or the shown card's.
  int MemoryValue() const;
  bool ShowsMemory() const { return m_showMemory; }
  int CardIndex() const { return m_card; }
  // A tap on the memory window: memory, card 1, card 2 ... memory.
  void NextMemoryView();
  // The battery meter of the meters row at Small and Tiny, drawn like the
  // battery indicator: the outline of `meter` at (x, y), the level bar from
  // the rows under it, then the digits of `mode` (0 the time left from
  // `seconds`, 1 the percent, others none) from the numbers picture,
  // centred on the outline. Nothing without the meter picture.
  void DrawBatteryMeter(HDC dc, int x, int y, const MeterBitmap& meter, const BatteryMeterLayout& layout, int value,
                        int mode, int seconds) const;
  // Forgets the pictures, the classes and the title bar (plug-in unload).
  void Release();

 private:
  CTitleBarMeters();
  static LRESULT CALLBACK BatteryProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK MemoryProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND Create(ATOM atom, const wchar_t* className, int x, int y, int width, int height);
  void PaintBackground(HDC dc, HWND hwnd);
  void PaintBattery(HWND hwnd);
  void PaintMemory(HWND hwnd);
  // The battery's digits in `mode` centred in the box; none in mode 3, above
  // 100 or without the numbers picture.
  void DrawBatteryDigits(HDC dc, int value, int mode, int seconds, int x, int y, int width, int height) const;

  HWND m_battery = nullptr;
  HWND m_memory = nullptr;
  suite::CBitmapImage m_bars, m_icons, m_batteryPicture, m_levels, m_numbers;
  ATOM m_batteryAtom = 0;
  ATOM m_memoryAtom = 0;
  HWND m_titleBar = nullptr;
  bool m_showMemory = true;
  int m_card = 0;
  HBRUSH m_brush = nullptr;
  COLORREF m_brushColour = CLR_INVALID;
  int m_rowHeight = 0;
  BYTE m_glyphs[14] = {};
};

}  // namespace pelmora
