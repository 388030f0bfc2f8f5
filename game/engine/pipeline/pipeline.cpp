#include "pipeline/pipeline.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "engine/image.h"

namespace {

// (a x b) >> 16 with the product held to 64 bits.
std::int64_t MulShift(std::int64_t a, std::int64_t b) {
  __int128 p = static_cast<__int128>(a) * b;
  p >>= 16;
  if (p > INT64_MAX) return INT64_MAX;
  if (p < INT64_MIN) return INT64_MIN;
  return static_cast<std::int64_t>(p);
}

// Screen positions are held well inside 16.16 so that edge arithmetic and
// the clipper's interpolation cannot overflow.
constexpr std::int64_t kScreenLimit = std::int64_t{1} << 30;
std::int32_t HoldScreen(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp(v, -kScreenLimit, kScreenLimit));
}

std::int32_t Lerp(std::int32_t a, std::int32_t b, std::int64_t t) {
  return static_cast<std::int32_t>(b + ((static_cast<std::int64_t>(a) - b) * t >> 16));
}

// Clip-space coordinates of one source vertex; x and y turned for the screen.
void TurnXY(int rotate, std::int32_t& x, std::int32_t& y) {
  const std::int32_t ox = x, oy = y;
  // Negation in 64 bits, truncated: INT32_MIN stays itself rather than overflowing.
  auto neg = [](std::int32_t v) { return static_cast<std::int32_t>(-static_cast<std::int64_t>(v)); };
  switch (rotate & 3) {
    case 1:
      x = oy;
      y = neg(ox);
      break;
    case 2:
      x = neg(ox);
      y = neg(oy);
      break;
    case 3:
      x = neg(oy);
      y = ox;
      break;
    default:
      break;
  }
}

std::uint32_t ClipOutcode(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t w) {
  if (w < kFixOne) return kOutBehind;
  std::uint32_t code = 0;
  if (y < -w) code |= kOutYLow;
  if (y > w) code |= kOutYHigh;
  if (x < -w) code |= kOutXLow;
  if (x > w) code |= kOutXHigh;
  if (z < -w) code |= kOutNear;
  if (z > w) code |= kOutFar;
  return code;
}

}  // namespace

ssPipeline::ssPipeline() {
  for (auto& m : m_Matrix) MatrixIdentity(m);
  MatrixIdentity(m_Work);
  m_Default.count = 1;
  m_Default.vertices.resize(1);
}

void ssPipeline::SetRenderTarget(const ssRasterTarget& target, int rotate) {
  m_Target = target;
  m_Rotate = rotate & 3;
  m_ScaleX = target.width / 2;
  m_ScaleY = target.height / 2;
  m_CentreX = static_cast<std::int32_t>(static_cast<std::int64_t>(target.width) * 32768);
  m_CentreY = static_cast<std::int32_t>(static_cast<std::int64_t>(target.height) * 32768);
  m_Screen = ComputeScreenBox();
}

void ssPipeline::SetClipRect(int left, int top, int right, int bottom) {
  m_Target.clipLeft = left;
  m_Target.clipTop = top;
  m_Target.clipRight = right;
  m_Target.clipBottom = bottom;
  m_Screen = ComputeScreenBox();
}

ssPipeline::ScreenBox ssPipeline::ComputeScreenBox() const {
  auto fix = [](int v) { return static_cast<std::int64_t>(v) * 65536; };
  const std::int64_t x0 =
      std::max({std::int64_t{m_ScaleX} * m_ClipBox[0] + m_CentreX, fix(m_Target.clipLeft), std::int64_t{0}});
  const std::int64_t x1 =
      std::min({std::int64_t{m_ScaleX} * m_ClipBox[1] + m_CentreX, fix(m_Target.clipRight), fix(m_Target.width)});
  const std::int64_t y0 =
      std::max({std::int64_t{m_ScaleY} * m_ClipBox[2] + m_CentreY, fix(m_Target.clipTop), std::int64_t{0}});
  const std::int64_t y1 =
      std::min({std::int64_t{m_ScaleY} * m_ClipBox[3] + m_CentreY, fix(m_Target.clipBottom), fix(m_Target.height)});
  return {HoldScreen(x0), HoldScreen(x1), HoldScreen(y0), HoldScreen(y1)};
}

// --- transforms --------------------------------------------------------------

