// System status: memory, power and battery, the OS version, and the two
// system parameters the programs ask for (platform type and OEM text).
// Figures come from the host (/proc/meminfo, /sys/class/power_supply) unless
// the device configuration sets them; see "System status settings" below.
// Left out: GetSystemInfo, which no program uses, and every other system
// parameter (the windowing layer owns those).
//
// Power comes from /sys/class/power_supply: the batteries are the supplies of
// type Battery whose scope is not Device, summed into one; none means "no
// battery" (and external power). Mains or USB supplies online mean external
// power, and a battery below 100% on external power is charging. Files that
// are missing or unreadable leave their fields unknown.
//
// System status settings ("device.conf" keys, or DEVICE_<KEY> variables):
//   memory_total_bytes, memory_available_bytes   physical memory figures
//   battery_percent     0..100 for one battery at that level, "none" for none
//   ac_online           1 on external power, 0 on battery
//   power.<field>       replaces one field of the power record as computed,
//                       as its raw value: ac_line, battery_flag,
//                       battery_percent, battery_life_time,
//                       battery_full_life_time, backup_flag, backup_percent,
//                       backup_life_time, backup_full_life_time,
//                       battery_voltage, battery_current,
//                       battery_average_current, battery_average_interval,
//                       battery_mah_consumed, battery_temperature,
//                       backup_voltage, battery_chemistry
//   os_major, os_minor, os_build                  the version (default 5.2.1235)
//   backlight.battery_timeout, backlight.ac_timeout   seconds (default 60, 300)
//   backlight.level, backlight.ac_level   percent (default the host's
//                       /sys/class/backlight level, else 100)
//                       The four backlight values are written to HKCU
//                       "ControlPanel\Backlight" ("m_BatteryTimeout",
//                       "m_ACTimeout", "Brightness", "ACBrightness") when
//                       a process first uses the registry of a device, each
//                       only when it is missing.
//   platform_type       "PocketPC" (default) or "SmartPhone"
//   oem_info            the OEM text (default "Handheld Device")
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

// ---- memory ----

// The device's 32-bit figures: a host with more than 4 GiB - 1 has total and
// available halved together as often as it takes, so the share used stays
// the host's and available never exceeds total.
struct MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;  // percent of physical memory in use
  DWORD dwTotalPhys;
  DWORD dwAvailPhys;
  DWORD dwTotalPageFile;  // the device has no page file: 0
  DWORD dwAvailPageFile;
  DWORD dwTotalVirtual;  // the 32 MiB address space of a device process
  DWORD dwAvailVirtual;
};
using LPMEMORYSTATUS = MEMORYSTATUS*;

void GlobalMemoryStatus(LPMEMORYSTATUS buffer);

// ---- power ----

inline constexpr BYTE AC_LINE_OFFLINE = 0x00;
inline constexpr BYTE AC_LINE_ONLINE = 0x01;
inline constexpr BYTE AC_LINE_BACKUP_POWER = 0x02;
inline constexpr BYTE AC_LINE_UNKNOWN = 0xFF;

inline constexpr BYTE BATTERY_FLAG_HIGH = 0x01;
inline constexpr BYTE BATTERY_FLAG_LOW = 0x02;
inline constexpr BYTE BATTERY_FLAG_CRITICAL = 0x04;
inline constexpr BYTE BATTERY_FLAG_CHARGING = 0x08;
inline constexpr BYTE BATTERY_FLAG_NO_BATTERY = 0x80;
inline constexpr BYTE BATTERY_FLAG_UNKNOWN = 0xFF;

inline constexpr BYTE BATTERY_PERCENTAGE_UNKNOWN = 0xFF;
inline constexpr DWORD BATTERY_LIFE_UNKNOWN = 0xFFFFFFFFu;

