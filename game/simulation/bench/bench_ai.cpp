// The computer opponent: the heaviest single frame of a think, and whole
// thinks per game type and skill with the number of frames they take; once
// after the break, and over every think of a seeded rack.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "simulation/ai.h"
#include "simulation/pool.h"

namespace {

class Clock final : public ks::PoolHost {
 public:
  uint32_t GetTime() override { return now += 8; }
  uint32_t now = 0;
};

// A racked table after a seeded break, ready for the computer to think.
struct Table {
  Clock clock;
  ks::DeviceRand rng{1};
  ks::Pool pool;
  Table(int game, int skill) {
    pool.host = &clock;
    pool.random = &rng;
    pool.silent = 1;
    pool.InitCushionGeometry();
    pool.InitPocketPositions();
    pool.InitPhysicsConstants();
    pool.RackBalls();
    pool.GameType = static_cast<int16_t>(game);
    pool.OpponentKind = 0;
    pool.PlaceBalls(static_cast<int16_t>(game));
    pool.StartClock();
    pool.skill = static_cast<int16_t>(skill);
    pool.rules.TurnFlags = 1;
    ks::AiOpponent ai(pool);
    ai.AiThink();
    ai.AiFinishThink();
    ai.ApplyShot();
    pool.ResetShot();
    pool.StartShot();
    pool.FinishShot();
    pool.rules.TurnFlags = 0;
    if (pool.ballStates[0].state == ks::kBallOff) pool.PlaceCueBallInHand();
  }
};

void BM_Think(benchmark::State& state) {
  const int game = static_cast<int>(state.range(0));
  const int skill = static_cast<int>(state.range(1));
  Table t(game, skill);
  ks::AiOpponent ai(t.pool);
  int frames = 0;
  double heaviest = 0;
  for (auto _ : state) {
    ai.AiThink();
    frames = 1;
    while (true) {
      const auto a = std::chrono::steady_clock::now();
      const int done = ai.AiFinishThink();
      const auto b = std::chrono::steady_clock::now();
      heaviest = std::max(heaviest, std::chrono::duration<double, std::milli>(b - a).count());
      if (done) break;
      ++frames;
    }
  }
  state.counters["frames"] = frames;
  state.counters["heaviest_frame_ms"] = heaviest;
}
BENCHMARK(BM_Think)
    ->ArgsProduct({{1, 2, 3, 4, 5, 6}, {3, 7, 11}})
    ->ArgNames({"game", "skill"})
    ->Unit(benchmark::kMillisecond);

// One seeded rack played by the computer on both sides: the heaviest frame
// and the longest think (in frames) over all its shots.
void BM_Rack(benchmark::State& state) {
  const int game = static_cast<int>(state.range(0));
  const int skill = static_cast<int>(state.range(1));
  double heaviest = 0;
  int longest = 0, thinks = 0;
  for (auto _ : state) {
    Table t(game, skill);
    t.pool.OpponentKind = 2;
    t.pool.rules.MatchGoal = 1;
    t.pool.rules.PointsGoal = 14;
    ks::AiOpponent ai(t.pool);
    thinks = 0;
    for (int shot = 0; shot < 200; ++shot) {
      if (t.pool.ballStates[0].state == ks::kBallOff) t.pool.PlaceCueBallInHand();
      ai.AiThink();
      int frames = 1;
      while (true) {
        const auto a = std::chrono::steady_clock::now();
        const int done = ai.AiFinishThink();
        const auto b = std::chrono::steady_clock::now();
        heaviest = std::max(heaviest, std::chrono::duration<double, std::milli>(b - a).count());
        if (done) break;
        ++frames;
      }
      longest = std::max(longest, frames);
      ++thinks;
      ai.ApplyShot();
      t.pool.ResetShot();
      t.pool.StartShot();
      t.pool.FinishShot();
      t.pool.EvaluateShot();
      if (t.pool.rules.Outcome == 1 || (t.pool.rules.TurnFlags & 8)) break;
    }
  }
  state.counters["thinks"] = thinks;
  state.counters["longest_think_frames"] = longest;
  state.counters["heaviest_frame_ms"] = heaviest;
}
BENCHMARK(BM_Rack)
    ->ArgsProduct({{1, 2, 3, 4, 5, 6}, {3, 7, 11}})
    ->ArgNames({"game", "skill"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
