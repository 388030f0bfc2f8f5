#include "skin_art.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/bmp_writer.h"

namespace skinart {

namespace {

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

std::string EncodeBmp24(const Image& image) {
  std::vector<std::uint32_t> pixels;
  pixels.reserve(image.pixels.size());
  for (const Rgb& p : image.pixels) pixels.push_back((std::uint32_t{p.r} << 16) | (std::uint32_t{p.g} << 8) | p.b);
  return ks::runtime::EncodeBmp24(image.width, image.height, pixels.data(), ks::runtime::kBmp72Dpi);
}

std::string EncodeBmp8Grey(const Image& image) {
  std::vector<std::uint8_t> levels;
  levels.reserve(image.pixels.size());
  for (const Rgb& p : image.pixels) levels.push_back(p.r);
  return ks::runtime::EncodeBmp8Grey(image.width, image.height, levels.data(), ks::runtime::kBmp72Dpi);
}

Image Gradient(int w, int h, Rgb top, Rgb bottom) {
  Image image(w, h);
  for (int y = 0; y < h; ++y) {
    const double t = h > 1 ? static_cast<double>(y) / (h - 1) : 0.0;
    const Rgb fill{Mix(top.r, bottom.r, t), Mix(top.g, bottom.g, t), Mix(top.b, bottom.b, t)};
    for (int x = 0; x < w; ++x) image.at(x, y) = fill;
  }
  return image;
}

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

Image Transposed(const Image& image) {
  Image out(image.height, image.width);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) out.at(y, x) = image.at(x, y);
  }
  return out;
}

Image CheckBox(int size, bool checked, Rgb edge) {
  Image image = RoundedFrame(size, size, 3, {252, 252, 254}, {214, 220, 230}, edge);
  if (!checked) return image;
  // A tick: down to the lower third, then up to the top right corner.
  const Rgb ink{30, 110, 60};
  const int low = size * 2 / 3;
  for (int x = 3; x < size - 3; ++x) {
    const int y = x <= size / 3 + 1 ? low - (size / 3 + 1 - x) : low - (x - size / 3 - 1) * 2 + 1;
    for (int t = 0; t < 2; ++t) {
      if (y + t > 1 && y + t < size - 2) image.at(x, y + t) = ink;
    }
  }
  return image;
}

namespace {

// `part` copied into `image` one pixel from the left, centred in its height,
// where `inside` answers true.
template <typename Inside>
void PutAtLeft(Image& image, const Image& part, Inside inside) {
  const int top = (image.height - part.height) / 2;
  for (int y = 0; y < part.height && top + y < image.height; ++y)
    for (int x = 0; x < part.width && 1 + x < image.width; ++x)
      if (inside(x, y)) image.at(1 + x, top + y) = part.at(x, y);
}

}  // namespace

Image LabelledCheckBox(int w, int h, int box, bool checked, Rgb edge) {
  Image image(w, h, {255, 255, 255});
  const Image mask = RoundedMask(box, box, 3);
  PutAtLeft(image, CheckBox(box, checked, edge), [&](int x, int y) { return mask.at(x, y).r != 0; });
  return image;
}

Image LabelledCheckBoxAlpha(int w, int h, int box) {
  Image image(w, h, {8, 8, 8});
  const Image mask = RoundedMask(box, box, 3);
  PutAtLeft(image, mask, [&](int x, int y) { return mask.at(x, y).r != 0; });
  return image;
}

