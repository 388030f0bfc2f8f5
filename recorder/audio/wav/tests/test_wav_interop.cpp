// Our WAV files against the command-line tools sox and ffmpeg: each reads
// what we write with the same samples, and we read what they write. A test
// skips when its tool is missing.
#include <gtest/gtest.h>

#include <string>

#include "audio/wav_reader.h"
#include "audio/wav_writer.h"
#include "wav_test_files.h"

namespace {

using namespace wav_test;

struct Format {
  std::uint32_t channels;
  std::uint32_t bits;
  std::uint32_t rate;
};

const Format kFormats[] = {{1, 16, 8000}, {2, 16, 44100}, {1, 8, 22050}};

// Samples of the format: a sine for 16 bits, a ramp for 8.
std::string Samples(const Format& f, std::size_t frames) {
  return f.bits == 16 ? Sine(frames, f.channels, 440.0, f.rate) : Ramp(frames * f.channels);
}

// Arguments that describe raw samples of the format to each tool.
std::string SoxRaw(const Format& f) {
  return "-t raw -r " + std::to_string(f.rate) + " -c " + std::to_string(f.channels) + " -b " + std::to_string(f.bits) +
         (f.bits == 8 ? " -e unsigned-integer" : " -e signed-integer");
}

std::string FfmpegRaw(const Format& f) {
  return std::string("-f ") + (f.bits == 8 ? "u8" : "s16le") + " -ar " + std::to_string(f.rate) + " -ac " +
         std::to_string(f.channels);
}

TEST(WavInterop, TheToolsReadOurPCMFilesSampleForSample) {
  for (const std::string tool : {"sox", "ffmpeg"}) {
    if (!HasTool(tool)) continue;
    for (const Format& f : kFormats) {
      SCOPED_TRACE(tool + " " + std::to_string(f.channels) + " " + std::to_string(f.bits));
      const std::string samples = Samples(f, f.rate / 2 + 3);
      {
        audio::FileWriterWAVPCM writer(TestPath(), false);
        writer.on_data(PCMBlock(samples.substr(0, 1000 * f.channels * f.bits / 8), f.channels, f.bits, f.rate));
        writer.on_data(PCMBlock(samples.substr(1000 * f.channels * f.bits / 8), f.channels, f.bits, f.rate));
      }
      const std::string raw = TestHostPath(".raw");
      const std::string command =
          tool == "sox" ? "sox " + Quote(TestHostPath()) + " " + SoxRaw(f) + " " + Quote(raw)
                        : "ffmpeg -y -v error -i " + Quote(TestHostPath()) + " " + FfmpegRaw(f) + " " + Quote(raw);
      ASSERT_TRUE(RunTool(command)) << command;
      EXPECT_TRUE(SameBytes(ReadHostFile(raw), samples));
    }
  }
  if (!HasTool("sox") && !HasTool("ffmpeg")) GTEST_SKIP() << "neither sox nor ffmpeg is installed";
}

TEST(WavInterop, WeReadThePCMFilesTheToolsWrite) {
  for (const std::string tool : {"sox", "ffmpeg"}) {
    if (!HasTool(tool)) continue;
    for (const Format& f : kFormats) {
      SCOPED_TRACE(tool + " " + std::to_string(f.channels) + " " + std::to_string(f.bits));
      const std::string samples = Samples(f, f.rate / 3 + 1);
      const std::string raw = TestHostPath(".raw");
      WriteHostFile(raw, samples);
      // ffmpeg adds a LIST chunk before the data unless told to be exact.
      const std::string command = tool == "sox"
                                      ? "sox " + SoxRaw(f) + " " + Quote(raw) + " " + Quote(TestHostPath())
                                      : "ffmpeg -y -v error " + FfmpegRaw(f) + " -i " + Quote(raw) + " -c:a " +
                                            (f.bits == 8 ? "pcm_u8 " : "pcm_s16le ") + Quote(TestHostPath());
      ASSERT_TRUE(RunTool(command)) << command;
      audio::FileReaderWAVPCM reader(TestPath());
      ASSERT_TRUE(reader.is_open());
      EXPECT_EQ(reader.get_channels(), f.channels);
      EXPECT_EQ(reader.get_bits_per_sample(), f.bits);
      EXPECT_EQ(reader.get_sample_rate(), f.rate);
      EXPECT_EQ(reader.get_length(), samples.size());
      Sink<audio::PCMData> sink;
      audio::connect<audio::PCMData>(&reader, &sink);
      EXPECT_TRUE(reader.read(reader.get_length()));
      EXPECT_TRUE(SameBytes(sink.bytes, samples));
      EXPECT_TRUE(reader.is_end());
    }
  }
  if (!HasTool("sox") && !HasTool("ffmpeg")) GTEST_SKIP() << "neither sox nor ffmpeg is installed";
}

// A coded file of a tool, copied block for block through our reader into our
// writer, decodes to the same samples as the original: our reader hands out
// whole blocks and the right count, and the tools read the file we write.
template <typename Reader, typename Writer, typename Block>
void CopyAndCompare(const std::string& encode, const std::string& decode_tool, std::uint32_t spb) {
  const std::string raw = TestHostPath(".raw");
  WriteHostFile(raw, Sine(8000, 1, 300.0, 8000));
  ASSERT_TRUE(RunTool(encode + " " + Quote(TestHostPath(".src.wav")))) << encode;
  {
    Reader reader(TestPath(".src.wav"));
    ASSERT_TRUE(reader.is_open());
    EXPECT_EQ(reader.get_length(), 8000u / spb);
    Writer writer(TestPath(), false);
    audio::connect<Block>(&reader, &writer);
    EXPECT_TRUE(reader.read(reader.get_length()));
    EXPECT_TRUE(reader.is_end());
    EXPECT_TRUE(writer.is_open());
  }
  const auto decoded = [&](const std::string& wav) {
    const std::string out = TestHostPath(".out.raw");
    const std::string command = decode_tool == "sox"
                                    ? "sox " + Quote(wav) + " -t raw -e signed-integer -b 16 " + Quote(out)
                                    : "ffmpeg -y -v error -i " + Quote(wav) + " -f s16le " + Quote(out);
    EXPECT_TRUE(RunTool(command)) << command;
    return ReadHostFile(out);
  };
  const std::string original = decoded(TestHostPath(".src.wav"));
  EXPECT_GE(original.size(), 2u * 8000);
  EXPECT_TRUE(SameBytes(decoded(TestHostPath()), original));
}

TEST(WavInterop, CodedFilesOfTheToolsCopyThroughOurReaderAndWriterUnchanged) {
  const std::string raw_in = "-t raw -r 8000 -c 1 -b 16 -e signed-integer " + Quote(TestHostPath(".raw"));
  const std::string ffmpeg_in = "ffmpeg -y -v error -f s16le -ar 8000 -ac 1 -i " + Quote(TestHostPath(".raw"));
  bool ran = false;
  if (HasTool("sox")) {
    ran = true;
    SCOPED_TRACE("sox");
    CopyAndCompare<audio::FileReaderWAVADPCM, audio::FileWriterWAVADPCM, audio::ADPCMData>(
        "sox " + raw_in + " -e ms-adpcm", "sox", 500);
    CopyAndCompare<audio::FileReaderWAVGSM, audio::FileWriterWAVGSM, audio::GSMData>(
        "sox " + raw_in + " -e gsm-full-rate", "sox", 320);
  }
  if (HasTool("ffmpeg")) {
    ran = true;
    SCOPED_TRACE("ffmpeg");
    CopyAndCompare<audio::FileReaderWAVADPCM, audio::FileWriterWAVADPCM, audio::ADPCMData>(
        ffmpeg_in + " -c:a adpcm_ms -block_size 256", "ffmpeg", 500);
    CopyAndCompare<audio::FileReaderWAVGSM, audio::FileWriterWAVGSM, audio::GSMData>(ffmpeg_in + " -c:a libgsm_ms",
                                                                                     "ffmpeg", 320);
  }
  if (!ran) GTEST_SKIP() << "neither sox nor ffmpeg is installed";
}

}  // namespace
