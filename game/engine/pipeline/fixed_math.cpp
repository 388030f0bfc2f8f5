#include "pipeline/fixed_math.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

Fix16 Trunc(std::int64_t v) { return static_cast<Fix16>(v); }

// A float matrix entry to 16.16, held to the representable range (a float
// out of range has no integer value).
Fix16 ToFix(float v) {
  const float scaled = v * 65536.0f;
  if (!(scaled > -2147483648.0f)) return INT32_MIN;
  if (!(scaled < 2147483520.0f)) return INT32_MAX;
  return static_cast<Fix16>(scaled);
}

// (a x b) >> 16 with the product held to 64 bits.
std::int64_t MulShift(std::int64_t a, std::int64_t b) {
  __int128 p = static_cast<__int128>(a) * b;
  p >>= 16;
  if (p > INT64_MAX) return INT64_MAX;
  if (p < INT64_MIN) return INT64_MIN;
  return static_cast<std::int64_t>(p);
}

// The rotation's entries: float values times 65536, truncated.
void SinCos(Fix16 angle, Fix16& s, Fix16& c) {
  const double a = static_cast<double>(static_cast<float>(angle) * (1.0f / 65536.0f));
  s = ToFix(static_cast<float>(std::sin(a)));
  c = ToFix(static_cast<float>(std::cos(a)));
}

void Rotate(Fix16* out, const Fix16* m, const Fix16 r[16]) { MatrixMultiply(out, r, m); }

}  // namespace

void VectorTransform(ssVector& out, const Fix16* m, const ssVector& v) {
  const std::int64_t in[4] = {v.x, v.y, v.z, v.w};
  Fix16 r[4];
  for (int i = 0; i < 4; ++i) {
    std::int64_t sum = 0;
    for (int j = 0; j < 4; ++j) sum += (in[j] * m[4 * j + i]) >> 16;
    r[i] = Trunc(sum);
  }
  out = {r[0], r[1], r[2], r[3]};
}

void MatrixMultiply(Fix16* out, const Fix16* a, const Fix16* b) {
  Fix16 r[16];
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      std::int64_t sum = 0;
      for (int k = 0; k < 4; ++k) sum += (static_cast<std::int64_t>(a[4 * row + k]) * b[4 * k + col]) >> 16;
      r[4 * row + col] = Trunc(sum);
    }
  }
  std::memcpy(out, r, sizeof r);
}

void Cross(ssVector& out, const ssVector& a, const ssVector& b) {
  const ssVector r{Trunc(std::int64_t{FixMul(a.y, b.z)} - FixMul(a.z, b.y)),
                   Trunc(std::int64_t{FixMul(a.z, b.x)} - FixMul(a.x, b.z)),
                   Trunc(std::int64_t{FixMul(a.x, b.y)} - FixMul(a.y, b.x)), 0};
  out = r;
}

std::int32_t Dot(const ssVector& a, const ssVector& b) {
  const std::uint32_t sum = static_cast<std::uint32_t>(a.x) * static_cast<std::uint32_t>(b.x) +
                            static_cast<std::uint32_t>(a.y) * static_cast<std::uint32_t>(b.y) +
                            static_cast<std::uint32_t>(a.z) * static_cast<std::uint32_t>(b.z);
  return static_cast<std::int32_t>(sum);
}

void MatrixTranspose(Fix16* out, const Fix16* m) {
  Fix16 r[16];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r[4 * j + i] = m[4 * i + j];
  std::memcpy(out, r, sizeof r);
}

void ViewFromPose(Fix16* out, const Fix16* m) {
  Fix16 r[16];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r[4 * i + j] = m[4 * i + j];
    r[4 * i + 3] = 0;
  }
  for (int j = 0; j < 3; ++j) {
    std::int64_t sum = 0;
    for (int k = 0; k < 3; ++k) sum += (static_cast<std::int64_t>(m[12 + k]) * m[4 * k + j]) >> 16;
    r[12 + j] = Trunc(-sum);
  }
  r[15] = kFixOne;
  std::memcpy(out, r, sizeof r);
}

void VectorAdd(ssVector& out, const ssVector& a, const ssVector& b) {
  out = {Trunc(std::int64_t{a.x} + b.x), Trunc(std::int64_t{a.y} + b.y), Trunc(std::int64_t{a.z} + b.z),
         Trunc(std::int64_t{a.w} + b.w)};
}

void VectorSub(ssVector& out, const ssVector& a, const ssVector& b) {
  out = {Trunc(std::int64_t{a.x} - b.x), Trunc(std::int64_t{a.y} - b.y), Trunc(std::int64_t{a.z} - b.z),
         Trunc(std::int64_t{a.w} - b.w)};
}

