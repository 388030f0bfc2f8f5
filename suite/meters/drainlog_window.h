// CDrainlogWindow: the full-screen usage window: the battery and memory
// gauges, the storage cards, and the 24-hour charts of battery level,
// memory use and network traffic, one page each.
#pragma once

#include <cstdint>

#include "ce/windows.h"
#include "common/bitmap_image.h"
#include "meter_dialog.h"
#include "obj_chart.h"

namespace pelmora {

inline constexpr int kDrainlogPages = 5;
inline constexpr UINT_PTR kFirstPageTimer = 1234;

// A status gauge: its place (scaled), whether it shows, the value drawn.
struct Gauge {
  int x = 0;
  int y = 0;
  bool shown = false;
  int value = -1;
};

// The battery value of the status page: the level, or from the battery
// flag when it is unknown (high 100, low 20, critical 5, charging 101,
// anything else 103).
int DrainlogBatteryValue(BYTE percent, BYTE flag);
// "%d.%d MB free    " of a free size in kilobytes (tenths truncated).
void FreeText(const wchar_t* format, std::uint64_t freeKb, wchar_t* out, int outChars);

class CDrainlogWindow : public suite::CDialogWindow<CMeterDialog, CDrainlogWindow> {
 public:
  static CDrainlogWindow& Get() { return *Instance(); }

  UINT TemplateId() const { return kDrainlogTemplate; }
  BOOL OnInitDialog(HWND hwnd) override;
  void PaintStatusPage(HWND hwnd, BOOL full);
  void PaintStoragePage(HWND hwnd, BOOL full);

  bool IsOpen() const { return Window() != nullptr; }
  int CurrentPage() const { return m_page; }
  HWND Page(int index) const { return index >= 0 && index < kDrainlogPages ? m_pages[index] : nullptr; }
  CObjChart& Chart(int index) { return index == 0 ? m_battery : index == 1 ? m_memory : m_network; }
  // The second battery's label: "External Battery" when one is known.
  const wchar_t* SecondBatteryLabel() const;
  // What a page's tick found: the sources that changed since the last one.
  void Poll();

 protected:
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void OnDestroy(HWND hwnd) override;

 private:
  friend class suite::CDialogWindow<CMeterDialog, CDrainlogWindow>;
  CDrainlogWindow() = default;
  static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void ShowPage(int index);
  void OnKeyUp(int key);
  void ChartInput(int index, int x, int y, int key);
  void PaintChart(int index);
  void DrawGauge(HDC dc, Gauge& gauge, int value, bool percentText);
  void DrawSizes(HDC dc, const Gauge& gauge, std::uint64_t totalKb, std::uint64_t freeKb);
  void DrawLabel(HDC dc, const wchar_t* text, int x, int y, int width, UINT format);

  CObjChart m_battery, m_memory, m_network;
  suite::CBitmapImage m_background, m_frame, m_bar;
  HBRUSH m_light = nullptr;
  HPEN m_grey = nullptr, m_black = nullptr;
  HFONT m_font = nullptr;
  wchar_t m_texts[8][40] = {};
  Gauge m_mainBattery, m_secondBattery, m_program, m_storage, m_cards[5];
  bool m_dirtyBattery = true, m_dirtyMemory = true, m_dirtyStorage = true;
  bool m_chartsCreated = false;
  HWND m_pages[kDrainlogPages] = {};
  int m_page = 0;
  // The page's own reading of the sources (the meters' worker owns theirs).
  SYSTEM_POWER_STATUS_EX2 m_power{};
  std::uint64_t m_programTotal = 0, m_programFree = 0, m_storageTotal = 0, m_storageFree = 0;
  int m_cardUsed[5] = {255, 255, 255, 255, 255};
};

}  // namespace pelmora
