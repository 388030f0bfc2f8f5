// The home screen with the test plug-in library: layout, painting, input,
// failures, reloading and the reader of its files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce/kernel/file.h"
#include "ce/kernel/module.h"
#include "ce/objbase.h"
#include "ce/strconv.h"
#include "ce/testing.h"
#include "ce/wingdi.h"
#include "ce/winreg.h"
#include "ce/winuser.h"
#include "home_colors.h"
#include "home_layout.h"
#include "home_screen.h"
#include "home_settings.h"
#include "home_window.h"
#include "scoped_setting.h"
#include "screen_config.h"
#include "temp_device.h"
#include "test_plugin.h"

namespace {

using home::HomeScreen;
using home::HostedPlugin;

constexpr wchar_t kFolder[] = L"\\Storage\\Application Data\\Home";
constexpr wchar_t kLibrary[] = L"\\Program Files\\Plugins\\HomeTestPlug.dll";
constexpr wchar_t kUnknown[] = L"{0BADF00D-1111-2222-3333-444444444444}";
// Registered, but its library is not there.
constexpr wchar_t kMissing[] = L"{0BADF00D-5555-2222-3333-444444444444}";

std::string PluginFolder() {
  const std::string path = HOME_TEST_PLUGIN;
  return path.substr(0, path.rfind('/'));
}

// The common library's test plug-in, mounted as \Program Files\Suite.
std::string SuiteMount() {
#ifdef SUITE_TEST_PLUGIN
  const std::string path = SUITE_TEST_PLUGIN;
  return ";Suite=" + path.substr(0, path.rfind('/'));
#else
  return "";
#endif
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
    m_library = LoadLibraryW(kLibrary);
    ASSERT_NE(m_library, nullptr);
    m_read = Export<TestPlugReadProc>(L"TestPlugRead");
    m_reset = Export<TestPlugResetProc>(L"TestPlugReset");
    m_request = Export<TestPlugRequestProc>(L"TestPlugRequest");
    ASSERT_TRUE(m_read && m_reset && m_request);
    m_reset();
    for (const GUID* clsid : {&CLSID_TestRed, &CLSID_TestGreen, &CLSID_TestBlue, &CLSID_TestFailInit,
                              &CLSID_TestThrower, &CLSID_TestCloser}) {
      Register(*clsid);
    }
    for (const wchar_t* folder : {L"\\Storage", L"\\Storage\\Application Data", kFolder}) {
      CreateDirectoryW(folder, nullptr);
    }
    // The layouts carry the colours.
    ASSERT_TRUE(home::WriteHomeSetting(L"ColorScheme", L""));
  }
  void TearDown() override {
    if (m_window && IsWindow(m_window)) DestroyWindow(m_window);
    Pump();
    FreeLibrary(m_library);
    CoUninitialize();
  }

  template <typename T>
  T Export(const wchar_t* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddressW(m_library, name)));
  }

  static void Register(REFCLSID clsid, const std::wstring& path = kLibrary) {
    const std::wstring key = L"CLSID\\" + Text(clsid) + L"\\InprocServer32";
    HKEY server = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &server, nullptr),
              ERROR_SUCCESS);
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
    m_window = home::CreateHomeWindow(nullptr);
    ASSERT_NE(m_window, nullptr);
    Pump();
    m_screen = home::HomeScreenOf(m_window);
    ASSERT_NE(m_screen, nullptr);
  }

  TestPlugRecord Record(REFCLSID clsid) const {
    TestPlugRecord record{};
    EXPECT_TRUE(m_read(&clsid, &record));
    return record;
  }

  // A device of its own: what one test's plug-ins saved never reaches another.
  ce::test::TempDevice m_device;
  ce::test::ScopedSetting m_mount{"DEVICE_PROGRAM_FOLDERS", "Plugins=" + PluginFolder() + SuiteMount()};
  ce::test::ScreenConfig screen_config_{
      {"DEVICE_SCREEN_WIDTH", "240"}, {"DEVICE_SCREEN_HEIGHT", "320"}, {"DEVICE_SCREEN_DPI", "96"}};
  HMODULE m_library = nullptr;
  TestPlugReadProc m_read = nullptr;
  TestPlugResetProc m_reset = nullptr;
  TestPlugRequestProc m_request = nullptr;
  HWND m_window = nullptr;
  HomeScreen* m_screen = nullptr;
};

