#include "screens/welcome.h"

#include "screens.h"
#include "screens/screen_kit.h"

namespace {

constexpr std::uint32_t kTitleBevel[5] = {0xFFFFFF, 0xE0E0E0, 0x000000, 0x7F7F7F, 0x3F3F3F};

struct Line {
  int id;
  const wchar_t* text;
  RECT r;
  std::uint32_t flags;
  const wchar_t* font;
  std::uint32_t colour;
  std::uint32_t style = 0x10000200;
};

// The two title lines are centred in the title frame, one above the other.
constexpr std::uint32_t kTitleStyle = 0x10000201;

Picture* Frame(Dlg* screen, ssDisplay* display, int id, RECT r, const wchar_t* font) {
  return kit::Pic(screen, display, r, id, nullptr, font, 0x10800000, 0x80020, kit::kWhite, 0);
}

bool AddLines(Dlg* screen, ssDisplay* display, const Line* lines, int count) {
  for (int i = 0; i < count; ++i) {
    const Line& l = lines[i];
    if (kit::Label(screen, display, l.r, l.text, l.style, l.flags, l.id, l.font, l.colour, kit::kGrey) == nullptr)
      return false;
  }
  return true;
}

LRESULT WelcomeProc(Dlg* screen, int next, UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    screen->SetDefaultButtons(next, next);
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked && ui::CommandId(p1) == next) {
    screen->EndDialog(Dlg::kResultOk);
    return 0;
  }
  return screen->DefWndProc(message, p1, p2);
}

}  // namespace

bool WelcomeMenuDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, kGrey, L"HardTimes.tga", L"Cornerstone8");
  if (Picture* title = Frame(this, display, 3, RECT{3872, 1489, 61663, 14149}, L"Small Fonts7"))
    title->SetBevelColours(kTitleBevel);
  Frame(this, display, 0, RECT{1191, 23831, 63748, 55109}, L"Cornerstone8");
  static const Line kLines[] = {
      {0, L"Welcome To", {3872, 2234, 61663, 8192}, 0x200020, L"cornerstone10", kYellow, kTitleStyle},
      {0, L"Kestrune", {3872, 6702, 61663, 14149}, 0x200020, L"cornerstone10", kYellow, kTitleStyle},
      {0, L"Use the D-Pad to navigate through the menus.", {3276, 26437, 62854, 34629}, 32, L"Small Fonts7", kWhite},
      {0, L"Press the center of the D-Pad to select.", {3276, 33512, 63450, 43194}, 32, L"Small Fonts7", kWhite},
      {0, L"Press the 3 key for next menu.", {3276, 41332, 61067, 48779}, 32, L"Small Fonts7", kWhite},
      {0, L"Press the 9 key for previous menu.", {3276, 46917, 64940, 54365}, 32, L"Small Fonts7", kWhite},
  };
  if (!AddLines(this, display, kLines, 6)) return false;
  if (Pic(this, display, RECT{45875, 58088, 50641, 64046}, kNext, L"Home.tga", L"Cornerstone8") == nullptr)
    return false;
  static const Line kTail[] = {
      {0, L"Next", {53620, 59578, 61663, 64791}, 32, L"Small Fonts7", kWhite},
      {0, L"Menu Controls", {1787, 16384, 44683, 23831}, 0x200020, L"Cornerstone8", kWhite},
  };
  return AddLines(this, display, kTail, 2);
}

LRESULT WelcomeMenuDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  return WelcomeProc(this, kNext, message, p1, p2);
}

bool WelcomePlayDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, kGrey, L"HardTimes.tga", L"Small Fonts7");
  if (Picture* title = Frame(this, display, 0, RECT{3872, 1489, 61663, 14149}, L"Small Fonts7"))
    title->SetBevelColours(kTitleBevel);
  static const Line kHead[] = {
      {2, L"Kestrune", {3872, 6702, 61663, 14149}, 0x200020, L"cornerstone10", kYellow, kTitleStyle},
      {3, L"Welcome To", {3872, 2234, 61663, 8192}, 0x200020, L"cornerstone10", kYellow, kTitleStyle},
  };
  if (!AddLines(this, display, kHead, 2)) return false;
  Frame(this, display, 4, RECT{1191, 23458, 63748, 58088}, L"Cornerstone8");
  static const Line kHeading[] = {
      {5, L"Game Controls", {1787, 16384, 44683, 23831}, 0x200020, L"Cornerstone8", kWhite}};
  if (!AddLines(this, display, kHeading, 1)) return false;
  if (Pic(this, display, RECT{45875, 58088, 50641, 64046}, kNext, L"Home.tga", L"Cornerstone8") == nullptr)
    return false;
  static const Line kLines[] = {
      {7, L"Next", {53620, 59578, 61663, 64791}, 32, L"Small Fonts7", kWhite},
      {0, L"Use the D-Pad to adjust Aim and View", {3276, 25320, 63748, 32768}, 32, L"Small Fonts7", kWhite},
      {0,
       L"Press and hold Soft Key 2 to pull stick back.  Release to shoot.  Length of stroke equals power.",
       {3276, 31650, 60471, 43194},
       32,
       L"Small Fonts7",
       kWhite},
      {0, L"Press 0 Key for In Game Menu.", {3276, 43938, 59876, 51386}, 32, L"Small Fonts7", kWhite},
      {0, L"Other functions detailed in Help.", {3276, 51758, 61067, 56599}, 32, L"Small Fonts7", kWhite},
  };
  return AddLines(this, display, kLines, 5);
}

LRESULT WelcomePlayDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  return WelcomeProc(this, kNext, message, p1, p2);
}

void PushWelcome(ksMain* app) {
  // The game page goes in first, so the menu page is seen first.
  kit::Open<WelcomePlayDlg>(app);
  kit::Open<WelcomeMenuDlg>(app);
}
