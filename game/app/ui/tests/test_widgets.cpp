// Labels, pictures, buttons, list boxes, choice lists and scroll bars,
// driven with the pen and keys and checked through the notifications their
// screen receives.
#include <gtest/gtest.h>

#include "ui/button.h"
#include "ui/choice_list.h"
#include "ui/list_box.h"
#include "ui/scroll_bar.h"
#include "ui/static_text.h"
#include "ui_fixture.h"

namespace {

using namespace ks::ui::test;

struct WidgetTest : ::testing::Test {
  std::unique_ptr<ssDisplayS16> display = OpenDisplay();
  RecordingDlg* screen = nullptr;
  FeedbackLog feedback;
  void SetUp() override {
    ASSERT_NE(display, nullptr);
    screen = MakeScreen(display.get());
  }
  void TearDown() override { delete screen; }
  template <class T>
  T* Make(RECT px, int kind, std::uint32_t style, std::uint32_t flags, int id, const wchar_t* caption = L"",
          Wnd* parent = nullptr) {
    auto* w = new T();
    w->Create(display.get(), parent != nullptr ? parent : screen, Px(px.left, px.top, px.right, px.bottom), caption,
              kind, style, flags, id, 0);
    return w;
  }
  void Up(Wnd* w, int key) { w->WndProc(ui::kMsgKeyUp, static_cast<WPARAM>(key), 0); }
  std::vector<int> Codes() const { return FeedbackLog::Codes(); }
};

// ---- StaticText -----------------------------------------------------------------

TEST_F(WidgetTest, LabelsMeasureOneLineOrWrapAndAlign) {
  const wchar_t* text = L"A caption long enough to need more than one line here";
  auto* single =
      Make<StaticText>({0, 0, 100, 60}, ui::kKindStatic, ui::kStyleVisible | 0xC | StaticText::kVCentre, 0x20, 1, text);
  auto* wrapped =
      Make<StaticText>({0, 0, 100, 60}, ui::kKindStatic, ui::kStyleVisible | StaticText::kVCentre, 0x20, 2, text);
  const int line = single->FontHeight();
  // One line is centred as one line; the wrapped block is higher, so it
  // starts further up.
  EXPECT_EQ(single->TextOrigin().y, (60 - line) / 2);
  EXPECT_LT(wrapped->TextOrigin().y, single->TextOrigin().y);

  auto* right = Make<StaticText>({50, 0, 250, 20}, ui::kKindStatic, ui::kStyleVisible | 2, 0x20, 3, L"Right");
  int w = 0;
  display->MeasureText(right->Font(), L"Right", &w, nullptr, false);
  EXPECT_EQ(right->TextOrigin().x + w, 250 - 2 * 4);
}

// ---- Picture ----------------------------------------------------------------------

TEST_F(WidgetTest, PicturesReportPenFocusAndLoss) {
  auto* pic = Make<Picture>({10, 10, 50, 40}, ui::kKindPicture, ui::kStyleVisible, 0, 7);
  pic->OnPenDown(1, ui::MakePos(20, 20));
  pic->OnPenUp(0, ui::MakePos(20, 20));
  pic->OnPenUp(0, ui::MakePos(200, 200));
  EXPECT_EQ(screen->Commands(), (std::vector<std::pair<int, int>>{{7, 2}, {7, 0}}));

  screen->m_Log.clear();
  pic->SetFocus(nullptr);
  pic->KillFocus();
  EXPECT_EQ(screen->Commands(), (std::vector<std::pair<int, int>>{{7, 6}, {7, 6}, {7, 7}}));

  screen->m_Log.clear();
  pic->ShowWindow(0);
  pic->OnPenDown(1, ui::MakePos(20, 20));
  pic->OnPenUp(0, ui::MakePos(20, 20));
  EXPECT_TRUE(screen->Commands().empty());
}

TEST_F(WidgetTest, APicturesFocusImageWidensWhatItInvalidates) {
  auto* pic = Make<Picture>({100, 100, 120, 110}, ui::kKindPicture, ui::kStyleVisible, 0, 7);
  ASSERT_NE(display->GetTexture(L"Glow.tga", L"UI", L"res.ark", 0, true, true), nullptr);
  pic->SetImage2(display->GetTexture(L"Glow.tga", L"UI", L"res.ark", 0, true, true));
  display->ReleaseTexture(display->GetTexture(L"Glow.tga", L"UI", L"res.ark", 0, true, true));
  const RECT done = screen->ScreenRect();
  screen->Paint(done);
  pic->Invalidate(0);
  // 40 x 30 centred on the 20 x 10 picture.
  EXPECT_EQ(screen->DirtyRect().left, 90);
  EXPECT_EQ(screen->DirtyRect().top, 90);
  EXPECT_EQ(screen->DirtyRect().right, 130);
  EXPECT_EQ(screen->DirtyRect().bottom, 120);
}

// ---- Button -------------------------------------------------------------------------

TEST_F(WidgetTest, APressLeftOutsideTheButtonIsNoClick) {
  auto* b = Make<Button>({10, 10, 60, 30}, ui::kKindButton, ui::kStyleVisible, 0, 5, L"OK");
  screen->OnPenDown(1, ui::MakePos(20, 20));
  EXPECT_EQ(b->State(), 1);
  screen->OnPenMove(1, ui::MakePos(100, 100));
  screen->OnPenUp(0, ui::MakePos(100, 100));
  EXPECT_TRUE(screen->Has(5, ui::kNotifyPressed));
  EXPECT_FALSE(screen->Has(5, ui::kNotifyClicked));
  EXPECT_EQ(b->State(), 0);
}

TEST_F(WidgetTest, DownOnOneButtonUpOnAnotherClicksTheSecond) {
  auto* a = Make<Button>({10, 10, 60, 30}, ui::kKindButton, ui::kStyleVisible, 0, 5, L"A");
  auto* b = Make<Button>({10, 50, 60, 70}, ui::kKindButton, ui::kStyleVisible, 0, 6, L"B");
  screen->OnPenDown(1, ui::MakePos(20, 20));
  screen->OnPenUp(0, ui::MakePos(20, 60));
  EXPECT_EQ(screen->FocusedChild(), b);
  EXPECT_TRUE(screen->Has(6, ui::kNotifyClicked));
  EXPECT_FALSE(screen->Has(5, ui::kNotifyClicked));
  EXPECT_EQ(a->State(), 0);
  EXPECT_FALSE(a->HasFocus());
}

TEST_F(WidgetTest, ACheckBoxTogglesOnTapAndEnterButNotOnPenDown) {
  auto* box = Make<Button>({10, 10, 100, 30}, ui::kKindButton, ui::kStyleVisible | Button::kCheckBox, 0, 8, L"Sound");
  box->OnPenDown(1, ui::MakePos(20, 20));
  EXPECT_EQ(box->State(), 0);
  EXPECT_TRUE(screen->Has(8, ui::kNotifyPressed));
  box->OnPenUp(0, ui::MakePos(20, 20));
  EXPECT_EQ(box->State(), 1);
  box->Activate();
  EXPECT_EQ(box->State(), 0);
}

TEST_F(WidgetTest, AnUnfocusedCaptionIsDimmedAndAnArrowButtonDrawsOnlyItsGlyph) {
  screen->SetColourB(0);
  auto* b = Make<Button>({10, 10, 110, 40}, ui::kKindButton, ui::kStyleVisible | 0xF00, 0x20, 5, L"MMMM");
  b->SetColourA(0xFFFFFF);
  auto* arrow = Make<Button>({150, 10, 190, 50}, ui::kKindButton, ui::kStyleVisible | Button::kFlat, 0x21, 6, L"XXXX");
  arrow->SetColourA(0xFFFFFF);
  std::uint32_t black[5] = {0, 0, 0, 0, 0};
  screen->SetBevelColours(black);
  screen->Paint(screen->ScreenRect());
  auto count = [&](RECT r, std::uint16_t pixel) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) n += Pixel(*display, x, y) == pixel;
    }
    return n;
  };
  // The brightest red of the caption: the font mixes its full coverage in
  // at 31/32, so white gives 30 of 31 and white x 0.65 gives 19.
  auto brightest = [&](RECT r) {
    int most = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) most = std::max(most, Pixel(*display, x, y) >> 11);
    }
    return most;
  };
  EXPECT_EQ(brightest({14, 14, 106, 36}), 19);
  // The up glyph fills the middle of the arrow button, and nothing else is drawn.
  EXPECT_EQ(Pixel(*display, 170, 25), 0xA514) << "a glyph is a solid fill";
  EXPECT_EQ(count({150, 10, 190, 20}, 0xA514), 0);

  b->SetFocus(nullptr);
  screen->Paint(screen->ScreenRect());
  EXPECT_EQ(brightest({14, 14, 106, 36}), 30);
}