TEST_F(Home, PlugInsStackInLayoutOrderEachPaintedInItsOwnArea) {
  CLSID missing{};
  ASSERT_EQ(CLSIDFromString(kMissing, &missing), S_OK);
  Register(missing, L"\\Program Files\\Plugins\\Missing.dll");
  UseLayout(L"a.home.xml", {Text(CLSID_TestRed), kUnknown, Text(CLSID_TestFailInit), kMissing, Text(CLSID_TestGreen),
                            Text(CLSID_TestBlue)});
  Open();
  EXPECT_EQ(GetDesktopWindow(), m_window);

  // The plug-ins that refused Initialize or could not be loaded are left
  // out (the first released); an unregistered CLSID stays a plain block.
  const auto items = m_screen->Items();
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
  EXPECT_EQ(m_screen->Selected(), 0);

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
  ASSERT_EQ(m_screen->Selected(), 0);

  SendMessageW(m_window, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Record(CLSID_TestRed).events[PE_KEYDOWN], 1);
  EXPECT_EQ(Record(CLSID_TestRed).lastKey, VK_RIGHT);

  // Down skips the plug-in that takes no selection; the paints follow.
  SendMessageW(m_window, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(m_screen->Selected(), 2);
  Pump();
  EXPECT_TRUE(Record(CLSID_TestGreen).lastSelected);
  EXPECT_FALSE(Record(CLSID_TestRed).lastSelected);
  SendMessageW(m_window, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(m_screen->Selected(), 2) << "the last selectable plug-in keeps the selection";
  EXPECT_EQ(Record(CLSID_TestGreen).events[PE_KEYDOWN], 0) << "moving the selection is the home screen's";

  SendMessageW(m_window, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(Record(CLSID_TestGreen).events[PE_ACTION], 1);
  EXPECT_EQ(Record(CLSID_TestGreen).lastAction.source, PLUGIN_ACTION_KEY);

  // A tap (the pen up again at once) selects the plug-in under the pen and
  // tells it where the pen landed; a tap on one that takes no selection
  // does nothing.
  PostMessageW(m_window, WM_LBUTTONUP, 0, MAKELPARAM(10, 30));
  SendMessageW(m_window, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 30));
  EXPECT_EQ(m_screen->Selected(), 0);
  TestPlugRecord red = Record(CLSID_TestRed);
  EXPECT_EQ(red.events[PE_ACTION], 1);
  EXPECT_EQ(red.lastAction.source, PLUGIN_ACTION_TAP);
  EXPECT_EQ(red.lastAction.point.x, 10);
  EXPECT_EQ(red.lastAction.point.y, 30);
  PostMessageW(m_window, WM_LBUTTONUP, 0, MAKELPARAM(10, 60));
  SendMessageW(m_window, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 60));
  EXPECT_EQ(m_screen->Selected(), 0);
  EXPECT_EQ(Record(CLSID_TestBlue).events[PE_ACTION], 0);
  Pump();

  // The pen held still is press and hold, at its point.
  SendMessageW(m_window, WM_LBUTTONDOWN, 0, MAKELPARAM(200, 100));
  EXPECT_EQ(m_screen->Selected(), 2);
  const TestPlugRecord green = Record(CLSID_TestGreen);
  EXPECT_EQ(green.events[PE_ACTION], 2);
  EXPECT_EQ(green.lastAction.source, PLUGIN_ACTION_HOLD);
  EXPECT_EQ(green.lastAction.point.x, 200);
  EXPECT_EQ(green.lastAction.point.y, 100);

  SendMessageW(m_window, WM_TIMER, 1, 0);
  SendMessageW(m_window, WM_SYSCOLORCHANGE, 0, 0);
  for (const GUID* clsid : {&CLSID_TestRed, &CLSID_TestBlue, &CLSID_TestGreen}) {
    const TestPlugRecord record = Record(*clsid);
    EXPECT_EQ(record.events[PE_TIMER], 1);
    EXPECT_EQ(record.events[PE_SYSCOLORCHANGE], 1);
  }
}

TEST_F(Home, APlugInThatThrowsIsLeftOutAndTheHomeScreenGoesOn) {
  UseLayout(L"c.home.xml", {Text(CLSID_TestThrower), Text(CLSID_TestRed)});
  Open();
  ASSERT_EQ(m_screen->Items().size(), 2u);
  ASSERT_EQ(m_screen->Selected(), 0);
  SendMessageW(m_window, WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  const auto items = m_screen->Items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].clsidText, Text(CLSID_TestRed));
  EXPECT_EQ(items[0].rect.top, 26) << "the rest moves up";
  EXPECT_EQ(m_screen->Selected(), 0);
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(120, 30), RGB(255, 0, 0)));
  EXPECT_EQ(Record(CLSID_TestThrower).live, 0);
  SendMessageW(m_window, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(Record(CLSID_TestRed).events[PE_ACTION], 1);
}

