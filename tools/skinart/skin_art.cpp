#include "skin_art.h"

#include <algorithm>
#include <cmath>

namespace skinart {

namespace {

void Put(std::string& out, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

std::string Encode(const Image& image, int bits) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(bits * image.width) + 31) / 32 * 4;
  const std::uint32_t table = bits == 8 ? 256 * 4 : 0;
  const std::uint32_t offset = 14 + 40 + table;
  const std::uint32_t size = stride * static_cast<std::uint32_t>(image.height);
  std::string out;
  out += "BM";
  Put(out, offset + size, 4);
  Put(out, 0, 4);
  Put(out, offset, 4);
  Put(out, 40, 4);
  Put(out, static_cast<std::uint32_t>(image.width), 4);
  Put(out, static_cast<std::uint32_t>(image.height), 4);
  Put(out, 1, 2);
  Put(out, static_cast<std::uint32_t>(bits), 2);
  Put(out, 0, 4);  // BI_RGB
  Put(out, size, 4);
  Put(out, 2835, 4);
  Put(out, 2835, 4);
  Put(out, bits == 8 ? 256 : 0, 4);
  Put(out, 0, 4);
  for (std::uint32_t i = 0; i < table / 4; ++i) Put(out, i | (i << 8) | (i << 16), 4);
  for (int y = image.height - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < image.width; ++x) {
      const Rgb& p = image.at(x, y);
      if (bits == 8) {
        row.push_back(static_cast<char>(p.r));
      } else {
        row.push_back(static_cast<char>(p.b));
        row.push_back(static_cast<char>(p.g));
        row.push_back(static_cast<char>(p.r));
      }
    }
    row.resize(stride, '\0');
    out += row;
  }
  return out;
}

// Distance outside the rounded rectangle's corner arc (0 inside).
double Outside(int x, int y, int w, int h, int radius) {
  const double cx = std::clamp(x + 0.5, static_cast<double>(radius), static_cast<double>(w - radius));
  const double cy = std::clamp(y + 0.5, static_cast<double>(radius), static_cast<double>(h - radius));
  const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
  return std::max(0.0, d - radius);
}

std::uint8_t Mix(std::uint8_t a, std::uint8_t b, double t) {
  return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
}

}  // namespace

std::string EncodeBmp24(const Image& image) { return Encode(image, 24); }
std::string EncodeBmp8Grey(const Image& image) { return Encode(image, 8); }

Image RoundedFrame(int w, int h, int radius, Rgb top, Rgb bottom, Rgb edge) {
  Image image(w, h);
  for (int y = 0; y < h; ++y) {
    const double t = h > 1 ? static_cast<double>(y) / (h - 1) : 0.0;
    const Rgb fill{Mix(top.r, bottom.r, t), Mix(top.g, bottom.g, t), Mix(top.b, bottom.b, t)};
    for (int x = 0; x < w; ++x) {
      const double out = Outside(x, y, w, h, radius);
      if (out > 0.5) continue;
      const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1 || Outside(x, y, w, h, radius + 1) > 0.0 ||
                          Outside(x, y, w, h, radius) > 0.0;
      image.at(x, y) = border ? edge : fill;
    }
  }
  return image;
}

Image RoundedMask(int w, int h, int radius) {
  Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (Outside(x, y, w, h, radius) <= 0.5) image.at(x, y) = {255, 255, 255};
    }
  }
  return image;
}

Image SoftAlpha(int w, int h, int radius, int soft) {
  Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int inset = std::min({x, y, w - 1 - x, h - 1 - y});
      double a = soft > 0 ? std::min(1.0, (inset + 0.5) / soft) : 1.0;
      if (Outside(x, y, w, h, radius) > 0.5) a = 0.0;
      const auto v = static_cast<std::uint8_t>(std::lround(a * 255));
      image.at(x, y) = {v, v, v};
    }
  }
  return image;
}

Image Arrow(int size, bool right, Rgb colour) {
  Image image(size, size);
  for (int y = 0; y < size; ++y) {
    const int half = std::min(y, size - 1 - y);
    for (int x = 0; x <= half * 2 && x < size; ++x) image.at(right ? x : size - 1 - x, y) = colour;
  }
  return image;
}

std::vector<std::pair<std::string, std::string>> DefaultSet() {
  const Rgb edge{40, 52, 70};
  std::vector<std::pair<std::string, std::string>> set;
  // Buttons: 13 x 13 frames with a one-pixel middle (6..7) on both axes.
  set.emplace_back("btn_normal.bmp", EncodeBmp24(RoundedFrame(13, 13, 4, {236, 240, 246}, {190, 200, 214}, edge)));
  set.emplace_back("btn_normal_1.bmp", EncodeBmp24(RoundedMask(13, 13, 4)));
  set.emplace_back("btn_pressed.bmp", EncodeBmp24(RoundedFrame(13, 13, 4, {150, 170, 200}, {200, 214, 236}, edge)));
  set.emplace_back("btn_pressed_1.bmp", EncodeBmp24(RoundedMask(13, 13, 4)));
  // A panel with a soft alpha edge, tiled in the middle.
  set.emplace_back("panel.bmp", EncodeBmp24(RoundedFrame(24, 24, 6, {250, 250, 252}, {226, 230, 238}, edge)));
  set.emplace_back("panel_8.bmp", EncodeBmp24(SoftAlpha(24, 24, 6, 4)));
  // The form background: a plain gradient.
  set.emplace_back("background.bmp",
                   EncodeBmp24(RoundedFrame(16, 64, 0, {214, 222, 234}, {170, 184, 206}, {214, 222, 234})));
  set.emplace_back("arrow_left.bmp", EncodeBmp24(Arrow(11, false, {30, 40, 60})));
  set.emplace_back("arrow_left_1.bmp", EncodeBmp24(Arrow(11, false, {255, 255, 255})));
  set.emplace_back("arrow_right.bmp", EncodeBmp24(Arrow(11, true, {30, 40, 60})));
  set.emplace_back("arrow_right_1.bmp", EncodeBmp24(Arrow(11, true, {255, 255, 255})));
  set.emplace_back("level.bmp", EncodeBmp24(RoundedFrame(9, 9, 2, {90, 200, 110}, {40, 150, 70}, {20, 90, 40})));
  set.emplace_back("shade_8.bmp", EncodeBmp8Grey(SoftAlpha(9, 9, 2, 3)));
  return set;
}

}  // namespace skinart
