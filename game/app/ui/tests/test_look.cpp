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
#include "ui/keyboard.h"
#include "ui/message_dlg.h"

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

  Dlg* typing = BuildKeyboard(display.get());
  man.Push(typing, 0);
  InputEvent enter{::ui::kMsgKeyUp, ::ui::kKeyEnter, 0, 2000};
  man.Dispatch(enter);
  ASSERT_TRUE(static_cast<Keyboard*>(typing->GetChild(2))->IsOpen());
  man.InvalidateTop();
  man.DrawTop();
  WritePng(*display, "menu_keyboard.png");

  auto* box = new MessageDlg();
  ASSERT_EQ(box->Build(display.get(), nullptr), 1);
  box->Show(&man, L"Room is locked.", L"This room must be unlocked in Career Mode.", 2);
  man.DrawTop();
  WritePng(*display, "menu_message.png");
}

}  // namespace

namespace {

// Random keys and pen strokes over the sample screens, with message boxes
// pushed and answered on the way: nothing may crash or leak (the sanitizer
// build runs this too), and the stack only shrinks when a box is answered.
TEST(MenuLook, RandomInputLeavesTheStackSound) {
  auto display = OpenWithMenuArchive(KS_RES_ARK);
  ASSERT_NE(display, nullptr);
  DlgMan man;
  man.Push(BuildMainMenu(display.get()), 0);
  man.Push(BuildGallery(display.get()), 0);
  man.Push(BuildKeyboard(display.get()), 0);
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  static constexpr WPARAM kKeys[] = {
      ::ui::kKeyEnter, ::ui::kKeyLeft, ::ui::kKeyUp, ::ui::kKeyRight, ::ui::kKeyDown, '3', '9', 'A'};
  DWORD now = 1000;
  int answered = 0;
  for (int i = 0; i < 6000; ++i) {
    InputEvent e;
    e.time = now += 1 + next(60);
    switch (next(6)) {
      case 0:
      case 1:
        e.message = next(2) == 0 ? ::ui::kMsgKeyDown : ::ui::kMsgKeyUp;
        e.wParam = kKeys[next(std::size(kKeys))];
        break;
      case 2:
        e.message = ::ui::kMsgPenDown + next(3) - 1;
        e.wParam = next(2);
        e.lParam = ::ui::MakePos(static_cast<int>(next(340)), static_cast<int>(next(260)));
        break;
      case 3:
        e.message = ::ui::kMsgPaint;
        break;
      default:
        e.message = 275;  // a frame tick: nothing for the screens
        break;
    }
    if (man.Count() < 5 && next(8) == 0) {
      auto* box = new MessageDlg();
      ASSERT_EQ(box->Build(display.get(), nullptr), 1);
      box->Show(&man, L"Title", L"Text", static_cast<int>(next(3)));
    }
    const int before = man.Count();
    const int top = man.Dispatch(e);
    EXPECT_EQ(top, man.Count() - 1);
    EXPECT_GE(man.Count(), before - 1);
    if (man.Count() < before) ++answered;
    if (man.Count() == 0) break;
    man.DrawTop();
  }
  EXPECT_EQ(man.DeferredCount(), 0);
  EXPECT_GT(answered, 10) << "boxes were pushed and answered on the way";
}

}  // namespace
