#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/mp3_reader.h"
#include "media_fixtures.h"

namespace {

using audio::FileReaderMP3;
using audio::MP3Data;
using audio::MP3FrameInfo;
using vo_test::FrameFields;
using vo_test::MediaFolder;
using vo_test::SilentFrame;

const FrameFields kRef{};                             // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo: 417 bytes
const FrameFields kPadded{1, 3, 9, 0, 1, false};      // the same with padding: 418 bytes
const FrameFields kOtherRate{1, 3, 11, 0, 0, false};  // 192 kbit/s: 626 bytes
const FrameFields kMono{1, 3, 9, 0, 0, true};
const FrameFields kLayer2{1, 2, 9, 0, 0, false};

std::string Frames(const FrameFields& fields, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += SilentFrame(fields);
  return s;
}

// Every block the reader gives until the end, with the reader's position
// after each.
struct Drained {
  std::vector<std::uint32_t> frame_sizes;
  std::vector<std::uint32_t> block_sizes;
  std::vector<std::string> first_bytes;
};

Drained Drain(FileReaderMP3& reader) {
  Drained d;
  for (int guard = 0; guard < 100000; ++guard) {
    MP3Data block;
    reader.get_data(block, 1);
    if (block.size() == 0) break;
    d.frame_sizes.push_back(block.frame_size);
    d.block_sizes.push_back(block.size());
    d.first_bytes.emplace_back(reinterpret_cast<const char*>(block.buffer.data()), 4);
  }
  return d;
}

TEST(MP3FrameHeader, ParsesTheStandardTables) {
  struct Case {
    const char* name;
    FrameFields fields;
    MP3FrameInfo want;
  };
  const Case cases[] = {
      {"MPEG-2 Layer III 64k 22050", {2, 3, 8, 0, 0, false}, {2, 3, 2, 22050, 64, 208, 576}},
      {"MPEG-1 Layer III 128k 44100", kRef, {1, 3, 2, 44100, 128, 417, 1152}},
      {"padding adds a byte", kPadded, {1, 3, 2, 44100, 128, 418, 1152}},
      {"mono", kMono, {1, 3, 1, 44100, 128, 417, 1152}},
      {"MPEG-1 Layer I 384k 48000 padded", {1, 1, 12, 1, 1, false}, {1, 1, 2, 48000, 384, 388, 384}},
      {"MPEG-1 Layer II 128k 32000", {1, 2, 8, 2, 0, false}, {1, 2, 2, 32000, 128, 576, 1152}},
      {"MPEG-2.5 Layer II 160k 8000", {3, 2, 14, 2, 0, false}, {3, 2, 2, 8000, 160, 2880, 1152}},
      {"MPEG-2.5 Layer III 8k 11025", {3, 3, 1, 0, 0, true}, {3, 3, 1, 11025, 8, 52, 576}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string header = vo_test::FrameHeader(c.fields);
    MP3FrameInfo info;
    ASSERT_TRUE(audio::parse_frame_header(reinterpret_cast<const std::uint8_t*>(header.data()), info));
    EXPECT_EQ(info.version, c.want.version);
    EXPECT_EQ(info.layer, c.want.layer);
    EXPECT_EQ(info.channels, c.want.channels);
    EXPECT_EQ(info.sample_rate, c.want.sample_rate);
    EXPECT_EQ(info.bitrate, c.want.bitrate);
    EXPECT_EQ(info.frame_length, c.want.frame_length);
    EXPECT_EQ(info.samples, c.want.samples);
  }
}

TEST(MP3FrameHeader, RefusesUnusableFields) {
  const std::uint32_t good = 0xFFFB9000u;
  const std::uint32_t cases[] = {
      good & ~0x00200000u,  // a sync bit clear
      good & ~0x00060000u,  // layer 0
      good & ~0x0000F000u,  // bitrate index 0 (free format)
      good | 0x0000F000u,   // bitrate index 15
      good | 0x00000C00u,   // sampling-rate index 3
  };
  for (const std::uint32_t h : cases) {
    SCOPED_TRACE(h);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(h >> 24), static_cast<std::uint8_t>(h >> 16),
                                   static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h)};
    MP3FrameInfo info;
    EXPECT_FALSE(audio::is_valid_frame_header(bytes));
    EXPECT_FALSE(audio::parse_frame_header(bytes, info));
  }
}

