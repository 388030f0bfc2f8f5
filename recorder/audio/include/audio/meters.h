// Pass-through meters that the display reads: the time meter sums the
// duration of the audio that passes; the playback level meter keeps, for
// each block it passes on, 15 peak levels per second stamped with play time,
// so it can answer the level that is audible now rather than that of the
// block last pulled (which is up to 600 ms of buffers ahead).
#pragma once

#include <atomic>
#include <deque>
#include <vector>

#include "audio/link.h"
#include "liba/timer.h"

namespace audio {

class TimeMeter : public Processor<PCMData, PCMData> {
 public:
  // Seconds of audio passed since construction or the last reset.
  double get_time() const { return time_.load(); }
  void reset() { time_ = 0.0; }

 protected:
  void process(PCMData& out, const PCMData& in) override;

 private:
  std::atomic<double> time_{0.0};
};

class LevelMeter : public Processor<PCMData, PCMData> {
 public:
  LevelMeter();
  // The level in [0, 1) at the present play time; 0 when nothing plays.
  // Both channels answer the same (the points come from the first channel).
  double get_level(int channel);

  // Rows of points kept, for tests and the display.
  std::size_t get_entry_count();

 protected:
  void process(PCMData& out, const PCMData& in) override;

 private:
  struct Entry {
    std::vector<double> points;
    std::int32_t rate = 0;
    double duration = 0.0;
  };
  void drop_played(double now);

  liba::Timer clock_;
  std::deque<Entry> entries_;
  double start_ = 0.0;
  const double points_per_second_ = 15.0;
};

}  // namespace audio