void VectorMul(ssVector& out, const ssVector& a, const ssVector& b) {
  out = {FixMul(a.x, b.x), FixMul(a.y, b.y), FixMul(a.z, b.z), FixMul(a.w, b.w)};
}

void VectorScale(ssVector& out, const ssVector& v, Fix16 s) {
  out = {FixMul(v.x, s), FixMul(v.y, s), FixMul(v.z, s), FixMul(v.w, s)};
}

void MatrixTranslate(Fix16* out, const Fix16* m, const ssVector& v) {
  Fix16 r[16];
  std::memcpy(r, m, sizeof r);
  r[12] = Trunc(std::int64_t{r[12]} + v.x);
  r[13] = Trunc(std::int64_t{r[13]} + v.y);
  r[14] = Trunc(std::int64_t{r[14]} + v.z);
  r[15] = Trunc(std::int64_t{r[15]} + v.w);
  std::memcpy(out, r, sizeof r);
}

void MatrixIdentity(Fix16* out) {
  for (int i = 0; i < 16; ++i) out[i] = (i % 5 == 0) ? kFixOne : 0;
}

void RotateZ(Fix16* out, const Fix16* m, Fix16 angle) {
  Fix16 s, c;
  SinCos(angle, s, c);
  const Fix16 r[16] = {c, s, 0, 0, -s, c, 0, 0, 0, 0, kFixOne, 0, 0, 0, 0, kFixOne};
  Rotate(out, m, r);
}

void RotateX(Fix16* out, const Fix16* m, Fix16 angle) {
  Fix16 s, c;
  SinCos(angle, s, c);
  const Fix16 r[16] = {kFixOne, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, kFixOne};
  Rotate(out, m, r);
}

void RotateY(Fix16* out, const Fix16* m, Fix16 angle) {
  Fix16 s, c;
  SinCos(angle, s, c);
  const Fix16 r[16] = {c, 0, -s, 0, 0, kFixOne, 0, 0, s, 0, c, 0, 0, 0, 0, kFixOne};
  Rotate(out, m, r);
}

void RotateXYZ(Fix16* out, Fix16* m, const ssVector& angles) {
  RotateY(out, m, angles.y);
  RotateX(m, out, angles.x);
  RotateZ(out, m, angles.z);
}

void VectorClamp(ssVector& out, const ssVector& v, Fix16 lo, Fix16 hi) {
  auto c = [&](Fix16 x) { return x < lo ? lo : (x > hi ? hi : x); };
  out = {c(v.x), c(v.y), c(v.z), c(v.w)};
}

void LookDir(Fix16* out, const ssVector& eye, const ssVector& dir, const ssVector& up) {
  // Normalize is empty on this device, so the basis rows stay the
  // identity's and only the eye's translation takes effect.
  (void)dir;
  (void)up;
  Fix16 m[16];
  MatrixIdentity(m);
  MatrixTranspose(m, m);
  MatrixTranslate(m, m, eye);
  ViewFromPose(out, m);
}

void LookAt(Fix16* out, const ssVector& eye, const ssVector& target, const ssVector& up) {
  ssVector dir;
  VectorSub(dir, target, eye);
  LookDir(out, eye, dir, up);
}

void Perspective(Fix16* out, float fov, float aspect, float nearZ, float farZ, float* ys) {
  const float xs = 1.0f / std::tan(fov / 2.0f);
  const float yScale = xs * aspect;
  const float q = farZ / (farZ - nearZ);
  for (int i = 0; i < 16; ++i) out[i] = 0;
  out[0] = ToFix(xs);
  out[5] = ToFix(yScale);
  out[10] = ToFix(q);
  out[11] = kFixOne;
  out[14] = ToFix(-(q * nearZ));
  out[15] = kFixOne;
  if (ys != nullptr) *ys = yScale;
}

std::int32_t FocalLength(float ys, int side) {
  const float focal = 0.5f * ys * static_cast<float>(side);
  if (!(focal > -2147483648.0f && focal < 2147483520.0f)) return 0;
  return static_cast<std::int32_t>(focal);
}

bool ProjectPoint(ssVector& out, const Fix16* m, const ssVector& v) {
  ssVector t;
  VectorTransform(t, m, v);
  if (t.w == 0) {
    out = t;
    return false;
  }
  const std::int64_t r = (std::int64_t{1} << 32) / t.w;
  out = {Trunc(MulShift(t.x, r)), Trunc(MulShift(t.y, r)), Trunc(MulShift(t.z, r)), t.w};
  return true;
}