// ---- ListBox ------------------------------------------------------------------------

struct ListTest : WidgetTest {
  ListBox* list = nullptr;
  void Fill(int rows) {
    list = Make<ListBox>({20, 20, 200, 20}, ui::kKindListBox, ui::kStyleVisible, 0, 30);
    // Exactly three rows high below the rows' top offset (2 border units).
    list->MoveWindow(20, 20, 180, 2 * list->BorderUnit() + 3 * list->RowHeight(), false);
    for (int i = 0; i < rows; ++i) list->AddRow((L"Row " + std::to_wstring(i)).c_str());
  }
};

TEST_F(ListTest, SelectingBelowTheVisibleRowsScrolls) {
  Fill(10);
  ASSERT_EQ(list->VisibleRows(), 3);
  EXPECT_EQ(list->SetCurSel(2), -1);
  EXPECT_EQ(list->TopRow(), 0);
  EXPECT_EQ(list->SetCurSel(3), 2);
  EXPECT_EQ(list->TopRow(), 1);
}

TEST_F(ListTest, TheScrollBarShowsOnlyWhenTheRowsDoNotFit) {
  Fill(3);
  list->Paint(list->ScreenRect());
  EXPECT_FALSE(list->Bar()->IsVisible());
  list->AddRow(L"Row 3");
  list->Paint(list->ScreenRect());
  EXPECT_TRUE(list->Bar()->IsVisible());
}

