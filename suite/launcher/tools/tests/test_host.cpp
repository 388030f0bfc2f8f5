#include "test_host.h"

#include <deque>

namespace tessivo::test {

namespace {

std::deque<std::function<void()>> g_steps;
UINT_PTR g_timer = 0;

void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_steps.empty()) {
    KillTimer(nullptr, g_timer);
    g_timer = 0;
    return;
  }
  auto step = std::move(g_steps.front());
  g_steps.pop_front();
  if (g_steps.empty()) {
    KillTimer(nullptr, g_timer);
    g_timer = 0;
  }
  step();
}

LRESULT CALLBACK BarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

TestHost::TestHost() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = BarProc;
  wc.lpszClassName = L"ToolsTestBar";
  RegisterClassW(&wc);
  m_bar = CreateWindowExW(0, L"ToolsTestBar", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  // A 240 x 20 header at 96 DPI, scaled like the bar's own: a dark band the
  // title is drawn into.
  HDC screen = GetDC(nullptr);
  const int scale = GetDeviceCaps(screen, LOGPIXELSX) > 129 ? 2 : 1;
  m_header = CreateCompatibleBitmap(screen, 240 * scale, 20 * scale);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, m_header);
  RECT all = {0, 0, 240 * scale, 20 * scale};
  HBRUSH brush = CreateSolidBrush(RGB(20, 40, 90));
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  SetToolHost(this);
}

TestHost::~TestHost() {
  SetToolHost(nullptr);
  DestroyWindow(m_bar);
  DeleteObject(m_header);
}

void RunSteps(std::vector<std::function<void()>> steps, UINT everyMs) {
  for (auto& step : steps) g_steps.push_back(std::move(step));
  if (g_timer == 0) g_timer = SetTimer(nullptr, 0, everyMs, StepTimer);
}

bool WriteDeviceFile(const wchar_t* path, DWORD bytes) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<char> data(bytes, 'x');
  DWORD written = 0;
  const BOOL ok = bytes == 0 || WriteFile(file, data.data(), bytes, &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes;
}

bool DeviceFileExists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace tessivo::test
