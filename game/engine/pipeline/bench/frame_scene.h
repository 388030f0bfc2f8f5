// The benchmark frame: a perspective floor of 200 textured triangles (a
// 10 x 10 grid of quads) that covers over half the screen, its near rows
// crossing the screen edges and the near plane. Shared by the benchmarks
// and the instruction counter.
#pragma once

#include <cstdint>
#include <vector>

#include "pipeline/pipeline.h"

namespace ks::bench {

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
  // Not inlined, so that a profiler can find one frame.
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

}  // namespace ks::bench
