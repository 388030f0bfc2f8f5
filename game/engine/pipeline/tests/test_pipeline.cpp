// The pipeline end to end: outcodes, vertex buffers, the clippers, the
// per-primitive tests and whole scenes drawn into small surfaces, compared
// with reference pixels or golden hashes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "engine/image.h"
#include "engine/model.h"
#include "kso_writer.h"
#include "memory_file.h"
#include "pipeline/pipeline.h"

namespace {

constexpr Fix16 F(double v) { return static_cast<Fix16>(v * 65536); }

struct Surface {
  int w, h;
  std::vector<std::uint16_t> px;
  Surface(int width, int height) : w(width), h(height), px(static_cast<std::size_t>(width * height), 0) {}
  ssRasterTarget Target(int depth = 16) {
    ssRasterTarget t;
    t.pixels = px.data();
    t.pitch = w * 2;
    t.width = w;
    t.height = h;
    t.depth = depth;
    return t;
  }
  std::uint16_t At(int x, int y) const { return px[static_cast<std::size_t>(y * w + x)]; }
  int Count(std::uint16_t v) const {
    int n = 0;
    for (auto p : px) n += p == v;
    return n;
  }
  std::uint64_t Hash() const {
    std::uint64_t h = 1469598103934665603ull;
    for (auto p : px) {
      h = (h ^ (p & 0xFF)) * 1099511628211ull;
      h = (h ^ (p >> 8)) * 1099511628211ull;
    }
    return h;
  }
};

ssSourceVertex S(double x, double y, double z = 0) {
  ssSourceVertex v;
  v.x = F(x);
  v.y = F(y);
  v.z = F(z);
  return v;
}

TEST(Pipeline, OutcodesForPointsJustInsideAndOutside) {
  ssPipeline p;
  Surface s(16, 16);
  p.SetRenderTarget(s.Target(), 0);
  Fix16 id[16];
  MatrixIdentity(id);        // w = 1.0 for every point
  const std::int32_t e = 1;  // one 16.16 step
  struct Case {
    ssSourceVertex v;
    std::uint32_t want;
  };
  auto at = [](std::int32_t x, std::int32_t y, std::int32_t z) {
    ssSourceVertex v;
    v.x = x, v.y = y, v.z = z;
    return v;
  };
  const Case cases[] = {
      {at(F(1), F(1), F(1)), 0},       {at(F(-1), F(-1), F(-1)), 0},    {at(F(1) + e, 0, 0), kOutXHigh},
      {at(F(-1) - e, 0, 0), kOutXLow}, {at(0, F(1) + e, 0), kOutYHigh}, {at(0, F(-1) - e, 0), kOutYLow},
      {at(0, 0, F(1) + e), kOutFar},   {at(0, 0, F(-1) - e), kOutNear}, {at(F(5), F(-5), 0), kOutXHigh | kOutYLow},
  };
  for (const Case& c : cases) {
    ssVertex out;
    ASSERT_EQ(p.RenderVertexBuffer(&out, &c.v, 1, id), 1u);
    EXPECT_EQ(out.outcode, c.want) << c.v.x << "," << c.v.y << "," << c.v.z;
  }
  // w below 1.0 (here 0) is behind the eye: 64 alone and no screen position.
  Fix16 flat[16];
  MatrixIdentity(flat);
  flat[15] = 0;
  ssVertex out;
  out.sx = 12345;
  const ssSourceVertex v = S(0, 0, 0);
  p.RenderVertexBuffer(&out, &v, 1, flat);
  EXPECT_EQ(out.outcode, kOutBehind);
  EXPECT_EQ(out.sx, 12345);
  EXPECT_EQ(p.RenderVertexBuffer(&out, &v, 0, flat), 0u);
}

TEST(Pipeline, ScreenPositionsFollowTheTurn) {
  // (0.5, 0.25) on a 16 x 8 buffer: turned, then scaled by the half sizes.
  struct Case {
    int rotate;
    double sx, sy;
  };
  const Case cases[] = {{0, 12, 5}, {1, 10, 2}, {2, 4, 3}, {3, 6, 6}};
  for (const Case& c : cases) {
    ssPipeline p;
    Surface s(16, 8);
    p.SetRenderTarget(s.Target(), c.rotate);
    Fix16 id[16];
    MatrixIdentity(id);
    const ssSourceVertex v = S(0.5, 0.25);
    ssVertex out;
    p.RenderVertexBuffer(&out, &v, 1, id);
    EXPECT_EQ(out.sx, F(c.sx)) << c.rotate;
    EXPECT_EQ(out.sy, F(c.sy)) << c.rotate;
  }
}

TEST(Pipeline, VertexBuffersByTag) {
  ssPipeline p;
  ssVertexBufferRecord* rec = nullptr;
  p.CreateVertexBuffer(3, 0, 7, 0, &rec);
  ASSERT_NE(rec, nullptr);
  int tag = 0;
  p.SetVertexBufferTag(rec, &tag);
  ssVertexBufferRecord* found = nullptr;
  EXPECT_EQ(p.FindVertexBuffer(&tag, &found), rec);
  EXPECT_EQ(found, rec);
  ssVertexBufferRecord* untouched = nullptr;
  ssVertexBufferRecord* def = p.FindVertexBuffer(&found, &untouched);
  EXPECT_NE(def, rec);
  EXPECT_EQ(untouched, nullptr);
  EXPECT_EQ(p.ResizeVertexBuffer(rec, 10), 0u);
  EXPECT_EQ(rec->vertices.size(), 10u);
  ssVertexBufferRecord stranger;
  EXPECT_EQ(p.ResizeVertexBuffer(&stranger, 4), kVertexBufferUnknown);
  p.FreeVertexBuffersByTag(&tag);
  EXPECT_EQ(p.FindVertexBuffer(&tag, nullptr), def);

  // An array with no buffer of its own gets one of its size instead of
  // overrunning the one-vertex default (the sanitizer build watches this).
  std::vector<ssSourceVertex> many(40, S(0.1, 0.1));
  Fix16 id[16];
  MatrixIdentity(id);
  EXPECT_EQ(p.DrawVertexBuffer(many.data(), 40, id), 1u);
  ssVertexBufferRecord* own = nullptr;
  p.FindVertexBuffer(many.data(), &own);
  ASSERT_NE(own, nullptr);
  EXPECT_GE(own->vertices.size(), 40u);
  EXPECT_EQ(p.LastTransformed(), own->vertices.data());
}

// A pipeline over a 32 x 32 surface with identity matrices (w = 1).
struct Scene {
  Surface s{32, 32};
  ssPipeline p;
  explicit Scene(int rotate = 0) { p.SetRenderTarget(s.Target(), rotate); }
};

TEST(Clipping, NearPlaneCutsATriangleIntoAQuad) {
  Scene sc;
  ssVertex v[3];
  // Clip space: z + w goes negative for the third corner.
  auto cv = [](double x, double y, double z, double w) {
    ssVertex r;
    r.x = F(x), r.y = F(y), r.z = F(z), r.w = F(w);
    return r;
  };
  v[0] = cv(-0.5, -0.5, 0.5, 1);
  v[1] = cv(0.5, -0.5, 0.5, 1);
  v[2] = cv(0, 0.5, -3, 1);
  const int n = sc.p.ClipPolygon(v, 3);
  ASSERT_EQ(n, 4);
  for (int i = 0; i < n; ++i) {
    const ssVertex& c = sc.p.ScratchVertices()[sc.p.ClipList()[i]];
    EXPECT_GE(std::int64_t{c.z} + c.w, -1);
    EXPECT_GE(c.sx, 0);
    EXPECT_LE(c.sx, F(32));
  }
  // Every corner beyond the near plane leaves nothing.
  ssVertex gone[3] = {cv(0, 0, -5, 1), cv(1, 0, -5, 1), cv(0, 1, -5, 1)};
  EXPECT_EQ(sc.p.ClipPolygon(gone, 3), 0);
}

TEST(Clipping, ScreenClipPutsNewVerticesOnTheBound) {
  Scene sc;
  sc.p.SetClipRect(4, 0, 32, 32);
  auto sv = [](double sx, double sy, double u) {
    ssVertex r;
    r.w = F(1);
    r.x = F(sx / 16 - 1), r.y = F(sy / 16 - 1);
    r.u = F(u);
    return r;
  };
  const ssVertex v[3] = {sv(-8, 8, 0), sv(-8, 24, 0), sv(24, 16, 32)};
  const int n = sc.p.ClipPolygonScreen(v, 3);
  ASSERT_EQ(n, 3);
  int onBound = 0;
  for (int i = 0; i < n; ++i) {
    const ssVertex& c = sc.p.ScratchVertices()[sc.p.ClipList()[i]];
    EXPECT_GE(c.sx, F(4));
    if (c.sx == F(4)) {
      ++onBound;
      EXPECT_EQ(c.u, F(12));  // a quarter of the way from -8 to 24
    }
  }
  EXPECT_EQ(onBound, 2);
}

TEST(Primitives, FlatTrianglesCullBackFacesAndRespectTheClip) {
  Scene sc;
  // Screen: x = 16 + 16 X, y = 16 + 16 Y.
  const std::vector<ssSourceVertex> vs = {S(-0.5, -0.5), S(-0.5, 0.5), S(0.5, -0.5), S(0.5, 0.5)};
  ssFlatTriangleFace faces[2] = {{{0, 1, 2}, 0, {0x0F0F, 0x0F0F, 0x0F0F}},   // anticlockwise: drawn
                                 {{1, 2, 3}, 0, {0x7777, 0x7777, 0x7777}}};  // clockwise: culled
  sc.p.DrawIndexedPrimitive(kPrimitiveFlatTriangles, 0, vs.data(), 4, faces, 2, 1, nullptr);
  EXPECT_EQ(sc.s.Count(0x7777), 0);
  // Reference: the right triangle (8,8)-(8,24)-(24,8) under the top-left rule.
  int want = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool in = y >= 8 && x >= 8 && (x - 8) + (y - 8) < 16;
      want += in;
      ASSERT_EQ(sc.s.At(x, y), in ? 0x0F0F : 0) << x << "," << y;
    }
  EXPECT_EQ(want, 136);

