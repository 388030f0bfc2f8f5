#include "screens/key_assign.h"

#include <algorithm>

#include "play/input_mode.h"
#include "screens/screen_kit.h"
#include "ui/choice_list.h"

namespace {

struct KnownKey {
  const wchar_t* name;
  std::uint32_t code;
};
constexpr KnownKey kKeys[KeyAssignDlg::kKnownKeys] = {
    {L"SK 1", 112}, {L"SK 2", 113}, {L"Start", 114}, {L"Home", 91}, {L"Enter", 13}, {L"End", 115}, {L"Back", 27},
    {L"1", 49},     {L"2", 50},     {L"3", 51},      {L"4", 52},    {L"5", 53},     {L"6", 54},    {L"7", 55},
    {L"8", 56},     {L"9", 57},     {L"0", 48},      {L"*", 119},   {L"#", 120}};

struct Action {
  const wchar_t* caption;
  int x0, x1, y0, y1;  // design pixels
};
constexpr Action kActionRows[KeyAssignDlg::kActions] = {
    {L"Aim Mode Using Arrow Keys", 6, 195, 22, 32},
    {L"Move View Using Arrow Keys", 6, 195, 32, 42},
    {L"Move Ball Using Arrow Keys", 6, 195, 42, 52},
    {L"In Game Menu", 6, 195, 52, 62},
    {L"Stroke Cue", 6, 110, 74, 84},
    {L"Overhead", 6, 110, 84, 94},
    {L"Zoom In", 6, 110, 94, 104},
    {L"Tip Right", 6, 110, 104, 114},
    {L"Tip Dn", 6, 110, 114, 124},
    {L"Butt Up", 6, 110, 124, 134},
    {L"ZipToEnd", 6, 110, 134, 144},
    {L"Zoom Out", 102, 212, 84, 94},
    {L"Replay", 102, 212, 94, 104},
    {L"Tip Up", 102, 212, 104, 114},
    {L"Tip Left", 102, 212, 114, 124},
    {L"Butt Dn", 102, 212, 124, 134},
    {L"Tracking", 102, 212, 134, 144},
};

}  // namespace

int KeyAssignDlg::KeyIndexOf(std::uint32_t code) {
  for (int i = 0; i < kKnownKeys; ++i)
    if (kKeys[i].code == code) return i;
  return 0;
}

std::uint32_t KeyAssignDlg::KeyCode(int index) {
  return index >= 0 && index < kKnownKeys ? kKeys[index].code : kKeys[0].code;
}

bool KeyAssignDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, ui::kFlagShadow, kYellow, 0, L"HardTimes.tga", L"Cornerstone8");
  const wchar_t* s7 = L"Small Fonts7";
  Label(this, display, RECT{9532, 59578, 26214, 63301}, L"Cancel", 0x10000000, 0x20, 0, s7, kWhite);
  Label(this, display, RECT{53024, 59578, 64344, 63301}, L"Done", 0x10000000, 0x20, 0, s7, kWhite);
  Pic(this, display, RECT{893, 0, 64344, 56599}, 0, nullptr, L"Cornerstone8", 0x10800000, 0x80020, kYellow, 0);
  Label(this, display, RECT{21746, 744, 39023, 4468}, L"Mode Keys", 0x10000200, 0x200020, 0, s7, 0xFF0000);
  Label(this, display, RECT{21448, 23086, 40215, 27554}, L"Action Keys", 0x10000200, 0x200020, 0, s7, 0xFF0000);
  auto* back = Pic(this, display, RECT{3574, 57344, 8340, 63301}, kCancel, L"Back.tga");
  auto* home = Pic(this, display, RECT{47066, 57344, 51833, 63301}, kDone, L"Home.tga");
  return back != nullptr && home != nullptr;
}

