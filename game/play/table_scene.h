// TableScene: draws the table scene, frame by frame, into the display's back
// buffer: the room (or black), the table, the balls' shadows, the balls and
// the six rail parts in depth order, and the cue stick. It is the home of
// the frame drawing's lists (rail records, ball order, stick area) that the
// table state leaves to the view, and the Pool's frame hook reaches it
// through the observer interface, so the simulation never depends on it.
//
// A full frame draws everything; an incremental frame, when the view has not
// changed, puts back the areas under the previous frame's balls and stick
// and draws only the balls and the stick again, copying the rails over the
// balls from the kept picture of the room and the table where a mask says
// they are on top. Both give the same pixels.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "play/ball_sprite.h"
#include "simulation/table.h"

class ssDisplayS16;
class ssModel;

namespace ks::play {

class Room;
class TableModel;
class View;

struct RailRecord {
  std::int64_t depthKey = 0;
  Fix16 plane = 0;
  std::array<Fix30, 2> cornerA{};
  Fix16 limitA = 0;
  std::array<Fix30, 2> cornerB{};
  Fix16 limitB = 0;
  std::int32_t axis = 0;  // 2: an end rail (across z); 0: a side rail half (across x)
  std::int16_t modelPart = 0;
  std::int16_t facing = 0;
  std::int16_t ballsAfter = 0;
};

struct BallDrawEntry {
  std::int64_t depthKey = 0;
  Fix16 radius = 0;
  Fix16 screenX = 0, screenY = 0;
  std::int32_t depth = 0;
  const BallState* ball = nullptr;
  std::int32_t number = 0;
};

// What the application keeps for the frame: its flags and frame counter.
struct SceneHost {
  bool inPlay = true;
  bool stickShown = false;
  bool roomGraphics = true;
  bool previousFull = false;
  // How far behind the cue ball's centre, along the cue, the stick's tip
  // stands (radii, 16.16): 2.0 at rest, more while a stroke pulls it back.
  // It never comes nearer than the point the tip meets on the ball.
  std::int32_t stickClearance = 0x20000;
  std::uint32_t windowStart = 0, frameCount = 0, rateWord = 0;
  std::function<std::uint32_t()> clock;  // milliseconds; none: 0
};

class TableScene final : public TableObserver {
 public:
  TableScene(ssDisplayS16* device, Pool* pool, View* view);
  ~TableScene() override;
  TableScene(const TableScene&) = delete;
  TableScene& operator=(const TableScene&) = delete;

  void SetRoom(Room* room) {
    room_ = room;
    backgroundValid_ = false;
    backgroundComplete_ = false;
  }
  void SetTable(TableModel* table) {
    table_ = table;
    backgroundValid_ = false;
    backgroundComplete_ = false;
  }
  // The cue stick model; the quads of its grip and tip that the pen is
  // tested against are taken from it here, with their vertex buffers.
  void SetStick(ssModel* stick);
  void SetSprites(std::array<BallSprite, kBallCount>* sprites) { sprites_ = sprites; }
  // The projected ball radius is radiusScale / depth pixels: the focal length.
  void SetRadiusScale(std::int32_t scale) { radiusScale_ = scale; }

  // Fills the rail records from the table geometry; once per room.
  void InitDrawLists();
  void InitRailRecords();

  // Draws one frame (the Pool's frame hook lands here too).
  void DrawFrame() override;

  // The steps of a frame, public for the tests.
  bool ProjectPoint(const FixVec3& point, Fix16* sx, Fix16* sy, Fix16* depth, std::int64_t* key, const Fix16* m) const;
  void BuildBallDrawList();
  void SortBallDrawList();
  void ClassifyRails();
  void SortRailsByDepth();
  int BallBehindRail(const BallDrawEntry& entry, const RailRecord& rail) const;
  void CountBallsAfterRails();
  void SortRailsByCount();
  void DrawBallsAndRails(bool onlyOverBalls);
  void DrawDepthOrdered();
  void SetBallMatrix(const BallState& ball, Fix16* out) const;
  void PlaceStick();
  // Keeps the back buffer under the stick as placed now (its box) and puts
  // it back: a frame where only the stick moves draws nothing else.
  void SaveStickArea(const std::int32_t box[4]);
  void RestoreStickArea();
  // The box (buffer pixels, right and bottom exclusive, within the screen)
  // that holds every pixel the stick as placed now draws; the whole screen
  // when part of it is behind the eye. False without a stick.
  bool StickBox(std::int32_t out[4]);
  // The outline on the screen (logical pixels) of the quad through the
  // stick's axis from the shaft to the butt, the stick placed as aimed now;
  // the number of points, 0 without a stick or off the screen.
  int GripOutline(std::int32_t* points, int capacity);
  // The same for the quad through the stick's tip.
  int TipOutline(std::int32_t* points, int capacity);
  // Where the last frame drew ball `ball`, in logical pixels (the screen
  // as the player holds it); false when it was not drawn.
  bool BallScreenPoint(int ball, int* x, int* y) const;
  // Pushes a rectangle of buffer pixels as the device's clip rectangle.
  void PushBufferClip(const std::int32_t r[4]);