  Scene clipped;
  clipped.p.SetClipRect(10, 10, 20, 20);
  clipped.p.DrawIndexedPrimitive(kPrimitiveFlatTriangles, 0, vs.data(), 4, faces, 1, 1, nullptr);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool in = y >= 10 && x >= 10 && x < 20 && y < 20 && (x - 8) + (y - 8) < 16;
      ASSERT_EQ(clipped.s.At(x, y), in ? 0x0F0F : 0) << x << "," << y;
    }
}

TEST(Primitives, TexturedQuadThroughThePipelineMapsTexels) {
  Scene sc;
  std::vector<std::uint16_t> texels(16 * 16);
  for (int i = 0; i < 256; ++i) texels[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i + 1);
  ssTexture t;
  t.texels = texels.data();
  t.width = t.height = 16;
  t.log2Width = 4;
  ASSERT_TRUE(sc.p.SetTextureRaw(t));
  const std::vector<ssSourceVertex> vs = {S(-0.5, -0.5), S(-0.5, 0.5), S(0.5, 0.5), S(0.5, -0.5)};
  ssTexQuadFace face{{0, 1, 2, 3}, {0, 0, F(16), F(16)}, {0, F(16), F(16), 0}};
  sc.p.DrawIndexedPrimitive(kPrimitiveTexturedQuads, 0, vs.data(), 4, &face, 1, 1, nullptr);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool in = x >= 8 && x < 24 && y >= 8 && y < 24;
      ASSERT_EQ(sc.s.At(x, y), in ? texels[static_cast<std::size_t>((y - 8) * 16 + x - 8)] : 0) << x << "," << y;
    }
}

