// The palettised picture (0x0CAAD001).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzLoadImage(data, size);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  std::string error;
  return {imgconv::EncodePalettised(FuzzPicture(6, 4), &error), imgconv::EncodePalettised(FuzzPicture(1, 1), &error)};
}
