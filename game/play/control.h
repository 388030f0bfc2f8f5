// Control: the play controller. While a game is on the table the host hands
// it every input event and every timer tick; it decides which input mode is
// active, starts and ends shots, applies the rules and chooses whose turn
// follows. It owns the modes:
//   - AimMode: a pen drag turns the aim and the camera, the arrow keys turn
//     it, the Stroke Cue key held pulls the stick back and its release
//     strikes; zoom, cue elevation and tip keys;
//   - MoveBallMode: with ball in hand a pen drag moves the cue ball over the
//     free cloth (behind the head string when the rules ask);
//   - ShotMode: plays the running shot frame by frame;
//   - AiMode: the computer's turn, thinking a slice per tick;
//   - IdleMode: does nothing (while a shot runs, during an overhead look).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "play/input_mode.h"
#include "play/track_lines.h"
#include "simulation/fixed.h"
#include "simulation/pool.h"

namespace ks {
class AiOpponent;
}

namespace ks::play {

struct SceneHost;

// What the Control needs from its host.
struct PlayHost {
  std::function<std::uint32_t()> clock;  // ms
  SceneHost* scene = nullptr;            // the stick-shown flag
  std::function<void()> draw;            // draws a frame of the table
  bool resetZoomAfterShot = false;
  // Where each player's aiming distance starts: the camera distance the
  // last match left it at.
  Fix16 aimDistance = 0x1B0000;
  // The room's View distances for the view from a table end and the view
  // from above; 0 keeps the Control's own.
  Fix16 endViewDistance = 0, overheadDistance = 0;
  int screenWidth = 320, screenHeight = 240;  // logical pixels
  // The outline of the cue stick's grip as the screen shows it now, in
  // logical pixels: the number of points written (two words each), fewer
  // than 4 when the grip is not on the screen. A pen stroke starts on it.
  std::function<int(std::int32_t* points, int capacity)> gripOutline;
  // The same for the stick's tip: a drag started on it moves the point where
  // the tip meets the cue ball.
  std::function<int(std::int32_t* points, int capacity)> tipOutline;
  // A pen stroke's speed is multiplied by this (the preference byte).
  int strokeFactor = 8;
  // Where a ball stands on the screen (logical pixels); false when it is
  // not drawn.
  std::function<bool(int ball, int* x, int* y)> ballOnScreen;
};

// The Control's states (Control::State, SetState). A mode's command names
// the state it asks for by the same number, and the tools print them
// ("state 33"), so the numbers stay as they are.
enum PlayState : int {
  kStateStart = 0,        // before Start
  kStateOverhead = 2,     // a look from above while the key is held
  kStateOverheadEnd = 3,  // the key let go: back to the mode before the look
  kStateZipToEnd = 5,     // the Zip To End command: the running shot ends at once
  kStateMoveBall = 10,    // ball in hand: the cue ball moves
  kStateAim = 11,         // aiming
  kStateZoom = 12,        // the zoom keys (the key-turn mode)
  kStateMoveView = 13,    // the camera slides over the table
  kStatePickBall = 15,    // practice: any ball is picked up, from above
  kStateRewind = 16,      // practice: the last shot played backwards
  kStateCallPocket = 17,  // 8-Ball: the pocket for the 8 is named
  kStateReplay = 18,      // the last shot shown again
  kStateModeReturn = 19,  // back from the zoom to the mode it left
  kStateCueTip = 20,      // the keys move the cue tip
  kStateCueAngle = 21,    // the keys raise and lower the cue
  kStateStroke = 22,      // aiming with the Stroke Cue key
  kStateComputer = 32,    // the computer's turn
  kStateShot = 33,        // a shot runs
  kStateGlide = 34,       // the camera glides to the next turn's aim
};

// The frame drawing's mode word (Control::viewMode); it also picks the
// in-game title, whose table is indexed by it.
enum ViewMode : int {
  kViewAim = 2,          // "Aim Mode"
  kViewMoveView = 4,     // "Move View"
  kViewMoveBall = 5,     // "Move Ball"
  kViewBallInHand = 6,   // "Aim/Ball in Hand"
  kViewComputer = 13,    // "Computer"
  kViewCallPocket = 14,  // the pocket points
  kViewCueTip = 15,      // "Move Cuetip"
  kViewCueAngle = 16,    // "Adjust Butt"
  kViewZoom = 17,        // "Adjust Zoom"
};

inline constexpr Fix16 kDefaultAimDistance = 0x1B0000;
inline constexpr std::int32_t kMaxStrikePower = 0x2800000;
inline constexpr std::int32_t kRestClearance = 0x20000;
// A held Stroke Cue key stops pulling the stick back here, so its power can
// neither pass the strongest stroke nor overflow.
inline constexpr std::int32_t kMaxKeyClearance = kMaxStrikePower / 8;

class RotateViewMode : public InputMode {
 public:
  std::uint32_t OnPenDown(const InputEvent& e) override;
  std::uint32_t OnPenMove(const InputEvent& e) override;
  std::uint32_t OnPenUp(const InputEvent& e) override;
  std::uint32_t OnKeyDown(const InputEvent& e) override;
  std::uint32_t OnKeyUp(const InputEvent& e) override;
  bool penDown = false;
};

// Keys change the cue elevation (Up, Down); a pen drag turns the view.
class CueAngleMode final : public RotateViewMode {
 public:
  std::uint32_t OnKeyDown(const InputEvent& e) override;
};

// Keys move the cue-tip offset inside its circle; a pen drag turns the view.
class CueTipMode final : public RotateViewMode {
 public:
  std::uint32_t OnKeyDown(const InputEvent& e) override;
};

class AimMode final : public RotateViewMode {
 public:
  std::uint32_t OnPenDown(const InputEvent& e) override;
  std::uint32_t OnPenMove(const InputEvent& e) override;
  std::uint32_t OnPenUp(const InputEvent& e) override;
  std::uint32_t OnKeyDown(const InputEvent& e) override;
  std::uint32_t OnKeyUp(const InputEvent& e) override;

