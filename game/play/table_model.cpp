#include "play/table_model.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "display/display.h"
#include "engine/archive.h"
#include "engine/file.h"
#include "engine/image.h"
#include "simulation/pool.h"

namespace ks::play {

namespace {

constexpr std::uint32_t kRecordBytes[5] = {0, 20, 24, 32, 40};
constexpr int kCorners[5] = {0, 3, 4, 3, 4};
constexpr std::int32_t kWeld = 256;  // corners nearer than 1/256 unit on every axis share a vertex
constexpr std::uint32_t kMaxShared = 65535;

// A group while loading: its own vertices and its faces.
struct RawGroup {
  int type = 0;
  std::uint32_t faceCount = 0;
  std::vector<std::uint8_t> faces;
  std::vector<ssSourceVertex> vertices;
};

std::uint16_t* FaceIndices(std::uint8_t* record) { return reinterpret_cast<std::uint16_t*>(record); }

template <typename T>
void PutRecord(std::vector<std::uint8_t>& out, const T& record) {
  const std::size_t at = out.size();
  out.resize(at + sizeof(T));
  std::memcpy(out.data() + at, &record, sizeof(T));
}

static_assert(sizeof(ssFlatTriangleFace) == 20 && sizeof(ssFlatQuadFace) == 24 && sizeof(ssTexTriangleFace) == 32 &&
              sizeof(ssTexQuadFace) == 40);

// The bed is fitted to the table from quad midpoints.
std::int32_t Mid(std::int32_t a, std::int32_t b) { return a + (b - a) / 2; }

// How the bed is fitted to the table: corners beyond 0.8 of the half
// sizes move out by the step of the table's size.
struct BedFit {
  Fix16 fitX, fitZ, stepX, stepZ;
};

// The bed rebuilt from the midpoints of its quads and fitted to the table;
// false when its vertices are not whole quads.
bool RebuildBed(const ssKsoObject& o, const BedFit& fit, std::vector<ssSourceVertex>& vertices) {
  const std::uint32_t vertexCount = static_cast<std::uint32_t>(o.positions.size());
  if (vertexCount % 4 != 0) return false;
  const Fix16 fitX = fit.fitX, fitZ = fit.fitZ, stepX = fit.stepX, stepZ = fit.stepZ;
  for (std::uint32_t q = 0; q < vertexCount; q += 4) {
    std::int32_t p[4][3];
    for (int k = 0; k < 4; ++k)
      for (int c = 0; c < 3; ++c) p[k][c] = o.positions[q + static_cast<std::uint32_t>(k)][static_cast<std::size_t>(c)];
    std::int32_t out[4][3];
    if (p[1][0] == p[2][0]) {
      const std::int32_t a[4][3] = {{Mid(p[0][0], p[1][0]), p[0][1], p[0][2]},
                                    {p[1][0], p[1][1], Mid(p[1][2], p[2][2])},
                                    {Mid(p[2][0], p[3][0]), p[2][1], p[2][2]},
                                    {p[3][0], p[3][1], Mid(p[3][2], p[0][2])}};
      std::memcpy(out, a, sizeof out);
    } else {
      const std::int32_t a[4][3] = {{Mid(p[0][0], p[1][0]), p[0][1], p[0][2]},
                                    {p[1][0], p[1][1], Mid(p[1][2], p[2][2])},
                                    {p[2][0], p[2][1], Mid(p[2][2], p[0][2])},
                                    {Mid(p[3][0], p[2][0]), p[3][1], p[3][2]}};
      std::memcpy(out, a, sizeof out);
    }
    for (auto& v3 : out) {
      ssSourceVertex v;
      v.x = static_cast<std::int32_t>(v3[0] * 0.84210527);
      v.y = v3[1];
      v.z = static_cast<std::int32_t>(v3[2] * 0.84210527);
      if (v.z < -fitZ) {
        v.z -= stepZ;
      } else if (v.z > fitZ) {
        v.z += stepZ;
      } else if (v.x < -fitX) {
        v.x -= stepX;
      } else if (v.x > fitX) {
        v.x += stepX;
      }
      vertices.push_back(v);
    }
  }
  return true;
}

// Welds every face corner of the groups into one shared vertex set: the
// first vertex of the set within 1/256 unit on every axis, else a new one.
// A grid of 1/256-unit cells finds the candidates; the lowest index wins.
// The faces' indices then name shared vertices. False when a corner names
// no vertex of its group or the set would pass 65,535 vertices.
template <std::size_t N>
bool WeldCorners(std::array<RawGroup, N>& raw, std::vector<ssSourceVertex>& shared) {
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> cells;
  auto cellKey = [](std::int64_t cx, std::int64_t cy, std::int64_t cz) {
    return (static_cast<std::uint64_t>(cx & 0x1FFFFF) << 42) | (static_cast<std::uint64_t>(cy & 0x1FFFFF) << 21) |
           static_cast<std::uint64_t>(cz & 0x1FFFFF);
  };
  auto weld = [&](const ssSourceVertex& v, std::uint32_t& out) {
    const std::int64_t cx = v.x >> 8, cy = v.y >> 8, cz = v.z >> 8;
    std::uint32_t best = UINT32_MAX;
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz) {
          auto it = cells.find(cellKey(cx + dx, cy + dy, cz + dz));
          if (it == cells.end()) continue;
          for (std::uint32_t i : it->second) {
            const ssSourceVertex& s = shared[i];
            if (i < best && std::abs(std::int64_t{s.x} - v.x) < kWeld && std::abs(std::int64_t{s.y} - v.y) < kWeld &&
                std::abs(std::int64_t{s.z} - v.z) < kWeld)
              best = i;
          }
        }
    if (best == UINT32_MAX) {
      if (shared.size() >= kMaxShared) return false;
      best = static_cast<std::uint32_t>(shared.size());
      ssSourceVertex copy;
      copy.x = v.x, copy.y = v.y, copy.z = v.z;
      shared.push_back(copy);
      cells[cellKey(cx, cy, cz)].push_back(best);
    }
    out = best;
    return true;
  };
  for (RawGroup& g : raw) {
    if (g.type == 0) continue;
    const std::uint32_t stride = kRecordBytes[g.type];
    for (std::uint32_t f = 0; f < g.faceCount; ++f) {
      std::uint16_t* corners = FaceIndices(g.faces.data() + std::size_t{f} * stride);
      for (int c = 0; c < kCorners[g.type]; ++c) {
        std::uint16_t idx;
        std::memcpy(&idx, &corners[c], 2);
        if (idx >= g.vertices.size()) return false;
        std::uint32_t s = 0;
        if (!weld(g.vertices[idx], s)) return false;
        idx = static_cast<std::uint16_t>(s);
        std::memcpy(&corners[c], &idx, 2);
      }
    }
  }
  return true;
}

}  // namespace

