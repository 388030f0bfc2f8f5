// The home screen with the test plug-in library: layout, painting, input,
// failures, reloading and the reader of its files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce/kernel/file.h"
#include "ce/kernel/module.h"
#include "ce/objbase.h"
#include "ce/testing.h"
#include "ce/wingdi.h"
#include "ce/winreg.h"
#include "ce/winuser.h"
#include "home_layout.h"
#include "home_screen.h"
#include "home_settings.h"
#include "home_window.h"
#include "scoped_setting.h"
#include "screen_config.h"
#include "test_plugin.h"

namespace {

using home::HomeScreen;
using home::HostedPlugin;

constexpr wchar_t kFolder[] = L"\\Storage\\Application Data\\Home";
constexpr wchar_t kLibrary[] = L"\\Program Files\\Plugins\\HomeTestPlug.dll";
constexpr wchar_t kUnknown[] = L"{0BADF00D-1111-2222-3333-444444444444}";

std::string PluginFolder() {
  const std::string path = HOME_TEST_PLUGIN;
  return path.substr(0, path.rfind('/'));
}

std::wstring Text(REFCLSID clsid) {
  wchar_t text[39];
  StringFromGUID2(clsid, text, 39);
  return text;
}

void WriteDeviceFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  CloseHandle(file);
}

// A layout naming the plug-ins in order, with a grey plain-block colour.
std::string Layout(const std::vector<std::wstring>& clsids) {
  std::string xml =
      "<?xml version=\"1.0\"?><home><scheme>"
      "<color name=\"COLOR_WINDOW\" value=\"#FFFFFF\"/>"
      "<color name=\"COLOR_STATIC\" value=\"#808080\"/></scheme>";
  for (const std::wstring& clsid : clsids) xml += "<plugin clsid=\"" + std::string(clsid.begin(), clsid.end()) + "\"/>";
  return xml + "</home>";
}

void Pump() {
  MSG msg{};
  for (int i = 0; i < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
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

std::vector<UINT> g_listened;
LRESULT CALLBACK ListenerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSCOLORCHANGE) g_listened.push_back(message);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class Home : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    library_ = LoadLibraryW(kLibrary);
    ASSERT_NE(library_, nullptr);
    read_ = Export<TestPlugReadProc>(L"TestPlugRead");
    reset_ = Export<TestPlugResetProc>(L"TestPlugReset");
    request_ = Export<TestPlugRequestProc>(L"TestPlugRequest");
    ASSERT_TRUE(read_ && reset_ && request_);
    reset_();
    for (const GUID* clsid :
         {&CLSID_TestRed, &CLSID_TestGreen, &CLSID_TestBlue, &CLSID_TestFailInit, &CLSID_TestThrower}) {
      Register(*clsid);
    }
    for (const wchar_t* folder : {L"\\Storage", L"\\Storage\\Application Data", kFolder}) {
      CreateDirectoryW(folder, nullptr);
    }
  }
  void TearDown() override {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    Pump();
    FreeLibrary(library_);
    CoUninitialize();
  }

  template <typename T>
  T Export(const wchar_t* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddressW(library_, name)));
  }

  static void Register(REFCLSID clsid) {
    const std::wstring key = L"CLSID\\" + Text(clsid) + L"\\InprocServer32";
    HKEY server = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &server, nullptr),
              ERROR_SUCCESS);
    const std::wstring path = kLibrary;
    RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(server);
  }

  // Writes the layout, points "Scheme" at it.
  static void UseLayout(const wchar_t* name, const std::vector<std::wstring>& clsids) {
    const std::wstring path = std::wstring(kFolder) + L"\\" + name;
    WriteDeviceFile(path, Layout(clsids));
    ASSERT_TRUE(home::WriteHomeSetting(L"Scheme", path));
  }

  void Open() {
    window_ = home::CreateHomeWindow(nullptr);
    ASSERT_NE(window_, nullptr);
    Pump();
    screen_ = home::HomeScreenOf(window_);
    ASSERT_NE(screen_, nullptr);
  }

  TestPlugRecord Record(REFCLSID clsid) const {
    TestPlugRecord record{};
    EXPECT_TRUE(read_(&clsid, &record));
    return record;
  }

  ce::test::ScopedSetting mount_{"DEVICE_PROGRAM_FOLDERS", "Plugins=" + PluginFolder()};
  ce::test::ScreenConfig screen_config_{
      {"DEVICE_SCREEN_WIDTH", "240"}, {"DEVICE_SCREEN_HEIGHT", "320"}, {"DEVICE_SCREEN_DPI", "96"}};
  HMODULE library_ = nullptr;
  TestPlugReadProc read_ = nullptr;
  TestPlugResetProc reset_ = nullptr;
  TestPlugRequestProc request_ = nullptr;
  HWND window_ = nullptr;
  HomeScreen* screen_ = nullptr;
};

