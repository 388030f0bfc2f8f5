// The system sources the programs read: dates and times formatted for the
// device's locale, power and memory, the network and the store of user
// notifications.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ce/iphlpapi.h"
#include "ce/notify.h"
#include "ce/pm.h"
#include "ce/testing.h"
#include "ce/winbase.h"
#include "ce/winnls.h"
#include "ce/winuser.h"
#include "ce/winreg.h"
#include "kernel/backlight.h"
#include "kernel/network.h"
#include "kernel/notify_store.h"
#include "kernel/system_status.h"
#include "scoped_setting.h"
#include "temp_device.h"

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

TEST(DateFormat, HostLocalTimeIsPlausible) {
  ce::testing::UseRealClock();
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  GetSystemTime(&utc);
  GetLocalTime(&local);
  FILETIME a{};
  FILETIME b{};
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &a));
  ASSERT_TRUE(SystemTimeToFileTime(&local, &b));
  const auto join = [](const FILETIME& t) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  const std::int64_t offsetMinutes = (join(b) - join(a)) / (60 * 10000000ll);
  EXPECT_LE(offsetMinutes, 14 * 60 + 1) << "no time zone is further from UTC";
  EXPECT_GE(offsetMinutes, -12 * 60 - 1);
  EXPECT_GE(utc.wYear, 2020);
  wchar_t text[64];
  const int written = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, text, 64);
  ASSERT_GT(written, 0);
  EXPECT_EQ(written, static_cast<int>(std::wcslen(text) + 1));
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

DWORD BacklightValue(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Backlight", 0, KEY_READ, &key) != ERROR_SUCCESS) return ~0u;
  DWORD value = ~0u;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    value = ~0u;
  }
  RegCloseKey(key);
  return value;
}

