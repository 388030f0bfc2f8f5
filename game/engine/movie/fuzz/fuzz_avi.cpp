// The AVI demuxer over any bytes, and the VP3 decoder over the frames it
// reads: no crash, no read outside the file or the buffers, every frame
// either read within its size or refused.
#include <memory>
#include <vector>

#include "engine/movie/avi_demuxer.h"
#include "engine/movie/video_decoder.h"
#include "fuzz_driver.h"
#include "memory_file.h"
#include "movie_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ssMemoryFile stream(std::vector<std::uint8_t>(data, data + size), 0, false);
  ssAviDemuxer demuxer;
  if (demuxer.Open(&stream) != 0) return 0;
  const int w = demuxer.Width(), h = demuxer.Height();
  if (w <= 0 || h <= 0 || w > ssAviDemuxer::kMaxSide || h > ssAviDemuxer::kMaxSide) __builtin_trap();
  (void)demuxer.FrameRate();
  // Small pictures only: decoding a large one costs time, not coverage.
  ssVP3Decoder decoder;
  const bool decode = demuxer.HandlerIs("vp31") && w * h <= 320 * 240 && decoder.Create(nullptr, w, h) == 0;
  const std::uint32_t frames = demuxer.FrameCount();
  for (std::uint32_t i = 0; i < frames && i < 64; ++i) {
    const std::uint32_t bytes = demuxer.CurrentFrameSize();
    if (bytes > size) __builtin_trap();  // a frame is never larger than the file
    std::vector<std::uint8_t> buffer(bytes);
    const int got = demuxer.ReadFrame(buffer.data(), bytes);
    if (got < 0) break;
    if (static_cast<std::uint32_t>(got) != bytes) __builtin_trap();
    if (decode && got > 0) decoder.Decode(nullptr, buffer.data(), static_cast<std::uint32_t>(got));
  }
  if (demuxer.SetCurrentFrame(-5) != 0 || demuxer.CurrentFrame() != 0) __builtin_trap();
  if (demuxer.SetCurrentFrame(static_cast<int>(frames)) == 0) __builtin_trap();
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  moviemake::SceneSettings settings;
  settings.width = 48;
  settings.height = 32;
  settings.frames = 3;
  moviemake::Vp3Encoder encoder(48, 32, 15, 1, 30, 2);
  moviemake::AviVideo video;
  video.width = 48;
  video.height = 32;
  for (int f = 0; f < settings.frames; ++f) {
    std::vector<std::uint8_t> frame;
    bool key = false;
    encoder.Encode(moviemake::ToPlanes(moviemake::DrawFrame(settings, f)), &frame, &key);
    video.frames.push_back(frame);
    video.keyframes.push_back(key);
  }
  std::vector<std::vector<std::uint8_t>> seeds{moviemake::WriteAvi(video)};
  video.handler = "XVID";
  seeds.push_back(moviemake::WriteAvi(video));
  return seeds;
}

std::vector<std::string> KsFuzzDictionary() {
  return {"RIFF",
          "AVI ",
          "LIST",
          "hdrl",
          "avih",
          "strl",
          "strh",
          "strf",
          "vids",
          "auds",
          "movi",
          "idx1",
          "00dc",
          "01wb",
          "rec ",
          "VP31",
          "vp31",
          std::string("\xff\xff\xff\x7f", 4),
          std::string("\x00\x00\x00\x00", 4)};
}
