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
#include "skinner/canvas.h"
#include "skinner/picture.h"

namespace {

const std::wstring kZip = L"%my_documents%/fuzz_bmp.zip";

// The image drawn as a picture whose points may lie anywhere, into a small
// back buffer at a random place and size, through every nine-part path.
void DrawPicture(ks_fuzz::Random& random) {
  std::wstring descriptor;
  for (int i = 0; i < 8; ++i) descriptor += std::to_wstring(static_cast<int>(random.Below(40)) - 4) + L" ";
  descriptor += random.Below(2) == 0 ? L"s img" : L"t img";
  skinner::Picture picture;
  if (!picture.load(descriptor, kZip, random.Below(2) == 0 ? 1.0 : 2.0)) return;
  HDC screen = GetDC(nullptr);
  HBITMAP buffer = CreateCompatibleBitmap(screen, 32, 32);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, buffer);
  ReleaseDC(nullptr, screen);
  {
    skinner::CanvasImpl impl(dc, {0, 0}, {32, 32});
    skinner::Canvas canvas(&impl);
    const auto coordinate = [&] { return static_cast<std::int32_t>(random.Below(48)) - 8; };
    picture.draw(canvas, {coordinate(), coordinate()}, {coordinate(), coordinate()});
    picture.is_transparent_at({coordinate(), coordinate()}, {0, 0}, {coordinate(), coordinate()});
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  ks_fuzz::Random random = ks_fuzz::RandomFor(data, size);
  {
    // The mutated image as its own mask or alpha map as well.
    const std::string second = random.Below(2) == 0 ? "img_1.bmp" : "img_8.bmp";
    const std::string zip = skinc::StoredZip({{"img.bmp", bytes}, {second, bytes}});
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
  if (random.Below(4) == 0) DrawPicture(random);
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
