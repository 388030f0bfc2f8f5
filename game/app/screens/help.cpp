#include "screens/help.h"

#include <cwchar>

#include "screens.h"
#include "screens/key_assign.h"
#include "screens/screen_kit.h"
#include "ui/button.h"
#include "ui/choice_list.h"
#include "ui/static_text.h"

namespace {

constexpr const wchar_t* kRules[6] = {
    L"Six ball is a low ball first game, so the balls must be struck in numerical order. The goal is to pocket the "
    L"six ball which ends the game.\n\nRack: Six balls in a diamond with the one ball in front and the Six ball in the "
    L"middle of the back row\n\nSpotting Balls: Only the Six ball is spotted.\n\nPenalty for Fouls: Ball in hand "
    L"anywhere on table. Three consecutive fouls is loss of game.",
    L"The object of Eight Ball is to pocket all stripes or all solids and then pocket the Eight ball.\n\nValid Shot: "
    L"The shooter must hit an owned ball first and pocket an owned ball to continue at the table.\n\nSpotting Balls:  "
    L"All balls pocketed on fouls are spotted.\n\nPenalty for fouls: Ball in hand anywhere on the table except after "
    L"the break its ball in hand behind the head string.\n",
    L"Nine ball is a low ball first game, so the balls must be struck in numerical order. The goal is to pocket the "
    L"Nine ball which ends the game.\n\nRack: Rack: Nine balls in a diamond with the one ball in front and the Nine "
    L"ball in the middle.\n\nSpotting Balls: Only the Nine ball is spotted.\n\nPenalty for Fouls: Ball in hand "
    L"anywhere on table. Three consecutive fouls is loss of game.",
    L"Ten ball is a low ball first game, so the balls must be struck in numerical order. The goal is to pocket the Ten "
    L"ball which ends the game.\n\nRack: Ten balls in a triangle with the one ball in front and the Ten ball in the "
    L"middle.\n\nSpotting Balls: Only the Ten ball is spotted.\n\nPenalty for Fouls: Ball in hand anywhere on table. "
    L"Three consecutive fouls is loss of game.",
    L"Rotation is a low ball first game, so the balls must be struck in numerical order. The point value on the ball "
    L"is scored. All balls pocketed without a foul are counted.\n\nRack: Fifteen balls in a triangle with the one ball "
    L"in front, the two and three balls in the corners and the fifteen ball in the middle.\n\nSpotting Balls: All "
    L"balls pocketed on fouls are spotted.\n\nPenalty for Fouls: Ball in Hand.",
    L"Players score one point for each pocketed ball. First player to reach the point goal wins. When the 14th ball of "
    L"the rack is pocketed, the 14 balls are re-racked, leaving the 15th ball in position on the table.\n\nSpotting "
    L"Balls: All balls pocketed on fouls are spotted.\n\nPenalty for Fouls: Ball in Hand.  In addition, player loses "
    L"a point. Three consecutive fouls is a 15 point penalty"};

constexpr const wchar_t* kQuickPlayText =
    L"Player 2: Choose Practice, Human (2 Players) or one of the computer players. In Practice Mode, you can turn on "
    L"Tracking lines and always have ball-in-hand.\n\nGame: 6,8,9 or 10 ball, Rotation or Straight.\n\nLocation: Only "
    L"rooms that are unlocked via career play are shown.  Locations are Garage, Hawg Pen, Pit Stop, Deep Pockets, Hard "
    L"Time and Beach House.\n\nMatch Length:  Select the length of the match in games or points for Straight Pool";

constexpr const wchar_t* kCareerText =
    L"In career play you start nearly broke, with one room to play in. Win money to challenge the boss of the room; "
    L"beat the boss and the next room opens. The final goal is the Beach House, where the last boss waits for a "
    L"high-stakes match.\n\nThe players in a room are of about the same skill. Their bets vary but rise with their "
    L"skill; some will spot you a few games, others want a spot from you. Choosing whom to play, and for how much, is "
    L"part of the game.";

constexpr std::uint32_t kBlack = 0;

template <typename T>
void OpenPage(ksMain* app, Dlg* from) {
  kit::Open<T>(app);
  from->Invalidate(0);
}

// The page counter sits at the bottom right, clear of Back.
constexpr RECT kCounterRect{45000, 60322, 64344, 64791};

bool Inside(const RECT& r, LPARAM pos) {
  const int x = ui::PosX(pos), y = ui::PosY(pos);
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// A key that turns the page: +1 for Down and Right, -1 for Up and Left.
int PageStep(WPARAM key) {
  if (key == ui::kKeyDown || key == ui::kKeyRight) return 1;
  if (key == ui::kKeyUp || key == ui::kKeyLeft) return -1;
  return 0;
}

}  // namespace

void HelpPager::SetText(const wchar_t* text) {
  if (m_Text == nullptr) return;
  m_Pages = m_Text->Pages(text != nullptr ? text : L"");
  if (m_Pages.empty()) m_Pages.emplace_back();
  m_Page = 0;
  Show();
}

bool HelpPager::Turn(int step) {
  const int next = m_Page + step;
  if (step == 0 || next < 0 || next >= PageCount()) return false;
  m_Page = next;
  Show();
  return true;
}

void HelpPager::Show() {
  if (m_Text == nullptr || m_Pages.empty()) return;
  m_Text->SetText(m_Pages[static_cast<std::size_t>(m_Page)].c_str());
  if (m_Counter != nullptr) {
    wchar_t counter[32] = L"";
    if (PageCount() > 1) std::swprintf(counter, 32, L"%d / %d", m_Page + 1, PageCount());
    m_Counter->SetText(counter);
  }
}

bool HelpMainDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, kBlack, L"HardTimes.tga", L"Cornerstone8");
  Pic(this, display, RECT{13405, 14894, 45577, 52130}, 0, nullptr, L"Cornerstone8", 0x10800000, 0x80020, kWhite, 0);
  Label(this, display, RECT{297, 744, 28895, 8192}, L"Help - Main", 0x10800200, 0x280020, 0, L"Cornerstone8", kYellow);
  struct Row {
    int id;
    const wchar_t* caption;
    LONG top, bottom;
  };
  static constexpr Row kRows[4] = {{kControls, L"Controls", 16384, 22341},
                                   {kGameRules, L"Game Rules", 25320, 31278},
                                   {kQuickPlay, L"Quick Play", 34257, 40215},
                                   {kCareerPlay, L"Career Play", 43194, 49152}};
  Wnd* ring[4] = {};
  for (int i = 0; i < 4; ++i) {
    ring[i] = Make<Button>(this, display, RECT{14894, kRows[i].top, 44385, kRows[i].bottom}, kRows[i].caption,
                           ui::kKindButton, 0x10018F00, i == 0 ? 0x300020u : 0x200020u, kRows[i].id, L"Cornerstone8",
                           kWhite, 0);
    if (ring[i] == nullptr) return false;
  }
  Label(this, display, RECT{8936, 58833, 18767, 63301}, L"Back", 0x10000000, 32, 0, L"Small Fonts7", kWhite);
  if (Pic(this, display, RECT{3574, 57344, 8340, 63301}, kBack, L"Back.tga") == nullptr) return false;
  for (int i = 0; i < 4; ++i) ring[i]->SetNeighbours(ring[(i + 3) % 4], ring[(i + 1) % 4], nullptr, nullptr);
  return true;
}