TEST_F(Home, PlugInsStackInLayoutOrderEachPaintedInItsOwnArea) {
  UseLayout(L"a.home.xml",
            {Text(CLSID_TestRed), kUnknown, Text(CLSID_TestFailInit), Text(CLSID_TestGreen), Text(CLSID_TestBlue)});
  Open();
  EXPECT_EQ(GetDesktopWindow(), window_);

  // The plug-in that refused Initialize is left out and released; an
  // unregistered CLSID stays as a plain block.
  const auto items = screen_->Items();
  ASSERT_EQ(items.size(), 4u);
  const struct {
    std::wstring clsid;
    LONG top, bottom;
    HostedPlugin::State state;
  } expected[] = {
      {Text(CLSID_TestRed), 26, 56, HostedPlugin::State::Running},
      {kUnknown, 56, 80, HostedPlugin::State::Block},
      {Text(CLSID_TestGreen), 80, 130, HostedPlugin::State::Running},
      {Text(CLSID_TestBlue), 130, 150, HostedPlugin::State::Running},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(items[i].clsidText, expected[i].clsid) << i;
    EXPECT_EQ(items[i].rect.top, expected[i].top) << i;
    EXPECT_EQ(items[i].rect.bottom, expected[i].bottom) << i;
    EXPECT_EQ(items[i].rect.right, 240) << i;
    EXPECT_EQ(items[i].state, expected[i].state) << i;
  }
  EXPECT_EQ(Record(CLSID_TestFailInit).live, 0);
  EXPECT_EQ(screen_->Selected(), 0);

  // On the screen: each colour inside its own area only. Blue paints ten
  // pixels past its area on every side; the home screen clips it.
  const struct {
    int y;
    COLORREF color;
  } pixels[] = {{27, RGB(255, 0, 0)},  {55, RGB(255, 0, 0)},      {60, RGB(128, 128, 128)},
                {81, RGB(0, 255, 0)},  {129, RGB(0, 255, 0)},     {131, RGB(0, 0, 255)},
                {149, RGB(0, 0, 255)}, {155, RGB(255, 255, 255)}, {300, RGB(255, 255, 255)}};
  for (const auto& [y, color] : pixels) {
    EXPECT_TRUE(Near(ce::testing::ScreenPixel(120, y), color))
        << "y " << y << ": " << std::hex << ce::testing::ScreenPixel(120, y);
  }
  const TestPlugRecord red = Record(CLSID_TestRed);
  EXPECT_GE(red.events[PE_PAINT], 1);
  EXPECT_TRUE(red.lastSelected);
  EXPECT_EQ(red.lastRect.top, 26);
  EXPECT_EQ(red.lastRect.bottom, 56);
  EXPECT_FALSE(Record(CLSID_TestGreen).lastSelected);
}

