#include "home_colors.h"

#include "ce/wingdi.h"

namespace home {
namespace {

constexpr std::wstring_view kNames[kColorCount] = {
    L"COLOR_WINDOW",
    L"COLOR_WINDOWTEXT",
    L"COLOR_STATIC",
    L"COLOR_STATICTEXT",
    L"COLOR_HIGHLIGHT",
    L"COLOR_HIGHLIGHTTEXT",
    L"COLOR_MENU",
    L"COLOR_MENUTEXT",
    L"COLOR_GRAYTEXT",
    L"COLOR_GRADLEFT",
    L"COLOR_GRADRIGHT",
    L"COLOR_INTGRADLEFT",
    L"COLOR_INTGRADRIGHT",
    L"COLOR_TRAYGRADLEFT",
    L"COLOR_TRAYGRADRIGHT",
    L"COLOR_HIGHGRADLEFT",
    L"COLOR_HIGHGRADRIGHT",
    L"COLOR_TRAYTEXT",
    L"COLOR_WINDOWFRAME",
    L"COLOR_BTNFACE",
    L"COLOR_BTNTEXT",
    L"COLOR_SCROLLBAR",
    L"COLOR_HOMETEXT",
    L"COLOR_HOMEHIGHLIGHT",
    L"COLOR_HOMEHIGHLIGHTTEXT",
    L"COLOR_HOMERULE",
    L"COLOR_ALERTWINDOW",
    L"COLOR_ALERTTITLE",
    L"COLOR_ALERTRULE",
};

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::optional<int> ColorSlotOf(std::wstring_view name) {
  for (int slot = 0; slot < kColorCount; ++slot) {
    if (kNames[slot] == name) return slot;
  }
  return std::nullopt;
}

std::wstring_view ColorName(int slot) { return slot >= 0 && slot < kColorCount ? kNames[slot] : std::wstring_view{}; }

std::optional<COLORREF> ParseColorValue(std::wstring_view text) {
  if (text.size() != 7 || text[0] != L'#') return std::nullopt;
  int channels[3] = {};
  for (int i = 0; i < 3; ++i) {
    const int high = HexDigit(text[1 + 2 * i]);
    const int low = HexDigit(text[2 + 2 * i]);
    if (high < 0 || low < 0) return std::nullopt;
    channels[i] = high * 16 + low;
  }
  return RGB(channels[0], channels[1], channels[2]);
}

ColorTable DefaultColors() {
  ColorTable colors{};
  colors.fill(RGB(255, 255, 255));
  colors[0] = RGB(255, 255, 255);  // window
  colors[1] = RGB(0, 0, 0);        // window text
  colors[2] = RGB(228, 234, 244);  // static
  colors[3] = RGB(40, 48, 64);     // static text
  colors[4] = RGB(40, 96, 176);    // highlight
  colors[5] = RGB(255, 255, 255);  // highlight text
  colors[6] = RGB(240, 240, 240);  // menu
  colors[7] = RGB(0, 0, 0);        // menu text
  colors[8] = RGB(128, 128, 128);  // grey text
  colors[9] = RGB(32, 80, 160);    // gradients
  colors[10] = RGB(96, 144, 216);
  colors[11] = RGB(32, 80, 160);
  colors[12] = RGB(96, 144, 216);
  colors[13] = RGB(24, 64, 136);  // title bar
  colors[14] = RGB(72, 120, 200);
  colors[15] = RGB(40, 96, 176);
  colors[16] = RGB(120, 168, 232);
  colors[17] = RGB(255, 255, 255);  // title bar text
  colors[18] = RGB(96, 96, 96);     // window frame
  colors[19] = RGB(224, 224, 224);  // button face
  colors[20] = RGB(0, 0, 0);        // button text
  colors[21] = RGB(200, 200, 200);  // scroll bar
  colors[22] = RGB(16, 24, 40);     // home text
  colors[23] = RGB(40, 96, 176);    // home highlight
  colors[24] = RGB(255, 255, 255);  // home highlight text
  colors[25] = RGB(176, 188, 208);  // home rule
  colors[26] = RGB(255, 248, 224);  // alert window
  colors[27] = RGB(160, 64, 32);    // alert title
  colors[28] = RGB(208, 160, 96);   // alert rule
  return colors;
}

}  // namespace home
