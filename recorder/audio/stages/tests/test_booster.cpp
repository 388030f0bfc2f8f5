#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "audio/booster.h"
#include "stage_test_support.h"

namespace {

using audio::Booster;
using stage_test::mono16;
using stage_test::Sink;
using stage_test::to_samples;

TEST(Booster, GainShapesTheCurve) {
  struct Case {
    std::int32_t gain, knee_out, limit_in;
  };
  const Case cases[] = {
      {1, 200, 20000},
      {2, 200, 10100},
      {4, 300, 5125},
      {8, 400, 2650},
      // Gains below 1 mean "no change" rather than a division by zero.
      {0, 200, 20000},
      {-4, 200, 20000},
  };
  for (const Case& c : cases) {
    Booster b;
    b.set_gain(c.gain);
    EXPECT_EQ(b.get_knee_out(), c.knee_out) << c.gain;
    EXPECT_EQ(b.get_limit_in(), c.limit_in) << c.gain;
  }
  Booster b;
  b.set_gain(4);
  EXPECT_EQ(b.curve(200), 300 * 16384);
  EXPECT_EQ(b.curve(-200), 300 * 16384);
  EXPECT_EQ(b.curve(5125), 20000 * 16384);
  EXPECT_EQ(b.curve(32768), 32768ll * 16384);
  EXPECT_EQ(b.curve(100), 150 * 16384);
  b.set_gain(1);
  for (std::int32_t x : {0, 1, 199, 200, 12345, 20000, 32767}) EXPECT_EQ(b.curve(x), x * 16384ll) << x;
}

// Gain 1, stereo, 8-bit and rateless blocks.
TEST(Booster, BlocksItCannotBoostPassAtOnceAndUnchanged) {
  struct Case {
    std::int32_t gain;
    std::uint32_t channels, bits, rate;
  };
  for (const Case& c : {Case{1, 1, 16, 8000}, Case{4, 2, 16, 8000}, Case{4, 1, 8, 8000}, Case{4, 1, 16, 0}}) {
    Booster b;
    Sink sink;
    audio::connect<audio::PCMData>(&b, &sink);
    b.set_gain(c.gain);
    std::vector<std::uint8_t> bytes(4000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    b.on_data(stage_test::make_block(bytes, c.channels, c.bits, c.rate));
    ASSERT_EQ(sink.blocks.size(), 1u) << c.gain << " " << c.channels << " " << c.bits;
    EXPECT_EQ(sink.bytes, bytes);
    EXPECT_EQ(sink.blocks[0].channels, c.channels);
    EXPECT_EQ(b.get_held_bytes(), 0u);
  }
}

TEST(Booster, HoldsLessThanItsLookAheadAndFlushesItAtTheEnd) {
  Booster b;
  Sink sink;
  audio::connect<audio::PCMData>(&b, &sink);
  b.set_gain(4);
  const auto speech = stage_test::speech_like(700, 8000);  // under 100 ms at 8 kHz
  b.on_data(mono16(speech, 8000));
  EXPECT_TRUE(sink.blocks.empty());
  EXPECT_EQ(b.get_held_bytes(), 1400u);
  b.flush();
  EXPECT_EQ(b.get_held_bytes(), 0u);
  // No control peak was found yet, so the samples keep their values.
  EXPECT_EQ(to_samples(sink.bytes), speech);
  b.on_data(mono16(speech, 8000));
  b.reset();
  EXPECT_EQ(b.get_held_bytes(), 0u);
  b.flush();
  EXPECT_EQ(sink.bytes.size(), 1400u);
}

TEST(Booster, HeldSamplesLeaveBeforeABlockThatCannotJoinThem) {
  Booster b;
  Sink sink;
  audio::connect<audio::PCMData>(&b, &sink);
  b.set_gain(4);
  const std::vector<std::int16_t> first(400, 300), second(50, -5);
  b.on_data(mono16(first, 8000));
  b.set_gain(1);
  b.on_data(mono16(second, 8000));
  std::vector<std::int16_t> expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(to_samples(sink.bytes), expected);
  // The same when the format changes under a gain.
  b.set_gain(4);
  sink.bytes.clear();
  b.on_data(mono16(first, 8000));
  b.on_data(mono16(second, 22050));
  EXPECT_EQ(to_samples(sink.bytes).size(), first.size());
  EXPECT_EQ(b.get_held_bytes(), second.size() * 2);
}

TEST(Booster, LongStretchWithoutAControlPeakIsReleasedUnchanged) {
  // Every peak has a louder neighbour right after it, so none dominates.
  std::vector<std::int16_t> rising(9600);
  for (std::size_t i = 0; i < rising.size(); ++i) {
    const int v = 100 + static_cast<int>(i);
    rising[i] = static_cast<std::int16_t>(i % 2 ? -v : v);
  }
  Booster b;
  Sink sink;
  audio::connect<audio::PCMData>(&b, &sink);
  b.set_gain(8);
  for (std::size_t at = 0; at < rising.size(); at += 800) {
    b.on_data(mono16(std::vector<std::int16_t>(rising.begin() + at, rising.begin() + at + 800), 8000));
    if (at + 800 <= 8000) {
      EXPECT_TRUE(sink.bytes.empty()) << "at most one second is held";
    }
  }
  const auto out = to_samples(sink.bytes);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out, std::vector<std::int16_t>(rising.begin(), rising.begin() + out.size()));
  EXPECT_EQ(out.size() * 2 + b.get_held_bytes(), rising.size() * 2);
}

// Every sample comes out once, in order, with its sign and at least its
// magnitude, however the input is split; quiet speech comes out louder.
TEST(Booster, KeepsEverySampleInOrderAndRaisesQuietSpeech) {
  struct Case {
    std::int32_t gain;
    std::uint32_t rate;
    double amplitude;
  };
  const Case cases[] = {{2, 8000, 1500}, {4, 22050, 1500}, {8, 44100, 800}, {8, 8000, 12000}};
  std::mt19937 random(7);
  for (const Case& c : cases) {
    auto in = stage_test::speech_like(c.rate * 3, c.rate, c.amplitude);
    // Full-scale clicks in quiet sound, one of them in the look-ahead that
    // the final flush releases.
    in[c.rate] = 32767;
    in[c.rate + c.rate / 3] = -32768;
    in[in.size() - c.rate / 50] = -32768;
    Booster b;
    Sink sink;
    audio::connect<audio::PCMData>(&b, &sink);
    b.set_gain(c.gain);
    std::size_t at = 0;
    while (at < in.size()) {
      const std::size_t take = std::min<std::size_t>(in.size() - at, 1 + random() % (c.rate / 4));
      b.on_data(mono16(std::vector<std::int16_t>(in.begin() + at, in.begin() + at + take), c.rate));
      at += take;
    }
    b.flush();
    const auto out = to_samples(sink.bytes);
    ASSERT_EQ(out.size(), in.size()) << c.gain << " at " << c.rate;
    double sum_in = 0, sum_out = 0;
    std::size_t bad = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
      const bool same_sign = (in[i] > 0) == (out[i] > 0) && (in[i] < 0) == (out[i] < 0);
      if (!same_sign || std::abs(out[i]) < std::abs(in[i])) ++bad;
      sum_in += std::abs(in[i]);
      sum_out += std::abs(out[i]);
    }
    EXPECT_EQ(bad, 0u) << c.gain << " at " << c.rate;
    if (c.amplitude < 2000) {
      EXPECT_GT(sum_out, 1.5 * sum_in) << c.gain << " at " << c.rate;
    }
  }
}

}  // namespace
