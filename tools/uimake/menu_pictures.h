// The menu screens' pictures, drawn procedurally at their size on the
// 220 x 176 design screen (the game scales them to the screen on loading):
// the main menu's and the other screens' backgrounds, the "Home" and "Back"
// corner buttons every screen shows, and the bill of the picture message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ark_writer.h"
#include "font_writer.h"
#include "image_writer.h"

namespace uimake {

imgconv::Picture MainMenuBackground();
imgconv::Picture ScreenBackground();
imgconv::Picture HomeButton();
imgconv::Picture BackButton();
imgconv::Picture Bill();
// The career map: its backdrop, a small picture per room, the lock over a
// room not yet reached, the focus glow and each room's large picture.
imgconv::Picture CareerMap();
imgconv::Picture RoomIcon(int room);
imgconv::Picture LockedRoom();
imgconv::Picture Glow();
imgconv::Picture RoomPicture(int room);
// The device's keypad under the key map screen's labels.
imgconv::Picture Keypad();
// A head-and-shoulders portrait, its colours chosen by the seed.
imgconv::Picture Portrait(std::uint32_t seed);

// Every picture above as a TGA member under the name the screens load.
std::vector<arkpack::Member> MenuPictures();

// The rules picture of a game type in menu order (0 6-Ball ... 5 Straight):
// the game's rack seen from above under its name, the ball the game is won
// on ringed. `name` is the name rendered in the words' face.
imgconv::Picture RulesPicture(int game, const fontmake::TextLine& name);
// The six as TGA members ("6ball.tga" ... "straight.tga"), their names in
// the face at `facePath`; empty with `error` set when it cannot be used.
std::vector<arkpack::Member> RulesPictures(const std::string& facePath, std::string& error);

}  // namespace uimake
