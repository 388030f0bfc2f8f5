// Fuzz target for the table-state stream: any accepted stream is made live,
// a shot is played from it and judged by the rules, all without a crash or a hang.
// Built as a libFuzzer program with clang, else with the small driver below.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "simulation/pool.h"

namespace {

long g_accepted = 0;
long g_steps = 0;

class StillClock final : public ks::PoolHost {
 public:
  uint32_t GetTime() override { return 0; }
};

struct Harness {
  StillClock clock;
  ks::DeviceRand rng{5};
  ks::Pool pool;
  Harness() {
    pool.host = &clock;
    pool.random = &rng;
    pool.InitPhysicsConstants();
    pool.StartClock();
  }
};

void PlayFrom(const uint8_t* data, size_t size) {
  Harness h;
  if (!h.pool.ReadState(data, size)) return;
  h.pool.RestoreBallState();
  ++g_accepted;
  // Aim and power from the stream's tail so the shot varies with the input.
  const uint8_t a = size > 776 ? data[776] : 0;
  const ks::FixSinCos dir = ks::SinCos(static_cast<ks::FixAngle>(a) << 10);
  h.pool.cueDirection = ks::FixVec3{dir.sin, 0, dir.cos};
  h.pool.OrientCueBall();
  (void)h.pool.ProbeCueLine(dir.sin, dir.cos);
  h.pool.strikePower = (40 + (size > 777 ? data[777] : 60)) << 16;
  h.pool.ResetShot();
  h.pool.StartShot();
  h.pool.FinishShot();
  h.pool.EvaluateShot();
  h.pool.Miscall();
  if (size > 778 && (data[778] & 1)) h.pool.Resign();
  g_steps += h.pool.stepCount;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PlayFrom(data, size);
  return 0;
}

#ifndef KS_LIBFUZZER
// Deterministic driver: mutates a valid stream (racked table) with a seeded
// generator so the same inputs run every time.
int main(int argc, char** argv) {
  long runs = 300;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-runs=", 6) == 0) runs = std::strtol(argv[i] + 6, nullptr, 10);
  }
  Harness seed;
  seed.pool.GameType = 3;
  seed.pool.RackBalls();
  seed.pool.PlaceBalls(3);
  std::vector<uint8_t> base(ks::Pool::kTableStateSize + 2, 0);
  if (seed.pool.WriteState(base.data(), base.size()) != ks::Pool::kTableStateSize) return 1;
  uint32_t state = 0x9E3779B9u;
  auto next = [&state]() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (long run = 0; run < runs; ++run) {
    std::vector<uint8_t> input = base;
    input[776] = static_cast<uint8_t>(next());      // aim
    input[777] = static_cast<uint8_t>(next());      // power
    input.push_back(static_cast<uint8_t>(next()));  // resign or not
    const uint32_t kind = next() % 4;
    if (kind == 0) {
      for (auto& b : input) b = static_cast<uint8_t>(next());
    } else {
      const int flips = 1 + static_cast<int>(next() % 16);
      for (int f = 0; f < flips; ++f) {
        const size_t at = next() % input.size();
        input[at] = kind == 1 ? static_cast<uint8_t>(next()) : static_cast<uint8_t>(input[at] ^ (1u << (next() % 8)));
      }
      if (kind == 3) input.resize(next() % input.size());
    }
    PlayFrom(input.data(), input.size());
  }
  std::printf("%ld runs, %ld accepted, %ld steps\n", runs, g_accepted, g_steps);
  return 0;
}
#endif
