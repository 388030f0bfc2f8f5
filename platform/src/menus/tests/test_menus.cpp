#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "program/script.h"
#include "ce/aygshell.h"
#include "ce/testing.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "headless_device.h"
#include "kernel/clock.h"
#include "menus/draw.h"
#include "menus/menus.h"
#include "scoped_setting.h"
#include "screen_config.h"
#include "user/input.h"

namespace {

namespace clock = ce::kernel::clock;
using ce::testing::MenuEntry;

constexpr std::uint64_t kStart2010 = 129067776000000000ull;
constexpr UINT kOpened = WM_APP + 1;  // posted before a popup opens: runs g_whileOpen inside its loop

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> g_seen;
std::function<void()> g_whileOpen;
std::function<void(HMENU)> g_onInit;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITMENUPOPUP:
      g_seen.push_back({message, wParam, lParam});
      if (g_onInit) g_onInit(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_COMMAND:
    case WM_HOTKEY:
      g_seen.push_back({message, wParam, lParam});
      return 0;
    case kOpened:
      if (g_whileOpen) g_whileOpen();
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

std::vector<UINT> Messages() {
  std::vector<UINT> out;
  for (const Seen& s : g_seen) out.push_back(s.message);
  return out;
}

void PressKey(int vk) {
  ce::test::KeyDown(vk);
  ce::test::KeyUp(vk);
}

// A colour as the screen shows it (its format may hold fewer bits), found
// by drawing it in the bottom-right pixel.
COLORREF Shown(COLORREF colour) {
  HDC screen = GetDC(nullptr);
  SetPixel(screen, 239, 319, colour);
  ReleaseDC(nullptr, screen);
  return ce::test::ScreenPixel(239, 319);
}

std::vector<std::wstring> Captions(const std::vector<MenuEntry>& entries) {
  std::vector<std::wstring> out;
  for (const MenuEntry& e : entries) out.push_back(e.separator ? L"-" : e.caption);
  return out;
}

HWND MakeBar(HWND parent);

class Menus : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseVirtualClock(0, kStart2010);
    g_seen.clear();
    g_whileOpen = nullptr;
    g_onInit = nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = L"MenuOwner";
    ASSERT_NE(RegisterClassW(&wc), 0);
    owner = CreateWindowExW(0, L"MenuOwner", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    ShowWindow(owner, SW_SHOW);
    SetFocus(owner);
    ce::test::PumpUntilIdle();
    g_seen.clear();
  }
  void TearDown() override {
    g_whileOpen = nullptr;
    g_onInit = nullptr;
    if (IsWindow(owner)) DestroyWindow(owner);
    ce::test::PumpUntilIdle();
    UnregisterClassW(L"MenuOwner", nullptr);
  }

  // File: Open (101), a separator, Save (102, grayed), Recent > [One (201),
  // Two (202, checked)], Exit (103).
  HMENU MakeFileMenu() {
    HMENU recent = CreatePopupMenu();
    AppendMenuW(recent, MF_STRING, 201, L"One");
    AppendMenuW(recent, MF_STRING | MF_CHECKED, 202, L"Two");
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, 101, L"&Open");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING | MF_GRAYED, 102, L"Save");
    AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), L"Recent");
    AppendMenuW(file, MF_STRING, 103, L"Exit");
    return file;
  }

  // Tracks with keys given beforehand; returns what TrackPopupMenuEx does.
  BOOL TrackWithKeys(HMENU menu, UINT flags, std::initializer_list<int> keys) {
    for (int vk : keys) PressKey(vk);
    return TrackPopupMenuEx(menu, flags, 20, 30, owner, nullptr);
  }

  HWND owner = nullptr;
};

TEST(MenuHeader, ValuesMatchTheDevice) {
  const std::pair<long long, long long> values[] = {
      {MF_GRAYED, 1},
      {MF_CHECKED, 8},
      {MF_POPUP, 0x10},
      {MF_SEPARATOR, 0x800},
      {MF_BYPOSITION, 0x400},
      {MF_END, 0x80},
      {TPM_CENTERALIGN, 4},
      {TPM_RIGHTALIGN, 8},
      {TPM_VCENTERALIGN, 0x10},
      {TPM_BOTTOMALIGN, 0x20},
      {TPM_NONOTIFY, 0x80},
      {TPM_RETURNCMD, 0x100},
      {WM_INITMENUPOPUP, 0x117},
      {SHCMBM_OVERRIDEKEY, 0x593},
      {SHMBOF_NODEFAULT, 1},
      {SHMBOF_NOTIFY, 2},
      {TB_SETBUTTONINFOW, 0x440},
      {TB_INSERTBUTTONW, 0x443},
      {SHCMBF_EMPTYBAR, 1},
      {SHIDIF_SIZEDLGFULLSCREEN, 4},
      {MIIM_TYPE, 0x10},
      {TBSTATE_ENABLED, 4},
      {BTNS_WHOLEDROPDOWN, 0x80},
      {I_IMAGENONE, -2},
  };
  for (const auto& [actual, expected] : values) EXPECT_EQ(actual, expected);
}

