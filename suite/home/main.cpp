// Home: the device's home screen. One runs at a time; a second start brings
// the first to the front.

#include "ce/device.h"
#include "ce/objbase.h"
#include "ce/winmain.h"
#include "ce/winuser.h"
#include "home_settings.h"
#include "home_window.h"
#include "runtime/program_harness.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  // Without a display nothing would ever reach it: it runs its own script.
  if (harness::WithoutDisplay() && !ce::device::Setting("script")) {
    harness::RunOwnScript("Home", harness::DataFolder() + "/Home/Home.script", "");
    return 1;
  }
  if (HWND running = GetDesktopWindow()) {
    SetForegroundWindow(running);
    return 0;
  }
  CoInitializeEx(nullptr, 0);
  home::InstallDefaults(instance);
  HWND window = home::CreateHomeWindow(instance);
  if (!window) {
    CoUninitialize();
    return 1;
  }
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The plug-ins save what they keep as the window goes.
  if (IsWindow(window)) DestroyWindow(window);
  CoUninitialize();
  return static_cast<int>(msg.wParam);
}

// Home takes no arguments; --help describes it without starting the device.
int main(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: Home\n"
      "  the device's home screen: the layout named by the registry value\n"
      "  HKCU ControlPanel\\Home \"Scheme\" with its plug-ins; Up and Down move the\n"
      "  selection, Enter or a tap acts. With DEVICE_BACKEND=headless and\n"
      "  DEVICE_SCRIPT=FILE it runs unattended.\n";
  if (const std::optional<int> answered = harness::AnswerCommandLine(argc, argv, kUsage, harness::Takes::kNothing))
    return *answered;
  return ce::RunProgram(argc, argv, WinMain);
}
