#include "raster/image_blit.h"

#include <algorithm>

namespace {

struct Bounds {
  int x0, y0, x1, y1;
};

Bounds DestBounds(const ssRasterTarget& t) {
  return {std::max(0, t.clipLeft), std::max(0, t.clipTop), std::min(t.width, t.clipRight),
          std::min(t.height, t.clipBottom)};
}

inline std::uint16_t* Row16(const ssRasterTarget& t, int y) {
  return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(t.pixels) +
                                          static_cast<std::ptrdiff_t>(y) * t.pitch);
}

inline std::uint16_t Pixel16(const ssImageView& img, int x, int y) {
  return static_cast<const std::uint16_t*>(
      img.pixels)[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width) + static_cast<std::size_t>(x)];
}

inline std::uint32_t Pixel32(const ssImageView& img, int x, int y) {
  return static_cast<const std::uint32_t*>(
      img.pixels)[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width) + static_cast<std::size_t>(x)];
}

bool Usable(const ssRasterTarget& t, const ssImageView& img) {
  return t.pixels != nullptr && t.bits == 16 && img.pixels != nullptr && img.width > 0 && img.height > 0;
}

}  // namespace

std::uint16_t ssCoverageBlend565(std::uint16_t dst, std::uint16_t color, int coverage) {
  constexpr std::uint32_t kMask = 0x07E0F81Fu;
  const std::uint32_t a = static_cast<std::uint32_t>(coverage >> 3);
  const std::uint32_t s = (dst & 0xF81Fu) | (static_cast<std::uint32_t>(dst & 0x07E0u) << 16);
  const std::uint32_t c = (color & 0xF81Fu) | (static_cast<std::uint32_t>(color & 0x07E0u) << 16);
  const std::uint32_t r = (s + (((c - s) * a) >> 5)) & kMask;
  return static_cast<std::uint16_t>(r | (r >> 16));
}

std::uint16_t ssCoverageBlend444(std::uint16_t dst, std::uint16_t color, int coverage) {
  constexpr std::uint32_t kMask = 0x00F00F0Fu;
  const std::uint32_t weight = static_cast<std::uint32_t>(coverage >> 3) >> 1;
  const std::uint32_t s = (dst & 0x0F0Fu) | (static_cast<std::uint32_t>(dst & 0x00F0u) << 16);
  const std::uint32_t c = (color & 0x0F0Fu) | (static_cast<std::uint32_t>(color & 0x00F0u) << 16);
  const std::uint32_t r = (s + (((c - s) * weight) >> 4)) & kMask;
  return static_cast<std::uint16_t>(r | (r >> 16));
}

std::uint16_t ssBlendArgb(std::uint16_t p, std::uint32_t c, int depth) {
  const int alpha = static_cast<int>(c >> 24);
  if (depth == 12) {
    const auto col = static_cast<std::uint16_t>(((c >> 12) & 0xF00) | ((c >> 8) & 0xF0) | ((c >> 4) & 0xF));
    return ssCoverageBlend444(p, col, alpha);
  }
  const auto col = static_cast<std::uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x7E0) | ((c >> 3) & 0x1F));
  return ssCoverageBlend565(p, col, alpha);
}

std::uint16_t ssMix4RGB565(const std::uint16_t p[4], const std::int32_t w[4]) {
  std::int64_t r = 0, g = 0, b = 0;
  for (int i = 0; i < 4; ++i) {
    r += std::int64_t{(p[i] >> 11) & 31} * w[i];
    g += std::int64_t{(p[i] >> 5) & 63} * w[i];
    b += std::int64_t{p[i] & 31} * w[i];
  }
  auto ch = [](std::int64_t v, int max) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(v >> 16, 0, max));
  };
  return static_cast<std::uint16_t>((ch(r, 31) << 11) | (ch(g, 63) << 5) | ch(b, 31));
}

std::uint16_t ssMix4RGB444(const std::uint16_t p[4], const std::int32_t w[4]) {
  std::int64_t r = 0, g = 0, b = 0;
  for (int i = 0; i < 4; ++i) {
    r += std::int64_t{(p[i] >> 8) & 15} * w[i];
    g += std::int64_t{(p[i] >> 4) & 15} * w[i];
    b += std::int64_t{p[i] & 15} * w[i];
  }
  auto ch = [](std::int64_t v) { return static_cast<std::uint32_t>(std::clamp<std::int64_t>(v >> 16, 0, 15)); };
  return static_cast<std::uint16_t>((ch(r) << 8) | (ch(g) << 4) | ch(b));
}

