#include "play/table_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "display/display_s16.h"
#include "engine/model.h"
#include "play/room.h"
#include "play/table_model.h"
#include "play/view.h"

namespace ks::play {

namespace {

constexpr Fix16 kOne = 0x10000;

bool RectsMeet(const std::array<std::int32_t, 4>& a, const std::int32_t b[4]) {
  return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
}

}  // namespace

TableScene::TableScene(ssDisplayS16* device, Pool* pool, View* view) : device_(device), pool_(pool), view_(view) {
  for (int i = 0; i < 6; ++i) railOrder_[static_cast<std::size_t>(i)] = &rails_[static_cast<std::size_t>(i)];
  for (int i = 0; i < kBallCount; ++i) ballOrder_[static_cast<std::size_t>(i)] = &entries_[static_cast<std::size_t>(i)];
  if (device_ != nullptr) {
    rightLimit = device_->m_Width;
    bottomLimit = device_->m_Height;
    // Every picture a frame keeps is made here for the screen's size, so
    // that drawing never allocates.
    const std::size_t pixels = static_cast<std::size_t>(device_->m_Width) * static_cast<std::size_t>(device_->m_Height);
    stickPixels_.resize(pixels);
    for (std::vector<std::uint16_t>* picture : {&bare_, &background_, &maskKept_, &maskScratch_})
      picture->reserve(pixels);
    railMask_.reserve(pixels);
    overlayPixels_.resize(pixels);
  }
}

void TableScene::InitDrawLists() {
  for (int i = 0; i < 6; ++i) railOrder_[static_cast<std::size_t>(i)] = &rails_[static_cast<std::size_t>(i)];
  InitRailRecords();
}

void TableScene::InitRailRecords() {
  if (pool_ == nullptr) return;
  const TableGeometry& g = pool_->table;
  const Fix16 H = g.hx, W = g.hz;
  struct RailLayout {
    std::int32_t axis;
    Fix16 plane;
    std::int16_t part;
    int cornerA, cornerB;
  };
  const RailLayout layouts[6] = {{2, kOne - W, 0, 0, 1}, {0, kOne - H, 5, 2, 3}, {0, H - kOne, 1, 4, 5},
                                 {0, kOne - H, 4, 6, 7}, {2, W - kOne, 3, 8, 9}, {0, H - kOne, 2, 10, 11}};
  for (int i = 0; i < 6; ++i) {
    RailRecord& r = rails_[static_cast<std::size_t>(i)];
    const RailLayout& s = layouts[i];
    r = RailRecord{};
    r.axis = s.axis;
    r.plane = s.plane;
    r.modelPart = s.part;
    const FixVec2 da = g.jawNormal[static_cast<std::size_t>(s.cornerA)],
                  db = g.jawNormal[static_cast<std::size_t>(s.cornerB)];
    r.cornerA = {da.x, da.z};
    r.cornerB = {db.x, db.z};
    r.limitA = Dot2Fix30(da, g.jawPoint[static_cast<std::size_t>(s.cornerA)]);
    r.limitB = Dot2Fix30(db, g.jawPoint[static_cast<std::size_t>(s.cornerB)]);
  }
}

bool TableScene::ProjectPoint(const FixVec3& point, Fix16* sx, Fix16* sy, Fix16* depth, std::int64_t* key,
                              const Fix16* m) const {
  std::int32_t x = 0, y = 0, z = 0;
  std::int64_t w = 0;
  const ssVector v{point.x, point.y, point.z, kOne};
  const bool seen = device_->ProjectOnePoint(v, &x, &y, &z, &w, m) != nullptr;
  if (sx != nullptr) *sx = x;
  if (sy != nullptr) *sy = y;
  if (!seen) return false;
  if (depth != nullptr) *depth = z;
  if (key != nullptr) *key = w;
  return true;
}

void TableScene::ClassifyRails() {
  device_->UpdateTransform();
  const Fix16* combined = device_->m_Pipeline.Matrix(ssPipeline::kMatrixCombined);
  const TableGeometry& g = pool_->table;
  const Fix16 H = g.hx, W = g.hz;
  const FixVec2 refs[6] = {{0, -W}, {-H, -(W >> 1)}, {H, -(W >> 1)}, {-H, W >> 1}, {0, W}, {H, W >> 1}};
  for (int i = 0; i < 6; ++i) {
    RailRecord& r = rails_[static_cast<std::size_t>(i)];
    r.facing = 0;
    std::int64_t key = 0;
    if (!ProjectPoint({refs[i].x, 0, refs[i].z}, nullptr, nullptr, nullptr, &key, combined)) key = 0;
    r.depthKey = key;
  }
  const FixVec3 eye = view_->ToTable2D({view_->eye.x, 0, view_->eye.z});
  viewPosition_ = {-eye.x, -eye.z};
  const Fix16 x = viewPosition_.x, z = viewPosition_.z;
  if (z < -W) {
    rails_[0].facing = 1;
  } else if (z >= W) {
    rails_[4].facing = 1;
  }
  if (x < -H) {
    rails_[1].facing = rails_[3].facing = 1;
  } else if (x >= H) {
    rails_[2].facing = rails_[5].facing = 1;
  }
}

void TableScene::SetBallMatrix(const BallState& ball, Fix16* m) const {
  const std::int64_t w = ball.orientation.w, x = ball.orientation.x, y = ball.orientation.y, z = ball.orientation.z;
  auto term = [](std::int64_t v) { return static_cast<Fix16>((v >> 29) >> 14); };
  const std::int64_t one = std::int64_t{1} << 59;  // 1.0 in the products' scale before the shift by 29
  m[0] = term(one - (y * y + z * z));
  m[1] = term(x * y + w * z);
  m[2] = term(x * z - w * y);
  m[3] = 0;
  m[4] = term(x * y - w * z);
  m[5] = term(one - (x * x + z * z));
  m[6] = term(y * z + w * x);
  m[7] = 0;
  m[8] = term(x * z + w * y);
  m[9] = term(y * z - w * x);
  m[10] = term(one - (x * x + y * y));
  m[11] = 0;
  m[12] = ball.position.x;
  m[13] = 0;
  m[14] = ball.position.z;
  m[15] = kOne;
}

void TableScene::BuildBallDrawList() {
  ballCount_ = 0;
  device_->UpdateTransform();
  const Fix16* viewMatrix = device_->m_Pipeline.Matrix(ssPipeline::kMatrixView);
  const Fix16* combined = device_->m_Pipeline.Matrix(ssPipeline::kMatrixCombined);
  for (int b = 0; b < kBallCount; ++b) {
    const BallState& s = pool_->ballStates[static_cast<std::size_t>(b)];
    if (s.state == kBallOff) continue;
    ssVector p{s.position.x, 0, s.position.z, kOne}, v;
    VectorTransform(v, viewMatrix, p);
    const Fix16 d = v.z;
    if (d <= nearLimit + 0x11000) continue;
    BallDrawEntry& e = entries_[static_cast<std::size_t>(ballCount_)];
    e.radius = static_cast<Fix16>((static_cast<std::int64_t>(radiusScale_) << 32) / d);
    std::int64_t key = 0;
    if (!ProjectPoint({s.position.x, 0, s.position.z}, &e.screenX, &e.screenY, nullptr, &key, combined)) continue;
    e.depthKey = key;
    const std::int32_t R = e.radius >> 16;
    const std::int32_t Rv =
        static_cast<std::int32_t>((static_cast<std::int64_t>(e.radius >> 8) * verticalFactor) >> 24);
    if ((e.screenX >> 16) < -R || (e.screenY >> 16) < -Rv || (e.screenX >> 16) - R > rightLimit ||
        (e.screenY >> 16) - Rv > bottomLimit)
      continue;
    e.depth = static_cast<std::int32_t>(key >> 8);
    e.ball = &s;
    e.number = b;
    if (sprites_ != nullptr) {
      BallSprite& sprite = (*sprites_)[static_cast<std::size_t>(b)];
      SetBallMatrix(s, sprite.ballMatrix);
      MatrixIdentity(sprite.shadowMatrix);
      // The shadow lies under the ball, not at the table's centre.
      sprite.shadowMatrix[12] = s.position.x;
      sprite.shadowMatrix[14] = s.position.z;
    }
    ballOrder_[static_cast<std::size_t>(ballCount_)] = &e;
    ++ballCount_;
  }
}

void TableScene::SortBallDrawList() {
  const int n = ballCount_;
  for (int gap = n / 2; gap > 0; gap /= 2) {
    for (int i = gap; i < n; ++i) {
      BallDrawEntry* e = ballOrder_[static_cast<std::size_t>(i)];
      int j = i;
      while (j >= gap && ballOrder_[static_cast<std::size_t>(j - gap)]->depthKey < e->depthKey) {
        ballOrder_[static_cast<std::size_t>(j)] = ballOrder_[static_cast<std::size_t>(j - gap)];
        j -= gap;
      }
      ballOrder_[static_cast<std::size_t>(j)] = e;
    }
  }
}

void TableScene::SortRailsByDepth() {
  for (int i = 1; i < 6; ++i) {
    RailRecord* r = railOrder_[static_cast<std::size_t>(i)];
    int j = i;
    while (j > 0) {
      const RailRecord* p = railOrder_[static_cast<std::size_t>(j - 1)];
      const bool after = p->facing > r->facing || (p->facing == r->facing && p->depthKey < r->depthKey);
      if (!after) break;
      railOrder_[static_cast<std::size_t>(j)] = railOrder_[static_cast<std::size_t>(j - 1)];
      --j;
    }
    railOrder_[static_cast<std::size_t>(j)] = r;
  }
}

void TableScene::SortRailsByCount() {
  for (int i = 1; i < 6; ++i) {
    RailRecord* r = railOrder_[static_cast<std::size_t>(i)];
    int j = i;
    while (j > 0) {
      const RailRecord* p = railOrder_[static_cast<std::size_t>(j - 1)];
      const bool after = p->facing > r->facing || (p->facing == r->facing && p->ballsAfter < r->ballsAfter);
      if (!after) break;
      railOrder_[static_cast<std::size_t>(j)] = railOrder_[static_cast<std::size_t>(j - 1)];
      --j;
    }
    railOrder_[static_cast<std::size_t>(j)] = r;
  }
}

int TableScene::BallBehindRail(const BallDrawEntry& entry, const RailRecord& rail) const {
  if (entry.ball == nullptr) return 0;
  const FixVec3& pos = entry.ball->position;
  const Fix16 p = rail.plane;
  const Fix16 b = rail.axis == 2 ? pos.z : pos.x;
  const bool inside = (p < 0 && b >= p) || (p >= 0 && b <= p);
  bool useA;
  if (rail.axis == 2) {
    useA = pos.x < 0;
  } else {
    const bool differ = (pos.z < 0) != (rail.cornerB[1] < 0);
    useA = std::abs(pos.z) < 0x40000 || differ;
  }
  const FixVec2 dir = useA ? FixVec2{rail.cornerA[0], rail.cornerA[1]} : FixVec2{rail.cornerB[0], rail.cornerB[1]};
  const Fix16 limit = useA ? rail.limitA : rail.limitB;
  const Fix16 s = Dot2Fix30(dir, viewPosition_);
  if (rail.facing != 0) {
    if (inside) return 1;
    return s >= limit ? 0 : 1;
  }
  if (inside) return 0;
  return s < limit ? 1 : 0;
}

void TableScene::CountBallsAfterRails() {
  const int n = ballCount_;
  for (RailRecord& r : rails_) {
    int walked = 0;
    if (r.facing != 0) {
      while (walked < n && BallBehindRail(*ballOrder_[static_cast<std::size_t>(walked)], r) == 1) ++walked;
      r.ballsAfter = static_cast<std::int16_t>(n - walked);
    } else {
      while (walked < n && BallBehindRail(*ballOrder_[static_cast<std::size_t>(n - 1 - walked)], r) == 0) ++walked;
      r.ballsAfter = static_cast<std::int16_t>(walked);
    }
  }
}

void TableScene::PushBufferClip(const std::int32_t r[4]) {
  // The clip stack takes logical rectangles and turns them into the buffer.
  const std::int32_t W = device_->m_Width, H = device_->m_Height;
  ssRect l{r[0], r[1], r[2], r[3]};
  switch (device_->m_Rotate & 3) {
    case 1:
      l = ssRect{H - r[3], r[0], H - r[1], r[2]};
      break;
    case 2:
      l = ssRect{W - r[2], H - r[3], W - r[0], H - r[1]};
      break;
    case 3:
      l = ssRect{r[1], W - r[2], r[3], W - r[0]};
      break;
    default:
      break;
  }
  device_->PushClipRect(l);
}

void TableScene::CompleteBackground() {
  if (backgroundComplete_ || !backgroundValid_) return;
  ssDisplayS16& d = *device_;
  const std::size_t pixels = bare_.size();
  std::uint16_t* back = d.m_BackBuffer;
  maskKept_.assign(back, back + pixels);
  std::copy(bare_.begin(), bare_.end(), back);
  Fix16 identity[16];
  MatrixIdentity(identity);
  d.SetTransform(0, identity);
  d.SetRenderState(0);
  if (table_ != nullptr)
    for (const RailRecord* r : railOrder_) table_->DrawRail(r->modelPart);
  background_.assign(back, back + pixels);
  BuildRailMask();
  std::copy(maskKept_.begin(), maskKept_.end(), back);
  backgroundComplete_ = true;
}

void TableScene::BuildRailMask() {
  ssDisplayS16& d = *device_;
  const std::int32_t width = d.m_Width, height = d.m_Height;
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  railMask_.assign(pixels, 0);
  for (auto& box : railMaskBox_) box = {0, 0, 0, 0};
  if (table_ == nullptr) return;
  std::uint16_t* back = d.m_BackBuffer;
  std::vector<std::uint16_t>& over0 = maskScratch_;
  Fix16 identity[16];
  MatrixIdentity(identity);
  d.SetTransform(0, identity);
  d.SetRenderState(0);
  for (int order = 0; order < 6; ++order) {
    const int part = railOrder_[static_cast<std::size_t>(order)]->modelPart;
    const std::array<std::int32_t, 4>& r = table_->RailBox(part);
    const std::int32_t x0 = std::clamp(r[0], 0, width), x1 = std::clamp(r[2], 0, width);
    const std::int32_t y0 = std::clamp(r[1], 0, height), y1 = std::clamp(r[3], 0, height);
    if (x0 >= x1 || y0 >= y1) continue;
    const std::size_t w = static_cast<std::size_t>(x1 - x0);
    auto fill = [&](std::uint16_t v) {
      for (std::int32_t y = y0; y < y1; ++y) std::fill_n(back + y * width + x0, w, v);
    };
    // Everything a rail draws lies inside its box: drawn whole, as the
    // kept picture drew it, it writes nothing outside.
    fill(0x0000);
    table_->DrawRail(part);
    over0.resize(w * static_cast<std::size_t>(y1 - y0));
    for (std::int32_t y = y0; y < y1; ++y)
      std::copy_n(back + y * width + x0, w, over0.begin() + static_cast<std::ptrdiff_t>(w * (y - y0)));
    fill(0xFFFF);
    table_->DrawRail(part);
    std::array<std::int32_t, 4> box = {x1, y1, x0, y0};
    const auto mark = static_cast<std::uint8_t>(order + 1);
    for (std::int32_t y = y0; y < y1; ++y) {
      const std::uint16_t* a = over0.data() + w * static_cast<std::size_t>(y - y0);
      const std::uint16_t* b = back + y * width + x0;
      std::uint8_t* m = railMask_.data() + y * width + x0;
      // Selects and an or, so that the loop vectorises; the row's ends are
      // looked for only in rows the rail reaches.
      unsigned any = 0;
      for (std::size_t i = 0; i < w; ++i) {
        const bool same = a[i] == b[i];
        m[i] = same ? mark : m[i];
        any |= same ? 1u : 0u;
      }
      if (any == 0) continue;
      std::size_t first = 0, last = w - 1;
      while (a[first] != b[first]) ++first;
      while (a[last] != b[last]) --last;
      box = {std::min(box[0], x0 + static_cast<std::int32_t>(first)), std::min(box[1], y),
             std::max(box[2], x0 + static_cast<std::int32_t>(last) + 1), std::max(box[3], y + 1)};
    }
    if (box[0] < box[2]) railMaskBox_[static_cast<std::size_t>(order)] = box;
    PutBackFromPicture({x0, y0, x1, y1});
  }
}

void TableScene::PutBackFromPicture(const std::array<std::int32_t, 4>& r) {
  const std::int32_t width = device_->m_Width;
  for (std::int32_t y = r[1]; y < r[3]; ++y)
    std::copy(background_.data() + y * width + r[0], background_.data() + y * width + r[2],
              device_->m_BackBuffer + y * width + r[0]);
}

void TableScene::CopyRailOverBalls(int order) {
  const std::array<std::int32_t, 4>& box = railMaskBox_[static_cast<std::size_t>(order)];
  if (box[0] >= box[2]) return;
  const std::int32_t width = device_->m_Width;
  const auto mark = static_cast<std::uint8_t>(order + 1);
  std::uint16_t* back = device_->m_BackBuffer;
  const std::uint16_t* kept = background_.data();
  const std::uint8_t* mask = railMask_.data();
  for (int k = 0; k < clusterCount_; ++k) {
    const auto& r = clusters_[static_cast<std::size_t>(k)];
    const std::int32_t x0 = std::max(r[0], box[0]), x1 = std::min(r[2], box[2]);
    const std::int32_t y0 = std::max(r[1], box[1]), y1 = std::min(r[3], box[3]);
    for (std::int32_t y = y0; y < y1; ++y) {
      const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * width;
      for (std::int32_t x = x0; x < x1; ++x)
        if (mask[row + x] == mark) back[row + x] = kept[row + x];
    }
  }
}

void TableScene::DrawBallsAndRails(bool onlyOverBalls) {
  int drawn = 0;
  auto drawBall = [&](int i) {
    const int n = ballOrder_[static_cast<std::size_t>(i)]->number;
    if (sprites_ != nullptr && (!onlyOverBalls || changed_[static_cast<std::size_t>(n)]))
      (*sprites_)[static_cast<std::size_t>(n)].Draw();
  };
  for (int order = 0; order < 6; ++order) {
    const RailRecord* rail = railOrder_[static_cast<std::size_t>(order)];
    while (ballCount_ - drawn > rail->ballsAfter) drawBall(drawn++);
    // The rails are already on the screen under the balls; over the balls
    // drawn this frame they are put back from the picture where they are
    // on top.
    if (onlyOverBalls) {
      CopyRailOverBalls(order);
    } else if (table_ != nullptr) {
      table_->DrawRail(rail->modelPart);
    }
  }
  while (drawn < ballCount_) drawBall(drawn++);
}

void TableScene::ClusterChangedAreas() {
  // The areas of the balls drawn again, where the rails are drawn again.
  // (Merging them into larger boxes would draw the rails in a different
  // order where two rails overlap, which a full frame would not.)
  clusterCount_ = 0;
  for (int b = 0; b < kBallCount; ++b) {
    const std::size_t i = static_cast<std::size_t>(b);
    if (listedNow_[i] && changed_[i]) clusters_[static_cast<std::size_t>(clusterCount_++)] = rectNow_[i];
  }
}

void TableScene::FindChangedBalls() {
  changed_.fill(false);
  for (int b = 0; b < kBallCount; ++b) {
    const std::size_t i = static_cast<std::size_t>(b);
    const Shown& was = shown_[i];
    if (listedNow_[i] != was.listed) {
      changed_[i] = true;
      continue;
    }
    if (!listedNow_[i]) continue;
    const BallSprite& s = (*sprites_)[i];
    const Fix16* m = s.ballMatrix;
    const std::array<Fix16, 9> turn = {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]};
    changed_[i] = s.centreXF != was.x || s.centreYF != was.y || s.radiusF != was.radius || turn != was.turn;
  }
  // A ball standing where a changed ball was or is now is drawn again too,
  // and so on, until no more join.
  for (bool grew = true; grew;) {
    grew = false;
    for (int s = 0; s < kBallCount; ++s) {
      const std::size_t si = static_cast<std::size_t>(s);
      if (changed_[si] || !listedNow_[si]) continue;
      for (int c = 0; c < kBallCount && !changed_[si]; ++c) {
        const std::size_t ci = static_cast<std::size_t>(c);
        if (!changed_[ci]) continue;
        if ((listedNow_[ci] && RectsMeet(rectNow_[si], rectNow_[ci].data())) ||
            (shown_[ci].listed && RectsMeet(rectNow_[si], rectBefore_[ci].data()))) {
          changed_[si] = true;
          grew = true;
        }
      }
    }
  }
}

