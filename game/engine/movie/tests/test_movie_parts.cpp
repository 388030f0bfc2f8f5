// The movie player's parts on their own: the YUV conversion, the AVI
// demuxer and the Ogg Vorbis sound-track source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/movie/avi_demuxer.h"
#include "engine/movie/ogg_source.h"
#include "engine/movie/yuv_convert.h"
#include "memory_file.h"
#include "movie_fixture.h"

namespace {

using ks::test::Find;
using ks::test::MakeMovie;
using ks::test::Put32;
using ks::test::U32;

// ---- YUV to 16-bit pixels ---------------------------------------------------------

TEST(MovieYuv, BlackAndWhiteAtEveryDitherPosition) {
  for (int row = 0; row < 4; ++row) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(ssYuvToRgb565(16, 128, 128, x, row), 0) << x << "," << row;
      EXPECT_EQ(ssYuvToRgb565(235, 128, 128, x, row), 0xFFFF) << x << "," << row;
      EXPECT_EQ(ssYuvToRgb444(16, 128, 128, x, row), 0) << x << "," << row;
      EXPECT_EQ(ssYuvToRgb444(235, 128, 128, x, row), 0x0FFF) << x << "," << row;
    }
  }
}

TEST(MovieYuv, ChannelsClampAndFollowTheConversionWithinOneStep) {
  struct Case {
    int y, cb, cr;
  };
  const Case cases[] = {{255, 255, 255}, {0, 0, 0},      {255, 0, 255},   {0, 255, 0},  {100, 90, 170},
                        {180, 200, 60},  {60, 128, 240}, {128, 128, 128}, {30, 20, 220}};
  for (const Case& c : cases) {
    const double y = 1.169 * (c.y - 16), cb = c.cb - 128.0, cr = c.cr - 128.0;
    const double r = y + 1.602 * cr, g = y - 0.816 * cr - 0.393 * cb, b = y + 2.025 * cb;
    for (int at = 0; at < 16; ++at) {
      const std::uint16_t p = ssYuvToRgb565(c.y, c.cb, c.cr, at & 3, at >> 2);
      // Each channel is the exact value's top bits, or one more by the
      // dither, clamped to the channel.
      auto near = [](int got, double exact, int bits) {
        const int top = (1 << bits) - 1;
        const double scaled = std::clamp(exact, 0.0, 255.99) / (256.0 / (top + 1));
        return got >= std::clamp(static_cast<int>(std::floor(scaled)) - 0, 0, top) - 0 &&
               got <= std::min(static_cast<int>(std::floor(scaled)) + 1, top);
      };
      EXPECT_TRUE(near(p >> 11, r, 5)) << c.y << " " << c.cb << " " << c.cr << " red " << (p >> 11) << " for " << r;
      EXPECT_TRUE(near((p >> 5) & 63, g, 6)) << c.y << " " << c.cb << " " << c.cr << " green " << ((p >> 5) & 63);
      EXPECT_TRUE(near(p & 31, b, 5)) << c.y << " " << c.cb << " " << c.cr << " blue " << (p & 31) << " for " << b;
    }
  }
  EXPECT_EQ(ssRgbToRgb565(255, 255, 255, 3, 3), 0xFFFF);
  EXPECT_EQ(ssRgbToRgb565(0, 0, 0, 0, 0), 0);
  EXPECT_EQ(ssRgbToRgb444(255, 255, 255, 1, 2), 0x0FFF);
}

// A picture whose every pixel has its own luma (neutral chroma), and a
// buffer with guard pixels all round it.
struct Canvas {
  static constexpr std::uint16_t kGuard = 0xBEEF;
  Canvas(int w, int h, int guard = 8)
      : width(w),
        height(h),
        pitch(w + 2 * guard),
        pad(guard),
        memory(static_cast<std::size_t>(pitch) * (h + 2 * guard), kGuard) {}
  ssPixelTarget Target(int rotate) {
    ssPixelTarget t;
    t.pixels = memory.data() + pad * pitch + pad;
    t.pitch = pitch;
    t.width = width;
    t.height = height;
    t.rotate = rotate;
    return t;
  }
  std::uint16_t At(int x, int y) const { return memory[static_cast<std::size_t>((y + pad) * pitch + x + pad)]; }
  bool GuardsIntact() const {
    for (int y = -pad; y < height + pad; ++y) {
      for (int x = -pad; x < pitch - pad; ++x) {
        const bool inside = x >= 0 && x < width && y >= 0 && y < height;
        if (!inside && At(x, y) != kGuard) return false;
      }
    }
    return true;
  }
  int width, height, pitch, pad;
  std::vector<std::uint16_t> memory;
};

