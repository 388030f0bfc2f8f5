#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "ce/kernel/system.h"
#include "kernel/system_status.h"

namespace ce::kernel::status {
namespace {

// Bounds that keep the sums below far from overflow: no real supply reports
// a figure near 10^12 (micro-units) or has dozens of batteries.
constexpr long long kLargestReading = 1'000'000'000'000;
constexpr std::size_t kMostBatteries = 64;

std::optional<std::string> ReadAttribute(const std::filesystem::path& supply, const char* name) {
  std::ifstream in(supply / name);
  if (!in) return std::nullopt;
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  return line;
}

std::optional<long long> ReadNumber(const std::filesystem::path& supply, const char* name) {
  const auto text = ReadAttribute(supply, name);
  if (!text || text->empty()) return std::nullopt;
  long long value = 0;
  const auto [ptr, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || ptr != text->data() + text->size()) return std::nullopt;
  if (value > kLargestReading || value < -kLargestReading) return std::nullopt;
  return value;
}

std::uint8_t ChemistryOf(const std::string& technology) {
  if (technology == "Li-ion") return BATTERY_CHEMISTRY_LION;
  if (technology == "Li-poly") return BATTERY_CHEMISTRY_LIPOLY;
  if (technology == "NiMH") return BATTERY_CHEMISTRY_NIMH;
  if (technology == "NiCd") return BATTERY_CHEMISTRY_NICD;
  return BATTERY_CHEMISTRY_UNKNOWN;
}

std::int32_t Clamp32(long long value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

struct Battery {
  std::optional<long long> energyNow, energyFull, chargeNow, chargeFull, capacity, powerNow;
  std::optional<long long> voltageNow, currentNow, temperature;
  std::string status;
  std::string technology;
};

}  // namespace

std::optional<MemoryFigures> ParseMemInfo(std::string_view text) {
  std::optional<std::uint64_t> total;
  std::optional<std::uint64_t> available;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    if (!(fields >> key >> kib)) continue;
    fields >> unit;
    if (unit != "kB" || kib > UINT64_MAX / 1024) continue;
    if (key == "MemTotal:") total = kib * 1024;
    if (key == "MemAvailable:") available = kib * 1024;
  }
  if (!total || !available) return std::nullopt;
  return MemoryFigures{*total, std::min(*available, *total)};
}

PowerFigures ReadPowerSupplies(const std::string& folder) {
  PowerFigures figures;
  std::vector<Battery> batteries;
  std::error_code error;
  std::vector<std::filesystem::path> supplies;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    supplies.push_back(it->path());
  }
  std::sort(supplies.begin(), supplies.end());  // the first battery's details are reported
  for (const auto& supply : supplies) {
    const auto type = ReadAttribute(supply, "type");
    if (!type || ReadAttribute(supply, "scope") == std::optional<std::string>("Device")) continue;
    if (*type == "Mains" || type->rfind("USB", 0) == 0) {
      if (ReadNumber(supply, "online").value_or(0) != 0) figures.mainsOnline = true;
      continue;
    }
    if (*type != "Battery" || ReadNumber(supply, "present").value_or(1) == 0) continue;
    if (batteries.size() == kMostBatteries) continue;
    Battery battery;
    battery.energyNow = ReadNumber(supply, "energy_now");
    battery.energyFull = ReadNumber(supply, "energy_full");
    battery.chargeNow = ReadNumber(supply, "charge_now");
    battery.chargeFull = ReadNumber(supply, "charge_full");
    battery.capacity = ReadNumber(supply, "capacity");
    battery.powerNow = ReadNumber(supply, "power_now");
    battery.voltageNow = ReadNumber(supply, "voltage_now");
    battery.currentNow = ReadNumber(supply, "current_now");
    battery.temperature = ReadNumber(supply, "temp");
    battery.status = ReadAttribute(supply, "status").value_or("");
    battery.technology = ReadAttribute(supply, "technology").value_or("");
    batteries.push_back(std::move(battery));
  }
  figures.batteries = static_cast<int>(batteries.size());
  if (batteries.empty()) return figures;

  // One combined battery: by energy when every battery reports it, else by
  // charge, else the mean of the capacities.
  long long energyNow = 0, energyFull = 0, chargeNow = 0, chargeFull = 0, capacity = 0, power = 0;
  bool byEnergy = true, byCharge = true, byCapacity = true, havePower = true;
  for (const auto& b : batteries) {
    byEnergy = byEnergy && b.energyNow && b.energyFull && *b.energyFull > 0 && *b.energyNow >= 0;
    byCharge = byCharge && b.chargeNow && b.chargeFull && *b.chargeFull > 0 && *b.chargeNow >= 0;
    byCapacity = byCapacity && b.capacity && *b.capacity >= 0;
    havePower = havePower && b.powerNow && *b.powerNow >= 0;
    if (byEnergy) energyNow += *b.energyNow, energyFull += *b.energyFull;
    if (byCharge) chargeNow += *b.chargeNow, chargeFull += *b.chargeFull;
    if (byCapacity) capacity += *b.capacity;
    if (havePower) power += *b.powerNow;
    if (b.status == "Discharging") figures.discharging = true;
  }
  long long percent = -1;
  if (byEnergy) {
    percent = (energyNow * 100 + energyFull / 2) / energyFull;
  } else if (byCharge) {
    percent = (chargeNow * 100 + chargeFull / 2) / chargeFull;
  } else if (byCapacity) {
    percent = capacity / static_cast<long long>(batteries.size());
  }
  if (percent >= 0) figures.percent = static_cast<int>(std::min<long long>(percent, 100));
  if (byEnergy && havePower && power > 0 && figures.discharging) {
    figures.secondsLeft = static_cast<std::uint32_t>(std::min<long long>(energyNow * 3600 / power, UINT32_MAX - 1));
    figures.secondsFull = static_cast<std::uint32_t>(std::min<long long>(energyFull * 3600 / power, UINT32_MAX - 1));
  }

  const Battery& first = batteries.front();
  if (first.voltageNow) figures.millivolts = Clamp32(*first.voltageNow / 1000);
  if (first.currentNow) {
    const long long magnitude = *first.currentNow < 0 ? -*first.currentNow : *first.currentNow;
    figures.milliamperes = Clamp32((figures.discharging ? -magnitude : magnitude) / 1000);
  }
  if (first.temperature) figures.tenthsCelsius = Clamp32(*first.temperature);
  figures.chemistry = ChemistryOf(first.technology);
  return figures;
}

std::optional<int> ReadBacklightPercent(const std::string& folder) {
  std::error_code error;
  std::vector<std::filesystem::path> devices;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) devices.push_back(entry.path());
  if (error) return std::nullopt;
  // The first by name, so the choice does not depend on the listing order.
  std::sort(devices.begin(), devices.end());
  for (const auto& device : devices) {
    const auto level = ReadNumber(device, "brightness");
    const auto largest = ReadNumber(device, "max_brightness");
    if (!level || !largest || *largest <= 0 || *level < 0) continue;
    return static_cast<int>((std::min(*level, *largest) * 100 + *largest / 2) / *largest);
  }
  return std::nullopt;
}

}  // namespace ce::kernel::status
