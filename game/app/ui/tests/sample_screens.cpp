#include "sample_screens.h"

#include <fstream>
#include <iterator>

#include "engine/testing/memory_file.h"
#include "ui/button.h"
#include "ui/choice_list.h"
#include "ui/keyboard.h"
#include "ui/list_box.h"
#include "ui/static_text.h"

namespace ks::ui::sample {

namespace {

constexpr std::uint32_t kBevel[5] = {0xFFFFFF, 0xE0E0E0, 0xD3D3D3, 0x7F7F7F, 0x3F3F3F};

template <class T>
T* Make(ssDisplay* d, Wnd* parent, RECT frac, const wchar_t* caption, int kind, std::uint32_t style,
        std::uint32_t flags, int id) {
  auto* w = new T();
  w->Create(d, parent, frac, caption, kind, style, flags, id, 0);
  return w;
}

void Colours(Wnd* w) {
  w->SetColourA(0xFFFFFF);
  w->SetColourB(0xD3D3D3);
  w->SetColourC(0x000000);
  w->SetBevelColours(kBevel);
}

// The "Home" and "Back" pictures in the bottom corners, pressed by "3" and "9".
void CornerButtons(ssDisplay* d, Dlg* screen) {
  auto* home =
      Make<Picture>(d, screen, ::ui::DesignRect(4, 156, 16, 16), L"", ::ui::kKindPicture, ::ui::kStyleVisible, 0, 90);
  home->SetImageByName(L"Home.tga", L"UI", L"res.ark");
  auto* back =
      Make<Picture>(d, screen, ::ui::DesignRect(200, 156, 16, 16), L"", ::ui::kKindPicture, ::ui::kStyleVisible, 0, 91);
  back->SetImageByName(L"Back.tga", L"UI", L"res.ark");
  screen->SetKeyButtons(90, 91);
}

Dlg* Screen(ssDisplay* d, const wchar_t* background) {
  auto* screen = new Dlg();
  screen->Create(d, nullptr, RECT{0, 0, 0x10000, 0x10000}, L"Dialog", ::ui::kKindWindow, ::ui::kStyleVisible, 0x200000,
                 1000, 0);
  Colours(screen);
  screen->SetImageByName(background, L"UI", L"res.ark");
  screen->SetFontByName(L"Small Fonts7", L"UI", L"res.ark");
  return screen;
}

}  // namespace

std::unique_ptr<ssDisplayS16> OpenWithMenuArchive(const std::string& hostResArk, int width, int height) {
  std::ifstream in(hostResArk, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) return nullptr;
  auto d = std::make_unique<ssDisplayS16>();
  d->ForceOutput(ssDisplayS16::kModeGdi);
  d->m_Rotate = width < height ? 1 : 0;
  if (d->Init(nullptr, width, height, 16, 0) != 0) return nullptr;
  d->SetRenderTarget(ssDisplayS16::kTargetBackBuffer, 0, 0, 0, 0);
  // Pictures are made for the 220 x 176 design screen.
  d->m_DesignWidth = 220;
  d->m_DesignHeight = 176;
  d->m_XScale = static_cast<float>(d->m_VWidth) / 220.0f;
  d->m_YScale = static_cast<float>(d->m_VHeight) / 176.0f;
  auto archive = std::make_unique<ssMemoryArchive>();
  archive->SetBaseFolder(L"\\", 0);
  archive->AddFile(L"\\UI\\res.ark", std::move(bytes));
  d->SetArchive(std::move(archive));
  return d;
}

Dlg* BuildMainMenu(ssDisplay* d) {
  Dlg* screen = Screen(d, L"MainMenu.tga");
  struct Row {
    int id;
    const wchar_t* caption;
    LONG top, bottom;
    int up, down;
  };
  static constexpr Row kRows[] = {{4, L"Career Play", 0x5174, 0x6E8B, 9, 3}, {3, L"Quick Play", 0x6BA2, 0x88BA, 4, 6},
                                  {6, L"Settings", 0x85D1, 0xA2E8, 3, 7},    {7, L"About", 0xA000, 0xBD17, 6, 8},
                                  {8, L"Help", 0xBA2E, 0xD745, 7, 9},        {9, L"Quit", 0xD45D, 0xF174, 8, 4}};
  for (const Row& r : kRows) {
    auto* b = Make<Button>(d, screen, RECT{0x345D, r.top, 0xBC82, r.bottom}, r.caption, ::ui::kKindButton, 0x10018F00,
                           r.id == 4 ? 0x300020u : 0x200020u, r.id);
    Colours(b);
    b->SetFontByName(L"cornerstone10", L"UI", L"res.ark");
  }
  for (const Row& r : kRows) {
    screen->GetChild(r.id)->SetNeighbours(screen->GetChild(r.up), screen->GetChild(r.down), nullptr, nullptr);
  }
  return screen;
}

Dlg* BuildGallery(ssDisplay* d) {
  Dlg* screen = Screen(d, L"HardTimes.tga");
  auto* title = Make<StaticText>(d, screen, ::ui::DesignRect(10, 1, 200, 20), L"Widget Gallery", ::ui::kKindStatic,
                                 0x10000201, 0x200020, 10);
  Colours(title);
  title->SetFontByName(L"cornerstone10", L"UI", L"res.ark");
  auto* list =
      Make<ListBox>(d, screen, ::ui::DesignRect(8, 24, 120, 70), L"", ::ui::kKindListBox, 0x10800080, 0x180020, 20);
  Colours(list);
  list->SetColourB(0x203040);
  static constexpr const wchar_t* kRows[] = {L"Amber\t$1,500\tC", L"Birch\t$800\tD",   L"Cobalt\t$2,250\tB",
                                             L"Dune\t$400\tD",    L"Ember\t$5,000\tA", L"Fjord\t$950\tC"};
  for (const wchar_t* row : kRows) list->AddRow(row);
  const int stops[2] = {60, 110};
  list->SetTabStops(2, stops);
  list->SetCurSel(1);
  auto* choice = Make<ChoiceList>(d, screen, ::ui::DesignRect(8, 100, 140, 14), L"Game Type", ::ui::kKindChoiceList,
                                  0x10010080, 0x210020, 21);
  Colours(choice);
  for (const wchar_t* t : {L"6-Ball", L"8-Ball", L"9-Ball", L"10-Ball"}) choice->AddString(t);
  choice->SetCurSel(1);
  auto* check = Make<Button>(d, screen, ::ui::DesignRect(8, 118, 100, 14), L"Track Lines", ::ui::kKindButton,
                             0x10010002, 0x200020, 22);
  Colours(check);
  check->SetState(1);
  auto* note =
      Make<StaticText>(d, screen, ::ui::DesignRect(136, 24, 76, 70), L"A framed label whose text wraps inside its box.",
                       ::ui::kKindStatic, 0x10800200, 0x80020, 23);
  Colours(note);
  note->SetColourB(0x000000);
  auto* ok =
      Make<Button>(d, screen, ::ui::DesignRect(150, 100, 60, 18), L"Rack Em", ::ui::kKindButton, 0x10010F00, 0, 24);
  Colours(ok);
  ok->SetColourA(0x000000);
  list->SetNeighbours(nullptr, choice, nullptr, nullptr);
  choice->SetNeighbours(list, check, nullptr, nullptr);
  check->SetNeighbours(choice, ok, nullptr, nullptr);
  ok->SetNeighbours(check, list, nullptr, nullptr);
  CornerButtons(d, screen);
  return screen;
}

Dlg* BuildKeyboard(ssDisplay* d) {
  Dlg* screen = Screen(d, L"HardTimes.tga");
  auto* keyboard = Make<Keyboard>(d, screen, RECT{1489, 10426, 64344, 50641}, L"Nickname", ::ui::kKindKeyboard,
                                  0x10010000, 0x300020, 2);
  keyboard->SetColourB(0x000000);
  keyboard->SetColourC(0xFFFF00);
  keyboard->SetFontByName(L"Small Fonts7", L"UI", L"res.ark");
  keyboard->SetInputText(L"Quiet Mantis");
  keyboard->SetOpen(false);
  CornerButtons(d, screen);
  return screen;
}

std::vector<std::uint16_t> LogicalPixels(const ssDisplayS16& d) {
  const int w = d.m_VWidth, h = d.m_VHeight;
  std::vector<std::uint16_t> out(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::size_t at = d.m_Rotate == 1 ? static_cast<std::size_t>(d.m_Height - 1 - x) * d.m_Width + y
                                             : static_cast<std::size_t>(y) * d.m_Width + x;
      out[static_cast<std::size_t>(y) * w + x] = d.m_BackBuffer[at];
    }
  }
  return out;
}

}  // namespace ks::ui::sample
