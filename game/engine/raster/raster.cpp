// Scan conversion shared by every converter: an outline is walked from its
// top vertex down both sides (the left side forwards through the outline,
// the right side backwards), each edge pre-stepped to the first scan line it
// covers, and every line fills pixels ceil(xleft) .. ceil(xright) - 1. That
// is a top-left fill rule: a pixel centre on a shared edge belongs to the
// polygon on its right, a line through a shared vertex to the lower one.
#include "raster/raster.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "raster/texel_span.h"

namespace {

struct Bounds {
  int x0, y0, x1, y1;  // [x0, x1) x [y0, y1)
};

Bounds TargetBounds(const ssRasterTarget& t) {
  Bounds b{std::max(0, t.clipLeft), std::max(0, t.clipTop), std::min(t.width, t.clipRight),
           std::min(t.height, t.clipBottom)};
  return b;
}

bool Drawable(const ssRasterTarget& t, const Bounds& b) {
  return t.pixels != nullptr && b.x0 < b.x1 && b.y0 < b.y1 && (t.bits == 16 || t.bits == 8);
}

inline std::int64_t Ceil16(std::int64_t v) { return (v + 65535) >> 16; }

template <int N>
struct Edge {
  std::int64_t x = 0, dx = 0;
  std::int64_t a[N > 0 ? N : 1] = {};
  std::int64_t da[N > 0 ? N : 1] = {};
  std::int64_t lines = 0;
  int cur = 0;
};

// Walks the outline and calls span(y, xl, xr, attrsLeft, attrsRight) for
// every line inside the bounds; x values are 16.16. With kRightAttrs false
// the right side's attributes are not followed (affine spans need only the
// left end's).
template <int N, bool kRightAttrs = true, typename Attrs, typename Span>
void Walk(const ssVertex* vs, const std::uint16_t* outline, int count, const Bounds& b, Attrs attrs, Span span) {
  if (vs == nullptr || outline == nullptr || count < 3 || count > kMaxPolygon) return;
  std::int64_t values[kMaxPolygon][N > 0 ? N : 1];
  int top = 0, bottom = 0;
  for (int i = 0; i < count; ++i) {
    const ssVertex& v = vs[outline[i]];
    if (v.sy < vs[outline[top]].sy) top = i;
    if (v.sy > vs[outline[bottom]].sy) bottom = i;
    if constexpr (N > 0) {
      if (!attrs(v, values[i])) return;
    }
  }
  if (vs[outline[top]].sy == vs[outline[bottom]].sy) return;

  auto setup = [&](Edge<N>& e, int from, int to, bool attrs) {
    const ssVertex& a = vs[outline[from]];
    const ssVertex& c = vs[outline[to]];
    const std::int64_t first = Ceil16(a.sy);
    e.lines = Ceil16(c.sy) - first;
    if (e.lines <= 0) return false;
    const std::int64_t dy = static_cast<std::int64_t>(c.sy) - a.sy;
    const std::int64_t pre = first * 65536 - a.sy;
    const std::int64_t dx = static_cast<std::int64_t>(c.sx) - a.sx;
    e.dx = dx * 65536 / dy;
    e.x = a.sx + dx * pre / dy;
    for (int k = 0; k < (attrs ? N : 0); ++k) {
      const std::int64_t d = values[to][k] - values[from][k];
      e.da[k] = d * 65536 / dy;
      e.a[k] = values[from][k] + d * pre / dy;
    }
    return true;
  };
  // Moves a side on to its next edge that covers a line; false at the bottom.
  auto next = [&](Edge<N>& e, int step) {
    for (;;) {
      if (e.cur == bottom) return false;
      const int to = (e.cur + step + count) % count;
      const bool ok = setup(e, e.cur, to, step > 0 || kRightAttrs);
      e.cur = to;
      if (ok) return true;
    }
  };
  Edge<N> left, right;
  left.cur = top;
  right.cur = top;
  if (!next(left, 1) || !next(right, -1)) return;
  std::int64_t y = Ceil16(vs[outline[top]].sy);
  // Lines above the bounds: the edges move on a run at a time, as far as
  // the nearer of the bounds and the next corner (the same sums as line by
  // line, so the lines drawn are the same).
  while (y < b.y0) {
    const std::int64_t run = std::min({b.y0 - y, left.lines, right.lines});
    y += run;
    left.x += left.dx * run;
    right.x += right.dx * run;
    for (int k = 0; k < N; ++k) {
      left.a[k] += left.da[k] * run;
      if constexpr (kRightAttrs) right.a[k] += right.da[k] * run;
    }
    left.lines -= run;
    right.lines -= run;
    if (left.lines == 0 && !next(left, 1)) return;
    if (right.lines == 0 && !next(right, -1)) return;
  }
  for (;;) {
    if (y >= b.y1) return;
    if (y >= b.y0) span(static_cast<int>(y), left.x, right.x, left.a, right.a);
    ++y;
    left.x += left.dx;
    right.x += right.dx;
    for (int k = 0; k < N; ++k) {
      left.a[k] += left.da[k];
      if constexpr (kRightAttrs) right.a[k] += right.da[k];
    }
    if (--left.lines == 0 && !next(left, 1)) return;
    if (--right.lines == 0 && !next(right, -1)) return;
  }
}

// The pixel range of a span after the bounds; false when empty.
inline bool SpanRange(std::int64_t xl, std::int64_t xr, const Bounds& b, int& xs, int& xe, std::int64_t& first) {
  first = Ceil16(xl);
  const std::int64_t last = Ceil16(xr);
  const std::int64_t s = std::max<std::int64_t>(first, b.x0);
  const std::int64_t e = std::min<std::int64_t>(last, b.x1);
  if (s >= e) return false;
  xs = static_cast<int>(s);
  xe = static_cast<int>(e);
  return true;
}

inline std::uint8_t* Row(const ssRasterTarget& t, int y) {
  return static_cast<std::uint8_t*>(t.pixels) + static_cast<std::ptrdiff_t>(y) * t.pitch;
}

constexpr auto kNoAttrs = [](const ssVertex&, std::int64_t*) { return true; };

// A shade value a (below 255) scales the pixel's channels by a / 256 in
// 5-6-5 steps (RGB565) or 4-bit steps (RGB444).
inline std::uint16_t Shade565(std::uint16_t p, std::uint32_t a) {
  std::uint32_t s = (p | (static_cast<std::uint32_t>(p) << 16)) & 0x07E0F81Fu;
  s = ((s * (a >> 3)) >> 5) & 0x07E0F81Fu;
  return static_cast<std::uint16_t>(s | (s >> 16));
}
inline std::uint16_t Shade444(std::uint16_t p, std::uint32_t a) {
  std::uint32_t s = (p & 0x0F0Fu) | ((p & 0xF0u) << 16);
  s = ((s * (a >> 4)) >> 4) & 0x00F00F0Fu;
  return static_cast<std::uint16_t>((s & 0x0F0Fu) | ((s >> 16) & 0xF0u));
}

inline void Store32(std::uint16_t* p, std::uint16_t a, std::uint16_t b) {
  const std::uint32_t word = static_cast<std::uint32_t>(a) | (static_cast<std::uint32_t>(b) << 16);
  std::memcpy(p, &word, 4);
}

// The gradients in integer type I from the differences y12, y02, x02, x12,
// u02, u12, v02, v12 (all relative to the third vertex).
template <typename I>
std::int32_t Gradients(const std::int64_t* d, std::int32_t& dudx, std::int32_t& dvdx) {
  const I y12 = d[0], y02 = d[1];
  const I area = (static_cast<I>(d[2]) * y12 - static_cast<I>(d[3]) * y02 + 32768) >> 16;
  dudx = dvdx = 0;
  if (area == 0) return 0;
  // The rounding bias goes the way of the area's sign: drawn outlines have
  // a negative area, and a bias against it would make a 1:1 mapping step
  // 65535 a pixel and read one texel short at every texel boundary.
  const I bias = area < 0 ? -65536 : 65536;
  auto hold = [](I v) {
    return static_cast<std::int32_t>(v < INT32_MIN ? I{INT32_MIN} : (v > INT32_MAX ? I{INT32_MAX} : v));
  };
  dudx = hold((static_cast<I>(d[4]) * y12 - static_cast<I>(d[5]) * y02 + bias) / area);
  dvdx = hold((static_cast<I>(d[6]) * y12 - static_cast<I>(d[7]) * y02 + bias) / area);
  return hold(area);
}

}  // namespace

