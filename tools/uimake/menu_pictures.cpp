#include "menu_pictures.h"

#include <algorithm>
#include <cmath>

namespace uimake {

namespace {

struct Rgba {
  double r, g, b, a;
};

// A picture being drawn, in floating point, with coverage-weighted shapes.
class Canvas {
 public:
  Canvas(int w, int h, Rgba fill) : w_(w), h_(h), px_(static_cast<std::size_t>(w) * h, fill) {}

  Rgba& At(int x, int y) { return px_[static_cast<std::size_t>(y) * w_ + x]; }

  // Mixes c into a pixel by coverage a (0-1), alpha included.
  void Blend(int x, int y, Rgba c, double a) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
    a = std::min(a, 1.0) * c.a;
    Rgba& d = At(x, y);
    const double out = a + d.a * (1 - a);
    if (out <= 0) return;
    d.r = (c.r * a + d.r * d.a * (1 - a)) / out;
    d.g = (c.g * a + d.g * d.a * (1 - a)) / out;
    d.b = (c.b * a + d.b * d.a * (1 - a)) / out;
    d.a = out;
  }

  // Fills by a function of the pixel centre returning coverage 0-1.
  template <class F>
  void Shape(Rgba c, F coverage) {
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_; ++x) Blend(x, y, c, coverage(x + 0.5, y + 0.5));
    }
  }

  void Rect(double x0, double y0, double x1, double y1, Rgba c) {
    Shape(c, [=](double x, double y) {
      const double cx = std::clamp(std::min(x - x0, x1 - x) + 0.5, 0.0, 1.0);
      const double cy = std::clamp(std::min(y - y0, y1 - y) + 0.5, 0.0, 1.0);
      return cx * cy;
    });
  }

  void Disc(double cx, double cy, double radius, Rgba c) {
    Shape(c, [=](double x, double y) { return std::clamp(radius - std::hypot(x - cx, y - cy) + 0.5, 0.0, 1.0); });
  }

  // A rounded rectangle.
  void Rounded(double x0, double y0, double x1, double y1, double radius, Rgba c) {
    Shape(c, [=](double x, double y) {
      const double qx = std::max(std::max(x0 + radius - x, x - (x1 - radius)), 0.0);
      const double qy = std::max(std::max(y0 + radius - y, y - (y1 - radius)), 0.0);
      const double outside = std::hypot(qx, qy) - radius;
      const double edge = std::min({x - x0, x1 - x, y - y0, y1 - y});
      return std::clamp(std::min(-outside, edge) + 0.5, 0.0, 1.0);
    });
  }

  // A convex polygon given clockwise on the picture (y down).
  void Polygon(const std::vector<std::pair<double, double>>& p, Rgba c) {
    Shape(c, [&](double x, double y) {
      double inside = 1e9;
      for (std::size_t i = 0; i < p.size(); ++i) {
        const auto [ax, ay] = p[i];
        const auto [bx, by] = p[(i + 1) % p.size()];
        const double len = std::hypot(bx - ax, by - ay);
        if (len <= 0) continue;
        // Signed distance to the edge's line, positive inside.
        inside = std::min(inside, ((bx - ax) * (y - ay) - (by - ay) * (x - ax)) / len);
      }
      return std::clamp(inside + 0.5, 0.0, 1.0);
    });
  }

  imgconv::Picture Picture() const {
    imgconv::Picture p;
    p.width = static_cast<std::uint32_t>(w_);
    p.height = static_cast<std::uint32_t>(h_);
    auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    for (const Rgba& c : px_) p.rgba.insert(p.rgba.end(), {byte(c.r), byte(c.g), byte(c.b), byte(c.a)});
    return p;
  }

  int w() const { return w_; }
  int h() const { return h_; }

 private:
  int w_, h_;
  std::vector<Rgba> px_;
};

