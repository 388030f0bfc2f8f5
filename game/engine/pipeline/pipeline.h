// ssPipeline: the graphics device's fixed-function 3D pipeline in 16.16 fixed
// point. It keeps the world, view, projection and combined matrices, the
// vertex buffers (found again by a tag, usually the address of the caller's
// source vertices), transforms source vertices into ssVertex records with
// outcodes and screen positions, clips polygons and segments, and hands what
// is visible to the rasteriser: flat and affine-textured triangles and
// quadrilaterals, perspective-textured triangles, line lists and visibility
// queries.
//
// The graphics device holds one pipeline and sets its render target, screen
// turn and clip rectangle; all per-vertex and per-pixel work is integer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/model.h"
#include "pipeline/fixed_math.h"
#include "raster/raster.h"

class ssImage;

// A vertex buffer: count transformed vertices, the format word and the tag
// that finds it again.
struct ssVertexBufferRecord {
  std::uint32_t count = 0;
  std::uint32_t spare = 0;
  std::uint32_t format = 0;
  const void* tag = nullptr;
  std::vector<ssVertex> vertices;
};

// Face records of indexed drawing not declared with the model.
struct ssFlatTriangleFace {  // type 1
  std::uint16_t index[3];
  std::uint16_t pad;
  std::uint32_t pixel[3];
};
// Type 11: one record a list of segments, each a pair of vertex indices.
// Flag bit 1 asks for a dashed line (two pixels in `pixel`, two in `pixel2`).
struct ssLineList {
  std::uint32_t segments = 0;
  const std::uint16_t* pairs = nullptr;
  std::uint32_t pixel = 0;
  std::uint32_t pixel2 = 0;
  std::uint32_t flags = 0;
};
inline constexpr std::uint32_t kLineDashed = 2;

inline constexpr int kPrimitiveFlatTriangles = 1;
inline constexpr int kPrimitiveVisibleTriangle = 5;
inline constexpr int kPrimitiveVisibleQuad = 6;
inline constexpr int kPrimitiveLineList = 11;
inline constexpr int kPrimitivePerspectiveTriangles = 16;

inline constexpr std::uint32_t kVertexBufferUnknown = 0x80000000u;

class ssPipeline {
 public:
  static constexpr int kMatrixWorld = 0;
  static constexpr int kMatrixView = 1;
  static constexpr int kMatrixProjection = 2;
  static constexpr int kMatrixCombined = 3;
  static constexpr int kTextureStages = 4;
  static constexpr int kScratchVertices = 64;

  ssPipeline();
  ssPipeline(const ssPipeline&) = delete;
  ssPipeline& operator=(const ssPipeline&) = delete;

  // Where drawing goes and how the logical screen is turned into it. The
  // viewport maps normalised x and y in [-1, 1] onto the target's buffer
  // pixels (scale half the buffer size, centre its middle).
  void SetRenderTarget(const ssRasterTarget& target, int rotate);
  // The device's current clip rectangle in buffer pixels (right, bottom
  // exclusive); drawing stays inside it and the target.
  void SetClipRect(int left, int top, int right, int bottom);
  const ssRasterTarget& Target() const { return m_Target; }
  int Rotate() const { return m_Rotate; }

  // Transforms.
  std::uint32_t SetTransform(int index, const Fix16* matrix);
  void UpdateTransform();
  const Fix16* Matrix(int index) const { return m_Matrix[index & 3]; }
  bool TransformCurrent() const { return m_Current; }
  // The projection from a field of view (16.16 radians) with near 4.0 and
  // far 600.0 and the logical aspect; returns the focal length in pixels.
  std::int32_t SetPerspective(Fix16 fov, int logicalWidth, int logicalHeight);

  // Vertex buffers.
  std::uint32_t CreateVertexBuffer(std::uint32_t count, std::uint32_t spare, std::uint32_t format, std::uint32_t spare2,
                                   ssVertexBufferRecord** record);
  std::uint32_t ResizeVertexBuffer(ssVertexBufferRecord* record, std::uint32_t count);
  std::uint32_t GetVertexData(ssVertexBufferRecord* record, ssVertex** out);
  void SetVertexBufferTag(ssVertexBufferRecord* record, const void* tag);
  void FreeVertexBuffers();
  void FreeVertexBuffersByTag(const void* tag);
  // The first record with this tag, or the default buffer (out not written).
  ssVertexBufferRecord* FindVertexBuffer(const void* tag, ssVertexBufferRecord** out);
  // Transforms `count` source vertices with `matrix` into `out`, which must
  // hold `count` records. 1, or 0 for a count of 0.
  std::uint32_t RenderVertexBuffer(ssVertex* out, const ssSourceVertex* source, std::uint32_t count,
                                   const Fix16* matrix);
  // Finds (or grows) the buffer tagged with `source` and transforms into it.
  std::uint32_t DrawVertexBuffer(const ssSourceVertex* source, std::uint32_t count, const Fix16* matrix);
  const ssVertex* LastTransformed() const { return m_Last; }
  std::uint32_t LastTransformedCount() const { return m_LastCount; }

