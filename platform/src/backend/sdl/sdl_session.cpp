#include "backend/sdl/sdl_session.h"

#include "backend/sdl/desktop_glue.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <string_view>

#include "gdi/rows.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "kernel/process.h"

namespace ce::backend::sdl {
namespace {

// Drawing through the screen presents every change; the window is redrawn
// at most this often, and whatever is left over when the program next looks
// for input.
constexpr auto kRenderInterval = std::chrono::milliseconds(8);
// A size the person is still dragging is written once it has rested this long.
constexpr auto kSaveDelay = std::chrono::milliseconds(500);

// The key codes below are the USB usage numbers the key map is written in.
static_assert(SDL_SCANCODE_A == 4 && SDL_SCANCODE_1 == 30 && SDL_SCANCODE_0 == 39);
static_assert(SDL_SCANCODE_RETURN == 40 && SDL_SCANCODE_ESCAPE == 41 && SDL_SCANCODE_F1 == 58);
static_assert(SDL_SCANCODE_F11 == kScancodeF11 && SDL_SCANCODE_UP == 82 && SDL_SCANCODE_KP_ENTER == 88);
static_assert(SDL_SCANCODE_KP_0 == 98 && SDL_SCANCODE_APPLICATION == 101 && SDL_SCANCODE_RGUI == 231);
static_assert(SDL_NUM_SCANCODES == kScancodeCount);

struct Registry {
  std::mutex lock;
  std::weak_ptr<Session> session;
};

Registry& TheRegistry() {
  static auto* registry = new Registry;  // never destroyed: windows may close during static destruction
  return *registry;
}

std::string ProgramTitle() {
  if (auto name = ce::device::Setting("program_name"); name && !name->empty()) return *name;
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "Device";
  std::string exe(path, static_cast<std::size_t>(n));
  exe = exe.substr(exe.rfind('/') + 1);
  if (const auto dot = exe.rfind('.'); dot != std::string::npos && dot > 0) exe.resize(dot);
  return exe.empty() ? "Device" : exe;
}

void LogDriversOnce(SDL_Renderer* renderer) {
  static std::atomic<bool> logged{false};
  if (logged.exchange(true)) return;
  SDL_RendererInfo info{};
  const char* rendererName = renderer && SDL_GetRendererInfo(renderer, &info) == 0 ? info.name : "none";
  const char* audio = SDL_WasInit(SDL_INIT_AUDIO) ? SDL_GetCurrentAudioDriver() : nullptr;
  ce::kernel::Diagnostic("platform: SDL video driver \"%s\" (renderer \"%s\"), audio driver \"%s\"",
                         SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "none", rendererName,
                         audio ? audio : "not started");
}

// Whether the desktop library found a display. With none it settles on a
// driver that draws into memory; that is only right when asked for by name
// (SDL_VIDEODRIVER), as the tests do.
bool OnADisplay() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr) return false;
  const std::string_view name = driver;
  if (name != "offscreen" && name != "dummy") return true;
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  return asked != nullptr && *asked != 0;
}

bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Union(const RECT& a, const RECT& b) {
  if (Empty(a)) return b;
  if (Empty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

// The variable that tells a started program where the window of the program
// that started it is: "left,top,width,height" in window units.
constexpr std::string_view kOpenerVariable = "CE_OPENER_WINDOW";

std::vector<std::string> OpenerVariables() {
  const auto session = Session::Running();
  const auto place = session ? session->Place() : std::nullopt;
  if (!place) return {};
  return {std::string(kOpenerVariable) + "=" + std::to_string(place->left) + "," + std::to_string(place->top) + "," +
          std::to_string(place->right - place->left) + "," + std::to_string(place->bottom - place->top)};
}

std::optional<RECT> OpenerWindow() {
  const char* text = std::getenv(std::string(kOpenerVariable).c_str());
  if (text == nullptr) return std::nullopt;
  int x = 0, y = 0, w = 0, h = 0;
  char extra = 0;
  if (std::sscanf(text, "%d,%d,%d,%d%c", &x, &y, &w, &h, &extra) != 4 || w <= 0 || h <= 0 || w > kMaxRememberedSize ||
      h > kMaxRememberedSize || std::abs(x) > kMaxRememberedSize || std::abs(y) > kMaxRememberedSize) {
    return std::nullopt;
  }
  return RECT{x, y, x + w, y + h};
}

int MillisecondsUntil(std::chrono::steady_clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

std::shared_ptr<Session> Session::Get() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  if (auto session = registry.session.lock()) return session;
  // Ctrl+C in the terminal ends the program as it always does; the desktop
  // library would otherwise turn it into a quit request.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  const bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (!started || !OnADisplay()) {
    // A program asked to show a window with no desktop to show it on would
    // run unseen and never end: it stops here, saying why.
    if (started) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      ce::kernel::Diagnostic(
          "platform: no display found (neither DISPLAY nor WAYLAND_DISPLAY names one that answers). "
          "Set DEVICE_BACKEND=headless to run without a window.");
    } else {
      ce::kernel::Diagnostic("platform: no display found: %s. Set DEVICE_BACKEND=headless to run without a window.",
                             SDL_GetError());
    }
    std::fflush(nullptr);
    // Nothing of the program has run yet; no exit handler is to run with
    // the platform's locks held.
    std::_Exit(1);
  }
  auto session = std::make_shared<Session>();
  registry.session = session;
  return session;
}

std::shared_ptr<Session> Session::Running() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  return registry.session.lock();
}

namespace {

// Whether the video driver takes events from a desktop (not the dummy or
// offscreen drivers, which only see what is pushed).
bool DriverHasHostEvents() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr) return false;
  const std::string_view name = driver;
  return name != "offscreen" && name != "dummy";
}

}  // namespace

Session::Session() : owner_(std::this_thread::get_id()), hostEvents_(DriverHasHostEvents()) {
  wakeEvent_ = SDL_RegisterEvents(1);
  const std::string scale = ce::device::SettingOr("window_scale", "auto");
  if (const auto mode = ParseScaleMode(scale)) {
    mode_ = *mode;
  } else {
    ce::kernel::Diagnostic("platform: device setting window_scale = \"%s\" is not auto, 1 to 4 or fit; using auto",
                           scale.c_str());
  }
  const std::string filter = ce::device::SettingOr("window_filter", "");
  smooth_ = !mode_.automatic && mode_.scale == 0;
  if (filter == "smooth") {
    smooth_ = true;
  } else if (filter == "nearest") {
    smooth_ = false;
  } else if (!filter.empty()) {
    ce::kernel::Diagnostic("platform: device setting window_filter = \"%s\" is not nearest or smooth", filter.c_str());
  }
  for (const std::string& problem : keys_.Apply(ce::device::SettingOr("keymap", ""))) {
    ce::kernel::Diagnostic("platform: %s; the entry is ignored", problem.c_str());
  }
}

