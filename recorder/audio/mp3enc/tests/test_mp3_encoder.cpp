#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "audio/mp3_encoder.h"
#include "encoder_state.h"
#include "stream_reader.h"

namespace {

using audio::MP3EncoderParams;

struct Releaser {
  void operator()(MP3EncoderParams* p) const { audio::mp3_encoder_release(p); }
};
using Encoder = std::unique_ptr<MP3EncoderParams, Releaser>;

Encoder make(int rate, int channels, int kbps) { return Encoder(audio::mp3_encoder_create(rate, channels, kbps)); }

// Feeds `left`/`right` in pieces of `piece` samples, then flushes.
std::vector<std::uint8_t> encode(MP3EncoderParams* e, const std::vector<std::int16_t>& left,
                                 const std::vector<std::int16_t>& right, int piece = 1152) {
  std::vector<std::uint8_t> out, buf(audio::kMP3FlushBytes);
  for (std::size_t i = 0; i < left.size(); i += static_cast<std::size_t>(piece)) {
    const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(piece), left.size() - i));
    const int got = audio::mp3_encoder_encode(e, left.data() + i, right.empty() ? nullptr : right.data() + i, n,
                                              buf.data(), static_cast<int>(buf.size()));
    EXPECT_GE(got, 0);
    if (got > 0) out.insert(out.end(), buf.begin(), buf.begin() + got);
  }
  const int got = audio::mp3_encoder_flush(e, buf.data(), static_cast<int>(buf.size()));
  EXPECT_GE(got, 0);
  if (got > 0) out.insert(out.end(), buf.begin(), buf.begin() + got);
  return out;
}

TEST(Mp3Encoder, SetUpDerivesRateVersionAndLowpass) {
  struct Case {
    int rate, channels, kbps;
    int out_rate, version, samples, lowpass, zeroed;
  };
  const Case cases[] = {
      {44100, 1, 64, 44100, 1, 1152, 13673, 20},
      {22050, 1, 32, 22050, 0, 576, 7816, 22},
      {44100, 1, 96, 44100, 1, 1152, 18674, 27},
      {44100, 1, 32, 22050, 0, 576, -1, -1},  // too few bits for 44100: resampled
      {8000, 1, 8, 8000, 0, 576, -1, -1},
      {48000, 2, 320, 48000, 1, 1152, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.channels << " ch " << c.kbps << " kbit/s");
    Encoder e = make(c.rate, c.channels, c.kbps);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->output_rate, c.out_rate);
    EXPECT_EQ(e->version, c.version);
    EXPECT_EQ(audio::mp3_encoder_samples_per_frame(e.get()), c.samples);
    EXPECT_EQ(e->mode, c.channels == 2 ? 1 : 3);
    if (c.lowpass > 0) {
      EXPECT_NEAR(e->lowpass, c.lowpass, 2);
      EXPECT_EQ(e->state->first_zeroed_subband, c.zeroed);
    }
    EXPECT_EQ(e->state->resampler.active, c.rate != c.out_rate);
    if (c.rate == 2 * c.out_rate) {
      EXPECT_EQ(e->state->resampler.taps, 32);  // a whole ratio takes an even length
    }
    EXPECT_EQ(e->reservoir_off, c.kbps >= 320 ? 1 : 0);
  }
}

TEST(Mp3Encoder, RefusesWhatItCannotCode) {
  EXPECT_EQ(make(44100, 0, 64), nullptr);
  EXPECT_EQ(make(44100, 3, 64), nullptr);
  EXPECT_EQ(make(0, 1, 64), nullptr);
  EXPECT_EQ(make(-8000, 1, 64), nullptr);
  EXPECT_EQ(make(44100, 1, 100), nullptr);  // not a Layer III bitrate
  EXPECT_EQ(make(22050, 1, 192), nullptr);  // not in the MPEG-2 table
  Encoder e = make(44100, 1, 64);
  std::uint8_t out[16];
  EXPECT_EQ(audio::mp3_encoder_encode(e.get(), nullptr, nullptr, 10, out, 16), -1);
  EXPECT_EQ(audio::mp3_encoder_encode(e.get(), nullptr, nullptr, 0, out, 16), 0);
  EXPECT_EQ(audio::mp3_encoder_encode(nullptr, nullptr, nullptr, 10, out, 16), -1);
}

