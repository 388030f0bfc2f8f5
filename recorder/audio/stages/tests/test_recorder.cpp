#include <gtest/gtest.h>

#include <utility>

#include "audio/recorder_pcm.h"
#include "ce/testing.h"
#include "ce/winbase.h"
#include "scoped_setting.h"
#include "stage_test_support.h"

namespace {

using audio::PCMData;
using audio::RecorderPCM;
using ce::test::ScopedSetting;
using ce::testing::AdvanceClock;
using ce::testing::UseVirtualClock;
using stage_test::Sink;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override { UseVirtualClock(0, kStart2010); }

  ScopedSetting mic_{"DEVICE_MIC", "tone"};  // the device has no microphone unless asked for one
};

TEST_F(RecorderTest, FormatFigures) {
  struct Case {
    std::uint32_t channels, rate, bits, buffer, bitrate;
  };
  const Case cases[] = {{1, 8000, 16, 10000, 128000}, {2, 44100, 16, 20000, 1411200}, {1, 22050, 8, 5000, 176400}};
  for (const Case& c : cases) {
    RecorderPCM recorder(c.channels, c.rate, c.bits);
    EXPECT_TRUE(recorder.is_open());
    EXPECT_EQ(recorder.get_buffer_size(), c.buffer) << c.rate;
    EXPECT_EQ(recorder.get_bitrate(), c.bitrate) << c.rate;
    EXPECT_EQ(recorder.get_channels(), c.channels);
    EXPECT_EQ(recorder.get_sample_rate(), c.rate);
    EXPECT_EQ(recorder.get_bits_per_sample(), c.bits);
    EXPECT_FALSE(recorder.is_stopped());
  }
}

TEST_F(RecorderTest, NoDeviceMeansNoStart) {
  for (auto [variable, value] : {std::pair{"DEVICE_MIC_FAIL", "open"}, {"DEVICE_MIC", ""}}) {
    ScopedSetting fail(variable, value);
    RecorderPCM recorder(1, 8000, 16);
    EXPECT_FALSE(recorder.is_open()) << variable;
    EXPECT_FALSE(recorder.start()) << variable;
  }
  // A zero format never reaches the device.
  for (auto [channels, rate, bits] : {std::tuple{0u, 8000u, 16u}, {1u, 0u, 16u}, {1u, 8000u, 0u}}) {
    RecorderPCM recorder(channels, rate, bits);
    EXPECT_FALSE(recorder.is_open());
    EXPECT_FALSE(recorder.start());
    EXPECT_EQ(recorder.get_buffer_size(), 0u);
  }
}

// What the microphone hears reaches the consumer in order, including the
// buffer under way when stop() is called.
TEST_F(RecorderTest, PushesWhatItHearsUpToTheStop) {
  std::vector<std::int16_t> signal(8000 * 3);
  for (std::size_t i = 0; i < signal.size(); ++i) signal[i] = static_cast<std::int16_t>(i * 13);
  ScopedSetting mic("DEVICE_MIC", stage_test::write_mic_file(stage_test::to_bytes(signal), 1, 16, 8000));
  Sink sink;  // outlives the recorder, whose reset still pushes
  RecorderPCM recorder(1, 8000, 16);
  audio::connect<PCMData>(&recorder, &sink);
  AdvanceClock(300);
  EXPECT_TRUE(sink.blocks.empty()) << "nothing before the start";
  ASSERT_TRUE(recorder.start());
  AdvanceClock(1337);  // two whole buffers of 625 ms and 87 ms of the third
  ASSERT_TRUE(recorder.stop());
  EXPECT_TRUE(recorder.is_stopped());
  ASSERT_EQ(sink.blocks.size(), 3u);
  EXPECT_EQ(sink.blocks[0].size(), 10000u);
  EXPECT_EQ(sink.blocks[2].size(), 696u * 2);
  for (const PCMData& b : sink.blocks) EXPECT_TRUE(b.channels == 1 && b.bits == 16 && b.rate == 8000);
  EXPECT_EQ(stage_test::to_samples(sink.bytes), std::vector<std::int16_t>(signal.begin(), signal.begin() + 10696));
  // Stopping again calls nothing and answers true; the time stands still.
  EXPECT_TRUE(recorder.stop());
  AdvanceClock(2000);
  EXPECT_EQ(sink.bytes.size(), 10696u * 2);
  // Started again, it goes on where the sound went on.
  ASSERT_TRUE(recorder.start());
  AdvanceClock(625);
  ASSERT_TRUE(recorder.stop());
  EXPECT_EQ(sink.bytes.size(), (10696u + 5000u) * 2);
}

TEST_F(RecorderTest, BuffersComingBackEmptyArePushedAsEmptyBlocks) {
  Sink sink;
  {
    RecorderPCM recorder(2, 22050, 16);
    audio::connect<PCMData>(&recorder, &sink);
    // Destroyed while linked: the device's reset returns all twenty buffers.
  }
  ASSERT_EQ(sink.blocks.size(), 20u);
  for (const PCMData& b : sink.blocks) {
    EXPECT_EQ(b.size(), 0u);
    EXPECT_TRUE(b.channels == 2 && b.bits == 16 && b.rate == 22050);
  }
}

TEST(RecorderDeathTest, PullingFromTheRecorderEndsTheProgram) {
  EXPECT_EXIT(
      {
        RecorderPCM recorder(1, 8000, 16);
        PCMData out;
        recorder.get_data(out, 100);
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