std::uint32_t ssPipeline::SetTransform(int index, const Fix16* matrix) {
  if (index >= 0 && index < 4 && matrix != nullptr) std::memcpy(m_Matrix[index], matrix, sizeof m_Matrix[index]);
  m_Current = false;
  if (index == kMatrixView || index == kMatrixProjection) m_WorkCurrent = false;
  return 0;
}

void ssPipeline::UpdateTransform() {
  // View times projection changes with the camera only; the world matrix
  // changes with every object drawn.
  if (!m_WorkCurrent) {
    MatrixMultiply(m_Work, m_Matrix[kMatrixView], m_Matrix[kMatrixProjection]);
    m_WorkCurrent = true;
  }
  MatrixMultiply(m_Matrix[kMatrixCombined], m_Matrix[kMatrixWorld], m_Work);
  m_Current = true;
}

std::int32_t ssPipeline::SetPerspective(Fix16 fov, int logicalWidth, int logicalHeight) {
  const float aspect = logicalHeight != 0 ? static_cast<float>(logicalWidth) / static_cast<float>(logicalHeight) : 1.0f;
  float ys = 0.0f;
  Fix16 m[16];
  Perspective(m, static_cast<float>(fov) / 65536.0f, aspect, 4.0f, 600.0f, &ys);
  SetTransform(kMatrixProjection, m);
  return FocalLength(ys, (m_Rotate & 1) != 0 ? m_Target.width : m_Target.height);
}

bool ssPipeline::ProjectOnePoint(const ssVector& p, const Fix16* m, std::int32_t& sx, std::int32_t& sy,
                                 std::int32_t& sz, std::int64_t& w) const {
  auto row = [&](int c) {
    const std::int64_t sum = ((std::int64_t{p.x} * m[c]) >> 16) + ((std::int64_t{p.y} * m[4 + c]) >> 16) +
                             ((std::int64_t{p.z} * m[8 + c]) >> 16) + m[12 + c];
    return static_cast<std::int32_t>(sum);
  };
  std::int32_t x = row(0), y = row(1);
  const std::int32_t z = row(2), ww = row(3);
  TurnXY(m_Rotate, x, y);
  if (ww < kFixOne) {
    sx = sy = 0;
    return false;
  }
  const std::int64_t r = (std::int64_t{1} << 32) / ww;
  sx = HoldScreen((MulShift(x, r) + kFixOne) * (m_Target.width / 2));
  sy = HoldScreen((MulShift(y, r) + kFixOne) * (m_Target.height / 2));
  sz = static_cast<std::int32_t>(std::clamp<std::int64_t>(MulShift(z, r), INT32_MIN, INT32_MAX));
  w = static_cast<std::int64_t>(ww) * 65536;
  return true;
}

int ssPipeline::PolygonOutline(const ssSourceVertex* source, std::uint32_t count, std::int32_t* points, int capacity) {
  if (points == nullptr || count == 0) return 0;
  const ssVertex* vs = Transform(source, count, nullptr);
  if (vs == nullptr) return 0;
  std::uint32_t all = ~0u, any = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    all &= vs[i].outcode;
    any |= vs[i].outcode;
  }
  if (all != 0) return 0;
  const ssVertex* outline = vs;
  int n = static_cast<int>(std::min<std::uint32_t>(count, kMaxPolygon));
  std::uint16_t direct[kMaxPolygon];
  const std::uint16_t* order = direct;
  for (int i = 0; i < n; ++i) direct[i] = static_cast<std::uint16_t>(i);
  if (any != 0) {
    n = ClipPolygonScreen2(vs, static_cast<int>(count));
    if (n < 3) return 0;
    outline = m_Scratch;
    order = m_ClipList;
  }
  n = std::min(n, capacity);
  const std::int32_t w = m_Target.width, h = m_Target.height;
  for (int i = 0; i < n; ++i) {
    const std::int32_t x = outline[order[i]].sx >> 16, y = outline[order[i]].sy >> 16;
    std::int32_t lx = x, ly = y;
    switch (m_Rotate) {
      case 1:
        lx = h - y;
        ly = x;
        break;
      case 2:
        lx = w - x;
        ly = h - y;
        break;
      case 3:
        lx = y;
        ly = w - x;
        break;
      default:
        break;
    }
    points[2 * i] = lx;
    points[2 * i + 1] = ly;
  }
  return n;
}

// --- vertex buffers -------------------------------------------------------------

