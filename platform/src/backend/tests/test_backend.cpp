#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "backend/backend.h"
#include "backend/headless/headless_input.h"
#include "backend/input.h"
#include "backend/sdl/key_map.h"
#include "backend/sdl/sdl_backend.h"
#include "backend/sdl/viewport.h"
#include "backend/sdl/window_settings.h"
#include "ce/wingdi.h"
#include "gdi/surface.h"
#include "kernel/device.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

using ce::backend::BackendKind;
using ce::backend::HeadlessInput;
using ce::backend::InputEvent;
using ce::backend::InputKind;
using ce::backend::InputSource;
using namespace ce::backend::sdl;

constexpr ScaleMode kAuto{0, true};
constexpr ScaleMode kFit{0, false};

std::string Describe(const InputEvent& e) {
  std::ostringstream out;
  switch (e.kind) {
    case InputKind::PenDown:
      out << "pen down " << e.pen.x << "," << e.pen.y;
      break;
    case InputKind::PenMove:
      out << "pen move " << e.pen.x << "," << e.pen.y;
      break;
    case InputKind::PenUp:
      out << "pen up " << e.pen.x << "," << e.pen.y;
      break;
    case InputKind::KeyDown:
      out << "key down 0x" << std::hex << e.key << (e.repeat ? " repeat" : "");
      break;
    case InputKind::KeyUp:
      out << "key up 0x" << std::hex << e.key;
      break;
    case InputKind::Quit:
      out << "quit";
      break;
    case InputKind::Char:
      out << "char 0x" << std::hex << e.key;
      break;
    case InputKind::Focus:
      out << "focus";
      break;
  }
  if (e.modifiers != 0) out << " mod " << static_cast<int>(e.modifiers);
  return out.str();
}

std::vector<std::string> Drain(InputSource& input) {
  std::vector<std::string> seen;
  InputEvent event;
  while (input.Poll(event)) seen.push_back(Describe(event));
  return seen;
}

// ---------------------------------------------------------------------------
// Where the picture stands and how a window position becomes a device pixel.

