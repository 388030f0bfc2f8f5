// Random pen, key and menu input on the gallery's forms, for many seeds and
// both kinds of device: nothing crashes or hangs, and once the pen is up no
// control is left holding it.
#include <gtest/gtest.h>

#include <random>

#include "gallery_form.h"
#include "gallery_setup.h"
#include "skinner/control_subclass.h"
#include "skinner/menu_manager_impl.h"

namespace {

// Chooses an entry of whatever popup is open when its message comes (menus
// run their own loop, which still hands the form window its messages).
class PopupChooser : public skinner::ControlSubclass {
 public:
  static constexpr UINT kChoose = WM_USER + 91;
  PopupChooser(HWND window, std::mt19937& random) : random_(random) { subclass(window); }
  LRESULT window_proc(UINT message, WPARAM, LPARAM, bool& pass_on) override {
    // A popup about to open gets its choice from the message after it.
    if (message == WM_INITMENUPOPUP) PostMessageW(get_hooked_window(), kChoose, 0, 0);
    if (message != kChoose) return 0;
    pass_on = false;
    const auto entries = ce::testing::OpenMenuEntries();
    std::vector<std::wstring> enabled;
    for (const auto& e : entries)
      if (e.enabled && !e.separator && !e.popup && e.caption != L"Quit") enabled.push_back(e.caption);
    if (!enabled.empty()) {
      ce::testing::ChooseMenuEntry(enabled[random_() % enabled.size()]);
    } else if (!entries.empty()) {
      // Nothing to choose (every entry grey): come back until the popup
      // is given up by its owner's next input.
      PostMessageW(get_hooked_window(), WM_KEYDOWN, VK_ESCAPE, 0);
    }
    return 0;
  }

 private:
  std::mt19937& random_;
};

void Fuzz(const char* platform, unsigned seeds, unsigned events) {
  gallerytest::UseDevice(platform);
  skinner::Properties skin;
  ASSERT_TRUE(gallerytest::LoadSkin(skin));
  for (unsigned seed = 1; seed <= seeds; ++seed) {
    std::mt19937 random(seed);
    gallery::GalleryForm form(&skin);
    int messages_opened = 0;
    form.open_message = [&] { ++messages_opened; };  // a modal form would wait for a person
    form.load_properties();
    form.set_active(true);
    PopupChooser chooser(form.get_window(), random);
    HWND window = form.get_window();
    const UINT keys[] = {VK_LEFT, VK_RIGHT,  VK_UP,   VK_DOWN,  VK_RETURN, VK_ESCAPE, VK_TAB,
                         VK_BACK, VK_DELETE, VK_HOME, VK_END,   VK_PRIOR,  VK_NEXT,   VK_APPS,
                         'A',     'Q',       '5',     VK_SPACE, VK_INSERT};
    bool pen_down = false;
    for (unsigned i = 0; i < events; ++i) {
      const int x = static_cast<int>(random() % 260) - 10;
      const int y = static_cast<int>(random() % 290) - 10;
      const LPARAM at = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
      // A popup that opens takes its choice from the message after it.
      PostMessageW(window, PopupChooser::kChoose, 0, 0);
      switch (random() % 10) {
        case 0:
        case 1:
          PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
          pen_down = true;
          break;
        case 2:
          PostMessageW(window, WM_MOUSEMOVE, pen_down ? MK_LBUTTON : 0, at);
          break;
        case 3:
        case 4:
          PostMessageW(window, WM_LBUTTONUP, 0, at);
          pen_down = false;
          break;
        case 5:
          PostMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
          pen_down = true;
          break;
        case 6:
        case 7: {
          const UINT key = keys[random() % std::size(keys)];
          PostMessageW(window, WM_KEYDOWN, key, 0);
          PostMessageW(window, WM_KEYUP, key, 0);
          break;
        }
        case 8: {
          // The soft keys and the bar's own commands, in range and out of it.
          const WPARAM commands[] = {skinner::MenuManagerImplSmartphone::kLeftSoftKey,
                                     skinner::MenuManagerImplSmartphone::kRightSoftKey,
                                     100,
                                     101,
                                     102,
                                     5,
                                     40000};
          SendMessageW(window, WM_COMMAND, commands[random() % std::size(commands)], 0);
          break;
        }
        default:
          if (random() % 4 == 0) ReleaseCapture();  // the pen taken away mid-press
          if (random() % 4 == 0) SendMessageW(window, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
          break;
      }
      gallerytest::Pump(form);
      ASSERT_TRUE(IsWindow(window)) << platform << " seed " << seed;
    }
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
    gallerytest::Pump(form);
    EXPECT_EQ(form.get_capture(), nullptr) << platform << " seed " << seed;
    EXPECT_EQ(GetCapture(), nullptr) << platform << " seed " << seed;
    (void)messages_opened;
  }
}

TEST(GalleryInput, RandomInputOnAPocketPc) { Fuzz("PocketPC", 30, 120); }
TEST(GalleryInput, RandomInputOnASmartphone) { Fuzz("Smartphone", 30, 120); }

}  // namespace