TEST_F(Home, KeysActionsTapsTicksAndColourChangesReachThePlugIns) {
  UseLayout(L"b.home.xml", {Text(CLSID_TestRed), Text(CLSID_TestBlue), Text(CLSID_TestGreen)});
  Open();
  ASSERT_EQ(screen_->Selected(), 0);

  SendMessageW(window_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Record(CLSID_TestRed).events[PE_KEYDOWN], 1);
  EXPECT_EQ(Record(CLSID_TestRed).lastKey, VK_RIGHT);

  // Down skips the plug-in that takes no selection; the paints follow.
  SendMessageW(window_, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(screen_->Selected(), 2);
  Pump();
  EXPECT_TRUE(Record(CLSID_TestGreen).lastSelected);
  EXPECT_FALSE(Record(CLSID_TestRed).lastSelected);
  SendMessageW(window_, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(screen_->Selected(), 2) << "the last selectable plug-in keeps the selection";
  EXPECT_EQ(Record(CLSID_TestGreen).events[PE_KEYDOWN], 0) << "moving the selection is the home screen's";

  SendMessageW(window_, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(Record(CLSID_TestGreen).events[PE_ACTION], 1);

  // A tap selects the plug-in under the pen and acts on it; a tap on one
  // that takes no selection does nothing.
  SendMessageW(window_, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 30));
  EXPECT_EQ(screen_->Selected(), 0);
  EXPECT_EQ(Record(CLSID_TestRed).events[PE_ACTION], 1);
  SendMessageW(window_, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 60));
  EXPECT_EQ(screen_->Selected(), 0);
  EXPECT_EQ(Record(CLSID_TestBlue).events[PE_ACTION], 0);

  SendMessageW(window_, WM_TIMER, 1, 0);
  SendMessageW(window_, WM_SYSCOLORCHANGE, 0, 0);
  for (const GUID* clsid : {&CLSID_TestRed, &CLSID_TestBlue, &CLSID_TestGreen}) {
    const TestPlugRecord record = Record(*clsid);
    EXPECT_EQ(record.events[PE_TIMER], 1);
    EXPECT_EQ(record.events[PE_SYSCOLORCHANGE], 1);
  }
}

TEST_F(Home, APlugInThatThrowsIsLeftOutAndTheHomeScreenGoesOn) {
  UseLayout(L"c.home.xml", {Text(CLSID_TestThrower), Text(CLSID_TestRed)});
  Open();
  ASSERT_EQ(screen_->Items().size(), 2u);
  ASSERT_EQ(screen_->Selected(), 0);
  SendMessageW(window_, WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  const auto items = screen_->Items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].clsidText, Text(CLSID_TestRed));
  EXPECT_EQ(items[0].rect.top, 26) << "the rest moves up";
  EXPECT_EQ(screen_->Selected(), 0);
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(120, 30), RGB(255, 0, 0)));
  EXPECT_EQ(Record(CLSID_TestThrower).live, 0);
  SendMessageW(window_, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(Record(CLSID_TestRed).events[PE_ACTION], 1);
}

TEST_F(Home, TheLayoutEditorsRequestReloadsSavesAndTellsEveryWindow) {
  UseLayout(L"d.home.xml", {Text(CLSID_TestRed)});
  Open();
  EXPECT_EQ(Record(CLSID_TestRed).loadedValue, 0u);

  WNDCLASSW wc{};
  wc.lpfnWndProc = ListenerProc;
  wc.lpszClassName = L"Listener";
  RegisterClassW(&wc);
  HWND listener = CreateWindowExW(0, L"Listener", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(listener, nullptr);
  g_listened.clear();

  UseLayout(L"e.home.xml", {Text(CLSID_TestGreen), Text(CLSID_TestRed)});
  SendMessageW(window_, WM_SETTINGCHANGE, 0x1234, 0);
  Pump();
  EXPECT_EQ(screen_->Items().size(), 1u) << "only 0xF2 asks for a reload";
  EXPECT_TRUE(g_listened.empty());

  SendMessageW(GetDesktopWindow(), WM_SETTINGCHANGE, 0xF2, 0);
  Pump();
  const auto items = screen_->Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].clsidText, Text(CLSID_TestRed));
  EXPECT_EQ(items[1].rect.top, 76);
  // The old red saved its bytes as it went; the new one read them back.
  const TestPlugRecord red = Record(CLSID_TestRed);
  EXPECT_EQ(red.saves, 1);
  EXPECT_EQ(red.loadedValue, 0x1001u);
  EXPECT_EQ(red.live, 1);
  EXPECT_EQ(g_listened.size(), 1u);
  EXPECT_GE(Record(CLSID_TestGreen).events[PE_SYSCOLORCHANGE], 1);
  DestroyWindow(listener);

  // A layout that cannot be read leaves an empty home screen, still running.
  WriteDeviceFile(std::wstring(kFolder) + L"\\e.home.xml", "<home><plugin");
  SendMessageW(window_, WM_SETTINGCHANGE, 0xF2, 0);
  Pump();
  EXPECT_TRUE(screen_->Items().empty());
  EXPECT_TRUE(IsWindow(window_));
}

