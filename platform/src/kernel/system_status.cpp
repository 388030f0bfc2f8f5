// Memory, power and version calls: host figures, each
// replaceable by a device setting so tests and demos can set up any device.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"
#include "kernel/not_implemented.h"
#include "kernel/system_status.h"

namespace {

using ce::kernel::status::MemoryFigures;
using ce::kernel::status::PowerFigures;

constexpr DWORD kDeviceVirtualBytes = 32u * 1024 * 1024;  // one process slot of the device
constexpr long long kDefaultMajor = 5;
constexpr long long kDefaultMinor = 2;
constexpr long long kDefaultBuild = 1235;

// A non-negative numeric setting, else nothing.
std::optional<std::uint64_t> SizeSetting(const char* key) {
  const long long value = ce::device::SettingNumber(key, -1);
  if (value < 0) return std::nullopt;
  return static_cast<std::uint64_t>(value);
}

DWORD VersionSetting(const char* key, long long fallback) {
  const long long value = ce::device::SettingNumber(key, fallback);
  return (value < 0 || value > 0xFFFFFFFFll) ? static_cast<DWORD>(fallback) : static_cast<DWORD>(value);
}

MemoryFigures HostMemory() {
  std::ifstream in("/proc/meminfo");
  std::ostringstream text;
  text << in.rdbuf();
  if (auto figures = ce::kernel::status::ParseMemInfo(text.str())) return *figures;
  // Without /proc: the page counts of the C library.
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long free = ::sysconf(_SC_AVPHYS_PAGES);
  const long size = ::sysconf(_SC_PAGESIZE);
  MemoryFigures figures;
  if (pages > 0 && size > 0) figures.totalBytes = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size);
  if (free > 0 && size > 0)
    figures.availableBytes = static_cast<std::uint64_t>(free) * static_cast<std::uint64_t>(size);
  return figures;
}

BYTE LevelFlag(int percent) {
  if (percent < 5) return BATTERY_FLAG_CRITICAL;
  if (percent < 33) return BATTERY_FLAG_LOW;
  if (percent > 66) return BATTERY_FLAG_HIGH;
  return 0;
}

SYSTEM_POWER_STATUS_EX2 CurrentPowerStatus() {
  PowerFigures figures = ce::kernel::status::ReadPowerSupplies("/sys/class/power_supply");
  if (const auto battery = ce::device::Setting("battery_percent")) {
    // The configured battery replaces the host's, details and all.
    const bool mains = figures.mainsOnline;
    figures = PowerFigures{};
    figures.mainsOnline = mains;
    const long long percent = ce::device::SettingNumber("battery_percent", -1);
    if (percent >= 0 && percent <= 100) {
      figures.batteries = 1;
      figures.percent = static_cast<int>(percent);
    } else if (*battery != "none") {
      ce::kernel::Diagnostic("device: battery_percent \"%s\" is neither 0..100 nor \"none\"; no battery reported",
                             battery->c_str());
    }
  }
  const long long ac = ce::device::SettingNumber("ac_online", -1);
  bool onMains = ac >= 0 ? ac != 0 : (figures.mainsOnline || figures.batteries == 0);

  SYSTEM_POWER_STATUS_EX2 status{};
  status.ACLineStatus = onMains ? AC_LINE_ONLINE : AC_LINE_OFFLINE;
  status.BatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  status.BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  status.BackupBatteryFlag = BATTERY_FLAG_UNKNOWN;
  status.BackupBatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
  status.BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  status.BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  status.BatteryChemistry = BATTERY_CHEMISTRY_UNKNOWN;
  if (figures.batteries == 0) {
    status.BatteryFlag = BATTERY_FLAG_NO_BATTERY;
    status.BatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    return status;
  }
  const bool charging = onMains && (!figures.percent || *figures.percent < 100);
  if (figures.percent) {
    status.BatteryLifePercent = static_cast<BYTE>(*figures.percent);
    status.BatteryFlag = LevelFlag(*figures.percent);
  } else {
    status.BatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    status.BatteryFlag = charging ? 0 : BATTERY_FLAG_UNKNOWN;
  }
  if (charging) status.BatteryFlag |= BATTERY_FLAG_CHARGING;
  if (figures.secondsLeft && !onMains) status.BatteryLifeTime = *figures.secondsLeft;
  if (figures.secondsFull && !onMains) status.BatteryFullLifeTime = *figures.secondsFull;
  status.BatteryVoltage = static_cast<DWORD>(figures.millivolts.value_or(0));
  status.BatteryCurrent = static_cast<DWORD>(figures.milliamperes.value_or(0));
  status.BatteryAverageCurrent = status.BatteryCurrent;
  status.BatteryTemperature = static_cast<DWORD>(figures.tenthsCelsius.value_or(0));
  if (figures.chemistry) status.BatteryChemistry = *figures.chemistry;
  return status;
}

// A "power.<field>" setting replaces that field of the record as it stands,
// after everything else: the value is the raw field (a flag byte, seconds,
// millivolts...). Values the field cannot hold are reported and ignored.
template <typename Field>
void OverrideField(const char* key, Field& field, long long lowest = 0) {
  const auto text = ce::device::Setting(key);
  if (!text) return;
  constexpr long long kNotNumber = LLONG_MIN;
  const long long value = ce::device::SettingNumber(key, kNotNumber);
  const long long highest = sizeof(Field) == 1 ? 0xFF : 0xFFFFFFFFll;
  if (value == kNotNumber || value < lowest || value > highest) {
    ce::kernel::Diagnostic("device: %s \"%s\" does not fit the field; ignored", key, text->c_str());
    return;
  }
  field = static_cast<Field>(static_cast<std::uint32_t>(value));
}

