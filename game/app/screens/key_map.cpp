#include "screens/key_map.h"

#include <memory>

#include "screens.h"
#include "screens/screen_kit.h"

namespace {

constexpr const wchar_t* kActionNames[31] = {L"Aim Mode",
                                             L"Move View",
                                             L"Rotate View",
                                             L"Move  Ball",
                                             L"Pick Ball",
                                             L"Zip To End",
                                             L"In Game Menu",
                                             L"Help",
                                             L"Up",
                                             L"Down",
                                             L"Left",
                                             L"Right",
                                             L"Zoom    In",
                                             L"Zoom   Out",
                                             L"Replay",
                                             L"Over  Head",
                                             L"Stroke Cue",
                                             L"Stroke Cue",
                                             L"Cue Tip Left",
                                             L"Cue Tip Right",
                                             L"Cue Tip Up",
                                             L"Cue Tip Down",
                                             L"Angle   Up",
                                             L"Angle Down",
                                             L"Track Lines",
                                             L"Track Lines",
                                             L"Replay",
                                             L"Replay",
                                             L"Track Lines",
                                             L"Show KeyMap",
                                             L""};

struct KeyLabel {
  int id;
  RECT r;
  const wchar_t* caption;
  std::uint32_t code;  // 0: the direction pad, which keeps its caption
};
constexpr KeyLabel kLabels[] = {
    {2, {297, 11170, 11617, 20852}, L"Track  Lines", 119},
    {3, {10724, 11170, 21746, 20852}, L"Cue Tip Left", 55},
    {4, {21448, 11170, 32768, 20852}, L"Cue Tip Right", 52},
    {5, {32172, 11170, 43492, 20852}, L"Zoom   Out", 49},
    {6, {41704, 11170, 53024, 20852}, L"Move  View", 91},
    {7, {1191, 28299, 12511, 37981}, L"In Game Menu", 48},
    {8, {11915, 28299, 22639, 37981}, L"Angle   Up", 56},
    {9, {20852, 27554, 30384, 38725}, L"Cue Tip Up", 53},
    {10, {32172, 28299, 39619, 39470}, L"Zoom    In", 50},
    {11, {42300, 28299, 64940, 37981}, L"Adjust Aim, View or Move Ball", 0},
    {21, {297, 45428, 11617, 55109}, L"Show KeyMap", 120},
    {13, {10724, 45428, 21746, 55109}, L"Angle  Down", 57},
    {14, {21448, 45428, 32768, 55109}, L"Cue Tip Down", 54},
    {15, {32172, 45428, 43492, 55109}, L"Replay", 51},
    {16, {41704, 45428, 53024, 55109}, L"Over   Head", 27},
    {17, {47960, 53620, 59280, 63301}, L"Aim Mode", 115},
    {18, {53620, 45428, 64940, 55109}, L"Stroke Cue", 113},
    {12, {48258, 744, 59578, 10426}, L"Move   Ball", 114},
    {19, {53024, 11170, 64940, 20852}, L"", 112},
};

}  // namespace

int KeyMapDlg::ActionOfKey(const std::uint8_t* keys, std::uint32_t code) {
  if (keys == nullptr) return kUnbound;
  for (int i = 0; i < 30; ++i)
    if (keys[i] == (code & 0xFF)) return i;
  return kUnbound;
}

const wchar_t* KeyMapDlg::ActionName(int index) { return index >= 0 && index <= kUnbound ? kActionNames[index] : L""; }

bool KeyMapDlg::Build(ssDisplay* display, ssInput*) {
  using namespace kit;
  MakeScreen(this, display, kScreenId, ui::kFlagShadow, kWhite, kGrey, L"keys.tga", L"Small Fonts6");
  for (const KeyLabel& k : kLabels) {
    if (Label(this, display, k.r, k.caption, 0x10000201, 0x200020, k.id, L"Small Fonts6", kWhite, kGrey) == nullptr)
      return false;
  }
  if (Pic(this, display, RECT{3574, 58833, 8340, 64791}, kBack, L"Back.tga") == nullptr) return false;
  return Label(this, display, RECT{8936, 61067, 18767, 64791}, L"Back", 0x10000000, 0x20, 23, L"Small Fonts7",
               kWhite) != nullptr;
}

LRESULT KeyMapDlg::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  if (message == ui::kMsgInitDialog) {
    Initialise();
    return 0;
  }
  if (message == ui::kMsgCommand && ui::CommandCode(p1) == ui::kNotifyClicked && ui::CommandId(p1) == kBack) {
    Cancel();
    if (m_App != nullptr) m_App->ReturnToPlay();
    return 0;
  }
  return Dlg::WndProc(message, p1, p2);
}

void KeyMapDlg::Initialise() {
  SetDefaultButtons(kBack, kBack);
  for (const KeyLabel& k : kLabels) {
    if (k.code == 0) continue;
    if (Wnd* label = GetChild(k.id)) label->SetText(ActionName(ActionOfKey(m_Keys, k.code)));
  }
  Invalidate(0);
}

void ToggleKeyMap(ksMain* app) {
  if (app == nullptr || app->Display() == nullptr) return;
  if (app->KeyMapScreen() != nullptr) {
    app->HideKeyMapScreen();
    return;
  }
  auto screen = std::make_unique<KeyMapDlg>();
  if (!screen->Build(app->Display(), app->Input())) return;
  screen->m_Keys = app->Prefs().keys.data();
  screen->m_App = app;
  screen->Initialise();
  app->ShowKeyMapScreen(std::move(screen));
}
