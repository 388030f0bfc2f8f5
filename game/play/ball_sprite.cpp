#include "play/ball_sprite.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "display/display_s16.h"
#include "engine/image.h"
#include "simulation/fixed.h"

namespace ks::play {

namespace {

constexpr BallLook kLooks[9] = {
    {255, 255, 255, 100, 160, 22}, {255, 255, 0, 40, 160, 22},  {0, 0, 255, 400, 160, 22},
    {255, 0, 0, 460, 160, 22},     {189, 0, 189, 340, 160, 22}, {255, 132, 0, 160, 160, 22},
    {0, 132, 132, 60, 90, 34},     {173, 82, 82, 220, 160, 22}, {23, 23, 23, 280, 160, 22},
};

constexpr int kLightSize = 32;

// A point of the unit sphere from grid coordinates in 1/32 units; the far
// side has x mirrored.
ssSourceVertex SpherePoint(int gx, int gy, bool far) {
  ssSourceVertex v;
  const std::int64_t x = std::int64_t{gx} << 11, y = std::int64_t{gy} << 11;
  const std::uint64_t rest = (std::uint64_t{1} << 32) - static_cast<std::uint64_t>(x * x + y * y);
  const std::int32_t z = static_cast<std::int32_t>(ks::ISqrt64(rest));
  v.x = static_cast<std::int32_t>(far ? -x : x);
  v.y = static_cast<std::int32_t>(y);
  v.z = far ? z : -z;
  return v;
}

Fix16 GridTexel(int g) {
  switch (g) {
    case -20:
      return 0;
    case -9:
      return 9 << 16;
    case 9:
      return 21 << 16;
    default:
      return 31 << 16;
  }
}

// A flat light map for a light-map texture that is missing or not 32 x 32.
const std::uint8_t* FallbackLight() {
  static const std::array<std::uint8_t, kLightSize* kLightSize> map = [] {
    std::array<std::uint8_t, kLightSize * kLightSize> m{};
    m.fill(180);
    return m;
  }();
  return map.data();
}

template <typename Array>
void DropBuffer(ssDisplayS16* device, const Array& a) {
  if (device != nullptr) device->FreeVertexBuffersByTag(a.data());
}

// The device's buffer for a mesh, made with the sprite so that drawing it
// never allocates.
template <typename Array>
void MakeBuffer(ssDisplayS16* device, const Array& a) {
  if (device == nullptr) return;
  device->FreeVertexBuffersByTag(a.data());
  ssVertexBufferRecord* record = nullptr;
  device->CreateVertexBuffer(static_cast<std::uint32_t>(a.size()), 0, 0, 0, &record);
  if (record != nullptr) device->SetVertexBufferTag(record, a.data());
}

}  // namespace

const BallLook& BallLookOf(int kind) { return kLooks[kind < 9 ? std::max(kind, 0) : kind - 8]; }

std::uint16_t PackShade(int r5, int g6, int b5, int depth) {
  if (depth == 12) return static_cast<std::uint16_t>((((r5 & ~1) << 3 | g6 >> 2) << 4) | b5 >> 1);
  return static_cast<std::uint16_t>(r5 << 11 | g6 << 5 | b5);
}

BallSprite::BallSprite() = default;
BallSprite::~BallSprite() { FreeBallRaster(); }

void BallSprite::InitBallRaster(ssDisplayS16* device, ssImage* numbers, ssImage* shadow, ssImage* lightMap) {
  device_ = device;
  numbers_ = numbers;
  shadowTexture_ = shadow;
  lightMap_ = lightMap;
  screenWidth = device != nullptr ? device->m_Width : 0;
  screenHeight = device != nullptr ? device->m_Height : 0;
}

void BallSprite::BuildBallShadeTables(int kind, int x, int y, int r, int red, int green, int blue,
                                      const BallSprite* solidTwin) {
  kind_ = std::clamp(kind, 0, 15);
  if (kind_ == 0) red = green = blue = 255;
  colour = {static_cast<std::uint8_t>(red >> 3), static_cast<std::uint8_t>(green >> 2),
            static_cast<std::uint8_t>(blue >> 3)};
  if (kind_ >= 1 && kind_ <= 8) {
    colour2 = colour;
  } else {
    colour2 = {31, 63, 31};
  }
  ballPixel = device_ != nullptr ? static_cast<std::uint16_t>(device_->MakePixel(red, green, blue)) : 0;
  centreX = x;
  centreY = y;
  radius = r;
  BuildMeshes(kind_);
  MakeBuffer(device_, disc_);
  MakeBuffer(device_, small_);
  MakeBuffer(device_, shadow_);
  MakeBuffer(device_, band6_);
  MakeBuffer(device_, band8_);
  MakeBuffer(device_, band14_);
  if (kind_ < 9 || solidTwin == nullptr || solidTwin->shades_ == nullptr) {
    shades_ = std::make_shared<ShadeTable>();
    BuildShadeTable();
  } else {
    shades_ = solidTwin->shades_;
  }
  built_ = true;
}

void BallSprite::BuildMeshes(int kind) {
  const Fix16 du = (kind % 4) * (32 << 16), dv = (kind / 4) * (32 << 16);
  static constexpr int kGrid[16][2] = {{-20, -20}, {-20, -9}, {-9, -9}, {-9, -20}, {9, -20}, {9, -9},
                                       {20, -9},   {20, -20}, {-20, 9}, {-20, 20}, {-9, 20}, {-9, 9},
                                       {9, 9},     {9, 20},   {20, 20}, {20, 9}};
  for (int i = 0; i < 16; ++i) {
    disc_[static_cast<std::size_t>(i)] = SpherePoint(kGrid[i][0], kGrid[i][1], false);
    disc_[static_cast<std::size_t>(i + 16)] = SpherePoint(kGrid[i][0], kGrid[i][1], true);
  }
  static constexpr int kQuads[9][4] = {{0, 1, 2, 3},     {1, 8, 11, 2}, {8, 9, 10, 11}, {3, 2, 5, 4},    {2, 11, 12, 5},
                                       {11, 10, 13, 12}, {4, 5, 6, 7},  {5, 12, 15, 6}, {12, 13, 14, 15}};
  for (int side = 0; side < 2; ++side) {
    for (int q = 0; q < 9; ++q) {
      ssTexQuadFace& f = discQuads_[static_cast<std::size_t>(side * 9 + q)];
      for (int k = 0; k < 4; ++k) {
        const int g = kQuads[q][k];
        f.index[k] = static_cast<std::uint16_t>(g + 16 * side);
        f.u[k] = GridTexel(kGrid[g][0]) + du;
        f.v[k] = GridTexel(kGrid[g][1]) + dv;
      }
    }
  }
  static constexpr int kSmall[5][2] = {{-20, -20}, {-20, 20}, {20, 20}, {20, -20}, {0, 0}};
  static constexpr Fix16 kSmallUv[5][2] = {
      {0, 0}, {0, 31 << 16}, {31 << 16, 31 << 16}, {31 << 16, 0}, {15 << 16, 15 << 16}};
  for (int i = 0; i < 5; ++i) {
    small_[static_cast<std::size_t>(i)] = SpherePoint(kSmall[i][0], kSmall[i][1], false);
    small_[static_cast<std::size_t>(i + 5)] = SpherePoint(kSmall[i][0], kSmall[i][1], true);
  }
  static constexpr int kTris[4][3] = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}};
  for (int side = 0; side < 2; ++side) {
    for (int t = 0; t < 4; ++t) {
      ssTexTriangleFace& f = smallTriangles_[static_cast<std::size_t>(side * 4 + t)];
      for (int k = 0; k < 3; ++k) {
        const int p = kTris[t][k];
        f.index[k] = static_cast<std::uint16_t>(p + 5 * side);
        f.u[k] = kSmallUv[p][0] + du;
        f.v[k] = kSmallUv[p][1] + dv;
      }
    }
  }
  // The stripe band: a ring at the equator and one either side of it.
  auto band = [](ssSourceVertex* v, ssFlatQuadFace* quads, int n) {
    for (int i = 0; i < n; ++i) {
      const FixSinCos sc = SinCos(static_cast<FixAngle>((i * 0x40000) / n));
      const Fix16 s = sc.sin >> 14, c = sc.cos >> 14;
      auto scale = [](Fix16 a, Fix16 b) { return static_cast<Fix16>((std::int64_t{a} * b) >> 16); };
      v[i] = {};
      v[i].x = -scale(69632, c);
      v[i].y = -scale(69632, s);
      v[n + i] = {};
      v[n + i].x = -scale(63278, c);
      v[n + i].y = -scale(63278, s);
      v[n + i].z = -28672;
      v[2 * n + i] = v[n + i];
      v[2 * n + i].z = 28672;
    }
    auto set = [](ssFlatQuadFace& f, int a, int b, int c, int d) {
      f.index[0] = static_cast<std::uint16_t>(a);
      f.index[1] = static_cast<std::uint16_t>(b);
      f.index[2] = static_cast<std::uint16_t>(c);
      f.index[3] = static_cast<std::uint16_t>(d);
      for (std::uint32_t& p : f.pixel) p = 31;  // the ball-colour row of the shade table
    };
    for (int i = 0; i < n - 1; ++i) {
      set(quads[2 * i], i, i + 1, 2 * n + i + 1, 2 * n + i);
      set(quads[2 * i + 1], i + 1, i, n + i, n + i + 1);
    }
    set(quads[2 * n - 2], n - 1, 0, 2 * n, 3 * n - 1);
    set(quads[2 * n - 1], 0, n - 1, 2 * n - 1, n);
  };
  band(band6_.data(), bandQuads6_.data(), 6);
  band(band8_.data(), bandQuads8_.data(), 8);
  band(band14_.data(), bandQuads14_.data(), 14);
  // The shadow quad, one unit below the centre on the cloth.
  constexpr Fix16 e = 90112, one = 0x10000;
  shadow_[0].x = -e, shadow_[0].y = one, shadow_[0].z = -e;
  shadow_[1].x = -e, shadow_[1].y = one, shadow_[1].z = e;
  shadow_[2].x = e, shadow_[2].y = one, shadow_[2].z = e;
  shadow_[3].x = e, shadow_[3].y = one, shadow_[3].z = -e;
  const std::uint16_t idx[4] = {0, 3, 2, 1};
  const Fix16 us[4] = {0, 0, 31 << 16, 31 << 16}, vs[4] = {0, 31 << 16, 31 << 16, 0};
  for (int k = 0; k < 4; ++k) {
    shadowQuad_.index[k] = idx[k];
    shadowQuad_.u[k] = us[k];
    shadowQuad_.v[k] = vs[k];
  }
  for (int i = 0; i < 16; ++i) ballMatrix[i] = shadowMatrix[i] = (i % 5 == 0) ? 0x10000 : 0;
}