// A plug-in's own loop (a dialog's) in which the home window is closed: the
// screen outlives the call under way, then the plug-ins are saved and
// released as the window goes. The sanitizer build watches the memory.
TEST_F(Home, AWindowClosedInsideAPlugInsLoopEndsCleanly) {
  UseLayout(L"e.home.xml", {Text(CLSID_TestCloser), Text(CLSID_TestRed)});
  for (const bool byPen : {true, false}) {
    SCOPED_TRACE(byPen ? "tap" : "Enter");
    m_reset();
    Open();
    if (byPen) {
      PostMessageW(m_window, WM_LBUTTONUP, 0, MAKELPARAM(10, 30));
      SendMessageW(m_window, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 30));
    } else {
      SendMessageW(m_window, WM_KEYDOWN, VK_RETURN, 0);
    }
    EXPECT_FALSE(IsWindow(m_window));
    EXPECT_EQ(Record(CLSID_TestCloser).events[PE_ACTION], 1);
    for (const GUID* clsid : {&CLSID_TestCloser, &CLSID_TestRed}) {
      EXPECT_EQ(Record(*clsid).live, 0);
      EXPECT_EQ(Record(*clsid).saves, 1);
    }
    Pump();
  }
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
  SendMessageW(m_window, WM_SETTINGCHANGE, 0x1234, 0);
  Pump();
  EXPECT_EQ(m_screen->Items().size(), 1u) << "only 0xF2 asks for a reload";
  EXPECT_TRUE(g_listened.empty());

  SendMessageW(GetDesktopWindow(), WM_SETTINGCHANGE, 0xF2, 0);
  Pump();
  const auto items = m_screen->Items();
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
  SendMessageW(m_window, WM_SETTINGCHANGE, 0xF2, 0);
  Pump();
  EXPECT_TRUE(m_screen->Items().empty());
  EXPECT_TRUE(IsWindow(m_window));
}

