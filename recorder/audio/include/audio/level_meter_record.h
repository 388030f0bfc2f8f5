// The recording level meter: the peak level of each block for the level
// display, and the time since the last sample above a threshold for
// voice-activated recording. Blocks pass through unchanged.
#pragma once

#include <atomic>

#include "audio/link.h"

namespace audio {

class LevelMeterRecord : public Processor<PCMData, PCMData> {
 public:
  explicit LevelMeterRecord(double timeout_seconds);

  void set_threshold(double threshold);
  // True once no sample above the threshold came for longer than the time-out.
  bool is_silence_timeout() const { return silence_time_.load() > timeout_; }
  // The peak level of the last block, 0..1 (the same for every channel).
  double get_level(int channel = 0) const;
  double get_silence_time() const { return silence_time_.load(); }

 protected:
  void process(PCMData& out, const PCMData& in) override;

 private:
  std::atomic<double> level_{0.0};
  std::atomic<double> threshold_{0.0};
  std::atomic<double> silence_time_{0.0};
  const double timeout_;
};

}  // namespace audio
