// soundmaker <folder>: writes the game's thirteen effect sounds as WAV files
// into the folder, to be packed into the user-interface archive.
#include <cstdio>
#include <string>

#include "synth.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: soundmaker <output folder>\n");
    return 2;
  }
  for (const soundmaker::Sound& sound : soundmaker::MakeGameSounds()) {
    const std::string path = std::string(argv[1]) + "/" + sound.name;
    const std::vector<std::uint8_t> file = soundmaker::WavFile(sound.samples);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
      std::fprintf(stderr, "soundmaker: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
