// The GSM decoder over blocks cut into pieces of the input's choosing, pushed
// and pulled: each piece gives 640 bytes per whole 65-byte block it holds, and
// both ways give the same samples. A bad memory access or an arithmetic
// overflow shows under the sanitizer build.
//   vo_audio_codecs_fuzz_gsm [-runs=N] [file...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/gsm_coders.h"
#include "codec_test_support.h"
#include "fuzz_driver.h"

namespace {

using audio::GSMData;
using audio::PCMData;

[[noreturn]] void Fail(const char* what, std::size_t size) {
  std::fprintf(stderr, "%s (%zu input bytes)\n", what, size);
  std::abort();
}

// Hands out the pieces in order, one per pull, then nothing.
struct Pieces : audio::Provider<GSMData> {
  std::vector<GSMData> pieces;
  std::size_t next = 0;
  GSMData& get_data(GSMData& out, std::uint32_t) override {
    out = next < pieces.size() ? pieces[next++] : GSMData();
    return out;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ks_fuzz::Random random = ks_fuzz::RandomFor(data, size);
  Pieces source;
  std::uint64_t expected = 0;
  for (std::size_t at = 0; at < size;) {
    // Mostly whole blocks, now and then a piece of any length.
    const std::size_t length = random.Below(4) != 0 ? audio::gsm_block_bytes * (1 + random.Below(3))
                                                    : 1 + random.Below(3 * audio::gsm_block_bytes);
    const std::size_t piece = std::min(length, size - at);
    source.pieces.push_back(GSMData{audio::SharedBuffer(data + at, static_cast<std::uint32_t>(piece))});
    expected += piece / audio::gsm_block_bytes * audio::gsm_block_samples * 2;
    at += piece;
  }

  audio::DecoderGSM pushed;
  codec_test::Collect<PCMData> pushed_out;
  audio::connect<PCMData>(&pushed, &pushed_out);
  for (const GSMData& piece : source.pieces) {
    const std::size_t before = pushed_out.bytes.size();
    pushed.on_data(piece);
    if (pushed_out.bytes.size() - before != piece.size() / audio::gsm_block_bytes * audio::gsm_block_samples * 2)
      Fail("push: wrong output size", size);
  }

  audio::DecoderGSM pulled;
  audio::connect<GSMData>(&source, &pulled);
  std::vector<std::uint8_t> pulled_bytes;
  for (int guard = 0;; ++guard) {
    if (guard > 1000000) Fail("pull: no end", size);
    PCMData out;
    pulled.get_data(out, 1 + static_cast<std::uint32_t>(random.Below(1000)));
    if (out.size() == 0) break;
    if (out.channels != 1 || out.bits != 16 || out.rate != audio::gsm_sample_rate) Fail("pull: wrong format", size);
    pulled_bytes.insert(pulled_bytes.end(), out.buffer.data(), out.buffer.data() + out.size());
  }
  if (pushed_out.bytes.size() != expected || pulled_bytes != pushed_out.bytes) {
    Fail("push and pull disagree", size);
  }
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  for (std::uint32_t noise : {0u, 7u}) {
    audio::EncoderGSM encoder;
    codec_test::Collect<GSMData> out;
    audio::connect<GSMData>(&encoder, &out);
    encoder.on_data(codec_test::Pcm(
        codec_test::Signal(6 * audio::gsm_block_samples, 1, audio::gsm_sample_rate, noise == 0 ? 30000 : 9000, noise),
        1, audio::gsm_sample_rate));
    seeds.push_back(out.bytes);
  }
  seeds.push_back(std::vector<std::uint8_t>(audio::gsm_block_bytes * 2 + 20, 0xFF));
  return seeds;
}