LRESULT HelpMainDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    SetDefaultButtons(kBack, kBack);
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked) {
    switch (ui::CommandId(p1)) {
      case kBack:
        EndDialog(kResultOk);
        return 0;
      case kControls:
        OpenPage<KeyAssignDlg>(m_App, this);
        return 0;
      case kGameRules:
        OpenPage<HelpRulesDlg>(m_App, this);
        return 0;
      case kQuickPlay:
        OpenPage<HelpQuickPlayDlg>(m_App, this);
        return 0;
      case kCareerPlay:
        OpenPage<HelpCareerDlg>(m_App, this);
        return 0;
      default:
        break;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

HelpTextDlg::HelpTextDlg(int id, std::uint32_t flags, const wchar_t* font, const wchar_t* title, RECT titleRect,
                         int backLabel, const wchar_t* text)
    : m_ScreenId(id),
      m_ScreenFlags(flags),
      m_FontName(font),
      m_Title(title),
      m_TitleRect(titleRect),
      m_BackLabel(backLabel),
      m_Text(text) {}

HelpCareerDlg::HelpCareerDlg()
    : HelpTextDlg(kScreenId, 0, L"Small Fonts7", L"Help - Career Play", RECT{297, 744, 48854, 8192}, 4, kCareerText) {}

HelpQuickPlayDlg::HelpQuickPlayDlg()
    : HelpTextDlg(kScreenId, ui::kFlagShadow, L"Cornerstone8", L"Help - Quick Play", RECT{297, 744, 43789, 8192}, 5,
                  kQuickPlayText) {}

bool HelpTextDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, m_ScreenId, m_ScreenFlags, kWhite, kBlack, L"HardTimes.tga", m_FontName);
  Label(this, display, m_TitleRect, m_Title, 0x10800200, 0x280020, 0, L"Cornerstone8", kYellow);
  m_Label =
      Label(this, display, RECT{297, 8936, 64940, 58833}, L"Text", 0x10800000, 0x80020, kText, L"Small Fonts7", kWhite);
  Label(this, display, RECT{8936, 60322, 18767, 64791}, L"Back", 0x10000000, 32, m_BackLabel, L"Small Fonts7", kWhite);
  auto* counter = Label(this, display, kCounterRect, L"", 0x10000002, 32, kPageCounter, L"Small Fonts7", kWhite);
  m_Pager.Attach(m_Label, counter);
  return m_Label != nullptr && Pic(this, display, RECT{3276, 58833, 8043, 64791}, kBack, L"Back.tga") != nullptr;
}

