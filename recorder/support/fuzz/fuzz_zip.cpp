// Runs the stored ZIP reader over archives mutated deterministically from a
// few sound seeds (or over the files named on the command line), so every
// run checks the same inputs. A hang shows as the test's time-out, a bad
// memory access under the sanitizer build.
//   vo_support_fuzz_zip [-runs=N] [file...]
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_driver.h"
#include "liba/zip_file.h"
#include "os/file.h"
#include "../tests/zip_builder.h"

namespace {

const std::wstring kPath = L"%my_documents%/fuzz.zip";

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
    while (zip.read(buffer, sizeof buffer) != 0) {}
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOne(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  using vo_test::BuildZip;
  using vo_test::Stored;
  vo_test::ZipMember packed = Stored("packed", "aaaaaaaaaaaaaaaa");
  packed.compressed_size = 5;
  return {
      ks_fuzz::Bytes(BuildZip({Stored("skin", "skin data bytes")})),
      ks_fuzz::Bytes(BuildZip(
          {Stored("readme.txt", "hello", "EXTRAFIELD"), Stored("Skin", std::string(300, 'x')), Stored("x", "")})),
      ks_fuzz::Bytes(BuildZip({Stored("a", "1"), packed, Stored("skin", "zz")})),
      ks_fuzz::Bytes(BuildZip({Stored("dir/", ""), Stored("dir/skin",
                                                          "\xFF\xFE"
                                                          "a\0")})),
  };
}

std::vector<std::string> KsFuzzDictionary() {
  // A member's signature, a size near the top of the range, and the size of
  // a member's header.
  return {ks_fuzz::LittleEndian(0x04034b50u, 4), ks_fuzz::LittleEndian(0xFFFFFFE0u, 4), ks_fuzz::LittleEndian(30, 2)};
}
