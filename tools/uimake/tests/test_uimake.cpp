// The menu pictures decode as the game loads them, at their design sizes,
// with see-through corners on the corner buttons.
#include <gtest/gtest.h>

#include <string>

#include "engine/image.h"
#include "engine/testing/memory_file.h"
#include "menu_pictures.h"

namespace {

TEST(MenuPictures, DecodeAtTheirSizes) {
  struct Row {
    const char* name;
    int width, height;
  };
  const Row rows[] = {{"MainMenu.tga", 220, 176},
                      {"HardTimes.tga", 220, 176},
                      {"Home.tga", 16, 16},
                      {"Back.tga", 16, 16},
                      {"Bill.tga", 190, 74},
                      {"CareerMap.tga", 220, 176},
                      {"LockedRoom.tga", 16, 16},
                      {"Glow.tga", 24, 24},
                      {"keys.tga", 220, 176},
                      {"1Player.tga", 48, 64},
                      {"2Player.tga", 48, 64},
                      {"1_small.tga", 16, 16},
                      {"SelectGarage.tga", 96, 64},
                      {"2_small.tga", 16, 16},
                      {"SelectHawgPen.tga", 96, 64},
                      {"3_small.tga", 16, 16},
                      {"SelectPitStop.tga", 96, 64},
                      {"4_small.tga", 16, 16},
                      {"SelectDeepPockets.tga", 96, 64},
                      {"5_small.tga", 16, 16},
                      {"SelectHardTimes.tga", 96, 64},
                      {"6_small.tga", 16, 16},
                      {"SelectBeachHouse.tga", 96, 64}};
  const auto members = uimake::MenuPictures();
  ASSERT_EQ(members.size(), std::size(rows));
  for (std::size_t i = 0; i < members.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(members[i].name, rows[i].name);
    ssMemoryFile file(members[i].data);
    ssImage image;
    EXPECT_EQ(image.Load(&file, 0, kPixelARGB32), kImageLoaded);
    EXPECT_EQ(image.Width(), rows[i].width);
    EXPECT_EQ(image.Height(), rows[i].height);
  }
}

TEST(MenuPictures, CornerButtonsAreRoundedAndOpaqueInside) {
  for (const imgconv::Picture& p : {uimake::HomeButton(), uimake::BackButton()}) {
    EXPECT_EQ(p.rgba[3], 0) << "the top-left corner shows what lies below";
    const std::size_t middle = (static_cast<std::size_t>(p.height / 2) * p.width + 3) * 4;
    EXPECT_EQ(p.rgba[middle + 3], 255);
  }
}

}  // namespace

namespace {

// The six rules pictures decode at the design size of the quick play
// screen's rules picture (W x 0.2909 by H x 0.3636 of 220 x 176), each
// its own, with its name written across its top.
TEST(RulesPictures, SixNamedPicturesOfTheirRacks) {
  std::string error;
  const auto members = uimake::RulesPictures(std::string(KS_DEJAVU_DIR) + "/DejaVuSans-Bold.ttf", error);
  ASSERT_EQ(members.size(), 6u) << error;
  const char* names[6] = {"6ball.tga", "8ball.tga", "9ball.tga", "10ball.tga", "rotation.tga", "straight.tga"};
  for (std::size_t i = 0; i < members.size(); ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(members[i].name, names[i]);
    ssMemoryFile file(members[i].data);
    ssImage image;
    ASSERT_EQ(image.Load(&file, 0, kPixelARGB32), kImageLoaded);
    EXPECT_EQ(image.Width(), 64);
    EXPECT_EQ(image.Height(), 64);
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(members[i].data, members[j].data) << names[j];
  }
  // The name: light letters in the band at the top, none without it.
  fontmake::TextLine name =
      fontmake::RenderLine(std::string(KS_DEJAVU_DIR) + "/DejaVuSans-Bold.ttf", 11, "9-Ball", error);
  ASSERT_GT(name.width, 0) << error;
  auto light = [](const imgconv::Picture& p) {
    int n = 0;
    for (std::uint32_t y = 3; y < 14; ++y)
      for (std::uint32_t x = 0; x < p.width; ++x) {
        const std::uint8_t* px = &p.rgba[(y * p.width + x) * 4];
        if (px[0] > 200 && px[1] > 200) ++n;
      }
    return n;
  };
  const imgconv::Picture with = uimake::RulesPicture(2, name);
  name.coverage.assign(name.coverage.size(), 0);
  EXPECT_GT(light(with), 20);
  EXPECT_EQ(light(uimake::RulesPicture(2, name)), 0);
  // A face that cannot be read stops the build with a reason.
  EXPECT_TRUE(uimake::RulesPictures("/nonexistent.ttf", error).empty());
  EXPECT_FALSE(error.empty());
}

}  // namespace
