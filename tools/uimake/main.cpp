// uimake FONTDIR OUTDIR FACE: writes OUTDIR/UI/res.ark, the game's menu
// archive: every ".fnt" font in FONTDIR, the menu pictures made here (the
// rules pictures' words in the TrueType FACE) and the table's pictures made
// by the table asset makers.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "menu_pictures.h"
#include "saves/opponents.h"
#include "table_assets.h"

int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: uimake FONTDIR OUTDIR FACE\n"
      "  writes OUTDIR/UI/res.ark: the fonts of FONTDIR (*.fnt), the menu\n"
      "  pictures (the rules pictures' words in the TrueType FACE) and the\n"
      "  table's pictures\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 4 || argv[1][0] == '-' || argv[2][0] == '-' || argv[3][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  namespace fs = std::filesystem;
  std::vector<arkpack::Member> members = uimake::MenuPictures();
  {
    std::string error;
    std::vector<arkpack::Member> rules = uimake::RulesPictures(argv[3], error);
    if (rules.empty()) {
      std::fprintf(stderr, "uimake: %s\n", error.c_str());
      return 1;
    }
    for (auto& m : rules) members.push_back(std::move(m));
  }
  for (auto& m : tablemake::UiMembers()) members.push_back(std::move(m));
  // A portrait per computer opponent the menus show, named by nickname.
  {
    ks::app::OpponentTable table;
    ks::app::Players players{};
    char spare[32] = {};
    ks::app::BuildOpponentTable(table, players, spare);
    for (int i = 0; i <= 116; ++i) {
      const std::string name = std::string(table[static_cast<std::size_t>(i)].nickname) + ".tga";
      members.push_back(
          arkpack::Member{name, imgconv::EncodeTga(uimake::Portrait(static_cast<std::uint32_t>(i) + 7), 32, false)});
    }
  }
  std::error_code ec;
  std::vector<fs::path> fonts;
  for (const auto& entry : fs::directory_iterator(argv[1], ec)) {
    if (entry.path().extension() == ".fnt") fonts.push_back(entry.path());
  }
  if (ec || fonts.empty()) {
    std::fprintf(stderr, "uimake: no fonts in %s\n", argv[1]);
    return 1;
  }
  for (const fs::path& path : fonts) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
      std::fprintf(stderr, "uimake: cannot read %s\n", path.string().c_str());
      return 1;
    }
    members.push_back({path.filename().string(), std::move(bytes)});
  }
  std::string error;
  const std::vector<std::uint8_t> archive = arkpack::BuildArchive(members, &error);
  if (archive.empty()) {
    std::fprintf(stderr, "uimake: %s\n", error.c_str());
    return 1;
  }
  const fs::path folder = fs::path(argv[2]) / "UI";
  fs::create_directories(folder, ec);
  // Written beside the old archive and renamed over it, so a failed build
  // step never leaves half an archive.
  const fs::path target = folder / "res.ark", temporary = folder / "res.ark.new";
  {
    std::ofstream out(temporary, std::ios::binary);
    out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    if (!out) {
      std::fprintf(stderr, "uimake: cannot write %s\n", temporary.string().c_str());
      return 1;
    }
  }
  fs::rename(temporary, target, ec);
  if (ec) {
    std::fprintf(stderr, "uimake: cannot write %s\n", target.string().c_str());
    return 1;
  }
  return 0;
}
