// The window layer's shared state, its queue sources (paint, then timers,
// after the posted messages as on the device) and the tasks threads leave
// for each other (sent messages).
#include "user/state.h"

#include <algorithm>

#include "ce/winbase.h"
#include "kernel/message_queue.h"
#include "user/input.h"
#include "user/window_tree.h"

namespace ce::user {
namespace {

thread_local int g_procedureDepth = 0;  // window procedures running on the thread

bool Contains(const RECT& r, const RECT& inner) {
  return inner.left >= r.left && inner.top >= r.top && inner.right <= r.right && inner.bottom <= r.bottom;
}

// WM_PAINT for a visible window of the thread that has something to update.
// It stays until the window is validated.
class PaintSource final : public kernel::MessageQueue::Source {
 public:
  explicit PaintSource(DWORD threadId) : threadId_(threadId) {}
  bool TakeLocked(const kernel::MessageFilter& filter, bool, MSG* out) override {
    if (!filter.MatchesRange(WM_PAINT)) return false;
    State& s = S();
    std::lock_guard guard(s.lock);
    for (const auto& [value, window] : s.windows) {
      if (window->threadId != threadId_ || !window->hasUpdate || window->destroying) continue;
      if (!ReallyVisibleLocked(*window)) continue;
      MSG msg{};
      msg.message = WM_PAINT;
      // A parent paints before its children, which draw over it: the
      // outermost ancestor of the thread with something to update goes first.
      msg.hwnd = window->handle;
      for (HWND up = window->parent; up;) {
        const auto above = FindLocked(up);
        if (!above) break;
        if (above->threadId == threadId_ && above->hasUpdate && !above->destroying) msg.hwnd = above->handle;
        up = above->parent;
      }
      if (!filter.Matches(msg)) msg.hwnd = window->handle;
      if (!filter.Matches(msg)) continue;
      msg.time = static_cast<DWORD>(kernel::ClockNowMsLocked() & 0xFFFFFFFFu);
      msg.pt = LastPenPoint();
      *out = msg;
      return true;
    }
    return false;
  }

 private:
  DWORD threadId_;
};

// WM_TIMER for the thread's due timers, oldest due first, then by id. A
// timer waits with at most one WM_TIMER; taking it clears the flag.
class TimerSource final : public kernel::MessageQueue::Source {
 public:
  explicit TimerSource(DWORD threadId) : threadId_(threadId) {}
  bool TakeLocked(const kernel::MessageFilter& filter, bool remove, MSG* out) override {
    if (!filter.MatchesRange(WM_TIMER)) return false;
    State& s = S();
    std::lock_guard guard(s.lock);
    const auto it = s.threads.find(threadId_);
    if (it == s.threads.end()) return false;
    Timer* best = nullptr;
    for (Timer& timer : it->second->timers) {
      if (!timer.ready) continue;
      MSG probe{};
      probe.hwnd = timer.hwnd;
      probe.message = WM_TIMER;
      if (!filter.Matches(probe)) continue;
      if (!best || timer.readyAt < best->readyAt || (timer.readyAt == best->readyAt && timer.id < best->id)) {
        best = &timer;
      }
    }
    if (!best) return false;
    MSG msg{};
    msg.hwnd = best->hwnd;
    msg.message = WM_TIMER;
    msg.wParam = best->id;
    msg.lParam = reinterpret_cast<LPARAM>(best->proc);
    msg.time = static_cast<DWORD>(kernel::ClockNowMsLocked() & 0xFFFFFFFFu);
    msg.pt = LastPenPoint();
    *out = msg;
    if (remove) best->ready = false;
    return true;
  }

