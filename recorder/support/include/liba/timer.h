// A stopwatch on the millisecond tick count.
#pragma once

#include <cstdint>

namespace liba {

class Timer {
 public:
  Timer();
  std::uint32_t restart();
  // Seconds since the start; the tick count's wrap is harmless.
  double elapsed() const;

 private:
  std::uint32_t start_;
};

}  // namespace liba
