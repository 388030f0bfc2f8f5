#include "splash_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace kestrunedata {

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
// Room kept clear at each side: the pictures are stretched to the display,
// and a line that runs to the edge looks cut off.
constexpr int kMargin = 8;

// Five columns a letter, bit 0 the top row of seven.
struct Glyph {
  char c;
  std::uint8_t columns[5];
};
constexpr Glyph kGlyphs[] = {{'A', {0x7E, 0x11, 0x11, 0x11, 0x7E}},
                             {'B', {0x7F, 0x49, 0x49, 0x49, 0x36}},
                             {'C', {0x3E, 0x41, 0x41, 0x41, 0x22}},
                             {'D', {0x7F, 0x41, 0x41, 0x22, 0x1C}},
                             {'E', {0x7F, 0x49, 0x49, 0x49, 0x41}},
                             {'F', {0x7F, 0x09, 0x09, 0x09, 0x01}},
                             {'G', {0x3E, 0x41, 0x49, 0x49, 0x7A}},
                             {'H', {0x7F, 0x08, 0x08, 0x08, 0x7F}},
                             {'I', {0x00, 0x41, 0x7F, 0x41, 0x00}},
                             {'J', {0x20, 0x40, 0x41, 0x3F, 0x01}},
                             {'K', {0x7F, 0x08, 0x14, 0x22, 0x41}},
                             {'L', {0x7F, 0x40, 0x40, 0x40, 0x40}},
                             {'M', {0x7F, 0x02, 0x0C, 0x02, 0x7F}},
                             {'N', {0x7F, 0x04, 0x08, 0x10, 0x7F}},
                             {'O', {0x3E, 0x41, 0x41, 0x41, 0x3E}},
                             {'P', {0x7F, 0x09, 0x09, 0x09, 0x06}},
                             {'Q', {0x3E, 0x41, 0x51, 0x21, 0x5E}},
                             {'R', {0x7F, 0x09, 0x19, 0x29, 0x46}},
                             {'S', {0x46, 0x49, 0x49, 0x49, 0x31}},
                             {'T', {0x01, 0x01, 0x7F, 0x01, 0x01}},
                             {'U', {0x3F, 0x40, 0x40, 0x40, 0x3F}},
                             {'V', {0x1F, 0x20, 0x40, 0x20, 0x1F}},
                             {'W', {0x3F, 0x40, 0x38, 0x40, 0x3F}},
                             {'X', {0x63, 0x14, 0x08, 0x14, 0x63}},
                             {'Y', {0x07, 0x08, 0x70, 0x08, 0x07}},
                             {'Z', {0x61, 0x51, 0x49, 0x45, 0x43}},
                             {'0', {0x3E, 0x51, 0x49, 0x45, 0x3E}},
                             {'1', {0x00, 0x42, 0x7F, 0x40, 0x00}},
                             {'2', {0x42, 0x61, 0x51, 0x49, 0x46}},
                             {'3', {0x21, 0x41, 0x45, 0x4B, 0x31}},
                             {'4', {0x18, 0x14, 0x12, 0x7F, 0x10}},
                             {'5', {0x27, 0x45, 0x45, 0x45, 0x39}},
                             {'6', {0x3C, 0x4A, 0x49, 0x49, 0x30}},
                             {'7', {0x01, 0x71, 0x09, 0x05, 0x03}},
                             {'8', {0x36, 0x49, 0x49, 0x49, 0x36}},
                             {'9', {0x06, 0x49, 0x49, 0x29, 0x1E}},
                             {'(', {0x00, 0x1C, 0x22, 0x41, 0x00}},
                             {')', {0x00, 0x41, 0x22, 0x1C, 0x00}},
                             {'.', {0x00, 0x60, 0x60, 0x00, 0x00}},
                             {',', {0x00, 0x50, 0x30, 0x00, 0x00}},
                             {'-', {0x08, 0x08, 0x08, 0x08, 0x08}},
                             {'!', {0x00, 0x00, 0x5F, 0x00, 0x00}},
                             {' ', {0, 0, 0, 0, 0}}};

