// Span and set-up costs of the scan converters.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "raster/raster.h"

namespace {

struct Frame {
  int w, h;
  std::vector<std::uint16_t> px;
  Frame(int width, int height) : w(width), h(height), px(static_cast<std::size_t>(width * height)) {}
  ssRasterTarget Target() {
    ssRasterTarget t;
    t.pixels = px.data();
    t.pitch = w * 2;
    t.width = w;
    t.height = h;
    return t;
  }
};

std::vector<std::uint16_t>& Texels() {
  static std::vector<std::uint16_t> t = [] {
    std::vector<std::uint16_t> v(64 * 64);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint16_t>(i * 2654435761u >> 16);
    return v;
  }();
  return t;
}

// Shade values for the shade-map mode, one byte a texel.
std::vector<std::uint8_t>& Shades() {
  static std::vector<std::uint8_t> t = [] {
    std::vector<std::uint8_t> v(64 * 64);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(i * 37u);
    return v;
  }();
  return t;
}

ssTexture Tex(int mode) {
  ssTexture t;
  t.texels = Texels().data();
  if (mode == kTextureShadeMap) {
    t.texels = Shades().data();
    t.texelBytes = 1;
  }
  t.width = t.height = 64;
  t.log2Width = 6;
  t.mode = mode;
  ssPrepareTexture(t);
  return t;
}

ssVertex V(int x, int y, int u, int v, int w = 0x10000) {
  ssVertex r;
  r.sx = x * 65536 + 0x4000;
  r.sy = y * 65536 + 0x2000;
  r.u = u * 65536;
  r.v = v * 65536;
  r.w = w;
  return r;
}

// A full 240 x 320 screen as one textured quad: span throughput.
void BM_AffineSpans(benchmark::State& state) {
  Frame f(240, 320);
  const ssTexture tex = Tex(static_cast<int>(state.range(0)));
  const ssVertex vs[4] = {V(0, 0, 0, 0), V(0, 320, 10, 300), V(240, 320, 250, 310), V(240, 0, 240, 10)};
  const std::uint16_t order[4] = {0, 1, 2, 3};
  std::int32_t du, dv;
  ssTextureGradients(vs[0], vs[1], vs[2], du, dv);
  for (auto _ : state) {
    ssFillTextured(f.Target(), vs, order, 4, tex, du, dv);
    benchmark::DoNotOptimize(f.px.data());
  }
  state.SetItemsProcessed(state.iterations() * 240 * 320);
}
BENCHMARK(BM_AffineSpans)->Arg(kTextureOpaque)->Arg(kTextureColourKey)->Arg(kTextureShadeMap);

void BM_PerspectiveSpans(benchmark::State& state) {
  Frame f(240, 320);
  const ssTexture tex = Tex(kTextureOpaque);
  const ssVertex vs[4] = {V(0, 0, 0, 0, 0x10000), V(0, 320, 0, 64, 0x10000), V(240, 320, 64, 64, 0x40000),
                          V(240, 0, 64, 0, 0x40000)};
  const std::uint16_t order[4] = {0, 1, 2, 3};
  for (auto _ : state) {
    ssFillPerspective(f.Target(), vs, order, 4, tex);
    benchmark::DoNotOptimize(f.px.data());
  }
  state.SetItemsProcessed(state.iterations() * 240 * 320);
}
BENCHMARK(BM_PerspectiveSpans);

void BM_FlatSpans(benchmark::State& state) {
  Frame f(240, 320);
  ssVertex vs[4] = {V(0, 0, 0, 0), V(0, 320, 0, 0), V(240, 320, 0, 0), V(240, 0, 0, 0)};
  vs[0].data[0] = 0x1234;
  const std::uint16_t order[4] = {0, 1, 2, 3};
  for (auto _ : state) {
    ssFillFlat(f.Target(), vs, order, 4);
    benchmark::DoNotOptimize(f.px.data());
  }
  state.SetItemsProcessed(state.iterations() * 240 * 320);
}
BENCHMARK(BM_FlatSpans);

// Many small textured triangles (about 8 pixels each): set-up cost.
void BM_SmallTriangles(benchmark::State& state) {
  Frame f(240, 320);
  const ssTexture tex = Tex(kTextureOpaque);
  const std::uint16_t order[3] = {0, 1, 2};
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      const int x = (i * 37) % 230, y = (i * 53) % 310;
      const ssVertex vs[3] = {V(x, y, 0, 0), V(x, y + 4, 0, 4), V(x + 4, y, 4, 0)};
      std::int32_t du, dv;
      if (ssTextureGradients(vs[0], vs[1], vs[2], du, dv) != 0) ssFillTextured(f.Target(), vs, order, 3, tex, du, dv);
    }
    benchmark::DoNotOptimize(f.px.data());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SmallTriangles);

}  // namespace
