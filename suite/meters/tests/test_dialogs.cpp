// The meters' dialogs, title-bar indicators and alert sounds on the
// headless device. A modal dialog is driven from a thread timer: each tick
// runs the next step, as a user's taps and keys would arrive.
#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "alert_sounds.h"
#include "ce/commctrl.h"
#include "control_pixels.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "meter_dialog.h"
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
  const INT_PTR result =
      Drive([&] { return window.Show(nullptr); }, {[&] {
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
  const INT_PTR result =
      Drive([&] { return options.Show(nullptr, 0); }, {[&] {
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
  Drive([&] { return options.Show(nullptr, 0); }, {[&] {
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
  Drive([&] { return options.Show(nullptr, 0); }, {[&] {
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

// A page that erases itself after a change (the options' Next with a card
// known, a chosen adapter) shows every one of its controls again.
TEST_F(MeterDialogs, PagesErasedAfterAChangeShowEveryControlAgain) {
  ce::test::ScopedSetting interfaces{"DEVICE_NETWORK_INTERFACES", "eth1"};
  ce::testing::ReloadDevice();
  std::wcscpy(CMeterSettings::Get().deviceName, L"eth1");
  CMeterSettings::Get().sci[2] = {2560, 11};
  COptionsDialog& options = COptionsDialog::Get();
  CNetworkInfoDialog& network = CNetworkInfoDialog::Get();
  std::vector<std::vector<COLORREF>> before;
  std::vector<std::vector<COLORREF>> after;
  HWND page = nullptr;
  const auto look = [&](std::vector<std::vector<COLORREF>>& into) { into = ce::test::ControlPixels(page); };
  Drive([&] { return options.Show(nullptr, 0); }, {[&] {
                                                     page = options.Page(0);
                                                     look(before);
                                                     Click(page, 1005);
                                                   },
                                                   [&] {
                                                     look(after);
                                                     Command(options.Window(), kCmdDone);
                                                   }});
  EXPECT_GE(before.size(), 8u);
  EXPECT_TRUE(before == after) << "the options' controls after Next";
  Drive([&] { return network.Show(nullptr); }, {[&] {
                                                  page = network.Page(0);
                                                  look(before);
                                                  Choose(page, 1033, Selected(page, 1033));
                                                },
                                                [&] {
                                                  look(after);
                                                  Back(network.Window());
                                                }});
  EXPECT_GE(before.size(), 3u);
  EXPECT_TRUE(before == after) << "the network information's controls after an adapter is chosen";
  ce::testing::ReloadDevice();
}

// A chart of 240 x 268 (the Drainlog page at 96 DPI) drawn into memory.
// A 32-bit canvas, so that colours read back exactly.
HBITMAP Bitmap32(int w, int h) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

struct ChartCanvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  HGDIOBJ old;
  ChartCanvas(int w, int h) : bitmap(Bitmap32(w, h)), old(SelectObject(dc, bitmap)) {}
  ~ChartCanvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

TEST(Chart, PointsFollowTheSpanTheRingAndItsWrap) {
  SetDpiForTesting(96);
  CObjChart chart;
  ASSERT_TRUE(chart.Setup(nullptr, GetModuleHandleW(nullptr), RGB(255, 0, 0), 0, 0, L"Battery", L"Batt (%)", 43, 0, 0));
  EXPECT_FALSE(CObjChart().Setup(nullptr, nullptr, 0, 1, 1, L"", L"", 0, 0, 0)) << "no first colour, no chart";
  static HistoryRing ring;
  for (int i = 0; i < kHistorySize; ++i) ring.samples[i] = 50;
  POINT p[1024];
  const int x0 = 35;
  ring.index = 0;
  EXPECT_EQ(chart.SeriesPoints(ring, x0, 0, p, 1024), 0) << "an empty ring draws nothing";

  // Right after start: 30 of 60 samples, from the left edge, 166 / 60 px apart.
  ring.index = 30;
  ASSERT_EQ(chart.SeriesPoints(ring, x0, 0, p, 1024), 30);
  EXPECT_EQ(p[0].x, x0 + 2);
  EXPECT_EQ(p[0].y, 111 - 45);
  EXPECT_EQ(p[29].x, x0 + 2 + static_cast<int>(29 * 166.0 / 60));
  // The data reaches the right end: a level line to x0 + 2 + 166.
  ring.index = 100;
  ring.samples[40] = 0;
  ring.samples[99] = 200;
  ASSERT_EQ(chart.SeriesPoints(ring, x0, 0, p, 1024), 61);
  EXPECT_EQ(p[0].y, 111) << "the first of the last 60 samples is sample 40";
  EXPECT_EQ(p[59].y, 20) << "values above 100 are drawn at 100";
  EXPECT_EQ(p[60].x, x0 + 2 + 166);
  EXPECT_EQ(p[60].y, 20);

  // "24 Hours" on a wrapped ring: one point per pixel, about 52 samples
  // apart, starting one day before the write index.
  chart.OnInput(0, 0, VK_DOWN);
  EXPECT_EQ(chart.Span(), 8640) << "down from 10 Min wraps to 24 Hours";
  ring.wrapped = true;
  ring.index = 10;
  for (int i = 0; i < kHistorySize; ++i) ring.samples[i] = static_cast<BYTE>(i % 101);
  ASSERT_EQ(chart.SeriesPoints(ring, x0, 0, p, 1024), 167);
  const int second = (10 + static_cast<int>(8640.0 / 166)) % kHistorySize;
  EXPECT_EQ(p[1].y, 111 - static_cast<int>(0.91 * ring.samples[second]));
  chart.OnInput(0, 0, VK_UP);
  EXPECT_EQ(chart.Span(), 60) << "up from 24 Hours wraps to 10 Min";
  ring = HistoryRing{};
}

TEST(Chart, PixelsAndTheSpanButtonAtBothSizes) {
  struct Size {
    int dpi, width, height;
  };
  for (const Size size : {Size{96, 240, 268}, Size{192, 480, 536}}) {
    SetDpiForTesting(size.dpi);
    CObjChart chart;
    ASSERT_TRUE(
        chart.Setup(nullptr, GetModuleHandleW(nullptr), RGB(255, 0, 0), 0, 0, L"Battery", L"Batt (%)", 43, 0, 0));
    static HistoryRing ring;
    ring = HistoryRing{};
    for (int i = 0; i < 60; ++i) ring.samples[i] = 50;
    ring.index = 60;
    ChartCanvas canvas(size.width, size.height);
    chart.PaintTo(canvas.dc, RECT{0, 0, size.width, size.height}, &ring, nullptr, nullptr);
    const int x0 = (size.width - Scale(170)) / 2;
    const int y0 = Scale(17);
    const int y50 = Scale(111) - static_cast<int>(0.91 * 50 * size.dpi / 96);
    EXPECT_EQ(GetPixel(canvas.dc, x0 + Scale(60), y50), RGB(255, 0, 0)) << size.dpi << " the series";
    EXPECT_EQ(GetPixel(canvas.dc, x0, y0 + Scale(50)), RGB(0, 0, 0)) << size.dpi << " the left edge";
    EXPECT_EQ(GetPixel(canvas.dc, x0 + Scale(100), y0 + Scale(98) - 1), RGB(128, 128, 128)) << " the bottom edge";
    EXPECT_EQ(GetPixel(canvas.dc, x0 + Scale(2) + 3 * Scale(9), y0 + Scale(30)), RGB(192, 192, 192))
        << size.dpi << " a grid line";
    EXPECT_EQ(GetPixel(canvas.dc, 2, size.height - 2), RGB(255, 255, 255)) << size.dpi << " the page";
    // The span button: the left half steps to the longer span, the right
    // half to the shorter; elsewhere a tap does nothing.
    const RECT b = chart.SpanButton();
    EXPECT_EQ(b.left, x0 + Scale(170) - Scale(33));
    EXPECT_EQ(b.top, y0 + Scale(99));
    EXPECT_FALSE(chart.OnInput(b.left - 3, b.top + 2, 0));
    EXPECT_TRUE(chart.OnInput(b.left + 2, b.top + 2, 0));
    EXPECT_EQ(chart.SpanIndex(), 1);
    EXPECT_TRUE(chart.OnInput(b.right - 2, b.top + 2, 0));
    EXPECT_EQ(chart.SpanIndex(), 0);
  }
  SetDpiForTesting(96);
}

TEST_F(MeterDialogs, DrainlogPagesKeysAndSpansKeptBetweenOpenings) {
  CDrainlogWindow& window = CDrainlogWindow::Get();
  std::wstring secondLabel;
  Drive([&] { return window.Show(nullptr); }, {[&] {
                                                 EXPECT_EQ(window.CurrentPage(), 0);
                                                 secondLabel = window.SecondBatteryLabel();
                                                 SendMessageW(window.Page(0), WM_KEYUP, VK_LEFT, 0);
                                                 EXPECT_EQ(window.CurrentPage(), 4)
                                                     << "left from the first page shows the last";
                                                 SendMessageW(window.Page(4), WM_KEYUP, VK_RIGHT, 0);
                                                 EXPECT_EQ(window.CurrentPage(), 0);
                                                 Command(window.Window(), 40029);
                                                 EXPECT_EQ(window.CurrentPage(), 2);
                                                 EXPECT_TRUE(IsWindowVisible(window.Page(2)));
                                                 EXPECT_FALSE(IsWindowVisible(window.Page(0)));
                                                 SendMessageW(window.Page(2), WM_KEYUP, VK_UP, 0);
                                                 EXPECT_EQ(window.Chart(0).SpanIndex(), 1);
                                               },
                                               [&] { Back(window.Window()); }});
  EXPECT_EQ(secondLabel, L"Backup Battery    ");
  EXPECT_FALSE(window.IsOpen());
  int kept = -1;
  Drive([&] { return window.Show(nullptr); }, {[&] {
          kept = window.Chart(0).SpanIndex();
          Command(window.Window(), 40005);
        }});
  EXPECT_EQ(kept, 1) << "the span survives closing";
}

TEST_F(MeterDialogs, ExternalBatteryFromTheRegistryWithTheVendorUtilities) {
  ce::testing::UseVirtualClock(60000, 0);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const DWORD fitted = 1;
  RegSetValueExW(key, L"ExternalBatt", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&fitted), sizeof fitted);
  RegCloseKey(key);
  Battery().SetVendorUtilities(false);
  Battery().CheckExternal(1);
  EXPECT_EQ(Battery().ExternalState(), 103) << "without the vendor's utilities there is none";
  Battery().SetVendorUtilities(true);
  ce::testing::AdvanceClock(11000);
  Battery().CheckExternal(1);
  EXPECT_EQ(Battery().ExternalState(), 101) << "fitted, its level unread";
  EXPECT_EQ(Battery().LabelText(1).find(L"?"), Battery().LabelText(1).rfind(L"?")) << Battery().LabelText(1);
  CDrainlogWindow& window = CDrainlogWindow::Get();
  std::wstring label;
  Drive([&] { return window.Show(nullptr); }, {[&] {
          label = window.SecondBatteryLabel();
          Command(window.Window(), 40005);
        }});
  EXPECT_EQ(label, L"External Battery");
  // The meter is one for the whole program: it is left with no external
  // battery, as the other tests expect.
  const DWORD none = 0;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  RegSetValueExW(key, L"ExternalBatt", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&none), sizeof none);
  RegCloseKey(key);
  ce::testing::AdvanceClock(11000);
  Battery().CheckExternal(1);
  EXPECT_EQ(Battery().ExternalState(), 103);
  Battery().SetVendorUtilities(false);
  ce::testing::UseRealClock();
}

TEST(Drainlog, BatteryValuesAndFreeText) {
  EXPECT_EQ(DrainlogBatteryValue(64, 1), 64);
  const BYTE flags[] = {1, 2, 4, 8, 128, 0};
  const int values[] = {100, 20, 5, 101, 103, 103};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(DrainlogBatteryValue(255, flags[i]), values[i]) << int{flags[i]};
  wchar_t text[48];
  FreeText(L"%d.%d MB free    ", 10188, text, 48);  // 9.949 MB
  EXPECT_STREQ(text, L"9.9 MB free    ");
}

TEST_F(MeterDialogs, NetworkInformationFromPinnedAdapters) {
  ce::test::ScopedSetting interfaces{"DEVICE_NETWORK_INTERFACES", "wlan0 eth1"};
  ce::test::ScopedSetting address{"DEVICE_NETWORK_ETH1_ADDRESS", "10.1.2.3/255.255.0.0"};
  ce::test::ScopedSetting mac{"DEVICE_NETWORK_ETH1_MAC", "00:1a:2b:3c:4d:5e"};
  ce::test::ScopedSetting received{"DEVICE_NETWORK_ETH1_IN_OCTETS", "1234567"};
  ce::test::ScopedSetting sent{"DEVICE_NETWORK_ETH1_OUT_OCTETS", "89"};
  ce::test::ScopedSetting gateway{"DEVICE_NETWORK_GATEWAY", "10.1.0.1"};
  ce::test::ScopedSetting dns{"DEVICE_NETWORK_DNS", "10.1.0.53 10.1.0.54"};
  ce::test::ScopedSetting host{"DEVICE_NETWORK_HOST_NAME", "pocket"};
  ce::test::ScopedSetting domain{"DEVICE_NETWORK_DOMAIN_NAME", "example.test"};
  ce::testing::ReloadDevice();
  std::wcscpy(CMeterSettings::Get().deviceName, L"eth1");
  CNetworkInfoDialog& dialog = CNetworkInfoDialog::Get();
  const wchar_t* labels[8] = {};
  wchar_t values[3][8][40] = {};
  int counts[3] = {};
  int selected = -1;
  bool infoAfterNetwork = true;
  const INT_PTR result = Drive([&] { return dialog.Show(nullptr); }, {[&] {
                                                                        selected = Selected(dialog.Page(0), 1033);
                                                                        for (int page = 0; page < 3; ++page)
                                                                          counts[page] =
                                                                              dialog.Rows(page, labels, values[page]);
                                                                        Command(dialog.Window(), 40012);
                                                                        infoAfterNetwork = dialog.InfoPageShown();
                                                                        EXPECT_TRUE(IsWindowVisible(dialog.Page(1)));
                                                                      },
                                                                      [&] { Back(dialog.Window()); }});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(selected, 1) << "the chosen adapter is selected";
  EXPECT_FALSE(infoAfterNetwork);
  ASSERT_EQ(counts[0], 6);
  EXPECT_STREQ(values[0][1], L"pocket");
  EXPECT_STREQ(values[0][2], L"10.1.2.3");
  EXPECT_STREQ(values[0][3], L"00-1A-2B-3C-4D-5E");
  EXPECT_STREQ(values[0][4], L"1,234,567");
  EXPECT_STREQ(values[0][5], L"89");
  ASSERT_EQ(counts[1], 7);
  EXPECT_STREQ(values[1][1], L"255.255.0.0");
  EXPECT_STREQ(values[1][2], L"10.1.0.1");
  EXPECT_STREQ(values[1][3], L"10.1.0.53");
  EXPECT_STREQ(values[1][4], L"10.1.0.54");
  EXPECT_STREQ(values[1][5], L"example.test");
  EXPECT_STREQ(values[1][6], L"Disabled");
  ASSERT_EQ(counts[2], 6);
  EXPECT_STREQ(values[2][0], L"Disabled");
  EXPECT_STREQ(values[2][4], L"") << "no lease known";
  ce::testing::ReloadDevice();
}

// A value too long for its row (a host name of 300 letters) keeps to the
// room right of its label: the label's pixels and the gap after it are as
// with a short name.
TEST_F(MeterDialogs, ALongValueLeavesItsLabelAlone) {
  ce::test::ScopedSetting interfaces{"DEVICE_NETWORK_INTERFACES", "eth1"};
  ce::test::ScopedSetting address{"DEVICE_NETWORK_ETH1_ADDRESS", "10.1.2.3/255.255.0.0"};
  std::wcscpy(CMeterSettings::Get().deviceName, L"eth1");
  CNetworkInfoDialog& dialog = CNetworkInfoDialog::Get();
  // The "Host Name:" row and a little beyond its label, as the screen shows it.
  auto labelArea = [&] {
    HWND page = dialog.Page(0);
    UpdateWindow(page);
    HDC dc = GetDC(page);
    HFONT font = CreateFontW(Scale(14), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Nina");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE label{};
    GetTextExtentPoint32W(dc, L"Host Name:", 10, &label);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(page, dc);
    POINT origin{0, 0};
    ClientToScreen(page, &origin);
    std::vector<COLORREF> pixels;
    const int top = origin.y + Scale(5 + 18);
    for (int y = top; y < top + Scale(18); ++y) {
      for (int x = origin.x; x < origin.x + Scale(4) + label.cx + Scale(4); ++x) {
        pixels.push_back(ce::testing::ScreenPixel(x, y));
      }
    }
    return pixels;
  };
  std::vector<COLORREF> areas[2];
  int n = 0;
  for (const std::string& name : {std::string("pocket"), std::string(300, 'm')}) {
    ce::test::ScopedSetting host{"DEVICE_NETWORK_HOST_NAME", name};
    ce::testing::ReloadDevice();
    std::vector<COLORREF>& area = areas[n++];
    Drive([&] { return dialog.Show(nullptr); }, {[&] { area = labelArea(); }, [&] { Back(dialog.Window()); }});
  }
  ASSERT_FALSE(areas[0].empty());
  EXPECT_EQ(areas[0], areas[1]) << "the long host name is drawn over its label";
  ce::testing::ReloadDevice();
}

// A top-level window where the shell's title bar would be.
struct FakeTitleBar {
  HWND hwnd = nullptr;
  FakeTitleBar(int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"FakeTitleBar";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, L"FakeTitleBar", L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                           nullptr, nullptr);
  }
  ~FakeTitleBar() {
    DestroyWindow(hwnd);
    UnregisterClassW(L"FakeTitleBar", nullptr);
  }
};

TEST_F(MeterDialogs, TitleBarIndicatorsFollowTheSettings) {
  CTitleBarMeters& meters = CTitleBarMeters::Get();
  HDC screen = GetDC(nullptr);
  meters.LoadPictures(screen);
  ReleaseDC(nullptr, screen);
  CMeterSettings& s = CMeterSettings::Get();
  s.bt = 1;
  s.mtb = 1;
  {
    FakeTitleBar wrong(GetSystemMetrics(SM_CXSCREEN), 30);
    meters.ApplySettings();
    EXPECT_EQ(meters.BatteryWindow(), nullptr) << "no title bar of the expected size: nothing shown";
    EXPECT_EQ(meters.MemoryWindow(), nullptr);
  }
  meters.Release();
  screen = GetDC(nullptr);
  meters.LoadPictures(screen);
  ReleaseDC(nullptr, screen);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  FakeTitleBar bar(width, Scale(26));
  CTitleBarMeters::DefaultPositions(width, s);
  struct Case {
    DWORD bt, mtb;
  };
  for (const Case c : {Case{1, 0}, Case{0, 1}, Case{1, 1}, Case{0, 0}}) {
    s.bt = c.bt;
    s.mtb = c.mtb;
    meters.ApplySettings();
    EXPECT_EQ(meters.BatteryWindow() != nullptr && IsWindow(meters.BatteryWindow()), c.bt == 1) << c.bt << c.mtb;
    EXPECT_EQ(meters.MemoryWindow() != nullptr && IsWindow(meters.MemoryWindow()), c.mtb == 1) << c.bt << c.mtb;
    if (HWND battery = meters.BatteryWindow()) {
      RECT r{};
      GetWindowRect(battery, &r);
      EXPECT_EQ(GetParent(battery) == bar.hwnd || GetWindow(battery, GW_OWNER) == bar.hwnd, true);
      EXPECT_GT(r.right - r.left, 0);
      UpdateWindow(battery);
    }
    if (HWND memory = meters.MemoryWindow()) UpdateWindow(memory);
    if (c.bt == 1 && c.mtb == 1) {
      // At their first places both stay in the bar with a margin of it
      // below them, apart, and clear of the clock's corner.
      RECT battery{}, memory{};
      GetWindowRect(meters.BatteryWindow(), &battery);
      GetWindowRect(meters.MemoryWindow(), &memory);
      for (const RECT& r : {battery, memory}) {
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, width - Scale(44));
        EXPECT_LE(r.bottom, Scale(24));
      }
      const bool apart = battery.right <= memory.left || memory.right <= battery.left || battery.bottom <= memory.top ||
                         memory.bottom <= battery.top;
      EXPECT_TRUE(apart);
    }
  }
  meters.Release();
}

TEST(TitleBar, MemoryValueTapCycleAndBarRows) {
  CObjMemory& memory = Memory();
  memory.programTotalKb = 64000;
  memory.programFreeKb = 32000;
  memory.storageTotalKb = 32000;
  memory.storageFreeKb = 16000;
  CTitleBarMeters& meters = CTitleBarMeters::Get();
  EXPECT_EQ(meters.MemoryValue(), 33 + 17);
  memory.programTotalKb = 0;
  memory.storageTotalKb = 0;
  EXPECT_EQ(meters.MemoryValue(), 0) << "no figures: nothing in use, no division by zero";
  CObjStorage& storage = Storage();
  storage.cards[0].used = 10;
  storage.cards[1].used = 20;
  storage.cards[2].used = 255;
  EXPECT_TRUE(meters.ShowsMemory());
  meters.NextMemoryView();
  EXPECT_FALSE(meters.ShowsMemory());
  EXPECT_EQ(meters.CardIndex(), 0);
  EXPECT_EQ(meters.MemoryValue(), 10);
  meters.NextMemoryView();
  EXPECT_EQ(meters.CardIndex(), 1);
  meters.NextMemoryView();
  EXPECT_TRUE(meters.ShowsMemory()) << "after the last card in use: memory again";
  storage.cards[0] = StorageCard{};
  storage.cards[1] = StorageCard{};

  // Bars: three rows of distinct colours, 20 x 3 pixels each.
  const COLORREF rows[3] = {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90)};
  ChartCanvas bars(20, 9);
  for (int r = 0; r < 3; ++r) {
    const RECT row{0, r * 3, 20, r * 3 + 3};
    HBRUSH brush = CreateSolidBrush(rows[r]);
    FillRect(bars.dc, &row, brush);
    DeleteObject(brush);
  }
  ChartCanvas out(20, 3);
  DrawTitleBarBar(out.dc, 0, 0, bars.dc, 20, 9, 150, 0, 1);
  EXPECT_EQ(GetPixel(out.dc, 0, 1), rows[2]) << "above 100: the third row whole";
  EXPECT_EQ(GetPixel(out.dc, 19, 1), rows[2]);
  DrawTitleBarBar(out.dc, 0, 0, bars.dc, 20, 9, 50, 0, 1);
  EXPECT_EQ(GetPixel(out.dc, 9, 1), rows[1]) << "the cut row over the first half";
  EXPECT_EQ(GetPixel(out.dc, 10, 1), rows[0]) << "the full row beyond it";
}

TEST(AlertSounds, InstalledOnceAndTheLowBatteryAlertPlaysOnce) {
  ce::testing::UseVirtualClock(100000, 0);
  EXPECT_EQ(InstallAlertSounds(GetModuleHandleW(nullptr)), 4);
  EXPECT_EQ(InstallAlertSounds(GetModuleHandleW(nullptr)), 0) << "present sounds are left alone";
  HRSRC found = FindResourceW(GetModuleHandleW(nullptr), L"BIL.wav", L"WAVE");
  ASSERT_NE(found, nullptr);
  const DWORD soundBytes = SizeofResource(GetModuleHandleW(nullptr), found) - 44;
  CMeterSettings& s = CMeterSettings::Get();
  s.vbl = 1;
  s.vblv = 25;
  s.vfreq = 0;
  ce::test::ScopedSetting percent{"DEVICE_POWER_BATTERY_PERCENT", "12"};
  ce::test::ScopedSetting flag{"DEVICE_POWER_BATTERY_FLAG", "2"};
  ce::testing::TakePlayedAudio();
  std::size_t played = 0;
  for (int poll = 0; poll < 3; ++poll) {
    Battery().CheckExternal(1);
    ce::testing::AdvanceClock(11000);
    for (const auto& buffer : ce::testing::TakePlayedAudio()) {
      if (buffer.format.rate == 11025) played += buffer.bytes.size();
    }
  }
  EXPECT_EQ(played, soundBytes) << "the low-battery sound, once while the level stays low";
  ce::testing::UseRealClock();
}

TEST_F(MeterDialogs, NetworkCountersRepaintOnlyOnTheInfoPageAndOnlyWhenChanged) {
  ce::test::ScopedSetting interfaces{"DEVICE_NETWORK_INTERFACES", "eth1"};
  ce::test::ScopedSetting received{"DEVICE_NETWORK_ETH1_IN_OCTETS", "1000"};
  ce::testing::ReloadDevice();
  CNetworkInfoDialog& dialog = CNetworkInfoDialog::Get();
  auto tick = [&dialog](const char* octets) {
    ::setenv("DEVICE_NETWORK_ETH1_IN_OCTETS", octets, 1);
    ce::testing::ReloadDevice();
    HWND info = dialog.Page(0);
    ValidateRect(info, nullptr);
    SendMessageW(dialog.Window(), WM_TIMER, kNetworkTimer, 0);
    RECT update{};
    return GetUpdateRect(info, &update, FALSE) != FALSE;
  };
  bool same = true, changed = false, hidden = true;
  Drive([&] { return dialog.Show(nullptr); }, {[&] {
          UpdateWindow(dialog.Page(0));  // the counters as first painted
          same = tick("1000");
          UpdateWindow(dialog.Page(0));
          changed = tick("2000");
          UpdateWindow(dialog.Page(0));
          Command(dialog.Window(), 40012);
          tick("3000");
          hidden = dialog.Info().bytesReceived == 3000;
          Back(dialog.Window());
        }});
  EXPECT_FALSE(same) << "unchanged counters: no repaint";
  EXPECT_TRUE(changed);
  EXPECT_FALSE(hidden) << "the Network page shown: the counters are not read";
  ce::testing::ReloadDevice();
}

}  // namespace