  SceneHost host;
  // Draw a full frame next, whatever the view says.
  void ForceFull() { forceFull_ = true; }
  // The areas drawn over the scene after each full frame (the in-game
  // text), in buffer pixels. A frame that would put back or draw over one
  // of them draws everything instead, after which they are drawn again.
  void SetOverlays(const std::array<std::int32_t, 4>* areas, int count);
  // Puts back what the last full frame drew under the overlays, so that they
  // can be drawn again alone (their texts changed, nothing under them did).
  // False, with nothing put back, when the areas are not those of that
  // frame: a full frame is needed then.
  bool RestoreOverlays(const std::array<std::int32_t, 4>* areas, int count);
  // A full frame keeps the picture of the room and the table (the rails
  // included) and, while the camera, the screen and the rails' order stay
  // as they were, copies it back instead of drawing them again. Off, every
  // full frame draws them. Either way, while the camera stands still, the
  // rails over the balls are copied from the picture where they are on top.
  bool keepBackground = true;
  // Full frames that copied the kept picture.
  int BackgroundCopies() const { return backgroundCopies_; }

  int BallCount() const { return ballCount_; }
  const std::array<BallDrawEntry*, kBallCount>& BallOrder() const { return ballOrder_; }
  const std::array<RailRecord*, 6>& RailOrder() const { return railOrder_; }
  const std::array<RailRecord, 6>& Rails() const { return rails_; }
  FixVec2 ViewPosition() const { return viewPosition_; }
  void SetViewPosition(FixVec2 p) { viewPosition_ = p; }
  std::array<BallDrawEntry, kBallCount>& Entries() { return entries_; }
  void SetBallCount(int n) { ballCount_ = n; }
  bool LastFrameFull() const { return lastFull_; }
  // False when the last frame found nothing changed since the one before
  // (the camera, the balls and the stick as they were) and so drew nothing:
  // the back buffer still holds that picture and need not be shown again.
  bool LastFrameDrew() const { return lastDrew_; }

  Fix16 nearLimit = 0x20000;
  std::int32_t verticalFactor = 0x10000;
  std::int32_t rightLimit = 0, bottomLimit = 0;

 private:
  void HandScreenData(const BallDrawEntry& e);
  // What the ball draws this frame, its disc and its shadow, in buffer
  // pixels (right and bottom exclusive, within the screen).
  void BallArea(const BallDrawEntry& e, std::array<std::int32_t, 4>& out) const;
  // Marks the balls to draw again on an incremental frame: those that moved,
  // turned, came or went, and those whose areas meet theirs.
  void FindChangedBalls();
  void ClusterChangedAreas();

  // What the room and table's picture depends on besides the models.
  struct BackgroundKey {
    std::array<Fix16, 16> view{}, projection{};
    std::int32_t width = 0, height = 0, rotate = 0, depth = 0;
    std::array<std::int16_t, 6> rails{};
    bool room = false;
    bool operator==(const BackgroundKey&) const = default;
  };
  BackgroundKey MakeBackgroundKey() const;
  // Draws the room and the table without its rails into the back buffer.
  void DrawBackground(const Fix16* identity);
  // Draws the rails, in the frame's order, onto the kept picture and makes
  // the rail mask, once after each drawing of the picture; the back buffer
  // is left as it was.
  void CompleteBackground();
  // Finds, for every pixel of the kept picture, the rail drawn last there
  // (its place in the drawing order), by drawing each rail over two
  // different fills: the pixels a rail writes come out the same over both.
  // The back buffer is left as it was.
  void BuildRailMask();
  // Copies the kept picture's rectangle (left, top, right, bottom; buffer
  // pixels, within the screen) into the back buffer.
  void PutBackFromPicture(const std::array<std::int32_t, 4>& r);
  // Puts the pixels of the rail at `order` back over the areas of the balls
  // drawn this frame, from the kept picture, where that rail is on top.
  void CopyRailOverBalls(int order);

