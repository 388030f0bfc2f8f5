// The plug-in library as the home screen drives it: created through its
// class factory, sized, painted and unloaded; the worker must not hold the
// unload up.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "ce/homeplugin.h"
#include "ce/objidl.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "scoped_setting.h"

namespace {

const CLSID kClsid = {0xF3BE7FFF, 0x7812, 0x4002, {0xB5, 0x84, 0x3C, 0x09, 0x50, 0xC6, 0xBE, 0xA3}};

class Environment : public IHomePluginEnvironment {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IHomePluginEnvironment)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT InvalidatePlugin(HPLUGIN, DWORD what) override {
    redraws.push_back(what);
    return S_OK;
  }
  std::vector<DWORD> redraws;
};

template <typename F>
F Export(HMODULE module, const wchar_t* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddressW(module, name)));
}

TEST(PelmoraPlugin, LoadsDrawsAndUnloadsPromptly) {
  ce::test::ScopedSetting folders{"DEVICE_PROGRAM_FOLDERS", std::string("Meters=") + PELMORA_FOLDER};
  ce::test::ScopedSetting percent{"DEVICE_POWER_BATTERY_PERCENT", "64"};
  RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora");
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  HMODULE library = LoadLibraryW(L"\\Program Files\\Meters\\Pelmora.dll");
  ASSERT_NE(library, nullptr);
  auto getClassObject = Export<LPFNGETCLASSOBJECT>(library, L"DllGetClassObject");
  auto launchHelp = Export<BOOL (*)()>(library, L"LaunchQVHelp");
  auto period = Export<int (*)()>(library, L"PelmoraUpdatePeriod");
  ASSERT_TRUE(getClassObject && launchHelp && period);
  EXPECT_EQ(launchHelp(), 0) << "no window before the first GetHeight";

  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IHomePlugin* plugin = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IHomePlugin, reinterpret_cast<void**>(&plugin)), S_OK);
  Environment environment;
  EXPECT_EQ(plugin->SetSite(&environment), S_OK);
  EXPECT_EQ(plugin->Initialize(7), S_OK);
  int height = 0;
  ASSERT_EQ(plugin->GetHeight(&height), S_OK);
  int again = 0;
  ASSERT_EQ(plugin->GetHeight(&again), S_OK);
  EXPECT_EQ(height, again);
  EXPECT_GT(height, 1);
  EXPECT_NE(FindWindowW(L"PelmoraWnd", L""), nullptr);
  EXPECT_EQ(launchHelp(), 1);

  // Start the timers, then paint twice: selected and not.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_EQ(period(), 1000);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  SelectObject(dc, CreateCompatibleBitmap(screen, 240, height));
  for (BOOL selected : {TRUE, FALSE}) {
    PluginEvent event{};
    event.kind = PE_PAINT;
    event.paint.hdc = dc;
    event.paint.selected = selected;
    event.paint.rect = {0, 0, 240, height};
    EXPECT_EQ(plugin->OnEvent(&event), S_OK);
  }
  PluginEvent key{};
  key.kind = PE_KEYDOWN;
  key.keyDown.key = VK_RIGHT;
  EXPECT_EQ(plugin->OnEvent(&key), S_OK);
  EXPECT_FALSE(environment.redraws.empty()) << "moving the focus asks for a redraw";
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);

  plugin->Release();
  factory->Release();
  EXPECT_EQ(FindWindowW(L"PelmoraWnd", L""), nullptr);
  const auto start = std::chrono::steady_clock::now();
  FreeLibrary(library);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "the worker stops at once";
  CoUninitialize();
}

