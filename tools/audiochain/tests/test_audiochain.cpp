// Runs the audiochain harness on short generated signals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "ce/testing.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
};

// Runs audiochain; with `file_limit_kb` its writes fail past that size, as
// on a full disk (the shell's file size limit, with the signal for it
// ignored so the write fails instead).
Outcome run(const std::string& arguments, int file_limit_kb = 0) {
  Outcome r;
  std::string command = std::string(AUDIOCHAIN_BINARY) + " " + arguments + " 2>&1";
  if (file_limit_kb > 0) {
    command = "sh -c \"trap '' XFSZ; ulimit -f " + std::to_string(file_limit_kb * 2) + "; exec " + command + "\"";
  }
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
    std::vector<std::uint8_t> samples;
    for (std::size_t f = 0; f < frames; ++f) {
      const auto v = static_cast<std::int16_t>(
          std::lround(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(f) / rate)));
      for (unsigned c = 0; c < channels; ++c) {
        samples.push_back(static_cast<std::uint8_t>(v & 0xFF));
        samples.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
      }
    }
    const std::vector<std::uint8_t> image = ce::testing::MakeWav(ce::testing::PcmFormat{channels, rate, 16}, samples);
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
  void write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // The names in the folder, so a test sees that nothing was left behind.
  std::vector<std::string> names() const {
    std::vector<std::string> all;
    for (const auto& entry : fs::directory_iterator(dir_)) all.push_back(entry.path().filename().string());
    std::sort(all.begin(), all.end());
    return all;
  }

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
    const auto wav = ce::testing::ParseWav(recorded.data(), recorded.size());
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->dataSize, samples * 2 * c.channels);
    EXPECT_EQ(recorded.size(), written);
    EXPECT_EQ(wav->format, (ce::testing::PcmFormat{c.channels, c.rate, 16}));
    if (c.boost == 1) {
      const auto input = read("in.wav");
      EXPECT_TRUE(std::equal(input.begin() + 44, input.end(), recorded.begin() + 44)) << "recorded as heard";
    }

    const Outcome played = run("play " + path("rec.wav") + " --out " + path("heard.wav"));
    ASSERT_EQ(played.status, 0) << played.out;
    EXPECT_NE(played.out.find("format: PCM, " + std::to_string(c.rate) + " Hz"), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("duration: 1.5"), std::string::npos) << played.out;
    const auto heard = read("heard.wav");
    const auto heard_wav = ce::testing::ParseWav(heard.data(), heard.size());
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
  };
  std::ofstream(path("o")) << "not a sound";
  for (const Case& c : cases) {
    const Outcome r = run(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.out;
    EXPECT_NE(r.out.find("audiochain: "), std::string::npos) << c.arguments;
  }
}

// Commands that can write nothing fail and say why, leaving no file.
TEST_F(AudioChain, NothingWrittenIsAFailureThatSaysWhy) {
  write_tone("t12.wav", 12000, 1, 0.5);
  write_tone("t16.wav", 16000, 1, 0.5);
  write_tone("t32.wav", 32000, 1, 0.5);
  // MP3 files at rates the decoder plays nothing of.
  for (const auto& [wav, kbps] : {std::pair{"t12", 32}, std::pair{"t16", 32}, std::pair{"t32", 64}}) {
    const Outcome made = run("encode-mp3 --bitrate " + std::to_string(kbps) + " " + path(std::string(wav) + ".wav") +
                             " " + path(std::string(wav) + ".mp3"));
    ASSERT_EQ(made.status, 0) << made.out;
  }
  const std::string in = write_tone("in.wav", 8000, 1, 0.2);
  // A WAV header claiming an impossible rate or channel count.
  std::vector<std::uint8_t> wav = read("in.wav");
  for (int i = 24; i < 28; ++i) wav[i] = 0xFF;
  write("huge_rate.wav", wav);
  wav = read("in.wav");
  wav[22] = 255;  // channels, with the block align to match
  wav[32] = 510 & 0xFF;
  wav[33] = 510 >> 8;
  write("many_channels.wav", wav);
  // A damaged Ogg header over bytes the MP3 reader takes for frames.
  std::vector<std::uint8_t> ogg = {'O', 'g', 'g', 'S', 0, 2};
  ogg.resize(26);
  for (const char c : std::string("\x01\x1e\x01vorbis")) ogg.push_back(static_cast<std::uint8_t>(c));
  for (int i = 0; i < 300; ++i) ogg.insert(ogg.end(), {0xFF, 0xFB, 0x90, 0x64});
  write("damaged.ogg", ogg);
  write("empty.mp3", {});
  write("text.wav", {'n', 'o', ' ', 's', 'o', 'u', 'n', 'd'});

  struct Case {
    std::string arguments, says;
  };
  const Case cases[] = {
      {"play " + path("t12.mp3") + " --out " + path("heard.wav"), "nothing could be played"},
      {"play " + path("t16.mp3") + " --out " + path("heard.wav"), "nothing could be played"},
      {"play " + path("t32.mp3") + " --out " + path("heard.wav"), "nothing could be played"},
      {"play " + path("damaged.ogg") + " --out " + path("heard.wav"), "nothing could be played"},
      // Headers no device plays are refused by the reader as damaged ones.
      {"play " + path("huge_rate.wav") + " --out " + path("heard.wav"), "is not a recording"},
      {"play " + path("many_channels.wav") + " --out " + path("heard.wav"), "is not a recording"},
      {"play " + path("empty.mp3") + " --out " + path("heard.wav"), "empty.mp3 is empty"},
      {"play " + path("text.wav") + " --out " + path("heard.wav"), "is not a recording"},
      {"record --format gsm --rate 22050 --channels 2 --in " + in + " --out " + path("g.wav"), "8000 Hz mono"},
      {"record --format gsm --rate 8000 --channels 2 --in " + in + " --out " + path("g.wav"), "8000 Hz mono"},
      // The MP3 encoder takes no 1000 Hz at 320 kbit/s: said before any file
      // is made.
      {"record --format mp3 --rate 1000 --channels 1 --bitrate 320 --in " + in + " --out " + path("m.mp3"),
       "the MP3 encoder takes no 1000 Hz, 1 channel at 320 kbit/s"},
  };
  const auto before = names();
  for (const Case& c : cases) {
    const Outcome r = run(c.arguments);
    EXPECT_EQ(r.status, 1) << c.arguments << "\n" << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.arguments << "\n" << r.out;
    EXPECT_EQ(names(), before) << c.arguments;
  }
}

