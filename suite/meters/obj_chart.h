// CObjChart: one 24-hour history chart of the Drainlog window: a framed
// grid, up to three series drawn from the meters' sample rings over a
// chosen span (10 minutes to 24 hours), the span button, legends and texts.
#pragma once

#include "ce/windows.h"
#include "common/bitmap_image.h"
#include "obj_battery.h"

namespace pelmora {

inline constexpr int kSpanCount = 8;
inline constexpr int kSpans[kSpanCount] = {60, 180, 360, 720, 1440, 2160, 4320, 8640};
// The plot's width at 96 DPI.
inline constexpr int kPlotWidth = 166;

const wchar_t* SpanName(int index);

class CObjChart {
 public:
  CObjChart() = default;
  virtual ~CObjChart();
  CObjChart(const CObjChart&) = delete;
  CObjChart& operator=(const CObjChart&) = delete;

  // Pens for the non-zero colours, the texts, the span (an index outside
  // 0..7 counts as 0) and the span button picture. A zero first colour
  // does nothing and answers 0.
  BOOL Setup(HWND hwnd, HINSTANCE module, COLORREF colour1, COLORREF colour2, COLORREF colour3, const wchar_t* name,
             const wchar_t* unitText, UINT heading, COLORREF background, int spanIndex);
  // Replaces the texts given (null keeps one).
  void SetLabels(const wchar_t* top, const wchar_t* middle, const wchar_t* bottom, const wchar_t* legend1,
                 const wchar_t* legend2, const wchar_t* legend3);
  // Draws the chart over the window's `rect` (through a memory bitmap).
  void Paint(HWND hwnd, const RECT& rect, const HistoryRing* ring1, const HistoryRing* ring2, const HistoryRing* ring3);
  // The same onto a DC whose (0, 0) is the page's corner.
  void PaintTo(HDC dc, const RECT& rect, const HistoryRing* ring1, const HistoryRing* ring2, const HistoryRing* ring3);
  void StepSpan(bool longer);
  // VK_UP: longer span, VK_DOWN: shorter; any other key is a tap at (x, y):
  // the span button's left half gives the longer span, its right half the
  // shorter. 1 when the span changed.
  BOOL OnInput(int x, int y, int key);
  int SpanIndex() const;
  int Span() const { return m_span; }
  const RECT& SpanButton() const { return m_button; }
  bool IsSetUp() const { return m_pens[0] != nullptr; }
  // The points of one series' line for the current span, the chart's left
  // edge at x0 and the page's top at `top`; the count written (at most
  // `capacity`). A last point within 4 pixels of the plot's right end is
  // followed by a level point at that end.
  int SeriesPoints(const HistoryRing& ring, int x0, int top, POINT* out, int capacity) const;

 private:
  void DrawSeries(HDC dc, int x0, int top, const HistoryRing& ring, HPEN pen) const;
  int TextWidth(HDC dc, const wchar_t* text, int size) const;
  void DrawText(HDC dc, const wchar_t* text, int x, int y, int width, int size, bool bold, UINT format) const;

  suite::CBitmapImage m_buttonPicture;
  HBRUSH m_light = nullptr;
  HBRUSH m_white = nullptr;
  HPEN m_lightGrey = nullptr, m_grey = nullptr, m_black = nullptr;
  HPEN m_pens[3] = {};
  COLORREF m_colours[3] = {};
  wchar_t m_name[40] = {};
  wchar_t m_unit[40] = {};
  wchar_t m_heading[40] = {};
  wchar_t m_top[40] = L"100";
  wchar_t m_middle[40] = L"50";
  wchar_t m_bottom[40] = L"0";
  wchar_t m_legends[3][40] = {};
  wchar_t m_face[40] = L"Nina";
  int m_span = kSpans[0];
  RECT m_button{};
};

}  // namespace pelmora
