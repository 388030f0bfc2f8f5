#include <gtest/gtest.h>

#include <mutex>

#include "audio/chains.h"
#include "audio/meters.h"
#include "audio/player_pcm.h"
#include "ce/mmsystem.h"
#include "ce/testing.h"
#include "scoped_setting.h"
#include "stage_test_support.h"

namespace {

using audio::PCMData;
using audio::PlayerPCM;
using ce::testing::AdvanceClock;
using ce::testing::PlayedBuffer;
using ce::testing::TakePlayedAudio;
using ce::testing::UseVirtualClock;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

std::vector<std::uint8_t> pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> v(size);
  for (std::size_t i = 0; i < size; ++i) v[i] = static_cast<std::uint8_t>((i * 31 + seed * 7 + i / 251) & 0xFF);
  return v;
}

// A source over one stream of bytes, seekable from another thread as a
// file reader is by the user interface.
struct StreamSource : audio::Provider<PCMData> {
  std::mutex mutex;
  std::vector<std::uint8_t> bytes;
  std::size_t position = 0;
  std::uint32_t channels = 1, bits = 16, rate = 8000;
  std::uint32_t block_bytes = 3002;  // not a multiple of any buffer size
  PCMData& get_data(PCMData& out, std::uint32_t /*frames*/) override {
    std::lock_guard guard(mutex);
    const std::size_t take = std::min<std::size_t>(block_bytes, bytes.size() - position);
    out = take == 0 ? PCMData()
                    : PCMData(audio::SharedBuffer(bytes.data() + position, static_cast<std::uint32_t>(take)), channels,
                              bits, rate);
    position += take;
    return out;
  }
  void seek(std::size_t to) {
    std::lock_guard guard(mutex);
    position = to;
  }
};

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseVirtualClock(0, kStart2010);
    TakePlayedAudio();
  }
  // Moves the clock until the player has closed its device again.
  static void play_out(PlayerPCM& player, std::uint64_t limit_ms = 60000) {
    std::uint64_t spent = 0;
    do {
      AdvanceClock(100);
      spent += 100;
    } while ((player.get_state() != 0 || spent < 300) && spent < limit_ms);
    EXPECT_EQ(player.get_state(), 0u);
  }
  static std::vector<std::uint8_t> heard(const std::vector<PlayedBuffer>& played) {
    std::vector<std::uint8_t> all;
    for (const PlayedBuffer& b : played) all.insert(all.end(), b.bytes.begin(), b.bytes.end());
    return all;
  }
};

TEST_F(PlayerTest, PlaysEveryByteOnceInBuffersOf200Ms) {
  struct Case {
    std::uint32_t rate, channels, buffer;
  };
  for (const Case& c : {Case{44100, 2, 35280}, Case{8000, 1, 3200}, Case{22050, 1, 8820}}) {
    StreamSource source;
    source.rate = c.rate;
    source.channels = c.channels;
    source.bytes = pattern(c.buffer * 7 + 1236, c.rate);  // whole frames
    PlayerPCM player;
    audio::connect<PCMData>(&source, &player);
    ASSERT_TRUE(player.play());
    play_out(player);
    EXPECT_EQ(player.get_buffer_size(), c.buffer) << c.rate;
    const auto played = TakePlayedAudio();
    EXPECT_EQ(heard(played), source.bytes) << c.rate;
    for (const PlayedBuffer& b : played) {
      EXPECT_LE(b.bytes.size(), c.buffer);
      EXPECT_EQ(b.format.rate, c.rate);
    }
    // At the end the player stays closed; play() finds the source empty.
    EXPECT_TRUE(player.play());
    AdvanceClock(500);
    EXPECT_TRUE(TakePlayedAudio().empty());
    audio::connect<PCMData>(&source, nullptr);
  }
}

