// The shared test entry leaves nothing behind in the temporary folder, also
// when a death test runs in a process of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

TEST(TestMain, ThreadsafeDeathTestLeavesNoDeviceFolder) {
  namespace fs = std::filesystem;
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The death test's process runs this body again from the top, up to the
  // same EXPECT_EXIT: only the first process sets up and checks.
  const bool first = GTEST_FLAG_GET(internal_run_death_test).empty();
  const fs::path scratch = fs::temp_directory_path() / ("ce-support-" + std::to_string(::getpid()));
  const char* old = std::getenv("TMPDIR");
  const std::string previous = old != nullptr ? old : "";
  if (first) {
    // The death test's process inherits the environment: its temporary
    // folder is the scratch folder.
    fs::create_directories(scratch);
    ::setenv("TMPDIR", scratch.c_str(), 1);
  }
  EXPECT_EXIT(std::_Exit(0), ::testing::ExitedWithCode(0), "");
  if (!first) return;
  if (old != nullptr) {
    ::setenv("TMPDIR", previous.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_TRUE(fs::is_empty(scratch)) << "a device folder was left in " << scratch;
  fs::remove_all(scratch);
}

}  // namespace
