#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "audio/wav_reader.h"
#include "wav_test_files.h"

namespace {

using namespace wav_test;

std::wstring Path() { return TestPath(); }

TEST(WavReaderPCM, SeeksLandOnWholeFramesWithinTheData) {
  WriteFile(Path(), PCMWav(Ramp(4000), 2));
  audio::FileReaderWAVPCM reader(Path());
  ASSERT_TRUE(reader.is_open());
  EXPECT_EQ(reader.get_channels(), 2u);
  EXPECT_EQ(reader.get_bits_per_sample(), 16u);
  EXPECT_EQ(reader.get_bitrate(), 256000u);
  EXPECT_EQ(reader.get_length(), 4000u);
  reader.seek(1001);
  EXPECT_EQ(reader.get_position(), 1000u);
  audio::PCMData block;
  reader.get_data(block, 2);
  EXPECT_TRUE(SameBytes(Bytes(block.buffer), Ramp(4000).substr(1000, 8)));
  EXPECT_FALSE(reader.is_end());
  reader.seek(0xFFFFFFFFu);
  EXPECT_EQ(reader.get_position(), 4000u);
  EXPECT_TRUE(reader.is_end());
  reader.seek_time(0.0625);  // 500 frames of 4 bytes
  EXPECT_EQ(reader.get_position(), 2000u);
  EXPECT_DOUBLE_EQ(reader.get_position_time(), 0.0625);
}

TEST(WavReaderPCM, ARequestNearTheEndAnswersTheRestThenAnEmptyBlock) {
  const std::string data = Ramp(160000);
  WriteFile(Path(), PCMWav(data));
  audio::FileReaderWAVPCM reader(Path());
  EXPECT_DOUBLE_EQ(reader.get_length_time(), 10.0);
  reader.seek(160000 - 300);
  audio::PCMData block;
  reader.get_data(block, 16384);
  EXPECT_EQ(block.get_frames(), 150u);
  EXPECT_EQ(block.rate, 8000u);
  EXPECT_TRUE(SameBytes(Bytes(block.buffer), data.substr(160000 - 300)));
  EXPECT_TRUE(reader.is_end());
  reader.get_data(block, 16384);
  EXPECT_EQ(block.size(), 0u);
  EXPECT_EQ(block.channels + block.bits + block.rate, 0u);
}

TEST(WavReaderPCM, ATruncatedFilePlaysWhatIsThereAndReachesItsEnd) {
  std::string bytes = PCMWav(Ramp(1000));
  bytes.resize(44 + 601);  // the header still says 1000 bytes; half a frame at the end
  WriteFile(Path(), bytes);
  audio::FileReaderWAVPCM reader(Path());
  ASSERT_TRUE(reader.is_open());
  EXPECT_EQ(reader.get_length(), 600u);
  Sink<audio::PCMData> sink;
  audio::connect<audio::PCMData>(&reader, &sink);
  EXPECT_FALSE(reader.read(1000));
  EXPECT_TRUE(SameBytes(sink.bytes, Ramp(600)));
  EXPECT_TRUE(reader.is_end());
  EXPECT_GE(reader.get_position(), reader.get_length());
}

TEST(WavReaderPCM, ReadPushesExactlyTheAskedBytesInPieces) {
  const std::string data = Ramp(2 * 12000);
  WriteFile(Path(), PCMWav(data));
  audio::FileReaderWAVPCM reader(Path());
  Sink<audio::PCMData> sink;
  audio::connect<audio::PCMData>(&reader, &sink);
  ASSERT_TRUE(reader.read(2 * 11000 + 1));
  EXPECT_TRUE(SameBytes(sink.bytes, data.substr(0, 2 * 11000)));
  ASSERT_EQ(sink.blocks.size(), 3u);
  EXPECT_EQ(sink.blocks[0].get_frames(), 5000u);
  EXPECT_EQ(sink.blocks[2].get_frames(), 1000u);
  EXPECT_TRUE(reader.read_time(0.125));  // the last 1000 frames
  EXPECT_FALSE(reader.read(2));
  EXPECT_TRUE(SameBytes(sink.bytes, data));
}

TEST(WavReaderADPCM, LengthAndTimeAreCountedInBlocks) {
  const std::string data = Ramp(20 * 256);
  WriteFile(Path(), ADPCMWav(data, 20 * 500 - 100));
  audio::FileReaderWAVADPCM reader(Path());
  ASSERT_TRUE(reader.is_open());
  EXPECT_EQ(reader.get_bits_per_sample(), 16u);
  EXPECT_EQ(reader.get_bitrate(), 32768u);
  // The count ends 100 samples into the last block: that block is read and
  // carries the 100 frames of padding beyond the count.
  EXPECT_EQ(reader.get_length(), 20u);
  EXPECT_EQ(reader.time_to_units(1.0), 16u);
  EXPECT_DOUBLE_EQ(reader.units_to_time(16), 1.0);

  audio::ADPCMData block;
  reader.get_data(block, 2);
  EXPECT_EQ(block.padding, 0u);
  reader.seek(17);
  reader.get_data(block, 10);
  EXPECT_EQ(block.size(), 3u * 256u);
  EXPECT_EQ(block.padding, 100u);
  EXPECT_TRUE(SameBytes(Bytes(block.buffer), data.substr(17 * 256, 768)));
  EXPECT_EQ(block.channels, 1u);
  EXPECT_EQ(block.bits, 4u);
  EXPECT_EQ(block.rate, 8000u);
  EXPECT_EQ(block.block_align, 256u);
  EXPECT_TRUE(reader.is_end());
  reader.get_data(block, 10);
  EXPECT_EQ(block.size(), 0u);
}

TEST(WavReaderGSM, LengthFollowsTheFactCountHeldToTheStoredBlocks) {
  struct Case {
    std::uint32_t blocks_stored;
    std::uint32_t fact;
    std::uint32_t length;
    std::uint32_t padding;  // of the last block read
  };
  for (const Case& c : {Case{10, 320 * 4, 4, 0}, Case{10, 320 * 50, 10, 0}, Case{10, 0, 10, 0}, Case{10, 319, 1, 1},
                        Case{10, 320 * 3 + 1, 4, 319}}) {
    SCOPED_TRACE(c.fact);
    WriteFile(Path(), GSMWav(Ramp(65 * c.blocks_stored + 30), c.fact));
    audio::FileReaderWAVGSM reader(Path());
    ASSERT_TRUE(reader.is_open());
    EXPECT_EQ(reader.get_length(), c.length);
    EXPECT_EQ(reader.get_bitrate(), 13000u);
    audio::GSMData block;
    reader.get_data(block, 100);
    EXPECT_EQ(block.size(), 65 * c.length);
    EXPECT_EQ(block.padding, c.padding);
  }
}

TEST(WavReaderGSM, ReadPushesWholeBlocksAndStopsAtTheEnd) {
  const std::string data = Ramp(65 * 25);
  WriteFile(Path(), GSMWav(data, 320 * 25));
  audio::FileReaderWAVGSM reader(Path());
  Sink<audio::GSMData> sink;
  audio::connect<audio::GSMData>(&reader, &sink);
  ASSERT_TRUE(reader.read(23));
  EXPECT_EQ(sink.blocks.size(), 3u);  // 10, 10 and 3 blocks
  EXPECT_TRUE(SameBytes(sink.bytes, data.substr(0, 65 * 23)));
  EXPECT_EQ(reader.get_position(), 23u);
  EXPECT_FALSE(reader.read_time(1.0));  // 25 blocks wanted, 2 left
  EXPECT_TRUE(SameBytes(sink.bytes, data));
}

TEST(WavReader, AFileNoReaderCanUseIsClosedAtItsEnd) {
  const std::string files[] = {"", "RIFF", PCMWav(Ramp(10)).substr(0, 43), GSMWav(Ramp(65), 320, 11025),
                               PCMWav(Ramp(10), 1, 16, 0xFFFFFFFFu)};
  for (const std::string& bytes : files) {
    WriteFile(Path(), bytes);
    audio::FileReaderWAVPCM pcm(Path());
    audio::FileReaderWAVADPCM adpcm(Path());
    audio::FileReaderWAVGSM gsm(Path());
    audio::FileReader* readers[] = {&pcm, &adpcm, &gsm};
    for (audio::FileReader* reader : readers) {
      EXPECT_FALSE(reader->is_open());
      EXPECT_TRUE(reader->is_end());
      EXPECT_FALSE(reader->read(10));
      reader->seek(5);
      EXPECT_EQ(reader->get_position(), 0u);
    }
    audio::PCMData block;
    EXPECT_EQ(pcm.get_data(block, 100).size(), 0u);
    audio::GSMData gsm_block;
    EXPECT_EQ(gsm.get_data(gsm_block, 100).size(), 0u);
  }
  audio::FileReaderWAVPCM missing(L"%my_documents%/none.wav");
  EXPECT_FALSE(missing.is_open());
}

}  // namespace
