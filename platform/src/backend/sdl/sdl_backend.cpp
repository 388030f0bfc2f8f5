#include "backend/sdl/sdl_backend.h"

#include <deque>
#include <mutex>

#include "backend/sdl/sdl_session.h"

namespace ce::backend::sdl {
namespace {

class SdlDisplay final : public Display {
 public:
  explicit SdlDisplay(std::shared_ptr<Session> session) : session_(std::move(session)) {}
  ~SdlDisplay() override { session_->CloseWindow(this); }

  void Present(const RECT& area) override { session_->Present(area); }
  void SetPowerState(ULONG state) override { session_->SetPowerState(state); }
  void Raise() override { session_->Raise(); }

 private:
  std::shared_ptr<Session> session_;
};

class SdlInput final : public InputSource {
 public:
  explicit SdlInput(std::shared_ptr<Session> session) : session_(std::move(session)) {}

  // The host's events first, then injected ones: they come from different
  // hands and have no order between them.
  bool Poll(InputEvent& event) override {
    if (session_->Poll(event)) return true;
    std::lock_guard guard(lock_);
    if (injected_.empty()) return false;
    event = injected_.front();
    injected_.pop_front();
    return true;
  }
  bool Wait(DWORD timeoutMs) override {
    {
      std::lock_guard guard(lock_);
      if (!injected_.empty()) return true;
    }
    return session_->Wait(timeoutMs);
  }
  void Wake() override { session_->Wake(); }
  bool ReadableHere() const override { return session_->OnOwnerThread(); }
  bool WaitsForHostEvents() const override { return session_->IsEventThread(); }

 protected:
  void Queue(const InputEvent& event) override {
    {
      std::lock_guard guard(lock_);
      injected_.push_back(event);
    }
    session_->Wake();
  }

 private:
  std::shared_ptr<Session> session_;
  std::mutex lock_;
  std::deque<InputEvent> injected_;
};

void Push(SDL_Event& event) {
  if (auto session = Session::Running()) session->Inject(event);
}

Uint32 WindowId() {
  auto session = Session::Running();
  return session ? session->windowId() : 0;
}

}  // namespace

std::unique_ptr<Display> CreateDisplay(const gdi::Surface& frame) {
  auto session = Session::Get();
  if (!session) return nullptr;
  auto display = std::make_unique<SdlDisplay>(session);
  if (!session->OpenWindow(frame, display.get())) return nullptr;
  return display;
}

std::shared_ptr<InputSource> CreateInput() {
  auto session = Session::Get();
  if (!session) return nullptr;
  return std::make_shared<SdlInput>(std::move(session));
}

std::optional<WindowState> CurrentWindowState() {
  auto session = Session::Running();
  return session ? session->State() : std::nullopt;
}

std::uint64_t RenderedFrames() {
  auto session = Session::Running();
  return session ? session->renderCount() : 0;
}

COLORREF ShownPixel(int x, int y) {
  auto session = Session::Running();
  return session ? session->ShownPixel(x, y) : CLR_INVALID;
}

void SimulateMouseButton(bool down, int windowX, int windowY) {
  SDL_Event event{};
  event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  event.button.windowID = WindowId();
  event.button.button = SDL_BUTTON_LEFT;
  event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.button.clicks = 1;
  event.button.x = windowX;
  event.button.y = windowY;
  Push(event);
}

void SimulateMouseMotion(int windowX, int windowY) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = WindowId();
  event.motion.state = SDL_BUTTON_LMASK;
  event.motion.x = windowX;
  event.motion.y = windowY;
  Push(event);
}

void SimulateKey(bool down, int scancode, BYTE modifiers, bool repeat) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = WindowId();
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = repeat ? 1 : 0;
  event.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
  event.key.keysym.sym = SDL_GetKeyFromScancode(event.key.keysym.scancode);
  Uint16 mod = 0;
  if (modifiers & kModifierShift) mod |= KMOD_LSHIFT;
  if (modifiers & kModifierControl) mod |= KMOD_LCTRL;
  if (modifiers & kModifierAlt) mod |= KMOD_LALT;
  event.key.keysym.mod = mod;
  Push(event);
}

void SimulateFocusLost() {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = WindowId();
  event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  Push(event);
}

void SimulateFocusGained() {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = WindowId();
  event.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  Push(event);
}

void SimulateClose() {
  SDL_Event event{};
  event.type = SDL_QUIT;
  Push(event);
}

void SimulateResize(int width, int height) {
  auto session = Session::Running();
  if (session && session->window()) SDL_SetWindowSize(session->window(), width, height);
}

}  // namespace ce::backend::sdl
