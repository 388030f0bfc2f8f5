// tableview: the table view on its own. It racks a table for a game type in
// a room and draws it through the game's display device, so a person can
// look at it: the arrow keys and a pen drag turn the camera, Page Up and Page
// Down zoom, W A S D move it over the table, 1 2 3 choose the table-end,
// overhead and side views, Space strikes the shot given with --shot (again
// after each shot comes to rest, from a fresh rack), Escape ends.
//
//   tableview [--game G] [--room R] [--size small|large] [--view end|top|side]
//             [--turn 0-3] [--shot ANGLE,POWER,TIPX,TIPY,ELEVATION] [--full]
//
// The shot is struck at once when given; it then plays frame by frame.
// --full draws every frame in full (for comparing with the incremental
// frames). At a desktop it opens a window; headless it runs from a script
// (DEVICE_SCRIPT, else its own tableview.script from the data folder) and
// writes screenshots. The room archives are read from the build's data
// folder (bin/../data/table).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ce/device.h"
#include "ce/windows.h"
#include "program_harness.h"
#include "ce/winmain.h"
#include "display/display_s16.h"
#include "engine/testing/memory_file.h"
#include "play/scene_loader.h"
#include "simulation/table.h"

namespace {

constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMs = 31;

struct Options {
  ks::GameKind game = ks::GameKind::kEightBall;
  int room = 0;
  std::optional<ks::TableSize> size;
  ks::play::CameraPreset view = ks::play::CameraPreset::kTableEnd;
  int turn = -1;
  std::optional<ks::Shot> shot;
  bool full = false;
};

class Clock final : public ks::PoolHost {
 public:
  std::uint32_t GetTime() override { return GetTickCount(); }
};

struct Harness {
  Options options;
  std::string data;
  std::unique_ptr<ssDisplayS16> display;
  Clock clock;
  std::unique_ptr<ks::Table> table;
  std::unique_ptr<ks::play::PlayScene> scene;
  bool shotRunning = false;
  bool penDown = false;
  int penX = 0, penY = 0;
  int frames = 0;
};

Harness g_harness;

bool ParseShot(const std::string& text, ks::Shot* shot) {
  double v[5];
  char tail = 0;
  if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf,%lf%c", &v[0], &v[1], &v[2], &v[3], &v[4], &tail) != 5) return false;
  shot->angle = v[0];
  shot->power = v[1];
  shot->side = v[2];
  shot->height = v[3];
  shot->elevation = v[4];
  return ks::CheckShot(*shot) == nullptr;
}

constexpr const char* kUsage =
    "usage: tableview [--game G] [--room R] [--size small|large] [--view end|top|side] [--turn 0-3]\n"
    "                 [--shot ANGLE,POWER,TIPX,TIPY,ELEVATION] [--full]\n"
    "  shows a racked table in a room; keys and the pen turn, zoom and move the view.\n"
    "  With DEVICE_BACKEND=headless and DEVICE_SCRIPT=FILE it runs from the script.\n";

// Reads the options; prints why and returns false for anything it cannot use.
bool ParseOptions(const std::string& line, Options* o) {
  std::istringstream in(line);
  std::vector<std::string> args;
  for (std::string a; in >> a;) args.push_back(a);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (a == "--full") {
      o->full = true;
      continue;
    }
    const auto v = value();
    if (!v) {
      std::fprintf(stderr, "tableview: %s needs a value\n", a.c_str());
      return false;
    }
    if (a == "--game") {
      const auto g = ks::GameFromName(*v);
      if (!g) {
        std::fprintf(stderr, "tableview: unknown game %s (straight, 8ball, 9ball, rotation, 6ball, 10ball)\n",
                     v->c_str());
        return false;
      }
      o->game = *g;
    } else if (a == "--room") {
      o->room = ks::play::RoomFromName(v->c_str());
      if (o->room < 0) {
        std::fprintf(stderr,
                     "tableview: unknown room %s (Garage, HawgPen, PitStop, DeepPockets, HardTimes, BeachHouse)\n",
                     v->c_str());
        return false;
      }
    } else if (a == "--size") {
      if (*v == "small") {
        o->size = ks::TableSize::kSmall;
      } else if (*v == "large") {
        o->size = ks::TableSize::kLarge;
      } else {
        std::fprintf(stderr, "tableview: --size is small or large\n");
        return false;
      }
    } else if (a == "--view") {
      if (*v == "end")
        o->view = ks::play::CameraPreset::kTableEnd;
      else if (*v == "top")
        o->view = ks::play::CameraPreset::kOverhead;
      else if (*v == "side")
        o->view = ks::play::CameraPreset::kSide;
      else {
        std::fprintf(stderr, "tableview: --view is end, top or side\n");
        return false;
      }
    } else if (a == "--turn") {
      if (v->size() != 1 || (*v)[0] < '0' || (*v)[0] > '3') {
        std::fprintf(stderr, "tableview: --turn is 0 to 3\n");
        return false;
      }
      o->turn = (*v)[0] - '0';
    } else if (a == "--shot") {
      ks::Shot shot;
      if (!ParseShot(*v, &shot)) {
        std::fprintf(stderr, "tableview: --shot is ANGLE,POWER,TIPX,TIPY,ELEVATION within their ranges\n");
        return false;
      }
      o->shot = shot;
    } else {
      std::fprintf(stderr, "tableview: unknown option %s\n", a.c_str());
      return false;
    }
  }
  // The room's table decides the size unless one is asked for; a size that
  // does not match the room picks the first room with that table.
  const ks::TableSize roomSize = o->room >= 3 ? ks::TableSize::kLarge : ks::TableSize::kSmall;
  if (o->size && *o->size != roomSize) o->room = *o->size == ks::TableSize::kLarge ? 3 : 0;
  if (!o->size) o->size = roomSize;
  return true;
}