const Glyph* Find(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

imgconv::Picture Blank() {
  imgconv::Picture p;
  p.width = kWidth;
  p.height = kHeight;
  p.rgba.assign(static_cast<std::size_t>(kWidth) * kHeight * 4, 255);
  return p;
}

void Put(imgconv::Picture& p, int x, int y, std::uint32_t rgb) {
  if (x < 0 || y < 0 || x >= static_cast<int>(p.width) || y >= static_cast<int>(p.height)) return;
  std::uint8_t* px = &p.rgba[(static_cast<std::size_t>(y) * p.width + static_cast<std::size_t>(x)) * 4];
  px[0] = static_cast<std::uint8_t>(rgb >> 16);
  px[1] = static_cast<std::uint8_t>(rgb >> 8);
  px[2] = static_cast<std::uint8_t>(rgb);
  px[3] = 255;
}

// A vertical blend from `top` to `bottom`.
void Gradient(imgconv::Picture& p, std::uint32_t top, std::uint32_t bottom) {
  for (int y = 0; y < kHeight; ++y) {
    const double t = y / double(kHeight - 1);
    auto mix = [t](std::uint32_t a, std::uint32_t b, int shift) {
      return static_cast<std::uint32_t>(std::lround(((a >> shift) & 255) * (1 - t) + ((b >> shift) & 255) * t));
    };
    const std::uint32_t rgb = mix(top, bottom, 16) << 16 | mix(top, bottom, 8) << 8 | mix(top, bottom, 0);
    for (int x = 0; x < kWidth; ++x) Put(p, x, y, rgb);
  }
}

int TextWidth(const char* text, int scale) { return static_cast<int>(std::strlen(text)) * 6 * scale - scale; }

// A line centred across the picture; a line too wide for it (with its
// shadow and the margins) stops the build rather than running off the edges.
void Centred(imgconv::Picture& p, int y, int scale, const char* text, std::uint32_t rgb) {
  if (TextWidth(text, scale) + scale > kWidth - 2 * kMargin)
    throw std::logic_error(std::string("splash text too wide for the picture: ") + text);
  DrawText(p, (kWidth - TextWidth(text, scale)) / 2 + scale, y + scale, scale, text, 0x101010);  // shadow
  DrawText(p, (kWidth - TextWidth(text, scale)) / 2, y, scale, text, rgb);
}

// A ball of radius r at (cx, cy), lit from the upper left.
void Ball(imgconv::Picture& p, int cx, int cy, int r, std::uint32_t rgb) {
  for (int y = -r; y <= r; ++y) {
    for (int x = -r; x <= r; ++x) {
      if (x * x + y * y > r * r) continue;
      const double light = 0.55 + 0.45 * std::max(0.0, 1.0 - std::hypot(x + r / 3.0, y + r / 3.0) / r);
      auto c = [&](int shift) { return static_cast<std::uint32_t>(std::min(255.0, ((rgb >> shift) & 255) * light)); };
      Put(p, cx + x, cy + y, c(16) << 16 | c(8) << 8 | c(0));
    }
  }
}

arkpack::Member Tga(const char* name, const imgconv::Picture& p) { return {name, imgconv::EncodeTga(p, 24, false)}; }

}  // namespace

void DrawText(imgconv::Picture& picture, int x, int y, int scale, const char* text, std::uint32_t rgb) {
  for (const char* c = text; *c != 0; ++c, x += 6 * scale) {
    const Glyph* g = Find(*c);
    if (g == nullptr) continue;
    for (int col = 0; col < 5; ++col)
      for (int row = 0; row < 7; ++row)
        if (g->columns[col] & (1 << row))
          for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx) Put(picture, x + col * scale + dx, y + row * scale + dy, rgb);
  }
}

std::vector<arkpack::Member> SplashPictures() {
  std::vector<arkpack::Member> out;

  imgconv::Picture splash = Blank();
  Gradient(splash, 0x0B1E3A, 0x02060E);
  Ball(splash, 120, 120, 46, 0xE8C020);
  Ball(splash, 120, 120, 20, 0xFFFFFF);
  DrawText(splash, 114, 113, 2, "1", 0x202020);
  Centred(splash, 196, 5, "ORVANE", 0xF0F0F0);
  Centred(splash, 244, 2, "SMALL SCREEN GAMES", 0xA0B8D8);
  out.push_back(Tga("Orvane.tga", splash));

  imgconv::Picture copyright = Blank();
  Gradient(copyright, 0x14301C, 0x050F08);
  Centred(copyright, 70, 4, "KESTRUNE", 0xF4E8C0);
  Centred(copyright, 120, 2, "3D POOL", 0xD0D0D0);
  Centred(copyright, 190, 2, "(C) 2026 ORVANE", 0xD0D0D0);
  Centred(copyright, 214, 2, "ALL RIGHTS", 0xA0A0A0);
  Centred(copyright, 238, 2, "RESERVED.", 0xA0A0A0);
  out.push_back(Tga("Copyright.tga", copyright));

  return out;
}

}  // namespace kestrunedata
