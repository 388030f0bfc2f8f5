#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "play/ball_sprite.h"
#include "play/control.h"
#include "play/hud.h"
#include "play/table_layout.h"
#include "play/track_lines.h"
#include "play_fixture.h"

namespace ks::play::test {
namespace {

// ---- ball shading ------------------------------------------------------------------

TEST(BallShading, ShadeTableEntries) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  struct Case {
    int kind, row, column;
    std::uint16_t pixel;
  };
  const Case cases[] = {
      {0, 15, 223, 0xF79E},                                             // grey row 15 at full diffuse: (30, 60, 30)
      {0, 0, 229, 0x73AE},  {0, 0, 234, 0xEF5D},  {0, 0, 235, 0xFFFF},  // the highlight is white from entry 235 on
      {0, 7, 100, 0x3186},  {3, 31, 224, 0xF800},                       // red ball: the highlight starts at the colour
      {3, 31, 0, 0x0000},   {5, 31, 230, 0xFE51},                       // orange
  };
  for (const Case& c : cases) {
    const ShadeTable* t = rig.scene->sprites[static_cast<std::size_t>(c.kind)].Shades();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ((*t)[static_cast<std::size_t>(c.row * 256 + c.column)], c.pixel)
        << "kind " << c.kind << " row " << c.row << " column " << c.column;
  }
  // Striped balls share their solid twin's table; the cue ball is white
  // whatever colour it is given.
  for (int k = 9; k < 16; ++k)
    EXPECT_EQ(rig.scene->sprites[static_cast<std::size_t>(k)].Shades(),
              rig.scene->sprites[static_cast<std::size_t>(k - 8)].Shades());
  BallSprite cue;
  cue.InitBallRaster(rig.display.get(), nullptr, nullptr, nullptr);
  cue.BuildBallShadeTables(0, 0, 0, 10, 255, 0, 0);
  EXPECT_EQ((cue.colour), (std::array<std::uint8_t, 3>{31, 63, 31}));
  EXPECT_EQ((cue.colour2), (std::array<std::uint8_t, 3>{31, 63, 31}));
  EXPECT_EQ(PackShade(31, 63, 31, 12), 0xFFF);
}

// Draws one ball at (x, y) with radius r (pixels) on a grey screen and
// returns the pixels that changed.
std::vector<std::pair<int, int>> DrawLoneBall(Rig& rig, double x, double y, double r) {
  ssDisplayS16& d = *rig.display;
  const int w = d.m_Width, h = d.m_Height;
  std::fill(d.m_BackBuffer, d.m_BackBuffer + w * h, 0x8410);
  BallSprite& s = rig.scene->sprites[3];
  s.SetScreen(static_cast<std::int32_t>(x * 65536), static_cast<std::int32_t>(y * 65536),
              static_cast<std::int32_t>(r * 65536), 0);
  // The marking pass needs a camera: put the ball's centre in front of it.
  Fix16 view[16];
  MatrixIdentity(view);
  view[14] = 0x100000;
  d.SetTransform(1, view);
  MatrixIdentity(s.ballMatrix);
  s.Draw();
  std::vector<std::pair<int, int>> changed;
  for (int yy = 0; yy < h; ++yy)
    for (int xx = 0; xx < w; ++xx)
      if (d.m_BackBuffer[yy * w + xx] != 0x8410) changed.push_back({xx, yy});
  return changed;
}

// The sphere walk's pixels over a sweep of radii and sub-pixel positions,
// on and across the screen's edges, fixed by a hash: a faster walk must
// leave every one of them as it was.
TEST(BallShading, SweepKeepsItsPixels) {
  for (const auto& [depth, expected] : {std::pair{16, 6274672128827561473ull}, {12, 12999503385660549438ull}}) {
    Rig rig(240, 320, depth, 0);
    ASSERT_TRUE(rig.display);
    std::uint64_t h = 1469598103934665603ull;
    for (double r = 1.5; r < 90; r *= 1.13) {
      for (const auto& [x, y] : {std::pair{120.3, 160.7}, {3.9, 200.25}, {236.6, 10.5}, {100.0, 318.2}}) {
        DrawLoneBall(rig, x, y, r);
        for (std::uint16_t p : rig.Pixels()) h = (h ^ p) * 1099511628211ull;
      }
    }
    EXPECT_EQ(h, expected) << "depth " << depth;
  }
}

TEST(BallShading, DrawsOnlyItsDiscAndOnlyOnScreen) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  EXPECT_TRUE(DrawLoneBall(rig, 50, 50, 1).empty());     // too small
  EXPECT_FALSE(DrawLoneBall(rig, 2, 2, 2).empty());      // x + r = 4: drawn
  EXPECT_TRUE(DrawLoneBall(rig, 1.4, 50, 2.4).empty());  // x + r below 4
  struct Case {
    double x, y, r;
  };
  // Inside, and across each edge and corner of the screen.
  const Case cases[] = {{120, 160, 22}, {0, 160, 30},   {239, 160, 30}, {120, 0, 30},
                        {120, 319, 30}, {238, 318, 60}, {5, 5, 40}};
  for (const Case& c : cases) {
    const auto changed = DrawLoneBall(rig, c.x, c.y, c.r);
    ASSERT_FALSE(changed.empty()) << c.x << "," << c.y;
    for (const auto& [px, py] : changed) {
      const double dx = px + 0.5 - c.x, dy = py + 0.5 - c.y;
      EXPECT_LE(dx * dx + dy * dy, (c.r + 1.5) * (c.r + 1.5)) << px << "," << py;
    }
  }
  // Inside the disc every pixel is a shade-table entry of its row and light.
  const auto changed = DrawLoneBall(rig, 120, 160, 22);
  const ShadeTable& t = *rig.scene->sprites[3].Shades();
  const std::uint16_t centre = rig.display->m_BackBuffer[160 * 240 + 120];
  EXPECT_NE(std::find(t.begin(), t.end(), centre), t.end());
}

