#include "engine/movie/yuv_convert.h"

#include <algorithm>

const std::uint8_t kDither565[16] = {0, 4, 1, 5, 6, 2, 7, 3, 1, 5, 0, 4, 7, 3, 6, 2};
const std::uint8_t kDither444[16] = {0, 8, 3, 11, 12, 4, 15, 7, 3, 11, 0, 8, 14, 7, 12, 4};

namespace {

constexpr std::int32_t kY = 9576, kRCr = 13123, kGCr = 6686, kGCb = 3218, kBCb = 16591;

inline std::int32_t Clamp(std::int32_t v, std::int32_t hi) { return v < 0 ? 0 : (v > hi ? hi : v); }

// One pixel from its three 13-bit channel values and the dither entry.
template <bool k444>
inline std::uint16_t Pack(std::int32_t r, std::int32_t g, std::int32_t b, std::int32_t d) {
  if constexpr (k444) {
    const std::int32_t rr = Clamp((r >> 17) + (d < ((r >> 13) & 15)), 15);
    const std::int32_t gg = Clamp((g >> 17) + (d < ((g >> 13) & 15)), 15);
    const std::int32_t bb = Clamp((b >> 17) + (d < ((b >> 13) & 15)), 15);
    return static_cast<std::uint16_t>(rr << 8 | gg << 4 | bb);
  } else {
    const std::int32_t rr = Clamp((r >> 16) + (d < ((r >> 13) & 7)), 31);
    const std::int32_t gg = Clamp((g >> 15) + (d < ((g >> 13) & 3)), 63);
    const std::int32_t bb = Clamp((b >> 16) + (d < ((b >> 13) & 7)), 31);
    return static_cast<std::uint16_t>(rr << 11 | gg << 5 | bb);
  }
}

template <bool k444>
inline std::uint16_t Pixel(int y, int cb, int cr, int d) {
  const std::int32_t yy = (y - 16) * kY, crr = cr - 128, cbb = cb - 128;
  return Pack<k444>(yy + kRCr * crr, yy - kGCr * crr - kGCb * cbb, yy + kBCb * cbb, d);
}

// The visible part of the picture and where its pixel (0, 0) lands.
struct Placement {
  int x0, x1, y0, y1;     // picture pixels [x0, x1) x [y0, y1)
  std::uint16_t* first;   // buffer address of picture pixel (x0, y0) (its block's top left)
  std::ptrdiff_t sx, sy;  // buffer steps for one logical pixel right and down
};

template <bool k444, int kScale, bool kUnit>
void ConvertRows(const ssYuvPlanes& p, const Placement& at) {
  const std::uint8_t* table = k444 ? kDither444 : kDither565;
  const std::ptrdiff_t sx = kUnit ? 1 : at.sx, sy = at.sy;
  for (int py = at.y0; py < at.y1; ++py) {
    const std::uint8_t* yRow = p.y + static_cast<std::ptrdiff_t>(py) * p.yPitch;
    const std::uint8_t* cbRow = p.cb + static_cast<std::ptrdiff_t>(py >> 1) * p.cPitch;
    const std::uint8_t* crRow = p.cr + static_cast<std::ptrdiff_t>(py >> 1) * p.cPitch;
    const std::uint8_t* d = table + 4 * (py & 3);
    std::uint16_t* out = at.first + static_cast<std::ptrdiff_t>(py - at.y0) * kScale * sy;
    for (int px = at.x0; px < at.x1; ++px) {
      const std::int32_t crr = crRow[px >> 1] - 128, cbb = cbRow[px >> 1] - 128;
      const std::int32_t yy = (yRow[px] - 16) * kY;
      const std::uint16_t v = Pack<k444>(yy + kRCr * crr, yy - kGCr * crr - kGCb * cbb, yy + kBCb * cbb, d[px & 3]);
      if constexpr (kScale == 1) {
        *out = v;
      } else {
        out[0] = v;
        out[sx] = v;
        out[sy] = v;
        out[sx + sy] = v;
      }
      out += kScale * sx;
    }
  }
}

template <bool k444>
void Convert(const ssYuvPlanes& p, const Placement& at, bool doubled) {
  const bool unit = at.sx == 1;
  if (doubled) {
    unit ? ConvertRows<k444, 2, true>(p, at) : ConvertRows<k444, 2, false>(p, at);
  } else {
    unit ? ConvertRows<k444, 1, true>(p, at) : ConvertRows<k444, 1, false>(p, at);
  }
}

}  // namespace

std::uint16_t ssYuvToRgb565(int y, int cb, int cr, int x, int row) {
  return Pixel<false>(y, cb, cr, kDither565[(x & 3) + 4 * (row & 3)]);
}

std::uint16_t ssYuvToRgb444(int y, int cb, int cr, int x, int row) {
  return Pixel<true>(y, cb, cr, kDither444[(x & 3) + 4 * (row & 3)]);
}

