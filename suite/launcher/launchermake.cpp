// launchermake <folder>: writes the launcher bar's pictures at 96 and 192 DPI:
// the tool dialogs' header band, the scroll arrows (three frames side by side,
// magenta around them) and the icons of the settings pages, the special
// items, the programs Juggler names and the news pages, each a small picture
// of what it stands for (a speaker, a house, a clock, a bell, a gear...), as
// ICO files holding a 16- and a 32-pixel picture.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/bmp_writer.h"
#include "runtime/one_path_tool.h"
#include "runtime/picture.h"

namespace {

using picture::Image;

// A build tool: it writes into the build tree on the host.
bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

bool WriteBmp(const std::string& path, const Image& image) {
  return WriteFile(path,
                   ks::runtime::EncodeBmp24(image.width, image.height, image.pixels.data(), ks::runtime::kBmp96Dpi));
}

bool WriteIco(const std::string& path, const std::vector<Image>& images) {
  return WriteFile(path, picture::Ico(images));
}

// The tool dialogs' header: a band shading from deep to light blue with a
// thin light rule at its foot.
Image Header(int scale) {
  const int width = 240 * scale;
  const int height = 30 * scale;
  Image image(width, height);
  for (int x = 0; x < width; ++x) {
    const int t = x * 255 / (width - 1);
    const std::uint32_t r = static_cast<std::uint32_t>(0x20 + (0x70 - 0x20) * t / 255);
    const std::uint32_t g = static_cast<std::uint32_t>(0x48 + (0xA0 - 0x48) * t / 255);
    const std::uint32_t b = static_cast<std::uint32_t>(0x98 + (0xE0 - 0x98) * t / 255);
    for (int y = 0; y < height; ++y) image.Set(x, y, (r << 16) | (g << 8) | b);
  }
  image.Fill(0, height - scale, width, scale, 0xD8E4F4);
  return image;
}

// Three frames of an arrow (normal, pressed, unavailable) side by side.
Image Arrow(int scale, bool down) {
  const int frameWidth = 14 * scale;
  const int height = 16 * scale;
  Image image(frameWidth * 3, height);
  const std::uint32_t colours[3] = {0x304870, 0x2860B0, 0xA0A8B4};
  for (int frame = 0; frame < 3; ++frame) {
    const int left = frame * frameWidth;
    const int rows = 6 * scale;
    const int top = (height - rows) / 2;
    for (int row = 0; row < rows; ++row) {
      // Widest at the top for down, at the bottom for up.
      const int half = (down ? rows - row : row + 1) * (frameWidth / 2 - scale) / rows;
      const int centre = left + frameWidth / 2;
      image.Fill(centre - half, top + row, 2 * half, 1, colours[frame]);
    }
  }
  return image;
}

// The icons, each drawn in a 16-unit square at `size` pixels.
using Design = void (*)(Image&, double unit);

constexpr std::uint32_t kInk = 0x283040;

// A loudspeaker with two sound waves.
void Sounds(Image& im, double u) {
  im.Polygon({{2 * u, 6 * u}, {5 * u, 6 * u}, {9 * u, 2.5 * u}, {9 * u, 13.5 * u}, {5 * u, 10 * u}, {2 * u, 10 * u}},
             0x3870C0);
  im.Arc({9 * u, 8 * u}, 3.6 * u, 2.6 * u, 0.6, 2.5, kInk);
  im.Arc({9 * u, 8 * u}, 6.2 * u, 5.2 * u, 0.6, 2.5, kInk);
}

// A house: roof, walls and door.
void House(Image& im, double u) {
  im.Polygon({{1 * u, 8 * u}, {8 * u, 1.5 * u}, {15 * u, 8 * u}}, 0xC04830);
  im.Fill(static_cast<int>(3 * u), static_cast<int>(8 * u), static_cast<int>(10 * u), static_cast<int>(7 * u),
          0xF0E0C0);
  im.Frame(static_cast<int>(3 * u), static_cast<int>(8 * u), static_cast<int>(10 * u), static_cast<int>(7 * u), kInk);
  im.Fill(static_cast<int>(7 * u), static_cast<int>(10 * u), static_cast<int>(2.5 * u), static_cast<int>(5 * u),
          0x2C8A5A);
}

// An "i" in a blue disc.
void About(Image& im, double u) {
  im.Disc({8 * u, 8 * u}, 7.3 * u, 0x3466B0);
  im.Disc({8 * u, 4.6 * u}, 1.3 * u, 0xFFFFFF);
  im.Line({8 * u, 7.5 * u}, {8 * u, 12 * u}, 2.2 * u, 0xFFFFFF);
}

// A person with open arms in a ring.
void Accessibility(Image& im, double u) {
  im.Ring({8 * u, 8 * u}, 7.5 * u, 6.2 * u, 0x8A5AB0);
  im.Disc({8 * u, 4.2 * u}, 1.5 * u, kInk);
  im.Line({4 * u, 6.7 * u}, {12 * u, 6.7 * u}, 1.4 * u, kInk);
  im.Line({8 * u, 6.5 * u}, {8 * u, 9.5 * u}, 1.6 * u, kInk);
  im.Line({8 * u, 9.5 * u}, {5.8 * u, 12.5 * u}, 1.4 * u, kInk);
  im.Line({8 * u, 9.5 * u}, {10.2 * u, 12.5 * u}, 1.4 * u, kInk);
}

// Two arrows, one each way.
void Connections(Image& im, double u) {
  im.Line({2 * u, 5 * u}, {12 * u, 5 * u}, 2 * u, 0x2A8AA0);
  im.Polygon({{11 * u, 1.8 * u}, {15 * u, 5 * u}, {11 * u, 8.2 * u}}, 0x2A8AA0);
  im.Line({4 * u, 11 * u}, {14 * u, 11 * u}, 2 * u, 0x3A9A50);
  im.Polygon({{5 * u, 7.8 * u}, {1 * u, 11 * u}, {5 * u, 14.2 * u}}, 0x3A9A50);
}

// A clock face at ten past ten.
void Clock(Image& im, double u) {
  im.Disc({8 * u, 8 * u}, 7.4 * u, kInk);
  im.Disc({8 * u, 8 * u}, 6.2 * u, 0xFFFBF0);
  for (int h = 0; h < 12; h += 3) {
    const double a = h * picture::kPi / 6;
    im.Disc({8 * u + 5 * u * std::sin(a), 8 * u - 5 * u * std::cos(a)}, 0.7 * u, kInk);
  }
  im.Line({8 * u, 8 * u}, {5.4 * u, 5.8 * u}, 1.8 * u, kInk);
  im.Line({8 * u, 8 * u}, {11.2 * u, 5 * u}, 1.4 * u, kInk);
}

// A person: head and shoulders.
void Person(Image& im, double u) {
  im.Disc({8 * u, 5 * u}, 3.2 * u, 0x607890);
  im.Paint(0x607890, [&](double x, double y) {
    return y >= 9 * u && y <= 15 * u && std::hypot((x - 8 * u) / 6.5, (y - 15 * u) / 6) <= u;
  });
}

// A battery with a lightning bolt.
void Power(Image& im, double u) {
  im.RoundBox(2 * u, 4 * u, 13 * u, 12 * u, 1 * u, kInk);
  im.Fill(static_cast<int>(13 * u), static_cast<int>(6.5 * u), static_cast<int>(1.5 * u), static_cast<int>(3 * u),
          kInk);
  im.RoundBox(3 * u, 5 * u, 12 * u, 11 * u, 0.5 * u, 0x70C050);
  im.Polygon({{8.5 * u, 4.8 * u},
              {5.5 * u, 8.6 * u},
              {7.8 * u, 8.6 * u},
              {6.8 * u, 11.2 * u},
              {10 * u, 7.4 * u},
              {7.7 * u, 7.4 * u}},
             0xF8E040);
}

// A padlock.
void Lock(Image& im, double u) {
  im.Arc({8 * u, 7 * u}, 4.2 * u, 2.6 * u, 0, 2 * picture::kPi, 0x808890);
  im.RoundBox(3 * u, 7 * u, 13 * u, 15 * u, 1 * u, 0xB08A20);
  im.Disc({8 * u, 10.3 * u}, 1.2 * u, kInk);
  im.Line({8 * u, 10.5 * u}, {8 * u, 13 * u}, 1 * u, kInk);
}

// A broom sweeping.
void Broom(Image& im, double u) {
  im.Line({13.5 * u, 1.5 * u}, {7 * u, 9 * u}, 1.4 * u, 0x8A5A30);
  im.Polygon({{5.5 * u, 7.5 * u}, {9 * u, 10.5 * u}, {6 * u, 15 * u}, {1 * u, 10.5 * u}}, 0xE0B040);
  im.Line({5.2 * u, 10.5 * u}, {3 * u, 12.5 * u}, 0.6 * u, 0xA07820);
  im.Line({7 * u, 11.5 * u}, {5 * u, 13.8 * u}, 0.6 * u, 0xA07820);
}

// A bell.
void Bell(Image& im, double u) {
  im.Disc({8 * u, 6.5 * u}, 4 * u, 0xE0A020);
  im.Polygon({{4 * u, 6.5 * u}, {12 * u, 6.5 * u}, {13.5 * u, 12 * u}, {2.5 * u, 12 * u}}, 0xE0A020);
  im.RoundBox(2 * u, 11.5 * u, 14 * u, 13 * u, 0.6 * u, 0xB07818);
  im.Disc({8 * u, 14 * u}, 1.3 * u, 0xB07818);
  im.Disc({8 * u, 2.2 * u}, 0.9 * u, 0xB07818);
}

// The power symbol: a broken ring and a bar.
void PowerOff(Image& im, double u) {
  im.Disc({8 * u, 8 * u}, 7.5 * u, 0xC03030);
  im.Arc({8 * u, 8.5 * u}, 5 * u, 3.5 * u, 0.75, 2 * picture::kPi - 0.75, 0xFFFFFF);
  im.Line({8 * u, 2.8 * u}, {8 * u, 8 * u}, 1.6 * u, 0xFFFFFF);
}

// Two windows, one over the other.
void Windows(Image& im, double u) {
  for (int w = 0; w < 2; ++w) {
    const double x = (1 + 4 * w) * u, y = (1.5 + 4 * w) * u;
    im.Fill(static_cast<int>(x), static_cast<int>(y), static_cast<int>(10 * u), static_cast<int>(9 * u), 0xF8F8F8);
    im.Fill(static_cast<int>(x), static_cast<int>(y), static_cast<int>(10 * u), static_cast<int>(2.5 * u),
            w ? 0x5060B0 : 0x8890C0);
    im.Frame(static_cast<int>(x), static_cast<int>(y), static_cast<int>(10 * u), static_cast<int>(9 * u), kInk);
  }
}

// A gear: a toothed wheel with a hole.
void Gear(Image& im, double u) {
  im.Paint(0x607080, [&](double x, double y) {
    const double dx = x - 8 * u, dy = y - 8 * u;
    const double d = std::hypot(dx, dy);
    const double a = std::atan2(dy, dx);
    const bool tooth = std::cos(8 * a) > 0.3;
    return d <= (tooth ? 7.4 : 5.6) * u && d >= 2.2 * u;
  });
}

// A calendar page.
void Calendar(Image& im, double u) {
  im.Fill(static_cast<int>(2 * u), static_cast<int>(3 * u), static_cast<int>(12 * u), static_cast<int>(12 * u),
          0xFFFFFF);
  im.Fill(static_cast<int>(2 * u), static_cast<int>(3 * u), static_cast<int>(12 * u), static_cast<int>(3.5 * u),
          0xC06030);
  im.Frame(static_cast<int>(2 * u), static_cast<int>(3 * u), static_cast<int>(12 * u), static_cast<int>(12 * u), kInk);
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 3; ++c) {
      im.Fill(static_cast<int>((4 + 3 * c) * u), static_cast<int>((8 + 3 * r) * u), static_cast<int>(2 * u),
              static_cast<int>(2 * u), 0x808080);
    }
  }
}

