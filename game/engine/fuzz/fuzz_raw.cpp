// Raw pictures (0xABCD0001 to 0xABCD0003).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzLoadImage(data, size);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  imgconv::Picture p = FuzzPicture(5, 3);
  std::vector<std::vector<std::uint8_t>> seeds;
  for (std::uint32_t magic : {0xABCD0001u, 0xABCD0002u, 0xABCD0003u}) {
    for (bool alpha : {false, true}) seeds.push_back(imgconv::EncodeRaw(p, magic, alpha));
  }
  return seeds;
}