struct Picture {
  Picture(int w, int h)
      : width(w), height(h), y(static_cast<std::size_t>(w * h)), c(static_cast<std::size_t>(w * h / 4), 128) {
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = static_cast<std::uint8_t>(20 + (i * 7) % 200);
  }
  ssYuvPlanes Planes() const { return ssYuvPlanes{y.data(), c.data(), c.data(), width, width / 2, width, height}; }
  std::uint16_t Pixel(int px, int py) const {
    return ssYuvToRgb565(y[static_cast<std::size_t>(py * width + px)], 128, 128, px, py);
  }
  int width, height;
  std::vector<std::uint8_t> y, c;
};

TEST(MovieYuv, WholeFramesMatchThePixelRuleExactly) {
  // Random planes of an odd size, so the fast converters meet every start
  // column and row, every tail and both depths; cut by a screen smaller
  // than the picture, so the first visible column is odd.
  constexpr int kW = 203, kH = 61;
  std::vector<std::uint8_t> y(kW * kH), cb((kW + 1) / 2 * ((kH + 1) / 2)), cr(cb.size());
  std::uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(seed >> 16);
  };
  for (auto& v : y) v = next();
  for (auto& v : cb) v = next();
  for (auto& v : cr) v = next();
  const ssYuvPlanes planes{y.data(), cb.data(), cr.data(), kW, (kW + 1) / 2, kW, kH};
  struct Case {
    int screenW, screenH, depth;
  };
  for (int level = 2; level >= 0; --level) {
    const int used = ssLimitYuvSimd(level);
    if (used != level) continue;  // this processor has no such converter
    for (const Case c : {Case{240, 80, 16}, Case{240, 80, 12}, Case{160, 40, 16}, Case{161, 41, 12}}) {
      Canvas canvas(c.screenW, c.screenH);
      ssPixelTarget target = canvas.Target(0);
      target.depth = c.depth;
      ssConvertYuv(planes, target, false, nullptr);
      ASSERT_TRUE(canvas.GuardsIntact());
      const int ox = (c.screenW - kW) / 2, oy = (c.screenH - kH) / 2;
      int checked = 0;
      for (int sy = 0; sy < c.screenH; ++sy) {
        for (int sx = 0; sx < c.screenW; ++sx) {
          const int px = sx - ox, py = sy - oy;
          if (px < 0 || py < 0 || px >= kW || py >= kH) continue;
          const int Y = y[py * kW + px], U = cb[(py / 2) * ((kW + 1) / 2) + px / 2],
                    V = cr[(py / 2) * ((kW + 1) / 2) + px / 2];
          const std::uint16_t expected =
              c.depth == 12 ? ssYuvToRgb444(Y, U, V, px, py) : ssYuvToRgb565(Y, U, V, px, py);
          ASSERT_EQ(canvas.At(sx, sy), expected) << "converter " << level << ", " << c.screenW << "x" << c.screenH
                                                 << " depth " << c.depth << " pixel " << px << "," << py;
          ++checked;
        }
      }
      EXPECT_GT(checked, 40 * 40);
    }
  }
  ssLimitYuvSimd(2);
}

