#include <gtest/gtest.h>

#include <string>

#include "lng_encode.h"

namespace {

TEST(Lngmake, WritesUtf16WithTheMarkOrTheAnsiPage) {
  std::string out;
  std::string error;
  ASSERT_TRUE(lngmake::ToUtf16("a \xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5", out, error)) << error;
  EXPECT_EQ(out, std::string("\xFF\xFE"
                             "a\0 \0\xE9\0\xAC\x20\x3C\xD8\xB5\xDF",
                             14));
  ASSERT_TRUE(lngmake::ToAnsi("a \xC3\xA9\xE2\x82\xAC\xC5\xB8", out, error)) << error;
  EXPECT_EQ(out, "a \xE9\x80\x9F");
  EXPECT_FALSE(lngmake::ToAnsi("\xE4\xB8\xAD", out, error));  // not in the page
  for (const char* bad : {"\xC3", "\xC3(", "\xFF", "\xED\xA0\x80"}) {
    EXPECT_FALSE(lngmake::ToUtf16(bad, out, error)) << bad;
    EXPECT_NE(error.find("malformed"), std::string::npos);
  }
}

}  // namespace
