#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <vector>

#include "ce/winbase.h"
#include "kernel/clock.h"
#include "platform_thread.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::test::JoinThread;
using ce::test::StartThread;
using ce::test::ThreadBody;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

bool IsSignaled(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

TEST(SyncHeader, ValuesMatchTheDevice) {
  const std::pair<long long, long long> values[] = {
      {INFINITE, 0xFFFFFFFFll},
      {WAIT_OBJECT_0, 0},
      {WAIT_ABANDONED_0, 0x80},
      {WAIT_TIMEOUT, 258},
      {WAIT_FAILED, 0xFFFFFFFFll},
      {MAXIMUM_WAIT_OBJECTS, 64},
      {STILL_ACTIVE, 0x103},
      {CREATE_SUSPENDED, 4},
      {EVENT_PULSE, 1},
      {EVENT_RESET, 2},
      {EVENT_SET, 3},
      {THREAD_PRIORITY_TIME_CRITICAL, 0},
      {THREAD_PRIORITY_HIGHEST, 1},
      {THREAD_PRIORITY_NORMAL, 3},
      {THREAD_PRIORITY_LOWEST, 5},
      {THREAD_PRIORITY_IDLE, 7},
      {CE_THREAD_PRIO_256_NORMAL, 251},
      {THREAD_PRIORITY_ERROR_RETURN, 0x7FFFFFFF},
  };
  for (std::size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(values[i].first, values[i].second) << "entry " << i;
}

TEST(Events, AutoResetPassesOneWaitManualResetStays) {
  HANDLE autoEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  HANDLE manualEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  HANDLE unsignaled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_TRUE(IsSignaled(autoEvent));
  EXPECT_FALSE(IsSignaled(autoEvent)) << "the wait reset it";
  EXPECT_TRUE(IsSignaled(manualEvent));
  EXPECT_TRUE(IsSignaled(manualEvent));
  EXPECT_FALSE(IsSignaled(unsignaled));
  EXPECT_TRUE(ResetEvent(manualEvent));
  EXPECT_FALSE(IsSignaled(manualEvent));
  EXPECT_TRUE(EventModify(autoEvent, EVENT_SET));
  EXPECT_TRUE(IsSignaled(autoEvent));
  EXPECT_TRUE(EventModify(manualEvent, EVENT_SET));
  EXPECT_TRUE(EventModify(manualEvent, EVENT_RESET));
  EXPECT_FALSE(IsSignaled(manualEvent));
  SetLastError(0);
  EXPECT_FALSE(EventModify(manualEvent, 4));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  for (HANDLE h : {autoEvent, manualEvent, unsignaled}) CloseHandle(h);
}

// Starts `count` threads that wait for the event and count their release.
struct Waiters {
  explicit Waiters(HANDLE event, int count)
      : body([this, event] {
          WaitForSingleObject(event, INFINITE);
          released.fetch_add(1);
          return DWORD{0};
        }) {
    for (int i = 0; i < count; ++i) threads.push_back(StartThread(body));
  }
  ~Waiters() {
    for (HANDLE t : threads) JoinThread(t);
  }
  std::atomic<int> released{0};
  ThreadBody body;
  std::vector<HANDLE> threads;
};

TEST(Events, SetReleasesOneWaiterOfAnAutoResetEvent) {
  clock::UseVirtualClock(0, kStart2010);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  Waiters waiters(event, 2);
  Sleep(1);  // returns when both wait
  SetEvent(event);
  Sleep(1);
  EXPECT_EQ(waiters.released, 1);
  EXPECT_FALSE(IsSignaled(event));
  SetEvent(event);
  Sleep(1);
  EXPECT_EQ(waiters.released, 2);
  CloseHandle(event);
}

TEST(Events, PulseReleasesOnlyThreadsWaitingNow) {
  clock::UseVirtualClock(0, kStart2010);
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE autoEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_TRUE(PulseEvent(manual));
  EXPECT_FALSE(IsSignaled(manual)) << "a pulse with nobody waiting is lost";
  {
    Waiters all(manual, 3);
    Waiters one(autoEvent, 2);
    Sleep(1);
    EXPECT_TRUE(PulseEvent(manual));
    EXPECT_TRUE(EventModify(autoEvent, EVENT_PULSE));
    Sleep(1);
    EXPECT_EQ(all.released, 3);
    EXPECT_EQ(one.released, 1);
    EXPECT_FALSE(IsSignaled(manual));
    EXPECT_FALSE(IsSignaled(autoEvent));
    SetEvent(autoEvent);
  }
  CloseHandle(manual);
  CloseHandle(autoEvent);
}

TEST(Events, NamedEventsAreSharedInTheProgram) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, L"BackLightChangeEvent");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  HANDLE second = CreateEventW(nullptr, FALSE, TRUE, L"BackLightChangeEvent");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_NE(first, second);
  EXPECT_FALSE(IsSignaled(second)) << "the existing event keeps its state";
  SetEvent(first);
  EXPECT_TRUE(IsSignaled(second));
  HANDLE other = CreateEventW(nullptr, TRUE, FALSE, L"backlightchangeevent");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "names are case-sensitive";

  SetLastError(0);
  EXPECT_EQ(CreateMutexW(nullptr, FALSE, L"BackLightChangeEvent"), nullptr) << "a name of another kind";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  for (HANDLE h : {first, second, other}) CloseHandle(h);
  HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, L"BackLightChangeEvent");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "the name goes with its last handle";
  CloseHandle(fresh);
}