void TableScene::DrawDepthOrdered() {
  SortRailsByDepth();
  CountBallsAfterRails();
  SortRailsByCount();
  DrawBallsAndRails(false);
}

void TableScene::PlaceStick() {
  if (stick_ == nullptr || pool_ == nullptr) return;
  // The stick runs from its tip at the model's origin along -z. That axis
  // points from the cue ball towards the stick, raised by the elevation.
  const double dx = pool_->cueDirection.x / 1073741824.0, dz = pool_->cueDirection.z / 1073741824.0;
  const double len = std::sqrt(dx * dx + dz * dz);
  const double hx = len > 0 ? dx / len : 0.0, hz = len > 0 ? dz / len : -1.0;
  const double e = (pool_->cueElevation & 0x3FFFF) * (2.0 * 3.14159265358979 / 262144.0);
  const double back[3] = {hx * std::cos(e), -std::sin(e), hz * std::cos(e)};  // model -z in the world
  const double zAxis[3] = {-back[0], -back[1], -back[2]};
  const double xAxis[3] = {hz, 0, -hx};
  const double yAxis[3] = {zAxis[1] * xAxis[2] - zAxis[2] * xAxis[1], zAxis[2] * xAxis[0] - zAxis[0] * xAxis[2],
                           zAxis[0] * xAxis[1] - zAxis[1] * xAxis[0]};
  const BallState& cue = pool_->ballStates[0];
  const double side = pool_->cueTip[0] / 65536.0, height = pool_->cueTip[1] / 65536.0;
  // The tip stands the clearance behind the ball's centre, and never nearer
  // than the point it meets on the ball.
  const double depth = std::sqrt(std::max(0.0, 1.0 - side * side - height * height));
  const double distance = std::max(host.stickClearance / 65536.0, depth);
  auto fix = [](double v) { return static_cast<Fix16>(std::lround(v * 65536.0)); };
  auto& m = stick_->m_Matrix;
  for (int c = 0; c < 3; ++c) {
    m[static_cast<std::size_t>(c)] = fix(xAxis[c]);
    m[static_cast<std::size_t>(4 + c)] = fix(yAxis[c]);
    m[static_cast<std::size_t>(8 + c)] = fix(zAxis[c]);
  }
  m[3] = m[7] = m[11] = 0;
  const double t[3] = {side * xAxis[0] - height * yAxis[0] - distance * zAxis[0],
                       side * xAxis[1] - height * yAxis[1] - distance * zAxis[1],
                       side * xAxis[2] - height * yAxis[2] - distance * zAxis[2]};
  m[12] = fix(t[0]) + cue.position.x;
  m[13] = fix(t[1]);
  m[14] = fix(t[2]) + cue.position.z;
  m[15] = kOne;
}

