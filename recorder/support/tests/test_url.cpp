#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ce/testing.h"
#include "os/url.h"

namespace {

TEST(OpenUrl, HandsTheAddressToTheBrowser) {
  const std::string log = ce::testing::DeviceRuntimeFolder() + "/shell-requests.log";
  std::remove(log.c_str());
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(os::open_url(L"http://example.invalid/recorder"));
  // A person sees the request: without a viewer (a headless device) a
  // message names the address.
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(told.find("The page asked for is http://example.invalid/recorder."), std::string::npos) << told;
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "open\tiexplore.exe\thttp://example.invalid/recorder\n");
}

}  // namespace