TEST_F(Home, RedrawRequestsFromAPlugInsThreadRepaintAndRemeasure) {
  UseLayout(L"f.home.xml", {Text(CLSID_TestRed), Text(CLSID_TestGreen)});
  Open();
  const int paints = Record(CLSID_TestRed).events[PE_PAINT];
  const int greenPaints = Record(CLSID_TestGreen).events[PE_PAINT];
  ASSERT_TRUE(request_(&CLSID_TestRed, 30, PLUGIN_INVALIDATE_PAINT));
  Pump();
  EXPECT_EQ(Record(CLSID_TestRed).events[PE_PAINT], paints + 1);
  EXPECT_EQ(Record(CLSID_TestGreen).events[PE_PAINT], greenPaints) << "only the asking plug-in is painted";
  EXPECT_EQ(screen_->environment()->Requests(), 1);

  ASSERT_TRUE(request_(&CLSID_TestRed, 40, PLUGIN_INVALIDATE_PAINT | PLUGIN_INVALIDATE_HEIGHT));
  Pump();
  const auto items = screen_->Items();
  EXPECT_EQ(items[0].rect.bottom, 66);
  EXPECT_EQ(items[1].rect.top, 66);
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(120, 64), RGB(255, 0, 0)));

  // A height beyond the screen is held to it.
  ASSERT_TRUE(request_(&CLSID_TestRed, 1 << 30, PLUGIN_INVALIDATE_HEIGHT));
  Pump();
  EXPECT_EQ(screen_->Items()[0].rect.bottom - screen_->Items()[0].rect.top, 320);
}

TEST(HomeFiles, TheReaderRefusesOrSkipsWhatIsMalformed) {
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  home::HomeLayout layout;
  std::wstring why;
  for (const wchar_t* bad : {L"", L"<home>", L"<home><plugin clsid='x'></home>", L"<colorscheme/>", L"plain"}) {
    EXPECT_FALSE(home::ReadHomeText(bad, home::FileKind::Layout, layout, &why)) << bad;
    EXPECT_FALSE(why.empty());
  }
  EXPECT_FALSE(home::ReadHomeText(L"<home/>", home::FileKind::ColorScheme, layout));

  std::wstring text = L"<home><background bgimage='" + std::wstring(300, L'x') +
                      L"'/><scheme>"
                      L"<color name='COLOR_WINDOW' value='#0000FF'/>"
                      L"<color name='COLOR_STATIC' value='#12'/>"
                      L"<color name='COLOR_HOMERULE' value='0000FF0'/>"
                      L"<color name='COLOR_NOT_THERE' value='#000000'/>"
                      L"<color name='COLOR_TRAYTEXT' value='#GG0000'/>"
                      L"</scheme>"
                      L"<plugin clsid='{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}'/>"
                      L"<plugin/>"
                      L"<plugin clsid='{" +
                      std::wstring(1000, L'A') + L"}'/><plugin clsid='{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90}'/>";
  for (int i = 0; i < 40; ++i) text += L"<plugin clsid='{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}'/>";
  text += L"</home>";
  ASSERT_TRUE(home::ReadHomeText(text, home::FileKind::Layout, layout));
  EXPECT_TRUE(layout.background.empty()) << "a path longer than a path can be is dropped";
  EXPECT_EQ(layout.scheme.colors[home::kColorWindow], 0x00FF0000u) << "blue is the third byte";
  EXPECT_TRUE(layout.scheme.present[home::kColorWindow]);
  for (int slot : {home::kColorStatic, home::kColorHomeRule, home::kColorTrayText}) {
    EXPECT_FALSE(layout.scheme.present[static_cast<std::size_t>(slot)]) << slot;
    EXPECT_EQ(layout.scheme.colors[static_cast<std::size_t>(slot)],
              home::DefaultColors()[static_cast<std::size_t>(slot)]);
  }
  // Plug-in elements are read up to the limit (the malformed ones count).
  ASSERT_FALSE(layout.plugins.empty());
  EXPECT_EQ(layout.plugins[0].clsidText, L"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}");
  EXPECT_LE(layout.plugins.size(), home::kMaxPlugins);
  for (const auto& plugin : layout.plugins) EXPECT_EQ(plugin.clsidText.size(), 38u);
  CoUninitialize();
}

}  // namespace
