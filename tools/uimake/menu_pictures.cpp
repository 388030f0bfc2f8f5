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

namespace {

// The rooms' own colours, by room: walls and the cloth of the table.
constexpr std::uint32_t kRoomWall[6] = {0x6A6A70, 0x7A4A26, 0x3E5A7A, 0x5A2E5E, 0x4A4A2A, 0x2E7A8A};
constexpr std::uint32_t kRoomCloth[6] = {0x2A7A3A, 0x1F6A4A, 0x2A5AA0, 0x8A2A3A, 0x3A6A2A, 0x1F8A7A};

// A pool table seen from the end, in the middle of a picture.
void Table(Canvas& c, double x0, double y0, double x1, double y1, std::uint32_t cloth) {
  c.Rounded(x0, y0, x1, y1, 2, Hex(0x4A2A12));
  c.Rect(x0 + 3, y0 + 3, x1 - 3, y1 - 3, Hex(cloth));
  for (double x : {x0 + 3, (x0 + x1) / 2, x1 - 3}) {
    c.Disc(x, y0 + 3, 1.6, Hex(0x000000));
    c.Disc(x, y1 - 3, 1.6, Hex(0x000000));
  }
}

}  // namespace

imgconv::Picture CareerMap() {
  Canvas c(220, 176, Hex(0));
  Backdrop(c, Hex(0xC8B890), Hex(0x9A8A62), 0.10, 3);
  // Roads between the rooms' spots, the Garage at the bottom right.
  const double spots[6][2] = {{179, 142}, {198, 114}, {195, 82}, {158, 72}, {135, 99}, {133, 142}};
  for (int i = 0; i + 1 < 6; ++i) {
    const double ax = spots[i][0], ay = spots[i][1], bx = spots[i + 1][0], by = spots[i + 1][1];
    const double len = std::hypot(bx - ax, by - ay), nx = -(by - ay) / len * 1.5, ny = (bx - ax) / len * 1.5;
    c.Polygon({{ax + nx, ay + ny}, {bx + nx, by + ny}, {bx - nx, by - ny}, {ax - nx, ay - ny}}, Hex(0x6A5A3A));
  }
  // A coast along the right edge for the last room.
  c.Rect(206, 0, 220, 176, Hex(0x3A7AA8, 0.7));
  return c.Picture();
}

imgconv::Picture RoomIcon(int room) {
  Canvas c(16, 16, Hex(0, 0));
  c.Rounded(0.5, 0.5, 15.5, 15.5, 3, Hex(kRoomWall[room]));
  c.Rect(3, 7, 13, 13, Hex(kRoomCloth[room]));
  c.Polygon({{8, 2}, {14, 7}, {2, 7}}, Hex(0xE8DDB5));
  // One pip per room number, so the rooms tell apart at a glance.
  for (int i = 0; i <= room; ++i) c.Disc(4.5 + (i % 3) * 3.5, 9 + (i / 3) * 2.5, 0.9, Hex(0xFFFFFF));
  return c.Picture();
}

imgconv::Picture LockedRoom() {
  Canvas c(16, 16, Hex(0, 0));
  c.Rounded(0.5, 0.5, 15.5, 15.5, 3, Hex(0x3A3A3A));
  // A padlock: shackle and body with a keyhole.
  c.Disc(8, 6.5, 3.5, Hex(0xC8C8C8));
  c.Disc(8, 6.5, 2.0, Hex(0x3A3A3A));
  c.Rect(4, 7, 12, 14, Hex(0xD8B030));
  c.Disc(8, 10, 1.2, Hex(0x3A2A0A));
  return c.Picture();
}

imgconv::Picture RoomPicture(int room) {
  Canvas c(96, 64, Hex(0));
  Backdrop(c, Hex(kRoomWall[room]), Hex(0x1A140E), 0.12, 10 + room);
  // A lamp over the table and the floor below it.
  c.Rect(0, 44, 96, 64, Hex(0x2A1C10));
  c.Polygon({{38, 10}, {58, 10}, {64, 18}, {32, 18}}, Hex(0xE8D070));
  c.Rect(47, 0, 49, 10, Hex(0x202020));
  Table(c, 18, 30, 78, 54, kRoomCloth[room]);
  Ball(c, 40, 40, 2.5, 0xF2EFE6, false);
  Ball(c, 56, 38, 2.5, 0xB02020, false);
  return c.Picture();
}

imgconv::Picture Glow() {
  Canvas c(24, 24, Hex(0, 0));
  c.Shape(Hex(0xFFE060), [](double x, double y) {
    const double d = std::hypot(x - 12, y - 12);
    return std::clamp(1.0 - std::abs(d - 10) / 2.5, 0.0, 1.0);
  });
  return c.Picture();
}

