// kestrunedata OUTDIR --sounds DIR --movies FILE: lays out the rest of the
// game's program folder beside the menu archive "UI/res.ark" (made by
// uimake):
//   OUTDIR/UI/Orvane.tga, Copyright.tga  the splash and copyright screens,
//                                        drawn here;
//   OUTDIR/UI/<effect>.wav               the effect sounds of --sounds;
//   OUTDIR/Rooms/<room>.ark              the six rooms;
//   OUTDIR/Movies/movies.ark             a copy of --movies.
// The game's archive reader takes a member missing from "res.ark" from the
// loose file of that name in the same folder.
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
    "usage: kestrunedata OUTDIR --sounds DIR --movies FILE\n"
    "  writes the game's program folder beside UI/res.ark: the splash and copyright\n"
    "  pictures and the sounds in OUTDIR/UI, OUTDIR/Rooms/<room>.ark and\n"
    "  OUTDIR/Movies/movies.ark\n";

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
  std::string sounds, movies;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "kestrunedata: %s needs a value\n%s", a.c_str(), kUsage);
      return 2;
    }
    const std::string v = argv[++i];
    if (a == "--sounds") {
      sounds = v;
    } else if (a == "--movies") {
      movies = v;
    } else {
      std::fprintf(stderr, "kestrunedata: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (sounds.empty() || movies.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  std::map<std::string, arkpack::Member> members;
  for (arkpack::Member& m : kestrunedata::SplashPictures()) members[Lower(m.name)] = std::move(m);
  if (!AddFolder(sounds, ".wav", members)) {
    std::fprintf(stderr, "kestrunedata: no sounds in %s\n", sounds.c_str());
    return 1;
  }
  for (const auto& [name, m] : members) {
    if (!WriteFile(out / "UI" / m.name, m.data)) {
      std::fprintf(stderr, "kestrunedata: cannot write %s\n", (out / "UI" / m.name).string().c_str());
      return 1;
    }
  }

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