TEST_F(Menus, ItemsAreBuiltFoundByCommandOrPositionAndChanged) {
  HMENU file = MakeFileMenu();
  HMENU recent = GetSubMenu(file, 3);
  ASSERT_TRUE(IsMenu(recent));
  EXPECT_EQ(GetMenuItemCount(file), 5);
  EXPECT_EQ(GetMenuItemID(file, 0), 101u);
  EXPECT_EQ(GetMenuItemID(file, 3), 0xFFFFFFFFu);  // a popup has no command

  // By command, items of submenus are found too.
  EXPECT_EQ(CheckMenuItem(file, 201, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
  EXPECT_EQ(CheckMenuItem(file, 201, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
  EXPECT_EQ(CheckMenuItem(file, 999, MF_CHECKED), 0xFFFFFFFFu);
  EXPECT_EQ(EnableMenuItem(file, 2, MF_BYPOSITION | MF_ENABLED), static_cast<BOOL>(MF_GRAYED));
  EXPECT_EQ(EnableMenuItem(file, 2, MF_BYPOSITION | MF_GRAYED), static_cast<BOOL>(MF_ENABLED));
  EXPECT_EQ(EnableMenuItem(file, 9, MF_BYPOSITION), -1);

  ASSERT_TRUE(InsertMenuW(file, 0, MF_BYPOSITION, 100, L"New"));
  ASSERT_TRUE(InsertMenuW(file, 202, MF_BYCOMMAND, 200, L"Zero"));  // before Two, inside Recent
  ASSERT_TRUE(InsertMenuW(file, 77, MF_BYPOSITION, 104, L"Last"));  // past the end appends
  EXPECT_FALSE(InsertMenuW(file, 999, MF_BYCOMMAND, 105, L"Nowhere"));
  EXPECT_EQ(GetLastError(), ERROR_MENU_ITEM_NOT_FOUND);
  EXPECT_EQ(GetMenuItemID(file, 0), 100u);
  EXPECT_EQ(GetMenuItemID(file, 6), 104u);
  EXPECT_EQ(GetMenuItemID(recent, 1), 200u);

  wchar_t text[4] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID;
  info.dwTypeData = text;
  info.cch = 4;
  ASSERT_TRUE(GetMenuItemInfoW(file, 101, FALSE, &info));
  EXPECT_EQ(std::wstring(text), L"&Op");  // cut to the buffer
  EXPECT_EQ(info.cch, 3u);
  EXPECT_EQ(info.wID, 101u);
  info.fMask = MIIM_TYPE;
  info.dwTypeData = nullptr;
  ASSERT_TRUE(GetMenuItemInfoW(file, 1, TRUE, &info));
  EXPECT_EQ(info.cch, 5u);  // the length when no buffer is given

  MENUITEMINFOW change{};
  change.cbSize = sizeof change;
  change.fMask = MIIM_TYPE | MIIM_STATE;
  change.fType = MFT_STRING;
  change.fState = MFS_CHECKED;
  change.dwTypeData = const_cast<LPWSTR>(L"Quit");
  ASSERT_TRUE(SetMenuItemInfoW(file, 103, FALSE, &change));
  const auto items = ce::menus::ItemsOf(file);
  ASSERT_TRUE(items);
  EXPECT_EQ((*items)[5].text, L"Quit");
  EXPECT_TRUE((*items)[5].checked());
  DestroyMenu(file);
}

TEST_F(Menus, DeletingDestroysSubmenusRemovingKeepsThemAndStaleHandlesFail) {
  HMENU file = MakeFileMenu();
  HMENU recent = GetSubMenu(file, 3);
  ASSERT_TRUE(RemoveMenu(file, 3, MF_BYPOSITION));
  EXPECT_TRUE(IsMenu(recent));
  ASSERT_TRUE(AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), L"Recent"));
  ASSERT_TRUE(DeleteMenu(file, 4, MF_BYPOSITION));
  EXPECT_FALSE(IsMenu(recent));
  EXPECT_FALSE(DeleteMenu(file, 42, MF_BYCOMMAND));

  // A popup never holds itself, directly or further down.
  HMENU inner = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(inner), L"Inner"));
  EXPECT_FALSE(AppendMenuW(inner, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"Loop"));
  EXPECT_FALSE(AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"Self"));

  ASSERT_TRUE(DestroyMenu(file));
  EXPECT_FALSE(IsMenu(inner));  // destroyed with its menu
  EXPECT_FALSE(DestroyMenu(file));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
  EXPECT_EQ(GetMenuItemCount(file), -1);
  EXPECT_FALSE(AppendMenuW(reinterpret_cast<HMENU>(owner), MF_STRING, 1, L"x"));
  // A new menu in the freed slot does not answer to the old handle.
  HMENU again = CreatePopupMenu();
  EXPECT_NE(again, file);
  EXPECT_FALSE(IsMenu(file));
  DestroyMenu(again);
}

// A template: File > [Open 101, separator, Save 102 grayed, Recent > [One
// 201 checked]], Exit 103.
std::vector<std::uint8_t> FileTemplate() {
  std::vector<std::uint8_t> b;
  auto word = [&](WORD w) {
    b.push_back(static_cast<std::uint8_t>(w & 0xFF));
    b.push_back(static_cast<std::uint8_t>(w >> 8));
  };
  auto text = [&](const wchar_t* s) {
    for (; *s; ++s) word(static_cast<WORD>(*s));
    word(0);
  };
  word(0);  // version
  word(0);  // header bytes to skip
  word(MF_POPUP), text(L"File");
  word(0), word(101), text(L"Open");
  word(0), word(0), text(L"");  // a separator
  word(MF_GRAYED), word(102), text(L"Save");
  word(MF_POPUP | MF_END), text(L"Recent");
  word(MF_CHECKED | MF_END), word(201), text(L"One");
  word(MF_END), word(103), text(L"Exit");
  return b;
}

TEST_F(Menus, TemplatesBuildTheirMenusAndEveryCutTemplateFails) {
  const std::vector<std::uint8_t> bytes = FileTemplate();
  HMENU menu = LoadMenuIndirectW(bytes.data());
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  EXPECT_EQ(GetMenuItemID(menu, 1), 103u);
  HMENU file = GetSubMenu(menu, 0);
  const auto items = ce::menus::ItemsOf(file);
  ASSERT_TRUE(items && items->size() == 4);
  EXPECT_EQ((*items)[0].id, 101u);
  EXPECT_TRUE((*items)[1].separator());
  EXPECT_FALSE((*items)[2].enabled());
  EXPECT_TRUE((*items)[3].popup());
  const auto recent = ce::menus::ItemsOf((*items)[3].submenu);
  ASSERT_TRUE(recent && recent->size() == 1);
  EXPECT_TRUE((*recent)[0].checked());
  DestroyMenu(menu);

  for (std::size_t size = 0; size < bytes.size(); ++size) {
    SetLastError(0);
    EXPECT_EQ(ce::menus::MenuFromTemplate(bytes.data(), size), nullptr) << size;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA) << size;
  }
  // Unknown flags and a header offset past the end fail too.
  std::vector<std::uint8_t> bad = bytes;
  bad[4] = 0x01, bad[5] = 0x01;  // 0x0101 on the first item
  EXPECT_EQ(ce::menus::MenuFromTemplate(bad.data(), bad.size()), nullptr);
  bad = bytes;
  bad[2] = 0xFF;
  EXPECT_EQ(ce::menus::MenuFromTemplate(bad.data(), bad.size()), nullptr);
}

TEST_F(Menus, KeysMoveOverSeparatorsIntoSubmenusAndChoose) {
  HMENU file = MakeFileMenu();
  struct Case {
    const char* what;
    std::vector<int> keys;
    UINT expected;
  };
  const Case cases[] = {
      {"first entry", {VK_DOWN, VK_RETURN}, 101},
      {"over the separator; grayed Save takes no Enter",
       {VK_DOWN, VK_DOWN, VK_RETURN, VK_DOWN, VK_DOWN, VK_RETURN},
       103},
      {"up from nothing wraps to the last", {VK_UP, VK_RETURN}, 103},
      {"right opens Recent, its first entry selected", {VK_UP, VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN}, 202},
      {"left closes the submenu only", {VK_UP, VK_UP, VK_RETURN, VK_LEFT, VK_DOWN, VK_RETURN}, 103},
      {"back cancels", {VK_DOWN, VK_ESCAPE}, 0},
      {"back in a submenu goes back a level", {VK_UP, VK_UP, VK_RIGHT, VK_ESCAPE, VK_UP, VK_UP, VK_RETURN}, 101},
  };
  for (const Case& c : cases) {
    for (int vk : c.keys) PressKey(vk);
    EXPECT_EQ(TrackPopupMenuEx(file, TPM_RETURNCMD, 10, 10, owner, nullptr), static_cast<BOOL>(c.expected)) << c.what;
    EXPECT_EQ(ce::testing::LastMenuCommand(), c.expected) << c.what;
  }
  ce::test::PumpUntilIdle();
  const auto messages = Messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_COMMAND), 0);  // returned, not posted
  DestroyMenu(file);
}