TEST_F(ListTest, SortedInsertionKeepsRowsBeforeTheFirstSortable) {
  auto* sorted = Make<ListBox>({0, 0, 100, 100}, ui::kKindListBox, ui::kStyleVisible | ListBox::kSorted, 0, 31);
  for (const wchar_t* t : {L"b", L"a", L"c"}) sorted->AddRow(t);
  wchar_t text[8];
  std::wstring order;
  for (int i = 0; i < 3; ++i) {
    sorted->GetText(i, text, 8);
    order += text;
  }
  EXPECT_EQ(order, L"abc");

  sorted->Clear();
  sorted->SetFirstSortable(1);
  for (const wchar_t* t : {L"z", L"b", L"a", L"c"}) sorted->AddRow(t);
  order.clear();
  for (int i = 0; i < 4; ++i) {
    sorted->GetText(i, text, 8);
    order += text;
  }
  EXPECT_EQ(order, L"zabc");
  int width = 0;
  display->MeasureText(sorted->Font(), L"zabc", &width, nullptr, false);
  EXPECT_GT(sorted->GetRowTextWidth(0), 0);
  EXPECT_EQ(
      sorted->GetRowTextWidth(0) + sorted->GetRowTextWidth(1) + sorted->GetRowTextWidth(2) + sorted->GetRowTextWidth(3),
      width);
  EXPECT_EQ(sorted->GetText(4, text, 8), -1);
}

TEST_F(ListTest, KeysMoveTheSelectionAndReportTheEnds) {
  Fill(4);
  list->SetCurSel(0);
  Up(list, ui::kKeyUp);  // at the top: nothing moves, but a change is still reported
  EXPECT_EQ(Codes(), std::vector<int>{1});
  EXPECT_TRUE(screen->Has(30, ui::kNotifyChanged));

  screen->m_Log.clear();
  for (int i = 0; i < 3; ++i) Up(list, ui::kKeyDown);
  EXPECT_EQ(list->GetCurSel(), 3);
  EXPECT_EQ(list->TopRow(), 1);
  // The thumb follows: the last row shown puts it at the end of the bar.
  EXPECT_EQ(list->Bar()->GetPosition(), 1);
  EXPECT_EQ(list->Bar()->GetMaximum(), 1);
  screen->m_Log.clear();
  FeedbackLog::Codes().clear();
  Up(list, ui::kKeyDown);  // the last row, no down neighbour
  EXPECT_EQ(Codes(), std::vector<int>{1});
  EXPECT_TRUE(screen->Commands().empty());

  // With a down neighbour the list is left, the capture given back.
  Wnd* below = Make<Button>({0, 200, 50, 220}, ui::kKindButton, ui::kStyleVisible, 0, 40, L"Next");
  list->SetNeighbours(nullptr, below, nullptr, nullptr);
  list->Activate();
  EXPECT_EQ(screen->CaptureWindow(), list);
  Up(list, ui::kKeyDown);
  EXPECT_TRUE(screen->Has(30, ui::kNotifyLeave));
  EXPECT_EQ(screen->CaptureWindow(), nullptr);

  list->Activate();
  screen->m_Log.clear();
  Up(list, ui::kKeyEnter);
  EXPECT_TRUE(screen->Has(30, ui::kNotifyPressed));
  EXPECT_EQ(screen->CaptureWindow(), nullptr);
}