// An address card.
void Contacts(Image& im, double u) {
  im.RoundBox(1 * u, 3 * u, 15 * u, 13 * u, 1 * u, 0x3080A0);
  im.Disc({5 * u, 6.5 * u}, 1.6 * u, 0xFFFFFF);
  im.Paint(0xFFFFFF, [&](double x, double y) {
    return y >= 8.8 * u && y <= 11.5 * u && std::hypot((x - 5 * u) / 1.4, y - 11.5 * u) <= 2.6 * u;
  });
  for (int line = 0; line < 3; ++line) {
    im.Fill(static_cast<int>(8.5 * u), static_cast<int>((5.5 + 2 * line) * u), static_cast<int>(5 * u),
            std::max(1, static_cast<int>(u)), 0xFFFFFF);
  }
}

// A task list with ticks.
void Tasks(Image& im, double u) {
  im.Fill(static_cast<int>(2 * u), static_cast<int>(1 * u), static_cast<int>(12 * u), static_cast<int>(14 * u),
          0xFFFFFF);
  im.Frame(static_cast<int>(2 * u), static_cast<int>(1 * u), static_cast<int>(12 * u), static_cast<int>(14 * u), kInk);
  for (int row = 0; row < 3; ++row) {
    const double y = (4 + 4 * row) * u;
    im.Line({3.8 * u, y}, {5 * u, y + 1.2 * u}, 1 * u, 0x50A040);
    im.Line({5 * u, y + 1.2 * u}, {7 * u, y - 1.2 * u}, 1 * u, 0x50A040);
    im.Fill(static_cast<int>(8 * u), static_cast<int>(y), static_cast<int>(4.5 * u), std::max(1, static_cast<int>(u)),
            0x808080);
  }
}

