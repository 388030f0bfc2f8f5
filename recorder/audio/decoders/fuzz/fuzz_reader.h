// Shared by the fuzz targets of the file readers that decode to PCM (Ogg
// Vorbis, Musepack): the input is written to a file, and a reader opened on
// it is drained with request sizes of the input's choosing, then seeked and
// read again. Every block must keep the stream's format and size limits, and
// the reader must come to an end within what the file could hold. Seeds are
// made from a generated tone by the command-line encoder when it is
// installed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/link.h"
#include "fuzz_driver.h"
#include "ce/testing.h"
#include "media_fixtures.h"

namespace fuzz_reader {

inline const vo_test::MediaFolder& Folder() {
  static const vo_test::MediaFolder folder;
  return folder;
}

[[noreturn]] inline void Fail(const char* what, std::size_t size) {
  std::fprintf(stderr, "%s (%zu input bytes)\n", what, size);
  std::abort();
}

// Pulls up to `blocks` blocks; answers the frames given.
template <typename Reader>
std::uint64_t Drain(Reader& reader, ks_fuzz::Random& random, std::uint64_t blocks, std::uint32_t max_frames,
                    std::size_t size) {
  std::uint64_t frames = 0;
  for (std::uint64_t i = 0; i < blocks; ++i) {
    audio::PCMData pcm;
    const std::uint32_t request = 1 + static_cast<std::uint32_t>(random.Below(random.Below(4) == 0 ? 20000 : 3000));
    reader.get_data(pcm, request);
    if (pcm.size() == 0) break;
    if (pcm.bits != 16 || pcm.channels != reader.get_channels() || pcm.rate != reader.get_sample_rate())
      Fail("a block in another format than the stream's", size);
    if (pcm.size() % pcm.frame_size() != 0) Fail("a block of part frames", size);
    if (pcm.get_frames() > request || pcm.get_frames() > max_frames) Fail("a block larger than asked for", size);
    frames += pcm.get_frames();
  }
  return frames;
}

// `max_frames_per_byte`: the most sample frames one byte of the file can
// decode to, so a reader that does not stop is caught.
template <typename Reader>
void Run(const std::uint8_t* data, std::size_t size, const char* name, std::uint32_t max_frames,
         std::uint64_t max_frames_per_byte) {
  Folder().Write(name, std::string(reinterpret_cast<const char*>(data), size));
  ks_fuzz::Random random = ks_fuzz::RandomFor(data, size);
  Reader reader(vo_test::MediaFolder::DevicePath(name));
  if (!reader.is_open()) return;
  if (reader.get_channels() == 0 || reader.get_sample_rate() == 0) Fail("open without a format", size);
  reader.get_bitrate();
  reader.units_to_time(reader.get_length());
  const std::uint64_t limit = (size + 1) * max_frames_per_byte;
  const std::uint64_t frames = Drain(reader, random, limit + 2, max_frames, size);
  if (frames > limit) Fail("the reader does not come to an end", size);
  reader.is_end();
  reader.get_position();

  reader.seek(static_cast<std::uint32_t>(random.Below(std::uint64_t{reader.get_length()} + 100)));
  reader.get_position();
  Drain(reader, random, 8, max_frames, size);
  reader.seek(0);
  reader.read_time(static_cast<double>(random.Below(100)) / 50.0);
  reader.read(static_cast<std::uint32_t>(random.Below(5000)));
  reader.is_end();
}

// A short tone encoded by `tool` with each of the argument lists, where
// "OUT" stands for the output file (the input is in.wav); none when the tool
// is missing. Each list writes a file of its own: an encoder may stop to ask
// before it overwrites one.
inline std::vector<std::vector<std::uint8_t>> EncodedSeeds(const std::string& tool, const std::string& extension,
                                                           const std::vector<std::string>& argument_lists,
                                                           std::uint32_t channels, std::uint32_t rate) {
  std::vector<std::vector<std::uint8_t>> seeds;
  if (!vo_test::MediaFolder::HaveTool(tool)) {
    std::fprintf(stderr, "%s is not installed: no seeds\n", tool.c_str());
    return seeds;
  }
  Folder().Write("in.wav", vo_test::SineWav(channels, rate, 0.3, 700.0));
  for (std::size_t i = 0; i < argument_lists.size(); ++i) {
    const std::string out = "seed" + std::to_string(i) + "." + extension;
    std::string arguments = argument_lists[i];
    arguments.replace(arguments.find("OUT"), 3, out);
    if (Folder().Run(tool, arguments)) seeds.push_back(ks_fuzz::Bytes(Folder().Read(out)));
  }
  return seeds;
}

inline void Initialize() {
  ce::testing::SetStrictMode(true);
  Folder();
}

}  // namespace fuzz_reader
