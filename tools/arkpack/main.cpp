// arkpack <folder> <file.ark>: packs every regular file of the folder (not
// its sub-folders), in name order regardless of case, into an ".ark" archive.
// An entry that cannot be examined (a symbolic link loop, say) stops the run:
// an archive silently missing a member is worse than none.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "ark_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: arkpack <folder> <file.ark>\n"
    "  packs the regular files of <folder> (not its sub-folders) into <file.ark>\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc != 3 || argv[1][0] == '-' || argv[2][0] == '-') {
    std::cerr << kUsage;
    return 2;
  }
  std::error_code ec;
  std::vector<fs::path> files;
  fs::directory_iterator it(argv[1], ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const bool regular = it->is_regular_file(ec);
    if (ec) {
      std::cerr << "arkpack: cannot examine " << it->path().string() << ": " << ec.message() << "\n";
      return 1;
    }
    if (regular) files.push_back(it->path());
  }
  if (ec) {
    std::cerr << "arkpack: cannot read folder " << argv[1] << ": " << ec.message() << "\n";
    return 1;
  }
  // Name order without regard to case, as the names are stored lower-cased.
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  std::sort(files.begin(), files.end(), [&](const fs::path& a, const fs::path& b) {
    return lower(a.filename().string()) < lower(b.filename().string());
  });
  std::vector<arkpack::Member> members;
  for (const fs::path& path : files) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::cerr << "arkpack: cannot read " << path << "\n";
      return 1;
    }
    members.push_back({path.filename().string(), {std::istreambuf_iterator<char>(in), {}}});
  }
  std::string error;
  std::vector<std::uint8_t> archive = arkpack::BuildArchive(members, &error);
  if (archive.empty()) {
    std::cerr << "arkpack: " << error << "\n";
    return 1;
  }
  // Written beside the target and renamed over it, so a failure leaves no
  // half-written archive.
  std::string temporary = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    out.flush();
    if (!out) {
      std::cerr << "arkpack: cannot write " << temporary << "\n";
      std::remove(temporary.c_str());
      return 1;
    }
  }
  fs::rename(temporary, argv[2], ec);
  if (ec) {
    std::cerr << "arkpack: cannot write " << argv[2] << ": " << ec.message() << "\n";
    std::remove(temporary.c_str());
    return 1;
  }
  std::cout << "arkpack: " << members.size() << " members, " << archive.size() << " bytes -> " << argv[2] << "\n";
  return 0;
}
