// 16.16 fixed-point vectors and matrices of the 3D pipeline. Matrices are 16
// words in rows (element r, c at 4r + c); points are row vectors multiplied
// on the left (p' = p x M), so the translation is row 3. Products are 64-bit
// and shifted right by 16; sums are taken in 64 bits and truncated to 32.
// Floating point is used only to build rotation and projection matrices.
#pragma once

#include <cstdint>

using Fix16 = std::int32_t;

inline constexpr Fix16 kFixOne = 0x10000;

struct ssVector {
  Fix16 x = 0, y = 0, z = 0, w = 0;
};

inline Fix16 FixMul(Fix16 a, Fix16 b) { return static_cast<Fix16>((static_cast<std::int64_t>(a) * b) >> 16); }

// out_i = sum over j of v_j x M[4j + i].
void VectorTransform(ssVector& out, const Fix16* m, const ssVector& v);
// out = a x b; out may be a or b.
void MatrixMultiply(Fix16* out, const Fix16* a, const Fix16* b);
void Cross(ssVector& out, const ssVector& a, const ssVector& b);
// Plain 32-bit products, not shifted: callers compare signs and orders.
std::int32_t Dot(const ssVector& a, const ssVector& b);
void MatrixTranspose(Fix16* out, const Fix16* m);
// The inverse of a rigid pose: the 3x3 part is copied, column 3 becomes
// (0, 0, 0, 1) and row 3 = -(t x M3) with t the pose's translation.
void ViewFromPose(Fix16* out, const Fix16* m);
void VectorAdd(ssVector& out, const ssVector& a, const ssVector& b);
void VectorSub(ssVector& out, const ssVector& a, const ssVector& b);
void VectorMul(ssVector& out, const ssVector& a, const ssVector& b);
void VectorScale(ssVector& out, const ssVector& v, Fix16 s);
// A copy of M with v added to row 3 (all four components).
void MatrixTranslate(Fix16* out, const Fix16* m, const ssVector& v);
void MatrixIdentity(Fix16* out);
// out = R x M for a rotation by `angle` (16.16 radians); out may be m.
void RotateZ(Fix16* out, const Fix16* m, Fix16 angle);
void RotateX(Fix16* out, const Fix16* m, Fix16 angle);
void RotateY(Fix16* out, const Fix16* m, Fix16 angle);
// Y by angles.y, then X by angles.x, then Z by angles.z; m is overwritten
// with the intermediate result.
void RotateXYZ(Fix16* out, Fix16* m, const ssVector& angles);
void VectorClamp(ssVector& out, const ssVector& v, Fix16 lo, Fix16 hi);
// A view matrix from the eye, a direction and the up vector. Basis rows are
// not normalised (Normalize does nothing on this device).
void LookDir(Fix16* out, const ssVector& eye, const ssVector& dir, const ssVector& up);
void LookAt(Fix16* out, const ssVector& eye, const ssVector& target, const ssVector& up);
// A perspective matrix with w = z + 1; returns 1/tan(fov/2) x aspect (the
// vertical scale) through `ys`.
void Perspective(Fix16* out, float fov, float aspect, float nearZ, float farZ, float* ys);
// The focal length in pixels of a projection with vertical scale `ys` over
// a buffer side of `side` pixels: 0.5 x ys x side, truncated (0 when it does
// not fit).
std::int32_t FocalLength(float ys, int side);
// VectorTransform, then x, y, z divided by w. A w of 0 leaves them undivided
// and returns false.
bool ProjectPoint(ssVector& out, const Fix16* m, const ssVector& v);
