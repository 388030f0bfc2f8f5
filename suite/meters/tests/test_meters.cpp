#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "ce/homeplugin.h"
#include "ce/strconv.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "meter_settings.h"
#include "obj_banks.h"
#include "obj_banks_meters.h"
#include "obj_battery.h"
#include "obj_memory.h"
#include "obj_meter.h"
#include "obj_network.h"
#include "title_bar_meters.h"
#include "scoped_setting.h"

namespace pelmora {
void RequestRedraw() {}
}  // namespace pelmora

namespace {

using namespace pelmora;

void WriteDword(HKEY key, const wchar_t* name, DWORD value) {
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

TEST(MeterSettings, DefaultsClampAndRoundTrip) {
  RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora");
  CMeterSettings s;
  ASSERT_TRUE(s.Open(false, false));
  EXPECT_EQ(s.d[2], 4u);
  EXPECT_EQ(s.d[3], 0u);
  s.Open(true, false);
  EXPECT_EQ(s.d[2], 5u);
  s.Open(false, true);
  EXPECT_EQ(s.d[2], 3u);
  EXPECT_EQ(s.d[3], 4u);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  WriteDword(key, L"BS", 5);
  WriteDword(key, L"BD", 2);  // bank 1 carries no digit
  WriteDword(key, L"BD2", 1);
  RegCloseKey(key);
  s.Load();
  EXPECT_EQ(s.bs, 2u) << "any size above 1 is Tiny";
  EXPECT_EQ(s.bd[1], 2u);
  EXPECT_EQ(s.bd[2], 1u);
  EXPECT_EQ(s.bc.average, 90u);
  EXPECT_EQ(s.bc.count, 1u);
  EXPECT_EQ(s.bl.average, 144u);
  EXPECT_STREQ(s.deviceName, L"");
  EXPECT_EQ(s.sci[3].picture, 255);

  s.bl = {200, 5, 180};
  s.vfreq = 9;
  std::wcscpy(s.deviceName, L"wlan0");
  s.SaveStatistics();
  s.Save();
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const std::wstring folder = L"\\Program Files\\Suite Folder";
  RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>((folder.size() + 1) * 2));
  RegCloseKey(key);
  CMeterSettings t;
  t.Open(false, false);
  t.Load();
  // Texts come back whole: the registry counts two bytes a character.
  EXPECT_STREQ(t.deviceName, L"wlan0");
  EXPECT_EQ(t.installDir, folder);
  EXPECT_EQ(t.bl.average, 200u);
  EXPECT_EQ(t.bl.count, 5u);
  EXPECT_EQ(t.RepeatMinutes(), 0) << "an out-of-range repeat index means no repeat";
  DWORD updated = 0;
  DWORD size = sizeof updated;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, L"Updated", nullptr, nullptr, reinterpret_cast<BYTE*>(&updated), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(updated, 1u);
  RegCloseKey(key);
  t.Close();
  s.Close();
  t.Save();  // a closed key ignores saves
}

TEST(MeterBase, SizesAndDigitTablesFollowTheDpi) {
  struct Case {
    int dpi, width, bigMain, bigLabel, smallMain, smallLabel, tiny;
  };
  for (const Case c : {Case{96, 49, 30, 13, 21, 12, 15}, Case{192, 98, 60, 26, 42, 24, 30}}) {
    SetDpiForTesting(c.dpi);
    CObjMeter m;
    EXPECT_EQ(m.GetWidth(), c.width);
    EXPECT_EQ(m.GetMainHeight(kBig), c.bigMain);
    EXPECT_EQ(m.GetLabelHeight(kBig), c.bigLabel);
    EXPECT_EQ(m.GetMainHeight(kSmall), c.smallMain);
    EXPECT_EQ(m.GetLabelHeight(kSmall), c.smallLabel);
    EXPECT_EQ(m.GetMainHeight(kTiny), c.tiny);
    EXPECT_EQ(m.GetLabelHeight(kTiny), 0);
  }
  SetDpiForTesting(96);
  const BYTE h[12] = {0, 4, 7, 11, 15, 19, 23, 27, 31, 35, 39, 44};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(HorizontalDigitOffsets()[i], h[i]);
  for (int k = 0; k < 13; ++k) EXPECT_EQ(VerticalDigitOffsets()[k], 5 * k);
}

// A bitmap of three rows of distinct colours in its own DC.
MeterBitmap MakeRows(HDC screen, int width, int rowHeight, const COLORREF rows[3]) {
  MeterBitmap b;
  b.dc = CreateCompatibleDC(screen);
  SelectObject(b.dc, CreateCompatibleBitmap(screen, width, rowHeight * 3));
  for (int r = 0; r < 3; ++r) {
    RECT rect = {0, r * rowHeight, width, (r + 1) * rowHeight};
    HBRUSH brush = CreateSolidBrush(rows[r]);
    FillRect(b.dc, &rect, brush);
    DeleteObject(brush);
  }
  b.width = width;
  b.height = rowHeight * 3;
  return b;
}

TEST(BarGauge, ColourRowsLengthsAndFrameStates) {
  SetDpiForTesting(96);
  HDC screen = GetDC(nullptr);
  const COLORREF barRows[3] = {0x0000FF, 0x00FFFF, 0x00FF00};
  const COLORREF frameRows[3] = {0xFF0000, 0x000000, 0xFFFF00};
  const MeterBitmap bar = MakeRows(screen, 40, 6, barRows);
  const MeterBitmap frame = MakeRows(screen, 44, 10, frameRows);
  HDC target = CreateCompatibleDC(screen);
  SelectObject(target, CreateCompatibleBitmap(screen, 60, 20));
  struct Case {
    int value;
    BOOL reverse;
    COLORREF barColour;
    int length;
  };
  for (const Case c : {Case{35, 0, 0x0000FF, 14}, Case{36, 0, 0x00FFFF, 14}, Case{50, 0, 0x00FFFF, 20},
                       Case{51, 0, 0x00FF00, 20}, Case{80, 1, 0x0000FF, 32}}) {
    RECT all = {0, 0, 60, 20};
    HBRUSH white = CreateSolidBrush(0xFFFFFF);
    FillRect(target, &all, white);
    DeleteObject(white);
    CBarGauge gauge;
    gauge.value = c.value;
    gauge.reverse = c.reverse;
    gauge.Draw(target, frame, bar, {}, {}, 0);
    // The bar starts at the 2-pixel inset and is value% of the bar wide.
    EXPECT_EQ(GetPixel(target, 2, 2) & 0xFFFFFF, c.barColour) << c.value;
    EXPECT_EQ(GetPixel(target, 2 + c.length - 1, 3) & 0xFFFFFF, c.barColour) << c.value;
    EXPECT_EQ(GetPixel(target, 2 + c.length, 3) & 0xFFFFFF, 0xFF0000u) << c.value;
  }
  for (const int state : {101, 102}) {
    CBarGauge gauge;
    gauge.value = state;
    gauge.Draw(target, frame, bar, {}, {}, 0);
    EXPECT_EQ(GetPixel(target, 2, 2) & 0xFFFFFF, state == 101 ? 0x000000u : 0xFFFF00u);
  }
  ReleaseDC(nullptr, screen);
}

TEST(Battery, ValueMappingAndLabels) {
  EXPECT_EQ(BatteryValue(42, 1), 42);
  const std::pair<BYTE, int> flags[] = {{1, 100}, {2, 20}, {4, 5}, {8, 101}, {128, 103}, {0, 102}};
  for (const auto& [flag, value] : flags) EXPECT_EQ(BatteryValue(255, flag), value) << int(flag);
}

TEST(Battery, LabelsFromPinnedPowerStatus) {
  ce::testing::UseVirtualClock(20000, 0);
  CMeterSettings& s = CMeterSettings::Get();
  s.bl = {144, 1, 144};
  s.bc = {90, 1, 90};
  struct Case {
    const char* percent;
    const char* flag;
    const char* ac;
    int mode;
    const wchar_t* label;
  };
  const Case cases[] = {
      {"50", "1", "0", 0, L"     1h 48m r    "},        {"9", "4", "0", 0, L"          ? r         "},
      {"70", "8", "1", 0, L"          45m c         "}, {"100", "1", "1", 1, L"          Full          "},
      {"70", "8", "1", 2, L"     Charging     "},
  };
  for (const Case& c : cases) {
    ce::test::ScopedSetting percent{"DEVICE_POWER_BATTERY_PERCENT", c.percent};
    ce::test::ScopedSetting flag{"DEVICE_POWER_BATTERY_FLAG", c.flag};
    ce::test::ScopedSetting ac{"DEVICE_POWER_AC_LINE", c.ac};
    ce::testing::AdvanceClock(11000);
    CObjBattery b;
    b.Init(nullptr, nullptr);
    b.Update();
    EXPECT_EQ(b.LabelText(c.mode), c.label) << c.percent << " mode " << c.mode;
  }
  ce::testing::UseRealClock();
}

// A device without a battery charts nothing: no sample says "full".
TEST(Battery, NoBatteryLeavesTheHistoryEmpty) {
  ce::testing::UseVirtualClock(20000, 0);
  for (const char* percent : {"none", "40"}) {
    ce::test::ScopedSetting battery{"DEVICE_BATTERY_PERCENT", percent};
    CObjBattery b;
    b.Init(nullptr, nullptr);
    for (int i = 0; i < 4; ++i) {
      ce::testing::AdvanceClock(11000);
      b.Update();
    }
    const HistoryRing& ring = b.History();
    if (std::string(percent) == "none") {
      EXPECT_EQ(b.Status().BatteryFlag, BATTERY_FLAG_NO_BATTERY);
      EXPECT_EQ(ring.index, 0);
      EXPECT_FALSE(ring.wrapped);
    } else {
      ASSERT_GT(ring.index, 0);
      EXPECT_EQ(ring.samples[ring.index - 1], 40);
    }
  }
  ce::testing::UseRealClock();
}

TEST(Memory, TextsAndPercentages) {
  struct Case {
    bool percent;
    int used;
    std::int64_t freeKb;
    bool card;
    const wchar_t* text;
  };
  const Case cases[] = {
      {false, 0, 9 * 1024 + 973, false, L"     9.9 MB     "},  // 9.95 MB
      {false, 0, 10 * 1024, false, L"     10 MB     "},
      {false, 0, 10 * 1024, true, L"     10.0 MB     "},
      {false, 0, 100 * 1024, true, L"     100 MB     "},
      {false, 0, 0, false, L"          ?          "},
      {false, 255, -1, true, L"              "},
      {true, 42, 0, false, L"     42%     "},
      {true, 255, -1, true, L"          ?          "},
  };
  for (const Case& c : cases) EXPECT_EQ(MemoryText(c.percent, c.used, c.freeKb, c.card), c.text) << c.freeKb;
  EXPECT_EQ(UsedPercent(25, 100), 75);
  EXPECT_EQ(UsedPercent(0, 0), 0) << "an empty total is not a division";
}

TEST(Storage, CardsAreScannedAndNetworkSharesSkipped) {
  ce::testing::UseVirtualClock(20000, 0);
  ce::test::ScopedSetting cards{"DEVICE_STORAGE_CARDS", "SD Card;Network Share;Built-in Storage"};
  CreateDirectoryW(L"\\SD Card", nullptr);
  CreateDirectoryW(L"\\Network Share", nullptr);
  CreateDirectoryW(L"\\Built-in Storage", nullptr);
  CMeterSettings& s = CMeterSettings::Get();
  for (CardInfo& info : s.sci) info = CardInfo{};
  CObjStorage storage;
  storage.Init(nullptr, nullptr);
  EXPECT_TRUE(storage.Update());
  ASSERT_EQ(storage.cardCount, 2);
  const StorageCard& first = storage.cards[0];
  EXPECT_LE(first.used, 100);
  EXPECT_EQ(first.picture, first.name == L"Built-in Storage" ? 0 : 4);
  // Both folders live on the same host volume, so they have one size: the
  // second is matched to the picture remembered for that size.
  EXPECT_EQ(storage.cards[1].picture, first.picture);
  EXPECT_NE(storage.cards[1].name.find(L"Network"), 0u);
  EXPECT_EQ(storage.cards[2].used, 255);
  EXPECT_FALSE(storage.Update()) << "nothing changed";
  ce::testing::UseRealClock();
}

TEST(Network, NumberTextsAndHistoryValues) {
  const std::pair<double, const wchar_t*> counts[] = {
      {1000, L"1000 b"}, {1001, L"1.0 Kb"}, {1000000, L"1000.0 Kb"}, {1000001, L"1.0 Mb"}, {1000000001, L"1.0 Gb"}};
  for (const auto& [count, text] : counts) EXPECT_EQ(NetworkNumberText(count, false), text);
  EXPECT_EQ(NetworkNumberText(1001, true), L"1.0 Kbps");
  // The chart's scale: 400000 B/s fills it.
  EXPECT_EQ(RateHistoryValue(400000), 100);
  EXPECT_EQ(RateHistoryValue(60000), 15);
  EXPECT_EQ(RateHistoryValue(1e9), 100);
}

// The pinned adapter has a name no host adapter has: the platform carries
// each adapter's counters on across the program's life, so counters pinned
// below an earlier reading (the host's own, in another test) would count as
// a host reset.
TEST(Network, ActivityStatesFromPinnedCounters) {
  ce::testing::UseVirtualClock(20000, 0);
  ce::test::ScopedSetting interfaces{"DEVICE_NETWORK_INTERFACES", "pin0 wlan0"};
  CMeterSettings& s = CMeterSettings::Get();
  s.disableNetMon = 0;
  std::wcscpy(s.deviceName, L"gone0");
  CObjNetwork net;
  {
    ce::test::ScopedSetting in{"DEVICE_NETWORK_PIN0_IN_OCTETS", "1000"};
    ce::test::ScopedSetting out{"DEVICE_NETWORK_PIN0_OUT_OCTETS", "500"};
    net.Init(nullptr, nullptr);
  }
  EXPECT_STREQ(s.deviceName, L"pin0") << "a missing saved name falls back to the first adapter";
  struct Step {
    const char* in;
    const char* out;
    int state;
  };
  const Step steps[] = {
      {"1000", "500", 0}, {"3000", "500", 1}, {"3000", "900", 2}, {"4000", "1900", 3}, {"4000", "1900", 0}};
  for (const Step& step : steps) {
    ce::test::ScopedSetting in{"DEVICE_NETWORK_PIN0_IN_OCTETS", step.in};
    ce::test::ScopedSetting out{"DEVICE_NETWORK_PIN0_OUT_OCTETS", step.out};
    ce::testing::AdvanceClock(1000);
    net.Update();
    EXPECT_EQ(net.state, step.state) << step.in << "/" << step.out;
  }
  EXPECT_EQ(net.Text(0), L"4.0 Kb");
  s.disableNetMon = 1;
  EXPECT_TRUE(net.Update());
  EXPECT_EQ(net.state, 4);
  EXPECT_FALSE(net.Update()) << "already off";
  s.disableNetMon = 0;
  ce::testing::UseRealClock();
}

TEST(Alerts, PlayOnceOrOnTheRepeatInterval) {
  ce::testing::UseVirtualClock(5000, 0);
  CMeterSettings& s = CMeterSettings::Get();
  s.vfreq = 0;
  std::int64_t last = 0;
  EXPECT_FALSE(PlayAlert(1, &last, L"BIL.wav")) << "quiet in the first 10 seconds";
  ce::testing::AdvanceClock(6000);
  EXPECT_FALSE(PlayAlert(0, &last, L"BIL.wav")) << "alert off";
  EXPECT_TRUE(PlayAlert(1, &last, L"BIL.wav"));
  ce::testing::AdvanceClock(600000);
  EXPECT_FALSE(PlayAlert(1, &last, L"BIL.wav")) << "no repeat: once per low period";
  last = 0;  // the level rose above the threshold
  EXPECT_TRUE(PlayAlert(1, &last, L"BIL.wav"));
  std::int64_t oneOff = -1;
  EXPECT_TRUE(PlayAlert(1, &oneOff, L"BFC.wav")) << "the charged alert plays without a repeat setting";
  s.vfreq = 1;  // one minute
  ce::testing::AdvanceClock(30000);
  EXPECT_FALSE(PlayAlert(1, &last, L"BIL.wav"));
  ce::testing::AdvanceClock(31000);
  EXPECT_TRUE(PlayAlert(1, &last, L"BIL.wav"));
  s.vfreq = 0;
  ce::testing::UseRealClock();
}

// The colour a pixel of `colour` reads back as on this screen's format.
COLORREF AsStored(HDC screen, COLORREF colour) {
  HDC scratch = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
  HGDIOBJ old = SelectObject(scratch, bitmap);
  SetPixel(scratch, 0, 0, colour);
  const COLORREF stored = GetPixel(scratch, 0, 0);
  SelectObject(scratch, old);
  DeleteObject(bitmap);
  DeleteDC(scratch);
  return stored;
}

// A white off-screen picture of the screen's format, selected into a DC.
struct WhiteCanvas {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  WhiteCanvas(HDC screen, int width, int height)
      : dc(CreateCompatibleDC(screen)), bitmap(CreateCompatibleBitmap(screen, width, height)) {
    old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH white = CreateSolidBrush(0xFFFFFF);
    FillRect(dc, &all, white);
    DeleteObject(white);
  }
  ~WhiteCanvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  WhiteCanvas(const WhiteCanvas&) = delete;
  WhiteCanvas& operator=(const WhiteCanvas&) = delete;
};

// Counts the pixels of `colour` in a box.
int CountPixels(HDC dc, int x, int y, int width, int height, COLORREF colour) {
  int count = 0;
  for (int j = y; j < y + height; ++j) {
    for (int i = x; i < x + width; ++i) count += GetPixel(dc, i, j) == colour ? 1 : 0;
  }
  return count;
}

TEST(Battery, SmallAndTinyMetersShowTheLevelAndTheDigitsMode) {
  ce::testing::UseVirtualClock(20000, 0);
  ce::test::ScopedSetting ac{"DEVICE_POWER_AC_LINE", "0"};
  CMeterSettings& s = CMeterSettings::Get();
  s.bl = {144, 1, 144};
  HDC screen = GetDC(nullptr);
  const COLORREF fill = AsStored(screen, 0x50B040);
  const COLORREF over = AsStored(screen, 0x40C0F0);
  const COLORREF ink = AsStored(screen, 0x101010);
  // Small shows digits by "Show percent", Tiny by the bank's display mode
  // (0 time left, 1 percent, 2 none). -1: above 100, the third row whole.
  struct Case {
    int size;
    const char* percent;
    const char* flag;
    DWORD setting;
    int filled;
    bool digits;
  };
  const Case cases[] = {
      {kSmall, "0", "2", 0, 0, false},  {kSmall, "50", "1", 0, 50, false},  {kSmall, "100", "1", 0, 100, false},
      {kSmall, "50", "1", 1, 50, true}, {kSmall, "255", "0", 1, -1, false}, {kTiny, "0", "2", 2, 0, false},
      {kTiny, "50", "1", 2, 50, false}, {kTiny, "100", "1", 2, 100, false}, {kTiny, "50", "1", 1, 50, true},
      {kTiny, "50", "1", 0, 50, true},  {kTiny, "255", "0", 1, -1, false},
  };
  HINSTANCE self = GetModuleHandleW(nullptr);
  for (const int scale : {1, 2}) {
    SetDpiForTesting(96 * scale);
    CTitleBarMeters::Get().Release();
    CTitleBarMeters::Get().LoadPictures(screen);
    for (const Case& c : cases) {
      ce::test::ScopedSetting percent{"DEVICE_POWER_BATTERY_PERCENT", c.percent};
      ce::test::ScopedSetting flag{"DEVICE_POWER_BATTERY_FLAG", c.flag};
      ce::testing::AdvanceClock(11000);
      s.pim = c.setting;
      s.bd[0] = c.setting;
      CObjBattery battery;
      battery.Init(self, nullptr);
      battery.Update();
      const WhiteCanvas canvas(screen, 120, 80);
      HDC dc = canvas.dc;
      const RECT bank = {0, 0, 49 * scale, (c.size == kSmall ? 33 : 15) * scale};
      battery.Draw(dc, bank, nullptr, nullptr, c.size, 0, 0);
      // Small sits at (18, 12) and one pixel lower, Tiny at (3, 3).
      const BatteryMeterLayout& layout = c.size == kSmall ? kSmallBatteryMeter : kTinyBatteryMeter;
      const int x = (c.size == kSmall ? 18 : 3) * scale;
      const int y = (c.size == kSmall ? 12 * scale + 1 : 3 * scale);
      const int barX = x + layout.barX * scale;
      const int barY = y + layout.barY * scale;
      const int barWidth = layout.barWidth * scale;
      const int barHeight = layout.barHeight * scale;
      const std::string where = std::string(c.size == kSmall ? "Small " : "Tiny ") + c.percent + " setting " +
                                std::to_string(c.setting) + " at x" + std::to_string(scale);
      if (c.filled < 0) {
        EXPECT_EQ(CountPixels(dc, barX, barY, barWidth, barHeight, over), barWidth * barHeight) << where;
      } else {
        // Fill pixels under the digits are covered; the row count of the
        // widest row is the filled width.
        int widest = 0;
        for (int row = 0; row < barHeight; ++row) {
          widest = std::max(widest, CountPixels(dc, barX, barY + row, barWidth, 1, fill));
        }
        if (c.digits) {
          EXPECT_LE(widest, barWidth * c.filled / 100) << where;
          EXPECT_GT(widest, 0) << where;
        } else {
          EXPECT_EQ(widest, barWidth * c.filled / 100) << where;
        }
      }
      const int digitPixels = CountPixels(dc, x, y, layout.width * scale, layout.height * scale, ink);
      EXPECT_EQ(digitPixels > 0, c.digits) << where;
    }
  }
  // Without its pictures the bank draws nothing where the meter goes, and
  // a picture smaller than the layout is refused.
  SetDpiForTesting(96);
  CTitleBarMeters::Get().Release();
  CTitleBarMeters::Get().LoadPictures(screen);
  s.pim = 1;
  s.bd[0] = 1;
  ce::test::ScopedSetting percent{"DEVICE_POWER_BATTERY_PERCENT", "50"};
  ce::test::ScopedSetting flag{"DEVICE_POWER_BATTERY_FLAG", "1"};
  ce::testing::AdvanceClock(11000);
  CObjBattery bare;
  bare.Init(nullptr, nullptr);
  bare.Update();
  const WhiteCanvas canvas(screen, 60, 20);
  HDC dc = canvas.dc;
  const COLORREF blank = AsStored(screen, 0xFFFFFF);
  bare.Draw(dc, RECT{0, 0, 49, 15}, nullptr, nullptr, kTiny, 0, 0);
  EXPECT_EQ(CountPixels(dc, 0, 0, 49, 15, blank), 49 * 15);
  const WhiteCanvas small(screen, 20, 8);
  CTitleBarMeters::Get().DrawBatteryMeter(dc, 0, 0, MeterBitmap{small.dc, 20, 8}, kTinyBatteryMeter, 50, 1, -1);
  EXPECT_EQ(CountPixels(dc, 0, 0, 49, 15, blank), 49 * 15);
  CTitleBarMeters::Get().Release();
  s.pim = 1;
  s.bd[0] = 0;
  ReleaseDC(nullptr, screen);
  ce::testing::UseRealClock();
}

// What the icon banks draw stays inside their banks at both DPIs, and the
// Big battery gauge fits between the bank's top and the label line, left of
// the battery picture.
TEST(Banks, IconsAndTheBigGaugeStayInsideTheirBanks) {
  HDC screen = GetDC(nullptr);
  const COLORREF blank = AsStored(screen, 0xFFFFFF);
  for (const int scale : {1, 2}) {
    SetDpiForTesting(96 * scale);
    for (CObjMeter* meter : {static_cast<CObjMeter*>(&LeftIcon()), static_cast<CObjMeter*>(&RightIcons())}) {
      meter->Init(GetModuleHandleW(nullptr), nullptr);  // the pictures of this DPI
      for (int size = 0; size < 3; ++size) {
        const int width = meter->GetWidth();
        const int height = meter->GetMainHeight(size) + meter->GetLabelHeight(size);
        const WhiteCanvas canvas(screen, 100 * scale, 50 * scale);
        meter->Draw(canvas.dc, RECT{0, 0, width, height}, nullptr, nullptr, size, -1, 0);
        const int inside = CountPixels(canvas.dc, 0, 0, width, height, blank);
        const int all = CountPixels(canvas.dc, 0, 0, 100 * scale, 50 * scale, blank);
        EXPECT_LT(inside, width * height) << "scale " << scale << " size " << size << ": nothing drawn";
        EXPECT_EQ(all - inside, 100 * scale * 50 * scale - width * height)
            << "scale " << scale << " size " << size << ": drawn outside the bank";
      }
    }
    SharedBars bars;
    bars.Load(GetModuleHandleW(nullptr));
    const MeterBitmap frame = bars.frameV.Bitmap();
    const MeterBitmap bar = bars.barV.Bitmap();
    ASSERT_NE(frame.dc, nullptr);
    ASSERT_NE(bar.dc, nullptr);
    EXPECT_LE(Scale(3) + frame.height / 3, Scale(30)) << "scale " << scale;
    EXPECT_LE(Scale(3) + frame.width, Scale(16)) << "scale " << scale;
    EXPECT_LE(2 * Scale(2) + bar.height / 3, frame.height / 3) << "scale " << scale;
    EXPECT_LE(2 * Scale(2) + bar.width, frame.width) << "scale " << scale;
  }
  SetDpiForTesting(96);
  ReleaseDC(nullptr, screen);
}

// A meter that records which of its actions ran, and for which bank.
class RecordingMeter : public CObjMeter {
 public:
  explicit RecordingMeter(bool single = false) : m_single(single) {}
  BOOL Action(int bank) override {
    last = L"action " + std::to_wstring(bank);
    return 1;
  }
  BOOL SecondAction(int bank) override {
    last = L"second " + std::to_wstring(bank);
    return 1;
  }
  BOOL IsSingleAction() override { return m_single ? 1 : 0; }
  std::wstring last;

