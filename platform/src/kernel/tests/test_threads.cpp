#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "ce/winbase.h"
#include "kernel/clock.h"
#include "kernel/handles.h"
#include "platform_thread.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::test::JoinThread;
using ce::test::StartThread;
using ce::test::ThreadBody;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

TEST(Threads, RunAtOnceAndReportTheirExitCode) {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD seenId = 0;
  ThreadBody body([&] {
    seenId = GetCurrentThreadId();
    WaitForSingleObject(go, INFINITE);
    return DWORD{42};
  });
  DWORD id = 0;
  HANDLE thread = StartThread(body, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  SetEvent(go);
  EXPECT_EQ(JoinThread(thread), 42u);
  EXPECT_EQ(seenId, id);
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(::getpid()));
  CloseHandle(go);
}

TEST(Threads, ExitThreadUnwindsWithItsCode) {
  bool unwound = false;
  ThreadBody body([&]() -> DWORD {
    struct Mark {
      bool* flag;
      ~Mark() { *flag = true; }
    } mark{&unwound};
    ExitThread(7);
  });
  EXPECT_EQ(JoinThread(StartThread(body)), 7u);
  EXPECT_TRUE(unwound);
}

TEST(Threads, TerminateEndsAThreadBlockedInAWait) {
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE blocked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool unwound = false;
  bool returned = false;
  ThreadBody body([&] {
    struct Mark {
      bool* flag;
      ~Mark() { *flag = true; }
    } mark{&unwound};
    SetEvent(blocked);
    WaitForSingleObject(never, INFINITE);
    returned = true;
    return DWORD{0};
  });
  HANDLE thread = StartThread(body);
  WaitForSingleObject(blocked, INFINITE);
  EXPECT_TRUE(TerminateThread(thread, 99));
  EXPECT_EQ(JoinThread(thread), 99u);
  EXPECT_TRUE(unwound);
  EXPECT_FALSE(returned);
  CloseHandle(never);
  CloseHandle(blocked);
}

TEST(Threads, TerminatedThreadThatNeverWaitsEndsWithTheTerminateCode) {
  std::atomic<bool> started{false};
  std::atomic<bool> release{false};
  ThreadBody body([&] {
    started = true;
    while (!release) {}
    return DWORD{1};
  });
  HANDLE thread = StartThread(body);
  while (!started) {}
  EXPECT_TRUE(TerminateThread(thread, 5));
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT) << "it has not reached a wait yet";
  release = true;
  EXPECT_EQ(JoinThread(thread), 5u);
}

TEST(Threads, CreatedSuspendedRunsOnlyAfterResume) {
  clock::UseVirtualClock(0, kStart2010);
  std::atomic<bool> ran{false};
  ThreadBody body([&] {
    ran = true;
    return DWORD{0};
  });
  HANDLE thread = StartThread(body, CREATE_SUSPENDED);
  ASSERT_NE(thread, nullptr);
  Sleep(1000);  // returns once the new thread waits too, so it had every chance to run
  EXPECT_FALSE(ran);
  EXPECT_EQ(SuspendThread(thread), 1u);
  EXPECT_EQ(ResumeThread(thread), 2u);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(JoinThread(thread), 0u);
  EXPECT_TRUE(ran);
}

TEST(Threads, SelfSuspendWaitsForResume) {
  clock::UseVirtualClock(0, kStart2010);
  DWORD previous = 0xFFFF;
  std::atomic<int> stage{0};
  ThreadBody body([&] {
    stage = 1;
    previous = SuspendThread(GetCurrentThread());
    stage = 2;
    return DWORD{0};
  });
  HANDLE thread = StartThread(body);
  Sleep(10);  // the thread is suspended once every thread waits
  EXPECT_EQ(stage, 1);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(JoinThread(thread), 0u);
  EXPECT_EQ(stage, 2);
  EXPECT_EQ(previous, 0u);
}

TEST(Threads, SuspendByAnotherThreadStopsAtItsNextWait) {
  clock::UseVirtualClock(0, kStart2010);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> stage{0};
  ThreadBody body([&] {
    WaitForSingleObject(go, INFINITE);
    stage = 1;
    Sleep(5);
    stage = 2;
    return DWORD{0};
  });
  HANDLE thread = StartThread(body);
  EXPECT_EQ(SuspendThread(thread), 0u);
  SetEvent(go);
  Sleep(100);
  EXPECT_EQ(stage, 0) << "the wait that was under way ends suspended";
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(ResumeThread(thread), 0u) << "resuming a running thread changes nothing";
  EXPECT_EQ(JoinThread(thread), 0u);
  EXPECT_EQ(stage, 2);
  CloseHandle(go);
}

