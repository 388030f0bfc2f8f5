// A program of the device that the Juggler tests start: it shows one
// top-level window of class "JugglerPeerWindow" and runs until that window
// is closed. Command line: KIND TITLE..., KIND one of "plain" (a visible
// main window), "hidden", "tool" (WS_EX_TOOLWINDOW) and "popup".
#include <string>

#include "ce/winbase.h"
#include "ce/winmain.h"
#include "ce/winuser.h"

namespace {

LRESULT CALLBACK PeerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(3);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  const std::wstring line = commandLine ? commandLine : L"";
  const std::size_t space = line.find(L' ');
  const std::wstring kind = line.substr(0, space);
  const std::wstring title = space == std::wstring::npos ? L"" : line.substr(space + 1);
  DWORD style = WS_VISIBLE;
  DWORD exStyle = 0;
  if (kind == L"hidden") style = 0;
  if (kind == L"tool") exStyle = WS_EX_TOOLWINDOW;
  if (kind == L"popup") style |= WS_POPUP;
  WNDCLASSW wc{};
  wc.lpfnWndProc = PeerProc;
  wc.lpszClassName = L"JugglerPeerWindow";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(exStyle, L"JugglerPeerWindow", title.c_str(), style, 0, 0, 100, 50, nullptr, nullptr,
                              nullptr, nullptr);
  if (!hwnd) return 1;
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}
CE_PROGRAM_ENTRY(WinMain)
