// Small helpers shared by the codec tests: generated signals, PCM blocks
// made from samples and back, and a consumer that keeps what it is given.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/link.h"

namespace codec_test {

// A tone sweeping from 300 Hz to 3 kHz with optional noise (seed 0: none),
// interleaved; the right channel runs a little behind the left.
inline std::vector<std::int16_t> Signal(std::uint32_t frames, std::uint32_t channels, std::uint32_t rate,
                                        double amplitude, std::uint32_t seed) {
  std::vector<std::int16_t> out;
  out.reserve(std::size_t{frames} * channels);
  std::uint32_t noise = seed * 2654435761u + 1;
  const double kPi = 3.14159265358979323846;
  for (std::uint32_t i = 0; i < frames; ++i) {
    for (std::uint32_t c = 0; c < channels; ++c) {
      const double t = static_cast<double>(i) / rate + 0.0007 * c;
      const double f = 300.0 + 2700.0 * (static_cast<double>(i) / (frames + 1.0));
      double v = amplitude * std::sin(2 * kPi * f * t);
      if (seed != 0) {
        noise = noise * 1664525u + 1013904223u;
        v += amplitude * 0.25 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
      }
      out.push_back(static_cast<std::int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, v)))));
    }
  }
  return out;
}

inline audio::PCMData Pcm(const std::vector<std::int16_t>& samples, std::uint32_t channels, std::uint32_t rate) {
  std::vector<std::uint8_t> bytes;
  for (std::int16_t s : samples) {
    bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
  }
  return audio::PCMData(audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())), channels, 16,
                        rate);
}

inline std::vector<std::int16_t> SamplesOf(const std::uint8_t* bytes, std::size_t size) {
  std::vector<std::int16_t> out(size / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
  }
  return out;
}

inline std::vector<std::int16_t> Samples(const audio::PCMData& block) {
  return SamplesOf(block.buffer.data(), block.size());
}

// Keeps every block pushed into it, and their bytes end to end.
template <typename T>
struct Collect : audio::Consumer<T> {
  std::vector<T> blocks;
  std::vector<std::uint8_t> bytes;
  void on_data(const T& block) override {
    blocks.push_back(block);
    bytes.insert(bytes.end(), block.buffer.data(), block.buffer.data() + block.size());
  }
  std::vector<std::int16_t> samples() const { return SamplesOf(bytes.data(), bytes.size()); }
};

}  // namespace codec_test
