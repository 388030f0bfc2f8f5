// The device's rand: the C runtime's linear congruential generator with a
// 15-bit result. One state for the whole process, as on the device; the
// update is a compare-and-swap so threads never tear it.
#include <atomic>
#include <cstdint>

#include "ce/crt.h"

namespace ce {
namespace {
std::atomic<std::uint32_t> g_state{1};
}

void srand(unsigned seed) { g_state.store(seed, std::memory_order_relaxed); }

int rand() {
  std::uint32_t state = g_state.load(std::memory_order_relaxed);
  std::uint32_t next = 0;
  do {
    next = state * 214013u + 2531011u;  // wraps modulo 2^32 by design
  } while (!g_state.compare_exchange_weak(state, next, std::memory_order_relaxed));
  return static_cast<int>((next >> 16) & 0x7FFF);
}

}  // namespace ce