bool ssPrepareTexture(ssTexture& t) {
  if (t.texels == nullptr || t.width <= 0 || t.height <= 0 || t.width > 4096 || t.height > 4096) return false;
  if ((t.width & (t.width - 1)) != 0 || (t.height & (t.height - 1)) != 0) return false;
  if (t.log2Width < 0 || t.log2Width > 12 || (1 << t.log2Width) != t.width) return false;
  if (t.texelBytes != 1 && t.texelBytes != 2) return false;
  t.uMask = (static_cast<std::uint32_t>(t.width) << 16) - 1u;
  t.vMask = (static_cast<std::uint32_t>(t.height) << 16) - 1u;
  return true;
}

void ssFillFlat(const ssRasterTarget& target, const ssVertex* vertices, const std::uint16_t* outline, int count) {
  const Bounds b = TargetBounds(target);
  if (!Drawable(target, b) || vertices == nullptr || outline == nullptr || count < 3) return;
  int top = 0;
  for (int i = 1; i < count; ++i)
    if (vertices[outline[i]].sy < vertices[outline[top]].sy) top = i;
  const std::uint32_t pixel = vertices[outline[top]].data[0];
  if (target.bits == 16) {
    const auto c = static_cast<std::uint16_t>(pixel);
    Walk<0>(vertices, outline, count, b, kNoAttrs,
            [&](int y, std::int64_t xl, std::int64_t xr, const std::int64_t*, const std::int64_t*) {
              int xs, xe;
              std::int64_t first;
              if (!SpanRange(xl, xr, b, xs, xe, first)) return;
              std::uint16_t* p = reinterpret_cast<std::uint16_t*>(Row(target, y)) + xs;
              std::fill_n(p, xe - xs, c);
            });
  } else {
    const auto c = static_cast<std::uint8_t>(pixel);
    Walk<0>(vertices, outline, count, b, kNoAttrs,
            [&](int y, std::int64_t xl, std::int64_t xr, const std::int64_t*, const std::int64_t*) {
              int xs, xe;
              std::int64_t first;
              if (!SpanRange(xl, xr, b, xs, xe, first)) return;
              std::memset(Row(target, y) + xs, c, static_cast<std::size_t>(xe - xs));
            });
  }
}