Session::~Session() {
  if (window_) CloseWindow(windowOwner_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool Session::OpenWindow(const gdi::Surface& frame, const void* owner) {
  if (!OnOwnerThread()) {
    ce::kernel::Diagnostic("platform: the desktop window must be opened on the program's window thread");
    return false;
  }
  if (frame.width <= 0 || frame.height <= 0 || !frame.format) return false;
  if (!window_) {
    SDL_Rect desktop{};
    if (SDL_GetDisplayUsableBounds(0, &desktop) != 0) desktop = SDL_Rect{};
    remembered_ = RememberedWindow{ScaleModeName(mode_), 0, 0, false};
    written_ = false;
    SIZE size = InitialWindowSize(frame.width, frame.height, desktop.w, desktop.h, mode_);
    if (auto saved = ReadRememberedWindow(RememberedWindowPath()); saved && saved->scale == remembered_.scale) {
      remembered_.fullScreen = saved->fullScreen;
      size = RestoredWindowSize(saved->width, saved->height, desktop.w, desktop.h);
      written_ = size.cx == saved->width && size.cy == saved->height;
    }
    remembered_.width = size.cx;
    remembered_.height = size.cy;
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (remembered_.fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    // Started from another program: over its window, as a program started
    // on the device takes the screen where the last one was.
    int x = SDL_WINDOWPOS_CENTERED;
    int y = SDL_WINDOWPOS_CENTERED;
    if (const auto opener = OpenerWindow()) {
      const POINT at =
          PlaceOverOpener(*opener, size, RECT{desktop.x, desktop.y, desktop.x + desktop.w, desktop.y + desktop.h});
      x = at.x;
      y = at.y;
    }
    window_ = SDL_CreateWindow(ProgramTitle().c_str(), x, y, size.cx, size.cy, flags);
    if (window_) {
      renderer_ = SDL_CreateRenderer(window_, -1, 0);
      if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!window_ || !renderer_) {
      ce::kernel::Diagnostic("platform: cannot open the desktop window: %s", SDL_GetError());
      if (window_) SDL_DestroyWindow(window_);
      window_ = nullptr;
      return false;
    }
    SDL_SetWindowMinimumSize(window_, std::max(frame.width / 2, 1), std::max(frame.height / 2, 1));
    NotePlace();
    ce::kernel::process::SetChildVariables(&OpenerVariables);
    if (remembered_.fullScreen) {
      windowedAt_ = SDL_Point{desktop.x + (desktop.w - size.cx) / 2, desktop.y + (desktop.h - size.cy) / 2};
    } else {
      SDL_GetWindowPosition(window_, &windowedAt_.x, &windowedAt_.y);
    }
    // Keys are read by scancode; composed text would only hold keys back.
    SDL_StopTextInput();
    LogDriversOnce(renderer_);
    // A program usually ends without closing its screen; a size changed in
    // its last moments is still written.
    static std::once_flag atExit;
    std::call_once(atExit, [] {
      std::atexit([] {
        if (auto session = Running()) session->SavePending();
      });
    });
  }
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ =
      SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_XRGB8888, SDL_TEXTUREACCESS_STREAMING, frame.width, frame.height);
  if (!texture_) {
    ce::kernel::Diagnostic("platform: cannot make the desktop window's picture: %s", SDL_GetError());
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    renderer_ = nullptr;
    window_ = nullptr;
    return false;
  }
  SDL_SetTextureScaleMode(texture_, smooth_ ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  {
    std::lock_guard guard(frameLock_);
    frame_ = frame;
    converter_ = FrameConverter(*frame.format);
    const std::size_t pixels = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    taken_.assign(pixels, 0);
    row_.assign(static_cast<std::size_t>(frame.width), 0);
    staging_.assign(pixels, 0);
    dirty_ = RECT{};
    Take(RECT{0, 0, frame.width, frame.height}, true);
  }
  windowOwner_ = owner;
  Flush(true);
  return true;
}

void Session::CloseWindow(const void* owner) {
  if (!window_ || owner != windowOwner_ || !OnOwnerThread()) return;
  if (saveAt_) SaveSettings();
  ReleaseEverything();
  SDL_DestroyTexture(texture_);
  SDL_DestroyRenderer(renderer_);
  SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
  windowOwner_ = nullptr;
  placeW_ = 0;
  renderPending_ = false;
  std::lock_guard guard(frameLock_);
  frame_ = gdi::Surface{};
  taken_.clear();
  row_.clear();
  staging_.clear();
  dirty_ = RECT{};
}

bool Session::Take(const RECT& area, bool all) {
  if (staging_.empty()) return false;
  const RECT r{std::max<LONG>(area.left, 0), std::max<LONG>(area.top, 0), std::min<LONG>(area.right, frame_.width),
               std::min<LONG>(area.bottom, frame_.height)};
  if (Empty(r)) return false;
  const auto count = static_cast<std::size_t>(r.right - r.left);
  RECT changed{};
  for (LONG y = r.top; y < r.bottom; ++y) {
    const std::size_t at =
        static_cast<std::size_t>(y) * static_cast<std::size_t>(frame_.width) + static_cast<std::size_t>(r.left);
    DWORD* read = row_.data();
    DWORD* taken = taken_.data() + at;
    gdi::ReadSpan(frame_, r.left, y, count, read);
    // Only the run from the first to the last pixel that changed is
    // converted and sent on; a row that did not change costs one compare.
    std::size_t first = 0;
    std::size_t end = count;
    if (!all) {
      while (first < end && read[first] == taken[first]) ++first;
      if (first == end) continue;
      while (read[end - 1] == taken[end - 1]) --end;
    }
    std::copy(read + first, read + end, taken + first);
    converter_.Convert(read + first, end - first);
    std::copy(read + first, read + end, staging_.data() + at + first);
    changed = Union(changed, RECT{r.left + static_cast<LONG>(first), y, r.left + static_cast<LONG>(end), y + 1});
  }
  if (Empty(changed)) return false;
  dirty_ = Union(dirty_, changed);
  return true;
}

void Session::Present(const RECT& area) {
  {
    std::lock_guard guard(frameLock_);
    // A frame presented again unchanged costs the window nothing.
    if (!Take(area, false)) return;
  }
  if (OnOwnerThread()) {
    Flush(false);
  } else {
    Wake();
  }
}

void Session::SetPowerState(ULONG state) {
  {
    std::lock_guard guard(frameLock_);
    powerState_ = state;
    powerChanged_ = true;
  }
  if (OnOwnerThread()) {
    Flush(true);
  } else {
    Wake();
  }
}

void Session::Raise() {
  raisePending_ = true;
  if (OnOwnerThread()) {
    Pump();
  } else {
    Wake();
  }
}

void Session::Flush(bool force) {
  if (!OnOwnerThread() || !texture_) return;
  {
    std::lock_guard guard(frameLock_);
    if (!Empty(dirty_)) {
      const SDL_Rect rect{dirty_.left, dirty_.top, dirty_.right - dirty_.left, dirty_.bottom - dirty_.top};
      const Uint32* first =
          staging_.data() + static_cast<std::size_t>(dirty_.top) * static_cast<std::size_t>(frame_.width) + dirty_.left;
      SDL_UpdateTexture(texture_, &rect, first, frame_.width * static_cast<int>(sizeof(Uint32)));
      dirty_ = RECT{};
      renderPending_ = true;
    }
    if (powerChanged_) {
      powerChanged_ = false;
      renderPending_ = true;
    }
  }
  if (renderPending_ && (force || Clock::now() - lastRender_ >= kRenderInterval)) Render();
}

Viewport Session::CurrentViewport() const {
  int windowWidth = 0, windowHeight = 0, drawableWidth = 0, drawableHeight = 0;
  SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
  if (SDL_GetRendererOutputSize(renderer_, &drawableWidth, &drawableHeight) != 0) {
    drawableWidth = windowWidth;
    drawableHeight = windowHeight;
  }
  return Layout(frame_.width, frame_.height, windowWidth, windowHeight, drawableWidth, drawableHeight, mode_);
}

void Session::Render() {
  renderPending_ = false;
  ++renders_;
  lastRender_ = Clock::now();
  Draw();
  SDL_RenderPresent(renderer_);
}

void Session::Draw() {
  const Viewport viewport = CurrentViewport();
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  bool on = false;
  {
    std::lock_guard guard(frameLock_);
    on = powerState_ == VideoPowerOn;
  }
  if (on) {
    const RECT& p = viewport.picture;
    const SDL_Rect target{p.left, p.top, p.right - p.left, p.bottom - p.top};
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
  }
}

void Session::Pump() {
  ApplyCursorShape();
  if (raisePending_.exchange(false) && window_) {
    SDL_RaiseWindow(window_);
    // The keyboard comes with it: a desktop without a window manager (or
    // one that keeps the focus where it was) would leave the keys with the
    // window of the program that asked.
    SDL_SetWindowInputFocus(window_);
  }
  SDL_Event event;
  while (SDL_PollEvent(&event)) Handle(event);
  Flush(false);
  if (saveAt_ && Clock::now() >= *saveAt_) SaveSettings();
}

bool Session::Poll(InputEvent& event) {
  // Host events belong to the window thread; no other thread sees them.
  if (!OnOwnerThread()) return false;
  Pump();
  if (events_.empty()) return false;
  event = events_.front();
  events_.pop_front();
  return true;
}

bool Session::Wait(DWORD timeoutMs) {
  if (!OnOwnerThread()) {
    // Host events can only be taken on the window thread; elsewhere there is
    // nothing to wait for but time.
    if (timeoutMs != kWaitForever) SDL_Delay(timeoutMs);
    return false;
  }
  const bool forever = timeoutMs == kWaitForever;
  const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
  for (;;) {
    Pump();
    if (!events_.empty() || woken_) {
      woken_ = false;
      return true;
    }
    int slice = forever ? -1 : MillisecondsUntil(deadline);
    if (!forever && slice == 0) return false;
    if (renderPending_) {
      const int due = MillisecondsUntil(lastRender_ + kRenderInterval);
      slice = slice < 0 ? due : std::min(slice, due);
    }
    if (saveAt_) {
      const int due = MillisecondsUntil(*saveAt_);
      slice = slice < 0 ? due : std::min(slice, due);
    }
    if (!hostEvents_) {
      // Nothing comes but what is pushed from this side: wait for that.
      std::unique_lock lock(pushedLock_);
      if (slice < 0) {
        pushedSignal_.wait(lock, [this] { return pushed_; });
      } else {
        pushedSignal_.wait_for(lock, std::chrono::milliseconds(std::max(slice, 1)), [this] { return pushed_; });
      }
      pushed_ = false;
      continue;
    }
    SDL_Event event;
    const int got = slice < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, std::max(slice, 1));
    if (got) Handle(event);
  }
}

void Session::NotePushed() {
  if (hostEvents_) return;
  {
    std::lock_guard guard(pushedLock_);
    pushed_ = true;
  }
  pushedSignal_.notify_all();
}

void Session::Wake() {
  if (wakeEvent_ == static_cast<Uint32>(-1) || wakePosted_.exchange(true)) return;
  SDL_Event event{};
  event.type = wakeEvent_;
  if (SDL_PushEvent(&event) != 1) wakePosted_ = false;
  NotePushed();
}

BYTE Session::Modifiers(unsigned mod) {
  BYTE bits = 0;
  if (mod & KMOD_SHIFT) bits |= kModifierShift;
  if (mod & KMOD_CTRL) bits |= kModifierControl;
  if (mod & KMOD_ALT) bits |= kModifierAlt;
  return bits;
}

void Session::Handle(const SDL_Event& event) {
  if (event.type == wakeEvent_) {
    wakePosted_ = false;
    woken_ = true;
    return;
  }
  switch (event.type) {
    case SDL_QUIT:
      if (saveAt_) SaveSettings();
      Emit(InputEvent{});
      break;
    case SDL_WINDOWEVENT:
      if (window_ && event.window.windowID == SDL_GetWindowID(window_)) HandleWindow(event.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (window_ && event.key.windowID == SDL_GetWindowID(window_)) HandleKey(event.key);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (window_ && event.button.windowID == SDL_GetWindowID(window_) && event.button.button == SDL_BUTTON_LEFT) {
        PenButton(event.type == SDL_MOUSEBUTTONDOWN, event.button.x, event.button.y);
      }
      break;
    case SDL_MOUSEMOTION:
      if (window_ && event.motion.windowID == SDL_GetWindowID(window_)) PenMotion(event.motion.x, event.motion.y);
      break;
    default:
      break;
  }
}

void Session::HandleWindow(const SDL_WindowEvent& window) {
  switch (window.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      RememberSize();
      NotePlace();
      renderPending_ = true;
      break;
    case SDL_WINDOWEVENT_MOVED:
      NotePlace();
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      renderPending_ = true;
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      ReleaseEverything();
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: {
      // The window the person now sees in front takes the device's keys.
      InputEvent event;
      event.kind = InputKind::Focus;
      Emit(event);
      break;
    }
    default:
      break;
  }
}

void Session::HandleKey(const SDL_KeyboardEvent& key) {
  const int scancode = key.keysym.scancode;
  const bool down = key.type == SDL_KEYDOWN;
  const bool enter = scancode == SDL_SCANCODE_RETURN || scancode == SDL_SCANCODE_KP_ENTER;
  // F11 and Alt+Enter belong to the window. The Enter of an Alt+Enter never
  // went down on the device, so its release is dropped with it below.
  if (scancode == kScancodeF11 || (down && enter && (key.keysym.mod & KMOD_ALT))) {
    if (down && !key.repeat) ToggleFullScreen();
    return;
  }
  const WORD code = keys_.Lookup(scancode);
  if (code == 0) return;
  InputEvent event;
  event.key = code;
  event.modifiers = Modifiers(key.keysym.mod);
  if (down) {
    event.kind = InputKind::KeyDown;
    // A key held while the window gained focus repeats as held.
    event.repeat = key.repeat != 0 || heldScancodes_.count(scancode) != 0;
    heldScancodes_.insert(scancode);
  } else {
    if (heldScancodes_.erase(scancode) == 0) return;  // its press was not ours
    event.kind = InputKind::KeyUp;
  }
  Emit(event);
}

void Session::PenButton(bool down, int x, int y) {
  const PenPosition at = WindowToDevice(CurrentViewport(), x, y);
  InputEvent event;
  event.pen = at.point;
  event.modifiers = Modifiers(SDL_GetModState());
  if (down) {
    if (penDown_ || !at.inside) return;  // taps on the black bars are not on the screen
    penDown_ = true;
    SDL_CaptureMouse(SDL_TRUE);
    event.kind = InputKind::PenDown;
  } else {
    if (!penDown_) return;
    penDown_ = false;
    SDL_CaptureMouse(SDL_FALSE);
    event.kind = InputKind::PenUp;
  }
  lastPen_ = at.point;
  Emit(event);
}

void Session::PenMotion(int x, int y) {
  if (!penDown_) return;  // a pen that does not touch the screen is not seen
  const PenPosition at = WindowToDevice(CurrentViewport(), x, y);
  if (at.point.x == lastPen_.x && at.point.y == lastPen_.y) return;
  lastPen_ = at.point;
  InputEvent event;
  event.kind = InputKind::PenMove;
  event.pen = at.point;
  event.modifiers = Modifiers(SDL_GetModState());
  Emit(event);
}

void Session::ReleaseEverything() {
  // Whatever was held when the window lost the keyboard and mouse is let go,
  // so no key or pen stays down on the device.
  if (penDown_) {
    penDown_ = false;
    SDL_CaptureMouse(SDL_FALSE);
    InputEvent event;
    event.kind = InputKind::PenUp;
    event.pen = lastPen_;
    Emit(event);
  }
  for (const int scancode : heldScancodes_) {
    InputEvent event;
    event.kind = InputKind::KeyUp;
    event.key = keys_.Lookup(scancode);
    Emit(event);
  }
  heldScancodes_.clear();
}

void Session::ToggleFullScreen() {
  const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) == 0;
  if (full) {
    ReadWindowedSize();  // what to come back to
    SDL_GetWindowPosition(window_, &windowedAt_.x, &windowedAt_.y);
    // Without a window manager nobody answers the library's request to fill
    // the screen: the window would keep its place and size while the
    // picture is laid out for the whole screen. The window covers the
    // display first, which a window manager then takes over.
    SDL_Rect display{};
    if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window_), 0), &display) == 0) {
      SDL_SetWindowPosition(window_, display.x, display.y);
      SDL_SetWindowSize(window_, display.w, display.h);
    }
  }
  if (SDL_SetWindowFullscreen(window_, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    ce::kernel::Diagnostic("platform: cannot switch full screen: %s", SDL_GetError());
    if (full) {
      SDL_SetWindowSize(window_, remembered_.width, remembered_.height);
      SDL_SetWindowPosition(window_, windowedAt_.x, windowedAt_.y);
    }
    return;
  }
  if (!full) {
    // Without a window manager nothing gives the window its own size and
    // place back: it would keep the desktop's and be cut off at the
    // screen's edge.
    SDL_SetWindowSize(window_, remembered_.width, remembered_.height);
    SDL_SetWindowPosition(window_, windowedAt_.x, windowedAt_.y);
  }
  remembered_.fullScreen = full;
  renderPending_ = true;
  written_ = WriteRememberedWindow(RememberedWindowPath(), remembered_);
  // Coming back, the desktop reports passing sizes for a while; the size is
  // read again once the window has settled.
  if (full) {
    saveAt_.reset();
  } else {
    saveAt_ = Clock::now() + kSaveDelay;
  }
}

