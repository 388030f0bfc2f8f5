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

// The plug-in library loaded from the meters' folder and its object set up
// as the home screen does (site, handle, height); released in turn, then
// COM.
struct Hosted {
  bool com = false;
  HMODULE library = nullptr;
  IClassFactory* factory = nullptr;
  IHomePlugin* plugin = nullptr;
  Environment environment;
  int height = 0;
  void Load() {
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    com = true;
    library = LoadLibraryW(L"\\Program Files\\Meters\\Pelmora.dll");
    ASSERT_NE(library, nullptr);
    auto getClassObject = Export<LPFNGETCLASSOBJECT>(library, L"DllGetClassObject");
    ASSERT_EQ(getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IHomePlugin, reinterpret_cast<void**>(&plugin)), S_OK);
    plugin->SetSite(&environment);
    plugin->Initialize(1);
    plugin->GetHeight(&height);
  }
  ~Hosted() {
    if (plugin != nullptr) plugin->Release();
    if (factory != nullptr) factory->Release();
    if (library != nullptr) FreeLibrary(library);
    if (com) CoUninitialize();
  }
};

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

// Whether two colours agree to what a 16-bit screen keeps.
bool Near(COLORREF a, COLORREF b) {
  for (int shift : {0, 8, 16}) {
    const int x = static_cast<int>((a >> shift) & 0xFF);
    const int y = static_cast<int>((b >> shift) & 0xFF);
    if (x - y > 8 || y - x > 8) return false;
  }
  return true;
}

// The selected row is painted in the scheme's colours: its tint in the
// highlight, its bottom rule in the rule colour, the focus frame in the
// highlight and its blend with the highlight's text, and the texts in the
// highlight's text colour.
TEST(PelmoraPlugin, TheSelectedRowPaintsInTheSchemesColours) {
  ce::test::ScopedSetting folders{"DEVICE_PROGRAM_FOLDERS", std::string("Meters=") + PELMORA_FOLDER};
  ce::test::ScopedSetting percent{"DEVICE_POWER_BATTERY_PERCENT", "64"};
  RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora");
  const COLORREF text = RGB(0x10, 0x20, 0x30), highlight = RGB(0x20, 0x80, 0x40), highlightText = RGB(0xF0, 0xE0, 0x00),
                 rule = RGB(0xC0, 0x20, 0x20);
  const std::string xml =
      "<?xml version=\"1.0\"?><colorscheme><scheme>"
      "<color name=\"COLOR_HOMETEXT\" value=\"#102030\"/>"
      "<color name=\"COLOR_HOMEHIGHLIGHT\" value=\"#208040\"/>"
      "<color name=\"COLOR_HOMEHIGHLIGHTTEXT\" value=\"#F0E000\"/>"
      "<color name=\"COLOR_HOMERULE\" value=\"#C02020\"/></scheme></colorscheme>";
  HANDLE file = CreateFileW(L"\\My Documents\\test.scheme.xml", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr);
  CloseHandle(file);
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  const std::wstring path = L"\\My Documents\\test.scheme.xml";
  RegSetValueExW(key, L"ColorScheme", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * 2));
  RegCloseKey(key);

  Hosted hosted;
  ASSERT_NO_FATAL_FAILURE(hosted.Load());
  IHomePlugin* plugin = hosted.plugin;
  const int height = hosted.height;
  PluginEvent change{};
  change.kind = PE_SYSCOLORCHANGE;
  plugin->OnEvent(&change);

  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 240, height);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const RECT all = {0, 0, 240, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  PluginEvent paint{};
  paint.kind = PE_PAINT;
  paint.paint.hdc = dc;
  paint.paint.selected = TRUE;
  paint.paint.rect = all;
  plugin->OnEvent(&paint);

  EXPECT_TRUE(Near(GetPixel(dc, 120, height - 1), rule)) << std::hex << GetPixel(dc, 120, height - 1);
  // The focus is on the left icon's upper area: a two-pixel frame.
  const COLORREF outer = RGB((0x20 + 0xF0) / 2, (0x80 + 0xE0) / 2, (0x40 + 0x00) / 2);
  EXPECT_TRUE(Near(GetPixel(dc, 0, 6), outer)) << std::hex << GetPixel(dc, 0, 6);
  EXPECT_TRUE(Near(GetPixel(dc, 1, 6), highlight)) << std::hex << GetPixel(dc, 1, 6);
  // The tint: white blended 100 parts in 256 with the highlight.
  const auto tinted = [](int white, int channel) { return (white * (256 - 100) + channel * 100) >> 8; };
  const COLORREF tint = RGB(tinted(255, 0x20), tinted(255, 0x80), tinted(255, 0x40));
  EXPECT_TRUE(Near(GetPixel(dc, 20, height - 4), tint)) << std::hex << GetPixel(dc, 20, height - 4);
  // Texts in the highlight's text colour, none in the home text colour.
  int highlighted = 0;
  int plain = 0;
  for (int y = 0; y < height - 1; ++y) {
    for (int x = 0; x < 240; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      if (Near(c, highlightText)) ++highlighted;
      if (Near(c, text)) ++plain;
    }
  }
  EXPECT_GT(highlighted, 20);
  EXPECT_EQ(plain, 0);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
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
  // A first load and unload (as registration does), then the one hosted.
  HMODULE first = LoadLibraryW(L"\\Program Files\\Meters\\Pelmora.dll");
  ASSERT_NE(first, nullptr);
  FreeLibrary(first);
  Hosted hosted;
  ASSERT_NO_FATAL_FAILURE(hosted.Load());
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
}

}  // namespace