TEST(BallShading, BackgroundRoundTripAndMargins) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  ssDisplayS16& d = *rig.display;
  for (int i = 0; i < 240 * 320; ++i) d.m_BackBuffer[i] = static_cast<std::uint16_t>(i * 2654435761u >> 7);
  const std::vector<std::uint16_t> before = rig.Pixels();
  BallSprite& s = rig.scene->sprites[5];
  s.SetScreen(100 << 16, 50 << 16, 20 << 16, 0);
  std::int32_t r[4];
  s.BackgroundRect(r);
  // The ball and its shadow: 1.375 radii round it, 2.4 below it.
  EXPECT_LE(r[0], 100 - 28);
  EXPECT_GE(r[2], 100 + 28);
  EXPECT_LE(r[1], 50 - 28);
  EXPECT_GE(r[3], 50 + 48);
  d.ScratchReset();
  ASSERT_TRUE(s.SaveBackground());
  std::fill(d.m_BackBuffer, d.m_BackBuffer + 240 * 320, 0);
  s.RestoreBackground();
  for (int y = r[1]; y < r[3]; ++y)
    for (int x = r[0]; x < r[2]; ++x)
      ASSERT_EQ(d.m_BackBuffer[y * 240 + x], before[static_cast<std::size_t>(y * 240 + x)]);
  // A ball past the corner clamps its rectangle to the screen.
  s.SetScreen(-30 << 16, 330 << 16, 20 << 16, 0);
  s.BackgroundRect(r);
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[3], 320);
}

TEST(BallShading, IconSheetBySize) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  struct Case {
    int vwidth;
    const wchar_t* sheet;
    bool rescaled;
  };
  const Case cases[] = {{208, L"Balls44.tga", false}, {220, L"Balls44.tga", false}, {240, L"Balls52.tga", false},
                        {320, L"Balls68.tga", false}, {200, L"Balls44.tga", true},  {480, L"Balls68.tga", true}};
  for (const Case& c : cases) {
    rig.display->m_VWidth = c.vwidth;
    BallIcons icons;
    LoadBallTextures(icons, rig.display.get(), L"res.ark");
    EXPECT_TRUE(icons.loaded) << c.vwidth;
    EXPECT_EQ(std::wstring(icons.sheet), c.sheet) << c.vwidth;
    EXPECT_EQ(icons.rescaled, c.rescaled);
    EXPECT_EQ(icons.sprite.RectCount(), 16);
    FreeBallTextures(icons);
  }
  // The 68-pixel sheet has 17-pixel cells: on a 240-line screen the icons
  // stand at 17, anchored at 13.
  rig.display->m_VWidth = 320;
  rig.display->m_VHeight = 240;
  BallIcons icons;
  LoadBallTextures(icons, rig.display.get(), L"res.ark");
  EXPECT_EQ(icons.position, 17);
  EXPECT_EQ(icons.anchor, 13);
  // No sheet: nothing loaded, nothing to draw.
  BallIcons none;
  LoadBallTextures(none, rig.display.get(), L"nothing.ark");
  EXPECT_FALSE(none.loaded);
  EXPECT_EQ(none.sprite.RectCount(), 0);
}

// ---- camera ------------------------------------------------------------------------

TEST(ViewCamera, PitchZoomAndMoveStayInTheirLimits) {
  Table table(TableSetup{});
  View v;
  v.pool = &table.pool();
  v.cueTilt = 0;
  EXPECT_EQ(v.eye.z, 0x1B0000);
  EXPECT_EQ(v.pitch, -2048);
  v.Rotate(10000, 0, 0);
  EXPECT_EQ(v.pitch, View::kPitchMax);
  v.Rotate(-200000, 0, 0);
  EXPECT_EQ(v.pitch, View::kPitchMin);
  // Straight down: x stays x, z goes up the screen, y goes into it.
  v.yaw = 0;
  v.Recompute();
  EXPECT_EQ(v.matrix[0], 0x10000);
  EXPECT_EQ(v.matrix[6], 0x10000);
  EXPECT_EQ(v.matrix[9], -0x10000);
  v.SetDistance(0x170000);
  v.Zoom(-0x10000);
  EXPECT_EQ(v.eye.z, 0x170000);  // at the limit: no closer
  v.SetDistance(0x170001);
  v.Zoom(-0x10000);
  EXPECT_EQ(v.eye.z, 0x160001);  // one step may pass it
  v.SetDistance(0xB40000);
  v.Zoom(0x10000);
  EXPECT_EQ(v.eye.z, 0xB40000);
  v.Move({0x7FFF0000, 0, -0x7FFF0000});
  EXPECT_EQ(v.target.x, table.pool().table.hx);
  EXPECT_EQ(v.target.z, -table.pool().table.hz);
  // Turning a quarter round maps x onto -z.
  v.yaw = 0x10000;
  const FixVec3 t = v.TurnByYaw({0x10000, 0, 0});
  EXPECT_EQ(t.x, 0);
  EXPECT_EQ(t.z, -0x10000);
}

// ---- table model -------------------------------------------------------------------

TEST(TableModelFile, BothSizesLoadWithTheirRailParts) {
  for (int room : {0, 3}) {
    Rig rig(240, 320, 16, 0, room);
    ASSERT_TRUE(rig.display);
    EXPECT_TRUE(rig.report.table);
    EXPECT_EQ(rig.report.roomSurfaces, 6);
    EXPECT_TRUE(rig.report.stick);
    const TableModel& m = rig.scene->table;
    const int triangles[6] = {14, 13, 12, 14, 12, 13}, quads[6] = {8, 5, 5, 8, 5, 5};
    for (int p = 0; p < 6; ++p) {
      EXPECT_EQ(m.RailMesh(p, 0).faceCount, 6u);
      EXPECT_EQ(m.RailMesh(p, 1).faceCount, static_cast<std::uint32_t>(triangles[p]));
      EXPECT_EQ(m.RailMesh(p, 2).faceCount, static_cast<std::uint32_t>(quads[p]));
    }
    EXPECT_EQ(m.GroupAt(17).faceCount, 6u);
    // Welding leaves far fewer vertices than corners, and none within 1/256.
    const auto& shared = m.SharedVertices();
    ASSERT_GT(shared.size(), 100u);
    for (std::size_t i = 0; i < shared.size(); i += 7)
      for (std::size_t j = i + 1; j < shared.size(); ++j)
        ASSERT_FALSE(std::abs(shared[i].x - shared[j].x) < 256 && std::abs(shared[i].y - shared[j].y) < 256 &&
                     std::abs(shared[i].z - shared[j].z) < 256);
  }
}

