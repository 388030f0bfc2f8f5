// gallerymake <folder>: writes the platform gallery's three pictures at build
// time: a 24-bit BMP of a colour gradient, a GIF and a JPEG of the imaging test
// kit's patterns. The gallery carries them as resources and decodes them with
// the device's picture decoder.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/bmp_writer.h"
#include "runtime/one_path_tool.h"
#include "testkit/image_files.h"

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

// A 24-bit BMP: red grows to the right, blue downwards, with a white
// frame.
std::string GradientBmp() {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool frame = x < 2 || y < 2 || x >= kWidth - 2 || y >= kHeight - 2;
      const auto r = static_cast<std::uint32_t>(frame ? 255 : x * 255 / (kWidth - 1));
      const auto g = static_cast<std::uint32_t>(frame ? 255 : 120);
      const auto b = static_cast<std::uint32_t>(frame ? 255 : y * 255 / (kHeight - 1));
      pixels.push_back((r << 16) | (g << 8) | b);
    }
  }
  return ks::runtime::EncodeBmp24(kWidth, kHeight, pixels.data(), ks::runtime::kBmp72Dpi);
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool Write(const std::string& path, const std::string& bytes) {
  return Write(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
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
