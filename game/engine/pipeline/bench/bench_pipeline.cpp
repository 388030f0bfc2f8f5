// Clipping throughput and whole frames through the pipeline. The frame is a
// perspective floor of 200 textured triangles (a 10 x 10 grid of quads)
// that covers over half the screen, its near rows crossing the screen edges
// and the near plane.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pipeline/pipeline.h"

namespace {

constexpr Fix16 F(double v) { return static_cast<Fix16>(v * 65536); }

struct FrameScene {
  int w, h;
  std::vector<std::uint16_t> px;
  std::vector<std::uint16_t> texels = std::vector<std::uint16_t>(64 * 64);
  std::vector<ssSourceVertex> vertices;
  std::vector<ssTexTriangleFace> faces;
  ssPipeline pipeline;

  FrameScene(int width, int height) : w(width), h(height), px(static_cast<std::size_t>(width * height)) {
    for (std::size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<std::uint16_t>(i * 40503u);
    ssRasterTarget t;
    t.pixels = px.data();
    t.pitch = w * 2;
    t.width = w;
    t.height = h;
    pipeline.SetRenderTarget(t, 0);
    pipeline.SetPerspective(F(1.1), w, h);
    Fix16 view[16];
    MatrixIdentity(view);
    RotateX(view, view, F(-0.5));
    MatrixTranslate(view, view, {0, F(-4), F(14), 0});
    pipeline.SetTransform(ssPipeline::kMatrixView, view);
    ssTexture tex;
    tex.texels = texels.data();
    tex.width = tex.height = 64;
    tex.log2Width = 6;
    pipeline.SetTextureRaw(tex);
    // Grid of 11 x 11 vertices on the floor y = 0, x in [-20, 20], z in [-6, 24].
    for (int j = 0; j <= 10; ++j)
      for (int i = 0; i <= 10; ++i) {
        ssSourceVertex v;
        v.x = F(-20 + 4.0 * i);
        v.z = F(-6 + 3.0 * j);
        vertices.push_back(v);
      }
    for (int j = 0; j < 10; ++j)
      for (int i = 0; i < 10; ++i) {
        const auto a = static_cast<std::uint16_t>(j * 11 + i), b = static_cast<std::uint16_t>(a + 1);
        const auto c = static_cast<std::uint16_t>(a + 11), d = static_cast<std::uint16_t>(a + 12);
        // Both triangles of the quad, each in the winding that faces the eye.
        faces.push_back({{a, c, b}, 0, {0, 0, F(64)}, {F(64), 0, F(64)}});
        faces.push_back({{b, c, d}, 0, {F(64), 0, F(64)}, {F(64), 0, 0}});
      }
  }
  // Not inlined, so callgrind can count one frame: --toggle-collect='*FrameScene::Draw*'.
  __attribute__((noinline)) void Draw() {
    pipeline.DrawIndexedPrimitive(kPrimitiveTexturedTriangles, 0, vertices.data(),
                                  static_cast<std::uint32_t>(vertices.size()), faces.data(),
                                  static_cast<std::uint32_t>(faces.size()), 1, nullptr);
  }
  int Covered() const {
    int n = 0;
    for (auto p : px) n += p != 0;
    return n;
  }
};

void BM_Frame200(benchmark::State& state) {
  FrameScene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  scene.Draw();
  state.counters["covered"] = scene.Covered();
  for (auto _ : state) {
    scene.Draw();
    benchmark::DoNotOptimize(scene.px.data());
  }
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_Frame200)->Args({240, 320})->Args({480, 640});

void BM_ClipTriangles(benchmark::State& state) {
  FrameScene scene(240, 320);
  // Triangles straddling the near plane and the screen sides.
  std::vector<ssVertex> tris;
  for (int i = 0; i < 64; ++i) {
    ssVertex a, b, c;
    a.x = F(-2 + (i % 8) * 0.5), a.y = F(-0.5), a.z = F(0.5), a.w = F(1);
    b.x = F(0.5), b.y = F(1.5 - (i % 5) * 0.3), b.z = F(0.2), b.w = F(1);
    c.x = F(0.2), c.y = F(0.1), c.z = F(-2), c.w = F(1);
    tris.insert(tris.end(), {a, b, c});
  }
  int kept = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < tris.size(); i += 3) kept += scene.pipeline.ClipPolygonScreen(&tris[i], 3);
    benchmark::DoNotOptimize(kept);
  }
  state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_ClipTriangles);

}  // namespace

