// Sets device settings through their DEVICE_<KEY> variables for one test and
// makes the screen read them again; restores both after.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ce/testing.h"

namespace ce::test {

class ScreenConfig {
 public:
  ScreenConfig(std::initializer_list<std::pair<const char*, const char*>> settings) {
    for (const auto& [name, value] : settings) {
      const char* old = std::getenv(name);
      saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
      ::setenv(name, value, 1);
    }
    ce::testing::ReloadScreen();
  }
  ~ScreenConfig() {
    for (const auto& [name, old] : saved_) {
      if (old) {
        ::setenv(name.c_str(), old->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    ce::testing::ReloadScreen();
  }
  ScreenConfig(const ScreenConfig&) = delete;
  ScreenConfig& operator=(const ScreenConfig&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace ce::test
