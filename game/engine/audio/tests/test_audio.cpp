#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ce/testing.h"
#include "engine/audio/audio_mix.h"
#include "engine/audio/audio_wave_out.h"
#include "engine/audio/game_sounds.h"
#include "engine/audio/sound_source.h"
#include "scoped_setting.h"

namespace {

using ce::test::ScopedSetting;
using ce::testing::AdvanceClock;
using ce::testing::PlayedBuffer;
using ce::testing::TakePlayedAudio;
using ce::testing::UseVirtualClock;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;
constexpr std::uint32_t kBlock = 5120;  // 5 x 1024 bytes: 160 ms of 8 kHz 16-bit stereo
constexpr DWORD kBlockMs = 160;

// A source of one constant 16-bit value on both channels.
class ToneSource : public ssSoundSource {
 public:
  explicit ToneSource(std::int16_t value) : m_Value(value) { m_Open = true; }
  int Read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t, std::uint32_t) override {
    if (m_FailAfter >= 0 && m_Reads++ >= m_FailAfter) return 7;
    for (std::uint32_t i = 0; i + 1 < length; i += 2) std::memcpy(buffer + i, &m_Value, 2);
    return 0;
  }
  int m_FailAfter = -1;
  int m_Reads = 0;

 private:
  std::int16_t m_Value;
};

// One sample per frame of an 8-bit mono effect, as the game's WAVs hold.
std::vector<std::uint8_t> Effect8(std::initializer_list<std::uint8_t> samples) { return samples; }

std::int16_t Sample(const std::vector<std::uint8_t>& pcm, std::size_t index) {
  std::int16_t v = 0;
  std::memcpy(&v, pcm.data() + 2 * index, 2);
  return v;
}

// Everything the speaker played for the stream, block after block.
std::vector<std::uint8_t> Stream(const std::vector<PlayedBuffer>& played) {
  std::vector<std::uint8_t> out;
  for (const PlayedBuffer& p : played) out.insert(out.end(), p.bytes.begin(), p.bytes.end());
  return out;
}

class GameAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    UseVirtualClock(0, kStart2010);
    TakePlayedAudio();
    m_Device = std::make_unique<ssAudioWaveOut>();
    ASSERT_EQ(m_Device->GetDeviceCaps(0), 0);
    ASSERT_TRUE(m_Device->IsOpen());
  }
  void TearDown() override {
    m_Device.reset();
    waveOutSetVolume(nullptr, 0xFFFFFFFFu);
  }
  // The application's start: a silent source attached and played.
  void StartStream(ssSoundSource& source) {
    ASSERT_EQ(m_Device->AttachSource(&source), 0);
    EXPECT_EQ(m_Device->BlockSize(), kBlock);
    ASSERT_EQ(m_Device->PlaySource(&source), 0);
  }
  // Lets the device play for `blocks` blocks, refilling after each as the
  // window thread does.
  void PlayBlocks(int blocks) {
    for (int i = 0; i < blocks; ++i) {
      AdvanceClock(kBlockMs);
      m_Device->FillBlock();
    }
  }
  std::unique_ptr<ssAudioWaveOut> m_Device;
  ssSoundSource m_Silence;
};

TEST(GameAudioMix, FullScaleSamplesClampInsteadOfWrapping) {
  struct Case {
    int a, e, expected;
  };
  const Case cases[] = {{32767, 32767, 32767}, {16384, 16384, 31744}, {-32768, -32768, -32768},
                        {1000, -1000, 4},      {0, 1234, 1234},       {-20000, 0, -20000}};
  for (const Case& c : cases) EXPECT_EQ(MixSample(c.a, c.e), c.expected) << c.a << " + " << c.e;
}

