// Drawing allocates nothing: every buffer a frame uses is made when the room
// and the table are set up. The test counts the calls of operator new made
// while the frames of a whole break are drawn, with the stick and the
// in-game text, from its first full frame to the balls at rest.
#include <gtest/gtest.h>

#include "counting_new.h"
#include "play/hud.h"
#include "play_fixture.h"

namespace ks::play::test {
namespace {

// Counts the allocations `draw` makes.
template <typename F>
long Counted(F&& draw) {
  ks::newcount::calls = 0;
  ks::newcount::counting = true;
  draw();
  ks::newcount::counting = false;
  return ks::newcount::calls.load();
}

TEST(FrameDrawing, AWholeBreakIsDrawnWithoutAllocating) {
  for (int rotate : {0, 1}) {
    SCOPED_TRACE(rotate);
    Rig rig(240, 320, 16, rotate);
    ASSERT_TRUE(rig.display);
    ssFont* font = rig.display->GetFont(L"Small Fonts7", L"Fonts", nullptr);
    HudTexts texts;
    texts.name[0] = L"Player 1";
    texts.title = L"Aim Mode";
    texts.icon = 1;
    std::array<std::int32_t, 4> areas[2];
    rig.scene->scene.SetOverlays(areas, HudAreas(*rig.display, font, texts, areas));
    rig.scene->SetCamera(CameraPreset::kTableEnd);
    rig.scene->scene.host.stickShown = true;
    // The frames of aiming: in full, again with the camera still, and with
    // the stick pulled back.
    long allocations = Counted([&] {
      rig.scene->DrawFrame();
      DrawHud(*rig.display, font, font, texts, &rig.scene->icons);
      rig.scene->scene.ForceFull();
      rig.scene->DrawFrame();
      DrawHud(*rig.display, font, font, texts, &rig.scene->icons);
      rig.scene->view.stickOnly = 1;
      rig.scene->scene.host.stickClearance = 0x50000;
      rig.scene->DrawFrame();
      rig.scene->view.stickOnly = 0;
    });
    EXPECT_EQ(allocations, 0);
    // The break, frame by frame, to rest.
    rig.scene->scene.host.stickShown = false;
    Shot shot;
    shot.power = 400;
    ASSERT_TRUE(rig.table->Aim(shot));
    rig.table->Strike();
    int frames = 0;
    for (bool running = true; running && frames < 2000; ++frames) {
      rig.clock.now += 31;
      running = rig.table->PlayFrame();
      allocations += Counted([&] { rig.scene->DrawFrame(); });
    }
    EXPECT_GT(frames, 50);
    EXPECT_EQ(allocations, 0);
    if (font != nullptr) rig.display->ReleaseFont(font);
  }
}

}  // namespace
}  // namespace ks::play::test