TableScene::BackgroundKey TableScene::MakeBackgroundKey() const {
  const ssDisplayS16& d = *device_;
  BackgroundKey k;
  const Fix16* view = d.m_Pipeline.Matrix(ssPipeline::kMatrixView);
  const Fix16* projection = d.m_Pipeline.Matrix(ssPipeline::kMatrixProjection);
  std::copy(view, view + 16, k.view.begin());
  std::copy(projection, projection + 16, k.projection.begin());
  k.width = d.m_Width;
  k.height = d.m_Height;
  k.rotate = d.m_Rotate;
  k.depth = d.m_Depth;
  for (std::size_t i = 0; i < railOrder_.size(); ++i)
    k.rails[i] = railOrder_[i] != nullptr ? railOrder_[i]->modelPart : -1;
  k.room = host.roomGraphics && room_ != nullptr;
  return k;
}

void TableScene::DrawBackground(const Fix16* identity) {
  ssDisplayS16& d = *device_;
  if (host.roomGraphics && room_ != nullptr) {
    room_->Draw(1);
  } else {
    ssDisplayS16::FillRect16(d.m_BackBuffer, RECT{0, 0, d.m_Width, d.m_Height}, 0, d.m_Width * 2);
  }
  d.SetTransform(0, identity);
  if (table_ != nullptr) {
    table_->DrawBed(1);
    table_->DrawPockets();
    table_->DrawInnerParts();
    // The rails come with the balls; CompleteBackground adds them to the
    // kept picture when it is first needed.
  }
}

