// The application's own pieces that need no display: pen and arrow keys
// turned with the display, and the modal wait's handling of the quit message.
#include <gtest/gtest.h>

#include "ce/windows.h"
#include "input_turn.h"
#include "ks_main.h"

namespace {

TEST(AppInput, PenAndArrowsFollowTheDisplaysRotation) {
  const int w = 320, h = 240;
  struct Case {
    int rotate, x, y;
  };
  // A press at screen (10, 20) on each rotation.
  const Case cases[] = {{0, 10, 20}, {1, w - 20, 10}, {2, w - 10, h - 20}, {3, 20, h - 10}};
  for (const Case& c : cases) {
    const LPARAM turned = TurnPenPosition(10 | 20 << 16, c.rotate, w, h, 1.0f, 1.0f);
    EXPECT_EQ(turned & 0xFFFF, c.x) << c.rotate;
    EXPECT_EQ((turned >> 16) & 0xFFFF, c.y) << c.rotate;
  }
  // Scaled first, truncated.
  EXPECT_EQ(TurnPenPosition(100 | 50 << 16, 0, w, h, 0.5f, 1.5f), 50 | 75 << 16);
  EXPECT_EQ(TurnArrowKey(0x25, 1), 0x26u) << "Left becomes Up";
  EXPECT_EQ(TurnArrowKey(0x28, 1), 0x25u) << "Down becomes Left";
  EXPECT_EQ(TurnArrowKey(0x26, 2), 0x28u);
  EXPECT_EQ(TurnArrowKey(0x25, 3), 0x28u) << "Left becomes Down";
  EXPECT_EQ(TurnArrowKey(0x0D, 1), 0x0Du);
}

TEST(AppKeepAlive, TheQuitMessageEndsTheWaitAndReachesTheMainLoop) {
  PostQuitMessage(7);
  WaitBlock block;
  ksMain::KeepAlive(&block);  // would wait for ever if the quit were swallowed
  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
