// The main of every fuzz target (see fuzz_driver.h). In the normal builds it
// runs the target over the files named on the command line, or over its
// seeds and inputs mutated from them with a fixed pseudo-random sequence, so
// every run checks the same inputs. In the fuzz build (KS_FUZZ_LIBFUZZER) it
// hands the command line to libFuzzer, which then guides the mutations by
// coverage. In both, -ks_seeds=DIR writes the seeds into DIR (one file each)
// and -ks_dict=FILE writes the dictionary in libFuzzer's format; the fuzz
// command of setup.sh starts its corpus and dictionary from them. The device
// runs on its headless back end.
#include "fuzz_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

// The optional entry points: null when the target does not define them.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);
__attribute__((weak)) std::vector<std::string> KsFuzzDictionary();

namespace ks_fuzz {

Random RandomFor(const std::uint8_t* data, std::size_t size) {
  // FNV-1a over the bytes; xorshift needs a state other than zero.
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001B3ull;
  Random random;
  random.state = hash == 0 ? 1 : hash;
  return random;
}

std::string LittleEndian(std::uint32_t value, std::size_t width) {
  std::string bytes;
  for (std::size_t i = 0; i < width && i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

}  // namespace ks_fuzz

namespace {

#ifndef KS_FUZZ_LIBFUZZER
using ks_fuzz::Random;

// Most format headers sit at the front: half of the dictionary's words land
// within this many bytes of the start.
constexpr std::size_t kHeadBytes = 100;

void Mutate(std::vector<std::uint8_t>& data, const std::vector<std::string>& dictionary, Random& random) {
  static const std::uint32_t kInteresting[] = {0,      1,          2,           0x7F,        0x80, 0xFF, 0x7FFF, 0x8000,
                                               0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 258,  4096, 4097};
  const std::size_t kinds = dictionary.empty() ? 6 : 8;
  int steps = 1 + static_cast<int>(random.Below(4));
  for (int s = 0; s < steps; ++s) {
    std::size_t kind = random.Below(kinds);
    if (data.empty()) kind = 5;
    switch (kind) {
      case 0:  // flip a bit
        data[random.Below(data.size())] ^= static_cast<std::uint8_t>(1u << random.Below(8));
        break;
      case 1: {  // an interesting byte, word or double word
        std::uint32_t v = kInteresting[random.Below(std::size(kInteresting))];
        std::size_t width = std::size_t{1} << random.Below(3);
        std::size_t at = random.Below(data.size());
        for (std::size_t i = 0; i < width && at + i < data.size(); ++i)
          data[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
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
      case 5:  // insert random bytes
        for (std::size_t i = random.Below(8) + 1; i > 0; --i)
          data.insert(data.begin() + static_cast<long>(random.Below(data.size() + 1)),
                      static_cast<std::uint8_t>(random.Next()));
        break;
      case 6: {  // a dictionary word, often into the header
        const std::string& word = dictionary[random.Below(dictionary.size())];
        const std::size_t at = random.Below(random.Below(2) != 0 ? std::min(data.size(), kHeadBytes) : data.size());
        for (std::size_t i = 0; i < word.size() && at + i < data.size(); ++i)
          data[at + i] = static_cast<std::uint8_t>(word[i]);
        break;
      }
      default: {  // a dictionary word repeated from some point, often to the end
        const std::string& word = dictionary[random.Below(dictionary.size())];
        if (word.empty()) break;
        const std::size_t at = random.Below(data.size());
        const std::size_t n = random.Below(2) != 0 ? data.size() - at : random.Below(data.size() - at) + 1;
        for (std::size_t i = 0; i < n; ++i) data[at + i] = static_cast<std::uint8_t>(word[i % word.size()]);
        break;
      }
    }
  }
}

#endif

// A dictionary entry in libFuzzer's format: a quoted string, with quotes,
// backslashes and bytes outside printable ASCII written as \xNN.
std::string DictionaryEntry(const std::string& word) {
  std::string line = "\"";
  for (unsigned char c : word) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      line += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      line += hex;
    }
  }
  return line + "\"";
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Writes the seeds into `folder` as seed-000, seed-001, ... and the
// dictionary into `dictionary` when each is named; false on a write error.
bool Export(const std::string& folder, const std::string& dictionary) {
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::vector<std::vector<std::uint8_t>> seeds = KsFuzzSeeds();
    for (std::size_t i = 0; i < seeds.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "seed-%03zu", i);
      if (!WriteFile(std::filesystem::path(folder) / name, std::string(seeds[i].begin(), seeds[i].end()))) {
        std::cerr << "cannot write " << folder << "/" << name << "\n";
        return false;
      }
    }
  }
  if (!dictionary.empty()) {
    std::string text;
    if (KsFuzzDictionary != nullptr) {
      for (const std::string& word : KsFuzzDictionary()) {
        if (!word.empty()) text += DictionaryEntry(word) + "\n";
      }
    }
    if (!WriteFile(dictionary, text)) {
      std::cerr << "cannot write " << dictionary << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace

#ifdef KS_FUZZ_LIBFUZZER
// libFuzzer's driver, from its runtime without a main of its own; it calls
// LLVMFuzzerInitialize itself.
extern "C" int LLVMFuzzerRunDriver(int* argc, char*** argv, int (*callback)(const std::uint8_t*, std::size_t));
#endif

int main(int argc, char** argv) {
  // A fuzz target never shows a window, even run at a desktop: the device's
  // headless back end, whatever the environment asked for.
  ::setenv("DEVICE_BACKEND", "headless", 1);
  std::string seed_folder, dictionary_file;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-ks_seeds=", 10) == 0) seed_folder = argv[i] + 10;
    if (std::strncmp(argv[i], "-ks_dict=", 9) == 0) dictionary_file = argv[i] + 9;
  }
  if (!seed_folder.empty() || !dictionary_file.empty()) {
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    return Export(seed_folder, dictionary_file) ? 0 : 1;
  }
#ifdef KS_FUZZ_LIBFUZZER
  return LLVMFuzzerRunDriver(&argc, &argv, LLVMFuzzerTestOneInput);
#else
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
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
  const std::vector<std::vector<std::uint8_t>> seeds = KsFuzzSeeds();
  const std::vector<std::string> dictionary =
      KsFuzzDictionary != nullptr ? KsFuzzDictionary() : std::vector<std::string>{};
  for (const auto& seed : seeds) LLVMFuzzerTestOneInput(seed.data(), seed.size());
  Random random;
  for (long i = 0; i < runs && !seeds.empty(); ++i) {
    std::vector<std::uint8_t> data = seeds[random.Below(seeds.size())];
    Mutate(data, dictionary, random);
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::cout << seeds.size() << " seeds and " << runs << " mutated inputs run\n";
  return 0;
#endif
}
