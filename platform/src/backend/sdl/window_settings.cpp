#include "backend/sdl/window_settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>

#include "kernel/debug_output.h"
#include "kernel/device.h"

namespace ce::backend::sdl {
namespace {

// A real file is a few lines; anything longer is not ours.
constexpr std::streamsize kMaxFileBytes = 4096;

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::optional<int> Number(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<RememberedWindow> Damaged(const std::string& path, const char* why) {
  ce::kernel::Diagnostic("platform: ignoring the remembered window size in %s: %s", path.c_str(), why);
  return std::nullopt;
}

}  // namespace

std::string RememberedWindowPath() { return ce::device::RuntimeFolder() + "/window.conf"; }

std::optional<RememberedWindow> ReadRememberedWindow(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(static_cast<std::size_t>(kMaxFileBytes) + 1, '\0');
  in.read(text.data(), kMaxFileBytes + 1);
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > static_cast<std::size_t>(kMaxFileBytes)) return Damaged(path, "the file is too long");

  RememberedWindow window;
  bool haveScale = false, haveWidth = false, haveHeight = false;
  std::string_view rest = text;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return Damaged(path, "a line is not \"key = value\"");
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));
    if (key == "scale") {
      window.scale = std::string(value);
      haveScale = true;
    } else if (key == "width" || key == "height") {
      const auto number = Number(value, 1, kMaxRememberedSize);
      if (!number) return Damaged(path, "a size is not a number from 1 to 16384");
      (key == "width" ? window.width : window.height) = *number;
      (key == "width" ? haveWidth : haveHeight) = true;
    } else if (key == "fullscreen") {
      const auto number = Number(value, 0, 1);
      if (!number) return Damaged(path, "fullscreen is neither 0 nor 1");
      window.fullScreen = *number == 1;
    }
    // Other keys are left for newer versions.
  }
  if (!haveScale || !haveWidth || !haveHeight) return Damaged(path, "scale, width or height is missing");
  return window;
}

bool WriteRememberedWindow(const std::string& path, const RememberedWindow& window) {
  const std::string text =
      "# The desktop window as it was last left; removing this file forgets it.\n"
      "scale = " +
      window.scale + "\nwidth = " + std::to_string(window.width) + "\nheight = " + std::to_string(window.height) +
      "\nfullscreen = " + (window.fullScreen ? "1" : "0") + "\n";
  // Each process writes its own temporary file; the rename replaces the old
  // file in one step, so a reader never sees half of one.
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  int error = 0;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = errno;
  } else {
    std::size_t done = 0;
    while (done < text.size() && error == 0) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = n < 0 ? errno : EIO;
      } else {
        done += static_cast<std::size_t>(n);
      }
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  }
  if (error != 0) {
    ::unlink(temp.c_str());
    ce::kernel::Diagnostic("platform: cannot remember the window size in %s: %s", path.c_str(), std::strerror(error));
    return false;
  }
  const std::string folder = path.substr(0, path.rfind('/') == std::string::npos ? 0 : path.rfind('/'));
  if (const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace ce::backend::sdl
