// Fuzz target for the quick-play save as the main menu resumes it: the file
// is checked, its set-up indexes exist, and the table takes its state only
// when the state is sound.
#include <cstdlib>
#include <vector>

#include "fuzz_driver.h"
#include "saves/quick_play_file.h"
#include "simulation/pool.h"

namespace {
class StillClock final : public ks::PoolHost {
 public:
  uint32_t GetTime() override { return 0; }
};
StillClock g_clock;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ks::app;
  const std::optional<QuickPlaySave> save = ParseQuickPlay(std::vector<std::uint8_t>(data, data + size));
  if (!save) return 0;
  if (!save->setup.Valid() || save->state.size() != kQuickPlayStateSize) std::abort();
  ks::DeviceRand random(3);
  ks::Pool pool;
  pool.random = &random;
  pool.host = &g_clock;
  pool.InitPhysicsConstants();
  if (pool.ReadState(save->state.data(), save->state.size())) pool.RestoreBallState();
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  ks::DeviceRand random(3);
  ks::Pool pool;
  pool.random = &random;
  pool.host = &g_clock;
  pool.InitPhysicsConstants();
  pool.GameType = 2;
  pool.RackBalls();
  pool.PlaceBalls(2);
  ks::app::QuickPlaySave save;
  save.state.assign(ks::app::kQuickPlayStateSize, 0);
  pool.WriteState(save.state.data(), save.state.size());
  save.setup.secondPlayer = 1;
  save.setup.menuGame = 1;
  return {ks::app::SerialiseQuickPlay(save)};
}
