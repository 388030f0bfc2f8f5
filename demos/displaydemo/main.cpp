// The engine showcase: the game's 16-bit display device at work. It opens
// with the game's intro movie (with its sound track; a key or a tap skips
// it), shown the way the game shows it: landscape, turned on a screen held
// upright. Then a textured
// ".kso" column turns under the fixed-point 3D pipeline, lit face by face;
// sprites bounce along the floor; text is drawn in every game font and in
// four orientations; a picture is stretched; the pen leaves a marker and
// the keys change its colour. The scene stands upright on any screen, laid
// out for its shape; Enter turns it a further quarter round each time (the
// turns the game's display makes for a screen held sideways).
//
// At a desktop it opens a window. With no display it runs unattended from
// a script (DEVICE_SCRIPT, else its own demo.script from the data folder)
// and writes screenshots. Its data (the fonts, the model, the movies and the
// script, made at build time) are read from the data folder beside the
// program's folder ("bin/../data") into an archive in memory.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ce/device.h"
#include "ce/windows.h"
#include "program_harness.h"
#include "ce/winmain.h"
#include "display/display_s16.h"
#include "display/font.h"
#include "display/sprite.h"
#include "engine/audio/audio_wave_out.h"
#include "engine/movie/movie_player.h"
#include "engine/image.h"
#include "engine/model.h"
#include "engine/testing/memory_file.h"

namespace {

constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMs = 33;
constexpr int kTextureSize = 32;
constexpr int kShadeLevels = 8;
constexpr int kSprites = 4;
constexpr int kSpriteSize = 16;

const wchar_t* const kFonts[] = {L"Small Fonts6", L"Small Fonts7", L"Tahoma8", L"Cornerstone8", L"cornerstone10"};
constexpr int kFontCount = 5;

constexpr Fix16 Fix(double v) { return static_cast<Fix16>(v * 65536.0); }

struct Demo {
  std::unique_ptr<ssDisplayS16> display;
  HWND window = nullptr;
  int width = 0;  // the screen
  int height = 0;
  int turn = 0;      // quarter turns of the scene, chosen with Enter
  std::string data;  // the data folder
  int phase = 0;
  int penX = -1;  // logical pixels
  int penY = -1;
  int palette = 0;
  std::array<ssFont*, kFontCount> fonts{};
  ssModel model;
  bool modelLoaded = false;
  // The model's texture in kShadeLevels brightnesses, darkest first.
  std::vector<std::vector<std::uint16_t>> shadeTexels;
  std::array<ssImage, kShadeLevels> shades;
  ssSprite sprites;
  bool spritesLoaded = false;
  std::unique_ptr<ssAudioWaveOut> audio;
  std::unique_ptr<ssMoviePlayer> intro;  // while the intro plays
  // Some of the data was missing or damaged: the demo shows what it can
  // and ends with a failure status.
  bool dataMissing = false;
};

Demo g_demo;

std::uint32_t PaletteColor(int index) {
  static constexpr std::uint32_t kColors[] = {0xE04040, 0x40C040, 0x4060E0, 0xE0C020, 0xC040C0, 0x20C0C0};
  return kColors[index % 6];
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Four shaded balls side by side, 16 x 16 each, as a raw 16-bit picture;
// pixels outside the balls are 0, which sprites leave transparent.
std::vector<std::uint8_t> SpriteSheet(const ssDisplay& d) {
  const int w = kSprites * kSpriteSize, h = kSpriteSize;
  std::vector<std::uint8_t> bytes(kImageRawHeaderSize, 0);
  PutU32(bytes, 0, kImageMagicRaw16);
  PutU32(bytes, 8, static_cast<std::uint32_t>(w));
  PutU32(bytes, 12, static_cast<std::uint32_t>(h));
  static constexpr int kBase[kSprites][3] = {{230, 200, 40}, {40, 90, 220}, {210, 40, 40}, {120, 40, 160}};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int ball = x / kSpriteSize;
      const double dx = (x % kSpriteSize) - 7.5, dy = y - 7.5;
      const double r2 = (dx * dx + dy * dy) / (7.5 * 7.5);
      std::uint16_t p = 0;
      if (r2 <= 1.0) {
        // Lit from the upper left, with a small highlight.
        const double nz = std::sqrt(1.0 - r2);
        const double light = std::clamp(0.35 + 0.65 * ((-dx * 0.45 - dy * 0.55) / 7.5 + nz * 0.7), 0.2, 1.0);
        const double spot = std::pow(std::max(0.0, (-dx * 0.4 - dy * 0.4) / 7.5 + nz * 0.82), 24.0);
        int c[3];
        for (int k = 0; k < 3; ++k) c[k] = std::clamp(static_cast<int>(kBase[ball][k] * light + 255 * spot), 0, 255);
        p = static_cast<std::uint16_t>(d.MakePixel(c[0], c[1], c[2]));
        if (p == 0) p = 1;
      }
      bytes.push_back(static_cast<std::uint8_t>(p));
      bytes.push_back(static_cast<std::uint8_t>(p >> 8));
    }
  }
  return bytes;
}

