// The vertical scroll bar a list box or multi-line edit with WS_VSCROLL
// draws along its right edge: an arrow box at each end and a thumb whose
// length is the page's share of the whole. The pen on it becomes WM_VSCROLL
// to the control itself, which scrolls as it would for a program's
// WM_VSCROLL.
#pragma once

#include "ce/wingdi.h"
#include "ce/winuser.h"

namespace ce::controls::detail {

class VScrollBar {
 public:
  // The bar's width: the system's scroll-bar width.
  static int Width();
  // Lays the bar out in `bar` for a position in [0, total - page].
  void Layout(const RECT& bar, int pos, int page, int total);
  void Draw(HDC dc, bool enabled) const;
  const RECT& rect() const { return bar_; }
  bool Contains(POINT p) const;

  // A pen press on the bar: sends the control its WM_VSCROLL (a drag of
  // the thumb goes on in Drag and ends in Release). True when it was on
  // the bar.
  bool Press(HWND control, POINT p);
  bool dragging() const { return grab_ >= 0; }
  void Drag(HWND control, POINT p);
  void Release(HWND control);

 private:
  int PositionAt(int y) const;

  RECT bar_{};
  RECT up_{};
  RECT down_{};
  RECT thumb_{};
  int pos_ = 0;
  int page_ = 1;
  int total_ = 0;
  int grab_ = -1;    // where the pen holds the thumb, from its top; -1: not held
  int tracked_ = 0;  // the position the thumb was last dragged to
};

// The new first row for a WM_VSCROLL code, given the current one, the rows
// a page shows and the largest first row.
int ScrolledTo(WORD code, int thumb, int current, int page, int last);

}  // namespace ce::controls::detail