imgconv::Picture Keypad() {
  Canvas c(220, 176, Hex(0));
  Backdrop(c, Hex(0x2A2E36), Hex(0x14161A), 0.06, 20);
  // One key under each label of the key map screen (design pixels).
  const double keys[][4] = {{1, 37, 39, 64},      {36, 37, 73, 64},     {72, 37, 110, 64},    {108, 37, 146, 64},
                            {140, 37, 178, 64},   {4, 91, 42, 118},     {40, 91, 76, 118},    {70, 89, 102, 121},
                            {108, 91, 133, 124},  {1, 147, 39, 174},    {36, 147, 73, 174},   {72, 147, 110, 174},
                            {108, 147, 146, 174}, {140, 147, 178, 174}, {161, 172, 199, 176}, {180, 147, 218, 174},
                            {162, 2, 200, 29},    {178, 37, 218, 64}};
  for (const auto& k : keys) {
    c.Rounded(k[0] + 1, k[1] + 1, k[2] - 1, k[3] - 1, 4, Hex(0x4A505C));
    c.Rounded(k[0] + 2, k[1] + 2, k[2] - 2, (k[1] + k[3]) / 2, 3, Hex(0xFFFFFF, 0.08));
  }
  // The direction pad.
  c.Disc(182, 110, 22, Hex(0x4A505C));
  c.Disc(182, 110, 8, Hex(0x2A2E36));
  return c.Picture();
}

imgconv::Picture Portrait(std::uint32_t seed) {
  auto pick = [&seed](std::uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 16) % n;
  };
  static constexpr std::uint32_t kBack[6] = {0x3A4A6A, 0x5A3A3A, 0x3A5A4A, 0x5A5A3A, 0x4A3A5A, 0x3A5A5A};
  static constexpr std::uint32_t kSkin[5] = {0xF0D0B0, 0xD8A880, 0xB07850, 0x8A5A3A, 0xE8C098};
  static constexpr std::uint32_t kHair[6] = {0x1A1410, 0x5A3A1A, 0xA07040, 0xD8C070, 0x808080, 0x8A2A1A};
  static constexpr std::uint32_t kShirt[6] = {0x2A5C9A, 0x9A3A2A, 0x3A7A3A, 0x6A6A6A, 0xC89A30, 0x5A2A6A};
  Canvas c(48, 64, Hex(kBack[pick(6)]));
  const Rgba skin = Hex(kSkin[pick(5)]), hair = Hex(kHair[pick(6)]);
  const double headR = 11 + pick(3);
  // Shoulders, neck, hair behind the head, the head and the eyes.
  c.Rounded(4, 46, 44, 70, 10, Hex(kShirt[pick(6)]));
  c.Rect(20, 36, 28, 48, skin);
  c.Disc(24, 24, headR + 2, hair);
  c.Disc(24, 27, headR, skin);
  c.Rect(24 - headR, 12, 24 + headR, 20 - pick(4), hair);
  c.Disc(20, 26, 1.3, Hex(0x1A1A1A));
  c.Disc(28, 26, 1.3, Hex(0x1A1A1A));
  c.Rect(21, 33, 27, 34, Hex(0x7A3A2A));
  return c.Picture();
}

std::vector<arkpack::Member> MenuPictures() {
  auto tga = [](const char* name, const imgconv::Picture& p) {
    return arkpack::Member{name, imgconv::EncodeTga(p, 32, false)};
  };
  std::vector<arkpack::Member> members{tga("MainMenu.tga", MainMenuBackground()),
                                       tga("HardTimes.tga", ScreenBackground()), tga("Home.tga", HomeButton()),
                                       tga("Back.tga", BackButton()), tga("Bill.tga", Bill())};
  static constexpr const char* kLarge[6] = {"SelectGarage.tga",      "SelectHawgPen.tga",   "SelectPitStop.tga",
                                            "SelectDeepPockets.tga", "SelectHardTimes.tga", "SelectBeachHouse.tga"};
  static constexpr const char* kSmall[6] = {"1_small.tga", "2_small.tga", "3_small.tga",
                                            "4_small.tga", "5_small.tga", "6_small.tga"};
  members.push_back(tga("CareerMap.tga", CareerMap()));
  members.push_back(tga("LockedRoom.tga", LockedRoom()));
  members.push_back(tga("Glow.tga", Glow()));
  members.push_back(tga("keys.tga", Keypad()));
  members.push_back(tga("1Player.tga", Portrait(1)));
  members.push_back(tga("2Player.tga", Portrait(2)));
  for (int room = 0; room < 6; ++room) {
    members.push_back(tga(kSmall[room], RoomIcon(room)));
    members.push_back(tga(kLarge[room], RoomPicture(room)));
  }
  return members;
}

