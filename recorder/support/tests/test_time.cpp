#include <gtest/gtest.h>

#include "ce/testing.h"
#include "ce/winbase.h"
#include "liba/timer.h"
#include "os/date_time.h"

namespace {

using ce::testing::AdvanceClock;
using ce::testing::UseRealClock;
using ce::testing::UseVirtualClock;

// 2010-01-01 00:00:00 UTC in FILETIME units.
constexpr std::uint64_t kStart2010 = 129067776000000000ull;

TEST(DateTime, DefaultIsTheStartOf1601AndCopiesKeepEveryField) {
  const os::DateTime zero;
  EXPECT_EQ(zero.year(), 1601);
  EXPECT_EQ(zero.month(), 1);
  EXPECT_EQ(zero.day(), 1);
  EXPECT_EQ(zero.hour(), 0);
  EXPECT_EQ(zero.minute(), 0);
  EXPECT_EQ(zero.ticks, 0u);

  // 2010-01-01 + 1 day 13:45 (no time-zone conversion).
  const std::uint64_t t = kStart2010 + (24ull * 3600 + 13 * 3600 + 45 * 60) * 10000000ull;
  os::DateTime d(FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)});
  EXPECT_EQ(d.year(), 2010);
  EXPECT_EQ(d.month(), 1);
  EXPECT_EQ(d.day(), 2);
  EXPECT_EQ(d.hour(), 13);
  EXPECT_EQ(d.minute(), 45);
  EXPECT_EQ(d.ticks, t);
  os::DateTime copy = zero;
  copy = d;
  copy = *&copy;  // self-assignment keeps the value
  EXPECT_EQ(copy.ticks, t);
  EXPECT_EQ(copy.day(), 2);
  EXPECT_EQ(copy.system_time.wDayOfWeek, d.system_time.wDayOfWeek);
}

TEST(Timer, ElapsedSecondsOnTheVirtualClock) {
  UseVirtualClock(1000, kStart2010);
  liba::Timer timer;
  EXPECT_EQ(timer.elapsed(), 0.0);
  AdvanceClock(1500);
  EXPECT_DOUBLE_EQ(timer.elapsed(), 1.5);
  EXPECT_EQ(timer.restart(), GetTickCount());
  EXPECT_EQ(timer.elapsed(), 0.0);
  UseRealClock();
}

TEST(Timer, TheTickCountWrapIsHarmless) {
  UseVirtualClock(0xFFFFFFFFull - 200, kStart2010);
  liba::Timer timer;
  AdvanceClock(700);  // the 32-bit tick count wraps on the way
  EXPECT_DOUBLE_EQ(timer.elapsed(), 0.7);
  UseRealClock();
}

}  // namespace