void ssDrawImage(const ssRasterTarget& target, const ssImageView& image, const ssBlitRect& dest,
                 const ssBlitRect& source, bool colourKey) {
  if (!Usable(target, image)) return;
  const std::int64_t dw = std::int64_t{dest.right} - dest.left, dh = std::int64_t{dest.bottom} - dest.top;
  const std::int64_t sw = std::int64_t{source.right} - source.left, sh = std::int64_t{source.bottom} - source.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  if (dw != sw || dh != sh) {
    // A stretched copy always keys out texels of value 0.
    ssStretchImage(target, image, dest, source, true);
    return;
  }
  // Clip both rectangles together: the destination to the bounds, the
  // source to the image, each cut moving the other by the same amount.
  const Bounds b = DestBounds(target);
  std::int64_t x0 = dest.left, y0 = dest.top, x1 = dest.right, y1 = dest.bottom;
  std::int64_t sx = source.left, sy = source.top;
  auto cutLow = [](std::int64_t& d, std::int64_t& s, std::int64_t lowD, std::int64_t lowS) {
    const std::int64_t cut = std::max({std::int64_t{0}, lowD - d, lowS - s});
    d += cut;
    s += cut;
  };
  cutLow(x0, sx, b.x0, 0);
  cutLow(y0, sy, b.y0, 0);
  x1 = std::min({x1, std::int64_t{b.x1}, x0 + (image.width - sx)});
  y1 = std::min({y1, std::int64_t{b.y1}, y0 + (image.height - sy)});
  if (x0 >= x1 || y0 >= y1) return;
  const int n = static_cast<int>(x1 - x0);
  for (std::int64_t y = y0; y < y1; ++y) {
    std::uint16_t* d = Row16(target, static_cast<int>(y)) + x0;
    const int srow = static_cast<int>(sy + (y - y0));
    const int scol = static_cast<int>(sx);
    if (image.devicePixels) {
      for (int i = 0; i < n; ++i) {
        const std::uint16_t c = Pixel16(image, scol + i, srow);
        if (!colourKey || c != 0) d[i] = c;
      }
    } else {
      for (int i = 0; i < n; ++i) d[i] = ssBlendArgb(d[i], Pixel32(image, scol + i, srow), target.depth);
    }
  }
}

void ssStretchImage(const ssRasterTarget& target, const ssImageView& image, const ssBlitRect& dest,
                    const ssBlitRect& source, bool colourKey) {
  if (!Usable(target, image)) return;
  const std::int64_t dw = std::int64_t{dest.right} - dest.left, dh = std::int64_t{dest.bottom} - dest.top;
  const std::int64_t sw = std::int64_t{source.right} - source.left, sh = std::int64_t{source.bottom} - source.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || dw > 65535 || dh > 65535 || sw > 65535 || sh > 65535) return;
  const Bounds b = DestBounds(target);
  const std::int64_t x0 = std::max<std::int64_t>(dest.left, b.x0), x1 = std::min<std::int64_t>(dest.right, b.x1);
  const std::int64_t y0 = std::max<std::int64_t>(dest.top, b.y0), y1 = std::min<std::int64_t>(dest.bottom, b.y1);
  if (x0 >= x1 || y0 >= y1) return;
  const int iw = image.width, ih = image.height;
  // Source positions outside the image are held at its edge.
  auto holdX = [&](std::int64_t x) { return static_cast<int>(std::clamp<std::int64_t>(x, 0, iw - 1)); };
  auto holdY = [&](std::int64_t y) { return static_cast<int>(std::clamp<std::int64_t>(y, 0, ih - 1)); };
  if (!image.devicePixels) {
    // Nearest sample: column i reads sx + floor(i * sw / dw), the same
    // column the whole-step-and-remainder walk reaches.
    for (std::int64_t y = y0; y < y1; ++y) {
      const int srow = holdY(source.top + (y - dest.top) * sh / dh);
      std::uint16_t* d = Row16(target, static_cast<int>(y));
      for (std::int64_t x = x0; x < x1; ++x) {
        const int scol = holdX(source.left + (x - dest.left) * sw / dw);
        d[x] = ssBlendArgb(d[x], Pixel32(image, scol, srow), target.depth);
      }
    }
    return;
  }
  const std::int64_t stepU = (sw << 16) / dw, stepV = (sh << 16) / dh;
  const bool rgb444 = target.depth == 12;
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::int64_t v = (y - dest.top) * stepV;
    const std::int64_t iy = v >> 16, fy = v - (iy << 16);
    const std::int64_t py = source.top + iy;
    const int r0 = holdY(py);
    const bool below = py + 1 < ih;
    const int r1 = below ? holdY(py + 1) : r0;
    std::uint16_t* d = Row16(target, static_cast<int>(y));
    // Destination neighbours for keyed samples, held inside the target.
    std::uint16_t* dBelow = Row16(target, static_cast<int>(std::min<std::int64_t>(y + 1, target.height - 1)));
    for (std::int64_t x = x0; x < x1; ++x) {
      const std::int64_t u = (x - dest.left) * stepU;
      const std::int64_t ix = u >> 16, fx = u - (ix << 16);
      const std::int64_t px = source.left + ix;
      const int c0 = holdX(px);
      const bool right = px + 1 < iw;
      const int c1 = right ? holdX(px + 1) : c0;
      std::uint16_t p[4];
      p[0] = Pixel16(image, c0, r0);
      p[1] = right ? Pixel16(image, c1, r0) : p[0];
      p[2] = below ? Pixel16(image, c0, r1) : p[0];
      p[3] = right && below ? Pixel16(image, c1, r1) : p[0];
      if (colourKey) {
        const std::int64_t xr = std::min<std::int64_t>(x + 1, target.width - 1);
        const std::uint16_t under[4] = {d[x], d[xr], dBelow[x], dBelow[xr]};
        for (int k = 0; k < 4; ++k)
          if (p[k] == 0) p[k] = under[k];
      }
      const std::int32_t w[4] = {static_cast<std::int32_t>(((0x10000 - fx) * (0x10000 - fy)) >> 16),
                                 static_cast<std::int32_t>((fx * (0x10000 - fy)) >> 16),
                                 static_cast<std::int32_t>(((0x10000 - fx) * fy) >> 16),
                                 static_cast<std::int32_t>((fx * fy) >> 16)};
      d[x] = rgb444 ? ssMix4RGB444(p, w) : ssMix4RGB565(p, w);
    }
  }
}
