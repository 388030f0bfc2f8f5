// The device configuration as programs may read it: one "key = value" per
// line of "device.conf" in the device root, each key overridable by the
// variable DEVICE_<KEY>. Programs use it for choices a real device makes in
// its drivers (which display output a game may use, for instance).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#pragma GCC visibility push(default)

namespace ce::device {

std::optional<std::string> Setting(std::string_view key);
std::string SettingOr(std::string_view key, std::string_view fallback);
// A numeric setting; the fallback when absent or not a number.
long long SettingNumber(std::string_view key, long long fallback);

}  // namespace ce::device

#pragma GCC visibility pop