TableModel::TableModel() = default;
TableModel::~TableModel() { Free(); }

void TableModel::SetTextures(ssDisplay* device, ssImage* tableTexture, ssImage* pocketTexture) {
  device_ = device;
  tableTexture_ = tableTexture;
  pocketTexture_ = pocketTexture;
}

bool TableModel::Load(const wchar_t* name, const wchar_t* folder, const wchar_t* archive) {
  if (device_ == nullptr || device_->GetArchive() == nullptr) return false;
  std::unique_ptr<ssFile> stream = device_->GetArchive()->OpenFile(name, folder, archive, 0x80000000u, 0);
  if (!stream) return false;
  const std::uint32_t size = stream->GetSize();
  if (size == 0 || size > (64u << 20)) return false;
  std::vector<std::uint8_t> bytes(size);
  if (stream->Read(bytes.data(), size) != size) return false;
  stream->Close();
  return LoadFromBytes(bytes);
}

bool TableModel::LoadFromBytes(const std::vector<std::uint8_t>& bytes) {
  if (device_ == nullptr || pool == nullptr) return false;
  // The file's layout is the engine's; what its objects mean here is the
  // table's own (the bed rebuilt, the rails moved in, flat triangles).
  ssKsoFile file;
  if (!ReadKsoFile(bytes, file) || file.objects.size() != kTableGroupsInFile) return false;
  const std::uint32_t objects = kTableGroupsInFile;

  const Fix16 hx = pool->table.hx, hz = pool->table.hz;
  const Fix16 fitX = static_cast<Fix16>(0.8 * hx), fitZ = static_cast<Fix16>(0.8 * hz);
  const Fix16 stepZ = largeTable != 0 ? 0x20000 : 0x10000, stepX = largeTable != 0 ? 91750 : 52428;

  std::array<RawGroup, kGroups> raw;
  for (std::uint32_t object = 0; object < objects; ++object) {
    const ssKsoObject& o = file.objects[object];
    const std::uint32_t blockSize = static_cast<std::uint32_t>(o.attributes.size());
    const std::uint32_t vertexCount = static_cast<std::uint32_t>(o.positions.size());
    const int kind = o.kind;
    const std::uint32_t indexCount = static_cast<std::uint32_t>(o.indices.size());

    RawGroup& g = raw[object];
    std::uint32_t attributeBytes = 0;
    bool attributes = true;
    switch (kind) {
      case 0:
        g.type = 1, attributeBytes = 20;
        break;
      case 1:
        g.type = object == 0 ? 1 : 3, attributeBytes = 32, attributes = object != 0;
        break;
      case 4:
        g.type = 2, attributeBytes = 24;
        break;
      case 5:
        g.type = object == 0 ? 2 : 4, attributeBytes = 40, attributes = object != 0;
        break;
      default:
        g.type = 0;  // a kind this reader does not draw: no faces
        break;
    }
    if (g.type != 0) {
      const int corners = kCorners[g.type];
      g.faceCount = indexCount / static_cast<std::uint32_t>(corners);
      if (attributes && std::uint64_t{g.faceCount} * attributeBytes > blockSize) return false;
      if (!o.CornersInRange(g.faceCount * static_cast<std::uint32_t>(corners))) return false;
    }
    // Vertices: the bed is rebuilt from the midpoints of its quads and fitted
    // to the table; every other object is moved in from the file's frame.
    if (object == 0) {
      if (!RebuildBed(o, {fitX, fitZ, stepX, stepZ}, g.vertices)) return false;
    } else {
      g.vertices.resize(vertexCount);
      for (std::uint32_t i = 0; i < vertexCount; ++i) {
        ssSourceVertex& v = g.vertices[i];
        v.x = o.positions[i][0];
        v.y = o.positions[i][1];
        v.z = o.positions[i][2];
        if (v.x > 0)
          v.x -= 0x30000;
        else if (v.x < 0)
          v.x += 0x30000;
        if (v.z > 204800)
          v.z -= 0x60000;
        else if (v.z < -204800)
          v.z += 0x60000;
      }
    }
    // Face records, corners with the second and last exchanged.
    for (std::uint32_t f = 0; f < g.faceCount; ++f) {
      // The face's attributes; the bed's faces have none (their colour is fixed).
      const std::uint8_t* a = attributes ? o.attributes.data() + std::size_t{f} * attributeBytes : nullptr;
      auto index = [&](int c) {
        return o.indices[f * static_cast<std::uint32_t>(kCorners[g.type]) + static_cast<std::uint32_t>(c)];
      };
      switch (g.type) {
        case 1: {
          ssFlatTriangleFace r{};
          r.index[0] = index(0), r.index[1] = index(2), r.index[2] = index(1);
          const std::uint32_t pixel =
              attributes ? device_->MakePixel(a[4], a[5], a[6]) : device_->MakePixel(163, 154, 135);
          for (std::uint32_t& p : r.pixel) p = pixel;
          PutRecord(g.faces, r);
          break;
        }
        case 2: {
          ssFlatQuadFace r{};
          r.index[0] = index(0), r.index[1] = index(2), r.index[2] = index(3), r.index[3] = index(1);
          const std::uint32_t pixel = attributes ? device_->MakePixel(a[4], a[5], a[6]) : 65535u;
          for (std::uint32_t& p : r.pixel) p = pixel;
          PutRecord(g.faces, r);
          break;
        }
        case 3: {
          ssTexTriangleFace r{};
          r.index[0] = index(0), r.index[1] = index(2), r.index[2] = index(1);
          static constexpr int kFirst[3] = {13, 29, 21}, kSecond[3] = {12, 28, 20};
          for (int k = 0; k < 3; ++k) r.u[k] = a[kFirst[k]] << 16, r.v[k] = a[kSecond[k]] << 16;
          PutRecord(g.faces, r);
          break;
        }
        case 4: {
          ssTexQuadFace r{};
          r.index[0] = index(0), r.index[1] = index(2), r.index[2] = index(3), r.index[3] = index(1);
          static constexpr int kFirst[4] = {13, 29, 37, 21}, kSecond[4] = {12, 28, 36, 20};
          for (int k = 0; k < 4; ++k) r.u[k] = a[kFirst[k]] << 16, r.v[k] = a[kSecond[k]] << 16;
          PutRecord(g.faces, r);
          break;
        }
        default:
          break;
      }
    }
  }

  // Group 16: the pockets lowered (everything below the bed twice as deep).
  raw[16] = raw[1];
  for (ssSourceVertex& v : raw[16].vertices)
    if (v.y > 0) v.y = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{v.y} * 2, INT32_MAX));
  // Group 17: the six pocket quads on the cloth.
  {
    RawGroup& g = raw[17];
    g.type = 4;
    g.faceCount = 6;
    constexpr Fix16 e = 0x2C000, y = 0x10000;
    for (int j = 0; j < 6; ++j) {
      const FixVec2 p = pool->table.pocketAim[static_cast<std::size_t>(j)];
      const Fix16 xs[4] = {p.x - e, p.x + e, p.x + e, p.x - e}, zs[4] = {p.z - e, p.z - e, p.z + e, p.z + e};
      ssTexQuadFace r{};
      for (int k = 0; k < 4; ++k) {
        ssSourceVertex v;
        v.x = xs[k], v.y = y, v.z = zs[k];
        g.vertices.push_back(v);
        r.index[k] = static_cast<std::uint16_t>(4 * j + k);
      }
      r.u[1] = r.u[2] = 31 << 16;
      r.v[2] = r.v[3] = 31 << 16;
      PutRecord(g.faces, r);
    }
  }

  // Every face corner into one shared vertex set.
  std::vector<ssSourceVertex> shared;
  if (!WeldCorners(raw, shared)) return false;
  if (shared.empty()) return false;

  // The rail parts: runs of faces copied whole from the loaded groups.
  std::array<std::array<Group, kRailSubMeshes>, kRailParts> rails;
  for (int p = 0; p < kRailParts; ++p) {
    for (int m = 0; m < kRailSubMeshes; ++m) {
      const RailSubMesh& sub = kRailLayout[static_cast<std::size_t>(p)][static_cast<std::size_t>(m)];
      Group& out = rails[static_cast<std::size_t>(p)][static_cast<std::size_t>(m)];
      out.primitiveType = sub.primitiveType;
      for (int r = 0; r < sub.runCount; ++r) {
        const FaceRun& run = sub.runs[static_cast<std::size_t>(r)];
        const RawGroup& g = raw[run.group];
        if (g.type != sub.primitiveType || run.last >= g.faceCount) return false;
        const std::uint32_t stride = kRecordBytes[g.type];
        out.faces.insert(out.faces.end(), g.faces.begin() + std::ptrdiff_t{run.first} * stride,
                         g.faces.begin() + (std::ptrdiff_t{run.last} + 1) * stride);
        out.faceCount += static_cast<std::uint32_t>(run.last - run.first + 1);
      }
    }
  }

  // Accepted: the model takes the new contents.
  Free();
  header = file.header;
  for (int g = 0; g < kGroups; ++g) {
    groups_[static_cast<std::size_t>(g)].primitiveType = raw[static_cast<std::size_t>(g)].type;
    groups_[static_cast<std::size_t>(g)].faceCount = raw[static_cast<std::size_t>(g)].faceCount;
    groups_[static_cast<std::size_t>(g)].faces = std::move(raw[static_cast<std::size_t>(g)].faces);
  }
  rails_ = std::move(rails);
  shared_ = std::move(shared);
  device_->CreateVertexBuffer(static_cast<std::uint32_t>(shared_.size()), 0, 0, 0, &sharedBuffer_);
  if (sharedBuffer_ != nullptr) device_->SetVertexBufferTag(sharedBuffer_, shared_.data());
  return true;
}

