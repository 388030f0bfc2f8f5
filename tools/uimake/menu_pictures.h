// The menu screens' pictures, drawn procedurally at their size on the
// 220 x 176 design screen (the game scales them to the screen on loading):
// the main menu's and the other screens' backgrounds, the "Home" and "Back"
// corner buttons every screen shows, and the bill of the picture message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ark_writer.h"
#include "image_writer.h"

namespace uimake {

imgconv::Picture MainMenuBackground();
imgconv::Picture ScreenBackground();
imgconv::Picture HomeButton();
imgconv::Picture BackButton();
imgconv::Picture Bill();

// Every picture above as a TGA member under the name the screens load.
std::vector<arkpack::Member> MenuPictures();

}  // namespace uimake