 private:
  bool m_single;
};

// The pen acts on the bank area it lands on, not on the focus the keys
// left: the upper area's action, the lower area's second action, a single
// action anywhere in its bank; a hold only moves the focus; the scroll
// arrows scroll.
TEST(Banks, ThePenActsOnTheAreaUnderIt) {
  SetDpiForTesting(96);
  CMeterSettings::Get().bs = kSmall;
  RecordingMeter meters[6] = {RecordingMeter(), RecordingMeter(), RecordingMeter(true),
                              RecordingMeter(), RecordingMeter(), RecordingMeter()};
  CObjBanks row;
  row.active = 1;
  row.screenWidth = 240;  // six banks of 49 pixels do not fit: the row scrolls
  for (int i = 0; i < 6; ++i) row.banks[i].meter = &meters[i];
  row.count = 6;
  row.FindLastVisible();
  row.LayoutRects();
  ASSERT_EQ(row.lastVisible, 3);
  const int upper = row.banks[1].upper.bottom - 2;
  const int lower = row.banks[1].lower.top + 2;
  const struct {
    int x, y;
    BOOL hold;
    int focus, focusUpper;
    int meter;  // the meter whose action ran, -1 none
    const wchar_t* ran;
  } cases[] = {
      {60, upper, FALSE, 1, 1, 1, L"action 0"},  {60, lower, FALSE, 1, 0, 1, L"second 0"},
      {110, lower, FALSE, 2, 1, 2, L"action 1"},  // a single action takes its whole bank
      {160, lower, TRUE, 3, 0, -1, nullptr},      // a hold moves the focus only
      {5, upper, FALSE, 0, 1, 0, L"action -1"},
  };
  for (const auto& c : cases) {
    for (RecordingMeter& m : meters) m.last.clear();
    row.OnPen(c.x, c.y, c.hold);
    EXPECT_EQ(row.focus, c.focus) << c.x << "," << c.y;
    EXPECT_EQ(row.focusUpper, c.focusUpper) << c.x << "," << c.y;
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(meters[i].last, i == c.meter ? std::wstring(c.ran) : std::wstring()) << c.x << "," << c.y;
    }
  }
  // The right arrow scrolls the row on; the left one, shown then, back.
  for (RecordingMeter& m : meters) m.last.clear();
  row.OnPen(row.screenWidth - 2, upper, FALSE);
  EXPECT_EQ(row.first, 1);
  EXPECT_EQ(row.focus, 1) << "the focus stays on a shown bank";
  EXPECT_EQ(row.banks[1].whole.left, Scale(7)) << "room for the left arrow";
  row.OnPen(2, upper, FALSE);
  EXPECT_EQ(row.first, 0);
  for (RecordingMeter& m : meters) EXPECT_TRUE(m.last.empty());
}

