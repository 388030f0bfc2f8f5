// ".kso" models.
#include <memory>

#include "engine/model.h"
#include "fuzz_common.h"
#include "kso_writer.h"
#include "memory_file.h"

struct ssVertexBufferRecord {
  std::uint32_t count;
  const void* tag;
};

namespace {

class Device : public ssModelDevice {
 public:
  ssArchive* GetArchive() override { return nullptr; }
  std::uint32_t MakePixel(std::uint32_t r, std::uint32_t g, std::uint32_t b) override { return r ^ g ^ b; }
  std::uint32_t CreateVertexBuffer(std::uint32_t count, std::uint32_t, std::uint32_t, std::uint32_t,
                                   ssVertexBufferRecord** record) override {
    m_Records.push_back(std::make_unique<ssVertexBufferRecord>(ssVertexBufferRecord{count, nullptr}));
    *record = m_Records.back().get();
    return 0;
  }
  void SetVertexBufferTag(ssVertexBufferRecord* record, const void* tag) override { record->tag = tag; }
  void FreeVertexBuffersByTag(const void* tag) override {
    std::erase_if(m_Records, [&](const auto& r) { return r->tag == tag; });
  }
  std::uint32_t SetTransform(int, const std::int32_t*) override { return 0; }
  std::uint32_t SetTexture(int, ssImage*) override { return 0; }
  std::uint32_t DrawIndexedPrimitive(int type, int, const void*, std::uint32_t vertexCount, const void* faces,
                                     std::uint32_t faceCount, std::uint32_t, ssVertexBufferRecord*) override {
    // Check what a rasteriser would read: every corner within the vertices.
    const auto check = [&](const std::uint16_t* index, int corners) {
      for (int k = 0; k < corners; ++k) {
        if (index[k] >= vertexCount) __builtin_trap();
      }
    };
    for (std::uint32_t f = 0; f < faceCount; ++f) {
      if (type == kPrimitiveTexturedTriangles) check(static_cast<const ssTexTriangleFace*>(faces)[f].index, 3);
      if (type == kPrimitiveTexturedQuads) check(static_cast<const ssTexQuadFace*>(faces)[f].index, 4);
      if (type == kPrimitiveFlatQuads) check(static_cast<const ssFlatQuadFace*>(faces)[f].index, 4);
    }
    return 0;
  }
  std::vector<std::unique_ptr<ssVertexBufferRecord>> m_Records;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Device device;
  {
    ssModel model;
    model.Init(&device, nullptr);
    ssMemoryFile stream(std::vector<std::uint8_t>(data, data + size));
    if (model.LoadFromStream(stream)) {
      model.Scale(0x18000, -0x10000, 0x7FFFFFFF);
      model.Draw(0xFF);
    } else if (!model.m_Meshes.empty() || !device.m_Records.empty()) {
      __builtin_trap();  // a refused model leaves nothing behind
    }
  }
  if (!device.m_Records.empty()) __builtin_trap();
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const char* text =
      "object triangles\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nface 0 1 2 1 2 3 4 5 6\n"
      "object quads\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\nvertex 0 1 0\nface 0 1 2 3\n"
      "object flat\nvertex 0 0 0\nvertex 1 0 0\nvertex 1 1 0\nvertex 0 1 0\nface 0 1 2 3 9 8 7\n";
  ksomake::Model model;
  std::string error;
  ksomake::ParseModel(text, &model, &error);
  return {ksomake::EncodeModel(model)};
}