TEST(PelmoraPlugin, RefreshSlowsAfterFortyTicksAndAHostPaintRestoresIt) {
  ce::testing::UseVirtualClock(20000, 0);
  ce::test::ScopedSetting folders{"DEVICE_PROGRAM_FOLDERS", std::string("Meters=") + PELMORA_FOLDER};
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  HMODULE library = LoadLibraryW(L"\\Program Files\\Meters\\Pelmora.dll");
  ASSERT_NE(library, nullptr);
  auto getClassObject = Export<LPFNGETCLASSOBJECT>(library, L"DllGetClassObject");
  auto period = Export<int (*)()>(library, L"PelmoraUpdatePeriod");
  auto ticks = Export<int (*)()>(library, L"PelmoraTickCount");
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IHomePlugin* plugin = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IHomePlugin, reinterpret_cast<void**>(&plugin)), S_OK);
  Environment environment;
  plugin->SetSite(&environment);
  plugin->Initialize(1);
  int height = 0;
  plugin->GetHeight(&height);
  auto pump = [] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  };
  pump();
  for (int second = 1; second <= 39; ++second) {
    ce::testing::AdvanceClock(1000);
    pump();
  }
  EXPECT_EQ(ticks(), 39);
  EXPECT_EQ(period(), 1000);
  ce::testing::AdvanceClock(1000);
  pump();
  EXPECT_EQ(period(), 300000) << "the 40th tick slows the refresh";
  EXPECT_EQ(ticks(), 0);

  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  SelectObject(dc, CreateCompatibleBitmap(screen, 240, height));
  PluginEvent paint{};
  paint.kind = PE_PAINT;
  paint.paint.hdc = dc;
  paint.paint.rect = {0, 0, 240, height};
  plugin->OnEvent(&paint);
  EXPECT_EQ(period(), 300000) << "the paint the worker asked for keeps the period";
  plugin->OnEvent(&paint);
  EXPECT_EQ(period(), 1000) << "a paint the worker did not ask for restores the fast refresh";
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);

  plugin->Release();
  factory->Release();
  FreeLibrary(library);
  CoUninitialize();
  ce::testing::UseRealClock();
}

// Presses "Done" on the open settings dialog from inside its modal loop.
int g_optionsSeen = 0;
void CALLBACK PressDone(HWND, UINT, UINT_PTR id, DWORD) {
  if (HWND dialog = FindWindowW(L"Dialog", L"Settings")) {
    ++g_optionsSeen;
    KillTimer(nullptr, id);
    PostMessageW(dialog, WM_COMMAND, 40005, 0);
  }
}

TEST(PelmoraPlugin, OptionsOpenFromTheirMessageAfterTheLibraryWasLoadedAgain) {
  ce::test::ScopedSetting folders{"DEVICE_PROGRAM_FOLDERS", std::string("Meters=") + PELMORA_FOLDER};
  RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora");
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  // A first load and unload (as registration does), then the one hosted.
  HMODULE first = LoadLibraryW(L"\\Program Files\\Meters\\Pelmora.dll");
  ASSERT_NE(first, nullptr);
  FreeLibrary(first);
  HMODULE library = LoadLibraryW(L"\\Program Files\\Meters\\Pelmora.dll");
  ASSERT_NE(library, nullptr);
  auto getClassObject = Export<LPFNGETCLASSOBJECT>(library, L"DllGetClassObject");
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IHomePlugin* plugin = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IHomePlugin, reinterpret_cast<void**>(&plugin)), S_OK);
  Environment environment;
  plugin->SetSite(&environment);
  plugin->Initialize(1);
  int height = 0;
  plugin->GetHeight(&height);
  HWND window = FindWindowW(L"PelmoraWnd", L"");
  ASSERT_NE(window, nullptr);
  // Another program's message with a parent that is no window.
  const UINT_PTR timer = SetTimer(nullptr, 0, 0, PressDone);
  SendMessageW(window, 1324, 0x5A5A5A5A, 0);
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_optionsSeen, 1) << "the settings dialog opened from the plug-in's resources";
  HKEY key = nullptr;
  DWORD updated = 0;
  DWORD size = sizeof updated;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, L"Updated", nullptr, nullptr, reinterpret_cast<BYTE*>(&updated), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(updated, 1u) << "Done saved the settings";
  plugin->Release();
  factory->Release();
  FreeLibrary(library);
  CoUninitialize();
}

}  // namespace
