#include "backend/headless/headless_input.h"

#include <chrono>

namespace ce::backend {

bool HeadlessInput::Poll(InputEvent& event) {
  std::lock_guard guard(lock_);
  if (queue_.empty()) return false;
  event = queue_.front();
  queue_.pop_front();
  return true;
}

bool HeadlessInput::Wait(DWORD timeoutMs) {
  std::unique_lock guard(lock_);
  const auto ready = [this] { return woken_ || !queue_.empty(); };
  bool ok = true;
  if (timeoutMs == kWaitForever) {
    changed_.wait(guard, ready);
  } else {
    ok = changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready);
  }
  woken_ = false;
  return ok;
}

void HeadlessInput::Wake() {
  {
    std::lock_guard guard(lock_);
    woken_ = true;
  }
  changed_.notify_all();
}

void HeadlessInput::Push(const InputEvent& event) {
  {
    std::lock_guard guard(lock_);
    queue_.push_back(event);
  }
  changed_.notify_all();
}

void HeadlessInput::PushPen(InputKind kind, int x, int y, BYTE modifiers) {
  InputEvent event;
  event.kind = kind;
  event.pen = POINT{x, y};
  event.modifiers = modifiers;
  Push(event);
}

void HeadlessInput::PushKey(InputKind kind, WORD key, BYTE modifiers, bool repeat) {
  InputEvent event;
  event.kind = kind;
  event.key = key;
  event.modifiers = modifiers;
  event.repeat = repeat;
  Push(event);
}

void HeadlessInput::PushQuit() { Push(InputEvent{}); }

std::size_t HeadlessInput::pending() const {
  std::lock_guard guard(lock_);
  return queue_.size();
}

}  // namespace ce::backend
