// A program with nothing to do costs no processor time: a window waiting in
// GetMessageW sleeps until its next message, on the host's clock, and so
// does a program inside any modal loop (a dialog, a popup menu, a message
// box on the desktop).
#include <gtest/gtest.h>

#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "backend/input.h"
#include "backend/sdl/key_map.h"
#include "backend/sdl/sdl_backend.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "scoped_setting.h"
#include "screen_config.h"

namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

TEST(Idle, AWindowWaitingForItsNextMessageUsesNoProcessorTime) {
  ce::kernel::clock::UseRealClock();
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"Idle";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND hwnd = CreateWindowExW(0, L"Idle", L"", WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  // Whatever the window has to do first (paint) is done before measuring.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);

  ASSERT_NE(SetTimer(hwnd, 1, 2500, nullptr), 0u);
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = ProcessCpuSeconds();
  for (;;) {
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    if (msg.message == WM_TIMER) break;
    DispatchMessageW(&msg);
  }
  const double cpu = ProcessCpuSeconds() - cpuStart;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  KillTimer(hwnd, 1);
  DestroyWindow(hwnd);
  UnregisterClassW(L"Idle", nullptr);

  EXPECT_GE(wall, 2.4);
  // Under 1% of one core.
  EXPECT_LT(cpu, wall * 0.01) << cpu << " s of processor time in " << wall << " s";
}

// Processor time of the calling thread.
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// How long each modal loop stays open, on the host's clock, and the most
// processor time it may take meanwhile: 1% of a core. A loop that waits
// costs a few milliseconds; one that spins costs the whole 10 s. Only the
// loop's own thread is counted, so a loaded machine does not add to it.
constexpr DWORD kOpenMs = 10000;
constexpr double kMostCpu = kOpenMs / 1000.0 * 0.01;

struct LoopRun {
  double cpu = -1;  // processor time of the loop's thread while it was open
  double wall = 0;
};

// A dialog box from a template with no controls, ended by its own timer.
INT_PTR CALLBACK TimedDialog(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    SetTimer(dialog, 1, kOpenMs, nullptr);
    return TRUE;
  }
  if (message == WM_TIMER) {
    EndDialog(dialog, 7);
    return TRUE;
  }
  return FALSE;
}

std::vector<WORD> EmptyDialogTemplate() {
  DLGTEMPLATE head{};
  head.style = WS_POPUP | WS_VISIBLE | WS_CAPTION;
  head.cx = 100;
  head.cy = 80;
  std::vector<WORD> words(sizeof head / sizeof(WORD));
  std::memcpy(words.data(), &head, sizeof head);
  for (const WORD w : {WORD{0}, WORD{0}, WORD{L'D'}, WORD{0}}) words.push_back(w);  // menu, class, title
  return words;
}

void RunDialog(LoopRun* run) {
  const std::vector<WORD> bytes = EmptyDialogTemplate();
  const auto wallStart = std::chrono::steady_clock::now();
  const double start = ThreadCpuSeconds();
  const INT_PTR result =
      DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(bytes.data()), nullptr, TimedDialog, 0);
  run->cpu = result == 7 ? ThreadCpuSeconds() - start : -1;
  run->wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
}

// A popup menu whose owner closes it with the Back key after a while.
LRESULT CALLBACK PopupOwner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    KillTimer(hwnd, 1);
    PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 1);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RunPopup(LoopRun* run) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PopupOwner;
  wc.lpszClassName = L"IdlePopupOwner";
  RegisterClassW(&wc);
  HWND owner =
      CreateWindowExW(0, L"IdlePopupOwner", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 101, L"One");
  AppendMenuW(menu, MF_STRING, 102, L"Two");
  SetTimer(owner, 1, kOpenMs, nullptr);
  const auto wallStart = std::chrono::steady_clock::now();
  const double start = ThreadCpuSeconds();
  const BOOL chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 20, owner, nullptr);
  run->cpu = chosen == 0 ? ThreadCpuSeconds() - start : -1;
  run->wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  DestroyMenu(menu);
  DestroyWindow(owner);
  UnregisterClassW(L"IdlePopupOwner", nullptr);
}

// A dialog box and a popup menu, each open for 10 s on a thread of its own
// at the same time.
TEST(Idle, DialogsAndPopupMenusSleepWhileOpen) {
  ce::kernel::clock::UseRealClock();
  LoopRun dialog;
  LoopRun popup;
  std::thread dialogThread(RunDialog, &dialog);
  std::thread popupThread(RunPopup, &popup);
  dialogThread.join();
  popupThread.join();
  for (const auto& [name, run] : {std::pair{"dialog", dialog}, std::pair{"popup menu", popup}}) {
    EXPECT_GE(run.wall, kOpenMs / 1000.0 - 0.1) << name << " closed early";
    EXPECT_GE(run.cpu, 0) << name << " did not end as it should";
    EXPECT_LT(run.cpu, kMostCpu) << name << ": " << run.cpu << " s of processor time in " << run.wall << " s";
  }
}