TableScene::~TableScene() { SetStick(nullptr); }

void TableScene::SetStick(ssModel* stick) {
  if (stickQuads_ && device_ != nullptr) {
    device_->FreeVertexBuffersByTag(gripQuad_.data());
    device_->FreeVertexBuffersByTag(tipQuad_.data());
  }
  stickQuads_ = false;
  stick_ = stick;
  stickSaved_ = false;
  if (stick_ != nullptr) {
    bool first = true;
    for (const ssMesh& mesh : stick_->m_Meshes) {
      for (const ssSourceVertex& v : mesh.vertices) {
        if (first) stickLow_ = stickHigh_ = FixVec3{v.x, v.y, v.z};
        first = false;
        stickLow_ = FixVec3{std::min(stickLow_.x, v.x), std::min(stickLow_.y, v.y), std::min(stickLow_.z, v.z)};
        stickHigh_ = FixVec3{std::max(stickHigh_.x, v.x), std::max(stickHigh_.y, v.y), std::max(stickHigh_.z, v.z)};
      }
    }
  }
  if (stick_ == nullptr || device_ == nullptr || stick_->m_Meshes.size() < 9) return;
  const std::vector<ssSourceVertex>& tip = stick_->m_Meshes[0].vertices;
  const std::vector<ssSourceVertex>& shaft = stick_->m_Meshes[2].vertices;
  const std::vector<ssSourceVertex>& butt = stick_->m_Meshes[8].vertices;
  if (tip.size() < 7 || shaft.size() < 7 || butt.size() < 7) return;
  // The grip runs from the shaft to the butt, the tip from the stick's end
  // to the shaft; both through the stick's axis.
  gripQuad_ = {shaft[2], shaft[6], butt[6], butt[2]};
  tipQuad_ = {tip[3], tip[5], shaft[5], shaft[3]};
  for (const std::array<ssSourceVertex, 4>* quad : {&gripQuad_, &tipQuad_}) {
    ssVertexBufferRecord* record = nullptr;
    device_->CreateVertexBuffer(4, 0, 0, 0, &record);
    if (record != nullptr) device_->SetVertexBufferTag(record, quad->data());
  }
  stickQuads_ = true;
}

