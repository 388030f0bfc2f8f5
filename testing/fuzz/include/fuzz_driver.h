// What a fuzz target gives the shared driver (testing/fuzz/fuzz_driver.cpp),
// which runs it over the files named on its command line, or over its seeds
// and inputs mutated from them with a fixed pseudo-random sequence, so every
// run checks the same inputs:
//   fuzz_x [-runs=N] [file...]
//   fuzz_x -ks_seeds=DIR -ks_dict=FILE   (writes the seeds and dictionary)
// The entry points follow libFuzzer's: in the fuzz build (./setup.sh fuzz)
// the same target is a libFuzzer program and takes libFuzzer's options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Required: runs one input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Required: sound inputs, run first and mutated from.
std::vector<std::vector<std::uint8_t>> KsFuzzSeeds();

// Optional: called once before the first input (for a private device root,
// strict mode and the like).
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
// Optional: byte strings the format gives meaning to (tags, magic numbers,
// field values); the mutator writes them over the input, alone or repeated.
std::vector<std::string> KsFuzzDictionary();

namespace ks_fuzz {

// A small xorshift generator: the driver's mutations, and a target's own
// choices per input, repeat exactly from run to run.
struct Random {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  std::uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 16);
  }
  // 0 when n is 0, else below n.
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : Next() % n; }
};

// A generator seeded from the input's bytes, for choices a target makes
// per input: the same input always makes the same choices.
Random RandomFor(const std::uint8_t* data, std::size_t size);

// The bytes of a string, for seeds written as strings.
inline std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
// The low `width` bytes of a value, least significant first.
std::string LittleEndian(std::uint32_t value, std::size_t width);

}  // namespace ks_fuzz