  void TurnSetup(bool resetTip);
  // Aims at the nearest ball the player may hit (the player's group in
  // 8-Ball, the 8 once it is cleared).
  void NearestBallStart();
  // Rotation games: aims at the lowest-numbered ball on the table.
  void RotationStart();
  void AimAtBall(int ball);
  // Sets the cue direction from the aim direction.
  void CueFromAim();
  std::uint32_t StartStroke(std::int64_t speed);
  void Cancel();
  void StrokeStep();
  // The pen at (x, y) is on the stick's grip, or on its tip (3 pixels of
  // slack round the outline's box).
  bool OnGrip(int x, int y) const;
  bool OnTip(int x, int y) const;
  // Sets the tip offsets within their circle and keeps the stick's tip off
  // the ball.
  void SetTip(std::int64_t x, std::int64_t y);

  PlayHost* host = nullptr;
  FixAngle aimDirection = 0;
  std::int32_t aimPitch = -3072;
  Fix16 aimDistance = kDefaultAimDistance;
  std::int32_t clearance = kRestClearance;  // how far the stick is pulled back
  bool strokeDrag = false;
  bool tipDrag = false;
  bool armed = false;
  bool strokeDone = true;
  std::array<std::int32_t, 16> clearanceRing{};
  std::array<std::uint32_t, 16> timeRing{};
  int ringPosition = 0;
  int moveCount = 0;

