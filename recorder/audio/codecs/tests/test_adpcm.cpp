#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "audio/adpcm.h"
#include "audio/adpcm_coders.h"
#include "codec_test_support.h"

namespace {

using audio::ADPCMData;
using audio::PCMData;
using codec_test::Collect;
using codec_test::Pcm;
using codec_test::Samples;
using codec_test::Signal;

// The encoder's protected operations, for a check of its predictor choice.
struct OpenEncoder : audio::EncoderADPCM {
  using audio::EncoderADPCM::encode_block;
  using audio::EncoderADPCM::get_block_format;
};

struct Provided : audio::Provider<ADPCMData> {
  std::vector<ADPCMData> blocks;
  std::size_t next = 0;
  ADPCMData& get_data(ADPCMData& out, std::uint32_t) override {
    out = next < blocks.size() ? blocks[next++] : ADPCMData();
    return out;
  }
};

ADPCMData Encoded(const std::vector<std::uint8_t>& bytes, std::uint32_t channels, std::uint32_t rate,
                  std::uint32_t block_align, std::uint32_t bits = 4) {
  return ADPCMData{audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())), channels, bits, rate,
                   block_align};
}

// Everything the decoder's push side makes of `blocks`.
std::vector<std::int16_t> Decode(const ADPCMData& blocks) {
  audio::DecoderADPCM decoder;
  Collect<PCMData> out;
  audio::connect<PCMData>(&decoder, &out);
  decoder.on_data(blocks);
  return out.samples();
}

TEST(AdpcmFormat, BlockSizeSamplesAndBitRateFollowTheRate) {
  struct Case {
    std::uint32_t rate, channels, block_align, frames, bitrate;
  } cases[] = {
      {8000, 1, 256, 500, 32768},     {11025, 2, 512, 500, 90316},    {22049, 1, 256, 500, 90312},
      {22050, 1, 512, 1012, 89245},   {44099, 2, 1024, 1012, 356975}, {44100, 2, 2048, 2036, 354879},
      {95999, 1, 1024, 2036, 386259}, {96000, 2, 4096, 4084, 770256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " channels");
    EXPECT_EQ(audio::adpcm_block_align(c.rate, c.channels), c.block_align);
    EXPECT_EQ(audio::adpcm_samples_per_block(c.block_align, c.channels), c.frames);
    OpenEncoder encoder;
    PCMData format;
    encoder.get_block_format(format, Pcm({0}, c.channels, c.rate));
    EXPECT_EQ(format.size(), c.frames * c.channels * 2);
    EXPECT_EQ(encoder.get_bitrate(), c.bitrate);
  }
}

TEST(AdpcmCodec, DecodingRebuildsEachPredictorsEncodingWithItsReportedError) {
  // A loud tone with noise drives every code, clamp and delta range.
  for (std::uint32_t channels : {1u, 2u}) {
    const std::uint32_t block_align = 512 * channels;
    const std::uint32_t frames = audio::adpcm_samples_per_block(block_align, channels);
    const std::vector<std::int16_t> input = Signal(frames, channels, 44100, 30000, 7);
    for (std::uint32_t predictor = 0; predictor < audio::adpcm_predictor_count; ++predictor) {
      SCOPED_TRACE(testing::Message() << channels << " channels, predictor " << predictor);
      std::vector<std::uint8_t> block(block_align);
      const std::int32_t error =
          audio::adpcm_encode_block(input.data(), channels, predictor, block.data(), block_align);
      ASSERT_GE(error, 0);
      EXPECT_EQ(block[0], predictor);
      std::vector<std::int16_t> decoded(input.size());
      ASSERT_TRUE(audio::adpcm_decode_block(block.data(), block_align, channels, decoded.data()));
      std::int32_t largest = 0;
      for (std::size_t i = 0; i < input.size(); ++i) {
        largest = std::max(largest, std::abs(decoded[i] - input[i]));
      }
      EXPECT_EQ(largest, error);
      EXPECT_EQ(std::vector<std::int16_t>(decoded.begin(), decoded.begin() + 2 * channels),
                std::vector<std::int16_t>(input.begin(), input.begin() + 2 * channels));
    }
  }
}

