#include "engine/timer.h"

#include "ce/winbase.h"

ssTimer::ssTimer() {
  (void)spare_;
  // A constructor calls this class's own Start and GetTicks, as any C++
  // constructor does; a derived clock takes over once construction is done.
  Start();
}

std::uint32_t ssTimer::GetTicks() { return GetTickCount(); }

void ssTimer::Reset() {
  running_ = false;
  previousDelta_ = 0;
}

void ssTimer::Start() {
  start_ = GetTicks();
  running_ = true;
}

void ssTimer::Stop() { running_ = false; }

void ssTimer::Rewind100() { start_ -= 100u; }

std::uint32_t ssTimer::Now() { return GetTicks(); }

std::uint32_t ssTimer::Elapsed() { return GetTicks() - start_; }

std::uint32_t ssTimer::Delta() {
  std::uint32_t now = GetTicks();
  std::uint32_t delta = now - previousDelta_;
  previousDelta_ = now;
  return delta;
}

void ssTimer::Sleep(std::uint32_t ms) { ::Sleep(ms); }
