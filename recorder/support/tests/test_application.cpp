// The application object, the single-instance rule across two processes of
// the device, and the active-object scheduler.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "ce/strconv.h"
#include "ce/testing.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "os/active_scheduler.h"
#include "os/application.h"

namespace {

// Runs the window messages that are waiting.
void Pump() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST(ApplicationDeathTest, NameLengthAndSingleObject) {
  {
    os::Application app(nullptr, std::wstring(25, L'n'));  // class name of 38 characters
    EXPECT_EQ(app.get_class_name().size(), 38u);
    EXPECT_EQ(os::Application::instance(), &app);
    EXPECT_NE(app.get_scheduler(), nullptr);
    EXPECT_EXIT(os::Application(nullptr, L"other"), ::testing::ExitedWithCode(1),
                "Application::Application: instance != 0");
  }
  EXPECT_EQ(os::Application::instance(), nullptr);
  EXPECT_EXIT(os::Application(nullptr, std::wstring(26, L'n')), ::testing::ExitedWithCode(1),
              "Application::Application: Application name is too long. Sorry.");
}

struct Counter : CActive {
  CActiveScheduler* scheduler = nullptr;
  int runs = 0;
  int again = 0;  // times to make itself pending again from run
  void run() override {
    ++runs;
    if (again > 0) {
      --again;
      scheduler->add(this);
    }
  }
};

TEST(ActiveScheduler, DispatchRunsPendingObjectsThroughTheWindow) {
  os::Application app(nullptr, L"SchedulerTest");
  CActiveScheduler& scheduler = *app.get_scheduler();
  ASSERT_NE(scheduler.get_window(), nullptr);
  wchar_t name[64] = {};
  GetClassNameW(scheduler.get_window(), name, 64);
  EXPECT_STREQ(name, L"CActiveSchedulerClass");

  Counter a;
  a.scheduler = &scheduler;
  EXPECT_FALSE(scheduler.dispatch(&a));  // not pending: nothing happens
  EXPECT_EQ(a.runs, 0);

  a.again = 1;
  ASSERT_TRUE(scheduler.add(&a));
  EXPECT_TRUE(a.pending);
  EXPECT_FALSE(scheduler.add(&a));  // already pending
  EXPECT_EQ(scheduler.get_count(), 1u);
  Pump();
  EXPECT_EQ(a.runs, 2);  // ran, made itself pending again from run, ran again
  EXPECT_FALSE(a.pending);
  EXPECT_EQ(scheduler.get_count(), 0u);
  // A stale message for an object that is no longer pending does nothing.
  SendMessageW(scheduler.get_window(), CActiveScheduler::kDispatchMessage, reinterpret_cast<WPARAM>(&a), 0);
  EXPECT_EQ(a.runs, 2);
}

TEST(ActiveSchedulerDeathTest, DestroyedWithPendingWork) {
  EXPECT_EXIT(
      {
        os::Application app(nullptr, L"SchedulerDeath");
        Counter a;
        app.get_scheduler()->add(&a);
        delete app.get_scheduler();
      },
      ::testing::ExitedWithCode(1), "Some active objects still live while scheduler is terminating");
}

TEST(SingleInstance, NoOtherInstanceKeepsTheLockUntilReleased) {
  os::Application app(nullptr, L"LockTest");
  EXPECT_FALSE(app.is_already_running(L"x"));
  // Another thread cannot take the lock while the application holds it.
  auto probe = [](LPVOID) -> DWORD {
    HANDLE m = CreateMutexW(nullptr, FALSE, L"SkinnerClass_LockTest");
    const DWORD r = WaitForSingleObject(m, 0);
    if (r == WAIT_OBJECT_0) ReleaseMutex(m);
    CloseHandle(m);
    return r;
  };
  auto run = [&]() {
    HANDLE t = CreateThread(nullptr, 0, probe, nullptr, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    return code;
  };
  EXPECT_EQ(run(), WAIT_TIMEOUT);
  app.release_instance_lock();
  EXPECT_EQ(run(), WAIT_OBJECT_0);
}

// The first instance, in a child process: its main window reports every
// command line it is handed on a pipe.
int g_report = -1;

void Report(const std::string& line) {
  const std::string text = line + "\n";
  (void)!::write(g_report, text.data(), text.size());
}

LRESULT CALLBACK FirstInstanceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    std::u16string text(copy->cbData / 2, u'\0');
    if (copy->cbData) std::memcpy(text.data(), copy->lpData, text.size() * 2);
    Report("copydata " + std::to_string(copy->dwData) + " " + std::to_string(copy->cbData) + " [" +
           ce::Utf8FromWide(ce::WideFromUtf16(text)) + "]");
    return TRUE;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

TEST(SingleInstance, SecondStartHandsItsCommandLineToTheFirst) {
  ce::testing::UseRealClock();  // the other process lives on the host's time
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    g_report = fds[1];
    os::Application app(nullptr, L"Vocamo");
    const bool running = app.is_already_running(L"first");
    WNDCLASSW wc{};
    wc.lpfnWndProc = FirstInstanceProc;
    wc.lpszClassName = app.get_class_name().c_str();
    RegisterClassW(&wc);
    HWND main = CreateWindowExW(0, wc.lpszClassName, L"Vocamo", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    app.release_instance_lock();
    Report(running ? "running" : (main ? "ready" : "failed"));
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    ::_exit(0);
  }
  ::close(fds[1]);
  ASSERT_EQ(ReadLine(fds[0]), "ready");

  // A child window of the same class in this process is no candidate.
  static bool decoy_hit = false;
  struct Decoy {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
      if (message == WM_COPYDATA) decoy_hit = true;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    }
  };
  WNDCLASSW holder{};
  holder.lpfnWndProc = DefWindowProcW;
  holder.lpszClassName = L"Holder";
  RegisterClassW(&holder);
  HWND top = CreateWindowExW(0, L"Holder", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  WNDCLASSW decoy{};
  decoy.lpfnWndProc = Decoy::Proc;
  decoy.lpszClassName = L"SkinnerClass_Vocamo";
  RegisterClassW(&decoy);
  HWND inner = CreateWindowExW(0, L"SkinnerClass_Vocamo", L"", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  ASSERT_NE(inner, nullptr);

  {
    os::Application second(nullptr, L"Vocamo");
    EXPECT_TRUE(second.is_already_running(L"\\My Documents\\rec 1.wav"));
  }
  EXPECT_EQ(ReadLine(fds[0]), "copydata 0 46 [\\My Documents\\rec 1.wav]");
  {
    os::Application third(nullptr, L"Vocamo");
    EXPECT_TRUE(third.is_already_running(L""));
  }
  EXPECT_EQ(ReadLine(fds[0]), "copydata 0 0 []");
  {
    os::Application other(nullptr, L"Other");
    EXPECT_FALSE(other.is_already_running(L"x"));
  }
  EXPECT_FALSE(decoy_hit);
  DestroyWindow(top);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(fds[0]);
}

TEST(WaitCursor, ShowsTheWaitCursorAndRestores) {
  HCURSOR before = GetCursor();
  {
    os::WaitCursor wait;
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  }
  EXPECT_EQ(GetCursor(), before);
}

}  // namespace
