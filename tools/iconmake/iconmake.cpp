// iconmake: draws a program's icon at build time, a 16- and a 32-pixel
// picture in one ICO file. The designs are neutral pictures of what the
// program is about: "ball" (a glossy ball with a white spot), "microphone"
// (a microphone on its stand), "house" (the home screen), "list" (the setup
// program: a blue tile with three list lines, the first one marked).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "runtime/picture.h"

namespace {

using picture::Image;

constexpr std::uint32_t kInk = 0x283040;

void Ball(Image& im, double u) {
  im.Disc({8 * u, 8 * u}, 7.5 * u, 0x8A1C1C);
  im.Disc({7.5 * u, 7.5 * u}, 6.6 * u, 0xC83030);
  im.Disc({8 * u, 8 * u}, 3.2 * u, 0xFFFFFF);
  im.Disc({8 * u, 8 * u}, 1.2 * u, kInk);
  im.Disc({4.6 * u, 4.4 * u}, 1.2 * u, 0xF4C8C0);
}

void Microphone(Image& im, double u) {
  im.RoundBox(5.5 * u, 0.8 * u, 10.5 * u, 9.5 * u, 2.5 * u, 0x505A68);
  for (int line = 0; line < 3; ++line) {
    const double y = (3 + 2 * line) * u;
    im.Line({6.6 * u, y}, {9.4 * u, y}, 0.8 * u, 0xB8C0CC);
  }
  im.Arc({8 * u, 6.5 * u}, 5 * u, 3.9 * u, 1.6, 4.7, kInk);
  im.Line({8 * u, 11.3 * u}, {8 * u, 13.8 * u}, 1.2 * u, kInk);
  im.RoundBox(4.5 * u, 13.6 * u, 11.5 * u, 15 * u, 0.6 * u, kInk);
}

void House(Image& im, double u) {
  im.Polygon({{0.8 * u, 8 * u}, {8 * u, 1.2 * u}, {15.2 * u, 8 * u}}, 0x2F6F9F);
  im.Fill(static_cast<int>(2.8 * u), static_cast<int>(7.5 * u), static_cast<int>(10.4 * u), static_cast<int>(7.5 * u),
          0xF4F0E4);
  im.Fill(static_cast<int>(6.8 * u), static_cast<int>(10 * u), static_cast<int>(2.6 * u), static_cast<int>(5 * u),
          0x3A8A5A);
  im.Line({2.8 * u, 15 * u}, {13.2 * u, 15 * u}, 0.8 * u, kInk);
}

void List(Image& im, double u) {
  im.RoundBox(0.5 * u, 0.5 * u, 15.5 * u, 15.5 * u, 1.2 * u, 0x183870);
  im.RoundBox(1 * u, 1 * u, 15 * u, 15 * u, 1 * u, 0x3070B0);
  for (int line = 0; line < 3; ++line) {
    const double top = (3.5 + 3.5 * line) * u;
    im.RoundBox(3 * u, top, 13 * u, top + 2 * u, 0.3 * u, line == 0 ? 0xFFD040 : 0xFFFFFF);
  }
}

struct Design {
  const char* name;
  void (*draw)(Image&, double unit);
};
constexpr Design kDesigns[] = {{"ball", Ball}, {"microphone", Microphone}, {"house", House}, {"list", List}};

int Usage(std::FILE* out, int status) {
  std::fprintf(out, "usage: iconmake ball|microphone|house|list OUT.ico\n");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return Usage(stdout, 0);
  if (argc != 3) return Usage(stderr, 2);
  for (const Design& design : kDesigns) {
    if (std::strcmp(argv[1], design.name) != 0) continue;
    Image small(16, 16);
    design.draw(small, 1.0);
    Image large(32, 32);
    design.draw(large, 2.0);
    const std::string bytes = picture::Ico({small, large});
    std::ofstream file(argv[2], std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (file.fail()) {
      std::fprintf(stderr, "iconmake: could not write %s\n", argv[2]);
      return 1;
    }
    return 0;
  }
  return Usage(stderr, 2);
}
