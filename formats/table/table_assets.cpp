#include "table_assets.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "play/table_layout.h"

namespace tablemake {

const char* const kRoomNames[kRoomCount] = {"Garage", "HawgPen", "PitStop", "DeepPockets", "HardTimes", "BeachHouse"};

TableSize SmallTable() { return {16.0, 32.0}; }
TableSize LargeTable() { return {1259520 / 65536.0, 0x267000 / 65536.0}; }

namespace {

using imgconv::Picture;

struct P3 {
  double x = 0, y = 0, z = 0;
};
P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 CrossP(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double DotP(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A small deterministic noise source.
std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}
double Noise(int x, int y, int seed) {
  return (Hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(seed)) &
          0xFFFF) /
         65535.0;
}

Picture Blank(std::uint32_t w, std::uint32_t h) {
  Picture p;
  p.width = w;
  p.height = h;
  p.rgba.assign(static_cast<std::size_t>(w) * h * 4, 0);
  return p;
}

void Put(Picture& p, int x, int y, double r, double g, double b) {
  const std::size_t at = (static_cast<std::size_t>(y) * p.width + static_cast<std::size_t>(x)) * 4;
  p.rgba[at] = static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
  p.rgba[at + 1] = static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
  p.rgba[at + 2] = static_cast<std::uint8_t>(std::clamp(b, 0.0, 255.0));
  p.rgba[at + 3] = 255;
}
void PutValue(Picture& p, int x, int y, int v) { Put(p, x, y, v, v, v); }

// ---- the table model -------------------------------------------------------------

constexpr double kRailTop = -0.4;   // y of the rail tops (y grows downwards; the cloth is at 1.0)
constexpr double kMarkerY = -0.42;  // the first vertex of the file: the sight markers' height
constexpr double kCloth = 1.0;
constexpr double kCushionTop = 1.5;   // cushion top width beyond the cushion line
constexpr double kRailOuter = 5.0;    // outer edge of the wooden rail
constexpr double kApronBottom = 4.0;  // how far the apron hangs below the rail
constexpr double kCornerGap = 1.2;    // cushion ends short of the corner pockets
constexpr double kSideGap = 1.3;      // and of the side pockets

// Texel regions of "Table.tga" (128 x 128): cloth on the left half, wood at
// the top right, the dark pocket leather at the bottom right.
struct UvBox {
  double u0, v0, u1, v1;
};
constexpr UvBox kClothUv{2, 2, 61, 125};
constexpr UvBox kWoodUv{66, 2, 125, 61};
constexpr UvBox kDarkUv{66, 66, 125, 125};

struct Face {
  std::array<P3, 4> p{};  // drawn order
  std::array<std::array<double, 2>, 4> uv{};
  std::array<int, 3> rgb{};
  int corners = 4;
};

// Orders a face so that it faces along `normal` (the side it is seen from):
// the drawing culls outlines that do not run anticlockwise on the screen.
Face Oriented(Face f, P3 normal) {
  const P3 c = CrossP(f.p[1] - f.p[0], f.p[2] - f.p[0]);
  if (DotP(c, normal) < 0) {
    if (f.corners == 4) {
      std::swap(f.p[1], f.p[3]);
      std::swap(f.uv[1], f.uv[3]);
    } else {
      std::swap(f.p[1], f.p[2]);
      std::swap(f.uv[1], f.uv[2]);
    }
  }
  return f;
}

Face Quad(P3 a, P3 b, P3 c, P3 d, const UvBox& box, P3 normal) {
  Face f;
  f.p = {a, b, c, d};
  f.uv = {{{box.u0, box.v0}, {box.u1, box.v0}, {box.u1, box.v1}, {box.u0, box.v1}}};
  return Oriented(f, normal);
}
Face Tri(P3 a, P3 b, P3 c, const std::array<std::array<double, 2>, 3>& uv, P3 normal) {
  Face f;
  f.corners = 3;
  f.p = {a, b, c, c};
  f.uv = {uv[0], uv[1], uv[2], uv[2]};
  return Oriented(f, normal);
}
Face FlatQuad(P3 a, P3 b, P3 c, P3 d, std::array<int, 3> rgb, P3 normal) {
  Face f = Quad(a, b, c, d, kWoodUv, normal);
  f.rgb = rgb;
  return f;
}
// A triangle whose corners coincide: drawn as nothing, it fills a slot.
Face Degenerate(P3 a) { return Tri(a, a, a, {{{66, 2}, {66, 2}, {66, 2}}}, P3{0, -1, 0}); }

// File coordinates: the reader moves x 3.0 and z 6.0 toward 0 for every
// object after the first, so they are written that much further out.
std::int32_t Fix(double v) { return static_cast<std::int32_t>(std::lround(v * 65536.0)); }
std::int32_t FileX(double x) { return x == 0 ? 0 : Fix(x + (x > 0 ? 3.0 : -3.0)); }
std::int32_t FileZ(double z) { return z == 0 ? 0 : Fix(z + (z > 0 ? 6.0 : -6.0)); }

std::uint32_t TexelByte(double t) { return static_cast<std::uint32_t>(std::clamp(std::lround(t), 0L, 255L)); }

// Appends a face to an object: its own vertices, the corners in the file's
// order (the reader exchanges the second and last corners), and the texture
// coordinates with the table reader's v in the first byte and u in the
// second.
void AddFace(ksomake::Object& object, const Face& f, bool squeeze) {
  const std::uint32_t base = static_cast<std::uint32_t>(object.vertices.size() / 3);
  for (int i = 0; i < f.corners; ++i) {
    const P3& p = f.p[static_cast<std::size_t>(i)];
    object.vertices.push_back(squeeze ? FileX(p.x) : Fix(p.x));
    object.vertices.push_back(Fix(p.y));
    object.vertices.push_back(squeeze ? FileZ(p.z) : Fix(p.z));
  }
  // Drawn (d0, d1, d2, d3) is stored (d0, d3, d1, d2); drawn (d0, d1, d2) as (d0, d2, d1).
  const std::array<int, 4> order4 = {0, 3, 1, 2};
  const std::array<int, 3> order3 = {0, 2, 1};
  ksomake::Face face;
  for (int k = 0; k < f.corners; ++k) {
    const int d = f.corners == 4 ? order4[static_cast<std::size_t>(k)] : order3[static_cast<std::size_t>(k)];
    face.corners.push_back(base + static_cast<std::uint32_t>(d));
  }
  if (object.kind == 4) {
    for (int c : f.rgb) face.attributes.push_back(static_cast<std::uint32_t>(c));
  } else {
    for (int k = 0; k < f.corners; ++k) {
      const int d = f.corners == 4 ? order4[static_cast<std::size_t>(k)] : order3[static_cast<std::size_t>(k)];
      face.attributes.push_back(TexelByte(f.uv[static_cast<std::size_t>(d)][1]));
      face.attributes.push_back(TexelByte(f.uv[static_cast<std::size_t>(d)][0]));
    }
  }
  object.faces.push_back(std::move(face));
}

// One rail section in its own frame: `out` points from the table centre
// across the rail, `along` runs along it; the cushion line lies `line` from
// the centre. Points are (s along, d beyond the cushion line, y).
struct RailFrame {
  double ox, oz, ax, az, line;
  P3 At(double s, double d, double y) const { return {ox * (line + d) + ax * s, y, oz * (line + d) + az * s}; }
  P3 Out() const { return {ox, 0, oz}; }
};

struct RailFaces {
  std::vector<Face> flat, triangles, quads;
};

RailFaces BuildRail(const RailFrame& f, double c0, double c1, double w0, double w1, double o0, double o1, int triangles,
                    int quads) {
  RailFaces r;
  const P3 up{0, -1, 0};
  const P3 in{-f.ox, 0, -f.oz};
  const P3 upIn{-f.ox, -1.2, -f.oz};
  // The apron: six flat quads along the outer face.
  for (int i = 0; i < 6; ++i) {
    const double s0 = o0 + (o1 - o0) * i / 6.0, s1 = o0 + (o1 - o0) * (i + 1) / 6.0;
    const int shade = 80 + (i % 2) * 6;
    r.flat.push_back(FlatQuad(f.At(s0, kRailOuter, kRailTop), f.At(s1, kRailOuter, kRailTop),
                              f.At(s1, kRailOuter, kApronBottom), f.At(s0, kRailOuter, kApronBottom),
                              {shade + 40, shade, shade / 2}, f.Out()));
  }
  // The rail top: the cushion top in cloth (two segments), then the wood with
  // mitred ends (four segments), two triangles a segment.
  auto strip = [&](int segments, double a0, double a1, double b0, double b1, double dIn, double dOut,
                   const UvBox& box) {
    for (int i = 0; i < segments; ++i) {
      const double t0 = i / static_cast<double>(segments), t1 = (i + 1) / static_cast<double>(segments);
      const P3 p0 = f.At(a0 + (a1 - a0) * t0, dIn, kRailTop), p1 = f.At(a0 + (a1 - a0) * t1, dIn, kRailTop);
      const P3 q0 = f.At(b0 + (b1 - b0) * t0, dOut, kRailTop), q1 = f.At(b0 + (b1 - b0) * t1, dOut, kRailTop);
      const double u0 = box.u0 + (box.u1 - box.u0) * t0, u1 = box.u0 + (box.u1 - box.u0) * t1;
      r.triangles.push_back(Tri(p0, p1, q1, {{{u0, box.v0}, {u1, box.v0}, {u1, box.v1}}}, up));
      r.triangles.push_back(Tri(p0, q1, q0, {{{u0, box.v0}, {u1, box.v1}, {u0, box.v1}}}, up));
    }
  };
  strip(2, c0, c1, c0, c1, 0.0, kCushionTop, UvBox{4, 4, 60, 20});
  strip(4, w0, w1, o0, o1, kCushionTop, kRailOuter, kWoodUv);
  while (static_cast<int>(r.triangles.size()) < triangles) r.triangles.push_back(Degenerate(f.At(c0, 1.0, kRailTop)));
  // The cushion face, leaning in towards the table.
  for (int i = 0; i < quads; ++i) {
    const double s0 = c0 + (c1 - c0) * i / quads, s1 = c0 + (c1 - c0) * (i + 1) / quads;
    r.quads.push_back(Quad(f.At(s0, 0.0, kRailTop), f.At(s1, 0.0, kRailTop), f.At(s1, -0.7, kCloth),
                           f.At(s0, -0.7, kCloth), UvBox{6, 24, 58, 40}, upIn));
  }
  (void)in;
  return r;
}

}  // namespace

ksomake::Model TableModel(const TableSize& size) {
  using ks::play::kRailLayout;
  const double hx = size.hx, hz = size.hz;
  ksomake::Model model;
  model.header = "Table model";
  model.objects.resize(ks::play::kTableGroupsInFile);
  for (int g = 0; g < ks::play::kTableGroupsInFile; ++g)
    model.objects[static_cast<std::size_t>(g)].kind = ks::play::kTableGroupKind[static_cast<std::size_t>(g)];
  const P3 up{0, -1, 0};

  // Object 0, the bed outline the reader fits to the table; never drawn. Its
  // first vertex gives the sight markers their height.
  AddFace(model.objects[0],
          Quad({-hx, kMarkerY, -hz}, {hx, kMarkerY, -hz}, {hx, kMarkerY, hz}, {-hx, kMarkerY, hz}, kClothUv, up),
          false);

  // Group 1, the pockets: the dark floor of each opening, flat on the cloth
  // inside the dark disc the pocket map lays there. It is drawn over the
  // cloth, so nothing of it may stand up from the cloth: walls going down
  // would show on the cloth in front of the pocket from a low eye. (Its copy
  // drawn before the cloth, group 16, lies below it.)
  const double m = 0x17000 / 65536.0, side = 2.875;
  const std::array<std::array<double, 2>, 6> pockets = {
      {{-hx - m, -hz - m}, {hx + m, -hz - m}, {-hx - m, hz + m}, {hx + m, hz + m}, {-hx - side, 0}, {hx + side, 0}}};
  for (const auto& pk : pockets) {
    const double px = pk[0], pz = pk[1], r = 1.1;
    AddFace(model.objects[1],
            Quad({px - r, kCloth, pz - r}, {px + r, kCloth, pz - r}, {px + r, kCloth, pz + r}, {px - r, kCloth, pz + r},
                 kDarkUv, up),
            true);
  }

  // Group 2, the cloth: a grid out to under the cushion tops.
  {
    const double x0 = -hx - kCushionTop, x1 = hx + kCushionTop, z0 = -hz - kCushionTop, z1 = hz + kCushionTop;
    const int nx = 4, nz = 8;
    for (int i = 0; i < nx; ++i) {
      for (int k = 0; k < nz; ++k) {
        const double ax = x0 + (x1 - x0) * i / nx, bx = x0 + (x1 - x0) * (i + 1) / nx;
        const double az = z0 + (z1 - z0) * k / nz, bz = z0 + (z1 - z0) * (k + 1) / nz;
        const UvBox box{kClothUv.u0 + 59.0 * i / nx, kClothUv.v0 + 123.0 * k / nz, kClothUv.u0 + 59.0 * (i + 1) / nx,
                        kClothUv.v0 + 123.0 * (k + 1) / nz};
        AddFace(model.objects[2], Quad({ax, kCloth, az}, {bx, kCloth, az}, {bx, kCloth, bz}, {ax, kCloth, bz}, box, up),
                true);
      }
    }
  }

  // Groups 8-12, marks on the cloth: the head, centre and foot spots, the
  // head string and the long string's ends.
  auto spot = [&](int group, double x, double z, double rx, double rz, std::array<int, 3> rgb) {
    const double y = kCloth - 0.01;
    AddFace(model.objects[static_cast<std::size_t>(group)],
            FlatQuad({x - rx, y, z - rz}, {x + rx, y, z - rz}, {x + rx, y, z + rz}, {x - rx, y, z + rz}, rgb, up),
            true);
  };
  const std::array<int, 3> mark{190, 205, 170};
  spot(8, 0, -hz / 2, 0.3, 0.3, mark);
  spot(9, 0, hz / 2, 0.3, 0.3, mark);
  spot(10, 0, 0, 0.2, 0.2, mark);
  spot(11, 0, -hz / 2, hx, 0.06, {40, 120, 60});
  spot(12, 0, hz / 2, 0.06, 0.06, mark);

  // The rail parts, filled into their groups' face slots by the layout.
  struct RailSpec {
    RailFrame frame;
    double c0, c1, w0, w1, o0, o1;
  };
  const double ce = hx - kCornerGap, we = hx + kCushionTop, oe = hx + kRailOuter;
  const double cs = hz - kCornerGap, ws = hz + kCushionTop, os = hz + kRailOuter;
  const std::array<RailSpec, 6> rails = {{
      {{0, -1, 1, 0, hz}, -ce, ce, -we, we, -oe, oe},       // 0: the end at -z
      {{1, 0, 0, 1, hx}, -cs, -kSideGap, -ws, 0, -os, 0},   // 1: +x, the -z half
      {{1, 0, 0, 1, hx}, kSideGap, cs, 0, ws, 0, os},       // 2: +x, the +z half
      {{0, 1, 1, 0, hz}, -ce, ce, -we, we, -oe, oe},        // 3: the end at +z
      {{-1, 0, 0, 1, hx}, kSideGap, cs, 0, ws, 0, os},      // 4: -x, the +z half
      {{-1, 0, 0, 1, hx}, -cs, -kSideGap, -ws, 0, -os, 0},  // 5: -x, the -z half
  }};
  std::array<std::vector<Face>, ks::play::kTableGroupsInFile> slots;
  std::array<std::vector<bool>, ks::play::kTableGroupsInFile> filled;
  for (int g = 0; g < ks::play::kTableGroupsInFile; ++g) {
    slots[static_cast<std::size_t>(g)].resize(
        static_cast<std::size_t>(ks::play::kTableGroupMinFaces[static_cast<std::size_t>(g)]));
    filled[static_cast<std::size_t>(g)].assign(slots[static_cast<std::size_t>(g)].size(), false);
  }
  for (int p = 0; p < ks::play::kRailParts; ++p) {
    const auto& layout = kRailLayout[static_cast<std::size_t>(p)];
    const RailSpec& s = rails[static_cast<std::size_t>(p)];
    const RailFaces faces = BuildRail(s.frame, s.c0, s.c1, s.w0, s.w1, s.o0, s.o1, ks::play::RailFaceCount(layout[1]),
                                      ks::play::RailFaceCount(layout[2]));
    const std::array<const std::vector<Face>*, 3> lists = {&faces.flat, &faces.triangles, &faces.quads};
    for (int k = 0; k < ks::play::kRailSubMeshes; ++k) {
      std::size_t next = 0;
      const auto& sub = layout[static_cast<std::size_t>(k)];
      for (int r = 0; r < sub.runCount; ++r) {
        const auto& run = sub.runs[static_cast<std::size_t>(r)];
        for (int i = run.first; i <= run.last; ++i) {
          slots[run.group][static_cast<std::size_t>(i)] = (*lists[static_cast<std::size_t>(k)])[next++];
          filled[run.group][static_cast<std::size_t>(i)] = true;
        }
      }
    }
  }
  for (int g = 0; g < ks::play::kTableGroupsInFile; ++g) {
    for (std::size_t i = 0; i < slots[static_cast<std::size_t>(g)].size(); ++i) {
      if (filled[static_cast<std::size_t>(g)][i])
        AddFace(model.objects[static_cast<std::size_t>(g)], slots[static_cast<std::size_t>(g)][i], true);
    }
  }
  return model;
}

ksomake::Model StickModel() {
  // Nine rings of eight quads along -z from the tip at the origin: ferrule,
  // tip, shaft, the joint and the butt, each its own mesh.
  ksomake::Model model;
  model.header = "Cue stick";
  const std::array<double, 10> z = {0, -0.25, -1.2, -12, -24, -30, -31, -40, -48, -50};
  const std::array<double, 10> radius = {0.22, 0.24, 0.25, 0.28, 0.31, 0.33, 0.34, 0.38, 0.42, 0.44};
  const std::array<double, 9> band = {40, 8, 8, 8, 8, 24, 40, 56, 56};  // texel rows of Stick.tga
  for (int m = 0; m < 9; ++m) {
    ksomake::Object object;
    object.kind = 5;
    for (int ring = 0; ring < 2; ++ring) {
      const double zz = z[static_cast<std::size_t>(m + ring)], r = radius[static_cast<std::size_t>(m + ring)];
      for (int i = 0; i < 8; ++i) {
        const double a = i * 3.14159265358979 / 4;
        object.vertices.push_back(Fix(r * std::cos(a)));
        object.vertices.push_back(Fix(r * std::sin(a)));
        object.vertices.push_back(Fix(zz));
      }
    }
    const std::uint32_t v = static_cast<std::uint32_t>(band[static_cast<std::size_t>(m)]);
    for (std::uint32_t i = 0; i < 8; ++i) {
      const std::uint32_t j = (i + 1) % 8;
      ksomake::Face f;
      // Seen from outside; the model reader exchanges the second and last corners.
      f.corners = {i, 8 + i, j, 8 + j};
      const std::uint32_t u0 = i * 8, u1 = i * 8 + 7;
      f.attributes = {u0, v, u0, v + 7, u1, v, u1, v + 7};
      object.faces.push_back(f);
    }
    model.objects.push_back(object);
  }
  return model;
}

// ---- textures --------------------------------------------------------------------

namespace {

struct Rgb {
  double r, g, b;
};

// Each room's own colours: cloth, wood, walls, floor, ceiling.
struct RoomLook {
  Rgb cloth, wood, wall, floor, ceiling;
  int wallPattern;   // 0 bricks, 1 planks, 2 plaster panels
  int floorPattern;  // 0 concrete, 1 boards, 2 tiles
};
const RoomLook kLooks[kRoomCount] = {
    {{30, 120, 60}, {120, 70, 35}, {150, 90, 70}, {120, 120, 115}, {90, 90, 95}, 0, 0},
    {{30, 110, 90}, {100, 60, 30}, {140, 110, 70}, {110, 80, 50}, {80, 60, 40}, 1, 1},
    {{35, 125, 50}, {140, 80, 40}, {170, 170, 160}, {90, 90, 100}, {120, 120, 120}, 2, 2},
    {{40, 90, 140}, {90, 50, 30}, {110, 40, 45}, {130, 95, 60}, {70, 50, 40}, 2, 1},
    {{30, 120, 60}, {80, 45, 25}, {90, 95, 100}, {70, 70, 75}, {60, 60, 65}, 0, 0},
    {{30, 130, 110}, {170, 120, 70}, {210, 200, 170}, {220, 200, 150}, {230, 230, 220}, 1, 2},
};

Rgb Scale(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }

}  // namespace

Picture TableTexture(int room) {
  const RoomLook& look = kLooks[room];
  Picture p = Blank(128, 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      Rgb c;
      if (x < 64) {
        c = Scale(look.cloth, 0.92 + 0.16 * Noise(x, y, 1));
      } else if (y < 64) {
        const double grain = 0.8 + 0.2 * std::sin(y * 0.7 + std::sin(x * 0.15) * 2.5) + 0.06 * Noise(x, y, 2);
        c = Scale(look.wood, grain);
      } else {
        c = Scale(Rgb{40, 25, 15}, 0.7 + 0.3 * Noise(x, y, 3));
      }
      Put(p, x, y, c.r, c.g, c.b);
    }
  }
  return p;
}

