// The computer opponent: the heaviest single frame of a think, and whole
// thinks per game type and skill with the number of frames they take; once
// after the break, and over every think of a seeded rack.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "simulation/ai.h"
#include "simulation/table.h"

namespace {

class Clock final : public ks::PoolHost {
 public:
  uint32_t GetTime() override { return now += 8; }
  uint32_t now = 0;
};

// A racked table after a seeded break, ready for the computer to think.
struct Racked {
  Clock clock;
  ks::Table table;
  ks::Pool& pool;
  Racked(int game, int skill) : table(Setup(game), &clock), pool(table.pool()) {
    pool.skill = static_cast<int16_t>(skill);
    ks::AiOpponent ai(pool);
    ai.AiThink();
    ai.AiFinishThink();
    ai.ApplyShot();
    table.Strike();
    table.Finish();
    pool.rules.TurnFlags = 0;
    if (pool.ballStates[0].state == ks::kBallOff) pool.PlaceCueBallInHand();
  }
  static ks::TableSetup Setup(int game) {
    ks::TableSetup setup;
    setup.game = static_cast<ks::GameKind>(game);
    return setup;
  }
};

void BM_Think(benchmark::State& state) {
  const int game = static_cast<int>(state.range(0));
  const int skill = static_cast<int>(state.range(1));
  Racked t(game, skill);
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
    Racked t(game, skill);
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
      t.table.Strike();
      t.table.Finish();
      t.table.Judge();
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