void ssFillTextured(const ssRasterTarget& target, const ssVertex* vertices, const std::uint16_t* outline, int count,
                    const ssTexture& tex, std::int32_t dudx, std::int32_t dvdx) {
  const Bounds b = TargetBounds(target);
  if (!Drawable(target, b) || tex.texels == nullptr || tex.uMask == 0 || tex.vMask == 0) return;
  // Texel sizes each path reads: 8-bit targets and shade maps 1 byte, else 2.
  const bool eightBit = target.bits == 8;
  const bool shade = !eightBit && tex.mode == kTextureShadeMap;
  if ((eightBit || shade) != (tex.texelBytes == 1)) return;
  // ((v & vMask) >> 16) << log2Width taken as one shift and one mask; with
  // the power-of-two sizes checked when the texture was prepared this reads
  // the same texel and saves work in the innermost loop.
  const int vShift = 16 - tex.log2Width;
  const std::uint32_t rowMask = (tex.vMask >> 16) << tex.log2Width;
  const std::uint32_t colMask = tex.uMask >> 16;
  const auto du = static_cast<std::uint32_t>(dudx), dv = static_cast<std::uint32_t>(dvdx);
  auto attrs = [](const ssVertex& v, std::int64_t* out) {
    out[0] = v.u;
    out[1] = v.v;
    return true;
  };
  const bool rgb444 = target.depth == 12;
  const int mode = tex.mode;
  // Eight texels at a time where the processor can (a texture of at least
  // two texels: see CopyTexelsAvx2).
  const bool vector = ks::raster::VectorSpans() && (rowMask | colMask) != 0;
  const bool shadeVector = ks::raster::VectorSpans() && !rgb444 && (rowMask | colMask) >= 3;
  Walk<2, false>(vertices, outline, count, b, attrs,
                 [&](int y, std::int64_t xl, std::int64_t xr, const std::int64_t* al, const std::int64_t*) {
                   int xs, xe;
                   std::int64_t first;
                   if (!SpanRange(xl, xr, b, xs, xe, first)) return;
                   // u and v wrap at the texture size, so 32-bit wrapping sums are exact.
                   const std::int64_t pre = first * 65536 - xl;
                   const auto skip = static_cast<std::uint32_t>(xs - first);
                   std::uint32_t u =
                       static_cast<std::uint32_t>(al[0] + ((static_cast<std::int64_t>(dudx) * pre) >> 16)) + du * skip;
                   std::uint32_t v =
                       static_cast<std::uint32_t>(al[1] + ((static_cast<std::int64_t>(dvdx) * pre) >> 16)) + dv * skip;
                   int n = xe - xs;
                   auto index = [&]() {
                     const std::uint32_t i = ((v >> vShift) & rowMask) | ((u >> 16) & colMask);
                     u += du;
                     v += dv;
                     return i;
                   };
                   // The first n & ~7 pixels through a vector span; n is left with
                   // the rest and the count done is returned.
                   auto eight = [&](auto span, std::uint16_t* p, int& n, const auto* texels) {
                     ks::raster::TexelWalk walk{u, v, du, dv, vShift, rowMask, colMask};
                     const int done = span(p, n, walk, texels);
                     u = walk.u;
                     v = walk.v;
                     n -= done;
                     return done;
                   };
                   if (eightBit) {
                     const auto* t8 = static_cast<const std::uint8_t*>(tex.texels);
                     std::uint8_t* p = Row(target, y) + xs;
                     while (n-- > 0) *p++ = t8[index()];
                     return;
                   }
                   std::uint16_t* p = reinterpret_cast<std::uint16_t*>(Row(target, y)) + xs;
                   if (shade) {
                     const auto* t8 = static_cast<const std::uint8_t*>(tex.texels);
                     if (shadeVector && n >= 8) {
                       p += eight(ks::raster::ShadeTexelsAvx2, p, n, t8);
                     }
                     for (; n > 0; --n, ++p) {
                       const std::uint32_t a = t8[index()];
                       if (a != 255) *p = rgb444 ? Shade444(*p, a) : Shade565(*p, a);
                     }
                     return;
                   }
                   const auto* t16 = static_cast<const std::uint16_t*>(tex.texels);
                   if (mode == kTextureColourKey) {
                     for (; n > 0; --n, ++p) {
                       const std::uint16_t c = t16[index()];
                       if (c != 0) *p = c;
                     }
                     return;
                   }
                   if ((reinterpret_cast<std::uintptr_t>(p) & 2u) != 0 && n > 0) {
                     *p++ = t16[index()];
                     --n;
                   }
                   if (vector && n >= 8) {
                     p += eight(ks::raster::CopyTexelsAvx2, p, n, t16);
                   }
                   // The pairs with u and v in locals of their own, so that they
                   // stay in registers across the word stores.
                   std::uint32_t uu = u, vv = v;
                   std::uint16_t* const end = p + (n & ~1);
                   for (; p != end; p += 2) {
                     const std::uint16_t c0 = t16[((vv >> vShift) & rowMask) | ((uu >> 16) & colMask)];
                     uu += du;
                     vv += dv;
                     const std::uint16_t c1 = t16[((vv >> vShift) & rowMask) | ((uu >> 16) & colMask)];
                     uu += du;
                     vv += dv;
                     Store32(p, c0, c1);
                   }
                   u = uu;
                   v = vv;
                   if ((n & 1) != 0) *p = t16[index()];
                 });
}

