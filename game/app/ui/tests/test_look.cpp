// The sample screens drawn from the menu archive the build makes: written
// as screenshots (build/screenshots) for a person to look at, and checked
// for what must hold whatever the look: the background is drawn, the
// focused button is lit and a frame after a focus move repaints only what
// changed.
#include <gtest/gtest.h>

#include <fstream>

#include "image_writer.h"
#include "sample_screens.h"
#include "ui/dlg_man.h"

namespace {

using namespace ks::ui::sample;

void WritePng(const ssDisplayS16& d, const std::string& name) {
  const auto pixels = LogicalPixels(d);
  imgconv::Picture p;
  p.width = static_cast<std::uint32_t>(d.m_VWidth);
  p.height = static_cast<std::uint32_t>(d.m_VHeight);
  for (std::uint16_t v : pixels) {
    const auto r = static_cast<std::uint8_t>(((v >> 11) & 31) * 255 / 31);
    const auto g = static_cast<std::uint8_t>(((v >> 5) & 63) * 255 / 63);
    const auto b = static_cast<std::uint8_t>((v & 31) * 255 / 31);
    p.rgba.insert(p.rgba.end(), {r, g, b, 255});
  }
  const auto png = imgconv::EncodePng(p);
  std::ofstream out(std::string(KS_UI_SHOT_DIR) + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

TEST(MenuLook, MainMenuAndGalleryDrawFromTheArchive) {
  auto display = OpenWithMenuArchive(KS_RES_ARK);
  ASSERT_NE(display, nullptr) << KS_RES_ARK;
  DlgMan man;
  man.Push(BuildMainMenu(display.get()), 0);
  man.DrawTop();
  WritePng(*display, "menu_main.png");
  const auto first = LogicalPixels(*display);
  // A felt-green background, not the face colour.
  const std::uint16_t corner = first[20 * 320 + 20];
  EXPECT_GT((corner >> 5) & 63, ((corner >> 11) & 31) * 2);

  InputEvent down{::ui::kMsgKeyDown, ::ui::kKeyDown, 0, 1000};
  InputEvent up{::ui::kMsgKeyUp, ::ui::kKeyDown, 0, 1040};
  man.Dispatch(down);
  man.Dispatch(up);
  EXPECT_EQ(man.Top()->FocusedChild()->Id(), 3);
  const RECT dirty = man.Top()->DirtyRect();
  EXPECT_LT(dirty.bottom - dirty.top, 80) << "only the two buttons are repainted";
  man.DrawTop();
  WritePng(*display, "menu_main_focus.png");
  const auto second = LogicalPixels(*display);
  for (int x = 0; x < 320; ++x) EXPECT_EQ(first[5 * 320 + x], second[5 * 320 + x]);

  man.Push(BuildGallery(display.get()), 0);
  man.DrawTop();
  WritePng(*display, "menu_gallery.png");
}

}  // namespace
