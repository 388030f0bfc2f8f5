// Runs a fuzz target without libFuzzer: over the files named on the command
// line, or over its seeds and inputs mutated from them with a fixed
// pseudo-random sequence, so every run checks the same inputs.
//   fuzz_x [-runs=N] [file...]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "fuzz_common.h"

namespace {

struct Random {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  std::uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 16);
  }
  std::uint32_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::uint32_t>(Next() % n); }
};

void Mutate(std::vector<std::uint8_t>& data, Random& random) {
  static const std::uint32_t kInteresting[] = {0, 1, 2, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF,
                                               0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 258, 4096, 4097};
  int steps = 1 + static_cast<int>(random.Below(4));
  for (int s = 0; s < steps; ++s) {
    std::uint32_t kind = random.Below(6);
    if (data.empty()) kind = 5;
    switch (kind) {
      case 0:  // flip a bit
        data[random.Below(data.size())] ^= static_cast<std::uint8_t>(1u << random.Below(8));
        break;
      case 1: {  // an interesting byte, word or double word
        std::uint32_t v = kInteresting[random.Below(std::size(kInteresting))];
        std::size_t width = std::size_t{1} << random.Below(3);
        std::size_t at = random.Below(data.size());
        for (std::size_t i = 0; i < width && at + i < data.size(); ++i) data[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        break;
      }
      case 2:  // cut short
        data.resize(random.Below(data.size()));
        break;
      case 3: {  // repeat a chunk
        std::size_t at = random.Below(data.size());
        std::size_t n = std::min<std::size_t>(random.Below(64) + 1, data.size() - at);
        std::vector<std::uint8_t> chunk(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
        data.insert(data.begin() + static_cast<long>(random.Below(data.size())), chunk.begin(), chunk.end());
        break;
      }
      case 4:  // a random byte
        data[random.Below(data.size())] = static_cast<std::uint8_t>(random.Next());
        break;
      default:  // insert random bytes
        for (std::uint32_t i = random.Below(8) + 1; i > 0; --i)
          data.insert(data.begin() + static_cast<long>(random.Below(data.size() + 1)), static_cast<std::uint8_t>(random.Next()));
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 400;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-runs=", 6) == 0) {
      runs = std::atol(argv[i] + 6);
    } else {
      files.push_back(argv[i]);
    }
  }
  if (!files.empty()) {
    for (const std::string& name : files) {
      std::ifstream in(name, std::ios::binary);
      if (!in) {
        std::cerr << "cannot read " << name << "\n";
        return 1;
      }
      std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
      LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::cout << files.size() << " inputs run\n";
    return 0;
  }
  std::vector<std::vector<std::uint8_t>> seeds = KsFuzzSeeds();
  for (const auto& seed : seeds) LLVMFuzzerTestOneInput(seed.data(), seed.size());
  Random random;
  for (long i = 0; i < runs && !seeds.empty(); ++i) {
    std::vector<std::uint8_t> data = seeds[random.Below(seeds.size())];
    Mutate(data, random);
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::cout << seeds.size() << " seeds and " << runs << " mutated inputs run\n";
  return 0;
}
