// ks_frame_count WIDTH HEIGHT FRAMES: draws the benchmark frame once to warm
// up, then FRAMES times inside DrawFrames, so that an instruction counter
// collecting only DrawFrames sees whole frames and nothing else.
#include <cstdio>
#include <cstdlib>

#include "frame_scene.h"

namespace {

__attribute__((noinline)) void DrawFrames(ks::bench::FrameScene& scene, int frames) {
  for (int i = 0; i < frames; ++i) scene.Draw();
}

int Positive(const char* text) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  return (end != text && *end == 0 && v > 0 && v <= 4096) ? static_cast<int>(v) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int w = argc == 4 ? Positive(argv[1]) : 0;
  const int h = argc == 4 ? Positive(argv[2]) : 0;
  const int frames = argc == 4 ? Positive(argv[3]) : 0;
  if (w == 0 || h == 0 || frames == 0) {
    std::fprintf(stderr, "usage: ks_frame_count WIDTH HEIGHT FRAMES (each 1 to 4096)\n");
    return 2;
  }
  ks::bench::FrameScene scene(w, h);
  scene.Draw();
  DrawFrames(scene, frames);
  std::printf("%dx%d: %d pixels covered\n", w, h, scene.Covered());
  return 0;
}
