// The settings dialog's line rules, and the settings, custom link and icons
// dialogs run modally on the headless device.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "bar_settings.h"
#include "control_pixels.h"
#include "ce/windows.h"
#include "ce/testing.h"
#include "icon_details_popup.h"
#include "icons_dialog.h"
#include "launcher_state.h"
#include "obj_icons.h"
#include "program_list.h"
#include "screen_checks.h"
#include "settings_dialog.h"
#include "tool_host.h"

namespace {

using namespace tessivo;

std::deque<std::function<void()>> g_steps;
RECT* g_popupRect = nullptr;
UINT_PTR g_timer = 0;

void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_steps.empty()) {
    KillTimer(nullptr, g_timer);
    g_timer = 0;
    return;
  }
  auto step = std::move(g_steps.front());
  g_steps.pop_front();
  step();
}

// Runs each step in turn inside the next modal loop, one a timer tick.
void RunSteps(std::initializer_list<std::function<void()>> steps) {
  for (const auto& step : steps) g_steps.push_back(step);
  if (g_timer == 0) g_timer = SetTimer(nullptr, 0, 50, StepTimer);
}

class Host : public ToolHost {
 public:
  HINSTANCE Module() override { return GetModuleHandleW(nullptr); }
  HWND BarWindow() override { return nullptr; }
  ToolOptions& Options() override { return BarSettings().options; }
  void SaveOptions() override { BarSettings().SaveOptions(); }
  void SaveAll() override { BarSettings().SaveIcons(); }
  HeaderLook Header() override { return {}; }
  void GradientColours(COLORREF*, COLORREF*) override {}
  int BarWidth() override { return 240; }
  CReminderPlayer* ReminderPlayer() override { return nullptr; }
};

TEST(LineRules, ChoicesKeepTheLinesWithinTheBar) {
  struct Case {
    const char* what;
    DWORD numLines, ns, sw;
    int list;  // 1006 static, 1009 scrolling, 1010 width, 0 Done
    DWORD chosen;
    DWORD wantLines, wantNs, wantSw;
  };
  const Case cases[] = {
      {"3 static with 2 scrolling", 0, 2, 1, 1006, 3, 3, 2, 1},
      {"10 static with 2 scrolling leaves 8", 0, 2, 1, 1006, 10, 8, 2, 1},
      {"11 static is refused", 1, 2, 1, 1006, 11, 1, 2, 1},
      {"scrolling past ten in all", 8, 0, 0, 1009, 5, 8, 2, 0},
      {"as many shown as in all becomes 1", 0, 2, 3, 1009, 3, 0, 3, 1},
      {"more shown than in all becomes one fewer", 0, 0, 4, 1009, 3, 0, 3, 2},
      {"a width the rule would change is refused", 0, 4, 1, 1010, 4, 0, 4, 1},
      {"a width within the rule", 0, 4, 1, 1010, 3, 0, 4, 3},
      {"width 6 is refused", 0, 8, 2, 1010, 6, 0, 8, 2},
      {"Done with no lines keeps one static line", 0, 0, 1, 0, 0, 1, 0, 0},
      {"Done without scrolling lines shows none", 2, 0, 1, 0, 0, 2, 0, 0},
  };
  for (const Case& c : cases) {
    CBarSettings& s = BarSettings();
    s.numLines = c.numLines;
    s.ns = c.ns;
    s.sw = c.sw;
    if (c.list == 1006) LineRules::ChooseStatic(s, c.chosen);
    if (c.list == 1009) LineRules::ChooseScrolling(s, c.chosen);
    if (c.list == 1010) LineRules::ChooseWidth(s, c.chosen);
    if (c.list == 0) LineRules::Finish(s);
    EXPECT_EQ(s.numLines, c.wantLines) << c.what;
    EXPECT_EQ(s.ns, c.wantNs) << c.what;
    EXPECT_EQ(s.sw, c.wantSw) << c.what;
  }
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Tessivo");
    BarSettings().Open();
    BarSettings().SetDefaultLayout();
    BarSettings().options = ToolOptions{};
    SetToolHost(&m_host);
  }
  void TearDown() override {
    SetToolHost(nullptr);
    CSettingsDialog::DeleteInstance();
    CIconsDialog::DeleteInstance();
    CCustomLinkDialog::DeleteInstance();
  }
  static void Select(HWND dialog, int id, const wchar_t* text) {
    const LRESULT index =
        SendDlgItemMessageW(dialog, id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), 0);
  }
  Host m_host;
};

