#include <gtest/gtest.h>

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
