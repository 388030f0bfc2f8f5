// A small program of the device that the process tests start from its
// program folder. Its command line says what it does:
//   exit <n>              ends with exit code n
//   report <file> ...     writes its module path and its whole command line
//                         to the device file, one per line; ends with 7
//   window <title>        shows a top-level window of class "ChildWindow"
//                         and runs until the window is closed; ends with 3
//   wait                  waits until it is ended from outside
//   sleep <ms>            sleeps ms milliseconds of its clock; ends with 5
//   script <file>         writes the input script it was given ("none"
//                         without one) to the device file; ends with 7
//   opener <file>         writes the place of its opener's desktop window it
//                         was given ("none" without one) to the device file;
//                         ends with 7
//   registry-count        counts the DWORD "n" of HKCU "Software\Counter" up
//                         from what it holds, about once a millisecond,
//                         until it is ended from outside
//   registry-set <name>   sets the DWORD <name> of HKCU "Software\Child" to 1
//                         and ends with 9, its key still open
#include <cstdlib>
#include <string>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winmain.h"
#include "ce/winreg.h"
#include "ce/winuser.h"

namespace {

LRESULT CALLBACK ChildProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(3);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

int Report(const std::wstring& file, const std::wstring& commandLine) {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::string text = ce::Utf8FromWide(module) + "\n" + ce::Utf8FromWide(commandLine) + "\n";
  HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(out);
  return ok && written == text.size() ? 7 : 1;
}

int ShowWindow(const std::wstring& title) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ChildProc;
  wc.lpszClassName = L"ChildWindow";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"ChildWindow", title.c_str(), 0, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
  if (!hwnd) return 1;
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}

HKEY CreateKey(const wchar_t* path) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

int CountInRegistry() {
  HKEY key = CreateKey(L"Software\\Counter");
  DWORD n = 0;
  DWORD size = sizeof n;
  RegQueryValueExW(key, L"n", nullptr, nullptr, reinterpret_cast<BYTE*>(&n), &size);
  for (;;) {
    ++n;
    RegSetValueExW(key, L"n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
    Sleep(1);
  }
}

int SetInRegistry(const std::wstring& name) {
  HKEY key = CreateKey(L"Software\\Child");
  const DWORD one = 1;
  if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one) != 0) return 1;
  return 9;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  const std::wstring line = commandLine ? commandLine : L"";
  const std::size_t space = line.find(L' ');
  const std::wstring verb = line.substr(0, space);
  const std::wstring rest = space == std::wstring::npos ? L"" : line.substr(space + 1);
  if (verb == L"exit") return static_cast<int>(std::wcstol(rest.c_str(), nullptr, 10));
  if (verb == L"report") return Report(rest.substr(0, rest.find(L' ')), line);
  if (verb == L"script") {
    const char* script = std::getenv("DEVICE_SCRIPT");
    return Report(rest, ce::WideFromUtf8(script != nullptr ? script : "none"));
  }
  if (verb == L"opener") {
    const char* opener = std::getenv("CE_OPENER_WINDOW");
    return Report(rest, ce::WideFromUtf8(opener != nullptr ? opener : "none"));
  }
  if (verb == L"window") return ShowWindow(rest);
  if (verb == L"sleep") {
    Sleep(static_cast<DWORD>(std::wcstoul(rest.c_str(), nullptr, 10)));
    return 5;
  }
  if (verb == L"registry-count") return CountInRegistry();
  if (verb == L"registry-set") return SetInRegistry(rest);
  if (verb == L"wait") {
    Sleep(INFINITE);
    return 0;
  }
  return 1;
}
CE_PROGRAM_ENTRY(WinMain)
