#include "obj_meter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "common/color_scheme.h"
#include "common/ui_helpers.h"

namespace pelmora {
namespace {

int g_dpi = 0;

// The scheme's colours; the defaults until the frame loads the current one.
struct SchemeTable {
  COLORREF colors[suite::CColorScheme::kColorCount] = {};
  SchemeTable() { suite::CColorScheme().GetColors(colors); }
};
SchemeTable& Scheme() {
  static SchemeTable table;
  return table;
}
BYTE g_hOffsets[12];
BYTE g_vOffsets[13];

}  // namespace

int Dpi() {
  if (g_dpi == 0) {
    suite::InitScreenDpi();
    g_dpi = suite::ScreenDpiX() > 0 ? suite::ScreenDpiX() : 96;
  }
  return g_dpi;
}

void SetDpiForTesting(int dpi) {
  g_dpi = dpi;
  BuildDigitOffsets();
}

int Scale(int n) { return (n * Dpi() + 48) / 96; }

COLORREF SchemeColour(int slot) {
  if (slot < 0 || slot >= suite::CColorScheme::kColorCount) return 0;
  return Scheme().colors[slot];
}

void SetSchemeColours(const COLORREF* colors) {
  for (int i = 0; i < suite::CColorScheme::kColorCount; ++i) Scheme().colors[i] = colors[i];
}

COLORREF BankTextColour(BOOL selected) {
  return SchemeColour(selected ? suite::CColorScheme::kHomeHighlightText : suite::CColorScheme::kHomeText);
}

void CopyTransparent(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY) {
  if (dest == nullptr || source == nullptr) return;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const COLORREF c = GetPixel(source, sourceX + column, sourceY + row);
      if (c == CLR_INVALID || (c & 0xFFFFFF) == kMagenta) continue;
      SetPixel(dest, x + column, y + row, c);
    }
  }
}

std::vector<std::wstring> ShorterForms(const std::wstring& text) {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {text};
  const std::wstring trimmed = text.substr(first, text.find_last_not_of(L' ') - first + 1);
  const std::size_t space = trimmed.rfind(L' ');
  if (space == std::wstring::npos || space == 0 || space + 1 >= trimmed.size()) return {text};
  const std::wstring figure = trimmed.substr(0, space);
  std::wstring unit = trimmed.substr(space + 1);
  std::vector<std::wstring> forms{text, figure + unit};
  if (unit.size() > 2 && unit.compare(unit.size() - 2, 2, L"ps") == 0) {
    unit.resize(unit.size() - 2);
    forms.push_back(figure + unit);
  }
  if (unit.size() > 1) forms.push_back(figure + unit.substr(0, 1));
  forms.push_back(figure);
  return forms;
}

int DrawBankLabel(HDC dc, const RECT& bank, RECT rect, const std::vector<std::wstring>& texts, HFONT font,
                  BOOL selected, UINT vertical) {
  if (dc == nullptr || texts.empty()) return -1;
  rect.left = std::max(rect.left, bank.left) + Scale(1);
  rect.right = std::min(rect.right, bank.right) - Scale(1);
  rect.top = std::max(rect.top, bank.top);
  rect.bottom = std::min(rect.bottom, bank.bottom);
  if (rect.right <= rect.left || rect.bottom <= rect.top) return -1;
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, BankTextColour(selected));
  int fitted = -1;
  std::wstring shown;
  int index = 0;
  for (const std::wstring& text : texts) {
    const std::size_t first = text.find_first_not_of(L' ');
    shown = first == std::wstring::npos ? std::wstring() : text.substr(first, text.find_last_not_of(L' ') - first + 1);
    SIZE extent{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &extent);
    if (extent.cx <= rect.right - rect.left) {
      fitted = index;
      break;
    }
    ++index;
  }
  const UINT across = fitted >= 0 ? DT_CENTER : DT_LEFT;
  DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &rect, across | vertical | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  return fitted;
}

