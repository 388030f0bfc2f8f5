#include "audio/level_meter_record.h"

#include "first_channel_sample.h"

namespace audio {

LevelMeterRecord::LevelMeterRecord(double timeout_seconds) : timeout_(timeout_seconds) {}

void LevelMeterRecord::set_threshold(double threshold) { threshold_ = threshold; }

double LevelMeterRecord::get_level(int /*channel*/) const { return level_.load(); }

void LevelMeterRecord::process(PCMData& out, const PCMData& in) {
  out = in;
  const std::uint32_t frames = in.get_frames();
  if (frames == 0) return;
  const std::uint32_t frame = in.frame_size();
  const std::uint8_t* bytes = in.buffer.data();
  const bool wide = in.bits == 16;
  // Only the first channel of each frame is read; widths other than 16 bits
  // are read as unsigned 8-bit samples.
  const int limit = wide ? static_cast<int>(threshold_.load() * 32767.0) : static_cast<int>(threshold_.load() * 127.0);
  int peak = 0;
  std::int64_t last_loud = -1;
  for (std::uint32_t f = 0; f < frames; ++f) {
    const int v = first_channel_sample(bytes + static_cast<std::size_t>(f) * frame, wide);
    if (v > peak) peak = v;
    if (v > limit) last_loud = f;
  }
  level_ = wide ? peak * (1.0 / 32767.0) : peak * (1.0 / 127.0);
  // A block without a rate has no duration: the silence time stays.
  if (in.rate == 0) return;
  if (last_loud >= 0) {
    silence_time_ = static_cast<double>(frames - last_loud) / in.rate;
  } else {
    silence_time_ = silence_time_.load() + static_cast<double>(frames) / in.rate;
  }
}

}  // namespace audio