TEST_F(PlayerTest, AFormatChangeReopensTheDeviceWithoutLosingTheBlock) {
  stage_test::Source source;
  const auto first = pattern(5000, 1), second = pattern(9000, 2);
  source.blocks.push_back(stage_test::make_block(first, 1, 16, 8000));
  source.blocks.push_back(stage_test::make_block(second, 2, 16, 22050));
  PlayerPCM player;
  audio::connect<PCMData>(&source, &player);
  player.play();
  play_out(player);
  const auto played = TakePlayedAudio();
  ASSERT_GE(played.size(), 2u);
  std::vector<std::uint8_t> a, b;
  for (const PlayedBuffer& p : played) {
    auto& into = p.stream == played.front().stream ? a : b;
    into.insert(into.end(), p.bytes.begin(), p.bytes.end());
    EXPECT_EQ(p.format.rate, p.stream == played.front().stream ? 8000u : 22050u);
  }
  EXPECT_EQ(a, first);
  EXPECT_EQ(b, second);
  audio::connect<PCMData>(&source, nullptr);
}

TEST_F(PlayerTest, PauseResumeAndStop) {
  StreamSource source;
  source.bytes = pattern(16000 * 5, 3);  // 5 s of 8 kHz 16-bit mono
  PlayerPCM player;
  audio::connect<PCMData>(&source, &player);
  player.play();
  AdvanceClock(1000);
  player.pause();
  AdvanceClock(50);
  const std::size_t before = heard(TakePlayedAudio()).size();
  AdvanceClock(3000);
  EXPECT_TRUE(TakePlayedAudio().empty()) << "nothing plays while paused";
  player.play();  // resumes where the device stopped
  play_out(player);
  EXPECT_EQ(before + heard(TakePlayedAudio()).size(), source.bytes.size());

  // Paused then stopped: the device is reset and closes, not paused.
  source.seek(0);
  player.play();
  AdvanceClock(500);
  player.pause();
  AdvanceClock(50);
  player.stop();
  play_out(player, 2000);
  TakePlayedAudio();
  source.seek(0);
  player.play();
  AdvanceClock(1000);
  EXPECT_FALSE(TakePlayedAudio().empty()) << "the next play is not left paused";
  player.stop();
  play_out(player, 2000);
  EXPECT_TRUE(player.stop()) << "stopping a stopped player does nothing more";
  audio::connect<PCMData>(&source, nullptr);
}

// The clock: played is what the device has played, not what was pulled
// ahead of it; a pause holds it, and a stop, which drops what was ahead,
// brings it level with what was pulled.
TEST_F(PlayerTest, ItsClockCountsWhatTheDeviceHasPlayed) {
  StreamSource source;
  source.bytes = pattern(16000 * 5, 4);  // 5 s of 8 kHz 16-bit mono
  PlayerPCM player;
  audio::connect<PCMData>(&source, &player);
  EXPECT_EQ(player.get_clock().played, 0.0);
  player.play();
  AdvanceClock(1000);
  PlayerPCM::Clock clock = player.get_clock();
  EXPECT_NEAR(clock.played, 1.0, 0.002);
  EXPECT_GT(clock.pulled, 1.4) << "three 200 ms buffers and more are read ahead";
  player.pause();
  AdvanceClock(500);
  clock = player.get_clock();
  AdvanceClock(1000);
  EXPECT_EQ(player.get_clock().played, clock.played) << "paused";
  player.play();
  AdvanceClock(700);
  EXPECT_NEAR(player.get_clock().played, clock.played + 0.7, 0.002);
  player.stop();
  play_out(player, 2000);
  clock = player.get_clock();
  EXPECT_DOUBLE_EQ(clock.played, clock.pulled);
  // A new stream is heard from where the last one left the clock.
  source.seek(0);
  player.play();
  AdvanceClock(400);
  EXPECT_NEAR(player.get_clock().played, clock.played + 0.4, 0.002);
  player.stop();
  play_out(player, 2000);
  audio::connect<PCMData>(&source, nullptr);
}

