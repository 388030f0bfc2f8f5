// ".kso" models: face order, attributes, padding, scaling, drawing and
// refusal of damaged files. Fixtures come from the writer of formats/kso.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/archive.h"
#include "engine/model.h"
#include "kso_writer.h"
#include "memory_file.h"

struct ssVertexBufferRecord {
  std::uint32_t count;
  const void* tag = nullptr;
};

namespace {

// Records what a model asks of the graphics device.
class RecordingDevice : public ssModelDevice {
 public:
  ssArchive* GetArchive() override { return m_Archive; }
  std::uint32_t MakePixel(std::uint32_t r, std::uint32_t g, std::uint32_t b) override {
    return ((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3);
  }
  std::uint32_t CreateVertexBuffer(std::uint32_t count, std::uint32_t, std::uint32_t, std::uint32_t,
                                   ssVertexBufferRecord** record) override {
    m_Buffers.push_back(std::make_unique<ssVertexBufferRecord>(ssVertexBufferRecord{count}));
    *record = m_Buffers.back().get();
    return 0;
  }
  void SetVertexBufferTag(ssVertexBufferRecord* record, const void* tag) override { record->tag = tag; }
  void FreeVertexBuffersByTag(const void* tag) override {
    std::erase_if(m_Buffers, [&](const auto& b) { return b->tag == tag; });
  }
  std::uint32_t SetTransform(int index, const std::int32_t* m) override {
    m_Calls.push_back("transform " + std::to_string(index) + " " + std::to_string(m[0]));
    return 0;
  }
  std::uint32_t SetTexture(int stage, ssImage* image) override {
    m_Calls.push_back("texture " + std::to_string(stage) + (image ? " set" : " none"));
    return 0;
  }
  std::uint32_t DrawIndexedPrimitive(int type, int transformed, const void* tag, std::uint32_t vertexCount, const void*,
                                     std::uint32_t faceCount, std::uint32_t clip, ssVertexBufferRecord*) override {
    bool tagged = std::any_of(m_Buffers.begin(), m_Buffers.end(), [&](const auto& b) { return b->tag == tag; });
    m_Calls.push_back("draw " + std::to_string(type) + " " + std::to_string(transformed) + " " +
                      std::to_string(vertexCount) + " " + std::to_string(faceCount) + " " + std::to_string(clip) +
                      (tagged ? " tagged" : " untagged"));
    return 0;
  }
  ssArchive* m_Archive = nullptr;
  std::vector<std::unique_ptr<ssVertexBufferRecord>> m_Buffers;
  std::vector<std::string> m_Calls;
};

std::vector<std::uint8_t> Kso(const std::string& text) {
  ksomake::Model model;
  std::string error;
  EXPECT_TRUE(ksomake::ParseModel(text, &model, &error)) << error;
  return ksomake::EncodeModel(model);
}

const char* kStick = R"(header test stick
object triangles
vertex 0 0 0
vertex 1 0 0
vertex 0 1 0
vertex 0 0 -2.5
face 0 1 2  10 11 20 21 30 31
object quads
vertex 0 0 0
vertex 1 0 0
vertex 1 1 0
vertex 0 1 0
face 0 1 2 3  1 2 3 4 5 6 7 8
object flat
vertex 0 0 0
vertex 1 0 0
vertex 1 1 0
vertex 0 1 0
face 3 2 1 0  187 176 169
)";

class Model : public ::testing::Test {
 protected:
  int LoadBytes(ssModel& model, const std::vector<std::uint8_t>& bytes) {
    model.Init(&m_Device, nullptr);
    ssMemoryFile stream(bytes);
    return model.LoadFromStream(stream);
  }
  RecordingDevice m_Device;
};

TEST_F(Model, FacesAreStoredWithTheirCornersTurned) {
  ssModel model;
  std::vector<std::uint8_t> bytes = Kso(kStick);
  ASSERT_EQ(LoadBytes(model, bytes), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(model.m_Header.data())), "test stick");
  ASSERT_EQ(model.m_Meshes.size(), 3u);

  const ssMesh& tri = model.m_Meshes[0];
  EXPECT_EQ(tri.primitiveType, kPrimitiveTexturedTriangles);
  ASSERT_EQ(tri.faceCount, 1u);
  const ssTexTriangleFace& t = tri.triangles[0];
  // (a, b, c) is drawn (a, c, b), with c's texture coordinates second.
  EXPECT_EQ(t.index[0], 0);
  EXPECT_EQ(t.index[1], 2);
  EXPECT_EQ(t.index[2], 1);
  EXPECT_EQ(t.u[0], 10 << 16);
  EXPECT_EQ(t.v[0], 11 << 16);
  EXPECT_EQ(t.u[1], 30 << 16);
  EXPECT_EQ(t.v[1], 31 << 16);
  EXPECT_EQ(t.u[2], 20 << 16);
  ASSERT_EQ(tri.vertices.size(), 4u);
  EXPECT_EQ(tri.vertices[1].x, 0x10000);
  EXPECT_EQ(tri.vertices[3].z, -0x28000);

  const ssMesh& quad = model.m_Meshes[1];
  EXPECT_EQ(quad.primitiveType, kPrimitiveTexturedQuads);
  const ssTexQuadFace& q = quad.texturedQuads[0];
  // (a, b, c, d) is drawn (a, c, d, b).
  EXPECT_EQ(q.index[0], 0);
  EXPECT_EQ(q.index[1], 2);
  EXPECT_EQ(q.index[2], 3);
  EXPECT_EQ(q.index[3], 1);
  EXPECT_EQ(q.u[1], 5 << 16);
  EXPECT_EQ(q.v[3], 4 << 16);