void ApplyPowerOverrides(SYSTEM_POWER_STATUS_EX2& status) {
  constexpr long long kSigned = INT32_MIN;  // currents may be negative
  OverrideField("power.ac_line", status.ACLineStatus);
  OverrideField("power.battery_flag", status.BatteryFlag);
  OverrideField("power.battery_percent", status.BatteryLifePercent);
  OverrideField("power.battery_life_time", status.BatteryLifeTime);
  OverrideField("power.battery_full_life_time", status.BatteryFullLifeTime);
  OverrideField("power.backup_flag", status.BackupBatteryFlag);
  OverrideField("power.backup_percent", status.BackupBatteryLifePercent);
  OverrideField("power.backup_life_time", status.BackupBatteryLifeTime);
  OverrideField("power.backup_full_life_time", status.BackupBatteryFullLifeTime);
  OverrideField("power.battery_voltage", status.BatteryVoltage);
  OverrideField("power.battery_current", status.BatteryCurrent, kSigned);
  OverrideField("power.battery_average_current", status.BatteryAverageCurrent, kSigned);
  OverrideField("power.battery_average_interval", status.BatteryAverageInterval);
  OverrideField("power.battery_mah_consumed", status.BatterymAHourConsumed);
  OverrideField("power.battery_temperature", status.BatteryTemperature, kSigned);
  OverrideField("power.backup_voltage", status.BackupBatteryVoltage);
  OverrideField("power.battery_chemistry", status.BatteryChemistry);
}

SYSTEM_POWER_STATUS_EX2 PowerStatus() {
  SYSTEM_POWER_STATUS_EX2 status = CurrentPowerStatus();
  ApplyPowerOverrides(status);
  return status;
}

// Writes text and terminator as wchar_t into a buffer of byteCount bytes.

}  // namespace

void GlobalMemoryStatus(LPMEMORYSTATUS buffer) {
  if (!buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return;
  }
  MemoryFigures figures = HostMemory();
  if (const auto total = SizeSetting("memory_total_bytes")) figures.totalBytes = *total;
  if (const auto available = SizeSetting("memory_available_bytes")) figures.availableBytes = *available;
  figures.availableBytes = std::min(figures.availableBytes, figures.totalBytes);

  MEMORYSTATUS status{};
  status.dwLength = sizeof(MEMORYSTATUS);
  if (figures.totalBytes > 0) {
    // In 64 bits from the real figures, so a host above 4 GiB still gives a true load.
    const std::uint64_t used = figures.totalBytes - figures.availableBytes;
    const std::uint64_t load =
        used <= UINT64_MAX / 100 ? used * 100 / figures.totalBytes : used / (figures.totalBytes / 100);
    status.dwMemoryLoad = static_cast<DWORD>(std::min<std::uint64_t>(load, 100));
  }
  // The record's fields are 32 bits: a host with more memory is shown
  // halved as often as it takes, both figures alike, so the share used
  // stays the host's and free never passes total.
  unsigned shift = 0;
  while ((figures.totalBytes >> shift) > 0xFFFFFFFFu) ++shift;
  status.dwTotalPhys = static_cast<DWORD>(figures.totalBytes >> shift);
  status.dwAvailPhys = static_cast<DWORD>(figures.availableBytes >> shift);
  status.dwTotalVirtual = kDeviceVirtualBytes;
  status.dwAvailVirtual = kDeviceVirtualBytes;
  *buffer = status;
}

DWORD GetSystemPowerStatusEx2(PSYSTEM_POWER_STATUS_EX2 status, DWORD length, BOOL /*update*/) {
  if (!status || length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const SYSTEM_POWER_STATUS_EX2 current = PowerStatus();
  const DWORD copied = std::min<DWORD>(length, sizeof current);
  std::memcpy(status, &current, copied);
  return copied;
}

BOOL GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX status, BOOL /*update*/) {
  if (!status) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const SYSTEM_POWER_STATUS_EX2 current = PowerStatus();
  SYSTEM_POWER_STATUS_EX out{};
  out.ACLineStatus = current.ACLineStatus;
  out.BatteryFlag = current.BatteryFlag;
  out.BatteryLifePercent = current.BatteryLifePercent;
  out.BatteryLifeTime = current.BatteryLifeTime;
  out.BatteryFullLifeTime = current.BatteryFullLifeTime;
  out.BackupBatteryFlag = current.BackupBatteryFlag;
  out.BackupBatteryLifePercent = current.BackupBatteryLifePercent;
  out.BackupBatteryLifeTime = current.BackupBatteryLifeTime;
  out.BackupBatteryFullLifeTime = current.BackupBatteryFullLifeTime;
  *status = out;
  return TRUE;
}

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->dwMajorVersion = VersionSetting("os_major", kDefaultMajor);
  info->dwMinorVersion = VersionSetting("os_minor", kDefaultMinor);
  info->dwBuildNumber = VersionSetting("os_build", kDefaultBuild);
  info->dwPlatformId = VER_PLATFORM_WIN32_CE;
  info->szCSDVersion[0] = L'\0';
  return TRUE;
}
