#include "runtime/wav_writer.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "runtime/le_bytes.h"

namespace ks::runtime {

std::vector<std::uint8_t> PcmWav(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits,
                                 std::span<const std::uint8_t> samples) {
  std::vector<std::uint8_t> out;
  out.reserve(44 + samples.size());
  const auto tag = [&out](const char* text) { out.insert(out.end(), text, text + 4); };
  const auto data = static_cast<std::uint32_t>(samples.size());
  const std::uint32_t block = channels * ((bits + 7u) / 8u);
  tag("RIFF");
  AppendLe(out, 36 + data, 4);
  tag("WAVE");
  tag("fmt ");
  AppendLe(out, 16, 4);
  AppendLe(out, 1, 2);  // PCM
  AppendLe(out, channels, 2);
  AppendLe(out, rate, 4);
  AppendLe(out, rate * block, 4);
  AppendLe(out, block, 2);
  AppendLe(out, bits, 2);
  tag("data");
  AppendLe(out, data, 4);
  out.insert(out.end(), samples.begin(), samples.end());
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