// A row wider than the screen shows a scroll arrow at each end it can
// scroll towards, at both DPIs.
TEST(Banks, ScrollArrowsShowWhereTheRowGoesOn) {
  HDC screen = GetDC(nullptr);
  const COLORREF arrow = AsStored(screen, 0x704830);  // the arrows' blue, as a COLORREF
  for (const int scale : {1, 2}) {
    SetDpiForTesting(96 * scale);
    CMeterSettings::Get().bs = kSmall;
    RecordingMeter meters[6];
    CObjBanks row;
    row.active = 1;
    row.screenWidth = 240 * scale;
    for (int i = 0; i < 6; ++i) row.banks[i].meter = &meters[i];
    row.count = 6;
    row.LoadArrows(GetModuleHandleW(nullptr));
    row.FindLastVisible();
    row.LayoutRects();
    const int height = Scale(33);
    const auto arrowsAt = [&](int left) {
      const WhiteCanvas canvas(screen, row.screenWidth, height);
      row.Draw(canvas.dc, RECT{0, 0, row.screenWidth, height}, FALSE);
      return CountPixels(canvas.dc, left, 0, Scale(7), height, arrow);
    };
    EXPECT_EQ(arrowsAt(0), 0) << "scale " << scale << ": nothing to the left yet";
    EXPECT_GT(arrowsAt(row.screenWidth - Scale(7)), 4 * scale * scale) << "scale " << scale;
    row.OnPen(row.screenWidth - 1, Scale(15), FALSE);
    row.OnPen(row.screenWidth - 1, Scale(15), FALSE);
    EXPECT_GT(arrowsAt(0), 4 * scale * scale) << "scale " << scale;
    EXPECT_EQ(row.lastVisible, row.count - 1);
    EXPECT_EQ(arrowsAt(row.screenWidth - Scale(7)), 0) << "scale " << scale << ": the row ends on the screen";
  }
  SetDpiForTesting(96);
  ReleaseDC(nullptr, screen);
}