TEST_F(Home, RedrawRequestsFromAPlugInsThreadRepaintAndRemeasure) {
  UseLayout(L"f.home.xml", {Text(CLSID_TestRed), Text(CLSID_TestGreen)});
  Open();
  const int paints = Record(CLSID_TestRed).events[PE_PAINT];
  const int greenPaints = Record(CLSID_TestGreen).events[PE_PAINT];
  ASSERT_TRUE(m_request(&CLSID_TestRed, 30, PLUGIN_INVALIDATE_PAINT));
  Pump();
  EXPECT_EQ(Record(CLSID_TestRed).events[PE_PAINT], paints + 1);
  EXPECT_EQ(Record(CLSID_TestGreen).events[PE_PAINT], greenPaints) << "only the asking plug-in is painted";
  EXPECT_EQ(m_screen->GetEnvironment()->Requests(), 1);

  ASSERT_TRUE(m_request(&CLSID_TestRed, 40, PLUGIN_INVALIDATE_PAINT | PLUGIN_INVALIDATE_HEIGHT));
  Pump();
  const auto items = m_screen->Items();
  EXPECT_EQ(items[0].rect.bottom, 66);
  EXPECT_EQ(items[1].rect.top, 66);
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(120, 64), RGB(255, 0, 0)));

  // A height beyond the screen is held to it.
  ASSERT_TRUE(m_request(&CLSID_TestRed, 1 << 30, PLUGIN_INVALIDATE_HEIGHT));
  Pump();
  EXPECT_EQ(m_screen->Items()[0].rect.bottom - m_screen->Items()[0].rect.top, 320);
}

#ifdef SUITE_TEST_PLUGIN
// A plug-in built on the suite's common library registers itself, is
// created by the home screen, paints in its area, takes keys, and asks for
// its redraw from a timer tick.
TEST_F(Home, HostsAPlugInBuiltOnTheSuitesCommonLibrary) {
  HMODULE suite = LoadLibraryW(L"\\Program Files\\Suite\\SuiteTestPlug.dll");
  ASSERT_NE(suite, nullptr);
  using RegisterProc = HRESULT (*)();
  using LogProc = const wchar_t* (*)();
  const auto registerServer =
      reinterpret_cast<RegisterProc>(reinterpret_cast<void (*)()>(GetProcAddressW(suite, L"DllRegisterServer")));
  const auto log = reinterpret_cast<LogProc>(reinterpret_cast<void (*)()>(GetProcAddressW(suite, L"SuiteTestPlugLog")));
  ASSERT_TRUE(registerServer && log);
  ASSERT_EQ(registerServer(), S_OK);

  UseLayout(L"g.home.xml", {Text(CLSID_TestRed), L"{5E1A7C30-2B8D-4c11-9E0F-6A7B8C9D0E1F}"});
  Open();
  const auto items = m_screen->Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].state, HostedPlugin::State::Running);
  EXPECT_EQ(items[1].rect.top, 56);
  EXPECT_EQ(items[1].rect.bottom, 96);
  EXPECT_NE(std::wstring(log()).find(L"paint 0;"), std::wstring::npos);

  SendMessageW(m_window, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(m_window, WM_KEYDOWN, VK_LEFT, 0);
  SendMessageW(m_window, WM_TIMER, 1, 0);
  Pump();
  const std::wstring seen = log();
  EXPECT_NE(seen.find(L"key 37;"), std::wstring::npos) << ce::Utf8FromWide(seen);
  EXPECT_NE(seen.find(L"timer;"), std::wstring::npos);
  EXPECT_NE(seen.find(L"paint 1;"), std::wstring::npos) << "selected, and painted again after its redraw request";
  EXPECT_GE(m_screen->GetEnvironment()->Requests(), 1);

  // Taken off the layout, it ends its window: the home screen held its
  // class factory, whose release takes the window down.
  EXPECT_NE(FindWindowW(L"SuiteTestPlugWnd", L""), nullptr);
  UseLayout(L"h.home.xml", {Text(CLSID_TestRed)});
  SendMessageW(GetDesktopWindow(), WM_SETTINGCHANGE, 0xF2, 0);
  Pump();
  ASSERT_EQ(m_screen->Items().size(), 1u);
  EXPECT_EQ(FindWindowW(L"SuiteTestPlugWnd", L""), nullptr) << "a removed plug-in leaves no window behind";
  DestroyWindow(m_window);
  FreeLibrary(suite);
}
#endif

