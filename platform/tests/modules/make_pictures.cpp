// Writes the pictures the resource tests compile into their modules: a BMP
// with four coloured corners, an icon file with a 16 x 16 picture (32 bits,
// clear corners) and a 32 x 32 one (16 colours, a clear left half), and a
// one-pixel GIF. Usage: make_pictures FOLDER.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Bytes {
  std::vector<std::uint8_t> data;
  void U8(unsigned v) { data.push_back(static_cast<std::uint8_t>(v)); }
  void U16(unsigned v) {
    U8(v & 0xFF);
    U8(v >> 8);
  }
  void U32(unsigned v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Header(int width, int height, int bpp, unsigned colors) {
    U32(40);
    U32(width);
    U32(height);
    U16(1);
    U16(bpp);
    U32(0);
    U32(0);
    U32(0);
    U32(0);
    U32(colors);
    U32(0);
  }
  void Pad() {
    while (data.size() % 4) U8(0);
  }
};

bool Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// 4 x 3, 24 bits: top-left red, top-right green, bottom-left blue,
// bottom-right white, grey elsewhere.
std::vector<std::uint8_t> Stripes() {
  Bytes pixels;
  for (int y = 2; y >= 0; --y) {
    const std::size_t start = pixels.data.size();
    for (int x = 0; x < 4; ++x) {
      unsigned r = 128, g = 128, b = 128;
      if (y == 0 && x == 0) r = 255, g = 0, b = 0;
      if (y == 0 && x == 3) r = 0, g = 255, b = 0;
      if (y == 2 && x == 0) r = 0, g = 0, b = 255;
      if (y == 2 && x == 3) r = 255, g = 255, b = 255;
      pixels.U8(b);
      pixels.U8(g);
      pixels.U8(r);
    }
    while (pixels.data.size() - start < 12) pixels.U8(0);
  }
  Bytes file;
  file.U8('B');
  file.U8('M');
  file.U32(14 + 40 + static_cast<unsigned>(pixels.data.size()));
  file.U32(0);
  file.U32(14 + 40);
  file.Header(4, 3, 24, 0);
  file.data.insert(file.data.end(), pixels.data.begin(), pixels.data.end());
  return file.data;
}

// 16 x 16, 32 bits: orange, with the four corner pixels clear.
std::vector<std::uint8_t> SmallIcon() {
  Bytes b;
  b.Header(16, 32, 32, 0);
  auto corner = [](int x, int y) { return (x == 0 || x == 15) && (y == 0 || y == 15); };
  for (int y = 15; y >= 0; --y) {
    for (int x = 0; x < 16; ++x) {
      const bool clear = corner(x, y);
      b.U8(clear ? 0 : 0x00);
      b.U8(clear ? 0 : 0x80);
      b.U8(clear ? 0 : 0xFF);
      b.U8(clear ? 0 : 0xFF);
    }
  }
  for (int y = 15; y >= 0; --y) {
    unsigned row = 0;
    if (y == 0 || y == 15) row = 0x80010000u;  // bits of x 0 and 15 in a big-endian row
    b.U8(row >> 24);
    b.U8((row >> 16) & 0xFF);
    b.U8(0);
    b.U8(0);
  }
  return b.data;
}

// 32 x 32, 4 bits: colour 1 (purple) on the right half; the left half clear.
std::vector<std::uint8_t> LargeIcon() {
  Bytes b;
  b.Header(32, 64, 4, 16);
  for (int i = 0; i < 16; ++i) {
    if (i == 1) {
      b.U8(0x80), b.U8(0x00), b.U8(0x80), b.U8(0);
    } else {
      b.U8(0), b.U8(0), b.U8(0), b.U8(0);
    }
  }
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; x += 2) b.U8(x < 16 ? 0x00 : 0x11);
  }
  for (int y = 0; y < 32; ++y) {
    b.U8(0xFF), b.U8(0xFF), b.U8(0x00), b.U8(0x00);
  }
  return b.data;
}

std::vector<std::uint8_t> IconFile() {
  const std::vector<std::uint8_t> images[2] = {SmallIcon(), LargeIcon()};
  Bytes b;
  b.U16(0);
  b.U16(1);
  b.U16(2);
  unsigned offset = 6 + 2 * 16;
  const int sides[2] = {16, 32};
  const int depths[2] = {32, 4};
  for (int i = 0; i < 2; ++i) {
    b.U8(sides[i]);
    b.U8(sides[i]);
    b.U8(depths[i] == 4 ? 16 : 0);
    b.U8(0);
    b.U16(1);
    b.U16(depths[i]);
    b.U32(static_cast<unsigned>(images[i].size()));
    b.U32(offset);
    offset += static_cast<unsigned>(images[i].size());
  }
  for (const auto& image : images) b.data.insert(b.data.end(), image.begin(), image.end());
  return b.data;
}

// One black pixel.
std::vector<std::uint8_t> Gif() {
  return {'G',  'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0,    0, 0, 0xFF, 0xFF,
          0xFF, ',', 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 0x44, 1, 0, ';'};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pictures FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const bool ok = Save(folder + "/stripes.bmp", Stripes()) && Save(folder + "/sample.ico", IconFile()) &&
                  Save(folder + "/dot.gif", Gif());
  if (!ok) std::fprintf(stderr, "make_pictures: cannot write into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
