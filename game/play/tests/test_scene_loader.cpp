// The room loader's projection: the field of view by the display's shape.
#include <gtest/gtest.h>

#include "play/scene_loader.h"

namespace {

TEST(SceneLoader, FieldOfViewFollowsTheDisplaysShape) {
  struct Case {
    int width, height;
    double degrees;
  };
  // Upright and square screens 21; 4:3 lying 24 (1.333 is below 1.34);
  // 3:2 26; wider than 1.57 back to 24.
  const Case cases[] = {{240, 320, 21}, {480, 640, 21}, {240, 240, 21}, {320, 240, 24}, {640, 480, 24},
                        {360, 240, 26}, {400, 240, 24}, {640, 240, 24}, {334, 250, 24}, {335, 250, 26}};
  for (const Case& c : cases)
    EXPECT_EQ(ks::play::FieldOfViewDegrees(c.width, c.height), c.degrees) << c.width << "x" << c.height;
  EXPECT_EQ(ks::play::FieldOfViewDegrees(320, 0), 24) << "no height: no division";
}

}  // namespace