// A table file with two extra faces in group 8: corners `apart` raw units
// from each other on every axis.
std::vector<std::uint8_t> TableWithPair(std::int32_t apart) {
  ksomake::Model model = tablemake::TableModel(tablemake::SmallTable());
  ksomake::Object& o = model.objects[8];
  o.vertices.clear();
  o.faces.clear();
  for (int q = 0; q < 2; ++q) {
    const std::int32_t d = q * apart;
    const std::int32_t base[4][3] = {{0x80000, 0x10000, 0x80000},
                                     {0x90000, 0x10000, 0x80000},
                                     {0x90000, 0x10000, 0x90000},
                                     {0x80000, 0x10000, 0x90000}};
    for (const auto& p : base)
      for (int c = 0; c < 3; ++c) o.vertices.push_back(p[c] + d);
    const std::uint32_t b = static_cast<std::uint32_t>(4 * q);
    o.faces.push_back({{b, b + 1, b + 2, b + 3}, {200, 200, 200}});
  }
  return ksomake::EncodeModel(model);
}

TEST(TableModelFile, WeldsCornersWithinOne256th) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  TableModel& m = rig.scene->table;
  ASSERT_EQ(m.LoadFromBytes(TableWithPair(0)), 1);
  const std::size_t base = m.SharedVertices().size();
  ASSERT_EQ(m.LoadFromBytes(TableWithPair(255)), 1);
  EXPECT_EQ(m.SharedVertices().size(), base);
  ASSERT_EQ(m.LoadFromBytes(TableWithPair(256)), 1);
  EXPECT_EQ(m.SharedVertices().size(), base + 4);
}

TEST(TableModelFile, RefusesBadFilesAndKeepsWhatItHad) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  TableModel& m = rig.scene->table;
  const std::vector<std::uint8_t> good = ksomake::EncodeModel(tablemake::TableModel(tablemake::SmallTable()));
  ASSERT_EQ(m.LoadFromBytes(good), 1);
  const std::size_t kept = m.SharedVertices().size();
  // Every truncation.
  for (std::size_t n = 0; n < good.size(); n += (n < 400 ? 1 : 97)) {
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    ASSERT_EQ(m.LoadFromBytes(cut), 0) << n;
  }
  // Wrong object count, an index past the object's vertices, a rail group
  // short of faces, a rail group of the wrong kind, a bed not in quads.
  std::vector<std::uint8_t> bad = good;
  bad[256] = 15;
  EXPECT_EQ(m.LoadFromBytes(bad), 0);
  ksomake::Model model = tablemake::TableModel(tablemake::SmallTable());
  ksomake::Model pastEnd = model;
  pastEnd.objects[3].faces[5].corners[1] = static_cast<std::uint32_t>(pastEnd.objects[3].vertices.size() / 3);
  EXPECT_EQ(m.LoadFromBytes(ksomake::EncodeModel(pastEnd)), 0);
  ksomake::Model shortRail = model;
  shortRail.objects[13].faces.resize(20);
  EXPECT_EQ(m.LoadFromBytes(ksomake::EncodeModel(shortRail)), 0);
  ksomake::Model wrongKind = model;
  wrongKind.objects[5].kind = 5;
  for (auto& f : wrongKind.objects[5].faces) f.attributes = {0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(m.LoadFromBytes(ksomake::EncodeModel(wrongKind)), 0);
  ksomake::Model bed = model;
  bed.objects[0].vertices.resize(9);
  bed.objects[0].faces.clear();
  EXPECT_EQ(m.LoadFromBytes(ksomake::EncodeModel(bed)), 0);
  EXPECT_EQ(m.SharedVertices().size(), kept);
}

TEST(TableModelFile, FreeingDropsTheVertexBuffers) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  // Tags are compared, never followed: the addresses stay usable as keys.
  const void* table = rig.scene->table.SharedVertices().data();
  const void* wall = rig.scene->room.surfaces[0].vertices.data();
  rig.scene->DrawFrame();
  ssVertexBufferRecord* found = nullptr;
  rig.display->FindVertexBuffer(table, &found);
  EXPECT_NE(found, nullptr);
  rig.scene->Unload();
  for (const void* tag : {table, wall}) {
    found = nullptr;
    rig.display->FindVertexBuffer(tag, &found);
    EXPECT_EQ(found, nullptr);
  }
}

// ---- bad room archives -------------------------------------------------------------

TEST(RoomArchive, MissingOrBadMembersFallBackAndStillDraw) {
  struct Case {
    const char* what;
    Overrides overrides;
    int surfaces;
    bool table, stick;
  };
  const std::vector<std::uint8_t> none;
  const std::vector<std::uint8_t> junk = {1, 2, 3, 4, 5};
  const Case cases[] = {
      {"no walls", {{"Wall0.tga", none}, {"Wall2.tga", none}}, 4, true, true},
      {"no floor or ceiling", {{"Floor.tga", none}, {"Ceiling.tga", none}}, 4, true, true},
      {"a broken texture", {{"Wall1.tga", junk}}, 5, true, true},
      {"no table", {{"Table.kso", none}}, 6, false, true},
      {"a broken table", {{"Table.kso", junk}}, 6, false, true},
      {"no table texture", {{"Table.tga", none}}, 6, true, true},
      {"no stick", {{"Stick.kso", none}}, 6, true, false},
  };
  for (const Case& c : cases) {
    Rig rig(240, 320, 16, 0, 1, GameKind::kNineBall, c.overrides);
    ASSERT_TRUE(rig.display) << c.what;
    EXPECT_EQ(rig.report.roomSurfaces, c.surfaces) << c.what;
    EXPECT_EQ(rig.report.table, c.table) << c.what;
    EXPECT_EQ(rig.report.stick, c.stick) << c.what;
    rig.scene->scene.host.stickShown = true;
    rig.scene->DrawFrame();
    rig.scene->DrawFrame();
  }
}

