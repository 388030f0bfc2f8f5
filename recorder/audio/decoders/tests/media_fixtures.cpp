#include "media_fixtures.h"

#include <cmath>
#include <cstdlib>

#include "wav_fixtures.h"

namespace vo_test {
namespace {

constexpr int kBitrates[3][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

}  // namespace

std::string FrameHeader(const FrameFields& fields) {
  const int version_bits = fields.version == 1 ? 3 : (fields.version == 2 ? 2 : 0);
  std::uint32_t h = 0xFFE00000u;
  h |= static_cast<std::uint32_t>(version_bits) << 19;
  h |= static_cast<std::uint32_t>(4 - fields.layer) << 17;
  h |= 1u << 16;  // no CRC
  h |= static_cast<std::uint32_t>(fields.bitrate_index) << 12;
  h |= static_cast<std::uint32_t>(fields.rate_index) << 10;
  h |= static_cast<std::uint32_t>(fields.padding) << 9;
  h |= (fields.mono ? 3u : 0u) << 6;
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((h >> shift) & 0xFF);
  return out;
}

std::uint32_t FrameLength(const FrameFields& fields) {
  const int bitrate = kBitrates[fields.version - 1][fields.layer - 1][fields.bitrate_index];
  const int rate = kRates[fields.version - 1][fields.rate_index];
  if (fields.layer == 1) return static_cast<std::uint32_t>((12000 * bitrate / rate + fields.padding) * 4);
  if (fields.layer == 2 || fields.version == 1)
    return static_cast<std::uint32_t>(144000 * bitrate / rate + fields.padding);
  return static_cast<std::uint32_t>(72000 * bitrate / rate + fields.padding);
}

std::string SilentFrame(const FrameFields& fields) {
  std::string frame = FrameHeader(fields);
  frame.resize(FrameLength(fields), '\0');
  return frame;
}

std::string SineWav(std::uint32_t channels, std::uint32_t rate, double seconds, double frequency, double amplitude) {
  const std::uint32_t frames = static_cast<std::uint32_t>(rate * seconds);
  std::string samples;
  const double two_pi = 6.283185307179586;
  for (std::uint32_t i = 0; i < frames; ++i) {
    for (std::uint32_t ch = 0; ch < channels; ++ch) {
      const double f = ch == 0 ? frequency : frequency / 2;
      const double v = amplitude * 32767.0 * std::sin(two_pi * f * i / rate);
      wav_test::Put16(samples, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
    }
  }
  return wav_test::PCMWav(samples, channels, 16, rate);
}

std::vector<std::int16_t> WavSamples(const std::string& wav) {
  std::vector<std::int16_t> samples;
  for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
    samples.push_back(
        static_cast<std::int16_t>(static_cast<std::uint8_t>(wav[i]) | (static_cast<std::uint8_t>(wav[i + 1]) << 8)));
  }
  return samples;
}

std::wstring MediaFolder::DevicePath(const std::string& name) {
  return L"%my_documents%/" + std::wstring(name.begin(), name.end());
}

std::string MediaFolder::HostPath(const std::string& name) const { return device_.HostPath("My Documents/" + name); }

void MediaFolder::Write(const std::string& name, const std::string& bytes) const {
  device_.WriteHostFile("My Documents/" + name, bytes);
}

std::string MediaFolder::Read(const std::string& name) const { return device_.ReadHostFile("My Documents/" + name); }

bool MediaFolder::HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

bool MediaFolder::Run(const std::string& tool, const std::string& args) const {
  const std::string command =
      "cd '" + device_.HostPath("My Documents") + "' && " + tool + " " + args + " > /dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace vo_test
