// The sound-track source over any bytes: opening refuses what is not Ogg
// Vorbis of 1 or 2 channels; reading never runs past the block and, once
// the stream has ended, gives silence.
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "engine/movie/ogg_source.h"
#include "fuzz_driver.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ssOggSource source;
  if (source.OpenStream(new ssMemoryFile(std::vector<std::uint8_t>(data, data + size), 0, false), nullptr) != 0) {
    if (source.IsOpenStream()) __builtin_trap();
    return 0;
  }
  if (source.Channels() < 1 || source.Channels() > 2) __builtin_trap();
  // Blocks with a guard after them; at most a few seconds of sound.
  std::vector<std::uint8_t> block(4096 + 16, 0xA5);
  for (int i = 0; i < 64 && !source.AtEnd(); ++i) {
    source.Read(block.data(), 4096, 8000, 16);
    for (std::size_t g = 4096; g < block.size(); ++g) {
      if (block[g] != 0xA5) __builtin_trap();
    }
  }
  if (source.AtEnd()) {
    source.Read(block.data(), 4096, 8000, 16);
    for (std::size_t b = 0; b < 4096; ++b) {
      if (block[b] != 0) __builtin_trap();
    }
  }
  source.Rewind();
  source.Read(block.data(), 1000, 8000, 16);
  return 0;
}

// The sound track moviemake wrote at build time, whole and cut short.
std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  std::ifstream in(KS_MOVIE_FIXTURES "/tone.ogg", std::ios::binary);
  std::vector<std::uint8_t> ogg{std::istreambuf_iterator<char>(in), {}};
  if (ogg.empty()) return {};
  std::vector<std::uint8_t> cut(ogg.begin(), ogg.begin() + static_cast<long>(ogg.size() / 2));
  return {ogg, cut};
}

std::vector<std::string> KsFuzzDictionary() {
  return {"OggS", std::string("\x01vorbis", 7), std::string("\x03vorbis", 7), std::string("\x05vorbis", 7)};
}