TEST(Primitives, VisibilityQueriesAndBehindTheEyeDrop) {
  Scene sc;
  const std::vector<ssSourceVertex> in = {S(0, 0), S(5, 0), S(0, 5), S(5, 5)};
  const std::vector<ssSourceVertex> out = {S(2, 0), S(5, 0), S(2, 5), S(5, 5)};
  EXPECT_EQ(sc.p.DrawIndexedPrimitive(kPrimitiveVisibleTriangle, 0, in.data(), 4, nullptr, 0, 1, nullptr), 1u);
  EXPECT_EQ(sc.p.DrawIndexedPrimitive(kPrimitiveVisibleQuad, 0, out.data(), 4, nullptr, 0, 1, nullptr), 0u);

  // One corner behind the eye (w below 1.0) and none wholly outside: the
  // primitive is dropped, not clipped.
  Fix16 m[16];
  MatrixIdentity(m);
  m[15] = 0;
  m[11] = kFixOne;  // w = z
  sc.p.SetTransform(ssPipeline::kMatrixWorld, m);
  const std::vector<ssSourceVertex> vs = {S(-0.5, -0.5, 1), S(-0.5, 0.5, 1), S(0.5, -0.5, 0.5)};
  ssFlatTriangleFace face{{0, 1, 2}, 0, {0x1111, 0x1111, 0x1111}};
  sc.p.DrawIndexedPrimitive(kPrimitiveFlatTriangles, 0, vs.data(), 3, &face, 1, 1, nullptr);
  EXPECT_EQ(sc.s.Count(0x1111), 0);
  // A face whose index is past the vertices is skipped.
  ssFlatTriangleFace bad{{0, 1, 9}, 0, {1, 1, 1}};
  sc.p.DrawIndexedPrimitive(kPrimitiveFlatTriangles, 1, vs.data(), 3, &bad, 1, 1, nullptr);
  EXPECT_EQ(sc.s.Count(1), 0);
}

