#include "obj_chart.h"

#include <cwchar>

#include "obj_meter.h"

namespace pelmora {
namespace {

const wchar_t* const kSpanNames[kSpanCount] = {L"10 Min",  L"30 Min",  L"1 Hour",   L"2 Hours",
                                               L"4 Hours", L"6 Hours", L"12 Hours", L"24 Hours"};

void CopyText(wchar_t* to, const wchar_t* from) {
  if (from == nullptr) return;
  std::wcsncpy(to, from, 39);
  to[39] = L'\0';
}

// Where a value 0..100 is drawn: 0 at 111, 100 at 20 (96-DPI pixels).
int ValueY(int top, int value) {
  if (value > 100) value = 100;
  return top + Scale(111) - static_cast<int>(0.91 * value * Dpi() / 96.0);
}

}  // namespace

const wchar_t* SpanName(int index) { return index >= 0 && index < kSpanCount ? kSpanNames[index] : L""; }

CObjChart::~CObjChart() {
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(m_light), static_cast<HGDIOBJ>(m_lightGrey), static_cast<HGDIOBJ>(m_grey),
                    static_cast<HGDIOBJ>(m_black), static_cast<HGDIOBJ>(m_pens[0]), static_cast<HGDIOBJ>(m_pens[1]),
                    static_cast<HGDIOBJ>(m_pens[2])}) {
    if (o != nullptr) DeleteObject(o);
  }
}

BOOL CObjChart::Setup(HWND, HINSTANCE module, COLORREF colour1, COLORREF colour2, COLORREF colour3, const wchar_t* name,
                      const wchar_t* unitText, UINT heading, COLORREF, int spanIndex) {
  if (colour1 == 0) return 0;
  const COLORREF colours[3] = {colour1, colour2, colour3};
  for (int i = 0; i < 3; ++i) {
    if (m_pens[i] != nullptr) DeleteObject(m_pens[i]);
    m_pens[i] = colours[i] != 0 ? CreatePen(PS_SOLID, Scale(2), colours[i]) : nullptr;
    m_colours[i] = colours[i];
  }
  if (m_light == nullptr) {
    m_light = CreateSolidBrush(RGB(198, 198, 227));
    m_white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    m_lightGrey = CreatePen(PS_SOLID, 1, RGB(192, 192, 192));
    m_grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    m_black = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  }
  CopyText(m_name, name);
  CopyText(m_unit, unitText);
  m_heading[0] = L'\0';
  LoadStringW(module, heading, m_heading, 40);
  m_span = kSpans[spanIndex >= 0 && spanIndex < kSpanCount ? spanIndex : 0];
  HDC screen = GetDC(nullptr);
  m_buttonPicture.LoadBitmap(screen, module, Dpi() >= 130 ? 174 : 148, nullptr, 0);
  ReleaseDC(nullptr, screen);
  std::wcscpy(m_face, L"Nina");
  return 1;
}

void CObjChart::SetLabels(const wchar_t* top, const wchar_t* middle, const wchar_t* bottom, const wchar_t* legend1,
                          const wchar_t* legend2, const wchar_t* legend3) {
  CopyText(m_top, top);
  CopyText(m_middle, middle);
  CopyText(m_bottom, bottom);
  CopyText(m_legends[0], legend1);
  CopyText(m_legends[1], legend2);
  CopyText(m_legends[2], legend3);
}

int CObjChart::SpanIndex() const {
  for (int i = 0; i < kSpanCount; ++i) {
    if (kSpans[i] == m_span) return i;
  }
  return 0;
}

void CObjChart::StepSpan(bool longer) {
  const int at = SpanIndex();
  m_span = kSpans[longer ? (at + 1) % kSpanCount : (at + kSpanCount - 1) % kSpanCount];
}

BOOL CObjChart::OnInput(int x, int y, int key) {
  if (key == VK_UP) {
    StepSpan(true);
    return 1;
  }
  if (key == VK_DOWN) {
    StepSpan(false);
    return 1;
  }
  if (x < m_button.left || x >= m_button.right || y < m_button.top || y >= m_button.bottom) return 0;
  StepSpan(x <= m_button.left + m_buttonPicture.GetWidth() / 2);
  return 1;
}

int CObjChart::SeriesPoints(const HistoryRing& ring, int x0, int top, POINT* out, int capacity) const {
  const int span = m_span;
  if (span < 60 || span > kHistorySize || capacity < 2) return 0;
  const int count = ring.index;  // the write index
  if (count == 0 && !ring.wrapped) return 0;
  int first = 0;
  int available = span;
  if (!ring.wrapped) {
    first = count > span ? count - span : 0;
    available = count > span ? span : count;
  } else {
    first = count - span;
    if (first < 0) first += kHistorySize;
  }
  const int width = Scale(kPlotWidth);
  const int left = x0 + Scale(2);
  int n = 0;
  if (width >= span) {
    // Wide enough: one point per sample, width / span pixels apart.
    const double step = static_cast<double>(width) / span;
    for (int k = 0; k < available && n < capacity - 1; ++k) {
      out[n++] = POINT{left + static_cast<int>(k * step), ValueY(top, ring.samples[(first + k) % kHistorySize])};
    }
  } else {
    // One point per pixel, span / width samples apart.
    const double step = static_cast<double>(span) / width;
    for (int px = 0; px < width && n < capacity - 1; ++px) {
      const int k = static_cast<int>(px * step);
      if (k >= available) break;
      out[n++] = POINT{left + px, ValueY(top, ring.samples[(first + k) % kHistorySize])};
    }
  }
  if (n > 0 && left + width - out[n - 1].x <= Scale(4)) {
    const int y = out[n - 1].y;
    out[n++] = POINT{left + width, y};
  }
  return n;
}

