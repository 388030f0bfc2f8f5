// Runs the stored ZIP reader over archives mutated deterministically from a
// few sound seeds (or over the files named on the command line), so every
// run checks the same inputs. A hang shows as the test's time-out, a bad
// memory access under the sanitizer build.
//   vo_support_fuzz_zip [-runs=N] [file...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kernel/not_implemented.h"
#include "liba/zip_file.h"
#include "os/file.h"
#include "temp_device.h"
#include "../tests/zip_builder.h"

namespace {

const std::wstring kPath = L"%my_documents%/fuzz.zip";

struct Random {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  std::uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 16);
  }
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : Next() % n; }
};

void Mutate(std::string& data, Random& random) {
  static const std::uint32_t kInteresting[] = {0, 1, 2, 0x7F, 0x80, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u,
                                               0xFFFFFFFFu, 0xFFFFFFE0u, 30, 0x04034b50u};
  const int steps = 1 + static_cast<int>(random.Below(4));
  for (int s = 0; s < steps; ++s) {
    std::size_t kind = data.empty() ? 4 : random.Below(5);
    switch (kind) {
      case 0:
        data[random.Below(data.size())] ^= static_cast<char>(1u << random.Below(8));
        break;
      case 1: {
        const std::uint32_t v = kInteresting[random.Below(std::size(kInteresting))];
        const std::size_t width = std::size_t{1} << random.Below(3);
        const std::size_t at = random.Below(data.size());
        for (std::size_t i = 0; i < width && at + i < data.size(); ++i) data[at + i] = static_cast<char>(v >> (8 * i));
        break;
      }
      case 2:
        data.resize(random.Below(data.size()));
        break;
      case 3: {
        const std::size_t at = random.Below(data.size());
        const std::size_t n = std::min<std::size_t>(random.Below(48) + 1, data.size() - at);
        data.insert(random.Below(data.size()), data.substr(at, n));
        break;
      }
      default:
        for (std::size_t i = random.Below(8) + 1; i > 0; --i)
          data.insert(data.begin() + static_cast<long>(random.Below(data.size() + 1)), static_cast<char>(random.Next()));
        break;
    }
  }
}

void RunOne(const std::string& bytes) {
  {
    os::File f(kPath, 1);
    f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }
  liba::ZipFile zip(kPath);
  // Every member the walk can reach, read in pieces, with a few seeks. The
  // walk only moves forward, so it ends within the archive's size.
  for (int guard = 0; guard < 100000; ++guard) {
    const std::wstring name = zip.next_entry();
    if (name.empty()) break;
    char buffer[97];
    std::uint32_t total = 0;
    for (std::uint32_t n; (n = zip.read(buffer, sizeof buffer)) != 0 && total < (1u << 20);) total += n;
    zip.seek(zip.get_size() / 2);
    zip.skip(5);
    zip.read(buffer, 3);
    zip.seek(0xFFFFFFFFu);
    zip.read(buffer, sizeof buffer);
    zip.skip(0xFFFFFFFFu);
  }
  if (zip.find_entry(L"skin")) {
    char buffer[64];
    while (zip.read(buffer, sizeof buffer) != 0) {
    }
  }
}

std::vector<std::string> Seeds() {
  using vo_test::BuildZip;
  using vo_test::Stored;
  vo_test::ZipMember packed = Stored("packed", "aaaaaaaaaaaaaaaa");
  packed.compressed_size = 5;
  return {
      BuildZip({Stored("skin", "skin data bytes")}),
      BuildZip({Stored("readme.txt", "hello", "EXTRAFIELD"), Stored("Skin", std::string(300, 'x')), Stored("x", "")}),
      BuildZip({Stored("a", "1"), packed, Stored("skin", "zz")}),
      BuildZip({Stored("dir/", ""), Stored("dir/skin", "\xFF\xFE" "a\0")}),
  };
}

}  // namespace

int main(int argc, char** argv) {
  ce::kernel::SetStrictMode(true);
  ce::test::TempDevice device;
  long runs = 2000;
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
      RunOne(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    return 0;
  }
  const std::vector<std::string> seeds = Seeds();
  Random random;
  for (const std::string& seed : seeds) RunOne(seed);
  for (long i = 0; i < runs; ++i) {
    std::string input = seeds[random.Below(seeds.size())];
    Mutate(input, random);
    RunOne(input);
  }
  std::printf("%ld mutated archives read\n", runs);
  return 0;
}