TEST(Primitives, LineListsSolidDashedAndClipped) {
  Scene sc;
  const std::vector<ssSourceVertex> vs = {S(-0.5, 0), S(0.5, 0), S(-2, -0.25), S(2, -0.25)};
  const std::uint16_t pairs[4] = {0, 1, 2, 3};
  const ssLineList lists[2] = {{1, pairs, 0x00AA, 0, 0}, {1, pairs + 2, 0x0011, 0x0022, kLineDashed}};
  sc.p.DrawIndexedPrimitive(kPrimitiveLineList, 0, vs.data(), 4, lists, 2, 1, nullptr);
  for (int x = 0; x < 32; ++x) EXPECT_EQ(sc.s.At(x, 16), (x >= 8 && x < 24) ? 0x00AA : 0) << x;
  // The second line runs off both sides and is clipped to the buffer.
  int dashed = 0;
  for (int x = 0; x < 32; ++x) dashed += sc.s.At(x, 12) != 0;
  EXPECT_GE(dashed, 30);
  EXPECT_EQ(sc.s.Count(0x0011) + sc.s.Count(0x0022), dashed);
  EXPECT_GT(sc.s.Count(0x0022), 10);
}

// A perspective scene: a floor quad receding from the eye through the near
// plane (clipped, affine), a perspective-textured wall and a flat box, each
// given in both windings so that exactly one faces the eye in every turn.
std::uint64_t DrawScene(int rotate, int depth, int w, int h) {
  Surface s(w, h);
  ssPipeline p;
  p.SetRenderTarget(s.Target(depth), rotate);
  p.SetPerspective(F(1.2), (rotate & 1) ? h : w, (rotate & 1) ? w : h);
  Fix16 view[16];
  MatrixIdentity(view);
  MatrixTranslate(view, view, {0, F(-3), F(10), 0});
  p.SetTransform(ssPipeline::kMatrixView, view);
  static std::vector<std::uint16_t> texels = [] {
    std::vector<std::uint16_t> t(32 * 32);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        t[static_cast<std::size_t>(y * 32 + x)] = static_cast<std::uint16_t>(((x / 4 + y / 4) & 1) ? 0xF800 : 0x07FF);
    return t;
  }();
  ssTexture t;
  t.texels = texels.data();
  t.width = t.height = 32;
  t.log2Width = 5;
  p.SetTextureRaw(t);
  // Floor from z = -8 (through the near plane) to 40, corners anticlockwise on the screen.
  const std::vector<ssSourceVertex> floor = {S(-6, 0, -8), S(6, 0, -8), S(6, 0, 40), S(-6, 0, 40)};
  ssTexQuadFace quad{{0, 1, 2, 3}, {0, F(32), F(32), 0}, {F(64), F(64), 0, 0}};
  ssTexQuadFace quadR{{3, 2, 1, 0}, {0, F(32), F(32), 0}, {0, 0, F(64), F(64)}};
  p.DrawIndexedPrimitive(kPrimitiveTexturedQuads, 0, floor.data(), 4, &quad, 1, 1, nullptr);
  p.DrawIndexedPrimitive(kPrimitiveTexturedQuads, 1, floor.data(), 4, &quadR, 1, 1, nullptr);
  const std::vector<ssSourceVertex> wall = {S(-2, 1, 20), S(2, 1, 20), S(2, 5, 20), S(-2, 5, 20)};
  ssTexQuadFace persp{{0, 1, 2, 3}, {0, F(32), F(32), 0}, {0, 0, F(32), F(32)}};
  ssTexQuadFace perspR{{0, 3, 2, 1}, {0, 0, F(32), F(32)}, {0, F(32), F(32), 0}};
  p.DrawIndexedPrimitive(kPrimitivePerspectiveTriangles, 0, wall.data(), 4, &persp, 1, 1, nullptr);
  p.DrawIndexedPrimitive(kPrimitivePerspectiveTriangles, 1, wall.data(), 4, &perspR, 1, 1, nullptr);
  ssFlatQuadFace flat{{0, 1, 2, 3}, {0x001F, 0x001F, 0x001F, 0x001F}};
  ssFlatQuadFace flatR{{3, 2, 1, 0}, {0x001F, 0x001F, 0x001F, 0x001F}};
  const std::vector<ssSourceVertex> box = {S(3, 0, 12), S(5, 0, 12), S(5, 2, 12), S(3, 2, 12)};
  p.DrawIndexedPrimitive(kPrimitiveFlatQuads, 0, box.data(), 4, &flat, 1, 1, nullptr);
  p.DrawIndexedPrimitive(kPrimitiveFlatQuads, 1, box.data(), 4, &flatR, 1, 1, nullptr);
  return s.Hash();
}

