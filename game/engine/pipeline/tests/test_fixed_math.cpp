// The 16.16 vector and matrix operations.
#include <gtest/gtest.h>

#include <cstdlib>

#include "pipeline/fixed_math.h"

namespace {

constexpr Fix16 F(double v) { return static_cast<Fix16>(v * 65536); }

TEST(FixedMath, IdentityTransformReturnsTheInput) {
  Fix16 m[16];
  MatrixIdentity(m);
  const ssVector v{F(1.5), F(-2.25), F(300), F(1)};
  ssVector out;
  VectorTransform(out, m, v);
  EXPECT_EQ(out.x, v.x);
  EXPECT_EQ(out.y, v.y);
  EXPECT_EQ(out.z, v.z);
  EXPECT_EQ(out.w, v.w);
}

TEST(FixedMath, RowVectorsTranslateByRowThreeAndMultiplyInOrder) {
  Fix16 t[16], s[16], ts[16];
  MatrixIdentity(t);
  MatrixTranslate(t, t, {F(10), F(20), F(30), 0});
  MatrixIdentity(s);
  s[0] = s[5] = s[10] = F(2);
  MatrixMultiply(ts, t, s);  // translate, then scale
  ssVector out;
  VectorTransform(out, ts, {F(1), F(1), F(1), F(1)});
  EXPECT_EQ(out.x, F(22));
  EXPECT_EQ(out.y, F(42));
  EXPECT_EQ(out.z, F(62));
  EXPECT_EQ(out.w, F(1));
  Fix16 tr[16];
  MatrixTranspose(tr, ts);
  EXPECT_EQ(tr[3], F(20));
  EXPECT_EQ(tr[7], F(40));
}

TEST(FixedMath, RotationsTurnTheAxes) {
  struct Case {
    void (*rotate)(Fix16*, const Fix16*, Fix16);
    ssVector in, want;
  };
  const Fix16 quarter = F(1.5707963);
  const Case cases[] = {
      {RotateZ, {F(1), 0, 0, F(1)}, {0, F(1), 0, F(1)}},
      {RotateX, {0, F(1), 0, F(1)}, {0, 0, F(1), F(1)}},
      {RotateY, {0, 0, F(1), F(1)}, {F(1), 0, 0, F(1)}},
  };
  for (const Case& c : cases) {
    Fix16 id[16], r[16];
    MatrixIdentity(id);
    c.rotate(r, id, quarter);
    ssVector out;
    VectorTransform(out, r, c.in);
    EXPECT_LE(std::abs(out.x - c.want.x), 2);
    EXPECT_LE(std::abs(out.y - c.want.y), 2);
    EXPECT_LE(std::abs(out.z - c.want.z), 2);
  }
}

TEST(FixedMath, ViewFromPoseUndoesARigidPose) {
  Fix16 pose[16], id[16], view[16];
  MatrixIdentity(id);
  RotateY(pose, id, F(0.7));
  MatrixTranslate(pose, pose, {F(5), F(-3), F(12), 0});
  ViewFromPose(view, pose);
  // Row 3 = -(t x M3), so the pose's position maps to the origin.
  ssVector eye;
  VectorTransform(eye, view, {F(5), F(-3), F(12), F(1)});
  EXPECT_LE(std::abs(eye.x), 8);
  EXPECT_LE(std::abs(eye.y), 8);
  EXPECT_LE(std::abs(eye.z), 8);
  EXPECT_EQ(view[3], 0);
  EXPECT_EQ(view[15], F(1));
}

TEST(FixedMath, PerspectiveAndProjectPoint) {
  Fix16 m[16];
  float ys = 0;
  Perspective(m, 1.5707963f, 1.0f, 4.0f, 600.0f, &ys);
  EXPECT_EQ(m[11], 0x10000);
  EXPECT_EQ(m[15], 0x10000);
  EXPECT_NEAR(m[0], 0x10000, 2);
  EXPECT_LT(m[14], 0);
  ssVector out;
  EXPECT_TRUE(ProjectPoint(out, m, {F(1), F(1), F(9), F(1)}));
  EXPECT_NEAR(out.x, F(0.1), 4);  // x / (z + 1)
  Fix16 zero[16] = {};
  EXPECT_FALSE(ProjectPoint(out, zero, {F(1), F(1), F(1), F(1)}));
}

TEST(FixedMath, VectorHelpers) {
  ssVector out;
  Cross(out, {F(1), 0, 0, 0}, {0, F(1), 0, 0});
  EXPECT_EQ(out.z, F(1));
  EXPECT_EQ(out.w, 0);
  EXPECT_EQ(Dot({3, 4, 5, 0}, {2, 2, 2, 0}), 24);  // unscaled products
  VectorScale(out, {F(2), F(-4), F(6), F(8)}, F(0.5));
  EXPECT_EQ(out.y, F(-2));
  VectorClamp(out, {F(-9), F(0.5), F(9), 0}, F(-1), F(1));
  EXPECT_EQ(out.x, F(-1));
  EXPECT_EQ(out.y, F(0.5));
  EXPECT_EQ(out.z, F(1));
}

}  // namespace