std::uint16_t ssRgbToRgb565(int r, int g, int b, int x, int row) {
  const int d = kDither565[(x & 3) + 4 * (row & 3)];
  r = std::clamp(r, 0, 255), g = std::clamp(g, 0, 255), b = std::clamp(b, 0, 255);
  const int rr = std::min((r >> 3) + (d < (r & 7)), 31);
  const int gg = std::min((g >> 2) + (d < (g & 3)), 63);
  const int bb = std::min((b >> 3) + (d < (b & 7)), 31);
  return static_cast<std::uint16_t>(rr << 11 | gg << 5 | bb);
}

std::uint16_t ssRgbToRgb444(int r, int g, int b, int x, int row) {
  const int d = kDither444[(x & 3) + 4 * (row & 3)];
  r = std::clamp(r, 0, 255), g = std::clamp(g, 0, 255), b = std::clamp(b, 0, 255);
  const int rr = std::min((r >> 4) + (d < (r & 15)), 15);
  const int gg = std::min((g >> 4) + (d < (g & 15)), 15);
  const int bb = std::min((b >> 4) + (d < (b & 15)), 15);
  return static_cast<std::uint16_t>(rr << 8 | gg << 4 | bb);
}

void ssConvertYuv(const ssYuvPlanes& p, const ssPixelTarget& t, bool doubled, const RECT* area) {
  if (p.y == nullptr || p.cb == nullptr || p.cr == nullptr || t.pixels == nullptr) return;
  if (p.width <= 0 || p.height <= 0 || t.width <= 0 || t.height <= 0 || t.pitch < t.width) return;
  const int rotate = t.rotate & 3;
  // The logical screen, and the area the picture is centred in (cut to it).
  const int lw = (rotate & 1) != 0 ? t.height : t.width;
  const int lh = (rotate & 1) != 0 ? t.width : t.height;
  RECT box{0, 0, lw, lh};
  if (area != nullptr && area->right > area->left && area->bottom > area->top) {
    box = RECT{std::max<LONG>(area->left, 0), std::max<LONG>(area->top, 0), std::min<LONG>(area->right, lw),
               std::min<LONG>(area->bottom, lh)};
    if (box.right <= box.left || box.bottom <= box.top) return;
  }
  const int scale = doubled ? 2 : 1;
  // Centred: the offset in picture pixels, times the scale (so a doubled
  // picture starts on an even pixel of the area).
  const std::int64_t ox = box.left + (static_cast<std::int64_t>(box.right - box.left) - std::int64_t{p.width} * scale) /
                                         (2 * scale) * scale;
  const std::int64_t oy = box.top + (static_cast<std::int64_t>(box.bottom - box.top) - std::int64_t{p.height} * scale) /
                                        (2 * scale) * scale;
  // Whole picture pixels (whole blocks when doubled) inside the box.
  auto firstInside = [scale](std::int64_t edge, std::int64_t origin) {
    const std::int64_t d = edge - origin;
    return d <= 0 ? std::int64_t{0} : (d + scale - 1) / scale;
  };
  const auto x0 = static_cast<int>(std::min<std::int64_t>(firstInside(box.left, ox), p.width));
  const auto y0 = static_cast<int>(std::min<std::int64_t>(firstInside(box.top, oy), p.height));
  const auto x1 = static_cast<int>(std::clamp<std::int64_t>((box.right - ox) / scale, 0, p.width));
  const auto y1 = static_cast<int>(std::clamp<std::int64_t>((box.bottom - oy) / scale, 0, p.height));
  if (x1 <= x0 || y1 <= y0) return;

  // Logical (lx, ly) to the buffer, as the display turns its picture.
  const std::ptrdiff_t pitch = t.pitch, w = t.width, h = t.height;
  std::ptrdiff_t base = 0, sx = 1, sy = pitch;
  switch (rotate) {
    case 1:  // buffer (ly, h - 1 - lx)
      base = (h - 1) * pitch, sx = -pitch, sy = 1;
      break;
    case 2:  // buffer (w - 1 - lx, h - 1 - ly)
      base = (h - 1) * pitch + (w - 1), sx = -1, sy = -pitch;
      break;
    case 3:  // buffer (w - 1 - ly, lx)
      base = w - 1, sx = pitch, sy = -1;
      break;
    default:
      break;
  }
  // Only addresses of visible pixels are formed: the picture's own origin
  // may lie off the buffer.
  const std::ptrdiff_t first = base + (static_cast<std::ptrdiff_t>(ox) + std::ptrdiff_t{x0} * scale) * sx +
                               (static_cast<std::ptrdiff_t>(oy) + std::ptrdiff_t{y0} * scale) * sy;
  const Placement at{x0, x1, y0, y1, t.pixels + first, sx, sy};
  if (t.depth == 12) {
    Convert<true>(p, at, doubled);
  } else {
    Convert<false>(p, at, doubled);
  }
}