void BallSprite::BuildShadeTable() {
  const int depth = device_ != nullptr ? device_->m_Depth : 16;
  ShadeTable& t = *shades_;
  auto cap = [](double v, int hi) { return std::min(static_cast<int>(v), hi); };
  for (int r = 0; r < 16; ++r) {
    const int g = 2 * r;
    for (int c = 0; c < 224; ++c) {
      const double f = c / 223.0;
      t[static_cast<std::size_t>(r * 256 + c)] =
          PackShade(static_cast<int>(g * f), static_cast<int>(2 * g * f), static_cast<int>(g * f), depth);
    }
    for (int i = 0; i < 32; ++i) {
      const double s = i / 11.0;
      t[static_cast<std::size_t>(r * 256 + 224 + i)] =
          PackShade(cap(g + (32 - g) * s, 31), cap(2 * g + (64 - 2 * g) * s, 63), cap(g + (32 - g) * s, 31), depth);
    }
  }
  const int r0 = colour[0], g0 = colour[1], b0 = colour[2];
  for (int r = 16; r < 32; ++r) {
    const double s = 2.0 * (r - 16) / 31.0;
    for (int c = 0; c < 224; ++c) {
      const double f = c / 223.0;
      t[static_cast<std::size_t>(r * 256 + c)] =
          PackShade(static_cast<int>(r0 * s * f), static_cast<int>(g0 * s * f), static_cast<int>(b0 * s * f), depth);
    }
    for (int i = 0; i < 32; ++i) {
      const double st = i / 11.0;
      t[static_cast<std::size_t>(r * 256 + 224 + i)] = PackShade(
          cap(r0 + (32 - r0 * s) * st, 31), cap(g0 + (64 - g0 * s) * st, 63), cap(b0 + (32 - b0 * s) * st, 31), depth);
    }
  }
}