TEST(Viewport, LayoutPlacesWholeMultiplesOrFits) {
  struct Case {
    const char* what;
    int windowW, windowH, drawableW, drawableH;
    ScaleMode mode;
    RECT picture;
  };
  const Case cases[] = {
      {"exact 2x", 480, 640, 480, 640, kAuto, {0, 0, 480, 640}},
      {"wider window letterboxes 2x", 700, 700, 700, 700, kAuto, {110, 30, 590, 670}},
      {"chosen 3x takes the largest that fits", 700, 700, 700, 700, ScaleMode{3, false}, {110, 30, 590, 670}},
      {"below 1x falls back to fitting", 200, 200, 200, 200, kAuto, {25, 0, 175, 200}},
      {"fit fills the height", 700, 700, 700, 700, kFit, {87, 0, 612, 700}},
      {"fit fills the width", 300, 1000, 300, 1000, kFit, {0, 300, 300, 700}},
      {"high DPI counts drawable pixels", 480, 640, 960, 1280, kAuto, {0, 0, 960, 1280}},
      {"no drawable", 0, 0, 0, 0, kAuto, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Viewport v = Layout(240, 320, c.windowW, c.windowH, c.drawableW, c.drawableH, c.mode);
    EXPECT_EQ(v.picture.left, c.picture.left);
    EXPECT_EQ(v.picture.top, c.picture.top);
    EXPECT_EQ(v.picture.right, c.picture.right);
    EXPECT_EQ(v.picture.bottom, c.picture.bottom);
  }
}

TEST(Viewport, WindowPositionsMapToDevicePixels) {
  struct Case {
    const char* what;
    int deviceW, deviceH, windowW, windowH, drawableW, drawableH;
    ScaleMode mode;
    int x, y;
    LONG deviceX, deviceY;
    bool inside;
  };
  const Case cases[] = {
      {"1x origin", 240, 320, 240, 320, 240, 320, kAuto, 0, 0, 0, 0, true},
      {"1x far corner", 240, 320, 240, 320, 240, 320, kAuto, 239, 319, 239, 319, true},
      {"1x right of the screen is clamped", 240, 320, 240, 320, 240, 320, kAuto, 240, 7, 239, 7, false},
      {"1x above the screen is clamped", 240, 320, 240, 320, 240, 320, kAuto, 5, -3, 5, 0, false},
      {"2x", 240, 320, 480, 640, 480, 640, kAuto, 5, 5, 2, 2, true},
      {"2x far corner", 240, 320, 480, 640, 480, 640, kAuto, 479, 639, 239, 319, true},
      {"letterbox: last bar column", 240, 320, 600, 640, 600, 640, kAuto, 59, 10, 0, 5, false},
      {"letterbox: first picture column", 240, 320, 600, 640, 600, 640, kAuto, 60, 10, 0, 5, true},
      {"letterbox: last picture column", 240, 320, 600, 640, 600, 640, kAuto, 539, 10, 239, 5, true},
      {"letterbox: right bar", 240, 320, 600, 640, 600, 640, kAuto, 540, 10, 239, 5, false},
      {"high DPI 2: one unit is one device pixel at 2x pixels", 240, 320, 240, 320, 480, 640, kAuto, 10, 11, 10, 11,
       true},
      {"high DPI 2 with letterbox in units", 240, 320, 300, 320, 600, 640, kAuto, 30, 0, 0, 0, true},
      {"high DPI 2 with letterbox, in the bar", 240, 320, 300, 320, 600, 640, kAuto, 29, 0, 0, 0, false},
      {"high DPI 1.5 at 3x: unit 1 is still device 0", 100, 100, 200, 200, 300, 300, kAuto, 1, 1, 0, 0, true},
      {"high DPI 1.5 at 3x: unit 2 is device 1", 100, 100, 200, 200, 300, 300, kAuto, 2, 2, 1, 1, true},
      {"fit: first picture column", 240, 320, 300, 300, 300, 300, kFit, 37, 0, 0, 0, true},
      {"fit: bar just left of it", 240, 320, 300, 300, 300, 300, kFit, 36, 0, 0, 0, false},
      {"fit: far corner", 240, 320, 300, 300, 300, 300, kFit, 261, 299, 239, 319, true},
      {"huge position is clamped, not overflowed", 240, 320, 480, 640, 480, 640, kAuto, 2000000000, -2000000000, 239, 0,
       false},
      {"empty window", 240, 320, 0, 0, 0, 0, kAuto, 5, 5, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Viewport v = Layout(c.deviceW, c.deviceH, c.windowW, c.windowH, c.drawableW, c.drawableH, c.mode);
    const PenPosition p = WindowToDevice(v, c.x, c.y);
    EXPECT_EQ(p.point.x, c.deviceX);
    EXPECT_EQ(p.point.y, c.deviceY);
    EXPECT_EQ(p.inside, c.inside);
  }
}

TEST(Viewport, FirstWindowSizeFitsTheDesktop) {
  struct Case {
    const char* what;
    int desktopW, desktopH;
    ScaleMode mode;
    LONG width, height;
  };
  const Case cases[] = {
      {"auto takes the largest whole multiple", 1920, 1050, kAuto, 720, 960},
      {"fit opens like auto", 1920, 1050, kFit, 720, 960},
      {"chosen 2x", 1920, 1050, ScaleMode{2, false}, 480, 640},
      {"chosen 4x is held to what fits", 1920, 1050, ScaleMode{4, false}, 720, 960},
      {"a desktop smaller than 1x gets the device's shape", 200, 300, kAuto, 184, 245},
      {"unknown desktop: the chosen multiple", 0, 0, ScaleMode{2, false}, 480, 640},
      {"unknown desktop: 1x", 0, 0, kAuto, 240, 320},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SIZE size = InitialWindowSize(240, 320, c.desktopW, c.desktopH, c.mode);
    EXPECT_EQ(size.cx, c.width);
    EXPECT_EQ(size.cy, c.height);
  }
}

TEST(Viewport, RememberedSizeIsHeldToTheDesktop) {
  struct Case {
    const char* what;
    int width, height, desktopW, desktopH;
    LONG expectW, expectH;
  };
  const Case cases[] = {
      {"fits: as it was", 720, 960, 1920, 1050, 720, 960},
      {"too tall for a smaller desktop", 720, 960, 1366, 720, 720, 672},
      {"too wide and too tall", 2000, 1400, 1280, 800, 1264, 752},
      {"the whole usable area leaves room for the frame", 1920, 1050, 1920, 1050, 1904, 1002},
      {"unknown desktop: as it was", 2000, 1400, 0, 0, 2000, 1400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SIZE size = RestoredWindowSize(c.width, c.height, c.desktopW, c.desktopH);
    EXPECT_EQ(size.cx, c.expectW);
    EXPECT_EQ(size.cy, c.expectH);
  }
}

// A program started from another opens over its window, inside the desktop.
TEST(Viewport, AStartedProgramOpensOverItsOpener) {
  struct Case {
    const char* what;
    RECT opener;
    SIZE size;
    RECT desktop;
    LONG x, y;
  };
  const Case cases[] = {
      {"same size: the same spot", {100, 50, 580, 690}, {480, 640}, {0, 0, 1920, 1050}, 100, 50},
      {"smaller: centred on it", {100, 50, 580, 690}, {240, 320}, {0, 0, 1920, 1050}, 220, 210},
      {"held inside the desktop's far edges", {1700, 900, 1900, 1000}, {480, 640}, {0, 0, 1920, 1050}, 1440, 410},
      {"held inside its near edges", {-300, -200, 100, 100}, {480, 640}, {0, 30, 1920, 1050}, 0, 30},
      {"larger than the desktop: its top left", {0, 0, 800, 600}, {1000, 900}, {0, 0, 800, 600}, 0, 0},
      {"unknown desktop: centred", {10, 10, 110, 110}, {200, 200}, {0, 0, 0, 0}, -40, -40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const POINT at = PlaceOverOpener(c.opener, c.size, c.desktop);
    EXPECT_EQ(at.x, c.x);
    EXPECT_EQ(at.y, c.y);
  }
}

TEST(Viewport, ScaleSettingTexts) {
  for (const char* good : {"", "auto", "fit", "1", "2", "3", "4"}) {
    SCOPED_TRACE(good);
    const auto mode = ParseScaleMode(good);
    ASSERT_TRUE(mode);
    EXPECT_STREQ(ScaleModeName(*mode), *good ? good : "auto");
  }
  for (const char* bad : {"0", "5", "2x", "Fit", " 2", "10"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseScaleMode(bad));
  }
}

// ---------------------------------------------------------------------------
// The key map.

// Every device key a program names has a desktop key: the soft keys (F1,
// F2), Back (Escape), action (Enter), Talk or the game's "Start" (F3), End
// (F4), "*" and "#" (F8, F9), Home (F12), the arrows and the digits.
TEST(KeyMap, DefaultsGiveTheDeviceKeys) {
  const KeyMap map = KeyMap::Defaults();
  const struct {
    const char* key;
    WORD code;
  } cases[] = {
      {"Up", 0x26},
      {"Down", 0x28},
      {"Left", 0x25},
      {"Right", 0x27},
      {"Return", 0x0D},
      {"KeypadEnter", 0x0D},
      {"F1", 0x70},
      {"F2", 0x71},
      {"Escape", 0x1B},
      {"F3", 0x72},
      {"F4", 0x73},
      {"F8", 0x77},
      {"F9", 0x78},
      {"F12", 0x5B},
      {"Backspace", 0x08},
      {"LeftShift", 0x10},
      {"A", 0x41},
      {"z", 0x5A},
      {"0", 0x30},
      {"9", 0x39},
      {"Keypad5", 0x35},
      {"Comma", 0xBC},
      {"F11", 0},
      {"LeftGui", 0},
      {"CapsLock", 0x14},
      {"KeypadPlus", 0x6B},
      {"KeypadMinus", 0x6D},
      {"KeypadMultiply", 0x6A},
      {"KeypadDivide", 0x6F},
      {"KeypadPeriod", 0x6E},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const auto scancode = ScancodeFromName(c.key);
    ASSERT_TRUE(scancode);
    EXPECT_EQ(map.Lookup(*scancode), c.code);
  }
  EXPECT_EQ(map.Lookup(-1), 0);
  EXPECT_EQ(map.Lookup(kScancodeCount), 0);
}

TEST(KeyMap, DeviceKeyTexts) {
  const struct {
    const char* text;
    int code;  // -1: refused
  } cases[] = {
      {"VK_TSOFT1", 0x70}, {"vk_tback", 0x1B}, {"0x5BDD", 0x5BDD}, {"0X26", 0x26}, {"112", 112},    {"q", 'Q'},
      {"7", '7'},          {"0", '0'},         {"0xFFFF", 0xFFFF}, {"00", -1},     {"0x10000", -1}, {"-5", -1},
      {"0x", -1},          {"12a", -1},        {"VK_NOPE", -1},    {"", -1},       {"#", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto code = DeviceKeyFromText(c.text);
    if (c.code < 0) {
      EXPECT_FALSE(code);
    } else {
      ASSERT_TRUE(code);
      EXPECT_EQ(*code, c.code);
    }
  }
}

TEST(KeyMap, ConfigurationEntriesApplyOverTheDefaults) {
  KeyMap map = KeyMap::Defaults();
  const auto problems =
      map.Apply(" F5 = VK_THOME; Escape=none;;q=0x51 ; KeypadMultiply=119; Nope=0x26; F3; F4=VK_NOPE; F6=00; F11=0x70");
  EXPECT_EQ(map.Lookup(*ScancodeFromName("F5")), 0x5B);
  EXPECT_EQ(map.Lookup(*ScancodeFromName("Escape")), 0);
  EXPECT_EQ(map.Lookup(*ScancodeFromName("Q")), 0x51);
  EXPECT_EQ(map.Lookup(*ScancodeFromName("KeypadMultiply")), 119);
  // Entries that could not be used leave the keys as they were.
  EXPECT_EQ(map.Lookup(*ScancodeFromName("F3")), 0x72);
  EXPECT_EQ(map.Lookup(*ScancodeFromName("F4")), 0x73);
  EXPECT_EQ(map.Lookup(*ScancodeFromName("F6")), 0x75);
  EXPECT_EQ(map.Lookup(kScancodeF11), 0);
  ASSERT_EQ(problems.size(), 5u);
  EXPECT_NE(problems[0].find("Nope"), std::string::npos);
  EXPECT_NE(problems[1].find("\"F3\""), std::string::npos);
  EXPECT_NE(problems[2].find("VK_NOPE"), std::string::npos);
  EXPECT_NE(problems[4].find("F11"), std::string::npos);
}

// ---------------------------------------------------------------------------
// The remembered window.

TEST(RememberedWindow, RoundTripAndDamagedFiles) {
  ce::test::TempDevice device;
  const std::string path = RememberedWindowPath();
  EXPECT_FALSE(ReadRememberedWindow(path));  // none yet

  ASSERT_TRUE(WriteRememberedWindow(path, RememberedWindow{"fit", 500, 700, true}));
  const auto back = ReadRememberedWindow(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->scale, "fit");
  EXPECT_EQ(back->width, 500);
  EXPECT_EQ(back->height, 700);
  EXPECT_TRUE(back->fullScreen);

  const char* damaged[] = {
      "scale = auto\nwidth = 480\n",                  // no height
      "scale = auto\nwidth = 0\nheight = 640\n",      // zero size
      "scale = auto\nwidth = 99999\nheight = 640\n",  // too large
      "scale = auto\nwidth = 48O\nheight = 640\n",    // not a number
      "scale = auto\nwidth = 480\nheight = 640\nfullscreen = 2\n",
      "scale = auto\nwidth 480\nheight = 640\n",  // not key = value
  };
  for (const char* text : damaged) {
    SCOPED_TRACE(text);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    EXPECT_FALSE(ReadRememberedWindow(path));
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(5000, '#');
  EXPECT_FALSE(ReadRememberedWindow(path));
  // Comments, blank lines and keys of other versions are fine.
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      << "# note\n\nscale = 2   # chosen\nwidth=480\nheight=640\nposition = 3\n";
  const auto kept = ReadRememberedWindow(path);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->scale, "2");
  EXPECT_FALSE(kept->fullScreen);
}

// ---------------------------------------------------------------------------
// Choosing the back end.

TEST(Backend, ChosenFromTheSettingOrTheDesktop) {
  struct Case {
    const char* backend;
    const char* display;
    const char* wayland;
    BackendKind kind;
  };
  const Case cases[] = {
      {"", "", "", BackendKind::Headless},     {"", ":0", "", BackendKind::Sdl},
      {"", "", "wayland-0", BackendKind::Sdl}, {"headless", ":0", "", BackendKind::Headless},
      {"sdl", "", "", BackendKind::Sdl},       {"bogus", ":0", "", BackendKind::Headless},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.backend) + "/" + c.display + "/" + c.wayland);
    ce::test::ScopedSetting backend("DEVICE_BACKEND", c.backend);
    ce::test::ScopedSetting display("DISPLAY", c.display);
    ce::test::ScopedSetting wayland("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(ce::backend::ChosenBackend(), c.kind);
  }
}

// ---------------------------------------------------------------------------
// The headless input queue.

TEST(HeadlessInput, EventsComeOutInOrder) {
  InputSource::Reset();
  auto source = InputSource::Current();
  auto* input = dynamic_cast<HeadlessInput*>(source.get());
  ASSERT_NE(input, nullptr) << "tests run on the headless back end";
  EXPECT_EQ(InputSource::Current(), source);

  input->PushPen(InputKind::PenDown, 3, 4);
  input->PushPen(InputKind::PenMove, 5, 6, ce::backend::kModifierShift);
  input->PushPen(InputKind::PenUp, 5, 6);
  input->PushKey(InputKind::KeyDown, 0x70);
  input->PushKey(InputKind::KeyDown, 0x70, 0, true);
  input->PushKey(InputKind::KeyUp, 0x70);
  input->PushQuit();
  EXPECT_EQ(input->pending(), 7u);
  EXPECT_EQ(Drain(*input), (std::vector<std::string>{"pen down 3,4", "pen move 5,6 mod 1", "pen up 5,6",
                                                     "key down 0x70", "key down 0x70 repeat", "key up 0x70", "quit"}));
  InputEvent event;
  EXPECT_FALSE(input->Poll(event));
  InputSource::Reset();
}

int g_arrivals = 0;

// Injected input (a scripted run's) is queued like the user's own and the
// arrival handler is told each time.
TEST(HeadlessInput, InjectedEventsQueueAndTellTheArrivalHandler) {
  HeadlessInput input;
  g_arrivals = 0;
  ce::backend::SetInputArrivalHandler([] { ++g_arrivals; });
  input.PushKey(InputKind::KeyDown, 0x41);
  InputEvent event;
  event.kind = InputKind::Char;
  event.key = L'z';
  input.Inject(event);
  event.kind = InputKind::PenDown;
  event.pen = POINT{7, 8};
  input.Inject(event);
  ce::backend::SetInputArrivalHandler(nullptr);
  EXPECT_EQ(g_arrivals, 2);
  EXPECT_TRUE(input.Wait(0));
  EXPECT_EQ(Drain(input), (std::vector<std::string>{"key down 0x41", "char 0x7a", "pen down 7,8"}));
}

TEST(HeadlessInput, WaitEndsOnEventWakeOrTimeout) {
  HeadlessInput input;
  EXPECT_FALSE(input.Wait(0));
  EXPECT_FALSE(input.Wait(20));

  // A wake before the wait ends it at once, and only that one.
  input.Wake();
  EXPECT_TRUE(input.Wait(ce::backend::kWaitForever));
  EXPECT_FALSE(input.Wait(0));

  // An event or a wake from another thread ends a wait without a limit.
  std::thread pusher([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    input.PushKey(InputKind::KeyDown, 0x26);
  });
  EXPECT_TRUE(input.Wait(ce::backend::kWaitForever));
  pusher.join();
  EXPECT_EQ(Drain(input), (std::vector<std::string>{"key down 0x26"}));

  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    input.Wake();
  });
  EXPECT_TRUE(input.Wait(ce::backend::kWaitForever));
  waker.join();
  EXPECT_EQ(input.pending(), 0u);
}

// Asked for a window with no display to show it on, a program ends at once
// with a word on why, instead of running unseen on a driver that draws
// into memory.
TEST(SdlWithoutDisplay, EndsTheProgramSayingSo) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) ::unsetenv(name);
        ce::backend::sdl::CreateInput();
      },
      ::testing::ExitedWithCode(1), "no display found.*DEVICE_BACKEND=headless");
}

