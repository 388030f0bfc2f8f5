// A ToolHost for the tests: the test program's own resources, a hidden
// window standing in for the bar, settings in memory with a count of saves,
// and a header picture drawn in code.
#pragma once

#include <functional>
#include <vector>

#include "tool_host.h"

namespace tessivo::test {

class TestHost : public ToolHost {
 public:
  TestHost();
  ~TestHost() override;
  HINSTANCE Module() override { return GetModuleHandleW(nullptr); }
  HWND BarWindow() override { return m_bar; }
  ToolOptions& Options() override { return options; }
  void SaveOptions() override {
    ++optionSaves;
    saved = options;
  }
  void SaveAll() override {
    ++allSaves;
    saved = options;
  }
  HeaderLook Header() override { return {m_header, nullptr, RGB(255, 255, 255)}; }
  void GradientColours(COLORREF* left, COLORREF* right) override {
    *left = RGB(0, 0, 128);
    *right = RGB(0, 128, 255);
  }
  int BarWidth() override { return 240; }
  CReminderPlayer* ReminderPlayer() override { return player; }

  ToolOptions options;
  ToolOptions saved;
  int optionSaves = 0;
  int allSaves = 0;
  CReminderPlayer* player = nullptr;

 private:
  HWND m_bar = nullptr;
  HBITMAP m_header = nullptr;
};

// Runs each step in turn inside the modal loop that runs next on this
// thread, one step per tick of a thread timer (`everyMs` apart).
void RunSteps(std::vector<std::function<void()>> steps, UINT everyMs = 50);
// Device file helpers.
bool WriteDeviceFile(const wchar_t* path, DWORD bytes);
bool DeviceFileExists(const wchar_t* path);

}  // namespace tessivo::test