std::uint32_t ssPipeline::CreateVertexBuffer(std::uint32_t count, std::uint32_t spare, std::uint32_t format,
                                             std::uint32_t, ssVertexBufferRecord** record) {
  auto rec = std::make_unique<ssVertexBufferRecord>();
  rec->count = count;
  rec->spare = spare;
  rec->format = format;
  rec->vertices.resize(count);
  if (record != nullptr) *record = rec.get();
  m_Buffers.push_back(std::move(rec));
  return 0;
}

std::uint32_t ssPipeline::ResizeVertexBuffer(ssVertexBufferRecord* record, std::uint32_t count) {
  for (auto& rec : m_Buffers) {
    if (rec.get() != record) continue;
    if (m_Last == rec->vertices.data()) m_Last = nullptr, m_LastCount = 0, m_TransformedCount = 0;
    rec->vertices.resize(count);
    rec->count = count;
    return 0;
  }
  return kVertexBufferUnknown;
}

std::uint32_t ssPipeline::GetVertexData(ssVertexBufferRecord* record, ssVertex** out) {
  if (out != nullptr) *out = record != nullptr ? record->vertices.data() : nullptr;
  return 0;
}

void ssPipeline::SetVertexBufferTag(ssVertexBufferRecord* record, const void* tag) {
  if (record != nullptr) record->tag = tag;
}

void ssPipeline::FreeVertexBuffers() {
  m_Buffers.clear();
  m_Last = nullptr;
  m_LastCount = 0;
  ResetTransformed();
}

void ssPipeline::FreeVertexBuffersByTag(const void* tag) {
  if (tag == nullptr) return;
  std::erase_if(m_Buffers, [&](const std::unique_ptr<ssVertexBufferRecord>& rec) {
    if (rec->tag != tag) return false;
    if (m_Last == rec->vertices.data()) m_Last = nullptr, m_LastCount = 0;
    return true;
  });
  if (m_TransformedSource == tag) ResetTransformed();
}

ssVertexBufferRecord* ssPipeline::FindVertexBuffer(const void* tag, ssVertexBufferRecord** out) {
  for (auto& rec : m_Buffers) {
    if (rec->tag == tag) {
      if (out != nullptr) *out = rec.get();
      return rec.get();
    }
  }
  return &m_Default;
}

std::uint32_t ssPipeline::RenderVertexBuffer(ssVertex* out, const ssSourceVertex* source, std::uint32_t count,
                                             const Fix16* m) {
  if (count == 0 || out == nullptr || source == nullptr || m == nullptr) return 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const ssSourceVertex& s = source[i];
    ssVertex& v = out[i];
    auto row = [&](int c) {
      const std::int64_t sum = ((std::int64_t{s.x} * m[c]) >> 16) + ((std::int64_t{s.y} * m[4 + c]) >> 16) +
                               ((std::int64_t{s.z} * m[8 + c]) >> 16) + m[12 + c];
      return static_cast<std::int32_t>(sum);
    };
    v.x = row(0);
    v.y = row(1);
    v.z = row(2);
    v.w = row(3);
    TurnXY(m_Rotate, v.x, v.y);
    v.outcode = ClipOutcode(v.x, v.y, v.z, v.w);
    if (v.outcode == 0) {
      // |x|, |y| <= w and w >= 1.0 here, so x / w stays within [-1, 1].
      const std::int64_t r = (std::int64_t{1} << 32) / v.w;
      v.sx = HoldScreen(std::int64_t{m_ScaleX} * ((std::int64_t{v.x} * r) >> 16) + m_CentreX);
      v.sy = HoldScreen(std::int64_t{m_ScaleY} * ((std::int64_t{v.y} * r) >> 16) + m_CentreY);
      v.zw = static_cast<std::int32_t>((std::int64_t{v.z} * r) >> 16);
      v.rw = static_cast<std::int32_t>(r);
    }
    std::memcpy(v.data, s.data, sizeof v.data);
    v.u = s.u;
    v.v = s.v;
  }
  m_Last = out;
  m_LastCount = count;
  return 1;
}

std::uint32_t ssPipeline::DrawVertexBuffer(const ssSourceVertex* source, std::uint32_t count, const Fix16* matrix) {
  ssVertexBufferRecord* rec = nullptr;
  FindVertexBuffer(source, &rec);
  if (rec == nullptr) {
    // An array with no buffer of its own gets one, rather than overrunning
    // the one-vertex default.
    CreateVertexBuffer(count, 0, 0, 0, &rec);
    rec->tag = source;
  }
  if (rec->vertices.size() < count) {
    rec->vertices.resize(count);
    rec->count = count;
  }
  return RenderVertexBuffer(rec->vertices.data(), source, count, matrix);
}