TEST_F(Dialogs, SettingsDoneWritesAndCancelRestores) {
  CBarSettings& settings = BarSettings();
  settings.SetDefaultLayout();
  settings.Item(0).Set(L"\\x.exe", nullptr, L"X", nullptr, 0);
  RunSteps({[] {
              HWND d = CSettingsDialog::Existing()->Window();
              Select(d, 1006, L"3");
              CheckDlgButton(d, 1005, BST_CHECKED);
              SendMessageW(d, WM_COMMAND, MAKEWPARAM(1005, BN_CLICKED), 0);
            },
            [] { PostMessageW(CSettingsDialog::Existing()->Window(), WM_COMMAND, 40028, 0); }});
  EXPECT_EQ(CSettingsDialog::Instance()->Show(nullptr), 0);
  EXPECT_EQ(settings.numLines, 3u);
  EXPECT_EQ(settings.date, 1u);
  CBarSettings stored;
  ASSERT_TRUE(stored.Load()) << "Done writes the settings";
  EXPECT_EQ(stored.numLines, 3u);

  RunSteps({[] { Select(CSettingsDialog::Existing()->Window(), 1009, L"0"); },
            [] { PostMessageW(CSettingsDialog::Existing()->Window(), WM_COMMAND, 40046, 0); }});
  EXPECT_EQ(CSettingsDialog::Instance()->Show(nullptr), 0);
  EXPECT_EQ(settings.ns, 2u) << "Cancel puts the lines back";
  EXPECT_EQ(settings.numLines, 3u);
}

// The settings dialog erases itself after each change: its labels, lists
// and boxes all show again (the change here keeps the same line count).
TEST_F(Dialogs, SettingsShowEveryControlAgainAfterAChange) {
  static std::vector<std::vector<COLORREF>> before;
  static std::vector<std::vector<COLORREF>> after;
  RunSteps({[] { UpdateWindow(CSettingsDialog::Existing()->Window()); },
            [] {
              HWND d = CSettingsDialog::Existing()->Window();
              before = ce::test::ControlPixels(d);
              wchar_t text[16] = {};
              const LRESULT at = SendDlgItemMessageW(d, 1006, CB_GETCURSEL, 0, 0);
              SendDlgItemMessageW(d, 1006, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text));
              Select(d, 1006, text);
            },
            [] {
              HWND d = CSettingsDialog::Existing()->Window();
              after = ce::test::ControlPixels(d);
              PostMessageW(d, WM_COMMAND, 40046, 0);
            }});
  CSettingsDialog::Instance()->Show(nullptr);
  EXPECT_GE(before.size(), 6u);
  EXPECT_TRUE(before == after);
}

TEST_F(Dialogs, IconsDialogChoosesPrograms) {
  CBarSettings& settings = BarSettings();
  settings.SetDefaultLayout();
  ProgramList().Prepare();
  ProgramList().Rebuild();
  settings.Item(0).Set(L"\\Windows\\settings.exe", L"clock.cpl.xml", L"Date and Time", nullptr, 216);
  RunSteps({[] {
              CIconsDialog* dialog = CIconsDialog::Existing();
              HWND d = dialog->Window();
              // The same program, in another case: nothing changes.
              EXPECT_FALSE(dialog->ChooseProgram(d, L"DATE AND TIME"));
              EXPECT_TRUE(dialog->ChooseProgram(d, L"Owner Information"));
              EXPECT_FALSE(dialog->ChooseProgram(d, L"No such program"));
            },
            [] {
              // The custom link entry: its dialog is cancelled, the slot still
              // becomes a custom link with what that dialog holds.
              CCustomLinkDialog* link = CCustomLinkDialog::Instance();
              wcscpy(link->path, L"\\Program Files\\Tool\\tool.exe");
              wcscpy(link->parameters, L"-fast");
              g_steps.push_front(
                  [] { PostMessageW(CCustomLinkDialog::Existing()->Window(), WM_COMMAND, IDCANCEL, 0); });
              CIconsDialog::Existing()->ChooseProgram(CIconsDialog::Existing()->Window(),
                                                      ProgramList().CustomLinkText().c_str());
            },
            [] { PostMessageW(CIconsDialog::Existing()->Window(), WM_COMMAND, 40046, 0); }});
  CIconsDialog::Instance()->Show(nullptr);
  EXPECT_EQ(settings.Item(0).Name(), ProgramList().CustomLinkText());
  EXPECT_EQ(settings.Item(0).Path(), L"\\Program Files\\Tool\\tool.exe");
  EXPECT_EQ(settings.Item(0).Parameters(), L"-fast");
  CBarSettings stored;
  EXPECT_FALSE(stored.Load()) << "Cancel writes nothing";
}