TEST(Scenes, GoldenHashes) {
  struct Case {
    int rotate, depth, w, h;
    std::uint64_t hash;
  };
  const Case cases[] = {
      {0, 16, 48, 64, 0x44642dbf1deba362ull},
      {1, 16, 64, 48, 0xa4b013fd1ad37d8cull},
      {2, 16, 48, 64, 0x0da4f63f0868a7b2ull},
      {3, 16, 64, 48, 0x73e5b08dc02f1cf4ull},
  };
  for (const Case& c : cases) {
    const std::uint64_t h = DrawScene(c.rotate, c.depth, c.w, c.h);
    EXPECT_EQ(h, c.hash) << "rotate " << c.rotate << " depth " << c.depth << std::hex << " got 0x" << h;
  }
}

TEST(Model, KsoMeshDrawsThroughTheModelDevice) {
  ksomake::Model desc;
  std::string error;
  ASSERT_TRUE(
      ksomake::ParseModel("header scene\n"
                          "object triangles\n"
                          "vertex 1 1 0\nvertex 3 1 0\nvertex 1 3 0\n"
                          "face 0 1 2 0 0 16 0 0 16\n"
                          "object flat\n"
                          "vertex 2 2 0\nvertex 3 2 0\nvertex 3 3 0\nvertex 2 3 0\n"
                          "face 0 1 3 2 255 0 0\n",
                          &desc, &error))
      << error;
  const std::vector<std::uint8_t> bytes = ksomake::EncodeModel(desc);
  Surface s(32, 32);
  ssPipeline p;
  p.SetRenderTarget(s.Target(), 0);
  ssPipelineModelDevice device(p, nullptr, 16);
  std::vector<std::uint16_t> texels(16 * 16, 0x07E0);
  ssImage image;
  image.SetBorrowedPixels(reinterpret_cast<std::uint8_t*>(texels.data()), kPixelDisplay, 16, 16,
                          static_cast<std::uint32_t>(texels.size() * 2));
  ssModel model;
  model.Init(&device, &image);
  ssMemoryFile stream(bytes);
  ASSERT_EQ(model.LoadFromStream(stream), 1);
  model.m_Matrix = {F(8), 0, 0, 0, 0, F(8), 0, 0, 0, 0, F(1), 0, F(-16), F(-16), 0, F(16)};  // screen = 8 x
  model.Draw(0);
  // The textured triangle (8,8)-(8,24)-(24,8) and the flat square
  // (16,16)-(24,24) drawn after it, in the model's red.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool square = x >= 16 && x < 24 && y >= 16 && y < 24;
      const bool tri = y >= 8 && x >= 8 && (x - 8) + (y - 8) < 16;
      ASSERT_EQ(s.At(x, y), square ? 0xF800 : (tri ? 0x07E0 : 0)) << x << "," << y;
    }
  // Free drops the mesh buffers, so a later array at the same address
  // never finds a stale record.
  const void* tag = model.m_Meshes[0].vertices.data();
  ssVertexBufferRecord* found = nullptr;
  p.FindVertexBuffer(tag, &found);
  EXPECT_NE(found, nullptr);
  model.Free();
  found = nullptr;
  p.FindVertexBuffer(tag, &found);
  EXPECT_EQ(found, nullptr);
}

