// fontmake FACE.ttf PIXELS "NAME" OUT.fnt [--v256] [--mono]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "font_writer.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: fontmake FACE.ttf PIXELS NAME OUT.fnt [--v256] [--mono]\n");
    return 2;
  }
  fontmake::Options options;
  options.facePath = argv[1];
  options.pixels = std::atoi(argv[2]);
  options.name = argv[3];
  for (int i = 5; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--v256") {
      options.oldVersion = true;
    } else if (option == "--mono") {
      options.mono = true;
    } else {
      std::fprintf(stderr, "fontmake: unknown option %s\n", argv[i]);
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
