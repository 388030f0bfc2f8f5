// What the test programs share as one precompiled header: GoogleTest, with
// the C++ library headers it brings. The device's headers stay out, so
// touching one of them recompiles the tests' sources but not this header.
// Kept to what nearly every test includes: a bigger header costs each
// source more to load than it saves.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>