Picture StickTexture() {
  Picture p = Blank(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      Rgb c;
      if (y < 16)
        c = {225, 200, 150};  // shaft
      else if (y < 32)
        c = {40, 40, 45};  // joint band
      else if (y < 48)
        c = {70, 110, 190};  // tip
      else
        c = {95, 45, 25};  // butt
      c = Scale(c, 0.85 + 0.15 * std::sin(x * 0.8));
      Put(p, x, y, c.r, c.g, c.b);
    }
  }
  return p;
}

namespace {

// A 3 x 5 bitmap of each digit, row by row, three bits a row.
constexpr std::array<std::array<int, 5>, 10> kDigits = {{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 1, 2, 2},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
}};

bool DigitPixel(int digit, double x, double y) {
  // x, y in digit cells (3 x 5).
  const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
  if (cx < 0 || cx > 2 || cy < 0 || cy > 4) return false;
  return ((kDigits[static_cast<std::size_t>(digit)][static_cast<std::size_t>(cy)] >> (2 - cx)) & 1) != 0;
}

}  // namespace

Picture NumbersTexture() {
  // Shade-table rows: 31 the ball colour, 15 white, 0 black. Texel (0, 0)
  // is the ball colour: the stripe band samples it.
  Picture p = Blank(128, 128);
  for (int kind = 0; kind < 16; ++kind) {
    const int cx0 = (kind % 4) * 32, cy0 = (kind / 4) * 32;
    const int background = kind < 9 ? 31 : 15;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const double dx = x - 15.5, dy = y - 15.5;
        int v = background;
        if (kind != 0 && dx * dx + dy * dy <= 11.0 * 11.0) {
          v = 15;
          const int digits = kind >= 10 ? 2 : 1;
          const double cell = 3.2;  // texels a bitmap cell
          const double width = digits * 3 * cell + (digits - 1) * cell;
          const double lx = (x + 0.5 - (16 - width / 2)) / cell, ly = (y + 0.5 - (16 - 2.5 * cell)) / cell;
          bool on = false;
          if (digits == 1)
            on = DigitPixel(kind, lx, ly);
          else
            on = DigitPixel(1, lx, ly) || DigitPixel(kind - 10, lx - 4, ly);
          if (on) v = 0;
        }
        if (kind == 0 && dx * dx + dy * dy <= 2.5 * 2.5) v = 8;  // the cue ball's spot
        PutValue(p, cx0 + x, cy0 + y, v);
      }
    }
  }
  return p;
}