// Opened a second time, the icons dialog's area is the live copy of the bar
// again: its window procedure is the dialog's, as at the first opening, and
// the right key moves the selection one column on.
TEST_F(Dialogs, IconsDialogOpenedAgainDrivesItsAreaAgain) {
  BarSettings().SetDefaultLayout();
  LONG_PTR procedures[2] = {};
  int moved[2] = {-9, -9};
  for (int opening = 0; opening < 2; ++opening) {
    RunSteps({[] {},
              [&procedures, &moved, opening] {
                HWND area = GetDlgItem(CIconsDialog::Existing()->Window(), 1042);
                ASSERT_NE(area, nullptr);
                procedures[opening] = GetWindowLongPtrW(area, GWL_WNDPROC);
                int before = -1, after = -1, row = -1;
                Icons().FindSelectedCell(&before, &row);
                SendMessageW(area, WM_KEYDOWN, VK_RIGHT, 0);
                Icons().FindSelectedCell(&after, &row);
                moved[opening] = after - before;
              },
              [] { PostMessageW(CIconsDialog::Existing()->Window(), WM_COMMAND, 40046, 0); }});
    CIconsDialog::Instance()->Show(nullptr);
  }
  EXPECT_NE(procedures[0], 0);
  EXPECT_EQ(procedures[1], procedures[0]);
  EXPECT_EQ(moved[0], 1);
  EXPECT_EQ(moved[1], 1);
}

// Opens the dialog, checks that its texts fit and writes its screen, and
// closes it with `close`.
template <typename Dialog>
void CheckScreen(const char* name, WPARAM close) {
  RunSteps({[] { UpdateWindow(Dialog::Existing()->Window()); },
            [name, close] {
              HWND d = Dialog::Existing()->Window();
              test::ExpectTextsFit(d);
              test::SaveScreen(name);
              PostMessageW(d, WM_COMMAND, close, 0);
            }});
  Dialog::Instance()->Show(nullptr);
}

// The settings, icons and custom link dialogs show every label whole (the
// screens are written for a look when asked, see screen_checks.h).
TEST_F(Dialogs, ScreensShowEveryTextWhole) {
  BarSettings().SetDefaultLayout();
  ProgramList().Prepare();
  ProgramList().Rebuild();
  CheckScreen<CSettingsDialog>("settings", 40046);
  CheckScreen<CIconsDialog>("icons", 40046);
  CheckScreen<CCustomLinkDialog>("custom_link", IDCANCEL);
}

TEST(IconDetails, PlacedUnderTheIconOrAboveItAndGoneAfterFiveSeconds) {
  ce::testing::UseVirtualClock(100000, 134100000000000000ull);
  State().screenWidth = 240;
  BarSettings().Item(4).Set(L"\\Windows\\pword.exe", nullptr, L"WORD: Notes", nullptr, 0);
  State().tappedIndex = 4;
  struct Case {
    int iconTop;
    int windowTop;
  };
  for (const Case& c : {Case{40, 40 + 26 + 10}, Case{200, 200 + 26 - 120 + 10}}) {
    RECT placed = {};
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      RECT* out = g_popupRect;
      GetWindowRect(CIconDetailsPopup::Instance().Window(), out);
    });
    g_popupRect = &placed;
    const DWORD start = GetTickCount();
    EXPECT_EQ(CIconDetailsPopup::Instance().Show(nullptr, c.iconTop), 0);
    const DWORD shown = GetTickCount() - start;
    (void)timer;
    EXPECT_EQ(placed.top, c.windowTop) << c.iconTop;
    EXPECT_EQ(placed.left, 5);
    EXPECT_EQ(placed.right - placed.left, 230);
    EXPECT_GE(shown, 5000u) << "closes by itself after five seconds";
    EXPECT_LT(shown, 6000u);
  }
  ce::testing::UseRealClock();
}

}  // namespace