ssVertex* ssPipeline::Transform(const void* source, std::uint32_t count, ssVertexBufferRecord* record) {
  if (source == nullptr || count == 0) return nullptr;
  if (!m_Current) UpdateTransform();
  const auto* src = static_cast<const ssSourceVertex*>(source);
  if (record != nullptr) {
    if (record->vertices.size() < count) {
      record->vertices.resize(count);
      record->count = count;
    }
    if (RenderVertexBuffer(record->vertices.data(), src, count, m_Matrix[kMatrixCombined]) == 0) return nullptr;
  } else if (DrawVertexBuffer(src, count, m_Matrix[kMatrixCombined]) == 0) {
    return nullptr;
  }
  return m_Last;
}

// --- outcodes and clipping ------------------------------------------------------

std::uint32_t ssPipeline::OutcodeX(const ssVertex& v) {
  return (v.x < -v.w ? kOutXLow : 0) | (v.x > v.w ? kOutXHigh : 0);
}
std::uint32_t ssPipeline::OutcodeY(const ssVertex& v) {
  return (v.y < -v.w ? kOutYLow : 0) | (v.y > v.w ? kOutYHigh : 0);
}
std::uint32_t ssPipeline::OutcodeScreenX(const ssVertex& v) const {
  return (v.sx < m_Screen.x0 ? kOutXLow : 0) | (v.sx > m_Screen.x1 ? kOutXHigh : 0);
}
std::uint32_t ssPipeline::OutcodeScreenY(const ssVertex& v) const {
  return (v.sy < m_Screen.y0 ? kOutYLow : 0) | (v.sy > m_Screen.y1 ? kOutYHigh : 0);
}

std::uint32_t ssPipeline::OutcodeFar(const ssVertex& v) const { return v.zw > m_ClipBox[5] ? kOutFar : 0; }
std::uint32_t ssPipeline::OutcodeScreen(const ssVertex& v) const {
  return OutcodeScreenX(v) | OutcodeScreenY(v) | (v.zw < m_ClipBox[4] ? kOutNear : 0) | OutcodeFar(v);
}

// --- render state ---------------------------------------------------------------

void ssPipeline::SetVertexSource(std::uint32_t a, const void* vertices, std::uint32_t b) {
  m_State.vertices = vertices;
  m_State.sourceA = a;
  m_State.sourceB = b;
  ResetTransformed();
}

void ssPipeline::SetIndices(const std::uint32_t* indices, std::uint32_t count) {
  m_State.indices = indices;
  m_State.indexCount = count;
  m_State.indexWidth = 4;
}

void ssPipeline::SetStateBlock(const void* block) {
  if (block == nullptr) return;
  std::memcpy(m_StateBlock.data(), block, m_StateBlock.size());
  m_StateBlockInUse = true;
}

bool ssPipeline::Project(ssVertex& v, bool clampToBox) const {
  if (v.w <= 0) return false;
  const std::int64_t r = (std::int64_t{1} << 32) / v.w;
  std::int64_t nx = MulShift(v.x, r), ny = MulShift(v.y, r);
  if (clampToBox) {
    nx = std::clamp<std::int64_t>(nx, m_ClipBox[0], m_ClipBox[1]);
    ny = std::clamp<std::int64_t>(ny, m_ClipBox[2], m_ClipBox[3]);
  }
  nx = std::clamp(nx, -kScreenLimit, kScreenLimit);
  ny = std::clamp(ny, -kScreenLimit, kScreenLimit);
  v.sx = HoldScreen(m_ScaleX * nx + m_CentreX);
  v.sy = HoldScreen(m_ScaleY * ny + m_CentreY);
  v.zw = static_cast<std::int32_t>(std::clamp<std::int64_t>(MulShift(v.z, r), INT32_MIN, INT32_MAX));
  v.rw = static_cast<std::int32_t>(std::min<std::int64_t>(r, INT32_MAX));
  return true;
}

int ssPipeline::ClipPolygon(const ssVertex* vertices, int count) { return Clip(vertices, count, ClipMode::kClipSpace); }
int ssPipeline::ClipPolygonScreen(const ssVertex* vertices, int count) {
  return Clip(vertices, count, ClipMode::kScreenTextured);
}
int ssPipeline::ClipPolygonScreen2(const ssVertex* vertices, int count) {
  return Clip(vertices, count, ClipMode::kScreenPlain);
}