namespace {

// The balls' colours by number (9 to 15 are the stripes of 1 to 7).
constexpr std::uint32_t kBallColour[8] = {0xF2EFE6, 0xE0B020, 0x1D4FB0, 0xB02020,
                                          0x5A2A8A, 0xE06A1A, 0x1E7A3A, 0x6A1A1A};

struct Rack {
  const char* file;
  const char* name;
  int keyBall;                         // the ball the game is won on; 0 none
  std::vector<std::vector<int>> rows;  // back row first, the apex last
};

const Rack kRacks[6] = {
    {"6ball.tga", "6-Ball", 6, {{4, 6, 5}, {2, 3}, {1}}},
    {"8ball.tga", "8-Ball", 8, {{6, 13, 7, 14, 15}, {11, 4, 12, 5}, {10, 8, 3}, {9, 2}, {1}}},
    {"9ball.tga", "9-Ball", 9, {{8}, {6, 7}, {4, 9, 5}, {2, 3}, {1}}},
    {"10ball.tga", "10-Ball", 10, {{6, 7, 8, 9}, {4, 10, 5}, {2, 3}, {1}}},
    {"rotation.tga", "Rotation", 0, {{2, 6, 7, 8, 3}, {4, 13, 14, 5}, {11, 15, 12}, {9, 10}, {1}}},
    {"straight.tga", "Straight", 0, {{11, 12, 13, 14, 15}, {7, 8, 9, 10}, {4, 5, 6}, {2, 3}, {1}}},
};

constexpr int kRulesSize = 64;
constexpr int kRulesPixels = 11;  // the name's em size

}  // namespace

imgconv::Picture RulesPicture(int game, const fontmake::TextLine& name) {
  const Rack& rack = kRacks[std::clamp(game, 0, 5)];
  Canvas c(kRulesSize, kRulesSize, Hex(0));
  Backdrop(c, Hex(0x1F7A3A), Hex(0x0E4A22), 0.10, 30 + game);
  Rail(c, 3);
  // The name across the top, centred, light on a dark band.
  const double band = name.height + 4.0;
  c.Rect(3, 3, kRulesSize - 3, band, Hex(0x000000, 0.45));
  const int x0 = (kRulesSize - name.width) / 2, y0 = 3 + (static_cast<int>(band) - 3 - name.height) / 2;
  for (int y = 0; y < name.height; ++y)
    for (int x = 0; x < name.width; ++x)
      c.Blend(x0 + x, y0 + y, Hex(0xFFF2B0), name.coverage[static_cast<std::size_t>(y) * name.width + x] / 255.0);
  // The rack below, apex towards the viewer, as wide as five balls.
  const double r = 4.4, across = 2 * r + 0.3, down = across * 0.866;
  const double rows = static_cast<double>(rack.rows.size());
  const double top = band + (kRulesSize - 3 - band - (2 * r + (rows - 1) * down)) / 2 + r;
  for (std::size_t row = 0; row < rack.rows.size(); ++row) {
    const std::vector<int>& balls = rack.rows[row];
    const double y = top + static_cast<double>(row) * down;
    const double left = kRulesSize / 2.0 - (static_cast<double>(balls.size()) - 1) * across / 2;
    for (std::size_t k = 0; k < balls.size(); ++k) {
      const int n = balls[k];
      const double x = left + static_cast<double>(k) * across;
      if (n == rack.keyBall) c.Disc(x, y, r + 1.6, Hex(0xFFE060));
      Ball(c, x, y, r, kBallColour[n > 8 ? n - 8 : n % 8], n != 0, n > 8);
    }
  }
  return c.Picture();
}

std::vector<arkpack::Member> RulesPictures(const std::string& facePath, std::string& error) {
  std::vector<arkpack::Member> out;
  for (int game = 0; game < 6; ++game) {
    const fontmake::TextLine name = fontmake::RenderLine(facePath, kRulesPixels, kRacks[game].name, error);
    if (name.coverage.empty()) return {};
    if (name.width > kRulesSize - 8) {
      error = std::string("the name is too wide for its picture: ") + kRacks[game].name;
      return {};
    }
    out.push_back(arkpack::Member{kRacks[game].file, imgconv::EncodeTga(RulesPicture(game, name), 32, false)});
  }
  return out;
}

}  // namespace uimake