// Frame headers, sizes and padding over whole streams, and the stream ends
// on a frame boundary after the flush.
TEST(Mp3Encoder, FramesHaveTheirHeadersSizesAndPadding) {
  struct Case {
    int rate, channels, kbps;
    std::uint8_t b1, b2, b3;  // header bytes 1..3 of an unpadded frame
    int bytes;                // unpadded frame size
  };
  const Case cases[] = {
      {44100, 1, 64, 0xFB, 0x50, 0xC4, 208},  {44100, 2, 128, 0xFB, 0x90, 0x64, 417},
      {44100, 1, 96, 0xFB, 0x70, 0xC4, 313},  {22050, 1, 32, 0xF3, 0x40, 0xC4, 104},
      {48000, 2, 320, 0xFB, 0xE4, 0x64, 960}, {8000, 1, 8, 0xE3, 0x18, 0xC4, 72},
      {12000, 2, 64, 0xE3, 0x84, 0x64, 384},  {32000, 1, 48, 0xFB, 0x38, 0xC4, 216},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.channels << " ch " << c.kbps << " kbit/s");
    Encoder e = make(c.rate, c.channels, c.kbps);
    ASSERT_NE(e, nullptr);
    const int n = c.rate * 2;
    std::vector<std::int16_t> l = mp3test::tone(n, 440, c.rate, 0.5), r;
    if (c.channels == 2) r = mp3test::tone(n, 660, c.rate, 0.3);
    const std::vector<std::uint8_t> s = encode(e.get(), l, r, 1000);
    bool ok = false;
    const auto frames = mp3test::walk(s, &ok);
    ASSERT_TRUE(ok);
    const int spf = e->samples_per_frame;
    // The flush codes 1728 samples past the input: the 528-sample delay in
    // front and the filter bank's reach, so the last input sample decodes.
    EXPECT_GE(static_cast<int>(frames.size()) * spf, n + 1728);
    EXPECT_LT(static_cast<int>(frames.size()) * spf, n + 1728 + spf);
    int padded = 0;
    for (const auto& f : frames) {
      EXPECT_EQ(f.header[0], 0xFF);
      EXPECT_EQ(f.header[1], c.b1);
      EXPECT_EQ(f.header[2] & 0xFD, c.b2);
      EXPECT_EQ(f.header[3], c.b3);
      EXPECT_EQ(f.bytes, c.bytes + f.padding);
      padded += f.padding;
    }
    EXPECT_EQ(frames[0].padding, 0);
    // Padding keeps the average frame at the bitrate's exact size.
    const long long exact_x = static_cast<long long>(e->version + 1) * 72000 * c.kbps;  // bytes * rate per frame
    const long long total = static_cast<long long>(frames.size()) * c.bytes + padded;
    EXPECT_LE(std::llabs(total * c.rate - exact_x * static_cast<long long>(frames.size())), c.rate);
  }
}

TEST(Mp3Encoder, SilenceFillsTheReservoirAndDrainsTheRest) {
  struct Case {
    int rate, channels, kbps, max_back_pointer;
  };
  const Case cases[] = {{44100, 1, 64, 511}, {44100, 2, 128, 511}, {22050, 1, 32, 255}, {8000, 1, 8, 255}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.channels << " ch " << c.kbps << " kbit/s");
    Encoder e = make(c.rate, c.channels, c.kbps);
    const std::vector<std::int16_t> zeros(static_cast<std::size_t>(c.rate), 0);
    bool ok = false;
    const auto frames =
        mp3test::walk(encode(e.get(), zeros, c.channels == 2 ? zeros : std::vector<std::int16_t>{}), &ok);
    ASSERT_TRUE(ok);
    int top = 0;
    for (const auto& f : frames) {
      for (int gr = 0; gr < (f.version ? 2 : 1); ++gr)
        for (int ch = 0; ch < f.channels; ++ch) {
          EXPECT_EQ(f.gr[gr][ch].global_gain, 210);
          EXPECT_EQ(f.gr[gr][ch].big_values, 0);
          EXPECT_EQ(f.gr[gr][ch].part2_3_length, 0);
          EXPECT_EQ(f.gr[gr][ch].scalefac_compress, 0);
        }
      if (f.version) {
        for (int ch = 0; ch < f.channels; ++ch) EXPECT_EQ(f.scfsi[ch], 0xF);
      }
      top = std::max(top, f.main_data_begin);
    }
    EXPECT_EQ(frames[0].main_data_begin, 0);
    // The reservoir holds its maximum (4088 or 2040 bits) and sheds the rest.
    EXPECT_EQ(top, c.max_back_pointer);
    EXPECT_EQ(frames[frames.size() - 2].main_data_begin, c.max_back_pointer);
  }
}

TEST(Mp3Encoder, SilenceAndLowpassInTheFilterBank) {
  Encoder e = make(44100, 1, 64);
  audio::MP3EncoderState& s = *e->state;
  ASSERT_EQ(s.first_zeroed_subband, 20);
  // Silence: 576 zero lines.
  audio::mp3enc::analyse_granule(s, 0, 0, s.frame_buffer[0]);
  audio::mp3enc::transform_granule(s, 0, 0);
  EXPECT_TRUE(std::all_of(s.lines[0][0], s.lines[0][0] + 576, [](std::int64_t v) { return v == 0; }));
  // Full-band noise: lines from 368 on stay 0, while 360..367 take the
  // alias-reduction terms of subband 19.
  std::uint32_t seed = 12345;
  for (int i = 0; i < 2014; ++i) {
    seed = seed * 1664525u + 1013904223u;
    s.frame_buffer[0][i] = static_cast<std::int16_t>(static_cast<std::int32_t>(seed >> 16) - 32768);
  }
  audio::mp3enc::analyse_granule(s, 0, 0, s.frame_buffer[0]);
  audio::mp3enc::transform_granule(s, 0, 0);
  audio::mp3enc::analyse_granule(s, 1, 0, s.frame_buffer[0]);
  audio::mp3enc::transform_granule(s, 1, 0);
  const std::int64_t* lines = s.lines[1][0];
  EXPECT_TRUE(std::all_of(lines + 368, lines + 576, [](std::int64_t v) { return v == 0; }));
  for (int i = 360; i < 368; ++i) EXPECT_NE(lines[i], 0) << i;
}

