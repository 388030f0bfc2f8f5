// Movies for the tests, made in memory with moviemake's writer, and the
// sound track moviemake wrote at build time.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "movie_writer.h"

namespace ks::test {

inline std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
// Where a four-character code first occurs (0 when nowhere).
inline std::size_t Find(const std::vector<std::uint8_t>& b, const char* code, std::size_t from = 0) {
  for (std::size_t i = from; i + 4 <= b.size(); ++i) {
    if (std::equal(code, code + 4, b.begin() + static_cast<long>(i))) return i;
  }
  return 0;
}

struct TestMovie {
  moviemake::SceneSettings settings;
  moviemake::AviVideo video;
  std::vector<std::uint8_t> avi;
};

// A movie of the break scene, `frames` long, at `quality`.
inline TestMovie MakeMovie(int width, int height, int frames, int quality = 60, int keyInterval = 15) {
  TestMovie m;
  m.settings.width = width;
  m.settings.height = height;
  m.settings.frames = frames;
  m.settings.title = "TEST";
  moviemake::Vp3Encoder encoder(width, height, 14997, 1000, quality, keyInterval);
  m.video.width = width;
  m.video.height = height;
  for (int f = 0; f < frames; ++f) {
    std::vector<std::uint8_t> frame;
    bool key = false;
    encoder.Encode(moviemake::ToPlanes(moviemake::DrawFrame(m.settings, f)), &frame, &key);
    m.video.frames.push_back(std::move(frame));
    m.video.keyframes.push_back(key);
  }
  m.avi = moviemake::WriteAvi(m.video);
  return m;
}

// Two seconds of silence with a 1 kHz tone (amplitude 12000) from 1.0 s to
// 1.2 s, mono at 8000 Hz.
inline std::vector<std::uint8_t> ToneTrack() {
  std::ifstream in(KS_MOVIE_FIXTURES "/tone.ogg", std::ios::binary);
  return std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in), {}};
}
constexpr double kToneAt = 1.0;

}  // namespace ks::test