// The model's texture: wood-like grain with a light frame, in device
// pixels, made once in each brightness.
void MakeShades(const ssDisplay& d) {
  g_demo.shadeTexels.assign(kShadeLevels, std::vector<std::uint16_t>(kTextureSize * kTextureSize));
  for (int level = 0; level < kShadeLevels; ++level) {
    const double bright = 0.28 + 0.72 * level / (kShadeLevels - 1);
    for (int y = 0; y < kTextureSize; ++y) {
      for (int x = 0; x < kTextureSize; ++x) {
        const bool frame = x < 2 || y < 2 || x >= kTextureSize - 2 || y >= kTextureSize - 2;
        const double grain = 0.75 + 0.25 * std::sin(x * 0.9 + std::sin(y * 0.35) * 3.0);
        double r = 200 * grain, g = 120 * grain, b = 60 * grain;
        if (frame) r = 240, g = 220, b = 160;
        g_demo.shadeTexels[static_cast<std::size_t>(level)][static_cast<std::size_t>(y * kTextureSize + x)] =
            static_cast<std::uint16_t>(
                d.MakePixel(static_cast<int>(r * bright), static_cast<int>(g * bright), static_cast<int>(b * bright)));
      }
    }
    auto& texels = g_demo.shadeTexels[static_cast<std::size_t>(level)];
    g_demo.shades[static_cast<std::size_t>(level)].SetBorrowedPixels(reinterpret_cast<std::uint8_t*>(texels.data()),
                                                                     kPixelDisplay, kTextureSize, kTextureSize,
                                                                     static_cast<std::uint32_t>(texels.size() * 2));
  }
}

std::string Narrow(const wchar_t* name) {
  std::string narrow;
  for (const wchar_t* c = name; *c != 0; ++c) narrow.push_back(static_cast<char>(*c));
  return narrow;
}

// Names what is missing on standard error and marks the run failed.
void MissingData(const char* what, const char* where = "") {
  std::fprintf(stderr, "displaydemo: missing data: %s%s\n", what, where);
  g_demo.dataMissing = true;
}

// The fonts and the model from the build's data folder, the sprite sheet
// made here, all served from memory.
void LoadData(ssDisplayS16& d) {
  auto archive = std::make_unique<ssMemoryArchive>();
  archive->SetBaseFolder(L"\\", 0);
  const std::string& data = g_demo.data;
  for (const wchar_t* name : kFonts) {
    const std::string narrow = Narrow(name);
    std::vector<std::uint8_t> bytes = harness::ReadHostFile(data + "/UI/fonts/" + narrow + ".fnt");
    if (bytes.empty()) {
      MissingData(("font " + narrow + " in ").c_str(), data.c_str());
      continue;
    }
    archive->AddFile(std::wstring(L"\\UI\\") + name + L".fnt", std::move(bytes));
  }
  std::vector<std::uint8_t> model = harness::ReadHostFile(data + "/displaydemo/showcase.kso");
  if (model.empty()) {
    MissingData("showcase.kso in ", data.c_str());
  } else {
    archive->AddFile(L"\\demo\\showcase.kso", std::move(model));
  }
  archive->AddFile(L"\\demo\\balls.raw", SpriteSheet(d));
  std::vector<std::uint8_t> movies = harness::ReadHostFile(data + "/Movies/movies.ark");
  if (movies.empty()) {
    MissingData("Movies/movies.ark");
  } else {
    archive->AddFile(L"\\Movies\\movies.ark", std::move(movies));
  }
  d.SetArchive(std::move(archive));

  for (int i = 0; i < kFontCount; ++i) {
    g_demo.fonts[static_cast<std::size_t>(i)] = d.GetFont(kFonts[i], L"UI", nullptr);
    if (g_demo.fonts[static_cast<std::size_t>(i)] == nullptr)
      MissingData(("the font " + Narrow(kFonts[i]) + " did not load").c_str());
  }
  MakeShades(d);
  g_demo.model.Init(d.ModelDevice(), &g_demo.shades[kShadeLevels - 1]);
  g_demo.modelLoaded = g_demo.model.Load(L"showcase.kso", L"demo", nullptr) == 1;
  g_demo.spritesLoaded = g_demo.sprites.Load(&d, L"balls.raw", L"demo", nullptr, false);
  if (!g_demo.modelLoaded) MissingData("the model did not load");
  if (g_demo.spritesLoaded) {
    for (int i = 0; i < kSprites; ++i)
      g_demo.sprites.AddRect(ssRect{i * kSpriteSize, 0, (i + 1) * kSpriteSize, kSpriteSize});
  }
}