TEST(Primitives, RandomGeometryNeverLeavesTheClip) {
  std::uint32_t seed = 777;
  auto next = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return seed;
  };
  std::vector<std::uint16_t> texels(8 * 8, 0x2222);
  for (int round = 0; round < 400; ++round) {
    Scene sc(round % 4);
    sc.p.SetClipRect(4, 5, 28, 26);
    ssTexture t;
    t.texels = texels.data();
    t.width = t.height = 8;
    t.log2Width = 3;
    sc.p.SetTextureRaw(t);
    Fix16 m[16];
    for (auto& e : m) e = static_cast<Fix16>(next()) >> (next() % 24);
    sc.p.SetTransform(round % 3, m);
    std::vector<ssSourceVertex> vs(6);
    for (auto& v : vs) {
      v.x = static_cast<std::int32_t>(next()) >> (next() % 20);
      v.y = static_cast<std::int32_t>(next()) >> (next() % 20);
      v.z = static_cast<std::int32_t>(next()) >> (next() % 20);
    }
    std::vector<ssTexQuadFace> faces(4);
    for (auto& f : faces)
      for (int i = 0; i < 4; ++i) {
        f.index[i] = static_cast<std::uint16_t>(next() % 6);
        f.u[i] = static_cast<std::int32_t>(next());
        f.v[i] = static_cast<std::int32_t>(next());
      }
    const std::uint16_t pairs[4] = {0, 1, 2, 3};
    const ssLineList lines{2, pairs, 0x2222, 0x2222, 0};
    const int type =
        std::array<int, 5>{kPrimitiveTexturedQuads, kPrimitiveFlatQuads, kPrimitivePerspectiveTriangles,
                           kPrimitiveLineList, kPrimitiveTexturedTriangles}[static_cast<std::size_t>(round % 5)];
    const void* f = type == kPrimitiveLineList ? static_cast<const void*>(&lines) : faces.data();
    sc.p.DrawIndexedPrimitive(type, 0, vs.data(), 6, f, type == kPrimitiveLineList ? 1 : 2, 1, nullptr);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        if (x < 4 || x >= 28 || y < 5 || y >= 26) {
          ASSERT_EQ(sc.s.At(x, y), 0) << "round " << round << " at " << x << "," << y;
        }
  }
}

