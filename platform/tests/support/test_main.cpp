// Entry of every test program: unimplemented platform calls abort, the
// program runs on a device root of its own unless a test makes another, and
// on the headless back end whatever the environment says, so tests run at a
// desktop open no windows (a test that wants the window sets DEVICE_BACKEND
// itself). The shell's title bar is off: tests place their windows over the
// whole screen (the title bar's own tests put it on).
//
// Death tests fork and exec: the child starts the program afresh and runs
// only the death test, so no lock held by another thread at the fork (the
// platform's threads keep running) can stop it. Such a child works on its
// parent's device root, so what it leaves there shows to the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "ce/testing.h"
#include "temp_device.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ce::testing::SetStrictMode(true);
  ::setenv("DEVICE_BACKEND", "headless", 1);
  ::setenv("DEVICE_TITLE_BAR", "off", 1);
  // A death test run in a fresh process ("threadsafe" style) starts here
  // again and ends with _exit, which runs no destructor: it works on the
  // device root of the test program that started it, which removes it.
  const bool deathTestChild = !GTEST_FLAG_GET(internal_run_death_test).empty() && std::getenv("DEVICE_ROOT") != nullptr;
  std::unique_ptr<ce::test::TempDevice> device;
  if (!deathTestChild) device = std::make_unique<ce::test::TempDevice>();
  return RUN_ALL_TESTS();
}