// Sutherland-Hodgman over the closed outline. A new vertex is always
// computed from the inside end towards the outside end, so two polygons
// sharing an edge get the same point.
int ssPipeline::Clip(const ssVertex* vertices, int count, ClipMode mode) {
  if (vertices == nullptr || count < 2 || count > 16) return 0;
  std::uint16_t lists[2][kMaxPolygon];
  std::uint16_t* in = lists[0];
  std::uint16_t* out = lists[1];
  for (int i = 0; i < count; ++i) {
    m_Scratch[i] = vertices[i];
    in[i] = static_cast<std::uint16_t>(i);
  }
  int n = count;
  int used = count;
  const bool screenTextured = mode == ClipMode::kScreenTextured;

  // One plane: dist gives the signed distance (inside >= 0) and make builds
  // the crossing from inside a, outside b and t (16.16, the weight of a).
  auto plane = [&](auto dist, auto make) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const int cur = in[i], prev = in[(i + n - 1) % n];
      const std::int64_t dc = dist(m_Scratch[cur]), dp = dist(m_Scratch[prev]);
      auto cross = [&](int a, int b, std::int64_t da, std::int64_t db) {
        if (used >= kScratchVertices || m >= kMaxPolygon) return false;
        const std::int64_t t = (db * 65536) / (db - da);
        ssVertex& v = m_Scratch[used];
        make(v, m_Scratch[a], m_Scratch[b], t);
        out[m++] = static_cast<std::uint16_t>(used++);
        return true;
      };
      if (dc >= 0) {
        if (dp < 0 && !cross(cur, prev, dc, dp)) return false;
        if (m >= kMaxPolygon) return false;
        out[m++] = static_cast<std::uint16_t>(cur);
      } else if (dp >= 0 && !cross(prev, cur, dp, dc)) {
        return false;
      }
    }
    std::swap(in, out);
    n = m;
    return true;
  };
  auto makeClip = [](ssVertex& v, const ssVertex& a, const ssVertex& b, std::int64_t t) {
    v = a;  // per-vertex data (the flat pixel) from the inside end
    v.x = Lerp(a.x, b.x, t);
    v.y = Lerp(a.y, b.y, t);
    v.z = Lerp(a.z, b.z, t);
    v.w = Lerp(a.w, b.w, t);
    v.u = Lerp(a.u, b.u, t);
    v.v = Lerp(a.v, b.v, t);
  };
  auto clipPlane = [&](auto dist) { return plane(dist, makeClip); };

  if (!clipPlane([](const ssVertex& v) { return std::int64_t{v.z} + v.w; })) return 0;
  if (mode == ClipMode::kClipSpace) {
    if (!clipPlane([](const ssVertex& v) { return std::int64_t{v.x} + v.w; }) ||
        !clipPlane([](const ssVertex& v) { return std::int64_t{v.w} - v.x; }) ||
        !clipPlane([](const ssVertex& v) { return std::int64_t{v.y} + v.w; }) ||
        !clipPlane([](const ssVertex& v) { return std::int64_t{v.w} - v.y; }))
      return 0;
  }
  if (n == 0) return 0;
  for (int i = 0; i < n; ++i)
    if (!Project(m_Scratch[in[i]], mode == ClipMode::kClipSpace)) return 0;

  if (mode != ClipMode::kClipSpace) {
    // New vertices lie exactly on the bound; the other coordinate (and u, v
    // and 1/w when textured) follow linearly in screen space.
    auto makeScreen = [screenTextured](bool alongX, std::int32_t bound) {
      return [=](ssVertex& v, const ssVertex& a, const ssVertex& b, std::int64_t t) {
        v = a;
        if (alongX) {
          v.sx = bound;
          v.sy = Lerp(a.sy, b.sy, t);
        } else {
          v.sy = bound;
          v.sx = Lerp(a.sx, b.sx, t);
        }
        if (screenTextured) {
          v.u = Lerp(a.u, b.u, t);
          v.v = Lerp(a.v, b.v, t);
          v.zw = Lerp(a.zw, b.zw, t);
          v.rw = Lerp(a.rw, b.rw, t);
          // w follows 1/w, which is linear on the screen.
          const std::int64_t qa = (std::int64_t{1} << 40) / std::max(a.w, 1);
          const std::int64_t qb = (std::int64_t{1} << 40) / std::max(b.w, 1);
          const std::int64_t q = qb + ((qa - qb) * t >> 16);
          v.w = q > 0 ? static_cast<std::int32_t>(std::min<std::int64_t>((std::int64_t{1} << 40) / q, INT32_MAX)) : a.w;
        }
      };
    };
    const ScreenBox& s = m_Screen;
    if (!plane([&](const ssVertex& v) { return std::int64_t{v.sx} - s.x0; }, makeScreen(true, s.x0)) ||
        !plane([&](const ssVertex& v) { return std::int64_t{s.x1} - v.sx; }, makeScreen(true, s.x1)) ||
        !plane([&](const ssVertex& v) { return std::int64_t{v.sy} - s.y0; }, makeScreen(false, s.y0)) ||
        !plane([&](const ssVertex& v) { return std::int64_t{s.y1} - v.sy; }, makeScreen(false, s.y1)))
      return 0;
  }
  for (int i = 0; i < n; ++i) {
    m_ClipList[i] = in[i];
    m_Scratch[in[i]].outcode = 0;
  }
  return n;
}