TEST(MovieYuv, PictureIsCentredAndTurnedWithTheScreen) {
  // Logical (x, y) to the buffer for each turn, as the display maps points.
  struct Case {
    int rotate;
    int bufferW, bufferH;
  };
  const Case cases[] = {{0, 12, 8}, {1, 8, 12}, {2, 12, 8}, {3, 8, 12}};
  const Picture picture(4, 2);
  for (const Case& c : cases) {
    Canvas canvas(c.bufferW, c.bufferH);
    ssConvertYuv(picture.Planes(), canvas.Target(c.rotate), false, nullptr);
    EXPECT_TRUE(canvas.GuardsIntact()) << c.rotate;
    // The logical screen is 12 x 8: the picture starts at (4, 3).
    for (int py = 0; py < 2; ++py) {
      for (int px = 0; px < 4; ++px) {
        const int lx = 4 + px, ly = 3 + py;
        int bx = lx, by = ly;
        if (c.rotate == 1) bx = ly, by = c.bufferH - 1 - lx;
        if (c.rotate == 2) bx = c.bufferW - 1 - lx, by = c.bufferH - 1 - ly;
        if (c.rotate == 3) bx = c.bufferW - 1 - ly, by = lx;
        EXPECT_EQ(canvas.At(bx, by), picture.Pixel(px, py)) << "turn " << c.rotate << " pixel " << px << "," << py;
      }
    }
    EXPECT_EQ(canvas.At(0, 0), Canvas::kGuard) << "outside the picture nothing is drawn";
  }
}

TEST(MovieYuv, DoubledPictureFillsBlocksCentredInTheArea) {
  const Picture picture(4, 2);
  Canvas canvas(16, 10);
  ssConvertYuv(picture.Planes(), canvas.Target(0), true, nullptr);
  EXPECT_TRUE(canvas.GuardsIntact());
  // 8 x 4 in 16 x 10: from (4, 2), as doubled pictures start on even pixels.
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) EXPECT_EQ(canvas.At(4 + x, 2 + y), picture.Pixel(x / 2, y / 2)) << x << "," << y;
  }
  EXPECT_EQ(canvas.At(3, 2), Canvas::kGuard);
  EXPECT_EQ(canvas.At(12, 2), Canvas::kGuard);
  EXPECT_EQ(canvas.At(4, 6), Canvas::kGuard);
  // Inside a smaller area of the screen.
  Canvas area(16, 10);
  const RECT box{0, 0, 8, 6};
  ssConvertYuv(picture.Planes(), area.Target(0), true, &box);
  EXPECT_EQ(area.At(0, 0), picture.Pixel(0, 0));
  EXPECT_EQ(area.At(7, 3), picture.Pixel(3, 1));
  EXPECT_EQ(area.At(8, 0), Canvas::kGuard);
}

TEST(MovieYuv, PictureLargerThanTheScreenIsCutNotWrittenPast) {
  const Picture picture(64, 40);
  for (int rotate = 0; rotate < 4; ++rotate) {
    for (bool doubled : {false, true}) {
      Canvas canvas(rotate & 1 ? 10 : 16, rotate & 1 ? 16 : 10);
      ssConvertYuv(picture.Planes(), canvas.Target(rotate), doubled, nullptr);
      EXPECT_TRUE(canvas.GuardsIntact()) << rotate << " " << doubled;
      if (rotate == 0 && !doubled) {
        // The middle of the picture: logical (0, 0) shows picture (24, 15).
        EXPECT_EQ(canvas.At(0, 0), picture.Pixel(24, 15));
        EXPECT_EQ(canvas.At(15, 9), picture.Pixel(39, 24));
      }
    }
  }
  // An area reaching outside the screen is cut to it.
  Canvas canvas(16, 10);
  const RECT wild{-100, -100, 1000, 1000};
  ssConvertYuv(picture.Planes(), canvas.Target(0), false, &wild);
  EXPECT_TRUE(canvas.GuardsIntact());
}

// ---- The AVI demuxer -------------------------------------------------------------

class Demux : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_Movie = new ks::test::TestMovie(MakeMovie(32, 16, 4)); }
  static void TearDownTestSuite() { delete s_Movie; }
  // Opens bytes and reads every frame: the sizes read, -1 for a refusal.
  static std::vector<int> Frames(const std::vector<std::uint8_t>& bytes, int* open = nullptr) {
    ssMemoryFile file(bytes, 0, false);
    ssAviDemuxer demuxer;
    const int result = demuxer.Open(&file);
    if (open != nullptr) *open = result;
    std::vector<int> sizes;
    if (result != 0) return sizes;
    std::vector<std::uint8_t> buffer(1 << 16);
    for (std::uint32_t i = 0; i < demuxer.FrameCount(); ++i) {
      const std::uint32_t expected = demuxer.CurrentFrameSize();
      const int got = demuxer.ReadFrame(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
      EXPECT_TRUE(got < 0 || static_cast<std::uint32_t>(got) == expected);
      sizes.push_back(got);
    }
    return sizes;
  }
  std::vector<int> Sizes() const {
    std::vector<int> sizes;
    for (const auto& f : s_Movie->video.frames) sizes.push_back(static_cast<int>(f.size()));
    return sizes;
  }
  static ks::test::TestMovie* s_Movie;
};
ks::test::TestMovie* Demux::s_Movie = nullptr;

