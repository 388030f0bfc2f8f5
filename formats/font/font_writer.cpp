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
// The least coverage the game's drawer puts on screen (it drops the low
// three bits).
constexpr std::uint8_t kVisible = 8;

// Characters 128-159 as Windows-1252 has them; 0 where it has none.
constexpr std::uint32_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::uint32_t CodePoint(int c) {
  if (c >= 128) return kHigh[c - 128];
  return c == 127 ? 0 : static_cast<std::uint32_t>(c);
}

// A rendered glyph: its coverage, 0 to 255, and where it lies from the pen
// (left) and the baseline (top, upwards).
struct Bitmap {
  int left = 0, top = 0;
  int width = 0, rows = 0;
  int advance = 0;  // whole pixels
  std::vector<std::uint8_t> coverage;
  std::uint8_t at(int x, int y) const { return coverage[static_cast<std::size_t>(y) * width + x]; }
};

// Loads and renders one glyph; false when FreeType cannot.
bool RenderGlyph(FT_Face face, std::uint32_t cp, FT_Int32 load, FT_Render_Mode mode, Bitmap& out) {
  if (FT_Load_Char(face, cp, load) != 0 || FT_Render_Glyph(face->glyph, mode) != 0) return false;
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  const bool bits = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  if (!bits && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
  out.left = slot->bitmap_left;
  out.top = slot->bitmap_top;
  out.width = static_cast<int>(bitmap.width);
  out.rows = static_cast<int>(bitmap.rows);
  out.advance = std::max(1, static_cast<int>((slot->advance.x + 32) >> 6));
  out.coverage.assign(static_cast<std::size_t>(out.width) * out.rows, 0);
  for (int r = 0; r < out.rows; ++r) {
    const std::uint8_t* row = bitmap.buffer + static_cast<std::ptrdiff_t>(r) * bitmap.pitch;
    for (int x = 0; x < out.width; ++x) {
      out.coverage[static_cast<std::size_t>(r) * out.width + x] =
          bits ? static_cast<std::uint8_t>(((row[x >> 3] >> (7 - (x & 7))) & 1) * 255) : row[x];
    }
  }
  return true;
}

// A glyph's cell: `width` columns of the font's height, pen at column 0.
struct Glyph {
  int width = 0;
  std::vector<std::uint8_t> cell;
};

// Coverage a one-bit glyph still lacks: a dot smaller than a pixel (the
// dots of ':' and '.' at 7 pixels) falls between pixel centres and vanishes
// from the one-bit rendering. Grey pixels of at least this coverage with no
// ink round them are set.
constexpr std::uint8_t kDropout = 48;

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
  // Cells are laid out from the pen; a glyph reaching left of it (bitmap
  // left below 0) is moved right, as wide as the face allows.
  constexpr int kMaxCell = 1024;
  std::vector<Glyph> glyphs(kCount);
  for (int c = kFirst; c <= kLast; ++c) {
    Glyph& g = glyphs[static_cast<std::size_t>(c - kFirst)];
    const std::uint32_t cp = CodePoint(c);
    if (cp == 0 || FT_Get_Char_Index(face, cp) == 0) continue;
    // One-bit glyphs are fitted to the pixel grid by FreeType's own
    // hinter, stems and heights snapped to whole pixels: at these sizes the
    // face's own instructions merge the x-height strokes. Grey glyphs take
    // the light hinting, which keeps their shapes.
    Bitmap main, grey;
    if (options.mono) {
      const FT_Int32 load = FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_MONO;
      if (!RenderGlyph(face, cp, load, FT_RENDER_MODE_MONO, main) ||
          !RenderGlyph(face, cp, load, FT_RENDER_MODE_NORMAL, grey)) {
        continue;
      }
    } else if (!RenderGlyph(face, cp, FT_LOAD_TARGET_LIGHT, FT_RENDER_MODE_NORMAL, main)) {
      continue;
    }
    const int shift = std::max(0, -main.left);
    const int span = std::max({main.advance, shift + main.left + main.width, shift + grey.left + grey.width}) + 1;
    if (span > kMaxCell) continue;
    std::vector<std::uint8_t> cell(static_cast<std::size_t>(span) * height, 0);
    auto paint = [&](int x, int y) -> std::uint8_t& { return cell[static_cast<std::size_t>(y) * span + x]; };
    auto inside = [&](int x, int y) { return x >= 0 && x < span && y >= 0 && y < height; };
    for (int r = 0; r < main.rows; ++r) {
      for (int x = 0; x < main.width; ++x) {
        const int cx = shift + main.left + x, cy = ascender - main.top + r;
        if (inside(cx, cy)) paint(cx, cy) = main.at(x, r);
      }
    }
    if (options.mono) {
      for (int r = 0; r < grey.rows; ++r) {
        for (int x = 0; x < grey.width; ++x) {
          const int cx = shift + grey.left + x, cy = ascender - grey.top + r;
          if (!inside(cx, cy) || grey.at(x, r) < kDropout) continue;
          bool inked = false;
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx)
              inked = inked || (inside(cx + dx, cy + dy) && paint(cx + dx, cy + dy) != 0);
          }
          if (!inked) paint(cx, cy) = 255;
        }
      }
    }
    // Glyphs are drawn side by side with no spacing: each cell keeps at
    // least one blank column after its ink (and takes any overhang), so
    // narrow letters never run into the next.
    int inkRight = -1;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < span; ++x) {
        if (paint(x, y) >= kVisible) inkRight = std::max(inkRight, x);
      }
    }
    g.width = std::max(main.advance, inkRight + 2);
    g.cell.assign(static_cast<std::size_t>(g.width) * height, 0);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < std::min(g.width, span); ++x) g.cell[static_cast<std::size_t>(y) * g.width + x] = paint(x, y);
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
    for (int y = 0; y < height && !g.cell.empty(); ++y) {
      std::memcpy(strip.data() + static_cast<std::size_t>(y) * stripWidth + column,
                  g.cell.data() + static_cast<std::size_t>(y) * g.width, static_cast<std::size_t>(g.width));
    }
    column += g.width;
  }
  out.insert(out.end(), strip.begin(), strip.end());
  return out;
}

