// TableModel: the pool table itself, read from "Table.kso" and split into
// numbered drawing groups, so that the frame can draw what lies under the
// balls first, the six rail parts in depth order between the balls, and only
// what changed on incremental frames. All groups share one welded vertex set
// with one device vertex buffer, transformed once per full frame.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/model.h"
#include "pipeline/pipeline.h"
#include "play/table_layout.h"

class ssDisplay;
class ssImage;
struct ssVertexBufferRecord;

namespace ks {
class Pool;
}

namespace ks::play {

class TableModel {
 public:
  static constexpr int kGroups = kTableGroupsInFile + 2;  // the file's 16, the lowered pockets, the pocket quads
  static constexpr int kMarkers = 18;

  // Face records are kept as the device draws them: 20, 24, 32 or 40 bytes
  // for primitive types 1 to 4.
  struct Group {
    int primitiveType = 0;  // 0: no faces
    std::uint32_t faceCount = 0;
    std::vector<std::uint8_t> faces;
  };

  TableModel();
  ~TableModel();
  TableModel(const TableModel&) = delete;
  TableModel& operator=(const TableModel&) = delete;

  void SetTextures(ssDisplay* device, ssImage* tableTexture, ssImage* pocketTexture);
  // Reads the model through the device's archive. False when the file
  // cannot be opened or is not a table model this reader can draw
  // (short, wrong counts, indexes past their arrays, rail faces missing),
  // leaving the model as it was.
  bool Load(const wchar_t* name, const wchar_t* folder, const wchar_t* archive);
  // The same from bytes in memory.
  bool LoadFromBytes(const std::vector<std::uint8_t>& bytes);
  // Makes the sight markers on the rails.
  void Build();
  void Free();

  void DrawBed(int fullRedraw);
  void DrawPockets();
  void DrawInnerParts();
  void DrawAllParts();
  void DrawRail(int part);

  bool Loaded() const { return !shared_.empty(); }
  const std::vector<ssSourceVertex>& SharedVertices() const { return shared_; }
  const Group& GroupAt(int g) const { return groups_[static_cast<std::size_t>(g)]; }
  const Group& RailMesh(int part, int mesh) const {
    return rails_[static_cast<std::size_t>(part)][static_cast<std::size_t>(mesh)];
  }
  const std::array<ssSourceVertex, kMarkers * 4>& MarkerVertices() const { return markers_; }
  // The screen box (buffer pixels: left, top, right, bottom) of each rail
  // part as the last full frame transformed it; empty when off screen.
  const std::array<std::int32_t, 4>& RailBox(int part) const { return railBoxes_[static_cast<std::size_t>(part)]; }

  Pool* pool = nullptr;
  std::uint32_t largeTable = 0;  // 0 small (rooms 0-2), 1 large
  std::array<std::uint8_t, 128> header{};

 private:
  void DrawGroup(const Group& g);
  void DrawMarker(int marker, std::uint32_t clipFlag);
  void ComputeRailBoxes();

  ssDisplay* device_ = nullptr;
  ssImage* tableTexture_ = nullptr;
  ssImage* pocketTexture_ = nullptr;
  std::array<Group, kGroups> groups_;
  std::array<std::array<Group, kRailSubMeshes>, kRailParts> rails_;
  std::vector<ssSourceVertex> shared_;
  std::array<ssSourceVertex, kMarkers * 4> markers_{};
  std::array<std::array<std::uint16_t, 8>, kMarkers> markerPairs_{};
  std::array<ssLineList, kMarkers> markerLists_{};
  ssVertexBufferRecord* sharedBuffer_ = nullptr;
  ssVertexBufferRecord* markerBuffer_ = nullptr;
  std::array<std::array<std::int32_t, 4>, kRailParts> railBoxes_{};
  bool markersBuilt_ = false;
};

}  // namespace ks::play
