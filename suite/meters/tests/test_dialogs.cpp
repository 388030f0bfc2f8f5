// The meters' dialogs, title-bar indicators and alert sounds on the
// headless device. A modal dialog is driven from a thread timer: each tick
// runs the next step, as a user's taps and keys would arrive.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "alert_sounds.h"
#include "ce/commctrl.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "dialog_bases.h"
#include "drainlog_window.h"
#include "meter_settings.h"
#include "network_info_dialog.h"
#include "obj_battery.h"
#include "obj_chart.h"
#include "obj_memory.h"
#include "obj_meter.h"
#include "obj_network.h"
#include "options_dialog.h"
#include "scoped_setting.h"
#include "title_bar_meters.h"

namespace pelmora {
void RequestRedraw() {}
}  // namespace pelmora

namespace {

using namespace pelmora;
using Step = std::function<void()>;

std::vector<Step> g_steps;
std::size_t g_next = 0;

void CALLBACK RunStep(HWND, UINT, UINT_PTR id, DWORD) {
  if (g_next < g_steps.size()) {
    // A step may open a nested loop; take it before running it.
    Step step = g_steps[g_next++];
    step();
  } else {
    KillTimer(nullptr, id);
  }
}

// Runs `open` (a modal dialog) with `steps` played one per tick inside it.
INT_PTR Drive(const std::function<INT_PTR()>& open, std::vector<Step> steps) {
  g_steps = std::move(steps);
  g_next = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 0, RunStep);
  const INT_PTR result = open();
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_next, g_steps.size()) << "every step ran while the dialog was open";
  return result;
}

void Command(HWND dialog, WORD id) { SendMessageW(dialog, WM_COMMAND, id, 0); }
void Back(HWND dialog) { SendMessageW(dialog, WM_HOTKEY, 0, MAKELPARAM(kHotKeyUp, VK_ESCAPE)); }

// A user's choice in a one-line list: the selection and its notification.
void Choose(HWND page, int id, int index) {
  HWND list = GetDlgItem(page, id);
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}
void Click(HWND page, int id) { SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0); }
int Selected(HWND page, int id) { return static_cast<int>(SendDlgItemMessageW(page, id, LB_GETCURSEL, 0, 0)); }
std::wstring ListText(HWND page, int id, int index) {
  wchar_t text[64] = {};
  SendDlgItemMessageW(page, id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

DWORD Stored(const wchar_t* name) {
  HKEY key = nullptr;
  DWORD value = 0xDEADBEEF;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return value;
  }
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
    value = 0xDEADBEEF;
  }
  RegCloseKey(key);
  return value;
}

class MeterDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDpiForTesting(96);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora");
    CMeterSettings& s = CMeterSettings::Get();
    s.Close();
    s = CMeterSettings{};
    ASSERT_TRUE(s.Open(false, false));
    s.Load();
  }
  void TearDown() override { CMeterSettings::Get().Close(); }
};

TEST_F(MeterDialogs, ClosesOnDeactivationOnlyAfterASecondAndIgnoresUnknownCommands) {
  ce::testing::UseVirtualClock(50000, 0);
  CDrainlogWindow& window = CDrainlogWindow::Get();
  bool openAfterEarly = false;
  bool openAfterCommand = false;
  const INT_PTR result = Drive([&] { return window.Show(nullptr); },
                               {[&] {
                                  // The input panel or a menu takes the activation at once.
                                  SendMessageW(window.Window(), WM_ACTIVATE, WA_INACTIVE, 0);
                                },
                                [&] {
                                  openAfterEarly = window.IsOpen();
                                  Command(window.Window(), 4711);
                                },
                                [&] {
                                  openAfterCommand = window.IsOpen();
                                  ce::testing::AdvanceClock(1500);
                                  SendMessageW(window.Window(), WM_ACTIVATE, WA_INACTIVE, 0);
                                }});
  EXPECT_TRUE(openAfterEarly);
  EXPECT_TRUE(openAfterCommand);
  EXPECT_EQ(result, 1) << "closed as by WM_CLOSE";
  EXPECT_FALSE(window.IsOpen());
  ce::testing::UseRealClock();
}

// One control of one page, the value it leaves in force and in the registry.
struct OptionCase {
  const char* what;
  WORD pageCommand;
  int page;
  int control;
  int choose;  // a list entry, or -1 to click the control
  const wchar_t* value;
  DWORD expected;
  DWORD CMeterSettings::*field;
};

