// The services the table simulation takes from the game: a millisecond clock,
// effect playback, an archive-member reader, drawing hooks and the random
// source. The game's later subsystems implement them; tests give fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ks {

struct EventPair;

// The application side: the game clock and the preference the physics reads.
class PoolHost {
 public:
  virtual ~PoolHost() = default;
  // Game clock in milliseconds; wraps, differences are taken unsigned.
  virtual uint32_t GetTime() = 0;
  // While set the sliding friction is doubled.
  virtual bool FrictionFlag() const { return false; }
};

// The audio device's effect interface.
class GameSound {
 public:
  virtual ~GameSound() = default;
  // Samples handed over as they are (8-bit mono at 8000 Hz for the table).
  virtual int LoadEffect(const uint8_t* data, uint32_t samples, int channels, int bits, int rate) = 0;
  // Plays effect `effect` after `delay` ticks of 4 ms.
  virtual int PlayEffect(int effect, uint32_t delay) = 0;
  // The device operation after PlayEffect; the wave-out device does nothing.
  virtual void PlaySound(int number) = 0;
};

// Reads one archive member whole; false when it is missing.
class MemberReader {
 public:
  virtual ~MemberReader() = default;
  virtual bool ReadMember(std::string_view name, std::vector<uint8_t>& out) = 0;
};

// Hooks of the view and the application; the defaults do nothing.
class PoolObserver {
 public:
  virtual ~PoolObserver() = default;
  virtual void DrawHud() {}
  virtual void DrawFrame() {}
  virtual void OnGameEvent(int /*code*/) {}
  virtual void OnGameEventData(int /*code*/, const void* /*block*/, size_t /*size*/) {}
  virtual void OnViewChanged() {}
  // The events one step applies (a candidate the step drops, such as a pair
  // of balls that are not touching, is left out), just before it applies
  // them; `time` is the simulation time of the step.
  virtual void OnStepEvents(const EventPair* /*events*/, int /*count*/, uint32_t /*time*/) {}
};

// The device's 15-bit rand (0..0x7FFF).
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual int Rand() = 0;
};

inline constexpr int kRandMax = 0x7FFF;

// The device C run-time's generator: a linear congruence whose bits 16-30
// are the result. Used where no application generator is given.
class DeviceRand final : public RandomSource {
 public:
  explicit DeviceRand(uint32_t seed = 1) : state_(seed) {}
  void Seed(uint32_t seed) { state_ = seed; }
  int Rand() override {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }

 private:
  uint32_t state_;
};

}  // namespace ks
