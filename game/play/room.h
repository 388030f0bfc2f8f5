// Room: the box of four walls, a ceiling and a floor round the table, built
// from six textures of the room's archive ("Rooms/<room>.ark": "Wall0.tga"
// to "Wall3.tga", "Floor.tga", "Ceiling.tga") and drawn whenever the scene
// is drawn in full. Each surface first tests its outline for visibility.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/model.h"
#include "pipeline/fixed_math.h"

class ssDisplay;
class ssImage;

namespace ks::play {

class Room {
 public:
  struct Surface {
    std::uint16_t quadCount = 0;
    std::uint16_t vertexCount = 0;
    ssImage* texture = nullptr;
    std::vector<ssSourceVertex> vertices;
    std::vector<ssTexQuadFace> quads;
    std::array<ssSourceVertex, 4> outline{};
    ssTexQuadFace outlineQuad{};
  };

  Room();
  ~Room();
  Room(const Room&) = delete;
  Room& operator=(const Room&) = delete;

  // Loads the six textures from "Rooms/<name>.ark" and builds the surfaces.
  // A texture that cannot be loaded leaves its surface out (it is never
  // drawn); the rest of the room is still built. Returns the number of
  // surfaces built (6 when the archive is complete).
  int LoadTextures(ssDisplay* device, int width, int depth, int height, const wchar_t* roomName);
  // Draws the surfaces whose outlines are in view.
  void Draw(int fullRedraw);
  // Releases the textures and the surfaces' vertex buffers.
  void Free();

  std::array<Surface, 6> surfaces;
  std::int32_t width = 0, depth = 0, height = 0;
  std::array<ssImage*, 6> textures{};  // walls 0-3, floor, ceiling
  Fix16 matrix[16] = {};

 private:
  void BuildWall(Surface& s, int wall, ssImage* texture);
  void BuildFlat(Surface& s, bool ceiling, ssImage* texture);
  ssDisplay* device_ = nullptr;
};

}  // namespace ks::play
