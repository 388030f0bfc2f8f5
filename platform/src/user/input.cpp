// Focus, activation and capture, the key state tables, and the translation
// of the back ends' neutral input into window messages.
#include "user/input.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <atomic>
#include <cstdlib>

#include "backend/display.h"
#include "backend/headless/headless_input.h"
#include "gdi/screen.h"
#include "ce/winbase.h"
#include "kernel/clock.h"
#include "kernel/message_queue.h"
#include "kernel/wait.h"
#include "user/hooks.h"
#include "user/ipc.h"
#include "user/state.h"
#include "user/window_tree.h"

using namespace ce::user;

namespace {

// The key tables and the pen have a lock of their own, taken last.
struct Keys {
  std::mutex lock;
  std::array<bool, 256> asyncDown{};
  std::array<bool, 256> asyncPressed{};  // went down since the last GetAsyncKeyState
  std::array<bool, 256> down{};          // as of the messages the program has seen
  std::array<bool, 256> toggled{};
  POINT pen{};
  bool penDown = false;
  HWND lastDownWindow = nullptr;
  DWORD lastDownTime = 0;
  POINT lastDownPoint{};
};

Keys& K() {
  static Keys keys;
  return keys;
}

std::atomic<DWORD> g_inputThread{0};
// A request to end that came while a modal loop ran on the input thread: the
// loops are unwinding on WM_QUIT, and the outermost loop turns it into the
// close its window is asked for.
std::atomic<bool> g_unwinding{false};
std::atomic<KeyRedirect> g_keyRedirect{nullptr};

// The input thread sleeps in the back end's own wait when the back end has
// host events (the desktop's), so they wake it as the platform's own
// wake-ups do: an idle program polls nothing.
class InputSleeper final : public ce::kernel::Sleeper {
 public:
  explicit InputSleeper(std::shared_ptr<ce::backend::InputSource> source) : source_(std::move(source)) {}

  void Sleep(std::unique_lock<std::mutex>& lock, ce::kernel::ThreadRecord& self,
             std::chrono::steady_clock::time_point until) override {
    // Host input already taken but not yet delivered: the back end would
    // answer at once, so the thread sleeps as any other until it delivers
    // (PollInput).
    if (undelivered_.load() || !source_->WaitsForHostEvents()) {
      if (until == std::chrono::steady_clock::time_point::max()) {
        self.wake.wait(lock);
      } else {
        self.wake.wait_until(lock, until);
      }
      return;
    }
    DWORD ms = ce::backend::kWaitForever;
    if (until != std::chrono::steady_clock::time_point::max()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      ms = static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, 0x7FFFFFFF));
    }
    asleep_ = true;
    lock.unlock();
    const bool ready = source_->Wait(ms);
    lock.lock();
    asleep_ = false;
    if (ready) {
      // Input (or a wake): the thread's message wait ends so it takes it.
      undelivered_.store(true);
      if (self.queue) self.queue->WakeLocked();
    }
  }
  // Only a thread asleep in the back end needs the back end's wake-up: one
  // that is awake looks at its wait again before it sleeps (both under the
  // scheduler lock). A wake-up sent to an awake thread would stay queued and
  // end its next sleep at once; the thread wakes itself when it takes input,
  // so it would never sleep again.
  void Wake() override {
    if (asleep_) source_->Wake();
  }
  void Delivered() { undelivered_.store(false); }
  const ce::backend::InputSource* source() const { return source_.get(); }

 private:
  const std::shared_ptr<ce::backend::InputSource> source_;
  std::atomic<bool> undelivered_{false};
  bool asleep_ = false;  // in the back end's wait; under the scheduler lock
};

std::mutex g_sleeperLock;
InputSleeper* g_sleeper = nullptr;  // never freed: a thread may sleep in it to the end

// Called on the input thread: it sleeps in the back end when the current
// source has host events for it, otherwise as any thread does.
void UseSleeper(DWORD threadId) {
  const auto source = ce::backend::InputSource::Current();
  if (!source->WaitsForHostEvents()) {
    ce::kernel::SetThreadSleeper(threadId, nullptr);
    return;
  }
  std::lock_guard guard(g_sleeperLock);
  if (!g_sleeper || g_sleeper->source() != source.get()) g_sleeper = new InputSleeper(source);
  ce::kernel::SetThreadSleeper(threadId, g_sleeper);
}