int TableScene::StickOutline(const std::array<ssSourceVertex, 4>& quad, std::int32_t* points, int capacity) {
  if (!stickQuads_ || stick_ == nullptr) return 0;
  PlaceStick();
  // The stick's own matrix, whatever the last frame left as the world
  // transform (track lines leave the identity).
  device_->SetTransform(0, stick_->m_Matrix.data());
  return device_->PolygonOutline(quad.data(), 4, points, capacity);
}

int TableScene::GripOutline(std::int32_t* points, int capacity) { return StickOutline(gripQuad_, points, capacity); }

int TableScene::TipOutline(std::int32_t* points, int capacity) { return StickOutline(tipQuad_, points, capacity); }

bool TableScene::BallScreenPoint(int ball, int* x, int* y) const {
  if (sprites_ == nullptr || ball < 0 || ball >= kBallCount) return false;
  const std::size_t i = static_cast<std::size_t>(ball);
  if (!shown_[i].listed) return false;
  const BallSprite& s = (*sprites_)[i];
  const std::int32_t bx = (s.centreXF + 128) >> 16, by = (s.centreYF + 128) >> 16;
  const std::int32_t w = device_->m_Width, h = device_->m_Height;
  // The buffer is the screen turned by quarters; turn the point back.
  switch (device_->m_Rotate & 3) {
    case 1:
      *x = h - by;
      *y = bx;
      break;
    case 2:
      *x = w - bx;
      *y = h - by;
      break;
    case 3:
      *x = by;
      *y = w - bx;
      break;
    default:
      *x = bx;
      *y = by;
      break;
  }
  return true;
}