TEST(Backlight, TheDeviceFillsTheRegistryWithoutOverwritingAProgramsValues) {
  ce::test::TempDevice device;
  ScopedSetting battery("DEVICE_BACKLIGHT_BATTERY_TIMEOUT", "30");
  ScopedSetting ac("DEVICE_BACKLIGHT_AC_TIMEOUT", "600");
  ScopedSetting level("DEVICE_BACKLIGHT_LEVEL", "40");
  ScopedSetting acLevel("DEVICE_BACKLIGHT_AC_LEVEL", "101");  // out of range: the host's or the default
  EXPECT_EQ(BacklightValue(L"m_BatteryTimeout"), 30u);
  EXPECT_EQ(BacklightValue(L"m_ACTimeout"), 600u);
  EXPECT_EQ(BacklightValue(L"Brightness"), 40u);
  EXPECT_LE(BacklightValue(L"ACBrightness"), 100u);

  // A program holds the backlight on; the next start of the device keeps
  // what it wrote and brings back only what is missing.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Backlight", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const DWORD held = 1200000;
  ASSERT_EQ(RegSetValueExW(key, L"m_ACTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&held), sizeof held),
            ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(key, L"m_BatteryTimeout"), ERROR_SUCCESS);
  RegCloseKey(key);
  ce::kernel::backlight::FillRegistry(ce::kernel::backlight::Current("/nonexistent"));
  EXPECT_EQ(BacklightValue(L"m_ACTimeout"), held);
  EXPECT_EQ(BacklightValue(L"m_BatteryTimeout"), 30u);
}

TEST(Backlight, LevelsComeFromTheHostsBacklightElseTheDefaults) {
  ce::test::TempDevice device;
  const std::string folder = device.HostPath("sys-backlight");
  device.WriteHostFile("sys-backlight/b_panel/brightness", "300\n");
  device.WriteHostFile("sys-backlight/b_panel/max_brightness", "600\n");
  device.WriteHostFile("sys-backlight/a_broken/brightness", "x\n");  // unreadable: the next one counts
  device.WriteHostFile("sys-backlight/a_broken/max_brightness", "0\n");
  EXPECT_EQ(ce::kernel::status::ReadBacklightPercent(folder), 50);
  auto fromHost = ce::kernel::backlight::Current(folder);
  EXPECT_EQ(fromHost.batteryLevel, 50u);
  EXPECT_EQ(fromHost.acLevel, 50u);
  EXPECT_EQ(fromHost.batteryTimeout, 60u);
  EXPECT_EQ(fromHost.acTimeout, 300u);

  EXPECT_EQ(ce::kernel::status::ReadBacklightPercent(device.HostPath("nothing-here")), std::nullopt);
  const auto defaults = ce::kernel::backlight::Current(device.HostPath("nothing-here"));
  EXPECT_EQ(defaults.batteryLevel, 100u);
  EXPECT_EQ(defaults.acLevel, 100u);

  // The real host: a level when it has a backlight, and always a value.
  if (const auto host = ce::kernel::status::ReadBacklightPercent("/sys/class/backlight")) {
    EXPECT_GE(*host, 0);
    EXPECT_LE(*host, 100);
  }
  EXPECT_LE(BacklightValue(L"Brightness"), 100u);
  EXPECT_GT(BacklightValue(L"m_BatteryTimeout"), 0u);
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

namespace {

namespace net = ce::kernel::network;

TEST(Network, HostFilesAreParsed) {
  EXPECT_EQ(net::ParseIPv4("192.168.1.20"), 0xC0A80114u);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.4 ", "a.b.c.d", "-1.2.3.4"}) {
    EXPECT_FALSE(net::ParseIPv4(bad)) << bad;
  }
  EXPECT_EQ(net::FormatIPv4(0xFFFFFF00u), "255.255.255.0");

  const char* routes =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n"
      "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n"
      "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\n"
      "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\n"
      "wlan0\t00000000\t0201A8C0\t0003\t0\t0\t700\t00000000\n"
      "tun0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\n"
      "broken\tzz\n";
  const auto defaults = net::ParseDefaultRoutes(routes);
  ASSERT_EQ(defaults.size(), 2u) << "a route without a gateway is not a default gateway";
  EXPECT_EQ(defaults[0], (std::pair<std::string, std::uint32_t>{"eth0", 0xC0000201u}));
  EXPECT_EQ(defaults[1], (std::pair<std::string, std::uint32_t>{"wlan0", 0xC0A80101u})) << "the first one counts";

  const auto resolver = net::ParseResolvConf(
      "# generated\nsearch lan example.org\nnameserver 10.0.0.53\nnameserver ::1\n"
      "nameserver 8.8.8.8 ; trailing\nnameserver\noptions ndots:2\n");
  EXPECT_EQ(resolver.servers, (std::vector<std::uint32_t>{0x0A000035u, 0x08080808u}));
  EXPECT_EQ(resolver.domain, "lan");
  EXPECT_EQ(net::ParseResolvConf("domain corp.example\nsearch lan\n").domain, "corp.example");
  EXPECT_TRUE(net::ParseResolvConf("").servers.empty()) << "a missing file reads as empty";
  EXPECT_TRUE(net::ParseDefaultRoutes("").empty());
}

TEST(Network, CountersCarryOnAcrossAHostReset) {
  EXPECT_EQ(net::Continue("reset0", {1000, 50, 0, 0}).inOctets, 1000u);
  EXPECT_EQ(net::Continue("reset0", {1500, 60, 0, 0}).inOctets, 1500u);
  const auto afterReset = net::Continue("reset0", {200, 5, 0, 0});
  EXPECT_EQ(afterReset.inOctets, 1700u) << "the counter went down: 200 new bytes since the reset";
  EXPECT_EQ(afterReset.outOctets, 65u);
  EXPECT_EQ(net::Continue("reset0", {300, 5, 0, 0}).inOctets, 1800u);
  EXPECT_EQ(net::Continue("other0", {7, 7, 0, 0}).inOctets, 7u) << "each interface counts apart";
}

// The whole IP helper over a pinned network.
class PinnedNetwork : public ::testing::Test {
 protected:
  ScopedSetting interfaces_{"DEVICE_NETWORK_INTERFACES", "wlan0, usb1"};
  ScopedSetting wlanIndex_{"DEVICE_NETWORK_WLAN0_INDEX", "3"};
  ScopedSetting wlanMac_{"DEVICE_NETWORK_WLAN0_MAC", "00:1a:2B:3c:4d:5e"};
  ScopedSetting wlanAddress_{"DEVICE_NETWORK_WLAN0_ADDRESS", "192.168.1.20/255.255.255.0 10.1.2.3/255.0.0.0 bad/1"};
  ScopedSetting wlanType_{"DEVICE_NETWORK_WLAN0_TYPE", "wireless"};
  ScopedSetting wlanDescription_{"DEVICE_NETWORK_WLAN0_DESCRIPTION", "Wireless LAN"};
  ScopedSetting wlanIn_{"DEVICE_NETWORK_WLAN0_IN_OCTETS", "4294967290"};
  ScopedSetting usbIndex_{"DEVICE_NETWORK_USB1_INDEX", "2"};
  ScopedSetting gateway_{"DEVICE_NETWORK_GATEWAY", "192.168.1.1"};
  ScopedSetting dns_{"DEVICE_NETWORK_DNS", "192.168.1.1 8.8.4.4 9.9.9.9"};
  ScopedSetting host_{"DEVICE_NETWORK_HOST_NAME", "pocket"};
  ScopedSetting domain_{"DEVICE_NETWORK_DOMAIN_NAME", "home.lan"};
};

TEST_F(PinnedNetwork, InterfaceInfoWithItsSizeQuery) {
  ULONG size = 0;
  EXPECT_EQ(GetInterfaceInfo(nullptr, &size), ERROR_INSUFFICIENT_BUFFER);
  const ULONG needed = size;
  EXPECT_EQ(needed, offsetof(IP_INTERFACE_INFO, Adapter) + 2 * sizeof(IP_ADAPTER_INDEX_MAP));
  std::vector<std::uint64_t> buffer(needed / 8 + 1);
  auto* info = reinterpret_cast<PIP_INTERFACE_INFO>(buffer.data());
  size = needed - 1;
  EXPECT_EQ(GetInterfaceInfo(info, &size), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, needed);
  ASSERT_EQ(GetInterfaceInfo(info, &size), NO_ERROR);
  ASSERT_EQ(info->NumAdapters, 2);
  const auto* entries = reinterpret_cast<const IP_ADAPTER_INDEX_MAP*>(reinterpret_cast<const BYTE*>(info) +
                                                                      offsetof(IP_INTERFACE_INFO, Adapter));
  EXPECT_EQ(entries[0].Index, 2u) << "in index order";
  EXPECT_EQ(std::wstring(entries[0].Name), L"usb1");
  EXPECT_EQ(entries[1].Index, 3u);
  EXPECT_EQ(std::wstring(entries[1].Name), L"wlan0");
  EXPECT_EQ(GetInterfaceInfo(info, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(PinnedNetwork, IfEntryCountersWrapAt32Bits) {
  MIB_IFROW row{};
  row.dwIndex = 3;
  ASSERT_EQ(GetIfEntry(&row), NO_ERROR);
  EXPECT_EQ(std::wstring(row.wszName), L"wlan0");
  EXPECT_EQ(row.dwType, IF_TYPE_IEEE80211);
  EXPECT_EQ(row.dwPhysAddrLen, 6u);
  EXPECT_EQ(row.bPhysAddr[1], 0x1A);
  EXPECT_EQ(row.bPhysAddr[5], 0x5E);
  EXPECT_EQ(row.dwOperStatus, MIB_IF_OPER_STATUS_OPERATIONAL);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(row.bDescr)), "Wireless LAN");
  const DWORD before = row.dwInOctets;
  {
    ScopedSetting more("DEVICE_NETWORK_WLAN0_IN_OCTETS", "4294967306");  // 16 bytes later, past 2^32
    ASSERT_EQ(GetIfEntry(&row), NO_ERROR);
    EXPECT_EQ(static_cast<DWORD>(row.dwInOctets - before), 16u) << "differences modulo 2^32 stay true";
  }
  row.dwIndex = 99;
  EXPECT_EQ(GetIfEntry(&row), ERROR_INVALID_DATA);
  EXPECT_EQ(GetIfEntry(nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(PinnedNetwork, AdaptersInfoListsAddressesAndGateway) {
  ULONG size = sizeof(IP_ADAPTER_INFO);
  std::vector<std::uint64_t> small(sizeof(IP_ADAPTER_INFO) / 8 + 1);
  EXPECT_EQ(GetAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(small.data()), &size), ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(size, 2 * sizeof(IP_ADAPTER_INFO) + sizeof(IP_ADDR_STRING)) << "one address beyond the first";
  std::vector<std::uint64_t> buffer(size / 8 + 1);
  auto* adapters = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data());
  ASSERT_EQ(GetAdaptersInfo(adapters, &size), NO_ERROR);
  const IP_ADAPTER_INFO& usb = *adapters;
  ASSERT_NE(usb.Next, nullptr);
  const IP_ADAPTER_INFO& wlan = *usb.Next;
  EXPECT_EQ(wlan.Next, nullptr);
  EXPECT_EQ(std::string(usb.AdapterName), "usb1");
  EXPECT_EQ(usb.AddressLength, 0u);
  EXPECT_EQ(std::string(usb.IpAddressList.IpAddress.String), "0.0.0.0");
  EXPECT_EQ(std::string(wlan.AdapterName), "wlan0");
  EXPECT_EQ(std::string(wlan.Description), "Wireless LAN");
  EXPECT_EQ(wlan.Index, 3u);
  EXPECT_EQ(wlan.AddressLength, 6u);
  EXPECT_EQ(wlan.Address[0], 0x00);
  EXPECT_EQ(wlan.Address[3], 0x3C);
  EXPECT_EQ(std::string(wlan.IpAddressList.IpAddress.String), "192.168.1.20");
  EXPECT_EQ(std::string(wlan.IpAddressList.IpMask.String), "255.255.255.0");
  ASSERT_NE(wlan.IpAddressList.Next, nullptr);
  EXPECT_EQ(std::string(wlan.IpAddressList.Next->IpAddress.String), "10.1.2.3");
  EXPECT_EQ(wlan.IpAddressList.Next->Next, nullptr) << "the malformed address is left out";
  EXPECT_EQ(std::string(wlan.GatewayList.IpAddress.String), "192.168.1.1");
  EXPECT_EQ(wlan.DhcpEnabled, 0u);
  EXPECT_EQ(wlan.LeaseObtained, 0);

  ScopedSetting none("DEVICE_NETWORK_INTERFACES", "");
  size = 0;
  EXPECT_EQ(GetAdaptersInfo(nullptr, &size), ERROR_NO_DATA);
  EXPECT_EQ(GetInterfaceInfo(nullptr, &size), ERROR_NO_DATA);
}

TEST_F(PinnedNetwork, NetworkParamsWithTheDnsList) {
  ULONG size = 584;  // what programs try first
  std::vector<std::uint64_t> buffer(1024 / 8);
  auto* info = reinterpret_cast<PFIXED_INFO>(buffer.data());
  EXPECT_EQ(GetNetworkParams(info, &size), ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(size, sizeof(FIXED_INFO) + 2 * sizeof(IP_ADDR_STRING));
  ASSERT_LE(size, 1024u);
  ASSERT_EQ(GetNetworkParams(info, &size), NO_ERROR);
  EXPECT_EQ(std::string(info->HostName), "pocket");
  EXPECT_EQ(std::string(info->DomainName), "home.lan");
  EXPECT_EQ(std::string(info->DnsServerList.IpAddress.String), "192.168.1.1");
  ASSERT_NE(info->DnsServerList.Next, nullptr);
  EXPECT_EQ(std::string(info->DnsServerList.Next->IpAddress.String), "8.8.4.4") << "the secondary server";
  ASSERT_NE(info->DnsServerList.Next->Next, nullptr);
  EXPECT_EQ(info->DnsServerList.Next->Next->Next, nullptr);
  EXPECT_EQ(info->NodeType, BROADCAST_NODETYPE);
  EXPECT_EQ(GetNetworkParams(reinterpret_cast<PFIXED_INFO>(reinterpret_cast<BYTE*>(buffer.data()) + 1), &size),
            ERROR_INVALID_PARAMETER)
      << "a misaligned buffer";
}

TEST(Network, HostFiguresArePlausible) {
  ULONG size = 0;
  const DWORD query = GetAdaptersInfo(nullptr, &size);
  if (query == ERROR_NO_DATA) GTEST_SKIP() << "the host has no interface up besides loopback";
  ASSERT_EQ(query, ERROR_BUFFER_OVERFLOW);
  std::vector<std::uint64_t> buffer(size / 8 + 1);
  auto* adapters = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data());
  ASSERT_EQ(GetAdaptersInfo(adapters, &size), NO_ERROR);
  for (const IP_ADAPTER_INFO* a = adapters; a; a = a->Next) {
    EXPECT_GT(std::strlen(a->AdapterName), 0u);
    EXPECT_NE(std::string(a->AdapterName), "lo");
    EXPECT_LE(a->AddressLength, static_cast<UINT>(MAX_ADAPTER_ADDRESS_LENGTH));
    EXPECT_TRUE(net::ParseIPv4(a->IpAddressList.IpAddress.String)) << a->IpAddressList.IpAddress.String;
    MIB_IFROW row{};
    row.dwIndex = a->Index;
    ASSERT_EQ(GetIfEntry(&row), NO_ERROR) << a->AdapterName;
    MIB_IFROW later = row;
    ASSERT_EQ(GetIfEntry(&later), NO_ERROR);
    EXPECT_LT(static_cast<DWORD>(later.dwInOctets - row.dwInOctets), 1u << 30) << "counters do not run back";
  }
  FIXED_INFO* info = nullptr;
  size = 0;
  ASSERT_EQ(GetNetworkParams(info, &size), ERROR_BUFFER_OVERFLOW);
  std::vector<std::uint64_t> params(size / 8 + 1);
  info = reinterpret_cast<PFIXED_INFO>(params.data());
  ASSERT_EQ(GetNetworkParams(info, &size), NO_ERROR);
  EXPECT_GT(std::strlen(info->HostName), 0u);
}

}  // namespace

namespace {

namespace notify = ce::kernel::notify;

std::string StoreFile() { return ce::testing::DeviceRuntimeFolder() + "/notifications.txt"; }

void WriteStore(const std::string& text) {
  std::ofstream out(StoreFile(), std::ios::trunc | std::ios::binary);
  out << text;
}

std::vector<HANDLE> Handles() {
  DWORD needed = 0;
  EXPECT_FALSE(CeGetUserNotificationHandles(nullptr, 0, &needed) && needed > 0);
  std::vector<HANDLE> handles(needed);
  EXPECT_TRUE(CeGetUserNotificationHandles(handles.data(), needed, &needed));
  handles.resize(needed);
  return handles;
}

// Reads a notification the way programs do: the size first, then the record.
std::vector<std::uint64_t> Read(HANDLE handle) {
  DWORD needed = 0;
  SetLastError(0);
  EXPECT_FALSE(CeGetUserNotification(handle, 0, &needed, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  std::vector<std::uint64_t> buffer(needed / 8 + 1);
  DWORD again = 0;
  EXPECT_TRUE(CeGetUserNotification(handle, needed, &again, reinterpret_cast<LPBYTE>(buffer.data())));
  EXPECT_EQ(again, needed);
  return buffer;
}

const CE_NOTIFICATION_INFO_HEADER& Header(const std::vector<std::uint64_t>& buffer) {
  return *reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buffer.data());
}

TEST(Notifications, SetReadReplaceAndClear) {
  std::remove(StoreFile().c_str());
  EXPECT_TRUE(Handles().empty());

  CE_NOTIFICATION_TRIGGER trigger{};
  trigger.dwSize = sizeof trigger;
  trigger.dwType = CNT_CLASSICTIME;
  trigger.lpszApplication = const_cast<wchar_t*>(L"TASKS.EXE");
  trigger.lpszArguments = const_cast<wchar_t*>(L"-remind\t7");
  trigger.stStartTime = SYSTEMTIME{2010, 3, 0, 14, 9, 30, 0, 0};
  CE_USER_NOTIFICATION user{PUN_SOUND | PUN_DIALOG,
                            const_cast<wchar_t*>(L"Task"),
                            const_cast<wchar_t*>(L"Call back\nbefore ten"),
                            const_cast<wchar_t*>(L"\\Windows\\a.wav"),
                            260,
                            0};
  HANDLE task = CeSetUserNotificationEx(nullptr, &trigger, &user);
  ASSERT_NE(task, nullptr);

  CE_NOTIFICATION_TRIGGER alarm = trigger;
  alarm.dwType = CNT_TIME;
  alarm.lpszApplication = const_cast<wchar_t*>(L"Windows\\Clock.exe");
  alarm.lpszArguments = nullptr;
  HANDLE clock = CeSetUserNotificationEx(nullptr, &alarm, nullptr);
  ASSERT_NE(clock, nullptr);
  EXPECT_NE(clock, task);

  DWORD needed = 0;
  HANDLE one[1];
  SetLastError(0);
  EXPECT_FALSE(CeGetUserNotificationHandles(one, 1, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, 2u);
  EXPECT_EQ(Handles(), (std::vector<HANDLE>{task, clock}));

  {
    const auto buffer = Read(task);
    const auto& header = Header(buffer);
    EXPECT_EQ(header.hNotification, task);
    ASSERT_NE(header.pcent, nullptr);
    ASSERT_NE(header.pceun, nullptr);
    const BYTE* begin = reinterpret_cast<const BYTE*>(buffer.data());
    const BYTE* end = begin + buffer.size() * 8;
    for (const void* p : {static_cast<const void*>(header.pcent), static_cast<const void*>(header.pceun),
                          static_cast<const void*>(header.pceun->pwszSound)}) {
      EXPECT_TRUE(p >= begin && p < end) << "every pointer leads into the caller's buffer";
    }
    EXPECT_EQ(header.pcent->dwType, CNT_CLASSICTIME);
    EXPECT_EQ(std::wstring(header.pcent->lpszApplication), L"TASKS.EXE");
    EXPECT_EQ(std::wstring(header.pcent->lpszArguments), L"-remind\t7");
    EXPECT_EQ(header.pcent->stStartTime.wHour, 9);
    EXPECT_EQ(header.pcent->stStartTime.wMinute, 30);
    EXPECT_EQ(header.pceun->ActionFlags, PUN_SOUND | PUN_DIALOG);
    EXPECT_EQ(std::wstring(header.pceun->pwszDialogText), L"Call back\nbefore ten");
    EXPECT_EQ(std::wstring(header.pceun->pwszSound), L"\\Windows\\a.wav");
    EXPECT_EQ(header.pceun->nMaxSound, 260u);
  }
  EXPECT_EQ(Header(Read(clock)).pceun, nullptr) << "registered without a user notification";

  // Replacing keeps the handle; a short buffer fails and reports the size.
  alarm.stStartTime.wHour = 6;
  EXPECT_EQ(CeSetUserNotificationEx(clock, &alarm, &user), clock);
  const auto replaced = Read(clock);
  EXPECT_EQ(Header(replaced).pcent->stStartTime.wHour, 6);
  EXPECT_NE(Header(replaced).pceun, nullptr);
  DWORD size = 0;
  std::vector<std::uint64_t> shortBuffer(4);
  EXPECT_FALSE(CeGetUserNotification(clock, 32, &size, reinterpret_cast<LPBYTE>(shortBuffer.data())));
  EXPECT_GT(size, 32u);

  EXPECT_TRUE(CeClearUserNotification(task));
  SetLastError(0);
  EXPECT_FALSE(CeClearUserNotification(task));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CeGetUserNotification(task, 0, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(CeSetUserNotificationEx(task, &alarm, nullptr), nullptr) << "a cleared handle cannot be replaced";
  EXPECT_EQ(Handles(), (std::vector<HANDLE>{clock}));
  EXPECT_NE(CeSetUserNotificationEx(nullptr, &alarm, nullptr), task) << "handles are not reused";
  EXPECT_NE(access((StoreFile() + ".new").c_str(), F_OK), 0) << "no temporary file is left behind";
}

TEST(Notifications, BadRegistrationsAreRefused) {
  CE_NOTIFICATION_TRIGGER good{};
  good.dwSize = sizeof good;
  good.dwType = CNT_TIME;
  good.lpszApplication = const_cast<wchar_t*>(L"app.exe");
  good.stStartTime = SYSTEMTIME{2010, 1, 0, 1, 0, 0, 0, 0};
  std::wstring huge(1025, L'x');
  struct Case {
    const char* what;
    void (*change)(CE_NOTIFICATION_TRIGGER&);
  } const cases[] = {
      {"size", [](CE_NOTIFICATION_TRIGGER& t) { t.dwSize = 8; }},
      {"kind", [](CE_NOTIFICATION_TRIGGER& t) { t.dwType = 9; }},
      {"application", [](CE_NOTIFICATION_TRIGGER& t) { t.lpszApplication = nullptr; }},
      {"empty application", [](CE_NOTIFICATION_TRIGGER& t) { t.lpszApplication = const_cast<wchar_t*>(L""); }},
      {"date", [](CE_NOTIFICATION_TRIGGER& t) { t.stStartTime.wMonth = 13; }},
      {"classic without user", [](CE_NOTIFICATION_TRIGGER& t) { t.dwType = CNT_CLASSICTIME; }},
  };
  for (const Case& c : cases) {
    CE_NOTIFICATION_TRIGGER t = good;
    c.change(t);
    SetLastError(0);
    EXPECT_EQ(CeSetUserNotificationEx(nullptr, &t, nullptr), nullptr) << c.what;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.what;
  }
  CE_NOTIFICATION_TRIGGER longArguments = good;
  longArguments.lpszArguments = huge.data();
  EXPECT_EQ(CeSetUserNotificationEx(nullptr, &longArguments, nullptr), nullptr);
  SetLastError(0);
  EXPECT_EQ(CeSetUserNotificationEx(reinterpret_cast<HANDLE>(0x7777), &good, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Notifications, DamagedStoreIsTakenAsEmpty) {
  notify::Store store;
  store.next = 3;
  notify::Notification n;
  n.id = 2;
  n.type = CNT_TIME;
  n.start = SYSTEMTIME{2010, 1, 5, 1, 8, 0, 0, 0};
  n.application = L"a\\b\tc";
  store.items.push_back(n);
  const std::string good = notify::FormatStore(store);
  const auto back = notify::ParseStore(good);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->items.size(), 1u);
  EXPECT_EQ(back->items[0].application, L"a\\b\tc");
  EXPECT_EQ(back->items[0].start.wHour, 8);

  std::string line = good.substr(good.find('\n', good.find('\n') + 1) + 1);
  line.pop_back();  // the record without its newline
  const std::string heading = "notifications 1\nnext 3\n";
  const std::string damaged[] = {
      "",
      "garbage",
      "notifications 2\nnext 3\n",
      "notifications 1\nnext x\n",
      heading + line.substr(0, line.size() / 2) + "\n",                            // cut short
      heading + line + "\n" + line + "\n",                                         // the same id twice
      "notifications 1\nnext 2\n" + line + "\n",                                   // an id the store never gave
      heading + "2 2 0 1 2 3 4 5 6 7 70000 0 0 0 0 0 0 0 0 0 0 0\tapp\t\t\t\t\n",  // a word out of range
      heading + "2 9 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\tapp\t\t\t\t\n",      // an unknown kind
      heading + "2 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\t\t\t\t\t\n",         // no application
      heading + "2 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\tapp\\q\t\t\t\t\n",   // a bad escape
  };
  for (const std::string& text : damaged) {
    EXPECT_FALSE(notify::ParseStore(text)) << text;
    WriteStore(text);
    EXPECT_TRUE(Handles().empty()) << text;
  }
  WriteStore(good);
  EXPECT_EQ(Handles(), (std::vector<HANDLE>{reinterpret_cast<HANDLE>(2)}));
}

}  // namespace