TEST_F(ListTest, OnlyWholeRowsAreShown) {
  // Half a row more than three: the fourth row is not shown cut.
  Fill(6);
  list->MoveWindow(20, 20, 180, 2 * list->BorderUnit() + 3 * list->RowHeight() + list->RowHeight() / 2, false);
  EXPECT_EQ(list->VisibleRows(), 3);
  list->SetCurSel(3);
  EXPECT_EQ(list->TopRow(), 1) << "the selected row is scrolled into view whole";
  EXPECT_EQ(list->Bar()->GetPosition(), 1);
  Up(list, ui::kKeyUp);
  Up(list, ui::kKeyUp);
  Up(list, ui::kKeyUp);
  EXPECT_EQ(list->TopRow(), 0);
  EXPECT_EQ(list->Bar()->GetPosition(), 0);
}

TEST_F(ListTest, TapsSelectRowsAndATapBelowOnlyRedraws) {
  Fill(2);
  list->MoveWindow(20, 20, 180, 5 * list->RowHeight(), false);
  const RECT r = list->ScreenRect();
  const int rowY = r.top + 4 + list->RowHeight() + 1;  // inside row 1
  list->OnPenUp(0, ui::MakePos(r.left + 10, rowY));
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_TRUE(screen->Has(30, ui::kNotifyChanged));

  screen->m_Log.clear();
  const RECT clean = screen->ScreenRect();
  screen->Paint(clean);
  list->OnPenUp(0, ui::MakePos(r.left + 10, r.bottom - 1));
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_TRUE(screen->Commands().empty());
  EXPECT_EQ(screen->DirtyRect().top, r.top) << "the list is still invalidated";
}

TEST_F(ListTest, EmptyListsAndMissingFontsStaySafe) {
  Fill(0);
  list->Clear();
  EXPECT_EQ(list->GetCurSel(), 0);
  EXPECT_EQ(list->GetItemData(0), 0u);
  wchar_t text[4];
  EXPECT_EQ(list->GetText(0, text, 4), -1);
  list->WndProc(ui::kMsgVScroll, 5u << 16, 0);
  EXPECT_EQ(list->TopRow(), 0);
  Up(list, ui::kKeyUp);
  Up(list, ui::kKeyDown);
  EXPECT_EQ(list->DeleteRow(0), -1);

  list->SetFont(nullptr);
  EXPECT_EQ(list->RowHeight(), 1);
  list->AddRow(L"x");
  list->OnPenUp(0, ui::MakePos(list->ScreenRect().left + 2, list->ScreenRect().top + 9));
  list->Paint(list->ScreenRect());
}

// ---- ChoiceList ---------------------------------------------------------------------

struct ChoiceTest : WidgetTest {
  ChoiceList* choice = nullptr;
  void SetUp() override {
    WidgetTest::SetUp();
    choice = Make<ChoiceList>({10, 10, 300, 30}, ui::kKindChoiceList, 0x10010080, 0x210020, 50, L"Game Type");
    for (const wchar_t* t : {L"6-Ball", L"8-Ball", L"9-Ball"}) choice->AddString(t);
  }
};

