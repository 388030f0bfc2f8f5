#include "engine/model.h"

#include <algorithm>
#include <memory>

#include "engine/archive.h"
#include "engine/file.h"
#include "runtime/le_bytes.h"

namespace {

using ks::runtime::LoadLe16;
using ks::runtime::LoadLe32;

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
  m_Device = graphics;
  m_Textures[0] = texture;
}

bool ssModel::Load(const wchar_t* name, const wchar_t* folder, const wchar_t* archive) {
  Free();
  if (m_Device == nullptr || m_Device->GetArchive() == nullptr) return false;
  std::unique_ptr<ssFile> stream = m_Device->GetArchive()->OpenFile(name, folder, archive, kFileModeRead, 3);
  if (!stream) return false;
  return LoadFromStream(*stream);
}

bool ssModel::LoadFromStream(ssFile& stream) {
  Free();
  if (m_Device == nullptr) return false;
  // The rest of the stream; a short read leaves what came, and the layout
  // check then refuses a file that needed more.
  const std::uint32_t size = stream.GetSize();
  const std::uint32_t at = stream.Tell();
  std::vector<std::uint8_t> bytes(at <= size ? size - at : 0);
  if (!bytes.empty()) bytes.resize(stream.Read(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
  ssKsoFile file;
  const bool read = ReadKsoFile(bytes, file);
  m_Header = file.header;
  if (!read) return false;
  m_Meshes.reserve(file.objects.size());
  for (const ssKsoObject& object : file.objects) {
    const std::uint32_t indexCount = static_cast<std::uint32_t>(object.indices.size());
    const std::uint32_t vertexCount = static_cast<std::uint32_t>(object.positions.size());
    ssMesh mesh;
    std::uint32_t faceCount = 0, faceBytes = 0, corners = 0;
    if (object.kind == kKsoKindTriangles) {
      mesh.primitiveType = kPrimitiveTexturedTriangles;
      faceCount = indexCount / 3;
      faceBytes = 32;
      corners = 3;
    } else if (object.kind == kKsoKindQuads) {
      mesh.primitiveType = kPrimitiveTexturedQuads;
      faceCount = indexCount / 4;
      faceBytes = 40;
      corners = 4;
    } else if (object.kind == kKsoKindFlatQuads) {
      mesh.primitiveType = kPrimitiveFlatQuads;
      faceCount = indexCount / 4;
      faceBytes = 24;
      corners = 4;
    }
    if (std::uint64_t{faceCount} * faceBytes > object.attributes.size()) break;
    if (!object.CornersInRange(faceCount * corners)) break;
    auto index = [&](std::uint32_t i) { return object.indices[i]; };

    // The second and last corners change places: (0, 2, 1) and (0, 2, 3, 1).
    static const int kTriangleOrder[3] = {0, 2, 1};
    static const int kQuadOrder[4] = {0, 2, 3, 1};
    for (std::uint32_t f = 0; f < faceCount; ++f) {
      const std::uint8_t* attributes = object.attributes.data() + std::size_t{f} * faceBytes;
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
        std::uint32_t pixel = m_Device->MakePixel(attributes[4], attributes[5], attributes[6]);
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
      mesh.vertices[v].x = object.positions[v][0];
      mesh.vertices[v].y = object.positions[v][1];
      mesh.vertices[v].z = object.positions[v][2];
    }
    m_Meshes.push_back(std::move(mesh));
    if (vertexCount > 0) {
      // The device finds the buffer again by the mesh's vertex array.
      ssVertexBufferRecord* buffer = nullptr;
      m_Device->CreateVertexBuffer(vertexCount, 0, 0, 0, &buffer);
      if (buffer != nullptr) m_Device->SetVertexBufferTag(buffer, m_Meshes.back().vertices.data());
    }
  }
  if (m_Meshes.size() != file.objects.size()) {
    Free();
    return false;
  }
  return true;
}

bool ssKsoObject::CornersInRange(std::uint32_t corners) const {
  const std::size_t count = std::min<std::size_t>(corners, indices.size());
  for (std::size_t i = 0; i < count; ++i)
    if (indices[i] >= positions.size()) return false;
  return true;
}

bool ReadKsoFile(std::span<const std::uint8_t> bytes, ssKsoFile& file) {
  file.objects.clear();
  std::size_t at = 0;
  // The next n bytes, or null when the file ends first.
  auto take = [&](std::size_t n) -> const std::uint8_t* {
    if (n > bytes.size() - at) return nullptr;
    const std::uint8_t* p = bytes.data() + at;
    at += n;
    return p;
  };
  const std::uint8_t* head = take(kKsoObjectsOffset);
  if (head == nullptr) return false;
  std::copy_n(head, kKsoHeaderSize, file.header.begin());
  const std::uint32_t objectCount = LoadLe16(head + 256);
  file.objects.reserve(objectCount);
  for (std::uint32_t n = 0; n < objectCount; ++n) {
    const std::uint8_t* record = take(kKsoRecordSize);
    if (record == nullptr) return false;
    const std::uint32_t blockSize = LoadLe32(record + 16);
    const std::uint32_t vertexCount = LoadLe16(record + 20);
    const std::uint32_t indexCount = LoadLe16(record + 24);
    // Indices are padded to a multiple of 4 bytes.
    const std::uint8_t* indices = take(2u * indexCount + ((indexCount & 1) != 0 ? 2u : 0u));
    const std::uint8_t* block = indices != nullptr ? take(blockSize) : nullptr;
    const std::uint8_t* vertices = block != nullptr ? take(std::size_t{vertexCount} * kKsoVertexSize) : nullptr;
    if (vertices == nullptr) return false;
    ssKsoObject& object = file.objects.emplace_back();
    object.kind = static_cast<std::int16_t>(LoadLe16(record + 22));
    object.indices.resize(indexCount);
    for (std::uint32_t i = 0; i < indexCount; ++i) object.indices[i] = LoadLe16(indices + 2 * i);
    object.attributes.assign(block, block + blockSize);
    object.positions.resize(vertexCount);
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
      const std::uint8_t* p = vertices + std::size_t{v} * kKsoVertexSize;
      object.positions[v] = {static_cast<std::int32_t>(LoadLe32(p)), static_cast<std::int32_t>(LoadLe32(p + 4)),
                             static_cast<std::int32_t>(LoadLe32(p + 8))};
    }
  }
  return true;
}

void ssModel::Scale(std::int32_t sx, std::int32_t sy, std::int32_t sz) {
  for (ssMesh& mesh : m_Meshes) {
    for (ssSourceVertex& v : mesh.vertices) {
      v.x = Product16(v.x, sx);
      v.y = Product16(v.y, sy);
      v.z = Product16(v.z, sz);
    }
  }
}

int ssModel::Draw(std::uint32_t flags) {
  if (m_Device == nullptr) return 0;
  m_Device->SetTransform(0, m_Matrix.data());
  m_Device->SetTexture(0, m_Textures[static_cast<std::size_t>(m_TextureSlot & 3)]);
  for (const ssMesh& mesh : m_Meshes) {
    m_Device->DrawIndexedPrimitive(mesh.primitiveType, 0, mesh.vertices.data(),
                                   static_cast<std::uint32_t>(mesh.vertices.size()), mesh.Faces(), mesh.faceCount,
                                   flags & 0xFF, nullptr);
  }
  return 0;
}

void ssModel::Free() {
  for (const ssMesh& mesh : m_Meshes) {
    if (m_Device != nullptr && !mesh.vertices.empty()) m_Device->FreeVertexBuffersByTag(mesh.vertices.data());
  }
  m_Meshes.clear();
}
