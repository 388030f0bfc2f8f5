#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend/headless/audio_headless.h"
#include "ce/mmsystem.h"
#include "ce/winbase.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "media/wav_file.h"
#include "temp_device.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::backend::headless::TakePlayedAudio;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

// A WAV image of 8-bit mono at 8 kHz lasting `ms`, every sample `value`.
std::string WavImage(unsigned ms, std::uint8_t value) {
  const std::uint32_t bytes = 8 * ms;
  std::string image(44, '\0');
  ce::media::WriteWavHeader(reinterpret_cast<std::uint8_t*>(image.data()), ce::media::PcmFormat{1, 8000, 8}, bytes);
  image.append(bytes, static_cast<char>(value));
  return image;
}

class SndPlaySound : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    TakePlayedAudio();
    device.WriteHostFile("beep.wav", WavImage(250, 0x90));
    device.WriteHostFile("long.wav", WavImage(1000, 0xA0));
  }
  ce::test::TempDevice device;
};

TEST_F(SndPlaySound, SynchronousReturnsWhenTheSoundHasEnded) {
  ASSERT_TRUE(sndPlaySoundW(L"\\BEEP.wav", SND_SYNC));
  EXPECT_EQ(GetTickCount(), 250u);
  const auto played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 1u);
  EXPECT_EQ(played[0].bytes, std::vector<std::uint8_t>(2000, 0x90));
  EXPECT_EQ(played[0].format, (ce::media::PcmFormat{1, 8000, 8}));
}

TEST_F(SndPlaySound, AsynchronousReturnsAtOnceAndANewSoundStopsIt) {
  ASSERT_TRUE(sndPlaySoundW(L"\\long.wav", SND_ASYNC));
  EXPECT_EQ(GetTickCount(), 0u);
  clock::Advance(100);
  EXPECT_FALSE(sndPlaySoundW(L"\\beep.wav", SND_ASYNC | SND_NOSTOP)) << "a sound is still playing";
  ASSERT_TRUE(sndPlaySoundW(L"\\beep.wav", SND_SYNC));
  EXPECT_EQ(GetTickCount(), 350u) << "the long sound was stopped, not waited for";
  const auto played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_EQ(played[1].startMs, 100u);
  // Nothing is playing now, so SND_NOSTOP plays.
  ASSERT_TRUE(sndPlaySoundW(L"\\beep.wav", SND_ASYNC | SND_NOSTOP));
  clock::Advance(300);
  EXPECT_EQ(TakePlayedAudio().size(), 1u);
}

TEST_F(SndPlaySound, LoopRunsUntilANullNameStopsIt) {
  EXPECT_FALSE(sndPlaySoundW(L"\\beep.wav", SND_SYNC | SND_LOOP)) << "a synchronous loop would never return";
  ASSERT_TRUE(sndPlaySoundW(L"\\beep.wav", SND_ASYNC | SND_LOOP));
  clock::Advance(900);
  EXPECT_EQ(TakePlayedAudio().size(), 4u);  // started at 0, 250, 500 and 750
  EXPECT_TRUE(sndPlaySoundW(nullptr, 0));
  clock::Advance(1000);
  EXPECT_TRUE(TakePlayedAudio().empty());
}

TEST_F(SndPlaySound, MemoryImage) {
  const std::string image = WavImage(10, 0x70);
  ASSERT_TRUE(sndPlaySoundW(reinterpret_cast<LPCWSTR>(image.data()), SND_MEMORY | SND_SYNC));
  const auto played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 1u);
  EXPECT_EQ(played[0].bytes.size(), 80u);
}

TEST_F(SndPlaySound, MissingOrBrokenFilesAreRefused) {
  std::string notPcm = WavImage(10, 0);
  notPcm[20] = 2;  // format tag
  std::string eightChannels = WavImage(10, 0);
  eightChannels[22] = 8;
  device.WriteHostFile("text.wav", "not a sound");
  device.WriteHostFile("short.wav", WavImage(10, 0).substr(0, 30));
  device.WriteHostFile("adpcm.wav", notPcm);
  device.WriteHostFile("eight.wav", eightChannels);
  for (const wchar_t* name : {L"\\missing.wav", L"\\text.wav", L"\\short.wav", L"\\adpcm.wav", L"\\eight.wav"}) {
    EXPECT_FALSE(sndPlaySoundW(name, SND_SYNC | SND_NODEFAULT)) << name;
    EXPECT_FALSE(sndPlaySoundW(name, SND_ASYNC)) << name;
  }
  EXPECT_TRUE(TakePlayedAudio().empty());
  // A data size past the end of the file plays what is there.
  std::string cut = WavImage(100, 0x80).substr(0, 44 + 400);
  device.WriteHostFile("cut.wav", cut);
  ASSERT_TRUE(sndPlaySoundW(L"\\cut.wav", SND_SYNC));
  EXPECT_EQ(GetTickCount(), 50u);
}

}  // namespace
