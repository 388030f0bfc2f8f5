// The sound output: the last stage of a playback pipeline. Nobody pushes to
// it; its own thread pulls PCM from the linked provider and feeds the wave
// output device through three rotating buffers of 200 ms each. play, pause,
// stop and the volume return at once; all device work happens on the
// player's thread.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/link.h"
#include "liba/nocopy.h"

namespace audio {

class PlayerPCMImpl;

class PlayerPCM : public Consumer<PCMData>, private liba::Nocopy {
 public:
  PlayerPCM();
  ~PlayerPCM() override;

  // A push into the player is a programming error: the program ends.
  void on_data(const PCMData& block) override;

  // Each answers whether the player thread could be woken.
  bool play();
  bool stop();
  bool pause();
  // Clamped to [0, 1]; applied to both channels of an open device.
  void set_volume(double volume);
  double get_volume();

  // 0 closed, 1 playing, 2 draining (for tests and the display).
  std::uint32_t get_state();
  // True once a block came that no device could open for (a format the
  // wave output cannot play): it was dropped and nothing plays until the
  // next play().
  bool has_failed();

  // The player's stream clock, in seconds since the player was made: how
  // much it has pulled from its provider, and how much of that the device
  // has played (what is heard, from the device's own position). Blocks that
  // a stop or a failure dropped count as played, so the two meet whenever
  // nothing is in flight. Read both under the player's link lock to see
  // them at one moment between pulls.
  struct Clock {
    double pulled = 0.0;
    double played = 0.0;
  };
  Clock get_clock();
  // Bytes of one device buffer in the last opened format.
  std::uint32_t get_buffer_size();

 private:
  friend class PlayerPCMImpl;
  std::unique_ptr<PlayerPCMImpl> impl_;
};

}  // namespace audio
