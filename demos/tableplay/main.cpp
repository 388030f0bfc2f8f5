// tableplay: a rack played at the table view. Player 1 is a person; player 2
// is a second person or the computer at a skill level. The pen is the mouse
// and the device keys are the keyboard's:
//   arrows        turn the aim (left, right) and tilt the view (up, down)
//   a pen drag    turns the aim; a drag started on the stick's grip pulls the
//                 stick back and strikes as it comes forward
//   Space (held)  pulls the stick back; its release strikes
//   Page Up/Down  zoom       Q E   cue angle       I J K L   cue tip
//   M             move the cue ball (ball in hand; drag it, lift to aim)
//   V             move the view (drag, or hold the arrows)
//   A             back to aiming (also after naming the 8's pocket)
//   O (held)      look from above    R  replay the last shot
//   T             track lines of the aimed shot (practice only)
//   B             pick up any ball and drag it, seen from above (practice only)
//   W             rewind the last shot to its start (practice only)
//   N P           next, previous mode: stroke, cue tip, cue angle, zoom, ball in
//                 hand, calling the pocket (the arrows then move tip or angle)
//   Z             play the running shot to its end     Escape  quit
//
//   tableplay [--game G] [--p2 none|human|easy|medium|hard] [--room R] [--seed N]
//
// At a desktop it opens a window; headless it runs from a script
// (DEVICE_SCRIPT, else its own tableplay.script from the data folder) and
// writes screenshots. Data comes from bin/../data.
#include <unistd.h>

#include <array>
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
#include "play/control.h"
#include "play/held_keys.h"
#include "play/hud.h"
#include "play/scene_loader.h"
#include "simulation/table.h"

namespace {

constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMs = 31;

struct Options {
  ks::GameKind game = ks::GameKind::kEightBall;
  int room = 0;
  int p2 = 0;  // 0 a person, else the computer's skill
  std::uint32_t seed = 1;
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
  std::unique_ptr<ks::play::Control> control;
  ks::play::KeyMap keys;
  ssFont* small = nullptr;
  ssFont* tiny = nullptr;
  bool over = false;
  bool tracksShown = false;
  // The texts the last frame showed and the pocket the prompt named (-1
  // none); none before the first frame.
  ks::play::HudTexts lastTexts;
  int lastPocket = -1;
  bool textsShown = false;
  int lastState = -1;
};

Harness g_harness;

constexpr const char* kUsage =
    "usage: tableplay [--game G] [--p2 none|human|easy|medium|hard] [--room R] [--seed N]\n"
    "  plays a rack at the table: the pen aims and strokes, the keys turn, stroke (Space),\n"
    "  move the cue ball (M), zoom, set the cue angle and tip. Escape quits.\n"
    "  With DEVICE_BACKEND=headless and DEVICE_SCRIPT=FILE it runs from the script.\n";

bool ParseOptions(const std::string& line, Options* o) {
  std::istringstream in(line);
  std::vector<std::string> args;
  for (std::string a; in >> a;) args.push_back(a);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) {
      std::fprintf(stderr, "tableplay: %s needs a value\n", a.c_str());
      return false;
    }
    const std::string v = args[++i];
    if (a == "--game") {
      const auto g = ks::GameFromName(v);
      if (!g) {
        std::fprintf(stderr, "tableplay: unknown game %s (straight, 8ball, 9ball, rotation, 6ball, 10ball)\n",
                     v.c_str());
        return false;
      }
      o->game = *g;
    } else if (a == "--room") {
      o->room = ks::play::RoomFromName(v.c_str());
      if (o->room < 0) {
        std::fprintf(stderr,
                     "tableplay: unknown room %s (Garage, HawgPen, PitStop, DeepPockets, HardTimes, BeachHouse)\n",
                     v.c_str());
        return false;
      }
    } else if (a == "--p2") {
      if (v == "none") {
        o->p2 = -1;
      } else if (v == "human") {
        o->p2 = 0;
      } else if (v == "easy") {
        o->p2 = 1;
      } else if (v == "medium") {
        o->p2 = 7;
      } else if (v == "hard") {
        o->p2 = 11;
      } else {
        std::fprintf(stderr, "tableplay: --p2 is none (practice), human, easy, medium or hard\n");
        return false;
      }
    } else if (a == "--seed") {
      char* end = nullptr;
      const unsigned long s = std::strtoul(v.c_str(), &end, 10);
      if (end == v.c_str() || *end != 0 || s > 0xFFFFFFFFul) {
        std::fprintf(stderr, "tableplay: --seed is a number\n");
        return false;
      }
      o->seed = static_cast<std::uint32_t>(s);
    } else {
      std::fprintf(stderr, "tableplay: unknown option %s\n", a.c_str());
      return false;
    }
  }
  return true;
}