void BallSprite::FreeBallRaster() {
  if (!built_) return;
  DropBuffer(device_, disc_);
  DropBuffer(device_, small_);
  DropBuffer(device_, shadow_);
  DropBuffer(device_, band6_);
  DropBuffer(device_, band8_);
  DropBuffer(device_, band14_);
  shades_.reset();
  saved_ = nullptr;
  built_ = false;
}

void BallSprite::SetScreen(std::int32_t sx, std::int32_t sy, std::int32_t r, std::int32_t depth) {
  centreX = (sx + 128) >> 16;
  centreY = (sy + 128) >> 16;
  radius = (r + 128) >> 16;
  centreXF = sx;
  centreYF = sy;
  radiusF = r;
  depthKey = depth;
}

bool BallSprite::HasBuffers() const {
  return built_ && device_ != nullptr && device_->m_Buffer8 != nullptr && device_->m_BackBuffer != nullptr;
}

void BallSprite::Draw() {
  if (!HasBuffers()) return;
  if (centreY + radius < 4 || centreX + radius < 4 || radius < 2) return;
  ssDisplayS16& d = *device_;
  const int width = screenWidth, height = screenHeight;
  d.SetTexture(0, numbers_);
  const int m = ((radiusF + 0x8000) >> 16) + 4;
  const int cx = (centreXF + 0x8000) >> 16, cy = (centreYF + 0x8000) >> 16;
  RECT mask{std::clamp(cx - m, 0, width), std::clamp(cy - m, 0, height), std::clamp(cx + m, 0, width),
            std::clamp(cy + m, 0, height)};
  ssDisplayS16::FillRect8(d.m_Buffer8, mask, kind_ < 9 ? 31 : 15, width);
  d.SetRenderTarget(ssDisplayS16::kTarget8Bit, 0, 0, 0, 0);
  d.SetTransform(0, ballMatrix);
  // A ball of a few pixels gets the ten-point mesh: its disc is a blur at
  // that size and the full one costs three times the work.
  if (m >= 16) {
    d.DrawIndexedPrimitive(kPrimitiveTexturedQuads, 0, disc_.data(), 32, discQuads_.data(), 18, 1, nullptr);
  } else {
    d.DrawIndexedPrimitive(kPrimitiveTexturedTriangles, 0, small_.data(), 10, smallTriangles_.data(), 8, 1, nullptr);
  }
  if (kind_ > 8) {
    const int level = std::min(m / 10, 2);
    if (level == 0) {
      d.DrawIndexedPrimitive(kPrimitiveFlatQuads, 0, band6_.data(), 18, bandQuads6_.data(), 12, 1, nullptr);
    } else if (level == 1) {
      d.DrawIndexedPrimitive(kPrimitiveFlatQuads, 0, band8_.data(), 24, bandQuads8_.data(), 16, 1, nullptr);
    } else {
      d.DrawIndexedPrimitive(kPrimitiveFlatQuads, 0, band14_.data(), 42, bandQuads14_.data(), 28, 1, nullptr);
    }
  }
  d.SetRenderTarget(ssDisplayS16::kTargetBackBuffer, 0, 0, 0, 0);
  DrawSurface();
}