// Every bank with the longest figures it shows, at Big and Small, at 96
// and 192 DPI: nothing is drawn outside the bank, and no label reaches the
// bank's last columns, where a cut text would end.
TEST(Banks, TheLongestFiguresStayInsideTheirBanks) {
  ce::testing::UseVirtualClock(20000, 0);
  ce::test::ScopedSetting percent{"DEVICE_POWER_BATTERY_PERCENT", "95"};
  ce::test::ScopedSetting flag{"DEVICE_POWER_BATTERY_FLAG", "1"};
  ce::test::ScopedSetting ac{"DEVICE_POWER_AC_LINE", "0"};
  ce::testing::AdvanceClock(11000);
  CMeterSettings& s = CMeterSettings::Get();
  s.bl = {720, 1, 720};  // the slowest drain: the longest time left, "18h 48m r"
  s.se = 999 * 3600 + 59 * 60;
  HDC screen = GetDC(nullptr);
  const COLORREF ink = AsStored(screen, BankTextColour(FALSE));
  HINSTANCE self = GetModuleHandleW(nullptr);
  for (const int scale : {1, 2}) {
    SetDpiForTesting(96 * scale);
    HFONT font = CreateFontW((13 * Dpi() + 48) / 96, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, L"Nina");
    CObjBattery battery;
    battery.Init(self, nullptr);
    battery.Update();
    CObjMemory memory;
    memory.Init(self, nullptr);
    memory.programFreeKb = 29218 * 1024 + 1000;
    memory.storageFreeKb = 99999u * 1024;
    CObjStorage storage;
    storage.Init(self, nullptr);
    storage.cards[0].name = L"Storage Card";
    storage.cards[0].used = 50;
    storage.cards[0].freeKb = 99999 * 1024;
    storage.cards[0].picture = 4;
    storage.cardCount = 1;
    const struct {
      CObjMeter* meter;
      const char* name;
      DWORD* mode;
      DWORD modes;
    } banks[] = {
        {&battery, "battery", &s.bd[0], 3}, {&memory, "memory", &s.mt[0], 2}, {&storage, "storage", &s.cfn[0], 2}};
    for (const auto& b : banks) {
      for (DWORD mode = 0; mode < b.modes; ++mode) {
        *b.mode = mode;
        for (const int size : {int{kBig}, int{kSmall}}) {
          const int width = b.meter->GetWidth();
          const int height = b.meter->GetMainHeight(size) + b.meter->GetLabelHeight(size);
          const WhiteCanvas canvas(screen, 3 * width, height + Scale(20));
          const RECT bank = {width, 0, 2 * width, height};
          b.meter->Draw(canvas.dc, bank, font, nullptr, size, 0, FALSE);
          const std::string where = std::string(b.name) + " mode " + std::to_string(mode) + " size " +
                                    std::to_string(size) + " at x" + std::to_string(scale);
          const int outside = 3 * width * (height + Scale(20)) - width * height;
          const COLORREF white = AsStored(screen, 0xFFFFFF);
          EXPECT_EQ(CountPixels(canvas.dc, 0, 0, 3 * width, height + Scale(20), white) -
                        CountPixels(canvas.dc, width, 0, width, height, white),
                    outside)
              << where << ": drawn outside the bank";
          const int labelTop = b.meter->GetMainHeight(size) - Scale(2);
          EXPECT_EQ(CountPixels(canvas.dc, 2 * width - Scale(1) - 1, labelTop, Scale(1) + 1, height - labelTop, ink), 0)
              << where << ": the label reaches the bank's edge";
          EXPECT_GT(CountPixels(canvas.dc, width, labelTop, width, height - labelTop, ink), 2) << where << ": no label";
        }
      }
    }
    DeleteObject(font);
  }
  s.bd[0] = s.mt[0] = s.cfn[0] = 0;
  SetDpiForTesting(96);
  ReleaseDC(nullptr, screen);
  ce::testing::UseRealClock();
}

