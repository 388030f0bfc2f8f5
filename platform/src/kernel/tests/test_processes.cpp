// Programs of the device: started by their device paths (CreateProcessW,
// ShellExecuteEx and shortcuts), waited for, ended, and found from their
// windows. The program started is the small test program in its own program
// folder, "\Program Files\Child\Child.exe".
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ce/shellapi.h"
#include "ce/strconv.h"
#include "ce/testing.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "kernel/process.h"
#include "scoped_setting.h"

namespace {

using ce::test::ScopedSetting;

constexpr const wchar_t* kChild = L"\\Program Files\\Child\\Child.exe";
constexpr DWORD kPatienceMs = 30000;

void WriteHostFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class Processes : public ::testing::Test {
 protected:
  ScopedSetting folders_{"DEVICE_PROGRAM_FOLDERS", std::string("Child=") + CE_CHILD_PROGRAM_FOLDER};
  ScopedSetting clock_{"DEVICE_CLOCK", "real"};

  // Starts the child with a command line; its process information.
  PROCESS_INFORMATION Start(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessW(kChild, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
        << GetLastError();
    return info;
  }

  // Waits for the process to end and answers its exit code.
  DWORD Finish(HANDLE process) {
    EXPECT_EQ(WaitForSingleObject(process, kPatienceMs), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_TRUE(CloseHandle(process));
    return code;
  }

  // The top-level window of a started child with the title, once it shows.
  HWND WaitForWindow(HANDLE process, const wchar_t* title) {
    for (int tries = 0; tries < 3000; ++tries) {
      if (HWND window = FindWindowW(L"ChildWindow", title)) return window;
      if (WaitForSingleObject(process, 10) != WAIT_TIMEOUT) break;  // the child ended early
    }
    return nullptr;
  }

  std::string DeviceFile(const std::string& relative) {
    return ReadHostFile(ce::testing::DeviceRoot() + "/" + relative);
  }
};

TEST_F(Processes, StartedByDevicePathWithTheCommandLine) {
  PROCESS_INFORMATION info = Start(L"report \\report.txt \"two words\" x");
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_GT(info.dwProcessId, 0u);
  EXPECT_EQ(info.hThread, nullptr);
  wchar_t module[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(reinterpret_cast<HMODULE>(info.hProcess), module, MAX_PATH), 0u);
  EXPECT_EQ(std::wstring(module), kChild);
  EXPECT_EQ(Finish(info.hProcess), 7u);
  EXPECT_EQ(DeviceFile("report.txt"), "\\Program Files\\Child\\Child.exe\nreport \\report.txt \"two words\" x\n")
      << "the child knows itself by its device path and shares the device root";

  // The program as the command line's first word, in any letter case.
  std::wstring line = L"\"\\program files\\child\\CHILD.EXE\" exit 5";
  PROCESS_INFORMATION second{};
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &second));
  EXPECT_EQ(Finish(second.hProcess), 5u);
}

TEST_F(Processes, TheHomeScreenStartsFromTheWindowsFolder) {
  // Installed as the home screen, the child's folder is "\Windows".
  ScopedSetting folders{"DEVICE_PROGRAM_FOLDERS", std::string("Home=") + CE_CHILD_PROGRAM_FOLDER};
  std::wstring line = L"report \\report.txt";
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(L"\\Windows\\Child.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &info))
      << GetLastError();
  EXPECT_EQ(Finish(info.hProcess), 7u);
  EXPECT_EQ(DeviceFile("report.txt"), "\\Windows\\Child.exe\nreport \\report.txt\n");
  PROCESS_INFORMATION other{};
  EXPECT_FALSE(CreateProcessW(kChild, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &other));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "it is no longer under Program Files";
}

TEST_F(Processes, AProgramBesideTheHomeScreenRunsAsItself) {
  // This test program runs as the home screen, its folder "\Windows" being
  // the child's folder: the child found there is its own program.
  ScopedSetting name{"DEVICE_PROGRAM_NAME", "Home"};
  ScopedSetting folder{"DEVICE_PROGRAM_FOLDER", CE_CHILD_PROGRAM_FOLDER};
  ScopedSetting none{"DEVICE_PROGRAM_FOLDERS", ""};
  std::wstring line = L"report \\beside.txt";
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(L"\\Windows\\Child.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &info))
      << GetLastError();
  EXPECT_EQ(Finish(info.hProcess), 7u);
  EXPECT_EQ(DeviceFile("beside.txt"), "\\Program Files\\Child\\Child.exe\nreport \\beside.txt\n");
}

TEST_F(Processes, TheInputScriptStaysWithItsProgram) {
  ScopedSetting script{"DEVICE_SCRIPT", "/nowhere/parent.script"};
  EXPECT_EQ(Finish(Start(L"script \\script.txt").hProcess), 7u);
  EXPECT_EQ(DeviceFile("script.txt"), "\\Program Files\\Child\\Child.exe\nnone\n");
}

// What the platform gives a started program (the desktop window's place)
// replaces what it inherited under the same name.
TEST_F(Processes, AStartedProgramGetsItsOpenersVariables) {
  ScopedSetting stale{"CE_OPENER_WINDOW", "1,1,1,1"};
  ce::kernel::process::SetChildVariables([] { return std::vector<std::string>{"CE_OPENER_WINDOW=10,20,240,320"}; });
  EXPECT_EQ(Finish(Start(L"opener \\given.txt").hProcess), 7u);
  ce::kernel::process::SetChildVariables(nullptr);
  EXPECT_EQ(Finish(Start(L"opener \\inherited.txt").hProcess), 7u);
  EXPECT_EQ(DeviceFile("given.txt"), "\\Program Files\\Child\\Child.exe\n10,20,240,320\n");
  EXPECT_EQ(DeviceFile("inherited.txt"), "\\Program Files\\Child\\Child.exe\n1,1,1,1\n");
}

TEST_F(Processes, OnlyInstalledProgramsRun) {
  WriteHostFile(ce::testing::DeviceRoot() + "/My Documents/tool.exe", "#!/bin/sh\nexit 0\n");
  ::chmod((ce::testing::DeviceRoot() + "/My Documents/tool.exe").c_str(), 0755);
  struct Case {
    const wchar_t* image;
    DWORD error;
  } const cases[] = {
      {L"\\Windows\\calc.exe", ERROR_FILE_NOT_FOUND},
      {L"\\Program Files\\Child\\Missing.exe", ERROR_FILE_NOT_FOUND},
      {L"\\Program Files\\Other\\Other.exe", ERROR_FILE_NOT_FOUND},
      {L"/bin/sh", ERROR_FILE_NOT_FOUND},
      {L"\\My Documents\\tool.exe", ERROR_ACCESS_DENIED},
      {L"\\Program Files\\Child", ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    PROCESS_INFORMATION info{};
    SetLastError(0);
    EXPECT_FALSE(CreateProcessW(c.image, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
        << ce::Utf8FromWide(c.image);
    EXPECT_EQ(GetLastError(), c.error) << ce::Utf8FromWide(c.image);
    EXPECT_EQ(info.hProcess, nullptr);
  }
  PROCESS_INFORMATION info{};
  EXPECT_FALSE(CreateProcessW(kChild, nullptr, nullptr, nullptr, TRUE, 0, nullptr, nullptr, nullptr, &info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "the device inherits no handles";
  EXPECT_FALSE(CreateProcessW(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Processes, TerminatedWithAnExitCode) {
  PROCESS_INFORMATION info = Start(L"wait");
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 50), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  HANDLE opened = OpenProcess(PROCESS_ALL_ACCESS, FALSE, info.dwProcessId);
  ASSERT_NE(opened, nullptr);
  ASSERT_TRUE(TerminateProcess(opened, 42));
  EXPECT_EQ(Finish(info.hProcess), 42u);
  ASSERT_TRUE(GetExitCodeProcess(opened, &code));
  EXPECT_EQ(code, 42u) << "every handle to the process learns how it ended";
  SetLastError(0);
  EXPECT_FALSE(TerminateProcess(opened, 1));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CloseHandle(opened));

  SetLastError(0);
  EXPECT_EQ(OpenProcess(0, FALSE, static_cast<DWORD>(::getppid())), nullptr) << "not a program of the device";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  HANDLE self = OpenProcess(0, FALSE, GetCurrentProcessId());
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(WaitForSingleObject(self, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(self));
}

TEST_F(Processes, AnotherProgramFoundFromItsWindow) {
  PROCESS_INFORMATION info = Start(L"window Child says hello");
  ASSERT_NE(info.hProcess, nullptr);
  HWND window = nullptr;
  for (int tries = 0; tries < 3000 && !window; ++tries) {
    window = FindWindowW(L"ChildWindow", L"Child says hello");
    if (!window) {
      ASSERT_EQ(WaitForSingleObject(info.hProcess, 10), WAIT_TIMEOUT) << "the child ended early";
    }
  }
  ASSERT_NE(window, nullptr);
  DWORD pid = 0;
  EXPECT_NE(GetWindowThreadProcessId(window, &pid), 0u);
  EXPECT_EQ(pid, info.dwProcessId);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  ASSERT_NE(process, nullptr);
  wchar_t module[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(reinterpret_cast<HMODULE>(process), module, MAX_PATH), 0u);
  EXPECT_EQ(std::wstring(module), kChild);
  ASSERT_TRUE(TerminateProcess(process, 11));
  EXPECT_EQ(WaitForSingleObject(process, kPatienceMs), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(process));
  EXPECT_EQ(Finish(info.hProcess), 11u);
  EXPECT_EQ(FindWindowW(L"ChildWindow", nullptr), nullptr) << "its window went with it";
}

// A post succeeds once the other program has the message, even when that
// program ends at once on handling it (the child's window ends its program
// when closed).
TEST_F(Processes, APostToAProgramThatEndsOnItSucceeds) {
  HWND window = nullptr;
  for (int round = 0; round < 40; ++round) {
    PROCESS_INFORMATION info = Start(L"window Closed at once");
    ASSERT_NE(info.hProcess, nullptr);
    window = WaitForWindow(info.hProcess, L"Closed at once");
    ASSERT_NE(window, nullptr);
    SetLastError(0);
    EXPECT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0)) << "round " << round << ", error " << GetLastError();
    EXPECT_EQ(Finish(info.hProcess), 3u) << "the child handled the message and ended";
  }
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(window, WM_CLOSE, 0, 0)) << "its program is gone";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

// Another program lives on the host's time (the child runs on the real
// clock): a wait for it is not idle, so the virtual clock does not jump past
// its time-out (the wait would end at once, timed out) but runs with the
// host's clock while it lasts, however long the child takes to start.
TEST_F(Processes, AWaitForAProgramHoldsTheVirtualClockToTheHostsTime) {
  struct VirtualClock {
    VirtualClock() { ce::kernel::clock::UseVirtualClock(0, 129067776000000000ull); }
    ~VirtualClock() { ce::kernel::clock::UseRealClock(); }
  } virtualClock;
  PROCESS_INFORMATION info = Start(L"sleep 300");
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, kPatienceMs), WAIT_OBJECT_0);
  const DWORD waited = GetTickCount();
  EXPECT_GE(waited, 250u) << "the clock ran with the host's time";
  EXPECT_LT(waited, kPatienceMs);
  EXPECT_EQ(Finish(info.hProcess), 5u);

  // Everything else keeps the virtual clock's pace: a time-out on an event
  // takes no host time.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(event, 60000), WAIT_TIMEOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(GetTickCount(), waited + 60000);
  CloseHandle(event);
}

TEST_F(Processes, ShellExecuteStartsProgramsAndFollowsShortcuts) {
  SHELLEXECUTEINFOW request{};
  request.cbSize = sizeof request;
  request.fMask = SEE_MASK_NOCLOSEPROCESS;
  request.lpVerb = L"OPEN";
  request.lpFile = kChild;
  request.lpParameters = L"exit 4";
  request.nShow = SW_SHOW;
  ASSERT_TRUE(ShellExecuteEx(&request));
  EXPECT_GT(reinterpret_cast<std::uintptr_t>(request.hInstApp), 32u);
  ASSERT_NE(request.hProcess, nullptr);
  EXPECT_EQ(Finish(request.hProcess), 4u);

  const std::string folder = ce::testing::DeviceRoot() + "/Windows/Start Menu/";
  const std::string target = "\"\\Program Files\\Child\\Child.exe\" exit 9";
  WriteHostFile(folder + "Child.lnk", std::to_string(target.size()) + "#" + target + "\r\n");
  request.lpFile = L"\\Windows\\Start Menu\\Child.lnk";
  request.lpParameters = nullptr;
  ASSERT_TRUE(ShellExecuteEx(&request));
  ASSERT_NE(request.hProcess, nullptr);
  EXPECT_EQ(Finish(request.hProcess), 9u);

  const std::string malformed[] = {
      "",
      "#\\Program Files\\Child\\Child.exe",
      "x#\\Program Files\\Child\\Child.exe",
      "99#\\Program Files\\Child\\Child.exe",  // longer than what follows
      "5#\\Program Files\\Child\\Child.exe",   // shorter, with more after it
      "0#",
      "3#\"\"x",
      "12#\\Windows\\a.lnk",  // a shortcut to a shortcut
  };
  for (const std::string& text : malformed) {
    WriteHostFile(folder + "Bad.lnk", text);
    request.lpFile = L"\\Windows\\Start Menu\\Bad.lnk";
    request.hProcess = nullptr;
    SetLastError(0);
    EXPECT_FALSE(ShellExecuteEx(&request)) << text;
    EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT) << text;
    EXPECT_EQ(request.hProcess, nullptr);
  }
  request.lpFile = L"\\Windows\\Start Menu\\Gone.lnk";
  EXPECT_FALSE(ShellExecuteEx(&request));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// The host's record of a process from /proc/<pid>/stat: its state letter and
// start time; nothing once the host has let go of it.
std::optional<std::pair<char, std::string>> HostRecord(DWORD pid) {
  std::istringstream text(ReadHostFile("/proc/" + std::to_string(pid) + "/stat"));
  std::string line;
  if (!std::getline(text, line) || line.rfind(')') == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(line.rfind(')') + 1));
  std::vector<std::string> values;
  for (std::string field; fields >> field;) values.push_back(field);
  if (values.size() < 20) return std::nullopt;
  return std::make_pair(values[0][0], values[19]);  // fields 3 and 22
}

// A started program that ends is reaped when it ends, not at this program's
// next call: a home screen left idle after starting a program keeps no
// zombie. Its handle still tells how it ended.
TEST_F(Processes, AnEndedProgramIsReapedWithoutAnotherCall) {
  PROCESS_INFORMATION info = Start(L"exit 6");
  ASSERT_NE(info.hProcess, nullptr);
  const auto started = HostRecord(info.dwProcessId);
  auto now = started;
  // Only the host is asked while waiting: no platform call could reap it.
  for (int tries = 0; tries < static_cast<int>(kPatienceMs / 10) && now && now->second == started->second; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    now = HostRecord(info.dwProcessId);
  }
  EXPECT_TRUE(!now || now->second != started->second)
      << "the ended child is still on the host, in state " << (now ? now->first : '?');
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 6u);
  EXPECT_EQ(Finish(info.hProcess), 6u);
}

}  // namespace
