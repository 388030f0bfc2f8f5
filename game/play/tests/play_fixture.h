// Shared by the table view's tests and benchmarks: a display device opened
// headless at a given size, depth and turn, an archive in memory holding the
// rooms and the UI textures made by the asset builder (members may be left
// out or replaced), a racked table with a clock that moves on one frame a
// call, and the scene loaded for a room.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "display/display_s16.h"
#include "engine/testing/memory_file.h"
#include "play/scene_loader.h"
#include "simulation/table.h"
#include "table_assets.h"

namespace ks::play::test {

// A clock that moves on a frame (31 ms) each time the frame is stepped.
class FrameClock final : public PoolHost {
 public:
  std::uint32_t GetTime() override { return now; }
  std::uint32_t now = 1000;
};

// A device opened headless. The headless screen has no 12-bit mode, so a
// 12-bit device is the 16-bit one told its depth after opening: its buffers
// are laid out alike and everything it draws is packed as RGB444. Null when
// the device could not be opened.
inline std::unique_ptr<ssDisplayS16> OpenHeadless(int width, int height, int depth, int rotate) {
  auto d = std::make_unique<ssDisplayS16>();
  d->ForceOutput(ssDisplayS16::kModeGdi);
  d->m_Rotate = rotate;
  if (d->Init(nullptr, width, height, 16, 0) != 0) return nullptr;
  if (d->m_Width != width || d->m_Height != height) return nullptr;
  d->m_Depth = depth;
  d->SetRenderTarget(ssDisplayS16::kTargetBackBuffer, 0, 0, 0, 0);
  return d;
}

// Room archives: member name -> bytes; an empty vector drops the member.
using Overrides = std::map<std::string, std::vector<std::uint8_t>>;

inline std::vector<std::uint8_t> ArchiveBytes(std::vector<arkpack::Member> members, const Overrides& overrides) {
  std::vector<arkpack::Member> kept;
  for (auto& m : members) {
    auto it = overrides.find(m.name);
    if (it == overrides.end()) {
      kept.push_back(std::move(m));
    } else if (!it->second.empty()) {
      kept.push_back({m.name, it->second});
    }
  }
  std::string error;
  return arkpack::BuildArchive(kept, &error);
}

// An archive of every room (room `room` with the overrides) and the UI.
inline std::unique_ptr<ssMemoryArchive> SceneArchive(int room = -1, const Overrides& overrides = {}) {
  auto archive = std::make_unique<ssMemoryArchive>();
  archive->SetBaseFolder(L"\\", 0);
  for (int r = 0; r < tablemake::kRoomCount; ++r) {
    const std::string name = tablemake::kRoomNames[r];
    archive->AddFile(L"\\Rooms\\" + std::wstring(name.begin(), name.end()) + L".ark",
                     ArchiveBytes(tablemake::RoomMembers(r), r == room ? overrides : Overrides{}));
  }
  archive->AddFile(L"\\UI\\res.ark", ArchiveBytes(tablemake::UiMembers(), {}));
  return archive;
}

// One display, table and scene.
struct Rig {
  FrameClock clock;
  std::unique_ptr<ssDisplayS16> display;
  std::unique_ptr<Table> table;
  std::unique_ptr<PlayScene> scene;
  LoadReport report;

  Rig(int width, int height, int depth, int rotate, int room = 0, GameKind game = GameKind::kEightBall,
      const Overrides& overrides = {}) {
    display = OpenHeadless(width, height, depth, rotate);
    if (!display) return;
    display->SetArchive(SceneArchive(room, overrides));
    TableSetup setup;
    setup.game = game;
    setup.size = room >= 3 ? TableSize::kLarge : TableSize::kSmall;
    table = std::make_unique<Table>(setup, &clock);
    scene = std::make_unique<PlayScene>(display.get(), &table->pool());
    report = scene->LoadRoom(room);
  }
  // The back buffer as drawn.
  std::vector<std::uint16_t> Pixels() const {
    const std::size_t n = static_cast<std::size_t>(display->m_Width) * static_cast<std::size_t>(display->m_Height);
    return std::vector<std::uint16_t>(display->m_BackBuffer, display->m_BackBuffer + n);
  }
};

}  // namespace ks::play::test