 private:
  DWORD threadId_;
};

}  // namespace

// Before each look at a queue: the back end's input (input thread only),
// then what other threads left for this one.
static void BeforeRetrieval() {
  PollInput();
  RunTasks();
}

State& S() {
  static State* state = [] {
    kernel::SetRetrievalHook(&BeforeRetrieval);
    return new State();
  }();
  return *state;
}

std::shared_ptr<Window> FindLocked(HWND hwnd) {
  const auto it = S().windows.find(Value(hwnd));
  if (it == S().windows.end()) return nullptr;
  return it->second;
}

bool NeverActivatedLocked(const Window& w) {
  if (w.exStyle & WS_EX_NOACTIVATE) return true;
  const auto owner = w.owner ? FindLocked(w.owner) : nullptr;
  return owner && (owner->exStyle & WS_EX_NOACTIVATE);
}

std::shared_ptr<Window> Find(HWND hwnd) {
  State& s = S();
  std::shared_ptr<Window> window;
  {
    std::lock_guard guard(s.lock);
    if (hwnd) window = FindLocked(hwnd);
  }
  if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

std::shared_ptr<ThreadState> ThreadLocked(DWORD threadId) {
  auto& slot = S().threads[threadId];
  if (!slot) {
    slot = std::make_shared<ThreadState>();
    slot->threadId = threadId;
  }
  return slot;
}

void EnsureSources() {
  const DWORD threadId = GetCurrentThreadId();
  State& s = S();
  {
    std::lock_guard guard(s.lock);
    auto thread = ThreadLocked(threadId);
    if (thread->sourcesAdded) return;
    thread->sourcesAdded = true;
  }
  kernel::ThreadRecord& self = kernel::CurrentThread();
  auto lock = kernel::LockScheduler();
  self.queue->AddSourceLocked(std::make_shared<PaintSource>(threadId));
  self.queue->AddSourceLocked(std::make_shared<TimerSource>(threadId));
}

LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = nullptr;
  {
    State& s = S();
    std::lock_guard guard(s.lock);
    const auto window = FindLocked(hwnd);
    if (!window) return 0;
    proc = window->proc;
  }
  struct Depth {
    Depth() { ++g_procedureDepth; }
    ~Depth() { --g_procedureDepth; }
  } depth;
  return proc ? proc(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

int ProcedureDepth() { return g_procedureDepth; }

void WakeThread(DWORD threadId) {
  std::shared_ptr<ThreadSignal> signal;
  {
    State& s = S();
    std::lock_guard guard(s.lock);
    const auto it = s.threads.find(threadId);
    if (it != s.threads.end()) signal = it->second->signal;
  }
  std::shared_ptr<kernel::ThreadRecord> thread;  // released after the lock
  auto lock = kernel::LockScheduler();
  thread = kernel::FindThreadLocked(threadId);
  if (thread && thread->queue) thread->queue->WakeLocked();
  if (signal) signal->SetLocked();
}

bool PushTask(DWORD threadId, std::function<void()> task) {
  {
    std::shared_ptr<kernel::ThreadRecord> thread;
    auto lock = kernel::LockScheduler();
    thread = kernel::FindThreadLocked(threadId);
    if (!thread || thread->ended || !thread->queue || thread->queue->closedLocked()) return false;
  }
  {
    State& s = S();
    std::lock_guard guard(s.lock);
    ThreadLocked(threadId)->tasks.push_back(std::move(task));
  }
  WakeThread(threadId);
  return true;
}

void RunTasks() {
  const DWORD threadId = GetCurrentThreadId();
  State& s = S();
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard guard(s.lock);
      const auto it = s.threads.find(threadId);
      if (it == s.threads.end() || it->second->tasks.empty()) return;
      task = std::move(it->second->tasks.front());
      it->second->tasks.pop_front();
    }
    task();
  }
}

bool PostToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD threadId = 0;
  {
    State& s = S();
    std::lock_guard guard(s.lock);
    const auto window = FindLocked(hwnd);
    if (!window) return false;
    threadId = window->threadId;
  }
  const POINT pt = LastPenPoint();
  std::shared_ptr<kernel::ThreadRecord> thread;
  auto lock = kernel::LockScheduler();
  thread = kernel::FindThreadLocked(threadId);
  if (!thread || !thread->queue) return false;
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = static_cast<DWORD>(kernel::ClockNowMsLocked() & 0xFFFFFFFFu);
  msg.pt = pt;
  return thread->queue->PostLocked(msg);
}

void InvalidateLocked(Window& window, const RECT* rect, bool erase, std::vector<DWORD>* threads) {
  const RECT client{0, 0, window.rect.right - window.rect.left, window.rect.bottom - window.rect.top};
  RECT area = client;
  if (rect) {
    area = RECT{std::max(rect->left, client.left), std::max(rect->top, client.top), std::min(rect->right, client.right),
                std::min(rect->bottom, client.bottom)};
  }
  if (area.left >= area.right || area.top >= area.bottom) return;
  if (!window.hasUpdate) {
    window.update = area;
    window.hasUpdate = true;
  } else if (!Contains(window.update, area)) {
    window.update = RECT{std::min(window.update.left, area.left), std::min(window.update.top, area.top),
                         std::max(window.update.right, area.right), std::max(window.update.bottom, area.bottom)};
  }
  if (erase) window.erase = true;
  // A window that does not clip its children paints over them: the part of
  // each visible child under the area is invalidated (and erased) too, so
  // the children paint again after their parent, and so on down the tree.
  if (window.style & WS_CLIPCHILDREN) return;
  for (HWND handle : window.children) {
    const auto child = FindLocked(handle);
    if (!child || child->destroying || !(child->style & WS_VISIBLE)) continue;
    const RECT part{area.left - child->rect.left, area.top - child->rect.top, area.right - child->rect.left,
                    area.bottom - child->rect.top};
    if (threads && child->threadId != window.threadId) threads->push_back(child->threadId);
    InvalidateLocked(*child, &part, erase, threads);
  }
}

}  // namespace ce::user