TEST(FileReaderMP3, OpensAfterForeignDataAndGivesEveryFrameToTheEnd) {
  MediaFolder folder;
  // Several KB of foreign bytes (behind a tag header whose size points past
  // the file), a false (mono) header that no header follows, then frames of
  // changing bitrate, the last ending exactly at the end of the file.
  std::string junk = std::string("ID3\x04\x00\x00\x7F\x7F\x7F\x7F", 10) + std::string(5000, '\x11');
  junk += vo_test::FrameHeader(kMono) + std::string(600, '\x22');
  const std::string frames = Frames(kRef, 3) + SilentFrame(kOtherRate) + SilentFrame(kPadded) + Frames(kRef, 2);
  folder.Write("a.mp3", junk + frames);

  FileReaderMP3 reader(MediaFolder::DevicePath("a.mp3"));
  ASSERT_TRUE(reader.is_open());
  EXPECT_FALSE(reader.is_end());
  EXPECT_EQ(reader.get_channels(), 2u);
  EXPECT_EQ(reader.get_sample_rate(), 44100u);
  EXPECT_EQ(reader.get_bitrate(), 128000u);
  EXPECT_EQ(reader.get_bits_per_sample(), 16u);
  EXPECT_EQ(reader.get_length(), junk.size() + frames.size());

  const Drained d = Drain(reader);
  EXPECT_EQ(d.frame_sizes, (std::vector<std::uint32_t>{417, 417, 417, 626, 418, 417, 417}));
  for (std::uint32_t size : d.block_sizes) EXPECT_EQ(size, FileReaderMP3::kBlockBytes);
  EXPECT_TRUE(reader.is_end());
  EXPECT_EQ(reader.get_position(), reader.get_length());
}

TEST(FileReaderMP3, SkipsFramesOfAnotherKindAndGarbageBetweenFrames) {
  MediaFolder folder;
  // Garbage longer than the read buffer, and frames of another layer,
  // channel count or rate, lie between matching frames.
  std::string file = Frames(kRef, 2) + std::string(25000, '\x5A') + SilentFrame(kMono) + SilentFrame(kLayer2) +
                     SilentFrame({1, 3, 9, 1, 0, false}) + Frames(kRef, 2);
  folder.Write("b.mp3", file);
  FileReaderMP3 reader(MediaFolder::DevicePath("b.mp3"));
  ASSERT_TRUE(reader.is_open());
  const Drained d = Drain(reader);
  ASSERT_EQ(d.frame_sizes.size(), 4u);
  for (const std::string& head : d.first_bytes) EXPECT_EQ(head, vo_test::FrameHeader(kRef));
  EXPECT_TRUE(reader.is_end());
}

TEST(FileReaderMP3, LongFramesAreCopiedWholeWithGuardBytes) {
  MediaFolder folder;
  const FrameFields big{3, 2, 14, 2, 0, false};  // 2880 bytes
  std::string frame = vo_test::FrameHeader(big);
  for (std::uint32_t i = 4; i < vo_test::FrameLength(big); ++i) frame += static_cast<char>(i * 7);
  folder.Write("c.mp3", frame + frame + frame);
  FileReaderMP3 reader(MediaFolder::DevicePath("c.mp3"));
  ASSERT_TRUE(reader.is_open());
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    MP3Data block;
    reader.get_data(block, 1);
    ASSERT_EQ(block.frame_size, 2880u);
    ASSERT_EQ(block.size(), 2888u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.buffer.data()), 2880), frame);
    // The last frame ends the file: its guard bytes are zeros.
    if (i == 2) {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.buffer.data()) + 2880, 8), std::string(8, '\0'));
    }
  }
  MP3Data block;
  reader.get_data(block, 1);
  EXPECT_EQ(block.size(), 0u);
  EXPECT_EQ(block.frame_size, 0u);
}

