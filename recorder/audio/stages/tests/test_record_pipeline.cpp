// A whole recording on the headless microphone: recorder, booster, level
// meter, time meter and buffering thread into a sink or the PCM record
// chain's WAV file, stopped the way the main form stops it. Nothing that
// the microphone heard may be lost.
#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/active_buffer.h"
#include "audio/booster.h"
#include "audio/chains.h"
#include "audio/level_meter_record.h"
#include "audio/meters.h"
#include "audio/recorder_pcm.h"
#include "ce/testing.h"
#include "liba/thread.h"
#include "scoped_setting.h"
#include "stage_test_support.h"

namespace {

using audio::PCMData;
using ce::test::ScopedSetting;
using ce::testing::AdvanceClock;
using ce::testing::UseVirtualClock;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

struct Case {
  std::uint32_t rate, channels, bits;
  std::int32_t gain;
  bool into_wav = false;  // into the PCM record chain's WAV file, else a sink
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.rate << " Hz, " << c.channels << " ch, " << c.bits << " bit, gain " << c.gain
      << (c.into_wav ? ", into a WAV file" : "");
}

// Every byte of a WAV file, read back through the PCM reader.
std::vector<std::uint8_t> read_wav(const std::wstring& path) {
  audio::FileReaderWAVPCM reader(path);
  EXPECT_TRUE(reader.is_open());
  stage_test::Sink collector;
  audio::connect<PCMData>(&reader, &collector);
  std::vector<std::uint8_t> bytes;
  for (;;) {
    PCMData block;
    collector.pull(block, 4096);
    if (block.size() == 0) break;
    bytes.insert(bytes.end(), block.buffer.data(), block.buffer.data() + block.size());
  }
  audio::connect<PCMData>(&reader, nullptr);
  return bytes;
}

// The microphone's input in the recording's format: speech-like sound on
// the first channel, its negation on the second.
std::vector<std::uint8_t> mic_input(const Case& c, std::size_t frames) {
  const auto speech = stage_test::speech_like(frames, c.rate, 3000);
  std::vector<std::uint8_t> out;
  for (std::int16_t v : speech) {
    for (std::uint32_t ch = 0; ch < c.channels; ++ch) {
      const int s = ch == 0 ? v : -v;
      if (c.bits == 8) {
        out.push_back(static_cast<std::uint8_t>((s >> 8) + 128));
      } else {
        out.push_back(static_cast<std::uint8_t>(s & 0xFF));
        out.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
      }
    }
  }
  return out;
}

class RecordPipeline : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { UseVirtualClock(0, kStart2010); }
};

TEST_P(RecordPipeline, StopLosesNothing) {
  const Case c = GetParam();
  const std::uint32_t align = c.channels * c.bits / 8;
  const auto input = mic_input(c, c.rate * 4);
  ScopedSetting mic("DEVICE_MIC", stage_test::write_mic_file(input, c.channels, c.bits, c.rate));

  // The form's stages, linked as for a recording.
  stage_test::Sink sink;
  audio::ActiveBuffer buffer;
  audio::TimeMeter time_meter;
  audio::LevelMeterRecord level_meter(2.0);
  audio::Booster booster;
  booster.set_gain(c.gain);
  audio::connect<PCMData>(&booster, &level_meter);
  audio::connect<PCMData>(&level_meter, &time_meter);
  audio::connect<PCMData>(&time_meter, &buffer);
  std::unique_ptr<audio::RecordChain> chain;
  if (c.into_wav) {
    chain = audio::create_record_chain(L"\\rec.wav", L"PCM", 0, false);
    ASSERT_TRUE(chain);
    audio::connect<PCMData>(&buffer, chain->get_consumer());
  } else {
    audio::connect<PCMData>(&buffer, &sink);
  }
  auto* recorder = new audio::RecorderPCM(c.channels, c.rate, c.bits);
  audio::connect<PCMData>(recorder, &booster);
  ASSERT_TRUE(recorder->start());

  const std::uint64_t duration_ms = 2345;  // ends inside a capture buffer at every rate
  AdvanceClock(duration_ms);
  EXPECT_GT(level_meter.get_level(0), 0.0);

  // Stop: the buffer under way and the booster's look-ahead go down the
  // pipeline before it is taken apart; then wait for the queue to drain.
  ASSERT_TRUE(recorder->stop());
  audio::connect<PCMData>(recorder, nullptr);
  delete recorder;
  booster.flush();
  while (buffer.get_queued_count() != 0) liba::sleep(10);
  booster.reset();
  buffer.reset();
  audio::connect<PCMData>(&buffer, nullptr);
  EXPECT_TRUE(buffer.is_accepting());
  if (chain) {
    const std::uint32_t written = chain->get_writer()->get_written();
    chain.reset();  // finishes the file
    sink.bytes = read_wav(L"\\rec.wav");
    EXPECT_EQ(sink.bytes.size(), written);
  }

  const std::size_t frames = sink.bytes.size() / align;
  const double expected = duration_ms * c.rate / 1000.0;
  EXPECT_NEAR(static_cast<double>(frames), expected, c.rate / 1000.0 + 1) << "whole capture buffers and the tail";
  EXPECT_DOUBLE_EQ(time_meter.get_time(), static_cast<double>(frames) / c.rate);
  ASSERT_LE(sink.bytes.size(), input.size());
  if (c.channels != 1 || c.bits != 16 || c.gain == 1) {
    EXPECT_TRUE(std::equal(sink.bytes.begin(), sink.bytes.end(), input.begin())) << "passed unchanged";
    return;
  }
  // Boosted: every sample keeps its place and sign and gets no quieter.
  const auto in = stage_test::to_samples(input);
  const auto out = stage_test::to_samples(sink.bytes);
  std::size_t bad = 0, louder = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const bool same_sign = (in[i] > 0) == (out[i] > 0) && (in[i] < 0) == (out[i] < 0);
    if (!same_sign || std::abs(out[i]) < std::abs(in[i])) ++bad;
    if (std::abs(out[i]) > std::abs(in[i])) ++louder;
  }
  EXPECT_EQ(bad, 0u);
  EXPECT_GT(louder, out.size() / 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordPipeline,
                         ::testing::Values(Case{8000, 1, 16, 4}, Case{22050, 1, 16, 2}, Case{44100, 1, 16, 8},
                                           Case{11025, 1, 16, 1}, Case{44100, 2, 16, 4}, Case{22050, 1, 8, 4},
                                           Case{8000, 2, 8, 2}, Case{8000, 1, 16, 4, true}, Case{44100, 2, 16, 1, true},
                                           Case{22050, 1, 8, 1, true}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           const Case& c = info.param;
                           return std::to_string(c.rate) + "Hz_" + std::to_string(c.channels) + "ch_" +
                                  std::to_string(c.bits) + "bit_gain" + std::to_string(c.gain) +
                                  (c.into_wav ? "_wav" : "");
                         });

}  // namespace
