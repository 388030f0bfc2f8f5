#include "skinner/canvas.h"

#include <algorithm>
#include <memory>

#include "liba/error.h"
#include "skinner/bitmap.h"
#include "skinner/picture.h"

namespace skinner {

namespace {

int clamp_int(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

CanvasImpl::CanvasImpl(HDC dc_, Point origin_, Point size_) : dc(dc_), origin(origin_), size(size_) { restore_clip(); }

void CanvasImpl::set_clip(Point at, Point extent) {
  SelectClipRgn(dc, nullptr);
  IntersectClipRect(dc, at.x, at.y, clamp_int(std::int64_t{at.x} + extent.x), clamp_int(std::int64_t{at.y} + extent.y));
}

void CanvasImpl::restore_clip() { set_clip(origin, size); }

void CanvasImpl::fill(Point at, Point extent, Colour colour) {
  HBRUSH brush = CreateSolidBrush(to_colorref(colour));
  const RECT rect{at.x, at.y, clamp_int(std::int64_t{at.x} + extent.x), clamp_int(std::int64_t{at.y} + extent.y)};
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

HDCSelector::HDCSelector(HDC reference, HBITMAP bitmap) {
  if (bitmap == nullptr) return;
  dc_ = CreateCompatibleDC(reference);
  previous_ = SelectObject(dc_, bitmap);
  if (previous_ == nullptr) liba::fatal_error(L"HDCSelector::HDCSelector", L"Failed to select bitmap into context");
}

HDCSelector::~HDCSelector() {
  if (dc_ == nullptr) return;
  SelectObject(dc_, previous_);
  DeleteDC(dc_);
}

DibSection::DibSection(std::int32_t width, std::int32_t height) {
  if (width < 1 || height < 1) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap_ == nullptr || bits == nullptr) {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    return;
  }
  width_ = width;
  height_ = height;
  rows_.assign(static_cast<std::uint8_t*>(bits), width, static_cast<std::uint32_t>(height), width * 4);
}

DibSection::~DibSection() {
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

void Blitter::blit(int dst_x, int dst_y, int w, int h, int src_x, int src_y) const {
  if (mask != nullptr) {
    BitBlt(destination, dst_x, dst_y, w, h, mask, src_x, src_y, SRCAND);
    BitBlt(destination, dst_x, dst_y, w, h, source, src_x, src_y, SRCPAINT);
  } else {
    BitBlt(destination, dst_x, dst_y, w, h, source, src_x, src_y, rop);
  }
}

void Blitter::stretch_blit(const Rect& dst, const Rect& src) const {
  if (mask != nullptr) {
    StretchBlt(destination, dst.x, dst.y, dst.width, dst.height, mask, src.x, src.y, src.width, src.height, SRCAND);
    StretchBlt(destination, dst.x, dst.y, dst.width, dst.height, source, src.x, src.y, src.width, src.height, SRCPAINT);
  } else {
    StretchBlt(destination, dst.x, dst.y, dst.width, dst.height, source, src.x, src.y, src.width, src.height, rop);
  }
}

void Blitter::tile_blit(int dst_x, int dst_y, int w, int h, int src_x, int src_y, int tile_w, int tile_h) const {
  if (w < 1 || h < 1 || tile_w < 1 || tile_h < 1) return;
  for (std::int64_t column = 0; column < w; column += tile_w) {
    const int cw = static_cast<int>(std::min<std::int64_t>(tile_w, w - column));
    for (std::int64_t row = 0; row < h; row += tile_h) {
      const int ch = static_cast<int>(std::min<std::int64_t>(tile_h, h - row));
      blit(clamp_int(dst_x + column), clamp_int(dst_y + row), cw, ch, src_x, src_y);
    }
  }
}

void Blitter::stretch_part(const Rect& dst, const Rect& src) const {
  if (dst.width < 1 || dst.height < 1 || src.width < 1 || src.height < 1) return;
  stretch_blit(dst, src);
}

void Blitter::fill_from_pixel(int dst_x, int dst_y, int w, int h, int src_x, int src_y) const {
  if (mask != nullptr && (GetPixel(mask, src_x, src_y) & 0xFFFFFFu) != 0) return;
  const COLORREF colour = GetPixel(source, src_x, src_y);
  if (colour == CLR_INVALID) return;
  if (target == nullptr) {
    HBRUSH brush = CreateSolidBrush(colour & 0xFFFFFFu);
    const RECT rect{dst_x, dst_y, clamp_int(std::int64_t{dst_x} + w), clamp_int(std::int64_t{dst_y} + h)};
    FillRect(destination, &rect, brush);
    DeleteObject(brush);
    return;
  }
  const COLORREF alpha_pixel = alpha != nullptr ? GetPixel(alpha, src_x, src_y) : 0xFFu;
  const std::uint32_t a = alpha_pixel == CLR_INVALID ? 0u : (alpha_pixel & 0xFFu);
  const std::uint32_t word = (a << 24) | (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
                             (static_cast<std::uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
  const std::int32_t x0 = std::max(dst_x, 0);
  const std::int32_t y0 = std::max(dst_y, 0);
  const std::int32_t x1 = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{dst_x} + w, target->width()));
  const std::int32_t y1 = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{dst_y} + h, target->height()));
  for (std::int32_t y = y0; y < y1; ++y) std::fill(target->row(y) + x0, target->row(y) + x1, word);
}

void draw_nine_patch(const Blitter& blitter, Point top_left, Point bottom_right, const Picture& picture) {
  const std::int64_t x0 = picture.a().x, y0 = picture.a().y, x1 = picture.b().x, y1 = picture.b().y;
  const std::int64_t x2 = picture.c().x, y2 = picture.c().y, x3 = picture.d().x, y3 = picture.d().y;
  const std::int64_t left = top_left.x, top = top_left.y, right = bottom_right.x, bottom = bottom_right.y;
  const std::int64_t w = right - left;
  const std::int64_t h = bottom - top;
  std::int64_t l = x1 - x0, t = y1 - y0, r = x3 - x2, b = y3 - y2;
  // Borders wider than the rectangle give up half the excess each, the far
  // one the odd pixel; a border that would go negative leaves it all to the
  // other.
  const auto shrink = [](std::int64_t& near, std::int64_t& far, std::int64_t length) {
    if (near + far <= length) return;
    const std::int64_t excess = near + far - length;
    near -= excess / 2;
    far -= (excess + 1) / 2;
    if (near < 0) {
      near = 0;
      far = length;
    } else if (far < 0) {
      far = 0;
      near = length;
    }
  };
  shrink(l, r, w);
  shrink(t, b, h);
  const std::int64_t cw = w - l - r;
  const std::int64_t ch = h - t - b;
  const auto I = clamp_int;

  // Corners, unscaled.
  if (l >= 1 && t >= 1) blitter.blit(I(left), I(top), I(l), I(t), I(x0), I(y0));
  if (r >= 1 && t >= 1) blitter.blit(I(right - r), I(top), I(r), I(t), I(x3 - r), I(y0));
  if (l >= 1 && b >= 1) blitter.blit(I(left), I(bottom - b), I(l), I(b), I(x0), I(y3 - b));
  if (r >= 1 && b >= 1) blitter.blit(I(right - r), I(bottom - b), I(r), I(b), I(x3 - r), I(y3 - b));

  const std::int64_t sw = x2 - x1;
  const std::int64_t sh = y2 - y1;
  const auto part = [&](std::int64_t dx, std::int64_t dy, std::int64_t dw, std::int64_t dh, std::int64_t sx,
                        std::int64_t sy, std::int64_t srcw, std::int64_t srch) {
    if (picture.is_stretch()) {
      blitter.stretch_part(Rect{I(dx), I(dy), I(dw), I(dh)}, Rect{I(sx), I(sy), I(srcw), I(srch)});
    } else {
      blitter.tile_blit(I(dx), I(dy), I(dw), I(dh), I(sx), I(sy), I(srcw), I(srch));
    }
  };
  // Edges.
  part(left, top + t, l, ch, x0, y0 + t, l, sh);
  part(right - r, top + t, r, ch, x3 - r, y0 + t, r, sh);
  part(left + l, top, cw, t, x0 + l, y0, sw, t);
  part(left + l, bottom - b, cw, b, x0 + l, y3 - b, sw, b);
  // Centre: a single source pixel is one fill.
  if (sw == 1 && sh == 1) {
    if (cw >= 1 && ch >= 1) blitter.fill_from_pixel(I(left + l), I(top + t), I(cw), I(ch), I(x1), I(y1));
  } else {
    part(left + l, top + t, cw, ch, x1, y1, sw, sh);
  }
}

void blend_rows(const DibSection& s, DibSection& d, std::int32_t width, std::int32_t height) {
  const std::int32_t w = std::min({s.width(), d.width(), width});
  const std::int32_t h = std::min({s.height(), d.height(), height});
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint32_t* src = s.row(y);
    std::uint32_t* dst = d.row(y);
    for (std::int32_t x = 0; x < w; ++x) {
      const std::uint32_t sp = src[x];
      const std::uint32_t dp = dst[x];
      const std::uint32_t a = sp >> 24;
      // Two channels per word; each lane's sum stays below 2^16, so the
      // wrapped differences cancel without crossing lanes.
      const std::uint32_t s_rb = sp & 0x00FF00FFu;
      const std::uint32_t d_rb = dp & 0x00FF00FFu;
      const std::uint32_t rb = (((s_rb - d_rb) * a + (d_rb << 8)) >> 8) & 0x00FF00FFu;
      const std::uint32_t s_ga = (sp >> 8) & 0x00FF00FFu;
      const std::uint32_t d_ga = (dp >> 8) & 0x00FF00FFu;
      const std::uint32_t ga = (((s_ga - d_ga) * a + (d_ga << 8)) >> 8) & 0x00FF00FFu;
      dst[x] = rb | (ga << 8);
    }
  }
}

void Bitmap::draw(Canvas& canvas, Point top_left, Point bottom_right, const Picture& picture) const {
  const std::int64_t w = std::int64_t{bottom_right.x} - top_left.x;
  const std::int64_t h = std::int64_t{bottom_right.y} - top_left.y;
  HDC dc = canvas.get_dc();
  if (w < 1 || h < 1 || dc == nullptr || colour_ == nullptr) return;
  if (!alpha_) {
    HDCSelector colour(dc, colour_);
    HDCSelector mask(dc, mask_);
    const Blitter blitter{dc, colour.get(), mask.get(), SRCCOPY, nullptr, nullptr};
    draw_nine_patch(blitter, top_left, bottom_right, picture);
    return;
  }
  // Alpha pictures blend in two 32-bit buffers, kept between draws and
  // grown when a rectangle needs more; only its top-left W x H is used.
  if (w > INT32_MAX || h > INT32_MAX || w * h > (std::int64_t{1} << 26)) return;
  const auto W = static_cast<std::int32_t>(w);
  const auto H = static_cast<std::int32_t>(h);
  // Never destroyed: drawing may outlive static destruction.
  static auto* const buffers = new std::unique_ptr<DibSection>[2];
  for (std::unique_ptr<DibSection>* buffer_slot : {&buffers[0], &buffers[1]}) {
    std::unique_ptr<DibSection>& buffer = *buffer_slot;
    if (buffer == nullptr || buffer->width() < W || buffer->height() < H) {
      const std::int32_t bw = buffer != nullptr ? std::max(buffer->width(), W) : W;
      const std::int32_t bh = buffer != nullptr ? std::max(buffer->height(), H) : H;
      buffer.reset();
      buffer = std::make_unique<DibSection>(bw, bh);
    }
  }
  DibSection& d = *buffers[0];
  DibSection& s = *buffers[1];
  if (!d.is_ok() || !s.is_ok()) {
    buffers[0].reset();
    buffers[1].reset();
    return;
  }
  HDCSelector d_dc(dc, d.get());
  HDCSelector s_dc(dc, s.get());
  BitBlt(d_dc.get(), 0, 0, W, H, dc, top_left.x, top_left.y, SRCCOPY);
  for (std::int32_t y = 0; y < H; ++y) {
    for (std::uint32_t* p = d.row(y); p != d.row(y) + W; ++p) *p |= 0xFF000000u;
    // What no part of the picture covers stays fully transparent.
    std::fill(s.row(y), s.row(y) + W, 0u);
  }
  HDCSelector colour(dc, colour_);
  const Point origin{0, 0};
  const Point extent{W, H};
  if (mask_ != nullptr) {
    HDCSelector map(dc, mask_);
    draw_nine_patch(Blitter{s_dc.get(), map.get(), nullptr, SRCCOPY, nullptr, nullptr}, origin, extent, picture);
    for (std::int32_t y = 0; y < H; ++y) {
      for (std::uint32_t* p = s.row(y); p != s.row(y) + W; ++p) *p <<= 24;
    }
    draw_nine_patch(Blitter{s_dc.get(), colour.get(), nullptr, SRCPAINT, &s, map.get()}, origin, extent, picture);
  } else {
    draw_nine_patch(Blitter{s_dc.get(), colour.get(), nullptr, SRCCOPY, nullptr, nullptr}, origin, extent, picture);
    for (std::int32_t y = 0; y < H; ++y) {
      for (std::uint32_t* p = s.row(y); p != s.row(y) + W; ++p) *p |= 0xFF000000u;
    }
  }
  blend_rows(s, d, W, H);
  BitBlt(dc, top_left.x, top_left.y, W, H, d_dc.get(), 0, 0, SRCCOPY);
}

void Picture::draw(Canvas& canvas, Point position, Point size) const {
  const Bitmap* bitmap = get_bitmap();
  if (bitmap == nullptr || !bitmap->is_loaded()) return;
  bitmap->draw(canvas, position,
               Point{clamp_int(std::int64_t{position.x} + size.x), clamp_int(std::int64_t{position.y} + size.y)},
               *this);
}

}  // namespace skinner
