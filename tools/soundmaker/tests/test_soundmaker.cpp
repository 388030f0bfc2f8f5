#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "ce/testing.h"
#include "engine/audio/audio_wave_out.h"
#include "engine/audio/game_sounds.h"
#include "synth.h"

namespace {

int Peak(const std::vector<std::uint8_t>& samples) {
  int peak = 0;
  for (std::uint8_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s) - 128));
  return peak;
}

TEST(SoundMaker, MakesTheThirteenEffectsAsTheGameLoadsThem) {
  const auto sounds = soundmaker::MakeGameSounds();
  ASSERT_EQ(sounds.size(), kGameSoundCount);
  for (std::size_t i = 0; i < sounds.size(); ++i) {
    EXPECT_EQ(sounds[i].name, kGameSoundNames[i]);
    const std::vector<std::uint8_t> file = soundmaker::WavFile(sounds[i].samples);
    const auto wav = ce::testing::ParseWav(file.data(), file.size());
    ASSERT_TRUE(wav) << sounds[i].name;
    EXPECT_EQ(wav->format, (ce::testing::PcmFormat{1, 8000, 8}));
    EXPECT_EQ(wav->dataOffset, 44u) << "the loader skips exactly 44 bytes";
    EXPECT_EQ(wav->dataSize, sounds[i].samples.size());
    EXPECT_GT(Peak(sounds[i].samples), 8) << sounds[i].name << " is audible";
    EXPECT_LE(sounds[i].samples.size(), 8000u) << "effects are short";
  }
  // Each family grows louder from easy to hard.
  for (std::size_t family = 1; family < kGameSoundCount; family += 3) {
    EXPECT_LT(Peak(sounds[family].samples), Peak(sounds[family + 1].samples)) << sounds[family].name;
    EXPECT_LT(Peak(sounds[family + 1].samples), Peak(sounds[family + 2].samples)) << sounds[family + 1].name;
  }
}

TEST(SoundMaker, SameBytesEveryRun) {
  const auto a = soundmaker::MakeGameSounds();
  const auto b = soundmaker::MakeGameSounds();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].samples, b[i].samples) << a[i].name;
}

// The audio device loads every generated file.
class GeneratedArchive : public MemberReader {
 public:
  bool ReadMember(const char* name, std::vector<std::uint8_t>& bytes) override {
    for (const auto& sound : sounds_) {
      if (sound.name == name) {
        bytes = soundmaker::WavFile(sound.samples);
        return true;
      }
    }
    return false;
  }

 private:
  std::vector<soundmaker::Sound> sounds_ = soundmaker::MakeGameSounds();
};

TEST(SoundMaker, TheAudioDeviceLoadsEveryEffect) {
  ce::testing::UseVirtualClock(0, 129067776000000000ull);
  ssAudioWaveOut device;
  ASSERT_EQ(device.GetDeviceCaps(0), 0);
  GeneratedArchive archive;
  EXPECT_EQ(LoadGameSounds(device, archive), 13);
}

}  // namespace
