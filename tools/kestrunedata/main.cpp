// kestrunedata OUTDIR --fonts DIR --sounds DIR --movies FILE [--ui DIR]...:
// lays out the game's program folder as the game reads it:
//   OUTDIR/UI/res.ark       the fonts (*.fnt of --fonts), the effect sounds
//                           (*.wav of --sounds), the table's pictures, the
//                           splash, copyright and main menu pictures drawn
//                           here, and every file of each --ui folder (a later
//                           file of the same name wins);
//   OUTDIR/Rooms/<room>.ark the six rooms;
//   OUTDIR/Movies/movies.ark a copy of --movies.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ark_writer.h"
#include "image_writer.h"
#include "splash_pictures.h"
#include "table_assets.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: kestrunedata OUTDIR --fonts DIR --sounds DIR --movies FILE [--ui DIR]...\n"
    "  writes the game's program folder: OUTDIR/UI/res.ark (fonts, sounds, pictures),\n"
    "  OUTDIR/Rooms/<room>.ark and OUTDIR/Movies/movies.ark\n";

bool ReadFile(const fs::path& path, std::vector<std::uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

bool WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Adds the regular files of `folder` whose names end in `suffix` (any when
// empty); false when the folder cannot be read or holds none.
bool AddFolder(const fs::path& folder, const std::string& suffix, std::map<std::string, arkpack::Member>& members) {
  std::error_code ec;
  int added = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().filename().string();
    if (!suffix.empty() && (name.size() < suffix.size() || Lower(name.substr(name.size() - suffix.size())) != suffix))
      continue;
    arkpack::Member m;
    m.name = name;
    if (!ReadFile(it->path(), m.data)) return false;
    members[Lower(name)] = std::move(m);
    ++added;
  }
  return !ec && added > 0;
}

bool WriteArchive(const fs::path& path, const std::vector<arkpack::Member>& members) {
  std::string error;
  const std::vector<std::uint8_t> bytes = arkpack::BuildArchive(members, &error);
  if (bytes.empty() || !WriteFile(path, bytes)) {
    std::fprintf(stderr, "kestrunedata: cannot write %s %s\n", path.string().c_str(), error.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 2 || argv[1][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const fs::path out = argv[1];
  std::string fonts, sounds, movies;
  std::vector<std::string> ui;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "kestrunedata: %s needs a value\n%s", a.c_str(), kUsage);
      return 2;
    }
    const std::string v = argv[++i];
    if (a == "--fonts") {
      fonts = v;
    } else if (a == "--sounds") {
      sounds = v;
    } else if (a == "--movies") {
      movies = v;
    } else if (a == "--ui") {
      ui.push_back(v);
    } else {
      std::fprintf(stderr, "kestrunedata: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (fonts.empty() || sounds.empty() || movies.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  std::map<std::string, arkpack::Member> members;
  for (arkpack::Member& m : tablemake::UiMembers()) members[Lower(m.name)] = std::move(m);
  for (arkpack::Member& m : kestrunedata::SplashPictures()) members[Lower(m.name)] = std::move(m);
  if (!AddFolder(fonts, ".fnt", members)) {
    std::fprintf(stderr, "kestrunedata: no fonts in %s\n", fonts.c_str());
    return 1;
  }
  if (!AddFolder(sounds, ".wav", members)) {
    std::fprintf(stderr, "kestrunedata: no sounds in %s\n", sounds.c_str());
    return 1;
  }
  for (const std::string& folder : ui) {
    if (!AddFolder(folder, "", members)) {
      std::fprintf(stderr, "kestrunedata: nothing in %s\n", folder.c_str());
      return 1;
    }
  }
  std::vector<arkpack::Member> list;
  for (auto& [name, m] : members) list.push_back(std::move(m));
  if (!WriteArchive(out / "UI" / "res.ark", list)) return 1;

  for (int room = 0; room < tablemake::kRoomCount; ++room) {
    if (!WriteArchive(out / "Rooms" / (std::string(tablemake::kRoomNames[room]) + ".ark"),
                      tablemake::RoomMembers(room)))
      return 1;
  }
  std::vector<std::uint8_t> movieBytes;
  if (!ReadFile(movies, movieBytes) || !WriteFile(out / "Movies" / "movies.ark", movieBytes)) {
    std::fprintf(stderr, "kestrunedata: cannot copy %s\n", movies.c_str());
    return 1;
  }
  return 0;
}