// A play() at once after a stop() starts the new stream clean: nothing the
// stopped one had queued or pending is heard after the stop.
TEST_F(PlayerTest, APlayRightAfterAStopHearsOnlyTheNewStream) {
  StreamSource source;
  source.bytes = pattern(16000 * 3, 5);
  PlayerPCM player;
  audio::connect<PCMData>(&source, &player);
  player.play();
  AdvanceClock(500);
  TakePlayedAudio();
  const auto next = pattern(16000, 6);
  player.stop();
  {
    std::lock_guard guard(source.mutex);
    source.bytes = next;
    source.position = 0;
  }
  player.play();
  play_out(player);
  EXPECT_EQ(heard(TakePlayedAudio()), next);
  PlayerPCM::Clock clock = player.get_clock();
  EXPECT_DOUBLE_EQ(clock.played, clock.pulled);
  audio::connect<PCMData>(&source, nullptr);
}

TEST_F(PlayerTest, CopesWithTheSourceSeekingUnderIt) {
  StreamSource source;
  source.bytes = pattern(16000 * 4, 4);
  PlayerPCM player;
  audio::connect<PCMData>(&source, &player);
  player.play();
  AdvanceClock(700);
  source.seek(16000 * 3);  // jump to the last second
  play_out(player);
  const auto all = heard(TakePlayedAudio());
  const std::vector<std::uint8_t> tail(source.bytes.begin() + 16000 * 3, source.bytes.end());
  ASSERT_GT(all.size(), tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), all.end() - static_cast<std::ptrdiff_t>(tail.size())));
  EXPECT_LT(all.size(), source.bytes.size());
  audio::connect<PCMData>(&source, nullptr);
}

TEST_F(PlayerTest, VolumeIsClampedAndAppliedToBothChannels) {
  StreamSource source;
  source.bytes = pattern(16000 * 3, 5);
  PlayerPCM player;
  audio::connect<PCMData>(&source, &player);
  player.play();
  AdvanceClock(100);
  struct Case {
    double asked, stored;
    DWORD word;
  };
  for (const Case& c : {Case{1.5, 1.0, 0xFFFFFFFFu}, Case{-1, 0.0, 0}, Case{0.5, 0.5, 0x7FFF7FFFu}}) {
    player.set_volume(c.asked);
    EXPECT_EQ(player.get_volume(), c.stored);
    DWORD volume = 0;
    waveOutGetVolume(nullptr, &volume);
    EXPECT_EQ(volume, c.word) << c.asked;
  }
  player.stop();
  play_out(player, 2000);
  audio::connect<PCMData>(&source, nullptr);
}

// The playback pipeline of the main form: source, level meter, player. The
// meter answers the level of what is audible, which lags the pulls.
TEST_F(PlayerTest, LevelMeterFollowsWhatIsHeard) {
  stage_test::Source source;
  std::vector<std::int16_t> loud(8000, 16384), quiet(8000, 0);
  source.blocks.push_back(stage_test::mono16(quiet, 8000));  // 1 s of silence, then 1 s at half scale
  source.blocks.push_back(stage_test::mono16(loud, 8000));
  audio::LevelMeter meter;
  PlayerPCM player;
  audio::connect<PCMData>(&meter, &player);
  audio::connect<PCMData>(&source, &meter);
  player.play();
  AdvanceClock(500);
  EXPECT_EQ(meter.get_level(0), 0.0) << "the loud block is pulled but not heard yet";
  AdvanceClock(1000);
  EXPECT_DOUBLE_EQ(meter.get_level(1), 0.5);
  play_out(player);
  EXPECT_EQ(meter.get_level(0), 0.0) << "played out";
  EXPECT_EQ(heard(TakePlayedAudio()).size(), 32000u);
  audio::connect<PCMData>(&source, nullptr);
  audio::connect<PCMData>(&meter, nullptr);
}

