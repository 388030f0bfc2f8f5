// Renders ".fnt" bitmap fonts from a TrueType face through FreeType:
// characters 32 to 159 (128 to 159 as in Windows-1252) side by side in one
// strip of 8-bit coverage, with the glyph table and the font's name.
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
};

// The file's bytes, or an empty vector with `error` set.
std::vector<std::uint8_t> Render(const Options& options, std::string& error);

}  // namespace fontmake
