// cuemake <folder>: writes the recorder's two cue sounds, "Voicbeep.wav"
// (a short tone before recording starts) and "RecEnd.wav" (a falling pair of
// tones when it ends), as 16-bit mono PCM WAV files.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "one_path_tool.h"
#include "pcm_wav.h"

namespace {

constexpr std::uint32_t kRate = 22050;

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

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage = "usage: cuemake <folder>\n  writes Voicbeep.wav and RecEnd.wav into the folder\n";
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  const std::string folder = argv[1];
  std::vector<std::int16_t> beep;
  tone(beep, 1000.0, 0.15, 0.5);
  std::vector<std::int16_t> end;
  tone(end, 880.0, 0.12, 0.5);
  tone(end, 587.0, 0.18, 0.5);
  if (!wavout::WriteMonoPcmWav(folder + "/Voicbeep.wav", beep, kRate) ||
      !wavout::WriteMonoPcmWav(folder + "/RecEnd.wav", end, kRate)) {
    std::fprintf(stderr, "cuemake: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
