// fontmake FACE.ttf PIXELS "NAME" OUT.fnt [--v256] [--mono]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "font_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: fontmake FACE.ttf PIXELS NAME OUT.fnt [--v256] [--mono]\n"
    "  renders a bitmap font of the face at PIXELS pixels to the em\n"
    "  --v256  writes the older font version\n"
    "  --mono  one-bit coverage, hinted to whole pixels (for the smallest sizes)\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 5) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  fontmake::Options options;
  options.facePath = argv[1];
  char* end = nullptr;
  const long pixels = std::strtol(argv[2], &end, 10);
  if (end == argv[2] || *end != 0 || pixels < 0 || pixels > 65535) {
    std::fprintf(stderr, "fontmake: PIXELS must be a whole number, not %s\n%s", argv[2], kUsage);
    return 2;
  }
  options.pixels = static_cast<int>(pixels);
  options.name = argv[3];
  for (int i = 5; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--v256") {
      options.oldVersion = true;
    } else if (option == "--mono") {
      options.mono = true;
    } else {
      std::fprintf(stderr, "fontmake: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  std::string error;
  const std::vector<std::uint8_t> bytes = fontmake::Render(options, error);
  if (bytes.empty()) {
    std::fprintf(stderr, "fontmake: %s\n", error.c_str());
    return 1;
  }
  std::FILE* out = std::fopen(argv[4], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "fontmake: cannot write %s\n", argv[4]);
    return 1;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !ok) {
    std::fprintf(stderr, "fontmake: cannot write %s\n", argv[4]);
    return 1;
  }
  return 0;
}