void ssFillPerspective(const ssRasterTarget& target, const ssVertex* vertices, const std::uint16_t* outline, int count,
                       const ssTexture& tex) {
  const Bounds b = TargetBounds(target);
  if (!Drawable(target, b) || target.bits != 16 || tex.texels == nullptr || tex.texelBytes != 2 || tex.uMask == 0 ||
      tex.vMask == 0)
    return;
  // q = 1/w with 24 fraction bits; u/w and v/w with 24 fraction bits of
  // the texel. A vertex at w below 1.0 is behind the eye: nothing is drawn.
  auto attrs = [](const ssVertex& v, std::int64_t* out) {
    if (v.w < 65536) return false;
    const std::int64_t q = (std::int64_t{1} << 40) / v.w;
    if (q == 0) return false;
    out[0] = q;
    out[1] = (static_cast<std::int64_t>(v.u) * q) >> 16;
    out[2] = (static_cast<std::int64_t>(v.v) * q) >> 16;
    return true;
  };
  const std::uint32_t wm = static_cast<std::uint32_t>(tex.width - 1);
  const std::uint32_t hm = static_cast<std::uint32_t>(tex.height - 1);
  const int lw = tex.log2Width;
  const auto* t16 = static_cast<const std::uint16_t*>(tex.texels);
  Walk<3>(vertices, outline, count, b, attrs,
          [&](int y, std::int64_t xl, std::int64_t xr, const std::int64_t* al, const std::int64_t* ar) {
            int xs, xe;
            std::int64_t first;
            if (!SpanRange(xl, xr, b, xs, xe, first)) return;
            const std::int64_t width = xr - xl;  // positive: the range is not empty
            const std::int64_t pre = static_cast<std::int64_t>(xs) * 65536 - xl;
            std::int64_t a[3], d[3];
            for (int k = 0; k < 3; ++k) {
              const std::int64_t diff = ar[k] - al[k];
              d[k] = diff * 65536 / width;
              // pre reaches far when the span starts left of the clip: 128 bits.
              a[k] = al[k] + static_cast<std::int64_t>(static_cast<__int128>(diff) * pre / width);
            }
            std::uint16_t* p = reinterpret_cast<std::uint16_t*>(Row(target, y)) + xs;
            for (int n = xe - xs; n > 0; --n, ++p) {
              if (a[0] > 0) {
                const auto u = static_cast<std::uint64_t>((a[1] * 65536) / a[0]);
                const auto v = static_cast<std::uint64_t>((a[2] * 65536) / a[0]);
                const std::uint32_t i =
                    ((static_cast<std::uint32_t>(v >> 16) & hm) << lw) + (static_cast<std::uint32_t>(u >> 16) & wm);
                *p = t16[i];
              }
              a[0] += d[0];
              a[1] += d[1];
              a[2] += d[2];
            }
          });
}