TEST_F(GameAudio, StartQueuesTwoBlocksAndTheCallbackWritesOnePerDone) {
  StartStream(m_Silence);
  EXPECT_TRUE(m_Silence.m_Playing);
  EXPECT_TRUE(m_Silence.m_Attached);
  EXPECT_EQ(m_Device->Written(), 2u);
  EXPECT_EQ(m_Device->Pending(), 12u);
  EXPECT_EQ(m_Device->Filled(), 14u);
  AdvanceClock(3 * kBlockMs);
  EXPECT_EQ(m_Device->Written(), 5u);
  EXPECT_EQ(m_Device->Pending(), 9u);
  ASSERT_EQ(m_Device->FillBlock(), 0);
  EXPECT_EQ(m_Device->Pending(), 14u) << "refills stop 14 blocks ahead";
  const auto played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 4u);  // blocks 0 to 3 have begun
  for (std::size_t i = 0; i < played.size(); ++i) EXPECT_EQ(played[i].startMs, kBlockMs * i);
}

TEST_F(GameAudio, EffectsAreHeardAtTheirDelayAndMixWithClipping) {
  ASSERT_EQ(m_Device->LoadEffect(Effect8({0xFF, 0xFF, 0xFF, 0xFF}).data(), 4, 1, 8, 8000, 0), 0);
  ASSERT_EQ(m_Device->LoadEffect(Effect8({0xF0, 0xF0, 0x40, 0x80}).data(), 4, 1, 8, 8000, 0), 0);
  StartStream(m_Silence);
  // The delay counts from the block queued behind the one playing (block 1).
  ASSERT_EQ(m_Device->PlayEffect(0, 25), 0);   // 100 ms: 3200 bytes into block 1
  ASSERT_EQ(m_Device->PlayEffect(1, 25), 0);   // on top of it
  ASSERT_EQ(m_Device->PlayEffect(1, 100), 0);  // 400 ms: 12800 bytes = block 3, byte 2560
  PlayBlocks(5);
  m_Device->Stop();
  const std::vector<std::uint8_t> pcm = Stream(TakePlayedAudio());
  ASSERT_GE(pcm.size(), 5u * kBlock);

  std::vector<std::int16_t> expected(pcm.size() / 2, 0);
  const std::int16_t loud = 32512;  // 0xFF
  const std::int16_t first[] = {28672, 28672, -16384, 0};
  for (int f = 0; f < 4; ++f) {
    const std::size_t at = (kBlock + 3200) / 2 + 2 * f;
    expected[at] = expected[at + 1] = MixSample(MixSample(0, loud), first[f]);
    const std::size_t later = (3 * kBlock + 2560) / 2 + 2 * f;
    expected[later] = expected[later + 1] = first[f];
  }
  EXPECT_EQ(expected[(kBlock + 3200) / 2], 32767) << "two loud effects clip";
  std::size_t differences = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (Sample(pcm, i) != expected[i] && differences++ < 5) ADD_FAILURE() << "sample " << i << ": " << Sample(pcm, i);
  }
  EXPECT_EQ(differences, 0u);
}

TEST_F(GameAudio, EffectBeyondTheQueuedBlocksStartsInTheRefillThatReachesIt) {
  ASSERT_EQ(m_Device->LoadEffect(Effect8({0xC0, 0xC0}).data(), 2, 1, 8, 8000, 0), 0);
  StartStream(m_Silence);
  // 600 units: 2.4 s = 76800 bytes = 15 blocks on from block 1, so block 16.
  ASSERT_EQ(m_Device->PlayEffect(0, 600), 0);
  EXPECT_EQ(m_Device->PlayingEffects(), 1u);
  PlayBlocks(18);
  EXPECT_EQ(m_Device->PlayingEffects(), 0u);
  m_Device->Stop();
  const std::vector<std::uint8_t> pcm = Stream(TakePlayedAudio());
  ASSERT_GE(pcm.size(), 17u * kBlock);
  for (std::size_t i = 0; i < pcm.size() / 2; ++i) {
    const bool inEffect = i >= 16 * kBlock / 2 && i < 16 * kBlock / 2 + 4;
    ASSERT_EQ(Sample(pcm, i), inEffect ? 16384 : 0) << i;
  }
}

