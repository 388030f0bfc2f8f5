// The drawing surface every control draws on: one device context of the
// form's back buffer with a replaceable clip rectangle, solid fills, text
// (font.h) and skin pictures cut into nine parts, opaque, with a 1-bit mask
// or blended through an 8-bit alpha map.
#pragma once

#include <cstdint>

#include "ce/wingdi.h"
#include "liba/nocopy.h"
#include "skinner/geometry.h"
#include "skinner/pixel_rows.h"
#include "skinner/properties.h"

namespace skinner {

class Picture;

// A skin colour as the platform's colour value.
inline COLORREF to_colorref(Colour c) { return RGB(c.red, c.green, c.blue); }

struct CanvasImpl : private liba::Nocopy {
  // Applies the base clip.
  CanvasImpl(HDC dc, Point origin, Point size);
  virtual ~CanvasImpl() = default;

  // Replaces the clip; clips do not nest.
  void set_clip(Point origin, Point size);
  void restore_clip();
  void fill(Point origin, Point size, Colour colour);

  HDC dc;
  Point origin;
  Point size;
};

class Canvas {
 public:
  Canvas() = default;
  explicit Canvas(CanvasImpl* impl) : impl_(impl) {}

  void set_impl(CanvasImpl* impl) { impl_ = impl; }
  CanvasImpl* get_impl() const { return impl_; }
  HDC get_dc() const { return impl_ != nullptr ? impl_->dc : nullptr; }

  void set_clip(Point origin, Point size) {
    if (impl_ != nullptr) impl_->set_clip(origin, size);
  }
  void restore_clip() {
    if (impl_ != nullptr) impl_->restore_clip();
  }
  void fill(Point origin, Point size, Colour colour) {
    if (impl_ != nullptr) impl_->fill(origin, size, colour);
  }

 private:
  CanvasImpl* impl_ = nullptr;
};

// A bitmap selected into a memory context for one scope; a null bitmap
// makes no context. A failed selection is fatal.
class HDCSelector : private liba::Nocopy {
 public:
  HDCSelector(HDC reference, HBITMAP bitmap);
  ~HDCSelector();
  HDC get() const { return dc_; }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// A 32-bit top-down DIB section: blue in bits 0-7, green 8-15, red 16-23,
// alpha 24-31.
class DibSection : private liba::Nocopy {
 public:
  DibSection(std::int32_t width, std::int32_t height);
  ~DibSection();

  bool is_ok() const { return bitmap_ != nullptr; }
  HBITMAP get() const { return bitmap_; }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::uint32_t* row(std::int32_t y) const { return rows_.row(static_cast<std::uint32_t>(y)); }

 private:
  HBITMAP bitmap_ = nullptr;
  PixelRows rows_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
};

// How the nine-part drawing puts pixels: from the source (through the mask
// when there is one) into the destination. With a target section and an
// alpha-map context, single-colour fills write the colour and the map's
// alpha straight into the section.
struct Blitter {
  HDC destination = nullptr;
  HDC source = nullptr;
  HDC mask = nullptr;
  DWORD rop = SRCCOPY;
  DibSection* target = nullptr;
  HDC alpha = nullptr;

  void blit(int dst_x, int dst_y, int w, int h, int src_x, int src_y) const;
  void stretch_blit(const Rect& dst, const Rect& src) const;
  // Repeats the tile from the top left; the last tiles are cut, never scaled.
  void tile_blit(int dst_x, int dst_y, int w, int h, int src_x, int src_y, int tile_w, int tile_h) const;
  void stretch_part(const Rect& dst, const Rect& src) const;
  // Fills with the colour of one source pixel; nothing where the mask makes
  // that pixel transparent.
  void fill_from_pixel(int dst_x, int dst_y, int w, int h, int src_x, int src_y) const;
};

// Draws the picture's nine parts into the rectangle (top_left, bottom_right):
// corners unscaled, edges and centre stretched or tiled; borders wider than
// the rectangle give up pixels, the far border the odd one.
void draw_nine_patch(const Blitter& blitter, Point top_left, Point bottom_right, const Picture& picture);

// Blends the top-left width x height pixels of s over d: each channel
// becomes (d * (256 - a) + s * a) / 256 with a the alpha of s.
void blend_rows(const DibSection& s, DibSection& d, std::int32_t width, std::int32_t height);

}  // namespace skinner