void BallSprite::DrawSurface() {
  if (!HasBuffers()) return;
  if (device_->m_Depth == 12) {
    DrawSphere<true>(radiusF, centreXF, centreYF);
  } else {
    DrawSphere<false>(radiusF, centreXF, centreYF);
  }
}

namespace {

inline std::uint32_t Blend565(std::uint32_t p, std::uint32_t s, std::uint32_t a) {
  const std::uint32_t ps = (p | (p << 16)) & 0x07E0F81Fu, ss = (s | (s << 16)) & 0x07E0F81Fu;
  const std::uint32_t v = ((ss * a + ps * (32 - a)) >> 5) & 0x07E0F81Fu;
  return (v | (v >> 16)) & 0xFFFFu;
}
inline std::uint32_t Blend444(std::uint32_t p, std::uint32_t s, std::uint32_t a) {
  const std::uint32_t a2 = a >> 1;
  const std::uint32_t ps = (p | (p << 12)) & 0x00F00F0Fu, ss = (s | (s << 12)) & 0x00F00F0Fu;
  const std::uint32_t v = ((ss * a2 + ps * (16 - a2)) >> 4) & 0x00F00F0Fu;
  return (v | (v >> 12)) & 0xFFFu;
}

inline std::int64_t Sq16(std::int64_t v) { return (v * v + 0x8000) >> 16; }

// Half the chord of a circle whose squared radius is q (16.16 squared
// pixels) in 16.16 pixels; 0 for q <= 0.
inline std::int32_t HalfChord(std::int64_t q) {
  if (q <= 0) return 0;
  return static_cast<std::int32_t>(std::sqrt(static_cast<double>(q) * 65536.0));
}

}  // namespace