void DrawLine(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour, int thickness) {
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    for (int a = 0; a < thickness; ++a) {
      for (int b = 0; b < thickness; ++b) SetPixel(dc, x0 + a, y0 + b, colour);
    }
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * error;
    if (e2 >= dy) {
      error += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

BOOL CObjMeter::Init(HINSTANCE instance, HWND window) {
  m_instance = instance;
  m_window = window;
  return 1;
}

BOOL CObjMeter::Draw(HDC, const RECT&, HFONT, HFONT, int, int, BOOL) { return 1; }

int CObjMeter::GetMainHeight(int size) {
  switch (size) {
    case kBig:
      return Scale(30);
    case kSmall:
      return Scale(21);
    case kTiny:
      return Scale(15);
    default:
      return 0;
  }
}

int CObjMeter::GetLabelHeight(int size) {
  switch (size) {
    case kBig:
      return Scale(13);
    case kSmall:
      return Scale(12);
    default:
      return 0;
  }
}

void BuildDigitOffsets() {
  g_hOffsets[0] = 0;
  g_hOffsets[1] = static_cast<BYTE>(Scale(4));
  for (int i = 2; i <= 10; ++i) g_hOffsets[i] = static_cast<BYTE>(Scale(4 * i) - 1);
  g_hOffsets[11] = static_cast<BYTE>(Scale(44));
  for (int k = 0; k <= 12; ++k) g_vOffsets[k] = static_cast<BYTE>(Scale(5 * k));
}

BOOL MeterPicture::Load(HINSTANCE instance, const wchar_t* fileName, UINT smallId, UINT largeId) {
  // Without a module there are no built-in pictures to fall back on.
  if (instance == nullptr) return FALSE;
  wchar_t path[MAX_PATH];
  std::swprintf(path, MAX_PATH, L"\\Windows\\%ls", fileName);
  HDC screen = GetDC(nullptr);
  const BOOL ok = m_image.LoadBitmap(screen, instance, Dpi() > 129 ? largeId : smallId, path, 0);
  ReleaseDC(nullptr, screen);
  return ok;
}

MeterBitmap MeterPicture::Bitmap() const {
  MeterBitmap b;
  if (!m_image.IsLoaded()) return b;
  b.dc = m_image.GetDC();
  b.width = m_image.GetWidth();
  b.height = m_image.GetHeight();
  return b;
}

SharedBars& Bars() {
  static SharedBars bars;
  return bars;
}

void SharedBars::Load(HINSTANCE instance) {
  barH.Load(instance, L"PM_Bar_H_Small.bmp", 115, 135);
  barV.Load(instance, L"PM_Bar_V_Small.bmp", 116, 136);
  frameH.Load(instance, L"PM_Meters_H.bmp", 113, 175);
  frameV.Load(instance, L"PM_Meters_V.bmp", 114, 176);
  digitsH.Load(instance, L"PM_Meter_H_Numbers.bmp", 122, 177);
  digitsV.Load(instance, L"PM_Meter_V_Numbers.bmp", 123, 178);
}

const BYTE* HorizontalDigitOffsets() { return g_hOffsets; }
const BYTE* VerticalDigitOffsets() { return g_vOffsets; }

CBarGauge::CBarGauge() { BuildDigitOffsets(); }

void CBarGauge::Draw(HDC dc, const MeterBitmap& frame, const MeterBitmap& bar, const MeterBitmap& hDigits,
                     const MeterBitmap& vDigits, BOOL fullFrame) const {
  if (!enabled || dc == nullptr || frame.dc == nullptr || bar.dc == nullptr) return;
  const int f = frame.width;
  const int e = fullFrame ? frame.height : frame.height / 3;
  const int sourceRow = value == 101 ? e : value == 102 ? 2 * e : 0;
  CopyTransparent(dc, x, y, f, e, frame.dc, 0, sourceRow);
  if (value > 100 || value < 0) return;
  const int g = bar.height / 3;
  const int v = reverse ? 100 - value : value;
  const int h = v > 50 ? 2 * g : v < 36 ? 0 : g;
  const int m = (2 * Dpi() + 48) / 96;
  if (vertical) {
    const int length = value * g / 100;
    BitBlt(dc, x + m, y + m + g - length, bar.width, length, bar.dc, 0, h + g - length, SRCCOPY);
  } else {
    const int length = value * bar.width / 100;
    BitBlt(dc, x + m, y + m, length, g, bar.dc, bar.width - length, h, SRCCOPY);
  }
  if (vertical) {
    if (vDigits.dc != nullptr) DrawDigits(dc, value, vDigits, g_vOffsets, 13, 1, -1, x, y, f, e);
  } else if (hDigits.dc != nullptr) {
    DrawDigits(dc, value, hDigits, g_hOffsets, 12, 0, -1, x, y, f, e);
  }
}

void DrawDigits(HDC dc, int number, const MeterBitmap& digits, const BYTE* offsets, int offsetCount, BOOL vertical,
                int seconds, int x, int y, int boxWidth, int boxHeight) {
  if (digits.dc == nullptr || number < 0) return;
  int suffix = 10;
  if (seconds >= 0) {
    number = seconds / 60;
    suffix = 12;
    if (number >= 91) {
      number = (number + 30) / 60;
      suffix = 11;
    }
  }
  int glyphs[12];
  int count = 0;
  if (!(number == 100 && vertical)) glyphs[count++] = suffix;
  int rest = number;
  do {
    if (count == 12) return;
    glyphs[count++] = rest % 10;
    rest /= 10;
  } while (rest != 0);
  if (count > 4) return;
  // A glyph past the strip's cut table cannot be cut: draw nothing.
  for (int i = 0; i < count; ++i) {
    if (glyphs[i] + 1 >= offsetCount) return;
  }
  int extent = 0;
  for (int i = 0; i < count; ++i) extent += offsets[glyphs[i] + 1] - offsets[glyphs[i]] + 1;
  if (vertical) {
    x += (boxWidth - digits.width) >> 1;
    y += (boxHeight - extent) >> 1;
  } else {
    x += (boxWidth - extent) >> 1;
    y += (boxHeight - digits.height) >> 1;
  }
  for (int i = count - 1; i >= 0; --i) {
    const int g = glyphs[i];
    const int length = offsets[g + 1] - offsets[g];
    if (vertical) {
      CopyTransparent(dc, x, y, digits.width, length, digits.dc, 0, offsets[g]);
      y += length + 1;
    } else {
      CopyTransparent(dc, x, y, length, digits.height, digits.dc, offsets[g], 0);
      x += length + 1;
    }
  }
}

}  // namespace pelmora
