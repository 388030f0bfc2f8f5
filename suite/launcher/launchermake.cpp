// launchermake <folder>: writes the launcher bar's pictures at 96 and 192 DPI:
// the tool dialogs' header band, the scroll arrows (three frames side by side,
// magenta around them) and the icons of the settings pages, the special items
// and the news pages: a coloured tile with a letter, as ICO files holding a
// small and a large picture.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "one_path_tool.h"
#include "bmp_writer.h"

namespace {

constexpr std::uint32_t kKey = 0xFF00FF;

struct Image {
  int width;
  int height;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB, or kKey for transparent
  Image(int w, int h, std::uint32_t fill = kKey) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
  void Set(int x, int y, std::uint32_t c) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[static_cast<std::size_t>(y) * width + x] = c;
  }
  void Fill(int x, int y, int w, int h, std::uint32_t c) {
    for (int j = y; j < y + h; ++j) {
      for (int i = x; i < x + w; ++i) Set(i, j, c);
    }
  }
};

// A build tool: it writes into the build tree on the host.
bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

bool WriteBmp(const std::string& path, const Image& image) {
  return WriteFile(path, suite_test::MakeBmp24(image.width, image.height, image.pixels.data()));
}

// One 32-bit picture of an icon: a DIB of twice the height (colour rows,
// then the 1-bit mask, set where transparent).
std::string IconPicture(const Image& image) {
  std::string out;
  suite_test::PutLittleEndian(out, 40, 4);
  suite_test::PutLittleEndian(out, static_cast<std::uint32_t>(image.width), 4);
  suite_test::PutLittleEndian(out, static_cast<std::uint32_t>(image.height * 2), 4);
  suite_test::PutLittleEndian(out, 1, 2);
  suite_test::PutLittleEndian(out, 32, 2);
  for (int i = 0; i < 6; ++i) suite_test::PutLittleEndian(out, 0, 4);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t c = image.pixels[static_cast<std::size_t>(y) * image.width + x];
      suite_test::PutLittleEndian(out, c == kKey ? 0u : (0xFF000000u | c), 4);
    }
  }
  const int maskStride = ((image.width + 31) / 32) * 4;
  for (int y = image.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(maskStride), 0);
    for (int x = 0; x < image.width; ++x) {
      if (image.pixels[static_cast<std::size_t>(y) * image.width + x] == kKey) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    out.append(row.begin(), row.end());
  }
  return out;
}

bool WriteIco(const std::string& path, const std::vector<Image>& images) {
  std::string out;
  suite_test::PutLittleEndian(out, 0, 2);
  suite_test::PutLittleEndian(out, 1, 2);
  suite_test::PutLittleEndian(out, static_cast<std::uint32_t>(images.size()), 2);
  std::vector<std::string> pictures;
  for (const Image& image : images) pictures.push_back(IconPicture(image));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.push_back(static_cast<char>(images[i].width));
    out.push_back(static_cast<char>(images[i].height));
    out.push_back(0);
    out.push_back(0);
    suite_test::PutLittleEndian(out, 1, 2);
    suite_test::PutLittleEndian(out, 32, 2);
    suite_test::PutLittleEndian(out, static_cast<std::uint32_t>(pictures[i].size()), 4);
    suite_test::PutLittleEndian(out, offset, 4);
    offset += static_cast<std::uint32_t>(pictures[i].size());
  }
  for (const std::string& picture : pictures) out += picture;
  return WriteFile(path, out);
}

// Letters on a 5 x 5 grid, a row a string.
struct Glyph {
  char letter;
  const char* rows[5];
};
constexpr Glyph kGlyphs[] = {
    {'A', {".###.", "#...#", "#####", "#...#", "#...#"}}, {'C', {".####", "#....", "#....", "#....", ".####"}},
    {'D', {"####.", "#...#", "#...#", "#...#", "####."}}, {'H', {"#...#", "#...#", "#####", "#...#", "#...#"}},
    {'I', {"#####", "..#..", "..#..", "..#..", "#####"}}, {'J', {"..###", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "###..", "#..#.", "#...#"}}, {'L', {"#....", "#....", "#....", "#....", "#####"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#"}}, {'O', {".###.", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "####.", "#....", "#...."}}, {'R', {"####.", "#...#", "####.", "#..#.", "#...#"}},
    {'S', {".####", "#....", ".###.", "....#", "####."}}, {'T', {"#####", "..#..", "..#..", "..#..", "..#.."}},
    {'W', {"#...#", "#...#", "#.#.#", "##.##", "#...#"}},
};

const Glyph* FindGlyph(char letter) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.letter == letter) return &glyph;
  }
  return nullptr;
}

