// Runs the ADPCM block decoder (and, now and then, the GSM decoder) over
// blocks mutated deterministically from a few sound encodings, under block
// formats a hostile file header could claim (or over the files named on the
// command line, in the same layout as the inputs below). Every run checks
// the same inputs. A wrong output size aborts; a bad memory access or an arithmetic
// overflow shows under the sanitizer build.
//   vo_audio_codecs_fuzz_adpcm [-runs=N] [file...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/adpcm_coders.h"
#include "audio/gsm_coders.h"
#include "codec_test_support.h"
#include "fuzz_driver.h"

namespace {

using audio::ADPCMData;
using audio::GSMData;
using audio::PCMData;

void Fail(const char* what, std::uint32_t channels, std::uint32_t bits, std::uint32_t block_align, std::size_t size) {
  std::fprintf(stderr, "%s: channels %u, bits %u, block align %u, %zu bytes\n", what, channels, bits, block_align,
               size);
  std::abort();
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
  if (expected > 4 * bytes.size() + 4)
    Fail("output larger than four times the input", channels, bits, block_align, bytes.size());

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
  if (sizes.sizes.size() != 1 || sizes.sizes[0] != bytes.size() / 65 * 640)
    Fail("gsm: wrong output size", 1, 16, 65, bytes.size());
}

// Block formats a header could claim for these bytes.
void RunOne(const std::string& bytes, std::uint32_t block_align, ks_fuzz::Random& random) {
  const std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
  const std::uint32_t aligns[] = {
      block_align, 0,      7,       13,          14,   15,       256,
      512,         0xFFFF, 0x10000, 0xFFFFFFFFu, size, size + 1, static_cast<std::uint32_t>(random.Below(600))};
  const std::uint32_t channel_counts[] = {1, 2, 0, 3, random.Next()};
  const std::uint32_t align = aligns[random.Below(std::size(aligns))];
  const std::uint32_t channels = random.Below(4) != 0 ? 1 + static_cast<std::uint32_t>(random.Below(2))
                                                      : channel_counts[random.Below(std::size(channel_counts))];
  const std::uint32_t bits = random.Below(8) != 0 ? 4 : random.Next() % 20;
  DecodeAdpcm(bytes, channels, bits, align);
  // The block's own format too, most of the time.
  if (random.Below(2) == 0) DecodeAdpcm(bytes, block_align == 512 ? 2 : 1, 4, block_align);
}

}  // namespace

// An input is the block format's block align (four bytes, least significant
// first) and then the blocks. Which other formats it is decoded under follows
// from the input, so an input always runs the same way.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t head = size < 4 ? size : 4;
  std::uint32_t block_align = 0;
  for (std::size_t i = 0; i < head; ++i) block_align |= std::uint32_t{data[i]} << (8 * i);
  const std::string bytes(reinterpret_cast<const char*>(data) + head, size - head);
  ks_fuzz::Random random = ks_fuzz::RandomFor(data, size);
  RunOne(bytes, block_align, random);
  if (random.Below(8) == 0) DecodeGsm(bytes);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  const struct { std::uint32_t channels, rate, blocks; } formats[] = {{1, 8000, 2}, {2, 11025, 2}, {1, 8000, 1}};
  for (const auto& f : formats) {
    audio::EncoderADPCM encoder;
    codec_test::Collect<ADPCMData> out;
    audio::connect<ADPCMData>(&encoder, &out);
    encoder.on_data(
        codec_test::Pcm(codec_test::Signal(500 * f.blocks, f.channels, f.rate, 25000, 9), f.channels, f.rate));
    seeds.push_back(ks_fuzz::Bytes(ks_fuzz::LittleEndian(audio::adpcm_block_align(f.rate, f.channels), 4) +
                                   std::string(out.bytes.begin(), out.bytes.end())));
  }
  seeds.push_back(ks_fuzz::Bytes(ks_fuzz::LittleEndian(7, 4) + std::string("\x01\x10\x00\x00\x40\x00\xC0", 7)));
  return seeds;
}

std::vector<std::string> KsFuzzDictionary() {
  // Predictor indices, deltas and samples that sit at the edges, and the
  // largest codes, whose runs drive delta to its ceiling.
  std::vector<std::string> words = {"\x77", "\x88"};
  for (std::uint32_t v : {6u, 7u, 8u, 0x7777u, 0x8888u}) words.push_back(ks_fuzz::LittleEndian(v, 2));
  return words;
}