void CObjChart::DrawSeries(HDC dc, int x0, int top, const HistoryRing& ring, HPEN pen) const {
  POINT points[1024];
  const int n = SeriesPoints(ring, x0, top, points, 1024);
  if (n < 2 || pen == nullptr) return;
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, points, n);
  SelectObject(dc, old);
}

void CObjChart::DrawText(HDC dc, const wchar_t* text, int x, int y, int width, int size, bool bold, UINT format) const {
  if (text == nullptr || text[0] == L'\0') return;
  HFONT font = CreateFontW(Scale(size), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, m_face);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{x, y, x + width, y + Scale(size) + Scale(4)};
  DrawTextW(dc, text, -1, &r, format | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteObject(font);
}

int CObjChart::TextWidth(HDC dc, const wchar_t* text, int size) const {
  HFONT font = CreateFontW(Scale(size), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, m_face);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &extent);
  SelectObject(dc, old);
  DeleteObject(font);
  return extent.cx;
}

void CObjChart::PaintTo(HDC dc, const RECT& rect, const HistoryRing* ring1, const HistoryRing* ring2,
                        const HistoryRing* ring3) {
  const int pageWidth = rect.right - rect.left;
  const int top = rect.top;
  RECT all = rect;
  FillRect(dc, &all, m_white != nullptr ? m_white : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const int x0 = rect.left + (pageWidth - Scale(170)) / 2;
  const int y0 = top + Scale(17);
  // Frame: white inside a grey outline, the left and top edges in black.
  HGDIOBJ oldPen = SelectObject(dc, m_grey);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, x0, y0, x0 + Scale(170), y0 + Scale(98));
  SelectObject(dc, m_black);
  MoveToEx(dc, x0, y0 + Scale(98) - 1, nullptr);
  LineTo(dc, x0, y0);
  LineTo(dc, x0 + Scale(170), y0);
  // The grid: verticals every 9 pixels (every fifth one taller), then the
  // horizontals from the top line down.
  SelectObject(dc, m_lightGrey);
  int line = 0;
  for (int x = x0 + Scale(2); x < x0 + Scale(170); x += Scale(9), ++line) {
    MoveToEx(dc, x, y0 + Scale(line % 5 == 0 ? 2 : 4), nullptr);
    LineTo(dc, x, y0 + Scale(95));
  }
  for (int y = y0 + Scale(4); y < y0 + Scale(98); y += Scale(9)) {
    MoveToEx(dc, x0 + Scale(1), y, nullptr);
    LineTo(dc, x0 + Scale(169), y);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  // The span button, kept for taps.
  const int bx = x0 + Scale(170) - Scale(33);
  const int by = y0 + Scale(99);
  m_button = RECT{bx, by, bx + m_buttonPicture.GetWidth(), by + m_buttonPicture.GetHeight()};
  if (m_buttonPicture.IsLoaded()) {
    CopyTransparent(dc, bx, by, m_buttonPicture.GetWidth(), m_buttonPicture.GetHeight(), m_buttonPicture.GetDC(), 0, 0);
  }
  // Series 3, 2, 1, so that series 1 lies on top.
  const HistoryRing* rings[3] = {ring1, ring2, ring3};
  for (int i = 2; i >= 0; --i) {
    if (rings[i] != nullptr) DrawSeries(dc, x0, top, *rings[i], m_pens[i]);
  }
  // Legends.
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  for (int k = 0; k < 3; ++k) {
    if (m_legends[k][0] == L'\0') continue;
    const int step = Scale(k * (170 / 3));
    HBRUSH square = CreateSolidBrush(m_colours[k]);
    const RECT box{x0 + Scale(3) + step, y0 + Scale(98 + 17), x0 + Scale(3) + step + Scale(10),
                   y0 + Scale(98 + 17) + Scale(10)};
    FillRect(dc, &box, square);
    DeleteObject(square);
    // Up to the next legend's square; a label too wide for it is set a
    // little smaller rather than cut.
    const int room = Scale(170 / 3) - Scale(15);
    int size = 11;
    while (size > 7 && TextWidth(dc, m_legends[k], size) > room) --size;
    DrawText(dc, m_legends[k], x0 + Scale(16) + step, top + Scale(131), room, size, false, DT_LEFT);
  }
  // Texts: top label and unit, the heading, the span's name.
  wchar_t label[84];
  std::swprintf(label, 84, L"%ls %ls", m_top, m_unit);
  DrawText(dc, label, x0 + Scale(5), top + Scale(20), Scale(160), 12, true, DT_LEFT);
  DrawText(dc, m_heading, rect.left, top + Scale(2), pageWidth, 13, true, DT_CENTER);
  DrawText(dc, SpanName(SpanIndex()), rect.left, y0 + Scale(100), pageWidth, 13, true, DT_CENTER);
}

void CObjChart::Paint(HWND hwnd, const RECT& rect, const HistoryRing* ring1, const HistoryRing* ring2,
                      const HistoryRing* ring3) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return;
  HDC window = GetDC(hwnd);
  HDC memory = CreateCompatibleDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(window, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  PaintTo(memory, RECT{0, 0, w, h}, ring1, ring2, ring3);
  BitBlt(window, rect.left, rect.top, w, h, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(hwnd, window);
}

}  // namespace pelmora
