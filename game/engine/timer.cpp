#include "engine/timer.h"

#include "ce/winbase.h"

ssTimer::ssTimer() {
  (void)m_Spare;
  // A constructor calls this class's own Start and GetTicks, as any C++
  // constructor does; a derived clock takes over once construction is done.
  Start();
}

std::uint32_t ssTimer::GetTicks() { return GetTickCount(); }

void ssTimer::Reset() {
  m_Running = false;
  m_PreviousDelta = 0;
}

void ssTimer::Start() {
  m_Start = GetTicks();
  m_Running = true;
}

void ssTimer::Stop() { m_Running = false; }

void ssTimer::Rewind100() { m_Start -= 100u; }

std::uint32_t ssTimer::Now() { return GetTicks(); }

std::uint32_t ssTimer::Elapsed() { return GetTicks() - m_Start; }

std::uint32_t ssTimer::Delta() {
  std::uint32_t now = GetTicks();
  std::uint32_t delta = now - m_PreviousDelta;
  m_PreviousDelta = now;
  return delta;
}

void ssTimer::Sleep(std::uint32_t ms) { ::Sleep(ms); }
