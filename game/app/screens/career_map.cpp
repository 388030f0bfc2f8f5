#include "screens/career_map.h"

#include "display/display.h"
#include "engine/image.h"
#include "screens.h"
#include "screens/career_room.h"
#include "screens/screen_kit.h"

namespace {

constexpr const wchar_t* kSmall[6] = {L"1_small.tga", L"2_small.tga", L"3_small.tga",
                                      L"4_small.tga", L"5_small.tga", L"6_small.tga"};
constexpr const wchar_t* kLargeNames[6] = {L"SelectGarage.tga",      L"SelectHawgPen.tga",   L"SelectPitStop.tga",
                                           L"SelectDeepPockets.tga", L"SelectHardTimes.tga", L"SelectBeachHouse.tga"};
constexpr const wchar_t* kNames[6] = {L"The Garage",   L"The Hawg Pen", L"The Pit Stop",
                                      L"Deep Pockets", L"Hard Times",   L"The Beach House"};
// Map positions by room.
constexpr RECT kSpots[6] = {{48258, 46917, 53024, 52875}, {55109, 37236, 59876, 43194}, {54216, 26065, 58982, 32023},
                            {43789, 22341, 48854, 28299}, {34853, 31278, 39619, 37236}, {34257, 46917, 39023, 52875}};
// Focus links by room: up, down, left, right (-1 none).
constexpr int kLinks[6][4] = {{1, -1, 5, -1}, {2, 0, -1, -1}, {3, 1, -1, -1},
                              {-1, 4, 4, 2},  {3, 5, 5, 3},   {4, 0, -1, 0}};

}  // namespace

bool CareerMapDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, 0, kWhite, kGrey, L"CareerMap.tga", L"Cornerstone8");
  const wchar_t* c8 = L"Cornerstone8";
  if (auto* frame = Pic(this, display, RECT{297, 17128, 31576, 48407}, 0, nullptr, c8, 0x10800000)) {
    static constexpr std::uint32_t kFrameBevel[5] = {0xFFFFFF, 0xE0E0E0, 0x292929, 0x7F7F7F, 0x3F3F3F};
    frame->SetBevelColours(kFrameBevel);
  }
  m_Large = Pic(this, display, RECT{1489, 23086, 30384, 46917}, kLarge, L"SelectGarage.tga", c8);
  Label(this, display, RECT{8340, 59578, 17575, 63301}, L"Back", 0x10000000, 32, 0, L"Small Fonts7", kWhite, kGrey);
  Label(this, display, RECT{54514, 59578, 64344, 63301}, L"Enter", 0x10000000, 32, 0, L"Small Fonts7", kWhite, kGrey);
  for (int room = 0; room < 6; ++room) {
    // The map's pictures take the focus; the Garage takes it first.
    m_Rooms[room] = Pic(this, display, kSpots[room], kRoomPictureIds[room], kSmall[room], c8, 0x10010000,
                        room == 0 ? ui::kFlagFirstFocus : 0u);
  }
  m_Name = Label(this, display, RECT{1489, 18618, 28895, 22341}, L"The Garage", 0x10000001, 0x200020, kName,
                 L"Small Fonts7", kYellow, kGrey);
  for (int room = 1; room < 6; ++room)
    m_Locks[room] = Pic(this, display, kSpots[room], kLockIds[room], L"LockedRoom.tga", c8);
  Label(this, display, RECT{297, 744, 36342, 8192}, L"Career - Map", 0x10800200, 0x280020, 0, c8, kYellow, 0);
  Pic(this, display, RECT{48258, 57344, 53024, 63301}, kEnter, L"Home.tga");
  Pic(this, display, RECT{2085, 57344, 6851, 63301}, kBack, L"Back.tga");
  for (Picture* p : m_Rooms)
    if (p == nullptr) return false;
  if (!m_Large || !m_Name) return false;
  for (int room = 0; room < 6; ++room) {
    auto at = [this](int r) -> Wnd* { return r < 0 ? nullptr : m_Rooms[r]; };
    m_Rooms[room]->SetNeighbours(at(kLinks[room][0]), at(kLinks[room][1]), at(kLinks[room][2]), at(kLinks[room][3]));
  }
  return true;
}

LRESULT CareerMapDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    m_Selected = 0;
    SetKeyButtons(kEnter, kBack);
    UpdateLocks();
    // The focus glow: one texture, a reference per picture.
    if (ssImage* glow = Device()->GetTexture(L"Glow.tga", L"UI", L"res.ark", 6, true, true)) {
      for (int room = 0; room < 6; ++room) {
        if (room < 5) glow->AddRef();
        m_Rooms[room]->SetImage2(glow);
      }
    }
    return 0;
  }
  if (message == ui::kMsgCommand) {
    const int id = ui::CommandId(p1), code = ui::CommandCode(p1);
    if (code == ui::kNotifyClicked && id == kBack) {
      EndDialog(kResultCancel);
      return 0;
    }
    if (code == ui::kNotifyClicked && id == kEnter) {
      EnterRoom();
      return 0;
    }
    for (int room = 0; room < 6; ++room) {
      if (id != kRoomPictureIds[room]) continue;
      if (code == ui::kNotifyFocus) {
        Preview(room);
        return 0;
      }
      if (code == ui::kNotifyClicked) {
        m_Selected = room;
        EnterRoom();
        return 0;
      }
    }
  }
  return Dlg::WndProc(message, p1, p2);
}

void CareerMapDlg::UpdateLocks() {
  const ks::app::CareerRecord* career = m_App ? m_App->CurrentCareer() : nullptr;
  m_Level = career ? career->level : 0;
  for (int room = 1; room < 6; ++room) {
    const bool open = m_Level >= room;
    if (m_Locks[room]) m_Locks[room]->ShowWindow(open ? 0 : 5);
    m_Rooms[room]->ShowWindow(open ? 5 : 0);
  }
}

void CareerMapDlg::Preview(int room) {
  m_Selected = room;
  m_Large->SetImageByName(kLargeNames[room], L"UI", L"res.ark");
  m_Name->SetText(kNames[room]);
  Invalidate(0);
}

void CareerMapDlg::EnterRoom() {
  if (m_App == nullptr) return;
  m_App->Prefs()[ks::app::pref::kLastRoom] = static_cast<std::uint8_t>(m_Selected);
  const int room = m_Selected;
  kit::Open<CareerRoomDlg>(m_App, [this, room](CareerRoomDlg& s) {
    s.m_App = m_App;
    s.m_Room = room;
  });
}

Dlg* PushCareerMap(ksMain* app) { return kit::Open<CareerMapDlg>(app); }