// The sphere walk. Row by row, a pixel's circle error e = dx^2 + dy^2 - r^2
// (pixel centres, 16.16) decides: e <= -w inside (the shade entry of its side
// buffer row and light-map brightness), -w < e < w the rim (blended by its
// coverage), e >= w outside. The inner span comes from the chord of the
// circle of radius^2 - w and needs no test; the rim pixels on either side are
// tested one by one. Only pixels inside the screen are read or written.
template <bool kRgb444>
void BallSprite::DrawSphere(Fix16 r, Fix16 x, Fix16 y) {
  ssDisplayS16& d = *device_;
  const int width = std::min(screenWidth, d.m_RenderWidth), height = std::min(screenHeight, d.m_RenderHeight);
  if (r <= 0 || width <= 0 || height <= 0) return;
  const int pitch = d.m_RenderPitch / 2;
  const int sidePitch = d.m_Width;
  std::uint16_t* back = d.m_BackBuffer;
  const std::uint8_t* side = d.m_Buffer8;
  const std::uint16_t* shades = shades_->data();
  const std::uint8_t* light = FallbackLight();
  if (lightMap_ != nullptr && lightMap_->Pixels() != nullptr && lightMap_->Width() == kLightSize &&
      lightMap_->Height() == kLightSize && BytesPerPixel(lightMap_->Format()) == 1) {
    light = lightMap_->Pixels();
  }
  const std::int64_t w = (static_cast<std::int64_t>(2) * r * 0x9800) >> 16;
  if (w <= 0) return;
  const std::int64_t k = (std::int64_t{1} << 44) / w >> 16;
  const std::int64_t rr = Sq16(r);
  // Light-map texels a pixel: 31 across the ball's diameter (16.16).
  const std::int64_t step = (std::int64_t{31} << 32) / (2 * std::int64_t{r});
  const std::int64_t left = std::int64_t{x} - r;  // the ball's left edge, 16.16
  const std::int64_t top = std::int64_t{y} - r;
  const int row0 = std::max(0, static_cast<int>((top - 0x8000) >> 16));
  const int row1 = std::min(height - 1, static_cast<int>((std::int64_t{y} + r + 0x8000) >> 16));
  for (int row = row0; row <= row1; ++row) {
    const std::int64_t dy = (std::int64_t{row} << 16) + 0x8000 - y;
    const std::int64_t dy2 = Sq16(dy);
    const std::int64_t outer = rr + w - dy2;
    if (outer <= 0) continue;
    const std::int64_t lv = std::clamp<std::int64_t>((((std::int64_t{row} << 16) + 0x8000 - top) * step) >> 32, 0, 31);
    const std::uint8_t* lightRow = light + lv * kLightSize;
    std::uint16_t* out = back + static_cast<std::ptrdiff_t>(row) * pitch;
    const std::uint8_t* sideRow = side + static_cast<std::ptrdiff_t>(row) * sidePitch;
    const std::int32_t ho = HalfChord(outer);
    const int c0 = std::max(0, static_cast<int>((std::int64_t{x} - ho - 0x8000) >> 16));
    const int c1 = std::min(width - 1, static_cast<int>((std::int64_t{x} + ho - 0x8000) >> 16) + 1);
    const std::int32_t hi = HalfChord(rr - w - dy2);
    // Columns whose centres lie strictly within the inner chord.
    int i0 = c1 + 1, i1 = c1;
    if (hi > 0) {
      i0 = static_cast<int>((std::int64_t{x} - hi - 0x8000 + 0xFFFF) >> 16) + 1;
      i1 = static_cast<int>((std::int64_t{x} + hi - 0x8000) >> 16) - 1;
      i0 = std::max(i0, c0);
      i1 = std::min(i1, c1);
      if (i0 > i1) i0 = c1 + 1, i1 = c1;
    }
    // The rim pixels from column `from` to `to`: the circle error and the
    // light-map product step along with the column (the squares by
    // (v + 1)^2 = v^2 + 2v + 1 in 16.16, exact with the rounding kept).
    auto rim = [&](int from, int to) {
      if (from > to) return;
      std::int64_t dx = (std::int64_t{from} << 16) + 0x8000 - x;
      std::int64_t e = Sq16(dx) + dy2 - rr;
      std::int64_t light = ((std::int64_t{from} << 16) + 0x8000 - left) * step;
      const std::int64_t lightStep = step * 0x10000;
      for (int col = from; col <= to; ++col, e += 2 * dx + 0x10000, dx += 0x10000, light += lightStep) {
        if (e >= w) continue;
        const std::int64_t lu = std::clamp<std::int64_t>(light >> 32, 0, 31);
        const std::uint32_t s = shades[(sideRow[col] & 31) * 256 + lightRow[lu]];
        if (e <= -w) {
          out[col] = static_cast<std::uint16_t>(s);
          continue;
        }
        std::int32_t a =
            e < 0 ? 16 + static_cast<std::int8_t>((k * -e) >> 24) : 16 - static_cast<std::int8_t>((k * e) >> 24);
        a = std::clamp(a, 0, 32);
        out[col] = static_cast<std::uint16_t>(kRgb444 ? Blend444(out[col], s, static_cast<std::uint32_t>(a))
                                                      : Blend565(out[col], s, static_cast<std::uint32_t>(a)));
      }
    };
    const int leftEnd = std::min(i0 - 1, c1);
    rim(c0, leftEnd);
    if (i0 <= i1) {
      // The inner span: one look-up a pixel, the light map stepped along.
      std::uint64_t u = static_cast<std::uint64_t>((((std::int64_t{i0} << 16) + 0x8000 - left) * step) >> 16);
      const std::uint64_t du = static_cast<std::uint64_t>(step);
      // u only grows: the columns before it reaches the light map's last
      // texel need no clamp, and the rest all read that texel.
      constexpr std::uint64_t kLast = std::uint64_t{31} << 16;
      int col = i0;
      if (u < kLast) {
        const std::uint64_t before = du > 0 ? (kLast - u + du - 1) / du : std::uint64_t{1} << 32;
        const int end = static_cast<int>(std::min<std::uint64_t>(before, static_cast<std::uint64_t>(i1 - i0 + 1))) + i0;
        for (; col < end; ++col) {
          out[col] = shades[(sideRow[col] & 31) * 256 + lightRow[u >> 16]];
          u += du;
        }
      }
      const std::uint16_t* lastShades = shades + lightRow[31];
      for (; col <= i1; ++col) out[col] = lastShades[(sideRow[col] & 31) * 256];
    }
    rim(std::max(i1 + 1, leftEnd + 1), c1);
  }
}

