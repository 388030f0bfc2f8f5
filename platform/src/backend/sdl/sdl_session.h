// The one desktop window of a process and the host events that reach it.
// The display and the input source of the desktop back end are two faces of
// this session; it lives while either of them does.
//
// Host calls for the window happen on the thread that started the session
// (the program's window thread). A frame presented from another thread is
// kept and shown when that thread next looks for input.
#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "backend/input.h"
#include "ce/wingdi.h"
#include "backend/sdl/frame_converter.h"
#include "backend/sdl/key_map.h"
#include "backend/sdl/sdl_backend.h"
#include "backend/sdl/viewport.h"
#include "backend/sdl/window_settings.h"
#include "gdi/surface.h"

namespace ce::backend::sdl {

class Session {
 public:
  // The process's session, started on first use. When no display can be
  // reached the program ends here with status 1, saying so on standard
  // error.
  static std::shared_ptr<Session> Get();
  // The running session, if any; never starts one.
  static std::shared_ptr<Session> Running();

  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Opens the window for a frame (or takes an open one over for a new
  // frame); false, after a note on standard error, when it cannot.
  bool OpenWindow(const gdi::Surface& frame, const void* owner);
  // Closes the window if `owner` opened it last.
  void CloseWindow(const void* owner);
  void Present(const RECT& area);
  void SetPowerState(ULONG state);
  // Raises the window over the desktop's other windows (on the window
  // thread, at once or when it next looks for events).
  void Raise();

  // Writes a changed window size that is still waiting to settle.
  void SavePending();
  // The window's place on the desktop (window units) as last seen on the
  // window thread; nothing before it opens. From any thread.
  std::optional<RECT> Place() const;

  bool Poll(InputEvent& event);
  bool Wait(DWORD timeoutMs);
  void Wake();
  // Whether the calling thread is the one that reads host events.
  bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }
  // Whether the calling thread is the one that takes the host's events.
  bool IsEventThread() const { return OnOwnerThread(); }

  // For tests (sdl_backend.h).
  std::optional<WindowState> State();
  COLORREF ShownPixel(int x, int y);
  void Inject(SDL_Event& event);
  Uint32 windowId() const { return window_ ? SDL_GetWindowID(window_) : 0; }
  std::uint64_t renderCount() const { return renders_.load(); }
  SDL_Window* window() const { return window_; }

 private:
  using Clock = std::chrono::steady_clock;

  void Pump();
  void Handle(const SDL_Event& event);
  void HandleKey(const SDL_KeyboardEvent& key);
  void HandleWindow(const SDL_WindowEvent& window);
  void PenButton(bool down, int x, int y);
  void PenMotion(int x, int y);
  void ReleaseEverything();
  void ToggleFullScreen();
  Viewport CurrentViewport() const;
  // Takes `area` of the frame into the picture: only the pixels that differ
  // from what was taken last (all of them with `all`). Returns whether any
  // did. Called with frameLock_ held.
  bool Take(const RECT& area, bool all);
  void Flush(bool force);
  void Render();
  void Draw();
  void RememberSize();
  void NotePlace();
  void ReadWindowedSize();
  void SaveSettings();
  static BYTE Modifiers(unsigned mod);
  void Emit(const InputEvent& event) { events_.push_back(event); }

  // Wakes a wait for events pushed from this side (a wake, an injected
  // event) where the video driver has no host events to wait for (the
  // dummy and offscreen drivers): the library would poll for them.
  void NotePushed();

  const std::thread::id owner_;
  const bool hostEvents_;
  std::mutex pushedLock_;
  std::condition_variable pushedSignal_;
  bool pushed_ = false;
  Uint32 wakeEvent_ = 0;
  std::atomic<bool> wakePosted_{false};
  bool woken_ = false;

  // The window and how it shows the device screen.
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  const void* windowOwner_ = nullptr;
  ScaleMode mode_;
  bool smooth_ = false;
  KeyMap keys_ = KeyMap::Defaults();
  RememberedWindow remembered_;
  std::optional<Clock::time_point> saveAt_;
  bool written_ = false;  // remembered_ is what the file holds

  // The frame as last presented: the screen's pixel values as read (taken_)
  // and in the texture's format (staging_), with one row of room to read
  // into. Guarded by frameLock_, as any thread may present.
  std::mutex frameLock_;
  gdi::Surface frame_;
  FrameConverter converter_;
  std::vector<DWORD> taken_;
  std::vector<DWORD> row_;
  std::vector<Uint32> staging_;
  RECT dirty_{};
  ULONG powerState_ = VideoPowerOn;
  bool powerChanged_ = false;

  std::atomic<bool> raisePending_{false};
  // Place(): left, top, width, height; width 0 while unknown.
  std::atomic<int> placeX_{0}, placeY_{0}, placeW_{0}, placeH_{0};
  SDL_Point windowedAt_{};  // where the window was before it filled the screen
  bool renderPending_ = false;
  Clock::time_point lastRender_{};
  std::atomic<std::uint64_t> renders_{0};  // pictures drawn in the window

  // Input state.
  std::deque<InputEvent> events_;
  bool penDown_ = false;
  POINT lastPen_{};
  std::set<int> heldScancodes_;
};

}  // namespace ce::backend::sdl
