// CObjBattery: the battery bank. Reads the power status on the worker,
// learns the drain and charge rates, estimates the time left, keeps the
// 24-hour level history, plays the battery alerts and draws the level.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "ce/windows.h"
#include "obj_meter.h"

namespace pelmora {

inline constexpr int kHistorySize = 8640;

// 24 hours of one-byte samples, one every 10 seconds.
struct HistoryRing {
  BYTE samples[kHistorySize] = {};
  int index = 0;
  int count = 0;  // samples written since the start time
  bool wrapped = false;
  ULONGLONG startMs = 0;  // clock of sample 0
  BYTE last = 0;
  // Pushes the samples due at `nowMs`, interpolating from the last stored
  // value to `current` (capped at 100); the last pushed is `current`.
  void Sample(ULONGLONG nowMs, int current);
  void Push(BYTE value, ULONGLONG nowMs);
};

// Milliseconds from the 32-bit tick count, extended so it does not wrap.
ULONGLONG MonotonicMs();

// Plays an alert when it is due: the exclamation, then the named sound
// under "<storage root>Application Data\Home". `lastPlayed` is the tick of
// the last play; -1 marks a one-off alert that ignores the interval.
BOOL PlayAlert(DWORD alertOn, std::int64_t* lastPlayed, const wchar_t* fileName);

// The battery value drawn: the percent, or a state from the flag when the
// percent is unknown (101 charging, 102 unknown, 103 no battery).
int BatteryValue(BYTE percent, BYTE flag);

class CObjBattery : public CObjMeter {
 public:
  BOOL Init(HINSTANCE instance, HWND window) override;
  BOOL Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT secondFont, int size, int bankIndex,
            BOOL selected) override;
  BOOL Update() override;
  BOOL Action(int bankIndex) override;
  BOOL SecondAction(int bankIndex) override;

  void CheckExternal(BOOL force);
  // Seconds left on the battery at the current percent.
  DWORD TimeRemaining() const;
  // The label line for a display mode; with minutesOnly its times in
  // minutes alone ("225m r"), for a bank too narrow for hours.
  std::wstring LabelText(int mode, bool minutesOnly = false) const;
  void SetRandomForTesting(int value) { m_randomForTesting = value; }

  const SYSTEM_POWER_STATUS_EX2& Status() const { return m_status; }
  const HistoryRing& History() const { return m_history; }
  bool OnPower() const { return m_onPower; }
  // Called when the user switched main batteries.
  void ResetElapsed();
  // Forgets what was learned of the drain rate of the battery in use (the
  // options' reset): its record goes back to the defaults and is saved.
  void ResetTimeRemaining();
  // Whether the vendor's utilities were found at load: only then is an
  // external battery looked for.
  void SetVendorUtilities(bool present) { m_vendor = present; }
  // The external battery: a percentage, 101 present but unread, 103 none.
  int ExternalState() const { return m_externalState.load(); }

 private:
  void RunAlerts(int percent);
  void Learn(int percent);

  SYSTEM_POWER_STATUS_EX2 m_status{};
  bool m_statusRead = false;
  BYTE m_previousPercent = 255;
  DWORD m_changeTick = 0;
  bool m_onPower = false;
  DWORD m_lastPollTick = 0;
  bool m_polled = false;
  DWORD m_countTick = 0;
  HistoryRing m_history;
  std::int64_t m_lowPlayed = 0;
  std::int64_t m_chargedPlayed = 0;
  int m_lastPercentForAlert = -1;
  int m_randomForTesting = -1;
  bool m_vendor = false;
  std::atomic<int> m_externalState{103};
  CBarGauge m_gauge;
  CBarGauge m_externalGauge;
  MeterPicture m_battery, m_meterTiny, m_meterSmall, m_charge, m_chargeLarge, m_charged, m_chargedSmall, m_warning;
};

CObjBattery& Battery();

}  // namespace pelmora
