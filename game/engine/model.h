// ssModel: a rigid textured mesh read from a ".kso" file and drawn through
// the graphics device's indexed-primitive drawing.
//
// File format (little-endian): a 128-byte header block kept as read, 128
// bytes skipped, the object count (u16) and 2 bytes of padding, then the
// objects. Each object: a 28-byte record (attribute block size u32 at 16,
// vertex count V u16 at 20, primitive kind s16 at 22 — 1 textured
// triangles, 4 flat-colour quads, 5 textured quads — and index count I u16
// at 24), I corner indices (u16, padded to a multiple of 4 bytes), the face
// attribute block (per face 32, 24 or 40 bytes by kind), then V vertices of
// 16 bytes (x, y, z in 16.16 and a word not read).
//
// Faces are stored for the device with the second and last corners
// exchanged: a triangle (a, b, c) becomes (a, c, b), a quad (a, b, c, d)
// becomes (a, c, d, b). Load refuses a file that ends early, an index past
// the object's vertices or an attribute block too small for its faces.
// ReadKsoFile reads the layout; the table's own reader (play/table_model)
// builds its groups from it too.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class ssArchive;
class ssFile;
class ssImage;

// A vertex as callers hand it to the graphics device: position (16.16),
// 12 bytes the pipeline does not read, 16 bytes of per-vertex data, and the
// texture coordinates.
struct ssSourceVertex {
  std::int32_t x = 0, y = 0, z = 0;
  std::int32_t spare[3] = {};
  std::uint32_t data[4] = {};
  std::int32_t u = 0, v = 0;
};

// Face records of indexed drawing, by primitive type. Texture coordinates
// are whole texels in 16.16.
struct ssTexTriangleFace {  // type 3
  std::uint16_t index[3];
  std::uint16_t pad;
  std::int32_t u[3];
  std::int32_t v[3];
};
struct ssTexQuadFace {  // type 4
  std::uint16_t index[4];
  std::int32_t u[4];
  std::int32_t v[4];
};
struct ssFlatQuadFace {  // type 2
  std::uint16_t index[4];
  std::uint32_t pixel[4];  // device pixels
};

inline constexpr int kPrimitiveFlatQuads = 2;
inline constexpr int kPrimitiveTexturedTriangles = 3;
inline constexpr int kPrimitiveTexturedQuads = 4;

// Primitive kinds of the file.
inline constexpr int kKsoKindTriangles = 1;
inline constexpr int kKsoKindFlatQuads = 4;
inline constexpr int kKsoKindQuads = 5;

inline constexpr std::uint32_t kKsoHeaderSize = 128;
inline constexpr std::uint32_t kKsoObjectsOffset = 260;
inline constexpr std::uint32_t kKsoRecordSize = 28;
inline constexpr std::uint32_t kKsoVertexSize = 16;

// One object of a ".kso" file as stored: its primitive kind, its corner
// indices, its face attribute block and its vertex positions (16.16).
struct ssKsoObject {
  int kind = 0;  // kKsoKind*, or a kind a reader may not draw
  std::vector<std::uint16_t> indices;
  std::vector<std::uint8_t> attributes;
  std::vector<std::array<std::int32_t, 3>> positions;

  // The first `corners` indices (at most all of them) each name one of the
  // object's vertices.
  bool CornersInRange(std::uint32_t corners) const;
};

// A ".kso" file's layout, read in one place for every reader of the format.
struct ssKsoFile {
  std::array<std::uint8_t, kKsoHeaderSize> header{};
  std::vector<ssKsoObject> objects;
};

// Reads the header block and every object the count announces; bytes after
// the last object are not read. False when the bytes end before the last
// object does (the header is still filled when the 260 bytes before the
// objects are there). What the faces mean is left to the reader.
bool ReadKsoFile(std::span<const std::uint8_t> bytes, ssKsoFile& file);

// The device's own record of a vertex buffer.
struct ssVertexBufferRecord;

// What a model needs of the graphics device: its archive, pixel packing,
// vertex buffers found again by a tag, the transform and texture, and
// indexed drawing. The graphics device implements it.
class ssModelDevice {
 public:
  virtual ~ssModelDevice() = default;
  virtual ssArchive* GetArchive() = 0;
  virtual std::uint32_t MakePixel(std::uint32_t red, std::uint32_t green, std::uint32_t blue) = 0;
  virtual std::uint32_t CreateVertexBuffer(std::uint32_t count, std::uint32_t spare, std::uint32_t format,
                                           std::uint32_t spare2, ssVertexBufferRecord** record) = 0;
  virtual void SetVertexBufferTag(ssVertexBufferRecord* record, const void* tag) = 0;
  // Drops every vertex buffer tagged with `tag`, so a later array at the same
  // address never finds a stale record.
  virtual void FreeVertexBuffersByTag(const void* tag) = 0;
  virtual std::uint32_t SetTransform(int index, const std::int32_t* matrix) = 0;
  virtual std::uint32_t SetTexture(int stage, ssImage* image) = 0;
  virtual std::uint32_t DrawIndexedPrimitive(int type, int transformed, const void* vertexTag,
                                             std::uint32_t vertexCount, const void* faces, std::uint32_t faceCount,
                                             std::uint32_t clipFlag, ssVertexBufferRecord* record) = 0;
};

struct ssMesh {
  std::vector<ssSourceVertex> vertices;
  int primitiveType = 0;  // 3, 2 or 4; 0 for an object of another kind (no faces)
  std::uint32_t faceCount = 0;
  std::vector<ssTexTriangleFace> triangles;
  std::vector<ssTexQuadFace> texturedQuads;
  std::vector<ssFlatQuadFace> flatQuads;

  // The face records of this mesh's primitive type.
  const void* Faces() const;
};

class ssModel {
 public:
  ssModel();
  ~ssModel();
  ssModel(const ssModel&) = delete;
  ssModel& operator=(const ssModel&) = delete;

  void Init(ssModelDevice* device, ssImage* texture);
  // False when the file cannot be opened (through the device's archive) or
  // is not a sound model, leaving the model empty.
  bool Load(const wchar_t* name, const wchar_t* folder, const wchar_t* archive);
  // The same from an open stream, read from its current position.
  bool LoadFromStream(ssFile& stream);
  // Multiplies every vertex by the 16.16 factors.
  void Scale(std::int32_t sx, std::int32_t sy, std::int32_t sz);
  int Draw(std::uint32_t flags);
  void Free();

  ssModelDevice* m_Device = nullptr;
  std::array<ssImage*, 4> m_Textures{};
  int m_TextureSlot = 0;
  std::array<std::int32_t, 16> m_Matrix{};  // 16.16, set by the owner
  std::array<std::uint8_t, kKsoHeaderSize> m_Header{};
  std::vector<ssMesh> m_Meshes;
};