TEST_F(Demux, ReadsTheStreamAndItsFrames) {
  ssMemoryFile file(s_Movie->avi, 0, false);
  ssAviDemuxer demuxer;
  ASSERT_EQ(demuxer.Open(&file), 0);
  EXPECT_EQ(demuxer.Width(), 32);
  EXPECT_EQ(demuxer.Height(), 16);
  EXPECT_EQ(demuxer.FrameCount(), 4u);
  EXPECT_NEAR(demuxer.FrameRate(), 14.997, 1e-9);
  EXPECT_TRUE(demuxer.HandlerIs("vp31"));
  EXPECT_TRUE(demuxer.HandlerIs("VP31")) << "handlers compare regardless of case";
  EXPECT_FALSE(demuxer.HandlerIs("vp30"));
  std::vector<std::uint8_t> buffer(4096);
  ASSERT_EQ(demuxer.ReadFrame(buffer.data(), 4096), static_cast<int>(s_Movie->video.frames[0].size()));
  EXPECT_TRUE(std::equal(s_Movie->video.frames[0].begin(), s_Movie->video.frames[0].end(), buffer.begin()));
  EXPECT_EQ(demuxer.CurrentFrame(), 1u);
  EXPECT_EQ(demuxer.ReadFrame(buffer.data(), 1), -1) << "a frame larger than the buffer is refused";
  EXPECT_EQ(demuxer.CurrentFrame(), 1u);
  EXPECT_EQ(demuxer.SetCurrentFrame(-3), 0);
  EXPECT_EQ(demuxer.CurrentFrame(), 0u) << "a negative frame counts as 0";
  EXPECT_EQ(demuxer.SetCurrentFrame(4), -1);
  ASSERT_EQ(demuxer.SetCurrentFrame(3), 0);
  EXPECT_GT(demuxer.ReadFrame(buffer.data(), 4096), 0);
  EXPECT_EQ(demuxer.ReadFrame(buffer.data(), 4096), -1) << "past the last frame";
  EXPECT_EQ(demuxer.CurrentFrameSize(), 0u);
}

TEST_F(Demux, StatedRatesOfZeroAndTwentyThreeReadAsTwentyFive) {
  struct Case {
    std::uint32_t rate, scale;
    double expected;
  };
  const Case cases[] = {{0, 1, 25.0}, {23, 1, 25.0}, {46, 2, 25.0}, {15, 1, 15.0}, {24, 1, 24.0}, {30, 0, 25.0}};
  for (const Case& c : cases) {
    moviemake::AviVideo video = s_Movie->video;
    video.rate = c.rate;
    video.scale = c.scale;
    ssMemoryFile file(moviemake::WriteAvi(video), 0, false);
    ssAviDemuxer demuxer;
    ASSERT_EQ(demuxer.Open(&file), 0);
    EXPECT_DOUBLE_EQ(demuxer.FrameRate(), c.expected) << c.rate << "/" << c.scale;
  }
}

TEST_F(Demux, FramesComeFromAnAbsoluteIndexOrAScanWithoutOne) {
  std::vector<std::uint8_t> absolute = s_Movie->avi;
  const std::size_t movi = Find(absolute, "movi");
  const std::size_t idx1 = Find(absolute, "idx1", movi);
  ASSERT_NE(idx1, 0u);
  for (std::size_t e = idx1 + 8; e + 16 <= absolute.size(); e += 16)
    Put32(absolute, e + 8, U32(absolute, e + 8) + static_cast<std::uint32_t>(movi));
  EXPECT_EQ(Frames(absolute), Sizes());

  std::vector<std::uint8_t> noIndex = s_Movie->avi;
  std::memcpy(&noIndex[idx1], "JUNK", 4);
  EXPECT_EQ(Frames(noIndex), Sizes());
}