// The main form's playback of a file: the play chain's reader, the level
// meter and the player; the user seeks through the reader while it plays.
TEST_F(PlayerTest, PlaysAFileThroughItsChainAndFollowsASeek) {
  const auto content = pattern(22050 * 2 * 3, 6);  // 3 s of 22,050 Hz 16-bit mono
  {
    std::unique_ptr<audio::RecordChain> writer(audio::create_record_chain(L"\\seek.wav", L"PCM", 0, false));
    ASSERT_TRUE(writer);
    writer->get_consumer()->on_data(stage_test::make_block(content, 1, 16, 22050));
  }
  std::unique_ptr<audio::PlayChain> chain(audio::create_play_chain(L"\\seek.wav"));
  ASSERT_TRUE(chain);
  audio::FileReader* reader = chain->get_reader();
  audio::LevelMeter meter;
  PlayerPCM player;
  audio::connect<PCMData>(&meter, &player);
  audio::connect<PCMData>(chain->get_provider(), &meter);
  player.play();
  AdvanceClock(300);
  const std::uint32_t target = reader->get_length() / 4 * 3;
  reader->seek(target);
  play_out(player);
  EXPECT_LE(reader->get_length(), reader->get_position()) << "the form sees the end";
  const auto all = heard(TakePlayedAudio());
  const std::vector<std::uint8_t> tail(content.begin() + target, content.end());
  ASSERT_GT(all.size(), tail.size());
  EXPECT_LT(all.size(), content.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), all.end() - static_cast<std::ptrdiff_t>(tail.size())));
  audio::connect<PCMData>(chain->get_provider(), nullptr);
  audio::connect<PCMData>(&meter, nullptr);
}

TEST_F(PlayerTest, SourcesWithNothingPlayableNeverOpenADevice) {
  stage_test::Source source;
  PlayerPCM player;
  audio::connect<PCMData>(&source, &player);
  player.play();
  AdvanceClock(500);
  EXPECT_EQ(player.get_state(), 0u);
  // Zero formats, a width the device cannot play and a rate too low for a
  // 200 ms buffer are dropped one by one; the player stays closed.
  source.blocks.push_back(stage_test::make_block(pattern(64, 1), 0, 16, 8000));
  source.blocks.push_back(stage_test::make_block(pattern(64, 1), 1, 16, 0));
  source.blocks.push_back(stage_test::make_block(pattern(64, 1), 1, 24, 8000));
  source.blocks.push_back(stage_test::make_block(pattern(64, 1), 1, 16, 4));
  for (int i = 0; i < 4; ++i) {
    player.play();
    AdvanceClock(200);
    EXPECT_EQ(player.get_state(), 0u) << i;
    EXPECT_TRUE(player.has_failed()) << "the caller learns that nothing plays " << i;
  }
  EXPECT_TRUE(source.blocks.empty());
  EXPECT_TRUE(TakePlayedAudio().empty());
  // A device that refuses to open leaves the player closed, not stuck: the
  // next play() goes on with the next block.
  const auto good = pattern(3200, 9);
  source.blocks.push_back(stage_test::make_block(pattern(64, 1), 1, 16, 8000));
  source.blocks.push_back(stage_test::make_block(good, 1, 16, 8000));
  {
    ce::test::ScopedSetting refuse("DEVICE_SPEAKER_FAIL", "open");
    player.play();
    AdvanceClock(200);
    EXPECT_EQ(player.get_state(), 0u);
  }
  player.play();
  play_out(player);
  EXPECT_FALSE(player.has_failed());
  EXPECT_EQ(heard(TakePlayedAudio()), good);
  audio::connect<PCMData>(&source, nullptr);
}

TEST(PlayerDeathTest, PushingIntoThePlayerEndsTheProgram) {
  EXPECT_EXIT(
      {
        PlayerPCM player;
        player.on_data(PCMData());
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
