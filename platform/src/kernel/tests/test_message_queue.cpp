#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "kernel/message_queue.h"
#include "platform_thread.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::test::JoinThread;
using ce::test::StartThread;
using ce::test::ThreadBody;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

TEST(ThreadQueue, HeaderValuesMatchTheDevice) {
  EXPECT_EQ(WM_NULL, 0x0000u);
  EXPECT_EQ(WM_QUIT, 0x0012u);
  EXPECT_EQ(WM_USER, 0x0400u);
  EXPECT_EQ(WM_APP, 0x8000u);
  EXPECT_EQ(PM_NOREMOVE, 0u);
  EXPECT_EQ(PM_REMOVE, 1u);
  EXPECT_EQ(PM_NOYIELD, 2u);
}

TEST(ThreadQueue, PeekSeesPostsInOrderAndRemovesOnlyWhenAsked) {
  clock::UseVirtualClock(5000, kStart2010);
  const DWORD self = GetCurrentThreadId();
  ASSERT_TRUE(PostThreadMessageW(self, WM_USER + 1, 11, 12));
  ASSERT_TRUE(PostThreadMessageW(self, WM_USER + 2, 21, 22));
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.wParam, 11u);
  EXPECT_EQ(msg.lParam, 12);
  EXPECT_EQ(msg.time, 5000u);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD));
  EXPECT_EQ(msg.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(ThreadQueue, FilterRangeTakesMatchingMessagesFirst) {
  const DWORD self = GetCurrentThreadId();
  for (UINT m : {WM_USER + 5, WM_USER + 1, WM_APP, WM_USER + 3}) ASSERT_TRUE(PostThreadMessageW(self, m, 0, 0));
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 1, WM_USER + 3, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 1, WM_USER + 3, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 3);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 1, WM_USER + 3, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_APP, WM_APP, PM_REMOVE)) << "thread messages only";
  EXPECT_EQ(msg.message, WM_APP);
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER + 5);
}

TEST(ThreadQueue, GetMessageWaitsForPostsAndEndsOnQuit) {
  clock::UseVirtualClock(0, kStart2010);
  std::vector<UINT> got;
  int quitCode = 0;
  BOOL last = 1;
  ThreadBody loop([&] {
    MSG msg{};
    while ((last = GetMessageW(&msg, nullptr, 0, 0)) > 0) got.push_back(msg.message);
    quitCode = static_cast<int>(msg.wParam);
    return DWORD{0};
  });
  DWORD id = 0;
  HANDLE thread = StartThread(loop, 0, &id);
  Sleep(10);  // the loop is waiting
  ASSERT_TRUE(PostThreadMessageW(id, WM_USER, 0, 0));
  Sleep(10);
  ASSERT_TRUE(PostThreadMessageW(id, WM_USER + 1, 0, 0));
  ASSERT_TRUE(PostThreadMessageW(id, WM_QUIT, 3, 0));
  PostThreadMessageW(id, WM_USER + 2, 0, 0);  // fails once the loop has ended
  JoinThread(thread);
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER, WM_USER + 1}));
  EXPECT_EQ(last, 0);
  EXPECT_EQ(quitCode, 3);
}

TEST(ThreadQueue, PostQuitMessageComesAfterThePostedMessages) {
  const DWORD self = GetCurrentThreadId();
  PostQuitMessage(9);
  ASSERT_TRUE(PostThreadMessageW(self, WM_USER, 0, 0));
  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 9u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit request is taken once";
  SetLastError(0);
  EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(ThreadQueue, ExistsFromCreationAndGoesWithTheThread) {
  MSG seen{};
  ThreadBody body([&] {
    GetMessageW(&seen, nullptr, 0, 0);
    return DWORD{0};
  });
  DWORD id = 0;
  HANDLE thread = StartThread(body, CREATE_SUSPENDED, &id);
  EXPECT_TRUE(PostThreadMessageW(id, WM_USER + 7, 1, 2)) << "before the thread has run at all";
  ResumeThread(thread);
  JoinThread(thread);
  EXPECT_EQ(seen.message, WM_USER + 7);
  for (DWORD gone : {id, DWORD{0}, DWORD{0xFFFFFFF0u}}) {
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageW(gone, WM_USER, 0, 0)) << gone;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
  }
}

// The window layer's way in: a source that makes a message on demand, after
// the posted ones, and wakes a waiting owner when it becomes ready.
class TickSource final : public ce::kernel::MessageQueue::Source {
 public:
  bool TakeLocked(const ce::kernel::MessageFilter& filter, bool remove, MSG* out) override {
    if (!ready || !filter.MatchesRange(WM_USER + 100)) return false;
    *out = MSG{};
    out->message = WM_USER + 100;
    if (remove) ready = false;
    return true;
  }
  bool ready = false;
};

std::atomic<int> g_hookCalls{0};

TEST(ThreadQueue, SourcesAndTheRetrievalHookExtendTheQueue) {
  clock::UseVirtualClock(0, kStart2010);
  ce::kernel::SetRetrievalHook([] { g_hookCalls.fetch_add(1); });
  auto source = std::make_shared<TickSource>();
  std::shared_ptr<ce::kernel::MessageQueue> queue;
  std::vector<UINT> got;
  HANDLE attached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ThreadBody body([&] {
    {
      auto lock = ce::kernel::LockScheduler();
      queue = ce::kernel::CurrentThread().queue;
      queue->AddSourceLocked(source);
    }
    SetEvent(attached);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) got.push_back(msg.message);
    return DWORD{0};
  });
  DWORD id = 0;
  HANDLE thread = StartThread(body, 0, &id);
  WaitForSingleObject(attached, INFINITE);
  Sleep(10);
  const int hooksBefore = g_hookCalls.load();
  {
    auto lock = ce::kernel::LockScheduler();
    source->ready = true;
    queue->PostLocked(MSG{nullptr, WM_USER + 1, 0, 0, 0, {}});
    queue->WakeLocked();
  }
  Sleep(10);
  EXPECT_GT(g_hookCalls.load(), hooksBefore);
  PostThreadMessageW(id, WM_QUIT, 0, 0);
  JoinThread(thread);
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 100}));
  ce::kernel::SetRetrievalHook(nullptr);
  CloseHandle(attached);
}

}  // namespace