void BallSprite::DrawShadow() {
  if (!built_ || device_ == nullptr) return;
  if (centreY + radius < 4 || centreX + radius < 4 || radius < 2) return;
  ssDisplayS16& d = *device_;
  d.SetTexture(0, shadowTexture_);
  d.SetTransform(0, shadowMatrix);
  d.SetRenderState(2);
  d.DrawIndexedPrimitive(kPrimitiveTexturedQuads, 0, shadow_.data(), 4, &shadowQuad_, 1, 1, nullptr);
  d.SetRenderState(0);
  d.SetTexture(0, numbers_);
}

void BallSprite::BackgroundRect(std::int32_t out[4]) const {
  // The ball and its shadow: the shadow reaches 1.375 radii from the centre
  // on the cloth and falls below the ball on the screen by up to a radius
  // more, so the rectangle reaches 11/8 radii to three sides and 19/8 radii
  // downwards on the screen (which the display's turn puts on a different
  // side of the buffer), with room for the blended rim.
  const int side = (11 * radius) / 8 + 3, down = (19 * radius) / 8 + 3;
  int left = side, right = side + 1, top = side, bottom = side + 1;
  switch (device_ != nullptr ? device_->m_Rotate & 3 : 0) {
    case 1:
      right = down + 1;
      break;
    case 2:
      top = down;
      break;
    case 3:
      left = down;
      break;
    default:
      bottom = down + 1;
      break;
  }
  out[0] = std::clamp(centreX - left, 0, screenWidth);
  out[2] = std::clamp(centreX + right, 0, screenWidth);
  out[1] = std::clamp(centreY - top, 0, screenHeight);
  out[3] = std::clamp(centreY + bottom, 0, screenHeight);
}

