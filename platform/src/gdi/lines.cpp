// Pens and the shapes drawn with them: MoveToEx, LineTo, Polyline and
// Rectangle. A line runs from its start point up to but not including its
// end point, so joined lines never paint a corner twice. Only the part of a
// line inside the DC's clip is walked, so no coordinate can make a line
// take long.
#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "gdi/objects.h"

using namespace ce::gdi;

namespace {

using i64 = long long;

// Pixels on and off along a dashed line.
constexpr i64 kDashOn = 18;
constexpr i64 kDashOff = 6;
// Wider pens draw this wide: beyond it a dot covers any screen, and the
// bound keeps the work of one line small.
constexpr int kWidestPen = 1024;

class PenPainter {
 public:
  PenPainter(const Dc& dc, const Pen& pen)
      : dc_(dc),
        surface_(dc.surface()),
        clip_(dc.ClipInSurface()),
        pieces_(dc.excluded.empty() ? std::vector<RECT>{} : dc.ClipPieces()),
        pen_(pen),
        pixel_(surface_.format->FromColor(pen.color)),
        width_(std::min(pen.width, kWidestPen)) {}

  // The line from a to b (DC coordinates), b itself left out.
  void Line(POINT a, POINT b) {
    if (pen_.style == PS_NULL || IsEmpty(clip_)) return;
    const i64 x0 = i64{a.x} + dc_.origin.x;
    const i64 y0 = i64{a.y} + dc_.origin.y;
    const i64 dx = i64{b.x} - a.x;
    const i64 dy = i64{b.y} - a.y;
    const i64 adx = std::llabs(dx);
    const i64 ady = std::llabs(dy);
    const i64 steps = std::max(adx, ady);
    if (steps == 0) return;
    const bool alongX = adx >= ady;
    const i64 major0 = alongX ? x0 : y0;
    const i64 majorSign = (alongX ? dx : dy) < 0 ? -1 : 1;
    const i64 minorSign = (alongX ? dy : dx) < 0 ? -1 : 1;
    const i64 minorDelta = alongX ? ady : adx;
    // Steps whose major coordinate can touch the clip (pens are square, so
    // widen by the pen).
    const i64 reach = width_;
    const i64 low = (alongX ? clip_.left : clip_.top) - reach;
    const i64 high = (alongX ? clip_.right : clip_.bottom) + reach;
    i64 first = 0;
    i64 last = steps - 1;
    if (majorSign > 0) {
      first = std::max(first, low - major0);
      last = std::min(last, high - major0);
    } else {
      first = std::max(first, major0 - high);
      last = std::min(last, major0 - low);
    }
    const bool dashed = pen_.style == PS_DASH && width_ == 1;
    for (i64 k = first; k <= last; ++k) {
      if (dashed && k % (kDashOn + kDashOff) >= kDashOn) continue;
      // The minor coordinate rounded to the nearest pixel, halves away
      // from the start.
      const auto minor = static_cast<i64>(minorSign * ((__int128{2} * k * minorDelta + steps) / (2 * steps)));
      const i64 x = alongX ? x0 + majorSign * k : x0 + minor;
      const i64 y = alongX ? y0 + minor : y0 + majorSign * k;
      Dot(x, y);
    }
  }

  void Finish() const {
    if (touched_.left < touched_.right) dc_.Changed(touched_);
  }

 private:
  // One pen-sized square centred on a surface pixel.
  void Dot(i64 x, i64 y) {
    if (pieces_.empty()) {
      DotIn(x, y, clip_);
      return;
    }
    for (const RECT& piece : pieces_) DotIn(x, y, piece);
  }

  // The part of the square inside one rectangle of the clip.
  void DotIn(i64 x, i64 y, const RECT& clip) {
    const i64 half = (width_ - 1) / 2;
    const i64 left = std::max<i64>(x - half, clip.left);
    const i64 top = std::max<i64>(y - half, clip.top);
    const i64 right = std::min<i64>(x - half + width_, clip.right);
    const i64 bottom = std::min<i64>(y - half + width_, clip.bottom);
    if (left >= right || top >= bottom) return;
    for (i64 py = top; py < bottom; ++py) {
      for (i64 px = left; px < right; ++px) surface_.Write(static_cast<int>(px), static_cast<int>(py), pixel_);
    }
    const RECT r{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    if (touched_.left >= touched_.right) {
      touched_ = r;
    } else {
      touched_ = RECT{std::min(touched_.left, r.left), std::min(touched_.top, r.top), std::max(touched_.right, r.right),
                      std::max(touched_.bottom, r.bottom)};
    }
  }

  const Dc& dc_;
  const Surface& surface_;
  RECT clip_;  // bounds of the clip
  // The clip's rectangles when the DC leaves some out; empty otherwise.
  std::vector<RECT> pieces_;
  const Pen& pen_;
  DWORD pixel_;
  i64 width_;
  RECT touched_{0, 0, 0, 0};
};

}  // namespace

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return FALSE;
  if (previous != nullptr) *previous = dc->position;
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return FALSE;
  PenPainter painter(*dc, *dc->pen);
  painter.Line(dc->position, POINT{x, y});
  painter.Finish();
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return FALSE;
  if (points == nullptr || count < 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PenPainter painter(*dc, *dc->pen);
  for (int n = 1; n < count; ++n) painter.Line(points[n - 1], points[n]);
  painter.Finish();
  return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return FALSE;
  const i64 l = std::min(left, right);
  const i64 r = std::max(left, right);
  const i64 t = std::min(top, bottom);
  const i64 b = std::max(top, bottom);
  if (r - l < 2 || b - t < 2) return TRUE;  // nothing inside the excluded edges
  const bool outline = dc->pen->style != PS_NULL;
  // The inside, with the brush; a null pen leaves the frame to the brush.
  if (dc->brush->style == BS_SOLID) {
    const Surface& s = dc->surface();
    const i64 inset = outline ? 1 : 0;
    const DWORD pixel = s.format->FromColor(dc->brush->color);
    dc->ForEachClipPiece([&](const RECT& clip) {
      const i64 fl = std::max<i64>(l + inset + dc->origin.x, clip.left);
      const i64 ft = std::max<i64>(t + inset + dc->origin.y, clip.top);
      const i64 fr = std::min<i64>(r - 1 + dc->origin.x, clip.right);
      const i64 fb = std::min<i64>(b - 1 + dc->origin.y, clip.bottom);
      if (fl < fr && ft < fb) {
        for (i64 y = ft; y < fb; ++y) {
          for (i64 x = fl; x < fr; ++x) s.Write(static_cast<int>(x), static_cast<int>(y), pixel);
        }
        dc->Changed(RECT{static_cast<LONG>(fl), static_cast<LONG>(ft), static_cast<LONG>(fr), static_cast<LONG>(fb)});
      }
    });
  }
  if (outline) {
    // Corners as ints: l..r-1 and t..b-1 are within the int range.
    const POINT corners[] = {{static_cast<LONG>(l), static_cast<LONG>(t)},
                             {static_cast<LONG>(r - 1), static_cast<LONG>(t)},
                             {static_cast<LONG>(r - 1), static_cast<LONG>(b - 1)},
                             {static_cast<LONG>(l), static_cast<LONG>(b - 1)},
                             {static_cast<LONG>(l), static_cast<LONG>(t)}};
    PenPainter painter(*dc, *dc->pen);
    for (int n = 1; n < 5; ++n) painter.Line(corners[n - 1], corners[n]);
    painter.Finish();
  }
  return TRUE;
}
