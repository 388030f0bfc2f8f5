#include "kernel/message_queue.h"

#include <algorithm>
#include <atomic>

#include "ce/winbase.h"
#include "kernel/not_implemented.h"

namespace ce::kernel {
namespace {

std::atomic<RetrievalHook> g_retrievalHook{nullptr};

HWND const kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

void RunRetrievalHook() {
  if (RetrievalHook hook = g_retrievalHook.load()) hook();
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = static_cast<DWORD>(ClockNowMsLocked() & 0xFFFFFFFFu);
  return msg;
}

}  // namespace

bool MessageFilter::MatchesRange(UINT message) const {
  if (min == 0 && max == 0) return true;
  return message >= min && message <= max;
}

bool MessageFilter::Matches(const MSG& msg) const {
  if (!MatchesRange(msg.message)) return false;
  if (hwnd == nullptr) return true;
  if (hwnd == kThreadMessagesOnly) return msg.hwnd == nullptr;
  return msg.hwnd == hwnd;
}

bool MessageQueue::IsSignaledFor(ThreadRecord&) {
  if (wakeRequested_) return true;
  MSG ignored;
  return TakeLocked(waitFilter_, false, &ignored);
}

void MessageQueue::Acquire(ThreadRecord&) { wakeRequested_ = false; }

bool MessageQueue::PostLocked(const MSG& msg) {
  if (closed_) return false;
  posted_.push_back(msg);
  SignalLocked(*this);
  return true;
}

void MessageQueue::PostQuitLocked(int exitCode) {
  if (closed_) return;
  quitPending_ = true;
  quitCode_ = exitCode;
  SignalLocked(*this);
}

bool MessageQueue::WithdrawQuitLocked() {
  const bool was = quitPending_;
  quitPending_ = false;
  return was;
}

bool MessageQueue::TakeLocked(const MessageFilter& filter, bool remove, MSG* out) {
  const auto posted = std::find_if(posted_.begin(), posted_.end(), [&](const MSG& m) { return filter.Matches(m); });
  if (posted != posted_.end()) {
    *out = *posted;
    if (remove) posted_.erase(posted);
    return true;
  }
  if (quitPending_ && filter.MatchesRange(WM_QUIT)) {
    *out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode_), 0);
    if (remove) quitPending_ = false;
    return true;
  }
  for (const auto& source : sources_) {
    if (source->TakeLocked(filter, remove, out)) return true;
  }
  return false;
}

void MessageQueue::AddSourceLocked(std::shared_ptr<Source> source) {
  if (source) sources_.push_back(std::move(source));
}

void MessageQueue::RemoveSourceLocked(const Source* source) {
  sources_.erase(std::remove_if(sources_.begin(), sources_.end(), [&](const auto& s) { return s.get() == source; }),
                 sources_.end());
}

void MessageQueue::WakeLocked() {
  wakeRequested_ = true;
  SignalLocked(*this);
}

void MessageQueue::CloseLocked() {
  closed_ = true;
  posted_.clear();
  quitPending_ = false;
  // The sources go with the queue, outside the scheduler lock.
}

void SetRetrievalHook(RetrievalHook hook) { g_retrievalHook.store(hook); }

}  // namespace ce::kernel

using ce::kernel::MessageFilter;

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<ce::kernel::ThreadRecord> thread;  // released after the lock
  auto lock = ce::kernel::LockScheduler();
  thread = ce::kernel::FindThreadLocked(threadId);
  if (!thread || thread->ended || !thread->queue || thread->queue->closedLocked()) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  thread->queue->PostLocked(ce::kernel::MakeMessage(nullptr, message, wParam, lParam));
  return TRUE;
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  const MessageFilter filter{hwnd, filterMin, filterMax};
  ce::kernel::Waitable* queue = self.queue.get();
  for (;;) {
    ce::kernel::RunRetrievalHook();
    auto lock = ce::kernel::LockScheduler();
    if (self.queue->TakeLocked(filter, true, msg)) return msg->message == WM_QUIT ? 0 : 1;
    self.queue->SetWaitFilterLocked(filter);
    ce::kernel::WaitLocked(lock, self, &queue, 1, false, INFINITE);
  }
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage) {
  if (removeMessage & ~(PM_REMOVE | PM_NOYIELD)) {
    ce::kernel::NotImplemented("PeekMessageW(flags)");
    return FALSE;
  }
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  ce::kernel::RunRetrievalHook();
  auto lock = ce::kernel::LockScheduler();
  return self.queue->TakeLocked(MessageFilter{hwnd, filterMin, filterMax}, (removeMessage & PM_REMOVE) != 0, msg)
             ? TRUE
             : FALSE;
}

void PostQuitMessage(int exitCode) {
  ce::kernel::ThreadRecord& self = ce::kernel::CurrentThread();
  auto lock = ce::kernel::LockScheduler();
  self.queue->PostQuitLocked(exitCode);
}
