// BallSprite: draws one ball as a shaded, anti-aliased sphere straight into
// the back buffer. Pass one draws the ball's markings (number disc, stripe
// band) through the 3D pipeline into the display's 8-bit side buffer as rows
// of a shade table; pass two walks the ball's disc on the back buffer, reads
// for each pixel the row from the side buffer and a brightness from a 32 x 32
// light map, and writes the shade-table entry, blending the rim into what is
// underneath. A textured quad on the cloth under the ball is its shadow.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "display/sprite.h"
#include "engine/model.h"
#include "pipeline/fixed_math.h"

class ssDisplayS16;
class ssImage;
struct ssRasterTarget;

namespace ks::play {

inline constexpr int kShadeRows = 32;
inline constexpr int kShadeColumns = 256;
using ShadeTable = std::array<std::uint16_t, kShadeRows * kShadeColumns>;

// The colour the room loading hands each ball kind, and its placeholder
// position and radius (overwritten by the frame before anything is drawn).
struct BallLook {
  int red, green, blue;
  int x, y, radius;
};
const BallLook& BallLookOf(int kind);

// Packs 5/6/5 channel values into a device pixel: RGB444 at depth 12.
std::uint16_t PackShade(int r5, int g6, int b5, int depth);

class BallSprite {
 public:
  BallSprite();
  ~BallSprite();
  BallSprite(const BallSprite&) = delete;
  BallSprite& operator=(const BallSprite&) = delete;

  // Stores the device, the markings, shadow and light-map textures and the
  // screen bounds (the device's buffer size).
  void InitBallRaster(ssDisplayS16* device, ssImage* numbers, ssImage* shadow, ssImage* lightMap);
  // Sets the sprite up for a ball kind: colours, meshes, shade table. A
  // striped kind (9-15) shares the table of its solid twin, given here.
  void BuildBallShadeTables(int kind, int x, int y, int radius, int red, int green, int blue,
                            const BallSprite* solidTwin = nullptr);
  // Frees what the sprite owns and drops its vertex buffers from the device.
  void FreeBallRaster();

  // Called by the frame after it has handed over the screen data.
  void Draw();
  // Draw's second pass alone: the sphere walk over the marking buffer as the
  // last Draw left it (the benchmarks time the two passes apart).
  void DrawSurface();
  void DrawShadow();
  // False when the frame's scratch pool had no room: nothing was saved and
  // RestoreBackground will do nothing.
  bool SaveBackground();
  void RestoreBackground();
  // The rectangle SaveBackground copies (buffer pixels, right and bottom
  // exclusive), clamped to the screen.
  void BackgroundRect(std::int32_t out[4]) const;

  // Screen data written by the frame.
  void SetScreen(std::int32_t screenX, std::int32_t screenY, std::int32_t radius, std::int32_t depth);

  // The shade table in use (shared by a striped ball with its solid twin).
  const ShadeTable* Shades() const { return shades_.get(); }
  int Kind() const { return kind_; }

  // Integer centre and radius (pixels) and the 16.16 ones.
  std::int32_t centreX = 0, centreY = 0, radius = 0;
  Fix16 radiusF = 0, centreXF = 0, centreYF = 0;
  std::int32_t depthKey = 0;
  Fix16 ballMatrix[16] = {};
  Fix16 shadowMatrix[16] = {};
  std::uint16_t ballPixel = 0;
  std::array<std::uint8_t, 3> colour{};
  std::array<std::uint8_t, 3> colour2{};
  int screenWidth = 0, screenHeight = 0;

 private:
  // Built, with a device that has both the marking and the back buffer.
  bool HasBuffers() const;
  template <bool kRgb444>
  void DrawSphere(Fix16 r, Fix16 x, Fix16 y);
  void BuildMeshes(int kind);
  void BuildShadeTable();

  ssDisplayS16* device_ = nullptr;
  ssImage* numbers_ = nullptr;
  ssImage* shadowTexture_ = nullptr;
  ssImage* lightMap_ = nullptr;
  int kind_ = 0;
  std::shared_ptr<ShadeTable> shades_;
  void* saved_ = nullptr;           // in the frame scratch pool; not owned
  std::int32_t savedRect_[4] = {};  // where the saved copy goes back

  std::array<ssSourceVertex, 32> disc_{};
  std::array<ssTexQuadFace, 18> discQuads_{};
  std::array<ssSourceVertex, 10> small_{};
  std::array<ssTexTriangleFace, 8> smallTriangles_{};
  std::array<ssSourceVertex, 4> shadow_{};
  ssTexQuadFace shadowQuad_{};
  // Stripe band at three levels of detail: 6, 8 and 14 segments.
  std::array<ssSourceVertex, 18> band6_{};
  std::array<ssSourceVertex, 24> band8_{};
  std::array<ssSourceVertex, 42> band14_{};
  std::array<ssFlatQuadFace, 12> bandQuads6_{};
  std::array<ssFlatQuadFace, 16> bandQuads8_{};
  std::array<ssFlatQuadFace, 28> bandQuads14_{};
  bool built_ = false;
};

// The sheet of 16 ball icons the in-game text shows (frame k is ball k).
struct BallIcons {
  ssSprite sprite;
  bool loaded = false;
  const wchar_t* sheet = nullptr;  // the sheet chosen for the screen
  bool rescaled = false;
  int position = 0;  // where the icons stand: (cell height x 240) / screen height
  int anchor = 0;    // position - cell height / 2 + (6 x screen height) / 240 - 2
  int third = 0;     // position less the device's texture-stage count
};

// Loads the icon sheet for the display's size from the folder "UI" of the
// archive and cuts it into 16 frames. A sheet that cannot be loaded leaves
// `loaded` clear and no frames: nothing is drawn from it.
void LoadBallTextures(BallIcons& icons, ssDisplay* device, const wchar_t* archive);
void FreeBallTextures(BallIcons& icons);

}  // namespace ks::play
