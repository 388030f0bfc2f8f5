#include "play/room.h"

#include <cwchar>

#include "display/display.h"
#include "engine/image.h"

namespace ks::play {

namespace {

constexpr Fix16 kLift = 0xA0000;  // every mesh vertex sits 10.0 higher than its outline

ssSourceVertex Vertex(Fix16 x, Fix16 y, Fix16 z) {
  ssSourceVertex v;
  v.x = x;
  v.y = y;
  v.z = z;
  return v;
}

}  // namespace

Room::Room() = default;
Room::~Room() { Free(); }

int Room::LoadTextures(ssDisplay* device, int w, int d, int h, const wchar_t* roomName) {
  Free();
  device_ = device;
  width = w;
  depth = d;
  height = h;
  if (device == nullptr || roomName == nullptr) return 0;
  wchar_t archive[64];
  std::swprintf(archive, 64, L"%ls.ark", roomName);
  for (int i = 0; i < 4; ++i) {
    wchar_t name[16];
    std::swprintf(name, 16, L"Wall%d.tga", i);
    textures[static_cast<std::size_t>(i)] = device->GetTexture(name, L"Rooms", archive, 7, false, false);
  }
  textures[4] = device->GetTexture(L"Floor.tga", L"Rooms", archive, 7, false, false);
  textures[5] = device->GetTexture(L"Ceiling.tga", L"Rooms", archive, 7, false, false);
  static constexpr int kWallTexture[4] = {1, 0, 2, 3};
  for (int wall = 0; wall < 4; ++wall)
    BuildWall(surfaces[static_cast<std::size_t>(wall)], wall, textures[kWallTexture[wall]]);
  BuildFlat(surfaces[4], true, textures[5]);
  BuildFlat(surfaces[5], false, textures[4]);
  // Each surface's vertices and outline get the device's buffers now, so
  // that drawing the room never allocates.
  for (const Surface& s : surfaces) {
    for (const ssSourceVertex* source : {s.vertices.empty() ? nullptr : s.vertices.data(), s.outline.data()}) {
      if (source == nullptr) continue;
      const std::uint32_t count = source == s.outline.data() ? 4u : static_cast<std::uint32_t>(s.vertices.size());
      ssVertexBufferRecord* record = nullptr;
      device->CreateVertexBuffer(count, 0, 0, 0, &record);
      if (record != nullptr) device->SetVertexBufferTag(record, source);
    }
  }
  MatrixIdentity(matrix);
  device->SetTransform(0, matrix);
  int built = 0;
  for (const Surface& s : surfaces) built += s.quadCount != 0 ? 1 : 0;
  return built;
}

void Room::BuildWall(Surface& s, int wall, ssImage* texture) {
  s = Surface{};
  // A texture that did not load has no size to map: the surface stays empty.
  if (texture == nullptr || texture->Pixels() == nullptr) return;
  s.texture = texture;
  const Fix16 hx = (width >> 1) << 16, hz = (depth >> 1) << 16, hy = (height >> 1) << 16;
  const Fix16 stepAlong = (depth >> 2) << 16, stepUp = (height >> 2) << 16;
  const Fix16 U = (texture->Width() - 1) << 16, V = (texture->Height() - 1) << 16;
  struct Layout {
    Fix16 x, z, dx, dz;
  };
  const Layout layouts[4] = {
      {-hx, -hz, 0, stepAlong}, {-hx, hz, stepAlong, 0}, {hx, hz, 0, -stepAlong}, {hx, -hz, -stepAlong, 0}};
  const Layout& l = layouts[wall];
  Fix16 x = l.x, z = l.z;
  for (int c = 0; c < 5; ++c) {
    for (int r = 0; r < 5; ++r) s.vertices.push_back(Vertex(x, -hy + r * stepUp - kLift, z));
    x += l.dx;
    z += l.dz;
  }
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) {
      const int k = 5 * c + r;
      ssTexQuadFace q{};
      q.index[0] = static_cast<std::uint16_t>(k);
      q.index[1] = static_cast<std::uint16_t>(k + 1);
      q.index[2] = static_cast<std::uint16_t>(k + 6);
      q.index[3] = static_cast<std::uint16_t>(k + 5);
      const Fix16 su = r * (U / 4), tv = c * (V / 4);
      q.u[0] = su, q.u[1] = su + U / 4, q.u[2] = su + U / 4, q.u[3] = su;
      q.v[0] = tv, q.v[1] = tv, q.v[2] = tv + V / 4, q.v[3] = tv + V / 4;
      s.quads.push_back(q);
    }
  }
  const Fix16 corners[4][4][3] = {
      {{-hx, -hy, -hz}, {-hx, hy, -hz}, {-hx, hy, hz}, {-hx, -hy, hz}},
      {{-hx, -hy, hz}, {-hx, hy, hz}, {hx, hy, hz}, {hx, -hy, hz}},
      {{hx, -hy, hz}, {hx, hy, hz}, {hx, hy, -hz}, {hx, -hy, -hz}},
      {{hx, -hy, -hz}, {hx, hy, -hz}, {-hx, hy, -hz}, {-hx, -hy, -hz}},
  };
  for (int i = 0; i < 4; ++i)
    s.outline[static_cast<std::size_t>(i)] = Vertex(corners[wall][i][0], corners[wall][i][1], corners[wall][i][2]);
  s.vertexCount = static_cast<std::uint16_t>(s.vertices.size());
  s.quadCount = static_cast<std::uint16_t>(s.quads.size());
  const Fix16 U2 = texture->Width() << 16, V2 = texture->Height() << 16;
  s.outlineQuad = {};
  for (int i = 0; i < 4; ++i) s.outlineQuad.index[i] = static_cast<std::uint16_t>(i);
  s.outlineQuad.u[1] = s.outlineQuad.u[2] = U2;
  s.outlineQuad.v[2] = s.outlineQuad.v[3] = V2;
}

