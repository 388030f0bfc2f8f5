// The device clock as the rest of the platform sees it.
//
// One clock serves GetTickCount, Sleep, every wait's time-out, the system time
// and the due sources of later layers (window timers, sound devices). By
// default it is the host's monotonic clock. In virtual mode (device setting
// "clock = virtual", or UseVirtualClock from a test) time moves only when
// Advance is called, or when every platform thread waits and something is
// due: the clock then jumps to the earliest due moment, a wait's time-out or a
// scheduled wake. Platform threads are the program's main thread, every
// CreateThread thread, and any other host thread from its first wait on.
// A thread that keeps running without waiting therefore holds virtual time
// still. A wait that only another program can end (on its process, or on a
// named mutex it holds) is not idle, since that program lives on the host's
// time: while one is pending the clock does not jump, but moves with the
// host's clock as long as every platform thread waits. The virtual clock is
// implemented with the waits (wait.cpp), since it moves when they all block.
//
// Settings read when the clock is first used: "clock" ("virtual" or "real"),
// and for the virtual clock "clock_start_tick" (milliseconds, default 0) and
// "clock_start_time" (seconds since 1970-01-01 UTC, default 2010-01-01).
#pragma once

#include <cstdint>
#include <functional>

namespace ce::kernel {

// The system time now (UTC), in 100-nanosecond units since 1601-01-01, the
// unit of FILETIME. Files stamp their times with it.
std::uint64_t SystemTimeNow100ns();

// 100-nanosecond units from 1601-01-01 to 1970-01-01.
inline constexpr std::uint64_t kFileTimeUnixEpoch = 116444736000000000ull;

// Offset of local time from UTC now, in 100-nanosecond units.
std::int64_t LocalTimeOffset100ns();

namespace clock {

// Milliseconds on the clock's 64-bit scale; GetTickCount is its low 32 bits.
std::uint64_t NowMs();
bool IsVirtual();

// Switches to the virtual clock, starting at startTickMs with the system time
// startSystemTime100ns (FILETIME units). Call it before other threads wait.
void UseVirtualClock(std::uint64_t startTickMs, std::uint64_t startSystemTime100ns);
// Back to the host clock (for tests that switch).
void UseRealClock();
// Reads the clock settings of the device again (for tests that change them).
void ReloadSettings();

// Virtual clock only: moves time forward by ms, stopping at each due moment
// on the way (waits time out, wakes run) and letting the threads woken there
// run until they wait again, so the outcome does not depend on host timing.
// Returns once everything woken by the last step waits again.
void Advance(std::uint64_t ms);

// A due source: runs callback on the clock's own thread once NowMs() reaches
// dueMs (at once when already due). Callbacks must not block: they may set
// events, post messages or schedule the next wake. Returns an id for
// CancelWake, never 0.
using WakeId = std::uint64_t;
WakeId ScheduleWake(std::uint64_t dueMs, std::function<void()> callback);
// Cancels a wake that has not run yet (true). When its callback is running
// on the clock thread at that moment, waits for it to end (unless called
// from that callback) and answers false.
bool CancelWake(WakeId id);

}  // namespace clock
}  // namespace ce::kernel