// ---- frames ------------------------------------------------------------------------

struct Config {
  int width, height, depth, rotate;
};

// Runs a break frame by frame on two scenes over one table: one drawing
// incremental frames, one drawing every frame in full; they must agree.
void ExpectIncrementalMatchesFull(const Config& c, int maxFrames, CameraPreset camera) {
  Rig a(c.width, c.height, c.depth, c.rotate);
  ASSERT_TRUE(a.display);
  auto fullDisplay = OpenHeadless(c.width, c.height, c.depth, c.rotate);
  ASSERT_TRUE(fullDisplay);
  fullDisplay->SetArchive(SceneArchive());
  PlayScene full(fullDisplay.get(), &a.table->pool());
  full.LoadRoom(0);
  // The reference draws the room and the table afresh every frame.
  full.scene.keepBackground = false;
  a.scene->SetCamera(camera);
  full.SetCamera(camera);
  Shot shot;
  shot.angle = 0;
  shot.power = 400;
  ASSERT_TRUE(a.table->Aim(shot));
  a.table->Strike();
  int frames = 0, incremental = 0;
  bool running = true;
  while (running && frames < maxFrames) {
    a.clock.now += 31;
    running = a.table->PlayFrame();
    a.scene->DrawFrame();
    full.scene.ForceFull();
    full.DrawFrame();
    if (!a.scene->scene.LastFrameFull()) ++incremental;
    const std::size_t n = static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height);
    const std::uint16_t* pa = a.display->m_BackBuffer;
    const std::uint16_t* pb = fullDisplay->m_BackBuffer;
    std::size_t differ = 0;
    for (std::size_t i = 0; i < n; ++i) differ += pa[i] != pb[i] ? 1 : 0;
    ASSERT_EQ(differ, 0u) << "frame " << frames << " at " << c.width << "x" << c.height << " depth " << c.depth
                          << " turn " << c.rotate;
    ++frames;
  }
  EXPECT_GT(incremental, frames / 2);
}

// The pixels of a few frames, fixed by a hash: a faster way of drawing the
// frame must leave every one of them as it was.
std::uint64_t PixelHash(const Rig& rig) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::uint16_t p : rig.Pixels()) h = (h ^ p) * 1099511628211ull;
  return h;
}

TEST(FrameDrawing, FramesKeepTheirPixels) {
  struct Case {
    int width, height, rotate;
    CameraPreset camera;
    std::uint64_t still, moving, again;
  } cases[] = {
      {240, 320, 0, CameraPreset::kTableEnd, 0x01a878015a05d964ull, 0x70ebc6216b6721bdull, 0x70ebc6216b6721bdull},
      {480, 640, 1, CameraPreset::kOverhead, 0x42b496a54f8e039aull, 0xec916e7cedc11237ull, 0xec916e7cedc11237ull},
      {240, 320, 2, CameraPreset::kSide, 0xcb94613b79ddfc33ull, 0x6605b3425c445a2full, 0x6605b3425c445a2full},
  };
  for (const Case& c : cases) {
    Rig rig(c.width, c.height, 16, c.rotate);
    ASSERT_TRUE(rig.display);
    rig.scene->SetCamera(c.camera);
    rig.scene->scene.host.stickShown = true;
    rig.scene->DrawFrame();
    const std::uint64_t still = PixelHash(rig);
    // Ten frames of a break, drawn as they come (incremental).
    rig.scene->scene.host.stickShown = false;
    Shot shot;
    shot.power = 400;
    ASSERT_TRUE(rig.table->Aim(shot));
    rig.table->Strike();
    for (int i = 0; i < 10; ++i) {
      rig.clock.now += 31;
      rig.table->PlayFrame();
      rig.scene->DrawFrame();
    }
    const std::uint64_t moving = PixelHash(rig);
    // The same state in full twice: the camera did not move.
    rig.scene->scene.ForceFull();
    rig.scene->DrawFrame();
    rig.scene->scene.ForceFull();
    rig.scene->DrawFrame();
    const std::uint64_t again = PixelHash(rig);
    // The camera stood still: the room and the table were copied back.
    EXPECT_GE(rig.scene->scene.BackgroundCopies(), 1);
    EXPECT_EQ(still, c.still) << c.width << "x" << c.height;
    EXPECT_EQ(moving, c.moving) << c.width << "x" << c.height;
    EXPECT_EQ(again, c.again) << c.width << "x" << c.height;
    // The stick of the first frame leaves no trace in the break's frames.
    EXPECT_EQ(moving, again) << c.width << "x" << c.height;
  }
}

// In the aiming view the stick's grip lies on the screen below the cue
// ball; a pen stroke starts on it and nowhere else, whatever the last frame
// left as the world transform, at every turn of the screen.
TEST(FrameDrawing, APenStrokeStartsOnTheGripOfTheDrawnStick) {
  for (int rotate : {0, 1, 3}) {
    Rig rig(240, 320, 16, rotate);
    ASSERT_TRUE(rig.display);
    const bool odd = (rotate & 1) != 0;
    PlayHost host;
    host.clock = [&rig] { return rig.clock.now; };
    host.scene = &rig.scene->scene.host;
    host.screenWidth = odd ? 320 : 240;
    host.screenHeight = odd ? 240 : 320;
    host.gripOutline = [&rig](std::int32_t* points, int capacity) {
      return rig.scene->scene.GripOutline(points, capacity);
    };
    KeyMap keys;
    Control control(&rig.table->pool(), &rig.scene->view, &keys, host);
    control.Start();
    for (int i = 0; i < 400 && control.Active() != control.Aim(); ++i) {
      rig.clock.now += 31;
      control.HandleEvent({kMsgTimer, 1, 0, rig.clock.now});
    }
    ASSERT_EQ(control.Active(), control.Aim());
    rig.scene->DrawFrame();
    Fix16 identity[16];
    MatrixIdentity(identity);
    rig.display->SetTransform(0, identity);
    std::int32_t points[32];
    const int n = rig.scene->scene.GripOutline(points, 16);
    ASSERT_GE(n, 4) << rotate;
    std::int32_t left = points[0], right = points[0], top = points[1], bottom = points[1];
    for (int k = 1; k < n; ++k) {
      left = std::min(left, points[2 * k]);
      right = std::max(right, points[2 * k]);
      top = std::min(top, points[2 * k + 1]);
      bottom = std::max(bottom, points[2 * k + 1]);
    }
    // Below the middle of the screen, where the stick comes towards the eye.
    EXPECT_GT(bottom, host.screenHeight / 2) << rotate;
    EXPECT_GE(left, 0);
    EXPECT_LE(right, host.screenWidth);
    const int x = (left + right) / 2, y = (top + bottom) / 2;
    control.HandleEvent({kMsgPenDown, 1, PenParam(x, y), rig.clock.now});
    EXPECT_TRUE(control.Aim()->strokeDrag) << rotate << " at " << x << "," << y;
    control.HandleEvent({kMsgPenUp, 0, PenParam(x, y), rig.clock.now});
    control.HandleEvent({kMsgPenDown, 1, PenParam(left - 12, y), rig.clock.now});
    EXPECT_FALSE(control.Aim()->strokeDrag) << rotate;
    control.HandleEvent({kMsgPenUp, 0, PenParam(left - 12, y), rig.clock.now});
  }
}