bool TableScene::StickBox(std::int32_t out[4]) {
  if (stick_ == nullptr) return false;
  ssDisplayS16& d = *device_;
  const std::int32_t width = d.m_Width, height = d.m_Height;
  d.SetTransform(0, stick_->m_Matrix.data());
  d.UpdateTransform();
  const Fix16* m = d.m_Pipeline.Matrix(ssPipeline::kMatrixCombined);
  // The corners of the stick's bounds in clip space. The stick is long: its
  // butt may lie behind the eye, so each edge of the bounds is cut where the
  // pipeline cuts polygons (w below 1, z below -w) and only what is left is
  // projected. Everything drawn lies within the hull of those points.
  struct Clip {
    double x, y, z, w;
  };
  std::array<Clip, 8> corners{};
  for (int c = 0; c < 8; ++c) {
    const double p[3] = {((c & 1) != 0 ? stickHigh_.x : stickLow_.x) / 65536.0,
                         ((c & 2) != 0 ? stickHigh_.y : stickLow_.y) / 65536.0,
                         ((c & 4) != 0 ? stickHigh_.z : stickLow_.z) / 65536.0};
    double r[4];
    for (int k = 0; k < 4; ++k) r[k] = (p[0] * m[k] + p[1] * m[4 + k] + p[2] * m[8 + k] + m[12 + k]) / 65536.0;
    corners[static_cast<std::size_t>(c)] = {r[0], r[1], r[2], r[3]};
  }
  double left = width, top = height, right = 0, bottom = 0;
  bool any = false;
  auto add = [&](const Clip& v) {
    double x = v.x, y = v.y;
    switch (d.m_Rotate & 3) {
      case 1:
        x = v.y, y = -v.x;
        break;
      case 2:
        x = -v.x, y = -v.y;
        break;
      case 3:
        x = -v.y, y = v.x;
        break;
      default:
        break;
    }
    const double sx = (x / v.w + 1.0) * (width / 2), sy = (y / v.w + 1.0) * (height / 2);
    left = std::min(left, sx), right = std::max(right, sx);
    top = std::min(top, sy), bottom = std::max(bottom, sy);
    any = true;
  };
  for (int a = 0; a < 8; ++a) {
    for (int bit = 1; bit < 8; bit <<= 1) {
      if ((a & bit) != 0) continue;
      Clip p = corners[static_cast<std::size_t>(a)], q = corners[static_cast<std::size_t>(a | bit)];
      bool kept = true;
      // w >= 1 and z + w >= 0, the first with a little room to spare.
      for (int plane = 0; plane < 2 && kept; ++plane) {
        const double fp = plane == 0 ? p.w - 1.001 : p.z + p.w, fq = plane == 0 ? q.w - 1.001 : q.z + q.w;
        if (fp < 0 && fq < 0)
          kept = false;
        else if (fp < 0 || fq < 0) {
          const double t = fp / (fp - fq);
          const Clip cut{p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, p.z + (q.z - p.z) * t, p.w + (q.w - p.w) * t};
          (fp < 0 ? p : q) = cut;
        }
      }
      if (!kept) continue;
      add(p);
      add(q);
    }
  }
  if (!any) {
    out[0] = out[1] = out[2] = out[3] = 0;
    return true;
  }
  // Two pixels of slack for the edges the filler rounds outwards.
  auto clampTo = [](double v, std::int32_t limit) {
    return static_cast<std::int32_t>(std::clamp(v, 0.0, static_cast<double>(limit)));
  };
  out[0] = clampTo(std::floor(left) - 2, width);
  out[1] = clampTo(std::floor(top) - 2, height);
  out[2] = std::max(out[0], clampTo(std::ceil(right) + 3, width));
  out[3] = std::max(out[1], clampTo(std::ceil(bottom) + 3, height));
  return true;
}

void TableScene::SetOverlays(const std::array<std::int32_t, 4>* areas, int count) {
  overlayCount_ = std::clamp(count, 0, static_cast<int>(overlays_.size()));
  for (int i = 0; i < overlayCount_; ++i) overlays_[static_cast<std::size_t>(i)] = areas[i];
}

void TableScene::KeepOverlays() {
  overlaysKeptCount_ = 0;
  const std::int32_t width = device_->m_Width, height = device_->m_Height;
  std::size_t used = 0;
  for (int i = 0; i < overlayCount_; ++i) {
    std::array<std::int32_t, 4> r = overlays_[static_cast<std::size_t>(i)];
    r = {std::clamp(r[0], 0, width), std::clamp(r[1], 0, height), std::clamp(r[2], 0, width),
         std::clamp(r[3], 0, height)};
    const std::size_t w = static_cast<std::size_t>(std::max(0, r[2] - r[0]));
    const std::size_t h = static_cast<std::size_t>(std::max(0, r[3] - r[1]));
    if (used + w * h > overlayPixels_.size()) return;
    for (std::int32_t y = r[1]; y < r[3]; ++y, used += w)
      std::copy_n(device_->m_BackBuffer + static_cast<std::ptrdiff_t>(y) * width + r[0], w,
                  overlayPixels_.data() + used);
    overlaysKept_[static_cast<std::size_t>(overlaysKeptCount_++)] = overlays_[static_cast<std::size_t>(i)];
  }
}

bool TableScene::RestoreOverlays(const std::array<std::int32_t, 4>* areas, int count) {
  if (count != overlaysKeptCount_) return false;
  for (int i = 0; i < count; ++i)
    if (areas[i] != overlaysKept_[static_cast<std::size_t>(i)]) return false;
  const std::int32_t width = device_->m_Width, height = device_->m_Height;
  std::size_t used = 0;
  for (int i = 0; i < count; ++i) {
    std::array<std::int32_t, 4> r = areas[i];
    r = {std::clamp(r[0], 0, width), std::clamp(r[1], 0, height), std::clamp(r[2], 0, width),
         std::clamp(r[3], 0, height)};
    const std::size_t w = static_cast<std::size_t>(std::max(0, r[2] - r[0]));
    for (std::int32_t y = r[1]; y < r[3]; ++y, used += w)
      std::copy_n(overlayPixels_.data() + used, w,
                  device_->m_BackBuffer + static_cast<std::ptrdiff_t>(y) * width + r[0]);
  }
  return true;
}

bool TableScene::MeetsOverlay(const std::array<std::int32_t, 4>& r) const {
  if (r[0] >= r[2] || r[1] >= r[3]) return false;
  for (int i = 0; i < overlayCount_; ++i)
    if (RectsMeet(overlays_[static_cast<std::size_t>(i)], r.data())) return true;
  return false;
}

bool TableScene::StickDisturbsOverlay(const std::int32_t* newStick) const {
  if (stickSaved_ && MeetsOverlay(stickBox_)) return true;
  return newStick != nullptr && MeetsOverlay({newStick[0], newStick[1], newStick[2], newStick[3]});
}

bool TableScene::OverlayDisturbed(const std::int32_t* newStick) const {
  if (overlayCount_ == 0) return false;
  if (StickDisturbsOverlay(newStick)) return true;
  for (int b = 0; b < kBallCount; ++b) {
    const std::size_t i = static_cast<std::size_t>(b);
    if (!changed_[i]) continue;
    if ((shown_[i].listed && MeetsOverlay(rectBefore_[i])) || (listedNow_[i] && MeetsOverlay(rectNow_[i]))) return true;
  }
  return false;
}

