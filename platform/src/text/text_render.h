// Drawing runs of text into a device context: glyph coverage blended into
// the surface in the DC's text colour, the background cell filled in opaque
// mode, underlines (the font's, and single characters' for '&' prefixes),
// everything turned by the font's quarter turns and clipped. Callers hold the
// GDI lock.
#pragma once

#include <memory>
#include <optional>

#include "gdi/objects.h"
#include "text/font_engine.h"

namespace ce::text {

// The DC's font realised, and whether it can be drawn (an escapement that is
// not a multiple of 90 degrees is not; that is reported as not implemented).
std::shared_ptr<RealizedFont> FontOf(const gdi::Dc& dc);
bool Drawable(const gdi::Dc& dc);

// The width of a run: the sum of the advances.
long long RunWidth(RealizedFont& font, const wchar_t* text, std::size_t count);

struct Run {
  const wchar_t* text = nullptr;
  std::size_t count = 0;
  const int* dx = nullptr;              // advances to use instead of the font's
  const std::uint8_t* marks = nullptr;  // characters to underline (non-zero), or null
  long long width = 0;                  // the run's width (RunWidth, or the sum of dx)
};

// Draws a run whose unturned cell has its top-left corner at (u, v) from the
// reference point (x, y), both in DC units; the font's quarter turns rotate
// the cell about the reference point. `clip` (DC coordinates) narrows the
// DC's clip. Fills the cell with the background colour first in opaque mode.
void DrawRun(const gdi::Dc& dc, RealizedFont& font, long long x, long long y, long long u, long long v, const Run& run,
             const std::optional<RECT>& clip);

// Fills a rectangle (DC coordinates) with a colour, within the DC's clip.
void FillSolid(const gdi::Dc& dc, const RECT& rect, COLORREF color);

}  // namespace ce::text