 private:
  void Record(std::int32_t c, std::uint32_t time);
  std::int64_t StrokeSpeed(bool* forward) const;
  int strokeStartY_ = 0;
};

// A pen drag slides the camera over the table; held arrow keys slide it
// faster the longer they are held.
class MoveViewMode final : public InputMode {
 public:
  std::uint32_t OnPenDown(const InputEvent& e) override;
  std::uint32_t OnPenMove(const InputEvent& e) override;
  std::uint32_t OnKeyDown(const InputEvent& e) override;
  std::uint32_t OnKeyUp(const InputEvent& e) override;
  void MoveBy(int dx, int dy);
};

// Up and Down (or a pen drag) zoom the camera; lifting the pen goes back.
class KeyTurnMode final : public InputMode {
 public:
  std::uint32_t OnPenDown(const InputEvent& e) override;
  std::uint32_t OnPenMove(const InputEvent& e) override;
  std::uint32_t OnPenUp(const InputEvent& e) override;
  std::uint32_t OnKeyDown(const InputEvent& e) override;
  std::uint32_t OnKeyUp(const InputEvent& e) override;
  Fix16 distance = kDefaultAimDistance;
};

// Ball in hand: a pen drag (an eighth of the ball's radius a pixel, along
// the screen as the camera faces the table) or a held arrow key moves the
// cue ball over the free cloth; it stops short of the first ball or cushion
// in its way, and behind the head string when the rules ask. The camera
// follows the ball.
class MoveBallMode final : public InputMode {
 public:
  std::uint32_t OnPenDown(const InputEvent& e) override;
  std::uint32_t OnPenMove(const InputEvent& e) override;
  std::uint32_t OnPenUp(const InputEvent& e) override;
  std::uint32_t OnKeyDown(const InputEvent& e) override;
  std::uint32_t OnKeyUp(const InputEvent& e) override;
  // Moves the cue ball by a screen step (dx right, dy down, in units of a
  // quarter pixel of pen drag).
  void MoveBy(int dx, int dy);
  int moved = 0;

 private:
  bool penDown_ = false;
};

// Practice: from above, a pen press takes the ball nearest to it and a drag
// slides that ball over the free cloth (a quarter ball radius a pixel); it
// stops short of any ball or cushion in its way. The camera stays.
class PickBallMode final : public InputMode {
 public:
  std::uint32_t OnPenDown(const InputEvent& e) override;
  std::uint32_t OnPenMove(const InputEvent& e) override;
  std::uint32_t OnPenUp(const InputEvent& e) override;
  // The ball drawn nearest to the screen point; a tie keeps the lower
  // number, and with no ball on the screen the cue ball.
  int PickNearest(int x, int y) const;

  PlayHost* host = nullptr;
  int picked = 0;
};

// The 8-Ball player names the pocket for the 8: a pen press picks the
// nearest of six screen points (the pockets as the view from above shows
// them), the arrow keys step between them.
class CallPocketMode final : public InputMode {
 public:
  static constexpr int kPocketOfScreen[6] = {0, 1, 5, 3, 2, 4};
  // Lays the six points out on a screen of this logical size.
  void SetLayout(int width, int height);
  std::uint32_t OnPenDown(const InputEvent& e) override;
  std::uint32_t OnPenUp(const InputEvent& e) override;
  std::uint32_t OnKeyUp(const InputEvent& e) override;
  void Select(int screenPocket);

  PlayHost* host = nullptr;
  int selected = 0;
  std::array<std::array<int, 2>, 6> points{};
};

// Runs the shot a frame a tick; with the rewind flag it plays the last shot
// backwards to its start instead.
class ShotMode final : public InputMode {
 public:
  bool rewind = false;
  std::uint32_t OnEnd(const InputEvent& e) override;
  std::uint32_t OnEndWith(const InputEvent& e) override;
  std::uint32_t OnResult(std::uint32_t result) override;
  std::uint32_t OnIdle(const InputEvent& e) override;
};

class AiMode final : public InputMode {
 public:
  AiMode();
  ~AiMode() override;
  std::uint32_t OnEnd(const InputEvent& e) override;
  std::uint32_t OnEndWith(const InputEvent& e) override;
  std::uint32_t OnResult(std::uint32_t result) override;
  std::uint32_t OnIdle(const InputEvent& e) override;
  void Begin();