// ---------------------------------------------------------------------------
// The desktop back end on the desktop library's dummy video driver: a real
// window, renderer and event queue, without a display.

class SdlBackend : public ::testing::Test {
 protected:
  static constexpr int kWidth = 240;
  static constexpr int kHeight = 320;

  SdlBackend() : pixels_(static_cast<std::size_t>(kWidth) * kHeight, 0) {
    format_ = ce::gdi::PixelFormat::Rgb565();
    frame_.origin = reinterpret_cast<BYTE*>(pixels_.data());
    frame_.colStep = 2;
    frame_.rowStep = kWidth * 2;
    frame_.width = kWidth;
    frame_.height = kHeight;
    frame_.format = format_.get();
  }

  void Fill(const RECT& r, std::uint16_t pixel) {
    for (LONG y = r.top; y < r.bottom; ++y) {
      for (LONG x = r.left; x < r.right; ++x) pixels_[static_cast<std::size_t>(y) * kWidth + x] = pixel;
    }
  }

  // The window-unit position of the centre of a device pixel.
  POINT WindowPointOf(int x, int y) const {
    const auto state = CurrentWindowState();
    const Viewport& v = state->viewport;
    const LONG pw = v.picture.right - v.picture.left, ph = v.picture.bottom - v.picture.top;
    const LONG px = v.picture.left + (2 * x + 1) * pw / (2 * kWidth);
    const LONG py = v.picture.top + (2 * y + 1) * ph / (2 * kHeight);
    return POINT{px * v.windowWidth / v.drawableWidth, py * v.windowHeight / v.drawableHeight};
  }

