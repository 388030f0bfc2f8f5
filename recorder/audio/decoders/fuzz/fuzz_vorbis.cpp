// The Ogg Vorbis reader over mutated files (see fuzz_reader.h).
//   vo_audio_decoders_fuzz_vorbis [-runs=N] [file...]
#include "audio/vorbis_decoder.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_reader::Initialize();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An audio packet of at least one byte decodes to at most half of the
  // largest block, 8,192 samples.
  fuzz_reader::Run<audio::DecoderVorbis>(data, size, "fuzz.ogg", audio::DecoderVorbis::kMaxFrames, 4096);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  return fuzz_reader::EncodedSeeds("oggenc", "ogg", {"-Q -q -1 -o OUT in.wav", "-Q -q 2 -o OUT in.wav"}, 1, 8000);
}

std::vector<std::string> KsFuzzDictionary() {
  return {"OggS", std::string("\x01vorbis", 7), std::string("\x03vorbis", 7),      std::string("\x05vorbis", 7),
          "BCV",  std::string("\x00\x02", 2),   std::string("\xFF\xFF\xFF\xFF", 4)};
}
