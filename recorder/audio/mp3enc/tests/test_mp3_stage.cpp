#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "audio/mp3_encoder_stage.h"
#include "stream_reader.h"

namespace {

using audio::MP3Data;
using audio::PCMData;

struct Sink : audio::Consumer<MP3Data> {
  std::vector<std::uint32_t> sizes;
  std::vector<std::uint8_t> bytes;
  void on_data(const MP3Data& block) override {
    sizes.push_back(block.frame_size);
    bytes.insert(bytes.end(), block.buffer.data(), block.buffer.data() + block.frame_size);
  }
};

PCMData pcm16(const std::vector<std::int16_t>& interleaved, std::uint32_t channels, std::uint32_t rate) {
  audio::SharedBuffer b(static_cast<std::uint32_t>(interleaved.size() * 2));
  std::uint8_t* p = b.make_unique();
  for (std::size_t i = 0; i < interleaved.size(); ++i) {
    p[2 * i] = static_cast<std::uint8_t>(interleaved[i] & 0xFF);
    p[2 * i + 1] = static_cast<std::uint8_t>((interleaved[i] >> 8) & 0xFF);
  }
  return PCMData(b, channels, 16, rate);
}

TEST(EncoderMP3, CutsBlocksIntoFramesAndKeepsAnExactFramePending) {
  Sink sink;
  auto stage = std::make_unique<audio::EncoderMP3>(32000);
  audio::connect<MP3Data>(stage.get(), &sink);
  EXPECT_EQ(stage->get_bitrate(), 32000u);
  const auto tone = mp3test::tone(576 * 10, 440, 22050, 0.5);
  // Mono 16-bit at 22050 Hz: frames of 576 samples, 1,152 bytes. A block of
  // exactly one frame stays pending.
  stage->on_data(pcm16(std::vector<std::int16_t>(tone.begin(), tone.begin() + 576), 1, 22050));
  EXPECT_TRUE(sink.sizes.empty());
  // One more sample: the pending frame is encoded (one push per frame, also
  // when the encoder has no bytes yet).
  stage->on_data(pcm16(std::vector<std::int16_t>(tone.begin() + 576, tone.begin() + 577), 1, 22050));
  EXPECT_EQ(sink.sizes.size(), 1u);
  stage->on_data(pcm16(std::vector<std::int16_t>(tone.begin() + 577, tone.end()), 1, 22050));
  EXPECT_EQ(sink.sizes.size(), 9u);
  // Destruction encodes the rest and flushes: the stream ends on a whole
  // frame and holds every sample plus the delay.
  stage.reset();
  bool ok = false;
  const auto frames = mp3test::walk(sink.bytes, &ok);
  EXPECT_TRUE(ok);
  EXPECT_GE(static_cast<int>(frames.size()) * 576, 576 * 10 + 1728);
  for (const auto& f : frames) EXPECT_EQ(f.header[1], 0xF3);
}

TEST(EncoderMP3, FormatChangeFlushesAndStartsANewEncoder) {
  Sink sink;
  {
    audio::EncoderMP3 stage(64000);
    audio::connect<MP3Data>(&stage, &sink);
    const auto a = mp3test::tone(22050, 440, 22050, 0.5);
    stage.on_data(pcm16(a, 1, 22050));  // MPEG-2 at 22050 Hz, 64 kbit/s
    const std::size_t before = sink.bytes.size();
    const auto b = mp3test::tone(44100, 440, 44100, 0.5);
    stage.on_data(pcm16(b, 1, 44100));  // MPEG-1 at 44100 Hz
    EXPECT_GT(sink.bytes.size(), before);
  }
  bool ok = false;
  const auto frames = mp3test::walk(sink.bytes, &ok);
  ASSERT_TRUE(ok);  // the first stream ended on a whole frame
  int mpeg2 = 0, mpeg1 = 0;
  for (const auto& f : frames) (f.version ? mpeg1 : mpeg2)++;
  EXPECT_GE(mpeg2 * 576, 22050 + 1728);
  EXPECT_GE(mpeg1 * 1152, 44100 + 1728);
  EXPECT_EQ(frames.front().version, 0);
  EXPECT_EQ(frames.back().version, 1);
}

TEST(EncoderMP3, UnusableBlocksAreDropped) {
  Sink sink;
  {
    audio::EncoderMP3 stage(64000);
    audio::connect<MP3Data>(&stage, &sink);
    const std::vector<std::int16_t> samples(44100, 1000);
    struct Bad {
      std::uint32_t channels, bits, rate;
    };
    // 24- and 32-bit samples would overrun the one-frame pending buffer.
    for (Bad b : {Bad{1, 24, 44100}, Bad{2, 32, 44100}, Bad{3, 16, 44100}, Bad{0, 16, 44100}, Bad{1, 16, 0},
                  Bad{1, 0, 44100}, Bad{1, 16, 1}}) {
      PCMData block = pcm16(samples, 1, 44100);
      block.channels = b.channels;
      block.bits = b.bits;
      block.rate = b.rate;
      stage.on_data(block);
    }
    stage.on_data(PCMData(audio::SharedBuffer(), 1, 16, 44100));
    MP3Data pulled;
    EXPECT_EQ(stage.get_data(pulled, 10).size(), 0u);
  }
  EXPECT_TRUE(sink.bytes.empty());
}

TEST(EncoderMP3, EightBitStereoIsCentredAndSplit) {
  Sink sink;
  {
    audio::EncoderMP3 stage(128000);
    audio::connect<MP3Data>(&stage, &sink);
    // Unsigned 8-bit silence (128) in both channels.
    audio::SharedBuffer b(44100 * 2);
    b.fill(128);
    stage.on_data(PCMData(b, 2, 8, 44100));
  }
  bool ok = false;
  const auto frames = mp3test::walk(sink.bytes, &ok);
  ASSERT_TRUE(ok);
  ASSERT_FALSE(frames.empty());
  for (const auto& f : frames) {
    EXPECT_EQ(f.header[3], 0x64);
    EXPECT_EQ(f.gr[0][0].part2_3_length + f.gr[0][1].part2_3_length, 0);  // silence
  }
}

}  // namespace

namespace {

// Blocks of any length, odd byte counts included, make one whole stream with
// every sample in it.
TEST(EncoderMP3, BlocksOfAnyLengthMakeOneWholeStream) {
  Sink sink;
  std::uint32_t seed = 42;
  std::uint32_t total = 0;
  {
    audio::EncoderMP3 stage(128000);
    audio::connect<MP3Data>(&stage, &sink);
    const auto t = mp3test::tone(44100 * 2, 440, 44100, 0.5);
    std::vector<std::uint8_t> bytes;
    for (std::int16_t s : t)
      for (int ch = 0; ch < 2; ++ch) {
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
      }
    for (std::size_t at = 0; at < bytes.size();) {
      seed = seed * 1664525u + 1013904223u;
      const std::size_t n = std::min<std::size_t>(1 + (seed >> 16) % 9000, bytes.size() - at);
      stage.on_data(PCMData(audio::SharedBuffer(bytes.data() + at, static_cast<std::uint32_t>(n)), 2, 16, 44100));
      at += n;
      total += static_cast<std::uint32_t>(n);
    }
  }
  bool ok = false;
  const auto frames = mp3test::walk(sink.bytes, &ok);
  EXPECT_TRUE(ok);
  EXPECT_GE(frames.size() * 1152, total / 4 + 1728);
  EXPECT_LT(frames.size() * 1152, total / 4 + 1728 + 1152);
}

}  // namespace
