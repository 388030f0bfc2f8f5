// The layout editor's whole ApplyLayout over a layout of about 100 KB (the
// reload request goes nowhere: no home screen runs), and a full repaint of
// the list window at 480x640.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "ce/objbase.h"
#include "ce/winreg.h"
#include "ce/winuser.h"
#include "common/string_helper.h"
#include "home_layout_editor.h"
#include "obj_menu_list.h"
#include "temp_device.h"

namespace {

void BM_ApplyLayout100KB(benchmark::State& state) {
  static ce::test::TempDevice device;
  CoInitializeEx(nullptr, 0);
  std::string xml = "<?xml version=\"1.0\"?><home><scheme>";
  for (int i = 0; xml.size() < 100000; ++i) {
    xml += "<color name=\"COLOR_X" + std::to_string(i) + "\" value=\"#102030\"/>";
  }
  xml += "</scheme><plugin clsid=\"{837FC251-FE69-43ad-84E0-EBCEDEBA0884}\"/>";
  xml += "<plugin clsid=\"{79EFB752-CB70-446d-B317-499723482B3D}\"/></home>";
  device.WriteHostFile("Storage/Application Data/Home/start.home.xml", xml);
  const std::wstring start = L"\\Storage\\Application Data\\Home\\start.home.xml";
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  setup::CHomeLayoutEditor* editor = setup::CHomeLayoutEditor::GetInstance();
  editor->SetRequest(setup::kChoiceBoth, FALSE);
  for (auto _ : state) {
    state.PauseTiming();
    RegSetValueExW(key, L"Scheme", 0, REG_SZ, reinterpret_cast<const BYTE*>(start.c_str()),
                   static_cast<DWORD>((start.size() + 1) * 2));
    state.ResumeTiming();
    if (!editor->ApplyLayout()) {
      state.SkipWithError("ApplyLayout failed");
      break;
    }
  }
  RegCloseKey(key);
  setup::CHomeLayoutEditor::DeleteInstance();
  CoUninitialize();
}
BENCHMARK(BM_ApplyLayout100KB)->Unit(benchmark::kMillisecond);

void BM_ListRepaint480x640(benchmark::State& state) {
  static ce::test::TempDevice device;
  ::setenv("DEVICE_BACKEND", "headless", 1);
  ::setenv("DEVICE_SCREEN_WIDTH", "480", 1);
  ::setenv("DEVICE_SCREEN_HEIGHT", "640", 1);
  // Not the first use: no welcome box.
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\QVX", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  const DWORD one = 1;
  RegSetValueExW(key, L"FirstUse", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  RegCloseKey(key);
  setup::CObjMenuList* list = setup::CObjMenuList::GetInstance();
  if (!list->InitInstance(GetModuleHandleW(nullptr), SW_SHOW)) {
    state.SkipWithError("no window");
    return;
  }
  HWND window = list->Window();
  for (auto _ : state) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
  }
  DestroyWindow(window);
  setup::CObjMenuList::DeleteInstance();
}
BENCHMARK(BM_ListRepaint480x640)->Unit(benchmark::kMicrosecond);

}  // namespace
