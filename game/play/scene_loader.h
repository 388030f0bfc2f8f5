// PlayScene: everything the table view needs for one room, loaded the way
// the application's room loading does it: the textures of "UI/res.ark"
// (ball markings, light map, shadow, pockets), the room's archive
// ("Rooms/<room>.ark": walls, floor, ceiling, table and cue stick), the
// sixteen ball sprites, the camera and the frame drawing.
//
// A room archive that lacks members or holds a model this reader refuses
// still gives a scene: a missing wall, floor or ceiling texture leaves that
// surface out, a refused table model leaves the table out (the balls are
// drawn on the room alone), a refused stick model leaves the stick out.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/model.h"
#include "play/ball_sprite.h"
#include "play/room.h"
#include "play/table_model.h"
#include "play/table_scene.h"
#include "play/view.h"

class ssDisplayS16;
class ssImage;

namespace ks::play {

inline constexpr int kRoomCount = 6;
// The rooms by index; rooms below 3 have the small table.
const wchar_t* RoomName(int index);
int RoomFromName(const char* name);  // -1 when unknown

// The field of view (degrees) for a display of that size: at most 1.0
// wide for 1 high gives 21, below 1.34 gives 24, below 1.57 gives 26,
// wider again 24.
double FieldOfViewDegrees(int width, int height);
// Degrees to radians as the game converts them (slightly less than pi/180).
inline constexpr double kRadiansPerDegree = 0.017444445;

enum class CameraPreset {
  kTableEnd,  // from behind the head of the table, looking down its length
  kOverhead,  // straight down from above
  kSide,      // from the side, across the table
};

struct LoadReport {
  int roomSurfaces = 0;  // of 6
  bool table = false;    // the table model was accepted
  bool stick = false;    // the stick model was accepted
  bool ballTextures = false;
};

class PlayScene {
 public:
  PlayScene(ssDisplayS16* device, Pool* pool);
  ~PlayScene();
  PlayScene(const PlayScene&) = delete;
  PlayScene& operator=(const PlayScene&) = delete;

  // Loads room `index` (0-5) from the device's archive: "Rooms/<room>.ark"
  // and "UI/res.ark". Sets the projection for the screen.
  LoadReport LoadRoom(int index);
  void Unload();

  // Points the camera; the next frame is drawn in full.
  void SetCamera(CameraPreset preset);

  void DrawFrame() { scene.DrawFrame(); }

  View view;
  Room room;
  TableModel table;
  ssModel stick;
  std::array<BallSprite, kBallCount> sprites;
  BallIcons icons;  // for the in-game text
  TableScene scene;

 private:
  ssDisplayS16* device_;
  Pool* pool_;
  int room_ = 0;
  double fieldOfView_ = 24.0;  // degrees, as the projection was set
  ssImage* numbers_ = nullptr;
  ssImage* shadow_ = nullptr;
  ssImage* light_ = nullptr;
  ssImage* pocket_ = nullptr;
  ssImage* tableTexture_ = nullptr;
  ssImage* stickTexture_ = nullptr;
};

}  // namespace ks::play
