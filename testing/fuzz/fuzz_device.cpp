// Setup for fuzz targets that read and write device files: an unimplemented
// platform call aborts (so it shows as a failure, not a quiet refusal), and
// the whole run uses a private device root, removed at exit.
#include "ce/testing.h"
#include "fuzz_driver.h"
#include "temp_device.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ce::testing::SetStrictMode(true);
  static ce::test::TempDevice device;
  return 0;
}