TEST_F(ChoiceTest, StepsStopAtTheEndsWithoutTriangles) {
  choice->SetFocus(nullptr);
  screen->Paint(screen->ScreenRect());
  EXPECT_TRUE(ui::IsEmpty(choice->LeftHot()));
  EXPECT_FALSE(ui::IsEmpty(choice->RightHot()));
  FeedbackLog::Codes().clear();
  Up(choice, ui::kKeyLeft);
  EXPECT_EQ(Codes(), std::vector<int>{1});
  EXPECT_EQ(choice->GetCurSel(), 0);

  screen->m_Log.clear();
  Up(choice, ui::kKeyRight);
  Up(choice, ui::kKeyRight);
  Up(choice, ui::kKeyRight);
  EXPECT_EQ(choice->GetCurSel(), 2);
  EXPECT_EQ(screen->Commands(), (std::vector<std::pair<int, int>>{{50, 1}, {50, 1}}));
  screen->Paint(screen->ScreenRect());
  EXPECT_TRUE(ui::IsEmpty(choice->RightHot()));
}

TEST_F(ChoiceTest, ATapJustOutsideATriangleStillSteps) {
  choice->SetCurSel(1);
  choice->SetFocus(nullptr);
  screen->Paint(screen->ScreenRect());
  const RECT right = choice->RightHot();
  choice->OnPenUp(0, ui::MakePos(right.right + 3, right.top));
  EXPECT_EQ(choice->GetCurSel(), 2);
  const RECT left = choice->LeftHot();
  screen->Paint(screen->ScreenRect());
  choice->OnPenUp(0, ui::MakePos(choice->LeftHot().left - 4, left.bottom));
  EXPECT_EQ(choice->GetCurSel(), 1);
  choice->OnPenUp(0, ui::MakePos(choice->LeftHot().left - 9, left.bottom));
  EXPECT_EQ(choice->GetCurSel(), 1) << "beyond the border unit nothing steps";
}

TEST_F(ChoiceTest, SelectionBoundsAndLeaving) {
  EXPECT_EQ(choice->SetCurSel(-1), -1);
  EXPECT_EQ(choice->SetCurSel(1), 0);
  EXPECT_EQ(choice->SetCurSel(3), 1);
  EXPECT_EQ(choice->GetCurSel(), 1);

  choice->Activate();
  screen->m_Log.clear();
  Up(choice, ui::kKeyDown);
  EXPECT_TRUE(screen->Has(50, ui::kNotifyLeave));
  EXPECT_EQ(screen->CaptureWindow(), nullptr);
  screen->m_Log.clear();
  choice->KillFocus();
  EXPECT_TRUE(screen->Has(50, ui::kNotifyLeave));

  choice->Clear();
  choice->SetFocus(nullptr);
  screen->Paint(screen->ScreenRect());  // the caption alone, no choice
  EXPECT_EQ(choice->GetItemData(0), 0u);
}

// ---- ScrollBar ----------------------------------------------------------------------

struct BarTest : WidgetTest {
  ScrollBar* Bar(RECT px, std::uint32_t style, std::uint32_t flags = 0) {
    return Make<ScrollBar>(px, ui::kKindScrollBar, style, flags, 60);
  }
  // The scroll messages the screen received, as (code, position).
  std::vector<std::pair<int, int>> Scrolls(UINT message = ui::kMsgVScroll) const {
    std::vector<std::pair<int, int>> out;
    for (const Received& r : screen->m_Log) {
      if (r.message == message) out.emplace_back(ui::CommandId(r.p1), ui::CommandCode(r.p1));
    }
    return out;
  }
};

TEST_F(BarTest, ThumbGeometryAndPageSteps) {
  auto* bar = Bar({300, 0, 316, 200}, ui::kStyleVisible | ScrollBar::kVertical);
  const int size = bar->ButtonSize();
  EXPECT_EQ(bar->Thumb()->Position().top, size) << "an empty range keeps the thumb at the start";

  bar->SetRange(0, 5, false);
  ScrollInfo info;
  bar->GetInfo(&info);
  EXPECT_EQ(info.page, 1);
  // A tap on the track below the thumb goes a page on, never past the end.
  bar->SetPosition(4, false);
  bar->OnPenDown(1, ui::MakePos(308, bar->Thumb()->ScreenRect().bottom + 2));
  EXPECT_EQ(bar->GetPosition(), 5);
  EXPECT_EQ(Scrolls(), (std::vector<std::pair<int, int>>{{ScrollBar::kPageForward, 5}}));
  EXPECT_EQ(bar->Thumb()->Position().top, size + (200 - 3 * size));
  bar->OnPenDown(1, ui::MakePos(308, size + 1));
  EXPECT_EQ(bar->GetPosition(), 4);
  EXPECT_EQ(Scrolls().back(), std::make_pair(ScrollBar::kPageBack, 4));
}