TEST(Waits, AnyReportsTheLowestSignaledIndexAllWaitsForEveryOne) {
  HANDLE e[3];
  for (HANDLE& h : e) h = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_TIMEOUT);
  SetEvent(e[2]);
  SetEvent(e[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 2);

  SetEvent(e[0]);
  SetEvent(e[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(IsSignaled(e[0])) << "a wait-all that fails takes nothing";
  SetEvent(e[0]);
  SetEvent(e[2]);
  EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 0), WAIT_OBJECT_0);
  for (HANDLE h : e) EXPECT_FALSE(IsSignaled(h)) << "a wait-all takes every object";

  // A blocked wait-all is granted when the last object arrives.
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD result = 0;
  ThreadBody body([&] {
    result = WaitForMultipleObjects(3, e, TRUE, INFINITE);
    return DWORD{0};
  });
  HANDLE thread = StartThread(body);
  SetEvent(e[0]);
  SetEvent(e[2]);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  SetEvent(e[1]);
  JoinThread(thread);
  EXPECT_EQ(result, WAIT_OBJECT_0);
  for (HANDLE h : e) CloseHandle(h);
  CloseHandle(done);
}

TEST(Waits, RefuseBadArguments) {
  HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
  for (HANDLE& h : many) h = e;
  struct Case {
    DWORD count;
    const HANDLE* handles;
    BOOL all;
  };
  const Case cases[] = {
      {0, many, FALSE}, {MAXIMUM_WAIT_OBJECTS + 1, many, FALSE}, {1, nullptr, FALSE}, {2, many, TRUE}};
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.all, 0), WAIT_FAILED) << c.count;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many, FALSE, 0), WAIT_OBJECT_0)
      << "repeats are fine in wait-any";
  CloseHandle(e);
}

TEST(Mutexes, RecursiveOwnershipAndNotOwner) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "the owner takes it again";
  DWORD otherResult = 0;
  DWORD releaseError = 0;
  ThreadBody other([&] {
    otherResult = WaitForSingleObject(mutex, 0);
    SetLastError(0);
    if (!ReleaseMutex(mutex)) releaseError = GetLastError();
    return DWORD{0};
  });
  JoinThread(StartThread(other));
  EXPECT_EQ(otherResult, WAIT_TIMEOUT);
  EXPECT_EQ(releaseError, ERROR_NOT_OWNER);
  EXPECT_TRUE(ReleaseMutex(mutex));
  JoinThread(StartThread(other));
  EXPECT_EQ(otherResult, WAIT_TIMEOUT) << "still held once";
  EXPECT_TRUE(ReleaseMutex(mutex));
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  CloseHandle(mutex);
}

TEST(Mutexes, PassOnWhenTheOwnerEnds) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
  ThreadBody owner([&] { return WaitForSingleObject(mutex, INFINITE); });  // ends owning it
  EXPECT_EQ(JoinThread(StartThread(owner)), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
}

TEST(Mutexes, NamedMutexIsSharedAndReportsExistence) {
  HANDLE first = CreateMutexW(nullptr, TRUE, L"SkinnerClass_Vocamo");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  HANDLE second = CreateMutexW(nullptr, TRUE, L"SkinnerClass_Vocamo");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  DWORD otherResult = 0;
  ThreadBody other([&] {
    otherResult = WaitForSingleObject(second, 0);
    return DWORD{0};
  });
  JoinThread(StartThread(other));
  EXPECT_EQ(otherResult, WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(second)) << "one object behind both handles, taken once";
  EXPECT_FALSE(ReleaseMutex(first));
  CloseHandle(first);
  CloseHandle(second);
  HANDLE odd = CreateMutexW(nullptr, FALSE, L"a/b\\..\\c d\u00e9");
  EXPECT_NE(odd, nullptr) << "any characters make a name";
  CloseHandle(odd);
}

// A child process takes the named mutex and reports it through a pipe; it is
// then killed, or leaves with _exit, while it owns it, or releases it after
// holdMs milliseconds of the host's time and leaves.
pid_t ChildHoldingMutex(const wchar_t* name, bool killLater, unsigned holdMs = 0) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    const bool owned = mutex && WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0;
    const char report = owned ? 'y' : 'n';
    (void)!::write(ready[1], &report, 1);
    if (killLater) ::pause();
    if (holdMs > 0) {
      ::usleep(holdMs * 1000);
      ReleaseMutex(mutex);
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  char report = 0;
  const bool ok = ::read(ready[0], &report, 1) == 1 && report == 'y';
  ::close(ready[0]);
  return ok ? child : -1;
}

