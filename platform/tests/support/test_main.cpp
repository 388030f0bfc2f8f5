// Entry of every test program: unimplemented platform calls abort, and the
// program runs on a device root of its own unless a test makes another.
#include <gtest/gtest.h>

#include "kernel/not_implemented.h"
#include "temp_device.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ce::kernel::SetStrictMode(true);
  ce::test::TempDevice device;
  return RUN_ALL_TESTS();
}