void Session::ReadWindowedSize() {
  if (SDL_GetWindowFlags(window_) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MINIMIZED)) return;
  int width = 0, height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  if (width <= 0 || height <= 0 || width > kMaxRememberedSize || height > kMaxRememberedSize) return;
  remembered_.width = width;
  remembered_.height = height;
}

void Session::RememberSize() {
  // Sizes pass by quickly while a person drags the window's edge, and while
  // it goes in and out of full screen: the size is read when it has rested.
  if (SDL_GetWindowFlags(window_) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MINIMIZED)) return;
  saveAt_ = Clock::now() + kSaveDelay;
}

void Session::NotePlace() {
  if (!window_) return;
  int x = 0, y = 0, width = 0, height = 0;
  SDL_GetWindowPosition(window_, &x, &y);
  SDL_GetWindowSize(window_, &width, &height);
  placeX_ = x;
  placeY_ = y;
  placeH_ = height;
  placeW_ = width;
}

std::optional<RECT> Session::Place() const {
  const int width = placeW_.load();
  if (width <= 0) return std::nullopt;
  const int x = placeX_.load();
  const int y = placeY_.load();
  return RECT{x, y, x + width, y + placeH_.load()};
}

void Session::SavePending() {
  if (saveAt_) SaveSettings();
}

