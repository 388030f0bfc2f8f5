// Runs the MP3 frame reader, its tag reader and the frame decoder over files
// mutated deterministically from a few sound seeds (or over the files named
// on the command line), so every run checks the same inputs. A hang shows as
// the test's time-out, a bad memory access under the sanitizer build.
//   vo_audio_decoders_fuzz_mp3 [-runs=N] [file...]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/mp3_decoder.h"
#include "audio/mp3_reader.h"
#include "kernel/not_implemented.h"
#include "media_fixtures.h"

namespace {

struct Random {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  std::uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 16);
  }
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : Next() % n; }
};

void Mutate(std::string& data, Random& random) {
  static const char* const kPieces[] = {"\xFF\xFB\x90\x00", "\xFF\xF3\x80\xC0", "\xFF\xE3\x18\xC4", "\xFF\xFD\xE0\x00",
                                        "TAG", "ID3\x04\x00\x00\x7F\x7F\x7F\x7F", "\xFF\xFF\xFF\xFF"};
  const int steps = 1 + static_cast<int>(random.Below(4));
  for (int s = 0; s < steps; ++s) {
    const std::size_t kind = data.empty() ? 4 : random.Below(6);
    switch (kind) {
      case 0:
        data[random.Below(data.size())] ^= static_cast<char>(1u << random.Below(8));
        break;
      case 1: {
        const std::string piece = kPieces[random.Below(std::size(kPieces))];
        const std::size_t at = random.Below(data.size());
        data.replace(at, std::min(piece.size(), data.size() - at), piece);
        break;
      }
      case 2:
        data.resize(random.Below(data.size() + 1));
        break;
      case 3: {
        const std::size_t at = random.Below(data.size());
        const std::size_t n = std::min<std::size_t>(random.Below(3000) + 1, data.size() - at);
        data.insert(random.Below(data.size()), data.substr(at, n));
        break;
      }
      case 4:
        for (std::size_t i = random.Below(64) + 1; i > 0; --i)
          data.insert(data.begin() + static_cast<long>(random.Below(data.size() + 1)), static_cast<char>(random.Next()));
        break;
      default:
        data.erase(random.Below(data.size()), random.Below(500));
        break;
    }
  }
}

void RunOne(const vo_test::MediaFolder& folder, const std::string& bytes, Random& random) {
  folder.Write("fuzz.mp3", bytes);
  const std::wstring path = vo_test::MediaFolder::DevicePath("fuzz.mp3");
  audio::read_mp3_tag(path);
  audio::FileReaderMP3 reader(path);
  audio::DecoderMP3 decoder;
  audio::connect<audio::MP3Data>(&reader, &decoder);
  // Every frame is given at most once per pass, and each advances the read
  // position, so a pass ends within the file's size in frames.
  const std::uint32_t limit = static_cast<std::uint32_t>(bytes.size()) / 24 + 2;
  for (int pass = 0; pass < 2; ++pass) {
    std::uint32_t blocks = 0;
    for (;;) {
      audio::PCMData pcm;
      decoder.get_data(pcm, 1 + static_cast<std::uint32_t>(random.Below(3000)));
      if (pcm.size() == 0) break;
      if (++blocks > limit * 64) {
        std::fprintf(stderr, "the reader does not come to an end\n");
        std::abort();
      }
    }
    if (reader.is_open() && !reader.is_end()) {
      std::fprintf(stderr, "playback stopped before the end\n");
      std::abort();
    }
    reader.seek(static_cast<std::uint32_t>(random.Below(bytes.size() + 100)));
  }
  audio::connect<audio::MP3Data>(&reader, nullptr);
}

std::vector<std::string> Seeds() {
  using vo_test::FrameFields;
  using vo_test::SilentFrame;
  std::string tag = "TAG" + std::string(125, '\0');
  tag.replace(3, 5, "Title");
  std::string stereo, mpeg2, layer2, mixed;
  for (int i = 0; i < 12; ++i) stereo += SilentFrame({1, 3, 9 + i % 3, 0, i % 2, false});
  for (int i = 0; i < 20; ++i) mpeg2 += SilentFrame({2, 3, 8, 0, 0, true});
  for (int i = 0; i < 6; ++i) layer2 += SilentFrame({3, 2, 14, 2, 0, false});
  mixed = SilentFrame({1, 1, 12, 1, 1, false}) + SilentFrame({1, 1, 12, 1, 0, false}) + stereo;
  return {
      std::string("ID3\x03\x00\x00\x00\x00\x10\x00", 10) + std::string(2048, '\0') + stereo + tag,
      mpeg2 + tag,
      layer2,
      mixed,
      std::string(300, '\xFF') + stereo,
  };
}

}  // namespace

int main(int argc, char** argv) {
  ce::kernel::SetStrictMode(true);
  vo_test::MediaFolder folder;
  long runs = 2000;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-runs=", 6) == 0) {
      runs = std::atol(argv[i] + 6);
    } else {
      files.push_back(argv[i]);
    }
  }
  Random random;
  if (!files.empty()) {
    for (const std::string& name : files) {
      std::ifstream in(name, std::ios::binary);
      RunOne(folder, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), random);
    }
    return 0;
  }
  const std::vector<std::string> seeds = Seeds();
  for (const std::string& seed : seeds) RunOne(folder, seed, random);
  for (long i = 0; i < runs; ++i) {
    std::string input = seeds[random.Below(seeds.size())];
    Mutate(input, random);
    RunOne(folder, input, random);
  }
  std::printf("%ld mutated files read\n", runs);
  return 0;
}
