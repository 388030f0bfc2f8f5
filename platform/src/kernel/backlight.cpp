// The backlight's settings in the registry, where programs read and change
// them: HKEY_CURRENT_USER "ControlPanel\Backlight" with the time-outs
// "m_BatteryTimeout" and "m_ACTimeout" (seconds) and the levels
// "Brightness" (on battery) and "ACBrightness" (on external power, both in
// percent). When a device is first used in a process, each value that is
// missing is filled from the device configuration ("backlight.*" keys),
// else the host's backlight for the levels (/sys/class/backlight), else
// the defaults; a value already there, as a program left it, is kept.
#include <mutex>
#include <optional>
#include <string>

#include "ce/winreg.h"
#include "kernel/backlight.h"
#include "kernel/device.h"
#include "kernel/system_status.h"

namespace ce::kernel::backlight {
namespace {

constexpr DWORD kDefaultBatteryTimeout = 60;
constexpr DWORD kDefaultAcTimeout = 300;
constexpr DWORD kDefaultLevel = 100;
constexpr long long kLargestTimeout = 0x7FFFFFFF;

std::optional<DWORD> NumberSetting(const char* key, long long largest) {
  if (!ce::device::Setting(key)) return std::nullopt;
  const long long value = ce::device::SettingNumber(key, -1);
  if (value < 0 || value > largest) return std::nullopt;  // unreadable: as if not set
  return static_cast<DWORD>(value);
}

void FillIfMissing(HKEY key, const wchar_t* name, DWORD value) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) return;
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

Settings Current(const std::string& hostFolder) {
  Settings s;
  const auto host = ce::kernel::status::ReadBacklightPercent(hostFolder);
  s.batteryTimeout = NumberSetting("backlight.battery_timeout", kLargestTimeout).value_or(kDefaultBatteryTimeout);
  s.acTimeout = NumberSetting("backlight.ac_timeout", kLargestTimeout).value_or(kDefaultAcTimeout);
  const DWORD fromHost = host ? static_cast<DWORD>(*host) : kDefaultLevel;
  s.batteryLevel = NumberSetting("backlight.level", 100).value_or(fromHost);
  s.acLevel = NumberSetting("backlight.ac_level", 100).value_or(fromHost);
  return s;
}

void FillRegistry(const Settings& settings) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Backlight", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  FillIfMissing(key, L"m_BatteryTimeout", settings.batteryTimeout);
  FillIfMissing(key, L"m_ACTimeout", settings.acTimeout);
  FillIfMissing(key, L"Brightness", settings.batteryLevel);
  FillIfMissing(key, L"ACBrightness", settings.acLevel);
  RegCloseKey(key);
}

void EnsureFilled() {
  // The filling's own registry calls come back here on this thread.
  thread_local bool filling = false;
  if (filling) return;
  static std::mutex lock;
  static std::string filledFor;
  std::lock_guard guard(lock);
  const std::string device = ce::device::RuntimeFolder();
  if (device == filledFor) return;
  filledFor = device;
  filling = true;
  FillRegistry(Current("/sys/class/backlight"));
  filling = false;
}

}  // namespace ce::kernel::backlight
