// Clipping throughput and whole frames through the pipeline (frame_scene.h).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "frame_scene.h"

namespace {

using ks::bench::F;
using ks::bench::FrameScene;

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
