// A full repaint of the home screen at 240x320 with two plug-ins (the test
// plug-in library's red and green classes), into a memory DC.
#include <benchmark/benchmark.h>

#include <string>

#include "ce/objbase.h"
#include "ce/wingdi.h"
#include "ce/winreg.h"
#include "ce/winuser.h"
#include "home_screen.h"
#include "scoped_setting.h"
#include "temp_device.h"
#include "test_plugin.h"

namespace {

constexpr wchar_t kLibrary[] = L"\\Program Files\\Plugins\\HomeTestPlug.dll";

void Register(REFCLSID clsid) {
  wchar_t text[39];
  StringFromGUID2(clsid, text, 39);
  const std::wstring key = std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
  HKEY server = nullptr;
  RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &server, nullptr);
  const std::wstring path = kLibrary;
  RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(server);
}

void BM_FullRepaintTwoPlugins(benchmark::State& state) {
  static ce::test::TempDevice device;
  const std::string library = HOME_TEST_PLUGIN;
  ce::test::ScopedSetting mount("DEVICE_PROGRAM_FOLDERS", "Plugins=" + library.substr(0, library.rfind('/')));
  CoInitializeEx(nullptr, 0);
  Register(CLSID_TestRed);
  Register(CLSID_TestGreen);
  {
    home::HomeScreen screen(nullptr, 240, 320, 96);
    home::HomeLayout layout;
    layout.scheme.colors = home::DefaultColors();
    for (REFCLSID clsid : {CLSID_TestRed, CLSID_TestGreen}) {
      home::LayoutPlugin plugin;
      wchar_t text[39];
      StringFromGUID2(clsid, text, 39);
      plugin.clsidText = text;
      plugin.clsid = clsid;
      layout.plugins.push_back(plugin);
    }
    screen.Load(layout);
    if (screen.Items().size() != 2 || screen.Items()[0].state != home::HostedPlugin::State::Running) {
      state.SkipWithError("the test plug-ins did not load");
      return;
    }
    HDC display = GetDC(nullptr);
    HDC target = CreateCompatibleDC(display);
    HBITMAP bitmap = CreateCompatibleBitmap(display, 240, 320);
    ReleaseDC(nullptr, display);
    HGDIOBJ old = SelectObject(target, bitmap);
    const RECT all{0, 0, 240, 320};
    for (auto _ : state) {
      screen.Paint(target, all);
      benchmark::DoNotOptimize(GetPixel(target, 120, 40));
    }
    SelectObject(target, old);
    DeleteObject(bitmap);
    DeleteDC(target);
  }
  CoUninitialize();
}
BENCHMARK(BM_FullRepaintTwoPlugins)->Unit(benchmark::kMicrosecond);

}  // namespace