TEST(Pipeline, PolygonOutlineInLogicalPixels) {
  // (-0.5, -0.5) .. (0.5, 0.5) on a 32 x 16 buffer; turned back to logical.
  const std::vector<ssSourceVertex> quad = {S(-0.5, -0.5), S(0.5, -0.5), S(0.5, 0.5), S(-0.5, 0.5)};
  struct Case {
    int rotate;
    std::int32_t first[2];
  };
  const Case cases[] = {{0, {8, 4}}, {1, {16 - 12, 8}}, {2, {32 - 24, 16 - 12}}, {3, {4, 32 - 24}}};
  for (const Case& c : cases) {
    ssPipeline p;
    Surface s(32, 16);
    p.SetRenderTarget(s.Target(), c.rotate);
    std::int32_t pts[2 * kMaxPolygon];
    ASSERT_EQ(p.PolygonOutline(quad.data(), 4, pts, kMaxPolygon), 4) << c.rotate;
    EXPECT_EQ(pts[0], c.first[0]) << c.rotate;
    EXPECT_EQ(pts[1], c.first[1]) << c.rotate;
  }
  // Partly outside: clipped to the screen; wholly outside: nothing.
  ssPipeline p;
  Surface s(32, 16);
  p.SetRenderTarget(s.Target(), 0);
  const std::vector<ssSourceVertex> wide = {S(-3, -0.5), S(0.5, -0.5), S(0.5, 0.5), S(-3, 0.5)};
  std::int32_t pts[2 * kMaxPolygon];
  const int n = p.PolygonOutline(wide.data(), 4, pts, kMaxPolygon);
  ASSERT_GE(n, 4);
  for (int i = 0; i < n; ++i) EXPECT_GE(pts[2 * i], 0);
  const std::vector<ssSourceVertex> gone = {S(2, 0), S(3, 0), S(3, 1)};
  EXPECT_EQ(p.PolygonOutline(gone.data(), 3, pts, kMaxPolygon), 0);
}

TEST(Primitives, DrawPrimitiveWalksTestAndFillIndices) {
  Scene sc;
  std::vector<ssSourceVertex> vs = {S(-0.5, -0.5), S(-0.5, 0.5), S(0.5, -0.5), S(0.5, 0.5)};
  vs[0].data[0] = 0x0A0A;
  vs[2].data[0] = 0x0B0B;  // the colour comes from the top vertex of the fill order
  // Record 1 passes the back-face test and fills (0, 1, 2); record 2 is
  // clockwise in its test order and is skipped; record 3 has an index past
  // the transformed range.
  const std::uint16_t records[18] = {0, 1, 2, 0, 1, 2, 3, 1, 2, 3, 2, 1, 0, 1, 9, 0, 1, 9};
  EXPECT_EQ(sc.p.DrawPrimitive(kPrimitiveFlatTriangles, vs.data(), 0, 4, records, 0, 3), 0u);
  EXPECT_EQ(sc.s.Count(0x0A0A), 136);
  EXPECT_EQ(sc.s.Count(0x0B0B), 0);
  EXPECT_EQ(sc.p.DrawPrimitive(kPrimitiveVisibleTriangle, vs.data(), 0, 4, nullptr, 0, 0), 1u);
  // Starting at the second record draws the quad's other half once the
  // test order faces the eye.
  const std::uint16_t other[6] = {3, 2, 1, 3, 2, 1};
  sc.p.DrawPrimitive(kPrimitiveFlatTriangles, vs.data(), 0, 4, other, 0, 1);
  EXPECT_EQ(sc.s.Count(0x0B0B), 256 - 136);
}

}  // namespace
