// The scene the benchmarks draw: room, table, 16 balls and the stick from
// the table end, on a headless screen of the given size, and the ball
// positions of a break recorded frame by frame so that incremental frames
// can be replayed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "play_fixture.h"
#include "screen_config.h"
#include "temp_device.h"

namespace ks::play::bench {

struct BenchScene {
  std::unique_ptr<ce::test::ScreenConfig> screen;
  std::unique_ptr<test::Rig> rig;
  std::vector<std::array<BallState, kBallCount>> breakFrames;

  BenchScene(int width, int height) {
    static ce::test::TempDevice device;
    const std::string w = std::to_string(width), h = std::to_string(height);
    screen = std::make_unique<ce::test::ScreenConfig>(std::initializer_list<std::pair<const char*, const char*>>{
        {"DEVICE_BACKEND", "headless"}, {"DEVICE_SCREEN_WIDTH", w.c_str()}, {"DEVICE_SCREEN_HEIGHT", h.c_str()}});
    rig = std::make_unique<test::Rig>(width, height, 16, 0);
    if (!rig->display) return;
    rig->scene->SetCamera(CameraPreset::kTableEnd);
    rig->scene->scene.host.stickShown = true;
    rig->scene->DrawFrame();
    // Record a break.
    Table& t = *rig->table;
    const auto rest = t.pool().ballStates;
    Shot shot;
    shot.power = 400;
    t.Aim(shot);
    t.Strike();
    for (bool running = true; running && breakFrames.size() < 400;) {
      rig->clock.now += 31;
      running = t.PlayFrame();
      breakFrames.push_back(t.pool().ballStates);
    }
    t.pool().ballStates = rest;
  }
  bool Ok() const { return rig && rig->display; }

  void DrawFull() {
    rig->scene->scene.ForceFull();
    rig->scene->DrawFrame();
  }
  // A full frame after the camera turned a step (alternately one way and
  // back): the room and the table are drawn again.
  void DrawCameraMoved(std::size_t i) {
    View& v = rig->scene->view;
    v.Rotate(0, (i & 1) != 0 ? 256 : -256, 0);
    v.Recompute();
    v.Apply();
    DrawFull();
  }
  // The next frame of the recorded break, drawn incrementally, as during a
  // shot (no stick).
  void DrawBreakFrame(std::size_t i) {
    rig->table->pool().ballStates = breakFrames[i % breakFrames.size()];
    rig->scene->DrawFrame();
  }
};

}  // namespace ks::play::bench
