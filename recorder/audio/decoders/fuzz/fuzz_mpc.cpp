// The Musepack reader over mutated files (see fuzz_reader.h).
//   vo_audio_decoders_fuzz_mpc [-runs=N] [file...]
#include "audio/mpc_decoder.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_reader::Initialize();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A frame of 1,152 samples takes at least a few bytes of the file; the
  // reader gives at most one frame per block.
  fuzz_reader::Run<audio::DecoderMPC>(data, size, "fuzz.mpc", 1152, 1152);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  return fuzz_reader::EncodedSeeds("mpcenc", "mpc", {"--silent --thumb in.wav OUT", "--silent --radio in.wav OUT"}, 2,
                                   44100);
}

std::vector<std::string> KsFuzzDictionary() {
  return {"MPCK", "SH", "AP", "SE", "ST", "SO", "RG", "EI", std::string("MP+\x07", 4), std::string("MP+\x17", 4)};
}
