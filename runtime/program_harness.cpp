#include "runtime/program_harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "ce/aygshell.h"
#include "ce/device.h"

namespace harness {

std::optional<int> AnswerCommandLine(int argc, char** argv, const char* usage, Takes takes) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(usage, stdout);
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    const bool refused = takes == Takes::kNothing || (takes == Takes::kWords && argv[i][0] == '-');
    if (!refused) continue;
    const char* slash = std::strrchr(argv[0], '/');
    std::fprintf(stderr, "%s: unexpected argument %s\n%s", slash != nullptr ? slash + 1 : argv[0], argv[i], usage);
    return 2;
  }
  return std::nullopt;
}

std::string DataFolder() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "data";
  std::string folder(path, static_cast<std::size_t>(n));
  folder.resize(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/'));
  return folder + "/../data";
}

std::string CommandLineText(LPCWSTR commandLine) {
  std::string line;
  for (const wchar_t* c = commandLine; c != nullptr && *c != 0; ++c) line.push_back(static_cast<char>(*c));
  return line;
}

std::vector<std::uint8_t> ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WithoutDisplay() {
  if (const auto backend = ce::device::Setting("backend"); backend && !backend->empty()) return *backend != "sdl";
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) return false;
  }
  return true;
}

void RunOwnScript(const char* program, const std::string& script, const std::string& line) {
  if (::access(script.c_str(), R_OK) != 0) {
    std::fprintf(stderr,
                 "%s: no display and no script. Run it at a desktop, or headless with a script: "
                 "DEVICE_BACKEND=headless DEVICE_SCRIPT=FILE %s\n",
                 program, program);
    return;
  }
  std::fprintf(stderr, "%s: no display; running the script %s (screenshots in this folder)\n", program, script.c_str());
  std::fflush(nullptr);
  ::setenv("DEVICE_SCRIPT", script.c_str(), 1);
  std::vector<std::string> args{program};
  std::istringstream in(line);
  for (std::string a; in >> a;) args.push_back(a);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv("/proc/self/exe", argv.data());
  std::fprintf(stderr, "%s: cannot start again with the script\n", program);
}

HWND OpenScreenWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, WNDPROC proc, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.lpszClassName = className;
  if (RegisterClassW(&wc) == 0) return nullptr;
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HWND window = CreateWindowExW(0, className, title, WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                                instance, nullptr);
  if (window != nullptr) ShowWindow(window, show);
  return window;
}

HWND OpenFullScreenWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, WNDPROC proc, int show) {
  HWND window = OpenScreenWindow(instance, className, title, proc, show);
  if (window != nullptr) SHFullScreen(window, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
  return window;
}

int RunMessageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace harness
