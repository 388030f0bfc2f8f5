// Base of the engine's device threads: a liba::Thread that knows its own
// thread id as soon as it has started, so the device can be opened with
// notifications posted to it and pokes can be posted before it first waits.
// Its run() pumps the thread's message queue at raised priority.
#pragma once

#include <cstdint>

#include "liba/thread.h"

struct MSG;

namespace audio {

class DeviceThread : public liba::Thread {
 public:
  DeviceThread() = default;
  ~DeviceThread() override;

  // The thread's id; 0 when it could not be started.
  std::uint32_t thread_id() const { return thread_id_; }

 protected:
  // Starts the thread and waits until it has recorded its id.
  bool start_and_wait();
  // Handles one message from the thread's queue.
  virtual void on_message(const MSG& msg) = 0;
  // Called on the thread once the pump ends: on a stop request, or when the
  // queue is closed.
  virtual void on_pump_end() {}

 private:
  // Records the id, then hands every queued message to on_message() until a
  // stop is requested or the queue is closed.
  void run() final;
  void announce();

  void* ready_ = nullptr;  // event set by announce()
  volatile std::uint32_t thread_id_ = 0;
};

}  // namespace audio