TEST_F(GameAudio, EffectLongerThanTheQueuedBlocksContinuesInRefills) {
  std::vector<std::uint8_t> longEffect(8000, 0xA0);  // one second: more than the 13 queued blocks
  ASSERT_EQ(m_Device->LoadEffect(longEffect.data(), 8000, 1, 8, 8000, 0), 0);
  StartStream(m_Silence);
  ASSERT_EQ(m_Device->PlayEffect(0, 0), 0);
  EXPECT_EQ(m_Device->PlayingEffects(), 0u) << "it fits in the blocks already filled";
  PlayBlocks(10);
  m_Device->Stop();
  const std::vector<std::uint8_t> pcm = Stream(TakePlayedAudio());
  std::size_t loud = 0;
  for (std::size_t i = 0; i < pcm.size() / 2; ++i) loud += Sample(pcm, i) == 8192;
  EXPECT_EQ(loud, 16000u);
  EXPECT_EQ(Sample(pcm, kBlock / 2), 8192) << "begins with block 1";
  EXPECT_EQ(Sample(pcm, kBlock / 2 - 1), 0);
}

TEST_F(GameAudio, PausedSourceIsSilentButEffectsAreHeard) {
  ToneSource tone(1000);
  ASSERT_EQ(m_Device->LoadEffect(Effect8({0xC0}).data(), 1, 1, 8, 8000, 0), 0);
  StartStream(tone);
  ASSERT_EQ(m_Device->Pause(true), 0);
  ASSERT_EQ(m_Device->PlayEffect(0, 50), 0);  // 200 ms = 6400 bytes: block 2, byte 1280
  PlayBlocks(4);
  ASSERT_EQ(m_Device->Pause(false), 0);
  PlayBlocks(2);
  m_Device->Stop();
  const std::vector<std::uint8_t> pcm = Stream(TakePlayedAudio());
  ASSERT_GE(pcm.size(), 7u * kBlock);
  EXPECT_EQ(Sample(pcm, 0), 1000) << "block 0 was with the device before the pause";
  EXPECT_EQ(Sample(pcm, kBlock / 2), 1000) << "so was block 1";
  EXPECT_EQ(Sample(pcm, kBlock), 0) << "block 2 was pending: silenced";
  EXPECT_EQ(Sample(pcm, (2 * kBlock + 1280) / 2), 16384) << "the effect plays over the silence";
  EXPECT_EQ(Sample(pcm, 5 * kBlock / 2), 0);
  EXPECT_EQ(Sample(pcm, 6 * kBlock / 2), 1000) << "refilled from the source when the pause ended";
}

TEST_F(GameAudio, EffectPlaysAloneWhileTheStreamIsStopped) {
  ASSERT_EQ(m_Device->LoadEffect(Effect8({0x00, 0x80, 0xFF}).data(), 3, 1, 8, 8000, 0), 0);
  ASSERT_EQ(m_Device->PlayEffect(0, 10), 0);
  ASSERT_EQ(m_Device->PlayEffect(0, 10), 0) << "still queued: not written a second time";
  AdvanceClock(100);
  const auto played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 1u);
  const std::int16_t expected[] = {-32768, -32768, 0, 0, 32512, 32512};
  ASSERT_EQ(played[0].bytes.size(), sizeof expected);
  EXPECT_EQ(std::memcmp(played[0].bytes.data(), expected, sizeof expected), 0);
  EXPECT_EQ(m_Device->PlayEffect(1, 0), -1) << "no such effect";
}

TEST_F(GameAudio, SixteenBitEffectsAreSteppedToTheDeviceRate) {
  const std::int16_t in[8] = {0, 100, 200, 300, 400, 500, 600, 700};
  ASSERT_EQ(m_Device->LoadEffect(in, 8, 1, 16, 16000, 0), 0);
  ASSERT_EQ(m_Device->LoadEffect(in, 8, 1, 16, 12000, 0), 0);
  const std::int16_t stereo[4] = {1, -1, 2, -2};
  ASSERT_EQ(m_Device->LoadEffect(stereo, 2, 2, 16, 8000, 0), 0);
  std::vector<std::vector<std::int16_t>> heard;
  for (int e = 0; e < 3; ++e) {
    ASSERT_EQ(m_Device->PlayEffect(e, 0), 0);
    AdvanceClock(10);
    for (const PlayedBuffer& p : TakePlayedAudio()) {
      heard.emplace_back(p.bytes.size() / 2);
      std::memcpy(heard.back().data(), p.bytes.data(), p.bytes.size());
    }
  }
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0], (std::vector<std::int16_t>{0, 0, 200, 200, 400, 400, 600, 600}));
  EXPECT_EQ(heard[1], (std::vector<std::int16_t>{0, 0, 100, 100, 300, 300, 400, 400, 600, 600}));
  EXPECT_EQ(heard[2], (std::vector<std::int16_t>{1, -1, 2, -2}));
}