// A figure too wide for its bank keeps a unit: a large store's free memory
// in gigabytes, the network's rate with its unit's first letter. What the
// bank shows in its label's place is compared pixel for pixel with the
// expected short text drawn there alone.
TEST(Banks, FiguresTooWideForTheirBankKeepAUnit) {
  HDC screen = GetDC(nullptr);
  HINSTANCE self = GetModuleHandleW(nullptr);
  SetDpiForTesting(96);
  HFONT font = CreateFontW((13 * Dpi() + 48) / 96, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, L"Nina");
  CMeterSettings& s = CMeterSettings::Get();
  s.mt[0] = 0;  // storage memory
  s.mn[0] = 0;  // free megabytes
  CObjMemory memory;
  memory.Init(self, nullptr);
  memory.storageTotalKb = 400000ull * 1024;
  memory.storageFreeKb = 238530ull * 1024;
  CObjNetwork& network = Network();
  const int savedState = network.state;
  const int savedMode = network.mode[0];
  network.state = 1;
  network.mode[0] = 1;  // download rate
  network.texts[1] = L"123.5 Mbps";
  const struct {
    CObjMeter* meter;
    const char* name;
    int labelTop, labelBottom, labelWidth;  // the label's rows and width at 96 DPI (0: the bank's)
    const wchar_t* expected;
  } cases[] = {
      {&memory, "memory", 29, 45, 49 - 1, L"232 GB"},
      {&network, "network", 29, 42, 0, L"123.5M"},
  };
  for (const auto& c : cases) {
    const int width = c.meter->GetWidth();
    const int height = c.meter->GetMainHeight(kBig) + c.meter->GetLabelHeight(kBig);
    const RECT bank = {0, 0, width, height};
    const WhiteCanvas shown(screen, width, height);
    c.meter->Draw(shown.dc, bank, font, nullptr, kBig, 0, FALSE);
    const int labelRight = c.labelWidth > 0 ? std::min(width, Scale(c.labelWidth)) : width;
    RECT label = {Scale(1), Scale(c.labelTop), labelRight - Scale(1), std::min(height, Scale(c.labelBottom))};
    // The same picture with the label's place cleared and the expected
    // text drawn there as the banks draw theirs.
    const WhiteCanvas expected(screen, width, height);
    BitBlt(expected.dc, 0, 0, width, height, shown.dc, 0, 0, SRCCOPY);
    HBRUSH white = CreateSolidBrush(0xFFFFFF);
    FillRect(expected.dc, &label, white);
    DeleteObject(white);
    SetBkMode(expected.dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(expected.dc, font);
    SetTextColor(expected.dc, BankTextColour(FALSE));
    DrawTextW(expected.dc, c.expected, -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(expected.dc, old);
    int differing = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) differing += GetPixel(shown.dc, x, y) != GetPixel(expected.dc, x, y) ? 1 : 0;
    }
    EXPECT_EQ(differing, 0) << c.name << " does not show " << ce::Utf8FromWide(c.expected);
  }
  network.state = savedState;
  network.mode[0] = savedMode;
  network.texts[1].clear();
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
}