void TableModel::Build() {
  if (device_ == nullptr || pool == nullptr || shared_.empty()) return;
  const Fix16 W = pool->table.hx, L = pool->table.hz, three = 0x30000;
  const Fix16 y = shared_[0].y;
  const Fix16 q = L >> 2;
  const Fix16 spots[kMarkers][2] = {
      {-(W >> 1), -(L + three)}, {0, -(L + three)},      {W >> 1, -(L + three)},  // part 0
      {W + three, -q},           {W + three, -2 * q},    {W + three, -3 * q},     // part 1
      {W + three, 3 * q},        {W + three, 2 * q},     {W + three, q},          // part 2
      {-(W >> 1), L + three},    {0, L + three},         {W >> 1, L + three},     // part 3
      {-(W + three), 3 * q},     {-(W + three), 2 * q},  {-(W + three), q},       // part 4
      {-(W + three), -q},        {-(W + three), -2 * q}, {-(W + three), -3 * q},  // part 5
  };
  constexpr Fix16 e = 10922;
  const std::uint32_t light = device_->MakePixel(187, 176, 169), dark = device_->MakePixel(167, 156, 149);
  for (int i = 0; i < kMarkers; ++i) {
    const Fix16 x = spots[i][0], z = spots[i][1];
    const Fix16 pts[4][2] = {{x - e, z}, {x, z + e}, {x + e, z}, {x, z - e}};
    for (int k = 0; k < 4; ++k) {
      ssSourceVertex& v = markers_[static_cast<std::size_t>(4 * i + k)];
      v = {};
      v.x = pts[k][0], v.y = y, v.z = pts[k][1];
    }
    // The closed diamond: its four edges.
    const std::uint16_t b = static_cast<std::uint16_t>(4 * i);
    markerPairs_[static_cast<std::size_t>(i)] = {b,
                                                 static_cast<std::uint16_t>(b + 1),
                                                 static_cast<std::uint16_t>(b + 1),
                                                 static_cast<std::uint16_t>(b + 2),
                                                 static_cast<std::uint16_t>(b + 2),
                                                 static_cast<std::uint16_t>(b + 3),
                                                 static_cast<std::uint16_t>(b + 3),
                                                 b};
    ssLineList& list = markerLists_[static_cast<std::size_t>(i)];
    list.segments = 4;
    list.pairs = markerPairs_[static_cast<std::size_t>(i)].data();
    list.pixel = light;
    list.pixel2 = dark;
    list.flags = kLineDashed;
  }
  device_->CreateVertexBuffer(kMarkers * 4, 0, 0, 0, &markerBuffer_);
  if (markerBuffer_ != nullptr) device_->SetVertexBufferTag(markerBuffer_, markers_.data());
  markersBuilt_ = true;
}

