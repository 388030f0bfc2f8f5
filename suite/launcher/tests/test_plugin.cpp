#include <gtest/gtest.h>
TEST(TessivoPlugin, Builds) {}