constexpr DWORD kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 4;

LPARAM PointParam(int x, int y) {
  return MAKELONG(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

}  // namespace

namespace ce::user {

void SetInputThread(DWORD threadId) {
  backend::SetInputArrivalHandler(&WakeInputThread);
  const DWORD old = g_inputThread.exchange(threadId);
  if (old != 0 && old != threadId) ce::kernel::SetThreadSleeper(old, nullptr);
  if (threadId != 0) UseSleeper(threadId);
}

void EnsureInputThread() {
  backend::SetInputArrivalHandler(&WakeInputThread);
  const DWORD self = GetCurrentThreadId();
  DWORD expected = 0;
  if (g_inputThread.compare_exchange_strong(expected, self)) UseSleeper(self);
}

bool IsInputThread() { return g_inputThread.load() == GetCurrentThreadId(); }

void SetKeyRedirect(KeyRedirect redirect) { g_keyRedirect.store(redirect); }

void ForgetInputThread(DWORD threadId) {
  DWORD expected = threadId;
  if (g_inputThread.compare_exchange_strong(expected, 0)) ce::kernel::SetThreadSleeper(threadId, nullptr);
}

void PollInput() {
  const DWORD thread = g_inputThread.load();
  if (thread == 0 || thread != GetCurrentThreadId()) return;
  {
    std::lock_guard guard(g_sleeperLock);
    if (g_sleeper) g_sleeper->Delivered();
  }
  const auto source = backend::InputSource::Current();
  backend::InputEvent event;
  while (source->Poll(event)) DeliverEvent(event);
  // Back in the outermost loop after the modal loops unwound: the quit that
  // unwound them is taken back and the program's window is asked to close,
  // so it ends the way it always does.
  if (g_unwinding.load() && ProcedureDepth() == 0) {
    g_unwinding.store(false);
    {
      auto lock = kernel::LockScheduler();
      kernel::CurrentThread().queue->WithdrawQuitLocked();
    }
    AskToClose();
  }
}

void WakeInputThread() {
  if (const DWORD thread = g_inputThread.load()) WakeThread(thread);
}

void DeliverEvent(const backend::InputEvent& event) {
  switch (event.kind) {
    case backend::InputKind::PenDown:
      DeliverPen(PenAction::Down, event.pen.x, event.pen.y);
      break;
    case backend::InputKind::PenMove:
      DeliverPen(PenAction::Move, event.pen.x, event.pen.y);
      break;
    case backend::InputKind::PenUp:
      DeliverPen(PenAction::Up, event.pen.x, event.pen.y);
      break;
    case backend::InputKind::KeyDown:
      DeliverKey(event.key, true);
      break;
    case backend::InputKind::KeyUp:
      DeliverKey(event.key, false);
      break;
    case backend::InputKind::Quit:
      DeliverQuit();
      break;
    case backend::InputKind::Char: {
      const wchar_t c = static_cast<wchar_t>(event.key);
      DeliverText(std::wstring_view(&c, 1));
      break;
    }
    case backend::InputKind::Focus:
      // The person chose this program's window on the desktop: its active
      // window is in front of the device's other programs.
      if (HWND active = GetActiveWindow()) ipc::NoteForeground(active);
      break;
  }
}

void FeedInput(const backend::InputEvent& event) {
  const auto source = backend::InputSource::Current();
  auto* queue = dynamic_cast<backend::HeadlessInput*>(source.get());
  if (!queue || g_inputThread.load() == 0) {
    DeliverEvent(event);
    return;
  }
  queue->Push(event);
  WakeInputThread();
}

POINT LastPenPoint() {
  std::lock_guard guard(K().lock);
  return K().pen;
}

void NoteKeyMessage(const MSG& msg) {
  Keys& k = K();
  std::lock_guard guard(k.lock);
  const std::size_t vk = msg.wParam & 0xFF;
  const bool keyMessage = msg.message >= WM_KEYDOWN && msg.message <= WM_SYSKEYUP;
  if (keyMessage && msg.wParam > 0xFF) return;
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!k.down[vk]) k.toggled[vk] = !k.toggled[vk];
      k.down[vk] = true;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      k.down[vk] = false;
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      k.down[VK_LBUTTON] = true;
      break;
    case WM_LBUTTONUP:
      k.down[VK_LBUTTON] = false;
      break;
    default:
      break;
  }
}

