#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "ce/winbase.h"
#include "liba/error.h"
#include "liba/thread.h"
#include "os/file.h"

namespace {

// A worker that waits for a go signal, counts its runs and can report its
// own priority.
class Worker : public liba::Thread {
 public:
  Worker() : go_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), done_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~Worker() override {
    request_stop();
    SetEvent(go_);
    wait();
    CloseHandle(go_);
    CloseHandle(done_);
  }
  void go() { SetEvent(go_); }
  // Asks the running body for its priority.
  int priority() {
    ask_priority = true;
    SetEvent(go_);
    WaitForSingleObject(done_, INFINITE);
    return reported;
  }
  std::atomic<int> runs{0};
  std::atomic<bool> ask_priority{false};
  bool loop = false;
  int reported = 0;

 protected:
  void run() override {
    ++runs;
    do {
      WaitForSingleObject(go_, INFINITE);
      if (ask_priority.exchange(false)) {
        reported = GetThreadPriority(GetCurrentThread());
        SetEvent(done_);
      }
    } while (loop && !is_stop_requested());
  }

 private:
  HANDLE go_;
  HANDLE done_;
};

bool WaitUntilIdle(const liba::Thread& t) {
  for (int i = 0; i < 2000 && t.has_thread(); ++i) Sleep(1);
  return !t.has_thread();
}

TEST(Thread, StartTwiceWaitAndRestart) {
  Worker w;
  w.wait();  // never started: returns at once
  ASSERT_TRUE(w.start());
  EXPECT_FALSE(w.start());  // still running: no second thread
  w.go();
  w.wait();
  EXPECT_FALSE(w.has_thread());
  EXPECT_EQ(w.runs, 1);

  // A body that returns on its own lets go of the handle; start works again.
  ASSERT_TRUE(w.start());
  w.go();
  EXPECT_TRUE(WaitUntilIdle(w));
  w.wait();
  ASSERT_TRUE(w.start());
  w.go();
  w.wait();
  EXPECT_EQ(w.runs, 3);
}

TEST(Thread, StopRequestIsClearedByStart) {
  Worker w;
  w.loop = true;
  w.request_stop();
  EXPECT_TRUE(w.is_stop_requested());
  ASSERT_TRUE(w.start());
  EXPECT_FALSE(w.is_stop_requested());
  w.go();
  w.go();
  EXPECT_TRUE(w.has_thread());
  w.request_stop();
  w.go();
  w.wait();
  EXPECT_EQ(w.runs, 1);
}

TEST(Thread, PriorityLevelsClamp) {
  struct Case {
    int level;
    int priority;
  };
  const Case cases[] = {{-7, THREAD_PRIORITY_LOWEST},       {-2, THREAD_PRIORITY_LOWEST},
                        {-1, THREAD_PRIORITY_BELOW_NORMAL}, {0, THREAD_PRIORITY_NORMAL},
                        {1, THREAD_PRIORITY_ABOVE_NORMAL},  {2, THREAD_PRIORITY_HIGHEST},
                        {9, THREAD_PRIORITY_HIGHEST}};
  Worker w;
  w.loop = true;
  ASSERT_TRUE(w.start());
  for (const Case& c : cases) {
    EXPECT_TRUE(w.set_priority(c.level)) << c.level;
    EXPECT_EQ(w.priority(), c.priority) << c.level;
  }
  Worker idle;
  EXPECT_FALSE(idle.set_priority(0));  // no thread to set
}

TEST(Thread, SuspendAndResumeReturnThePreviousCount) {
  Worker w;
  w.loop = true;
  ASSERT_TRUE(w.start());
  EXPECT_EQ(w.suspend(), 0u);
  EXPECT_EQ(w.suspend(), 1u);
  EXPECT_EQ(w.resume(), 2u);
  EXPECT_EQ(w.resume(), 1u);
  EXPECT_EQ(w.priority(), THREAD_PRIORITY_NORMAL);  // runs again
}

TEST(CriticalSection, RecursiveAndExcludesOtherThreads) {
  liba::CriticalSection lock;
  std::atomic<bool> entered{false};
  lock.enter();
  lock.enter();
  lock.leave();
  struct Other : liba::Thread {
    liba::CriticalSection* lock;
    std::atomic<bool>* entered;
    void run() override {
      lock->enter();
      *entered = true;
      lock->leave();
    }
  } other;
  other.lock = &lock;
  other.entered = &entered;
  ASSERT_TRUE(other.start());
  Sleep(30);
  EXPECT_FALSE(entered);  // still held once
  lock.leave();
  other.wait();
  EXPECT_TRUE(entered);
}

TEST(Atomics, CountersReturnTheNewValue) {
  volatile std::int32_t counter = 5;
  EXPECT_EQ(liba::atomic_increment(&counter), 6);
  EXPECT_EQ(liba::atomic_decrement(&counter), 5);
  EXPECT_EQ(liba::atomic_decrement(&counter), 4);
}

TEST(ErrorBase, ListOnlyGrows) {
  liba::ErrorBase e;
  EXPECT_TRUE(e.is_ok());
  e.add_error(L"one");
  e.add_error(L"two");
  EXPECT_FALSE(e.is_ok());
  EXPECT_EQ(e.errors, (std::vector<std::wstring>{L"one", L"two"}));

  // The writer side of a file fails the whole object.
  os::File f(L"%my_documents%/sides.bin", 1);
  liba::ResourceWriter& writer = f;
  writer.add_error(L"writer");
  EXPECT_FALSE(f.is_ok());
  EXPECT_EQ(f.error_list(), std::vector<std::wstring>{L"writer"});
  EXPECT_TRUE(writer.errors.empty());
  EXPECT_EQ(f.write("x", 1), 0u);
}

}  // namespace