TEST_F(Menus, TheOwnerIsToldBeforeEachPopupAndGetsTheCommandPosted) {
  HMENU file = MakeFileMenu();
  HMENU recent = GetSubMenu(file, 3);
  // The owner fills Recent as it opens; the popup shows what it added.
  g_onInit = [&](HMENU menu) {
    if (menu == recent) AppendMenuW(recent, MF_STRING, 203, L"Three");
  };
  PostMessageW(owner, kOpened, 0, 0);
  g_whileOpen = [] {
    EXPECT_EQ(Captions(ce::testing::OpenMenuEntries()),
              (std::vector<std::wstring>{L"Open", L"-", L"Save", L"Recent", L"Exit"}));
    EXPECT_TRUE(ce::testing::ChooseMenuEntry(L"recent"));  // a popup entry opens
    PostMessageW(GetActiveWindow(), kOpened, 0, 0);
    g_whileOpen = [] {
      EXPECT_EQ(Captions(ce::testing::OpenMenuEntries()), (std::vector<std::wstring>{L"One", L"Two", L"Three"}));
      EXPECT_FALSE(ce::testing::ChooseMenuEntry(L"Four"));
      EXPECT_TRUE(ce::testing::ChooseMenuEntry(L"THREE"));
    };
  };
  EXPECT_TRUE(TrackPopupMenuEx(file, TPM_LEFTALIGN, 10, 10, owner, nullptr));
  EXPECT_TRUE(ce::testing::OpenMenuEntries().empty());
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_INITMENUPOPUP, WM_INITMENUPOPUP, WM_COMMAND}));
  EXPECT_EQ(g_seen[0].wParam, reinterpret_cast<WPARAM>(file));
  EXPECT_EQ(g_seen[0].lParam, 0);
  EXPECT_EQ(g_seen[1].wParam, reinterpret_cast<WPARAM>(recent));
  EXPECT_EQ(g_seen[1].lParam, 3);  // its position in the parent
  EXPECT_EQ(g_seen[2].wParam, 203u);
  EXPECT_EQ(g_seen[2].lParam, 0);

  // TPM_NONOTIFY: no WM_INITMENUPOPUP; a cancelled popup posts nothing.
  g_seen.clear();
  g_onInit = nullptr;
  g_whileOpen = nullptr;
  EXPECT_FALSE(TrackWithKeys(file, TPM_NONOTIFY, {VK_ESCAPE}));
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(g_seen.empty());

  // Only one popup at a time; a bad menu or owner is refused.
  PostMessageW(owner, kOpened, 0, 0);
  g_whileOpen = [&] {
    EXPECT_FALSE(TrackPopupMenuEx(recent, TPM_RETURNCMD, 0, 0, owner, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_POPUP_ALREADY_ACTIVE);
    PressKey(VK_ESCAPE);
  };
  EXPECT_EQ(TrackPopupMenuEx(file, TPM_RETURNCMD, 0, 0, owner, nullptr), 0);
  EXPECT_FALSE(TrackPopupMenuEx(reinterpret_cast<HMENU>(owner), 0, 0, 0, owner, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
  EXPECT_FALSE(TrackPopupMenuEx(file, 0, 0, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  DestroyMenu(file);
}

TEST_F(Menus, TheLoopEndsWhenTheProgramQuitsOrItsOwnerGoes) {
  HMENU file = MakeFileMenu();
  PostMessageW(owner, kOpened, 0, 0);
  g_whileOpen = [] { PostQuitMessage(5); };
  EXPECT_EQ(TrackPopupMenuEx(file, TPM_RETURNCMD, 0, 0, owner, nullptr), 0);
  // The quit is left for the program's own loop.
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 5u);

  PostMessageW(owner, kOpened, 0, 0);
  g_whileOpen = [&] { DestroyWindow(owner); };
  EXPECT_FALSE(TrackPopupMenuEx(file, 0, 0, 0, owner, nullptr));
  EXPECT_TRUE(ce::testing::OpenMenuEntries().empty());
  DestroyMenu(file);
}

TEST_F(Menus, SizesFollowTheScreensDensityAndSize) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"A");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  const auto items = *ce::menus::ItemsOf(menu);
  const auto normal = ce::menus::LayoutPopup(items);
  {
    ce::test::ScreenConfig config(
        {{"DEVICE_SCREEN_DPI", "192"}, {"DEVICE_SCREEN_WIDTH", "480"}, {"DEVICE_SCREEN_HEIGHT", "640"}});
    const auto dense = ce::menus::LayoutPopup(items);
    EXPECT_EQ(dense.size.cy - 2, 2 * (normal.size.cy - 2));
    EXPECT_EQ(dense.items[0].bottom - dense.items[0].top, 2 * (normal.items[0].bottom - normal.items[0].top));
    HWND bar = MakeBar(owner);
    RECT r{};
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.right, 480);
    EXPECT_EQ(r.bottom, 640);
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(GetSystemMetrics(SM_CYMENU), 52);
    DestroyWindow(bar);

    // A submenu's arrow grows with the density: its first column is two
    // pixels wide and the point of the arrow stays clear of the face.
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 2, L"B");
    HMENU holder = CreatePopupMenu();
    AppendMenuW(holder, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"More");
    const auto subItems = *ce::menus::ItemsOf(holder);
    const auto layout = ce::menus::LayoutPopup(subItems);
    HDC screen = GetDC(nullptr);
    ce::menus::DrawPopup(screen, POINT{0, 0}, layout, subItems, -1);
    ReleaseDC(nullptr, screen);
    const RECT& more = layout.items[0];
    const int x = more.right - ce::menus::Scaled(10), midY = (more.top + more.bottom) / 2;
    EXPECT_EQ(ce::test::ScreenPixel(x, midY), ce::menus::kPopupFrame);
    EXPECT_EQ(ce::test::ScreenPixel(x + 1, midY), ce::menus::kPopupFrame);
    EXPECT_EQ(ce::test::ScreenPixel(x + 5, midY), ce::menus::kPopupFrame);
    EXPECT_EQ(ce::test::ScreenPixel(x + 6, midY), ce::menus::kPopupFace);
    EXPECT_EQ(ce::test::ScreenPixel(x, midY - 6), ce::menus::kPopupFrame);
    DestroyMenu(holder);
  }
  DestroyMenu(menu);
}

