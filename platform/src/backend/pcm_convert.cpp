// Format conversion and volume for the back ends: a speaker file keeps one
// format while programs open others, and the microphone file is read in the
// format a program asks for.
#include <algorithm>

#include "backend/audio.h"

namespace ce::backend {
namespace {

int ReadSample(const std::uint8_t* p, unsigned bits) {
  if (bits == 8) return (static_cast<int>(p[0]) - 128) * 256;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
}

void WriteSample(std::vector<std::uint8_t>& out, int v, unsigned bits) {
  v = std::clamp(v, -32768, 32767);
  if (bits == 8) {
    out.push_back(static_cast<std::uint8_t>((v >> 8) + 128));
  } else {
    const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    out.push_back(static_cast<std::uint8_t>(u));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
}

}  // namespace

void ConvertPcm(const PcmFormat& from, const std::uint8_t* in, std::size_t inBytes, const PcmFormat& to,
                std::vector<std::uint8_t>& out) {
  const unsigned inAlign = from.BlockAlign();
  if (inAlign == 0 || to.BlockAlign() == 0 || from.rate == 0 || to.rate == 0) return;
  const std::size_t inFrames = inBytes / inAlign;
  const std::uint64_t outFrames = static_cast<std::uint64_t>(inFrames) * to.rate / from.rate;
  const unsigned inStep = from.bits / 8;
  out.reserve(out.size() + outFrames * to.BlockAlign());
  for (std::uint64_t j = 0; j < outFrames; ++j) {
    const std::uint64_t i = std::min<std::uint64_t>(j * from.rate / to.rate, inFrames - 1);
    const std::uint8_t* frame = in + i * inAlign;
    const int left = ReadSample(frame, from.bits);
    const int right = from.channels == 2 ? ReadSample(frame + inStep, from.bits) : left;
    if (to.channels == 1) {
      WriteSample(out, (left + right) / 2, to.bits);
    } else {
      WriteSample(out, left, to.bits);
      WriteSample(out, right, to.bits);
    }
  }
}

void ApplyVolume(const PcmFormat& format, std::uint8_t* bytes, std::size_t count, std::uint32_t volume) {
  if (volume == 0xFFFFFFFFu || format.BlockAlign() == 0) return;
  const std::uint32_t gain[2] = {volume & 0xFFFFu, volume >> 16};
  const unsigned step = format.bits / 8;
  const std::size_t frames = count / format.BlockAlign();
  for (std::size_t f = 0; f < frames; ++f) {
    for (unsigned c = 0; c < format.channels; ++c) {
      std::uint8_t* p = bytes + f * format.BlockAlign() + c * step;
      const std::int64_t g = gain[format.channels == 2 ? c : 0];
      if (format.bits == 8) {
        const std::int64_t v = (static_cast<int>(p[0]) - 128) * g / 0xFFFF;
        p[0] = static_cast<std::uint8_t>(v + 128);
      } else {
        const std::int64_t s = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(s * g / 0xFFFF));
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
      }
    }
  }
}

}  // namespace ce::backend