void TableModel::Free() {
  if (device_ != nullptr) {
    if (!shared_.empty()) device_->FreeVertexBuffersByTag(shared_.data());
    device_->FreeVertexBuffersByTag(markers_.data());
  }
  sharedBuffer_ = nullptr;
  markerBuffer_ = nullptr;
  for (Group& g : groups_) g = Group{};
  for (auto& part : rails_)
    for (Group& g : part) g = Group{};
  shared_.clear();
  markersBuilt_ = false;
}

void TableModel::DrawGroup(const Group& g) {
  if (g.primitiveType == 0 || g.faceCount == 0 || sharedBuffer_ == nullptr) return;
  device_->DrawIndexedPrimitive(g.primitiveType, 1, shared_.data(), static_cast<std::uint32_t>(shared_.size()),
                                g.faces.data(), g.faceCount, 0, sharedBuffer_);
}

void TableModel::DrawMarker(int marker, std::uint32_t clipFlag) {
  if (!markersBuilt_ || markerBuffer_ == nullptr) return;
  device_->DrawIndexedPrimitive(kPrimitiveLineList, 1, markers_.data(), kMarkers * 4,
                                &markerLists_[static_cast<std::size_t>(marker)], 1, clipFlag, markerBuffer_);
}

void TableModel::DrawBed(int fullRedraw) {
  if (device_ == nullptr || shared_.empty()) return;
  device_->SetTexture(0, tableTexture_);
  if (fullRedraw != 0) {
    device_->UpdateTransform();
    const Fix16* combined = device_->m_Pipeline.Matrix(ssPipeline::kMatrixCombined);
    if (sharedBuffer_ != nullptr)
      device_->RenderVertexBuffer(sharedBuffer_->vertices.data(), shared_.data(),
                                  static_cast<std::uint32_t>(shared_.size()), combined);
    if (markerBuffer_ != nullptr)
      device_->RenderVertexBuffer(markerBuffer_->vertices.data(), markers_.data(), kMarkers * 4, combined);
    ComputeRailBoxes();
  }
  DrawMarker(0, 1);
  device_->SetTexture(0, tableTexture_);
  DrawGroup(groups_[16]);
  DrawGroup(groups_[2]);
  DrawGroup(groups_[14]);
}

