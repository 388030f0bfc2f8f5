#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "ce/kernel/debug.h"
#include "ce/winbase.h"
#include "kernel/debug_output.h"
#include "kernel/system_status.h"
#include "temp_device.h"

namespace {

// Sets device settings through their environment variables for one test.
class Settings {
 public:
  Settings(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (const auto& [name, value] : values) {
      ::setenv(name, value, 1);
      names_.push_back(name);
    }
  }
  ~Settings() {
    for (const char* name : names_) ::unsetenv(name);
  }

 private:
  std::vector<const char*> names_;
};

TEST(SystemHeader, ValuesMatchTheDevice) {
  EXPECT_EQ(sizeof(SYSTEM_POWER_STATUS_EX2), 56u);
  const std::pair<unsigned, unsigned> values[] = {
      {SPI_GETPLATFORMTYPE, 257},     {SPI_GETOEMINFO, 258},
      {VER_PLATFORM_WIN32_CE, 3},     {AC_LINE_ONLINE, 1},
      {BATTERY_FLAG_HIGH, 1},         {BATTERY_FLAG_LOW, 2},
      {BATTERY_FLAG_CRITICAL, 4},     {BATTERY_FLAG_CHARGING, 8},
      {BATTERY_FLAG_NO_BATTERY, 128}, {BATTERY_PERCENTAGE_UNKNOWN, 255},
      {BATTERY_FLAG_UNKNOWN, 255},
  };
  for (const auto& [actual, expected] : values) EXPECT_EQ(actual, expected);
}

TEST(Memory, SettingsOverrideAndLargeFiguresScaleTogether) {
  struct Case {
    const char* total;
    const char* available;
    DWORD totalPhys, availPhys, load;
  };
  const Case cases[] = {
      {"64000000", "999999", 64000000u, 999999u, 98u},
      {"4294967295", "1073741824", 0xFFFFFFFFu, 1073741824u, 74u},
      // Above 4 GiB both are halved alike: the share used is the host's.
      {"4294967296", "1073741824", 2147483648u, 536870912u, 75u},
      {"17179869184", "8589934592", 2147483648u, 1073741824u, 50u},
      {"17179869184", "3221225472", 2147483648u, 402653184u, 81u},
      {"17179869184", "34359738368", 2147483648u, 2147483648u, 0u},  // free never passes total
  };
  for (const Case& c : cases) {
    Settings settings{{"DEVICE_MEMORY_TOTAL_BYTES", c.total}, {"DEVICE_MEMORY_AVAILABLE_BYTES", c.available}};
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    EXPECT_EQ(status.dwLength, sizeof(MEMORYSTATUS));
    EXPECT_EQ(status.dwTotalPhys, c.totalPhys) << c.total;
    EXPECT_EQ(status.dwAvailPhys, c.availPhys) << c.total << " " << c.available;
    EXPECT_EQ(status.dwMemoryLoad, c.load) << c.total << " " << c.available;
    EXPECT_EQ(status.dwTotalPageFile, 0u);
  }
  MEMORYSTATUS host{};
  GlobalMemoryStatus(&host);
  EXPECT_GT(host.dwTotalPhys, 0u);
  EXPECT_LE(host.dwAvailPhys, host.dwTotalPhys);
  GlobalMemoryStatus(nullptr);  // refused, no crash
}

TEST(Memory, MemInfoNeedsTotalAndAvailable) {
  const auto figures = ce::kernel::status::ParseMemInfo(
      "MemTotal:        8000000 kB\nMemFree:          100 kB\nMemAvailable:    2000000 kB\n");
  ASSERT_TRUE(figures);
  EXPECT_EQ(figures->totalBytes, 8000000ull * 1024);
  EXPECT_EQ(figures->availableBytes, 2000000ull * 1024);
  EXPECT_FALSE(ce::kernel::status::ParseMemInfo("MemTotal: 10 kB\nMemFree: 5 kB\n"));
  EXPECT_FALSE(ce::kernel::status::ParseMemInfo("garbage\n\n"));
  EXPECT_FALSE(ce::kernel::status::ParseMemInfo("MemTotal: 99999999999999999999 kB\nMemAvailable: 1 kB\n"));
}

TEST(Power, HostBatteriesAreSummedAndDeviceScopedOnesIgnored) {
  ce::test::TempDevice fixture;
  const auto supply = [&](const std::string& name, std::initializer_list<std::pair<const char*, const char*>> files) {
    for (const auto& [file, text] : files) fixture.WriteHostFile("ps/" + name + "/" + file, std::string(text) + "\n");
  };
  supply("AC", {{"type", "Mains"}, {"online", "1"}});
  supply("BAT0", {{"type", "Battery"},
                  {"energy_now", "30000000"},
                  {"energy_full", "50000000"},
                  {"status", "Charging"},
                  {"voltage_now", "12100000"},
                  {"technology", "Li-ion"}});
  supply("BAT1", {{"type", "Battery"}, {"energy_now", "10000000"}, {"energy_full", "50000000"}});
  supply("hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "5"}});
  supply("BAT9", {{"type", "Battery"}, {"present", "0"}});

  const auto figures = ce::kernel::status::ReadPowerSupplies(fixture.HostPath("ps"));
  EXPECT_TRUE(figures.mainsOnline);
  EXPECT_EQ(figures.batteries, 2);
  EXPECT_EQ(figures.percent, 40);
  EXPECT_EQ(figures.millivolts, 12100);
  EXPECT_EQ(figures.chemistry, BATTERY_CHEMISTRY_LION);

  // Capacities alone are averaged; nothing readable means no battery.
  ce::test::TempDevice other;
  other.WriteHostFile("ps/BAT0/type", "Battery\n");
  other.WriteHostFile("ps/BAT0/capacity", "80\n");
  other.WriteHostFile("ps/BAT1/type", "Battery\n");
  other.WriteHostFile("ps/BAT1/capacity", "60\n");
  EXPECT_EQ(ce::kernel::status::ReadPowerSupplies(other.HostPath("ps")).percent, 70);
  const auto none = ce::kernel::status::ReadPowerSupplies(other.HostPath("missing"));
  EXPECT_EQ(none.batteries, 0);
  EXPECT_FALSE(none.mainsOnline);
}

TEST(Power, StatusFollowsTheConfiguredBattery) {
  struct Case {
    const char* percent;
    const char* ac;
    BYTE acLine;
    BYTE flag;
    BYTE life;
  };
  const Case cases[] = {
      {"50", "0", AC_LINE_OFFLINE, 0, 50},
      {"90", "0", AC_LINE_OFFLINE, BATTERY_FLAG_HIGH, 90},
      {"20", "1", AC_LINE_ONLINE, BATTERY_FLAG_LOW | BATTERY_FLAG_CHARGING, 20},
      {"3", "0", AC_LINE_OFFLINE, BATTERY_FLAG_CRITICAL, 3},
      {"100", "1", AC_LINE_ONLINE, BATTERY_FLAG_HIGH, 100},
      {"none", "1", AC_LINE_ONLINE, BATTERY_FLAG_NO_BATTERY, BATTERY_PERCENTAGE_UNKNOWN},
  };
  for (const auto& c : cases) {
    Settings settings{{"DEVICE_BATTERY_PERCENT", c.percent}, {"DEVICE_AC_ONLINE", c.ac}};
    SYSTEM_POWER_STATUS_EX2 status{};
    ASSERT_EQ(GetSystemPowerStatusEx2(&status, sizeof status, TRUE), sizeof status);
    EXPECT_EQ(status.ACLineStatus, c.acLine) << c.percent;
    EXPECT_EQ(status.BatteryFlag, c.flag) << c.percent;
    EXPECT_EQ(status.BatteryLifePercent, c.life) << c.percent;
    EXPECT_EQ(status.BatteryLifeTime, BATTERY_LIFE_UNKNOWN);
    EXPECT_EQ(status.BackupBatteryFlag, BATTERY_FLAG_UNKNOWN) << "the host has no backup battery";
    EXPECT_EQ(status.BackupBatteryLifePercent, BATTERY_PERCENTAGE_UNKNOWN);
  }

  Settings settings{{"DEVICE_BATTERY_PERCENT", "42"}, {"DEVICE_AC_ONLINE", "0"}};
  BYTE head[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(GetSystemPowerStatusEx2(reinterpret_cast<PSYSTEM_POWER_STATUS_EX2>(head), 3, FALSE), 3u)
      << "a short record gets its first bytes";
  EXPECT_EQ(head[2], 42);
  EXPECT_EQ(head[3], 0xEE);
  SetLastError(0);
  EXPECT_EQ(GetSystemPowerStatusEx2(nullptr, 56, FALSE), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Version, DefaultsToTheDeviceAndFollowsSettings) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(info.dwMajorVersion, 5u);
  EXPECT_EQ(info.dwMinorVersion, 2u);
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_CE);
  EXPECT_EQ(info.szCSDVersion[0], L'\0');
  {
    Settings settings{{"DEVICE_OS_MAJOR", "3"}, {"DEVICE_OS_MINOR", "0"}, {"DEVICE_OS_BUILD", "10999"}};
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 3u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 10999u);
  }
  info.dwOSVersionInfoSize = 20;
  SetLastError(0);
  EXPECT_FALSE(GetVersionExW(&info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(GetVersionExW(nullptr));
}

TEST(SystemParameters, PlatformTypeAndOemTextIntoSizedBuffers) {
  wchar_t text[100];
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 200, text, 0));
  EXPECT_EQ(std::wstring(text), L"PocketPC");
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETOEMINFO, 200, text, 0));
  EXPECT_FALSE(std::wstring(text).empty());
  {
    Settings settings{{"DEVICE_PLATFORM_TYPE", "SmartPhone"}, {"DEVICE_OEM_INFO", "typhoon"}};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 200, text, 0));
    EXPECT_EQ(std::wstring(text), L"SmartPhone");
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETOEMINFO, 200, text, 0));
    EXPECT_EQ(std::wstring(text), L"typhoon");
  }
  // "PocketPC" and its terminator are nine wchar_t.
  text[9] = L'#';
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 9 * sizeof(wchar_t), text, 0));
  EXPECT_EQ(text[9], L'#');
  SetLastError(0);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 9 * sizeof(wchar_t) - 1, text, 0));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETOEMINFO, 200, nullptr, 0));
}

// The debug output and the platform's own diagnostics leave as whole lines
// on standard error: UTF-8, carriage returns dropped, one line end each.
TEST(DebugOutput, EachCallIsOneLineOnStandardError) {
  ::testing::internal::CaptureStderr();
  OutputDebugStringW(L"first \u00fc\r\n");
  OutputDebugStringW(L"second");
  OutputDebugStringW(L"\r\nbanner\r\nmessage\r\n");
  OutputDebugStringW(L"");
  OutputDebugStringW(L"\r\n");
  OutputDebugStringW(nullptr);
  ce::kernel::Diagnostic("platform: %s = %d", "key", 7);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "first \xC3\xBC\nsecond\nbanner\nmessage\nplatform: key = 7\n");
}

}  // namespace
