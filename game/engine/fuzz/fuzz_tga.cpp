// TGA pictures, uncompressed and run-length, 24 and 32 bits.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzLoadImage(data, size);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  imgconv::Picture p = FuzzPicture(9, 5);
  return {imgconv::EncodeTga(p, 24, false), imgconv::EncodeTga(p, 32, false), imgconv::EncodeTga(p, 24, true),
          imgconv::EncodeTga(p, 32, true)};
}