  // The colour shown at a device pixel.
  COLORREF Shown(int x, int y) const {
    const auto state = CurrentWindowState();
    const Viewport& v = state->viewport;
    const LONG pw = v.picture.right - v.picture.left, ph = v.picture.bottom - v.picture.top;
    return ShownPixel(v.picture.left + (2 * x + 1) * pw / (2 * kWidth),
                      v.picture.top + (2 * y + 1) * ph / (2 * kHeight));
  }

  ce::test::TempDevice device_;
  ce::test::ScopedSetting driver_{"SDL_VIDEODRIVER", "dummy"};
  std::vector<std::uint16_t> pixels_;
  std::shared_ptr<const ce::gdi::PixelFormat> format_;
  ce::gdi::Surface frame_;
};

TEST_F(SdlBackend, OpensPresentsAndCloses) {
  Fill(RECT{0, 0, kWidth, kHeight}, 0xF800);  // red
  auto display = CreateDisplay(frame_);
  ASSERT_NE(display, nullptr);
  auto state = CurrentWindowState();
  ASSERT_TRUE(state);
  EXPECT_FALSE(state->fullScreen);
  EXPECT_FALSE(state->smooth);
  const Viewport& v = state->viewport;
  EXPECT_EQ(v.deviceWidth, kWidth);
  EXPECT_EQ((v.picture.right - v.picture.left) % kWidth, 0) << "whole multiples by default";
  EXPECT_EQ(Shown(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(Shown(kWidth - 1, kHeight - 1), RGB(255, 0, 0));

  // Only the presented rectangle changes.
  Fill(RECT{0, 0, kWidth, kHeight}, 0x07E0);  // green everywhere in memory
  display->Present(RECT{10, 20, 30, 40});
  EXPECT_EQ(Shown(10, 20), RGB(0, 255, 0));
  EXPECT_EQ(Shown(29, 39), RGB(0, 255, 0));
  EXPECT_EQ(Shown(30, 40), RGB(255, 0, 0));

  display->SetPowerState(VideoPowerOff);
  EXPECT_EQ(Shown(10, 20), RGB(0, 0, 0));
  display->SetPowerState(VideoPowerOn);
  EXPECT_EQ(Shown(10, 20), RGB(0, 255, 0));

  display.reset();
  EXPECT_FALSE(CurrentWindowState());
}

// A frame presented again unchanged, whole or in part, draws nothing in the
// window; a change of one pixel draws it, in its colour.
TEST_F(SdlBackend, AnUnchangedFrameIsNotDrawnAgain) {
  Fill(RECT{0, 0, kWidth, kHeight}, 0x001F);  // blue
  auto display = CreateDisplay(frame_);
  auto input = CreateInput();
  ASSERT_NE(display, nullptr);
  input->Wait(20);
  const std::uint64_t drawn = RenderedFrames();
  for (int i = 0; i < 20; ++i) {
    display->Present(RECT{0, 0, kWidth, kHeight});
    display->Present(RECT{5, 5, 50, 50});
    input->Wait(10);
  }
  EXPECT_EQ(RenderedFrames(), drawn) << "an unchanged frame was drawn again";
  Fill(RECT{100, 200, 101, 201}, 0xFFE0);  // one yellow pixel
  display->Present(RECT{0, 0, kWidth, kHeight});
  input->Wait(20);
  EXPECT_EQ(RenderedFrames(), drawn + 1);
  EXPECT_EQ(Shown(100, 200), RGB(255, 255, 0));
  EXPECT_EQ(Shown(101, 200), RGB(0, 0, 255));
}

// Every screen format, upright or turned in memory, is shown in exactly the
// colours its pixels stand for.
TEST_F(SdlBackend, EveryScreenFormatIsShownInItsColours) {
  using ce::gdi::PixelFormat;
  const struct Case {
    const char* name;
    std::shared_ptr<const PixelFormat> format;
    bool turned;  // columns run along memory columns
  } cases[] = {
      {"5-6-5", PixelFormat::Rgb565(), false},
      {"5-6-5 turned", PixelFormat::Rgb565(), true},
      {"5-5-5", PixelFormat::Direct(16, 0x7C00, 0x03E0, 0x001F), false},
      {"x8-8-8", PixelFormat::Xrgb8888(), false},
      {"x8-8-8 turned", PixelFormat::Xrgb8888(), true},
      {"b8-g8-r8", PixelFormat::Direct(32, 0x0000FF, 0x00FF00, 0xFF0000), false},
      {"10-10-10", PixelFormat::Direct(32, 0x3FF00000, 0x000FFC00, 0x000003FF), false},
      {"24 bits", PixelFormat::Direct(24, 0, 0, 0), true},
      {"8-bit table", PixelFormat::Indexed(8, {RGBQUAD{10, 20, 30, 0}, RGBQUAD{255, 128, 0, 0}, RGBQUAD{1, 2, 3, 0}}),
       false},
      {"1 bit", PixelFormat::Monochrome(), false},
  };
  const DWORD values[] = {0, 1, 2, 0x5A5A5A5A, 0xA5C3E7F1, 0xFFFFFFFF, 0x12345678, 0x0000F800};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int bpp = c.format->bitsPerPixel();
    std::vector<BYTE> memory(static_cast<std::size_t>(kWidth) * kHeight * 4 + 64, 0);
    ce::gdi::Surface frame;
    frame.origin = memory.data();
    frame.width = kWidth;
    frame.height = kHeight;
    frame.format = c.format.get();
    if (bpp == 1) {
      frame.rowStep = static_cast<std::ptrdiff_t>(ce::gdi::DibRowBytes(kWidth, 1));
    } else if (c.turned) {
      frame.colStep = static_cast<std::ptrdiff_t>(kHeight) * (bpp / 8);
      frame.rowStep = bpp / 8;
    } else {
      frame.colStep = bpp / 8;
      frame.rowStep = static_cast<std::ptrdiff_t>(kWidth) * (bpp / 8);
    }
    const DWORD mask = c.format->valueMask();
    // Pixel k of the test row holds values[k], from the first present on;
    // then each is replaced by the next value and presented again.
    for (std::size_t k = 0; k < std::size(values); ++k) {
      frame.Write(static_cast<int>(3 * k), 7, values[k] & mask);
    }
    auto display = CreateDisplay(frame);
    ASSERT_NE(display, nullptr);
    for (int round = 0; round < 2; ++round) {
      for (std::size_t k = 0; k < std::size(values); ++k) {
        const DWORD value = values[(k + static_cast<std::size_t>(round)) % std::size(values)] & mask;
        EXPECT_EQ(Shown(static_cast<int>(3 * k), 7), c.format->ToColor(value)) << "value " << value;
      }
      EXPECT_EQ(Shown(1, 7), c.format->ToColor(0));
      for (std::size_t k = 0; k < std::size(values); ++k) {
        frame.Write(static_cast<int>(3 * k), 7, values[(k + 1) % std::size(values)] & mask);
      }
      display->Present(RECT{0, 0, kWidth, kHeight});
    }
  }
}

TEST_F(SdlBackend, FrameFromAnotherThreadIsShownAtTheNextLook) {
  auto display = CreateDisplay(frame_);
  auto input = CreateInput();
  ASSERT_NE(display, nullptr);
  ASSERT_NE(input, nullptr);
  Fill(RECT{0, 0, 8, 8}, 0x001F);  // blue
  std::thread drawer([&] { display->Present(RECT{0, 0, 8, 8}); });
  drawer.join();
  EXPECT_TRUE(input->Wait(1000)) << "a present from another thread wakes the window thread";
  EXPECT_EQ(Shown(0, 0), RGB(0, 0, 255));
}

TEST_F(SdlBackend, MouseIsThePen) {
  auto display = CreateDisplay(frame_);
  auto input = CreateInput();
  ASSERT_NE(display, nullptr);
  ASSERT_NE(input, nullptr);
  const POINT a = WindowPointOf(10, 20);
  const POINT b = WindowPointOf(11, 20);
  SimulateMouseMotion(a.x, a.y);  // hovering is not seen
  SimulateMouseButton(true, a.x, a.y);
  SimulateMouseMotion(a.x, a.y);  // the same device pixel: nothing new
  SimulateMouseMotion(b.x, b.y);
  SimulateMouseMotion(-50, 100000);  // dragged off the window: held at the edges
  SimulateMouseButton(false, -50, 100000);
  EXPECT_EQ(Drain(*input),
            (std::vector<std::string>{"pen down 10,20", "pen move 11,20", "pen move 0,319", "pen up 0,319"}));

  // A wide window letterboxes the picture; a tap on the bar is not a tap.
  SimulateResize(kWidth * 3, kHeight);
  Drain(*input);
  const auto state = CurrentWindowState();
  ASSERT_GT(state->viewport.picture.left, 0);
  SimulateMouseButton(true, 1, 1);
  SimulateMouseButton(false, 1, 1);
  EXPECT_TRUE(Drain(*input).empty());
  const POINT c = WindowPointOf(0, 0);
  SimulateMouseButton(true, c.x, c.y);
  SimulateFocusLost();  // a pen held when the window loses focus is lifted
  EXPECT_EQ(Drain(*input), (std::vector<std::string>{"pen down 0,0", "pen up 0,0"}));
}

TEST_F(SdlBackend, KeyboardIsTheDeviceKeys) {
  auto display = CreateDisplay(frame_);
  auto input = CreateInput();
  ASSERT_NE(display, nullptr);
  ASSERT_NE(input, nullptr);
  const int f1 = *ScancodeFromName("F1"), escape = *ScancodeFromName("Escape"), up = *ScancodeFromName("Up");
  const int shift = *ScancodeFromName("LeftShift"), a = *ScancodeFromName("A");
  const int unbound = *ScancodeFromName("PrintScreen");
  SimulateKey(true, f1, 0);
  SimulateKey(true, f1, 0, true);  // held: the desktop repeats it
  SimulateKey(false, f1, 0);
  SimulateKey(true, escape, 0);
  SimulateKey(false, escape, 0);
  SimulateKey(true, shift, ce::backend::kModifierShift);
  SimulateKey(true, a, ce::backend::kModifierShift);
  SimulateKey(false, a, ce::backend::kModifierShift);
  SimulateKey(false, shift, 0);
  SimulateKey(true, unbound, 0);  // not a device key
  SimulateKey(false, unbound, 0);
  SimulateKey(false, up, 0);  // released without a press we saw
  EXPECT_EQ(Drain(*input), (std::vector<std::string>{"key down 0x70", "key down 0x70 repeat", "key up 0x70",
                                                     "key down 0x1b", "key up 0x1b", "key down 0x10 mod 1",
                                                     "key down 0x41 mod 1", "key up 0x41 mod 1", "key up 0x10"}));

  // A key held when the window loses the keyboard is released; the person
  // giving it the keyboard again is told on.
  SimulateKey(true, up, 0);
  SimulateFocusLost();
  SimulateFocusGained();
  EXPECT_EQ(Drain(*input), (std::vector<std::string>{"key down 0x26", "key up 0x26", "focus"}));
}

TEST_F(SdlBackend, InjectedEventsFollowTheHostsOwn) {
  auto display = CreateDisplay(frame_);
  auto input = CreateInput();
  ASSERT_NE(display, nullptr);
  ASSERT_NE(input, nullptr);
  InputEvent event;
  event.kind = InputKind::Char;
  event.key = L'q';
  // From another thread, as a script gives it.
  std::thread([&] { input->Inject(event); }).join();
  SimulateKey(true, *ScancodeFromName("Escape"), 0);
  EXPECT_TRUE(input->Wait(0));
  EXPECT_EQ(Drain(*input), (std::vector<std::string>{"key down 0x1b", "char 0x71"}));
}

TEST_F(SdlBackend, FullScreenTogglesAreTheWindowsAndRemembered) {
  auto display = CreateDisplay(frame_);
  auto input = CreateInput();
  ASSERT_NE(display, nullptr);
  const int f11 = kScancodeF11, enter = *ScancodeFromName("Return");
  const Viewport windowed = CurrentWindowState()->viewport;
  SimulateKey(true, f11, 0);
  SimulateKey(false, f11, 0);
  EXPECT_TRUE(Drain(*input).empty());
  EXPECT_TRUE(CurrentWindowState()->fullScreen);
  auto saved = ReadRememberedWindow(RememberedWindowPath());
  ASSERT_TRUE(saved);
  EXPECT_TRUE(saved->fullScreen);
  EXPECT_EQ(saved->scale, "auto");

  SimulateKey(true, enter, ce::backend::kModifierAlt);
  SimulateKey(false, enter, 0);  // the Enter of Alt+Enter never reaches the device
  EXPECT_TRUE(Drain(*input).empty());
  EXPECT_FALSE(CurrentWindowState()->fullScreen);
  saved = ReadRememberedWindow(RememberedWindowPath());
  ASSERT_TRUE(saved);
  EXPECT_FALSE(saved->fullScreen);
  // Back from full screen the window has its own size again, not the
  // desktop's (a desktop without a window manager leaves the larger one).
  Drain(*input);
  EXPECT_EQ(CurrentWindowState()->viewport.windowWidth, windowed.windowWidth);
  EXPECT_EQ(CurrentWindowState()->viewport.windowHeight, windowed.windowHeight);
}

TEST_F(SdlBackend, RemembersTheSizeForTheSameScaleSetting) {
  ASSERT_TRUE(WriteRememberedWindow(RememberedWindowPath(), RememberedWindow{"auto", 300, 400, false}));
  {
    auto display = CreateDisplay(frame_);
    ASSERT_NE(display, nullptr);
    const auto state = CurrentWindowState();
    EXPECT_EQ(state->viewport.windowWidth, 300);
    EXPECT_EQ(state->viewport.windowHeight, 400);
    // A resize is written once the window has closed, at the latest.
    SimulateResize(260, 330);
    auto input = CreateInput();
    Drain(*input);
  }
  auto saved = ReadRememberedWindow(RememberedWindowPath());
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->width, 260);
  EXPECT_EQ(saved->height, 330);

  // Under another scale setting the remembered size is not used.
  ce::test::ScopedSetting scale("DEVICE_WINDOW_SCALE", "1");
  auto display = CreateDisplay(frame_);
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(CurrentWindowState()->viewport.windowWidth, kWidth);
  EXPECT_EQ(CurrentWindowState()->viewport.windowHeight, kHeight);
}