struct IconLook {
  int id;
  Design design;
};

constexpr IconLook kIcons[] = {
    {210, Sounds},  {214, House}, {213, About},   {219, Accessibility}, {217, Connections}, {216, Clock},
    {218, Person},  {205, Power}, {203, Lock},    {240, Broom},         {247, Bell},        {242, PowerOff},
    {168, Windows}, {241, Gear},  {28, Calendar}, {30, Contacts},       {31, Tasks},
};

Image Draw(Design design, int size) {
  Image image(size, size);
  design(image, size / 16.0);
  return image;
}

// A folded newspaper with a headline in the page's own shade.
Image News(int size, std::uint32_t shade) {
  Image im(size, size);
  const double u = size / 16.0;
  im.Fill(static_cast<int>(1 * u), static_cast<int>(2 * u), static_cast<int>(14 * u), static_cast<int>(12 * u),
          0xF8F8F0);
  im.Frame(static_cast<int>(1 * u), static_cast<int>(2 * u), static_cast<int>(14 * u), static_cast<int>(12 * u), kInk);
  im.Fill(static_cast<int>(2.5 * u), static_cast<int>(3.5 * u), static_cast<int>(11 * u), static_cast<int>(2.5 * u),
          shade);
  for (int line = 0; line < 3; ++line) {
    im.Fill(static_cast<int>(2.5 * u), static_cast<int>((7.5 + 2 * line) * u), static_cast<int>(5 * u),
            std::max(1, static_cast<int>(u)), 0x808080);
  }
  im.Fill(static_cast<int>(9 * u), static_cast<int>(7.5 * u), static_cast<int>(4.5 * u), static_cast<int>(5 * u),
          0xA0B0C0);
  return im;
}

