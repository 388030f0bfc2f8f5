// Speed of the table simulation: a full break, a typical pot, the primitives.
#include <benchmark/benchmark.h>

#include <random>

#include "simulation/pool.h"

namespace ks {
namespace {

class Clock final : public PoolHost {
 public:
  uint32_t GetTime() override { return 0; }
};

struct Scene {
  Clock clock;
  DeviceRand rng{7};
  Pool pool;
  Scene() {
    pool.host = &clock;
    pool.random = &rng;
    pool.silent = 1;
    pool.InitPhysicsConstants();
  }
};

void BM_Break16Balls(benchmark::State& state) {
  Scene s;
  s.pool.OpponentKind = 0;
  s.pool.PlaceBalls(1);
  s.pool.cueDirection = FixVec3{0, 0, -kFixOne30};
  s.pool.strikePower = 500 << 16;
  const Pool start = s.pool;
  uint32_t steps = 0;
  for (auto _ : state) {
    s.pool = start;
    s.pool.StartShot();
    s.pool.FinishShot();
    steps = s.pool.stepCount;
    benchmark::DoNotOptimize(s.pool.ballStates);
  }
  state.counters["steps"] = steps;
  state.counters["table_s"] = s.pool.simClock / 16777216.0;
}
BENCHMARK(BM_Break16Balls)->Unit(benchmark::kMicrosecond);

void BM_PotShot(benchmark::State& state) {
  Scene s;
  for (auto& b : s.pool.ballStates) b.state = kBallOff;
  auto put = [&](int b, int32_t x, int32_t z) {
    s.pool.ballStates[static_cast<size_t>(b)].state = kBallAtRest;
    s.pool.ballStates[static_cast<size_t>(b)].position = FixVec3{x, 0, z};
  };
  put(0, 0, -10 << 16);
  put(1, 0, 0);
  put(2, 5 << 16, 10 << 16);
  put(3, -6 << 16, 20 << 16);
  s.pool.cueDirection = FixVec3{0, 0, -kFixOne30};
  s.pool.strikePower = 120 << 16;
  const Pool start = s.pool;
  for (auto _ : state) {
    s.pool = start;
    s.pool.StartShot();
    s.pool.FinishShot();
    benchmark::DoNotOptimize(s.pool.ballStates);
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
