#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "audio/mp3_decoder.h"
#include "audio/mp3_reader.h"
#include "media_fixtures.h"

namespace {

using audio::DecoderMP3;
using audio::MP3Data;
using audio::PCMData;
using vo_test::FrameFields;
using vo_test::MediaFolder;

constexpr std::int32_t kOne = 0x10000000;  // 1.0 in libmad's fixed point

std::int32_t Sample(const std::uint8_t* p, std::uint32_t bits) {
  switch (bits) {
    case 8:
      return static_cast<std::int32_t>(p[0]) - 128;
    case 16:
      return static_cast<std::int16_t>(p[0] | (p[1] << 8));
    case 24:
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) << 8) >> 8;
    default:
      return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
  }
}

TEST(MP3WritePcm, ClipsRoundsAndCarriesTheErrorPerChannel) {
  struct Case {
    const char* name;
    std::uint32_t bits;
    std::vector<std::int32_t> left;
    std::vector<std::int32_t> right;  // empty: mono
    std::vector<std::int32_t> want;   // interleaved output values
  };
  const std::int32_t half_step = 1 << 12;  // half of one 16-bit step
  const Case cases[] = {
      // Full scale gives 32767; the excess (one 16-bit step) is carried into
      // the next sample of the same channel.
      {"full scale, 16 bits", 16, {kOne, 0}, {}, {32767, 1}},
      {"negative full scale", 16, {-kOne, -kOne - 5 * (1 << 13)}, {}, {-32768, -32768}},
      {"error fed back per channel", 16, {half_step, half_step}, {0, 0}, {0, 0, 1, 0}},
      {"8 bits are unsigned", 8, {0, kOne / 2, -kOne}, {}, {0, 64, -128}},
      {"24 bits", 24, {kOne / 2}, {}, {1 << 22}},
      {"32 bits carry 24 significant bits", 32, {kOne / 2}, {}, {1 << 30}},
      // Samples near libmad's +-8.0 plus the carried error must not overflow.
      {"headroom", 16, {0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF - 1}, {}, {32767, 32767, 32767}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint32_t channels = c.right.empty() ? 1 : 2;
    const std::uint32_t bytes = c.bits / 8;
    std::vector<std::uint8_t> out(c.want.size() * bytes + 4, 0xEE);
    const std::uint32_t advanced = audio::write_pcm(out.data(), channels, static_cast<std::uint32_t>(c.left.size()),
                                                    c.left.data(), channels == 2 ? c.right.data() : nullptr, c.bits);
    ASSERT_EQ(advanced, c.want.size() * bytes);
    for (std::size_t i = 0; i < c.want.size(); ++i) EXPECT_EQ(Sample(&out[i * bytes], c.bits), c.want[i]) << i;
    EXPECT_EQ(out[advanced], 0xEE);
  }
  // Another width writes nothing and only advances.
  std::uint8_t untouched[4] = {1, 2, 3, 4};
  const std::int32_t one[1] = {kOne / 2};
  EXPECT_EQ(audio::write_pcm(untouched, 1, 1, one, nullptr, 12), 1u);
  EXPECT_EQ(untouched[0], 1);
}

// Gives the queued blocks one per pull and counts the pulls.
class FrameSource : public audio::Provider<MP3Data> {
 public:
  void add(const std::string& bytes) {
    MP3Data block;
    std::string padded = bytes;
    padded.resize(std::max<std::size_t>(2000, bytes.size() + 8), '\0');
    block.buffer = audio::SharedBuffer(padded.data(), static_cast<std::uint32_t>(padded.size()));
    block.frame_size = static_cast<std::uint32_t>(bytes.size());
    blocks.push_back(block);
  }
  MP3Data& get_data(MP3Data& out, std::uint32_t count) override {
    ++pulls;
    EXPECT_EQ(count, 1u);
    out = MP3Data();
    if (!blocks.empty()) {
      out = blocks.front();
      blocks.pop_front();
    }
    return out;
  }
  std::deque<MP3Data> blocks;
  int pulls = 0;
};

class Sink : public audio::Consumer<PCMData> {};

TEST(DecoderMP3, DecodesFramesToTheirPcmSizeAndSkipsWhatItCannotPlay) {
  struct Case {
    const char* name;
    FrameFields fields;
    std::uint32_t bytes;  // 0: refused
    std::uint32_t channels;
    std::uint32_t rate;
  };
  const Case cases[] = {
      {"MPEG-1 Layer III stereo", {1, 3, 9, 0, 0, false}, 4608, 2, 44100},
      {"MPEG-2 Layer III mono 22050", {2, 3, 8, 0, 0, true}, 1152, 1, 22050},
      {"MPEG-2.5 Layer III mono 8000", {3, 3, 2, 2, 0, true}, 1152, 1, 8000},
      {"32000 Hz is refused", {1, 3, 9, 2, 0, false}, 0, 0, 0},
      {"16000 Hz is refused", {2, 3, 8, 2, 0, true}, 0, 0, 0},
      {"12000 Hz is refused", {3, 3, 2, 1, 0, true}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FrameSource source;
    // A block that is no frame is passed over; then two silent frames.
    source.add(std::string(100, '\x42'));
    source.add(vo_test::SilentFrame(c.fields));
    source.add(vo_test::SilentFrame(c.fields));
    DecoderMP3 decoder;
    audio::connect<MP3Data>(&source, &decoder);
    PCMData pcm;
    decoder.get_data(pcm, 100000);
    ASSERT_EQ(pcm.size(), c.bytes);
    EXPECT_EQ(pcm.channels, c.channels);
    EXPECT_EQ(pcm.rate, c.rate);
    if (c.bytes == 0) {
      EXPECT_EQ(source.pulls, 4);  // every frame refused, then the end
      EXPECT_EQ(pcm.bits, 0u);
      continue;
    }
    EXPECT_EQ(pcm.bits, 16u);
    EXPECT_EQ(source.pulls, 2);
    for (std::uint32_t i = 0; i < pcm.size(); ++i) ASSERT_EQ(pcm.buffer.data()[i], 0) << i;
    audio::connect<MP3Data>(&source, nullptr);
  }
}

TEST(DecoderMP3, SmallRequestsAreServedFromTheDecodedFrame) {
  FrameSource source;
  source.add(vo_test::SilentFrame({1, 3, 9, 0, 0, false}));
  DecoderMP3 decoder;
  audio::connect<MP3Data>(&source, &decoder);
  std::uint32_t total = 0;
  for (int i = 0; i < 5; ++i) {
    PCMData pcm;
    decoder.get_data(pcm, 256);
    EXPECT_EQ(pcm.size(), i < 4 ? 1024u : 512u);  // 1152 frames of 4 bytes
    total += pcm.size();
  }
  EXPECT_EQ(total, 4608u);
  EXPECT_EQ(source.pulls, 1);
  PCMData end;
  decoder.get_data(end, 256);
  EXPECT_EQ(end.size(), 0u);
  audio::connect<MP3Data>(&source, nullptr);
}

TEST(MP3DecodeLayer, ReportsItsResultsAndHalvesTheRateOnRequest) {
  audio::MP3DecodeState* state = audio::mp3_decoder_create();
  ASSERT_NE(state, nullptr);
  std::string frame = vo_test::SilentFrame({1, 3, 9, 0, 0, false});
  frame.resize(frame.size() + 8, '\0');
  const auto* in = reinterpret_cast<const std::uint8_t*>(frame.data());
  std::vector<std::uint8_t> out(4608);
  std::uint32_t consumed = 99;
  std::uint32_t written = 99;

  EXPECT_EQ(audio::mp3_decoder_decode(state, in, 100, out.data(), 4608, &consumed, &written, 16, false),
            audio::kMP3DecodeNeedInput);
  EXPECT_EQ(consumed, 0u);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(audio::mp3_decoder_decode(state, in, 425, out.data(), 4607, &consumed, &written, 16, false),
            audio::kMP3DecodeOutputTooSmall);
  EXPECT_EQ(audio::mp3_decoder_decode(state, in, 425, out.data(), 4608, &consumed, &written, 16, false),
            audio::kMP3DecodeDone);
  EXPECT_EQ(consumed, 417u);
  EXPECT_EQ(written, 4608u);
  EXPECT_EQ(audio::mp3_decoder_decode(state, in, 425, out.data(), 4608, &consumed, &written, 16, true),
            audio::kMP3DecodeDone);
  EXPECT_EQ(written, 2304u);
  const std::string junk(500, '\x42');
  const int bad = audio::mp3_decoder_decode(state, reinterpret_cast<const std::uint8_t*>(junk.data()), 500, out.data(),
                                            4608, &consumed, &written, 16, false);
  EXPECT_TRUE(bad == audio::kMP3DecodeRecoverable || bad == audio::kMP3DecodeNeedInput) << bad;
  audio::mp3_decoder_destroy(state);
}

// Decodes a whole file through the reader and the decoder.
std::vector<std::int16_t> PlayFile(const std::wstring& path, std::uint32_t* rate, std::uint32_t* channels) {
  audio::FileReaderMP3 reader(path);
  DecoderMP3 decoder;
  audio::connect<MP3Data>(&reader, &decoder);
  std::vector<std::int16_t> samples;
  for (int guard = 0; guard < 100000; ++guard) {
    PCMData pcm;
    decoder.get_data(pcm, 4096);
    if (pcm.size() == 0) break;
    *rate = pcm.rate;
    *channels = pcm.channels;
    for (std::uint32_t i = 0; i + 1 < pcm.size(); i += 2) {
      samples.push_back(static_cast<std::int16_t>(pcm.buffer.data()[i] | (pcm.buffer.data()[i + 1] << 8)));
    }
  }
  EXPECT_TRUE(reader.is_end());
  EXPECT_EQ(reader.get_position(), reader.get_length());
  audio::connect<MP3Data>(&reader, nullptr);
  return samples;
}

// Correlation of a channel with a sine of `frequency` over whole periods:
// near 1 for a clean tone of that frequency at any phase.
double ToneMatch(const std::vector<std::int16_t>& s, std::uint32_t channels, std::uint32_t channel, double frequency,
                 std::uint32_t rate) {
  double sin_sum = 0, cos_sum = 0, energy = 0;
  const std::size_t frames = s.size() / channels;
  const std::size_t from = frames / 4, to = frames * 3 / 4;
  for (std::size_t i = from; i < to; ++i) {
    const double v = s[i * channels + channel];
    const double phase = 6.283185307179586 * frequency * static_cast<double>(i) / rate;
    sin_sum += v * std::sin(phase);
    cos_sum += v * std::cos(phase);
    energy += v * v;
  }
  const double n = static_cast<double>(to - from);
  return energy == 0 ? 0 : std::sqrt((sin_sum * sin_sum + cos_sum * cos_sum) * 2 / n / energy);
}

TEST(DecoderMP3, PlaysEncodedFilesAtEveryPlayableRate) {
  if (!MediaFolder::HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
  struct Case {
    std::uint32_t rate;
    std::uint32_t channels;
    const char* options;
    bool plays;
  };
  const Case cases[] = {
      {44100, 2, "-b 128", true},
      {22050, 1, "-b 32", true},
      {8000, 1, "-b 16", true},
      {32000, 1, "-b 64", false},
  };
  MediaFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    folder.Write("in.wav", vo_test::SineWav(c.channels, c.rate, 1.5, 1000.0));
    ASSERT_TRUE(folder.Run("lame", std::string("--quiet ") + c.options + " in.wav out.mp3"));
    std::uint32_t rate = 0, channels = 0;
    const std::vector<std::int16_t> samples = PlayFile(MediaFolder::DevicePath("out.mp3"), &rate, &channels);
    if (!c.plays) {
      EXPECT_TRUE(samples.empty());
      continue;
    }
    EXPECT_EQ(rate, c.rate);
    EXPECT_EQ(channels, c.channels);
    // The whole tone comes out, with the encoder's delay and padding of at
    // most a few frames.
    const double seconds = static_cast<double>(samples.size()) / channels / rate;
    EXPECT_GE(seconds, 1.5);
    EXPECT_LE(seconds, 1.5 + 4 * 1152.0 / rate);
    EXPECT_GT(ToneMatch(samples, channels, 0, 1000.0, rate), 0.95);
    if (channels == 2) {
      EXPECT_GT(ToneMatch(samples, channels, 1, 500.0, rate), 0.95);
    }
  }
}

}  // namespace