TEST(Threads, PrioritiesAreRecordedAndReadBack) {
  struct Case {
    int set;
    int ce;
  };
  const Case cases[] = {{THREAD_PRIORITY_TIME_CRITICAL, 248}, {THREAD_PRIORITY_HIGHEST, 249},
                        {THREAD_PRIORITY_ABOVE_NORMAL, 250},  {THREAD_PRIORITY_NORMAL, 251},
                        {THREAD_PRIORITY_BELOW_NORMAL, 252},  {THREAD_PRIORITY_LOWEST, 253},
                        {THREAD_PRIORITY_ABOVE_IDLE, 254},    {THREAD_PRIORITY_IDLE, 255}};
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ThreadBody body([&] { return WaitForSingleObject(go, INFINITE); });
  HANDLE thread = StartThread(body);
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_NORMAL);
  for (const Case& c : cases) {
    ASSERT_TRUE(SetThreadPriority(thread, c.set));
    EXPECT_EQ(GetThreadPriority(thread), c.set);
    EXPECT_EQ(CeGetThreadPriority(thread), c.ce);
  }
  ASSERT_TRUE(CeSetThreadPriority(thread, 100));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_TIME_CRITICAL);
  ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL));
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_ABOVE_NORMAL);

  for (int bad : {-1, 8}) {
    SetLastError(0);
    EXPECT_FALSE(SetThreadPriority(thread, bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_FALSE(CeSetThreadPriority(thread, 256));
  SetEvent(go);
  JoinThread(thread);
  SetLastError(0);
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_ERROR_RETURN) << "closed handle";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(go);
}

TEST(Threads, BadHandlesFailTheirCalls) {
  struct NotWaitable : ce::kernel::KernelObject {
    NotWaitable() : KernelObject(ce::kernel::HandleKind::File) {}
  };
  HANDLE file = ce::kernel::InsertHandle(std::make_shared<NotWaitable>());
  HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  CloseHandle(closed);
  for (HANDLE h : {HANDLE{nullptr}, INVALID_HANDLE_VALUE, closed, file}) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(h, &code));
    EXPECT_EQ(SuspendThread(h), 0xFFFFFFFFu);
    EXPECT_EQ(ResumeThread(h), 0xFFFFFFFFu);
    EXPECT_FALSE(TerminateThread(h, 0));
  }
  CloseHandle(file);
  SetLastError(0);
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Interlocked, CountsExactlyUnderContention) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 50000;
  LONG volatile counter = 0;
  LONG volatile sum = 0;
  LONG volatile spin = 0;
  LONG volatile inside = 0;
  bool overlapped = false;
  ThreadBody body([&] {
    for (int i = 0; i < kRounds; ++i) {
      InterlockedIncrement(&counter);
      InterlockedExchangeAdd(&sum, 3);
      InterlockedDecrement(&counter);
      InterlockedIncrement(&counter);
      // A spin lock made of compare-exchange admits one thread at a time.
      while (InterlockedCompareExchange(&spin, 1, 0) != 0) {}
      if (InterlockedIncrement(&inside) != 1) overlapped = true;
      InterlockedDecrement(&inside);
      InterlockedExchange(&spin, 0);
    }
    return DWORD{0};
  });
  HANDLE threads[kThreads];
  for (HANDLE& t : threads) t = StartThread(body);
  EXPECT_EQ(WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE), WAIT_OBJECT_0);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(counter, kThreads * kRounds);
  EXPECT_EQ(sum, 3 * kThreads * kRounds);
  EXPECT_FALSE(overlapped);
}

TEST(Interlocked, ReturnValuesAndWrapAround) {
  LONG volatile v = INT32_MAX;
  EXPECT_EQ(InterlockedIncrement(&v), INT32_MIN);
  EXPECT_EQ(InterlockedDecrement(&v), INT32_MAX);
  EXPECT_EQ(InterlockedExchange(&v, 5), INT32_MAX);
  EXPECT_EQ(InterlockedExchangeAdd(&v, -7), 5);
  EXPECT_EQ(v, -2);
  EXPECT_EQ(InterlockedCompareExchange(&v, 10, 3), -2) << "no match: unchanged";
  EXPECT_EQ(v, -2);
  EXPECT_EQ(InterlockedCompareExchange(&v, 10, -2), -2);
  EXPECT_EQ(v, 10);
}

}  // namespace
