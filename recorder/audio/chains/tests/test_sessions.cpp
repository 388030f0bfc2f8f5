// The record and play sessions on the headless devices and the virtual
// clock: a recording loses nothing at its stop and leaves out what was
// captured while paused; a playback follows pause, seek and its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "audio/sessions.h"
#include "ce/testing.h"
#include "scoped_setting.h"
#include "stage_test_support.h"
#include "wav_test_files.h"

namespace {

using namespace wav_test;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

class Sessions : public ::testing::Test {
 protected:
  void SetUp() override { ce::testing::UseVirtualClock(0, kStart2010); }
  void TearDown() override { ce::testing::UseRealClock(); }
};

std::vector<std::uint8_t> ReadData(const std::wstring& path) {
  const std::string file = ReadFile(path);
  return file.size() < 44 ? std::vector<std::uint8_t>() : std::vector<std::uint8_t>(file.begin() + 44, file.end());
}

TEST_F(Sessions, ARecordingLosesNothingAtItsStopAndLeavesOutItsPause) {
  constexpr std::uint32_t kRate = 8000;
  const auto input = stage_test::to_bytes(stage_test::speech_like(kRate * 5, kRate, 3000));
  ce::test::ScopedSetting mic("DEVICE_MIC", stage_test::write_mic_file(input, 1, 16, kRate));

  audio::RecordSession session;
  EXPECT_FALSE(session.start(nullptr, 1, kRate));
  ASSERT_TRUE(session.start(audio::create_record_chain(TestPath(), L"PCM", 0, false), 1, kRate));
  EXPECT_TRUE(session.is_recording());
  ce::testing::AdvanceClock(1000);
  session.pause();
  EXPECT_TRUE(session.is_paused());
  const double at_pause = session.position();
  EXPECT_GT(at_pause, 0.0);
  ce::testing::AdvanceClock(1000);
  EXPECT_DOUBLE_EQ(session.position(), at_pause) << "nothing is timed while paused";
  session.resume();
  ce::testing::AdvanceClock(1345);  // ends inside a capture buffer
  EXPECT_FALSE(session.has_ended());
  const double before_stop = session.position();
  session.stop();
  EXPECT_FALSE(session.is_recording());
  EXPECT_GT(session.position(), before_stop) << "the buffer under way at the stop is kept";
  session.stop();  // a second stop changes nothing

  const auto recorded = ReadData(TestPath());
  ASSERT_EQ(recorded.size(), static_cast<std::size_t>(session.position() * kRate * 2 + 0.5));
  // What was recorded before the pause, then a later piece of the input:
  // the span captured while paused is not in the file.
  const auto first = static_cast<std::size_t>(at_pause * kRate * 2 + 0.5);
  ASSERT_LT(first, recorded.size());
  EXPECT_TRUE(std::equal(recorded.begin(), recorded.begin() + static_cast<std::ptrdiff_t>(first), input.begin()));
  const std::size_t rest = recorded.size() - first;
  bool found = false;
  for (std::size_t from = first + 2; from + rest <= input.size() && !found; from += 2) {
    found = std::equal(recorded.begin() + static_cast<std::ptrdiff_t>(first), recorded.end(),
                       input.begin() + static_cast<std::ptrdiff_t>(from));
  }
  EXPECT_TRUE(found) << "the recording goes on with the input after the pause";
}

TEST_F(Sessions, ARecordingWithoutAnInputDoesNotStart) {
  ce::test::ScopedSetting none("DEVICE_MIC_DEVICES", "0");
  audio::RecordSession session;
  EXPECT_FALSE(session.start(audio::create_record_chain(TestPath(), L"PCM", 0, false), 1, 8000));
  EXPECT_FALSE(session.is_recording());
  EXPECT_FALSE(session.has_ended());
}

TEST_F(Sessions, APlaybackPausesSeeksAndEnds) {
  constexpr std::uint32_t kRate = 22050;
  {
    audio::FileWriterWAVPCM writer(TestPath(), false);
    writer.on_data(PCMBlock(Sine(kRate * 3, 1, 440.0, kRate), 1, 16, kRate));
  }
  audio::PlaySession session;
  EXPECT_FALSE(session.start(nullptr));
  ASSERT_TRUE(session.start(audio::create_play_chain(TestPath())));
  EXPECT_TRUE(session.is_playing());
  EXPECT_DOUBLE_EQ(session.length_time(), 3.0);
  ce::testing::AdvanceClock(500);
  EXPECT_GT(session.position(), 0u);
  session.pause();
  ce::testing::AdvanceClock(200);
  const std::uint32_t held = session.position();
  ce::testing::AdvanceClock(1000);
  EXPECT_EQ(session.position(), held) << "a paused player takes nothing more";
  session.resume();
  session.seek(session.length() / 4 * 3);
  EXPECT_GE(session.position_time(), 2.24);
  for (int i = 0; i < 100 && !session.is_played_out(); ++i) ce::testing::AdvanceClock(100);
  EXPECT_TRUE(session.has_ended());
  EXPECT_TRUE(session.is_played_out());
  session.stop();
  EXPECT_FALSE(session.is_playing());
  EXPECT_EQ(session.position(), 0u);
}

}  // namespace