TEST(HomeFiles, ANewDeviceGetsTheDefaultLayoutAndSchemeOnce) {
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, home::kHomeKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"Scheme");
    RegDeleteValueW(key, L"ColorScheme");
    RegCloseKey(key);
  }
  home::InstallDefaults(nullptr);
  const home::HomeSettings settings = home::ReadHomeSettings();
  EXPECT_EQ(settings.scheme, L"\\Storage\\Application Data\\Home\\default.home.xml");
  EXPECT_EQ(settings.colorScheme, L"\\Storage\\Application Data\\Home\\vrn.scheme.xml");
  home::HomeLayout layout;
  std::wstring why;
  ASSERT_TRUE(home::ReadCurrentLayout(settings, layout, &why)) << ce::Utf8FromWide(why);
  ASSERT_EQ(layout.plugins.size(), 4u);
  // The launcher bar, then the meters under it: the order adding both
  // plug-ins again gives.
  EXPECT_EQ(layout.plugins[1].clsidText, L"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}");
  EXPECT_EQ(layout.plugins[2].clsidText, L"{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}");
  // The colours come from the scheme file, not the layout's own.
  EXPECT_EQ(home::ReadCurrentScheme().colors[home::kColorWindow], RGB(0xF4, 0xF8, 0xF8));

  // What a device already has stays as it is.
  ASSERT_TRUE(home::WriteHomeSetting(L"Scheme", L"\\Storage\\mine.home.xml"));
  home::InstallDefaults(nullptr);
  EXPECT_EQ(home::ReadHomeSettings().scheme, L"\\Storage\\mine.home.xml");
  CoUninitialize();
}

TEST(HomeFiles, ANewDeviceStartMenuLeadsToTheInstalledPrograms) {
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  RegDeleteKeyW(HKEY_CURRENT_USER, home::kHomeKey);
  // The game is installed (a built program has no suffix); the recorder
  // is not.
  HANDLE game = CreateFileW(L"\\Windows\\Kestrune", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(game, INVALID_HANDLE_VALUE);
  CloseHandle(game);
  home::InstallDefaults(nullptr);
  HANDLE link = CreateFileW(L"\\Storage\\Windows\\Start Menu\\Programs\\Kestrune.lnk", GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(link, INVALID_HANDLE_VALUE);
  char text[64] = {};
  DWORD read = 0;
  ReadFile(link, text, sizeof text - 1, &read, nullptr);
  CloseHandle(link);
  EXPECT_STREQ(text, "23#\"\\Windows\\Kestrune.exe\"");
  EXPECT_EQ(GetFileAttributesW(L"\\Storage\\Windows\\Start Menu\\Programs\\Vocamo.lnk"), INVALID_FILE_ATTRIBUTES);
  CoUninitialize();
}

TEST(HomeFiles, TheReaderRefusesOrSkipsWhatIsMalformed) {
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  home::HomeLayout layout;
  std::wstring why;
  for (const wchar_t* bad : {L"", L"<home>", L"<home><plugin clsid='x'></home>", L"<colorscheme/>", L"plain"}) {
    EXPECT_FALSE(home::ReadHomeText(bad, layout, &why)) << ce::Utf8FromWide(bad);
    EXPECT_FALSE(why.empty());
  }
  EXPECT_FALSE(home::ReadHomeFile(L"\\Storage\\none.home.xml", layout, &why));

  // Malformed or oversized CLSIDs are skipped; elements are read up to the
  // limit (the skipped ones count).
  std::wstring text =
      L"<home><plugin clsid='{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}'/><plugin/>"
      L"<plugin clsid='{" +
      std::wstring(1000, L'A') +
      L"}'/><plugin clsid='{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90}'/>"
      L"<plugin clsid='{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90DD}'/>";
  for (int i = 0; i < 40; ++i) text += L"<plugin clsid='{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}'/>";
  text += L"</home>";
  ASSERT_TRUE(home::ReadHomeText(text, layout));
  ASSERT_EQ(layout.plugins.size(), home::kMaxPlugins - 4);
  EXPECT_EQ(layout.plugins[0].clsidText, L"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}");
  EXPECT_EQ(layout.plugins[1].clsidText, L"{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}");
  CoUninitialize();
}

}  // namespace
