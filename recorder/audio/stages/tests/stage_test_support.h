// Helpers of the stage tests: a source that hands out prepared blocks, a
// sink that keeps what it receives, signals, and the headless microphone's
// input file.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <numbers>
#include <string>
#include <vector>

#include "audio/link.h"
#include "ce/testing.h"
#include "ce/winbase.h"

namespace stage_test {

using audio::PCMData;
using audio::SharedBuffer;

inline PCMData make_block(const std::vector<std::uint8_t>& bytes, std::uint32_t channels, std::uint32_t bits,
                          std::uint32_t rate) {
  return PCMData(SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())), channels, bits, rate);
}

inline std::vector<std::uint8_t> to_bytes(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes(samples.size() * 2);
  if (!samples.empty()) std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

inline std::vector<std::int16_t> to_samples(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

inline PCMData mono16(const std::vector<std::int16_t>& samples, std::uint32_t rate) {
  return make_block(to_bytes(samples), 1, 16, rate);
}

// Quiet speech-like sound: syllables of a few voiced harmonics under a
// slow envelope, with short pauses, starting from silence.
inline std::vector<std::int16_t> speech_like(std::size_t count, std::uint32_t rate, double amplitude = 1500.0) {
  std::vector<std::int16_t> s(count, 0);
  const std::size_t lead = rate / 20;
  for (std::size_t i = lead; i < count; ++i) {
    const double t = static_cast<double>(i - lead) / rate;
    const double syllable = std::fmod(t, 0.25) / 0.25;
    const double envelope = syllable < 0.8 ? std::sin(std::numbers::pi * syllable / 0.8) : 0.0;
    const double f0 = 140.0 + 30.0 * std::sin(2.0 * std::numbers::pi * 1.3 * t);
    double v = 0.0;
    for (int harmonic = 1; harmonic <= 4; ++harmonic) {
      v += std::sin(2.0 * std::numbers::pi * f0 * harmonic * t) / harmonic;
    }
    s[i] = static_cast<std::int16_t>(std::lround(amplitude * envelope * v / 2.1));
  }
  return s;
}

// Keeps every block it receives, in order.
struct Sink : audio::Consumer<PCMData> {
  std::vector<PCMData> blocks;
  std::vector<std::uint8_t> bytes;
  void on_data(const PCMData& block) override {
    blocks.push_back(block);
    bytes.insert(bytes.end(), block.buffer.data(), block.buffer.data() + block.size());
  }
};

// Hands out prepared blocks, one per pull, then empty blocks.
struct Source : audio::Provider<PCMData> {
  std::deque<PCMData> blocks;
  int pulls = 0;
  PCMData& get_data(PCMData& out, std::uint32_t /*count*/) override {
    ++pulls;
    if (blocks.empty()) {
      out = PCMData();
    } else {
      out = blocks.front();
      blocks.pop_front();
    }
    return out;
  }
};

// Writes a PCM WAV file below the device root and answers its host path,
// which the headless microphone setting takes.
inline std::string write_mic_file(const std::vector<std::uint8_t>& data, std::uint32_t channels, std::uint32_t bits,
                                  std::uint32_t rate) {
  const std::vector<std::uint8_t> image = ce::testing::MakeWav(ce::testing::PcmFormat{channels, rate, bits}, data);
  HANDLE file = CreateFileW(L"\\mic.wav", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr);
  CloseHandle(file);
  return ce::testing::DeviceRoot() + "/mic.wav";
}

}  // namespace stage_test