constexpr const char* kUsage =
    "usage: launchermake <output folder>\n"
    "  writes the launcher bar's pictures and icons at 96 and 192 DPI into the folder\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = toolusage::OnePathArgument(argc, argv, kUsage); status >= 0) return status;
  const std::string folder = argv[1];
  bool ok = WriteBmp(folder + "/header.bmp", Header(1)) && WriteBmp(folder + "/header_192.bmp", Header(2)) &&
            WriteBmp(folder + "/scroll_down.bmp", Arrow(1, true)) &&
            WriteBmp(folder + "/scroll_up.bmp", Arrow(1, false)) &&
            WriteBmp(folder + "/scroll_down_192.bmp", Arrow(2, true)) &&
            WriteBmp(folder + "/scroll_up_192.bmp", Arrow(2, false));
  for (const IconLook& icon : kIcons) {
    ok = ok &&
         WriteIco(folder + "/icon_" + std::to_string(icon.id) + ".ico", {Draw(icon.design, 16), Draw(icon.design, 32)});
  }
  // The news pages share one look, with a shade a page.
  for (int page = 0; page < 18; ++page) {
    const std::uint32_t shade = (0xA0u << 16) | (static_cast<std::uint32_t>(0x30 + page * 6) << 8) | 0x30;
    ok = ok && WriteIco(folder + "/icon_" + std::to_string(32 + page) + ".ico", {News(16, shade), News(32, shade)});
  }
  if (!ok) {
    std::fprintf(stderr, "launchermake: could not write the pictures into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