  // Outcodes in clip space (x, y against w) and against the screen box.
  static std::uint32_t OutcodeX(const ssVertex& v);
  static std::uint32_t OutcodeY(const ssVertex& v);
  std::uint32_t OutcodeScreenX(const ssVertex& v) const;
  std::uint32_t OutcodeScreenY(const ssVertex& v) const;
  // Depth against the clip box, on z / w: 32 beyond the far bound; the
  // screen outcode adds the x and y bits and 16 before the near bound.
  std::uint32_t OutcodeFar(const ssVertex& v) const;
  std::uint32_t OutcodeScreen(const ssVertex& v) const;

  // Clippers. Each takes `count` vertices (at most 16), clips the closed
  // outline, projects it and returns the vertex count (0 when nothing is
  // left or a vertex ends at w <= 0); the vertices are ScratchVertices(),
  // their order ClipList().
  int ClipPolygon(const ssVertex* vertices, int count);         // clip space
  int ClipPolygonScreen(const ssVertex* vertices, int count);   // screen, u and v follow
  int ClipPolygonScreen2(const ssVertex* vertices, int count);  // screen, position only
  const ssVertex* ScratchVertices() const { return m_Scratch; }
  const std::uint16_t* ClipList() const { return m_ClipList; }

  // Textures: the image of a stage; stage 0 is the one drawn with. Mode 1 is
  // a colour key, 2 a shade map, anything else opaque.
  std::uint32_t SetTexture(int stage, ssImage* image);
  void SetTextureMode(int mode) { m_TextureMode = mode; }
  int TextureMode() const { return m_TextureMode; }
  // Binds raw texels directly (tests, benchmarks and the ball drawer).
  bool SetTextureRaw(const ssTexture& texture);

  // Draws through the vertex buffer tagged with `source`: transforms vertex
  // range (first, count) when it has not been transformed yet, then walks
  // `primitives` records of `records` from record `firstIndex`: per record
  // three (types 1, 3) or four (types 2, 4) test indices and as many
  // fill-order indices. Types 5 and 6 answer the visibility query.
  std::uint32_t DrawPrimitive(int type, const ssSourceVertex* source, std::uint32_t firstVertex,
                              std::uint32_t vertexCount, const std::uint16_t* records, std::uint32_t firstIndex,
                              std::uint32_t primitives);
  // Draws `faceCount` face records of `type` over the vertices of `source`
  // (transformed first unless `transformed` is set, in which case the last
  // transformed vertices, or `record`'s, are used).
  std::uint32_t DrawIndexedPrimitive(int type, int transformed, const void* source, std::uint32_t vertexCount,
                                     const void* faces, std::uint32_t faceCount, std::uint32_t clipFlag,
                                     ssVertexBufferRecord* record);
  // The render state. Its first word is the texture mode (SetTextureMode);
  // a new vertex source starts a new draw sequence; the index list is kept
  // with its count (32-bit indices); a state block of kStateBlockSize bytes
  // is copied and becomes the block in use.
  struct RenderState {
    const void* vertices = nullptr;
    std::uint32_t sourceA = 0, sourceB = 0;
    const std::uint32_t* indices = nullptr;
    std::uint32_t indexCount = 0;
    std::uint32_t indexWidth = 4;
  };
  static constexpr std::size_t kStateBlockSize = 332;
  void SetVertexSource(std::uint32_t a, const void* vertices, std::uint32_t b);
  void SetIndices(const std::uint32_t* indices, std::uint32_t count);
  void SetStateBlock(const void* block);
  const RenderState& State() const { return m_State; }
  // The copied block, or null while the pipeline's own state is in use.
  const std::uint8_t* StateBlock() const { return m_StateBlockInUse ? m_StateBlock.data() : nullptr; }

  // Starts a new draw sequence: the next DrawPrimitive transforms again.
  void ResetTransformed() {
    m_TransformedCount = 0;
    m_TransformedSource = nullptr;
  }

  // Transforms `count` source vertices and writes the visible outline as
  // logical screen pixels (x, y pairs, at most `capacity` points, clipped
  // when needed). Returns the number of points, 0 when nothing is visible.
  int PolygonOutline(const ssSourceVertex* source, std::uint32_t count, std::int32_t* points, int capacity);