// --- textures -------------------------------------------------------------------

std::uint32_t ssPipeline::SetTexture(int stage, ssImage* image) {
  if (stage >= 0 && stage < kTextureStages) m_Stages[stage] = image;
  m_TextureValid = false;
  m_Texture = {};
  if (image == nullptr || image->Pixels() == nullptr) return 0;
  ssTexture t;
  t.texels = image->Pixels();
  t.width = image->Width();
  t.height = image->Height();
  t.log2Width = static_cast<int>(std::min<std::uint32_t>(image->Log2Width(), 31));
  t.texelBytes = static_cast<int>(BytesPerPixel(image->Format()));
  m_TextureValid = ssPrepareTexture(t);
  if (m_TextureValid) m_Texture = t;
  return 0;
}

bool ssPipeline::SetTextureRaw(const ssTexture& texture) {
  m_Texture = texture;
  m_TextureValid = ssPrepareTexture(m_Texture);
  return m_TextureValid;
}

// --- primitives -----------------------------------------------------------------

void ssPipeline::FillClipped(int n, bool textured) {
  if (!textured) {
    ssFillFlat(m_Target, m_Scratch, m_ClipList, n);
    return;
  }
  std::int32_t du, dv;
  const std::int32_t area =
      ssTextureGradients(m_Scratch[m_ClipList[0]], m_Scratch[m_ClipList[1]], m_Scratch[m_ClipList[2]], du, dv);
  if (area > 127 || area < -127) ssFillTextured(m_Target, m_Scratch, m_ClipList, n, m_Texture, du, dv);
}

void ssPipeline::DrawPolygon(const ssVertex* vs, const std::uint16_t* test, const std::uint16_t* fill, int n,
                             bool textured) {
  if (textured && !m_TextureValid) return;
  m_Texture.mode = m_TextureMode;
  std::uint32_t all = ~0u, any = 0;
  for (int i = 0; i < n; ++i) {
    all &= vs[test[i]].outcode;
    any |= vs[test[i]].outcode;
  }
  if (all != 0) return;
  if ((any & kOutAny) == 0) {
    if (ssBackFaceCross(vs[test[0]], vs[test[1]], vs[test[2]]) >= 0) return;
    if (!textured) {
      ssFillFlat(m_Target, vs, fill, n);
      return;
    }
    std::int32_t du, dv;
    if (ssTextureGradients(vs[fill[0]], vs[fill[1]], vs[fill[2]], du, dv) == 0) return;
    ssFillTextured(m_Target, vs, fill, n, m_Texture, du, dv);
    return;
  }
  if ((any & kOutBehind) != 0) return;
  ssVertex local[4];
  for (int i = 0; i < n; ++i) local[i] = vs[fill[i]];
  const int k = textured ? ClipPolygonScreen(local, n) : ClipPolygonScreen2(local, n);
  if (k >= 3) FillClipped(k, textured);
}

