// Entry of every test program: unimplemented platform calls abort, the
// program runs on a device root of its own unless a test makes another, and
// on the headless back end, so tests run at a desktop open no windows.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ce/testing.h"
#include "temp_device.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ce::testing::SetStrictMode(true);
  ::setenv("DEVICE_BACKEND", "headless", 1);
  ce::test::TempDevice device;
  return RUN_ALL_TESTS();
}
