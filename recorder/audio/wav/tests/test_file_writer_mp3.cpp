#include <gtest/gtest.h>

#include <string>

#include "audio/file_writer_mp3.h"
#include "scoped_setting.h"
#include "wav_test_files.h"

namespace {

using namespace wav_test;

std::wstring Path() { return TestPath(".mp3"); }

// A block whose view holds `bytes` and whose first `valid` bytes count.
audio::MP3Data Frame(const std::string& bytes, std::uint32_t valid) {
  audio::MP3Data block;
  block.buffer = audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  block.frame_size = valid;
  return block;
}

std::uint32_t SizeOnDisk() { return os::FileInfo(Path()).get_size(); }

TEST(FileWriterMP3, FramesAreGatheredAndWrittenInOrder) {
  std::string expected;
  {
    audio::FileWriterMP3 writer(Path(), false);
    ASSERT_TRUE(writer.is_open());
    // Frames of 417 valid bytes in copies of 2,000, as the MP3 reader hands
    // them on; and one that claims more than its view holds.
    for (int i = 0; i < 200; ++i) {
      writer.on_data(Frame(Ramp(2000, i), 417));
      expected += Ramp(417, i);
    }
    writer.on_data(Frame(Ramp(300, 9), 5000));
    expected += Ramp(300, 9);
    EXPECT_EQ(writer.get_written(), expected.size());
    EXPECT_EQ(SizeOnDisk(), 0u) << "still gathered";
    for (int i = 0; i < 100; ++i) {
      writer.on_data(Frame(Ramp(417, i + 1), 417));
      expected += Ramp(417, i + 1);
    }
    EXPECT_EQ(SizeOnDisk(), 200u * 417 + 300 + 87 * 417) << "one write when the buffer would overflow";
    // A block longer than the buffer goes out at once, after what was gathered.
    writer.on_data(Frame(Ramp(130000, 3), 130000));
    expected += Ramp(130000, 3);
    EXPECT_EQ(SizeOnDisk(), expected.size());
    writer.on_data(Frame("abc", 3));
    expected += "abc";
    writer.on_data(Frame("", 0));
    EXPECT_EQ(writer.get_written(), expected.size());
  }
  EXPECT_TRUE(SameBytes(ReadFile(Path()), expected));
}

TEST(FileWriterMP3, AppendingContinuesAnExistingFileOnly) {
  {
    audio::FileWriterMP3 writer(Path(), true);
    EXPECT_FALSE(writer.is_open());
    writer.on_data(Frame("abc", 3));
  }
  EXPECT_FALSE(Exists(Path()));

  WriteFile(Path(), "old frames|");
  {
    audio::FileWriterMP3 writer(Path(), true);
    ASSERT_TRUE(writer.is_open());
    EXPECT_EQ(writer.get_written(), 11u);
    writer.on_data(Frame("new", 3));
    EXPECT_EQ(writer.get_written(), 14u);
  }
  EXPECT_EQ(ReadFile(Path()), "old frames|new");
}

TEST(FileWriterMP3, AFullDiskClosesTheWriter) {
  ce::test::ScopedSetting free("DEVICE_FREE_BYTES", "150000");
  audio::FileWriterMP3 writer(Path(), false);
  for (int i = 0; i < 1000 && writer.is_open(); ++i) writer.on_data(Frame(Ramp(417, i), 417));
  EXPECT_FALSE(writer.is_open());
  const std::uint32_t written = writer.get_written();
  writer.on_data(Frame(Ramp(417), 417));
  EXPECT_EQ(writer.get_written(), written) << "a closed writer takes nothing";
}

}  // namespace