TEST_F(Menus, AlignmentPlacesThePopupAroundThePointInsideTheScreen) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"A");
  AppendMenuW(menu, MF_STRING, 2, L"B");
  const auto size = ce::menus::LayoutPopup(*ce::menus::ItemsOf(menu)).size;
  struct Case {
    UINT flags;
    POINT at;
    POINT expected;
  };
  const Case cases[] = {
      {TPM_LEFTALIGN | TPM_TOPALIGN, {100, 100}, {100, 100}},
      {TPM_CENTERALIGN | TPM_VCENTERALIGN, {100, 100}, {100 - size.cx / 2, 100 - size.cy / 2}},
      {TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {200, 300}, {200 - size.cx, 300 - size.cy}},
      {TPM_LEFTALIGN, {230, 310}, {240 - size.cx, 320 - size.cy}},  // kept on the screen
      {TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {5, 5}, {0, 0}},
  };
  for (const Case& c : cases) {
    RECT seen{};
    PostMessageW(owner, kOpened, 0, 0);
    g_whileOpen = [&] {
      const auto popup = ce::menus::CurrentPopup();
      ASSERT_TRUE(popup);
      seen = popup->rect;
      PressKey(VK_ESCAPE);
    };
    TrackPopupMenuEx(menu, c.flags | TPM_RETURNCMD, c.at.x, c.at.y, owner, nullptr);
    EXPECT_EQ(seen.left, c.expected.x) << c.flags;
    EXPECT_EQ(seen.top, c.expected.y) << c.flags;
    EXPECT_EQ(seen.right - seen.left, size.cx);
    EXPECT_EQ(seen.bottom - seen.top, size.cy);
  }
  DestroyMenu(menu);
}

TEST_F(Menus, ASubmenuOpensBesideItsItemAndNeverOverIt) {
  // "Move to" leads to two long entries; the popup opens at points that
  // leave room on the right, on the left only, and on neither side.
  HMENU places = CreatePopupMenu();
  AppendMenuW(places, MF_STRING, 201, L"Main memory");
  AppendMenuW(places, MF_STRING, 202, L"Storage Card");
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 101, L"Play");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(places), L"Move to");
  AppendMenuW(menu, MF_STRING, 102, L"Delete");
  const auto layout = ce::menus::LayoutPopup(*ce::menus::ItemsOf(menu));
  // The submenu is widened until it fits beside a popup at the screen's
  // right edge but on neither side of one in the middle.
  const int middle = (240 - layout.size.cx) / 2;
  std::wstring caption = L"Storage Card";
  SIZE sub = ce::menus::LayoutPopup(*ce::menus::ItemsOf(places)).size;
  while (sub.cx <= middle + 2) {
    caption += L" x";
    DeleteMenu(places, 1, MF_BYPOSITION);
    AppendMenuW(places, MF_STRING, 202, caption.c_str());
    sub = ce::menus::LayoutPopup(*ce::menus::ItemsOf(places)).size;
  }
  ASSERT_LE(layout.size.cx + sub.cx, 242);
  const struct {
    int x;
    const char* room;
  } cases[] = {{0, "right"}, {240 - layout.size.cx, "left"}, {middle, "neither side"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.room);
    // Down, Down and Right open "Move to"; its submenu, once open, is looked at.
    const RECT parent{c.x, 40, c.x + layout.size.cx, 40 + layout.size.cy};
    RECT opened{};
    g_onInit = [&](HMENU opening) {
      if (opening == places) PostMessageW(owner, kOpened, 0, 0);
    };
    COLORREF item_left = CLR_INVALID;
    COLORREF item_right = CLR_INVALID;
    g_whileOpen = [&] {
      opened = ce::menus::CurrentPopup()->rect;
      // The item that opened it, as the screen shows it: still highlighted.
      const RECT& r = layout.items[1];
      item_left = ce::test::ScreenPixel(parent.left + r.left + 3, parent.top + (r.top + r.bottom) / 2);
      item_right = ce::test::ScreenPixel(parent.left + r.right - 3, parent.top + (r.top + r.bottom) / 2);
      PressKey(VK_ESCAPE);
      PressKey(VK_ESCAPE);
    };
    for (int vk : {VK_DOWN, VK_DOWN, VK_RIGHT}) PressKey(vk);
    TrackPopupMenuEx(menu, TPM_RETURNCMD, c.x, 40, owner, nullptr);
    const RECT& item = layout.items[1];
    const RECT shown_item{parent.left + item.left, parent.top + item.top, parent.left + item.right,
                          parent.top + item.bottom};
    // On the screen, whole, and off its own item.
    EXPECT_GE(opened.left, 0);
    EXPECT_LE(opened.right, 240);
    EXPECT_EQ(opened.right - opened.left, sub.cx);
    const bool over = opened.left < shown_item.right && opened.right > shown_item.left &&
                      opened.top < shown_item.bottom && opened.bottom > shown_item.top;
    EXPECT_FALSE(over) << "over its item: " << opened.left << "," << opened.top;
    EXPECT_EQ(item_left, Shown(ce::menus::kPopupSelected));
    EXPECT_EQ(item_right, Shown(ce::menus::kPopupSelected));
    if (std::string(c.room) == "right") {
      EXPECT_EQ(opened.left, parent.right - 2);
    } else if (std::string(c.room) == "left") {
      EXPECT_EQ(opened.right, parent.left + 2);
    }
  }
  DestroyMenu(menu);
}

