// gallerymake <folder>: writes the platform gallery's three pictures at build
// time: a 24-bit BMP of a colour gradient, a GIF and a JPEG of the imaging test
// kit's patterns. The gallery carries them as resources and decodes them with
// the device's picture decoder.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "one_path_tool.h"
#include "image_files.h"

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

void Put(std::vector<std::uint8_t>& bytes, std::uint32_t v, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A bottom-up 24-bit BMP: red grows to the right, blue downwards, with a
// white frame.
std::vector<std::uint8_t> GradientBmp() {
  const int stride = (kWidth * 3 + 3) & ~3;
  const std::uint32_t imageSize = static_cast<std::uint32_t>(stride * kHeight);
  std::vector<std::uint8_t> bytes;
  bytes.push_back('B');
  bytes.push_back('M');
  Put(bytes, 54 + imageSize, 4);
  Put(bytes, 0, 4);
  Put(bytes, 54, 4);
  Put(bytes, 40, 4);
  Put(bytes, kWidth, 4);
  Put(bytes, kHeight, 4);
  Put(bytes, 1, 2);
  Put(bytes, 24, 2);
  Put(bytes, 0, 4);
  Put(bytes, imageSize, 4);
  Put(bytes, 2835, 4);
  Put(bytes, 2835, 4);
  Put(bytes, 0, 4);
  Put(bytes, 0, 4);
  for (int row = kHeight - 1; row >= 0; --row) {
    for (int x = 0; x < kWidth; ++x) {
      const bool frame = x < 2 || row < 2 || x >= kWidth - 2 || row >= kHeight - 2;
      const int r = frame ? 255 : x * 255 / (kWidth - 1);
      const int g = frame ? 255 : 120;
      const int b = frame ? 255 : row * 255 / (kHeight - 1);
      bytes.push_back(static_cast<std::uint8_t>(b));
      bytes.push_back(static_cast<std::uint8_t>(g));
      bytes.push_back(static_cast<std::uint8_t>(r));
    }
    for (int pad = kWidth * 3; pad < stride; ++pad) bytes.push_back(0);
  }
  return bytes;
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

constexpr const char* kUsage =
    "usage: gallerymake <output folder>\n"
    "  writes the platform gallery's pictures gallery.bmp, gallery.gif and gallery.jpg into the folder\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  namespace kit = ce::imaging::testkit;
  const std::string folder = argv[1];
  const bool ok = Write(folder + "/gallery.bmp", GradientBmp()) &&
                  Write(folder + "/gallery.gif", kit::EncodeGif(kWidth, kHeight, false)) &&
                  Write(folder + "/gallery.jpg", kit::EncodeJpeg(kWidth, kHeight));
  if (!ok) {
    std::fprintf(stderr, "gallerymake: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
