#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/gsm_coders.h"
#include "codec_test_support.h"

namespace {

using audio::GSMData;
using audio::PCMData;
using codec_test::Collect;
using codec_test::Pcm;
using codec_test::Samples;
using codec_test::Signal;

// Hands out the stored bytes as 65-byte blocks, as many as asked, and
// counts the requests.
struct Stored : audio::Provider<GSMData> {
  std::vector<std::uint8_t> bytes;
  std::size_t at = 0;
  std::vector<std::uint32_t> asked;
  GSMData& get_data(GSMData& out, std::uint32_t count) override {
    asked.push_back(count);
    const std::size_t n = std::min<std::size_t>(std::size_t{count} * 65, bytes.size() - at);
    out = GSMData{audio::SharedBuffer(bytes.data() + at, static_cast<std::uint32_t>(n))};
    at += n;
    return out;
  }
};

std::vector<std::uint8_t> Encode(const std::vector<std::int16_t>& samples) {
  audio::EncoderGSM encoder;
  Collect<GSMData> out;
  audio::connect<GSMData>(&encoder, &out);
  encoder.on_data(Pcm(samples, 1, 8000));
  return out.bytes;
}

std::vector<std::int16_t> Decode(const std::vector<std::uint8_t>& bytes) {
  audio::DecoderGSM decoder;
  Collect<PCMData> out;
  audio::connect<PCMData>(&decoder, &out);
  decoder.on_data(GSMData{audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()))});
  for (const PCMData& block : out.blocks) {
    if (block.size() == 0) continue;
    EXPECT_EQ(block.channels, 1u);
    EXPECT_EQ(block.bits, 16u);
    EXPECT_EQ(block.rate, 8000u);
  }
  return out.samples();
}

TEST(GsmEncoder, OneSecondMakesTwentyFiveBlocks) {
  audio::EncoderGSM encoder;
  EXPECT_EQ(encoder.get_bitrate(), 13000u);
  Collect<GSMData> out;
  audio::connect<GSMData>(&encoder, &out);
  // Fed in uneven pieces; the last 319 samples would not fill a block.
  const std::vector<std::int16_t> second = Signal(8000 + 319, 1, 8000, 8000, 0);
  for (std::size_t at = 0; at < second.size(); at += 777) {
    const std::size_t n = std::min<std::size_t>(777, second.size() - at);
    encoder.on_data(Pcm(std::vector<std::int16_t>(second.begin() + at, second.begin() + at + n), 1, 8000));
  }
  EXPECT_EQ(out.blocks.size(), 25u);
  EXPECT_EQ(out.bytes.size(), 1625u);
}

TEST(GsmEncoder, RefusesEverythingButSixteenBitMonoAt8000Hz) {
  for (const PCMData& refused :
       {PCMData(audio::SharedBuffer(640), 1, 16, 22050), PCMData(audio::SharedBuffer(1280), 2, 16, 8000),
        PCMData(audio::SharedBuffer(320), 1, 8, 8000)}) {
    audio::EncoderGSM encoder;
    Collect<GSMData> out;
    audio::connect<GSMData>(&encoder, &out);
    for (int i = 0; i < 4; ++i) encoder.on_data(refused);
    EXPECT_TRUE(out.blocks.empty());
  }
}

TEST(GsmCodec, DecodesWholeBlocksAndRebuildsTheTone) {
  struct Case {
    std::size_t bytes, samples;
  } cases[] = {{130, 640}, {100, 320}, {65, 320}, {64, 0}, {0, 0}};
  const std::vector<std::uint8_t> encoded = Encode(Signal(640, 1, 8000, 8000, 0));
  ASSERT_EQ(encoded.size(), 130u);
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes(encoded.begin(), encoded.begin() + std::min(c.bytes, encoded.size()));
    bytes.resize(c.bytes, 0);
    EXPECT_EQ(Decode(bytes).size(), c.samples) << c.bytes << " bytes";
  }

  // A sweep comes back recognisably after the first block. The codec keeps
  // the spectrum rather than the waveform, so the bar is low; silence or a
  // misaligned frame scores 0 dB or less.
  const std::vector<std::int16_t> tone = Signal(8000, 1, 8000, 10000, 0);
  const std::vector<std::int16_t> decoded = Decode(Encode(tone));
  ASSERT_EQ(decoded.size(), 8000u);
  double signal = 0, noise = 0;
  for (std::size_t i = 320; i < tone.size(); ++i) {
    const double x = tone[i], e = static_cast<double>(decoded[i]) - x;
    signal += x * x;
    noise += e * e;
  }
  EXPECT_GT(10 * std::log10(signal / noise), 3.0);
}

TEST(GsmDecoder, APullOf16384FramesAsksFor103BlocksAndKeepsTheRest) {
  Stored reader;
  reader.bytes = Encode(Signal(320 * 120, 1, 8000, 8000, 0));
  audio::DecoderGSM decoder;
  audio::connect<GSMData>(&reader, &decoder);
  PCMData out;
  decoder.get_data(out, 16384);
  ASSERT_EQ(reader.asked, (std::vector<std::uint32_t>{103}));
  EXPECT_EQ(out.get_frames(), 16384u);
  // 103 blocks made 32,960 samples: the rest comes before anything new.
  decoder.get_data(out, 16384);
  EXPECT_EQ(out.get_frames(), 16384u);
  decoder.get_data(out, 16384);
  EXPECT_EQ(out.get_frames(), 32960u - 2 * 16384u);
  EXPECT_EQ(reader.asked.size(), 1u);
  // The next pull takes the remaining 17 blocks; then the stream ends.
  decoder.get_data(out, 16384);
  EXPECT_EQ(out.get_frames(), 17u * 320u);
  decoder.get_data(out, 16384);
  EXPECT_EQ(out.size(), 0u);
  EXPECT_EQ(Samples(out).size(), 0u);
}

}  // namespace
