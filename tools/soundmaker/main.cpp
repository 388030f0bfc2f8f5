// soundmaker <folder>: writes the game's thirteen effect sounds as WAV files
// into the folder (made if missing), to be packed into the user-interface
// archive.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "runtime/one_path_tool.h"
#include "synth.h"

namespace {

constexpr const char* kUsage =
    "usage: soundmaker <output folder>\n"
    "  writes the game's effect sounds as WAV files into the folder, making it if needed\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  std::error_code ec;
  std::filesystem::create_directories(argv[1], ec);
  if (ec) {
    std::fprintf(stderr, "soundmaker: cannot make the folder %s: %s\n", argv[1], ec.message().c_str());
    return 1;
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