// The forms a figure shortens to, longest first.
TEST(Banks, ShorterFormsOfAFigure) {
  const struct {
    const wchar_t* text;
    std::vector<std::wstring> forms;
  } cases[] = {
      {L"     12 MB     ", {L"     12 MB     ", L"12MB", L"12M", L"12"}},
      {L"123.5 Mbps", {L"123.5 Mbps", L"123.5Mbps", L"123.5Mb", L"123.5M", L"123.5"}},
      {L"1000 b", {L"1000 b", L"1000b", L"1000"}},
      {L"     56%     ", {L"     56%     "}},
      {L"          ?          ", {L"          ?          "}},
  };
  for (const auto& c : cases) EXPECT_EQ(ShorterForms(c.text), c.forms) << ce::Utf8FromWide(c.text);
}

TEST(Clock, HandsAtThreeOClock) {
  const POINT c = {20, 20};
  const POINT hour = CObjClock::HandEnd(c, 8, (0.0 + 3) / 12);
  EXPECT_EQ(hour.x, 28);
  EXPECT_EQ(hour.y, 20);
  const POINT minute = CObjClock::HandEnd(c, 12, 0.0);
  EXPECT_EQ(minute.x, 20);
  EXPECT_EQ(minute.y, 8);
}

TEST(Clock, UpdatesOnceAMinute) {
  CObjClock clock;
  for (int call = 0; call < 60; ++call) ASSERT_FALSE(clock.Update()) << call;
  EXPECT_TRUE(clock.Update()) << "the 61st call redraws, then counting goes on from the current second";
}

