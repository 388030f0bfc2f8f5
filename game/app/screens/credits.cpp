#include "screens/credits.h"

#include "screens.h"
#include "screens/screen_kit.h"

namespace {

constexpr std::uint32_t kName = 0xFFFF00;
constexpr std::uint32_t kHead = 0x00FF00;
constexpr std::uint32_t kText = 0xFFFFFF;

struct Line {
  int id;
  const wchar_t* text;
  RECT r;
  std::uint32_t style, flags, colour;
  const wchar_t* font;
};

// The names are the game's own invented team.
constexpr Line kLines[] = {
    {0, L"Game Credits", {22043, 2234, 48854, 6702}, 0x10000000, 0x200020, kHead, L"Small Fonts7"},
    {0, L"Orrin Vale", {5659, 5957, 33661, 10426}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Tamsin Reed", {39619, 5957, 58088, 10426}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Jory Halberd", {6255, 17873, 30980, 22341}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Wenna Starling", {22639, 25320, 49747, 29789}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Pell Ashgrove", {38427, 17873, 61663, 22341}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Producer, Design, Programming", {3276, 9681, 32470, 17873}, 0x10000000, 0x20, kText, L"Small Fonts7"},
    {0, L" Lead Programmer,  Game Design", {34555, 9309, 65536, 17501}, 0x10000000, 0x20, kText, L"Small Fonts7"},
    {0, L"Music and SFX", {3872, 21597, 33661, 26065}, 0x10000000, 0x20, kText, L"Small Fonts7"},
    {0, L"Room Art", {36044, 21597, 64046, 26065}, 0x10000000, 0x20, kText, L"Small Fonts7"},
    {3, L"Room and Cue Art", {18767, 28299, 56301, 32768}, 0x10000000, 0x20, kText, L"Small Fonts7"},
    {0, L"Video Segments with Ruck", {16979, 33512, 55705, 37981}, 0x10000000, 0x200020, kHead, L"Small Fonts7"},
    {0, L"Dace Morrow", {6851, 37981, 28299, 42449}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Ruck", {10724, 41704, 21448, 46173}, 0x10000000, 0x20, kText, L"Small Fonts7"},
    {0, L"Linnet Hale", {38427, 37981, 61663, 42449}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Director", {38130, 41704, 56003, 46173}, 0x10000000, 0x20, kText, L"Small Fonts7"},
    {0, L"Bram Tolliver", {6851, 46917, 28299, 51386}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Script, Post", {6255, 50641, 26810, 55109}, 0x1000000C, 0x20, kText, L"Small Fonts7"},
    {0, L"Sela Quarry", {38427, 46917, 61663, 51386}, 0x10000000, 0x200020, kName, L"Small Fonts7"},
    {0, L"Sound, Camera", {37832, 50641, 60471, 55109}, 0x1000000C, 0x20, kText, L"Small Fonts7"},
    {0, L"Kestrune version 1.0", {1787, 57344, 46173, 64791}, 0x10000000, 0x20, kText, L"Small Fonts6"},
    {5, L"Back", {52428, 59578, 62259, 64046}, 0x10000000, 0x20, kText, L"Small Fonts7"},
};

}  // namespace

bool CreditsDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, ui::kFlagShadow, kWhite, 0, L"HardTimes.tga", L"Small Fonts7");
  Pic(this, display, RECT{1191, 744, 64344, 55109}, 0, nullptr, L"Small Fonts7", 0x10800000, 0x80020, kWhite, 0);
  for (const Line& l : kLines) {
    if (Label(this, display, l.r, l.text, l.style, l.flags, l.id, l.font, l.colour) == nullptr) return false;
  }
  return Pic(this, display, RECT{45577, 58088, 50343, 64046}, kBack, L"Back.tga", L"cornerstone10", 0x10000000, 0,
             kWhite, 0) != nullptr;
}

LRESULT CreditsDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    SetDefaultButtons(kBack, kBack);
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked && ui::CommandId(p1) == kBack) {
    EndDialog(kResultOk);
    return 0;
  }
  return Dlg::WndProc(message, p1, p2);
}

Dlg* PushCredits(ksMain* app) { return kit::Open<CreditsDlg>(app); }