void Rack() {
  Harness& h = g_harness;
  ks::TableSetup setup;
  setup.game = h.options.game;
  setup.size = *h.options.size;
  h.table = std::make_unique<ks::Table>(setup, &h.clock);
  h.shotRunning = false;
}

void Present() {
  ssDisplayS16& d = *g_harness.display;
  d.BeginDraw();
  g_harness.scene->scene.host.stickShown = !g_harness.shotRunning && g_harness.options.shot.has_value();
  if (g_harness.options.full) g_harness.scene->scene.ForceFull();
  g_harness.scene->DrawFrame();
  d.EndDraw();
  d.Present();
  ++g_harness.frames;
}

void Strike() {
  Harness& h = g_harness;
  if (!h.options.shot) return;
  if (h.shotRunning) return;
  if (!h.table->Aim(*h.options.shot)) return;
  h.table->Strike();
  h.shotRunning = true;
}

void LoadScene() {
  Harness& h = g_harness;
  h.scene = std::make_unique<ks::play::PlayScene>(h.display.get(), &h.table->pool());
  const ks::play::LoadReport report = h.scene->LoadRoom(h.options.room);
  if (report.roomSurfaces < 6 || !report.table || !report.stick || !report.ballTextures)
    std::fprintf(stderr, "tableview: missing data: room surfaces %d of 6, table %s, stick %s, ball textures %s\n",
                 report.roomSurfaces, report.table ? "yes" : "no", report.stick ? "yes" : "no",
                 report.ballTextures ? "yes" : "no");
  h.scene->SetCamera(h.options.view);
  h.scene->scene.host.clock = [] { return GetTickCount(); };
}

void OnTick() {
  Harness& h = g_harness;
  if (h.shotRunning && !h.table->PlayFrame()) {
    h.table->Judge();
    h.shotRunning = false;
    h.scene->scene.ForceFull();
  }
  Present();
}

