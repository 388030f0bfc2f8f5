// iconmake FILE.ico: draws the setup program's icon, a 32 x 32 blue tile with
// three list lines, as an ICO file (one 32-bit picture with its mask).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "one_path_tool.h"

namespace {

constexpr int kSide = 32;

struct Bytes {
  std::vector<std::uint8_t> data;
  void U8(unsigned v) { data.push_back(static_cast<std::uint8_t>(v)); }
  void U16(unsigned v) {
    U8(v & 0xFF);
    U8((v >> 8) & 0xFF);
  }
  void U32(unsigned v) {
    U16(v & 0xFFFF);
    U16((v >> 16) & 0xFFFF);
  }
};

// The pixel at (x, y) from the top as 0xAARRGGBB; alpha 0 outside the tile.
std::uint32_t Pixel(int x, int y) {
  const bool corner = (x < 2 || x > kSide - 3) && (y < 2 || y > kSide - 3);
  if (corner) return 0;
  if (x == 0 || y == 0 || x == kSide - 1 || y == kSide - 1) return 0xFF183870u;
  // Three lines of a list, the first one marked.
  for (int line = 0; line < 3; ++line) {
    const int top = 7 + line * 7;
    if (y >= top && y < top + 4 && x >= 6 && x < 26) return line == 0 ? 0xFFFFD040u : 0xFFFFFFFFu;
  }
  const unsigned blue = 0xC0u - static_cast<unsigned>(y) * 2u;
  return 0xFF000000u | (0x30u << 16) | ((0x60u + static_cast<unsigned>(x)) << 8) | blue;
}

std::vector<std::uint8_t> Picture() {
  Bytes b;
  b.U32(40);
  b.U32(kSide);
  b.U32(kSide * 2);  // colour rows, then the mask
  b.U16(1);
  b.U16(32);
  for (int i = 0; i < 6; ++i) b.U32(0);
  for (int y = kSide - 1; y >= 0; --y) {
    for (int x = 0; x < kSide; ++x) b.U32(Pixel(x, y));
  }
  for (int y = kSide - 1; y >= 0; --y) {
    std::uint32_t row = 0;
    for (int x = 0; x < kSide; ++x) {
      if ((Pixel(x, y) >> 24) == 0) row |= 0x80000000u >> x;
    }
    // Mask rows run from the left bit of the first byte.
    b.U8(row >> 24);
    b.U8((row >> 16) & 0xFF);
    b.U8((row >> 8) & 0xFF);
    b.U8(row & 0xFF);
  }
  return b.data;
}

constexpr const char* kUsage =
    "usage: iconmake FILE.ico\n"
    "  writes the setup program's icon into the file\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  const std::vector<std::uint8_t> picture = Picture();
  Bytes file;
  file.U16(0);
  file.U16(1);
  file.U16(1);
  file.U8(kSide);
  file.U8(kSide);
  file.U8(0);
  file.U8(0);
  file.U16(1);
  file.U16(32);
  file.U32(static_cast<unsigned>(picture.size()));
  file.U32(6 + 16);
  file.data.insert(file.data.end(), picture.begin(), picture.end());
  std::FILE* out = std::fopen(argv[1], "wb");
  const bool ok = out != nullptr && std::fwrite(file.data.data(), 1, file.data.size(), out) == file.data.size();
  if (out != nullptr && std::fclose(out) != 0) return 1;
  if (!ok) {
    std::fprintf(stderr, "iconmake: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
