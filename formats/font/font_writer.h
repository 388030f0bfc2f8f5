// Renders ".fnt" bitmap fonts from a TrueType face through FreeType:
// characters 32 to 159 (128 to 159 as in Windows-1252) side by side in one
// strip of 8-bit coverage, with the glyph table and the font's name. Every
// glyph's cell ends with a blank column, since the game draws glyphs side
// by side without spacing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fontmake {

struct Options {
  std::string facePath;     // a .ttf file
  std::string name;         // stored in the header; the game finds fonts by it
  int pixels = 8;           // em size in pixels
  bool oldVersion = false;  // write the older 652-byte header
  // One-bit coverage with the face's full hinting, for the smallest sizes
  // where grey coverage blurs into blocks.
  bool mono = false;
};

// The file's bytes, or an empty vector with `error` set.
std::vector<std::uint8_t> Render(const Options& options, std::string& error);

// One line of text rendered from a face in grey coverage (0-255), for the
// words drawn into pictures: `width` by `height` pixels, row by row.
struct TextLine {
  int width = 0, height = 0;
  std::vector<std::uint8_t> coverage;
};
// Characters 32-126 only; empty with `error` set when the face cannot be
// used.
TextLine RenderLine(const std::string& facePath, int pixels, const std::string& text, std::string& error);

}  // namespace fontmake
