#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "ce/winbase.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "platform_thread.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::test::JoinThread;
using ce::test::StartThread;
using ce::test::ThreadBody;

// 2010-01-01 00:00:00 UTC in FILETIME units.
constexpr std::uint64_t kStart2010 = 129067776000000000ull;

std::uint64_t Join(const FILETIME& t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
FILETIME Split(std::uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }

TEST(VirtualClock, ThirtySecondTimeOutTakesNoRealTime) {
  clock::UseVirtualClock(1000, kStart2010);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const auto realStart = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(event, 30000), WAIT_TIMEOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(5));
  EXPECT_EQ(GetTickCount(), 31000u);
  SYSTEMTIME now{};
  GetSystemTime(&now);
  EXPECT_EQ(now.wYear, 2010);
  EXPECT_EQ(now.wSecond, 30);
  EXPECT_EQ(now.wMilliseconds, 0);
  CloseHandle(event);
}

TEST(VirtualClock, SleepersWakeInOrderAtTheirTimes) {
  clock::UseVirtualClock(0, kStart2010);
  std::vector<std::pair<int, DWORD>> wakes;  // guarded by the section
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  auto sleeper = [&](int name, DWORD ms) {
    return ThreadBody([&, name, ms] {
      Sleep(ms);
      EnterCriticalSection(&section);
      wakes.emplace_back(name, GetTickCount());
      LeaveCriticalSection(&section);
      return DWORD{0};
    });
  };
  ThreadBody late = sleeper(2, 250);
  ThreadBody early = sleeper(1, 100);
  HANDLE threads[] = {StartThread(late), StartThread(early)};
  EXPECT_EQ(WaitForMultipleObjects(2, threads, TRUE, INFINITE), WAIT_OBJECT_0);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  ASSERT_EQ(wakes.size(), 2u);
  EXPECT_EQ(wakes[0], std::make_pair(1, DWORD{100}));
  EXPECT_EQ(wakes[1], std::make_pair(2, DWORD{250}));
  EXPECT_EQ(GetTickCount(), 250u);
  DeleteCriticalSection(&section);
}

TEST(VirtualClock, TickCountWrapsAfter32Bits) {
  clock::UseVirtualClock(0xFFFFFFFFull - 50, kStart2010);
  const DWORD before = GetTickCount();
  Sleep(100);
  const DWORD after = GetTickCount();
  EXPECT_EQ(before, 0xFFFFFFFFu - 50);
  EXPECT_EQ(after, 49u);
  EXPECT_EQ(static_cast<DWORD>(after - before), 100u) << "unsigned differences stay right across the wrap";
  EXPECT_EQ(clock::NowMs(), 0xFFFFFFFFull + 50);
}

TEST(VirtualClock, AdvanceStopsAtEachDueWakeInOrder) {
  clock::UseVirtualClock(500, kStart2010);
  std::vector<std::uint64_t> seen;  // written on the clock thread, read after Advance
  clock::ScheduleWake(520, [&] { seen.push_back(clock::NowMs()); });
  clock::ScheduleWake(510, [&] {
    seen.push_back(clock::NowMs());
    clock::ScheduleWake(515, [&] { seen.push_back(clock::NowMs()); });
  });
  const auto cancelled = clock::ScheduleWake(512, [&] { seen.push_back(0); });
  EXPECT_TRUE(clock::CancelWake(cancelled));
  EXPECT_FALSE(clock::CancelWake(cancelled));
  clock::Advance(30);
  EXPECT_EQ(seen, (std::vector<std::uint64_t>{510, 515, 520}));
  EXPECT_EQ(clock::NowMs(), 530u);
}

TEST(VirtualClock, AdvanceLetsWokenThreadsRunBeforeTheNextStep) {
  clock::UseVirtualClock(0, kStart2010);
  std::vector<DWORD> ticks;  // written by the thread between its sleeps
  ThreadBody ticker([&] {
    for (int i = 0; i < 5; ++i) {
      Sleep(10);
      ticks.push_back(GetTickCount());
    }
    return DWORD{0};
  });
  HANDLE thread = StartThread(ticker);
  clock::Advance(35);
  EXPECT_EQ(ticks, (std::vector<DWORD>{10, 20, 30}));
  EXPECT_EQ(GetTickCount(), 35u);
  clock::Advance(100);
  EXPECT_EQ(ticks, (std::vector<DWORD>{10, 20, 30, 40, 50}));
  EXPECT_EQ(JoinThread(thread), 0u);
}

// Two threads advancing at once take turns instead of each waiting for the
// other to wait.
TEST(VirtualClock, AdvanceFromTwoThreadsAtOnceTakesTurns) {
  clock::UseVirtualClock(0, kStart2010);
  ThreadBody advancer([] {
    clock::Advance(50);
    return DWORD{0};
  });
  HANDLE first = StartThread(advancer);
  HANDLE second = StartThread(advancer);
  EXPECT_EQ(JoinThread(first), 0u);
  EXPECT_EQ(JoinThread(second), 0u);
  EXPECT_EQ(GetTickCount(), 100u);
}

TEST(VirtualClock, JumpsToADueWakeWhenEveryThreadWaits) {
  clock::UseVirtualClock(0, kStart2010);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  clock::ScheduleWake(700, [event] { SetEvent(event); });
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(GetTickCount(), 700u);
  // A time-out earlier than the wake comes first.
  clock::ScheduleWake(2000, [event] { SetEvent(event); });
  EXPECT_EQ(WaitForSingleObject(event, 300), WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount(), 1000u);
  CloseHandle(event);
}