Rgba Hex(std::uint32_t rgb, double a = 1.0) {
  return Rgba{((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a};
}

// A small hash for repeatable grain.
double Noise(int x, int y, int seed) {
  std::uint32_t n = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(seed) * 2246822519u;
  n = (n ^ (n >> 13)) * 1274126177u;
  return ((n ^ (n >> 16)) & 0xFFFF) / 65535.0;
}

// Cloth or wood: a vertical gradient with a lit centre and grain.
void Backdrop(Canvas& c, Rgba top, Rgba bottom, double grain, int seed) {
  for (int y = 0; y < c.h(); ++y) {
    const double t = static_cast<double>(y) / (c.h() - 1);
    for (int x = 0; x < c.w(); ++x) {
      const double dx = (x - c.w() / 2.0) / c.w(), dy = (y - c.h() / 2.0) / c.h();
      const double light = 1.0 - 0.6 * (dx * dx + dy * dy);
      const double g = 1.0 + grain * (Noise(x, y, seed) - 0.5);
      Rgba& p = c.At(x, y);
      p = Rgba{(top.r + (bottom.r - top.r) * t) * light * g, (top.g + (bottom.g - top.g) * t) * light * g,
               (top.b + (bottom.b - top.b) * t) * light * g, 1.0};
    }
  }
}

// A ball seen from the front: a disc with a highlight and, for the
// numbered ones, a white spot.
void Ball(Canvas& c, double x, double y, double r, std::uint32_t colour, bool spot, bool stripe = false) {
  c.Disc(x + 1.5, y + 2, r, Hex(0x000000, 0.35));
  if (stripe) {
    c.Disc(x, y, r, Hex(0xF4F1E8));
    c.Shape(Hex(colour), [=](double px, double py) {
      const double in = std::clamp(r - std::hypot(px - x, py - y) + 0.5, 0.0, 1.0);
      return std::abs(py - y) < r * 0.55 ? in : 0.0;
    });
  } else {
    c.Disc(x, y, r, Hex(colour));
  }
  if (spot) c.Disc(x, y, r * 0.45, Hex(0xF4F1E8));
  c.Disc(x - r * 0.35, y - r * 0.4, r * 0.22, Hex(0xFFFFFF, 0.7));
}

// A wooden rail around the picture.
void Rail(Canvas& c, double width) {
  const Rgba wood = Hex(0x5A3418), dark = Hex(0x2E190A), light = Hex(0x8A5A30);
  c.Rect(0, 0, c.w(), width, wood);
  c.Rect(0, c.h() - width, c.w(), c.h(), wood);
  c.Rect(0, 0, width, c.h(), wood);
  c.Rect(c.w() - width, 0, c.w(), c.h(), wood);
  c.Rect(0, 0, c.w(), 1, light);
  c.Rect(0, 0, 1, c.h(), light);
  c.Rect(width - 1, width - 1, c.w() - width + 1, width, dark);
  c.Rect(width - 1, width - 1, width, c.h() - width + 1, dark);
  // Sights along the rail.
  for (int i = 1; i < 8; ++i) {
    c.Disc(c.w() * i / 8.0, width / 2.0, 1.2, Hex(0xE8DDB5));
    c.Disc(c.w() * i / 8.0, c.h() - width / 2.0, 1.2, Hex(0xE8DDB5));
  }
}

}  // namespace

imgconv::Picture MainMenuBackground() {
  Canvas c(220, 176, Hex(0));
  Backdrop(c, Hex(0x1F7A3A), Hex(0x0E4A22), 0.12, 1);
  Rail(c, 7);
  // A rack of balls and a cue across the top, above the buttons.
  const double y = 30;
  c.Polygon({{24, 56}, {196, 44}, {196, 47}, {24, 59}}, Hex(0xC89A5C));
  c.Polygon({{24, 56}, {64, 53}, {64, 56}, {24, 59}}, Hex(0x3A2412));
  Ball(c, 70, y, 9, 0xF2EFE6, false);
  Ball(c, 96, y - 4, 9, 0xE0B020, true);
  Ball(c, 121, y + 2, 9, 0x1A1A1A, true);
  Ball(c, 146, y - 3, 9, 0x1D4FB0, true, true);
  Ball(c, 170, y + 3, 9, 0xB02020, true);
  return c.Picture();
}

imgconv::Picture ScreenBackground() {
  Canvas c(220, 176, Hex(0));
  Backdrop(c, Hex(0x3B2A1E), Hex(0x1A120C), 0.18, 2);
  // Panels of the wall.
  for (int x = 0; x < 220; x += 44) {
    c.Rect(x, 0, x + 1, 176, Hex(0x000000, 0.5));
    c.Rect(x + 1, 0, x + 2, 176, Hex(0xFFFFFF, 0.08));
  }
  c.Rect(0, 150, 220, 176, Hex(0x120C08, 0.6));
  return c.Picture();
}

imgconv::Picture HomeButton() {
  Canvas c(16, 16, Hex(0, 0));
  c.Rounded(0.5, 0.5, 15.5, 15.5, 3, Hex(0x2A5C9A));
  c.Rounded(1.5, 1.5, 14.5, 8, 2, Hex(0xFFFFFF, 0.18));
  // A house: roof and body with a door.
  c.Polygon({{8, 2.5}, {13.5, 7.5}, {2.5, 7.5}}, Hex(0xFFFFFF));
  c.Rect(4, 7.5, 12, 13, Hex(0xFFFFFF));
  c.Rect(7, 9.5, 9, 13, Hex(0x2A5C9A));
  return c.Picture();
}

imgconv::Picture BackButton() {
  Canvas c(16, 16, Hex(0, 0));
  c.Rounded(0.5, 0.5, 15.5, 15.5, 3, Hex(0x9A3A2A));
  c.Rounded(1.5, 1.5, 14.5, 8, 2, Hex(0xFFFFFF, 0.18));
  // An arrow pointing left.
  c.Polygon({{2.5, 8}, {7.5, 3}, {7.5, 13}}, Hex(0xFFFFFF));
  c.Rect(7, 6.5, 13.5, 9.5, Hex(0xFFFFFF));
  return c.Picture();
}

imgconv::Picture Bill() {
  // The whole panel of the picture message: a banknote with an inner
  // field left plain for the message and the Continue answer.
  Canvas c(190, 74, Hex(0, 0));
  c.Rounded(0, 0, 190, 74, 4, Hex(0x4F7A4A));
  c.Rounded(3, 3, 187, 71, 3, Hex(0xB9D2A6));
  c.Rounded(6, 6, 184, 68, 3, Hex(0x7FA67A));
  for (const auto& [x, y] : {std::pair{16.0, 16.0}, {174.0, 16.0}, {16.0, 58.0}, {174.0, 58.0}}) {
    c.Disc(x, y, 7, Hex(0xB9D2A6));
    c.Disc(x, y, 4.5, Hex(0x4F7A4A));
  }
  c.Rounded(30, 10, 160, 64, 6, Hex(0x2F4A2C, 0.55));
  return c.Picture();
}

std::vector<arkpack::Member> MenuPictures() {
  auto tga = [](const char* name, const imgconv::Picture& p) {
    return arkpack::Member{name, imgconv::EncodeTga(p, 32, false)};
  };
  return {tga("MainMenu.tga", MainMenuBackground()), tga("HardTimes.tga", ScreenBackground()),
          tga("Home.tga", HomeButton()), tga("Back.tga", BackButton()), tga("Bill.tga", Bill())};
}

}  // namespace uimake
