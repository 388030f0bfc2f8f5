// Speed of the table simulation: a full break, a typical pot, the primitives.
#include <benchmark/benchmark.h>

#include <random>

#include "simulation/table.h"

namespace ks {
namespace {

// A practice rack of the game type, silent.
TableSetup Practice(GameKind game) {
  TableSetup setup;
  setup.game = game;
  setup.seed = 7;
  return setup;
}

void BM_Break16Balls(benchmark::State& state) {
  Table t(Practice(GameKind::kStraight));
  t.Aim(Shot{0, 500});
  const Pool start = t.pool();
  uint32_t steps = 0;
  for (auto _ : state) {
    t.pool() = start;
    t.Strike();
    t.Finish();
    steps = t.pool().stepCount;
    benchmark::DoNotOptimize(t.pool().ballStates);
  }
  state.counters["steps"] = steps;
  state.counters["table_s"] = t.pool().simClock / 16777216.0;
}
BENCHMARK(BM_Break16Balls)->Unit(benchmark::kMicrosecond);

void BM_PotShot(benchmark::State& state) {
  Table t(Practice(GameKind::kStraight));
  Pool& p = t.pool();
  for (auto& b : p.ballStates) b.state = kBallOff;
  auto put = [&](int b, int32_t x, int32_t z) {
    p.ballStates[static_cast<size_t>(b)].state = kBallAtRest;
    p.ballStates[static_cast<size_t>(b)].position = FixVec3{x, 0, z};
  };
  put(0, 0, -10 << 16);
  put(1, 0, 0);
  put(2, 5 << 16, 10 << 16);
  put(3, -6 << 16, 20 << 16);
  t.Aim(Shot{0, 120});
  const Pool start = p;
  for (auto _ : state) {
    p = start;
    t.Strike();
    t.Finish();
    benchmark::DoNotOptimize(p.ballStates);
  }
}
BENCHMARK(BM_PotShot)->Unit(benchmark::kMicrosecond);

void BM_ISqrt64(benchmark::State& state) {
  std::mt19937_64 g(1);
  uint64_t v = g();
  for (auto _ : state) {
    benchmark::DoNotOptimize(ISqrt64(v));
    v += 0x9E3779B97F4A7C15ull;
  }
}
BENCHMARK(BM_ISqrt64);

void BM_UDiv64By32(benchmark::State& state) {
  uint32_t hi = 1, lo = 12345, d = 0x87654321u;
  for (auto _ : state) {
    benchmark::DoNotOptimize(UDiv64By32(hi, lo, d, nullptr));
    lo += 0x9E3779B9u;
  }
}
BENCHMARK(BM_UDiv64By32);

void BM_ArcTan2(benchmark::State& state) {
  int32_t a = 12345, b = 67890;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ArcTan2(a, b));
    a += 7919;
  }
}
BENCHMARK(BM_ArcTan2);

void BM_Normalize3DScaled(benchmark::State& state) {
  int32_t x = 1234567;
  for (auto _ : state) {
    FixVec3 v{x, x >> 3, -x};
    benchmark::DoNotOptimize(Normalize3DScaled(v));
    x += 99991;
  }
}
BENCHMARK(BM_Normalize3DScaled);

void BM_SinCos(benchmark::State& state) {
  FixAngle a = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SinCos(a));
    a += 1237;
  }
}
BENCHMARK(BM_SinCos);

}  // namespace
}  // namespace ks
