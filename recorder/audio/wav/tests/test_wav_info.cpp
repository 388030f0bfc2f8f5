#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "audio/wav_info.h"
#include "os/file.h"
#include "wav_test_files.h"

namespace {

using namespace wav_test;

std::wstring Path() { return TestPath(); }

enum class Kind { PCM, ADPCM, GSM };

std::unique_ptr<audio::WAVInfo> MakeInfo(Kind kind) {
  switch (kind) {
    case Kind::PCM:
      return std::make_unique<audio::WAVInfoPCM>();
    case Kind::ADPCM:
      return std::make_unique<audio::WAVInfoADPCM>();
    default:
      return std::make_unique<audio::WAVInfoGSM>();
  }
}

bool ReadInfo(const std::string& bytes, audio::WAVInfo& info) {
  WriteFile(Path(), bytes);
  os::File file(Path(), 0);
  return audio::read_wav_info(info, file);
}

TEST(WavInfo, ChunksBetweenFmtAndDataAreWalkedOverWithTheirPadByte) {
  const std::string list = Chunk("LIST", "odd");  // 3 bytes and a pad byte
  const std::string bytes = Riff(FmtChunk({1, 2, 22050, 88200, 4, 16, ""}) + list + Chunk("data", Ramp(400)));
  audio::WAVInfoPCM info;
  ASSERT_TRUE(ReadInfo(bytes, info));
  EXPECT_EQ(info.data_offset, 44u + list.size());
  EXPECT_EQ(info.data_size, 400u);
  EXPECT_EQ(info.channels, 2u);
  EXPECT_EQ(info.sample_rate, 22050u);
  EXPECT_EQ(info.block_align, 4u);
  EXPECT_EQ(info.riff_size, bytes.size() - 8);

  // An odd fmt chunk is padded like any other.
  ASSERT_TRUE(ReadInfo(Riff(FmtChunk({1, 1, 8000, 16000, 2, 16, "x"}) + Chunk("data", Ramp(10))), info));
  EXPECT_EQ(info.fmt_size, 17u);
  EXPECT_EQ(info.data_offset, 46u);

  // The fact chunk may come after the data.
  audio::WAVInfoGSM gsm;
  std::string extra;
  Put16(extra, 2);
  Put16(extra, 320);
  ASSERT_TRUE(ReadInfo(Riff(FmtChunk({49, 1, 8000, 1625, 65, 0, extra}) + Chunk("data", Ramp(130)) + Fact(640)), gsm));
  EXPECT_EQ(gsm.fact_samples, 640u);
  EXPECT_EQ(gsm.data_offset, 60u - 12u);
  EXPECT_EQ(gsm.data_size, 130u);
}

TEST(WavInfo, DataSizeOfZeroOrPastTheEndMeansToTheEndOfTheFile) {
  struct Case {
    std::uint32_t claimed;
    std::uint32_t expected;
  };
  for (const Case& c : {Case{0, 1000}, Case{1002, 1000}, Case{0xFFFFFFFFu, 1000}, Case{600, 600}}) {
    SCOPED_TRACE(c.claimed);
    audio::WAVInfoPCM info;
    ASSERT_TRUE(ReadInfo(Riff(FmtChunk({}) + Chunk("data", Ramp(1000), c.claimed)), info));
    EXPECT_EQ(info.data_size, c.expected);
  }
}

TEST(WavInfo, EachFormatAcceptsOnlyItsOwnFiles) {
  const std::string pcm = PCMWav(Ramp(100));
  const std::string adpcm = ADPCMWav(Ramp(512), 1000);
  const std::string gsm = GSMWav(Ramp(130), 640);
  const std::string files[] = {pcm, adpcm, gsm};
  for (int file = 0; file < 3; ++file) {
    for (int kind = 0; kind < 3; ++kind) {
      SCOPED_TRACE(testing::Message() << "file " << file << " kind " << kind);
      auto info = MakeInfo(static_cast<Kind>(kind));
      EXPECT_EQ(ReadInfo(files[file], *info), file == kind);
    }
  }
}

TEST(WavInfo, DamagedOrUnusableHeadersAreRefused) {
  const std::string pcm = PCMWav(Ramp(100));
  auto with = [](std::string bytes, std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    return bytes;
  };
  std::string gsm_extra;
  Put16(gsm_extra, 2);
  Put16(gsm_extra, 320);
  struct Case {
    const char* what;
    Kind kind;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty file", Kind::PCM, ""},
      {"cut in the header", Kind::PCM, pcm.substr(0, 30)},
      {"cut before the data chunk", Kind::PCM, pcm.substr(0, 40)},
      {"not RIFF", Kind::PCM, with(pcm, 0, 0x58464952, 4)},
      {"not WAVE", Kind::PCM, with(pcm, 8, 0x45564157 + 1, 4)},
      {"fmt not first", Kind::PCM, Riff(Chunk("LIST", "abcd") + FmtChunk({}) + Chunk("data", "xx"))},
      {"fmt shorter than 16", Kind::PCM, with(pcm, 16, 12, 4)},
      {"fmt size past the end", Kind::PCM, with(pcm, 16, 0xFFFFFFF0u, 4)},
      {"chunk size past the end", Kind::PCM,
       Riff(FmtChunk({}) + Chunk("LIST", "ab", 0xFFFFFFFFu) + Chunk("data", "xx"))},
      {"no data chunk", Kind::PCM, Riff(FmtChunk({}) + Chunk("LIST", "abcd"))},
      {"unknown tag", Kind::PCM, with(pcm, 20, 85, 2)},
      {"zero channels", Kind::PCM, with(pcm, 22, 0, 2)},
      {"zero rate", Kind::PCM, with(pcm, 24, 0, 4)},
      {"zero block align", Kind::PCM, with(pcm, 32, 0, 2)},
      {"block align not one frame", Kind::PCM, with(pcm, 32, 3, 2)},
      {"zero bits", Kind::PCM, with(pcm, 34, 0, 2)},
      // Fields no wave output plays: refused, not left to "play" in silence.
      {"rate 0xFFFFFFFF", Kind::PCM, with(pcm, 24, 0xFFFFFFFFu, 4)},
      {"rate 999", Kind::PCM, with(pcm, 24, 999, 4)},
      {"rate 192001", Kind::PCM, with(pcm, 24, 192001, 4)},
      {"3 channels", Kind::PCM, with(with(pcm, 22, 3, 2), 32, 6, 2)},
      {"65535 channels", Kind::PCM, with(with(pcm, 22, 0xFFFF, 2), 32, 0xFFFE, 2)},
      {"24 bits", Kind::PCM, with(with(pcm, 34, 24, 2), 32, 3, 2)},
      {"65535 bits", Kind::PCM, with(pcm, 34, 0xFFFF, 2)},
      {"ADPCM rate 0xFFFFFFFF", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 0xFFFFFFFFu, 4096, 256, 4, ADPCMExtra(500)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM rate 0", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 0, 4096, 256, 4, ADPCMExtra(500)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM with 3 channels", Kind::ADPCM,
       Riff(FmtChunk({2, 3, 8000, 4096, 768, 4, ADPCMExtra(500)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM with 8 bits", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 8000, 4096, 256, 8, ADPCMExtra(500)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM with 65535 coefficients", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 8000, 4096, 256, 4, ADPCMExtra(500, 65535)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM with 6 coefficients", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 8000, 4096, 256, 4, ADPCMExtra(500, 6)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM block align 0", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 8000, 4096, 0, 4, ADPCMExtra(500)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM block align below the headers", Kind::ADPCM,
       Riff(FmtChunk({2, 2, 8000, 4096, 13, 4, ADPCMExtra(2)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM zero samples per block", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 8000, 4096, 256, 4, ADPCMExtra(0)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM more samples than a block holds", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 8000, 4096, 256, 4, ADPCMExtra(501)}) + Fact(0) + Chunk("data", ""))},
      {"ADPCM without fact", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 8000, 4096, 256, 4, ADPCMExtra(500)}) + Chunk("data", ""))},
      {"ADPCM fmt too short for its table", Kind::ADPCM,
       Riff(FmtChunk({2, 1, 8000, 4096, 256, 4, ADPCMExtra(500).substr(0, 10)}) + Fact(0) + Chunk("data", ""))},
      {"GSM at 11025 Hz", Kind::GSM, GSMWav(Ramp(65), 320, 11025)},
      {"GSM stereo", Kind::GSM, Riff(FmtChunk({49, 2, 8000, 1625, 65, 0, gsm_extra}) + Fact(320) + Chunk("data", ""))},
      {"GSM block align 64", Kind::GSM,
       Riff(FmtChunk({49, 1, 8000, 1625, 64, 0, gsm_extra}) + Fact(320) + Chunk("data", ""))},
      {"GSM fmt of 16 bytes", Kind::GSM,
       Riff(FmtChunk({49, 1, 8000, 1625, 65, 0, ""}) + Fact(320) + Chunk("data", ""))},
      {"GSM fact body of 2 bytes", Kind::GSM,
       Riff(FmtChunk({49, 1, 8000, 1625, 65, 0, gsm_extra}) + Chunk("fact", "ab") + Chunk("data", ""))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto info = MakeInfo(c.kind);
    EXPECT_FALSE(ReadInfo(c.bytes, *info));
  }
}

}  // namespace