TEST_F(GameAudio, VolumeStepsAndMuting) {
  ASSERT_EQ(m_Device->LoadEffect(Effect8({0xFF}).data(), 1, 1, 8, 8000, 0), 0);
  DWORD system = 0;
  ASSERT_EQ(m_Device->SetVolume(5), 0);
  waveOutGetVolume(nullptr, &system);
  EXPECT_EQ(system, 0x7FFD7FFDu);
  EXPECT_EQ(m_Device->GetVolume(), 5);
  // 0 mutes the effects but gives the system back the volume found at Open.
  ASSERT_EQ(m_Device->SetVolume(0), 0);
  waveOutGetVolume(nullptr, &system);
  EXPECT_EQ(system, 0xFFFAFFFAu);
  EXPECT_EQ(m_Device->PlayEffect(0, 0), 0);
  AdvanceClock(100);
  EXPECT_TRUE(TakePlayedAudio().empty());
  // A source passes its volume on only once attached.
  ssSoundSource source;
  source.SetVolume(3);
  EXPECT_EQ(source.GetVolume(), 3);
  EXPECT_EQ(m_Device->GetVolume(), 10);
  m_Device->AttachSource(&source);
  source.SetVolume(7);
  EXPECT_EQ(m_Device->GetVolume(), 7);
}

TEST_F(GameAudio, StopDrainsThenResetsAndStartPrimesAgain) {
  StartStream(m_Silence);
  PlayBlocks(2);
  m_Device->Stop();
  EXPECT_LE(GetTickCount(), 3 * kBlockMs + 2 * kBlockMs) << "waits for the two queued blocks at most";
  EXPECT_EQ(m_Device->Written(), 0u);
  TakePlayedAudio();
  AdvanceClock(2000);
  EXPECT_TRUE(TakePlayedAudio().empty()) << "nothing plays while stopped";
  m_Device->Start();
  EXPECT_EQ(m_Device->Written(), 2u);
  EXPECT_EQ(m_Device->Pending(), 12u);
  m_Device->StopSource(&m_Silence);
  EXPECT_EQ(m_Device->Written(), 0u);
}

TEST_F(GameAudio, CallbackPlaysSilenceRatherThanAnOldBlockWhenRefillsLag) {
  ASSERT_EQ(m_Device->LoadEffect(Effect8({0xC0}).data(), 1, 1, 8, 8000, 0), 0);
  StartStream(m_Silence);
  ASSERT_EQ(m_Device->PlayEffect(0, 0), 0);  // into block 1
  AdvanceClock(40 * kBlockMs);               // no refills at all
  m_Device->Stop();
  const std::vector<std::uint8_t> pcm = Stream(TakePlayedAudio());
  ASSERT_GE(pcm.size(), 38u * kBlock);
  std::size_t heard = 0;
  for (std::size_t i = 0; i < pcm.size() / 2; ++i) heard += Sample(pcm, i) != 0;
  EXPECT_EQ(heard, 2u) << "the effect's frame once, never replayed from the ring";
}

TEST_F(GameAudio, SourceErrorEndsTheRefill) {
  ToneSource tone(5);
  tone.m_FailAfter = 14;
  StartStream(tone);
  EXPECT_EQ(m_Device->Filled(), 14u);
  AdvanceClock(kBlockMs);
  EXPECT_EQ(m_Device->FillBlock(), 7);
  EXPECT_EQ(m_Device->Pending(), 11u) << "blocks already filled are kept";
  EXPECT_EQ(m_Device->Filled(), 14u);
}