void OnKey(WPARAM key) {
  Harness& h = g_harness;
  ks::play::View& v = h.scene->view;
  switch (key) {
    case VK_LEFT:
      v.Rotate(0, -0x1000, 0);
      break;
    case VK_RIGHT:
      v.Rotate(0, 0x1000, 0);
      break;
    case VK_UP:
      v.Rotate(-0x800, 0, 0);
      break;
    case VK_DOWN:
      v.Rotate(0x800, 0, 0);
      break;
    case VK_PRIOR:
      v.Zoom(-0x40000);
      break;
    case VK_NEXT:
      v.Zoom(0x40000);
      break;
    case 'W':
    case 'S':
    case 'A':
    case 'D': {
      const ks::FixVec3 step = key == 'W'   ? ks::FixVec3{0, 0, -0x20000}
                               : key == 'S' ? ks::FixVec3{0, 0, 0x20000}
                               : key == 'A' ? ks::FixVec3{0x20000, 0, 0}
                                            : ks::FixVec3{-0x20000, 0, 0};
      v.Move(v.TurnByYaw(step));
      break;
    }
    case '1':
      h.scene->SetCamera(ks::play::CameraPreset::kTableEnd);
      break;
    case '2':
      h.scene->SetCamera(ks::play::CameraPreset::kOverhead);
      break;
    case '3':
      h.scene->SetCamera(ks::play::CameraPreset::kSide);
      break;
    case VK_SPACE:
      if (!h.shotRunning) {
        Rack();
        h.scene->scene.ForceFull();
        LoadScene();
        Strike();
      }
      break;
    default:
      break;
  }
}

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Harness& h = g_harness;
  switch (message) {
    case WM_TIMER:
      if (wParam == kFrameTimer) OnTick();
      return 0;
    case WM_LBUTTONDOWN:
      h.penDown = true;
      h.penX = static_cast<SHORT>(LOWORD(lParam));
      h.penY = static_cast<SHORT>(HIWORD(lParam));
      return 0;
    case WM_MOUSEMOVE:
      if (h.penDown && (wParam & MK_LBUTTON) != 0) {
        const int x = static_cast<SHORT>(LOWORD(lParam)), y = static_cast<SHORT>(HIWORD(lParam));
        // A drag turns the camera: across for the yaw, up and down for the pitch.
        h.scene->view.Rotate((y - h.penY) * 96, (x - h.penX) * 160, 0);
        h.penX = x;
        h.penY = y;
      }
      return 0;
    case WM_LBUTTONUP:
      h.penDown = false;
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        DestroyWindow(window);
      } else {
        OnKey(wParam);
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
  g_harness.scene.reset();
  g_harness.table.reset();
  g_harness.display.reset();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
  Harness& h = g_harness;
  h.data = harness::DataFolder();
  const std::string line = harness::CommandLineText(commandLine);
  if (!ParseOptions(line, &h.options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (harness::WithoutDisplay() && !ce::device::Setting("script")) {
    harness::RunOwnScript("tableview", h.data + "/tableview/tableview.script", line);
    return 1;
  }
  HWND window = harness::OpenFullScreenWindow(instance, L"TableView", L"Table view", ViewProc, show);
  if (window == nullptr) return 1;
  h.display = harness::OpenDisplay(window, h.options.turn >= 0 ? h.options.turn : 0, L"Table view");
  if (!h.display) return 1;
  auto archive = std::make_unique<ssMemoryArchive>();
  archive->SetBaseFolder(L"\\", 0);
  harness::AddTableData(*archive, h.data, "tableview");
  h.display->SetArchive(std::move(archive));

  Rack();
  LoadScene();
  Strike();
  Present();
  SetTimer(window, kFrameTimer, kFrameMs, nullptr);

  const int code = harness::RunMessageLoop();
  ReleaseAll();
  return code;
}

int main(int argc, char** argv) {
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kAnything))
    return *answered;
  return ce::RunProgram(argc, argv, WinMain);
}
