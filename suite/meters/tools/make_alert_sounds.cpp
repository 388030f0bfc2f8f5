// Writes the meters plug-in's four alert sounds as short 16-bit mono PCM
// WAV files, each a different pattern of sine beeps so they can be told
// apart by ear: battery low (two falling beeps), battery charged (two
// rising beeps), memory low (one low beep) and card space low (three
// short beeps).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 11025;

struct Beep {
  double hertz;
  int ms;  // a beep of 0 Hz is a pause
};

void Put(std::string& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

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
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  Put(out, 36 + dataBytes, 4);
  out += "WAVEfmt ";
  Put(out, 16, 4);
  Put(out, 1, 2);  // PCM
  Put(out, 1, 2);  // mono
  Put(out, kRate, 4);
  Put(out, kRate * 2, 4);
  Put(out, 2, 2);
  Put(out, 16, 2);
  out += "data";
  Put(out, dataBytes, 4);
  for (std::int16_t s : samples) Put(out, static_cast<std::uint16_t>(s), 2);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_alert_sounds <output folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  bool ok = Write(folder + "/BIL.wav", {{880, 150}, {0, 60}, {660, 200}});
  ok &= Write(folder + "/BFC.wav", {{660, 150}, {0, 60}, {990, 200}});
  ok &= Write(folder + "/MIL.wav", {{440, 300}});
  ok &= Write(folder + "/SCL.wav", {{740, 80}, {0, 50}, {740, 80}, {0, 50}, {740, 80}});
  if (!ok) {
    std::fprintf(stderr, "make_alert_sounds: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
