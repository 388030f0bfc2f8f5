// ssTimer: the game's millisecond clock over the device's tick count. Every
// reading goes through GetTicks, so a timer that overrides it (a test's fake
// clock) changes every reading. Arithmetic is unsigned 32-bit and wraps with
// the tick count.
#pragma once

#include <cstdint>

class ssTimer {
 public:
  ssTimer();
  virtual ~ssTimer() = default;

  virtual std::uint32_t GetTicks();
  // Running flag and previous-Delta time back to 0; the start time is kept.
  virtual void Reset();
  virtual void Start();
  // Clears the running flag only: Elapsed goes on counting.
  virtual void Stop();
  // Moves the start back by 100 ms.
  virtual void Rewind100();
  virtual std::uint32_t Now();
  virtual std::uint32_t Elapsed();
  // Time since the previous Delta (the full tick count the first time).
  virtual std::uint32_t Delta();
  void Sleep(std::uint32_t ms);

  bool Running() const { return m_Running; }
  std::uint32_t StartTime() const { return m_Start; }
  // The application moves the start forward by the time spent suspended.
  void SetStartTime(std::uint32_t start) { m_Start = start; }

 private:
  bool m_Running = false;
  std::uint32_t m_PreviousDelta = 0;
  std::uint32_t m_Start = 0;
  std::uint32_t m_Spare = 1;
};
