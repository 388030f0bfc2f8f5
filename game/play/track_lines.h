// TrackLinesMode: while a player aims, the aimed shot is simulated in the
// background on a copy of the table, a few events each tick, and every
// ball's path is kept as a line of points that the frame shows over the
// table. A ball that rolls between two events adds a straight segment; one
// that slides (its path bends with the spin) adds a curve of intermediate
// points from the sliding-ball formula. The copy has no sound or observer,
// so the live table and its shot are never touched.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "play/input_mode.h"
#include "simulation/pool.h"

class ssDisplayS16;

namespace ks::play {

class TableScene;

class TrackLinesMode final : public InputMode {
 public:
  // Simulation steps (events) the preview takes per tick at most.
  static constexpr int kStepsPerTick = 5;
  // A preview stops after this many steps whatever remains (a run of
  // zero-time events must not keep it busy for ever).
  static constexpr int kMaxSteps = 4000;

  TrackLinesMode();
  ~TrackLinesMode() override;

  // Starts the preview again from the table as it stands and the cue as
  // aimed, with `previewPower` (the last shot's power, or a firm default).
  void Restart();
  std::uint32_t OnIdle(const InputEvent& e) override;
  std::uint32_t OnEnd(const InputEvent& e) override;
  std::uint32_t OnEndWith(const InputEvent& e) override;
  std::uint32_t OnResult(std::uint32_t result) override;

  const std::vector<FixVec3>& Track(int ball) const { return tracks_[static_cast<std::size_t>(ball)]; }
  bool Finished() const { return !running_; }
  std::int32_t previewPower = 0x1000000;

 private:
  class PreviewClock final : public PoolHost {
   public:
    std::uint32_t GetTime() override { return now; }
    std::uint32_t now = 0;
  };
  // What a ball's current segment started from.
  struct Motion {
    std::uint32_t time = 0;
    Fix16 x = 0, z = 0;
    std::int32_t speed = 0;
    Fix30 dx = 0, dz = 0;
    std::int32_t spin = 0;
    FixVec3 spinAxis;
  };
  bool AimChanged() const;
  void Take(int ball, const BallEntry& entry);
  void RecordStep();
  void AddCurve(int ball, const BallEntry& cur);
  FixVec3 CurvePoint(int ball, std::uint32_t t) const;
  void AddPoint(int ball, Fix16 x, Fix16 z);

  PreviewClock clock_;
  std::array<Motion, kBallCount> motion_{};
  std::uint32_t time_ = 0;  // simulated time since the strike
  int steps_ = 0;
  std::unique_ptr<Pool> preview_;
  std::array<std::vector<FixVec3>, kBallCount> tracks_;
  bool running_ = false;
  bool started_ = false;
  // The aim the preview was made for.
  FixVec3 cueBall_, direction_;
  std::array<Fix16, 2> tip_{};
  FixAngle elevation_ = 0;
};

// The colour of ball b's line (0xRRGGBB); stripes alternate it with white.
std::uint32_t TrackColour(int ball, int segment);

// The intermediate points of a curved segment of Manhattan length `length`
// (Fix16) taking `span` units of time: n - 1, with n that sum counted in
// whole units (time / 32), at least 1.
int CurveSegments(std::int64_t length, std::uint32_t span);

// Draws the tracks into the back buffer with the scene's projection.
void DrawTrackLines(ssDisplayS16& device, const TableScene& scene, const TrackLinesMode& mode);

}  // namespace ks::play
