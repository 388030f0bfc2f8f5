// Host sources of the system status, apart from the calls so tests can feed
// them fixture files: memory from /proc/meminfo, power from the folders of
// /sys/class/power_supply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ce::kernel::status {

struct MemoryFigures {
  std::uint64_t totalBytes = 0;
  std::uint64_t availableBytes = 0;
};

// MemTotal and MemAvailable of a /proc/meminfo text; nothing when either is
// missing or unreadable.
std::optional<MemoryFigures> ParseMemInfo(std::string_view text);

struct PowerFigures {
  bool mainsOnline = false;
  int batteries = 0;           // supplies of type Battery, scope not Device, present
  std::optional<int> percent;  // 0..100, over all batteries
  bool discharging = false;    // a battery reports "Discharging"
  std::optional<std::uint32_t> secondsLeft;
  std::optional<std::uint32_t> secondsFull;
  std::optional<std::int32_t> millivolts;
  std::optional<std::int32_t> milliamperes;  // negative while discharging
  std::optional<std::int32_t> tenthsCelsius;
  std::optional<std::uint8_t> chemistry;  // BATTERY_CHEMISTRY_*
};

// Reads every supply below folder (one folder per supply, as in sysfs).
// Batteries are summed by energy, else by charge, else their capacities are
// averaged; mains (type Mains or USB*) online means external power.
PowerFigures ReadPowerSupplies(const std::string& folder);

// The backlight's level as a share of its largest, in percent (0..100),
// from the first device below folder (one folder per device, as in
// /sys/class/backlight, each with "brightness" and "max_brightness");
// nothing when none can be read.
std::optional<int> ReadBacklightPercent(const std::string& folder);

}  // namespace ce::kernel::status
