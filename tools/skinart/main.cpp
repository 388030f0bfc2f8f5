// skinart <folder>: writes the default skin's images, drawn by code, as BMP
// files into the folder.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "skin_art.h"

namespace {

constexpr const char* kUsage =
    "usage: skinart <folder>\n"
    "  writes the default skin's images (BMP) into <folder>, creating it\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::cerr << kUsage;
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(argv[1], ec);
  for (const auto& [name, bytes] : skinart::DefaultSet()) {
    const std::string path = std::string(argv[1]) + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::cerr << "skinart: cannot write " << path << "\n";
      return 1;
    }
  }
  return 0;
}
