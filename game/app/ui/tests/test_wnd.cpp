// The window base: geometry, invalidation, painting, pen routing and
// colours, on the headless display.
#include <gtest/gtest.h>

#include "ui/button.h"
#include "ui/static_text.h"
#include "ui/wnd.h"
#include "ui_fixture.h"

namespace {

using namespace ks::ui::test;

struct WndTest : ::testing::Test {
  std::unique_ptr<ssDisplayS16> display = OpenDisplay();
  RecordingDlg* screen = nullptr;
  DlgMan man;
  void SetUp() override {
    ASSERT_NE(display, nullptr);
    screen = MakeScreen(display.get());
  }
  void TearDown() override {
    if (man.Count() == 0) delete screen;
  }
  Wnd* Child(Wnd* parent, RECT px, std::uint32_t style = ui::kStyleVisible, std::uint32_t flags = 0, int id = 1) {
    auto* w = new Wnd();
    w->Create(display.get(), parent, Px(px.left, px.top, px.right, px.bottom), L"", ui::kKindWindow, style, flags, id,
              0);
    return w;
  }
};

TEST_F(WndTest, CreateTurnsFractionsIntoPixelsAndTakesTheParentsFont) {
  EXPECT_EQ(screen->ScreenRect().right, 320);
  EXPECT_EQ(screen->ScreenRect().bottom, 240);
  Wnd* w = Child(screen, {10, 20, 110, 60});
  EXPECT_EQ(w->Position().left, 10);
  EXPECT_EQ(w->Position().bottom, 60);
  EXPECT_EQ(w->Font(), screen->Font());
  EXPECT_EQ(w->BorderUnit(), 4);
  EXPECT_EQ(screen->ChildCount(), 1);
  // Design pixels of the 220 x 176 screen.
  EXPECT_EQ(ui::DesignX(6), 1936);
  EXPECT_EQ(ui::DesignX(212), 63301);
  EXPECT_EQ(ui::DesignY(144), 53806);
}

TEST_F(WndTest, MovingAParentMovesItsDescendantsAndTitleBandsOffsetChildren) {
  Wnd* panel = Child(screen, {10, 10, 200, 200}, ui::kStyleVisible | ui::kStyleTitle);
  Wnd* inner = Child(panel, {5, 6, 50, 30});
  Wnd* deepest = Child(inner, {1, 1, 10, 10});
  const int band = panel->FontHeight() + 2 * 4;
  EXPECT_EQ(panel->BorderX(), 1);
  EXPECT_EQ(panel->BorderY(), 1 + band);
  EXPECT_EQ(inner->ScreenRect().left, 10 + 1 + 5);
  EXPECT_EQ(inner->ScreenRect().top, 10 + 1 + band + 6);

  panel->MoveWindow(40, 30, 190, 190, false);
  EXPECT_EQ(inner->ScreenRect().left, 40 + 1 + 5);
  EXPECT_EQ(deepest->ScreenRect().top, 30 + 1 + band + 6 + 1);
  EXPECT_EQ(inner->Position().left, 5) << "children keep their place in the parent";

  POINT p{7, 9};
  deepest->ClientToScreen(p);
  EXPECT_EQ(p.x, deepest->ScreenRect().left + 7);
  deepest->ScreenToClient(p);
  EXPECT_EQ(p.x, 7);
  EXPECT_EQ(p.y, 9);
}

TEST_F(WndTest, CentringMovesOnlyTheCentredWindowsOwnRectangle) {
  Wnd* panel = Child(screen, {0, 0, 100, 80}, ui::kStyleVisible | ui::kStyleCentre);
  Wnd* inside = Child(panel, {10, 10, 20, 20});
  EXPECT_EQ(panel->ScreenRect().left, 110);
  EXPECT_EQ(panel->ScreenRect().top, 80);
  // The children are laid out from the panel's position, not its centred
  // rectangle: the screens' fractions rely on it.
  EXPECT_EQ(inside->ScreenRect().left, 10);
}

TEST_F(WndTest, InvalidationReachesTheScreenAndPaintingResetsIt) {
  Wnd* a = Child(screen, {10, 10, 30, 30});
  Wnd* b = Child(screen, {100, 50, 120, 70});
  screen->Paint(screen->ScreenRect());
  a->Invalidate(0);
  b->Invalidate(0);
  EXPECT_EQ(screen->DirtyRect().left, 10);
  EXPECT_EQ(screen->DirtyRect().bottom, 70);

  const RECT before = screen->DirtyRect();
  screen->Paint(RECT{5, 5, 5, 9});  // empty: nothing changes
  EXPECT_EQ(screen->DirtyRect().right, before.right);
  const RECT dirty = screen->DirtyRect();
  screen->Paint(dirty);
  EXPECT_TRUE(ui::IsEmpty(screen->DirtyRect()));
  a->Invalidate(0);
  EXPECT_EQ(screen->DirtyRect().left, 10) << "the reset rectangle gives way to the next change";
  EXPECT_EQ(screen->DirtyRect().right, 30);
}

TEST_F(WndTest, InvisibleWindowsPaintNothingAndTakeNoFocus) {
  screen->SetColourB(0);
  Wnd* hidden = Child(screen, {10, 10, 60, 60}, 0);
  Wnd* shown = Child(screen, {100, 10, 150, 60});
  const std::uint32_t face[5] = {0xFFFFFF, 0xE0E0E0, 0xFF0000, 0x7F7F7F, 0x3F3F3F};
  hidden->SetBevelColours(face);
  shown->SetBevelColours(face);
  screen->Paint(screen->ScreenRect());
  EXPECT_EQ(Pixel(*display, 120, 30), 0xF800);
  EXPECT_NE(Pixel(*display, 30, 30), 0xF800);
  screen->FocusAt(ui::MakePos(30, 30));
  EXPECT_EQ(screen->FocusedChild(), nullptr);
}

TEST_F(WndTest, OfOverlappingChildrenTheLaterOneTakesThePen) {
  Child(screen, {10, 10, 60, 60}, ui::kStyleVisible | ui::kStyleFocusable, 0, 1);
  Wnd* later = Child(screen, {40, 40, 90, 90}, ui::kStyleVisible | ui::kStyleFocusable, 0, 2);
  screen->OnPenDown(1, ui::MakePos(50, 50));
  EXPECT_EQ(screen->FocusedChild(), later);
  EXPECT_TRUE(screen->Has(2, ui::kNotifyFocus));
  EXPECT_FALSE(screen->Has(1, ui::kNotifyFocus));
}

TEST_F(WndTest, RaisedBevelBands) {
  const std::uint32_t bevel[5] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
  Wnd* w = Child(screen, {20, 20, 60, 50}, ui::kStyleVisible | ui::kStyleBevel);
  w->SetBevelColours(bevel);
  screen->Paint(screen->ScreenRect());
  struct Row {
    int x, y;
    std::uint16_t pixel;
  };
  const Row rows[] = {
      {30, 20, 0xFFFF},  // top outer
      {30, 22, 0xC618},  // top inner
      {25, 35, 0x8410},  // face
      {30, 47, 0x4208},  // bottom inner
      {30, 49, 0x0000},  // bottom outer
      {57, 35, 0x4208},  // right inner
      {59, 35, 0x0000},  // right outer
      {20, 35, 0xFFFF},  // left outer
  };
  for (const Row& r : rows) EXPECT_EQ(Pixel(*display, r.x, r.y), r.pixel) << r.x << "," << r.y;
}

TEST_F(WndTest, ScaleColourScalesEachChannelWithoutClamping) {
  struct Row {
    int depth;
    std::uint32_t pixel;
    float factor;
    std::uint32_t want;
  };
  const Row rows[] = {
      {16, 0xFFFF, 0.65f, 0xA514}, {16, 0xFFFF, 0.55f, 0x8C51}, {16, 0xFFE0, 0.65f, 0xA500},
      {12, 0xFFF, 0.65f, 0x999},   {16, 0x001F, 2.0f, 0x003E},  // blue grows into green's field
  };
  for (const Row& r : rows) {
    display->m_Depth = r.depth;
    EXPECT_EQ(screen->ScaleColour(r.pixel, r.factor), r.want) << std::hex << r.pixel << " x " << r.factor;
  }
  display->m_Depth = 16;
}

TEST_F(WndTest, CopyColoursKeepsColourDAndReachesChildren) {
  Wnd* a = Child(screen, {0, 0, 10, 10});
  Wnd* b = Child(screen, {20, 0, 30, 10});
  Wnd* bChild = Child(b, {0, 0, 5, 5});
  a->SetColourA(0x112233);
  a->SetColourD(0x445566);
  b->SetColourD(0x778899);
  b->CopyColours(a);
  EXPECT_EQ(b->GetColourA(), a->GetColourA());
  EXPECT_EQ(bChild->GetColourA(), a->GetColourA());
  EXPECT_EQ(b->GetColourD(), display->PixelToColor(display->ColorToPixel(0x778899)));
}

TEST_F(WndTest, CaptionsAreCutToTheirBuffer) {
  std::wstring longText(3000, L'x');
  Wnd* w = Child(screen, {0, 0, 10, 10});
  w->SetText(longText.c_str());
  EXPECT_EQ(std::wcslen(w->Caption()), Wnd::kCaptionChars - 1);
  wchar_t small[8];
  w->GetText(small, 8);
  EXPECT_EQ(std::wstring(small), L"xxxxxxx");
}

TEST_F(WndTest, RemoveChildDeletesOnlyItsOwnChildren) {
  Wnd* a = Child(screen, {0, 0, 10, 10});
  Wnd* other = Child(a, {0, 0, 5, 5});
  EXPECT_EQ(screen->RemoveChild(other), 0);
  screen->FocusAt(ui::MakePos(2, 2));
  EXPECT_EQ(screen->RemoveChild(a), 1);
  EXPECT_EQ(screen->ChildCount(), 0);
  EXPECT_EQ(screen->FocusedChild(), nullptr);
}

}  // namespace
