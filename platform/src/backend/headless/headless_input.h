// The headless input source: a queue that tests and scripted runs fill with
// the events a person would cause, in device terms. Events come out in the
// order they were pushed; pushing wakes a waiting window thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "backend/input.h"

namespace ce::backend {

class HeadlessInput final : public InputSource {
 public:
  bool Poll(InputEvent& event) override;
  bool Wait(DWORD timeoutMs) override;
  void Wake() override;

  // Queues an event; from any thread.
  void Push(const InputEvent& event);
  // Shorthands for the common events.
  void PushPen(InputKind kind, int x, int y, BYTE modifiers = 0);
  void PushKey(InputKind kind, WORD key, BYTE modifiers = 0, bool repeat = false);
  void PushQuit();

  std::size_t pending() const;

 protected:
  void Queue(const InputEvent& event) override { Push(event); }

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<InputEvent> queue_;
  bool woken_ = false;
};

}  // namespace ce::backend