TextLine RenderLine(const std::string& facePath, int pixels, const std::string& text, std::string& error) {
  TextLine line;
  if (pixels < 4 || pixels > 200) {
    error = "the size must be 4 to 200 pixels";
    return line;
  }
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) {
    error = "FreeType cannot start";
    return line;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(library, facePath.c_str(), 0, &face) != 0) {
    FT_Done_FreeType(library);
    error = "cannot open the face " + facePath;
    return line;
  }
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
  const int ascender = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  const int descender = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
  // The glyphs first, with where each lies along the line.
  struct Placed {
    Bitmap bitmap;
    int x;
  };
  std::vector<Placed> glyphs;
  int pen = 0, left = 0, right = 0;
  for (const char c : text) {
    if (c < 32 || c > 126) continue;
    Bitmap b;
    if (!RenderGlyph(face, static_cast<std::uint32_t>(c), FT_LOAD_TARGET_LIGHT, FT_RENDER_MODE_NORMAL, b)) continue;
    left = std::min(left, pen + b.left);
    right = std::max({right, pen + b.advance, pen + b.left + b.width});
    glyphs.push_back(Placed{std::move(b), pen});
    pen += glyphs.back().bitmap.advance;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  line.width = right - left;
  line.height = ascender + descender;
  line.coverage.assign(static_cast<std::size_t>(line.width) * line.height, 0);
  for (const Placed& g : glyphs) {
    for (int r = 0; r < g.bitmap.rows; ++r) {
      for (int x = 0; x < g.bitmap.width; ++x) {
        const int cx = g.x + g.bitmap.left + x - left, cy = ascender - g.bitmap.top + r;
        if (cx < 0 || cy < 0 || cx >= line.width || cy >= line.height) continue;
        std::uint8_t& out = line.coverage[static_cast<std::size_t>(cy) * line.width + cx];
        out = std::max(out, g.bitmap.at(x, r));
      }
    }
  }
  return line;
}

}  // namespace fontmake