TEST(History, InterpolatesAndClampsLongGaps) {
  HistoryRing ring;
  ring.startMs = 0;
  ring.last = 50;
  ring.Sample(40001, 90);  // four samples due
  ASSERT_EQ(ring.count, 4);
  EXPECT_EQ(ring.samples[0], 60);
  EXPECT_EQ(ring.samples[3], 90);
  ring.Sample(40001ull + 10ull * 24 * 3600 * 1000, 30);  // ten days later: one day of samples
  EXPECT_TRUE(ring.wrapped);
  EXPECT_EQ(ring.last, 30);
}

TEST(Banks, LayoutHeightsAndKeys) {
  SetDpiForTesting(96);
  CMeterSettings& s = CMeterSettings::Get();
  for (DWORD& t : s.d) t = 0;
  s.bs = kBig;
  CObjBanks row;
  row.screenWidth = 240;
  ASSERT_TRUE(row.Init(nullptr, nullptr, reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT)), nullptr, 1));
  EXPECT_EQ(row.count, 2) << "six empty banks leave the two icon banks";
  const int heights[3] = {43, 33, 15};
  for (int size = 0; size < 3; ++size) {
    s.bs = static_cast<DWORD>(size);
    EXPECT_EQ(row.GetHeight(), heights[size]);
  }
  s.bs = kBig;
  s.d[0] = 1;
  s.d[1] = 1;
  row.Relayout();
  EXPECT_EQ(row.count, 4);
  EXPECT_EQ(row.banks[1].meter, row.banks[2].meter) << "two battery banks share one meter";
  EXPECT_EQ(row.focus, 0);
  EXPECT_EQ(row.OnKeyLeft(), 0);
  // Left icon: upper then lower, then the battery's two areas, then the right icons.
  EXPECT_TRUE(row.OnKeyRight());
  EXPECT_EQ(row.focusUpper, 0);
  EXPECT_TRUE(row.OnKeyRight());
  EXPECT_EQ(row.focus, 1);
  EXPECT_EQ(row.focusUpper, 1);
  s.bs = kTiny;
  row.Relayout();
  EXPECT_TRUE(row.OnKeyRight());
  EXPECT_EQ(row.focus, 2);
  EXPECT_TRUE(row.OnKeyRight());
  EXPECT_EQ(row.focus, 3);
  EXPECT_EQ(row.OnKeyRight(), 0) << "right on the last bank is the host's";
  EXPECT_EQ(OuterFocusColour(0x00FF8040, 0x00FFFFFF), 0x00FFBF9Fu);
  s.bs = 1;
}

}  // namespace
