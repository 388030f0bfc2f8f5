// The gain booster of a recording: raises quiet speech by a whole-number
// factor through a limiting transfer curve. The gain changes only at zero
// crossings next to dominant peaks (looking up to 100 ms ahead), so no
// clicks arise; that look-ahead holds samples back until the next block.
#pragma once

#include <cstdint>

#include "audio/link.h"
#include "liba/nocopy.h"

namespace audio {

class Booster : public Consumer<PCMData>, public Provider<PCMData>, private liba::Nocopy {
 public:
  Booster();
  ~Booster() override;

  void on_data(const PCMData& block) override;
  // The pull path passes blocks unchanged; the gain applies to pushes only.
  PCMData& get_data(PCMData& out, std::uint32_t count) override;

  // Stores the factor (values below 1 count as 1) and derives the curve.
  void set_gain(std::int32_t gain);
  std::int32_t get_gain();
  // Pushes the samples held for look-ahead, scaled with the gain of the last
  // control peak, so the end of a recording is not lost.
  void flush();
  // Drops the held samples and forgets the last peak.
  void reset();

  // The transfer curve at sample value x, as output magnitude x 16384.
  std::int64_t curve(std::int32_t x) const;
  std::int32_t get_knee_out() const { return knee_out_; }
  std::int32_t get_limit_in() const { return limit_in_; }
  // Bytes held back for look-ahead.
  std::uint32_t get_held_bytes();

 private:
  // The 2.14 gain factor for a control peak p.
  std::int64_t factor(std::int32_t peak) const;
  // Finds the control peaks in s[0..n-1], scales the samples up to the last
  // one found and answers how many bytes are final.
  std::uint32_t analyse(std::int16_t* s, std::int64_t n, std::int64_t rate);
  void push_held_unchanged();

  std::int32_t gain_ = 1;
  std::int32_t knee_in_ = 200;
  std::int32_t knee_out_ = 200;
  std::int32_t limit_in_ = 20000;
  std::int32_t limit_out_ = 20000;
  PCMData held_;
  std::int32_t last_peak_ = 0;
  std::int64_t resume_ = 0;
};

}  // namespace audio