TEST_F(Demux, BadFilesAreRefusedOrReadOnlyWithinTheirBounds) {
  const std::vector<std::uint8_t>& good = s_Movie->avi;
  const std::size_t movi = Find(good, "movi");
  const std::size_t idx1 = Find(good, "idx1", movi);
  const std::size_t strh = Find(good, "strh");
  std::vector<int> skipFirst = Sizes();
  skipFirst[0] = 0;

  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    int open;                 // Open's result
    std::vector<int> frames;  // when it opens
  };
  auto patched = [&](std::size_t at, std::uint32_t value) {
    std::vector<std::uint8_t> b = good;
    Put32(b, at, value);
    return b;
  };
  auto cut = [&](std::size_t size) {
    return std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(size));
  };
  const std::vector<int> all = Sizes();
  // The index is gone with the end of the file; the scan finds the third
  // frame's 4 bytes that are left.
  const std::vector<int> cutThird{all[0], all[1], 4};
  const std::size_t third = movi + U32(good, idx1 + 8 + 2 * 16 + 8);
  std::vector<Case> cases = {
      {"empty", {}, ssAviDemuxer::kNotAvi, {}},
      {"not RIFF", patched(0, 0x12345678), ssAviDemuxer::kNotAvi, {}},
      {"RIFF size past the end", patched(4, 0x7FFFFFF0), 0, Sizes()},
      {"no stream header", patched(strh, 0x4B4E554A), ssAviDemuxer::kNoVideo, {}},
      {"an audio stream only", patched(strh + 8, 0x73647561), ssAviDemuxer::kNoVideo, {}},
      {"negative width", patched(Find(good, "strf") + 12, 0xFFFFFFF0u), ssAviDemuxer::kBadSize, {}},
      {"height past the limit", patched(Find(good, "strf") + 16, 100000), ssAviDemuxer::kBadSize, {}},
      {"no movi list", patched(movi, 0x4B4E554A), ssAviDemuxer::kNoFrames, {}},
      {"hdrl size past the end", patched(Find(good, "hdrl") - 4, 0xFFFFFFF0u), ssAviDemuxer::kNoFrames, {}},
      {"index entry outside movi", patched(idx1 + 8 + 8, 0x00F00000), 0, skipFirst},
      {"index size past movi", patched(idx1 + 8 + 12, 0x00F00000), 0, skipFirst},
      {"cut inside the third frame", cut(third + 12), 0, cutThird},
      {"cut inside the header", cut(strh + 20), ssAviDemuxer::kNoVideo, {}},
  };
  for (const Case& c : cases) {
    int open = 1;
    const std::vector<int> frames = Frames(c.bytes, &open);
    EXPECT_EQ(open, c.open) << c.what;
    if (c.open == 0) {
      EXPECT_EQ(frames, c.frames) << c.what;
    }
  }
}

// ---- The Ogg Vorbis sound-track source ---------------------------------------------

std::int16_t Sample(const std::vector<std::uint8_t>& pcm, std::size_t index) {
  std::int16_t v = 0;
  std::memcpy(&v, &pcm[2 * index], 2);
  return v;
}

// Reads the source block by block (stereo, `blockBytes` a block).
std::vector<std::uint8_t> ReadBlocks(ssOggSource& source, int blocks, std::uint32_t blockBytes) {
  std::vector<std::uint8_t> all;
  std::vector<std::uint8_t> block(blockBytes + 8, 0x5A);
  for (int i = 0; i < blocks; ++i) {
    EXPECT_EQ(source.Read(block.data(), blockBytes, 8000, 16), 0);
    for (std::size_t g = blockBytes; g < block.size(); ++g) EXPECT_EQ(block[g], 0x5A) << "written past the block";
    all.insert(all.end(), block.begin(), block.begin() + blockBytes);
  }
  return all;
}

