// The test seam as tests outside the platform use it: only ce/ headers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ce/mmsystem.h"
#include "ce/testing.h"
#include "ce/wingdi.h"
#include "screen_config.h"

namespace {

TEST(TestingSeam, WavFilesRoundTripAndBrokenOnesAreRefused) {
  struct Case {
    ce::testing::PcmFormat format;
    std::size_t bytes;
  };
  for (const Case& c : {Case{{1, 8000, 8}, 7}, Case{{2, 44100, 16}, 400}, Case{{1, 22050, 16}, 0}}) {
    const std::vector<std::uint8_t> samples(c.bytes, 0x5A);
    const std::vector<std::uint8_t> file = ce::testing::MakeWav(c.format, samples);
    ASSERT_EQ(file.size(), 44 + c.bytes);
    const auto wav = ce::testing::ParseWav(file.data(), file.size());
    ASSERT_TRUE(wav) << c.bytes;
    EXPECT_EQ(wav->format, c.format);
    EXPECT_EQ(wav->dataOffset, 44u);
    // A data size of 0 reads as "to the end of the file", which is empty here.
    EXPECT_EQ(wav->dataSize, c.bytes);
  }
  const std::vector<std::uint8_t> file = ce::testing::MakeWav({1, 8000, 8}, std::vector<std::uint8_t>(10));
  EXPECT_FALSE(ce::testing::ParseWav(nullptr, 0));
  EXPECT_FALSE(ce::testing::ParseWav(file.data(), 20)) << "cut inside the format chunk";
  EXPECT_FALSE(ce::testing::ParseWav(ce::testing::MakeWav({3, 8000, 8}, {}).data(), 44)) << "three channels";
}

TEST(TestingSeam, ScreenMemoryShowsAsPixelsAndOutsideIsSafe) {
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", "240"},
                                {"DEVICE_SCREEN_HEIGHT", "320"},
                                {"DEVICE_SCREEN_BPP", "16"},
                                {"DEVICE_SCREEN_ROTATION", "90"}};
  ce::testing::PokeScreenMemory(0, 0, 0xF800);
  ce::testing::PokeScreenMemory(239, 319, 0x001F);
  EXPECT_EQ(ce::testing::ScreenPixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(ce::testing::ScreenPixel(239, 319), RGB(0, 0, 255));
  for (const auto& [x, y] : {std::pair{-1, 0}, std::pair{240, 0}, std::pair{0, 320}, std::pair{0, -1}}) {
    ce::testing::PokeScreenMemory(x, y, 0xFFFF);
    EXPECT_EQ(ce::testing::ScreenPixel(x, y), CLR_INVALID);
  }
  EXPECT_EQ(ce::testing::ScreenPixel(1, 0), RGB(0, 0, 0)) << "nothing spilled into the next pixel";
}

TEST(TestingSeam, PlayedAudioCarriesFormatTimeAndBytes) {
  ce::testing::UseVirtualClock(0, 129067776000000000ull);
  ce::testing::TakePlayedAudio();
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 22050, 22050 * 4, 4, 16, 0};
  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  std::vector<char> data(2205 * 4, 0x11);
  WAVEHDR header{};
  header.lpData = data.data();
  header.dwBufferLength = static_cast<DWORD>(data.size());
  ASSERT_EQ(waveOutPrepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
  ce::testing::AdvanceClock(50);
  ASSERT_EQ(waveOutWrite(out, &header, sizeof header), MMSYSERR_NOERROR);
  ce::testing::AdvanceClock(200);
  const auto played = ce::testing::TakePlayedAudio();
  ASSERT_EQ(played.size(), 1u);
  EXPECT_EQ(played[0].startMs, 50u);
  EXPECT_EQ(played[0].format, (ce::testing::PcmFormat{2, 22050, 16}));
  EXPECT_EQ(played[0].bytes, std::vector<std::uint8_t>(data.size(), 0x11));
  EXPECT_TRUE(ce::testing::TakePlayedAudio().empty()) << "taken once";
  waveOutUnprepareHeader(out, &header, sizeof header);
  waveOutClose(out);
  ce::testing::UseRealClock();
}

}  // namespace