void DefaultKeys(ks::play::KeyMap* k) {
  using A = ks::play::KeyMap;
  k->keys[A::kAimMode] = 'A';
  k->keys[A::kMoveBall] = 'M';
  k->keys[A::kMoveView] = 'V';
  k->keys[A::kZipToEnd] = 'Z';
  k->keys[A::kUp] = VK_UP;
  k->keys[A::kDown] = VK_DOWN;
  k->keys[A::kLeft] = VK_LEFT;
  k->keys[A::kRight] = VK_RIGHT;
  k->keys[A::kZoomIn] = VK_PRIOR;
  k->keys[A::kZoomOut] = VK_NEXT;
  k->keys[A::kOverHead] = 'O';
  k->keys[A::kStrokeCue] = VK_SPACE;
  k->keys[A::kTipLeft] = 'J';
  k->keys[A::kTipRight] = 'L';
  k->keys[A::kTipUp] = 'I';
  k->keys[A::kTipDown] = 'K';
  k->keys[A::kCueUp] = 'Q';
  k->keys[A::kCueDown] = 'E';
  k->keys[A::kReplay] = 'R';
  k->keys[A::kNextMode] = 'N';
  k->keys[A::kTrackLines] = 'T';
  k->keys[A::kPreviousMode] = 'P';
}

void Present(bool full) {
  Harness& h = g_harness;
  ssDisplayS16& d = *h.display;
  const ks::play::HudTexts texts =
      ks::play::MakeHudTexts(h.table->pool(), h.control.get(), L"Player 1",
                             h.options.p2 <= 0 ? std::wstring(L"Player 2") : std::wstring(L"Computer"));
  const int pocket = h.control->CallingPocket() ? h.control->CallPocket()->selected : -1;
  // Track lines are drawn over a full frame, which must leave no trace of
  // them when they change, and so is the call-pocket prompt when it moves.
  const bool tracks = h.control->TrackLinesShown();
  const bool textsChanged = !h.textsShown || !(texts == h.lastTexts) || pocket != h.lastPocket;
  if (full || tracks || h.tracksShown || (textsChanged && h.control->CallingPocket())) h.scene->scene.ForceFull();
  // The texts as they change, for the scripted runs to check.
  if (textsChanged) {
    const std::wstring line = std::wstring(texts.title) + L" | " + std::wstring(texts.result) + L" | " +
                              std::wstring(texts.name[texts.atTable & 1]) +
                              (h.control->CallingPocket() ? L" | Select pocket for 8-Ball" : L"");
    std::fprintf(stderr, "tableplay: shown: %s\n", std::string(line.begin(), line.end()).c_str());
  }
  h.tracksShown = tracks;
  h.lastTexts = texts;
  h.lastPocket = pocket;
  h.textsShown = true;
  // The band and the box lie over the scene: frames that would disturb them
  // are drawn in full, and they with them. New texts over an unchanged
  // scene are drawn over what lay under the old ones.
  std::array<std::int32_t, 4> areas[2];
  const int areaCount = ks::play::HudAreas(d, h.small, texts, areas);
  h.scene->scene.SetOverlays(areas, areaCount);
  d.BeginDraw();
  h.scene->DrawFrame();
  if (!h.scene->scene.LastFrameFull() && textsChanged && !h.scene->scene.RestoreOverlays(areas, areaCount)) {
    h.scene->scene.ForceFull();
    h.scene->DrawFrame();
  }
  if (tracks) ks::play::DrawTrackLines(d, h.scene->scene, *h.control->TrackLines());
  if (h.scene->scene.LastFrameFull() || textsChanged) ks::play::DrawHud(d, h.small, h.tiny, texts, &h.scene->icons);
  if (h.control->CallingPocket()) ks::play::DrawCallPocketPrompt(d, h.small, *h.control->CallPocket());
  d.EndDraw();
  d.Present();
}

ks::play::InputEvent MakeEvent(UINT message, WPARAM wParam, LPARAM lParam) {
  return ks::play::InputEvent{message, static_cast<std::uint32_t>(wParam), static_cast<std::int32_t>(lParam),
                              GetTickCount()};
}

void Feed(const ks::play::InputEvent& e) {
  Harness& h = g_harness;
  if (h.over || !h.control) return;
  const std::uint32_t over = h.control->HandleEvent(e);
  if (h.control->State() != h.lastState) {
    h.lastState = h.control->State();
    std::fprintf(stderr, "tableplay: state %d\n", h.lastState);
  }
  if (over == 1) {
    h.over = true;
    const ks::play::HudTexts t = ks::play::MakeHudTexts(h.table->pool(), h.control.get(), L"Player 1",
                                                        h.options.p2 <= 0 ? L"Player 2" : L"Computer");
    std::fprintf(stderr, "tableplay: the game is over: %s\n", std::string(t.result.begin(), t.result.end()).c_str());
  }
}

// rackplan feeds the play control as this tick and PlayProc do (keys and
// the pen as they come, a held key's key-downs from the tick) to plan its
// scripted rack: the two change together.
void OnTick() {
  Harness& h = g_harness;
  // As in the game: a held key of the key map makes the tick its key-down,
  // whatever the host's own repeat.
  const std::uint8_t held =
      ks::play::PolledKey(h.keys.keys, [](std::uint8_t key) { return (GetAsyncKeyState(key) & 0x8000) != 0; });
  Feed(held != 0 ? MakeEvent(WM_KEYDOWN, held, 0) : MakeEvent(WM_TIMER, kFrameTimer, 0));
  Present(false);
}

