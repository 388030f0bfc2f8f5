// The table view's hot paths: a full frame (room, table, 16 balls, stick)
// at the two screen sizes, an incremental frame during a break, one ball
// drawn at three sizes (pixels a second), and loading the table model with
// its welding.
#include <benchmark/benchmark.h>

#include <cmath>

#include "play_bench_scene.h"
#include "table_assets.h"

namespace ks::play::bench {
namespace {

// A full frame with the camera standing still: the room and the table come
// back from the kept picture.
void FullFrameCameraStill(benchmark::State& state) {
  BenchScene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!s.Ok()) return state.SkipWithError("no display");
  for (auto _ : state) {
    s.DrawFull();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(FullFrameCameraStill)->Args({240, 320})->Args({480, 640})->Unit(benchmark::kMicrosecond);

// A full frame after the camera turned a step: everything is drawn.
void FullFrameCameraMoved(benchmark::State& state) {
  BenchScene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!s.Ok()) return state.SkipWithError("no display");
  std::size_t i = 0;
  for (auto _ : state) {
    s.DrawCameraMoved(i++);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(FullFrameCameraMoved)->Args({240, 320})->Args({480, 640})->Unit(benchmark::kMicrosecond);

void IncrementalBreakFrame(benchmark::State& state) {
  BenchScene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!s.Ok() || s.breakFrames.empty()) return state.SkipWithError("no display");
  s.rig->scene->scene.host.stickShown = false;
  s.DrawFull();
  std::size_t i = 0;
  for (auto _ : state) {
    s.DrawBreakFrame(i++);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(IncrementalBreakFrame)->Args({240, 320})->Args({480, 640})->Unit(benchmark::kMicrosecond);

// One ball of radius r in the middle of a 480x640 screen, drawn again and
// again by `draw` after one whole Draw; the counter is its disc's pixels a
// second.
template <typename DrawOnce>
void DrawOneBall(benchmark::State& state, DrawOnce draw) {
  BenchScene s(480, 640);
  if (!s.Ok()) return state.SkipWithError("no display");
  const double r = static_cast<double>(state.range(0));
  BallSprite& ball = s.rig->scene->sprites[11];
  ball.SetScreen(240 << 16, 320 << 16, static_cast<std::int32_t>(r * 65536), 0);
  ball.Draw();
  for (auto _ : state) {
    draw(ball);
    benchmark::ClobberMemory();
  }
  state.counters["pixels"] =
      benchmark::Counter(3.14159265 * r * r * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Both passes: the markings into the 8-bit buffer, then the sphere walk.
void BallSpriteDraw(benchmark::State& state) {
  DrawOneBall(state, [](BallSprite& ball) { ball.Draw(); });
}
BENCHMARK(BallSpriteDraw)->Arg(6)->Arg(22)->Arg(60)->Arg(120);

// The sphere walk alone (the inner spans and the blended rim) over the
// markings the first Draw left.
void BallSphereWalk(benchmark::State& state) {
  DrawOneBall(state, [](BallSprite& ball) { ball.DrawSurface(); });
}
BENCHMARK(BallSphereWalk)->Arg(6)->Arg(22)->Arg(60)->Arg(120);

void LoadTableModel(benchmark::State& state) {
  BenchScene s(240, 320);
  if (!s.Ok()) return state.SkipWithError("no display");
  const auto bytes = ksomake::EncodeModel(
      tablemake::TableModel(state.range(0) == 0 ? tablemake::SmallTable() : tablemake::LargeTable()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(s.rig->scene->table.LoadFromBytes(bytes));
  }
}
BENCHMARK(LoadTableModel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ks::play::bench
