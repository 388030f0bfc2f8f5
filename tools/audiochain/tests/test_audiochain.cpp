// Runs the audiochain harness on short generated signals.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "media/wav_file.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
};

Outcome run(const std::string& arguments) {
  Outcome r;
  const std::string command = std::string(AUDIOCHAIN_BINARY) + " " + arguments + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  std::array<char, 512> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) r.out += chunk.data();
  const int status = ::pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class AudioChain : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "audiochain_test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A 16-bit WAV of a 440 Hz tone at a quarter of full scale.
  std::string write_tone(const std::string& name, unsigned rate, unsigned channels, double seconds) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<std::uint8_t> image(44);
    for (std::size_t f = 0; f < frames; ++f) {
      const auto v = static_cast<std::int16_t>(
          std::lround(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(f) / rate)));
      for (unsigned c = 0; c < channels; ++c) {
        image.push_back(static_cast<std::uint8_t>(v & 0xFF));
        image.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
      }
    }
    ce::media::WriteWavHeader(image.data(), ce::media::PcmFormat{channels, rate, 16},
                              static_cast<std::uint32_t>(image.size() - 44));
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return path;
  }
  std::vector<std::uint8_t> read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// Every input frame is recorded (a little silence may follow), and what is
// played back is what was recorded.
TEST_F(AudioChain, RecordsPcmThenPlaysItBack) {
  struct Case {
    unsigned rate, channels, boost;
  };
  for (const Case& c : {Case{8000, 1, 1}, Case{22050, 2, 4}, Case{44100, 1, 8}}) {
    const std::string in = write_tone("in.wav", c.rate, c.channels, 1.5);
    const Outcome rec =
        run("record --format pcm --rate " + std::to_string(c.rate) + " --channels " + std::to_string(c.channels) +
            " --boost " + std::to_string(c.boost) + " --replace --in " + in + " --out " + path("rec.wav"));
    ASSERT_EQ(rec.status, 0) << rec.out;
    unsigned long long samples = 0, written = 0;
    double peak = 0;
    ASSERT_EQ(std::sscanf(rec.out.c_str(), "samples in: %llu, bytes written: %llu, peak level: %lf", &samples, &written,
                          &peak),
              3)
        << rec.out;
    const std::size_t frames = c.rate * 3 / 2;
    EXPECT_GE(samples, frames) << rec.out;
    EXPECT_LE(samples, frames + c.rate / 250) << rec.out;
    EXPECT_EQ(written, 44 + samples * 2 * c.channels) << "the file: header and samples";
    EXPECT_GT(peak, 0.2);
    const auto recorded = read("rec.wav");
    const auto wav = ce::media::ParseWav(recorded.data(), recorded.size());
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->dataSize, samples * 2 * c.channels);
    EXPECT_EQ(recorded.size(), written);
    EXPECT_EQ(wav->format, (ce::media::PcmFormat{c.channels, c.rate, 16}));
    if (c.boost == 1) {
      const auto input = read("in.wav");
      EXPECT_TRUE(std::equal(input.begin() + 44, input.end(), recorded.begin() + 44)) << "recorded as heard";
    }

    const Outcome played = run("play " + path("rec.wav") + " --out " + path("heard.wav"));
    ASSERT_EQ(played.status, 0) << played.out;
    EXPECT_NE(played.out.find("format: PCM, " + std::to_string(c.rate) + " Hz"), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("duration: 1.5"), std::string::npos) << played.out;
    const auto heard = read("heard.wav");
    const auto heard_wav = ce::media::ParseWav(heard.data(), heard.size());
    ASSERT_TRUE(heard_wav);
    EXPECT_EQ(heard_wav->dataSize, wav->dataSize);
    EXPECT_TRUE(std::equal(heard.begin() + 44, heard.end(), recorded.begin() + 44)) << "heard as recorded";
  }
}

