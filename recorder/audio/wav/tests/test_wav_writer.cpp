#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "audio/wav_reader.h"
#include "audio/wav_writer.h"
#include "ce/testing.h"
#include "scoped_setting.h"
#include "wav_test_files.h"

namespace {

using namespace wav_test;

std::wstring Path() { return TestPath(); }

audio::ADPCMData ADPCMBlocks(std::uint32_t count, std::uint32_t align = 256, std::uint32_t channels = 1,
                             std::uint32_t rate = 8000) {
  audio::ADPCMData block;
  const std::string bytes = Ramp(count * align);
  block.buffer = audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  block.channels = channels;
  block.bits = 4;
  block.rate = rate;
  block.block_align = align;
  return block;
}

audio::GSMData GSMBlocks(std::uint32_t count) {
  audio::GSMData block;
  const std::string bytes = Ramp(count * 65);
  block.buffer = audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return block;
}

TEST(WavWriter, PCMRecordingGivesTheExactFileAndAppendingRewritesTheHeaderInPlace) {
  const std::string second = Ramp(16000);
  {
    audio::FileWriterWAVPCM writer(Path(), false);
    for (int i = 0; i < 10; ++i) writer.on_data(PCMBlock(second));
    EXPECT_TRUE(writer.is_open());
    EXPECT_EQ(writer.get_written(), 160000u);
    EXPECT_EQ(writer.get_bitrate(), 128000u);
  }
  std::string file = ReadFile(Path());
  ASSERT_EQ(file.size(), 160044u);
  std::string header = "RIFF";
  Put32(header, 160036);
  header += "WAVEfmt ";
  Put32(header, 16);
  Put16(header, 1);
  Put16(header, 1);
  Put32(header, 8000);
  Put32(header, 16000);
  Put16(header, 2);
  Put16(header, 16);
  header += "data";
  Put32(header, 160000);
  EXPECT_EQ(file.substr(0, 44), header);

  {
    audio::FileWriterWAVPCM writer(Path(), true);
    EXPECT_TRUE(writer.is_open());
    EXPECT_EQ(writer.get_written(), 160000u);
    writer.on_data(PCMBlock(Ramp(16000, 7)));
    EXPECT_EQ(writer.get_written(), 176000u);
  }
  file = ReadFile(Path());
  ASSERT_EQ(file.size(), 176044u);
  EXPECT_EQ(Get32(file, 4), 176036u);
  EXPECT_EQ(Get32(file, 40), 176000u);
  EXPECT_TRUE(SameBytes(file.substr(44 + 9 * 16000, 16000), second));
  EXPECT_TRUE(SameBytes(file.substr(44 + 160000), Ramp(16000, 7)));
}

TEST(WavWriter, ADPCMAndGSMFilesHaveTheirFixedLayouts) {
  {
    audio::FileWriterWAVADPCM writer(Path(), false);
    writer.on_data(ADPCMBlocks(2));
    writer.on_data(ADPCMBlocks(1));
    EXPECT_EQ(writer.get_written(), 768u);
  }
  std::string file = ReadFile(Path());
  ASSERT_EQ(file.size(), 90u + 768u);
  EXPECT_EQ(Get32(file, 4), 82u + 768u);
  EXPECT_EQ(Get32(file, 16), 50u);
  EXPECT_EQ(Get16(file, 20), 2u);
  EXPECT_EQ(Get32(file, 28), 4096u);  // byte rate
  EXPECT_EQ(Get16(file, 32), 256u);   // block align
  EXPECT_EQ(Get16(file, 34), 4u);
  EXPECT_EQ(Get16(file, 36), 32u);   // extra size
  EXPECT_EQ(Get16(file, 38), 500u);  // samples per block
  EXPECT_EQ(Get16(file, 40), 7u);
  const std::int16_t pairs[14] = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(static_cast<std::int16_t>(Get16(file, 42 + 2 * i)), pairs[i]) << i;
  EXPECT_EQ(file.substr(70, 4), "fact");
  EXPECT_EQ(Get32(file, 74), 4u);
  EXPECT_EQ(Get32(file, 78), 1500u);
  EXPECT_TRUE(SameBytes(file.substr(82, 4), "data"));
  EXPECT_EQ(Get32(file, 86), 768u);

  {
    audio::FileWriterWAVGSM writer(Path(), false);
    writer.on_data(GSMBlocks(2));
    writer.on_data(GSMBlocks(3));
    EXPECT_EQ(writer.get_written(), 325u);
  }
  file = ReadFile(Path());
  ASSERT_EQ(file.size(), 60u + 325u + 1u) << "the odd data chunk's pad byte";
  EXPECT_EQ(Get32(file, 4), 52u + 325u + 1u);
  EXPECT_EQ(file.back(), '\0');
  EXPECT_EQ(Get32(file, 16), 20u);
  EXPECT_EQ(Get16(file, 20), 49u);
  EXPECT_EQ(Get16(file, 22), 1u);
  EXPECT_EQ(Get32(file, 24), 8000u);
  EXPECT_EQ(Get32(file, 28), 1625u);
  EXPECT_EQ(Get16(file, 32), 65u);
  EXPECT_EQ(Get16(file, 34), 0u);
  EXPECT_EQ(Get16(file, 36), 2u);
  EXPECT_EQ(Get16(file, 38), 320u);
  EXPECT_EQ(file.substr(40, 4), "fact");
  EXPECT_EQ(Get32(file, 48), 1600u);
  EXPECT_EQ(Get32(file, 56), 325u);
}

// A block's padding is left out of the "fact" count while it ends the
// file; once more blocks follow it, it is played, and counted.
TEST(WavWriter, TheSampleCountLeavesOutTheLastBlocksPadding) {
  {
    audio::FileWriterWAVADPCM writer(Path(), false);
    audio::ADPCMData blocks = ADPCMBlocks(2);
    blocks.padding = 123;
    writer.on_data(blocks);
  }
  EXPECT_EQ(Get32(ReadFile(Path()), 78), 1000u - 123u);
  {
    audio::FileWriterWAVGSM writer(Path(), false);
    audio::GSMData blocks = GSMBlocks(3);
    blocks.padding = 300;
    writer.on_data(blocks);
  }
  EXPECT_EQ(Get32(ReadFile(Path()), 48), 960u - 300u);
  {
    audio::FileWriterWAVGSM writer(Path(), true);
    audio::GSMData blocks = GSMBlocks(1);
    blocks.padding = 20;
    writer.on_data(blocks);
  }
  EXPECT_EQ(Get32(ReadFile(Path()), 48), 1280u - 20u);
}

TEST(WavWriter, BlocksTheFileCannotTakeAreDroppedWithoutStoppingTheWriter) {
  {
    audio::FileWriterWAVPCM writer(Path(), false);
    writer.on_data(PCMBlock(""));                 // nothing to set the format from
    writer.on_data(PCMBlock("ab", 0, 16, 8000));  // a zero format
    EXPECT_FALSE(Exists(Path()));
    writer.on_data(PCMBlock(Ramp(101)));  // the last half frame is not stored
    writer.on_data(PCMBlock(Ramp(100), 2, 16, 8000));
    writer.on_data(PCMBlock(Ramp(100), 1, 8, 8000));
    writer.on_data(PCMBlock(Ramp(100), 1, 16, 11025));
    writer.on_data(PCMBlock(Ramp(10, 100)));
    EXPECT_TRUE(writer.is_open());
    EXPECT_EQ(writer.get_written(), 110u);
  }
  EXPECT_TRUE(SameBytes(ReadFile(Path()).substr(44), Ramp(110)));

  const std::wstring adpcm = TestPath("2.wav");
  {
    audio::FileWriterWAVADPCM writer(adpcm, false);
    writer.on_data(ADPCMBlocks(1, 256, 3));  // three channels: no file
    writer.on_data(ADPCMBlocks(1, 13, 2));   // a block too small for its headers
    EXPECT_FALSE(Exists(adpcm));
    writer.on_data(ADPCMBlocks(1));
    writer.on_data(ADPCMBlocks(1, 512));
    writer.on_data(ADPCMBlocks(1, 256, 1, 22050));
    EXPECT_TRUE(writer.is_open());
    EXPECT_EQ(writer.get_written(), 256u);
  }
  EXPECT_EQ(Get32(ReadFile(adpcm), 78), 500u);
}

TEST(WavWriter, AWriterThatGetsNoBlockCreatesNoFile) {
  { audio::FileWriterWAVPCM writer(Path(), false); }
  { audio::FileWriterWAVGSM writer(Path(), false); }
  EXPECT_FALSE(Exists(Path()));
}

TEST(WavWriter, AppendNeverCreatesAFileNorTouchesOneOfAnotherFormat) {
  {
    audio::FileWriterWAVPCM writer(Path(), true);
    EXPECT_FALSE(writer.is_open());
    writer.on_data(PCMBlock(Ramp(100)));
  }
  EXPECT_FALSE(Exists(Path()));

  const std::string foreign[] = {"plain text, no RIFF here", GSMWav(Ramp(130), 640), PCMWav(Ramp(100), 1, 8)};
  for (const std::string& bytes : foreign) {
    WriteFile(Path(), bytes);
    {
      audio::FileWriterWAVADPCM writer(Path(), true);
      EXPECT_FALSE(writer.is_open());
      EXPECT_EQ(writer.get_written(), 0u);
      writer.on_data(ADPCMBlocks(1));
    }
    EXPECT_TRUE(SameBytes(ReadFile(Path()), bytes));
  }
}

TEST(WavWriter, AppendingToAFileWithOtherChunksPatchesItsSizesInPlace) {
  const std::string list = Chunk("LIST", "INFOabc");
  std::string extra;
  Put16(extra, 2);
  Put16(extra, 320);
  const std::string head = Riff(FmtChunk({49, 1, 8000, 1625, 65, 0, extra}) + list + Fact(320) + Chunk("data", ""));
  WriteFile(Path(), head + Ramp(65));  // data size 0: the block after it counts
  {
    audio::FileWriterWAVGSM writer(Path(), true);
    ASSERT_TRUE(writer.is_open());
    EXPECT_EQ(writer.get_written(), 65u);
    writer.on_data(GSMBlocks(2));
  }
  const std::string file = ReadFile(Path());
  ASSERT_EQ(file.size(), head.size() + 195 + 1);
  EXPECT_EQ(file.substr(12, head.size() - 12 - 20), head.substr(12, head.size() - 12 - 20)) << "fmt and LIST kept";
  EXPECT_EQ(Get32(file, 4), file.size() - 8);
  EXPECT_EQ(Get32(file, head.size() - 4), 195u);
  EXPECT_EQ(Get32(file, head.size() - 12), 320u + 640u);

  audio::FileReaderWAVGSM reader(Path());
  ASSERT_TRUE(reader.is_open());
  EXPECT_EQ(reader.get_length(), 3u);
}

TEST(WavWriter, AFullDiskStopsTheWriterWithAHeaderThatMatchesTheStoredFrames) {
  ce::test::ScopedSetting free("DEVICE_FREE_BYTES", std::to_string(44 + 2 * 8000 + 100));
  {
    audio::FileWriterWAVPCM writer(Path(), false);
    for (int i = 0; i < 4; ++i) writer.on_data(PCMBlock(Ramp(8000, i)));
    EXPECT_FALSE(writer.is_open());
    EXPECT_EQ(writer.get_written(), 16000u);
  }
  const std::string file = ReadFile(Path());
  ASSERT_EQ(file.size(), 44u + 16000u);
  EXPECT_EQ(Get32(file, 4), 36u + 16000u);
  EXPECT_EQ(Get32(file, 40), 16000u);
  EXPECT_TRUE(SameBytes(file.substr(44 + 8000), Ramp(8000, 1)));
}

TEST(WavWriter, TheHeaderIsRefreshedAboutOnceASecondWhileRecording) {
  using ce::testing::AdvanceClock;
  using ce::testing::UseRealClock;
  using ce::testing::UseVirtualClock;
  UseVirtualClock(1000, 0);
  {
    audio::FileWriterWAVPCM writer(Path(), false);
    writer.on_data(PCMBlock(Ramp(4000)));
    // The first block's sizes are in the header at once: a crash before
    // the first refresh leaves a file that plays the first block, not an
    // empty one.
    std::string file = ReadHostFile(TestHostPath());
    EXPECT_EQ(Get32(file, 4), 36u + 4000u);
    EXPECT_EQ(Get32(file, 40), 4000u);
    AdvanceClock(500);
    writer.on_data(PCMBlock(Ramp(4000)));
    EXPECT_EQ(Get32(ReadHostFile(TestHostPath()), 40), 4000u) << "not yet a second";
    AdvanceClock(500);
    writer.on_data(PCMBlock(Ramp(4000)));
    // A crash now would leave a file that plays the 12,000 bytes so far.
    file = ReadHostFile(TestHostPath());
    EXPECT_EQ(Get32(file, 4), 36u + 12000u);
    EXPECT_EQ(Get32(file, 40), 12000u);
    writer.on_data(PCMBlock(Ramp(4000)));
    EXPECT_EQ(Get32(ReadHostFile(TestHostPath()), 40), 12000u);
    EXPECT_TRUE(writer.is_open());
  }
  EXPECT_EQ(Get32(ReadFile(Path()), 40), 16000u);
  UseRealClock();
}

TEST(WavWriter, AFileAboutToPassFourGigabytesStopsTheWriter) {
  // A sparse file whose data runs to just below 4 GB.
  const std::uint32_t size = 0xFFFFF000u;
  {
    os::File file(Path(), 1);
    const std::string header = PCMWav("").substr(0, 40);
    file.write(header.data(), 40);
    std::string data_size;
    Put32(data_size, size - 44);
    file.write(data_size.data(), 4);
    ASSERT_TRUE(file.set_size(size));
  }
  {
    audio::FileWriterWAVPCM writer(Path(), true);
    ASSERT_TRUE(writer.is_open());
    writer.on_data(PCMBlock(Ramp(2048)));
    EXPECT_TRUE(writer.is_open());
    writer.on_data(PCMBlock(Ramp(4096)));
    EXPECT_FALSE(writer.is_open());
  }
  EXPECT_EQ(os::File(Path(), 0).get_size(), size + 2048);
  os::File file(Path(), 0);
  char b[44];
  ASSERT_EQ(file.read(b, 44), 44u);
  EXPECT_EQ(Get32(std::string(b, 44), 40), size - 44 + 2048);
}

}  // namespace
