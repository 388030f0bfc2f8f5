// The system sources the programs read: dates and times formatted for the
// device's locale, power and memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ce/pm.h"
#include "ce/testing.h"
#include "ce/winbase.h"
#include "ce/winnls.h"
#include "ce/winuser.h"
#include "scoped_setting.h"

namespace {

using ce::test::ScopedSetting;

std::wstring Date(const SYSTEMTIME& t, LPCWSTR picture, DWORD flags = 0) {
  wchar_t text[64];
  const int n = GetDateFormatW(LOCALE_USER_DEFAULT, flags, &t, picture, text, 64);
  return n > 0 ? std::wstring(text) : L"<error>";
}

std::wstring Time(const SYSTEMTIME& t, LPCWSTR picture, DWORD flags = 0) {
  wchar_t text[64];
  const int n = GetTimeFormatW(LOCALE_USER_DEFAULT, flags, &t, picture, text, 64);
  return n > 0 ? std::wstring(text) : L"<error>";
}

TEST(DateFormat, PicturesAndDefaults) {
  const SYSTEMTIME thursday{2009, 12, 0, 31, 23, 59, 58, 500};  // wDayOfWeek is worked out, not read
  const SYSTEMTIME leapDay{2008, 2, 6, 29, 7, 5, 9, 0};
  struct Case {
    const SYSTEMTIME& date;
    LPCWSTR picture;
    DWORD flags;
    const wchar_t* expected;
  } const cases[] = {
      {thursday, L"ddd',' MMM d", 0, L"Thu, Dec 31"},
      {thursday, L"MM/dd/yy ", 0, L"12/31/09 "},
      {leapDay, L"MM/dd/yy ", 0, L"02/29/08 "},
      {leapDay, L"dddd d MMMM yyyy g", 0, L"Friday 29 February 2008 A.D."},
      {leapDay, L"'d''M' y yy", 0, L"d'M 8 08"},
      {leapDay, L"'unterminated", 0, L"unterminated"},
      {leapDay, nullptr, 0, L"2/29/2008"},
      {leapDay, nullptr, DATE_SHORTDATE, L"2/29/2008"},
      {leapDay, nullptr, DATE_LONGDATE, L"Friday, February 29, 2008"},
  };
  for (const Case& c : cases) EXPECT_EQ(Date(c.date, c.picture, c.flags), c.expected) << (c.picture ? c.picture : L"");
}

TEST(TimeFormat, PicturesAndFlags) {
  const SYSTEMTIME evening{2009, 12, 4, 31, 23, 5, 8, 0};
  const SYSTEMTIME midnight{2009, 12, 4, 31, 0, 0, 0, 0};
  const SYSTEMTIME noon{2009, 12, 4, 31, 12, 30, 0, 0};
  struct Case {
    const SYSTEMTIME& time;
    LPCWSTR picture;
    DWORD flags;
    const wchar_t* expected;
  } const cases[] = {
      {evening, L"hh:mm", TIME_NOSECONDS | TIME_NOTIMEMARKER, L"11:05"},
      {evening, nullptr, TIME_NOSECONDS | TIME_NOTIMEMARKER, L"11:05"},
      {evening, nullptr, 0, L"11:05:08 PM"},
      {evening, nullptr, TIME_NOSECONDS, L"11:05 PM"},
      {evening, nullptr, TIME_NOMINUTESORSECONDS, L"11 PM"},
      {evening, nullptr, TIME_FORCE24HOURFORMAT | TIME_NOTIMEMARKER, L"23:05:08"},
      {evening, L"tt h:mm", TIME_NOTIMEMARKER, L"11:05"},
      {evening, L"H'h'mm t", 0, L"23h05 P"},
      {midnight, L"h:mm tt", 0, L"12:00 AM"},
      {midnight, L"HH:mm", 0, L"00:00"},
      {noon, L"h:mm tt", 0, L"12:30 PM"},
  };
  for (const Case& c : cases) EXPECT_EQ(Time(c.time, c.picture, c.flags), c.expected) << (c.picture ? c.picture : L"");
}

TEST(DateFormat, SizeQueryBuffersAndErrors) {
  const SYSTEMTIME day{2009, 12, 0, 31, 0, 0, 0, 0};
  EXPECT_EQ(GetDateFormatW(0, 0, &day, L"ddd',' MMM d", nullptr, 0), 12) << "the size with the terminator";
  wchar_t small[11];
  SetLastError(0);
  EXPECT_EQ(GetDateFormatW(0, 0, &day, L"ddd',' MMM d", small, 11), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  wchar_t exact[12];
  EXPECT_EQ(GetDateFormatW(0, 0, &day, L"ddd',' MMM d", exact, 12), 12);
  EXPECT_EQ(std::wstring(exact), L"Thu, Dec 31");

  struct Bad {
    LCID locale;
    DWORD flags;
    SYSTEMTIME date;
    LPCWSTR picture;
    DWORD error;
  } const bad[] = {
      {0, 0, {2009, 2, 0, 29, 0, 0, 0, 0}, L"d", ERROR_INVALID_PARAMETER},
      {0, 0, {2009, 13, 0, 1, 0, 0, 0, 0}, L"d", ERROR_INVALID_PARAMETER},
      {0, 0, {1600, 1, 0, 1, 0, 0, 0, 0}, L"d", ERROR_INVALID_PARAMETER},
      {0x0407, 0, day, L"d", ERROR_INVALID_PARAMETER},
      {0, DATE_SHORTDATE | DATE_LONGDATE, day, nullptr, ERROR_INVALID_FLAGS},
      {0, DATE_LONGDATE, day, L"d", ERROR_INVALID_FLAGS},
      {0, 0x100, day, nullptr, ERROR_INVALID_FLAGS},
  };
  for (const Bad& b : bad) {
    wchar_t text[32];
    SetLastError(0);
    EXPECT_EQ(GetDateFormatW(b.locale, b.flags, &b.date, b.picture, text, 32), 0) << b.date.wMonth;
    EXPECT_EQ(GetLastError(), b.error) << b.date.wMonth;
  }
  SetLastError(0);
  EXPECT_EQ(GetDateFormatW(0, 0, &day, L"d", nullptr, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  const SYSTEMTIME late{2009, 12, 0, 31, 24, 0, 0, 0};
  wchar_t text[32];
  SetLastError(0);
  EXPECT_EQ(GetTimeFormatW(0, 0, &late, nullptr, text, 32), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetTimeFormatW(0, 0x20, &day, nullptr, text, 32), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

TEST(DateFormat, NowIsTheLocalTimeOfThePlatformClock) {
  // 2010-01-01 00:30 UTC on the virtual clock; the device pins the zone at UTC-1.
  SYSTEMTIME start{2010, 1, 5, 1, 0, 30, 0, 0};
  FILETIME file{};
  ASSERT_TRUE(SystemTimeToFileTime(&start, &file));
  ce::testing::UseVirtualClock(0, (static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime);
  ScopedSetting zone("DEVICE_TIMEZONE_OFFSET_MINUTES", "-60");
  wchar_t text[64];
  ASSERT_GT(GetDateFormatW(0, 0, nullptr, L"yyyy-MM-dd ddd", text, 64), 0);
  EXPECT_EQ(std::wstring(text), L"2009-12-31 Thu");
  ASSERT_GT(GetTimeFormatW(0, 0, nullptr, L"HH:mm", text, 64), 0);
  EXPECT_EQ(std::wstring(text), L"23:30");
  ce::testing::AdvanceClock(60 * 60 * 1000);
  ASSERT_GT(GetDateFormatW(0, 0, nullptr, L"yyyy-MM-dd", text, 64), 0);
  EXPECT_EQ(std::wstring(text), L"2010-01-01");
  ce::testing::UseRealClock();
}

}  // namespace

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string PowerLog() { return ReadFile(ce::testing::DeviceRuntimeFolder() + "/power-requests.log"); }

void ClearPowerLog() { std::remove((ce::testing::DeviceRuntimeFolder() + "/power-requests.log").c_str()); }

TEST(Power, EveryFieldCanBePinnedByTheDevice) {
  ScopedSetting percent("DEVICE_BATTERY_PERCENT", "60");
  ScopedSetting ac("DEVICE_AC_ONLINE", "0");
  ScopedSetting flag("DEVICE_POWER_BATTERY_FLAG", "4");
  ScopedSetting backup("DEVICE_POWER_BACKUP_FLAG", "4");
  ScopedSetting backupPercent("DEVICE_POWER_BACKUP_PERCENT", "3");
  ScopedSetting life("DEVICE_POWER_BATTERY_LIFE_TIME", "5400");
  ScopedSetting current("DEVICE_POWER_BATTERY_CURRENT", "-250");
  ScopedSetting temperature("DEVICE_POWER_BATTERY_TEMPERATURE", "315");
  ScopedSetting chemistry("DEVICE_POWER_BATTERY_CHEMISTRY", "5");
  ScopedSetting tooBig("DEVICE_POWER_BATTERY_PERCENT", "256");  // ignored: keeps 60
  ScopedSetting notNumber("DEVICE_POWER_AC_LINE", "on");        // ignored: keeps offline

  SYSTEM_POWER_STATUS_EX2 status{};
  ASSERT_EQ(GetSystemPowerStatusEx2(&status, sizeof status, TRUE), sizeof status);
  EXPECT_EQ(status.ACLineStatus, AC_LINE_OFFLINE);
  EXPECT_EQ(status.BatteryFlag, BATTERY_FLAG_CRITICAL);
  EXPECT_EQ(status.BatteryLifePercent, 60);
  EXPECT_EQ(status.BatteryLifeTime, 5400u);
  EXPECT_EQ(status.BackupBatteryFlag, BATTERY_FLAG_CRITICAL);
  EXPECT_EQ(status.BackupBatteryLifePercent, 3);
  EXPECT_EQ(static_cast<std::int32_t>(status.BatteryCurrent), -250);
  EXPECT_EQ(status.BatteryTemperature, 315u);
  EXPECT_EQ(status.BatteryChemistry, BATTERY_CHEMISTRY_LIPOLY);

  SYSTEM_POWER_STATUS_EX older{};
  ASSERT_TRUE(GetSystemPowerStatusEx(&older, FALSE));
  EXPECT_EQ(older.BatteryFlag, BATTERY_FLAG_CRITICAL);
  EXPECT_EQ(older.BatteryLifePercent, 60);
  EXPECT_EQ(older.BatteryLifeTime, 5400u);
  EXPECT_EQ(older.BackupBatteryLifePercent, 3);
  SetLastError(0);
  EXPECT_FALSE(GetSystemPowerStatusEx(nullptr, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Power, HostFiguresArePlausible) {
  SYSTEM_POWER_STATUS_EX2 status{};
  ASSERT_EQ(GetSystemPowerStatusEx2(&status, sizeof status, FALSE), sizeof status);
  EXPECT_TRUE(status.ACLineStatus == AC_LINE_ONLINE || status.ACLineStatus == AC_LINE_OFFLINE);
  if (status.BatteryFlag & BATTERY_FLAG_NO_BATTERY) {
    EXPECT_EQ(status.BatteryFlag, BATTERY_FLAG_NO_BATTERY);
    EXPECT_EQ(status.BatteryLifePercent, BATTERY_PERCENTAGE_UNKNOWN);
    EXPECT_EQ(status.ACLineStatus, AC_LINE_ONLINE) << "without a battery the device runs on external power";
  } else {
    EXPECT_TRUE(status.BatteryLifePercent <= 100 || status.BatteryLifePercent == BATTERY_PERCENTAGE_UNKNOWN);
  }
  MEMORYSTATUS memory{};
  GlobalMemoryStatus(&memory);
  EXPECT_GT(memory.dwTotalPhys, 16u * 1024 * 1024);
  EXPECT_GT(memory.dwAvailPhys, 0u);
  EXPECT_LE(memory.dwAvailPhys, memory.dwTotalPhys);
  EXPECT_LE(memory.dwMemoryLoad, 100u);
}

TEST(Power, RequirementsAndThePowerKeyAreRecordedOnly) {
  ClearPowerLog();
  HANDLE backlight = SetPowerRequirement(const_cast<wchar_t*>(L"BKL1:"), D0, POWER_NAME, nullptr, 0);
  ASSERT_NE(backlight, nullptr);
  keybd_event(VK_OFF, 0, KEYEVENTF_SILENT, 0);
  keybd_event(VK_OFF, 0, KEYEVENTF_KEYUP | KEYEVENTF_SILENT, 0);
  EXPECT_EQ(ReleasePowerRequirement(backlight), ERROR_SUCCESS);
  EXPECT_EQ(ReleasePowerRequirement(backlight), ERROR_INVALID_HANDLE) << "released twice";
  EXPECT_EQ(ReleasePowerRequirement(nullptr), ERROR_INVALID_HANDLE);

  std::istringstream log(PowerLog());
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("require BKL1: D0 1 ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "key down 0x4");
  EXPECT_EQ(lines[2], "key up 0x6");
  EXPECT_EQ(lines[3], "release " + lines[0].substr(lines[0].rfind(' ') + 1));

  struct Bad {
    const wchar_t* device;
    int state;
    ULONG flags;
  } const bad[] = {{nullptr, 0, POWER_NAME},
                   {L"BKL1:", 5, POWER_NAME},
                   {L"BKL1:", -1, POWER_NAME},
                   {L"BKL1:", 0, 0},
                   {L"BKL1:", 0, 0x10}};
  for (const Bad& b : bad) {
    SetLastError(0);
    EXPECT_EQ(SetPowerRequirement(const_cast<wchar_t*>(b.device), static_cast<CEDEVICE_POWER_STATE>(b.state), b.flags,
                                  nullptr, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
}

}  // namespace
