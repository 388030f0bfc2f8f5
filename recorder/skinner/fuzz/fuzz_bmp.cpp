// Runs the skin's image loading over BMP files mutated deterministically from
// a few sound ones (or over the files named on the command line): the own
// reader of archive entries, and the whole search (decoder, own reader,
// plain file) with scaling. Every header field is attacked: depth, widths,
// heights, offsets before or after the data, short pixel data.
//   vo_skinner_fuzz_bmp [-runs=N] [file...]
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_driver.h"
#include "liba/zip_file.h"
#include "os/file.h"
#include "skin_art.h"
#include "skin_compiler.h"
#include "skinner/bitmap.h"

namespace {

const std::wstring kZip = L"%my_documents%/fuzz_bmp.zip";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  ks_fuzz::Random random = ks_fuzz::RandomFor(data, size);
  {
    const std::string zip = skinc::StoredZip({{"img.bmp", bytes}, {"img_1.bmp", bytes}});
    os::File f(kZip, 1);
    f.write(zip.data(), static_cast<std::uint32_t>(zip.size()));
  }
  {
    liba::ZipFile zip(kZip);
    HBITMAP out = nullptr;
    skinner::load_zipped_image(zip, L"img.bmp", 0, out);
    if (out != nullptr) DeleteObject(out);
  }
  const double scales[] = {1.0, 1.5, 2.0};
  const skinner::Bitmap bitmap(kZip, L"img", scales[random.Below(3)]);
  if (bitmap.is_loaded()) {
    bitmap.is_transparent_at(
        {static_cast<std::int32_t>(random.Below(64)), static_cast<std::int32_t>(random.Below(64))});
  }
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  return {
      ks_fuzz::Bytes(skinart::EncodeBmp24(skinart::RoundedFrame(7, 5, 2, {10, 20, 30}, {200, 210, 220}, {0, 0, 0}))),
      ks_fuzz::Bytes(skinart::EncodeBmp8Grey(skinart::SoftAlpha(6, 3, 1, 2))),
      ks_fuzz::Bytes(skinart::EncodeBmp24(skinart::Image(1, 1))),
  };
}

std::vector<std::string> KsFuzzDictionary() {
  // Depths, a huge size, a negative height, the header sizes.
  return {ks_fuzz::LittleEndian(1, 2),           ks_fuzz::LittleEndian(32, 2), ks_fuzz::LittleEndian(0x7FFFFFFFu, 4),
          ks_fuzz::LittleEndian(0xFFFFFFFBu, 4), ks_fuzz::LittleEndian(40, 4), ks_fuzz::LittleEndian(54, 4)};
}
