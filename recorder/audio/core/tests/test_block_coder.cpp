#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/block_coder.h"

namespace {

using audio::ADPCMData;
using audio::PCMData;

// A toy codec: a block is 4 frames of 16-bit mono; the "encoding" keeps the
// low byte of each sample, so a test can check order and completeness.
struct ToyEncoder : audio::BlockEncoderPCM<ADPCMData> {
  void get_block_format(PCMData& out, const PCMData& in) override {
    out = in.bits == 16 && in.channels == 1 ? PCMData(audio::SharedBuffer(8), 1, 16, in.rate) : PCMData();
  }
  void encode_block(ADPCMData& out, const PCMData& in) override {
    std::uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = in.buffer.data()[2 * i];
    out.buffer = audio::SharedBuffer(bytes, 4);
    out.block_align = 4;
  }
};

struct ToyDecoder : audio::BlockDecoderPCM<ADPCMData> {
  void decode_block(PCMData& out, const ADPCMData& in) override {
    out = PCMData(audio::SharedBuffer(in.size() * 2), 1, 16, 8000);
    std::uint8_t* bytes = out.buffer.make_unique();
    for (std::uint32_t i = 0; i < in.size(); ++i) {
      bytes[2 * i] = in.buffer.data()[i];
      bytes[2 * i + 1] = 0;
    }
  }
  std::uint32_t count_blocks(std::uint32_t) override { return 1; }
};

struct Blocks : audio::Consumer<ADPCMData> {
  std::vector<std::uint8_t> bytes;
  void on_data(const ADPCMData& block) override {
    bytes.insert(bytes.end(), block.buffer.data(), block.buffer.data() + block.size());
  }
};

struct Stored : audio::Provider<ADPCMData> {
  std::vector<ADPCMData> blocks;
  std::size_t next = 0;
  ADPCMData& get_data(ADPCMData& out, std::uint32_t) override {
    out = next < blocks.size() ? blocks[next++] : ADPCMData();
    return out;
  }
};

PCMData Ramp(int first, int count, std::uint32_t bits = 16) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < count; ++i) samples.push_back(static_cast<std::int16_t>(first + i));
  return PCMData(audio::SharedBuffer(samples.data(), static_cast<std::uint32_t>(count * 2)), 1, bits, 8000);
}

TEST(BlockEncoder, GathersAcrossInputBlocksAndDropsOtherFormats) {
  ToyEncoder encoder;
  Blocks out;
  audio::connect<ADPCMData>(&encoder, &out);
  encoder.on_data(Ramp(1, 3));
  EXPECT_TRUE(out.bytes.empty());
  encoder.on_data(Ramp(4, 6));
  encoder.on_data(PCMData(audio::SharedBuffer(4), 2, 16, 8000));  // stereo: dropped
  EXPECT_EQ(out.bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(BlockEncoder, FlushPadsTheLastPartialBlockWithSilence) {
  ToyEncoder encoder;
  Blocks out;
  audio::connect<ADPCMData>(&encoder, &out);
  encoder.flush();
  EXPECT_TRUE(out.bytes.empty());
  encoder.on_data(Ramp(1, 6));
  encoder.flush();
  encoder.flush();
  EXPECT_EQ(out.bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 0, 0}));
}

TEST(BlockEncoder, ARefusedFirstFormatEncodesNothing) {
  ToyEncoder encoder;
  Blocks out;
  audio::connect<ADPCMData>(&encoder, &out);
  PCMData eight(audio::SharedBuffer(16), 1, 8, 8000);
  encoder.on_data(eight);
  encoder.on_data(eight);
  EXPECT_TRUE(out.bytes.empty());
}

TEST(BlockDecoder, HandsOutWhatIsAskedAndKeepsTheRestPending) {
  ToyEncoder encoder;
  Blocks encoded;
  audio::connect<ADPCMData>(&encoder, &encoded);
  encoder.on_data(Ramp(10, 8));
  Stored stored;
  stored.blocks.push_back(ADPCMData{audio::SharedBuffer(encoded.bytes.data(), 4), 1, 4, 8000, 4});
  stored.blocks.push_back(ADPCMData{audio::SharedBuffer(encoded.bytes.data() + 4, 4), 1, 4, 8000, 4});
  ToyDecoder decoder;
  audio::connect<ADPCMData>(&stored, &decoder);
  std::vector<std::int16_t> heard;
  for (;;) {
    PCMData out;
    decoder.get_data(out, 3);
    if (out.size() == 0) break;
    EXPECT_LE(out.get_frames(), 3u);
    const auto* samples = reinterpret_cast<const std::int16_t*>(out.buffer.data());
    heard.insert(heard.end(), samples, samples + out.get_frames());
  }
  EXPECT_EQ(heard, (std::vector<std::int16_t>{10, 11, 12, 13, 14, 15, 16, 17}));
}

}  // namespace
