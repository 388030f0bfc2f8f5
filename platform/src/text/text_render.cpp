#include "text/text_render.h"

#include <algorithm>

#include "kernel/not_implemented.h"

namespace ce::text {
namespace {

using gdi::Surface;
using i64 = long long;

// Mixes a colour into surface pixels by coverage: direct formats per channel,
// indexed ones by drawing the pixels at least half covered.
class Blender {
 public:
  Blender(const Surface& s, COLORREF color) : s_(s) {
    const gdi::PixelFormat& f = *s.format;
    solid_ = f.FromColor(color);
    indexed_ = f.indexed();
    if (!indexed_) {
      DWORD all = 0;
      for (int i = 0; i < 3; ++i) {
        const gdi::Channel& c = f.channels()[i];
        mask_[i] = c.mask;
        shift_[i] = c.shift;
        text_[i] = (solid_ & c.mask) >> c.shift;
        all |= c.mask;
      }
      keep_ = f.valueMask() & ~all;
    }
  }

  void Blend(int x, int y, unsigned alpha) const {
    if (alpha == 0) return;
    if (alpha >= 255 || (indexed_ && alpha >= 128)) {
      s_.Write(x, y, solid_);
      return;
    }
    if (indexed_) return;
    const DWORD p = s_.Read(x, y);
    DWORD out = p & keep_;
    for (int i = 0; i < 3; ++i) {
      const DWORD d = (p & mask_[i]) >> shift_[i];
      out |= ((text_[i] * alpha + d * (255 - alpha) + 127) / 255) << shift_[i];
    }
    s_.Write(x, y, out);
  }

  DWORD solid() const { return solid_; }

 private:
  const Surface& s_;
  DWORD solid_ = 0;
  bool indexed_ = false;
  DWORD mask_[3] = {};
  int shift_[3] = {};
  DWORD text_[3] = {};
  DWORD keep_ = 0;
};

// The turned frame of a run: local (u, v) is u along the text and v down
// its cells; a local pixel maps to one surface pixel.
struct Frame {
  i64 bx = 0;
  i64 by = 0;
  int turns = 0;

  void Map(i64 u, i64 v, i64& sx, i64& sy) const {
    switch (turns) {
      case 0:
        sx = bx + u;
        sy = by + v;
        break;
      case 1:
        sx = bx + v;
        sy = by - u - 1;
        break;
      case 2:
        sx = bx - u - 1;
        sy = by - v - 1;
        break;
      default:
        sx = bx - v - 1;
        sy = by + u;
        break;
    }
  }

