// TrackLinesMode: while a player aims, the aimed shot is simulated in the
// background on a copy of the table, a little each tick, and every ball's
// path is kept as a line of points that the frame shows over the table.
// The copy has its own clock and no sound or observer, so the live table
// and its shot are never touched.
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
  // Simulated time the preview moves on per tick.
  static constexpr std::uint32_t kPreviewMsPerTick = 124;

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
  bool AimChanged() const;
  void Record();

  PreviewClock clock_;
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

// Draws the tracks into the back buffer with the scene's projection.
void DrawTrackLines(ssDisplayS16& device, const TableScene& scene, const TrackLinesMode& mode);

}  // namespace ks::play