Picture BallLightMap() {
  // Lambert light from the upper left as 0-223, a highlight lobe as 224-255.
  Picture p = Blank(32, 32);
  const double lx = -0.45, ly = -0.55, lz = -0.70;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double nx = (x - 15.5) / 16.0, ny = (y - 15.5) / 16.0;
      const double r2 = std::min(nx * nx + ny * ny, 1.0);
      const double nz = -std::sqrt(1.0 - r2);
      const double d = std::max(0.0, nx * lx + ny * ly + nz * lz);
      // Reflection of the light about the normal against the eye (0, 0, -1).
      const double rz = 2 * d * nz - lz;
      const double shine = std::pow(std::max(0.0, -rz), 40.0);
      int v = static_cast<int>(std::lround(223.0 * (0.22 + 0.78 * d)));
      if (shine > 0.12) v = 224 + std::min(31, static_cast<int>((shine - 0.12) / 0.88 * 40.0));
      PutValue(p, x, y, std::clamp(v, 0, 255));
    }
  }
  return p;
}

Picture BallShadow() {
  // Shade map: 255 leaves the cloth, lower values darken it.
  Picture p = Blank(32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double r = std::sqrt((x - 15.5) * (x - 15.5) + (y - 15.5) * (y - 15.5)) / 15.5;
      const double k = std::clamp((r - 0.45) / 0.55, 0.0, 1.0);
      PutValue(p, x, y, static_cast<int>(110 + 145 * k));
    }
  }
  return p;
}

