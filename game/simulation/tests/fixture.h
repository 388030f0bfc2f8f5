// Small fakes and set-ups shared by the simulation tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "simulation/pool.h"
#include "simulation/table.h"

namespace ks::test {

class FakeClock final : public PoolHost {
 public:
  uint32_t GetTime() override { return now; }
  bool FrictionFlag() const override { return friction; }
  uint32_t now = 0;
  bool friction = false;
};

class FakeSound final : public GameSound {
 public:
  int LoadEffect(const uint8_t*, uint32_t samples, int channels, int bits, int rate) override {
    loaded.push_back({samples, channels * 10000 + bits * 100 + rate / 1000});
    return 0;
  }
  int PlayEffect(int effect, uint32_t delay) override {
    played.emplace_back(effect, delay);
    return 0;
  }
  void PlaySound(int) override {}
  std::vector<std::pair<uint32_t, int>> loaded;
  std::vector<std::pair<int, uint32_t>> played;
};

// A bare Pool on the small table with every ball off, services wired to
// fakes: for tests that place balls by hand and pin the Pool itself. Racked
// tables come from ks::Table.
struct Table {
  FakeClock clock;
  FakeSound sound;
  DeviceRand rng{7};
  Pool pool;

  Table() {
    pool.host = &clock;
    pool.sound = &sound;
    pool.random = &rng;
    pool.InitPhysicsConstants();
    pool.StartClock();
    for (auto& b : pool.ballStates) b.state = kBallOff;
  }
  void Put(int ball, double x, double z) {
    BallState& b = pool.ballStates[static_cast<size_t>(ball)];
    b.state = kBallAtRest;
    b.position = FixVec3{static_cast<int32_t>(std::lround(x * 65536)), 0, static_cast<int32_t>(std::lround(z * 65536))};
    b.orientation = FixQuat{};
  }
  // Aims the cue ball along the heading (degrees, 0 = +z, 90 = +x), through
  // the one conversion from real units.
  void Aim(double degrees, double power, double side = 0, double height = 0, double elevationDeg = 0) {
    const std::optional<CueParameters> cue = ToCueParameters(Shot{degrees, power, side, height, elevationDeg});
    if (!cue) {
      ADD_FAILURE() << "shot cannot be converted";
      return;
    }
    pool.cueDirection = cue->direction;
    pool.cueTip = cue->tip;
    pool.cueElevation = cue->elevation;
    pool.strikePower = cue->power;
  }
  // Strikes and runs the shot to rest the "Zip To End" way.
  void Shoot() {
    pool.ResetShot();
    pool.StartShot();
    pool.FinishShot();
  }
  double X(int b) const { return pool.ballStates[static_cast<size_t>(b)].position.x / 65536.0; }
  double Z(int b) const { return pool.ballStates[static_cast<size_t>(b)].position.z / 65536.0; }
  uint8_t State(int b) const { return pool.ballStates[static_cast<size_t>(b)].state; }
};

}  // namespace ks::test
