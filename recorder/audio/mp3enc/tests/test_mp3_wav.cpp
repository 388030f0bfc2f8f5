#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/mp3_encoder_wav.h"
#include "stream_reader.h"

namespace {

using audio::WavToMp3Result;

void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}

std::vector<std::uint8_t> wav(std::uint16_t format, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                              std::uint32_t data_bytes, std::uint32_t declared_data) {
  std::vector<std::uint8_t> v;
  v.insert(v.end(), {'R', 'I', 'F', 'F'});
  put32(v, 36 + data_bytes);
  v.insert(v.end(), {'W', 'A', 'V', 'E', 'L', 'I', 'S', 'T'});
  put32(v, 3);  // an odd chunk before fmt, padded to 4
  v.insert(v.end(), {'a', 'b', 'c', 0});
  v.insert(v.end(), {'f', 'm', 't', ' '});
  put32(v, 16);
  put16(v, format);
  put16(v, channels);
  put32(v, rate);
  put32(v, rate * channels * bits / 8);
  put16(v, static_cast<std::uint16_t>(channels * bits / 8));
  put16(v, bits);
  v.insert(v.end(), {'d', 'a', 't', 'a'});
  put32(v, declared_data);
  const auto t = mp3test::tone(static_cast<int>(data_bytes / 2), 440, static_cast<int>(rate), 0.5);
  for (std::int16_t s : t) put16(v, static_cast<std::uint16_t>(s));
  return v;
}

TEST(Mp3Wav, EncodesWholeFilesAndRefusesOthers) {
  struct Case {
    std::vector<std::uint8_t> file;
    WavToMp3Result result;
  };
  std::vector<std::uint8_t> not_riff = wav(1, 1, 44100, 16, 400, 400);
  not_riff[0] = 'X';
  std::vector<std::uint8_t> cut = wav(1, 1, 44100, 16, 400, 400);
  cut.resize(30);  // inside the fmt chunk
  const Case cases[] = {
      {wav(1, 1, 44100, 16, 44100 * 2, 44100 * 2), WavToMp3Result::kOk},
      {wav(1, 2, 22050, 16, 22050 * 4, 22050 * 4), WavToMp3Result::kOk},
      {wav(1, 1, 44100, 16, 8820, 0xFFFFFFFFu), WavToMp3Result::kOk},  // data size past the end
      {wav(1, 1, 44100, 8, 4000, 4000), WavToMp3Result::kUnsupportedWav},
      {wav(2, 1, 44100, 16, 4000, 4000), WavToMp3Result::kUnsupportedWav},
      {wav(1, 3, 44100, 16, 4002, 4002), WavToMp3Result::kUnsupportedWav},
      {wav(1, 1, 500, 16, 4000, 4000), WavToMp3Result::kEncoderRefused},
      {not_riff, WavToMp3Result::kBadWav},
      {cut, WavToMp3Result::kBadWav},
      {{}, WavToMp3Result::kBadWav},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    std::vector<std::uint8_t> mp3{1, 2, 3};
    EXPECT_EQ(audio::encode_wav_to_mp3(cases[i].file.data(), cases[i].file.size(), 64, mp3), cases[i].result);
    if (cases[i].result != WavToMp3Result::kOk) {
      EXPECT_TRUE(mp3.empty());
      continue;
    }
    bool ok = false;
    const auto frames = mp3test::walk(mp3, &ok);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(frames.empty());
  }
}

}  // namespace

namespace {

// A WAV file handed out in pieces of a few bytes (every boundary of a sample
// frame and of a chunk header is crossed somewhere), failing on request.
class Trickle : public audio::WavToMp3Stream {
 public:
  explicit Trickle(const std::vector<std::uint8_t>& file) : file_(file) {}
  std::int64_t read(std::uint8_t* into, std::size_t size) override {
    if (fail_read_at_ != 0 && at_ >= fail_read_at_) return -1;
    const std::size_t n = std::min({size, file_.size() - at_, 1 + (calls_++ % 7)});
    std::memcpy(into, file_.data() + at_, n);
    at_ += n;
    return static_cast<std::int64_t>(n);
  }
  bool write(const std::uint8_t* bytes, std::size_t size) override {
    if (fail_write_) return false;
    mp3.insert(mp3.end(), bytes, bytes + size);
    return true;
  }
  std::vector<std::uint8_t> mp3;
  std::size_t fail_read_at_ = 0;
  bool fail_write_ = false;

 private:
  const std::vector<std::uint8_t>& file_;
  std::size_t at_ = 0;
  std::size_t calls_ = 0;
};

TEST(Mp3Wav, AStreamInSmallPiecesGivesTheBytesOfTheWholeFile) {
  struct Case {
    std::vector<std::uint8_t> file;
    std::uint32_t rate;
  };
  const Case cases[] = {
      {wav(1, 1, 44100, 16, 44100 * 2 + 1, 44100 * 2 + 1), 44100},  // a trailing odd byte
      {wav(1, 2, 22050, 16, 22050 * 4 + 6, 22050 * 4 + 6), 22050},  // a partial stereo frame at the end
      {wav(1, 1, 44100, 16, 8820, 0xFFFFFFFFu), 44100},             // data size past the end
  };
  for (const Case& c : cases) {
    const std::vector<std::uint8_t>& file = c.file;
    std::vector<std::uint8_t> whole;
    ASSERT_EQ(audio::encode_wav_to_mp3(file.data(), file.size(), 64, whole), WavToMp3Result::kOk);
    Trickle stream(file);
    audio::WavToMp3Info info;
    ASSERT_EQ(audio::encode_wav_stream_to_mp3(stream, 64, &info), WavToMp3Result::kOk);
    EXPECT_EQ(stream.mp3, whole);
    EXPECT_EQ(info.rate, c.rate);
    // The samples after the 56 bytes of headers, whole frames only.
    EXPECT_EQ(info.frames, (file.size() - 56) / (2 * info.channels));
  }
}

TEST(Mp3Wav, ReadAndWriteFailuresAreReported) {
  const std::vector<std::uint8_t> file = wav(1, 1, 44100, 16, 44100 * 2, 44100 * 2);
  for (std::size_t at : {std::size_t{4}, std::size_t{40}, std::size_t{30000}}) {
    Trickle stream(file);
    stream.fail_read_at_ = at;
    EXPECT_EQ(audio::encode_wav_stream_to_mp3(stream, 64), WavToMp3Result::kReadFailed) << at;
  }
  Trickle stream(file);
  stream.fail_write_ = true;
  EXPECT_EQ(audio::encode_wav_stream_to_mp3(stream, 64), WavToMp3Result::kWriteFailed);
}

}  // namespace
