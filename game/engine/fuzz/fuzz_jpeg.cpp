// Bare and packed JPEG through the memory source.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzLoadImage(data, size);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  imgconv::Picture p = FuzzPicture(24, 16);
  return {imgconv::EncodeJpeg(p, 75), imgconv::EncodePackedJpeg(p, 50, false), imgconv::EncodePackedJpeg(p, 90, true)};
}
