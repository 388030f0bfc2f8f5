// What the dialogs show: the bar's header picture across the top of Tuneup,
// Chimer and Sweepkit with the title drawn into it, and Juggler's rows over
// the gradient. With TESSIVO_TOOLS_SCREENS set to a folder, each screen is
// also written there as a BMP to look at (screen_checks.h).
#include <gtest/gtest.h>

#include <vector>

#include "ce/testing.h"
#include "chimer.h"
#include "juggler.h"
#include "screen_checks.h"
#include "sweepkit.h"
#include "test_host.h"
#include "tuneup.h"

namespace tessivo {
namespace {

using test::ExpectTextsFit;
using test::RunSteps;
using test::SaveScreen;
using test::TestHost;

// The header band shows the bar's header colour (dark blue in the tests'
// host) at its left edge, and somewhere in its middle the title's light
// pixels.
void ExpectHeader(HWND dialog) {
  RECT frame;
  GetWindowRect(dialog, &frame);
  POINT origin = {0, 0};
  ClientToScreen(dialog, &origin);
  const COLORREF band = ce::testing::ScreenPixel(origin.x + 1, origin.y + 2);
  EXPECT_NEAR(GetRValue(band), 20, 8);
  EXPECT_NEAR(GetGValue(band), 40, 8);
  EXPECT_NEAR(GetBValue(band), 90, 8);
  int light = 0;
  for (int x = origin.x; x < frame.right; ++x) {
    for (int y = origin.y; y < origin.y + 20; ++y) {
      if (GetRValue(ce::testing::ScreenPixel(x, y)) > 180) ++light;
    }
  }
  EXPECT_GT(light, 10);
}

template <class Dialog>
void ShowAndLook(const char* name, bool header) {
  RunSteps({[] { UpdateWindow(Dialog::Existing()->Window()); },
            [name, header] {
              HWND dialog = Dialog::Existing()->Window();
              if (header) ExpectHeader(dialog);
              ExpectTextsFit(dialog);
              SaveScreen(name);
              PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
              PostMessageW(dialog, WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, VK_ESCAPE));
            }});
  Dialog::Instance()->Show(nullptr);
  Dialog::DeleteInstance();
}

TEST(Screens, ToolDialogsPaintTheHeaderWithTheirTitle) {
  TestHost host;
  ShowAndLook<CTuneupDialog>("tuneup", true);
  ShowAndLook<CChimerDialog>("chimer", true);
  ShowAndLook<CSweepkitDialog>("sweepkit", true);
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"ScreensProgram";
  RegisterClassW(&wc);
  std::vector<HWND> programs;
  for (const wchar_t* title : {L"Notes", L"Calendar", L"Pictures"}) {
    programs.push_back(
        CreateWindowExW(0, L"ScreensProgram", title, WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  }
  ShowAndLook<CJugglerDialog>("juggler", false);
  for (HWND w : programs) DestroyWindow(w);
}

}  // namespace
}  // namespace tessivo