std::int32_t ssTextureGradients(const ssVertex& a, const ssVertex& b, const ssVertex& c, std::int32_t& dudx,
                                std::int32_t& dvdx) {
  // Differences of 16.16 values need 33 bits and their products 66. The
  // usual case (every difference within 31 bits) is done in 64 bits; far-off
  // points take 128.
  const std::int64_t d[8] = {std::int64_t{b.sy} - c.sy, std::int64_t{a.sy} - c.sy, std::int64_t{a.sx} - c.sx,
                             std::int64_t{b.sx} - c.sx, std::int64_t{a.u} - c.u,   std::int64_t{b.u} - c.u,
                             std::int64_t{a.v} - c.v,   std::int64_t{b.v} - c.v};
  bool small = true;
  for (std::int64_t v : d) small = small && v > -(std::int64_t{1} << 31) && v < (std::int64_t{1} << 31);
  if (small) return Gradients<std::int64_t>(d, dudx, dvdx);
  return Gradients<__int128>(d, dudx, dvdx);
}

std::int64_t ssBackFaceCross(const ssVertex& a, const ssVertex& b, const ssVertex& c) {
  const std::int64_t x0 = a.sx >> 16, y0 = a.sy >> 16;
  return ((b.sx >> 16) - x0) * ((c.sy >> 16) - y0) - ((b.sy >> 16) - y0) * ((c.sx >> 16) - x0);
}

