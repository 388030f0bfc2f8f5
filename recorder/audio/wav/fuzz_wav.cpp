// Runs the three WAV readers, and the writers appending, over files mutated
// deterministically from a few sound seeds (or over the files named on the
// command line), so every run checks the same inputs. A hang shows as the
// test's time-out, a bad memory access or overflow under the sanitizer build.
//   vo_audio_fuzz_wav [-runs=N] [file...]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/wav_reader.h"
#include "audio/wav_writer.h"
#include "kernel/not_implemented.h"
#include "os/file.h"
#include "temp_device.h"
#include "wav_fixtures.h"

namespace {

const std::wstring kPath = L"%my_documents%/fuzz.wav";

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
  static const std::uint32_t kInteresting[] = {0,           1,    2,    3,      7,          14,          16,
                                               0x7F,        0x80, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu,
                                               0xFFFFFFF8u, 65,   320,  500,    256};
  static const char* const kTags[] = {"RIFF", "WAVE", "fmt ", "fact", "data", "LIST"};
  const int steps = 1 + static_cast<int>(random.Below(4));
  for (int s = 0; s < steps; ++s) {
    const std::size_t kind = data.empty() ? 5 : random.Below(6);
    switch (kind) {
      case 0: data[random.Below(data.size())] ^= static_cast<char>(1u << random.Below(8)); break;
      case 1: {
        // Header fields live in the first 100 bytes: aim most values there.
        const std::uint32_t v = kInteresting[random.Below(std::size(kInteresting))];
        const std::size_t width = std::size_t{1} << random.Below(3);
        const std::size_t at = random.Below(std::min<std::size_t>(data.size(), random.Below(2) ? 100 : data.size()));
        for (std::size_t i = 0; i < width && at + i < data.size(); ++i) data[at + i] = static_cast<char>(v >> (8 * i));
        break;
      }
      case 2: data.resize(random.Below(data.size())); break;
      case 3: {
        const std::size_t at = random.Below(data.size());
        const std::size_t n = std::min<std::size_t>(random.Below(48) + 1, data.size() - at);
        data.insert(random.Below(data.size()), data.substr(at, n));
        break;
      }
      case 4: {
        const char* tag = kTags[random.Below(std::size(kTags))];
        const std::size_t at = random.Below(data.size());
        data.replace(at, std::min<std::size_t>(4, data.size() - at), tag, 4);
        break;
      }
      default:
        for (std::size_t i = random.Below(8) + 1; i > 0; --i)
          data.insert(data.begin() + static_cast<long>(random.Below(data.size() + 1)),
                      static_cast<char>(random.Next()));
        break;
    }
  }
}

template <typename Block>
struct Counter : audio::Consumer<Block> {
  void on_data(const Block& block) override { bytes += block.size(); }
  std::uint64_t bytes = 0;
};

template <typename Reader, typename Block>
void Exercise(std::uint32_t count) {
  Reader reader(kPath);
  Counter<Block> sink;
  audio::connect<Block>(&reader, &sink);
  reader.is_end();
  reader.get_channels();
  reader.get_bits_per_sample();
  reader.get_sample_rate();
  reader.get_bitrate();
  reader.get_length_time();
  reader.time_to_units(1e12);
  reader.units_to_time(0xFFFFFFFFu);
  const std::uint32_t length = reader.get_length();
  // Every answer either moves the position forward or ends the file, so the
  // walk ends within the length.
  Block block;
  for (std::uint32_t guard = 0; guard <= length; ++guard) {
    reader.get_data(block, count);
    if (block.size() == 0) break;
  }
  reader.seek(0xFFFFFFFFu);
  reader.get_data(block, count);
  reader.seek(length / 2);
  reader.read(length);
  reader.seek(0);
  reader.read_time(0.5);
  reader.seek_time(-1.0);
  reader.read(0xFFFFFFFFu);
  audio::connect<Block>(&reader, nullptr);
}

template <typename Writer, typename Block>
void Append(const Block& block) {
  Writer writer(kPath, true);
  writer.on_data(block);
  writer.get_written();
  writer.is_open();
}

void RunOne(const std::string& bytes) {
  {
    os::File f(kPath, 1);
    f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }
  Exercise<audio::FileReaderWAVPCM, audio::PCMData>(16384);
  Exercise<audio::FileReaderWAVADPCM, audio::ADPCMData>(7);
  Exercise<audio::FileReaderWAVGSM, audio::GSMData>(103);

  const std::string samples(800, '\x11');
  Append<audio::FileWriterWAVPCM>(audio::PCMData(audio::SharedBuffer(samples.data(), 800), 1, 16, 8000));
  audio::ADPCMData adpcm;
  adpcm.buffer = audio::SharedBuffer(samples.data(), 512);
  adpcm.channels = 1;
  adpcm.bits = 4;
  adpcm.rate = 8000;
  adpcm.block_align = 256;
  Append<audio::FileWriterWAVADPCM>(adpcm);
  audio::GSMData gsm;
  gsm.buffer = audio::SharedBuffer(samples.data(), 130);
  Append<audio::FileWriterWAVGSM>(gsm);
}

std::vector<std::string> Seeds() {
  using namespace wav_test;
  std::string data(1200, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  return {
      PCMWav(data.substr(0, 1000)),
      PCMWav(data.substr(0, 999), 1, 8, 22050),
      Riff(FmtChunk({1, 2, 44100, 176400, 4, 16, ""}) + Chunk("LIST", "INFOodd") + Chunk("data", data)),
      ADPCMWav(data.substr(0, 1024), 2000),
      ADPCMWav(data.substr(0, 1024), 1000, 2, 512),
      GSMWav(data.substr(0, 650), 3200),
      Riff(FmtChunk({49, 1, 8000, 1625, 65, 0, std::string("\x02\x00\x40\x01", 4)}) +
           Chunk("data", data.substr(0, 130)) + Fact(640)),
  };
}

}  // namespace

int main(int argc, char** argv) {
  ce::kernel::SetStrictMode(true);
  ce::test::TempDevice device;
  long runs = 2000;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-runs=", 6) == 0) {
      runs = std::atol(argv[i] + 6);
    } else {
      files.push_back(argv[i]);
    }
  }
  if (!files.empty()) {
    for (const std::string& name : files) {
      std::ifstream in(name, std::ios::binary);
      RunOne(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    return 0;
  }
  const std::vector<std::string> seeds = Seeds();
  Random random;
  for (const std::string& seed : seeds) RunOne(seed);
  for (long i = 0; i < runs; ++i) {
    std::string input = seeds[random.Below(seeds.size())];
    Mutate(input, random);
    RunOne(input);
  }
  std::printf("%ld mutated WAV files read\n", runs);
  return 0;
}