void TableModel::DrawPockets() {
  if (device_ == nullptr || shared_.empty()) return;
  device_->SetRenderState(2);
  device_->SetTexture(0, pocketTexture_);
  DrawGroup(groups_[17]);
  device_->SetRenderState(0);
  device_->SetTexture(0, tableTexture_);
  DrawGroup(groups_[1]);
}

void TableModel::DrawInnerParts() {
  if (device_ == nullptr || shared_.empty()) return;
  device_->SetTexture(0, tableTexture_);
  for (int g : {11, 12, 10, 9, 8}) DrawGroup(groups_[static_cast<std::size_t>(g)]);
}

void TableModel::DrawAllParts() {
  if (device_ == nullptr || shared_.empty()) return;
  DrawInnerParts();
  device_->SetTexture(0, tableTexture_);
  for (int g : {7, 6, 5, 15, 3, 4, 13}) DrawGroup(groups_[static_cast<std::size_t>(g)]);
}

void TableModel::DrawRail(int part) {
  if (device_ == nullptr || shared_.empty() || part < 0 || part >= kRailParts) return;
  device_->SetTexture(0, tableTexture_);
  for (const Group& g : rails_[static_cast<std::size_t>(part)]) DrawGroup(g);
  for (int m = 3 * part; m < 3 * part + 3; ++m) DrawMarker(m, 0);
}