// The coded formats record and play back in their own format.
TEST_F(AudioChain, CodedFormatsRecordAndPlayBack) {
  const std::string in = write_tone("in.wav", 8000, 1, 1.0);
  for (const char* format : {"adpcm", "gsm", "mp3"}) {
    const std::string name = std::string("rec_") + format;
    const Outcome rec =
        run(std::string("record --format ") + format + " --rate 8000 --channels 1 --in " + in + " --out " + path(name));
    ASSERT_EQ(rec.status, 0) << format << ": " << rec.out;
    unsigned long long samples = 0, written = 0;
    ASSERT_EQ(std::sscanf(rec.out.c_str(), "samples in: %llu, bytes written: %llu", &samples, &written), 2)
        << format << ": " << rec.out;
    EXPECT_GE(samples, 8000u) << format;
    EXPECT_LE(samples, 8032u) << format;
    EXPECT_EQ(written, read(name).size()) << format;
    const Outcome played = run("play " + path(name) + " --out " + path("heard.wav"));
    EXPECT_EQ(played.status, 0) << played.out;
  }
}

TEST_F(AudioChain, EncodesAWavFileToMp3) {
  const std::string in = write_tone("in.wav", 44100, 1, 1.0);
  const Outcome r = run("encode-mp3 --bitrate 64 " + in + " " + path("out.mp3"));
  ASSERT_EQ(r.status, 0) << r.out;
  unsigned long long written = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "bytes written: %llu", &written), 1) << r.out;
  EXPECT_EQ(written, read("out.mp3").size());
  // About one second at 64 kbit/s, with the encoder's delay and last frame.
  EXPECT_GT(written, 7000u);
  EXPECT_LT(written, 10000u);
  const Outcome played = run("play " + path("out.mp3") + " --out " + path("heard.wav"));
  EXPECT_EQ(played.status, 0) << played.out;
  EXPECT_NE(played.out.find("mp3"), std::string::npos) << played.out;
}

TEST_F(AudioChain, BadArgumentsAndInputsAreRefused) {
  const std::string in = write_tone("in.wav", 8000, 1, 0.2);
  struct Case {
    std::string arguments;
    int status;
  };
  const Case cases[] = {
      {"", 2},
      {"dance", 2},
      {"record --format ogg --rate 8000 --channels 1 --in " + in + " --out " + path("o.wav"), 2},
      {"record --format pcm --rate 8000 --channels 3 --in " + in + " --out " + path("o.wav"), 2},
      {"record --format pcm --rate fast --channels 1 --in " + in + " --out " + path("o.wav"), 2},
      {"record --format pcm --channels 1 --in " + in + " --out " + path("o.wav"), 2},
      {"record --format pcm --rate 8000 --channels 1 --in " + in, 2},
      {"play " + in, 2},
      {"record --format pcm --rate 8000 --channels 1 --in " + path("missing.wav") + " --out " + path("o.wav"), 1},
      {"record --format pcm --rate 8000 --channels 1 --in " + path("o") + " --out " + path("o.wav"), 1},
      {"record --format pcm --rate 8000 --channels 1 --in " + in + " --out " + path("no/such/o.wav"), 1},
      {"play " + path("missing.wav") + " --out " + path("h.wav"), 1},
      {"encode-mp3 " + in + " " + path("o.mp3"), 2},
      {"encode-mp3 --bitrate 1000 " + in + " " + path("o.mp3"), 2},
      {"encode-mp3 --bitrate 64 " + path("o") + " " + path("o.mp3"), 1},
      {"encode-mp3 --bitrate 64 " + path("missing.wav") + " " + path("o.mp3"), 1},
      // GSM takes only 8,000 Hz mono: a chain that writes nothing fails.
      {"record --format gsm --rate 22050 --channels 2 --in " + in + " --out " + path("g.wav"), 1},
  };
  std::ofstream(path("o")) << "not a sound";
  for (const Case& c : cases) {
    const Outcome r = run(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.out;
    EXPECT_NE(r.out.find("audiochain: "), std::string::npos) << c.arguments;
  }
}

}  // namespace
