// alarmmake <folder>: writes the launcher's four alarm sounds,
// "Alarm1.wav" to "Alarm4.wav", as 16-bit mono PCM WAV files: short
// patterns of sine beeps, each alarm with its own pitches and rhythm.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/one_path_tool.h"
#include "runtime/wav_writer.h"

namespace {

constexpr std::uint32_t kRate = 22050;

void Tone(std::vector<std::int16_t>& samples, double hz, double seconds) {
  ks::runtime::AppendTone(samples, kRate, hz, seconds, 0.6);
}

void Silence(std::vector<std::int16_t>& samples, double seconds) {
  samples.insert(samples.end(), static_cast<std::size_t>(seconds * kRate), 0);
}

constexpr const char* kUsage =
    "usage: alarmmake FOLDER\n"
    "Writes Alarm1.wav to Alarm4.wav, the launcher's alarm sounds, into FOLDER.\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  const std::string folder = argv[1];
  std::vector<std::vector<std::int16_t>> sounds(4);
  // 1: two even beeps.
  for (int i = 0; i < 2; ++i) {
    Tone(sounds[0], 880.0, 0.25);
    Silence(sounds[0], 0.15);
  }
  // 2: a rising pair, twice.
  for (int i = 0; i < 2; ++i) {
    Tone(sounds[1], 660.0, 0.15);
    Tone(sounds[1], 990.0, 0.15);
    Silence(sounds[1], 0.2);
  }
  // 3: three quick high beeps.
  for (int i = 0; i < 3; ++i) {
    Tone(sounds[2], 1320.0, 0.1);
    Silence(sounds[2], 0.1);
  }
  // 4: a falling three-note chime.
  Tone(sounds[3], 1046.5, 0.3);
  Tone(sounds[3], 784.0, 0.3);
  Tone(sounds[3], 523.25, 0.5);
  for (int i = 0; i < 4; ++i) {
    const std::string path = folder + "/Alarm" + std::to_string(i + 1) + ".wav";
    if (!ks::runtime::WriteMonoPcmWav(path, sounds[static_cast<std::size_t>(i)], kRate)) {
      std::fprintf(stderr, "alarmmake: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