LRESULT HelpTextDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    SetDefaultButtons(kBack, kBack);
    m_Label->SetText(m_Text);
    m_Pager.SetText(m_Text);
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked && ui::CommandId(p1) == kBack) {
    EndDialog(kResultOk);
    return 0;
  }
  // The page has no focusable widget, so the direction keys turn its pages.
  if (message == ui::kMsgKeyUp && CaptureWindow() == nullptr && PageStep(p1) != 0) {
    if (m_Pager.Turn(PageStep(p1))) Invalidate(0);
    return 0;
  }
  if (message == ui::kMsgPenUp && m_Label != nullptr && Inside(m_Label->ScreenRect(), p2)) {
    // A tap on the text turns to the next page, and from the last back to the first.
    if (!m_Pager.Turn(1)) m_Pager.Turn(-m_Pager.Page());
    Invalidate(0);
  }
  return Dlg::WndProc(message, p1, p2);
}

bool HelpRulesDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, kBlack, L"HardTimes.tga", L"Small Fonts7");
  Label(this, display, RECT{297, 744, 32768, 8192}, L"Help - Rules", 0x10800200, 0x280020, 0, L"Cornerstone8", kYellow);
  m_List = Make<ChoiceList>(this, display, RECT{893, 9681, 46173, 14149}, L"Game Type", ui::kKindChoiceList, 0x10010080,
                            0x110020, kGameType, L"Small Fonts7", kYellow, 0);
  m_Text =
      Label(this, display, RECT{297, 14149, 64940, 58833}, L"", 0x10800000, 0x80020, kText, L"Small Fonts7", kWhite);
  Label(this, display, RECT{8936, 60322, 18767, 64791}, L"Back", 0x10000000, 32, 5, L"Small Fonts7", kWhite);
  auto* counter = Label(this, display, kCounterRect, L"", 0x10000002, 32, kPageCounter, L"Small Fonts7", kWhite);
  m_Pager.Attach(m_Text, counter);
  return m_List && m_Text && Pic(this, display, RECT{2978, 58833, 7745, 64791}, kBack, L"Back.tga") != nullptr;
}

LRESULT HelpRulesDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    SetDefaultButtons(kBack, kBack);
    for (const wchar_t* game : {L"6-Ball", L"8-Ball", L"9-Ball", L"10-Ball", L"Rotation", L"Straight"})
      m_List->AddString(game);
    OnGameTypeChanged();
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if (id == kGameType && (code == ui::kNotifyChanged || code == ui::kNotifyListFocus)) {
      OnGameTypeChanged();
      return 0;
    }
    if (id == kBack && code == ui::kNotifyClicked) {
      EndDialog(kResultOk);
      return 0;
    }
  }
  // Left and Right step the game type; Up and Down, which would only leave
  // the list (it has no neighbours), turn the rule text's pages.
  if (message == ui::kMsgKeyUp && (p1 == ui::kKeyUp || p1 == ui::kKeyDown)) {
    if (m_Pager.Turn(PageStep(p1))) Invalidate(0);
    return 0;
  }
  return Dlg::WndProc(message, p1, p2);
}

void HelpRulesDlg::OnGameTypeChanged() {
  const int game = m_List->GetCurSel();
  if (game < 0 || game > 5) return;
  m_Text->SetText(kRules[game]);
  m_Pager.SetText(kRules[game]);
  Invalidate(0);
}

Dlg* PushHelp(ksMain* app) { return kit::Open<HelpMainDlg>(app); }
