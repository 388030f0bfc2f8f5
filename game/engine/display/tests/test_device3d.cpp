// The device's 3D operations: projection, vertex buffers, render state,
// clipping and models, checked against values worked out by hand for the
// device's size and screen turn.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "display_test_support.h"
#include "engine/image.h"
#include "engine/model.h"
#include "kso_writer.h"
#include "memory_file.h"

namespace {

using ks::test::OpenDevice;

constexpr Fix16 F(double v) { return static_cast<Fix16>(v * 65536); }

std::uint16_t At(const ssDisplayS16& d, int x, int y) {
  return d.m_BackBuffer[static_cast<std::size_t>(y) * (d.m_RenderPitch / 2) + static_cast<std::size_t>(x)];
}

ssSourceVertex S(double x, double y, double z = 0, std::uint32_t pixel = 0) {
  ssSourceVertex v;
  v.x = F(x);
  v.y = F(y);
  v.z = F(z);
  v.data[0] = pixel;
  return v;
}

TEST(DeviceTransforms, HelpersGiveHandWorkedValues) {
  ssDisplayS16 d;
  Fix16 m[16];
  d.MatrixIdentity(m);
  ssVector out;
  const ssVector p{F(1.5), F(-2), F(3.25), F(1)};
  d.VectorTransform(out, m, p);
  EXPECT_EQ(out.x, p.x);
  EXPECT_EQ(out.y, p.y);
  EXPECT_EQ(out.z, p.z);
  EXPECT_EQ(out.w, p.w);

  // A quarter turn about z takes x to y (entries are the sine and cosine
  // times 65536, truncated).
  d.RotateZ(m, m, F(M_PI / 2));
  d.VectorTransform(out, m, {F(1), 0, 0, F(1)});
  EXPECT_NEAR(out.x, 0, 2);
  EXPECT_NEAR(out.y, F(1), 2);

  // Translation then projection: (1, 2, 3) + (1, 0, 5) with w = 2 gives
  // (1, 1, 4).
  d.MatrixIdentity(m);
  d.MatrixTranslate(m, m, {F(1), 0, F(5), F(1)});
  EXPECT_TRUE(d.ProjectPoint(out, m, {F(1), F(2), F(3), F(1)}));
  EXPECT_EQ(out.x, F(1));
  EXPECT_EQ(out.y, F(1));
  EXPECT_EQ(out.z, F(4));

  EXPECT_EQ(d.Dot({3, 4, 5, 99}, {6, 7, 8, 99}), 86) << "plain products, no shift";
}

TEST(DeviceTransforms, PerspectiveFocalLengthFollowsTheTurn) {
  struct Case {
    int width, height;  // the device buffer
    int rotate;
  };
  for (const Case& c : {Case{320, 240, 0}, Case{240, 320, 1}}) {
    auto d = OpenDevice(ssDisplayS16::kModeGdi, c.width, c.height);
    ASSERT_EQ(d->m_Rotate, c.rotate);
    const double fov = 1.2;
    std::int32_t focal = 0;
    d->SetPerspective(F(fov), &focal);
    const Fix16* m = d->m_Pipeline.Matrix(ssPipeline::kMatrixProjection);
    const double xs = 1.0 / std::tan(fov / 2);
    const double ys = xs * 320.0 / 240.0;  // the logical screen is 320 x 240 both ways
    EXPECT_NEAR(m[0], xs * 65536, 2);
    EXPECT_NEAR(m[5], ys * 65536, 2);
    EXPECT_EQ(m[11], 0x10000);
    EXPECT_EQ(m[15], 0x10000);
    // The logical height lies along the buffer's height unturned and along
    // its width at a quarter turn: 240 pixels either way.
    EXPECT_NEAR(focal, 0.5 * ys * 240, 1) << c.rotate;
  }
}

// A matrix that keeps x, y and z and puts z into w, so a point at depth 2
// lands at half its x and y.
void DepthIntoW(Fix16* m) {
  for (int i = 0; i < 16; ++i) m[i] = 0;
  m[0] = m[5] = m[10] = F(1);
  m[11] = F(1);
}

TEST(DeviceTransforms, OnePointAndVertexBuffersProjectAlike) {
  struct Case {
    int width, height, rotate;
    int sx, sy;  // buffer pixels of the point (0.5, 0.25, 2)
  };
  // Unturned: x / w = 0.25 and y / w = 0.125 on a 320 x 240 buffer.
  // A quarter turn makes (x, y) (y, -x): 0.125 and -0.25 on 240 x 320.
  const Case cases[] = {{320, 240, 0, 160 + 40, 120 + 15}, {240, 320, 1, 120 + 15, 160 - 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rotate);
    auto d = OpenDevice(ssDisplayS16::kModeGdi, c.width, c.height);
    ASSERT_EQ(d->m_Rotate, c.rotate);
    Fix16 m[16];
    DepthIntoW(m);
    std::int32_t sx = -1, sy = -1, sz = -1;
    std::int64_t w = 0;
    EXPECT_EQ(d->ProjectOnePoint({F(0.5), F(0.25), F(2), 0}, &sx, &sy, &sz, &w, m), &w);
    EXPECT_EQ(sx, c.sx << 16);
    EXPECT_EQ(sy, c.sy << 16);
    EXPECT_EQ(sz, F(1));
    EXPECT_EQ(w, std::int64_t{2} << 32);

    // Behind the eye (w below 1.0): no record, screen x and y 0.
    EXPECT_EQ(d->ProjectOnePoint({F(0.5), F(0.25), F(0.5), 0}, &sx, &sy, &sz, &w, m), nullptr);
    EXPECT_EQ(sx, 0);
    EXPECT_EQ(sy, 0);

    // The same point through a vertex buffer, and a vertex at w = 0.
    const ssSourceVertex source[2] = {S(0.5, 0.25, 2), S(1, 1, 0)};
    ssVertex out[2];
    EXPECT_EQ(d->RenderVertexBuffer(out, source, 2, m), 1u);
    EXPECT_EQ(out[0].outcode, 0u);
    EXPECT_EQ(out[0].sx, c.sx << 16);
    EXPECT_EQ(out[0].sy, c.sy << 16);
    EXPECT_EQ(out[1].outcode, kOutBehind);
    EXPECT_EQ(d->RenderVertexBuffer(out, source, 0, m), 0u);
  }
}

TEST(DeviceVertexBuffers, TaggedBuffersResizeAndFree) {
  ssDisplayS16 d;
  ssVertexBufferRecord* record = nullptr;
  EXPECT_EQ(d.CreateVertexBuffer(3, 0, 0, 0, &record), 0u);
  ASSERT_NE(record, nullptr);
  const std::vector<ssSourceVertex> source = {S(0, 0), S(0.5, 0), S(0, 0.5), S(0.5, 0.5)};
  d.SetVertexBufferTag(record, source.data());
  ssVertexBufferRecord* found = nullptr;
  EXPECT_EQ(d.FindVertexBuffer(source.data(), &found), record);
  EXPECT_EQ(found, record);

  // An unknown record is refused and nothing changes; a known one grows.
  ssVertexBufferRecord stranger;
  EXPECT_EQ(d.ResizeVertexBuffer(&stranger, 9), kVertexBufferUnknown);
  EXPECT_EQ(d.ResizeVertexBuffer(record, 4), 0u);
  ssVertex* data = nullptr;
  d.GetVertexData(record, &data);
  ASSERT_NE(data, nullptr);

  // DrawVertexBuffer finds the buffer by the source's address.
  Fix16 m[16];
  d.MatrixIdentity(m);
  EXPECT_EQ(d.DrawVertexBuffer(source.data(), 4, m), 1u);
  EXPECT_EQ(d.m_Pipeline.LastTransformed(), data);
  EXPECT_EQ(data[3].x, F(0.5));

  // After FreeVertexBuffers the tag finds only the default buffer.
  d.FreeVertexBuffers();
  found = nullptr;
  EXPECT_NE(d.FindVertexBuffer(source.data(), &found), nullptr);
  EXPECT_EQ(found, nullptr);
}

TEST(DeviceRenderState, NewVertexSourceTransformsAgain) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 320, 240);
  // A flat triangle on buffer (80, 60), (80, 180), (240, 60).
  std::vector<ssSourceVertex> vs = {S(-0.5, -0.5, 0, 0xF800), S(-0.5, 0.5, 0, 0xF800), S(0.5, -0.5, 0, 0xF800)};
  const std::uint16_t record[6] = {0, 1, 2, 0, 1, 2};
  d->BeginDraw();
  d->Clear();
  d->DrawPrimitive(kPrimitiveFlatTriangles, vs.data(), 0, 3, record, 0, 1);
  EXPECT_EQ(At(*d, 90, 70), 0xF800);

  // Moved to the right half: the same sequence still draws the vertices it
  // transformed; a new vertex source transforms them again.
  for (auto& v : vs) v.x += F(0.5);
  d->Clear();
  d->DrawPrimitive(kPrimitiveFlatTriangles, vs.data(), 0, 3, record, 0, 1);
  EXPECT_EQ(At(*d, 90, 70), 0xF800);
  d->Clear();
  d->SetVertexSource(0, vs.data(), 0);
  d->DrawPrimitive(kPrimitiveFlatTriangles, vs.data(), 0, 3, record, 0, 1);
  EXPECT_EQ(At(*d, 90, 70), 0);
  EXPECT_EQ(At(*d, 170, 70), 0xF800);
}