Picture PocketMap() {
  Picture p = Blank(32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double r = std::sqrt((x - 15.5) * (x - 15.5) + (y - 15.5) * (y - 15.5)) / 15.5;
      const double k = std::clamp((r - 0.62) / 0.12, 0.0, 1.0);
      PutValue(p, x, y, static_cast<int>(12 + 243 * k));
    }
  }
  return p;
}

Picture WallTexture(int room, int wall) {
  const RoomLook& look = kLooks[room];
  Picture p = Blank(128, 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      // The wall's u runs up it (x here), v along it (y here).
      double k = 0.9 + 0.1 * Noise(x, y, 10 + wall);
      if (look.wallPattern == 0) {  // bricks
        const int row = x / 8;
        const int off = (row % 2) * 8;
        if (x % 8 == 0 || (y + off) % 16 == 0)
          k = 0.55;
        else
          k *= 0.9 + 0.2 * Noise(row, (y + off) / 16, 20 + wall);
      } else if (look.wallPattern == 1) {  // planks
        if (y % 16 == 0) k = 0.6;
        k *= 0.85 + 0.15 * std::sin(x * 0.3 + (y / 16) * 1.7);
      } else {  // plaster panels with a dado rail
        if (x > 40 && x < 44) k = 0.6;
        if (x < 40 && y % 32 == 0) k = 0.7;
      }
      const Rgb c = Scale(look.wall, k);
      Put(p, x, y, c.r, c.g, c.b);
    }
  }
  return p;
}