TEST(AdpcmEncoder, KeepsTheFirstPredictorWithTheSmallestError) {
  struct Case {
    const char* name;
    std::vector<std::int16_t> samples;
  };
  const std::uint32_t frames = 500;
  std::vector<std::int16_t> ramp(frames);
  for (std::uint32_t i = 0; i < frames; ++i) ramp[i] = static_cast<std::int16_t>(i * 37 - 9000);
  const Case cases[] = {
      {"silence", std::vector<std::int16_t>(frames, 0)},
      {"tone", Signal(frames, 1, 8000, 12000, 0)},
      {"noisy tone", Signal(frames, 1, 8000, 20000, 3)},
      {"ramp", ramp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::int32_t best = 1 << 30;
    std::uint32_t chosen = 0;
    std::vector<std::uint8_t> expected(256), trial(256);
    for (std::uint32_t p = 0; p < audio::adpcm_predictor_count; ++p) {
      const std::int32_t error = audio::adpcm_encode_block(c.samples.data(), 1, p, trial.data(), 256);
      if (error < best) {
        best = error;
        chosen = p;
        expected = trial;
      }
    }
    // The search gives the same block whichever predictor it tries first.
    for (std::uint32_t first = 0; first < audio::adpcm_predictor_count; ++first) {
      std::uint32_t predictor = first;
      std::vector<std::uint8_t> block(256);
      EXPECT_EQ(audio::adpcm_encode_block_best(c.samples.data(), 1, block.data(), 256, predictor), best);
      EXPECT_EQ(predictor, chosen);
      EXPECT_EQ(block, expected) << "first " << first;
    }
    OpenEncoder encoder;
    ADPCMData out;
    encoder.encode_block(out, Pcm(c.samples, 1, 8000));
    ASSERT_EQ(out.size(), 256u);
    EXPECT_EQ(out.buffer.data()[0], chosen);
    EXPECT_EQ(std::vector<std::uint8_t>(out.buffer.data(), out.buffer.data() + 256), expected);
    EXPECT_EQ(out.channels, 1u);
    EXPECT_EQ(out.bits, 4u);
    EXPECT_EQ(out.rate, 8000u);
    EXPECT_EQ(out.block_align, 256u);
  }
}

// FNV-1a over the encoded bytes.
std::uint64_t Hash(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (std::uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

TEST(AdpcmEncoder, OutputStaysByteForByteTheSame) {
  // Pinned encodings of fixed signals: any change to the predictor search or
  // the nibble coder that alters a single byte shows here. Quiet, noisy,
  // clipping and silent stretches exercise every predictor and delta range.
  struct Case {
    std::uint32_t channels, rate;
    double amplitude;
    std::uint32_t seed;
    std::uint64_t hash;
  } cases[] = {
      {1, 8000, 3000, 5, 0xf786efa67d85a15dull},    {1, 8000, 30000, 7, 0x1be570ccd54c0f0full},
      {1, 44100, 40000, 9, 0x326f9a36cb572de9ull},  {2, 44100, 16000, 11, 0x0755413387f015bdull},
      {2, 44100, 36000, 13, 0x3d0b62f3bacee34bull}, {2, 8000, 800, 0, 0x1ef0c4e4ecf3adacull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.rate << " Hz, amplitude " << c.amplitude);
    const std::uint32_t block_align = audio::adpcm_block_align(c.rate, c.channels);
    const std::uint32_t frames = audio::adpcm_samples_per_block(block_align, c.channels);
    std::vector<std::int16_t> input = Signal(frames * 12, c.channels, c.rate, c.amplitude, c.seed);
    // A block of silence and a block of full-scale square wave.
    std::fill(input.begin() + frames * c.channels * 4, input.begin() + frames * c.channels * 5, std::int16_t{0});
    for (std::size_t i = frames * c.channels * 7; i < frames * c.channels * 8; ++i) {
      input[i] = (i / (3 * c.channels)) % 2 == 0 ? std::int16_t{32767} : std::int16_t{-32768};
    }
    audio::EncoderADPCM encoder;
    Collect<ADPCMData> out;
    audio::connect<ADPCMData>(&encoder, &out);
    encoder.on_data(Pcm(input, c.channels, c.rate));
    ASSERT_EQ(out.bytes.size(), std::size_t{block_align} * 12);
    EXPECT_EQ(Hash(out.bytes), c.hash) << std::hex << Hash(out.bytes);
  }
}

TEST(AdpcmEncoder, GathersWholeBlocksAndRefusesOtherFormats) {
  audio::EncoderADPCM encoder;
  Collect<ADPCMData> out;
  audio::connect<ADPCMData>(&encoder, &out);
  encoder.on_data(Pcm(Signal(499, 1, 8000, 8000, 0), 1, 8000));
  EXPECT_TRUE(out.blocks.empty());
  encoder.on_data(Pcm(Signal(1, 1, 8000, 8000, 0), 1, 8000));
  ASSERT_EQ(out.blocks.size(), 1u);
  EXPECT_EQ(out.blocks[0].size(), 256u);
  EXPECT_EQ(encoder.get_bitrate(), 32768u);

  for (const PCMData& refused :
       {PCMData(audio::SharedBuffer(1000), 1, 8, 8000), PCMData(audio::SharedBuffer(6000), 3, 16, 8000)}) {
    audio::EncoderADPCM other;
    Collect<ADPCMData> none;
    audio::connect<ADPCMData>(&other, &none);
    other.on_data(refused);
    other.on_data(refused);
    EXPECT_TRUE(none.blocks.empty());
    EXPECT_EQ(other.get_bitrate(), 0u);
  }
}

TEST(AdpcmDecoder, ABadPredictorSilencesOnlyItsBlock) {
  const std::vector<std::int16_t> input = Signal(1000, 1, 8000, 10000, 1);
  audio::EncoderADPCM encoder;
  Collect<ADPCMData> encoded;
  audio::connect<ADPCMData>(&encoder, &encoded);
  encoder.on_data(Pcm(input, 1, 8000));
  ASSERT_EQ(encoded.bytes.size(), 512u);
  const std::vector<std::int16_t> good = Decode(Encoded(encoded.bytes, 1, 8000, 256));

  std::vector<std::uint8_t> damaged = encoded.bytes;
  damaged[0] = 9;
  const std::vector<std::int16_t> decoded = Decode(Encoded(damaged, 1, 8000, 256));
  ASSERT_EQ(decoded.size(), 1000u);
  EXPECT_EQ(std::vector<std::int16_t>(decoded.begin(), decoded.begin() + 500), std::vector<std::int16_t>(500, 0));
  EXPECT_EQ(std::vector<std::int16_t>(decoded.begin() + 500, decoded.end()),
            std::vector<std::int16_t>(good.begin() + 500, good.end()));

  // In stereo a bad right predictor silences both channels of the block.
  std::vector<std::uint8_t> stereo(512, 0x11);
  stereo[0] = 0;
  stereo[1] = 7;
  EXPECT_EQ(Decode(Encoded(stereo, 2, 8000, 512)), std::vector<std::int16_t>(1000, 0));
}

TEST(AdpcmDecoder, RefusesBlockFormatsItCannotDecode) {
  const std::vector<std::uint8_t> bytes(4096, 0);
  struct Case {
    const char* name;
    std::uint32_t channels, bits, block_align, size;
  } cases[] = {
      {"block align 0", 1, 4, 0, 4096},
      {"block smaller than its header", 2, 4, 13, 4096},
      {"three channels", 3, 4, 768, 4096},
      {"no channels", 0, 4, 256, 4096},
      {"bits 0", 1, 0, 256, 4096},
      {"bits 16", 1, 16, 256, 4096},
      {"block larger than a header can say", 1, 4, 0x10000, 4096},
      {"less than one block", 1, 4, 256, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> some(bytes.begin(), bytes.begin() + c.size);
    EXPECT_TRUE(Decode(Encoded(some, c.channels, 8000, c.block_align, c.bits)).empty());
  }
  // The smallest usable block is the header alone: its two frames.
  std::vector<std::uint8_t> header = {0, 16, 0, 0x34, 0x12, 0xCC, 0xFF};
  EXPECT_EQ(Decode(Encoded(header, 1, 8000, 7)), (std::vector<std::int16_t>{-52, 0x1234}));
  // A trailing partial block is ignored.
  header.push_back(0x77);
  EXPECT_EQ(Decode(Encoded(header, 1, 8000, 7)).size(), 2u);
}

TEST(AdpcmDecoder, HostileDeltasStayWithinTheSampleRange) {
  // Codes of +7 and -8 grow delta by 2.4 and 3 each sample from the largest,
  // a negative or a zero starting delta: the output saturates toward the
  // last code's sign and nothing overflows.
  struct Case {
    std::uint8_t codes;
    std::int16_t last;
  } cases[] = {{0x77, 32767}, {0x88, -32768}, {0x78, -32768}};
  for (std::int32_t delta : {0x7FFF, -0x8000, 0}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "delta " << delta << ", codes " << int{c.codes});
      std::vector<std::uint8_t> block(2048, c.codes);
      block[0] = 1;
      block[1] = static_cast<std::uint8_t>(delta & 0xFF);
      block[2] = static_cast<std::uint8_t>((delta >> 8) & 0xFF);
      std::vector<std::int16_t> out(audio::adpcm_samples_per_block(2048, 1));
      ASSERT_TRUE(audio::adpcm_decode_block(block.data(), 2048, 1, out.data()));
      EXPECT_EQ(out.back(), c.last);
    }
  }
}

TEST(AdpcmDecoder, PullHandsOutWhatIsAskedAcrossBlocks) {
  const std::vector<std::int16_t> input = Signal(2036 * 3, 2, 44100, 16000, 2);
  audio::EncoderADPCM encoder;
  Collect<ADPCMData> encoded;
  audio::connect<ADPCMData>(&encoder, &encoded);
  encoder.on_data(Pcm(input, 2, 44100));
  ASSERT_EQ(encoded.blocks.size(), 3u);
  const std::vector<std::int16_t> whole = Decode(Encoded(encoded.bytes, 2, 44100, 2048));

  Provided reader;
  reader.blocks = encoded.blocks;
  audio::DecoderADPCM decoder;
  audio::connect<ADPCMData>(&reader, &decoder);
  std::vector<std::int16_t> pulled;
  for (;;) {
    PCMData out;
    decoder.get_data(out, 1500);
    if (out.size() == 0) break;
    EXPECT_LE(out.get_frames(), 1500u);
    EXPECT_EQ(out.channels, 2u);
    EXPECT_EQ(out.rate, 44100u);
    const std::vector<std::int16_t> piece = Samples(out);
    pulled.insert(pulled.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(pulled, whole);
  EXPECT_EQ(pulled.size(), input.size());
}

}  // namespace