TEST(Mutexes, NamedMutexOfAKilledProgramCanBeTakenAgain) {
  clock::UseRealClock();  // the other program lives on the host's time
  const pid_t child = ChildHoldingMutex(L"Held by a child", true);
  ASSERT_GT(child, 0);
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Held by a child");
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT) << "the child owns it, so it was not taken";

  // A thread already waiting takes it once the child is gone.
  HANDLE waiting = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD result = 0;
  ThreadBody waiter([&] {
    SetEvent(waiting);
    result = WaitForSingleObject(mutex, INFINITE);
    ReleaseMutex(mutex);
    return DWORD{0};
  });
  HANDLE thread = StartThread(waiter);
  WaitForSingleObject(waiting, INFINITE);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
  JoinThread(thread);
  EXPECT_EQ(result, WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
  CloseHandle(waiting);
}

TEST(Mutexes, NamedMutexOfAProgramThatExitedIsFree) {
  const pid_t child = ChildHoldingMutex(L"Left at exit", false);
  ASSERT_GT(child, 0);
  int status = 0;
  ::waitpid(child, &status, 0);
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Left at exit");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "nobody has it open any more";
  EXPECT_TRUE(ReleaseMutex(mutex)) << "created owned";
  CloseHandle(mutex);
}

// Another program releases the mutex on the host's time: a wait for it is
// not idle, so the virtual clock does not jump past its time-out.
TEST(Mutexes, AWaitForANamedMutexHeldElsewhereRunsOnTheHostsTime) {
  clock::UseVirtualClock(0, kStart2010);
  const pid_t child = ChildHoldingMutex(L"Held for a while", false, 300);
  ASSERT_GT(child, 0);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Held for a while");
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(WaitForSingleObject(mutex, 2000), WAIT_OBJECT_0);
  EXPECT_LT(GetTickCount(), 2000u);
  EXPECT_TRUE(ReleaseMutex(mutex));
  int status = 0;
  ::waitpid(child, &status, 0);

  // Held by a thread of this program, it is waited for on the virtual clock.
  ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  const DWORD start = GetTickCount();
  DWORD result = 0;
  ThreadBody other([&] {
    result = WaitForSingleObject(mutex, 30000);
    return DWORD{0};
  });
  JoinThread(StartThread(other));
  EXPECT_EQ(result, WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount(), start + 30000);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
  clock::UseRealClock();
}

TEST(CriticalSections, RecursiveAndExclusive) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));
  BOOL otherTry = TRUE;
  ThreadBody other([&] {
    otherTry = TryEnterCriticalSection(&section);
    return DWORD{0};
  });
  JoinThread(StartThread(other));
  EXPECT_FALSE(otherTry);
  LeaveCriticalSection(&section);
  JoinThread(StartThread(other));
  EXPECT_FALSE(otherTry) << "entered twice, left once";
  LeaveCriticalSection(&section);

  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  int plain = 0;  // guarded by the section only
  ThreadBody adder([&] {
    for (int i = 0; i < kRounds; ++i) {
      EnterCriticalSection(&section);
      EnterCriticalSection(&section);
      ++plain;
      LeaveCriticalSection(&section);
      LeaveCriticalSection(&section);
    }
    return DWORD{0};
  });
  HANDLE threads[kThreads];
  for (HANDLE& t : threads) t = StartThread(adder);
  EXPECT_EQ(WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE), WAIT_OBJECT_0);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(plain, kThreads * kRounds);
  DeleteCriticalSection(&section);
  EXPECT_EQ(section.LockObject, nullptr);
}

TEST(CriticalSections, ABlockedEntryCountsAsWaitingForTheVirtualClock) {
  clock::UseVirtualClock(0, kStart2010);
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD enteredAt = 0;
  ThreadBody holder([&] {
    EnterCriticalSection(&section);
    SetEvent(held);
    Sleep(100);
    LeaveCriticalSection(&section);
    return DWORD{0};
  });
  ThreadBody blocked([&] {
    WaitForSingleObject(held, INFINITE);
    EnterCriticalSection(&section);
    enteredAt = GetTickCount();
    LeaveCriticalSection(&section);
    return DWORD{0};
  });
  HANDLE threads[] = {StartThread(holder), StartThread(blocked)};
  EXPECT_EQ(WaitForMultipleObjects(2, threads, TRUE, INFINITE), WAIT_OBJECT_0);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(enteredAt, 100u);
  CloseHandle(held);
  DeleteCriticalSection(&section);
}

}  // namespace
