#include "engine/model.h"

#include <memory>

#include "engine/archive.h"
#include "engine/file.h"
#include "runtime/le_bytes.h"

namespace {

using ks::runtime::LoadLe16;
using ks::runtime::LoadLe32;

// Reads exactly what is asked from a stream of known size; every failed or
// short read ends the load.
class Reader {
 public:
  explicit Reader(ssFile& stream) : stream_(stream) {
    std::uint32_t size = stream.GetSize();
    std::uint32_t at = stream.Tell();
    remaining_ = at <= size ? size - at : 0;
  }
  bool Read(void* buffer, std::uint32_t count) {
    if (count > remaining_) return false;
    if (count > 0 && stream_.Read(buffer, count) != count) return false;
    remaining_ -= count;
    return true;
  }
  bool Bytes(std::vector<std::uint8_t>& out, std::uint32_t count) {
    if (count > remaining_) return false;
    out.resize(count);
    return Read(out.data(), count);
  }
  std::uint32_t Remaining() const { return remaining_; }

 private:
  ssFile& stream_;
  std::uint32_t remaining_;
};

std::int32_t Product16(std::int32_t a, std::int32_t b) {
  // The 64-bit product shifted right by 16, truncated to 32 bits.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>((std::int64_t{a} * b) >> 16)));
}

}  // namespace

const void* ssMesh::Faces() const {
  switch (primitiveType) {
    case kPrimitiveTexturedTriangles:
      return triangles.data();
    case kPrimitiveTexturedQuads:
      return texturedQuads.data();
    case kPrimitiveFlatQuads:
      return flatQuads.data();
    default:
      return nullptr;
  }
}

ssModel::ssModel() = default;

ssModel::~ssModel() { Free(); }

void ssModel::Init(ssModelDevice* graphics, ssImage* texture) {
  device = graphics;
  textures[0] = texture;
}

int ssModel::Load(const wchar_t* name, const wchar_t* folder, const wchar_t* archive) {
  Free();
  if (device == nullptr || device->GetArchive() == nullptr) return 0;
  std::unique_ptr<ssFile> stream = device->GetArchive()->OpenFile(name, folder, archive, kFileModeRead, 3);
  if (!stream) return 0;
  return LoadFromStream(*stream);
}

