#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/mpc_decoder.h"
#include "audio/vorbis_decoder.h"
#include "media_fixtures.h"
#include "os/file.h"

namespace {

using audio::DecoderMPC;
using audio::DecoderVorbis;
using audio::PCMData;
using vo_test::MediaFolder;

// Makes `name` from a generated tone with the tool, or skips the test.
#define MAKE_OR_SKIP(folder, tool, args, wav)                                   \
  do {                                                                          \
    if (!MediaFolder::HaveTool(tool)) GTEST_SKIP() << tool " is not installed"; \
    (folder).Write("in.wav", (wav));                                            \
    ASSERT_TRUE((folder).Run(tool, args));                                      \
  } while (0)

class Counter : public audio::Consumer<PCMData> {
 public:
  void on_data(const PCMData& block) override { frames += block.get_frames(); }
  std::uint64_t frames = 0;
};

// The format of the two-second 44.1 kHz stereo tone, as a reader of its
// encoded file must give it.
template <typename Reader>
void ExpectStereoToneFormat(Reader& reader) {
  EXPECT_EQ(reader.get_channels(), 2u);
  EXPECT_EQ(reader.get_sample_rate(), 44100u);
  EXPECT_EQ(reader.get_bits_per_sample(), 16u);
  EXPECT_GT(reader.get_bitrate(), 0u);
  EXPECT_EQ(reader.get_length(), 88200u);
}

// Pulls everything, checking each block's format and size limit; answers the
// frames given.
template <typename Reader>
std::uint64_t DrainFrames(Reader& reader, std::uint32_t request, std::uint32_t max_frames) {
  std::uint64_t total = 0;
  for (int guard = 0; guard < 1000000; ++guard) {
    PCMData pcm;
    reader.get_data(pcm, request);
    if (pcm.size() == 0) break;
    EXPECT_EQ(pcm.bits, 16u);
    EXPECT_EQ(pcm.channels, reader.get_channels());
    EXPECT_EQ(pcm.size() % pcm.frame_size(), 0u);
    EXPECT_LE(pcm.get_frames(), max_frames);
    total += pcm.get_frames();
  }
  return total;
}

TEST(DecoderVorbis, PlaysAnEncodedFileToItsEnd) {
  MediaFolder folder;
  MAKE_OR_SKIP(folder, "oggenc", "-Q -o tone.ogg in.wav", vo_test::SineWav(2, 44100, 2.0, 1000.0));
  DecoderVorbis reader(MediaFolder::DevicePath("tone.ogg"));
  ASSERT_TRUE(reader.is_open());
  ExpectStereoToneFormat(reader);
  EXPECT_DOUBLE_EQ(reader.get_length_time(), 2.0);
  EXPECT_EQ(reader.time_to_units(0.5), 22050u);

  // Large requests are capped at 8,192 frames; every frame comes out once and
  // the position meets the length exactly at the end.
  EXPECT_EQ(DrainFrames(reader, 10000, DecoderVorbis::kMaxFrames), 88200u);
  EXPECT_TRUE(reader.is_end());
  EXPECT_EQ(reader.get_position(), reader.get_length());

  reader.seek(44100);
  EXPECT_EQ(reader.get_position(), 44100u);
  EXPECT_FALSE(reader.is_end());
  Counter sink;
  audio::connect<PCMData>(&reader, &sink);
  EXPECT_TRUE(reader.read_time(0.25));
  EXPECT_GE(sink.frames, 11025u);
  EXPECT_FALSE(reader.read(100000));
  EXPECT_EQ(sink.frames, 44100u);
  audio::connect<PCMData>(&reader, nullptr);
}

TEST(DecoderVorbis, CutFilesPlayWhatIsThereAndEnd) {
  MediaFolder folder;
  MAKE_OR_SKIP(folder, "oggenc", "-Q -o tone.ogg in.wav", vo_test::SineWav(2, 44100, 3.0, 440.0));
  const std::string whole = folder.Read("tone.ogg");
  // A pure tone packs small, so the stream's set-up headers fill the first
  // half of the file: a cut there leaves nothing to play.
  struct Case {
    double part;
    bool plays;
  };
  for (const Case c : {Case{0.3, false}, Case{0.8, true}, Case{0.95, true}}) {
    SCOPED_TRACE(c.part);
    folder.Write("cut.ogg", whole.substr(0, static_cast<std::size_t>(whole.size() * c.part)));
    DecoderVorbis reader(MediaFolder::DevicePath("cut.ogg"));
    const std::uint64_t frames = DrainFrames(reader, 4096, 4096);
    EXPECT_EQ(frames > 0, c.plays);
    EXPECT_LT(frames, 3u * 44100);
    EXPECT_TRUE(reader.is_end());
    EXPECT_EQ(reader.get_position(), reader.get_length());
  }
}

TEST(DecoderVorbis, FileCallbacksSeekByOrigin) {
  MediaFolder folder;
  folder.Write("f.bin", std::string(1000, 'x'));
  os::File file(MediaFolder::DevicePath("f.bin"), 0);
  struct Case {
    std::int64_t offset;
    int origin;
    long want;
  };
  const Case cases[] = {{100, 0, 100}, {50, 1, 150}, {-10, 2, 990}, {-20, 1, 970}, {5, 7, 970}, {0, 2, 1000}};
  for (const Case& c : cases) {
    EXPECT_EQ(DecoderVorbis::file_seek(&file, c.offset, c.origin), 0);
    EXPECT_EQ(DecoderVorbis::file_tell(&file), c.want) << c.offset << "/" << c.origin;
  }
  DecoderVorbis::file_seek(&file, 996, 0);
  char buffer[16];
  EXPECT_EQ(DecoderVorbis::file_read(buffer, 3, 5, &file), 1u);  // 4 bytes left: one item of 3
  EXPECT_EQ(DecoderVorbis::file_close(&file), 0);
}

TEST(DecoderMPC, PlaysAnEncodedFileAndKeepsTheDecodedFrameAcrossASeek) {
  MediaFolder folder;
  MAKE_OR_SKIP(folder, "mpcenc", "--silent in.wav tone.mpc", vo_test::SineWav(2, 44100, 2.0, 1000.0));
  DecoderMPC reader(MediaFolder::DevicePath("tone.mpc"));
  ASSERT_TRUE(reader.is_open());
  ExpectStereoToneFormat(reader);

  // A stereo frame of n sample frames is 4n bytes; a small request leaves the
  // rest pending, and a seek does not drop it.
  PCMData first;
  reader.get_data(first, 100);
  ASSERT_EQ(first.size(), 400u);
  const std::uint32_t decoded = reader.get_position();
  ASSERT_GT(decoded, 100u);
  reader.seek(44100);
  EXPECT_EQ(reader.get_position(), 44100u);
  PCMData stale;
  reader.get_data(stale, 100000);
  EXPECT_EQ(stale.get_frames(), decoded - 100);
  EXPECT_EQ(reader.get_position(), 44100u);

  const std::uint64_t rest = DrainFrames(reader, 1000, 1000);
  EXPECT_NEAR(static_cast<double>(rest), 44100.0, 1152.0);
  EXPECT_TRUE(reader.is_end());
  EXPECT_GE(reader.get_position(), reader.get_length());
}

TEST(DecoderMPC, IsAtItsEndOnceTheDecodedPositionReachesTheLength) {
  MediaFolder folder;
  MAKE_OR_SKIP(folder, "mpcenc", "--silent in.wav tone.mpc", vo_test::SineWav(1, 44100, 1.0, 500.0));
  DecoderMPC reader(MediaFolder::DevicePath("tone.mpc"));
  ASSERT_TRUE(reader.is_open());
  reader.seek(reader.get_length() - 10);
  PCMData pcm;
  reader.get_data(pcm, 1);
  EXPECT_TRUE(reader.is_end());
  Counter sink;
  audio::connect<PCMData>(&reader, &sink);
  EXPECT_TRUE(reader.read(1));
  audio::connect<PCMData>(&reader, nullptr);
}

TEST(DecoderMPC, CutFilesPlayWhatIsThereAndEnd) {
  MediaFolder folder;
  MAKE_OR_SKIP(folder, "mpcenc", "--silent in.wav tone.mpc", vo_test::SineWav(2, 44100, 3.0, 440.0));
  const std::string whole = folder.Read("tone.mpc");
  for (const double part : {0.1, 0.5, 0.9}) {
    SCOPED_TRACE(part);
    folder.Write("cut.mpc", whole.substr(0, static_cast<std::size_t>(whole.size() * part)));
    DecoderMPC reader(MediaFolder::DevicePath("cut.mpc"));
    ASSERT_TRUE(reader.is_open());
    const std::uint64_t frames = DrainFrames(reader, 4096, 4096);
    EXPECT_GT(frames, 0u);
    EXPECT_LE(frames, 3u * 44100 + 1152);
    EXPECT_TRUE(reader.is_end());
    EXPECT_GE(reader.get_position(), reader.get_length());
  }
}

// An old-style header that claims about a billion frames, in front of a few
// kilobytes: the length is held to what the file can carry, so a seek to the
// end does not make the library read on past the end for every frame
// claimed.
TEST(DecoderMPC, ALengthBeyondTheFileIsHeldToWhatTheFileCarries) {
  MediaFolder folder;
  std::string file(
      "MP+\x07SH\x0D\x3A\x58\xCF\xF4\x08\xE7\x2E\x00\x15\x1B\x52\x47\x0C\x01\x00\x00\x00\x00\x00\x00\x00"
      "\x00\x45\x49\x07",
      32);
  file.resize(4096, '\0');
  folder.Write("long.mpc", file);
  DecoderMPC reader(MediaFolder::DevicePath("long.mpc"));
  ASSERT_TRUE(reader.is_open());
  // At most one frame of 1,152 samples per bit of the file.
  EXPECT_LE(reader.get_length(), 4096u * 8 * 1152);
  EXPECT_GT(reader.get_length(), 0u);
  reader.seek(reader.get_length() - 1);
  EXPECT_EQ(reader.get_position(), reader.get_length() - 1);
  DrainFrames(reader, 4096, 4096);
  EXPECT_TRUE(reader.is_end());
}

TEST(DecodingReaders, RefuseOtherFiles) {
  MediaFolder folder;
  folder.Write("junk.bin", std::string(5000, '\x7F'));
  folder.Write("wav.bin", vo_test::SineWav(1, 8000, 0.5, 400.0));
  folder.Write("empty.bin", "");
  for (const char* name : {"junk.bin", "wav.bin", "empty.bin", "missing.bin"}) {
    SCOPED_TRACE(name);
    DecoderVorbis vorbis(MediaFolder::DevicePath(name));
    DecoderMPC mpc(MediaFolder::DevicePath(name));
    for (audio::FileReader* reader :
         {static_cast<audio::FileReader*>(&vorbis), static_cast<audio::FileReader*>(&mpc)}) {
      EXPECT_FALSE(reader->is_open());
      EXPECT_TRUE(reader->is_end());
      EXPECT_FALSE(reader->read(10));
      EXPECT_EQ(reader->get_length(), 0u);
    }
    PCMData pcm;
    EXPECT_EQ(vorbis.get_data(pcm, 100).size(), 0u);
    EXPECT_EQ(mpc.get_data(pcm, 100).size(), 0u);
  }
}

}  // namespace

