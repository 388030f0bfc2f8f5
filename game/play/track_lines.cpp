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
  time_ = 0;
  steps_ = 0;
  running_ = pool->ballStates[0].state != kBallOff;
  if (!running_) return;
  preview_->SetShotTimeScale(0);
  preview_->ResetShot();
  preview_->StrikePreview(std::clamp<std::int32_t>(previewPower, 0x10000, 0x2800000));
  const StepRecord& now = preview_->ring[preview_->ringCurrent >> 4];
  for (int b = 0; b < kBallCount; ++b) {
    const BallEntry& e = now.ball[static_cast<std::size_t>(b)];
    Take(b, e);
    if (e.state != kBallOff) AddPoint(b, e.position.x, e.position.z);
  }
  preview_->PredictEvents();
  running_ = preview_->eventCount != 0;
}

void TrackLinesMode::Take(int b, const BallEntry& e) {
  Motion& m = motion_[static_cast<std::size_t>(b)];
  m.time = time_;
  m.x = e.position.x;
  m.z = e.position.z;
  m.speed = e.speed;
  m.dx = e.direction.x;
  m.dz = e.direction.z;
  m.spin = e.spin;
  m.spinAxis = e.spinAxis;
}

void TrackLinesMode::AddPoint(int b, Fix16 x, Fix16 z) {
  auto& t = tracks_[static_cast<std::size_t>(b)];
  // Room grows 128 points at a time.
  if (t.size() == t.capacity()) t.reserve(t.size() + 128);
  t.push_back(FixVec3{x, 0, z});
}

int CurveSegments(std::int64_t length, std::uint32_t span) {
  const std::int64_t units = length + (span >> 5);
  return units < 0x10000 ? 1 : static_cast<int>(std::min<std::int64_t>(units >> 16, 4096));
}

// Where a sliding ball stands `t` units after its segment began: it travels
// along its direction while friction pulls it along the slip of its contact
// point, so the path bends.
FixVec3 TrackLinesMode::CurvePoint(int b, std::uint32_t t) const {
  const Motion& m = motion_[static_cast<std::size_t>(b)];
  FixVec3 w{WrapSub32(FixMul30(m.spin, m.spinAxis.z), FixMul30(m.speed, m.dx)), 0,
            WrapNeg32(WrapAdd32(FixMul30(m.speed, m.dz), FixMul30(m.spin, m.spinAxis.x)))};
  Normalize2DScaled(w);
  const std::int32_t k = preview_->slideTravelHalf, tt = static_cast<std::int32_t>(t);
  const std::int32_t ux = FixMul24(FixMul30(w.x, k), tt), uz = FixMul24(FixMul30(w.z, k), tt);
  return FixVec3{WrapAdd32(m.x, FixMul24(WrapAdd32(ux, FixMul30(m.dx, m.speed)), tt)), 0,
                 WrapAdd32(m.z, FixMul24(WrapAdd32(uz, FixMul30(m.dz, m.speed)), tt))};
}

void TrackLinesMode::AddCurve(int b, const BallEntry& cur) {
  const Motion& m = motion_[static_cast<std::size_t>(b)];
  const std::int64_t length =
      std::abs(std::int64_t{m.x} - cur.position.x) + std::abs(std::int64_t{m.z} - cur.position.z);
  const std::uint32_t span = time_ - m.time;
  const int n = CurveSegments(length, span);
  for (int k = 1; k < n; ++k) {
    const std::uint32_t t =
        static_cast<std::uint32_t>(std::uint64_t{span} * static_cast<std::uint64_t>(k) / static_cast<std::uint64_t>(n));
    const FixVec3 p = CurvePoint(b, t);
    AddPoint(b, p.x, p.z);
  }
  AddPoint(b, cur.position.x, cur.position.z);
}

// After a step: a ball that starts to travel begins a segment; a travelling
// ball that took part in the step's events ends one where it stands now.
void TrackLinesMode::RecordStep() {
  const int current = preview_->ringCurrent;
  const int previous = current >= 16 ? current - 16 : 4080;
  const StepRecord& prev = preview_->ring[previous >> 4];
  const StepRecord& cur = preview_->ring[current >> 4];
  const int n = std::clamp<int>(preview_->eventCount, 0, static_cast<int>(preview_->eventList.size()));
  for (int b = 0; b < kBallCount; ++b) {
    const BallEntry& was = prev.ball[static_cast<std::size_t>(b)];
    const BallEntry& now = cur.ball[static_cast<std::size_t>(b)];
    if ((was.state & (kBallAtRest | kBallSpinning | kBallOff)) != 0) {
      if ((now.state & kBallTravelling) != 0) Take(b, now);
      continue;
    }
    bool inEvent = false;
    for (int i = 0; i < n && !inEvent; ++i) {
      const EventPair& e = preview_->eventList[static_cast<std::size_t>(i)];
      inEvent = e.a == b || e.b == b;
    }
    if (!inEvent) continue;
    if (was.state == kBallRolling) {
      AddPoint(b, now.position.x, now.position.z);
    } else {
      AddCurve(b, now);
    }
    Take(b, now);
  }
}

std::uint32_t TrackLinesMode::OnIdle(const InputEvent&) {
  if (AimChanged()) Restart();
  if (!running_) return 0;
  for (int i = 0; i < kStepsPerTick && running_; ++i) {
    preview_->PredictEvents();
    if (preview_->eventCount == 0 || ++steps_ > kMaxSteps) {
      preview_->AdvanceStepRing();
      RecordStep();
      running_ = false;
      break;
    }
    const std::uint32_t step = preview_->timeToNextEvent;
    preview_->StepSimulation();
    time_ += step;
    RecordStep();
  }
  return 0;
}

std::uint32_t TrackLinesMode::OnEnd(const InputEvent& e) { return MakeResult(kResultLeave, e.wParam >> 16); }
std::uint32_t TrackLinesMode::OnEndWith(const InputEvent& e) { return OnEnd(e); }
std::uint32_t TrackLinesMode::OnResult(std::uint32_t result) { return result; }

std::uint32_t TrackColour(int ball, int segment) {
  static constexpr std::uint32_t kColours[9] = {0xFFFFFF, 0xFFFF00, 0x0000FF, 0xFF0000, 0xBD00BD,
                                                0xFF8400, 0x008484, 0xAD5252, 0x181818};
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
  // The projection gives buffer pixels, already turned with the screen.
  const int w = d.m_Width, h = d.m_Height;
  std::uint16_t* back = d.m_BackBuffer;
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
        const auto pixel = static_cast<std::uint16_t>(d.ColorToPixel(TrackColour(b, static_cast<int>(i))));
        // A line of single pixels, kept on the screen.
        const int n = std::min(std::max(std::abs(x - px), std::abs(y - py)), 2048);
        for (int k = 0; k <= n; ++k) {
          const int qx = n == 0 ? x : px + (x - px) * k / n, qy = n == 0 ? y : py + (y - py) * k / n;
          if (qx < 0 || qy < 0 || qx >= w || qy >= h) continue;
          back[static_cast<std::ptrdiff_t>(qy) * w + qx] = pixel;
        }
      }
      px = x;
      py = y;
      havePrevious = true;
    }
  }
}

}  // namespace ks::play
