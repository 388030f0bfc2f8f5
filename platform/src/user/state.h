// The window layer's process-wide state: classes, windows, the focus,
// active and capture windows, and per thread the tasks other threads left
// for it (sent messages) and its timers.
//
// Lock order: the scheduler lock may be held when the user lock is taken
// (the queue's paint and timer sources run under it), never the other way
// round. No window procedure or other program code runs with either held.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ce/winuser.h"
#include "kernel/clock.h"
#include "kernel/wait.h"

namespace ce::user {

struct WindowClass {
  ATOM atom = 0;
  std::wstring name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int wndExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  int windows = 0;  // live windows of the class
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::wstring text;
  HWND parent = nullptr;       // child windows only
  HWND owner = nullptr;        // top-level windows only
  std::vector<HWND> children;  // front is the top of the z-order
  RECT rect{};                 // parent's client coordinates, or the screen's
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  std::vector<BYTE> extra;
  HINSTANCE instance = nullptr;
  DWORD threadId = 0;
  bool destroying = false;
  bool hasUpdate = false;  // update rectangle in client coordinates
  RECT update{};
  bool erase = false;
  DWORD fullScreenFlags = 0;
  int captionMetric = 0;  // SM_CYCAPTION when the window was made
};

// Lock held: windows that never take the activation: the shell's bars
// (WS_EX_NOACTIVATE) and the windows placed on them (owned by one).
bool NeverActivatedLocked(const Window& w);

// The caption band a top-level window with WS_CAPTION has above its client
// area, in pixels; 0 for the others.
inline int CaptionOf(const Window& w) {
  return !w.parent && (w.style & 0x00C00000u) == 0x00C00000u ? w.captionMetric : 0;
}

// Wakes one thread's waits in SendMessageW: set when a task arrives for the
// thread or an answer to its own sent message.
class ThreadSignal final : public kernel::Waitable {
 public:
  ThreadSignal() : Waitable(kernel::HandleKind::Other) {}
  bool IsSignaledFor(kernel::ThreadRecord&) override { return set_; }
  void Acquire(kernel::ThreadRecord&) override { set_ = false; }
  void SetLocked() {
    set_ = true;
    kernel::SignalLocked(*this);
  }

 private:
  bool set_ = false;
};

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  UINT period = 0;
  TIMERPROC proc = nullptr;
  std::uint64_t due = 0;
  bool ready = false;
  std::uint64_t readyAt = 0;
};

struct ThreadState {
  DWORD threadId = 0;
  std::deque<std::function<void()>> tasks;  // run on the thread, in order
  std::shared_ptr<ThreadSignal> signal = std::make_shared<ThreadSignal>();
  bool sourcesAdded = false;
  std::vector<Timer> timers;
  UINT_PTR nextThreadTimerId = 1;
  // One clock wake per thread, at its earliest due timer.
  kernel::clock::WakeId wake = 0;
  std::uint64_t wakeDue = 0;
  std::uint64_t wakeGeneration = 0;
};

struct State {
  std::mutex lock;
  std::map<std::uintptr_t, std::shared_ptr<Window>> windows;  // by handle, in creation order
  std::vector<HWND> topLevel;                                 // z-order, front is the top
  std::vector<std::shared_ptr<WindowClass>> classes;
  ATOM nextAtom = 0xC000;
  std::uint32_t nextSerial = 1;
  std::map<DWORD, std::shared_ptr<ThreadState>> threads;
  HWND active = nullptr;
  HWND focus = nullptr;
  HWND capture = nullptr;
  HCURSOR cursor = nullptr;
};

// The state; the first call installs the queue hook.
State& S();

inline std::uintptr_t Value(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }
inline HWND ToHwnd(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }

// Lock held: the window of a local handle, or null.
std::shared_ptr<Window> FindLocked(HWND hwnd);
// The same, setting ERROR_INVALID_WINDOW_HANDLE when there is none.
std::shared_ptr<Window> Find(HWND hwnd);
// Lock held: the calling thread's state (made on first use).
std::shared_ptr<ThreadState> ThreadLocked(DWORD threadId);
// Adds the paint and timer sources to the calling thread's queue once.
void EnsureSources();

// Calls the window's current procedure (no lock held).
LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// How many window procedures run on the calling thread: a message loop that
// runs inside one is a modal loop (a dialog's, a menu's, a program's form).
int ProcedureDepth();
// Leaves a task for a thread of this process and wakes it; false when the
// thread has ended.
bool PushTask(DWORD threadId, std::function<void()> task);
// Runs the tasks left for the calling thread.
void RunTasks();
// Posts to a local window's queue; false when its thread has ended.
bool PostToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Makes the calling thread's GetMessageW look again.
void WakeThread(DWORD threadId);

// Calls the window layer shares across its files.
void KillTimersOf(HWND hwnd);
// Adds to the window's update area (client coordinates; null: all of it)
// and, unless it clips its children, to theirs below it. The threads of
// children that belong to another thread are added to *threads, to wake.
void InvalidateLocked(Window& window, const RECT* rect, bool erase, std::vector<DWORD>* threads = nullptr);
void ActivateWindow(HWND hwnd);  // top-level, or null
// SetForegroundWindow's work, also for another program's request: the
// window's top level is activated and the program's screen raised.
void BringToFront(HWND hwnd);
void ForgetFocusAndCaptureOf(HWND hwnd);
POINT LastPenPoint();
void NoteKeyMessage(const MSG& msg);
// Tells other programs about this program's top-level windows again.
void PublishWindows();
// Forgets the windows and timers of threads that have ended (their
// procedures can no longer run), as the device does when a thread exits.
void SweepEndedThreads();

}  // namespace ce::user