TEST_F(Menus, ThePopupIsDrawnOnTheScreenWorkedByThePenAndWhatItCoveredComesBack) {
  HMENU file = MakeFileMenu();
  HDC screen = GetDC(nullptr);
  const RECT all{0, 0, 240, 320};
  HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
  FillRect(screen, &all, green);
  DeleteObject(green);
  ReleaseDC(nullptr, screen);
  const COLORREF background = ce::test::ScreenPixel(0, 0);
  const COLORREF selected = Shown(ce::menus::kPopupSelected);

  const auto layout = ce::menus::LayoutPopup(*ce::menus::ItemsOf(file));
  const POINT at{30, 40};
  auto itemCentre = [&](int i) {
    const RECT& r = layout.items[static_cast<std::size_t>(i)];
    return POINT{at.x + (r.left + r.right) / 2, at.y + (r.top + r.bottom) / 2};
  };
  PostMessageW(owner, kOpened, 0, 0);
  g_whileOpen = [&] {
    EXPECT_EQ(ce::test::ScreenPixel(at.x, at.y), ce::menus::kPopupFrame);
    EXPECT_EQ(ce::test::ScreenPixel(at.x + 3, itemCentre(0).y), ce::menus::kPopupFace);
    // The pen goes down on Open: it is selected, and drawn so.
    ce::test::PenDown(itemCentre(0).x, itemCentre(0).y);
    ce::user::PollInput();  // the pen's message first
    PostMessageW(owner, kOpened, 0, 0);
    g_whileOpen = [&] {
      EXPECT_TRUE(ce::testing::OpenMenuEntries()[0].selected);
      EXPECT_EQ(ce::test::ScreenPixel(at.x + 3, itemCentre(0).y), selected);
      // It slides to Recent, which opens beside it, and lifts on Two.
      ce::test::PenMove(itemCentre(3).x, itemCentre(3).y);
      ce::user::PollInput();
      PostMessageW(owner, kOpened, 0, 0);
      g_whileOpen = [&] {
        const auto sub = ce::menus::CurrentPopup();
        ASSERT_TRUE(sub);
        EXPECT_EQ(sub->rect.left, at.x + layout.size.cx - 2);
        const auto subLayout = ce::menus::LayoutPopup(sub->items);
        const RECT& two = subLayout.items[1];
        ce::test::PenUp(sub->rect.left + (two.left + two.right) / 2, sub->rect.top + (two.top + two.bottom) / 2);
      };
    };
  };
  EXPECT_EQ(TrackPopupMenuEx(file, TPM_RETURNCMD, at.x, at.y, owner, nullptr), 202);
  EXPECT_EQ(ce::test::ScreenPixel(at.x, at.y), background);
  EXPECT_EQ(ce::test::ScreenPixel(itemCentre(3).x + layout.size.cx, itemCentre(3).y), background);

  // A touch outside every level cancels; a touch on a grayed entry does not choose it.
  ce::test::Tap(itemCentre(2).x, itemCentre(2).y);
  ce::test::Tap(200, 300);
  EXPECT_EQ(TrackPopupMenuEx(file, TPM_RETURNCMD, at.x, at.y, owner, nullptr), 0);
  DestroyMenu(file);
}

// A bar whose left soft key is "Done" (40000) and whose right one drops
// "Menu" (40001): New (40002), Open (40003).
HWND MakeBar(HWND parent) {
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 40002, L"New");
  AppendMenuW(popup, MF_STRING, 40003, L"Open");
  HMENU menu = CreateMenu();
  AppendMenuW(menu, MF_STRING, 40000, L"&Done");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Menu");
  MENUITEMINFOW id{};
  id.cbSize = sizeof id;
  id.fMask = MIIM_ID;
  id.wID = 40001;
  SetMenuItemInfoW(menu, 1, TRUE, &id);
  return ce::menus::CreateBarFromMenu(parent, menu, 0, ce::menus::kBarFace);
}

TEST_F(Menus, TheBarLiesAlongTheBottomAndItsSoftKeysSendOrDropTheirCommands) {
  HWND bar = MakeBar(owner);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SHFindMenuBar(owner), bar);
  RECT r{};
  GetWindowRect(bar, &r);
  const int barHeight = GetSystemMetrics(SM_CYMENU);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 320 - barHeight);
  EXPECT_EQ(r.right, 240);
  EXPECT_EQ(r.bottom, 320);
  const auto buttons = ce::testing::MenuBarButtons(bar);
  ASSERT_TRUE(buttons && buttons->size() == 2);
  EXPECT_EQ((*buttons)[0].caption, L"Done");
  EXPECT_EQ((*buttons)[0].id, 40000);
  EXPECT_FALSE((*buttons)[0].dropDown);
  EXPECT_TRUE((*buttons)[1].dropDown);
  EXPECT_EQ(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 40001),
            reinterpret_cast<LRESULT>(GetSubMenu(reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETMENU, 0, 0)), 1)));

  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(0, 319), Shown(ce::menus::kBarFace));
  EXPECT_EQ(ce::test::ScreenPixel(4, 320 - barHeight / 2), Shown(ce::menus::kBarButton));
  // The captions are written on their buttons; a button without one has none.
  auto inked = [&](int left, int right) {
    int count = 0;
    for (int y = 320 - barHeight; y < 320; ++y) {
      for (int x = left; x < right; ++x)
        count += ce::test::ScreenPixel(x, y) != Shown(ce::menus::kBarButton) &&
                 ce::test::ScreenPixel(x, y) != Shown(ce::menus::kBarFace);
    }
    return count;
  };
  EXPECT_GT(inked(0, 120), 10);
  EXPECT_GT(inked(120, 240), 10);
  TBBUTTONINFOW blank{};
  blank.cbSize = sizeof blank;
  blank.dwMask = TBIF_TEXT;
  blank.pszText = const_cast<LPWSTR>(L"");
  ASSERT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 40000, reinterpret_cast<LPARAM>(&blank)));
  ce::test::PumpUntilIdle();
  EXPECT_EQ(inked(0, 120), 0);

  // The window's own drawing stops at the bar.
  HDC dc = GetDC(owner);
  const RECT whole{0, 0, 240, 320};
  FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(owner, dc);
  EXPECT_EQ(ce::test::ScreenPixel(0, 319), Shown(ce::menus::kBarFace));
  EXPECT_EQ(ce::test::ScreenPixel(0, 320 - barHeight - 1), RGB(0, 0, 0));

  // The left soft key sends its command, from the bar.
  PressKey(VK_TSOFT1);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_COMMAND}));
  EXPECT_EQ(g_seen[0].wParam, 40000u);
  EXPECT_EQ(g_seen[0].lParam, reinterpret_cast<LPARAM>(bar));

  // The right one drops its popup above the bar, at the right edge.
  g_seen.clear();
  g_onInit = [&](HMENU) { PostMessageW(owner, kOpened, 0, 0); };
  RECT popupRect{};
  g_whileOpen = [&] {
    popupRect = ce::menus::CurrentPopup()->rect;
    EXPECT_TRUE(ce::testing::OpenMenuEntries()[0].selected);  // a key opened it
    EXPECT_TRUE(ce::testing::ChooseMenuEntry(L"Open"));
  };
  PressKey(VK_TSOFT2);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_INITMENUPOPUP, WM_COMMAND}));
  EXPECT_EQ(LOWORD(g_seen[0].lParam), 40001);  // the button's command
  EXPECT_EQ(g_seen[1].wParam, 40003u);
  EXPECT_EQ(popupRect.bottom, 320 - barHeight);
  EXPECT_EQ(popupRect.right, 240 - ce::menus::Scaled(2));

  // The pen presses a button where it goes down and comes up; touching the
  // bar does not take activation from the window.
  g_seen.clear();
  g_onInit = nullptr;
  ce::test::Tap(60, 320 - barHeight / 2);
  ce::test::PenDown(60, 320 - barHeight / 2);
  ce::test::PenUp(200, 320 - barHeight / 2);  // lifted on the other button: nothing
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_COMMAND}));
  EXPECT_EQ(g_seen[0].wParam, 40000u);
  EXPECT_EQ(GetActiveWindow(), owner);

  // A hidden bar leaves the soft keys to the window; shown again, it takes
  // them back without becoming the active window.
  g_seen.clear();
  ShowWindow(bar, SW_HIDE);
  PressKey(VK_TSOFT1);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, owner);
  ShowWindow(bar, SW_SHOW);
  EXPECT_EQ(GetActiveWindow(), owner);
  PressKey(VK_TSOFT1);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(Messages(), (std::vector<UINT>{WM_COMMAND}));

  // The bar goes with its window.
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(bar));
  EXPECT_EQ(SHFindMenuBar(owner), nullptr);
}

