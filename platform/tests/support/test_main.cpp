// Entry of every test program: unimplemented platform calls abort, the
// program runs on a device root of its own unless a test makes another, and
// on the headless back end, so tests run at a desktop open no windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "ce/testing.h"
#include "temp_device.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ce::testing::SetStrictMode(true);
  ::setenv("DEVICE_BACKEND", "headless", 1);
  // A death test run in a fresh process ("threadsafe" style) starts here
  // again and ends with _exit, which runs no destructor: it works on the
  // device root of the test program that started it, which removes it.
  const bool deathTestChild = !GTEST_FLAG_GET(internal_run_death_test).empty() && std::getenv("DEVICE_ROOT") != nullptr;
  std::unique_ptr<ce::test::TempDevice> device;
  if (!deathTestChild) device = std::make_unique<ce::test::TempDevice>();
  return RUN_ALL_TESTS();
}