int ssModel::LoadFromStream(ssFile& stream) {
  Free();
  if (device == nullptr) return 0;
  Reader in(stream);
  std::uint8_t skipped[128];
  std::uint8_t countBytes[4];
  if (!in.Read(header.data(), kKsoHeaderSize) || !in.Read(skipped, sizeof skipped) || !in.Read(countBytes, 4)) {
    return 0;
  }
  const std::uint32_t objectCount = LoadLe16(countBytes);
  meshes.reserve(objectCount);
  std::vector<std::uint8_t> indexBytes, block, vertexBytes;
  for (std::uint32_t object = 0; object < objectCount; ++object) {
    std::uint8_t record[kKsoRecordSize];
    if (!in.Read(record, kKsoRecordSize)) break;
    const std::uint32_t blockSize = LoadLe32(record + 16);
    const std::uint32_t vertexCount = LoadLe16(record + 20);
    const int kind = static_cast<std::int16_t>(LoadLe16(record + 22));
    const std::uint32_t indexCount = LoadLe16(record + 24);
    const std::uint32_t indexBytesPadded = 2 * indexCount + (indexCount & 1 ? 2 : 0);
    if (!in.Bytes(indexBytes, indexBytesPadded) || !in.Bytes(block, blockSize) ||
        !in.Bytes(vertexBytes, vertexCount * kKsoVertexSize)) {
      break;
    }
    auto index = [&](std::uint32_t i) { return LoadLe16(indexBytes.data() + 2 * i); };

    ssMesh mesh;
    std::uint32_t faceCount = 0, faceBytes = 0, corners = 0;
    if (kind == kKsoKindTriangles) {
      mesh.primitiveType = kPrimitiveTexturedTriangles;
      faceCount = indexCount / 3;
      faceBytes = 32;
      corners = 3;
    } else if (kind == kKsoKindQuads) {
      mesh.primitiveType = kPrimitiveTexturedQuads;
      faceCount = indexCount / 4;
      faceBytes = 40;
      corners = 4;
    } else if (kind == kKsoKindFlatQuads) {
      mesh.primitiveType = kPrimitiveFlatQuads;
      faceCount = indexCount / 4;
      faceBytes = 24;
      corners = 4;
    }
    if (std::uint64_t{faceCount} * faceBytes > blockSize) break;
    bool indicesInRange = true;
    for (std::uint32_t i = 0; i < faceCount * corners; ++i) indicesInRange = indicesInRange && index(i) < vertexCount;
    if (!indicesInRange) break;

    // The second and last corners change places: (0, 2, 1) and (0, 2, 3, 1).
    static const int kTriangleOrder[3] = {0, 2, 1};
    static const int kQuadOrder[4] = {0, 2, 3, 1};
    for (std::uint32_t f = 0; f < faceCount; ++f) {
      const std::uint8_t* attributes = block.data() + std::size_t{f} * faceBytes;
      const std::uint32_t first = f * corners;
      if (mesh.primitiveType == kPrimitiveTexturedTriangles) {
        ssTexTriangleFace face{};
        for (int k = 0; k < 3; ++k) {
          int from = kTriangleOrder[k];
          face.index[k] = index(first + static_cast<std::uint32_t>(from));
          face.u[k] = attributes[12 + 8 * from] << 16;
          face.v[k] = attributes[13 + 8 * from] << 16;
        }
        mesh.triangles.push_back(face);
      } else if (mesh.primitiveType == kPrimitiveTexturedQuads) {
        ssTexQuadFace face{};
        for (int k = 0; k < 4; ++k) {
          int from = kQuadOrder[k];
          face.index[k] = index(first + static_cast<std::uint32_t>(from));
          face.u[k] = attributes[12 + 8 * from] << 16;
          face.v[k] = attributes[13 + 8 * from] << 16;
        }
        mesh.texturedQuads.push_back(face);
      } else {
        ssFlatQuadFace face{};
        std::uint32_t pixel = device->MakePixel(attributes[4], attributes[5], attributes[6]);
        for (int k = 0; k < 4; ++k) {
          face.index[k] = index(first + static_cast<std::uint32_t>(kQuadOrder[k]));
          face.pixel[k] = pixel;
        }
        mesh.flatQuads.push_back(face);
      }
    }
    mesh.faceCount = faceCount;

    mesh.vertices.resize(vertexCount);
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
      const std::uint8_t* p = vertexBytes.data() + std::size_t{v} * kKsoVertexSize;
      mesh.vertices[v].x = static_cast<std::int32_t>(LoadLe32(p));
      mesh.vertices[v].y = static_cast<std::int32_t>(LoadLe32(p + 4));
      mesh.vertices[v].z = static_cast<std::int32_t>(LoadLe32(p + 8));
    }
    meshes.push_back(std::move(mesh));
    if (vertexCount > 0) {
      // The device finds the buffer again by the mesh's vertex array.
      ssVertexBufferRecord* buffer = nullptr;
      device->CreateVertexBuffer(vertexCount, 0, 0, 0, &buffer);
      if (buffer != nullptr) device->SetVertexBufferTag(buffer, meshes.back().vertices.data());
    }
  }
  if (meshes.size() != objectCount) {
    Free();
    return 0;
  }
  return 1;
}

void ssModel::Scale(std::int32_t sx, std::int32_t sy, std::int32_t sz) {
  for (ssMesh& mesh : meshes) {
    for (ssSourceVertex& v : mesh.vertices) {
      v.x = Product16(v.x, sx);
      v.y = Product16(v.y, sy);
      v.z = Product16(v.z, sz);
    }
  }
}

int ssModel::Draw(std::uint32_t flags) {
  if (device == nullptr) return 0;
  device->SetTransform(0, matrix.data());
  device->SetTexture(0, textures[static_cast<std::size_t>(textureSlot & 3)]);
  for (const ssMesh& mesh : meshes) {
    device->DrawIndexedPrimitive(mesh.primitiveType, 0, mesh.vertices.data(),
                                 static_cast<std::uint32_t>(mesh.vertices.size()), mesh.Faces(), mesh.faceCount,
                                 flags & 0xFF, nullptr);
  }
  return 0;
}

void ssModel::Free() {
  for (const ssMesh& mesh : meshes) {
    if (device != nullptr && !mesh.vertices.empty()) device->FreeVertexBuffersByTag(mesh.vertices.data());
  }
  meshes.clear();
}