  const ssMesh& flat = model.m_Meshes[2];
  EXPECT_EQ(flat.primitiveType, kPrimitiveFlatQuads);
  const ssFlatQuadFace& f = flat.flatQuads[0];
  EXPECT_EQ(f.index[0], 3);
  EXPECT_EQ(f.index[1], 1);
  EXPECT_EQ(f.index[2], 0);
  EXPECT_EQ(f.index[3], 2);
  for (std::uint32_t pixel : f.pixel) EXPECT_EQ(pixel, 0xBD95u) << "the device pixel, four times";

  EXPECT_EQ(m_Device.m_Buffers.size(), 3u);
  EXPECT_EQ(m_Device.m_Buffers[0]->count, 4u);
  EXPECT_EQ(m_Device.m_Buffers[0]->tag, model.m_Meshes[0].vertices.data());
}

TEST_F(Model, OddIndexCountsArePadded) {
  // One triangle: 3 indices and 2 padding bytes; two triangles: 6 and none.
  std::vector<std::uint8_t> one = Kso("object triangles\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nface 0 1 2\n");
  std::vector<std::uint8_t> two =
      Kso("object triangles\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nface 0 1 2\nface 2 1 0\n");
  EXPECT_EQ(one.size(), 260u + 28 + 8 + 32 + 48);
  EXPECT_EQ(two.size(), 260u + 28 + 12 + 64 + 48);
  ssModel a, b;
  ASSERT_EQ(LoadBytes(a, one), 1);
  ASSERT_EQ(LoadBytes(b, two), 1);
  EXPECT_EQ(a.m_Meshes[0].vertices[2].y, 0x10000) << "vertices read after the padding";
  EXPECT_EQ(b.m_Meshes[0].triangles[1].index[1], 0);
}

TEST_F(Model, ScaleAndDraw) {
  ssModel model;
  ASSERT_EQ(LoadBytes(model, Kso(kStick)), 1);
  model.Scale(0x20000, 0x10000, 0x10000);
  EXPECT_EQ(model.m_Meshes[0].vertices[1].x, 0x20000);
  EXPECT_EQ(model.m_Meshes[0].vertices[2].y, 0x10000);
  EXPECT_EQ(model.m_Meshes[0].vertices[3].z, -0x28000);
  model.Scale(-0x8000, 0x10000, 0x10000);
  EXPECT_EQ(model.m_Meshes[0].vertices[1].x, -0x10000);

  model.m_Matrix[0] = 0x10000;
  m_Device.m_Calls.clear();
  EXPECT_EQ(model.Draw(0x1234), 0);
  std::vector<std::string> expected = {"transform 0 65536", "texture 0 none", "draw 3 0 4 1 52 tagged",
                                       "draw 4 0 4 1 52 tagged", "draw 2 0 4 1 52 tagged"};
  EXPECT_EQ(m_Device.m_Calls, expected);
}

TEST_F(Model, FreeDropsTheDeviceBuffers) {
  ssModel model;
  ASSERT_EQ(LoadBytes(model, Kso(kStick)), 1);
  EXPECT_EQ(m_Device.m_Buffers.size(), 3u);
  model.Free();
  EXPECT_TRUE(model.m_Meshes.empty());
  EXPECT_TRUE(m_Device.m_Buffers.empty());
}

TEST_F(Model, LoadThroughTheArchiveAndMissingFiles) {
  ssMemoryArchive archive;
  archive.SetBaseFolder(L"\\Game", 0);
  archive.AddFile(L"\\Game\\Rooms\\Stick.kso", Kso(kStick));
  m_Device.m_Archive = &archive;
  ssModel model;
  model.Init(&m_Device, nullptr);
  EXPECT_EQ(model.Load(L"Stick.kso", L"Rooms", L"Garage.ark"), 1);
  EXPECT_EQ(model.m_Meshes.size(), 3u);
  EXPECT_EQ(model.Load(L"Table.kso", L"Rooms", L"Garage.ark"), 0);
  EXPECT_TRUE(model.m_Meshes.empty());
  EXPECT_TRUE(m_Device.m_Buffers.empty());
}

// Damaged files load nothing and leave no device buffers behind.
TEST_F(Model, DamagedFilesAreRefused) {
  std::vector<std::uint8_t> good = Kso(kStick);
  const std::size_t firstRecord = 260;
  auto set16 = [](std::vector<std::uint8_t> v, std::size_t at, std::uint32_t x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
    return v;
  };
  auto cut = [](std::vector<std::uint8_t> v, std::size_t n) {
    v.resize(n);
    return v;
  };
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"header only", cut(good, 200)},
      {"more objects than the file holds", set16(good, 256, 4)},
      {"cut in the last vertex", cut(good, good.size() - 5)},
      {"index past the vertices", set16(good, firstRecord + 28 + 2, 4)},
      {"attribute block too small", set16(good, firstRecord + 16, 31)},
      {"attribute block past the end", set16(set16(good, firstRecord + 16, 0xFFFF), firstRecord + 18, 0xFFFF)},
      {"vertex count past the end", set16(good, firstRecord + 20, 0xFFFF)},
      {"index count past the end", set16(good, firstRecord + 24, 0xFFFF)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ssModel model;
    EXPECT_EQ(LoadBytes(model, c.bytes), 0);
    EXPECT_TRUE(model.m_Meshes.empty());
    EXPECT_TRUE(m_Device.m_Buffers.empty());
  }
  // An object of an unknown kind has no faces but is read past.
  ssModel model;
  ASSERT_EQ(LoadBytes(model, set16(good, firstRecord + 22, 9)), 1);
  EXPECT_EQ(model.m_Meshes[0].faceCount, 0u);
  EXPECT_EQ(model.m_Meshes[1].faceCount, 1u);
}

}  // namespace
