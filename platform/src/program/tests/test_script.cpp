#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "program/script.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winmain.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::program::KeyFromName;
using ce::program::ParseScript;
using ce::program::ScriptCommand;
using Kind = ScriptCommand::Kind;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;

TEST(Script, KeyNamesAndCodes) {
  const std::pair<const char*, int> keys[] = {
      {"Enter", VK_RETURN}, {"left", VK_LEFT},  {"F1", VK_F1},  {"f12", VK_F12},     {"a", 'A'},
      {"7", '7'},           {"0x5B", 0x5B},     {"13", 13},     {"Back", VK_ESCAPE}, {"F25", 0},
      {"nokey", 0},         {"0x5BDD", 0x5BDD}, {"0x10000", 0},
  };
  for (const auto& [name, vk] : keys) EXPECT_EQ(KeyFromName(name), vk) << name;
}

TEST(Script, ParsesCommandsCommentsAndText) {
  std::string error;
  const auto commands = ParseScript(
      "# a run\n"
      "wait 250   # settle\n"
      "\n"
      "  TAP 10 -20\n"
      "down 1 2\nmove 3 4\nup 5 6\n"
      "key Enter\nkeydown 0x25\nkeyup left\n"
      "text Hi #1 \xc3\xa9\n"
      "screenshot out.png\n"
      "answer Yes\n"
      "quit\n",
      &error);
  ASSERT_TRUE(commands) << error;
  ASSERT_EQ(commands->size(), 12u);
  const auto& c = *commands;
  EXPECT_EQ(c[0].kind, Kind::Wait);
  EXPECT_EQ(c[0].ms, 250);
  EXPECT_EQ(c[0].line, 2);
  EXPECT_EQ(c[1].kind, Kind::Tap);
  EXPECT_EQ(c[1].y, -20);
  EXPECT_EQ(c[4].kind, Kind::Up);
  EXPECT_EQ(c[4].x, 5);
  EXPECT_EQ(c[5].key, VK_RETURN);
  EXPECT_EQ(c[6].key, VK_LEFT);
  EXPECT_EQ(c[7].kind, Kind::KeyUp);
  EXPECT_EQ(c[8].text, L"Hi #1 \u00e9") << "text keeps the rest of the line";
  EXPECT_EQ(c[9].path, "out.png");
  EXPECT_EQ(c[10].kind, Kind::Answer);
  EXPECT_EQ(c[10].key, IDYES);
  EXPECT_EQ(c[11].kind, Kind::Quit);
}

TEST(Script, RefusesBadLinesNamingTheLine) {
  const char* bad[] = {
      "jump 1 2",    "wait",         "wait -5",         "wait 1e3",   "tap 1",    "tap 1 2 3", "tap x y",
      "tap 99999 0", "key",          "key F99",         "screenshot", "quit now", "text",      "down 1 2 # ok\nup 1",
      "answer",      "answer maybe", "answer ok cancel"};
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(ParseScript(text, &error)) << text;
    EXPECT_EQ(error.rfind("line ", 0), 0u) << text;
  }
  std::string error;
  ParseScript("wait 1\nup 1", &error);
  EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
}

// A program window that notes what it is given, and paints itself white.
std::vector<std::string> g_seen;

LRESULT CALLBACK ScriptedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      g_seen.push_back(std::to_string(GetTickCount()) + (message == WM_LBUTTONDOWN ? " down " : " up ") +
                       std::to_string(LOWORD(lParam)) + "," + std::to_string(HIWORD(lParam)));
      break;
    case WM_KEYDOWN:
      g_seen.push_back(std::to_string(GetTickCount()) + " key " + std::to_string(wParam));
      break;
    case WM_CHAR:
      g_seen.push_back(std::to_string(GetTickCount()) + " char " + std::to_string(wParam));
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(hwnd, &ps);
      FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(3);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::wstring g_commandLine;

int WINAPI ScriptedWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) {
  g_commandLine = commandLine;
  if (previous != nullptr || instance != GetModuleHandleW(nullptr)) return 90;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ScriptedProc;
  wc.lpszClassName = L"Scripted";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"Scripted", L"", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 91;
  ShowWindow(hwnd, show);
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

bool IsPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char signature[8] = {};
  in.read(signature, 8);
  return in && std::string(signature, 8) == "\x89PNG\r\n\x1a\n";
}

TEST(Script, AWholeProgramRunsFromItsEntryOnTheScript) {
  ce::test::TempDevice device;
  device.WriteHostFile("run.txt",
                       "wait 100\n"
                       "tap 10 20\n"
                       "wait 50\n"
                       "key a\n"
                       "text Z\n"
                       "screenshot " +
                           device.HostPath("shot.png") + "\n");
  ce::test::ScopedSetting script("DEVICE_SCRIPT", device.HostPath("run.txt"));
  ce::test::ScopedSetting clockSetting("DEVICE_CLOCK", "virtual");
  clock::ReloadSettings();
  g_seen.clear();
  const char* argv[] = {"program", "-x", "two words"};
  // The script ends the run: a headless run is asked to quit at its end.
  EXPECT_EQ(ce::RunProgram(3, const_cast<char**>(argv), ScriptedWinMain), 3);
  EXPECT_EQ(g_commandLine, L"-x \"two words\"");
  EXPECT_EQ(g_seen,
            (std::vector<std::string>{"100 down 10,20", "100 up 10,20", "150 key 65", "150 char 97", "150 char 90"}));
  EXPECT_TRUE(IsPng(device.HostPath("shot.png")));
}

TEST(Script, AScriptThatCannotBeReadStopsTheProgramBeforeItStarts) {
  ce::test::ScopedSetting script("DEVICE_SCRIPT", "/nonexistent/run.txt");
  ::testing::internal::CaptureStderr();
  const char* argv[] = {"program"};
  EXPECT_EQ(ce::RunProgram(1, const_cast<char**>(argv), [](HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; }), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("/nonexistent/run.txt"), std::string::npos);
}

// Each box takes the oldest answer given ahead; one that is not a button of
// the box gives the default.
TEST(Script, AnswersGivenAheadAnswerTheNextMessageBoxes) {
  std::string error;
  auto commands = ParseScript("answer no\nanswer cancel\nanswer ok\n", &error);
  ASSERT_TRUE(commands) << error;
  auto runner = ce::program::ScriptRunner::Start(std::move(*commands), false);
  ASSERT_TRUE(runner);
  ASSERT_TRUE(runner->Wait(10000));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxW(nullptr, L"Delete?", L"Files", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, L"Delete?", L"Files", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, L"Done", L"Files", MB_OKCANCEL | MB_DEFBUTTON2), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, L"Done", L"Files", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("not a button of this box"), std::string::npos) << err;
}

TEST(Script, StoppingARunnerEndsItsWaits) {
  clock::UseVirtualClock(0, kStart2010);
  std::string error;
  auto commands = ParseScript("wait 100000\nquit\n", &error);
  ASSERT_TRUE(commands);
  auto runner = ce::program::ScriptRunner::Start(std::move(*commands), false);
  ASSERT_TRUE(runner);
  EXPECT_FALSE(runner->Wait(0));
  runner->Stop();
  EXPECT_TRUE(runner->Wait(0));
  EXPECT_LT(GetTickCount(), 100000u);
  EXPECT_EQ(runner->failures(), 0);
}

}  // namespace