void ActivateWindow(HWND hwnd) {
  HWND old = nullptr;
  {
    std::lock_guard guard(S().lock);
    // Windows that are never activated (the shell's bars), and windows
    // placed on them (owned by one), leave the active window as it is,
    // however they are shown or touched.
    if (auto w = hwnd ? FindLocked(hwnd) : nullptr; w && NeverActivatedLocked(*w)) return;
    auto& order = S().topLevel;
    if (hwnd) {
      const auto at = std::find(order.begin(), order.end(), hwnd);
      if (at != order.end()) {
        order.erase(at);
        order.insert(order.begin(), hwnd);
      }
    }
    old = S().active;
    if (old == hwnd) return;
    S().active = hwnd;
  }
  // The device's foreground follows before anyone hears of the change, so
  // a key that comes meanwhile already finds its way here.
  if (hwnd) ipc::NoteForeground(hwnd);
  if (old && IsWindow(old)) {
    SendMessageW(old, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
    HWND lost = nullptr;
    {
      std::lock_guard guard(S().lock);
      if (IsSelfOrDescendantLocked(old, S().focus)) {
        lost = S().focus;
        S().focus = nullptr;
      }
    }
    if (lost) SendMessageW(lost, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  }
  if (hwnd) SendMessageW(hwnd, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
  ShellForegroundChanged();
  // With nothing of this program left active, the program behind it on the
  // device comes forward.
  if (!hwnd) ipc::LeaveForeground();
}

void BringToFront(HWND hwnd) {
  HWND top = nullptr;
  {
    std::lock_guard guard(S().lock);
    top = TopLevelOfLocked(hwnd);
  }
  if (!top) return;
  // The program itself comes to the front of the desktop's windows.
  ce::gdi::Screen::Current()->display().Raise();
  ActivateWindow(top);
  // Already active here, it may still have stood behind another program.
  if (GetActiveWindow() == top) ipc::NoteForeground(top);
}

void ForgetFocusAndCaptureOf(HWND hwnd) {
  HWND lostFocus = nullptr;
  HWND lostCapture = nullptr;
  bool lostActive = false;
  {
    std::lock_guard guard(S().lock);
    if (IsSelfOrDescendantLocked(hwnd, S().focus)) {
      lostFocus = S().focus;
      S().focus = nullptr;
    }
    if (IsSelfOrDescendantLocked(hwnd, S().capture)) {
      lostCapture = S().capture;
      S().capture = nullptr;
    }
    if (S().active == hwnd) {
      S().active = nullptr;
      lostActive = true;
    }
  }
  if (lostFocus) SendMessageW(lostFocus, WM_KILLFOCUS, 0, 0);
  if (lostCapture) SendMessageW(lostCapture, WM_CAPTURECHANGED, 0, 0);
  if (lostActive) ShellForegroundChanged();
}

// ---- neutral input ----

void DeliverPen(PenAction action, int x, int y) {
  Keys& k = K();
  HWND target = nullptr;
  HWND top = nullptr;
  bool activate = false;
  bool claim = false;
  POINT client{x, y};
  UINT message = WM_MOUSEMOVE;
  bool dblclks = false;
  DWORD owner = 0;
  {
    std::lock_guard guard(S().lock);
    target = S().capture;
    if (!target) target = WindowAtLocked(x, y);
    auto w = target ? FindLocked(target) : nullptr;
    if (w) {
      const RECT r = ScreenRectLocked(*w);
      client = POINT{x - r.left, y - r.top - CaptionOf(*w)};
      dblclks = (w->cls->style & CS_DBLCLKS) != 0;
      owner = w->threadId;
      top = TopLevelOfLocked(target);
      auto topWindow = top ? FindLocked(top) : nullptr;
      const bool activatable = action == PenAction::Down && topWindow && !S().capture &&
                               !(topWindow->exStyle & WS_EX_NOACTIVATE) && !NeverActivatedLocked(*topWindow);
      activate = activatable && top != S().active;
      // A touch on the active window brings its program in front of the
      // device's other programs, if it was not.
      claim = activatable && top == S().active;
      if (w->style & WS_DISABLED) target = nullptr;
    } else {
      target = nullptr;
    }
  }
  WPARAM keys = 0;
  const DWORD now = GetTickCount();  // before the key lock, which is taken last
  {
    std::lock_guard guard(k.lock);
    k.pen = POINT{x, y};
    switch (action) {
      case PenAction::Down: {
        message = WM_LBUTTONDOWN;
        if (dblclks && target == k.lastDownWindow && now - k.lastDownTime <= kDoubleClickMs &&
            std::abs(x - k.lastDownPoint.x) <= kDoubleClickSlop &&
            std::abs(y - k.lastDownPoint.y) <= kDoubleClickSlop) {
          message = WM_LBUTTONDBLCLK;
          k.lastDownWindow = nullptr;
        } else {
          k.lastDownWindow = target;
          k.lastDownTime = now;
          k.lastDownPoint = POINT{x, y};
        }
        k.penDown = true;
        if (!k.asyncDown[VK_LBUTTON]) k.asyncPressed[VK_LBUTTON] = true;
        k.asyncDown[VK_LBUTTON] = true;
        keys = MK_LBUTTON;
        break;
      }
      case PenAction::Move:
        if (!k.penDown) return;  // a pen touches or it is not there
        keys = MK_LBUTTON;
        break;
      case PenAction::Up:
        if (!k.penDown) return;
        message = WM_LBUTTONUP;
        k.penDown = false;
        k.asyncDown[VK_LBUTTON] = false;
        break;
    }
    if (k.asyncDown[VK_SHIFT]) keys |= MK_SHIFT;
    if (k.asyncDown[VK_CONTROL]) keys |= MK_CONTROL;
  }
  if (!target) return;
  if (activate) PushTask(owner, [top] { ActivateWindow(top); });
  if (claim) ipc::NoteForeground(top);
  PostToWindow(target, message, keys, PointParam(client.x, client.y));
}

void DeliverKey(int virtualKey, bool down) {
  if (virtualKey <= 0 || virtualKey > 0xFFFF) return;
  // Keys belong to the window in front on the device, which may be another
  // program's (one that came forward at this program's request).
  if (HWND front = ipc::ForegroundElsewhere();
      front && ipc::ForwardInput(front, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(virtualKey), {})) {
    return;
  }
  DeliverKeyHere(virtualKey, down);
}

void DeliverKeyHere(int virtualKey, bool down) {
  // Codes above 0xFF are device keys of their own (the suspend key): they
  // arrive as messages but have no place in the key state.
  if (virtualKey <= 0 || virtualKey > 0xFFFF) return;
  Keys& k = K();
  bool wasDown = false;
  if (virtualKey <= 0xFF) {
    std::lock_guard guard(k.lock);
    wasDown = k.asyncDown[virtualKey];
    if (down && !wasDown) k.asyncPressed[virtualKey] = true;
    k.asyncDown[virtualKey] = down;
  }
  HWND target = nullptr;
  {
    std::lock_guard guard(S().lock);
    target = S().focus ? S().focus : S().active;
  }
  if (!target) return;
  if (const KeyRedirect redirect = g_keyRedirect.load()) {
    if (HWND other = redirect(target, virtualKey)) target = other;
  }
  // Repeat count 1; bit 30 the previous state; bit 31 set when going up.
  LPARAM lParam = 1;
  if (wasDown) lParam |= LPARAM{1} << 30;
  if (!down) lParam |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
  PostToWindow(target, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(virtualKey), lParam);
}

void DeliverText(std::wstring_view text) {
  if (HWND front = ipc::ForegroundElsewhere(); front && ipc::ForwardInput(front, WM_CHAR, 0, text)) return;
  DeliverTextHere(text);
}

void DeliverTextHere(std::wstring_view text) {
  HWND target = nullptr;
  {
    std::lock_guard guard(S().lock);
    target = S().focus ? S().focus : S().active;
  }
  if (!target) return;
  NoteCommittedText(target, text);
  for (wchar_t c : text) PostToWindow(target, WM_CHAR, static_cast<WPARAM>(c), 1);
}

void DeliverQuit() {
  // A dialog, a message box, a menu or a program's own loop running inside a
  // window procedure would take the close as its own and the program would
  // run on, or its window would go while code inside the loop still uses it:
  // the loops unwind first, as on WM_QUIT.
  if (IsInputThread() && ProcedureDepth() > 0) {
    g_unwinding.store(true);
    PostQuitMessage(0);
    return;
  }
  AskToClose();
}

bool Unwinding() { return g_unwinding.load(); }

void AskToClose() {
  HWND target = nullptr;
  {
    std::lock_guard guard(S().lock);
    target = S().active;
    if (!target) {
      for (HWND top : S().topLevel) {
        auto w = FindLocked(top);
        if (w && !w->destroying && !NeverActivatedLocked(*w)) {
          target = top;
          break;
        }
      }
    }
  }
  if (target && PostToWindow(target, WM_CLOSE, 0, 0)) return;
  if (const DWORD main = g_inputThread.load()) PostThreadMessageW(main, WM_QUIT, 0, 0);
}

}  // namespace ce::user

// ---- focus, activation, capture ----

HWND SetFocus(HWND hwnd) {
  HWND before = GetFocus();
  if (hwnd) {
    if (!Find(hwnd)) return nullptr;
    HWND top = nullptr;
    bool needActivate = false;
    {
      std::lock_guard guard(S().lock);
      top = TopLevelOfLocked(hwnd);
      needActivate = S().active != top;
    }
    if (needActivate) ActivateWindow(top);
  }
  HWND old = nullptr;
  {
    std::lock_guard guard(S().lock);
    old = S().focus;
    if (old == hwnd) return before;
    S().focus = hwnd;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return before;
}

HWND GetFocus() {
  std::lock_guard guard(S().lock);
  return S().focus;
}

HWND SetActiveWindow(HWND hwnd) {
  HWND before = GetActiveWindow();
  if (hwnd) {
    if (!Find(hwnd)) return nullptr;
    std::lock_guard guard(S().lock);
    hwnd = TopLevelOfLocked(hwnd);
  }
  ActivateWindow(hwnd);
  return before;
}

HWND GetActiveWindow() {
  std::lock_guard guard(S().lock);
  return S().active;
}

BOOL SetForegroundWindow(HWND hwnd) {
  // The device's "hwnd | 1" (bring the window's pop-ups forward too) names
  // the same window: handles never use their low bits.
  hwnd = ToHwnd(Value(hwnd) & ~std::uintptr_t{3});
  if (ipc::IsRemote(hwnd)) {
    if (!ipc::BringForward(hwnd)) return FALSE;
    ipc::NoteForeground(hwnd);
    return TRUE;
  }
  if (!Find(hwnd)) return FALSE;
  BringToFront(hwnd);
  return TRUE;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

HWND SetCapture(HWND hwnd) {
  if (hwnd && !Find(hwnd)) return nullptr;
  HWND old = nullptr;
  {
    std::lock_guard guard(S().lock);
    old = S().capture;
    S().capture = hwnd;
  }
  if (old && old != hwnd) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  HWND old = nullptr;
  {
    std::lock_guard guard(S().lock);
    old = S().capture;
    S().capture = nullptr;
  }
  if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  std::lock_guard guard(S().lock);
  return S().capture;
}

// ---- key state ----

SHORT GetAsyncKeyState(int virtualKey) {
  if (virtualKey <= 0 || virtualKey > 0xFF) return 0;
  Keys& k = K();
  std::lock_guard guard(k.lock);
  const bool pressed = k.asyncPressed[virtualKey];
  k.asyncPressed[virtualKey] = false;
  return static_cast<SHORT>((k.asyncDown[virtualKey] ? 0x8000 : 0) | (pressed ? 1 : 0));
}

SHORT GetKeyState(int virtualKey) {
  if (virtualKey <= 0 || virtualKey > 0xFF) return 0;
  Keys& k = K();
  std::lock_guard guard(k.lock);
  return static_cast<SHORT>((k.down[virtualKey] ? 0x8000 : 0) | (k.toggled[virtualKey] ? 1 : 0));
}