TEST(Mp3Encoder, ToneEnergyLandsInItsSubband) {
  // Full-scale 1 kHz at 44100 Hz: subband 1 (689..1378 Hz).
  Encoder e = make(44100, 1, 64);
  audio::MP3EncoderState& s = *e->state;
  const auto t = mp3test::tone(2014, 1000, 44100, 1.0);
  std::copy(t.begin(), t.end(), s.frame_buffer[0]);
  for (int gr = 0; gr < 2; ++gr) {
    audio::mp3enc::analyse_granule(s, gr, 0, s.frame_buffer[0]);
    audio::mp3enc::transform_granule(s, gr, 0);
  }
  double energy[32] = {};
  for (int i = 0; i < 576; ++i) {
    const double v = static_cast<double>(s.lines[1][0][i]) / 4294967296.0;
    energy[i / 18] += v * v;
  }
  EXPECT_EQ(std::max_element(energy, energy + 32) - energy, 1);
  double total = 0;
  for (double v : energy) total += v;
  EXPECT_GT(energy[1] / total, 0.99);
}

TEST(Mp3Encoder, FlushNeedsRoomForWhatItHasAndLosesNothing) {
  Encoder e = make(44100, 2, 128);
  const auto l = mp3test::tone(3000, 440, 44100, 0.5);
  std::vector<std::uint8_t> buf(audio::kMP3FlushBytes);
  std::vector<std::uint8_t> stream;
  std::uint8_t small[100];
  // The first frame does not fit: -1, but the samples are taken.
  EXPECT_EQ(audio::mp3_encoder_encode(e.get(), l.data(), l.data(), 3000, small, 10), -1);
  EXPECT_EQ(audio::mp3_encoder_flush(e.get(), small, 100), -1);
  // The bytes that did not fit come out with the next call.
  const int m = audio::mp3_encoder_flush(e.get(), buf.data(), static_cast<int>(buf.size()));
  ASSERT_GT(m, 0);
  stream.insert(stream.end(), buf.begin(), buf.begin() + m);
  bool ok = false;
  const auto frames = mp3test::walk(stream, &ok);
  EXPECT_TRUE(ok);
  EXPECT_GE(static_cast<int>(frames.size()) * 1152, 3000 + 528);
}

// Rebasing the bit counter must not change a single output byte.
TEST(Mp3Encoder, BitCounterRebaseKeepsTheStream) {
  const auto l = mp3test::tone(44100, 440, 44100, 0.5);
  Encoder a = make(44100, 1, 64);
  Encoder b = make(44100, 1, 64);
  std::vector<std::uint8_t> head(audio::kMP3FlushBytes);
  std::vector<std::uint8_t> sa, sb;
  for (Encoder* e : {&a, &b}) {
    const int n = audio::mp3_encoder_encode(e->get(), l.data(), nullptr, 4608, head.data(), 0);
    (e == &a ? sa : sb).assign(head.begin(), head.begin() + n);
  }
  audio::mp3enc::set_total_bits(*b->state, 999999000);
  for (Encoder* e : {&a, &b}) {
    auto& out = e == &a ? sa : sb;
    const std::vector<std::int16_t> rest(l.begin() + 4608, l.end());
    const std::vector<std::uint8_t> more = encode(e->get(), rest, {});
    out.insert(out.end(), more.begin(), more.end());
  }
  EXPECT_LT(b->state->total_bits, 999999000);  // it wrapped
  EXPECT_EQ(sa, sb);
}

TEST(Mp3Encoder, ResampledStreamKeepsTheDuration) {
  // 44100 Hz mono at 32 kbit/s is coded at 22050 Hz.
  Encoder e = make(44100, 1, 32);
  const int n = 44100 * 2;
  bool ok = false;
  const auto frames = mp3test::walk(encode(e.get(), mp3test::tone(n, 440, 44100, 0.5), {}, 700), &ok);
  ASSERT_TRUE(ok);
  const int coded = static_cast<int>(frames.size()) * 576;
  EXPECT_GE(coded, n / 2 + 528);
  EXPECT_LE(coded, n / 2 + 528 + 1728 + 576);
}

}  // namespace
