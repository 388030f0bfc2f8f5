// Our coders against independent command-line tools: the tools decode what
// we encode to the samples our decoder gives, and we decode what the tools
// encode to the samples they give. The WAV files are built and parsed here
// from the few header fields the comparison needs. A test skips when its
// tool is not installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/adpcm_coders.h"
#include "audio/gsm_coders.h"
#include "codec_test_support.h"
#include "runtime/le_bytes.h"
#include "runtime/riff_reader.h"
#include "temp_device.h"
#include "wav_fixtures.h"

namespace {

using audio::ADPCMData;
using audio::GSMData;
using audio::PCMData;
using codec_test::Collect;
using codec_test::Pcm;
using codec_test::Signal;

bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

bool RunTool(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()) == 0; }

using wav_test::Put16;

std::string Bytes(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string RawPcm(const std::vector<std::int16_t>& samples) {
  std::string out;
  for (std::int16_t s : samples) Put16(out, static_cast<std::uint16_t>(s));
  return out;
}

std::vector<std::int16_t> SamplesOf(const std::string& raw) {
  return codec_test::SamplesOf(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
}

std::string AdpcmWav(const std::vector<std::uint8_t>& data, std::uint32_t channels, std::uint32_t rate) {
  const std::uint32_t block_align = audio::adpcm_block_align(rate, channels);
  const std::uint32_t frames = audio::adpcm_samples_per_block(block_align, channels);
  const auto size = static_cast<std::uint32_t>(data.size());
  return wav_test::ADPCMWav(Bytes(data), size / block_align * frames, channels, block_align, rate);
}

std::string GsmWav(const std::vector<std::uint8_t>& data) {
  return wav_test::GSMWav(Bytes(data), static_cast<std::uint32_t>(data.size()) / 65 * 320);
}

struct Wav {
  std::uint32_t tag = 0, channels = 0, rate = 0, block_align = 0, bits = 0;
  std::string data;
};

// Walks the chunks of a WAV file for its fmt fields and its data.
Wav ParseWav(const std::string& file) {
  Wav wav;
  ks::runtime::RiffReader reader({reinterpret_cast<const std::uint8_t*>(file.data()), file.size()}, "WAVE");
  for (ks::runtime::RiffChunk chunk; reader.Next(chunk);) {
    if (chunk.id == "fmt " && chunk.body.size() >= 16) {
      ks::runtime::ByteReader fields(chunk.body);
      wav.tag = fields.U16();
      wav.channels = fields.U16();
      wav.rate = fields.U32();
      fields.Skip(4);
      wav.block_align = fields.U16();
      wav.bits = fields.U16();
    } else if (chunk.id == "data") {
      wav.data.assign(reinterpret_cast<const char*>(chunk.body.data()), chunk.body.size());
      break;
    }
  }
  return wav;
}

template <typename Encoder, typename Block>
std::vector<std::uint8_t> Encode(const std::vector<std::int16_t>& samples, std::uint32_t channels, std::uint32_t rate) {
  Encoder encoder;
  Collect<Block> out;
  audio::connect<Block>(&encoder, &out);
  // Fed in pieces that do not line up with the blocks.
  const std::size_t piece = 1234 * channels;
  for (std::size_t at = 0; at < samples.size(); at += piece) {
    const std::size_t n = std::min(piece, samples.size() - at);
    encoder.on_data(Pcm(std::vector<std::int16_t>(samples.begin() + at, samples.begin() + at + n), channels, rate));
  }
  return out.bytes;
}

template <typename Decoder, typename Block>
std::vector<std::int16_t> Decode(const Block& block) {
  Decoder decoder;
  Collect<PCMData> out;
  audio::connect<PCMData>(&decoder, &out);
  decoder.on_data(block);
  return out.samples();
}

std::vector<std::int16_t> DecodeAdpcm(const std::vector<std::uint8_t>& data, std::uint32_t channels, std::uint32_t rate,
                                      std::uint32_t block_align) {
  return Decode<audio::DecoderADPCM>(ADPCMData{
      audio::SharedBuffer(data.data(), static_cast<std::uint32_t>(data.size())), channels, 4, rate, block_align});
}

std::vector<std::int16_t> DecodeGsm(const std::vector<std::uint8_t>& data) {
  return Decode<audio::DecoderGSM>(GSMData{audio::SharedBuffer(data.data(), static_cast<std::uint32_t>(data.size()))});
}

// The tools' command lines: decode a WAV file to raw 16-bit little-endian
// samples, and encode raw samples to a WAV file of a codec.
std::string DecodeCommand(const std::string& tool, const std::string& in, const std::string& out) {
  if (tool == "ffmpeg") return "ffmpeg -nostdin -v error -y -i " + in + " -f s16le -c:a pcm_s16le " + out;
  return "sox " + in + " -t raw -e signed-integer -b 16 -L " + out;
}

std::string EncodeCommand(const std::string& tool, const std::string& codec, std::uint32_t channels, std::uint32_t rate,
                          const std::string& in, const std::string& out) {
  const std::string r = std::to_string(rate), c = std::to_string(channels);
  if (tool == "ffmpeg") {
    return "ffmpeg -nostdin -v error -y -f s16le -ar " + r + " -ac " + c + " -i " + in + " -c:a " +
           (codec == "adpcm" ? "adpcm_ms" : "libgsm_ms") + " " + out;
  }
  return "sox -t raw -r " + r + " -c " + c + " -e signed-integer -b 16 -L " + in + " -t wav -e " +
         (codec == "adpcm" ? "ms-adpcm" : "gsm-full-rate") + " " + out;
}

struct Case {
  const char* tool;
  const char* codec;  // "adpcm" or "gsm"
  std::uint32_t channels, rate;
  bool exact_on_our_adpcm = true;  // decodes our ADPCM to exactly our samples
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.tool << " " << c.codec << " " << c.channels << "ch " << c.rate;
}

std::string Name(const testing::TestParamInfo<Case>& info) {
  return std::string(info.param.tool) + "_" + info.param.codec + "_" + std::to_string(info.param.channels) + "ch_" +
         std::to_string(info.param.rate);
}

class Interop : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!HaveTool(GetParam().tool)) GTEST_SKIP() << GetParam().tool << " is not installed";
  }
  bool Adpcm() const { return std::string(GetParam().codec) == "adpcm"; }

  // Two seconds of a loud sweep; with noise for ADPCM, to drive every code.
  std::vector<std::int16_t> Input() const {
    return Signal(2 * GetParam().rate, GetParam().channels, GetParam().rate, 20000, Adpcm() ? 5 : 0);
  }
  // How close to the input a decoding of our encoding must come: a coder
  // that misplaces codes or frames falls to 0 dB or below.
  double MinSnr() const { return Adpcm() ? 10.0 : 4.0; }

  std::string ToolDecodes(const std::string& wav) {
    dir_.WriteHostFile("in.wav", wav);
    EXPECT_TRUE(RunTool(DecodeCommand(GetParam().tool, dir_.HostPath("in.wav"), dir_.HostPath("out.raw"))));
    return dir_.ReadHostFile("out.raw");
  }

  ce::test::TempDevice dir_;
};