  // The surface rectangle of a local rectangle.
  RECT MapRect(i64 u0, i64 v0, i64 u1, i64 v1) const {
    i64 ax, ay, bx2, by2;
    Map(u0, v0, ax, ay);
    Map(u1 - 1, v1 - 1, bx2, by2);
    return RECT{static_cast<LONG>(std::clamp<i64>(std::min(ax, bx2), -(1LL << 30), 1LL << 30)),
                static_cast<LONG>(std::clamp<i64>(std::min(ay, by2), -(1LL << 30), 1LL << 30)),
                static_cast<LONG>(std::clamp<i64>(std::max(ax, bx2) + 1, -(1LL << 30), 1LL << 30)),
                static_cast<LONG>(std::clamp<i64>(std::max(ay, by2) + 1, -(1LL << 30), 1LL << 30))};
  }
};

void FillSurface(const Surface& s, const RECT& r, DWORD pixel) {
  for (LONG y = r.top; y < r.bottom; ++y) {
    for (LONG x = r.left; x < r.right; ++x) s.Write(x, y, pixel);
  }
}

void BlitGlyph(const Glyph& g, const Frame& frame, i64 u, i64 v, const RECT& clip, const Blender& blender) {
  if (g.width <= 0 || g.height <= 0) return;
  const RECT box = gdi::Intersect(frame.MapRect(u, v, u + g.width, v + g.height), clip);
  if (gdi::IsEmpty(box)) return;
  if (frame.turns == 0) {
    const int x0 = static_cast<int>(box.left - (frame.bx + u));
    const int y0 = static_cast<int>(box.top - (frame.by + v));
    for (LONG y = box.top; y < box.bottom; ++y) {
      const std::uint8_t* row = g.coverage.data() + static_cast<std::size_t>(y0 + (y - box.top)) * g.width + x0;
      for (LONG x = box.left; x < box.right; ++x) blender.Blend(x, y, row[x - box.left]);
    }
    return;
  }
  for (int gy = 0; gy < g.height; ++gy) {
    for (int gx = 0; gx < g.width; ++gx) {
      const std::uint8_t a = g.coverage[static_cast<std::size_t>(gy) * g.width + gx];
      if (a == 0) continue;
      i64 sx, sy;
      frame.Map(u + gx, v + gy, sx, sy);
      if (sx >= box.left && sx < box.right && sy >= box.top && sy < box.bottom) {
        blender.Blend(static_cast<int>(sx), static_cast<int>(sy), a);
      }
    }
  }
}

}  // namespace

std::shared_ptr<RealizedFont> FontOf(const gdi::Dc& dc) {
  const auto& font = dc.font ? dc.font : gdi::StockFont(SYSTEM_FONT);
  return Realize(font->logfont);
}

bool Drawable(const gdi::Dc& dc) {
  const auto& font = dc.font ? dc.font : gdi::StockFont(SYSTEM_FONT);
  if (font->logfont.lfEscapement % 900 != 0) {
    ce::kernel::NotImplemented("text at an escapement other than a multiple of 900");
    return false;
  }
  return true;
}

long long RunWidth(RealizedFont& font, const wchar_t* text, std::size_t count) {
  long long width = 0;
  for (std::size_t i = 0; i < count; ++i) width += font.Advance(text[i]);
  return width;
}

namespace {

// One run drawn inside one rectangle of the DC's clip.
void DrawRunIn(const gdi::Dc& dc, RealizedFont& font, long long x, long long y, long long u, long long v,
               const Run& run, const std::optional<RECT>& clip, const RECT& piece) {
  const Surface& s = dc.surface();
  RECT area = piece;
  if (clip) {
    const RECT c{static_cast<LONG>(std::clamp<i64>(i64{clip->left} + dc.origin.x, -(1LL << 30), 1LL << 30)),
                 static_cast<LONG>(std::clamp<i64>(i64{clip->top} + dc.origin.y, -(1LL << 30), 1LL << 30)),
                 static_cast<LONG>(std::clamp<i64>(i64{clip->right} + dc.origin.x, -(1LL << 30), 1LL << 30)),
                 static_cast<LONG>(std::clamp<i64>(i64{clip->bottom} + dc.origin.y, -(1LL << 30), 1LL << 30))};
    area = gdi::Intersect(area, c);
  }
  if (gdi::IsEmpty(area)) return;
  const FontMetrics& m = font.metrics();
  Frame frame{std::clamp<i64>(x + dc.origin.x, -(1LL << 40), 1LL << 40),
              std::clamp<i64>(y + dc.origin.y, -(1LL << 40), 1LL << 40), font.quarterTurns()};
  const i64 width = std::clamp<i64>(run.width, 0, 1LL << 31);
  const RECT cell = frame.MapRect(u, v, u + std::max<i64>(width, 1), v + m.height);
  if (dc.bkMode == OPAQUE && width > 0) {
    const RECT fill = gdi::Intersect(cell, area);
    if (!gdi::IsEmpty(fill)) FillSurface(s, fill, s.format->FromColor(dc.bkColor));
  }
  const Blender blender(s, dc.textColor);
  const i64 baseline = v + m.ascent;
  auto line = [&](i64 u0, i64 u1, i64 row) {
    if (u1 <= u0) return;
    const RECT r = gdi::Intersect(frame.MapRect(u0, row, u1, row + m.lineThickness), area);
    if (!gdi::IsEmpty(r)) FillSurface(s, r, blender.solid());
  };
  i64 pen = u;
  for (std::size_t i = 0; i < run.count; ++i) {
    const wchar_t c = run.text[i];
    const Glyph& g = font.GlyphOf(c);
    const i64 advance = run.dx ? run.dx[i] : g.advance;
    BlitGlyph(g, frame, pen + g.left, baseline - g.top, area, blender);
    if (run.marks && run.marks[i]) line(pen, pen + advance, baseline + m.underlineOffset);
    pen += advance;
  }
  if (m.underline) line(u, u + width, baseline + m.underlineOffset);
  if (m.strikeOut) line(u, u + width, baseline - m.strikeOffset);
  // Glyphs may overhang their cells (italics, accents): what changed is the
  // cell widened by a line height.
  const RECT touched{cell.left - m.height, cell.top - m.height, cell.right + m.height, cell.bottom + m.height};
  dc.Changed(gdi::Intersect(touched, area));
}

}  // namespace

void DrawRun(const gdi::Dc& dc, RealizedFont& font, long long x, long long y, long long u, long long v, const Run& run,
             const std::optional<RECT>& clip) {
  dc.ForEachClipPiece([&](const RECT& piece) { DrawRunIn(dc, font, x, y, u, v, run, clip, piece); });
}

void FillSolid(const gdi::Dc& dc, const RECT& rect, COLORREF color) {
  const Surface& s = dc.surface();
  const RECT r{static_cast<LONG>(std::clamp<i64>(i64{rect.left} + dc.origin.x, -(1LL << 30), 1LL << 30)),
               static_cast<LONG>(std::clamp<i64>(i64{rect.top} + dc.origin.y, -(1LL << 30), 1LL << 30)),
               static_cast<LONG>(std::clamp<i64>(i64{rect.right} + dc.origin.x, -(1LL << 30), 1LL << 30)),
               static_cast<LONG>(std::clamp<i64>(i64{rect.bottom} + dc.origin.y, -(1LL << 30), 1LL << 30))};
  dc.ForEachClipPiece([&](const RECT& piece) {
    const RECT fill = gdi::Intersect(r, piece);
    if (gdi::IsEmpty(fill)) return;
    FillSurface(s, fill, s.format->FromColor(color));
    dc.Changed(fill);
  });
}

}  // namespace ce::text
