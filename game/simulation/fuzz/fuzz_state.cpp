// Fuzz target for the table-state stream: any accepted stream is made live,
// a shot is played from it and judged by the rules, all without a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_driver.h"
#include "simulation/pool.h"

namespace {

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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PlayFrom(data, size);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  // A racked table of each game type, with a few aims, powers and
  // resignations in the bytes after the stream.
  std::vector<std::vector<std::uint8_t>> seeds;
  for (int type = 0; type < 4; ++type) {
    Harness seed;
    seed.pool.GameType = type;
    seed.pool.RackBalls();
    seed.pool.PlaceBalls(type);
    std::vector<uint8_t> base(ks::Pool::kTableStateSize + 3, 0);
    if (seed.pool.WriteState(base.data(), base.size()) != ks::Pool::kTableStateSize) std::abort();
    base[776] = static_cast<uint8_t>(type * 61);
    base[777] = static_cast<uint8_t>(40 + type * 50);
    base[778] = static_cast<uint8_t>(type == 3);
    seeds.push_back(base);
  }
  return seeds;
}
