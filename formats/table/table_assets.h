// The table scene's assets, made procedurally: the table model in its small
// and large sizes (laid out as the table reader expects), the cue stick, the
// table, stick, ball, pocket and room textures, the ball icon sheets, and the
// archives that carry them ("Rooms/<room>.ark" and "UI/res.ark").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ark_writer.h"
#include "image_writer.h"
#include "kso_writer.h"

namespace tablemake {

// The rooms the game lists, in its order; rooms below index 3 have the
// small table.
inline constexpr int kRoomCount = 6;
extern const char* const kRoomNames[kRoomCount];

// Half extents of the cushion lines in ball radii.
struct TableSize {
  double hx = 16.0;
  double hz = 32.0;
};
TableSize SmallTable();
TableSize LargeTable();

ksomake::Model TableModel(const TableSize& size);
ksomake::Model StickModel();

// Pictures: RGBA; single-channel textures carry their value in red, green
// and blue alike.
imgconv::Picture TableTexture(int room);
imgconv::Picture StickTexture();
imgconv::Picture NumbersTexture();
imgconv::Picture BallLightMap();
imgconv::Picture BallShadow();
imgconv::Picture PocketMap();
imgconv::Picture WallTexture(int room, int wall);
imgconv::Picture FloorTexture(int room);
imgconv::Picture CeilingTexture(int room);
imgconv::Picture BallIcons(int side);

// Archive members, ready for arkpack::BuildArchive.
std::vector<arkpack::Member> RoomMembers(int room);
std::vector<arkpack::Member> UiMembers();

}  // namespace tablemake
