// Writes 16-bit mono PCM samples as a WAV file, and makes tones for them:
// the build's sound makers (cue, alert and alarm sounds) share it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace wavout {

inline bool WriteMonoPcmWav(const std::string& path, const std::vector<std::int16_t>& samples, std::uint32_t rate) {
  std::vector<std::uint8_t> out;
  const auto put = [&out](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
  };
  const auto tag = [&out](const char* text) {
    for (const char* c = text; *c != '\0'; ++c) out.push_back(static_cast<std::uint8_t>(*c));
  };
  const auto data = static_cast<std::uint32_t>(samples.size() * 2);
  tag("RIFF");
  put(36 + data, 4);
  tag("WAVEfmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(1, 2);  // mono
  put(rate, 4);
  put(rate * 2, 4);
  put(2, 2);
  put(16, 2);
  tag("data");
  put(data, 4);
  for (std::int16_t s : samples) put(static_cast<std::uint16_t>(s), 2);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}

// Appends a tone of `hz` at `level` (of full scale) lasting `seconds` at
// `rate`, with short fades so that it starts and ends without a click.
inline void AppendTone(std::vector<std::int16_t>& samples, std::uint32_t rate, double hz, double seconds,
                       double level) {
  const auto count = static_cast<std::size_t>(seconds * rate);
  const std::size_t fade = rate / 200;
  for (std::size_t i = 0; i < count; ++i) {
    double envelope = 1.0;
    if (i < fade) envelope = static_cast<double>(i) / fade;
    if (count - i < fade) envelope = static_cast<double>(count - i) / fade;
    const double v = std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate) * level * envelope;
    samples.push_back(static_cast<std::int16_t>(std::lround(v * 32767.0)));
  }
}

}  // namespace wavout