Picture FloorTexture(int room) {
  const RoomLook& look = kLooks[room];
  Picture p = Blank(128, 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      double k = 0.88 + 0.12 * Noise(x, y, 30);
      if (look.floorPattern == 1) {
        if (x % 16 == 0 || (y + (x / 16) * 37) % 64 == 0) k = 0.55;
        k *= 0.9 + 0.1 * std::sin(y * 0.5 + x);
      } else if (look.floorPattern == 2) {
        if (x % 32 == 0 || y % 32 == 0)
          k = 0.6;
        else if (((x / 32) + (y / 32)) % 2 == 0)
          k *= 0.8;
      }
      const Rgb c = Scale(look.floor, k);
      Put(p, x, y, c.r, c.g, c.b);
    }
  }
  return p;
}

Picture CeilingTexture(int room) {
  const RoomLook& look = kLooks[room];
  Picture p = Blank(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      double k = 0.9 + 0.1 * Noise(x, y, 40);
      if (x % 32 == 0 || y % 32 == 0) k = 0.65;
      const Rgb c = Scale(look.ceiling, k);
      Put(p, x, y, c.r, c.g, c.b);
    }
  }
  return p;
}

Picture BallIcons(int side) {
  // A 4 x 4 grid of plain shaded discs, ball k in cell k; outside the discs
  // the pixels stay 0, the colour key.
  static const std::array<std::array<int, 3>, 9> kColours = {{{255, 255, 255},
                                                              {255, 255, 0},
                                                              {0, 0, 255},
                                                              {255, 0, 0},
                                                              {189, 0, 189},
                                                              {255, 132, 0},
                                                              {0, 132, 132},
                                                              {173, 82, 82},
                                                              {23, 23, 23}}};
  Picture p = Blank(static_cast<std::uint32_t>(side), static_cast<std::uint32_t>(side));
  const int cell = side / 4;
  for (int k = 0; k < 16; ++k) {
    const auto& col = kColours[static_cast<std::size_t>(k < 9 ? k : k - 8)];
    for (int y = 0; y < cell; ++y) {
      for (int x = 0; x < cell; ++x) {
        const double c = (cell - 1) / 2.0, dx = (x - c) / (cell / 2.0), dy = (y - c) / (cell / 2.0);
        if (dx * dx + dy * dy > 1.0) continue;
        const double light = 0.55 + 0.45 * std::max(0.0, -dx * 0.5 - dy * 0.6 + 0.6);
        const bool white = k > 8 && std::abs(dy) > 0.45;
        const double r = white ? 255 : col[0], g = white ? 255 : col[1], b = white ? 255 : col[2];
        Put(p, (k % 4) * cell + x, (k / 4) * cell + y, std::max(8.0, r * light), std::max(8.0, g * light),
            std::max(8.0, b * light));
      }
    }
  }
  return p;
}

