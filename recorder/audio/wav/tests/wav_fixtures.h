// Byte builders for RIFF files of any shape, shared by the WAV tests and the
// fuzz driver.
#pragma once

#include <cstdint>
#include <string>

namespace wav_test {

inline void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::uint32_t Get16(const std::string& s, std::size_t at) {
  return static_cast<std::uint8_t>(s.at(at)) | (static_cast<std::uint8_t>(s.at(at + 1)) << 8);
}

inline std::uint32_t Get32(const std::string& s, std::size_t at) { return Get16(s, at) | (Get16(s, at + 2) << 16); }

// One chunk: id, size (the body's length unless given), body, pad byte.
inline std::string Chunk(const std::string& id, const std::string& body, std::int64_t size = -1) {
  std::string out = id;
  Put32(out, size < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(size));
  out += body;
  if (body.size() % 2 != 0) out += '\0';
  return out;
}

struct Fmt {
  std::uint32_t tag = 1;
  std::uint32_t channels = 1;
  std::uint32_t rate = 8000;
  std::uint32_t byte_rate = 16000;
  std::uint32_t align = 2;
  std::uint32_t bits = 16;
  std::string extra;  // bytes after the 16 standard ones
};

inline std::string FmtChunk(const Fmt& f) {
  std::string body;
  Put16(body, f.tag);
  Put16(body, f.channels);
  Put32(body, f.rate);
  Put32(body, f.byte_rate);
  Put16(body, f.align);
  Put16(body, f.bits);
  return Chunk("fmt ", body + f.extra);
}

inline std::string Riff(const std::string& chunks) {
  std::string out = "RIFF";
  Put32(out, static_cast<std::uint32_t>(chunks.size() + 4));
  return out + "WAVE" + chunks;
}

inline std::string PCMWav(const std::string& data, std::uint32_t channels = 1, std::uint32_t bits = 16,
                          std::uint32_t rate = 8000) {
  const std::uint32_t align = channels * ((bits + 7) / 8);
  return Riff(FmtChunk({1, channels, rate, align * rate, align, bits, ""}) + Chunk("data", data));
}

// The fmt extra bytes of an MS ADPCM file with the standard coefficients.
inline std::string ADPCMExtra(std::uint32_t samples_per_block, std::uint32_t count = 7) {
  static const std::int16_t kPairs[14] = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
  std::string extra;
  Put16(extra, 4 * (count + 1));
  Put16(extra, samples_per_block);
  Put16(extra, count);
  for (std::uint32_t i = 0; i < 2 * count && i < 14; ++i) Put16(extra, static_cast<std::uint16_t>(kPairs[i]));
  return extra;
}

inline std::string Fact(std::uint32_t samples) {
  std::string body;
  Put32(body, samples);
  return Chunk("fact", body);
}

inline std::string ADPCMWav(const std::string& data, std::uint32_t fact, std::uint32_t channels = 1,
                            std::uint32_t align = 256, std::uint32_t rate = 8000) {
  const std::uint32_t spb = (align - 7 * channels) * 2 / channels + 2;
  return Riff(FmtChunk({2, channels, rate, rate * align / spb, align, 4, ADPCMExtra(spb)}) + Fact(fact) +
              Chunk("data", data));
}

inline std::string GSMWav(const std::string& data, std::uint32_t fact, std::uint32_t rate = 8000) {
  std::string extra;
  Put16(extra, 2);
  Put16(extra, 320);
  return Riff(FmtChunk({49, 1, rate, 1625, 65, 0, extra}) + Fact(fact) + Chunk("data", data));
}

}  // namespace wav_test
