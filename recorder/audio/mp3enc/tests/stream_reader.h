// Test helpers: a Layer III frame walker and side-information reader, and
// signal generators.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace mp3test {

struct BitReader {
  const std::uint8_t* p;
  int pos = 0;
  std::uint32_t get(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++pos) v = (v << 1) | ((p[pos >> 3] >> (7 - (pos & 7))) & 1);
    return v;
  }
};

struct Granule {
  int part2_3_length, big_values, global_gain, scalefac_compress, count1_table;
};

struct Frame {
  std::size_t offset = 0;
  int bytes = 0;
  std::uint8_t header[4] = {};
  int version = 0;  // 1 MPEG-1, 0 MPEG-2/2.5
  int channels = 0;
  int padding = 0;
  int main_data_begin = 0;
  int scfsi[2] = {};
  Granule gr[2][2] = {};
};

inline const int kRates[3][3] = {{11025, 12000, 8000}, {22050, 24000, 16000}, {44100, 48000, 32000}};
inline const int kKbps[2][15] = {{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                 {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};

// Walks the stream from its first byte; `ok` is false when a frame does not
// start where the previous one ended or the last frame is cut short.
inline std::vector<Frame> walk(const std::vector<std::uint8_t>& s, bool* ok) {
  std::vector<Frame> frames;
  *ok = true;
  std::size_t at = 0;
  while (at < s.size()) {
    if (at + 4 > s.size() || s[at] != 0xFF || (s[at + 1] & 0xE0) != 0xE0) {
      *ok = false;
      break;
    }
    Frame f;
    f.offset = at;
    for (int i = 0; i < 4; ++i) f.header[i] = s[at + i];
    const int id = (s[at + 1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    f.version = id == 3 ? 1 : 0;
    const int family = id == 3 ? 2 : (id == 2 ? 1 : 0);
    const int rate = kRates[family][(s[at + 2] >> 2) & 3];
    const int kbps = kKbps[f.version][s[at + 2] >> 4];
    f.padding = (s[at + 2] >> 1) & 1;
    f.channels = (s[at + 3] >> 6) == 3 ? 1 : 2;
    f.bytes = (f.version ? 144000 : 72000) * kbps / rate + f.padding;
    if (at + static_cast<std::size_t>(f.bytes) > s.size()) {
      *ok = false;
      break;
    }
    BitReader r{s.data() + at + 4};
    const int granules = f.version ? 2 : 1;
    if (f.version) {
      f.main_data_begin = static_cast<int>(r.get(9));
      r.get(f.channels == 1 ? 5 : 3);
      for (int ch = 0; ch < f.channels; ++ch) f.scfsi[ch] = static_cast<int>(r.get(4));
    } else {
      f.main_data_begin = static_cast<int>(r.get(8));
      r.get(f.channels == 1 ? 1 : 2);
    }
    for (int gr = 0; gr < granules; ++gr)
      for (int ch = 0; ch < f.channels; ++ch) {
        Granule& g = f.gr[gr][ch];
        g.part2_3_length = static_cast<int>(r.get(12));
        g.big_values = static_cast<int>(r.get(9));
        g.global_gain = static_cast<int>(r.get(8));
        g.scalefac_compress = static_cast<int>(r.get(f.version ? 4 : 9));
        r.get(1 + 15 + 4 + 3);
        if (f.version) r.get(1);
        r.get(1);
        g.count1_table = static_cast<int>(r.get(1));
      }
    frames.push_back(f);
    at += static_cast<std::size_t>(f.bytes);
  }
  return frames;
}

inline std::vector<std::int16_t> tone(int n, double freq, int rate, double amplitude) {
  std::vector<std::int16_t> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<std::size_t>(i)] =
        static_cast<std::int16_t>(std::lround(amplitude * 32767.0 * std::sin(2 * 3.14159265358979 * freq * i / rate)));
  return v;
}

}  // namespace mp3test
