// The menu pictures decode as the game loads them, at their design sizes,
// with see-through corners on the corner buttons.
#include <gtest/gtest.h>

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
                      {"Bill.tga", 190, 74}};
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
