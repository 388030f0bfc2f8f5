// The setup program's list window in-process: its items and first-use
// welcome, the keys, the messages each item posts to the plug-ins' windows
// (stand-ins here), a missing plug-in, the painting and closing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ce/kernel/file.h"
#include "ce/objbase.h"
#include "ce/testing.h"
#include "ce/wingdi.h"
#include "ce/winreg.h"
#include "ce/winuser.h"
#include "common/iss_utility.h"
#include "common/string_helper.h"
#include "obj_menu_list.h"
#include "screen_config.h"

namespace {

using setup::CObjMenuList;

constexpr wchar_t kLayout[] = L"\\colours.home.xml";

std::vector<std::pair<UINT, WPARAM>> g_received;
LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= 1300 && message < 1500) {
    g_received.emplace_back(message, wParam);
    EXPECT_EQ(lParam, 0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void WriteDeviceFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  CloseHandle(file);
}

void SetHomeValue(const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * 2));
  RegCloseKey(key);
}

void Pump() {
  MSG msg{};
  for (int i = 0; i < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool Near(COLORREF a, COLORREF b) {
  for (int shift : {0, 8, 16}) {
    const int x = static_cast<int>((a >> shift) & 0xFF);
    const int y = static_cast<int>((b >> shift) & 0xFF);
    if (x - y > 8 || y - x > 8) return false;
  }
  return true;
}

class MenuList : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    // The home scheme's gradient: red on the left, blue on the right.
    WriteDeviceFile(kLayout,
                    "<home><scheme><color name=\"COLOR_GRADLEFT\" value=\"#FF0000\"/>"
                    "<color name=\"COLOR_GRADRIGHT\" value=\"#0000FF\"/></scheme></home>");
    SetHomeValue(L"Scheme", kLayout);
    SetHomeValue(L"ColorScheme", L"");
    // Not the first use: no welcome box (the welcome's own test clears it).
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\QVX", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExW(key, L"FirstUse", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
    WNDCLASSW wc{};
    wc.lpfnWndProc = StandInProc;
    for (const wchar_t* name : {setup::kMetersWindowClass, setup::kLauncherWindowClass}) {
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
    g_received.clear();
  }
  void TearDown() override {
    for (HWND w : m_standIns) DestroyWindow(w);
    if (HWND w = CObjMenuList::GetInstance()->Window()) DestroyWindow(w);
    Pump();
    CObjMenuList::DeleteInstance();
    CoUninitialize();
  }

  HWND Open() {
    CObjMenuList* list = CObjMenuList::GetInstance();
    EXPECT_TRUE(list->InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
    Pump();
    return list->Window();
  }

  void StandIn(const wchar_t* className) {
    m_standIns.push_back(CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  }

  static std::string Shown(const std::function<void()>& action) {
    ::testing::internal::CaptureStderr();
    action();
    Pump();
    return ::testing::internal::GetCapturedStderr();
  }

  ce::test::ScreenConfig m_screen{
      {"DEVICE_SCREEN_WIDTH", "240"}, {"DEVICE_SCREEN_HEIGHT", "320"}, {"DEVICE_SCREEN_DPI", "96"}};
  std::vector<HWND> m_standIns;
};

TEST_F(MenuList, ListsTheNineItemsAndWelcomesOnlyTheFirstTime) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\QVX", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"FirstUse");
    RegCloseKey(key);
  }
  StandIn(setup::kLauncherWindowClass);
  // The welcome comes once the list is on the screen, with an empty
  // caption; the Enter that closes it is released over the list and runs
  // the selected item (the second here, whose window is a stand-in).
  CObjMenuList* list = CObjMenuList::GetInstance();
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(list->InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
  HWND window = list->Window();
  ASSERT_NE(window, nullptr);
  const std::string beforeLoop = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(beforeLoop.find("Welcome"), std::string::npos) << beforeLoop;
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(origin.x, origin.y + 12 * CObjMenuList::RowHeight()), RGB(0, 0, 255)))
      << "the list is painted before the welcome";
  SendMessageW(window, WM_KEYUP, VK_DOWN, 0);
  const std::string first = Shown([] {});
  const std::size_t welcome = first.find(": Welcome to Quorvist.");
  ASSERT_NE(welcome, std::string::npos) << first;
  EXPECT_TRUE(welcome == 0 || first[welcome - 1] == '\n') << first << " (with an empty caption)";
  g_received.clear();
  SendMessageW(window, WM_KEYUP, VK_RETURN, 0);
  Pump();
  ASSERT_EQ(g_received.size(), 1u) << "the Enter that closed the welcome runs the selected item";
  EXPECT_EQ(g_received[0].first, 1424u);
  g_received.clear();
  SendMessageW(window, WM_KEYUP, VK_RETURN, 0);
  Pump();
  EXPECT_TRUE(g_received.empty()) << "only once";
  SendMessageW(window, WM_KEYUP, VK_UP, 0);
  EXPECT_EQ(list->ItemText(0), L"1   Add/Remove plug-ins");
  EXPECT_EQ(list->ItemText(4), L"5   Drainlog");
  EXPECT_EQ(list->ItemText(8), L"9   Help");
  EXPECT_EQ(list->Selected(), 0);
  DWORD firstUse = 0;
  DWORD size = sizeof firstUse;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\QVX", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, L"FirstUse", nullptr, nullptr, reinterpret_cast<BYTE*>(&firstUse), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(firstUse, 1u);

  // A second start finds the window and ends; the next start is no longer
  // the first.
  EXPECT_FALSE(list->InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
  DestroyWindow(window);
  Pump();
  const std::string again = Shown([&] { window = Open(); });
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(again.find("Welcome"), std::string::npos) << again;
}

TEST_F(MenuList, KeysMoveTheSelectionAndDigitsRunTheirItems) {
  StandIn(setup::kMetersWindowClass);
  StandIn(setup::kLauncherWindowClass);
  HWND window = Open();
  CObjMenuList* list = CObjMenuList::GetInstance();
  SendMessageW(window, WM_KEYUP, VK_UP, 0);
  EXPECT_EQ(list->Selected(), 8) << "up from the first item wraps to the last";
  SendMessageW(window, WM_KEYUP, VK_DOWN, 0);
  EXPECT_EQ(list->Selected(), 0) << "down from the last wraps to the first";

  // Each digit selects its item and runs it at once.
  const struct {
    wchar_t key;
    UINT message;
  } items[] = {{L'2', 1424}, {L'3', 1425}, {L'4', 1324}, {L'5', 1326},
               {L'6', 1426}, {L'7', 1427}, {L'8', 1428}, {L'9', 1325}};
  for (const auto& item : items) {
    g_received.clear();
    SendMessageW(window, WM_CHAR, item.key, 0);
    Pump();
    EXPECT_EQ(list->Selected(), item.key - L'1');
    ASSERT_EQ(g_received.size(), 1u) << static_cast<char>(item.key);
    EXPECT_EQ(g_received[0].first, item.message);
    EXPECT_EQ(g_received[0].second, reinterpret_cast<WPARAM>(window));
  }

  // Enter runs the selected item once; other characters run nothing; an
  // Enter released here whose press went elsewhere (it closed a message
  // box) runs nothing.
  SendMessageW(window, WM_CHAR, L'5', 0);
  Pump();
  g_received.clear();
  SendMessageW(window, WM_KEYUP, VK_RETURN, 0);
  Pump();
  EXPECT_TRUE(g_received.empty());
  SendMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(window, WM_KEYUP, VK_RETURN, 0);
  for (WPARAM c : {WPARAM{13}, WPARAM{27}, WPARAM{'a'}, WPARAM{'0'}}) SendMessageW(window, WM_CHAR, c, 0);
  Pump();
  ASSERT_EQ(g_received.size(), 1u);
  EXPECT_EQ(g_received[0].first, 1326u);
  EXPECT_EQ(list->Selected(), 4);
}

TEST_F(MenuList, AMissingPlugInWindowIsReported) {
  HWND window = Open();
  const std::string meters = Shown([&] { SendMessageW(window, WM_CHAR, L'4', 0); });
  EXPECT_NE(meters.find(": Unable to find Pelmora or one of it's components"), std::string::npos) << meters;
  const std::string launcher = Shown([&] { SendMessageW(window, WM_CHAR, L'7', 0); });
  EXPECT_NE(launcher.find(": Unable to find Tessivo or one of it's components"), std::string::npos) << launcher;
  EXPECT_TRUE(g_received.empty());
}

TEST_F(MenuList, PaintsTheSchemeGradientAndFramesTheSelectedRow) {
  HWND window = Open();
  SendMessageW(window, WM_KEYUP, VK_DOWN, 0);
  UpdateWindow(window);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  RECT client{};
  GetClientRect(window, &client);
  const int y = origin.y + 12 * CObjMenuList::RowHeight();  // below the rows
  // The left edge has the right-hand colour, the right edge nearly the
  // left-hand one.
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(origin.x, y), RGB(0, 0, 255)))
      << std::hex << ce::testing::ScreenPixel(origin.x, y);
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(origin.x + client.right - 1, y), RGB(255, 0, 0)))
      << std::hex << ce::testing::ScreenPixel(origin.x + client.right - 1, y);
  const int middle = origin.x + client.right / 2;
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(middle, y), RGB(127, 0, 127)));
  // The second row is framed in the highlight colour; the first is not.
  const int rowTop = origin.y + CObjMenuList::RowHeight();
  EXPECT_TRUE(Near(ce::testing::ScreenPixel(middle, rowTop), GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_TRUE(
      Near(ce::testing::ScreenPixel(middle, rowTop + CObjMenuList::RowHeight() - 1), GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_FALSE(Near(ce::testing::ScreenPixel(middle, origin.y), GetSysColor(COLOR_HIGHLIGHT)));
}

TEST_F(MenuList, TheBackKeyAndDoneCloseTheWindow) {
  HWND window = Open();
  SendMessageW(window, WM_HOTKEY, 0, MAKELPARAM(0, VK_ESCAPE));
  EXPECT_TRUE(IsWindow(window)) << "only the key's release closes";
  SendMessageW(window, WM_HOTKEY, 0, MAKELPARAM(0x1000, VK_ESCAPE));
  EXPECT_FALSE(IsWindow(window));
  Pump();

  window = Open();
  SendMessageW(window, WM_COMMAND, setup::IDM_DONE, 0);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
