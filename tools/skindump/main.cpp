// skindump <file>: prints a compiled skin (bare, or the first ".skin" member
// of a stored ZIP) as skin source.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "skin_dump.h"

namespace {

constexpr const char* kUsage =
    "usage: skindump <file>\n"
    "  prints the compiled skin in <file> (bare or in a stored ZIP) as skin source\n";

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
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "skindump: cannot read " << argv[1] << "\n";
    return 1;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string text;
  std::string error;
  if (!skindump::Dump(skindump::SkinFromFile(bytes), text, error)) {
    std::cerr << "skindump: " << argv[1] << ": " << error << "\n";
    return 1;
  }
  std::cout << text;
  return 0;
}