TEST(DeviceRenderState, FirstWordChoosesTheTextureMode) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 320, 240);
  // The quad (-0.5 .. 0.5)^2 covers buffer (80 .. 240, 60 .. 180); texel
  // (0, 0) is 0 and covers (80 .. 90, 60 .. 67).
  std::vector<std::uint16_t> texels(16 * 16, 0x07E0);
  texels[0] = 0;
  ssImage image;
  image.SetBorrowedPixels(reinterpret_cast<std::uint8_t*>(texels.data()), kPixelDisplay, 16, 16, 512);
  d->SetTexture(0, &image);
  const std::vector<ssSourceVertex> vs = {S(-0.5, -0.5), S(-0.5, 0.5), S(0.5, 0.5), S(0.5, -0.5)};
  const Fix16 k16 = 16 << 16;
  const ssTexQuadFace face{{0, 1, 2, 3}, {0, 0, k16, k16}, {0, k16, k16, 0}};
  struct Case {
    std::uint32_t mode;
    std::uint16_t keyed;  // what the 0 texel leaves
  };
  for (const Case& c : {Case{0, 0}, Case{1, 0x1234}}) {
    d->BeginDraw();
    d->DrawRect(ssRect{0, 0, 320, 240}, ssDisplayS16::kRectFilled, 0x1234);
    d->SetRenderState(c.mode);
    d->DrawIndexedPrimitive(kPrimitiveTexturedQuads, 0, vs.data(), 4, &face, 1, 1, nullptr);
    EXPECT_EQ(At(*d, 84, 63), c.keyed) << c.mode;
    EXPECT_EQ(At(*d, 100, 100), 0x07E0) << c.mode;
  }
  d->SetRenderState(0);
}