LRESULT KeyAssignDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    OnInit();
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if (id == kDone && code == ui::kNotifyClicked) {
      OnDone();
      return 0;
    }
    if (id == kCancel && code == ui::kNotifyClicked) {
      Cancel();
      return 0;
    }
    if (id >= kFirstList && id < m_NextListId) {
      if (code == ui::kNotifyLeave) Resolve(id - kFirstList);
      if (code == ui::kNotifyLeave || code == ui::kNotifyListFocus) return 0;
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void KeyAssignDlg::OnInit() {
  using namespace kit;
  m_NextListId = kFirstList;
  m_KeyMap = m_App ? m_App->Prefs().keys.data() : nullptr;
  ChoiceList* last = nullptr;
  const int width = ui::ScreenWidth(Device());  // the width the widgets are laid out on
  for (int order = 0; order < kActions; ++order) {
    const Action& a = kActionRows[order];
    const RECT r{ui::DesignX(a.x0), ui::DesignY(a.y0), ui::DesignX(a.x1), ui::DesignY(a.y1)};
    auto* list = Make<ChoiceList>(this, Device(), r, a.caption, ui::kKindChoiceList, 0x10010080, 0x210020,
                                  m_NextListId++, L"Small Fonts7", kYellow, kGrey);
    m_Lists[static_cast<std::size_t>(order)] = list;
    if (list == nullptr) continue;
    for (int k = 0; k < kKnownKeys; ++k) {
      const int at = list->AddString(kKeys[k].name);
      if (at >= 0) list->SetItemData(at, kKeys[k].code);
    }
    list->SetNeighbours(last, nullptr, nullptr, nullptr);
    if (last != nullptr) last->SetNeighbours(last->Neighbour(Wnd::kUp), list, nullptr, nullptr);
    last = list;
  }
  // The key name starts 40 design pixels left of the list's right edge.
  // Where the screen is too narrow for that, the names of a column move
  // right together until the focused list's left arrow clears the longest
  // caption, but never so far that a name runs into a column beside it.
  int widestName = 0;
  if (m_Lists[0] != nullptr) {
    for (const KnownKey& k : kKeys) {
      int w = 0, h = 0;
      Device()->MeasureText(m_Lists[0]->GetFont(), k.name, &w, &h, false);
      widestName = std::max(widestName, w);
    }
  }
  for (int order = 0; order < kActions; ++order) {
    ChoiceList* list = m_Lists[static_cast<std::size_t>(order)];
    if (list == nullptr) continue;
    const Action& a = kActionRows[order];
    const int design = width * a.x1 / 220 - width * 40 / 220;
    int needed = design, limit = width;
    for (int other = 0; other < kActions; ++other) {
      const ChoiceList* o = m_Lists[static_cast<std::size_t>(other)];
      const Action& b = kActionRows[other];
      if (o == nullptr) continue;
      if (b.x1 == a.x1) {
        // The left arrow takes two border units and half a line.
        needed = std::max(needed, o->ValuePosition().x + 2 * o->BorderUnit() + o->FontHeight() / 2 + 2);
      } else if (b.x0 > a.x0 && b.y0 < a.y1 && a.y0 < b.y1) {
        limit = std::min(limit, width * b.x0 / 220 - widestName - 2);
      }
    }
    list->SetValueOffset(std::max(design, std::min(needed, limit)) - list->ValuePosition().x, 0);
  }
  for (int order = 0; order < kActions; ++order) {
    const int index = m_KeyMap ? KeyIndexOf(m_KeyMap[kMapIndex[order]]) : 0;
    m_Stored[static_cast<std::size_t>(order)] = index;
    if (m_Lists[static_cast<std::size_t>(order)]) m_Lists[static_cast<std::size_t>(order)]->SetCurSel(index);
  }
  SetKeyButtons(kDone, kCancel);
}

void KeyAssignDlg::Resolve(int order) {
  ChoiceList* list = m_Lists[static_cast<std::size_t>(order)];
  if (list == nullptr) return;
  const int s = list->GetCurSel();
  for (int other = 0; other < kActions; ++other) {
    if (other == order || m_Stored[static_cast<std::size_t>(other)] != s) continue;
    // Another action holds that key: it takes the key this one had.
    ChoiceList* m = m_Lists[static_cast<std::size_t>(other)];
    if (m == nullptr) continue;
    m->SetCurSel(m_Stored[static_cast<std::size_t>(order)]);
    m_Stored[static_cast<std::size_t>(order)] = s;
    m_Stored[static_cast<std::size_t>(other)] = m->GetCurSel();
    Invalidate(0);
    return;
  }
  if (m_Stored[static_cast<std::size_t>(order)] != s) m_Stored[static_cast<std::size_t>(order)] = s;
}

void KeyAssignDlg::OnDone() {
  // A key chosen with Left or Right and then confirmed with Done is kept,
  // as if its list had been left first (a clash swaps as it would then).
  for (int order = 0; order < kActions; ++order) {
    const ChoiceList* list = m_Lists[static_cast<std::size_t>(order)];
    if (list != nullptr && list->GetCurSel() != m_Stored[static_cast<std::size_t>(order)]) Resolve(order);
  }
  if (m_KeyMap != nullptr) {
    for (int order = 0; order < kActions; ++order)
      m_KeyMap[kMapIndex[order]] = static_cast<std::uint8_t>(KeyCode(m_Stored[static_cast<std::size_t>(order)]));
  }
  // A match being played takes the new keys at once.
  if (m_App != nullptr) m_App->ApplyKeyMapPrefs();
  EndDialog(kResultOk);
  if (m_App != nullptr) m_App->SavePrefs();
}