TEST(FileReaderMP3, FilesWithoutConfirmedFramesDoNotOpen) {
  MediaFolder folder;
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"junk", std::string(30000, '\x33')},
      {"shorter than a header", "\xFF\xFB\x90"},
      {"one header with nothing after it", vo_test::FrameHeader(kRef)},
      {"headers one length apart disagree", SilentFrame(kRef) + SilentFrame(kMono) + std::string(100, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write("x.mp3", c.bytes);
    FileReaderMP3 reader(MediaFolder::DevicePath("x.mp3"));
    EXPECT_FALSE(reader.is_open());
    EXPECT_TRUE(reader.is_end());
    MP3Data block;
    reader.get_data(block, 1);
    EXPECT_EQ(block.size(), 0u);
  }
  FileReaderMP3 missing(MediaFolder::DevicePath("missing.mp3"));
  EXPECT_FALSE(missing.is_open());
  EXPECT_TRUE(missing.is_end());
}

TEST(FileReaderMP3, AnEmptyFileIsOpenAndAtItsEnd) {
  MediaFolder folder;
  folder.Write("empty.mp3", "");
  FileReaderMP3 reader(MediaFolder::DevicePath("empty.mp3"));
  EXPECT_TRUE(reader.is_open());
  EXPECT_TRUE(reader.is_end());
  EXPECT_EQ(reader.get_length(), 0u);
  EXPECT_EQ(reader.get_bitrate(), 0u);
  EXPECT_EQ(reader.get_length_time(), 0.0);
}

TEST(FileReaderMP3, SeekClampsAndTheNextFrameIsSearchedFromThere) {
  MediaFolder folder;
  folder.Write("s.mp3", Frames(kRef, 10));
  FileReaderMP3 reader(MediaFolder::DevicePath("s.mp3"));
  ASSERT_TRUE(reader.is_open());

  reader.seek(417 * 4 + 100);  // inside the fifth frame
  EXPECT_EQ(reader.get_position(), 417u * 4 + 100);
  EXPECT_EQ(Drain(reader).frame_sizes.size(), 5u);

  reader.seek(1000000);
  EXPECT_EQ(reader.get_position(), reader.get_length());
  EXPECT_TRUE(reader.is_end());

  // 128 kbit/s: 16,000 bytes a second.
  EXPECT_EQ(reader.time_to_units(1.0), 16000u);
  EXPECT_DOUBLE_EQ(reader.units_to_time(8000), 0.5);
  reader.seek_time(0.0);
  EXPECT_EQ(reader.get_position(), 0u);
  EXPECT_DOUBLE_EQ(reader.get_length_time(), 4170.0 / 16000.0);
}

class Collector : public audio::Consumer<MP3Data> {
 public:
  void on_data(const MP3Data& block) override { sizes.push_back(block.frame_size); }
  std::vector<std::uint32_t> sizes;
};

TEST(FileReaderMP3, ReadPushesFramesUntilTheAmountIsCovered) {
  MediaFolder folder;
  folder.Write("r.mp3", Frames(kRef, 6));
  FileReaderMP3 reader(MediaFolder::DevicePath("r.mp3"));
  Collector sink;
  audio::connect<MP3Data>(&reader, &sink);
  EXPECT_TRUE(reader.read(417 * 2 + 1));  // three frames cover it
  EXPECT_EQ(sink.sizes.size(), 3u);
  EXPECT_TRUE(reader.read_time(0.01));
  EXPECT_EQ(sink.sizes.size(), 4u);
  EXPECT_FALSE(reader.read(417 * 5));  // only two frames are left
  EXPECT_EQ(sink.sizes.size(), 6u);
  audio::connect<MP3Data>(&reader, nullptr);
}