// On the desktop back end (its library's dummy video driver here) a message
// box waits for the user's keys on the window thread.
TEST(Idle, AMessageBoxOnTheDesktopSleepsWhileOpen) {
  ce::kernel::clock::UseRealClock();
  ce::test::ScopedSetting driver("SDL_VIDEODRIVER", "dummy");
  {
    ce::test::ScreenConfig desktop{{"DEVICE_BACKEND", "sdl"}};
    ce::backend::InputSource::Reset();
    HDC screen = GetDC(nullptr);  // opens the window
    ASSERT_TRUE(ce::backend::InputSource::Current()->ReadableHere());
    std::atomic<bool> done{false};
    std::thread answer([&done] {
      // The user answers after a while (Escape: the box's Back).
      for (DWORD waited = 0; waited < kOpenMs && !done.load(); waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      namespace sdl = ce::backend::sdl;
      sdl::SimulateKey(true, *sdl::ScancodeFromName("Escape"), 0);
      sdl::SimulateKey(false, *sdl::ScancodeFromName("Escape"), 0);
    });
    ::testing::internal::CaptureStderr();
    const auto wallStart = std::chrono::steady_clock::now();
    const double start = ThreadCpuSeconds();
    const int answered = MessageBoxW(nullptr, L"Go on?", L"Question", MB_OKCANCEL);
    const double cpu = ThreadCpuSeconds() - start;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    ::testing::internal::GetCapturedStderr();
    done = true;
    answer.join();
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(answered, IDCANCEL);
    EXPECT_GE(wall, kOpenMs / 1000.0 - 0.1);
    EXPECT_LT(cpu, kMostCpu) << cpu << " s of processor time in " << wall << " s";
  }
  ce::backend::InputSource::Reset();
}

// On a desktop (the desktop library's own video driver, under a virtual X
// server: see platform/CMakeLists.txt) each kind of modal loop sleeps again
// once it has taken a key the loop does nothing with. A person opens the
// loop, presses Down, and Escape closes it a few seconds later; the loop's
// thread is measured in between. Skipped unless that run asks for it.
INT_PTR CALLBACK EscapableDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

double CpuSecondsOf(pthread_t thread) {
  clockid_t clock{};
  timespec t{};
  if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &t) != 0) return -1;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

TEST(Idle, ModalLoopsOnTheDesktopSleepAgainAfterAKey) {
  if (std::getenv("CE_TEST_ON_DESKTOP") == nullptr) GTEST_SKIP() << "runs on a desktop only";
  ce::kernel::clock::UseRealClock();
  ce::test::ScopedSetting driver("SDL_VIDEODRIVER", "x11");
  {
    ce::test::ScreenConfig desktop{{"DEVICE_BACKEND", "sdl"}};
    ce::backend::InputSource::Reset();
    HDC screen = GetDC(nullptr);  // opens the window
    ASSERT_TRUE(ce::backend::InputSource::Current()->ReadableHere());

    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"IdleDesktopOwner";
    RegisterClassW(&wc);
    HWND owner =
        CreateWindowExW(0, L"IdleDesktopOwner", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    const std::vector<WORD> dialogBytes = EmptyDialogTemplate();
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 101, L"One");
    AppendMenuW(menu, MF_STRING, 102, L"Two");

    struct Kind {
      const char* name;
      std::function<INT_PTR()> open;
      INT_PTR cancelled;
    };
    const Kind kinds[] = {
        {"dialog",
         [&] {
           return DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(dialogBytes.data()), owner,
                                          EscapableDialog, 0);
         },
         IDCANCEL},
        {"message box", [&] { return INT_PTR{MessageBoxW(owner, L"Go on?", L"Question", MB_OKCANCEL)}; }, IDCANCEL},
        {"popup menu", [&] { return INT_PTR{TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 20, owner, nullptr)}; }, 0},
    };
    namespace sdl = ce::backend::sdl;
    const auto press = [](const char* key) {
      sdl::SimulateKey(true, *sdl::ScancodeFromName(key), 0);
      sdl::SimulateKey(false, *sdl::ScancodeFromName(key), 0);
    };
    constexpr auto kMeasured = std::chrono::milliseconds(2500);
    const pthread_t loopThread = pthread_self();
    for (const Kind& kind : kinds) {
      double cpu = -1;
      std::thread person([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        press("Down");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double start = CpuSecondsOf(loopThread);
        std::this_thread::sleep_for(kMeasured);
        cpu = CpuSecondsOf(loopThread) - start;
        press("Escape");
      });
      ::testing::internal::CaptureStderr();
      const INT_PTR result = kind.open();
      ::testing::internal::GetCapturedStderr();
      person.join();
      EXPECT_EQ(result, kind.cancelled) << kind.name;
      const double most = std::chrono::duration<double>(kMeasured).count() * 0.01;
      EXPECT_LT(cpu, most) << kind.name << ": " << cpu << " s of processor time in "
                           << std::chrono::duration<double>(kMeasured).count() << " s after a key";
    }
    DestroyMenu(menu);
    DestroyWindow(owner);
    UnregisterClassW(L"IdleDesktopOwner", nullptr);
    ReleaseDC(nullptr, screen);
  }
  ce::backend::InputSource::Reset();
}

}  // namespace