void TableScene::SaveStickArea(const std::int32_t r[4]) {
  stickSaved_ = false;
  const std::int32_t width = device_->m_Width;
  const std::size_t w = static_cast<std::size_t>(r[2] - r[0]);
  if (w * static_cast<std::size_t>(r[3] - r[1]) > stickPixels_.size()) return;
  std::uint16_t* kept = stickPixels_.data();
  for (std::int32_t y = r[1]; y < r[3]; ++y, kept += w)
    std::copy_n(device_->m_BackBuffer + static_cast<std::ptrdiff_t>(y) * width + r[0], w, kept);
  stickBox_ = {r[0], r[1], r[2], r[3]};
  stickSaved_ = true;
  if (stick_ != nullptr) std::copy(stick_->m_Matrix.begin(), stick_->m_Matrix.end(), stickDrawnAt_.begin());
}

bool TableScene::StickAsDrawn(bool shown, const std::int32_t box[4]) const {
  if (!shown) return !stickSaved_;
  return stickSaved_ && stick_ != nullptr && std::equal(box, box + 4, stickBox_.begin()) &&
         std::equal(stickDrawnAt_.begin(), stickDrawnAt_.end(), stick_->m_Matrix.begin());
}

void TableScene::RestoreStickArea() {
  if (!stickSaved_) return;
  stickSaved_ = false;
  const std::array<std::int32_t, 4>& r = stickBox_;
  const std::int32_t width = device_->m_Width;
  const std::size_t w = static_cast<std::size_t>(r[2] - r[0]);
  const std::uint16_t* kept = stickPixels_.data();
  for (std::int32_t y = r[1]; y < r[3]; ++y, kept += w)
    std::copy_n(kept, w, device_->m_BackBuffer + static_cast<std::ptrdiff_t>(y) * width + r[0]);
}

void TableScene::BallArea(const BallDrawEntry& e, std::array<std::int32_t, 4>& out) const {
  const BallSprite& sprite = (*sprites_)[static_cast<std::size_t>(e.number)];
  const std::int32_t width = device_->m_Width, height = device_->m_Height;
  // The disc with its blended rim, and the shadow: its quad as projected,
  // 1.375 radii round the ball's spot on the cloth.
  std::int32_t box[4] = {sprite.centreX - sprite.radius - 2, sprite.centreY - sprite.radius - 2,
                         sprite.centreX + sprite.radius + 3, sprite.centreY + sprite.radius + 3};
  const Fix16* combined = device_->m_Pipeline.Matrix(ssPipeline::kMatrixCombined);
  for (int corner = 0; corner < 4; ++corner) {
    const FixVec3 p{e.ball->position.x + ((corner & 1) != 0 ? 0x16000 : -0x16000), kOne,
                    e.ball->position.z + ((corner & 2) != 0 ? 0x16000 : -0x16000)};
    Fix16 sx = 0, sy = 0;
    if (!ProjectPoint(p, &sx, &sy, nullptr, nullptr, combined)) {
      // Part of the shadow is behind the eye: the sprite's own bounds.
      sprite.BackgroundRect(out.data());
      return;
    }
    box[0] = std::min(box[0], (sx >> 16) - 2);
    box[1] = std::min(box[1], (sy >> 16) - 2);
    box[2] = std::max(box[2], (sx >> 16) + 3);
    box[3] = std::max(box[3], (sy >> 16) + 3);
  }
  out = {std::clamp(box[0], 0, width), std::clamp(box[1], 0, height), std::clamp(box[2], 0, width),
         std::clamp(box[3], 0, height)};
}

void TableScene::HandScreenData(const BallDrawEntry& e) {
  if (sprites_ == nullptr) return;
  (*sprites_)[static_cast<std::size_t>(e.number)].SetScreen(e.screenX, e.screenY, e.radius, e.depth);
}

