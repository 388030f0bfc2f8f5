#include "obj_battery.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "ce/crt.h"
#include "common/iss_utility.h"
#include "common/launch.h"
#include "common/module_state.h"
#include "meter_settings.h"
#include "title_bar_meters.h"

namespace pelmora {
namespace {

constexpr DWORD kBootQuiet = 10000;
constexpr ULONGLONG kSampleMs = 10000;

}  // namespace

ULONGLONG MonotonicMs() {
  static DWORD last = GetTickCount();
  static ULONGLONG total = last;
  const DWORD now = GetTickCount();
  total += static_cast<DWORD>(now - last);
  last = now;
  return total;
}

namespace {

bool IsModelH2200() {
  wchar_t model[64] = {};
  SystemParametersInfoW(SPI_GETOEMINFO, 64, model, 0);
  return _wcsicmp(model, L"hp iPAQ h2200") == 0;
}

std::wstring Format(const wchar_t* format, ...) {
  wchar_t buffer[128];
  va_list args;
  va_start(args, format);
  std::vswprintf(buffer, 128, format, args);
  va_end(args);
  return buffer;
}

std::wstring HoursMinutes(DWORD minutes, wchar_t mark, bool minutesOnly) {
  if (minutes >= 60 && !minutesOnly) return Format(L"     %luh %lum %lc    ", minutes / 60, minutes % 60, mark);
  return Format(L"          %lum %lc         ", minutes, mark);
}

}  // namespace

void HistoryRing::Push(BYTE value, ULONGLONG nowMs) {
  samples[index] = value;
  ++index;
  ++count;
  if (index >= kHistorySize) {
    index = 0;
    wrapped = true;
    startMs = nowMs;
    count = 0;
  }
  last = value;
}

void HistoryRing::Sample(ULONGLONG nowMs, int current) {
  if (current > 100) current = 100;
  if (current < 0) current = 0;
  if (nowMs < startMs) {
    startMs = nowMs;
    count = 0;
    return;
  }
  const ULONGLONG t = nowMs - startMs;
  const ULONGLONG n = static_cast<ULONGLONG>(count);
  if (t <= (n + 1) * kSampleMs) return;
  ULONGLONG k = (t - n * kSampleMs) / kSampleMs;
  // After a long gap a whole day of samples is all the ring can hold.
  if (k > kHistorySize) k = kHistorySize;
  const int from = last;
  for (ULONGLONG i = 1; i <= k; ++i) {
    const int value = from + (current - from) * static_cast<int>(i) / static_cast<int>(k);
    Push(static_cast<BYTE>(value), nowMs);
  }
}

BOOL PlayAlert(DWORD alertOn, std::int64_t* lastPlayed, const wchar_t* fileName) {
  const DWORD now = GetTickCount();
  if (now < kBootQuiet || !alertOn) return 0;
  const int repeat = CMeterSettings::Get().RepeatMinutes();
  if (repeat == 0 && *lastPlayed != 0 && *lastPlayed != -1) return 0;
  if (*lastPlayed != -1 && *lastPlayed != 0 && repeat != 0 &&
      static_cast<DWORD>(now - static_cast<DWORD>(*lastPlayed)) < static_cast<DWORD>(repeat) * 60000u) {
    return 0;
  }
  *lastPlayed = now;
  sndPlaySoundW(L"SystemExclamation", SND_SYNC);
  wchar_t path[MAX_PATH];
  wchar_t root[MAX_PATH] = {};
  suite::IssUtility::GetInstance()->GetStorageRoot(root);
  std::swprintf(path, MAX_PATH, L"%lsApplication Data\\Home\\%ls", root, fileName);
  sndPlaySoundW(path, SND_SYNC);
  return 1;
}

int BatteryValue(BYTE percent, BYTE flag) {
  if (percent != 255) return percent;
  switch (flag) {
    case 1:
      return 100;
    case 2:
      return 20;
    case 4:
      return 5;
    case 8:
      return 101;
    case 128:
      return 103;
    default:
      return 102;
  }
}

CObjBattery& Battery() {
  static CObjBattery battery;
  return battery;
}

BOOL CObjBattery::Init(HINSTANCE instance, HWND window) {
  CObjMeter::Init(instance, window);
  // Until the first read everything is unknown (no level, no warning).
  m_status.ACLineStatus = 254;
  m_status.BatteryFlag = 255;
  m_status.BatteryLifePercent = 255;
  m_status.BackupBatteryFlag = 255;
  m_status.BackupBatteryLifePercent = 255;
  m_battery.Load(instance, L"PM_Battery.bmp", 109, 165);
  m_meterTiny.Load(instance, L"PM_Batt_Meter_Tiny.bmp", 134, 139);
  m_meterSmall.Load(instance, L"PM_Batt_Meter_Small.bmp", 190, 191);
  m_charge.Load(instance, L"PM_Charge.bmp", 110, 162);
  m_chargeLarge.Load(instance, L"PM_Charge_Large.bmp", 111, 192);
  m_charged.Load(instance, L"PM_Charged.bmp", 112, 163);
  m_chargedSmall.Load(instance, L"PM_Charged_Small.bmp", 195, 196);
  m_warning.Load(instance, L"PM_WarnIcon.bmp", 121, 182);
  return 1;
}

void CObjBattery::ResetElapsed() {
  CMeterSettings::Get().se = 0;
  m_countTick = GetTickCount();
  CMeterSettings::Get().SaveElapsed();
}

void CObjBattery::ResetTimeRemaining() {
  CMeterSettings& settings = CMeterSettings::Get();
  settings.Drain() = DrainStats{144, 1, 144};
  m_previousPercent = 255;
  settings.SaveStatistics();
}

void CObjBattery::CheckExternal(BOOL force) {
  const DWORD now = GetTickCount();
  if (now < kBootQuiet) return;
  if (m_polled && static_cast<DWORD>(now - m_lastPollTick) < 10000) return;
  SYSTEM_POWER_STATUS_EX2 status{};
  if (GetSystemPowerStatusEx2(&status, sizeof status, force) == 0) return;
  m_polled = true;
  m_lastPollTick = now;
  CMeterSettings& settings = CMeterSettings::Get();
  if (!m_statusRead) {
    m_statusRead = true;
    m_countTick = now;
    if (status.BackupBatteryFlag == 4 || status.BackupBatteryLifePercent < 10) {
      settings.bbp = 0;
      settings.Save();
    }
  }
  m_status = status;
  const bool onPower = status.BatteryFlag == 8 || status.ACLineStatus == 1;
  if (m_onPower && !onPower) {
    m_countTick = now;
    settings.se = 0;
    settings.SaveElapsed();
  }
  m_onPower = onPower;
  const DWORD counted = static_cast<DWORD>(now - m_countTick);
  if (counted > 60000) {
    settings.se += counted / 1000;
    m_countTick = now - counted % 1000;
    settings.SaveElapsed();
  }
  if (m_vendor) {
    // No device library answers the external battery's status (it stays
    // "unread"), so the registry says whether one is fitted.
    m_externalState = settings.ReadExternalBattery() != 0 ? 101 : 103;
  }
  RunAlerts(status.BatteryLifePercent);
}

void CObjBattery::RunAlerts(int percent) {
  CMeterSettings& settings = CMeterSettings::Get();
  if (percent > 100) return;
  // Charged: once per arrival at 100, whatever the repeat setting.
  if (percent == 100 && m_lastPercentForAlert != 100 && m_lastPercentForAlert != -1) {
    m_chargedPlayed = -1;
    PlayAlert(settings.vbc, &m_chargedPlayed, L"BFC.wav");
  }
  m_lastPercentForAlert = percent;
  if (static_cast<DWORD>(percent) <= settings.vblv) {
    PlayAlert(settings.vbl, &m_lowPlayed, L"BIL.wav");
  } else {
    m_lowPlayed = 0;
  }
}

void CObjBattery::Learn(int percent) {
  if (percent < 0 || percent > 100) return;
  const DWORD now = GetTickCount();
  if (m_previousPercent == 99 || m_previousPercent == 100 || m_previousPercent == 255) {
    m_previousPercent = static_cast<BYTE>(percent);
    m_changeTick = now;
    return;
  }
  if (percent == m_previousPercent) return;
  const DWORD ticks = static_cast<DWORD>(now - m_changeTick);
  CMeterSettings& settings = CMeterSettings::Get();
  const bool charging = m_status.BatteryFlag == 8 || m_onPower;
  if (!charging && percent < m_previousPercent) {
    DrainStats& drain = settings.Drain();
    const DWORD last = ticks / static_cast<DWORD>(m_previousPercent - percent) / 1000;
    drain.last = last;
    drain.average = static_cast<std::uint32_t>((static_cast<ULONGLONG>(drain.count) * drain.average + last) /
                                               (static_cast<ULONGLONG>(drain.count) + 1));
    ++drain.count;
    settings.SaveStatistics();
  } else if (charging && percent < 99) {
    const DWORD s = ticks / static_cast<DWORD>(std::abs(percent - m_previousPercent)) / 1000;
    if (s > 29 && s <= 180) {
      DrainStats& charge = settings.bc;
      charge.last = s;
      charge.average = static_cast<std::uint32_t>((static_cast<ULONGLONG>(charge.count) * charge.average + s) /
                                                  (static_cast<ULONGLONG>(charge.count) + 1));
      ++charge.count;
      settings.SaveStatistics();
    }
  }
  m_previousPercent = static_cast<BYTE>(percent);
  m_changeTick = now;
}

BOOL CObjBattery::Update() {
  CheckExternal(0);
  if (m_statusRead) {
    const int percent = m_status.BatteryLifePercent;
    Learn(percent);
    // Without a battery there is no level to chart: Drainlog's graph stays
    // empty instead of showing the "no battery" state as a full one.
    if (m_status.BatteryFlag != BATTERY_FLAG_NO_BATTERY) {
      m_history.Sample(MonotonicMs(), BatteryValue(m_status.BatteryLifePercent, m_status.BatteryFlag));
    }
  }
  return 1;
}

DWORD CObjBattery::TimeRemaining() const {
  const DrainStats& drain = CMeterSettings::Get().Drain();
  DWORD rate = drain.average;
  if (rate >= 108) {
    if (rate > 720) rate = 720;
  } else {
    const int r = m_randomForTesting >= 0 ? m_randomForTesting : std::rand() % 5;
    rate = static_cast<DWORD>(108 - r);
  }
  const int p = m_status.BatteryLifePercent;
  const int adjusted = (p < 10 || p > 100) ? 0 : p + p / 10 - 10;
  DWORD seconds = static_cast<DWORD>(adjusted) * rate;
  const int external = m_externalState.load();
  if (m_vendor && external <= 100 && !IsModelH2200()) seconds += static_cast<DWORD>(external) * rate;
  return seconds;
}

std::wstring CObjBattery::LabelText(int mode, bool minutesOnly) const {
  const CMeterSettings& settings = CMeterSettings::Get();
  const int percent = m_status.BatteryLifePercent;
  switch (mode) {
    case 1: {
      if (percent > 100) return L"          ?          ";
      const std::wstring text = percent == 100 ? std::wstring(L"Full") : Format(L"%d%%", percent);
      const int external = m_externalState.load();
      if (m_vendor && external != 103) {
        const std::wstring second = external > 100    ? std::wstring(L"?")
                                    : external == 100 ? std::wstring(L"Full")
                                                      : Format(L"%d%%", external);
        return Format(L"     %ls %ls     ", text.c_str(), second.c_str());
      }
      return Format(L"          %ls          ", text.c_str());
    }
    case 2:
      if (m_onPower) return Format(L"     %ls     ", m_status.BatteryFlag == 8 ? L"Charging" : L"Charged");
      {
        const DWORD minutes = settings.se / 60;
        if (minutes >= 60 && !minutesOnly) return Format(L"     %luh %lum e     ", minutes / 60, minutes % 60);
        return Format(L"          %lum e          ", minutes);
      }
    default: {
      if (m_status.BatteryFlag == 8 && settings.bc.count != 0 && percent <= 100) {
        DWORD minutes = static_cast<DWORD>(100 - percent) * settings.bc.average / 60;
        if (minutes == 0) minutes = 1;
        return HoursMinutes(minutes, L'c', minutesOnly);
      }
      const DWORD minutes = TimeRemaining() / 60;
      if (minutes == 0) return L"          ? r         ";
      return HoursMinutes(minutes, L'r', minutesOnly);
    }
  }
}

namespace {

// An offset of the layout table: negative entries are the scaled value negated.
int Offset(int n) { return n < 0 ? -Scale(-n) : Scale(n); }

void DrawPicture(HDC dc, const MeterPicture& picture, int x, int y) {
  const MeterBitmap b = picture.Bitmap();
  if (b.dc != nullptr) CopyTransparent(dc, x, y, b.width, b.height, b.dc, 0, 0);
}

}  // namespace

BOOL CObjBattery::Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT, int size, int bankIndex, BOOL selected) {
  if (dc == nullptr || size < 0 || size > 2) return 1;
  const CMeterSettings& settings = CMeterSettings::Get();
  const int left = bank.left;
  const int top = bank.top;
  const int value = BatteryValue(m_status.BatteryLifePercent, m_status.BatteryFlag);
  const SharedBars& bars = Bars();
  const MeterBitmap none;
  // The gauge (vertical, Big only) and the Small and Tiny meters share a
  // position; the battery picture is drawn first so the meters go over it.
  static const int kGauge[3][2] = {{3, 3}, {18, 12}, {3, 3}};
  static const int kPicture[3][2] = {{16, 5}, {5, 3}, {5, 3}};
  const int gaugeX = left + Scale(kGauge[size][0]);
  const int gaugeY = top + Scale(kGauge[size][1]);
  const MeterBitmap battery = m_battery.Bitmap();
  if (battery.dc != nullptr) {
    const int rowHeight = battery.height / 3;
    CopyTransparent(dc, left + Scale(kPicture[size][0]), top + Scale(kPicture[size][1]), battery.width, rowHeight,
                    battery.dc, 0, rowHeight * size);
  }
  const DWORD displayMode = bankIndex >= 0 && bankIndex < kBankCount ? settings.bd[bankIndex] : 0;
  if (size == kBig) {
    m_gauge.x = gaugeX;
    m_gauge.y = gaugeY;
    m_gauge.value = value > 101 ? 102 : value;
    m_gauge.vertical = 1;
    m_gauge.Draw(dc, bars.frameV.Bitmap(), bars.barV.Bitmap(), none, settings.pim ? bars.digitsV.Bitmap() : none, 0);
    const int external = m_externalState.load();
    if (m_vendor && external != 103) {
      // The external battery's own gauge beside the main one.
      m_externalGauge.x = left + Scale(35);
      m_externalGauge.y = top + Scale(3);
      m_externalGauge.value = external;
      m_externalGauge.vertical = 1;
      m_externalGauge.Draw(dc, bars.frameV.Bitmap(), bars.barV.Bitmap(), none,
                           settings.pim ? bars.digitsV.Bitmap() : none, 0);
    }
  } else {
    // Small shows the percent when "Show percent" is on; Tiny, which has no
    // label line, shows what the bank's display mode asks for.
    const int digitsMode = size == kSmall ? (settings.pim ? 1 : 3) : static_cast<int>(displayMode);
    // The time left is only worked out when it is shown.
    const int seconds = digitsMode == 0 ? static_cast<int>(TimeRemaining()) : -1;
    // Small stands one pixel lower.
    const bool small = size == kSmall;
    CTitleBarMeters::Get().DrawBatteryMeter(dc, gaugeX, gaugeY + (small ? 1 : 0),
                                            (small ? m_meterSmall : m_meterTiny).Bitmap(),
                                            small ? kSmallBatteryMeter : kTinyBatteryMeter, value, digitsMode, seconds);
  }
  // Overlays: charged or charging, and the backup-battery warning.
  static const int kCharged[3][2] = {{-1, 6}, {12, 2}, {0, 0}};
  static const int kCharging[3][2] = {{-7, 7}, {-3, 8}, {-3, 4}};
  static const int kWarning[3][2] = {{-17, -1}, {-7, -1}, {-8, -1}};
  const int px = left + Scale(kPicture[size][0]);
  const int py = top + Scale(kPicture[size][1]);
  if (value == 100 && size != kTiny) {
    DrawPicture(dc, size == kBig ? m_charged : m_chargedSmall, px + Offset(kCharged[size][0]),
                py + Offset(kCharged[size][1]));
  } else if (m_status.BatteryFlag == 8) {
    DrawPicture(dc, size == kBig ? m_chargeLarge : m_charge, px + Offset(kCharging[size][0]),
                py + Offset(kCharging[size][1]));
  }
  if (settings.bbp && (m_status.BackupBatteryFlag == 4 || m_status.BackupBatteryLifePercent < 10)) {
    // Negative offsets count from the bank's right edge; the top is kept inside the bank.
    const int y = top + Offset(kWarning[size][1]);
    DrawPicture(dc, m_warning, bank.right + Offset(kWarning[size][0]), y < bank.top ? bank.top : y);
  }
  if (size == kTiny) return 1;
  const int labelTop = top + (size == kBig ? Scale(30) : Scale(20));
  // Hours and minutes, else minutes alone when those do not fit.
  const int mode = displayMode <= 2 ? static_cast<int>(displayMode) : 0;
  DrawBankLabel(dc, bank, RECT{left, labelTop, left + Scale(49) - 1, labelTop + Scale(25)},
                {LabelText(mode), LabelText(mode, true)}, normalFont, selected, DT_TOP);
  return 1;
}

BOOL CObjBattery::Action(int) {
  suite::StartProgram(m_window, L"\\Windows\\settings.exe", L"power.cpl.xml");
  return 1;
}

BOOL CObjBattery::SecondAction(int bankIndex) {
  if (bankIndex < 0 || bankIndex >= kBankCount) return 1;
  CMeterSettings& settings = CMeterSettings::Get();
  settings.bd[bankIndex] = settings.bd[bankIndex] >= 2 ? 0 : settings.bd[bankIndex] + 1;
  settings.Save();
  return 1;
}

}  // namespace pelmora