namespace {

arkpack::Member Tga(const std::string& name, const Picture& picture) {
  return {name, imgconv::EncodeTga(picture, 32, false)};
}

}  // namespace

std::vector<arkpack::Member> RoomMembers(int room) {
  std::vector<arkpack::Member> members;
  for (int w = 0; w < 4; ++w) members.push_back(Tga("Wall" + std::to_string(w) + ".tga", WallTexture(room, w)));
  members.push_back(Tga("Floor.tga", FloorTexture(room)));
  members.push_back(Tga("Ceiling.tga", CeilingTexture(room)));
  members.push_back(Tga("Table.tga", TableTexture(room)));
  members.push_back({"Table.kso", ksomake::EncodeModel(TableModel(room < 3 ? SmallTable() : LargeTable()))});
  members.push_back(Tga("Stick.tga", StickTexture()));
  members.push_back({"Stick.kso", ksomake::EncodeModel(StickModel())});
  return members;
}

std::vector<arkpack::Member> UiMembers() {
  return {Tga("pocket.tga", PocketMap()),          Tga("Numbers.tga", NumbersTexture()),
          Tga("BallLightMap.tga", BallLightMap()), Tga("BallShadow.tga", BallShadow()),
          Tga("Balls44.tga", BallIcons(44)),       Tga("Balls52.tga", BallIcons(52)),
          Tga("Balls68.tga", BallIcons(68))};
}

}  // namespace tablemake