double Snr(const std::vector<std::int16_t>& input, const std::vector<std::int16_t>& decoded) {
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < std::min(input.size(), decoded.size()); ++i) {
    const double x = input[i], e = decoded[i] - x;
    signal += x * x;
    noise += e * e;
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

// Our decoder and the tool agree sample for sample on the frames both give.
void ExpectSame(const std::vector<std::int16_t>& ours, const std::vector<std::int16_t>& theirs, std::size_t frames,
                std::uint32_t channels) {
  ASSERT_GE(ours.size(), frames * channels);
  ASSERT_GE(theirs.size(), frames * channels);
  std::size_t differing = 0, first = 0;
  for (std::size_t i = 0; i < frames * channels; ++i) {
    if (ours[i] != theirs[i] && differing++ == 0) first = i;
  }
  EXPECT_EQ(differing, 0u) << "first difference at sample " << first << ": ours " << ours[first] << ", theirs "
                           << theirs[first];
}

TEST_P(Interop, ToolDecodesWhatWeEncode) {
  const Case& c = GetParam();
  const std::vector<std::int16_t> input = Input();
  std::vector<std::int16_t> ours;
  std::string wav;
  if (Adpcm()) {
    const std::vector<std::uint8_t> data = Encode<audio::EncoderADPCM, ADPCMData>(input, c.channels, c.rate);
    wav = AdpcmWav(data, c.channels, c.rate);
    ours = DecodeAdpcm(data, c.channels, c.rate, audio::adpcm_block_align(c.rate, c.channels));
  } else {
    const std::vector<std::uint8_t> data = Encode<audio::EncoderGSM, GSMData>(input, 1, 8000);
    wav = GsmWav(data);
    ours = DecodeGsm(data);
  }
  ASSERT_FALSE(ours.empty());
  const std::vector<std::int16_t> theirs = SamplesOf(ToolDecodes(wav));
  EXPECT_GT(Snr(input, theirs), MinSnr());
  if (!c.exact_on_our_adpcm && Adpcm()) {
    // The tool rounds the ADPCM prediction its own way: single samples
    // differ by 1 and the difference runs on through the predictor. Its
    // decoding must still be as faithful to the input as ours.
    ASSERT_EQ(theirs.size(), ours.size());
    EXPECT_NEAR(Snr(input, theirs), Snr(input, ours), 0.5);
    return;
  }
  ExpectSame(ours, theirs, ours.size() / c.channels, c.channels);
}

TEST_P(Interop, WeDecodeWhatToolEncodes) {
  const Case& c = GetParam();
  if (std::string(c.tool) == "ffmpeg" && !Adpcm() &&
      std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q libgsm_ms") != 0) {
    GTEST_SKIP() << "this ffmpeg has no GSM encoder";
  }
  dir_.WriteHostFile("in.raw", RawPcm(Input()));
  ASSERT_TRUE(
      RunTool(EncodeCommand(c.tool, c.codec, c.channels, c.rate, dir_.HostPath("in.raw"), dir_.HostPath("made.wav"))));
  const std::string made = dir_.ReadHostFile("made.wav");
  const Wav wav = ParseWav(made);
  ASSERT_EQ(wav.tag, Adpcm() ? 2u : 49u);
  ASSERT_EQ(wav.channels, c.channels);
  ASSERT_EQ(wav.rate, c.rate);
  const std::vector<std::uint8_t> data(wav.data.begin(), wav.data.end());
  const std::vector<std::int16_t> ours =
      Adpcm() ? DecodeAdpcm(data, wav.channels, wav.rate, wav.block_align) : DecodeGsm(data);
  ASSERT_FALSE(ours.empty());
  const std::vector<std::int16_t> theirs = SamplesOf(ToolDecodes(made));
  // The tool may stop at the stored sample count inside the last block.
  ExpectSame(ours, theirs, std::min(ours.size(), theirs.size()) / c.channels, c.channels);
  EXPECT_GE(theirs.size() + wav.block_align * 4, Input().size());
}

INSTANTIATE_TEST_SUITE_P(Codecs, Interop,
                         testing::Values(Case{"ffmpeg", "adpcm", 1, 8000, false},
                                         Case{"ffmpeg", "adpcm", 2, 44100, false},
                                         Case{"ffmpeg", "adpcm", 1, 22050, false}, Case{"ffmpeg", "gsm", 1, 8000},
                                         Case{"sox", "adpcm", 1, 8000}, Case{"sox", "adpcm", 2, 44100},
                                         Case{"sox", "gsm", 1, 8000}),
                         Name);

}  // namespace
