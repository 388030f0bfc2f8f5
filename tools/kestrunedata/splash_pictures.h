// The pictures the game shows before its menus, drawn here: "Orvane.tga"
// (the maker's splash) and "Copyright.tga", portrait 240 x 320, with block
// letters of a built-in 5 x 7 alphabet.
#pragma once

#include <vector>

#include "ark_writer.h"
#include "image_writer.h"

namespace kestrunedata {

std::vector<arkpack::Member> SplashPictures();

// For tests: draws `text` at (x, y) with letters `scale` pixels a dot.
void DrawText(imgconv::Picture& picture, int x, int y, int scale, const char* text, std::uint32_t rgb);

}  // namespace kestrunedata
