// Runs the ADPCM block decoder (and, briefly, the GSM decoder) over blocks
// mutated deterministically from a few sound encodings, under block formats
// a hostile file header could claim (or over the files named on the command
// line, each tried with every such format). Every run checks the same
// inputs. A wrong output size aborts; a bad memory access or an arithmetic
// overflow shows under the sanitizer build.
//   vo_audio_codecs_fuzz_adpcm [-runs=N] [file...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/adpcm_coders.h"
#include "audio/gsm_coders.h"
#include "codec_test_support.h"

namespace {

using audio::ADPCMData;
using audio::GSMData;
using audio::PCMData;

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

void Fail(const char* what, std::uint32_t channels, std::uint32_t bits, std::uint32_t block_align, std::size_t size) {
  std::fprintf(stderr, "%s: channels %u, bits %u, block align %u, %zu bytes\n", what, channels, bits, block_align, size);
  std::abort();
}

void Mutate(std::string& data, Random& random) {
  static const std::uint32_t kInteresting[] = {0, 1, 6, 7, 8, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x7777, 0x8888};
  const int steps = 1 + static_cast<int>(random.Below(4));
  for (int s = 0; s < steps; ++s) {
    const std::size_t kind = data.empty() ? 3 : random.Below(5);
    switch (kind) {
      case 0:
        data[random.Below(data.size())] ^= static_cast<char>(1u << random.Below(8));
        break;
      case 1: {
        // Mostly into a header: predictors, deltas and first samples.
        const std::uint32_t v = kInteresting[random.Below(std::size(kInteresting))];
        const std::size_t at = random.Below(4) != 0 ? random.Below(std::min<std::size_t>(14, data.size()))
                                                    : random.Below(data.size());
        for (std::size_t i = 0; i < 2 && at + i < data.size(); ++i) data[at + i] = static_cast<char>(v >> (8 * i));
        break;
      }
      case 2:
        data.resize(random.Below(data.size() + 1));
        break;
      case 3:
        for (std::size_t i = random.Below(64) + 1; i > 0; --i)
          data.insert(data.begin() + static_cast<long>(random.Below(data.size() + 1)), static_cast<char>(random.Next()));
        break;
      default: {
        // A run of one large code drives delta to its ceiling.
        const char code = static_cast<char>(random.Below(2) != 0 ? 0x77 : 0x88);
        for (std::size_t i = random.Below(data.size()); i < data.size(); ++i) data[i] = code;
        break;
      }
    }
  }
}

// Keeps only the sizes of what it is given.
struct Sizes : audio::Consumer<PCMData> {
  std::vector<std::uint32_t> sizes;
  void on_data(const PCMData& block) override { sizes.push_back(block.size()); }
};

struct Once : audio::Provider<ADPCMData> {
  ADPCMData block;
  bool given = false;
  ADPCMData& get_data(ADPCMData& out, std::uint32_t) override {
    out = given ? ADPCMData() : block;
    given = true;
    return out;
  }
};

void DecodeAdpcm(const std::string& bytes, std::uint32_t channels, std::uint32_t bits, std::uint32_t block_align) {
  const ADPCMData block{audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())), channels, bits,
                        8000, block_align};
  // What the sizes must be: whole blocks of samples-per-block frames, or
  // nothing when the format is unusable.
  std::uint64_t expected = 0;
  const std::uint32_t frames = bits == 4 ? audio::adpcm_samples_per_block(block_align, channels) : 0;
  if (frames != 0) expected = std::uint64_t{bytes.size() / block_align} * frames * channels * 2;
  if (expected > 4 * bytes.size() + 4) Fail("output larger than four times the input", channels, bits, block_align, bytes.size());

  audio::DecoderADPCM pushed;
  Sizes sizes;
  audio::connect<PCMData>(&pushed, &sizes);
  pushed.on_data(block);
  if (sizes.sizes.size() != 1 || sizes.sizes[0] != expected) {
    Fail("push: wrong output size", channels, bits, block_align, bytes.size());
  }

  Once source;
  source.block = block;
  audio::DecoderADPCM pulled;
  audio::connect<ADPCMData>(&source, &pulled);
  std::uint64_t total = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    PCMData out;
    pulled.get_data(out, 1 + guard % 3000);
    if (out.size() == 0) break;
    total += out.size();
  }
  if (total != expected) Fail("pull: wrong total", channels, bits, block_align, bytes.size());
}

void DecodeGsm(const std::string& bytes) {
  audio::DecoderGSM decoder;
  Sizes sizes;
  audio::connect<PCMData>(&decoder, &sizes);
  decoder.on_data(GSMData{audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()))});
  if (sizes.sizes.size() != 1 || sizes.sizes[0] != bytes.size() / 65 * 640) Fail("gsm: wrong output size", 1, 16, 65, bytes.size());
}

// Block formats a header could claim for these bytes.
void RunOne(const std::string& bytes, std::uint32_t block_align, Random& random) {
  const std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
  const std::uint32_t aligns[] = {block_align, 0, 7, 13, 14, 15, 256, 512, 0xFFFF, 0x10000, 0xFFFFFFFFu, size, size + 1,
                                  static_cast<std::uint32_t>(random.Below(600))};
  const std::uint32_t channel_counts[] = {1, 2, 0, 3, random.Next()};
  const std::uint32_t align = aligns[random.Below(std::size(aligns))];
  const std::uint32_t channels = random.Below(4) != 0 ? 1 + static_cast<std::uint32_t>(random.Below(2))
                                                      : channel_counts[random.Below(std::size(channel_counts))];
  const std::uint32_t bits = random.Below(8) != 0 ? 4 : random.Next() % 20;
  DecodeAdpcm(bytes, channels, bits, align);
  // The block's own format too, most of the time.
  if (random.Below(2) == 0) DecodeAdpcm(bytes, block_align == 512 ? 2 : 1, 4, block_align);
}

struct Seed {
  std::string bytes;
  std::uint32_t block_align;
};

std::vector<Seed> Seeds() {
  std::vector<Seed> seeds;
  const struct {
    std::uint32_t channels, rate, blocks;
  } formats[] = {{1, 8000, 2}, {2, 11025, 2}, {1, 8000, 1}};
  for (const auto& f : formats) {
    audio::EncoderADPCM encoder;
    codec_test::Collect<ADPCMData> out;
    audio::connect<ADPCMData>(&encoder, &out);
    encoder.on_data(codec_test::Pcm(codec_test::Signal(500 * f.blocks, f.channels, f.rate, 25000, 9), f.channels, f.rate));
    seeds.push_back({std::string(out.bytes.begin(), out.bytes.end()), audio::adpcm_block_align(f.rate, f.channels)});
  }
  seeds.push_back({std::string("\x01\x10\x00\x00\x40\x00\xC0", 7), 7});
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
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
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      for (int i = 0; i < 64; ++i) RunOne(bytes, 256, random);
      DecodeGsm(bytes);
    }
    return 0;
  }
  const std::vector<Seed> seeds = Seeds();
  for (long i = 0; i < runs; ++i) {
    const Seed& seed = seeds[random.Below(seeds.size())];
    std::string input = seed.bytes;
    Mutate(input, random);
    RunOne(input, seed.block_align, random);
    if (i % 8 == 0) DecodeGsm(input);
  }
  std::printf("%ld mutated blocks decoded\n", runs);
  return 0;
}
