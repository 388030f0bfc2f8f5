// cuemake <folder>: writes the recorder's two cue sounds, "Voicbeep.wav"
// (a short tone before recording starts) and "RecEnd.wav" (a falling pair of
// tones when it ends), as 16-bit mono PCM WAV files.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 22050;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// Appends a tone with short fades so that it starts and ends without a click.
void tone(std::vector<std::int16_t>& samples, double hz, double seconds, double level) {
  const auto count = static_cast<std::size_t>(seconds * kRate);
  const std::size_t fade = kRate / 200;
  for (std::size_t i = 0; i < count; ++i) {
    double envelope = 1.0;
    if (i < fade) envelope = static_cast<double>(i) / fade;
    if (count - i < fade) envelope = static_cast<double>(count - i) / fade;
    const double v = std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / kRate) * level * envelope;
    samples.push_back(static_cast<std::int16_t>(std::lround(v * 32767.0)));
  }
}

bool write_wav(const std::string& path, const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> out;
  const auto data = static_cast<std::uint32_t>(samples.size() * 2);
  for (char c : std::string("RIFF")) out.push_back(static_cast<std::uint8_t>(c));
  put32(out, 36 + data);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<std::uint8_t>(c));
  put32(out, 16);
  put16(out, 1);
  put16(out, 1);
  put32(out, kRate);
  put32(out, kRate * 2);
  put16(out, 2);
  put16(out, 16);
  for (char c : std::string("data")) out.push_back(static_cast<std::uint8_t>(c));
  put32(out, data);
  for (std::int16_t s : samples) put16(out, static_cast<std::uint16_t>(s));
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage = "usage: cuemake <folder>\n  writes Voicbeep.wav and RecEnd.wav into the folder\n";
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string folder = argv[1];
  std::vector<std::int16_t> beep;
  tone(beep, 1000.0, 0.15, 0.5);
  std::vector<std::int16_t> end;
  tone(end, 880.0, 0.12, 0.5);
  tone(end, 587.0, 0.18, 0.5);
  if (!write_wav(folder + "/Voicbeep.wav", beep) || !write_wav(folder + "/RecEnd.wav", end)) {
    std::fprintf(stderr, "cuemake: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
