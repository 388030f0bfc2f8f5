// The desktop window's size, remembered between runs in "window.conf" in the
// device's runtime folder, so every program of the device opens at the size
// and in the full-screen state the person left it. A remembered size is used
// only while the "window_scale" setting is what it was when the size was
// saved: choosing another scale starts afresh.
#pragma once

#include <optional>
#include <string>

namespace ce::backend::sdl {

struct RememberedWindow {
  std::string scale;  // the window_scale setting it was saved under ("auto", "2", "fit")
  int width = 0;      // the window's inside, in window units
  int height = 0;
  bool fullScreen = false;
};

inline constexpr int kMaxRememberedSize = 16384;

// Host path of the file.
std::string RememberedWindowPath();
// The file's contents; nothing when it is missing, and nothing (with a note
// on standard error) when it is damaged.
std::optional<RememberedWindow> ReadRememberedWindow(const std::string& path);
// Writes the file as a whole (temporary file, flush, rename); false on failure,
// which leaves the old file.
bool WriteRememberedWindow(const std::string& path, const RememberedWindow& window);

}  // namespace ce::backend::sdl
