#include "font_writer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>

namespace fontmake {

namespace {

constexpr int kFirst = 32;
constexpr int kLast = 159;
constexpr int kCount = kLast - kFirst + 1;

// Characters 128-159 as Windows-1252 has them; 0 where it has none.
constexpr std::uint32_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::uint32_t CodePoint(int c) {
  if (c >= 128) return kHigh[c - 128];
  return c == 127 ? 0 : static_cast<std::uint32_t>(c);
}

struct Glyph {
  int width = 0;
  int left = 0, top = 0;  // bitmap placement in the cell
  int bitmapWidth = 0, bitmapRows = 0;
  std::vector<std::uint8_t> coverage;
};

void Put16(std::vector<std::uint8_t>& out, std::size_t at, int v) {
  out[at] = static_cast<std::uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

std::vector<std::uint8_t> Render(const Options& options, std::string& error) {
  if (options.name.empty() || options.name.size() >= 128) {
    error = "the name must have 1 to 127 characters";
    return {};
  }
  if (options.pixels < 4 || options.pixels > 200) {
    error = "the size must be 4 to 200 pixels";
    return {};
  }
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) {
    error = "FreeType cannot start";
    return {};
  }
  FT_Face face = nullptr;
  if (FT_New_Face(library, options.facePath.c_str(), 0, &face) != 0) {
    FT_Done_FreeType(library);
    error = "cannot open the face " + options.facePath;
    return {};
  }
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(options.pixels));
  const int ascender = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  const int descender = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
  const int height = ascender + descender;
  std::vector<Glyph> glyphs(kCount);
  for (int c = kFirst; c <= kLast; ++c) {
    Glyph& g = glyphs[static_cast<std::size_t>(c - kFirst)];
    const std::uint32_t cp = CodePoint(c);
    if (cp == 0 || FT_Get_Char_Index(face, cp) == 0) continue;
    if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) continue;
    const FT_GlyphSlot slot = face->glyph;
    g.width = std::max(1, static_cast<int>((slot->advance.x + 32) >> 6));
    g.left = std::max(0, slot->bitmap_left);
    g.top = ascender - slot->bitmap_top;
    g.bitmapWidth = static_cast<int>(slot->bitmap.width);
    g.bitmapRows = static_cast<int>(slot->bitmap.rows);
    // The ink may pass the advance (italic overhang): widen the cell.
    g.width = std::max(g.width, g.left + g.bitmapWidth);
    g.coverage.resize(static_cast<std::size_t>(g.bitmapWidth) * g.bitmapRows);
    for (int r = 0; r < g.bitmapRows; ++r) {
      std::memcpy(g.coverage.data() + static_cast<std::size_t>(r) * g.bitmapWidth,
                  slot->bitmap.buffer + static_cast<std::ptrdiff_t>(r) * slot->bitmap.pitch,
                  static_cast<std::size_t>(g.bitmapWidth));
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  int stripWidth = 0;
  for (const Glyph& g : glyphs) stripWidth += g.width;
  if (stripWidth > 0xFFFF || height <= 0 || height > 0xFFFF) {
    error = "the strip does not fit the format";
    return {};
  }
  const std::size_t headerSize = options.oldVersion ? 652 : 1172;
  std::vector<std::uint8_t> out(headerSize, 0);
  const std::size_t nameAt = options.oldVersion ? 0 : 4;
  const std::size_t wordsAt = options.oldVersion ? 128 : 132;
  const std::size_t tableAt = options.oldVersion ? 138 : 142;
  const std::size_t tableEntries = options.oldVersion ? 127 : 256;
  if (!options.oldVersion) Put16(out, 0, 257);
  std::memcpy(out.data() + nameAt, options.name.data(), options.name.size());
  Put16(out, wordsAt, kCount);
  Put16(out, wordsAt + 2, ascender);
  Put16(out, wordsAt + 4, height);
  Put16(out, wordsAt + 6, stripWidth);
  Put16(out, wordsAt + 8, options.pixels);
  std::vector<std::uint8_t> strip(static_cast<std::size_t>(stripWidth) * height, 0);
  int column = 0;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    const Glyph& g = glyphs[i];
    if (i < tableEntries) {
      Put16(out, tableAt + i * 4, column);
      Put16(out, tableAt + i * 4 + 2, g.width);
    }
    for (int r = 0; r < g.bitmapRows; ++r) {
      const int y = g.top + r;
      if (y < 0 || y >= height) continue;
      for (int x = 0; x < g.bitmapWidth && g.left + x < g.width; ++x) {
        strip[static_cast<std::size_t>(y) * stripWidth + column + g.left + x] =
            g.coverage[static_cast<std::size_t>(r) * g.bitmapWidth + x];
      }
    }
    column += g.width;
  }
  out.insert(out.end(), strip.begin(), strip.end());
  return out;
}

}  // namespace fontmake
