// Screens on the stack: start and focus, key buttons and key navigation,
// closing with a result, the key auto-repeat and deferred deletion. Input
// goes through DlgMan::Dispatch as the application sends it.
#include <gtest/gtest.h>

#include "ui/button.h"
#include "ui/choice_list.h"
#include "ui/list_box.h"
#include "ui/static_text.h"
#include "ui_fixture.h"

namespace {

using namespace ks::ui::test;

struct DlgTest : ::testing::Test {
  std::unique_ptr<ssDisplayS16> display = OpenDisplay();
  DlgMan man;
  Driver input{&man};
  FeedbackLog feedback;

  void SetUp() override { ASSERT_NE(display, nullptr); }
  Button* AddButton(Wnd* screen, int id, int top, std::uint32_t flags = 0x20, std::uint32_t style = 0x10018F00) {
    auto* b = new Button();
    b->Create(display.get(), screen, Px(60, top, 200, top + 20), L"Button", ui::kKindButton, style, flags, id, 0);
    return b;
  }
  // A screen with three buttons 3, 4, 5 linked in a column, and pictures
  // 90 ("Home") and 91 ("Back") as the "3" and "9" buttons.
  RecordingDlg* Menu(int id = 1000) {
    RecordingDlg* s = MakeScreen(display.get(), id);
    Button* a = AddButton(s, 3, 40);
    Button* b = AddButton(s, 4, 70);
    Button* c = AddButton(s, 5, 100);
    a->SetNeighbours(nullptr, b, nullptr, nullptr);
    b->SetNeighbours(a, c, nullptr, nullptr);
    c->SetNeighbours(b, nullptr, nullptr, nullptr);
    for (int pid : {90, 91}) {
      auto* p = new Picture();
      p->Create(display.get(), s, Px(pid == 90 ? 10 : 280, 200, pid == 90 ? 40 : 310, 230), L"", ui::kKindPicture,
                ui::kStyleVisible, 0x20, pid, 0);
    }
    s->SetKeyButtons(90, 91);
    return s;
  }
  std::vector<int> Codes() const { return FeedbackLog::Codes(); }
};

TEST_F(DlgTest, StartSendsInitAndFocusesTheFirstFocusableChild) {
  RecordingDlg* s = MakeScreen(display.get());
  auto* label = new StaticText();
  label->Create(display.get(), s, Px(0, 0, 50, 20), L"Title", ui::kKindStatic, ui::kStyleVisible, 0x20, 1, 0);
  Button* hidden = AddButton(s, 2, 30, 0x20, 0x00018F00);
  Button* first = AddButton(s, 3, 60);
  AddButton(s, 4, 90);
  man.Push(s, 0);
  ASSERT_FALSE(s->m_Log.empty());
  EXPECT_EQ(s->m_Log.front().message, ui::kMsgInitDialog);
  EXPECT_EQ(s->m_Log.front().p1, reinterpret_cast<WPARAM>(s));
  EXPECT_EQ(s->Result(), Dlg::kResultRunning);
  EXPECT_TRUE(s->Running());
  EXPECT_EQ(s->FocusedChild(), first);
  EXPECT_FALSE(hidden->HasFocus());

  // A child marked to be first wins over child order.
  RecordingDlg* t = MakeScreen(display.get());
  AddButton(t, 3, 40);
  Button* marked = AddButton(t, 4, 70, 0x100020);
  man.Push(t, 0);
  EXPECT_EQ(t->FocusedChild(), marked);
}

TEST_F(DlgTest, AScreenWithoutFocusableChildrenIgnoresEnter) {
  RecordingDlg* s = MakeScreen(display.get());
  auto* label = new StaticText();
  label->Create(display.get(), s, Px(0, 0, 50, 20), L"Text", ui::kKindStatic, ui::kStyleVisible, 0x20, 1, 0);
  man.Push(s, 0);
  EXPECT_EQ(s->FocusedChild(), nullptr);
  input.Key(ui::kKeyEnter);
  EXPECT_TRUE(s->Commands().empty());
  EXPECT_TRUE(Codes().empty());
}

TEST_F(DlgTest, DirectionKeysFollowTheLinksAndReportTheEnd) {
  RecordingDlg* s = Menu();
  man.Push(s, 0);
  EXPECT_EQ(s->FocusedChild()->Id(), 3);
  input.Key(ui::kKeyDown);
  input.Key(ui::kKeyDown);
  EXPECT_EQ(s->FocusedChild()->Id(), 5);
  EXPECT_EQ(Codes(), (std::vector<int>{0, 0}));
  EXPECT_FALSE(s->GetChild(3)->HasFocus());

  s->m_Log.clear();
  input.Key(ui::kKeyDown);  // the end of the chain
  EXPECT_EQ(s->FocusedChild()->Id(), 5);
  EXPECT_EQ(Codes().back(), 1);
  bool told = false;
  for (const Received& r : s->m_Log)
    told |= r.message == ui::kMsgKeyUp && r.p1 == reinterpret_cast<WPARAM>(s) && r.p2 == 40;
  EXPECT_TRUE(told);

  // Hidden children are stepped over.
  s->GetChild(4)->ShowWindow(0);
  input.Key(ui::kKeyUp);
  EXPECT_EQ(s->FocusedChild()->Id(), 3);

  input.Key(ui::kKeyEnter);
  EXPECT_TRUE(s->Has(3, ui::kNotifyClicked));
  EXPECT_EQ(Codes().back(), 2);
}

TEST_F(DlgTest, ThreeAndNinePressTheDefaultPictures) {
  RecordingDlg* s = Menu();
  man.Push(s, 0);
  input.Key('3');
  EXPECT_TRUE(s->Has(90, ui::kNotifyClicked));
  input.Key('9');
  EXPECT_TRUE(s->Has(91, ui::kNotifyClicked));
  EXPECT_EQ(Codes().back(), 5);
  EXPECT_FALSE(s->GetChild(3)->HasFocus()) << "the focused child loses its focus first";
}

TEST_F(DlgTest, ACapturedChildTakesTheKeysButThreeStillPresses) {
  RecordingDlg* s = Menu();
  auto* list = new ListBox();
  list->Create(display.get(), s, Px(210, 20, 300, 120), L"", ui::kKindListBox, 0x10800080, 0x100020, 20, 0);
  for (const wchar_t* t : {L"one", L"two", L"three"}) list->AddRow(t);
  list->SetCurSel(0);
  man.Push(s, 0);
  ASSERT_EQ(s->FocusedChild(), list);
  input.Key(ui::kKeyEnter);  // enter the list
  EXPECT_EQ(s->CaptureWindow(), list);
  input.Key(ui::kKeyDown);
  input.Key(ui::kKeyDown);
  EXPECT_EQ(list->GetCurSel(), 2);
  EXPECT_EQ(s->FocusedChild(), list) << "the focus stays while the list holds the keys";
  input.Key('3');
  EXPECT_TRUE(s->Has(90, ui::kNotifyClicked));
  input.Key(ui::kKeyEnter);  // choose the row and leave
  EXPECT_TRUE(s->Has(20, ui::kNotifyPressed));
  EXPECT_EQ(s->CaptureWindow(), nullptr);
}

TEST_F(DlgTest, AChoiceListTakesLeftAndRightButNotLinkedDirections) {
  RecordingDlg* s = MakeScreen(display.get());
  auto* choice = new ChoiceList();
  choice->Create(display.get(), s, Px(10, 10, 300, 30), L"Goal", ui::kKindChoiceList, 0x10010080, 0x110020, 21, 0);
  for (const wchar_t* t : {L"1  Game", L"2  Games", L"3  Games"}) choice->AddString(t);
  Button* below = AddButton(s, 22, 60);
  choice->SetNeighbours(nullptr, below, nullptr, nullptr);
  below->SetNeighbours(choice, nullptr, nullptr, nullptr);
  man.Push(s, 0);
  ASSERT_EQ(s->FocusedChild(), choice);
  input.Key(ui::kKeyRight);
  EXPECT_EQ(choice->GetCurSel(), 1);
  EXPECT_TRUE(s->Has(21, ui::kNotifyChanged));
  input.Key(ui::kKeyDown);
  EXPECT_EQ(s->FocusedChild(), below);
  EXPECT_TRUE(s->Has(21, ui::kNotifyLeave)) << "losing the focus is leaving";
}

TEST_F(DlgTest, TheNearestNeighbourScoresDistancePlusAThirdOfTheOffset) {
  RecordingDlg* s = MakeScreen(display.get());
  auto at = [&](int id, int x, int y) {
    auto* b = new Button();
    b->Create(display.get(), s, Px(x, y, x + 20, y + 10), L"", ui::kKindButton, 0x10018F00, 0x20, id, 0);
    return b;
  };
  Button* from = at(1, 100, 100);
  at(2, 100, 160);  // straight below: 60
  at(3, 130, 140);  // 40 + 30 / 3 = 50: the winner
  at(4, 70, 140);   // 40 + 10 = 50 as well, but later
  man.Push(s, 0);
  s->FocusChild(from);
  EXPECT_TRUE(s->FocusNearestDown());
  EXPECT_EQ(s->FocusedChild()->Id(), 3);
  EXPECT_FALSE(from->HasFocus());
  EXPECT_TRUE(s->FocusNearestUp());
  EXPECT_EQ(s->FocusedChild()->Id(), 1);
  EXPECT_FALSE(s->FocusNearestUp());
}

TEST_F(DlgTest, AnEndedScreenClosesAndTellsTheOneBelow) {
  RecordingDlg* below = Menu(1000);
  man.Push(below, 0);
  RecordingDlg* above = Menu(1001);
  above->m_OnCommand = [](RecordingDlg* self, WPARAM p1, LPARAM) {
    if (ui::CommandId(p1) == 91 && ui::CommandCode(p1) == ui::kNotifyClicked) self->Cancel();
  };
  man.Push(above, 7);
  int deleted = 0;
  above->m_Deleted = &deleted;
  EXPECT_EQ(input.Key(ui::kKeyDown), 1) << "a running screen holds 8 and stays";
  EXPECT_EQ(input.Key('9'), 0);
  EXPECT_EQ(deleted, 1);
  ASSERT_FALSE(below->m_Log.empty());
  const Received& told = below->m_Log.back();
  EXPECT_EQ(told.message, ui::kMsgChildClosed);
  EXPECT_EQ(told.p1, WPARAM{1000u | 7u << 16});
  EXPECT_EQ(told.p2, 2);
  EXPECT_EQ(man.Top(), below);
}

TEST_F(DlgTest, AScreenThatEmptiesTheStackIsDeletedAfterTheDispatch) {
  int deleted = 0;
  for (int id = 0; id < 3; ++id) {
    RecordingDlg* s = Menu(1000 + id);
    s->m_Deleted = &deleted;
    s->m_User = &man;
    s->m_OnCommand = [](RecordingDlg* self, WPARAM p1, LPARAM) {
      if (ui::CommandId(p1) != 90 || ui::CommandCode(p1) != ui::kNotifyClicked) return;
      static_cast<DlgMan*>(self->m_User)->PopAll();
      // Still alive here: the screen is only in the deferred list.
      self->SetText(L"still here");
    };
    man.Push(s, 0);
  }
  EXPECT_EQ(input.Key('3'), -1);
  EXPECT_EQ(deleted, 3);
  EXPECT_EQ(man.DeferredCount(), 0);
}

TEST_F(DlgTest, ManyScreensClosingInOneEventAreAllDeleted) {
  // Screens that ended while others lay above them close together as soon
  // as they reach the top: here 40 in one event, past the 32 the deferred
  // list keeps room for.
  int deleted = 0;
  for (int i = 0; i < 41; ++i) {
    RecordingDlg* s = Menu(1000 + i);
    s->m_Deleted = &deleted;
    man.Push(s, 0);
    if (i > 0) s->EndDialog(Dlg::kResultOk);
  }
  auto* top = static_cast<RecordingDlg*>(man.Top());
  top->EndDialog(Dlg::kResultRunning);
  top->m_OnCommand = [](RecordingDlg* self, WPARAM p1, LPARAM) {
    if (ui::CommandId(p1) == 90) self->EndDialog(Dlg::kResultOk);
  };
  EXPECT_EQ(input.Key('3'), 0);
  EXPECT_EQ(deleted, 40);
  ASSERT_EQ(man.Count(), 1);
  static_cast<RecordingDlg*>(man.Top())->m_Deleted = nullptr;
}

TEST_F(DlgTest, DrawTopPaintsTheDirtyPartAndClearsTheFlag) {
  RecordingDlg* s = Menu();
  man.Push(s, 0);
  s->SetDirtyFlag(true);
  man.InvalidateTop();
  EXPECT_EQ(s->DirtyRect().right, 320);
  EXPECT_EQ(man.DrawTop(), 0);
  EXPECT_FALSE(s->DirtyFlag());
  EXPECT_TRUE(ui::IsEmpty(s->DirtyRect()));
}

// ---- key auto-repeat ---------------------------------------------------------------

TEST_F(DlgTest, AHeldKeyRepeatsSlowlyThenFast) {
  RecordingDlg* s = Menu();
  man.Push(s, 0);
  // Key-downs every 10 ms for 3 s, as the frame ticks turn a held key into.
  std::vector<DWORD> presses;
  const DWORD start = 5000;
  for (DWORD t = start; t <= start + 3000; t += 10) {
    InputEvent e{ui::kMsgKeyDown, ui::kKeyDown, 0, t};
    man.Dispatch(e);
    if (e.message == ui::kMsgKeyUp) presses.push_back(t - start);
  }
  // About 1000, 1250, 1500, 1750, then from 2000 every 100 ms; each step
  // comes on the first tick past its time.
  ASSERT_EQ(presses.size(), 13u);
  const std::vector<DWORD> slow{1010, 1270, 1530, 1790, 2020};
  EXPECT_EQ(std::vector<DWORD>(presses.begin(), presses.begin() + 5), slow);
  for (std::size_t i = 5; i < presses.size(); ++i) EXPECT_EQ(presses[i] - presses[i - 1], 110u);

  // Released just after a synthetic press: no second press.
  InputEvent up{ui::kMsgKeyUp, ui::kKeyDown, 0, start + presses.back() + 50};
  man.Dispatch(up);
  EXPECT_EQ(up.message, 0u);

  // A tap passes both events unchanged.
  InputEvent down{ui::kMsgKeyDown, ui::kKeyDown, 0, 20000};
  man.Dispatch(down);
  InputEvent release{ui::kMsgKeyUp, ui::kKeyDown, 0, 20040};
  man.Dispatch(release);
  EXPECT_EQ(down.message, ui::kMsgKeyDown);
  EXPECT_EQ(release.message, ui::kMsgKeyUp);
}

TEST_F(DlgTest, AnEmptyStackReturnsMinusOne) {
  InputEvent e{ui::kMsgKeyUp, ui::kKeyEnter, 0, 100};
  EXPECT_EQ(man.Dispatch(e), -1);
  EXPECT_EQ(man.Pop(), nullptr);
  man.DrawTop();
  man.InvalidateTop();
}

}  // namespace
