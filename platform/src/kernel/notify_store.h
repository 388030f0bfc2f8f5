// The store of user notifications as text, apart from the calls so tests can
// feed it damaged files. One registration per line after a heading:
//   notifications 1
//   next <id>
//   <id> <type> <event> <start: 8 numbers> <end: 8 numbers> <has user
//   notification 0|1> <action flags> <max sound>, then a tab and five texts
//   separated by tabs: application, arguments, title, text, sound
// Texts are UTF-8 with \\, \t, \n and \r escaped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/minwindef.h"

namespace ce::kernel::notify {

inline constexpr std::size_t kMostNotifications = 4096;
inline constexpr std::size_t kLongestText = 1024;        // characters
inline constexpr std::size_t kLargestStore = 16u << 20;  // bytes

struct Notification {
  std::uint32_t id = 0;
  DWORD type = 0;
  DWORD event = 0;
  SYSTEMTIME start{};
  SYSTEMTIME end{};
  bool hasUser = false;
  DWORD actionFlags = 0;
  DWORD maxSound = 0;
  std::wstring application, arguments, title, text, sound;
};

struct Store {
  std::uint32_t next = 1;  // the id the next registration gets
  std::vector<Notification> items;
};

// Nothing when the text is not a whole, valid store.
std::optional<Store> ParseStore(std::string_view text);
std::string FormatStore(const Store& store);

}  // namespace ce::kernel::notify