bool BallSprite::SaveBackground() {
  saved_ = nullptr;
  if (device_ == nullptr) return false;
  std::int32_t r[4];
  BackgroundRect(r);
  const std::uint32_t bytes = static_cast<std::uint32_t>((r[3] - r[1]) * (r[2] - r[0]) * 2);
  if (bytes == 0) return true;
  saved_ = device_->ScratchAlloc(bytes);
  if (saved_ == nullptr) return false;
  std::memcpy(savedRect_, r, sizeof r);
  device_->SaveRect(saved_, RECT{r[0], r[1], r[2], r[3]});
  return true;
}

void BallSprite::RestoreBackground() {
  if (device_ == nullptr || saved_ == nullptr) return;
  const std::int32_t* r = savedRect_;
  device_->RestoreRect(saved_, RECT{r[0], r[1], r[2], r[3]});
}

void LoadBallTextures(BallIcons& icons, ssDisplay* device, const wchar_t* archive) {
  FreeBallTextures(icons);
  if (device == nullptr) return;
  const int v = device->m_VWidth;
  if (v == 208 || v == 220) {
    icons.sheet = L"Balls44.tga", icons.rescaled = false;
  } else if (v == 240) {
    icons.sheet = L"Balls52.tga", icons.rescaled = false;
  } else if (v == 320) {
    icons.sheet = L"Balls68.tga", icons.rescaled = false;
  } else if (v < 321) {
    icons.sheet = L"Balls44.tga", icons.rescaled = true;
  } else {
    icons.sheet = L"Balls68.tga", icons.rescaled = true;
  }
  if (!icons.sprite.Load(device, icons.sheet, L"UI", archive, icons.rescaled) || icons.sprite.Texture() == nullptr)
    return;
  const ssImage* t = icons.sprite.Texture();
  // The texture is stored turned for the screen; the frames are cut from the
  // picture as it was drawn.
  const bool turned = (device->m_Rotate & 1) != 0;
  const int w = turned ? t->Height() : t->Width(), h = turned ? t->Width() : t->Height();
  const int cw = w / 4, ch = h / 4;
  if (cw <= 0 || ch <= 0) {
    icons.sprite.Release();
    return;
  }
  for (int k = 0; k < 16; ++k)
    icons.sprite.AddRect(ssRect{(k % 4) * cw, (k / 4) * ch, (k % 4 + 1) * cw, (k / 4 + 1) * ch});
  const int d = device->m_VHeight > 0 ? device->m_VHeight : 240;
  icons.position = (ch * 240) / d;
  icons.anchor = icons.position - ch / 2 + (6 * d) / 240 - 2;
  icons.third = icons.position - ssPipeline::kTextureStages;
  icons.loaded = true;
}

void FreeBallTextures(BallIcons& icons) {
  icons.sprite.Release();
  icons.loaded = false;
}

}  // namespace ks::play
