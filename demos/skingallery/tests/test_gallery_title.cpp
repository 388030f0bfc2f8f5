// The title the shell's bar shows while the gallery's message form is open:
// the gallery's own, as before it opened, never the text the form's window
// was made with.
#include <gtest/gtest.h>

#include <vector>

#include "gallery_form.h"
#include "gallery_setup.h"
#include "skinner/control_subclass.h"

namespace {

std::wstring title_of(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// The title half of the shell's bar (the clock in its corner may turn).
std::vector<COLORREF> title_bar_pixels() {
  std::vector<COLORREF> out;
  for (int y = 0; y < GetSystemMetrics(SM_CYCAPTION); ++y)
    for (int x = 0; x < GetSystemMetrics(SM_CXSCREEN) / 2; ++x) out.push_back(ce::testing::ScreenPixel(x, y));
  return out;
}

// Looks at the screen once the open message form has had a few rounds of
// its loop (the bar repaints from the loop), then closes the form.
class LookThenClose : public skinner::ControlSubclass {
 public:
  static constexpr UINT kLook = WM_USER + 77;
  explicit LookThenClose(HWND window) { subclass(window); }
  LRESULT window_proc(UINT message, WPARAM round, LPARAM, bool& pass_on) override {
    if (message != kLook) return 0;
    pass_on = false;
    if (round < 20) {
      PostMessageW(get_hooked_window(), kLook, round + 1, 0);
      return 0;
    }
    title = title_of(get_hooked_window());
    bar = title_bar_pixels();
    PostMessageW(get_hooked_window(), WM_CLOSE, 0, 0);
    return 0;
  }
  std::wstring title;
  std::vector<COLORREF> bar;
};

TEST(GalleryMessage, TheShellsBarKeepsTheGallerysTitleWhileTheMessageIsOpen) {
  gallerytest::UseDevice("PocketPC");
  skinner::Properties skin;
  ASSERT_TRUE(gallerytest::LoadSkin(skin));
  gallery::GalleryForm form(&skin);
  form.load_properties();
  form.set_active(true);
  SetForegroundWindow(form.get_window());
  gallerytest::Pump(form);
  const std::wstring gallery_title = title_of(form.get_window());
  ASSERT_EQ(gallery_title, L"Skin gallery");
  const std::vector<COLORREF> before = title_bar_pixels();

  gallery::MessageForm message(&form, &skin);
  LookThenClose look(message.get_window());
  PostMessageW(message.get_window(), LookThenClose::kLook, 0, 0);
  message.run();
  EXPECT_EQ(look.title, gallery_title);
  ASSERT_EQ(look.bar.size(), before.size());
  int differ = 0;
  for (std::size_t i = 0; i < before.size(); ++i) differ += before[i] != look.bar[i] ? 1 : 0;
  EXPECT_EQ(differ, 0) << "the bar shows another title";
}

}  // namespace