TEST_F(SdlBackend, ConfiguredKeysFilterAndQuit) {
  ce::test::ScopedSetting keys("DEVICE_KEYMAP", "F12=VK_THOME; Escape=none");
  ce::test::ScopedSetting filter("DEVICE_WINDOW_FILTER", "smooth");
  auto display = CreateDisplay(frame_);
  auto input = CreateInput();
  ASSERT_NE(display, nullptr);
  EXPECT_TRUE(CurrentWindowState()->smooth);
  SimulateKey(true, *ScancodeFromName("F12"), 0);
  SimulateKey(true, *ScancodeFromName("Escape"), 0);
  SimulateClose();
  EXPECT_EQ(Drain(*input), (std::vector<std::string>{"key down 0x5b", "quit"}));
}

TEST_F(SdlBackend, WakeEndsAWaitFromAnotherThread) {
  auto input = CreateInput();
  ASSERT_NE(input, nullptr);
  EXPECT_FALSE(input->Wait(10));
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    input->Wake();
  });
  EXPECT_TRUE(input->Wait(ce::backend::kWaitForever));
  waker.join();
  input->Wake();
  input->Wake();  // two wakes before a wait end one wait
  EXPECT_TRUE(input->Wait(0));
  EXPECT_FALSE(input->Wait(0));
}

}  // namespace