  ssDisplayS16* device_;
  Pool* pool_;
  std::vector<std::uint16_t> background_;
  BackgroundKey backgroundKey_{};
  // The picture as drawn, without its rails (background_ is it with the
  // rails): a change of the rails' order alone puts the rails on again
  // rather than drawing everything.
  std::vector<std::uint16_t> bare_;
  BackgroundKey bareKey_{};
  bool backgroundValid_ = false;
  int backgroundCopies_ = 0;
  // Per pixel of the kept picture: 1 + the drawing-order place of the rail
  // on top there, 0 for none; each place's bounds (buffer pixels, right and
  // bottom exclusive; empty when the rail shows nowhere).
  std::vector<std::uint8_t> railMask_;
  std::array<std::array<std::int32_t, 4>, 6> railMaskBox_{};
  // The kept picture has its rails and the mask is made.
  bool backgroundComplete_ = false;
  std::vector<std::uint16_t> maskScratch_, maskKept_;
  View* view_;
  Room* room_ = nullptr;
  TableModel* table_ = nullptr;
  ssModel* stick_ = nullptr;
  int StickOutline(const std::array<ssSourceVertex, 4>& quad, std::int32_t* points, int capacity);
  std::array<ssSourceVertex, 4> gripQuad_{}, tipQuad_{};
  bool stickQuads_ = false;
  std::array<BallSprite, kBallCount>* sprites_ = nullptr;
  std::int32_t radiusScale_ = 1024;

  std::array<RailRecord, 6> rails_{};
  std::array<RailRecord*, 6> railOrder_{};
  std::array<BallDrawEntry, kBallCount> entries_{};
  std::array<BallDrawEntry*, kBallCount> ballOrder_{};
  int ballCount_ = 0;
  std::array<int, kBallCount> previous_{};  // ball numbers drawn last frame
  int previousCount_ = 0;
  FixVec2 viewPosition_{};
  // What lay under the stick last drawn, in its box; made with the scene
  // for the whole screen, so that drawing never allocates.
  std::vector<std::uint16_t> stickPixels_;
  std::array<std::int32_t, 4> stickBox_{};
  bool stickSaved_ = false;
  // The stick's matrix when it was drawn into that box.
  std::array<Fix16, 16> stickDrawnAt_{};
  // Whether the stick shown (or not) as placed now is the one the back
  // buffer holds, in the same box.
  bool StickAsDrawn(bool shown, const std::int32_t box[4]) const;
  std::array<std::array<std::int32_t, 4>, 4> overlays_{};
  int overlayCount_ = 0;
  // The pixels under the overlays as the last full frame left them.
  std::vector<std::uint16_t> overlayPixels_;
  std::array<std::array<std::int32_t, 4>, 4> overlaysKept_{};
  int overlaysKeptCount_ = 0;
  void KeepOverlays();
  bool MeetsOverlay(const std::array<std::int32_t, 4>& r) const;
  // An incremental frame would disturb an overlay: balls drawn again where
  // one lies, or the stick's area (as it was, or as it is to be).
  bool OverlayDisturbed(const std::int32_t* newStick) const;
  bool StickDisturbsOverlay(const std::int32_t* newStick) const;
  // The stick model's bounds in its own space.
  FixVec3 stickLow_, stickHigh_;
  bool forceFull_ = true;
  bool lastFull_ = false;
  bool lastDrew_ = false;
  // Per ball: drawn last frame, its screen data and turn then, drawn again
  // this frame, and its area this frame.
  struct Shown {
    bool listed = false;
    Fix16 x = 0, y = 0, radius = 0;
    std::array<Fix16, 9> turn{};
  };
  std::array<Shown, kBallCount> shown_{};
  std::array<bool, kBallCount> changed_{};
  std::array<bool, kBallCount> listedNow_{};
  std::array<std::array<std::int32_t, 4>, kBallCount> rectNow_{};
  std::array<std::array<std::int32_t, 4>, kBallCount> rectBefore_{};
  std::array<FixVec2, kBallCount> areaAt_{};  // where each ball stood when its area was found
  std::array<Fix16, 16> areaView_{};          // and the camera then
  std::array<std::int32_t, 3> areaSize_{};
  std::array<std::array<std::int32_t, 4>, kBallCount> clusters_{};
  int clusterCount_ = 0;
  int changedCount_ = 0;

 public:
  // Balls drawn again by the last frame.
  int ChangedCount() const { return changedCount_; }
};

}  // namespace ks::play
