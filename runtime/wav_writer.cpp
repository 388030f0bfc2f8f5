#include "runtime/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "runtime/le_bytes.h"

namespace ks::runtime {

std::vector<std::uint8_t> PcmWav(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits,
                                 std::span<const std::uint8_t> samples) {
  // The header is written into a vector of its final size: inserting the
  // tags one by one trips a false overflow warning of GCC 12 at -O2.
  std::vector<std::uint8_t> out(44 + samples.size());
  std::size_t at = 0;
  const auto tag = [&out, &at](const char* text) {
    for (int i = 0; i < 4; ++i) out[at++] = static_cast<std::uint8_t>(text[i]);
  };
  const auto le = [&out, &at](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out[at++] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  const auto data = static_cast<std::uint32_t>(samples.size());
  const std::uint32_t block = channels * ((bits + 7u) / 8u);
  tag("RIFF");
  le(36 + data, 4);
  tag("WAVE");
  tag("fmt ");
  le(16, 4);
  le(1, 2);  // PCM
  le(channels, 2);
  le(rate, 4);
  le(rate * block, 4);
  le(block, 2);
  le(bits, 2);
  tag("data");
  le(data, 4);
  std::copy(samples.begin(), samples.end(), out.begin() + 44);
  return out;
}

bool WriteMonoPcmWav(const std::string& path, const std::vector<std::int16_t>& samples, std::uint32_t rate) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(samples.size() * 2);
  for (std::int16_t s : samples) AppendLe(bytes, static_cast<std::uint16_t>(s), 2);
  const std::vector<std::uint8_t> out = PcmWav(rate, 1, 16, bytes);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}

void AppendTone(std::vector<std::int16_t>& samples, std::uint32_t rate, double hz, double seconds, double level) {
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

}  // namespace ks::runtime