void ssPipeline::DrawPerspective(const ssVertex* vs, const std::uint16_t* corners) {
  if (!m_TextureValid || m_Texture.texelBytes != 2) return;
  const std::uint32_t a = vs[corners[0]].outcode, b = vs[corners[1]].outcode, c = vs[corners[2]].outcode;
  if ((a & b & c) != 0) return;
  if (((a | b | c) & kOutAny) == 0) {
    ssFillPerspective(m_Target, vs, corners, 3, m_Texture);
    return;
  }
  ssVertex local[4];
  for (int i = 0; i < 4; ++i) local[i] = vs[corners[i]];
  const int k = ClipPolygonScreen(local, 4);
  if (k >= 3) ssFillPerspective(m_Target, m_Scratch, m_ClipList, k, m_Texture);
}

void ssPipeline::DrawLines(const ssVertex* vs, std::uint32_t count, const ssLineList* lists, std::uint32_t listCount) {
  for (std::uint32_t l = 0; l < listCount; ++l) {
    const ssLineList& list = lists[l];
    if (list.pairs == nullptr) continue;
    const bool dashed = (list.flags & kLineDashed) != 0;
    for (std::uint32_t s = 0; s < list.segments; ++s) {
      const std::uint16_t i0 = list.pairs[2 * s], i1 = list.pairs[2 * s + 1];
      if (i0 >= count || i1 >= count) continue;
      const ssVertex& a = vs[i0];
      const ssVertex& b = vs[i1];
      if ((a.outcode | b.outcode) == 0) {
        ssDrawLine(m_Target, a.sx, a.sy, b.sx, b.sy, list.pixel, list.pixel2, dashed);
        continue;
      }
      if ((a.outcode & b.outcode) != 0 || ((a.outcode | b.outcode) & kOutBehind) != 0) continue;
      const ssVertex local[2] = {a, b};
      if (ClipPolygonScreen2(local, 2) < 2) continue;
      const ssVertex& p = m_Scratch[m_ClipList[0]];
      const ssVertex& q = m_Scratch[m_ClipList[1]];
      ssDrawLine(m_Target, p.sx, p.sy, q.sx, q.sy, list.pixel, list.pixel2, dashed);
    }
  }
}

namespace {

// The visibility query over vertices 0-2 (or 0-3): 1 when no single plane
// has them all outside.
std::uint32_t Visible(const ssVertex* vs, std::uint32_t count, int corners) {
  if (vs == nullptr || count < static_cast<std::uint32_t>(corners)) return 0;
  std::uint32_t all = ~0u;
  for (int i = 0; i < corners; ++i) all &= vs[i].outcode;
  return all == 0 ? 1 : 0;
}

template <typename Face, int N>
bool IndicesOk(const Face& f, std::uint32_t count) {
  for (int i = 0; i < N; ++i)
    if (f.index[i] >= count) return false;
  return true;
}

}  // namespace

std::uint32_t ssPipeline::DrawIndexedPrimitive(int type, int transformed, const void* source, std::uint32_t vertexCount,
                                               const void* faces, std::uint32_t faceCount, std::uint32_t,
                                               ssVertexBufferRecord* record) {
  ssVertex* vs = nullptr;
  std::uint32_t count = 0;
  if (transformed == 0) {
    vs = Transform(source, vertexCount, record);
    if (vs == nullptr) return 0;
    count = vertexCount;
  } else if (record != nullptr) {
    vs = record->vertices.data();
    count = std::min<std::uint32_t>(vertexCount, static_cast<std::uint32_t>(record->vertices.size()));
  } else {
    vs = m_Last;
    count = std::min(vertexCount, m_LastCount);
  }
  if (vs == nullptr) return 0;
  if (type == kPrimitiveVisibleTriangle) return Visible(vs, count, 3);
  if (type == kPrimitiveVisibleQuad) return Visible(vs, count, 4);
  if (faces == nullptr) return 0;
  switch (type) {
    case kPrimitiveFlatTriangles:
      for (const auto* f = static_cast<const ssFlatTriangleFace*>(faces); faceCount-- > 0; ++f) {
        if (!IndicesOk<ssFlatTriangleFace, 3>(*f, count)) continue;
        for (int i = 0; i < 3; ++i) vs[f->index[i]].data[0] = f->pixel[i];
        DrawPolygon(vs, f->index, f->index, 3, false);
      }
      break;
    case kPrimitiveFlatQuads:
      for (const auto* f = static_cast<const ssFlatQuadFace*>(faces); faceCount-- > 0; ++f) {
        if (!IndicesOk<ssFlatQuadFace, 4>(*f, count)) continue;
        for (int i = 0; i < 4; ++i) vs[f->index[i]].data[0] = f->pixel[i];
        DrawPolygon(vs, f->index, f->index, 4, false);
      }
      break;
    case kPrimitiveTexturedTriangles:
      for (const auto* f = static_cast<const ssTexTriangleFace*>(faces); faceCount-- > 0; ++f) {
        if (!IndicesOk<ssTexTriangleFace, 3>(*f, count)) continue;
        for (int i = 0; i < 3; ++i) vs[f->index[i]].u = f->u[i], vs[f->index[i]].v = f->v[i];
        DrawPolygon(vs, f->index, f->index, 3, true);
      }
      break;
    case kPrimitiveTexturedQuads:
      for (const auto* f = static_cast<const ssTexQuadFace*>(faces); faceCount-- > 0; ++f) {
        if (!IndicesOk<ssTexQuadFace, 4>(*f, count)) continue;
        for (int i = 0; i < 4; ++i) vs[f->index[i]].u = f->u[i], vs[f->index[i]].v = f->v[i];
        DrawPolygon(vs, f->index, f->index, 4, true);
      }
      break;
    case kPrimitivePerspectiveTriangles:
      for (const auto* f = static_cast<const ssTexQuadFace*>(faces); faceCount-- > 0; ++f) {
        if (!IndicesOk<ssTexQuadFace, 4>(*f, count)) continue;
        for (int i = 0; i < 4; ++i) vs[f->index[i]].u = f->u[i], vs[f->index[i]].v = f->v[i];
        DrawPerspective(vs, f->index);
      }
      break;
    case kPrimitiveLineList:
      DrawLines(vs, count, static_cast<const ssLineList*>(faces), faceCount);
      break;
    default:
      break;
  }
  return 0;
}