// An MP3 recording without --bitrate may get another sample rate than the
// input's: the tool says which.
TEST_F(AudioChain, AnMp3RecordingTellsItsBitRateAndSampleRate) {
  const std::string in = write_tone("in.wav", 16000, 2, 0.5);
  const Outcome r = run("record --format mp3 --rate 16000 --channels 2 --in " + in + " --out " + path("r.mp3"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("mp3: 32 kbit/s, 11025 Hz"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("resampled from 16000 Hz"), std::string::npos) << r.out;
}

// Outputs are never destroyed: not by naming the input, not by a failed
// write, and a recording does not go over an existing file unless told to.
TEST_F(AudioChain, OutputsAreNeverDestroyed) {
  const std::string in = write_tone("in.wav", 44100, 1, 4.0);
  const auto input = read("in.wav");
  const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
  write("old.wav", old);
  write("old.mp3", old);
  fs::create_directory(dir_ / "folder");
  struct Case {
    std::string arguments;
    int limit_kb;
    int status;
  };
  const Case cases[] = {
      {"play " + in + " --out " + in, 0, 2},
      {"play " + in + " --out " + path("./in.wav"), 0, 2},
      {"encode-mp3 --bitrate 64 " + in + " " + in, 0, 2},
      {"record --format pcm --rate 8000 --channels 1 --replace --in " + in + " --out " + in, 0, 2},
      {"play " + in + " --out " + path("folder"), 0, 1},
      {"encode-mp3 --bitrate 64 " + in + " " + path("folder"), 0, 1},
      // A full disk: the heard file and the MP3 are larger than the limit.
      {"play " + in + " --out " + path("old.wav"), 100, 1},
      {"encode-mp3 --bitrate 64 " + in + " " + path("old.mp3"), 10, 1},
      {"record --format pcm --rate 8000 --channels 1 --in " + in + " --out " + path("old.wav"), 0, 1},
      // --replace gives up the old file only for a finished recording: not
      // for arguments found wrong, nor for a write that fails.
      {"record --format mp3 --rate 44100 --channels 2 --bitrate 100 --replace --in " + in + " --out " + path("old.mp3"),
       0, 1},
      {"record --format pcm --rate 44100 --channels 1 --replace --in " + in + " --out " + path("old.wav"), 100, 1},
  };
  const auto before = names();
  for (const Case& c : cases) {
    const Outcome r = run(c.arguments, c.limit_kb);
    EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.out;
    EXPECT_NE(r.out.find("audiochain: "), std::string::npos) << c.arguments;
    EXPECT_EQ(read("in.wav"), input) << c.arguments;
    EXPECT_EQ(read("old.wav"), old) << c.arguments;
    EXPECT_EQ(read("old.mp3"), old) << c.arguments;
    EXPECT_EQ(names(), before) << c.arguments << ": nothing half-written left behind";
  }
  // What does fit replaces the old files whole.
  const Outcome played = run("play " + in + " --out " + path("old.wav"));
  EXPECT_EQ(played.status, 0) << played.out;
  EXPECT_EQ(read("old.wav").size(), input.size());
  const Outcome recorded =
      run("record --format pcm --rate 44100 --channels 1 --replace --in " + in + " --out " + path("old.wav"));
  EXPECT_EQ(recorded.status, 0) << recorded.out;
  EXPECT_GE(read("old.wav").size(), input.size());
  EXPECT_EQ(names(), before);
}

}  // namespace
