#include "temp_device.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "ce/testing.h"

namespace ce::test {

TempDevice::TempDevice() {
  if (const char* previous = std::getenv("DEVICE_ROOT")) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "ce-device-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary device root");
  root_ = pattern;
  ::setenv("DEVICE_ROOT", root_.c_str(), 1);
  ce::testing::ReloadDevice();
}

TempDevice::~TempDevice() {
  if (hadPrevious_) {
    ::setenv("DEVICE_ROOT", previous_.c_str(), 1);
  } else {
    ::unsetenv("DEVICE_ROOT");
  }
  ce::testing::ReloadDevice();  // before the root goes: what is pending for it is written there
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void TempDevice::WriteHostFile(const std::string& relative, const std::string& contents) const {
  const std::filesystem::path path = HostPath(relative);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

std::string TempDevice::ReadHostFile(const std::string& relative) const {
  std::ifstream in(HostPath(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace ce::test