void Room::BuildFlat(Surface& s, bool ceiling, ssImage* texture) {
  s = Surface{};
  if (texture == nullptr || texture->Pixels() == nullptr) return;
  s.texture = texture;
  const Fix16 hx = (width >> 1) << 16, hz = (depth >> 1) << 16, hy = (height >> 1) << 16;
  const Fix16 y = ceiling ? -hy : hy;
  const Fix16 z0 = ceiling ? -hz : hz;
  const Fix16 stepX = static_cast<Fix16>((static_cast<std::uint32_t>(width) / 3) << 16);
  const Fix16 stepZ = static_cast<Fix16>((static_cast<std::uint32_t>(depth) / 3) << 16);
  const Fix16 dz = ceiling ? stepZ : -stepZ;
  const Fix16 T = ((texture->Height() - 1) << 16) / 3;
  Fix16 x = -hx;
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) s.vertices.push_back(Vertex(x, y - kLift, z0 + r * dz));
    x += stepX;
  }
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < 3; ++r) {
      const int k = 4 * c + r;
      ssTexQuadFace q{};
      q.index[0] = static_cast<std::uint16_t>(k);
      q.index[1] = static_cast<std::uint16_t>(k + 1);
      q.index[2] = static_cast<std::uint16_t>(k + 5);
      q.index[3] = static_cast<std::uint16_t>(k + 4);
      const Fix16 a = c * T, b = r * T;
      q.u[0] = a, q.u[1] = a, q.u[2] = a + T, q.u[3] = a + T;
      q.v[0] = b, q.v[1] = b + T, q.v[2] = b + T, q.v[3] = b;
      s.quads.push_back(q);
    }
  }
  s.outline = {Vertex(-hx, y, z0), Vertex(-hx, y, -z0), Vertex(hx, y, -z0), Vertex(hx, y, z0)};
  s.vertexCount = static_cast<std::uint16_t>(s.vertices.size());
  s.quadCount = static_cast<std::uint16_t>(s.quads.size());
  const Fix16 U2 = texture->Width() << 16, V2 = texture->Height() << 16;
  s.outlineQuad = {};
  for (int i = 0; i < 4; ++i) s.outlineQuad.index[i] = static_cast<std::uint16_t>(i);
  s.outlineQuad.u[1] = s.outlineQuad.u[2] = U2;
  s.outlineQuad.v[2] = s.outlineQuad.v[3] = V2;
}

void Room::Draw(int fullRedraw) {
  (void)fullRedraw;
  if (device_ == nullptr) return;
  for (Surface& s : surfaces) {
    if (s.quadCount == 0 || s.texture == nullptr) continue;
    if (device_->DrawIndexedPrimitive(kPrimitiveVisibleQuad, 0, s.outline.data(), 4, &s.outlineQuad, 1, 1, nullptr) ==
        0)
      continue;
    device_->SetTexture(0, s.texture);
    device_->DrawIndexedPrimitive(kPrimitiveTexturedQuads, 0, s.vertices.data(), s.vertexCount, s.quads.data(),
                                  s.quadCount, 1, nullptr);
  }
}

void Room::Free() {
  for (Surface& s : surfaces) {
    if (device_ != nullptr) {
      if (!s.vertices.empty()) device_->FreeVertexBuffersByTag(s.vertices.data());
      device_->FreeVertexBuffersByTag(s.outline.data());
    }
    s = Surface{};
  }
  for (ssImage*& t : textures) {
    if (t != nullptr && device_ != nullptr) device_->ReleaseTexture(t);
    t = nullptr;
  }
}

}  // namespace ks::play