void TableModel::ComputeRailBoxes() {
  for (int p = 0; p < kRailParts; ++p) {
    std::array<std::int32_t, 4> box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    bool clipped = false;
    auto add = [&](std::uint16_t i) {
      if (sharedBuffer_ == nullptr || i >= sharedBuffer_->vertices.size()) return;
      const ssVertex& v = sharedBuffer_->vertices[i];
      if ((v.outcode & kOutAny) != 0) clipped = true;
      box[0] = std::min(box[0], v.sx >> 16);
      box[1] = std::min(box[1], v.sy >> 16);
      box[2] = std::max(box[2], (v.sx >> 16) + 2);
      box[3] = std::max(box[3], (v.sy >> 16) + 2);
    };
    for (const Group& g : rails_[static_cast<std::size_t>(p)]) {
      if (g.primitiveType == 0) continue;
      const std::uint32_t stride = kRecordBytes[g.primitiveType];
      for (std::uint32_t f = 0; f < g.faceCount; ++f) {
        for (int c = 0; c < kCorners[g.primitiveType]; ++c) {
          std::uint16_t idx;
          std::memcpy(&idx, g.faces.data() + std::size_t{f} * stride + 2 * static_cast<std::size_t>(c), 2);
          add(idx);
        }
      }
    }
    for (int m = 3 * p; m < 3 * p + 3; ++m)
      for (int k = 0; k < 4; ++k)
        if (markerBuffer_ != nullptr) {
          const ssVertex& v = markerBuffer_->vertices[static_cast<std::size_t>(4 * m + k)];
          if ((v.outcode & kOutAny) != 0) clipped = true;
          box[0] = std::min(box[0], v.sx >> 16), box[1] = std::min(box[1], v.sy >> 16);
          box[2] = std::max(box[2], (v.sx >> 16) + 2), box[3] = std::max(box[3], (v.sy >> 16) + 2);
        }
    // A corner outside the view volume has no screen position: once
    // clipped, the part may cover anything.
    if (clipped) box = {INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
    railBoxes_[static_cast<std::size_t>(p)] = box;
  }
}

}  // namespace ks::play