void TableScene::DrawFrame() {
  if (!host.inPlay || device_ == nullptr || pool_ == nullptr || view_ == nullptr) return;
  // The application's frame counter: a window of at most three seconds.
  const std::uint32_t t = host.clock ? host.clock() : 0;
  if (host.windowStart == 0) {
    host.windowStart = t;
    host.frameCount = 1;
    host.rateWord = 0;
  }
  ++host.frameCount;
  std::uint32_t span = t - host.windowStart;
  if (span == 0) span = 1;
  if (span > 3000) {
    host.windowStart = t;
    host.frameCount = 1;
    host.rateWord = 0;
  }

  ssDisplayS16& d = *device_;
  d.SetRenderTarget(ssDisplayS16::kTargetBackBuffer, 0, 0, 0, 0);
  rightLimit = d.m_Width;
  bottomLimit = d.m_Height;
  bool full = forceFull_ || view_->dirty != 0 || view_->matrixChanged != 0;

  // Where the stick goes this frame.
  PlaceStick();
  std::int32_t stickBox[4] = {};
  const bool stickShown = host.stickShown && stick_ != nullptr && StickBox(stickBox);

  if (!full && view_->stickOnly != 0) {
    if (StickAsDrawn(stickShown, stickBox)) {
      // The cue has not moved after all: the picture stands as it is.
      host.previousFull = false;
      lastFull_ = false;
      lastDrew_ = false;
      return;
    }
    if (!StickDisturbsOverlay(stickShown ? stickBox : nullptr)) {
      // Only the cue moves: put back what was under it and draw it again.
      RestoreStickArea();
      if (stickShown) {
        SaveStickArea(stickBox);
        stick_->Draw(1);
      }
      host.previousFull = false;
      lastFull_ = false;
      lastDrew_ = true;
      return;
    }
    full = true;
  }

  // The lists of this frame.
  Fix16 identity[16];
  MatrixIdentity(identity);
  d.SetTransform(0, identity);
  ClassifyRails();
  BuildBallDrawList();
  SortBallDrawList();
  SortRailsByDepth();
  CountBallsAfterRails();
  SortRailsByCount();
  listedNow_.fill(false);
  // The balls' areas as last found hold while the camera stands still.
  const Fix16* combinedNow = d.m_Pipeline.Matrix(ssPipeline::kMatrixCombined);
  const bool sameView = std::equal(areaView_.begin(), areaView_.end(), combinedNow) && areaSize_[0] == d.m_Width &&
                        areaSize_[1] == d.m_Height && areaSize_[2] == d.m_Rotate;
  std::copy(combinedNow, combinedNow + 16, areaView_.begin());
  areaSize_ = {d.m_Width, d.m_Height, d.m_Rotate};
  for (int i = 0; i < ballCount_; ++i) {
    const BallDrawEntry& e = *ballOrder_[static_cast<std::size_t>(i)];
    HandScreenData(e);
    listedNow_[static_cast<std::size_t>(e.number)] = true;
    if (sprites_ != nullptr) {
      // With the camera still, a ball that stands where it stood covers
      // what it covered.
      const std::size_t n = static_cast<std::size_t>(e.number);
      const FixVec2 at{e.ball->position.x, e.ball->position.z};
      if (!sameView || !shown_[n].listed || !(areaAt_[n] == at))
        BallArea(e, rectNow_[n]);
      else
        rectNow_[n] = rectBefore_[n];
      areaAt_[n] = at;
    }
  }

  // The balls' saved areas and the rails over the balls come from the
  // picture of the room and the table: when the rails' order has changed
  // since it was drawn, so has the picture, and the frame is drawn in full.
  if (!full && !(backgroundValid_ && MakeBackgroundKey() == backgroundKey_)) full = true;
  if (!full && sprites_ != nullptr) {
    FindChangedBalls();
    if (OverlayDisturbed(stickShown ? stickBox : nullptr)) full = true;
    if (!full && sameView && std::find(changed_.begin(), changed_.end(), true) == changed_.end() &&
        StickAsDrawn(stickShown, stickBox)) {
      // Nothing moved, came or went: the back buffer holds this frame
      // already, and a still table costs nothing more.
      changedCount_ = 0;
      host.previousFull = false;
      lastFull_ = false;
      lastDrew_ = false;
      return;
    }
  }
  bool backgroundDrawn = false;
  const std::size_t screenPixels = static_cast<std::size_t>(d.m_Width) * static_cast<std::size_t>(d.m_Height);
  if (full) {
    // Everything is drawn again: what lay under the last stick is gone.
    forceFull_ = false;
    d.ScratchReset();
    stickSaved_ = false;
    // Only a screen that changed its size makes the stick's buffer anew.
    if (stickPixels_.size() != screenPixels) stickPixels_.assign(screenPixels, 0);
    changed_.fill(true);
    const std::size_t pixels = static_cast<std::size_t>(d.m_Width) * static_cast<std::size_t>(d.m_Height);
    const BackgroundKey key = MakeBackgroundKey();
    BackgroundKey bareKey = key;
    bareKey.rails = bareKey_.rails;
    if (keepBackground && backgroundValid_ && bare_.size() == pixels &&
        (key == backgroundKey_ || bareKey == bareKey_)) {
      // The camera has not moved: the room and the table look as they did.
      // When only the rails' order has changed, the picture without its
      // rails still holds and the rails go on again in the new order.
      if (key != backgroundKey_) {
        backgroundKey_ = key;
        backgroundComplete_ = false;
      }
      CompleteBackground();
      std::memcpy(d.m_BackBuffer, background_.data(), pixels * sizeof(std::uint16_t));
      ++backgroundCopies_;
    } else {
      // The picture is kept even when it is not copied back on the next
      // full frame: the rails over the balls come from it.
      DrawBackground(identity);
      bare_.assign(d.m_BackBuffer, d.m_BackBuffer + pixels);
      backgroundKey_ = key;
      bareKey_ = key;
      backgroundValid_ = true;
      backgroundComplete_ = false;
      backgroundDrawn = true;
    }
  } else if (sprites_ != nullptr) {
    CompleteBackground();
    RestoreStickArea();
    // The areas the changed balls stood on last frame come back from the
    // picture.
    for (int b = 0; b < kBallCount; ++b) {
      const std::size_t i = static_cast<std::size_t>(b);
      if (changed_[i] && shown_[i].listed) PutBackFromPicture(rectBefore_[i]);
    }
  }
  changedCount_ = 0;
  if (sprites_ != nullptr) {
    for (int i = 0; i < ballCount_; ++i) {
      const auto n = static_cast<std::size_t>(ballOrder_[static_cast<std::size_t>(i)]->number);
      if (!changed_[n]) continue;
      ++changedCount_;
      (*sprites_)[n].DrawShadow();
    }
  }
  ClusterChangedAreas();
  // A frame that has just drawn the room and the table draws the rails in
  // depth order with the balls; otherwise the rails over the balls are
  // copied from the picture where they are on top.
  DrawBallsAndRails(!backgroundDrawn);
  // The stick comes last, over every ball and rail, the nearer ones too.
  if (stickShown) {
    SaveStickArea(stickBox);
    stick_->Draw(1);
  }
  d.SetTransform(0, stick_ != nullptr ? stick_->m_Matrix.data() : identity);
  previousCount_ = ballCount_;
  for (int i = 0; i < ballCount_; ++i)
    previous_[static_cast<std::size_t>(i)] = ballOrder_[static_cast<std::size_t>(i)]->number;
  for (int b = 0; b < kBallCount; ++b) {
    const std::size_t i = static_cast<std::size_t>(b);
    Shown& was = shown_[i];
    was.listed = listedNow_[i];
    rectBefore_[i] = rectNow_[i];
    if (sprites_ != nullptr && listedNow_[i]) {
      const BallSprite& sp = (*sprites_)[i];
      const Fix16* m = sp.ballMatrix;
      was.x = sp.centreXF;
      was.y = sp.centreYF;
      was.radius = sp.radiusF;
      was.turn = {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]};
    }
  }
  if (full) KeepOverlays();
  host.previousFull = full;
  lastFull_ = full;
  lastDrew_ = true;
  view_->dirty = 0;
  view_->matrixChanged = 0;
}

}  // namespace ks::play
