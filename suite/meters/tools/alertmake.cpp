// alertmake <folder>: writes the meters plug-in's four alert sounds as short
// 16-bit mono PCM WAV files, each a different pattern of sine beeps so they can
// be told apart by ear: battery low (two falling beeps), battery charged (two
// rising beeps), memory low (one low beep) and card space low (three short
// beeps).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/one_path_tool.h"
#include "runtime/wav_writer.h"

namespace {

constexpr int kRate = 11025;

struct Beep {
  double hertz;
  int ms;  // a beep of 0 Hz is a pause
};

bool Write(const std::string& path, const std::vector<Beep>& beeps) {
  std::vector<std::int16_t> samples;
  for (const Beep& beep : beeps) {
    const int count = kRate * beep.ms / 1000;
    for (int i = 0; i < count; ++i) {
      // A short fade at both ends keeps the beeps from clicking.
      const int edge = std::min(i, count - 1 - i);
      const double envelope = edge < 110 ? edge / 110.0 : 1.0;
      const double value =
          beep.hertz > 0 ? std::sin(6.283185307179586 * beep.hertz * i / kRate) * envelope * 12000.0 : 0.0;
      samples.push_back(static_cast<std::int16_t>(value));
    }
  }
  return ks::runtime::WriteMonoPcmWav(path, samples, static_cast<std::uint32_t>(kRate));
}

constexpr const char* kUsage =
    "usage: alertmake <output folder>\n"
    "  writes the meters' alert sounds BIL.wav, BFC.wav, MIL.wav and SCL.wav into the folder\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  const std::string folder = argv[1];
  bool ok = Write(folder + "/BIL.wav", {{880, 150}, {0, 60}, {660, 200}});
  ok &= Write(folder + "/BFC.wav", {{660, 150}, {0, 60}, {990, 200}});
  ok &= Write(folder + "/MIL.wav", {{440, 300}});
  ok &= Write(folder + "/SCL.wav", {{740, 80}, {0, 50}, {740, 80}, {0, 50}, {740, 80}});
  if (!ok) {
    std::fprintf(stderr, "alertmake: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