TEST(FrameDrawing, IncrementalFramesMatchFullFramesOverAWholeBreak) {
  ExpectIncrementalMatchesFull({240, 320, 16, 0}, 100000, CameraPreset::kTableEnd);
}

TEST(FrameDrawing, IncrementalMatchesFullAtEveryDepthTurnAndSize) {
  for (int depth : {16, 12})
    for (int rotate = 0; rotate < 4; ++rotate)
      for (const auto& [w, h] : {std::pair{240, 320}, std::pair{480, 640}})
        ExpectIncrementalMatchesFull({w, h, depth, rotate}, 25, CameraPreset::kOverhead);
}

// The scene at every turn shows the same picture turned: the cue ball and
// the cloth are where the turn puts them.
TEST(FrameDrawing, EveryTurnDepthAndSizeDrawsTheSameScene) {
  for (int depth : {16, 12}) {
    for (const auto& [w, h] : {std::pair{240, 320}, std::pair{480, 640}}) {
      for (int rotate = 0; rotate < 4; ++rotate) {
        Rig rig(w, h, depth, rotate);
        ASSERT_TRUE(rig.display);
        rig.scene->SetCamera(CameraPreset::kOverhead);
        rig.scene->DrawFrame();
        const BallSprite& cue = rig.scene->sprites[0];
        // The logical screen is the buffer turned; the cue ball's logical
        // position must be the same at every turn.
        const int lw = (rotate & 1) ? h : w, lh = (rotate & 1) ? w : h;
        int lx = cue.centreX, ly = cue.centreY;
        switch (rotate) {
          case 1:
            lx = h - 1 - cue.centreY, ly = cue.centreX;
            break;
          case 2:
            lx = w - 1 - cue.centreX, ly = h - 1 - cue.centreY;
            break;
          case 3:
            lx = cue.centreY, ly = w - 1 - cue.centreX;
            break;
          default:
            break;
        }
        (void)lw;
        (void)lh;
        // Overhead, the cue ball lies on the long axis of the table, which
        // runs down the logical screen's middle.
        EXPECT_NEAR(lx, ((rotate & 1) ? h : w) / 2, 3) << depth << " " << w << " " << rotate;
        // The cue ball is bright (its spot in the middle is not).
        int g = 0, r = 0;
        for (int dy = -3; dy <= 3; ++dy)
          for (int dx = -3; dx <= 3; ++dx) {
            const std::uint16_t p = rig.display->m_BackBuffer[(cue.centreY + dy) * w + cue.centreX + dx];
            g = std::max(g, depth == 12 ? (p >> 4) & 0xF : (p >> 5) & 0x3F);
            r = std::max(r, depth == 12 ? p >> 8 : p >> 11);
          }
        EXPECT_GT(g * 2, depth == 12 ? 15 : 63) << depth << " " << w << " " << rotate;
        EXPECT_GT(r * 2, depth == 12 ? 15 : 31);
        // Most of the picture is cloth.
        int green = 0;
        for (int i = 0; i < w * h; ++i) {
          const std::uint16_t q = rig.display->m_BackBuffer[i];
          const int qr = depth == 12 ? (q >> 8) * 2 : q >> 11,
                    qg = depth == 12 ? ((q >> 4) & 0xF) * 4 : (q >> 5) & 0x3F,
                    qb = depth == 12 ? (q & 0xF) * 2 : q & 0x1F;
          if (qg > qr * 2 + 4 && qg > qb * 2) ++green;
        }
        EXPECT_GT(green, w * h / 3) << depth << " " << w << " " << rotate;
        (void)ly;
      }
    }
  }
}