struct Vec {
  double x, y, z;
};
Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec CrossV(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double DotV(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A model vertex turned by the world matrix's 3 x 3 part (row vectors).
Vec Turned(const ssSourceVertex& v, const Fix16* m) {
  const double x = v.x / 65536.0, y = v.y / 65536.0, z = v.z / 65536.0;
  auto col = [&](int c) { return (x * m[c] + y * m[4 + c] + z * m[8 + c]) / 65536.0; };
  return {col(0), col(1), col(2)};
}

// The shade level of a face from its corners: diffuse light from the upper
// left, in front of the model, over a little ambient light.
template <typename Face>
int FaceLevel(const ssMesh& mesh, const Face& face, int corners, const Fix16* world) {
  Vec p[4];
  Vec centre{0, 0, 0};
  for (int i = 0; i < corners; ++i) {
    p[i] = Turned(mesh.vertices[face.index[i]], world);
    centre = {centre.x + p[i].x, centre.y + p[i].y, centre.z + p[i].z};
  }
  Vec n = CrossV(Sub(p[1], p[0]), Sub(p[2], p[0]));
  // The model is convex round its origin: a normal points away from it.
  if (DotV(n, centre) < 0) n = {-n.x, -n.y, -n.z};
  const double len = std::sqrt(DotV(n, n));
  if (len <= 0) return 0;
  const Vec light{-0.45, -0.55, -0.70};  // screen y grows downwards, the eye looks along +z
  const double diffuse = std::max(0.0, DotV(n, light) / len);
  return std::clamp(static_cast<int>((0.15 + 0.85 * diffuse) * kShadeLevels), 0, kShadeLevels - 1);
}

template <typename Face>
void DrawLitFaces(ssDisplayS16& d, const ssMesh& mesh, const std::vector<Face>& faces, int corners,
                  const Fix16* world) {
  std::array<std::vector<Face>, kShadeLevels> byLevel;
  for (const Face& f : faces) byLevel[static_cast<std::size_t>(FaceLevel(mesh, f, corners, world))].push_back(f);
  for (int level = 0; level < kShadeLevels; ++level) {
    const auto& list = byLevel[static_cast<std::size_t>(level)];
    if (list.empty()) continue;
    d.SetTexture(0, &g_demo.shades[static_cast<std::size_t>(level)]);
    d.DrawIndexedPrimitive(mesh.primitiveType, 0, mesh.vertices.data(),
                           static_cast<std::uint32_t>(mesh.vertices.size()), list.data(),
                           static_cast<std::uint32_t>(list.size()), 1, nullptr);
  }
}

// The scene's size: the screen as the display's turn shows it.
int SceneWidth(const ssDisplayS16& d) { return (d.m_Rotate & 1) != 0 ? d.m_Height : d.m_Width; }
int SceneHeight(const ssDisplayS16& d) { return (d.m_Rotate & 1) != 0 ? d.m_Width : d.m_Height; }

void DrawModel(ssDisplayS16& d) {
  if (!g_demo.modelLoaded) return;
  std::int32_t focal = 0;
  d.SetPerspective(Fix(0.9), &focal);
  Fix16 view[16], world[16];
  d.MatrixIdentity(view);
  // Right of the texts; on an upright screen, below them too.
  const bool tall = SceneHeight(d) > SceneWidth(d);
  d.MatrixTranslate(view, view, {Fix(tall ? 0.6 : 0.8), Fix(tall ? 0.7 : -0.3), Fix(6.0), 0});
  d.SetTransform(ssPipeline::kMatrixView, view);
  d.MatrixIdentity(world);
  d.RotateY(world, world, Fix(g_demo.phase * 0.045));
  d.RotateX(world, world, Fix(0.45 + 0.25 * std::sin(g_demo.phase * 0.02)));
  d.SetTransform(ssPipeline::kMatrixWorld, world);
  for (const ssMesh& mesh : g_demo.model.m_Meshes) {
    if (mesh.primitiveType == kPrimitiveTexturedQuads) DrawLitFaces(d, mesh, mesh.texturedQuads, 4, world);
    if (mesh.primitiveType == kPrimitiveTexturedTriangles) DrawLitFaces(d, mesh, mesh.triangles, 3, world);
  }
}

// A scene point in the device buffer, as the display turns it.
void ToDevice(const ssDisplayS16& d, int x, int y, int& bx, int& by) {
  switch (d.m_Rotate & 3) {
    case 1:
      bx = y;
      by = d.m_Height - 1 - x;
      break;
    case 2:
      bx = d.m_Width - 1 - x;
      by = d.m_Height - 1 - y;
      break;
    case 3:
      bx = d.m_Width - 1 - y;
      by = x;
      break;
    default:
      bx = x;
      by = y;
      break;
  }
}

void DrawTexts(ssDisplayS16& d) {
  const std::uint32_t white = d.MakePixel(255, 255, 255), black = d.MakePixel(0, 0, 0);
  const std::uint32_t yellow = d.MakePixel(255, 220, 60);
  ssFont* title = g_demo.fonts[4];
  if (title != nullptr)
    d.DrawText(title, 8, 4, L"Engine showcase", -1, yellow, 0, black, false, true, false, 0, nullptr, false, false);
  // Every game font by name, down the left side.
  int y = 26;
  for (int i = 0; i < kFontCount; ++i) {
    ssFont* f = g_demo.fonts[static_cast<std::size_t>(i)];
    if (f == nullptr) continue;
    d.DrawText(f, 8, y, kFonts[i], -1, white, 0, black, false, true, false, 0, nullptr, false, false);
    y += f->Height() + 3;
  }
  // A boxed, centred paragraph over a darkened background.
  if (ssFont* f = g_demo.fonts[1]; f != nullptr) {
    const ssRect box{8, 102, 132, 140};
    d.DrawRect(box, ssDisplayS16::kRectFilled | ssDisplayS16::kRectBlend, black);
    const wchar_t* text = L"Textured faces, lit one by one, turn in 16.16 fixed point.";
    d.DrawText(f, box.left, box.top + 2, text, static_cast<int>(std::wcslen(text)), d.MakePixel(200, 230, 255), 0,
               black, false, false, false, 0, &box, true, true);
  }
  // The two string drawers, forwards and reversed: four arms round a point.
  if (ssFont* f = g_demo.fonts[2]; f != nullptr) {
    const int ax = 92, ay = SceneHeight(d) - 58;
    int cx = 0, cy = 0;
    ToDevice(d, ax, ay, cx, cy);
    const int h = f->Height();
    d.DrawRect(ssRect{ax - 2, ay - 2, ax + 3, ay + 3}, ssDisplayS16::kRectFilled, white);
    f->DrawString(cx + 7, cy - h / 2, d.MakePixel(120, 255, 120), 0, L"one", false, nullptr, false);
    f->DrawString(cx - 7, cy + h / 2, d.MakePixel(255, 140, 140), 0, L"two", false, nullptr, true);
    f->DrawStringRotated(cx - h / 2, cy - 7, d.MakePixel(140, 180, 255), 0, L"three", false, nullptr, false);
    f->DrawStringRotated(cx + h / 2, cy + 7, d.MakePixel(255, 255, 140), 0, L"four", false, nullptr, true);
  }
  if (ssFont* f = g_demo.fonts[0]; f != nullptr) {
    wchar_t counter[32];
    std::swprintf(counter, 32, L"frame %d", g_demo.phase);
    d.DrawText(f, SceneWidth(d) - 58, SceneHeight(d) - 14, counter, -1, white, d.MakePixel(30, 70, 40), black, true,
               false, false, 0, nullptr, false, false);
  }
}

void DrawSprites(const ssDisplayS16& d) {
  if (!g_demo.spritesLoaded) return;
  const int floor = SceneHeight(d) - 28 - kSpriteSize;
  // Along the right of the floor, clear of the four arms.
  const int first = std::max(SceneWidth(d) - 150, 130);
  const int step = std::min(34, (SceneWidth(d) - 8 - kSpriteSize - first) / (kSprites - 1));
  for (int i = 0; i < kSprites; ++i) {
    const int period = 40 + i * 9;
    const int t = (g_demo.phase + i * 11) % period;
    const double s = static_cast<double>(t) / period;
    const int x = first + i * step;
    const int y = floor - static_cast<int>(50 * 4 * s * (1 - s));  // a bounce: a parabola a period
    g_demo.sprites.Blit(i, x, y);
  }
}

void DrawFrame() {
  ssDisplayS16& d = *g_demo.display;
  const int w = SceneWidth(d), h = SceneHeight(d);
  d.BeginDraw();
  // A dark backdrop in bands, and a floor.
  for (int y = 0; y < h; y += 16)
    d.DrawRect(ssRect{0, y, w, y + 16}, ssDisplayS16::kRectFilled, d.MakePixel(10, 16 + y / 6, 40 + y / 4));
  d.DrawRect(ssRect{0, h - 30, w, h}, ssDisplayS16::kRectFilled, d.MakePixel(30, 70, 40));
  // The texture itself, stretched as a picture card.
  const ssRect card{8, h - 82, 48, h - 42};
  d.DrawImage(&g_demo.shades[kShadeLevels - 1], &card, nullptr, 0);
  d.DrawRect(card, 0, d.MakePixel(255, 255, 255));
  DrawModel(d);
  DrawSprites(d);
  DrawTexts(d);
  // The pen's last position, in the colour the keys chose: a marker and an
  // arrow head pointing at it.
  if (g_demo.penX >= 0) {
    const std::uint32_t pixel = d.ColorToPixel(PaletteColor(g_demo.palette));
    const int x = g_demo.penX, y = g_demo.penY;
    d.DrawRect(ssRect{x - 16, y - 16, x + 16, y + 16}, ssDisplayS16::kRectFilled | ssDisplayS16::kRectBlend, pixel);
    d.DrawRect(ssRect{x - 6, y - 6, x + 6, y + 6}, ssDisplayS16::kRectFilled, pixel);
    d.FillTriangle(x + 8, y - 20, x + 20, y - 8, x + 8, y - 8, d.MakePixel(255, 255, 255));
  }
  d.DrawRect(ssRect{0, 0, w, h}, 0, d.MakePixel(255, 255, 0));
  d.EndDraw();
  d.Present();
}

// A screen point to the scene, as the display turns it.
void PenAt(LPARAM lParam) {
  const int sx = static_cast<SHORT>(LOWORD(lParam)), sy = static_cast<SHORT>(HIWORD(lParam));
  const ssDisplayS16& d = *g_demo.display;
  switch (d.m_Rotate & 3) {
    case 1:
      g_demo.penX = d.m_Height - 1 - sy;
      g_demo.penY = sx;
      break;
    case 2:
      g_demo.penX = d.m_Width - 1 - sx;
      g_demo.penY = d.m_Height - 1 - sy;
      break;
    case 3:
      g_demo.penX = sy;
      g_demo.penY = d.m_Width - 1 - sx;
      break;
    default:
      g_demo.penX = sx;
      g_demo.penY = sy;
      break;
  }
}

// Opens the display again with another turn; false (and the window goes)
// when it cannot be opened.
bool Reopen(int rotate) {
  ssDisplayS16& d = *g_demo.display;
  d.DeviceClose();
  d.m_Rotate = rotate;
  if (d.DeviceOpen(g_demo.window) != 0) {
    std::fprintf(stderr, "displaydemo: the display could not be opened again\n");
    DestroyWindow(g_demo.window);
    return false;
  }
  return true;
}

// Turns the scene a further quarter round: the display is opened again
// with the new turn. The pen's marker goes, as it stood in the old scene.
void TurnScene() {
  g_demo.turn = (g_demo.turn + 1) & 3;
  if (!Reopen(g_demo.turn)) return;
  g_demo.penX = g_demo.penY = -1;
  DrawFrame();
}

// The intro movie from "movies.ark", as the game plays it: landscape (the
// display turned a quarter on a screen taller than wide), with its sound
// track on the wave-out device.
void StartIntro() {
  ssDisplayS16& d = *g_demo.display;
  g_demo.audio = std::make_unique<ssAudioWaveOut>();
  g_demo.audio->GetDeviceCaps(0);
  auto intro = std::make_unique<ssMoviePlayer>();
  intro->Init(&d, g_demo.audio.get(), nullptr);
  intro->m_Archive = d.GetArchive();
  if (intro->Open(L"KSIntroM.avi", L"Movies", L"movies.ark") != 0) {
    MissingData("the intro movie did not open");
    return;
  }
  intro->SetVolume(8);
  if (d.m_Height > d.m_Width && !Reopen(1)) return;
  d.BeginDraw();
  d.Clear();
  d.Present();
  d.EndDraw();
  if (intro->Start(0, 0) != 0) {
    std::fprintf(stderr, "displaydemo: the intro movie did not start\n");
    Reopen(g_demo.turn);
    return;
  }
  g_demo.intro = std::move(intro);
}

// One event for the intro; at its end the showcase takes over.
void IntroEvent(UINT message, WPARAM wParam, LPARAM lParam) {
  const int result = g_demo.intro->Update(InputEvent{message, wParam, lParam, GetTickCount()});
  g_demo.audio->FillBlock();
  if (result != -1) return;
  g_demo.intro->Stop();
  g_demo.intro->Close();
  g_demo.intro.reset();
  if (g_demo.display->m_Rotate != g_demo.turn && !Reopen(g_demo.turn)) return;
  DrawFrame();
}

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kFrameTimer && g_demo.intro) {
        IntroEvent(message, wParam, lParam);
      } else if (wParam == kFrameTimer) {
        ++g_demo.phase;
        DrawFrame();
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
      // A tap, or the pen moved while down, skips the intro.
      if (message == WM_LBUTTONDOWN || (wParam & MK_LBUTTON) != 0) {
        if (g_demo.intro) {
          IntroEvent(message, wParam, lParam);
        } else {
          PenAt(lParam);
        }
      }
      return 0;
    case WM_KEYDOWN:
      if (g_demo.intro) {
        IntroEvent(message, wParam, lParam);
      } else if (wParam == VK_ESCAPE) {
        DestroyWindow(window);
      } else if (wParam == VK_RETURN) {
        TurnScene();
      } else {
        ++g_demo.palette;
      }
      return 0;
    case WM_DESTROY:
      KillTimer(window, kFrameTimer);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void ReleaseAll() {
  if (g_demo.intro) {
    g_demo.intro->Stop();
    g_demo.intro->Close();
    g_demo.intro.reset();
  }
  g_demo.audio.reset();
  if (!g_demo.display) return;
  g_demo.sprites.Release();
  g_demo.model.Free();
  for (ssFont*& f : g_demo.fonts) {
    if (f != nullptr) g_demo.display->ReleaseFont(f);
    f = nullptr;
  }
  g_demo.display->SetTexture(0, nullptr);
  g_demo.display.reset();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  g_demo.data = harness::DataFolder();
  if (harness::WithoutDisplay() && !ce::device::Setting("script")) {
    harness::RunOwnScript("displaydemo", g_demo.data + "/displaydemo/demo.script", "");
    return 1;
  }
  g_demo.width = GetSystemMetrics(SM_CXSCREEN);
  g_demo.height = GetSystemMetrics(SM_CYSCREEN);
  HWND window = harness::OpenScreenWindow(instance, L"DisplayDemo", L"Display demo", DemoProc, show);
  if (window == nullptr) return 1;
  g_demo.window = window;

  g_demo.display = harness::OpenDisplay(window, g_demo.turn, L"Display demo");
  if (!g_demo.display) return 1;
  LoadData(*g_demo.display);
  StartIntro();
  if (!g_demo.intro) DrawFrame();
  SetTimer(window, kFrameTimer, kFrameMs, nullptr);

  const int code = harness::RunMessageLoop();
  ReleaseAll();
  return code != 0 ? code : g_demo.dataMissing ? 1 : 0;
}

// The demo takes no arguments; --help describes it without starting the device.
int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: displaydemo\n"
      "  the engine showcase; Esc ends it. With DEVICE_BACKEND=headless and\n"
      "  DEVICE_SCRIPT=FILE it runs unattended from the script.\n";
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kNothing))
    return *answered;
  return ce::RunProgram(argc, argv, WinMain);
}
