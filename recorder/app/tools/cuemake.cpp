// cuemake <folder>: writes the recorder's two cue sounds, "Voicbeep.wav"
// (a short tone before recording starts) and "RecEnd.wav" (a falling pair of
// tones when it ends), as 16-bit mono PCM WAV files.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/one_path_tool.h"
#include "runtime/wav_writer.h"

namespace {

constexpr std::uint32_t kRate = 22050;

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage = "usage: cuemake <folder>\n  writes Voicbeep.wav and RecEnd.wav into the folder\n";
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  const std::string folder = argv[1];
  std::vector<std::int16_t> beep;
  ks::runtime::AppendTone(beep, kRate, 1000.0, 0.15, 0.5);
  std::vector<std::int16_t> end;
  ks::runtime::AppendTone(end, kRate, 880.0, 0.12, 0.5);
  ks::runtime::AppendTone(end, kRate, 587.0, 0.18, 0.5);
  if (!ks::runtime::WriteMonoPcmWav(folder + "/Voicbeep.wav", beep, kRate) ||
      !ks::runtime::WriteMonoPcmWav(folder + "/RecEnd.wav", end, kRate)) {
    std::fprintf(stderr, "cuemake: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