// The stick pulled back by a stroke and moved with the cue ball: frames
// that draw only the stick, and incremental frames, show what a full frame
// shows; the stick's box holds every pixel it draws.
TEST(FrameDrawing, TheStickMovesAsAFullFrameDrawsIt) {
  for (int rotate : {0, 1}) {
    SCOPED_TRACE(rotate);
    Rig a(240, 320, 16, rotate);
    ASSERT_TRUE(a.display);
    auto fullDisplay = OpenHeadless(240, 320, 16, rotate);
    ASSERT_TRUE(fullDisplay);
    fullDisplay->SetArchive(SceneArchive());
    PlayScene full(fullDisplay.get(), &a.table->pool());
    full.LoadRoom(0);
    full.scene.keepBackground = false;
    // The aiming view: behind the cue ball, along the cue.
    Pool& pool = a.table->pool();
    pool.cueDirection = FixVec3{0, 0, -kFixOne30};
    for (View* v : {&a.scene->view, &full.view}) {
      const FixVec3 cue = pool.ballStates[0].position;
      v->SetTarget(FixVec3{-cue.x, 0x20000, -cue.z});
      v->yaw = 0;
      v->pitch = -800;
      v->SetDistance(0x1B0000);
      v->Recompute();
      v->Apply();
    }
    a.scene->scene.host.stickShown = full.scene.host.stickShown = true;
    a.scene->DrawFrame();
    const std::size_t n = 240 * 320;
    auto same = [&](const char* what) {
      full.scene.ForceFull();
      full.DrawFrame();
      std::size_t differ = 0;
      for (std::size_t i = 0; i < n; ++i) differ += a.display->m_BackBuffer[i] != fullDisplay->m_BackBuffer[i];
      EXPECT_EQ(differ, 0u) << what;
    };
    same("at rest");
    // Only the stick moves: it is drawn alone, further back each time.
    std::vector<std::uint16_t> before = a.Pixels();
    a.scene->view.stickOnly = 1;
    for (std::int32_t clearance : {0x30000, 0x50000, 0x90000, 0x40000}) {
      a.scene->scene.host.stickClearance = full.scene.host.stickClearance = clearance;
      a.scene->DrawFrame();
      EXPECT_FALSE(a.scene->scene.LastFrameFull());
      EXPECT_NE(a.Pixels(), before);
      before = a.Pixels();
      same("pulled back");
    }
    a.scene->view.stickOnly = 0;
    // The cue ball placed elsewhere, the stick with it, the tip off centre.
    pool.ballStates[0].position.x += 0x18000;
    pool.cueTip = {0x6000, -0x4000};
    a.scene->DrawFrame();
    EXPECT_FALSE(a.scene->scene.LastFrameFull());
    same("moved with the ball");
    // The stick taken away as the shot starts, and the cue ball running off
    // over the next frames: it leaves no copy of itself behind.
    a.scene->scene.host.stickShown = full.scene.host.stickShown = false;
    a.scene->DrawFrame();
    same("taken away");
    for (int frame = 0; frame < 6; ++frame) {
      pool.ballStates[0].position.z += 0x8000;
      pool.ballStates[0].position.x -= 0x6000;
      a.scene->DrawFrame();
      EXPECT_FALSE(a.scene->scene.LastFrameFull());
      same("the cue ball running");
    }
    // Drawn over a bare frame, the stick stays inside its box.
    a.scene->scene.host.stickShown = true;
    const std::vector<std::uint16_t> bare = a.Pixels();
    for (std::int32_t clearance : {0x20000, 0x60000}) {
      a.scene->scene.host.stickClearance = clearance;
      a.scene->view.stickOnly = 1;
      a.scene->DrawFrame();
      std::int32_t box[4];
      ASSERT_TRUE(a.scene->scene.StickBox(box));
      const std::vector<std::uint16_t> drawn = a.Pixels();
      int outside = 0, inside = 0;
      for (int y = 0; y < a.display->m_Height; ++y)
        for (int x = 0; x < a.display->m_Width; ++x) {
          const std::size_t i = static_cast<std::size_t>(y * a.display->m_Width + x);
          if (drawn[i] == bare[i]) continue;
          ++(x >= box[0] && x < box[2] && y >= box[1] && y < box[3] ? inside : outside);
        }
      EXPECT_GT(inside, 0) << clearance;
      EXPECT_EQ(outside, 0) << clearance;
      a.scene->scene.host.stickShown = false;
      a.scene->DrawFrame();
      a.scene->scene.host.stickShown = true;
      EXPECT_EQ(a.Pixels(), bare);
    }
  }
}

TEST(FrameDrawing, RailsAndBallsInDepthOrder) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  TableScene& s = rig.scene->scene;
  // With the eye over the table no rail faces it, and the rails keep their
  // depth order, farthest first.
  s.SetBallCount(0);
  rig.scene->SetCamera(CameraPreset::kOverhead);
  rig.scene->view.SetDistance(0x80000);
  rig.scene->view.Recompute();
  rig.scene->view.Apply();
  s.ClassifyRails();
  for (const RailRecord& r : s.Rails()) EXPECT_EQ(r.facing, 0);
  s.SortRailsByDepth();
  for (int i = 1; i < 6; ++i) EXPECT_GE(s.RailOrder()[i - 1]->depthKey, s.RailOrder()[i]->depthKey);
  // From the table end the near end rail faces the eye.
  rig.scene->SetCamera(CameraPreset::kTableEnd);
  s.ClassifyRails();
  EXPECT_EQ(s.Rails()[0].facing, 1);
  // The ball order runs from the farthest ball to the nearest.
  s.BuildBallDrawList();
  s.SortBallDrawList();
  ASSERT_EQ(s.BallCount(), 16);
  for (int i = 1; i < s.BallCount(); ++i) EXPECT_GE(s.BallOrder()[i - 1]->depthKey, s.BallOrder()[i]->depthKey);
  // A ball nearer than the near limit is not listed.
  rig.table->pool().ballStates[0].position = {0, 0, -rig.scene->view.eye.z + 0x10000};
  s.BuildBallDrawList();
  EXPECT_EQ(s.BallCount(), 15);
}

TEST(FrameDrawing, OnlyTheBallsThatMoveAreDrawnAgain) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  rig.scene->SetCamera(CameraPreset::kTableEnd);
  rig.scene->DrawFrame();
  rig.scene->DrawFrame();
  EXPECT_EQ(rig.scene->scene.ChangedCount(), 0);
  // The cue ball moves a little: it alone is drawn again.
  rig.table->pool().ballStates[0].position.x += 0x8000;
  rig.scene->DrawFrame();
  EXPECT_EQ(rig.scene->scene.ChangedCount(), 1);
}

TEST(FrameDrawing, SetBallMatrixOfTheIdentity) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  BallState b;
  b.position = {0x30000, 0, -0x50000};
  Fix16 m[16];
  rig.scene->scene.SetBallMatrix(b, m);
  const Fix16 expect[16] = {0x10000, 0, 0, 0, 0, 0x10000, 0, 0, 0, 0, 0x10000, 0, 0x30000, 0, -0x50000, 0x10000};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], expect[i]) << i;
}

