// The stored ZIP reader as a skin loader uses it: an archive file is
// opened, its members listed, and each listed member found again by name
// (on a fresh reader, as a loader looks members up) and read whole, then
// again from the start and from a position inside it. A listed name must be
// found, and every read of a member must give the same bytes.
//   vo_support_fuzz_skin_zip [-runs=N] [file...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/zip_builder.h"
#include "fuzz_driver.h"
#include "liba/zip_file.h"
#include "os/file.h"

namespace {

const std::wstring kPath = L"%my_documents%/skin.zip";
constexpr int kMaxMembers = 64;

[[noreturn]] void Fail(const char* what, const std::wstring& member) {
  std::fprintf(stderr, "%s: member \"%ls\"\n", what, member.c_str());
  std::abort();
}

// The rest of the member from the reader's position, in pieces of `piece`
// bytes.
std::string ReadRest(liba::ZipFile& zip, std::uint32_t piece, std::uint32_t archive_size) {
  std::string bytes;
  std::vector<char> buffer(piece);
  for (std::uint32_t n; (n = zip.read(buffer.data(), piece)) != 0;) {
    if (n > piece) Fail("a read longer than asked for", L"");
    bytes.append(buffer.data(), n);
    if (bytes.size() > archive_size) Fail("a member larger than its archive", L"");
  }
  return bytes;
}

void LoadMember(const std::wstring& name, std::uint32_t archive_size, ks_fuzz::Random& random) {
  liba::ZipFile zip(kPath);
  if (!zip.find_entry(name)) Fail("a listed member is not found", name);
  const std::uint32_t size = zip.get_size();
  const std::string whole = ReadRest(zip, 1 + static_cast<std::uint32_t>(random.Below(4096)), archive_size);
  if (whole.size() > size) Fail("more bytes than the member's size", name);
  if (zip.seek(0), ReadRest(zip, 1 + static_cast<std::uint32_t>(random.Below(97)), archive_size) != whole)
    Fail("a second read gives other bytes", name);
  const std::uint32_t at = static_cast<std::uint32_t>(random.Below(std::uint64_t{size} + 2));
  zip.seek(at);
  const std::string tail = ReadRest(zip, 64, archive_size);
  if (at < whole.size() ? tail != whole.substr(at) : !tail.empty()) Fail("a read after a seek gives other bytes", name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    os::File f(kPath, 1);
    f.write(data, static_cast<std::uint32_t>(size));
  }
  ks_fuzz::Random random = ks_fuzz::RandomFor(data, size);
  std::vector<std::wstring> names;
  {
    liba::ZipFile zip(kPath);
    if (!zip.is_ok()) std::abort();
    for (std::wstring name; names.size() < kMaxMembers && !(name = zip.next_entry()).empty();) names.push_back(name);
  }
  for (const std::wstring& name : names) LoadMember(name, static_cast<std::uint32_t>(size), random);
  liba::ZipFile zip(kPath);
  zip.find_entry(L"skin.xml");
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  using vo_test::BuildZip;
  using vo_test::Stored;
  vo_test::ZipMember packed = Stored("packed.png", "aaaaaaaaaaaaaaaa");
  packed.compressed_size = 5;
  return {
      ks_fuzz::Bytes(BuildZip({Stored("skin.xml", "<skin><image file=\"back.png\"/></skin>"),
                               Stored("back.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(200, 'p')),
                               Stored("Fonts/", ""), Stored("fonts/small.fnt", "fnt")})),
      ks_fuzz::Bytes(BuildZip({Stored("SKIN.XML", "<skin/>", "EXTRA"), Stored("skin.xml", "second"), packed})),
      ks_fuzz::Bytes(BuildZip({Stored("a\\b.bmp", std::string(1000, 'b')), Stored("\xC3\xA9.xml", "x")})),
  };
}

std::vector<std::string> KsFuzzDictionary() {
  return {ks_fuzz::LittleEndian(0x04034b50u, 4), ks_fuzz::LittleEndian(0x02014b50u, 4),
          ks_fuzz::LittleEndian(0xFFFFFFFFu, 4), "skin.xml", "/"};
}