std::string TagBody(const std::string& title, const std::string& comment, std::uint8_t track, std::uint8_t genre) {
  std::string body(125, '\0');
  body.replace(0, title.size(), title);
  body.replace(30, 6, "Artist");
  body.replace(60, 8, "Album   ");
  body.replace(90, 4, "2024");
  body.replace(94, comment.size(), comment);
  if (track != 0) {
    body[122] = '\0';
    body[123] = static_cast<char>(track);
  }
  body[124] = static_cast<char>(genre);
  return body;
}

TEST(MP3Tag, ReadsTheLastTagOfTheFileEnd) {
  MediaFolder folder;
  struct Case {
    const char* name;
    std::string file;
    bool found;
    std::string title;
    std::string comment;
    std::uint32_t track;
  };
  const std::string audio = Frames(kRef, 4);
  const Case cases[] = {
      {"tag with track", audio + "TAG" + TagBody("Title  ", "note", 7, 12), true, "Title", "note", 7},
      {"title with NUL then text is cut", audio + "TAG" + TagBody(std::string("Ab\0cd", 5), "", 0, 1), true, "Ab", "",
       0},
      {"comment of 30 bytes has no track", audio + "TAG" + TagBody("T", std::string(30, 'c'), 0, 1), true, "T",
       std::string(30, 'c'), 0},
      {"a later TAG too close to the end", audio + "TAG" + TagBody("Old", "", 0, 1) + "TAGshort", false, "", "", 0},
      {"no tag", audio, false, "", "", 0},
      {"tiny file", "TAG", false, "", "", 0},
      {"file of one tag only", "TAG" + TagBody("Only", "", 3, 0), true, "Only", "", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write("t.mp3", c.file);
    const audio::MP3TagInfo tag = audio::read_mp3_tag(MediaFolder::DevicePath("t.mp3"));
    EXPECT_EQ(tag.found != 0, c.found);
    EXPECT_EQ(tag.title, c.title);
    EXPECT_EQ(tag.comment, c.comment);
    EXPECT_EQ(tag.track, c.track);
    if (c.found) {
      EXPECT_EQ(tag.artist, "Artist");
      EXPECT_EQ(tag.album, "Album");
      EXPECT_EQ(tag.year, "2024");
    }
  }
  EXPECT_EQ(audio::read_mp3_tag(MediaFolder::DevicePath("none.mp3")).found, 0);
}

TEST(FileReaderMP3, PlaysEncodedFilesWithTagsAtBothEnds) {
  if (!MediaFolder::HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
  MediaFolder folder;
  folder.Write("tone.wav", vo_test::SineWav(1, 22050, 2.0, 1000.0));
  ASSERT_TRUE(folder.Run("lame",
                         "--quiet -b 32 --add-id3v2 --pad-id3v2-size 4000 --tt 'Song Title' --ta Singer "
                         "--tn 5 tone.wav tagged.mp3"));
  const audio::MP3TagInfo tag = audio::read_mp3_tag(MediaFolder::DevicePath("tagged.mp3"));
  EXPECT_EQ(tag.found, 1);
  EXPECT_EQ(tag.title, "Song Title");
  EXPECT_EQ(tag.artist, "Singer");
  EXPECT_EQ(tag.track, 5u);

  FileReaderMP3 reader(MediaFolder::DevicePath("tagged.mp3"));
  ASSERT_TRUE(reader.is_open());
  EXPECT_EQ(reader.get_sample_rate(), 22050u);
  EXPECT_EQ(reader.get_channels(), 1u);
  EXPECT_EQ(reader.get_bitrate(), 32000u);
  const Drained d = Drain(reader);
  // 2 s of 576-sample frames, plus the encoder's own lead-in frame and delay.
  EXPECT_GE(d.frame_sizes.size(), 77u);
  EXPECT_LE(d.frame_sizes.size(), 82u);
  EXPECT_TRUE(reader.is_end());
}

}  // namespace