TEST(FrameDrawing, BufferClipRectanglesAtEveryTurn) {
  for (int rotate = 0; rotate < 4; ++rotate) {
    Rig rig(240, 320, 16, rotate);
    ASSERT_TRUE(rig.display);
    const std::int32_t r[4] = {17, 40, 90, 131};
    rig.scene->scene.PushBufferClip(r);
    const ssRect e = rig.display->ClipEdges();
    EXPECT_EQ((std::array<LONG, 4>{e.left, e.top, e.right, e.bottom}), (std::array<LONG, 4>{17, 40, 90, 131}))
        << "turn " << rotate;
    rig.display->PopClipRect();
  }
}

// The stick is drawn last: over a ball between the eye and the cue ball
// that it reaches over too, and the frames after show what full frames
// show.
TEST(FrameDrawing, TheStickLiesOverABallNearerThanTheCueBall) {
  Rig rig(240, 320, 16, 0);
  ASSERT_TRUE(rig.display);
  Pool& pool = rig.table->pool();
  pool.cueDirection = FixVec3{0, 0, -kFixOne30};
  const FixVec3 cue = pool.ballStates[0].position;
  pool.ballStates[8].position = FixVec3{cue.x, 0, cue.z - 0x38000};
  View& v = rig.scene->view;
  v.SetTarget(FixVec3{-cue.x, 0x20000, -cue.z});
  v.yaw = 0;
  v.pitch = -3000;
  v.SetDistance(0x1B0000);
  v.Recompute();
  v.Apply();
  rig.scene->scene.host.stickShown = false;
  rig.scene->DrawFrame();
  const std::vector<std::uint16_t> bare = rig.Pixels();
  const BallSprite& eight = rig.scene->sprites[8];
  ASSERT_GT(eight.radius, 4);
  rig.scene->scene.host.stickShown = true;
  rig.scene->scene.ForceFull();
  rig.scene->DrawFrame();
  const std::vector<std::uint16_t> drawn = rig.Pixels();
  EXPECT_NE(drawn, bare);  // the stick is on the screen
  const int w = rig.display->m_Width, r = eight.radius - 2;
  int differ = 0;
  for (int y = eight.centreY - r; y <= eight.centreY + r; ++y)
    for (int x = eight.centreX - r; x <= eight.centreX + r; ++x) {
      if ((x - eight.centreX) * (x - eight.centreX) + (y - eight.centreY) * (y - eight.centreY) > r * r) continue;
      if (x < 0 || y < 0 || x >= w || y >= rig.display->m_Height) continue;
      const std::size_t i = static_cast<std::size_t>(y * w + x);
      differ += drawn[i] != bare[i] ? 1 : 0;
    }
  EXPECT_GT(differ, r) << "the stick lies over the 8";
  // Pulled back and taken away: the frames agree with full ones.
  for (std::int32_t clearance : {0x40000, 0x20000}) {
    rig.scene->scene.host.stickClearance = clearance;
    v.stickOnly = 1;
    rig.scene->DrawFrame();
    const std::vector<std::uint16_t> frame = rig.Pixels();
    rig.scene->scene.ForceFull();
    rig.scene->DrawFrame();
    EXPECT_EQ(frame, rig.Pixels()) << clearance;
  }
  v.stickOnly = 0;
  rig.scene->scene.host.stickShown = false;
  rig.scene->DrawFrame();
  EXPECT_EQ(rig.Pixels(), bare);
}

// Seen low along the table, the cloth in front of a side pocket is cloth:
// the pocket lies flat in the cushion, nothing of it stands on the cloth.
TEST(FrameDrawing, PocketsLieFlatInTheCushions) {
  for (int room : {0, 3}) {
    SCOPED_TRACE(room);
    Rig rig(240, 320, 16, 0, room);
    ASSERT_TRUE(rig.display);
    for (int b = 0; b < kBallCount; ++b) rig.table->pool().ballStates[static_cast<std::size_t>(b)].state = kBallOff;
    const Fix16 hx = rig.table->pool().table.hx;
    View& v = rig.scene->view;
    v.SetTarget(FixVec3{-(hx - 0x40000), 0x20000, 0});
    v.yaw = 0x10000;
    v.pitch = -1200;
    v.SetDistance(0x200000);
    v.Recompute();
    v.Apply();
    rig.scene->DrawFrame();
    const Fix16* combined = rig.display->m_Pipeline.Matrix(ssPipeline::kMatrixCombined);
    auto pixelAt = [&](Fix16 x, Fix16 z, int* px, int* py) {
      Fix16 sx = 0, sy = 0;
      EXPECT_TRUE(rig.scene->scene.ProjectPoint({x, 0x10000, z}, &sx, &sy, nullptr, nullptr, combined));
      *px = sx >> 16, *py = sy >> 16;
      if (*px < 0 || *py < 0 || *px >= 240 || *py >= 320) return -1;
      return static_cast<int>(rig.display->m_BackBuffer[*py * 240 + *px]);
    };
    int cx = 0, cy = 0;
    const int cloth = pixelAt(hx - 0x40000, 0x30000, &cx, &cy);
    ASSERT_GE(cloth, 0);
    int checked = 0;
    for (Fix16 x = hx - 0x60000; x <= hx - 0x18000; x += 0x4000) {
      for (Fix16 z : {-0x8000, 0, 0x8000}) {
        int px = 0, py = 0;
        const int p = pixelAt(x, z, &px, &py);
        if (p < 0) continue;
        // As bright as the cloth further in (its weave varies a little).
        EXPECT_GT(((p >> 5) & 63) * 10, ((cloth >> 5) & 63) * 7)
            << "x " << x << " z " << z << " at " << px << "," << py << ": " << std::hex << p << " cloth " << cloth;
        ++checked;
      }
    }
    EXPECT_GT(checked, 20);
  }
}