LRESULT CALLBACK PlayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kFrameTimer) OnTick();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
      Feed(MakeEvent(message, wParam, lParam));
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        DestroyWindow(window);
        return 0;
      }
      // The host's auto-repeat of the key map's keys is dropped: held, they
      // come from the tick.
      if (ks::play::IsPolledRepeat(g_harness.keys.keys, static_cast<std::uint32_t>(wParam),
                                   static_cast<std::uint32_t>(lParam)))
        return 0;
      // Picking a ball and the rewind are commands, as the action bar gives
      // them, once a press.
      if (wParam == 'B' || wParam == 'W') {
        if ((lParam & (1 << 30)) == 0) Feed(MakeEvent(ks::play::kMsgCommand, wParam == 'B' ? 15 : 16, 0));
        return 0;
      }
      Feed(MakeEvent(message, wParam, lParam));
      return 0;
    case WM_KEYUP:
      Feed(MakeEvent(message, wParam, lParam));
      return 0;
    case WM_DESTROY:
      KillTimer(window, kFrameTimer);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
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
    harness::RunOwnScript("tableplay", h.data + "/tableplay/tableplay.script", line);
    return 1;
  }
  HWND window = harness::OpenFullScreenWindow(instance, L"TablePlay", L"Table play", PlayProc, show);
  if (window == nullptr) return 1;
  h.display = harness::OpenDisplay(window, 0, L"Table play");
  if (!h.display) return 1;
  auto archive = std::make_unique<ssMemoryArchive>();
  archive->SetBaseFolder(L"\\", 0);
  harness::AddTableData(*archive, h.data, "tableplay");
  for (const wchar_t* font : {L"Small Fonts7", L"Small Fonts6"}) {
    const std::wstring name = font;
    harness::AddHostFile(*archive, h.data + "/UI/fonts/" + std::string(name.begin(), name.end()) + ".fnt",
                         L"\\Fonts\\" + name + L".fnt", "tableplay");
  }
  h.display->SetArchive(std::move(archive));
  h.small = h.display->GetFont(L"Small Fonts7", L"Fonts", nullptr);
  h.tiny = h.display->GetFont(L"Small Fonts6", L"Fonts", nullptr);

  ks::TableSetup setup;
  setup.game = h.options.game;
  setup.size = h.options.room >= 3 ? ks::TableSize::kLarge : ks::TableSize::kSmall;
  setup.opponent = h.options.p2 < 0    ? ks::Opponent::kPractice
                   : h.options.p2 == 0 ? ks::Opponent::kHuman
                                       : ks::Opponent::kComputer;
  setup.seed = h.options.seed;
  setup.matchGoal = 1;
  setup.pointsGoal = 30;
  h.table = std::make_unique<ks::Table>(setup, &h.clock);
  if (h.options.p2 > 0) h.table->pool().skill = static_cast<std::int16_t>(h.options.p2);
  h.scene = std::make_unique<ks::play::PlayScene>(h.display.get(), &h.table->pool());
  const ks::play::LoadReport report = h.scene->LoadRoom(h.options.room);
  if (report.roomSurfaces < 6 || !report.table || !report.stick || !report.ballTextures)
    std::fprintf(stderr, "tableplay: missing data: room surfaces %d of 6, table %s, stick %s, ball textures %s\n",
                 report.roomSurfaces, report.table ? "yes" : "no", report.stick ? "yes" : "no",
                 report.ballTextures ? "yes" : "no");
  h.scene->SetCamera(ks::play::CameraPreset::kTableEnd);
  h.scene->scene.host.clock = [] { return GetTickCount(); };
  DefaultKeys(&h.keys);
  ks::play::PlayHost host;
  host.clock = [] { return GetTickCount(); };
  host.scene = &h.scene->scene.host;
  host.screenWidth = h.display->m_Rotate & 1 ? h.display->m_Height : h.display->m_Width;
  host.screenHeight = h.display->m_Rotate & 1 ? h.display->m_Width : h.display->m_Height;
  host.gripOutline = [](std::int32_t* points, int capacity) {
    return g_harness.scene->scene.GripOutline(points, capacity);
  };
  host.tipOutline = [](std::int32_t* points, int capacity) {
    return g_harness.scene->scene.TipOutline(points, capacity);
  };
  host.ballOnScreen = [](int ball, int* x, int* y) { return g_harness.scene->scene.BallScreenPoint(ball, x, y); };
  h.control = std::make_unique<ks::play::Control>(&h.table->pool(), &h.scene->view, &h.keys, host);
  h.control->Start();
  Present(true);
  SetTimer(window, kFrameTimer, kFrameMs, nullptr);

  const int code = harness::RunMessageLoop();
  h.control.reset();
  if (h.small != nullptr) h.display->ReleaseFont(h.small);
  if (h.tiny != nullptr) h.display->ReleaseFont(h.tiny);
  h.scene.reset();
  h.table.reset();
  h.display.reset();
  return code;
}

int main(int argc, char** argv) {
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kAnything))
    return *answered;
  return ce::RunProgram(argc, argv, WinMain);
}
