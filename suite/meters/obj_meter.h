// The meter base class every bank of the row derives from, the row sizes
// and DPI scaling, the bar drawer and the digit drawer, and the two drawing
// helpers the meters share (magenta-keyed copy and a thin line).
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "ce/windows.h"
#include "common/bitmap_image.h"

namespace pelmora {

enum RowSize { kBig = 0, kSmall = 1, kTiny = 2 };

// The magenta key of every meter bitmap.
inline constexpr COLORREF kMagenta = 0xFF00FF;

// s(n): a 96-DPI size at the screen's DPI.
int Scale(int n);
int Dpi();
// For tests: fixes the DPI (0 reads the screen again).
void SetDpiForTesting(int dpi);

// The home colour scheme the meters draw with: the plug-in frame puts the
// current scheme's 29 colours in (SetSchemeColours); until then the
// scheme's defaults.
COLORREF SchemeColour(int slot);
void SetSchemeColours(const COLORREF* colors);
// A bank's text: the highlight's text colour on the selected row, else the
// home text colour.
COLORREF BankTextColour(BOOL selected);

// Draws a bank's label line in the bank's text colour: the first of
// `texts` (their padding spaces trimmed: they only centre the text) that
// fits `rect` less a pixel at each side, centred; when none fits, the last
// one from its start, clipped there. `rect` is first cut to the bank, so
// nothing is drawn outside it. `vertical`: DT_TOP or DT_VCENTER. Returns
// the index of the text that fitted, or -1.
int DrawBankLabel(HDC dc, const RECT& bank, RECT rect, const std::vector<std::wstring>& texts, HFONT font,
                  BOOL selected, UINT vertical);
inline int DrawBankLabel(HDC dc, const RECT& bank, RECT rect, std::initializer_list<std::wstring> texts, HFONT font,
                         BOOL selected, UINT vertical) {
  return DrawBankLabel(dc, bank, rect, std::vector<std::wstring>(texts), font, selected, vertical);
}

// A figure with its unit ("123.5 Mbps", "238530 MB") and ever shorter forms
// of it for a narrow bank: the unit without its space, without a per-second
// "ps", its first letter, then the figure alone.
std::vector<std::wstring> ShorterForms(const std::wstring& text);

// Copies width x height from source to dest, leaving out magenta pixels.
void CopyTransparent(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY);
// A line `thickness` pixels wide from (x0, y0) to (x1, y1), both ends drawn.
void DrawLine(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour, int thickness);

class CObjMeter {
 public:
  virtual ~CObjMeter() = default;
  virtual BOOL Init(HINSTANCE instance, HWND window);
  virtual BOOL Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT secondFont, int size, int bankIndex,
                    BOOL selected);
  virtual BOOL Update() { return 0; }
  virtual BOOL Action(int /*bankIndex*/) { return 1; }
  virtual BOOL SecondAction(int /*bankIndex*/) { return 1; }
  virtual BOOL OnTapUp(int /*x*/, int /*y*/, int /*bankIndex*/, int /*size*/) { return 0; }
  virtual BOOL OnTapDown(int /*x*/, int /*y*/, int /*bankIndex*/, int /*size*/) { return 1; }
  virtual BOOL OnTapMove(int /*x*/, int /*y*/, int /*bankIndex*/, int /*size*/) { return 0; }
  virtual BOOL IsSingleAction() { return 0; }
  virtual int GetWidth() { return Scale(49); }
  virtual int GetMainHeight(int size);
  virtual int GetLabelHeight(int size);

 protected:
  HINSTANCE m_instance = nullptr;
  HWND m_window = nullptr;
};

// A loaded bitmap selected into its own memory DC.
struct MeterBitmap {
  HDC dc = nullptr;
  int width = 0;
  int height = 0;
};

// A meter picture: a file of that name in "\\Windows\\" when there is one,
// else the module's bitmap, the large one above 129 DPI.
class MeterPicture {
 public:
  BOOL Load(HINSTANCE instance, const wchar_t* fileName, UINT smallId, UINT largeId);
  MeterBitmap Bitmap() const;

 private:
  suite::CBitmapImage m_image;
};

// The six bar bitmaps every gauge shares, loaded with the plug-in window.
struct SharedBars {
  MeterPicture barH, barV, frameH, frameV, digitsH, digitsV;
  void Load(HINSTANCE instance);
};
SharedBars& Bars();

class CBarGauge {
 public:
  CBarGauge();
  virtual ~CBarGauge() = default;

  // Frame, bar and digits; nothing when disabled, without a DC or without
  // the frame or bar bitmap.
  void Draw(HDC dc, const MeterBitmap& frame, const MeterBitmap& bar, const MeterBitmap& hDigits,
            const MeterBitmap& vDigits, BOOL fullFrame) const;

  int x = 0;
  int y = 0;
  int value = 0;
  BOOL enabled = 1;
  BOOL reverse = 0;
  BOOL vertical = 0;
};

// The digit strips' cut tables at the current DPI.
const BYTE* HorizontalDigitOffsets();  // 12 entries
const BYTE* VerticalDigitOffsets();    // 13 entries
void BuildDigitOffsets();

// Draws `number` (or seconds as minutes or hours when seconds >= 0) from a
// digit strip cut at `offsets` (offsetCount entries), centred in the box.
void DrawDigits(HDC dc, int number, const MeterBitmap& digits, const BYTE* offsets, int offsetCount, BOOL vertical,
                int seconds, int x, int y, int boxWidth, int boxHeight);

}  // namespace pelmora