TEST_F(GameAudio, SourcesAttachAndDetachWithoutLeavingHoles) {
  ssSoundSource a, b, c, d;
  for (ssSoundSource* s : {&a, &b, &c}) s->m_Streaming = false;
  d.m_Streaming = false;
  StartStream(m_Silence);
  for (ssSoundSource* s : {&a, &b, &c}) EXPECT_EQ(m_Device->AttachSource(s), 0);
  EXPECT_EQ(m_Device->SourceCount(), 4u);
  m_Device->DetachSource(&b);
  EXPECT_EQ(m_Device->AttachSource(&d), 0);
  EXPECT_EQ(m_Device->SourceCount(), 4u);
  EXPECT_EQ(m_Device->Source(1), &a);
  EXPECT_EQ(m_Device->Source(2), &c);
  EXPECT_EQ(m_Device->Source(3), &d);
  m_Device->DetachSource(&m_Silence);
  EXPECT_EQ(m_Device->Source(0), nullptr);
  EXPECT_EQ(m_Device->SourceCount(), 3u);
  EXPECT_EQ(m_Device->Written(), 0u) << "detaching the stream source stops the stream";
}

TEST(GameAudioDevice, ChoosingAndOpeningTheDevice) {
  UseVirtualClock(0, kStart2010);
  {
    ScopedSetting formats("DEVICE_SPEAKER_FORMATS", "15");  // no 22.05 kHz 8-bit mono
    ssAudioWaveOut device;
    EXPECT_EQ(device.GetDeviceCaps(0), 0);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.PlayEffect(0, 0), -1);
    EXPECT_EQ(device.FillBlock(), -1);
    ssSoundSource source;
    EXPECT_EQ(device.PlaySource(&source), -1);
  }
  {
    ScopedSetting only("DEVICE_SPEAKER_ONLY_FORMAT", "22050,16,2");
    ssAudioWaveOut device;
    EXPECT_EQ(device.GetDeviceCaps(0), 0);
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.Rate(), 22050u) << "8 kHz was refused, so it fell back to 22050 Hz";
  }
  {
    ScopedSetting busy("DEVICE_SPEAKER_FAIL", "open");
    ssAudioWaveOut device;
    EXPECT_EQ(device.GetDeviceCaps(0), 9);
    EXPECT_FALSE(device.IsOpen());
  }
}

class FakeArchive : public MemberReader {
 public:
  bool ReadMember(const char* name, std::vector<std::uint8_t>& bytes) override {
    m_Names.emplace_back(name);
    if (std::string(name) == "b_med.wav") return false;
    bytes.assign(44, 0);
    const std::uint32_t declared = std::string(name) == "rack.wav" ? 1000 : 2;  // rack claims more than it has
    std::memcpy(bytes.data() + 40, &declared, 4);
    bytes.insert(bytes.end(), {0x90, 0x90, 0x90});
    return true;
  }
  std::vector<std::string> m_Names;
};

TEST_F(GameAudio, GameSoundsLoadInOrderAndNeverReadPastAMember) {
  FakeArchive archive;
  EXPECT_EQ(LoadGameSounds(*m_Device, archive), 12);
  ASSERT_EQ(archive.m_Names.size(), kGameSoundCount);
  EXPECT_EQ(archive.m_Names.front(), "rack.wav");
  EXPECT_EQ(archive.m_Names.back(), "p_hard.wav");
  EXPECT_EQ(LoadGameSound(*m_Device, std::vector<std::uint8_t>(43, 0)), -1);
  // Effect 0 holds the three samples present, not the 1000 claimed.
  ASSERT_EQ(m_Device->PlayEffect(0, 0), 0);
  AdvanceClock(10);
  auto played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 1u);
  EXPECT_EQ(played[0].bytes.size(), 12u);
  // Effect 3 is b_hard: the missing b_med kept its number.
  ASSERT_EQ(m_Device->PlayEffect(3, 0), 0);
  AdvanceClock(10);
  played = TakePlayedAudio();
  ASSERT_EQ(played.size(), 1u);
  EXPECT_EQ(played[0].bytes.size(), 8u);
}

}  // namespace