inline constexpr BYTE BATTERY_CHEMISTRY_ALKALINE = 0x01;
inline constexpr BYTE BATTERY_CHEMISTRY_NICD = 0x02;
inline constexpr BYTE BATTERY_CHEMISTRY_NIMH = 0x03;
inline constexpr BYTE BATTERY_CHEMISTRY_LION = 0x04;
inline constexpr BYTE BATTERY_CHEMISTRY_LIPOLY = 0x05;
inline constexpr BYTE BATTERY_CHEMISTRY_ZINCAIR = 0x06;
inline constexpr BYTE BATTERY_CHEMISTRY_UNKNOWN = 0xFF;

// The 56-byte power record of the device. Several host batteries are summed
// into one; the host has no backup battery (its fields say unknown).
struct SYSTEM_POWER_STATUS_EX2 {
  BYTE ACLineStatus;
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;
  BYTE Reserved1;
  DWORD BatteryLifeTime;      // seconds left, or BATTERY_LIFE_UNKNOWN
  DWORD BatteryFullLifeTime;  // seconds on a full charge, or BATTERY_LIFE_UNKNOWN
  BYTE Reserved2;
  BYTE BackupBatteryFlag;
  BYTE BackupBatteryLifePercent;
  BYTE Reserved3;
  DWORD BackupBatteryLifeTime;
  DWORD BackupBatteryFullLifeTime;
  DWORD BatteryVoltage;         // millivolts
  DWORD BatteryCurrent;         // milliamperes, negative (as a 32-bit pattern) while discharging
  DWORD BatteryAverageCurrent;  // milliamperes
  DWORD BatteryAverageInterval;
  DWORD BatterymAHourConsumed;
  DWORD BatteryTemperature;  // tenths of a degree Celsius
  DWORD BackupBatteryVoltage;
  BYTE BatteryChemistry;
};
using PSYSTEM_POWER_STATUS_EX2 = SYSTEM_POWER_STATUS_EX2*;

// Fills the first min(length, sizeof record) bytes and returns how many; 0
// with ERROR_INVALID_PARAMETER for a null record or a zero length. The
// figures are read fresh on every call, whatever update says.
DWORD GetSystemPowerStatusEx2(PSYSTEM_POWER_STATUS_EX2 status, DWORD length, BOOL update);

// The older record: the first fields of SYSTEM_POWER_STATUS_EX2.
struct SYSTEM_POWER_STATUS_EX {
  BYTE ACLineStatus;
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;
  BYTE Reserved1;
  DWORD BatteryLifeTime;
  DWORD BatteryFullLifeTime;
  BYTE Reserved2;
  BYTE BackupBatteryFlag;
  BYTE BackupBatteryLifePercent;
  BYTE Reserved3;
  DWORD BackupBatteryLifeTime;
  DWORD BackupBatteryFullLifeTime;
};
using PSYSTEM_POWER_STATUS_EX = SYSTEM_POWER_STATUS_EX*;

// TRUE with the record filled; FALSE with ERROR_INVALID_PARAMETER for null.
BOOL GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX status, BOOL update);

// ---- version ----

inline constexpr DWORD VER_PLATFORM_WIN32_CE = 3;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;  // set by the caller to sizeof(OSVERSIONINFOW)
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;
using OSVERSIONINFO = OSVERSIONINFOW;
using LPOSVERSIONINFO = LPOSVERSIONINFOW;

// FALSE with ERROR_INVALID_PARAMETER for a null record or a wrong size field.
BOOL GetVersionExW(LPOSVERSIONINFOW info);

// ---- system parameters ----

inline constexpr UINT SPI_GETPLATFORMTYPE = 257;
inline constexpr UINT SPI_GETOEMINFO = 258;

// The two text queries above, and SPI_GETWORKAREA (winuser.h) into a RECT. uiParam is the buffer's real size in
// bytes (sizeof a wchar_t array): the text and its terminator are written as
// wchar_t when they fit, else FALSE with ERROR_INSUFFICIENT_BUFFER. Other
// actions are not implemented.
BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);

#pragma GCC visibility pop
