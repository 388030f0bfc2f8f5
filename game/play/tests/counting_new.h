// A test program that links counting_new.cpp has its global operator new
// replaced by one that counts the allocations made while counting is on,
// for tests of code that must not allocate.
#pragma once

#include <atomic>

namespace ks::newcount {

extern std::atomic<bool> counting;
extern std::atomic<long> calls;

}  // namespace ks::newcount