// The track lines lie on the table at every turn of the screen: the cue
// ball's line starts under the cue ball and runs over the cloth.
TEST(FrameDrawing, TrackLinesLieOnTheTableAtEveryTurn) {
  for (int rotate = 0; rotate < 4; ++rotate) {
    SCOPED_TRACE(rotate);
    Rig rig(240, 320, 16, rotate);
    ASSERT_TRUE(rig.display);
    rig.scene->SetCamera(CameraPreset::kOverhead);
    Pool& pool = rig.table->pool();
    pool.cueDirection = FixVec3{0, 0, -kFixOne30};
    TrackLinesMode tracks;
    tracks.pool = &pool;
    tracks.Restart();
    for (int i = 0; i < 2000 && !tracks.Finished(); ++i) tracks.OnIdle({});
    ASSERT_GE(tracks.Track(0).size(), 2u);
    rig.scene->DrawFrame();
    const std::vector<std::uint16_t> before = rig.Pixels();
    DrawTrackLines(*rig.display, rig.scene->scene, tracks);
    const std::vector<std::uint16_t> after = rig.Pixels();
    const BallSprite& cue = rig.scene->sprites[0];
    const int w = rig.display->m_Width;
    int nearCue = 0, lines = 0;
    for (int y = 0; y < rig.display->m_Height; ++y)
      for (int x = 0; x < w; ++x) {
        const std::size_t i = static_cast<std::size_t>(y * w + x);
        if (before[i] == after[i]) continue;
        ++lines;
        if (std::abs(x - cue.centreX) <= 2 && std::abs(y - cue.centreY) <= 2) ++nearCue;
      }
    EXPECT_GT(lines, 20);
    EXPECT_GT(nearCue, 0);
  }
}

// The in-game text draws the ball icon at the left of the band, on the row
// of the player at the table, and nothing else for it.
TEST(FrameDrawing, TheBandShowsTheBallIcon) {
  for (int rotate : {0, 1}) {
    SCOPED_TRACE(rotate);
    Rig rig(240, 320, 16, rotate);
    ASSERT_TRUE(rig.display);
    ASSERT_TRUE(rig.scene->icons.loaded);
    rig.scene->DrawFrame();
    const std::vector<std::uint16_t> scene = rig.Pixels();
    HudTexts texts;
    texts.name[0] = L"Ann";
    texts.name[1] = L"Bob";
    std::vector<std::uint16_t> without[2], with[2];
    for (int player = 0; player < 2; ++player) {
      texts.atTable = player;
      for (int icon : {-1, 4}) {
        texts.icon = icon;
        std::copy(scene.begin(), scene.end(), rig.display->m_BackBuffer);
        DrawHud(*rig.display, nullptr, nullptr, texts, &rig.scene->icons);
        (icon < 0 ? without : with)[player] = rig.Pixels();
      }
    }
    // The icon's cell, as the screen is held: 2 pixels in, its top at 2 for
    // the first player and lower for the second.
    const ssRect cell = rig.scene->icons.sprite.StoredRect(4);
    const int size = (rotate & 1) != 0 ? cell.bottom - cell.top : cell.right - cell.left;
    int top[2] = {0, 0};
    for (int player = 0; player < 2; ++player) {
      int changed = 0, lowest = 1 << 20;
      for (std::size_t i = 0; i < scene.size(); ++i) {
        if (with[player][i] == without[player][i]) continue;
        ++changed;
        const int bx = static_cast<int>(i) % rig.display->m_Width, by = static_cast<int>(i) / rig.display->m_Width;
        // Back to the screen as held.
        const int lx = (rotate & 1) != 0 ? rig.display->m_Height - 1 - by : bx;
        const int ly = (rotate & 1) != 0 ? bx : by;
        EXPECT_GE(lx, 2);
        EXPECT_LT(lx, 2 + size);
        lowest = std::min(lowest, ly);
      }
      EXPECT_GT(changed, size * size / 3);
      top[player] = lowest;
    }
    EXPECT_GE(top[0], 2);
    EXPECT_GT(top[1], top[0]);
  }
}

// New in-game texts over a scene that did not change are drawn over what
// lay under the old ones, and show what a full frame with them shows; when
// their areas change (a verdict's box comes) a full frame is needed.
TEST(FrameDrawing, NewTextsOverAStillSceneMatchAFullFrame) {
  for (int rotate : {0, 1}) {
    SCOPED_TRACE(rotate);
    Rig rig(240, 320, 16, rotate);
    ASSERT_TRUE(rig.display);
    ssFont* font = rig.display->GetDefaultFont();
    TableScene& scene = rig.scene->scene;
    HudTexts before, after;
    before.icon = 1;
    after.icon = 2;
    std::array<std::int32_t, 4> areas[2];
    int n = HudAreas(*rig.display, font, before, areas);
    scene.SetOverlays(areas, n);
    rig.scene->DrawFrame();
    DrawHud(*rig.display, font, font, before, &rig.scene->icons);
    const std::vector<std::uint16_t> old = rig.Pixels();
    n = HudAreas(*rig.display, font, after, areas);
    scene.SetOverlays(areas, n);
    rig.scene->DrawFrame();
    ASSERT_FALSE(scene.LastFrameFull());
    ASSERT_TRUE(scene.RestoreOverlays(areas, n));
    DrawHud(*rig.display, font, font, after, &rig.scene->icons);
    const std::vector<std::uint16_t> alone = rig.Pixels();
    EXPECT_NE(alone, old);
    scene.ForceFull();
    rig.scene->DrawFrame();
    DrawHud(*rig.display, font, font, after, &rig.scene->icons);
    EXPECT_EQ(alone, rig.Pixels());
    // A verdict adds its box: the areas are no longer those kept.
    after.result = L"Scratch";
    n = HudAreas(*rig.display, font, after, areas);
    if (font != nullptr) {
      EXPECT_EQ(n, 2);
    }
    EXPECT_EQ(scene.RestoreOverlays(areas, n), n == 1);
  }
}

TEST(FrameDrawing, EveryGameTypeRacksAndDraws) {
  for (GameKind g : {GameKind::kStraight, GameKind::kEightBall, GameKind::kNineBall, GameKind::kRotation,
                     GameKind::kSixBall, GameKind::kTenBall}) {
    for (int room : {2, 5}) {
      Rig rig(240, 320, 16, 0, room, g);
      ASSERT_TRUE(rig.display);
      rig.scene->DrawFrame();
      int onTable = 0;
      for (const BallState& b : rig.table->pool().ballStates) onTable += b.state != kBallOff ? 1 : 0;
      EXPECT_EQ(rig.scene->scene.BallCount(), onTable) << GameName(g) << " room " << room;
    }
  }
}

}  // namespace
}  // namespace ks::play::test