TEST(DeviceClipping, ScreenClipEndsOnTheClipEdge) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 320, 240);
  d->PushClipRect(ssRect{100, 0, 320, 240});
  // Buffer (80, 60), (240, 60), (240, 180): cut at x = 100, where the edge
  // back to the first corner passes y = 60 + 120 x 20 / 160 = 75.
  ssVertex v[3];
  const double corners[3][2] = {{-0.5, -0.5}, {0.5, -0.5}, {0.5, 0.5}};
  for (int i = 0; i < 3; ++i) {
    v[i].x = F(corners[i][0]);
    v[i].y = F(corners[i][1]);
    v[i].w = F(1);
    v[i].sx = F(160 + 160 * corners[i][0]);
    v[i].sy = F(120 + 120 * corners[i][1]);
  }
  EXPECT_EQ(d->OutcodeScreen(v[0]), kOutXLow);
  const ssVertex* out[kMaxPolygon] = {};
  const int n = d->ClipPolygonScreen2(out, v, 3);
  ASSERT_EQ(n, 4);
  int onEdge = 0;
  bool at75 = false;
  for (int i = 0; i < n; ++i) {
    EXPECT_GE(out[i]->sx, 100 << 16);
    if (out[i]->sx == 100 << 16) {
      ++onEdge;
      at75 = at75 || std::abs(out[i]->sy - (75 << 16)) <= 1;
    }
  }
  EXPECT_EQ(onEdge, 2);
  EXPECT_TRUE(at75);
  d->PopClipRect();

  // Depth against the clip box, on z / w.
  ssVertex deep = v[1];
  deep.zw = F(1.5);
  EXPECT_EQ(d->OutcodeFar(deep), kOutFar);
  deep.zw = F(-0.25);
  EXPECT_EQ(d->OutcodeScreen(deep), kOutNear);
}

TEST(DeviceModel, DrawsIntoTheCurrentTargetInsideTheClip) {
  ksomake::Model desc;
  std::string error;
  ASSERT_TRUE(
      ksomake::ParseModel("header square\nobject flat\n"
                          "vertex -1 -1 0\nvertex 1 -1 0\nvertex 1 1 0\nvertex -1 1 0\n"
                          "face 0 1 3 2 255 0 0\n",
                          &desc, &error))
      << error;
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 320, 240);
  ssModel model;
  model.Init(d->ModelDevice(), nullptr);
  ssMemoryFile stream(ksomake::EncodeModel(desc));
  ASSERT_EQ(model.LoadFromStream(stream), 1);
  // Half size: the square covers buffer (80 .. 240, 60 .. 180); the clip
  // keeps its left half.
  model.m_Matrix = {F(0.5), 0, 0, 0, 0, F(0.5), 0, 0, 0, 0, F(1), 0, 0, 0, 0, F(1)};
  d->BeginDraw();
  d->Clear();
  d->PushClipRect(ssRect{0, 0, 160, 240});
  model.Draw(0);
  d->PopClipRect();
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      const bool inside = x >= 80 && x < 160 && y >= 60 && y < 180;
      ASSERT_EQ(At(*d, x, y), inside ? 0xF800 : 0) << x << "," << y;
    }
}

}  // namespace
