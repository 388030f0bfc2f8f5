// imgconv <kind> <in.png> <out> [quality]: converts a PNG picture into one of
// the game's image files.
//   tga24 tga32 tga24-rle tga32-rle   TGA, uncompressed or run-length
//   palette                           palettised picture (at most 256 colours)
//   raw32 raw32-alpha                 raw 0xABCD0001
//   raw16 raw16-alpha                 raw 0xABCD0002 (RGB565, or ARGB4444)
//   raw32c raw32c-alpha               raw 0xABCD0003
//   jpeg-packed jpeg-packed-alpha     packed JPEG 0xABCD0004
//   jpeg                              bare JPEG
// quality (JPEG only) defaults to 90.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "image_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: imgconv <kind> <in.png> <out> [quality]\n"
    "  kind: tga24 tga32 tga24-rle tga32-rle palette raw32[-alpha] raw16[-alpha]\n"
    "        raw32c[-alpha] jpeg-packed[-alpha] jpeg\n"
    "  quality: JPEG quality 1 to 100 (default 90)\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc < 4 || argc > 5) {
    std::cerr << kUsage;
    return 2;
  }
  std::string kind = argv[1];
  static const char* const kKinds[] = {
      "tga24",       "tga32",  "tga24-rle",    "tga32-rle",   "palette",           "raw32", "raw32-alpha", "raw16",
      "raw16-alpha", "raw32c", "raw32c-alpha", "jpeg-packed", "jpeg-packed-alpha", "jpeg"};
  if (std::none_of(std::begin(kKinds), std::end(kKinds), [&](const char* k) { return kind == k; })) {
    std::cerr << "imgconv: unknown kind " << kind << "\n" << kUsage;
    return 2;
  }
  int quality = argc == 5 ? std::atoi(argv[4]) : 90;
  if (quality < 1 || quality > 100) {
    std::cerr << "imgconv: quality must be 1 to 100\n";
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) {
    std::cerr << "imgconv: cannot read " << argv[2] << "\n";
    return 1;
  }
  std::vector<std::uint8_t> png{std::istreambuf_iterator<char>(in), {}};
  imgconv::Picture picture;
  std::string error;
  if (!imgconv::DecodePng(png, &picture, &error)) {
    std::cerr << "imgconv: cannot convert " << argv[2] << ": " << error << "\n";
    return 1;
  }
  std::vector<std::uint8_t> out;
  if (kind == "tga24" || kind == "tga32" || kind == "tga24-rle" || kind == "tga32-rle") {
    out = imgconv::EncodeTga(picture, kind.compare(0, 5, "tga32") == 0 ? 32 : 24, kind.size() > 5);
  } else if (kind == "palette") {
    out = imgconv::EncodePalettised(picture, &error);
  } else if (kind == "raw32" || kind == "raw32-alpha") {
    out = imgconv::EncodeRaw(picture, 0xABCD0001u, kind.size() > 5);
  } else if (kind == "raw16" || kind == "raw16-alpha") {
    out = imgconv::EncodeRaw(picture, 0xABCD0002u, kind.size() > 5);
  } else if (kind == "raw32c" || kind == "raw32c-alpha") {
    out = imgconv::EncodeRaw(picture, 0xABCD0003u, kind.size() > 6);
  } else if (kind == "jpeg-packed" || kind == "jpeg-packed-alpha") {
    out = imgconv::EncodePackedJpeg(picture, quality, kind.size() > 11);
  } else if (kind == "jpeg") {
    out = imgconv::EncodeJpeg(picture, quality);
  } else {
    std::cerr << "imgconv: unknown kind " << kind << "\n" << kUsage;
    return 2;
  }
  if (out.empty()) {
    std::cerr << "imgconv: " << error << "\n";
    return 1;
  }
  std::string temporary = std::string(argv[3]) + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    file.flush();
    if (!file) {
      std::cerr << "imgconv: cannot write " << temporary << "\n";
      std::remove(temporary.c_str());
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), argv[3]) != 0) {
    std::cerr << "imgconv: cannot write " << argv[3] << "\n";
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