// The first stereo frame with a loud left sample at or after `from`; -1 for none.
long Onset(const std::vector<std::uint8_t>& pcm, std::size_t from = 0) {
  for (std::size_t f = from; f < pcm.size() / 4; ++f) {
    if (std::abs(Sample(pcm, 2 * f)) > 3000) return static_cast<long>(f);
  }
  return -1;
}

TEST(MovieOgg, MonoTrackIsWidenedAndEndsInSilence) {
  ssOggSource source;
  ASSERT_EQ(source.OpenStream(new ssMemoryFile(ks::test::ToneTrack(), 0, false), nullptr), 0);
  EXPECT_EQ(source.Channels(), 1u);
  EXPECT_EQ(source.m_Rate, 8000u);
  EXPECT_TRUE(source.m_Open);
  // 3 s of blocks of 4000 bytes (1000 frames): the track is 2 s long.
  const std::vector<std::uint8_t> pcm = ReadBlocks(source, 24, 4000);
  for (std::size_t f = 0; f < pcm.size() / 4; ++f) ASSERT_EQ(Sample(pcm, 2 * f), Sample(pcm, 2 * f + 1)) << f;
  EXPECT_NEAR(Onset(pcm), ks::test::kToneAt * 8000, 40);
  EXPECT_TRUE(source.AtEnd());
  for (std::size_t f = 16000; f < pcm.size() / 4; ++f) ASSERT_EQ(Sample(pcm, 2 * f), 0) << f;
  // And it stays silent.
  EXPECT_EQ(Onset(ReadBlocks(source, 2, 4000)), -1);
}

TEST(MovieOgg, LoopingCompletesTheLastBlockWithSilenceThenStartsAgain) {
  ssOggSource source;
  source.Create(nullptr, 16, 1, 8000, 4096, 4, true, 0);
  ASSERT_EQ(source.OpenStream(new ssMemoryFile(ks::test::ToneTrack(), 0, false), nullptr), 0);
  // Blocks of 1536 frames: the end (frame 16000) falls inside block 10.
  const std::vector<std::uint8_t> pcm = ReadBlocks(source, 20, 1536 * 4);
  const long first = Onset(pcm);
  ASSERT_GT(first, 0);
  const long again = Onset(pcm, 16000);
  EXPECT_EQ(again - first, 11 * 1536) << "the next start is block 11's first frame";
}

TEST(MovieOgg, DamagedTracksEndWithoutHarm) {
  const std::vector<std::uint8_t> good = ks::test::ToneTrack();
  ASSERT_GT(good.size(), 1000u);
  std::vector<std::uint8_t> brokenPage = good;
  // A page in the middle with its body scrambled: its checksum no longer fits.
  const std::size_t page = Find(good, "OggS", good.size() / 2);
  ASSERT_NE(page, 0u);
  for (std::size_t i = page + 40; i < page + 200 && i < brokenPage.size(); ++i) brokenPage[i] ^= 0x5A;
  std::vector<std::uint8_t> brokenHeader = good;
  brokenHeader[Find(good, "OggS", 10) + 40] ^= 0xFF;
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {{"cut in the middle", {good.begin(), good.begin() + static_cast<long>(good.size() * 6 / 10)}},
                        {"cut after the headers", {good.begin(), good.begin() + static_cast<long>(page)}},
                        {"a broken page", brokenPage},
                        {"broken setup header", brokenHeader},
                        {"not Ogg", std::vector<std::uint8_t>(5000, 0x41)},
                        {"nothing", {}}};
  for (const Case& c : cases) {
    ssOggSource source;
    if (source.OpenStream(new ssMemoryFile(c.bytes, 0, false), nullptr) != 0) {
      EXPECT_FALSE(source.IsOpenStream()) << c.what;
      continue;
    }
    const std::vector<std::uint8_t> pcm = ReadBlocks(source, 30, 4000);
    EXPECT_TRUE(source.AtEnd()) << c.what << ": the track ends";
    EXPECT_EQ(Onset(pcm, pcm.size() / 4 - 1000), -1) << c.what << ": silence after its end";
  }
  ssOggSource missing;
  EXPECT_EQ(missing.OpenFile(L"\\nowhere\\track.ogg", nullptr, nullptr), -1);
}

}  // namespace