Image Pictogram(int size, bool card) {
  Image image(size, size, {255, 255, 255});
  const Rgb body = card ? Rgb{50, 90, 160} : Rgb{60, 66, 76};
  const Rgb pin{200, 170, 60};
  if (card) {
    // A card with a cut corner and contacts along its top.
    for (int y = 1; y < size - 1; ++y) {
      for (int x = 3; x < size - 3; ++x) {
        if (x - 3 + y - 1 >= 3) image.at(x, y) = body;
      }
    }
    for (int x = 5; x < size - 4; x += 2) image.at(x, 3) = pin;
  } else {
    // A chip with pins on both sides.
    for (int y = 3; y < size - 3; ++y) {
      for (int x = 4; x < size - 4; ++x) image.at(x, y) = body;
      if (y % 2 == 0) image.at(2, y) = image.at(3, y) = image.at(size - 3, y) = image.at(size - 4, y) = pin;
    }
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
  // The form background: a plain gradient, without an edge (stretched over a
  // whole form, a one-pixel edge would become a wide band at its sides).
  set.emplace_back("background.bmp", EncodeBmp24(Gradient(16, 64, {214, 222, 234}, {190, 200, 218})));
  set.emplace_back("arrow_left.bmp", EncodeBmp24(Arrow(11, false, {30, 40, 60})));
  set.emplace_back("arrow_left_1.bmp", EncodeBmp24(Arrow(11, false, {255, 255, 255})));
  set.emplace_back("arrow_right.bmp", EncodeBmp24(Arrow(11, true, {30, 40, 60})));
  set.emplace_back("arrow_right_1.bmp", EncodeBmp24(Arrow(11, true, {255, 255, 255})));
  set.emplace_back("arrow_left_down.bmp", EncodeBmp24(Arrow(11, false, {60, 110, 190})));
  set.emplace_back("arrow_left_down_1.bmp", EncodeBmp24(Arrow(11, false, {255, 255, 255})));
  set.emplace_back("arrow_right_down.bmp", EncodeBmp24(Arrow(11, true, {60, 110, 190})));
  set.emplace_back("arrow_right_down_1.bmp", EncodeBmp24(Arrow(11, true, {255, 255, 255})));
  set.emplace_back("btn_focus.bmp",
                   EncodeBmp24(RoundedFrame(13, 13, 4, {246, 248, 252}, {200, 214, 236}, {60, 110, 190})));
  set.emplace_back("btn_focus_1.bmp", EncodeBmp24(RoundedMask(13, 13, 4)));
  set.emplace_back("btn_disabled.bmp",
                   EncodeBmp24(RoundedFrame(13, 13, 4, {226, 228, 232}, {210, 212, 218}, {150, 154, 162})));
  set.emplace_back("btn_disabled_1.bmp", EncodeBmp24(RoundedMask(13, 13, 4)));
  // The caption bar: a dark gradient 22 high, stretched along.
  set.emplace_back("caption.bmp", EncodeBmp24(RoundedFrame(13, 22, 0, {60, 90, 140}, {30, 50, 90}, {30, 50, 90})));
  set.emplace_back("bar.bmp", EncodeBmp24(RoundedFrame(9, 9, 2, {170, 176, 186}, {220, 224, 230}, {110, 118, 130})));
  set.emplace_back("bar_1.bmp", EncodeBmp24(RoundedMask(9, 9, 2)));
  set.emplace_back("thumb.bmp", EncodeBmp24(RoundedFrame(9, 13, 3, {250, 250, 252}, {190, 198, 210}, edge)));
  set.emplace_back("thumb_1.bmp", EncodeBmp24(RoundedMask(9, 13, 3)));
  set.emplace_back("check_off.bmp", EncodeBmp24(CheckBox(15, false, edge)));
  set.emplace_back("check_off_1.bmp", EncodeBmp24(RoundedMask(15, 15, 3)));
  set.emplace_back("check_on.bmp", EncodeBmp24(CheckBox(15, true, edge)));
  set.emplace_back("check_on_1.bmp", EncodeBmp24(RoundedMask(15, 15, 3)));
  // A check box beside its caption: the 16-pixel box in the top left
  // corner of a 20 x 22 picture; the rest shows the background.
  set.emplace_back("check_box_off.bmp", EncodeBmp24(LabelledCheckBox(20, 22, 16, false, edge)));
  set.emplace_back("check_box_on.bmp", EncodeBmp24(LabelledCheckBox(20, 22, 16, true, edge)));
  set.emplace_back("check_box_focus.bmp", EncodeBmp24(LabelledCheckBox(20, 22, 16, false, {60, 110, 190})));
  set.emplace_back("check_box_focus_on.bmp", EncodeBmp24(LabelledCheckBox(20, 22, 16, true, {60, 110, 190})));
  for (const char* name :
       {"check_box_off_8.bmp", "check_box_on_8.bmp", "check_box_focus_8.bmp", "check_box_focus_on_8.bmp"})
    set.emplace_back(name, EncodeBmp8Grey(LabelledCheckBoxAlpha(20, 22, 16)));
  // The list: a white field with a thin edge, rows with a one-pixel middle.
  set.emplace_back("list.bmp", EncodeBmp24(RoundedFrame(9, 9, 0, {255, 255, 255}, {255, 255, 255}, {150, 160, 176})));
  set.emplace_back("list_focus.bmp",
                   EncodeBmp24(RoundedFrame(9, 9, 0, {255, 255, 255}, {255, 255, 255}, {60, 110, 190})));
  set.emplace_back("row_selected.bmp",
                   EncodeBmp24(RoundedFrame(7, 7, 2, {80, 130, 210}, {50, 96, 176}, {40, 80, 150})));
  set.emplace_back("row_selected_1.bmp", EncodeBmp24(RoundedMask(7, 7, 2)));
  set.emplace_back("row_hover.bmp",
                   EncodeBmp24(RoundedFrame(7, 7, 2, {226, 234, 248}, {210, 222, 242}, {180, 196, 226})));
  set.emplace_back("row_hover_1.bmp", EncodeBmp24(RoundedMask(7, 7, 2)));
  set.emplace_back("edit.bmp", EncodeBmp24(RoundedFrame(5, 5, 0, {255, 255, 255}, {255, 255, 255}, {60, 110, 190})));
  set.emplace_back("selection.bmp", EncodeBmp24(Image(1, 1, {60, 110, 190})));
  set.emplace_back("icon_memory.bmp", EncodeBmp24(Pictogram(16, false)));
  set.emplace_back("icon_card.bmp", EncodeBmp24(Pictogram(16, true)));
  // Scroll bars: small arrow buttons, a tiled track.
  const Image up = Transposed(Arrow(9, false, {30, 40, 60}));
  set.emplace_back("scroll_up.bmp", EncodeBmp24(up));
  set.emplace_back("scroll_up_1.bmp", EncodeBmp24(Transposed(Arrow(9, false, {255, 255, 255}))));
  set.emplace_back("scroll_down.bmp", EncodeBmp24(Transposed(Arrow(9, true, {30, 40, 60}))));
  set.emplace_back("scroll_down_1.bmp", EncodeBmp24(Transposed(Arrow(9, true, {255, 255, 255}))));
  set.emplace_back("scroll_left.bmp", EncodeBmp24(Arrow(9, false, {30, 40, 60})));
  set.emplace_back("scroll_left_1.bmp", EncodeBmp24(Arrow(9, false, {255, 255, 255})));
  set.emplace_back("scroll_right.bmp", EncodeBmp24(Arrow(9, true, {30, 40, 60})));
  set.emplace_back("scroll_right_1.bmp", EncodeBmp24(Arrow(9, true, {255, 255, 255})));
  set.emplace_back("scroll_space.bmp",
                   EncodeBmp24(RoundedFrame(9, 9, 0, {226, 230, 236}, {226, 230, 236}, {200, 206, 214})));
  set.emplace_back("level.bmp", EncodeBmp24(RoundedFrame(9, 9, 2, {90, 200, 110}, {40, 150, 70}, {20, 90, 40})));
  set.emplace_back("shade_8.bmp", EncodeBmp8Grey(SoftAlpha(9, 9, 2, 3)));
  return set;
}

}  // namespace skinart
