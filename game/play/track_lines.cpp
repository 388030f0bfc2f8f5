#include "play/track_lines.h"

#include <algorithm>
#include <cstdlib>

#include "display/display_s16.h"
#include "play/table_scene.h"

namespace ks::play {

TrackLinesMode::TrackLinesMode() = default;
TrackLinesMode::~TrackLinesMode() = default;

bool TrackLinesMode::AimChanged() const {
  return !started_ || !(pool->ballStates[0].position == cueBall_) || !(pool->cueDirection == direction_) ||
         pool->cueTip != tip_ || pool->cueElevation != elevation_;
}

void TrackLinesMode::Restart() {
  if (pool == nullptr) return;
  if (!preview_) preview_ = std::make_unique<Pool>();
  *preview_ = *pool;
  preview_->host = &clock_;
  preview_->observer = nullptr;
  preview_->sound = nullptr;
  preview_->silent = 1;
  clock_.now = 0;
  cueBall_ = pool->ballStates[0].position;
  direction_ = pool->cueDirection;
  tip_ = pool->cueTip;
  elevation_ = pool->cueElevation;
  started_ = true;
  for (auto& t : tracks_) t.clear();
  running_ = pool->ballStates[0].state != kBallOff;
  if (!running_) return;
  preview_->strikePower = std::clamp<std::int32_t>(previewPower, 0x10000, 0x2800000);
  preview_->SetShotTimeScale(0);
  preview_->ResetShot();
  preview_->StartShot();
  Record();
}

void TrackLinesMode::Record() {
  for (int b = 0; b < kBallCount; ++b) {
    const BallState& s = preview_->ballStates[static_cast<std::size_t>(b)];
    auto& t = tracks_[static_cast<std::size_t>(b)];
    if (s.state == kBallOff) continue;
    if (t.empty() || !(t.back() == s.position)) t.push_back(s.position);
  }
}

std::uint32_t TrackLinesMode::OnIdle(const InputEvent&) {
  if (AimChanged()) Restart();
  if (!running_) return 0;
  clock_.now += kPreviewMsPerTick;
  if (preview_->RunShot() == -1) running_ = false;
  Record();
  return 0;
}

std::uint32_t TrackLinesMode::OnEnd(const InputEvent& e) { return MakeResult(kResultLeave, e.wParam >> 16); }
std::uint32_t TrackLinesMode::OnEndWith(const InputEvent& e) { return OnEnd(e); }
std::uint32_t TrackLinesMode::OnResult(std::uint32_t result) { return result; }

std::uint32_t TrackColour(int ball, int segment) {
  static constexpr std::uint32_t kColours[9] = {0xFFFFFF, 0xFFD800, 0x2040FF, 0xFF2020, 0x9020C0,
                                                0xFF8000, 0x20A040, 0x900020, 0x181818};
  if (ball >= 9) return (segment & 1) != 0 ? 0xFFFFFF : kColours[ball - 8];
  return kColours[std::clamp(ball, 0, 8)];
}

void DrawTrackLines(ssDisplayS16& d, const TableScene& scene, const TrackLinesMode& mode) {
  // The frame leaves the stick's matrix as the world transform; the lines
  // lie on the table itself.
  Fix16 identity[16];
  MatrixIdentity(identity);
  d.SetTransform(0, identity);
  d.UpdateTransform();
  const Fix16* combined = d.m_Pipeline.Matrix(ssPipeline::kMatrixCombined);
  const bool odd = (d.m_Rotate & 1) != 0;
  const int w = odd ? d.m_Height : d.m_Width, h = odd ? d.m_Width : d.m_Height;
  for (int b = 0; b < kBallCount; ++b) {
    const std::vector<FixVec3>& t = mode.Track(b);
    if (t.size() < 2) continue;
    bool havePrevious = false;
    int px = 0, py = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
      Fix16 sx = 0, sy = 0;
      if (!scene.ProjectPoint({t[i].x, 0, t[i].z}, &sx, &sy, nullptr, nullptr, combined)) {
        havePrevious = false;
        continue;
      }
      const int x = sx >> 16, y = sy >> 16;
      if (havePrevious) {
        const std::uint32_t pixel = d.ColorToPixel(TrackColour(b, static_cast<int>(i)));
        // A line of single pixels, kept on the screen.
        const int n = std::min(std::max(std::abs(x - px), std::abs(y - py)), 2048);
        for (int k = 0; k <= n; ++k) {
          const int qx = n == 0 ? x : px + (x - px) * k / n, qy = n == 0 ? y : py + (y - py) * k / n;
          if (qx < 0 || qy < 0 || qx >= w || qy >= h) continue;
          d.DrawRect({qx, qy, qx + 1, qy + 1}, ssDisplayS16::kRectFilled, pixel);
        }
      }
      px = x;
      py = y;
      havePrevious = true;
    }
  }
}

}  // namespace ks::play
