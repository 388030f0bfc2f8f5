#include <gtest/gtest.h>

#include "audio/level_meter_record.h"
#include "audio/meters.h"
#include "ce/testing.h"
#include "stage_test_support.h"

namespace {

using audio::PCMData;
using ce::testing::AdvanceClock;
using ce::testing::UseVirtualClock;
using stage_test::make_block;
using stage_test::mono16;
using stage_test::Sink;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

TEST(LevelMeterRecord, PeakOfTheFirstChannel) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::uint32_t channels, bits;
    double level;
  };
  const Case cases[] = {
      {"one full-scale sample", stage_test::to_bytes({0, 100, 32767, -5}), 1, 16, 1.0},
      {"only negative samples", stage_test::to_bytes({-1, -32768, -200}), 1, 16, 0.0},
      {"second channel ignored", stage_test::to_bytes({1000, 32767, -3, 20000}), 2, 16, 1000 / 32767.0},
      {"8-bit", {128, 255, 0, 130}, 1, 8, 1.0},
      {"other widths read as 8-bit", {191, 12, 0, 128}, 1, 24, 63 / 127.0},
  };
  for (const Case& c : cases) {
    audio::LevelMeterRecord meter(2.0);
    Sink sink;
    audio::connect<PCMData>(&meter, &sink);
    meter.on_data(make_block(c.bytes, c.channels, c.bits, 8000));
    EXPECT_DOUBLE_EQ(meter.get_level(0), c.level) << c.what;
    EXPECT_EQ(meter.get_level(1), meter.get_level(0));
    EXPECT_EQ(sink.bytes, c.bytes) << c.what;
  }
}

TEST(LevelMeterRecord, SilenceTimeSinceTheLastLoudSample) {
  audio::LevelMeterRecord meter(2.0);
  meter.set_threshold(0.5);
  std::vector<std::int16_t> samples(1000, 100);
  samples[900] = 16384;
  samples[400] = 30000;
  meter.on_data(mono16(samples, 8000));
  EXPECT_DOUBLE_EQ(meter.get_silence_time(), 100.0 / 8000);
  EXPECT_FALSE(meter.is_silence_timeout());
  const std::vector<std::int16_t> quiet(8000, 16383);  // at the threshold is not above it
  meter.on_data(mono16(quiet, 8000));
  EXPECT_FALSE(meter.is_silence_timeout()) << "1.0125 s";
  meter.on_data(mono16(quiet, 8000));
  EXPECT_TRUE(meter.is_silence_timeout()) << "2.0125 s";
  // A block without a rate or without frames changes nothing.
  const double before = meter.get_silence_time();
  meter.on_data(mono16(quiet, 0));
  meter.on_data(mono16({}, 8000));
  EXPECT_EQ(meter.get_silence_time(), before);
  meter.on_data(mono16({20000}, 8000));
  EXPECT_FALSE(meter.is_silence_timeout());
}

TEST(TimeMeter, SumsTheDurationThatPasses) {
  audio::TimeMeter meter;
  Sink sink;
  audio::connect<PCMData>(&meter, &sink);
  meter.on_data(mono16(std::vector<std::int16_t>(4000), 8000));
  meter.on_data(make_block(std::vector<std::uint8_t>(44100 * 4), 2, 16, 44100));
  meter.on_data(mono16(std::vector<std::int16_t>(500), 0));
  EXPECT_DOUBLE_EQ(meter.get_time(), 1.5);
  EXPECT_EQ(sink.blocks.size(), 3u);
  audio::connect<PCMData>(&meter, nullptr);
  EXPECT_DOUBLE_EQ(meter.get_time(), 1.5) << "unlinking keeps the sum";
  meter.reset();
  EXPECT_EQ(meter.get_time(), 0.0);
}

class LevelMeterTest : public ::testing::Test {
 protected:
  void SetUp() override { UseVirtualClock(0, kStart2010); }
  // A block whose segment i (of seg frames) peaks at (i + 1) x 100.
  static PCMData stepped(std::uint32_t frames, std::uint32_t rate, std::uint32_t seg) {
    std::vector<std::int16_t> s(frames, -50);
    for (std::uint32_t f = 0; f < frames; f += seg) s[f] = static_cast<std::int16_t>((f / seg + 1) * 100);
    return mono16(s, rate);
  }
};

TEST_F(LevelMeterTest, AnswersThePointUnderThePresentPlayTime) {
  audio::LevelMeter meter;
  stage_test::Source source;
  audio::connect<PCMData>(&source, &meter);
  EXPECT_EQ(meter.get_level(0), 0.0) << "before any block";
  // 8,000 Hz: segments of 533 frames; 16,384 frames give 31 points, the
  // last over 394 frames; the block lasts 2.048 s.
  source.blocks.push_back(stepped(16384, 8000, 533));
  PCMData out;
  meter.get_data(out, 16384);
  EXPECT_EQ(out.size(), 32768u);
  struct Probe {
    std::uint64_t at_ms;
    int point;  // -1: nothing plays
  };
  const Probe probes[] = {{0, 0}, {66, 0}, {67, 1}, {500, 7}, {1998, 29}, {1999, 30}, {2047, 30}, {2048, -1}};
  std::uint64_t now = 0;
  for (const Probe& p : probes) {
    AdvanceClock(p.at_ms - now);
    now = p.at_ms;
    const double expected = p.point < 0 ? 0.0 : (p.point + 1) * 100 / 32768.0;
    EXPECT_DOUBLE_EQ(meter.get_level(1), expected) << p.at_ms;
  }
  // The clock starts again with the next block: 44,100 Hz, 2,940-frame segments.
  AdvanceClock(5000);
  source.blocks.push_back(stepped(44100, 44100, 2940));
  meter.get_data(out, 44100);
  AdvanceClock(999);
  EXPECT_DOUBLE_EQ(meter.get_level(0), 15 * 100 / 32768.0);
  EXPECT_EQ(meter.get_entry_count(), 1u);
}

TEST_F(LevelMeterTest, SilentNegativeAndRatelessBlocks) {
  audio::LevelMeter meter;
  stage_test::Source source;
  audio::connect<PCMData>(&source, &meter);
  source.blocks.push_back(mono16(std::vector<std::int16_t>(8000, -20000), 8000));
  source.blocks.push_back(mono16(std::vector<std::int16_t>(100, 9000), 0));
  source.blocks.push_back(mono16(std::vector<std::int16_t>(10, 9000), 14));
  PCMData out;
  for (int i = 0; i < 3; ++i) meter.get_data(out, 8000);
  EXPECT_EQ(meter.get_entry_count(), 1u) << "rates below 15 Hz add no entry";
  EXPECT_EQ(meter.get_level(0), 0.0);
  AdvanceClock(500);
  EXPECT_EQ(meter.get_level(0), 0.0);
}

}  // namespace