  // Where the computer's turn stands.
  enum Phase : int {
    kPhaseStart = 0,
    kPhaseThinking = 1,
    kPhaseMoveCueBall = 2,
    kPhaseTurnAim = 3,
    kPhaseStroke = 4,
    kPhaseDone = 5,    // the shot is asked for
    kPhaseReplay = 6,  // a stored stroke is shown again
  };

  PlayHost* host = nullptr;
  Phase phase = kPhaseStart;
  // The camera looks from the table end instead of from above.
  bool fromTableEnd = false;
  // Set for a replay: the stored stroke is shown again as it was.
  bool replaying = false;
  // Longest slice of thinking per tick, in ms of the host's clock.
  std::uint32_t sliceMs = 8;
  bool Thinking() const { return phase == kPhaseThinking; }
  // The search, for the thinking text (null before the first turn).
  const AiOpponent* Opponent() const { return ai_.get(); }
  int slices = 0;  // ticks spent thinking this turn

 private:
  std::unique_ptr<AiOpponent> ai_;
};

// Moves the camera linearly in time from where it is to the aiming view of
// the turn that begins, turning the short way round; answers 6 at the end.
class GlideMode final : public InputMode {
 public:
  void Start(const FixVec3& fromEye, std::int32_t fromPitch, std::int32_t fromYaw, const FixVec3& toEye,
             std::int32_t toPitch, std::int32_t toYaw, std::uint32_t startTime, std::uint32_t endTime);
  void Finish();
  std::uint32_t OnEnd(const InputEvent& e) override;
  std::uint32_t OnEndWith(const InputEvent& e) override;
  std::uint32_t OnResult(std::uint32_t result) override;
  std::uint32_t OnIdle(const InputEvent& e) override;

  PlayHost* host = nullptr;

 private:
  void Apply();
  FixVec3 startEye_, endEye_, eye_;
  std::int32_t startPitch_ = 0, startYaw_ = 0, endPitch_ = 0, endYaw_ = 0;
  std::int32_t pitchChange_ = 0, yawChange_ = 0, pitch_ = 0, yaw_ = 0;
  std::uint32_t startTime_ = 0, endTime_ = 0;
};

class Control final : public InputMode {
 public:
  Control(Pool* pool, View* view, const KeyMap* keys, PlayHost host);
  ~Control() override;

  // How play starts: a new game, or a held match resumed (from the view
  // mover, or aiming as it was held).
  enum StartKind { kNewGame = 0, kResumedMoveView = 1, kResumed = 2, kResumedCareer = 3 };
  // Sets up the modes and the first turn of a new game, or carries a
  // resumed match on with the player, the ball in hand and the aim it was
  // held with.
  void Start(int kind = kNewGame);
  // One step of play; 1 once the match is over.
  std::uint32_t HandleEvent(const InputEvent& e) override;
  // A PlayState, or a command's number that names none (nothing changes
  // then but the state's number).
  void SetState(int state);
  bool CanEnterState(int state) const;
  void BeginTurn();
  void ResetTurnView();
  // The in-game menu has closed over the table: the next event begins the
  // turn again (the menu's choice may have changed the player, the rack or
  // the match).
  void MenuClosed();