TEST_F(Menus, ToolBarMessagesBuildAndChangeAnEmptyBar) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = owner;
  info.dwFlags = SHCMBF_EMPTYBAR;
  ASSERT_TRUE(SHCreateMenuBar(&info));
  HWND bar = info.hwndMB;
  EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 0);

  // Left: a command; right: a whole drop-down whose empty popup the owner
  // fills as it opens.
  HMENU popup = CreatePopupMenu();
  TBBUTTON tb[2] = {};
  tb[0].iBitmap = I_IMAGENONE;
  tb[0].idCommand = 18201;
  tb[0].fsState = TBSTATE_ENABLED;
  tb[0].fsStyle = BTNS_AUTOSIZE;
  tb[0].iString = reinterpret_cast<INT_PTR>(L"Back");
  tb[1] = tb[0];
  tb[1].idCommand = 18200;
  tb[1].fsStyle = BTNS_AUTOSIZE | BTNS_WHOLEDROPDOWN;
  tb[1].dwData = reinterpret_cast<DWORD_PTR>(popup);
  tb[1].iString = reinterpret_cast<INT_PTR>(L"Options");
  ASSERT_TRUE(SendMessageW(bar, TB_INSERTBUTTONW, 0, reinterpret_cast<LPARAM>(&tb[1])));
  ASSERT_TRUE(SendMessageW(bar, TB_INSERTBUTTONW, 0, reinterpret_cast<LPARAM>(&tb[0])));
  EXPECT_EQ(SendMessageW(bar, TB_COMMANDTOINDEX, 18200, 0), 1);
  EXPECT_EQ(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 18200), reinterpret_cast<LRESULT>(popup));
  TBBUTTON got{};
  ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&got)));
  EXPECT_EQ(got.idCommand, 18200);
  EXPECT_EQ(got.fsStyle, BTNS_AUTOSIZE | BTNS_WHOLEDROPDOWN);
  EXPECT_EQ(got.dwData, reinterpret_cast<DWORD_PTR>(popup));
  EXPECT_FALSE(SendMessageW(bar, TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&got)));

  TBBUTTONINFOW set{};
  set.cbSize = sizeof set;
  set.dwMask = TBIF_TEXT | TBIF_STATE;
  set.pszText = const_cast<LPWSTR>(L"Cancel");
  set.fsState = TBSTATE_ENABLED | TBSTATE_INDETERMINATE;
  ASSERT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 18201, reinterpret_cast<LPARAM>(&set)));
  wchar_t text[16] = {};
  TBBUTTONINFOW get{};
  get.cbSize = sizeof get;
  get.dwMask = TBIF_TEXT | TBIF_STATE | TBIF_COMMAND | TBIF_BYINDEX;
  get.pszText = text;
  get.cchText = 16;
  EXPECT_EQ(SendMessageW(bar, TB_GETBUTTONINFOW, 0, reinterpret_cast<LPARAM>(&get)), 0);
  EXPECT_EQ(std::wstring(text), L"Cancel");
  EXPECT_EQ(get.idCommand, 18201);
  EXPECT_EQ(SendMessageW(bar, TB_GETBUTTONINFOW, 999, reinterpret_cast<LPARAM>(&set)), -1);

  // An indeterminate or disabled button does nothing, and looks it.
  ce::test::PumpUntilIdle();
  const int y = 320 - GetSystemMetrics(SM_CYMENU) / 2;
  EXPECT_EQ(ce::test::ScreenPixel(4, y), Shown(ce::menus::kBarButtonDisabled));
  PressKey(VK_TSOFT1);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(g_seen.empty());
  EXPECT_TRUE(SendMessageW(bar, TB_INDETERMINATE, 18201, FALSE));
  EXPECT_TRUE(SendMessageW(bar, TB_ISBUTTONENABLED, 18201, 0));
  EXPECT_TRUE(SendMessageW(bar, TB_ENABLEBUTTON, 18201, FALSE));
  EXPECT_FALSE(ce::testing::MenuBarButtons(bar)->at(0).enabled);
  EXPECT_EQ(SendMessageW(bar, TB_ISBUTTONENABLED, 4242, 0), -1);
  PressKey(VK_TSOFT1);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(g_seen.empty());
  EXPECT_TRUE(SendMessageW(bar, TB_ENABLEBUTTON, 18201, TRUE));
  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(4, y), Shown(ce::menus::kBarButton));

  // The right soft key: the owner fills the popup, which then shows it.
  g_onInit = [&](HMENU menu) {
    if (menu == popup && GetMenuItemCount(popup) == 0) AppendMenuW(popup, MF_STRING, 300, L"Filled");
    PostMessageW(owner, kOpened, 0, 0);
  };
  g_whileOpen = [] { EXPECT_TRUE(ce::testing::ChooseMenuEntry(L"Filled")); };
  PressKey(VK_TSOFT2);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_INITMENUPOPUP, WM_COMMAND}));
  EXPECT_EQ(LOWORD(g_seen[0].lParam), 18200);
  EXPECT_EQ(g_seen[1].wParam, 300u);

  // Hiding the left button makes the right one the first soft key.
  g_seen.clear();
  g_onInit = [&](HMENU) { PostMessageW(owner, kOpened, 0, 0); };
  g_whileOpen = [] { PressKey(VK_ESCAPE); };
  EXPECT_TRUE(SendMessageW(bar, TB_HIDEBUTTON, 18201, TRUE));
  EXPECT_TRUE(ce::testing::MenuBarButtons(bar)->at(0).hidden);
  PressKey(VK_TSOFT2);  // no second visible button: nothing
  PressKey(VK_TSOFT1);
  ce::test::PumpUntilIdle();
  EXPECT_EQ(Messages(), (std::vector<UINT>{WM_INITMENUPOPUP}));
  EXPECT_EQ(ce::testing::LastMenuCommand(), 0u);
  EXPECT_TRUE(SendMessageW(bar, TB_DELETEBUTTON, 0, 0));
  EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 1);
  EXPECT_FALSE(SendMessageW(bar, TB_DELETEBUTTON, 5, 0));

  // A second bar for the window replaces the first.
  SHMENUBARINFO again = info;
  ASSERT_TRUE(SHCreateMenuBar(&again));
  EXPECT_FALSE(IsWindow(bar));
  EXPECT_EQ(SHFindMenuBar(owner), again.hwndMB);
  info.cbSize = 4;
  EXPECT_FALSE(SHCreateMenuBar(&info));
  DestroyMenu(popup);
}