// A tile of `size` pixels: a rounded square in `colour` with a white letter.
Image Tile(int size, std::uint32_t colour, char letter) {
  Image image(size, size);
  const int inset = size / 16;
  image.Fill(inset, inset, size - 2 * inset, size - 2 * inset, colour);
  // Round the corners off.
  for (int cx : {inset, size - inset - 1}) {
    for (int cy : {inset, size - inset - 1}) image.Set(cx, cy, kKey);
  }
  const Glyph* glyph = FindGlyph(letter);
  if (glyph == nullptr) return image;
  const int cell = (size - 4 * inset) / 6;
  const int origin = (size - 5 * cell) / 2;
  for (int row = 0; row < 5; ++row) {
    for (int column = 0; column < 5; ++column) {
      if (glyph->rows[row][column] == '#')
        image.Fill(origin + column * cell, origin + row * cell, cell, cell, 0xFFFFFF);
    }
  }
  return image;
}

// The tool dialogs' header: a band shading from deep to light blue with a
// thin light rule at its foot.
Image Header(int scale) {
  const int width = 240 * scale;
  const int height = 30 * scale;
  Image image(width, height);
  for (int x = 0; x < width; ++x) {
    const int t = x * 255 / (width - 1);
    const std::uint32_t r = static_cast<std::uint32_t>(0x20 + (0x70 - 0x20) * t / 255);
    const std::uint32_t g = static_cast<std::uint32_t>(0x48 + (0xA0 - 0x48) * t / 255);
    const std::uint32_t b = static_cast<std::uint32_t>(0x98 + (0xE0 - 0x98) * t / 255);
    for (int y = 0; y < height; ++y) image.Set(x, y, (r << 16) | (g << 8) | b);
  }
  image.Fill(0, height - scale, width, scale, 0xD8E4F4);
  return image;
}

// Three frames of an arrow (normal, pressed, unavailable) side by side.
Image Arrow(int scale, bool down) {
  const int frameWidth = 14 * scale;
  const int height = 16 * scale;
  Image image(frameWidth * 3, height);
  const std::uint32_t colours[3] = {0x304870, 0x2860B0, 0xA0A8B4};
  for (int frame = 0; frame < 3; ++frame) {
    const int left = frame * frameWidth;
    const int rows = 6 * scale;
    const int top = (height - rows) / 2;
    for (int row = 0; row < rows; ++row) {
      // Widest at the top for down, at the bottom for up.
      const int half = (down ? rows - row : row + 1) * (frameWidth / 2 - scale) / rows;
      const int centre = left + frameWidth / 2;
      image.Fill(centre - half, top + row, 2 * half, 1, colours[frame]);
    }
  }
  return image;
}

struct IconLook {
  int id;
  std::uint32_t colour;
  char letter;
};

constexpr IconLook kIcons[] = {
    {210, 0x3870C0, 'S'}, {214, 0x2C8A5A, 'H'}, {213, 0x5A6A80, 'I'}, {219, 0x8A5AB0, 'A'},
    {217, 0x2A8AA0, 'D'}, {216, 0xC07030, 'T'}, {218, 0x607890, 'R'}, {205, 0xB08A20, 'P'},
    {203, 0xA04040, 'L'}, {240, 0x3A9A6A, 'K'}, {247, 0xC05A8A, 'C'}, {242, 0x404850, 'O'},
    {168, 0x5060B0, 'J'}, {28, 0xC06030, 'C'},  {30, 0x3080A0, 'P'},  {31, 0x50A040, 'T'},
};

constexpr const char* kUsage =
    "usage: launchermake <output folder>\n"
    "  writes the launcher bar's pictures and icons at 96 and 192 DPI into the folder\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  const std::string folder = argv[1];
  bool ok = WriteBmp(folder + "/header.bmp", Header(1)) && WriteBmp(folder + "/header_192.bmp", Header(2)) &&
            WriteBmp(folder + "/scroll_down.bmp", Arrow(1, true)) &&
            WriteBmp(folder + "/scroll_up.bmp", Arrow(1, false)) &&
            WriteBmp(folder + "/scroll_down_192.bmp", Arrow(2, true)) &&
            WriteBmp(folder + "/scroll_up_192.bmp", Arrow(2, false));
  for (const IconLook& icon : kIcons) {
    ok = ok && WriteIco(folder + "/icon_" + std::to_string(icon.id) + ".ico",
                        {Tile(16, icon.colour, icon.letter), Tile(32, icon.colour, icon.letter)});
  }
  // The news pages share one look, with a shade a page.
  for (int page = 0; page < 18; ++page) {
    const std::uint32_t shade = static_cast<std::uint32_t>(0x30 + page * 6);
    ok = ok && WriteIco(folder + "/icon_" + std::to_string(32 + page) + ".ico",
                        {Tile(16, (0xA0u << 16) | (shade << 8) | 0x30, 'N'),
                         Tile(32, (0xA0u << 16) | (shade << 8) | 0x30, 'N')});
  }
  if (!ok) {
    std::fprintf(stderr, "launchermake: could not write the pictures into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
