// The play control's frames: a whole computer turn (thinking in slices, its
// placement, aim and stroke, the shot) with a frame drawn after every tick,
// at 240 x 320. The counters give the heaviest frame of the turn and the
// median frame of its shot, in milliseconds of wall time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "play/control.h"
#include "play/track_lines.h"
#include "play_bench_scene.h"

namespace ks::play::bench {
namespace {

std::uint32_t WallMs() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void ComputerTurnFrames(benchmark::State& state) {
  BenchScene s(240, 320);
  if (!s.Ok()) return state.SkipWithError("no display");
  std::vector<double> all, shot;
  double heaviest = 0;
  KeyMap keys;
  for (auto _ : state) {
    state.PauseTiming();
    Pool& pool = s.rig->table->pool();
    pool.PlaceBalls(pool.GameType);
    pool.OpponentKind = 2;
    pool.skill = 11;
    pool.rules.CurrentPlayer = 1;
    pool.rules.TurnFlags = 1;
    PlayHost host;
    host.clock = WallMs;
    host.scene = &s.rig->scene->scene.host;
    host.screenWidth = 240;
    host.screenHeight = 320;
    Control control(&pool, &s.rig->scene->view, &keys, host);
    control.Start();
    s.DrawFull();
    state.ResumeTiming();
    bool struck = false;
    for (int tick = 0; tick < 20000; ++tick) {
      const bool running = control.ShotRunning();
      s.rig->clock.now += 31;
      const auto t0 = std::chrono::steady_clock::now();
      control.HandleEvent({kMsgTimer, 1, 0, s.rig->clock.now});
      s.rig->scene->DrawFrame();
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      all.push_back(ms);
      heaviest = std::max(heaviest, ms);
      if (running) shot.push_back(ms);
      struck = struck || control.ShotRunning();
      if (struck && !control.ShotRunning()) break;
    }
  }
  std::sort(shot.begin(), shot.end());
  state.counters["heaviest_ms"] = heaviest;
  state.counters["shot_median_ms"] = shot.empty() ? 0.0 : shot[shot.size() / 2];
  state.counters["frames"] = static_cast<double>(all.size()) / static_cast<double>(state.iterations());
}
BENCHMARK(ComputerTurnFrames)->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ks::play::bench

namespace ks::play::bench {
namespace {

// One tick of the track lines' background preview of a break, from the
// restart to the end of the shot; the time is the mean tick.
void TrackLinesTick(benchmark::State& state) {
  test::FrameClock clock;
  TableSetup setup;
  setup.game = GameKind::kNineBall;
  Table table(setup, &clock);
  TrackLinesMode mode;
  mode.pool = &table.pool();
  mode.Init(nullptr);
  mode.previewPower = 0x1800000;
  mode.Restart();
  int ticks = 0;
  for (auto _ : state) {
    if (mode.Finished()) {
      state.PauseTiming();
      mode.Restart();
      state.ResumeTiming();
    }
    mode.HandleEvent({kMsgTimer, 1, 0, 0});
    ++ticks;
  }
  state.counters["ticks"] = ticks;
}
BENCHMARK(TrackLinesTick)->Unit(benchmark::kMicrosecond);

// A new aim: the preview starts again from a copy of the table.
void TrackLinesRestart(benchmark::State& state) {
  test::FrameClock clock;
  TableSetup setup;
  setup.game = GameKind::kNineBall;
  Table table(setup, &clock);
  TrackLinesMode mode;
  mode.pool = &table.pool();
  mode.Init(nullptr);
  for (auto _ : state) mode.Restart();
}
BENCHMARK(TrackLinesRestart)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ks::play::bench