void Session::SaveSettings() {
  saveAt_.reset();
  if (!window_) return;
  const RememberedWindow before = remembered_;
  ReadWindowedSize();
  if (remembered_.width == before.width && remembered_.height == before.height && written_) return;
  written_ = WriteRememberedWindow(RememberedWindowPath(), remembered_);
}

std::optional<WindowState> Session::State() {
  if (!window_) return std::nullopt;
  return WindowState{CurrentViewport(), (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0, smooth_};
}

COLORREF Session::ShownPixel(int x, int y) {
  if (!window_ || !OnOwnerThread()) return CLR_INVALID;
  Flush(true);
  const Viewport viewport = CurrentViewport();
  if (x < 0 || y < 0 || x >= viewport.drawableWidth || y >= viewport.drawableHeight) return CLR_INVALID;
  // What a shown frame held is gone once it is shown; draw it again, read
  // it, then show it.
  Draw();
  Uint32 pixel = 0;
  const SDL_Rect one{x, y, 1, 1};
  const bool read = SDL_RenderReadPixels(renderer_, &one, SDL_PIXELFORMAT_XRGB8888, &pixel, sizeof pixel) == 0;
  SDL_RenderPresent(renderer_);
  if (!read) return CLR_INVALID;
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

void Session::Inject(SDL_Event& event) {
  SDL_PushEvent(&event);
  NotePushed();
}

}  // namespace ce::backend::sdl
