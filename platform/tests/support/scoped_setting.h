// Sets one device setting through its DEVICE_<KEY> environment variable for
// the lifetime of the object, then restores what was there.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace ce::test {

class ScopedSetting {
 public:
  ScopedSetting(std::string variable, const std::string& value) : variable_(std::move(variable)) {
    if (const char* old = std::getenv(variable_.c_str())) previous_ = old;
    ::setenv(variable_.c_str(), value.c_str(), 1);
  }
  ~ScopedSetting() {
    if (previous_) {
      ::setenv(variable_.c_str(), previous_->c_str(), 1);
    } else {
      ::unsetenv(variable_.c_str());
    }
  }
  ScopedSetting(const ScopedSetting&) = delete;
  ScopedSetting& operator=(const ScopedSetting&) = delete;

 private:
  std::string variable_;
  std::optional<std::string> previous_;
};

}  // namespace ce::test