TEST_F(MeterDialogs, OptionsChangesAreInForceAtOnceAndDoneStoresThem) {
  const OptionCase cases[] = {
      {"size Tiny", kCmdGeneral, 0, 1021, 2, L"BS", 2, &CMeterSettings::bs},
      {"update every 30 s", kCmdGeneral, 0, 1022, 3, L"UR", 3, &CMeterSettings::ur},
      {"percent off", kCmdGeneral, 0, 1010, -1, L"PIM", 0, &CMeterSettings::pim},
      {"network monitor off", kCmdCustomize, 1, 1020, -1, L"DisableNetMon", 1, &CMeterSettings::disableNetMon},
      {"charged alert off", kCmdSpeech, 2, 502, -1, L"VBC", 0, &CMeterSettings::vbc},
      {"battery warning at 40 %", kCmdSpeech, 2, 1024, 40, L"VBLV", 40, &CMeterSettings::vblv},
      {"memory warning at 7 %", kCmdSpeech, 2, 1025, 7, L"VMLV", 7, &CMeterSettings::vmlv},
      {"repeat every 5 minutes", kCmdSpeech, 2, 1002, 3, L"VFreq", 3, &CMeterSettings::vfreq},
      {"battery indicator off", kCmdTitleBar, 3, 1013, -1, L"BT", 0, &CMeterSettings::bt},
      {"battery indicator percent", kCmdTitleBar, 3, 1017, -1, L"TBB", 1, &CMeterSettings::tbb},
      {"memory indicator on", kCmdTitleBar, 3, 1014, -1, L"MTB", 1, &CMeterSettings::mtb},
      {"memory indicator percent", kCmdTitleBar, 3, 1021, -1, L"TBM", 1, &CMeterSettings::tbm},
  };
  COptionsDialog& options = COptionsDialog::Get();
  CMeterSettings& s = CMeterSettings::Get();
  std::vector<Step> steps;
  for (const OptionCase& c : cases) {
    steps.push_back([&options, &s, &c] {
      Command(options.Window(), c.pageCommand);
      EXPECT_EQ(options.ShownPage(), c.page) << c.what;
      HWND page = options.Page(c.page);
      if (c.choose >= 0) {
        Choose(page, c.control, c.choose);
      } else {
        Click(page, c.control);
      }
      EXPECT_EQ(s.*c.field, c.expected) << c.what << " is in force at once";
      EXPECT_NE(Stored(c.value), c.expected) << c.what << " is not stored before Done";
    });
  }
  steps.push_back([&options, &s] {
    Command(options.Window(), kCmdCustomize);
    Choose(options.Page(1), 1027, 5);  // bank 3 shows the network monitor
    EXPECT_EQ(s.d[2], 5u);
    Command(options.Window(), kCmdDone);
  });
  EXPECT_EQ(Drive([&] { return options.Show(nullptr, 0); }, steps), 0);
  for (const OptionCase& c : cases) EXPECT_EQ(Stored(c.value), c.expected) << c.what;
  EXPECT_EQ(Stored(L"D2"), 5u);
  EXPECT_FALSE(options.IsOpen());
}


TEST_F(MeterDialogs, OptionsBackPutsTheOpeningValuesBackAndWritesNothing) {
  COptionsDialog& options = COptionsDialog::Get();
  CMeterSettings& s = CMeterSettings::Get();
  s.Save();
  int secondOpen = 0;
  const INT_PTR result = Drive([&] { return options.Show(nullptr, 0); },
                               {[&] {
                                  Choose(options.Page(0), 1021, 0);
                                  Command(options.Window(), kCmdSpeech);
                                  Click(options.Page(2), 501);
                                  Choose(options.Page(2), 1024, 3);
                                  EXPECT_EQ(s.bs, 0u);
                                  EXPECT_EQ(s.vbl, 0u);
                                  EXPECT_EQ(s.vblv, 3u);
                                },
                                [&] {
                                  // A second request brings the open one forward.
                                  secondOpen = static_cast<int>(options.Show(nullptr, 0));
                                  EXPECT_EQ(GetForegroundWindow(), options.Window());
                                },
                                [&] { Back(options.Window()); }});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(secondOpen, -1);
  EXPECT_EQ(s.bs, 1u);
  EXPECT_EQ(s.vbl, 1u);
  EXPECT_EQ(s.vblv, 25u);
  EXPECT_EQ(Stored(L"BS"), 1u);
  EXPECT_EQ(Stored(L"VBLV"), 25u);
}

TEST_F(MeterDialogs, OptionsListsLeaveOutOfRangeValuesUnselectedAndListTheKnownCards) {
  COptionsDialog& options = COptionsDialog::Get();
  CMeterSettings& s = CMeterSettings::Get();
  s.vblv = 51;
  s.vmlv = 50;
  s.vfreq = 8;
  // No card known: "None", and Next changes nothing.
  Drive([&] { return options.Show(nullptr, 0); },
        {[&] {
           HWND general = options.Page(0);
           EXPECT_EQ(ListText(general, 1024, 0), L"None");
           Click(general, 1005);
           for (const CardInfo& card : s.sci) EXPECT_EQ(card.picture, 255);
           HWND speech = options.Page(2);
           EXPECT_EQ(Selected(speech, 1024), LB_ERR);
           EXPECT_EQ(Selected(speech, 1025), 50);
           EXPECT_EQ(Selected(speech, 1002), LB_ERR);
           EXPECT_EQ(ListText(speech, 1002, 0), L"No repeat");
           Command(options.Window(), kCmdDone);
         }});
  // Two cards: sizes in megabytes and tenths; Next steps the picture on,
  // from the last of the twelve back to the first.
  s.sci[2] = {2560, 11};
  s.sci[5] = {1024 * 1000 + 1000, 4};
  Drive([&] { return options.Show(nullptr, 0); },
        {[&] {
           HWND general = options.Page(0);
           EXPECT_EQ(ListText(general, 1024, 0), L"2.5 MB");
           EXPECT_EQ(ListText(general, 1024, 1), L"1000.9 MB");
           Click(general, 1005);
           EXPECT_EQ(s.sci[2].picture, 0);
           Choose(general, 1024, 1);
           Click(general, 1005);
           EXPECT_EQ(s.sci[5].picture, 5);
           Command(options.Window(), kCmdDone);
         }});
  EXPECT_EQ(options.CardCount(), 2);
}

}  // namespace