TEST(VirtualClock, ChosenByTheDeviceSetting) {
  ::setenv("DEVICE_CLOCK", "virtual", 1);
  ::setenv("DEVICE_CLOCK_START_TICK", "4242", 1);
  ::setenv("DEVICE_CLOCK_START_TIME", "0", 1);
  clock::ReloadSettings();
  EXPECT_TRUE(clock::IsVirtual());
  EXPECT_EQ(GetTickCount(), 4242u);
  SYSTEMTIME now{};
  GetSystemTime(&now);
  EXPECT_EQ(now.wYear, 1970);
  ::unsetenv("DEVICE_CLOCK");
  ::unsetenv("DEVICE_CLOCK_START_TICK");
  ::unsetenv("DEVICE_CLOCK_START_TIME");
  clock::ReloadSettings();
  EXPECT_FALSE(clock::IsVirtual());
}

TEST(RealClock, WakesRunOnTime) {
  clock::UseRealClock();
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const DWORD start = GetTickCount();
  clock::ScheduleWake(clock::NowMs() + 30, [event] { SetEvent(event); });
  ASSERT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
  EXPECT_GE(GetTickCount() - start, 30u);
  CloseHandle(event);
}

TEST(RealClock, SleepAndTimeOutsLastAtLeastTheirTime) {
  clock::UseRealClock();
  const DWORD start = GetTickCount();
  Sleep(20);
  EXPECT_GE(GetTickCount() - start, 20u);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
  EXPECT_GE(GetTickCount() - start, 40u);
  Sleep(0);
  CloseHandle(event);
}

struct DateCase {
  SYSTEMTIME time;  // year, month, day of week, day, hour, minute, second, ms
  std::uint64_t fileTime;
};

TEST(TimeConversion, SystemTimeAndFileTimeRoundTrip) {
  const DateCase cases[] = {
      {{1601, 1, 1, 1, 0, 0, 0, 0}, 0},                              // Monday
      {{1970, 1, 4, 1, 0, 0, 0, 0}, 116444736000000000ull},          // Thursday
      {{2000, 2, 2, 29, 12, 34, 56, 789}, 125963012967890000ull},    // Tuesday, leap day
      {{2010, 1, 5, 1, 0, 0, 0, 0}, kStart2010},                     // Friday
      {{2038, 1, 2, 19, 3, 14, 8, 0}, 137919572480000000ull},        // past 32-bit Unix time
      {{30827, 12, 5, 31, 23, 59, 59, 999}, 0x7FFF35F4F06C58F0ull},  // the last convertible day
  };
  for (const DateCase& c : cases) {
    FILETIME file{};
    ASSERT_TRUE(SystemTimeToFileTime(&c.time, &file)) << c.time.wYear;
    EXPECT_EQ(Join(file), c.fileTime) << c.time.wYear;
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&file, &back));
    EXPECT_EQ(std::memcmp(&back, &c.time, sizeof back), 0) << c.time.wYear << " day of week " << back.wDayOfWeek;
  }
}

TEST(TimeConversion, RefusesFieldsOutOfRange) {
  const SYSTEMTIME bad[] = {
      {1600, 12, 0, 31, 0, 0, 0, 0}, {30828, 1, 0, 1, 0, 0, 0, 0}, {2001, 0, 0, 1, 0, 0, 0, 0},
      {2001, 13, 0, 1, 0, 0, 0, 0},  {2001, 2, 0, 29, 0, 0, 0, 0}, {1900, 2, 0, 29, 0, 0, 0, 0},
      {2001, 4, 0, 31, 0, 0, 0, 0},  {2001, 1, 0, 0, 0, 0, 0, 0},  {2001, 1, 0, 1, 24, 0, 0, 0},
      {2001, 1, 0, 1, 0, 60, 0, 0},  {2001, 1, 0, 1, 0, 0, 60, 0}, {2001, 1, 0, 1, 0, 0, 0, 1000},
  };
  for (const SYSTEMTIME& t : bad) {
    FILETIME file{123, 456};
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToFileTime(&t, &file)) << t.wYear << "-" << t.wMonth << "-" << t.wDay;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(file.dwLowDateTime, 123u) << "the output is left alone";
  }
  const FILETIME tooLate = Split(0x8000000000000000ull);
  SYSTEMTIME out{};
  SetLastError(0);
  EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &out));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SystemTimeToFileTime(nullptr, nullptr));
}

TEST(TimeConversion, LocalTimeFollowsTheOffsetSetting) {
  clock::UseVirtualClock(0, kStart2010);
  FILETIME utc = Split(kStart2010);
  FILETIME local{};
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  EXPECT_EQ(Join(local), kStart2010) << "the virtual clock is on UTC unless the device says otherwise";

  ::setenv("DEVICE_TIMEZONE_OFFSET_MINUTES", "-330", 1);
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  EXPECT_EQ(Join(local), kStart2010 - 330ull * 60 * 10000000);
  FILETIME again{};
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &again));
  EXPECT_EQ(Join(again), kStart2010);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  EXPECT_EQ(now.wYear, 2009);
  EXPECT_EQ(now.wHour, 18);
  EXPECT_EQ(now.wMinute, 30);

  FILETIME early = Split(1000);
  SetLastError(0);
  EXPECT_FALSE(FileTimeToLocalFileTime(&early, &local)) << "no time before 1601";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ::unsetenv("DEVICE_TIMEZONE_OFFSET_MINUTES");
}

TEST(TimeConversion, CompareFileTime) {
  const FILETIME a = Split(0x00000001FFFFFFFFull);
  const FILETIME b = Split(0x0000000200000000ull);
  EXPECT_EQ(CompareFileTime(&a, &b), -1);
  EXPECT_EQ(CompareFileTime(&b, &a), 1);
  EXPECT_EQ(CompareFileTime(&a, &a), 0);
}

}  // namespace