// A bitmap of `count` side-by-side 8x8 images in the given colours, each
// with a magenta top-left pixel.
HBITMAP ImageStrip(std::initializer_list<COLORREF> colours) {
  const int count = static_cast<int>(colours.size());
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 8 * count, -8, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  int i = 0;
  for (COLORREF c : colours) {
    const std::uint32_t bgr = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) pixels[y * 8 * count + i * 8 + x] = (x == 0 && y == 0) ? 0xFF00FFu : bgr;
    }
    ++i;
  }
  return bitmap;
}

TEST_F(Menus, ButtonsShowTheirImagesAndDropPopupsSetLater) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = owner;
  info.dwFlags = SHCMBF_EMPTYBAR;
  ASSERT_TRUE(SHCreateMenuBar(&info));
  HWND bar = info.hwndMB;

  HBITMAP first = ImageStrip({RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)});
  HBITMAP second = ImageStrip({RGB(255, 255, 0), RGB(0, 0, 0)});
  EXPECT_EQ(CommandBar_AddBitmap(bar, nullptr, reinterpret_cast<UINT_PTR>(first), 3, 8, 8), 0);
  EXPECT_EQ(CommandBar_AddBitmap(bar, nullptr, reinterpret_cast<UINT_PTR>(second), 2, 0, 0), 3);
  // More images than the bitmap holds, or not a bar: refused.
  EXPECT_EQ(CommandBar_AddBitmap(bar, nullptr, reinterpret_cast<UINT_PTR>(second), 3, 8, 8), -1);
  EXPECT_EQ(CommandBar_AddBitmap(bar, nullptr, reinterpret_cast<UINT_PTR>(second), 1, 8, 9), -1);
  EXPECT_EQ(CommandBar_AddBitmap(owner, nullptr, reinterpret_cast<UINT_PTR>(second), 1, 8, 8), -1);
  DeleteObject(first);  // the bar keeps copies
  DeleteObject(second);

  TBBUTTON tb{};
  tb.iBitmap = 1;
  tb.idCommand = 40;
  tb.fsState = TBSTATE_ENABLED;
  tb.iString = -1;
  ASSERT_TRUE(SendMessageW(bar, TB_INSERTBUTTONW, 0, reinterpret_cast<LPARAM>(&tb)));
  EXPECT_EQ(ce::testing::MenuBarButtons(bar)->at(0).image, 1);
  ce::test::PumpUntilIdle();
  // One button over the whole bar: its image in the middle, the magenta
  // corner showing the button under it.
  const int barHeight = GetSystemMetrics(SM_CYMENU);
  const int top = 320 - barHeight + (barHeight - 8) / 2;
  EXPECT_EQ(ce::test::ScreenPixel(121, top + 4), Shown(RGB(0, 255, 0)));
  EXPECT_EQ(ce::test::ScreenPixel(116, top), Shown(ce::menus::kBarButton));
  EXPECT_EQ(ce::test::ScreenPixel(117, top), Shown(RGB(0, 255, 0)));
  TBBUTTONINFOW change{};
  change.cbSize = sizeof change;
  change.dwMask = TBIF_IMAGE;
  change.iImage = 3;
  ASSERT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 40, reinterpret_cast<LPARAM>(&change)));
  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(121, top + 4), Shown(RGB(255, 255, 0)));
  change.iImage = 7;  // beyond the images: none drawn
  ASSERT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 40, reinterpret_cast<LPARAM>(&change)));
  ce::test::PumpUntilIdle();
  EXPECT_EQ(ce::test::ScreenPixel(121, top + 4), Shown(ce::menus::kBarButton));

  // A popup given to the button later makes it drop that popup.
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 301, L"Later");
  EXPECT_EQ(SendMessageW(bar, SHCMBM_SETSUBMENU, 40, reinterpret_cast<LPARAM>(popup)), 0);
  EXPECT_EQ(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 40), reinterpret_cast<LRESULT>(popup));
  EXPECT_EQ(SendMessageW(bar, SHCMBM_SETSUBMENU, 41, reinterpret_cast<LPARAM>(popup)), 0) << "no such button";
  EXPECT_TRUE(ce::testing::MenuBarButtons(bar)->at(0).dropDown);
  g_onInit = [&](HMENU) { PostMessageW(owner, kOpened, 0, 0); };
  g_whileOpen = [] { EXPECT_TRUE(ce::testing::ChooseMenuEntry(L"Later")); };
  PressKey(VK_TSOFT1);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_INITMENUPOPUP, WM_COMMAND}));
  EXPECT_EQ(g_seen[1].wParam, 301u);
  EXPECT_EQ(SendMessageW(bar, SHCMBM_SETSUBMENU, 40, 0), reinterpret_cast<LRESULT>(popup));
  DestroyWindow(bar);
  DestroyMenu(popup);
}