void ssDrawLine(const ssRasterTarget& target, std::int32_t sx0, std::int32_t sy0, std::int32_t sx1, std::int32_t sy1,
                std::uint32_t pixel, std::uint32_t pixel2, bool dashed) {
  const Bounds b = TargetBounds(target);
  if (!Drawable(target, b)) return;
  auto hold = [](std::int32_t v, int size) { return std::clamp(v >> 16, 0, size - 1); };
  int x = hold(sx0, target.width), y = hold(sy0, target.height);
  const int x1 = hold(sx1, target.width), y1 = hold(sy1, target.height);
  const int ax = std::abs(x1 - x), ay = std::abs(y1 - y);
  const int stepX = x1 < x ? -1 : 1, stepY = y1 < y ? -1 : 1;
  const bool xMajor = ax >= ay;
  const int major = xMajor ? ax : ay, minor = xMajor ? ay : ax;
  int d = 2 * minor - major;
  for (int i = 0; i < major; ++i) {
    if (x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1) {
      const std::uint32_t c = dashed && ((i >> 1) & 1) != 0 ? pixel2 : pixel;
      if (target.bits == 16)
        reinterpret_cast<std::uint16_t*>(Row(target, y))[x] = static_cast<std::uint16_t>(c);
      else
        Row(target, y)[x] = static_cast<std::uint8_t>(c);
    }
    if (d >= 0) {
      if (xMajor)
        y += stepY;
      else
        x += stepX;
      d -= 2 * major;
    }
    d += 2 * minor;
    if (xMajor)
      x += stepX;
    else
      y += stepY;
  }
}

void ssFillTriangle(const ssRasterTarget& target, int rotate, int x0, int y0, int x1, int y1, int x2, int y2,
                    std::uint32_t pixel) {
  const int w = target.width, h = target.height;
  const int px[3] = {x0, x1, x2}, py[3] = {y0, y1, y2};
  ssVertex v[3];
  for (int i = 0; i < 3; ++i) {
    int bx = px[i], by = py[i];
    switch (rotate & 3) {
      case 1:
        bx = py[i];
        by = h - px[i] - 1;
        break;
      case 2:
        bx = w - px[i] - 1;
        by = h - py[i] - 1;
        break;
      case 3:
        bx = w - py[i] - 1;
        by = px[i];
        break;
      default:
        break;
    }
    // Far-off points are held where 16.16 still holds them; they lie
    // outside every buffer, and the spans are bounded anyway.
    v[i].sx = std::clamp(bx, -32768, 32767) * 65536;
    v[i].sy = std::clamp(by, -32768, 32767) * 65536;
    v[i].data[0] = pixel;
  }
  static constexpr std::uint16_t kOrder[3] = {0, 2, 1};
  ssFillFlat(target, v, kOrder, 3);
}