std::uint32_t ssPipeline::DrawPrimitive(int type, const ssSourceVertex* source, std::uint32_t firstVertex,
                                        std::uint32_t vertexCount, const std::uint16_t* records,
                                        std::uint32_t firstIndex, std::uint32_t primitives) {
  if (source == nullptr) return 0;
  if (!m_Current) UpdateTransform();
  const std::uint64_t end = std::uint64_t{firstVertex} + vertexCount;
  if (end > 0xFFFFFFFFu) return 0;
  ssVertexBufferRecord* rec = nullptr;
  FindVertexBuffer(source, &rec);
  if (source != m_TransformedSource || end > m_TransformedCount || rec == nullptr) {
    if (rec == nullptr) {
      CreateVertexBuffer(static_cast<std::uint32_t>(end), 0, 0, 0, &rec);
      rec->tag = source;
    }
    if (rec->vertices.size() < end) {
      rec->vertices.resize(end);
      rec->count = static_cast<std::uint32_t>(end);
    }
    if (vertexCount > 0 && RenderVertexBuffer(rec->vertices.data() + firstVertex, source + firstVertex, vertexCount,
                                              m_Matrix[kMatrixCombined]) == 0)
      return 0;
    m_TransformedSource = source;
    m_TransformedCount = static_cast<std::uint32_t>(end);
  }
  ssVertex* vs = rec->vertices.data();
  const std::uint32_t count =
      std::min<std::uint32_t>(m_TransformedCount, static_cast<std::uint32_t>(rec->vertices.size()));
  m_Last = vs;
  m_LastCount = count;
  if (type == kPrimitiveVisibleTriangle) return Visible(vs, count, 3);
  if (type == kPrimitiveVisibleQuad) return Visible(vs, count, 4);
  if (type < kPrimitiveFlatTriangles || type > kPrimitiveTexturedQuads || records == nullptr) return 0;
  const int corners = (type == kPrimitiveFlatQuads || type == kPrimitiveTexturedQuads) ? 4 : 3;
  const bool textured = type >= kPrimitiveTexturedTriangles;
  const std::uint16_t* r = records + firstIndex;
  for (std::uint32_t p = 0; p < primitives; ++p, r += 2 * corners) {
    bool ok = true;
    for (int i = 0; i < 2 * corners; ++i) ok = ok && r[i] < count;
    if (ok) DrawPolygon(vs, r, r + corners, corners, textured);
  }
  return 0;
}

std::uint32_t ssPipelineModelDevice::MakePixel(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  red &= 0xFF, green &= 0xFF, blue &= 0xFF;
  if (m_Depth == 12) return ((red >> 4) << 8) | ((green >> 4) << 4) | (blue >> 4);
  return ((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3);
}