  bool ComputerToPlay() const;
  bool Busy() const { return shotRunning_ || replayPending_ || rewindRunning_; }
  bool ShotRunning() const { return shotRunning_; }
  int State() const { return state_; }
  InputMode* Active() const { return active_; }
  AimMode* Aim() const { return aim_; }
  // The camera distance the next match starts its aiming from: the last
  // distance a person aimed from, or the one this match was given. The
  // computer's turn leaves it alone.
  Fix16 CameraDistance() const { return aim_ != nullptr ? aim_->aimDistance : host_.aimDistance; }
  AiMode* Computer() const { return ai_; }
  MoveBallMode* MoveBall() const { return moveBall_; }
  GlideMode* Glide() const { return glide_; }
  CallPocketMode* CallPocket() const { return callPocket_; }
  CueTipMode* CueTip() const { return cueTip_; }
  MoveViewMode* MoveView() const { return moveView_; }
  KeyTurnMode* KeyTurn() const { return keyTurn_; }
  TrackLinesMode* TrackLines() const { return trackLines_; }
  // The track lines are to be drawn this frame.
  bool TrackLinesShown() const { return trackLinesShown_ && !aim_->strokeDrag; }
  CueAngleMode* CueAngle() const { return cueAngle_; }
  // The pocket for the 8 must be named before this turn's shot.
  bool CallingPocket() const { return callPocket_ != nullptr && active_ == callPocket_; }
  bool ReplayAvailable() const { return replayAvailable_; }
  bool RewindAvailable() const { return rewindAvailable_; }
  bool Rewinding() const { return rewindRunning_; }
  PickBallMode* PickBall() const { return pickBall_; }
  // The frame drawing's mode word.
  ViewMode viewMode = kViewAim;
  // Strokes refused because a shot was running.
  int refusedStrokes = 0;

 private:
  void TranslateInput(InputEvent* e);
  void StartShotNow();
  void EndShot();
  // The rewind reached the start of the shot: the balls stand where they
  // stood before it and the player aims again.
  void EndRewind();
  void TopDownView();
  void AimViewFromSlots();
  void CreateModes();
  void Resume(int kind);
  // Hands the frame the stick's pull-back.
  void ShowStick();
  // The aim of a turn that begins: the lowest ball in rotation games, the
  // nearest one the player may hit in other games against someone.
  void AimStartForGame();

  PlayHost host_;
  AimMode* aim_ = nullptr;
  MoveBallMode* moveBall_ = nullptr;
  PickBallMode* pickBall_ = nullptr;
  ShotMode* shot_ = nullptr;
  AiMode* ai_ = nullptr;
  GlideMode* glide_ = nullptr;
  CallPocketMode* callPocket_ = nullptr;
  CueTipMode* cueTip_ = nullptr;
  TrackLinesMode* trackLines_ = nullptr;
  MoveViewMode* moveView_ = nullptr;
  KeyTurnMode* keyTurn_ = nullptr;
  void FromKeyTurn();
  bool trackLinesOn_ = false, trackLinesShown_ = false;
  std::uint32_t trackLinesPress_ = 0;
  CueAngleMode* cueAngle_ = nullptr;
  int ringPosition_ = 0;
  void StepRing(int direction);
  bool EnterRingMode(int position);
  InputMode* idle_ = nullptr;
  InputMode* active_ = nullptr;
  InputMode* returnMode_ = nullptr;
  int pending_ = -1;  // the state asked for within this event, -1 none
  bool menuClosed_ = false;
  int state_ = kStateStart;
  bool shotRunning_ = false;
  bool overhead_ = false;
  bool mustCall_ = false;
  bool replayAvailable_ = false;
  bool replayPending_ = false;
  bool rewindRunning_ = false;
  bool rewindAvailable_ = false;
  // The cue of the last shot, for its replay.
  struct LastCue {
    FixVec3 direction;
    std::array<Fix16, 2> tip{};
    FixAngle elevation = 0;
    std::int32_t power = 0;
  } lastCue_;
  bool lastCueKept_ = false;  // a shot was struck in this match since it started or resumed
  std::array<Fix16, 2> aimDistance_{kDefaultAimDistance, kDefaultAimDistance};
  std::array<std::int32_t, 2> aimPitch_{-800, -800};
  struct SavedView {
    FixVec3 target, eye;
    std::int32_t yaw = 0, pitch = 0;
  } saved_;
  std::uint32_t frameTime_ = 0;
  std::uint32_t glideTime_ = 4000;
};

}  // namespace ks::play
