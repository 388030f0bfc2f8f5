// Base of the engine's device threads: a liba::Thread that knows its own
// thread id as soon as it has started, so the device can be opened with
// notifications posted to it and pokes can be posted before it first waits.
#pragma once

#include <cstdint>

#include "liba/thread.h"

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
  // Called first thing in run().
  void announce();

 private:
  void* ready_ = nullptr;  // event set by announce()
  volatile std::uint32_t thread_id_ = 0;
};

}  // namespace audio
