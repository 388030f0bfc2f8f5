// Runs the MP3 frame reader, its tag reader and the frame decoder over files
// mutated deterministically from a few sound seeds (or over the files named
// on the command line), so every run checks the same inputs. A hang shows as
// the test's time-out, a bad memory access under the sanitizer build.
//   vo_audio_decoders_fuzz_mp3 [-runs=N] [file...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/mp3_decoder.h"
#include "audio/mp3_reader.h"
#include "ce/testing.h"
#include "fuzz_driver.h"
#include "media_fixtures.h"

namespace {

const vo_test::MediaFolder& Folder() {
  static const vo_test::MediaFolder folder;
  return folder;
}

void RunOne(const vo_test::MediaFolder& folder, const std::string& bytes, ks_fuzz::Random& random) {
  folder.Write("fuzz.mp3", bytes);
  const std::wstring path = vo_test::MediaFolder::DevicePath("fuzz.mp3");
  audio::read_mp3_tag(path);
  audio::FileReaderMP3 reader(path);
  audio::DecoderMP3 decoder;
  audio::connect<audio::MP3Data>(&reader, &decoder);
  // Every frame is given at most once per pass, and each advances the read
  // position, so a pass ends within the file's size in frames.
  const std::uint32_t limit = static_cast<std::uint32_t>(bytes.size()) / 24 + 2;
  for (int pass = 0; pass < 2; ++pass) {
    std::uint32_t blocks = 0;
    for (;;) {
      audio::PCMData pcm;
      decoder.get_data(pcm, 1 + static_cast<std::uint32_t>(random.Below(3000)));
      if (pcm.size() == 0) break;
      if (++blocks > limit * 64) {
        std::fprintf(stderr, "the reader does not come to an end\n");
        std::abort();
      }
    }
    if (reader.is_open() && !reader.is_end()) {
      std::fprintf(stderr, "playback stopped before the end\n");
      std::abort();
    }
    reader.seek(static_cast<std::uint32_t>(random.Below(bytes.size() + 100)));
  }
  audio::connect<audio::MP3Data>(&reader, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ce::testing::SetStrictMode(true);
  Folder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The read sizes and seek positions follow from the input, so an input
  // always runs the same way.
  ks_fuzz::Random random = ks_fuzz::RandomFor(data, size);
  RunOne(Folder(), std::string(reinterpret_cast<const char*>(data), size), random);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  using vo_test::FrameFields;
  using vo_test::SilentFrame;
  std::string tag = "TAG" + std::string(125, '\0');
  tag.replace(3, 5, "Title");
  std::string stereo, mpeg2, layer2, mixed;
  for (int i = 0; i < 12; ++i) stereo += SilentFrame({1, 3, 9 + i % 3, 0, i % 2, false});
  for (int i = 0; i < 20; ++i) mpeg2 += SilentFrame({2, 3, 8, 0, 0, true});
  for (int i = 0; i < 6; ++i) layer2 += SilentFrame({3, 2, 14, 2, 0, false});
  mixed = SilentFrame({1, 1, 12, 1, 1, false}) + SilentFrame({1, 1, 12, 1, 0, false}) + stereo;
  const std::string seeds[] = {
      std::string("ID3\x03\x00\x00\x00\x00\x10\x00", 10) + std::string(2048, '\0') + stereo + tag,
      mpeg2 + tag,
      layer2,
      mixed,
      std::string(300, '\xFF') + stereo,
  };
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const std::string& seed : seeds) bytes.push_back(ks_fuzz::Bytes(seed));
  return bytes;
}

std::vector<std::string> KsFuzzDictionary() {
  // Frame headers of several versions, layers and rates, tag openings, and
  // a run of sync bits.
  return {std::string("\xFF\xFB\x90\x00", 4),
          std::string("\xFF\xF3\x80\xC0", 4),
          std::string("\xFF\xE3\x18\xC4", 4),
          std::string("\xFF\xFD\xE0\x00", 4),
          "TAG",
          std::string("ID3\x04\x00\x00\x7F\x7F\x7F\x7F", 10),
          std::string("\xFF\xFF\xFF\xFF", 4)};
}