namespace {

// Flips a few bytes past the first kilobyte (in the audio packets, mostly).
std::string Damaged(std::string bytes, std::uint32_t seed) {
  for (int i = 0; i < 8; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const std::size_t at = 1024 + (seed >> 8) % (bytes.size() - 1024);
    bytes[at] = static_cast<char>(bytes[at] ^ static_cast<char>(1 + (seed & 0x7F)));
  }
  return bytes;
}

template <typename Reader>
void PlayDamagedCopies(MediaFolder& folder, const std::string& whole, std::uint32_t max_frames) {
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    folder.Write("damaged.bin", Damaged(whole, seed));
    Reader reader(MediaFolder::DevicePath("damaged.bin"));
    if (!reader.is_open()) continue;
    EXPECT_LE(DrainFrames(reader, 4096, 4096), max_frames);
    EXPECT_TRUE(reader.is_end());
  }
}

}  // namespace

TEST(DecodingReaders, DamagedStreamsPlayToAnEnd) {
  if (!MediaFolder::HaveTool("oggenc") || !MediaFolder::HaveTool("mpcenc")) GTEST_SKIP() << "encoders not installed";
  MediaFolder folder;
  folder.Write("in.wav", vo_test::SineWav(2, 44100, 2.0, 700.0));
  ASSERT_TRUE(folder.Run("oggenc", "-Q -o tone.ogg in.wav"));
  ASSERT_TRUE(folder.Run("mpcenc", "--silent in.wav tone.mpc"));
  PlayDamagedCopies<DecoderVorbis>(folder, folder.Read("tone.ogg"), 2 * 44100);
  PlayDamagedCopies<DecoderMPC>(folder, folder.Read("tone.mpc"), 2 * 44100 + 1152);
}
