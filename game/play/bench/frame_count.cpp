// ks_play_frame_count WIDTH HEIGHT FRAMES: draws the bench scene's full frame
// FRAMES times with the camera standing still inside DrawFullFrames (the
// room and the table are copied back from the kept picture), FRAMES full
// frames each after a camera step inside DrawCameraMovedFrames (everything
// drawn), FRAMES frames with nothing changed inside DrawStillFrames and with
// only the stick moving inside DrawStickFrames, and FRAMES frames of a
// recorded break incrementally inside DrawBreakFrames, so that an
// instruction counter collecting only one of them sees whole frames and
// nothing else.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "play_bench_scene.h"

namespace {

__attribute__((noinline)) void DrawFullFrames(ks::play::bench::BenchScene& s, int frames) {
  for (int i = 0; i < frames; ++i) s.DrawFull();
}

__attribute__((noinline)) void DrawCameraMovedFrames(ks::play::bench::BenchScene& s, int frames) {
  for (int i = 0; i < frames; ++i) s.DrawCameraMoved(static_cast<std::size_t>(i));
}

__attribute__((noinline)) void DrawBreakFrames(ks::play::bench::BenchScene& s, int frames) {
  for (int i = 0; i < frames; ++i) s.DrawBreakFrame(static_cast<std::size_t>(i));
}

// Frames with nothing changed (the computer thinking): incremental, at rest.
__attribute__((noinline)) void DrawStillFrames(ks::play::bench::BenchScene& s, int frames) {
  for (int i = 0; i < frames; ++i) s.rig->scene->DrawFrame();
}

// Frames where only the stick moves, pulled back a little more each time.
__attribute__((noinline)) void DrawStickFrames(ks::play::bench::BenchScene& s, int frames) {
  for (int i = 0; i < frames; ++i) {
    s.rig->scene->scene.host.stickClearance = 0x20000 + 0x4000 * (i % 8);
    s.rig->scene->DrawFrame();
  }
}

// The whole break, frame by frame, from the stroke until every ball is at rest.
__attribute__((noinline)) void DrawWholeBreak(ks::play::bench::BenchScene& s) {
  for (std::size_t i = 0; i < s.breakFrames.size(); ++i) s.DrawBreakFrame(i);
}

int Positive(const char* text) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  return (end != text && *end == 0 && v > 0 && v <= 4096) ? static_cast<int>(v) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A fifth argument "trace" prints each frame of the break.
  const bool trace = argc == 5 && std::string(argv[4]) == "trace";
  const bool args = argc == 4 || trace;
  const int w = args ? Positive(argv[1]) : 0;
  const int h = args ? Positive(argv[2]) : 0;
  const int frames = args ? Positive(argv[3]) : 0;
  if (w == 0 || h == 0 || frames == 0) {
    std::fprintf(stderr, "usage: ks_play_frame_count WIDTH HEIGHT FRAMES [trace] (each 1 to 4096)\n");
    return 2;
  }
  ks::play::bench::BenchScene s(w, h);
  if (!s.Ok()) {
    std::fprintf(stderr, "ks_play_frame_count: no display\n");
    return 1;
  }
  s.DrawFull();
  DrawFullFrames(s, frames);
  DrawCameraMovedFrames(s, frames);
  s.DrawFull();
  DrawStillFrames(s, frames);
  s.rig->scene->view.stickOnly = 1;
  DrawStickFrames(s, frames);
  s.rig->scene->view.stickOnly = 0;
  s.rig->scene->scene.host.stickClearance = 0x20000;
  // During a shot the stick is not shown.
  s.rig->scene->scene.host.stickShown = false;
  s.DrawFull();
  DrawBreakFrames(s, frames);
  s.DrawFull();
  DrawWholeBreak(s);
  // Once more, counting what the frames drew.
  s.DrawFull();
  int full = 0, balls = 0;
  for (std::size_t i = 0; i < s.breakFrames.size(); ++i) {
    s.DrawBreakFrame(i);
    full += s.rig->scene->scene.LastFrameFull() ? 1 : 0;
    if (trace)
      std::printf("frame %zu full %d changed %d scratch %u\n", i, s.rig->scene->scene.LastFrameFull() ? 1 : 0,
                  s.rig->scene->scene.ChangedCount(), s.rig->display->m_ScratchUsed);
    balls += s.rig->scene->scene.ChangedCount();
  }
  std::printf("%dx%d: %zu break frames recorded\n", w, h, s.breakFrames.size());
  std::printf("of them drawn in full: %d; balls drawn again a frame: %.1f\n", full,
              static_cast<double>(balls) / static_cast<double>(s.breakFrames.size()));
  return 0;
}
