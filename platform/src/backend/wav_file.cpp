#include "backend/wav_file.h"

#include <cstring>

namespace ce::backend {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

bool IsSupportedFormat(const PcmFormat& f) {
  return (f.channels == 1 || f.channels == 2) && (f.bits == 8 || f.bits == 16) && f.rate >= 1000 && f.rate <= 192000;
}

std::optional<WavImage> ParseWav(const std::uint8_t* bytes, std::size_t size) {
  if (!bytes || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  std::optional<PcmFormat> format;
  std::size_t pos = 12;
  while (size - pos >= 8) {
    const std::uint8_t* chunk = bytes + pos;
    const std::uint32_t length = Le32(chunk + 4);
    const std::size_t body = pos + 8;
    const std::size_t available = size - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length < 16 || available < 16) return std::nullopt;
      if (Le16(chunk + 8) != WAVE_FORMAT_PCM) return std::nullopt;
      PcmFormat f;
      f.channels = Le16(chunk + 10);
      f.rate = Le32(chunk + 12);
      f.bits = Le16(chunk + 22);
      if (!IsSupportedFormat(f) || Le16(chunk + 20) != f.BlockAlign()) return std::nullopt;
      format = f;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!format) return std::nullopt;
      std::size_t data = length == 0 || length > available ? available : length;
      data -= data % format->BlockAlign();
      return WavImage{*format, body, data};
    }
    if (length > available) return std::nullopt;
    // Chunks are padded to an even length.
    const std::size_t next = static_cast<std::size_t>(length) + (length & 1u);
    if (next > available) break;
    pos = body + next;
  }
  return std::nullopt;
}

void WriteWavHeader(std::uint8_t* h, const PcmFormat& f, std::uint32_t dataSize) {
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, dataSize > 0xFFFFFFFFu - 36 ? 0xFFFFFFFFu : dataSize + 36);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, WAVE_FORMAT_PCM);
  Put16(h + 22, static_cast<std::uint16_t>(f.channels));
  Put32(h + 24, f.rate);
  Put32(h + 28, f.rate * f.BlockAlign());
  Put16(h + 32, static_cast<std::uint16_t>(f.BlockAlign()));
  Put16(h + 34, static_cast<std::uint16_t>(f.bits));
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, dataSize);
}

}  // namespace ce::backend
