#include <gtest/gtest.h>
TEST(Launcher, Builds) {}
