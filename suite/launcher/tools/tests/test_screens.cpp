// What the dialogs show: the bar's header picture across the top of Tuneup,
// Chimer and Sweepkit with the title drawn into it, and Juggler's rows over
// the gradient. With TESSIVO_TOOLS_SCREENS set to a folder, each screen is
// also written there as a BMP to look at.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "ce/testing.h"
#include "chimer.h"
#include "juggler.h"
#include "sweepkit.h"
#include "test_host.h"
#include "tuneup.h"

namespace tessivo {
namespace {

using test::RunSteps;
using test::TestHost;

void SaveScreen(const char* name) {
  const char* folder = std::getenv("TESSIVO_TOOLS_SCREENS");
  if (folder == nullptr) return;
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const int stride = width * 3;
  std::vector<unsigned char> file(54 + static_cast<std::size_t>(stride) * height, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const COLORREF c = ce::testing::ScreenPixel(x, y);
      unsigned char* p = &file[54 + static_cast<std::size_t>(height - 1 - y) * stride + x * 3];
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  }
  const std::string path = std::string(folder) + "/" + name + ".bmp";
  if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
  }
}

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

// Every one-line label and check box shows its whole text: the controls'
// widths come from the template's dialog units, their text from the bar's
// font, so a label with no room to spare at one DPI is cut at another.
void ExpectTextsFit(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    const bool button = std::wcscmp(name, L"BUTTON") == 0;
    if ((!button && std::wcscmp(name, L"STATIC") != 0) || !IsWindowVisible(child)) continue;
    wchar_t text[128] = {};
    const int length = GetWindowTextW(child, text, 128);
    if (length == 0) continue;
    RECT client;
    GetClientRect(child, &client);
    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, length, &extent);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    if (extent.cy * 3 <= client.bottom * 2) continue;  // room for a second line: it wraps
    // A check box's mark and the gap after it come before the text.
    const int mark = button ? std::min<int>(extent.cy, 15) + 4 : 0;
    char utf8[128] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, 128, nullptr, nullptr);
    EXPECT_LE(mark + extent.cx, client.right) << utf8 << " at " << GetSystemMetrics(SM_CXSCREEN) << " pixels across";
  }
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