TEST_F(Menus, SmartphoneSoftKeysComeFromTheShellsResourcesAndItsTrayTakesCaptions) {
  const std::filesystem::path tapres = CE_TAPRES_LIBRARY;
  ce::test::ScopedSetting folders("DEVICE_PROGRAM_FOLDERS", "Shell=" + tapres.parent_path().string());
  ce::test::ScopedSetting platform("DEVICE_PLATFORM_TYPE", "SmartPhone");
  HMODULE shell = LoadLibraryExW(L"\\Program Files\\Shell\\tapres.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(LoadLibraryExW(L"\\Program Files\\Shell\\tapres.dll", nullptr, 0x8), nullptr) << "other flags";
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = owner;
  info.nToolBarId = 18100;
  info.hInstRes = shell;
  ASSERT_TRUE(SHCreateMenuBar(&info));
  EXPECT_TRUE(FreeLibrary(shell));  // the bar keeps its buttons
  const auto buttons = ce::testing::MenuBarButtons(info.hwndMB);
  ASSERT_TRUE(buttons);
  ASSERT_EQ(buttons->size(), 2u);
  EXPECT_EQ(buttons->at(0).id, 18201);
  EXPECT_EQ(buttons->at(1).id, 18200);
  PressKey(VK_TSOFT2);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_COMMAND}));
  EXPECT_EQ(LOWORD(g_seen[0].wParam), 18200);

  // The tray comes with the first top-level window of a Smartphone program.
  HWND form = CreateWindowExW(0, L"MenuOwner", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(form, nullptr);
  HWND tray = FindWindowW(L"tray", L"tray");
  ASSERT_NE(tray, nullptr);
  SetWindowTextW(form, L"Recordings");
  SetForegroundWindow(form);
  ASSERT_TRUE(ce::testing::Tray().has_value());
  ASSERT_TRUE(PostMessageW(tray, WM_USER, 4, 0));
  // The tray reads the title from the window's own thread: keep answering.
  for (int i = 0; i < 200 && ce::testing::Tray()->captionRefreshes == 0; ++i) {
    ce::test::PumpUntilIdle();
    Sleep(5);
  }
  EXPECT_EQ(ce::testing::Tray()->captionRefreshes, 1);
  EXPECT_EQ(ce::testing::Tray()->caption, L"Recordings");
  PostMessageW(tray, WM_USER, 3, 0);  // other requests change nothing
  DestroyWindow(form);
}

TEST_F(Menus, AnOverriddenBackKeyComesAsAHotKeyOrNotAtAll) {
  HWND bar = MakeBar(owner);
  ASSERT_NE(bar, nullptr);
  constexpr WORD kBoth = SHMBOF_NODEFAULT | SHMBOF_NOTIFY;
  ASSERT_TRUE(SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELONG(kBoth, kBoth)));
  PressKey(VK_TBACK);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_HOTKEY, WM_HOTKEY}));
  EXPECT_EQ(HIWORD(g_seen[0].lParam), VK_TBACK);
  EXPECT_EQ(LOWORD(g_seen[0].lParam), 0);
  EXPECT_EQ(LOWORD(g_seen[1].lParam), MOD_KEYUP);

  // No default and no notice: dropped. Neither: the window gets the key.
  g_seen.clear();
  SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELONG(SHMBOF_NOTIFY, 0));
  PressKey(VK_TBACK);
  ce::test::PumpUntilIdle();
  EXPECT_TRUE(g_seen.empty());
  SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELONG(kBoth, 0));
  MSG msg{};
  PressKey(VK_TBACK);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, owner);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_TBACK));
  ce::test::PumpUntilIdle();

  // The window may hand the Back key on to its focus window as backspace.
  SHSendBackToFocusWindow(WM_HOTKEY, 0, MAKELONG(0, VK_TBACK));
  SHSendBackToFocusWindow(WM_HOTKEY, 0, MAKELONG(MOD_KEYUP, VK_TBACK));
  SHSendBackToFocusWindow(WM_HOTKEY, 0, MAKELONG(0, VK_TSOFT1));  // not the Back key: nothing
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_KEYDOWN);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_BACK));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_KEYUP);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
}

TEST_F(Menus, DialogsAreSizedAboveTheBarAndGetTheirDoneButton) {
  SHINITDLGINFO init{SHIDIM_FLAGS, owner,
                     SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU};
  ASSERT_TRUE(SHInitDialog(&init));
  RECT r{};
  GetWindowRect(owner, &r);
  EXPECT_EQ(r.top, 320 - GetSystemMetrics(SM_CYFULLSCREEN));
  EXPECT_EQ(r.bottom, 320 - GetSystemMetrics(SM_CYMENU));
  EXPECT_EQ(r.right, 240);
  ASSERT_NE(SHFindMenuBar(owner), nullptr);
  EXPECT_EQ(SendMessageW(SHFindMenuBar(owner), TB_BUTTONCOUNT, 0, 0), 0);

  EXPECT_TRUE(ce::testing::DoneButtonShown(owner));
  ASSERT_TRUE(ce::testing::PressDoneButton(owner));
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_COMMAND}));
  EXPECT_EQ(g_seen[0].wParam, static_cast<WPARAM>(IDOK));
  ASSERT_TRUE(SHDoneButton(owner, SHDB_HIDE));
  EXPECT_FALSE(ce::testing::PressDoneButton(owner));
  EXPECT_FALSE(SHDoneButton(owner, 7));

  SHACTIVATEINFO activate{};
  activate.cbSize = sizeof activate;
  EXPECT_TRUE(SHHandleWMActivate(owner, WA_ACTIVE, 0, &activate, 0));
  EXPECT_EQ(activate.fActive, 1u);
  EXPECT_TRUE(SHHandleWMSettingChange(owner, SPI_SETSIPINFO, 0, &activate));
  activate.cbSize = 0;
  EXPECT_FALSE(SHHandleWMActivate(owner, WA_ACTIVE, 0, &activate, 0));
  init.dwMask = 0;
  EXPECT_FALSE(SHInitDialog(&init));

  // The shell's UI metrics are not offered: a lookup by name finds nothing,
  // so callers take their own figures.
  ::testing::internal::CaptureStderr();
  HMODULE shell = LoadLibraryW(L"aygshell.dll");
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(shell ? GetProcAddressW(shell, L"SHGetUIMetrics") : nullptr, nullptr);
  if (shell) FreeLibrary(shell);
}

TEST_F(Menus, TheScriptPressesSoftKeysAndChoosesMenuEntries) {
  std::string error;
  EXPECT_FALSE(ce::program::ParseScript("softkey up\n", &error));
  EXPECT_FALSE(ce::program::ParseScript("menu   \n", &error));
  auto commands = ce::program::ParseScript(
      "softkey right\n"
      "menu New # and more\n"
      "softkey LEFT\n"
      "menu Nothing open\n",
      &error);
  ASSERT_TRUE(commands) << error;
  ASSERT_EQ(commands->size(), 4u);
  EXPECT_EQ((*commands)[1].text, L"New # and more");
  EXPECT_EQ((*commands)[2].key, VK_TSOFT1);

  HWND bar = MakeBar(owner);
  ASSERT_NE(bar, nullptr);
  (*commands)[1].text = L"New";
  auto runner = ce::program::ScriptRunner::Start(std::move(*commands), false);
  ASSERT_TRUE(runner);
  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 50 && !runner->Wait(0); ++i) ce::test::RunFor(10);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(runner->Wait(0));
  EXPECT_EQ(runner->failures(), 1);  // the last entry: no menu is open
  EXPECT_NE(errors.find("Nothing open"), std::string::npos);
  ce::test::PumpUntilIdle();
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_INITMENUPOPUP, WM_COMMAND, WM_COMMAND}));
  EXPECT_EQ(g_seen[1].wParam, 40002u);
  EXPECT_EQ(g_seen[2].wParam, 40000u);
}

}  // namespace
