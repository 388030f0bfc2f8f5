#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "movie_writer.h"
#include "vorbis_writer.h"

namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::string Fourcc(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(&b[at]), 4);
}

// Bits to bytes, most significant first, the last byte padded with zeros.
std::vector<std::uint8_t> Bits(const std::string& bits) {
  std::vector<std::uint8_t> out((bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  return out;
}

TEST(MovieMake, TheoraFrameHeadersBecomeVp31Headers) {
  struct Case {
    const char* theora;  // header bits, then a payload of 8 + 3 bits
    const char* vp3;
    bool key;
  };
  const Case cases[] = {
      // key, quantiser 45, 3 reserved bits  ->  key, spare, 45, 4+4 size codes, version 1, DCT, reserved
      {"0"
       "0"
       "101101"
       "0"
       "000"
       "10110011"
       "101",
       "0"
       "0"
       "101101"
       "0000"
       "0000"
       "00001"
       "0"
       "00"
       "10110011"
       "101",
       true},
      // inter, quantiser 7  ->  inter, spare, 7
      {"0"
       "1"
       "000111"
       "0"
       "10110011"
       "101",
       "1"
       "0"
       "000111"
       "10110011"
       "101",
       false},
  };
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> in = Bits(c.theora);
    bool key = !c.key;
    const std::vector<std::uint8_t> out = moviemake::TheoraToVp31(in.data(), in.size(), &key);
    // The payload's padding bits follow it: compare the bits that matter.
    const std::vector<std::uint8_t> expected = Bits(c.vp3);
    ASSERT_GE(out.size(), expected.size()) << c.theora;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin())) << c.theora;
    EXPECT_EQ(key, c.key);
  }
  const std::vector<std::uint8_t> header = Bits(
      "1"
      "0000000");  // a header packet is no frame
  EXPECT_TRUE(moviemake::TheoraToVp31(header.data(), header.size(), nullptr).empty());
}

TEST(MovieMake, AviIndexPointsAtEachFrameChunk) {
  moviemake::AviVideo video;
  video.width = 32;
  video.height = 16;
  video.frames = {{1, 2, 3}, {}, {4, 5, 6, 7}};
  video.keyframes = {true, false, false};
  const std::vector<std::uint8_t> avi = moviemake::WriteAvi(video);
  ASSERT_EQ(Fourcc(avi, 0), "RIFF");
  EXPECT_EQ(U32(avi, 4), avi.size() - 8);
  EXPECT_EQ(Fourcc(avi, 8), "AVI ");
  // Find the movi list and the index.
  std::size_t movi = 0, idx1 = 0;
  for (std::size_t at = 12; at + 8 <= avi.size(); at += 8 + ((U32(avi, at + 4) + 1) & ~1u)) {
    if (Fourcc(avi, at) == "LIST" && Fourcc(avi, at + 8) == "movi") movi = at + 8;
    if (Fourcc(avi, at) == "idx1") idx1 = at;
  }
  ASSERT_NE(movi, 0u);
  ASSERT_NE(idx1, 0u);
  ASSERT_EQ(U32(avi, idx1 + 4), 3u * 16);
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t e = idx1 + 8 + 16 * i;
    EXPECT_EQ(Fourcc(avi, e), "00dc");
    EXPECT_EQ(U32(avi, e + 4), i == 0 ? 0x10u : 0u);
    const std::size_t chunk = movi + U32(avi, e + 8);
    EXPECT_EQ(Fourcc(avi, chunk), "00dc");
    EXPECT_EQ(U32(avi, chunk + 4), video.frames[i].size());
    EXPECT_EQ(U32(avi, e + 12), video.frames[i].size());
    EXPECT_TRUE(std::equal(video.frames[i].begin(), video.frames[i].end(), avi.begin() + static_cast<long>(chunk) + 8));
  }
}

TEST(MovieMake, EncoderRefusesSizesVp3CannotCode) {
  for (auto [w, h] : {std::pair{0, 16}, {100, 64}, {64, 40}, {8192, 16}}) {
    moviemake::Vp3Encoder encoder(w, h, 15, 1, 40, 1);
    EXPECT_FALSE(encoder.Ok()) << w << "x" << h;
  }
  moviemake::Vp3Encoder encoder(64, 48, 15, 1, 40, 1);
  ASSERT_TRUE(encoder.Ok()) << encoder.Error();
  moviemake::SceneSettings settings;
  settings.width = 64;
  settings.height = 32;  // not the encoder's size
  bool key = false;
  std::vector<std::uint8_t> frame;
  EXPECT_FALSE(encoder.Encode(moviemake::ToPlanes(moviemake::DrawFrame(settings, 0)), &frame, &key));
}

TEST(MovieMake, SoundTrackIsAnOggVorbisFileAsLongAsTheMovie) {
  moviemake::SceneSettings settings;
  settings.frames = 30;
  const std::vector<std::int16_t> samples = moviemake::MakeSoundTrack(settings, 8000);
  EXPECT_NEAR(static_cast<double>(samples.size()), 30 / 14.997 * 8000, 2);
  std::string error;
  const std::vector<std::uint8_t> ogg = moviemake::EncodeVorbis(samples, 8000, 0.4f, &error);
  ASSERT_GT(ogg.size(), 100u) << error;
  EXPECT_EQ(std::memcmp(ogg.data(), "OggS", 4), 0);
  EXPECT_NE(std::string(ogg.begin(), ogg.end()).find("vorbis"), std::string::npos);
}

}  // namespace

namespace {

// The game shows a movie unscaled in the middle of the screen: on an
// upright screen only the middle square of the landscape frame is seen, and
// every title lies inside it.
TEST(MovieMake, TitlesFitTheMiddleSquareOfTheFrame) {
  for (const char* title : {"KESTRUNE", "DEEP POCKETS", "BEACH HOUSE", "WELL PLAYED"}) {
    moviemake::SceneSettings settings;
    settings.scene = moviemake::Scene::kBreak;
    settings.title = title;
    const moviemake::Picture with = moviemake::DrawFrame(settings, 30);
    settings.title.clear();
    const moviemake::Picture without = moviemake::DrawFrame(settings, 30);
    int left = settings.width, right = -1;
    for (int y = 0; y < settings.height; ++y) {
      for (int x = 0; x < settings.width; ++x) {
        const std::size_t at = (static_cast<std::size_t>(y) * with.width + static_cast<std::size_t>(x)) * 4;
        if (std::memcmp(&with.rgba[at], &without.rgba[at], 3) == 0) continue;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    ASSERT_GE(right, 0) << title;
    const int square = std::min(settings.width, settings.height);
    EXPECT_GT(left, (settings.width - square) / 2) << title;
    EXPECT_LT(right, (settings.width + square) / 2) << title;
    EXPECT_GT(right - left, square / 2) << title << ": still a title to read";
  }
}

}  // namespace
