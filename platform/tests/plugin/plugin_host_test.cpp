// A host program and a plug-in it loads with LoadLibraryW run on the one
// platform library: the plug-in's window is a window of the host, it draws
// into the host's DC, its timer fires in the host's message loop and it
// reads what the host wrote to the registry. This program links only the
// public library, as programs do, so it sets up its device by itself.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "ce/windows.h"

namespace {

using CreatePanelProc = HWND (*)(UINT);
using TimerTicksProc = LONG (*)();
using DrawProc = BOOL (*)(HDC, COLORREF);
using ReadSettingProc = LONG (*)(LPCWSTR, DWORD*);

template <class T>
T Export(HMODULE module, LPCWSTR name) {
  // Through the generic function pointer type, which any function type
  // converts to and from.
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddressW(module, name)));
}

TEST(PlugIn, SharesWindowsDrawingTimersAndTheRegistryWithItsHost) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\PluginHost", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD written = 1234;
  ASSERT_EQ(RegSetValueExW(key, L"Volume", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&written), sizeof written),
            ERROR_SUCCESS);
  RegCloseKey(key);

  HMODULE module = LoadLibraryW(L"\\Program Files\\Plugins\\UiPlug.dll");
  ASSERT_NE(module, nullptr) << GetLastError();
  const auto createPanel = Export<CreatePanelProc>(module, L"PluginCreatePanel");
  const auto timerTicks = Export<TimerTicksProc>(module, L"PluginTimerTicks");
  const auto draw = Export<DrawProc>(module, L"PluginDraw");
  const auto readSetting = Export<ReadSettingProc>(module, L"PluginReadSetting");
  ASSERT_TRUE(createPanel && timerTicks && draw && readSetting);

  // The plug-in's window is one of the host's windows.
  HWND panel = createPanel(10);
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(IsWindow(panel));
  wchar_t className[32] = {};
  EXPECT_GT(GetClassNameW(panel, className, 32), 0);
  EXPECT_STREQ(className, L"PluginPanel");
  EXPECT_EQ(GetWindowThreadProcessId(panel, nullptr), GetCurrentThreadId());
  EXPECT_EQ(FindWindowW(L"PluginPanel", nullptr), panel);

  // It draws into a DC the host made; the host sees the pixels.
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(memory && bitmap);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  SetPixel(memory, 7, 7, RGB(255, 0, 0));
  const COLORREF red = GetPixel(memory, 7, 7);
  const COLORREF untouched = GetPixel(memory, 6, 6);
  ASSERT_NE(red, untouched);
  EXPECT_TRUE(draw(memory, RGB(255, 0, 0)));
  EXPECT_EQ(GetPixel(memory, 1, 1), red);
  EXPECT_EQ(GetPixel(memory, 4, 4), red);
  EXPECT_EQ(GetPixel(memory, 5, 5), untouched);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);

  // Its timer comes to the host's message loop for the plug-in's window.
  bool sawTimer = false;
  MSG msg{};
  for (int i = 0; i < 100 && !sawTimer && GetMessageW(&msg, nullptr, 0, 0) > 0; ++i) {
    sawTimer = msg.message == WM_TIMER && msg.hwnd == panel && msg.wParam == 7;
    DispatchMessageW(&msg);
  }
  EXPECT_TRUE(sawTimer);
  EXPECT_GE(timerTicks(), 1);

  // It reads what the host wrote.
  DWORD read = 0;
  EXPECT_EQ(readSetting(L"Volume", &read), ERROR_SUCCESS);
  EXPECT_EQ(read, written);
  EXPECT_EQ(readSetting(L"Missing", &read), ERROR_FILE_NOT_FOUND);

  // The host ends the plug-in's window and class before unloading it.
  EXPECT_TRUE(DestroyWindow(panel));
  EXPECT_FALSE(IsWindow(panel));
  EXPECT_TRUE(UnregisterClassW(L"PluginPanel", nullptr));
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // A device of its own on the headless back end and the virtual clock, with
  // the plug-in's build folder as the program folder "Plugins".
  std::string root = (std::filesystem::temp_directory_path() / "ce-plugin-XXXXXX").string();
  if (!::mkdtemp(root.data())) return 1;
  ::setenv("DEVICE_ROOT", root.c_str(), 1);
  ::setenv("DEVICE_BACKEND", "headless", 1);
  ::setenv("DEVICE_CLOCK", "virtual", 1);
  const std::string folder = std::filesystem::path(CE_UI_PLUGIN).parent_path().string();
  ::setenv("DEVICE_PROGRAM_FOLDERS", ("Plugins=" + folder).c_str(), 1);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return result;
}