  // Projects one point with `matrix`: screen x, y (buffer pixels) and z;
  // false (x and y 0) when w is below 1.0 (behind the eye).
  bool ProjectOnePoint(const ssVector& point, const Fix16* matrix, std::int32_t& sx, std::int32_t& sy, std::int32_t& sz,
                       std::int64_t& w) const;

 private:
  struct ScreenBox {
    std::int32_t x0, x1, y0, y1;  // 16.16 buffer pixels
  };
  enum class ClipMode { kClipSpace, kScreenTextured, kScreenPlain };

  int Clip(const ssVertex* vertices, int count, ClipMode mode);
  bool Project(ssVertex& v, bool clampToBox) const;
  ScreenBox ComputeScreenBox() const;
  // Per-primitive tests and drawing of one polygon (3 or 4 vertices).
  void DrawPolygon(const ssVertex* vs, const std::uint16_t* test, const std::uint16_t* fill, int n, bool textured);
  void DrawPerspective(const ssVertex* vs, const std::uint16_t* corners);
  void DrawLines(const ssVertex* vs, std::uint32_t count, const ssLineList* lists, std::uint32_t listCount);
  void FillClipped(int n, bool textured);
  bool TextureReady() const { return m_TextureValid; }
  ssVertex* Transform(const void* source, std::uint32_t count, ssVertexBufferRecord* record);

  Fix16 m_Matrix[4][16]{};
  Fix16 m_Work[16]{};  // view times projection
  bool m_WorkCurrent = false;
  bool m_Current = false;

  ssRasterTarget m_Target{};
  int m_Rotate = 0;
  std::int32_t m_ScaleX = 0, m_ScaleY = 0;    // integer pixels
  std::int32_t m_CentreX = 0, m_CentreY = 0;  // 16.16
  Fix16 m_ClipBox[6] = {-kFixOne, kFixOne, -kFixOne, kFixOne, 0, kFixOne};
  ScreenBox m_Screen{};

  std::vector<std::unique_ptr<ssVertexBufferRecord>> m_Buffers;
  ssVertexBufferRecord m_Default;
  ssVertex* m_Last = nullptr;
  std::uint32_t m_LastCount = 0;
  const void* m_TransformedSource = nullptr;
  std::uint32_t m_TransformedCount = 0;

  RenderState m_State;
  std::array<std::uint8_t, kStateBlockSize> m_StateBlock{};
  bool m_StateBlockInUse = false;

  ssImage* m_Stages[kTextureStages] = {};
  ssTexture m_Texture{};
  bool m_TextureValid = false;
  int m_TextureMode = 0;

  ssVertex m_Scratch[kScratchVertices];
  std::uint16_t m_ClipList[kMaxPolygon] = {};
};

// ssModelDevice over a pipeline: the model's transform, texture, vertex
// buffers and indexed drawing go to the pipeline; the archive and pixel
// packing come from the owner.
class ssPipelineModelDevice : public ssModelDevice {
 public:
  ssPipelineModelDevice(ssPipeline& pipeline, ssArchive* archive, int depth)
      : m_Pipeline(pipeline), m_Archive(archive), m_Depth(depth) {}
  ssArchive* GetArchive() override { return m_Archive; }
  std::uint32_t MakePixel(std::uint32_t red, std::uint32_t green, std::uint32_t blue) override;
  std::uint32_t CreateVertexBuffer(std::uint32_t count, std::uint32_t spare, std::uint32_t format, std::uint32_t spare2,
                                   ssVertexBufferRecord** record) override {
    return m_Pipeline.CreateVertexBuffer(count, spare, format, spare2, record);
  }
  void SetVertexBufferTag(ssVertexBufferRecord* record, const void* tag) override {
    m_Pipeline.SetVertexBufferTag(record, tag);
  }
  void FreeVertexBuffersByTag(const void* tag) override { m_Pipeline.FreeVertexBuffersByTag(tag); }
  std::uint32_t SetTransform(int index, const std::int32_t* matrix) override {
    return m_Pipeline.SetTransform(index, matrix);
  }
  std::uint32_t SetTexture(int stage, ssImage* image) override { return m_Pipeline.SetTexture(stage, image); }
  std::uint32_t DrawIndexedPrimitive(int type, int transformed, const void* vertexTag, std::uint32_t vertexCount,
                                     const void* faces, std::uint32_t faceCount, std::uint32_t clipFlag,
                                     ssVertexBufferRecord* record) override {
    BeforeDraw();
    return m_Pipeline.DrawIndexedPrimitive(type, transformed, vertexTag, vertexCount, faces, faceCount, clipFlag,
                                           record);
  }

 protected:
  // Called before each drawing, so an owner can hand the pipeline its
  // current render target first.
  virtual void BeforeDraw() {}

 private:
  ssPipeline& m_Pipeline;
  ssArchive* m_Archive;
  int m_Depth;
};
