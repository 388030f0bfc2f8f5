#include "audio/meters.h"

#include "first_channel_sample.h"

namespace audio {

void TimeMeter::process(PCMData& out, const PCMData& in) {
  if (in.rate != 0) time_ = time_.load() + static_cast<double>(in.get_frames()) / in.rate;
  out = in;
}

LevelMeter::LevelMeter() = default;

std::size_t LevelMeter::get_entry_count() {
  liba::Lock hold(this->lock);
  return entries_.size();
}

void LevelMeter::drop_played(double now) {
  while (!entries_.empty() && now >= start_ + entries_.front().duration) {
    start_ += entries_.front().duration;
    entries_.pop_front();
  }
}

void LevelMeter::process(PCMData& out, const PCMData& in) {
  drop_played(clock_.elapsed());
  if (entries_.empty()) {
    // Nothing left to hear: this block's audio starts now.
    start_ = 0.0;
    clock_.restart();
  }
  const std::uint32_t frames = in.get_frames();
  if (frames != 0 && in.rate >= 15) {
    const std::uint32_t seg = static_cast<std::uint32_t>(in.rate / points_per_second_);
    const std::uint32_t frame = in.frame_size();
    const std::uint8_t* bytes = in.buffer.data();
    Entry entry;
    entry.rate = static_cast<std::int32_t>(in.rate);
    entry.duration = static_cast<double>(frames) / in.rate;
    entry.points.reserve(frames / seg + 1);
    for (std::uint32_t first = 0; first < frames; first += seg) {
      const std::uint32_t last = frames - first < seg ? frames : first + seg;
      int peak = 0;
      for (std::uint32_t f = first; f < last; ++f) {
        const int v = first_channel_sample(bytes + static_cast<std::size_t>(f) * frame, in.bits == 16);
        if (v > peak) peak = v;
      }
      entry.points.push_back(in.bits == 16 ? peak * (1.0 / 32768.0) : peak * (1.0 / 128.0));
    }
    entries_.push_back(std::move(entry));
  }
  out = in;
}

double LevelMeter::get_level(int /*channel*/) {
  liba::Lock hold(this->lock);
  const double now = clock_.elapsed();
  drop_played(now);
  if (entries_.empty()) return 0.0;
  const Entry& entry = entries_.front();
  if (entry.points.empty()) return 0.0;
  const std::uint32_t seg = static_cast<std::uint32_t>(entry.rate / points_per_second_);
  const double at = (now - start_) * entry.rate / seg;
  std::size_t index = at < 0.0 ? 0 : static_cast<std::size_t>(at);
  if (index >= entry.points.size()) index = entry.points.size() - 1;
  return entry.points[index];
}

}  // namespace audio
