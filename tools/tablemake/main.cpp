// tablemake OUTDIR: writes the table scene's archives, every asset made here
// procedurally: OUTDIR/Rooms/<room>.ark for each room the game lists (walls,
// floor, ceiling, table and cue stick) and OUTDIR/UI/res.ark (ball markings,
// light map, shadow, pocket map and the ball icon sheets).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "table_assets.h"

namespace {

bool WriteArchive(const std::filesystem::path& path, const std::vector<arkpack::Member>& members) {
  std::string error;
  const std::vector<std::uint8_t> bytes = arkpack::BuildArchive(members, &error);
  if (bytes.empty()) {
    std::fprintf(stderr, "tablemake: %s: %s\n", path.string().c_str(), error.c_str());
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "tablemake: cannot write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: tablemake OUTDIR\n"
      "  writes the room archives (OUTDIR/Rooms/<room>.ark) and the table's\n"
      "  pictures (OUTDIR/UI/res.ark)\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  std::error_code ec;
  std::filesystem::create_directories(root / "Rooms", ec);
  std::filesystem::create_directories(root / "UI", ec);
  bool ok = true;
  for (int room = 0; room < tablemake::kRoomCount; ++room) {
    ok = WriteArchive(root / "Rooms" / (std::string(tablemake::kRoomNames[room]) + ".ark"),
                      tablemake::RoomMembers(room)) &&
         ok;
  }
  ok = WriteArchive(root / "UI" / "res.ark", tablemake::UiMembers()) && ok;
  return ok ? 0 : 1;
}