TEST_F(BarTest, AValueThumbGrowsWithTheDigitsOfTheMaximum) {
  auto* bar = Bar({0, 100, 300, 116}, ui::kStyleVisible | ScrollBar::kValueCaption);
  bar->SetRange(0, 2000, false);
  EXPECT_EQ(bar->ThumbLength(), bar->Font()->GetStringWidth(L"0") * 8 + 12);
}

TEST_F(BarTest, DraggingClampsAndEndsOnlyOverTheBar) {
  auto* bar = Bar({300, 0, 316, 200}, ui::kStyleVisible | ScrollBar::kVertical);
  bar->SetRange(0, 100, false);
  const RECT thumb = bar->Thumb()->ScreenRect();
  screen->OnPenDown(1, ui::MakePos(thumb.left + 2, thumb.top + 2));
  EXPECT_TRUE(bar->Dragging());
  screen->OnPenMove(1, ui::MakePos(thumb.left + 2, 900));
  EXPECT_EQ(bar->GetPosition(), 100);
  screen->OnPenMove(1, ui::MakePos(thumb.left + 2, 0));
  EXPECT_EQ(bar->GetPosition(), 0);
  EXPECT_EQ(Scrolls().back().first, ScrollBar::kDragging);

  // Lifted away from the bar: the screen hands the pen-up to what lies
  // under the pen, so the drag and the key capture go on.
  screen->OnPenUp(0, ui::MakePos(100, 100));
  EXPECT_TRUE(bar->Dragging());
  EXPECT_EQ(screen->CaptureWindow(), bar);
  screen->OnPenUp(0, ui::MakePos(305, 100));
  EXPECT_FALSE(bar->Dragging());
  EXPECT_EQ(Scrolls().back().first, ScrollBar::kDragEnded);
}

TEST_F(BarTest, KeysOfAVerticalBarCountUpForward) {
  auto* bar = Bar({300, 0, 316, 200}, ui::kStyleVisible | ScrollBar::kVertical);
  bar->SetRange(0, 3, false);
  bar->Activate();
  Up(screen, ui::kKeyUp);
  Up(screen, ui::kKeyUp);
  Up(screen, ui::kKeyDown);
  EXPECT_EQ(bar->GetPosition(), 1);
  EXPECT_EQ(Scrolls(), (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {0, 1}}));
  Up(screen, ui::kKey9);
  EXPECT_EQ(screen->CaptureWindow(), nullptr);
}

TEST_F(BarTest, ArrowsOnlyBarsTurnTapsIntoKeys) {
  auto* bar = Bar({300, 0, 316, 200}, ui::kStyleVisible | ScrollBar::kVertical | ScrollBar::kNoThumb,
                  ScrollBar::kFlagArrowsOnly | 0x20);
  bar->SetRange(0, 9, false);
  const RECT up = bar->FirstArrow()->ScreenRect();
  screen->OnPenDown(1, ui::MakePos(up.left + 2, up.top + 2));
  screen->OnPenUp(0, ui::MakePos(up.left + 2, up.top + 2));
  EXPECT_EQ(bar->GetPosition(), 0);
  bool sawUp = false;
  for (const Received& r : screen->m_Log) {
    sawUp |= r.message == ui::kMsgKeyUp && r.p1 == ui::kKeyUp && r.p2 == reinterpret_cast<LPARAM>(bar);
  }
  EXPECT_TRUE(sawUp);
  EXPECT_TRUE(Scrolls().empty());
}

TEST_F(BarTest, ABarShorterThanItsButtonsDoesNoArithmeticOnTheTrack) {
  auto* bar = Bar({300, 0, 316, 12}, ui::kStyleVisible | ScrollBar::kVertical);
  bar->SetRange(0, 50, false);
  bar->SetPosition(30, false);
  const RECT thumb = bar->Thumb()->ScreenRect();
  screen->OnPenDown(1, ui::MakePos(thumb.left + 1, thumb.top + 1));
  screen->OnPenMove(1, ui::MakePos(thumb.left + 1, 400));
  EXPECT_EQ(bar->GetPosition(), 30);
}

}  // namespace
