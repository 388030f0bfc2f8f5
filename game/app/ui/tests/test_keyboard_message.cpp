// The on-screen keyboard and the message boxes, on screens of the stack.
#include <gtest/gtest.h>

#include <string>

#include "ui/button.h"
#include "ui/keyboard.h"
#include "ui/message_dlg.h"
#include "ui/static_text.h"
#include "ui_fixture.h"

namespace {

using namespace ks::ui::test;

struct KeyboardTest : ::testing::Test {
  std::unique_ptr<ssDisplayS16> display = OpenDisplay();
  DlgMan man;
  Driver input{&man};
  RecordingDlg* screen = nullptr;
  Keyboard* keyboard = nullptr;

  void SetUp() override {
    ASSERT_NE(display, nullptr);
    screen = MakeScreen(display.get());
    keyboard = new Keyboard();
    keyboard->Create(display.get(), screen, RECT{1489, 10426, 64344, 50641}, L"Nickname", ui::kKindKeyboard, 0x10010000,
                     0x300020, 2, 0);
    keyboard->SetOpen(false);
    man.Push(screen, 0);
    ASSERT_EQ(screen->FocusedChild(), keyboard);
    input.Key(ui::kKeyEnter);  // opens it
    ASSERT_TRUE(keyboard->IsOpen());
  }
  // Presses key `index` of the pad with the pen.
  void Press(int index) {
    const RECT r = keyboard->Key(index)->ScreenRect();
    input.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  std::wstring Text() const { return keyboard->InputText(); }
};

TEST_F(KeyboardTest, CapitalsComeFirstAndAfterASpace) {
  EXPECT_EQ(screen->CaptureWindow(), keyboard);
  Press(11);                   // A
  Press(12);                   // B
  Press(Keyboard::kKeySpace);  // SPACE
  Press(13);                   // C
  EXPECT_EQ(Text(), L"Ab C");

  Press(Keyboard::kKeyDel);
  EXPECT_EQ(Text(), L"Ab ");
  EXPECT_EQ(keyboard->Case(), 0) << "after a space the next letter is a capital";
  Press(Keyboard::kKeyDel);
  EXPECT_EQ(Text(), L"Ab");
  EXPECT_EQ(keyboard->Case(), 1);
  // SHIFT's red edge announces a capital.
  Press(Keyboard::kKeyShift);
  EXPECT_EQ(keyboard->Key(Keyboard::kKeyShift)->BevelPixel(Wnd::kOuterLight), display->ColorToPixel(0xFF0000));
}

// A desktop keyboard's characters reach the open pad (and the closed box
// that has the focus): letters as typed, Backspace deletes; the digits stay
// the device's keypad and are not typed.
TEST_F(KeyboardTest, ADesktopKeyboardTypesIntoIt) {
  for (wchar_t c : std::wstring(L"Ann a-3!")) input.Send(::ui::kMsgChar, c, 0);
  EXPECT_EQ(Text(), L"Ann a-!");
  input.Send(::ui::kMsgChar, 8, 0);
  input.Send(::ui::kMsgChar, 8, 0);
  EXPECT_EQ(Text(), L"Ann a");
  EXPECT_EQ(keyboard->Case(), 1) << "the pad's next letter follows what was typed";
  input.Key(::ui::kKey9);  // closed, still focused
  ASSERT_FALSE(keyboard->IsOpen());
  input.Send(::ui::kMsgChar, L'Z', 0);
  EXPECT_EQ(Text(), L"Ann aZ");
  // The length and width limits hold for typed characters too.
  for (int i = 0; i < 20; ++i) input.Send(::ui::kMsgChar, L'w', 0);
  EXPECT_EQ(Text().size(), 16u);
}

TEST_F(KeyboardTest, TheSeventeenthCharacterIsDroppedButTheCaseMovesOn) {
  for (int i = 0; i < 16; ++i) Press(i % 2 == 0 ? 0 : 1);  // "1" and "2"
  EXPECT_EQ(Text().size(), 16u);
  EXPECT_EQ(keyboard->Case(), 0);
  Press(11);  // A: dropped
  EXPECT_EQ(Text().size(), 16u);
  EXPECT_EQ(keyboard->Case(), 1);

  // A maximum width refuses the letter and keeps the case.
  keyboard->SetInputText(L"");
  keyboard->SetMaxWidth(1);
  Press(Keyboard::kKeyShift);
  Press(11);
  EXPECT_EQ(Text(), L"");
  EXPECT_EQ(keyboard->Case(), 0);
  // A caller's length beyond the buffer is held to it.
  keyboard->SetMaxLength(100000);
  keyboard->SetMaxWidth(0);
  for (int i = 0; i < 300; ++i) Press(0);
  EXPECT_EQ(Text().size(), 255u);
}

TEST_F(KeyboardTest, NineClosesWithoutTypingAndDirectionKeysWalkThePad) {
  input.Key(ui::kKeyUp);  // top row: stays on "1"
  input.Key(ui::kKeyLeft);
  EXPECT_EQ(keyboard->FocusedChild(), keyboard->Key(0));
  input.Key(ui::kKeyDown);
  input.Key(ui::kKeyDown);  // row 3 starts at "K"
  EXPECT_EQ(keyboard->FocusedChild(), keyboard->Key(22));
  input.Key(ui::kKeyLeft);  // row 3 starts half a key in: "A" is nearest
  EXPECT_EQ(keyboard->FocusedChild(), keyboard->Key(11));
  input.Key(ui::kKeyEnter);
  EXPECT_EQ(Text(), L"A");

  input.Key('9');
  EXPECT_EQ(Text(), L"A");
  EXPECT_FALSE(keyboard->IsOpen());
  EXPECT_TRUE(screen->Has(2, Keyboard::kNotifyNine));
  EXPECT_EQ(screen->CaptureWindow(), nullptr);
}

TEST_F(KeyboardTest, DoneAndATapOutsideCloseWithTheDoneCode) {
  Press(Keyboard::kKeyDone);
  EXPECT_FALSE(keyboard->IsOpen());
  EXPECT_TRUE(screen->Has(2, Keyboard::kNotifyDone));

  screen->m_Log.clear();
  input.Key(ui::kKeyEnter);
  ASSERT_TRUE(keyboard->IsOpen());
  keyboard->OnPenUp(0, ui::MakePos(2, 235));
  EXPECT_FALSE(keyboard->IsOpen());
  ASSERT_TRUE(screen->Has(2, Keyboard::kNotifyDone));
  for (const Received& r : screen->m_Log) {
    if (r.message == ui::kMsgCommand && ui::CommandCode(r.p1) == Keyboard::kNotifyDone) {
      EXPECT_EQ(r.p2, ui::MakePos(2, 235));
    }
  }
  // Closed, a pen press only focuses it: no key is there to take it.
  keyboard->OnPenDown(1, ui::MakePos(keyboard->TextBox().left + 3, keyboard->TextBox().top + 3));
  EXPECT_FALSE(keyboard->IsOpen());
}

TEST_F(KeyboardTest, TheOpenPadIsPartOfWhatItInvalidates) {
  // A one-line box high on the screen: its pad hangs below it.
  keyboard->MoveWindow(5, 10, 300, 16, false);
  man.DrawTop();
  keyboard->Invalidate(0);
  EXPECT_EQ(screen->DirtyRect().bottom, keyboard->KeyPad().bottom);
  EXPECT_GT(keyboard->KeyPad().bottom, keyboard->ScreenRect().bottom);
}

// ---- message boxes ----------------------------------------------------------------

struct MessageTest : ::testing::Test {
  std::unique_ptr<ssDisplayS16> display = OpenDisplay();
  DlgMan man;
  Driver input{&man};
  RecordingDlg* below = nullptr;
  void SetUp() override {
    ASSERT_NE(display, nullptr);
    below = MakeScreen(display.get());
    man.Push(below, 0);
  }
  // The result the screen below was told of, or -1.
  LPARAM Answer() const {
    for (const Received& r : below->m_Log) {
      if (r.message == ui::kMsgChildClosed) return r.p2;
    }
    return -1;
  }
  MessageDlg* Box(int buttons) {
    auto* box = new MessageDlg();
    EXPECT_EQ(box->Build(display.get(), nullptr), 1);
    box->Show(&man, L"Room is locked.", L"This room must be unlocked in Career Mode.", buttons);
    return box;
  }
};

TEST_F(MessageTest, OneAnswerShowsOnlyOkAndNineStillSaysNo) {
  MessageDlg* box = Box(1);
  EXPECT_STREQ(box->Caption(), L"Room is locked.");
  EXPECT_STREQ(box->GetChild(MessageDlg::kTextId)->Caption(), L"This room must be unlocked in Career Mode.");
  EXPECT_STREQ(box->GetChild(MessageDlg::kPositiveLabelId)->Caption(), L"OK");
  EXPECT_TRUE(box->GetChild(MessageDlg::kPositiveId)->IsVisible());
  EXPECT_FALSE(box->GetChild(MessageDlg::kNegativeId)->IsVisible());
  EXPECT_FALSE(box->GetChild(MessageDlg::kNegativeLabelId)->IsVisible());
  man.DrawTop();
  EXPECT_EQ(input.Key('9'), 0);
  EXPECT_EQ(Answer(), 2);
}

TEST_F(MessageTest, TwoAnswersSayYesAndNo) {
  struct Row {
    int key;
    LPARAM result;
  };
  for (Row row : {Row{'3', 1}, Row{'9', 2}}) {
    below->m_Log.clear();
    MessageDlg* box = Box(2);
    EXPECT_STREQ(box->GetChild(MessageDlg::kPositiveLabelId)->Caption(), L"Yes");
    EXPECT_STREQ(box->GetChild(MessageDlg::kNegativeLabelId)->Caption(), L"No");
    input.Key(row.key);
    EXPECT_EQ(Answer(), row.result);
  }
  // Any other value leaves the built captions.
  below->m_Log.clear();
  MessageDlg* box = Box(7);
  EXPECT_STREQ(box->GetChild(MessageDlg::kPositiveLabelId)->Caption(), L"OK");
  EXPECT_STREQ(box->GetChild(MessageDlg::kNegativeLabelId)->Caption(), L"Cancel");
  EXPECT_TRUE(box->GetChild(MessageDlg::kNegativeId)->IsVisible());
  const RECT yes = box->GetChild(MessageDlg::kPositiveId)->ScreenRect();
  input.Tap(yes.left + 2, yes.top + 2);
  EXPECT_EQ(Answer(), 1);
}

TEST_F(MessageTest, ThePictureBoxAlwaysEndsWithOne) {
  for (int key : {'3', '9'}) {
    below->m_Log.clear();
    auto* box = new PictureMessageDlg();
    ASSERT_EQ(box->Build(display.get(), nullptr), 1);
    box->SetMessageText(L"You won $1,500");
    man.Push(box, 0);
    EXPECT_STREQ(box->GetChild(PictureMessageDlg::kTextId)->Caption(), L"You won $1,500");
    input.Key(key);
    EXPECT_EQ(Answer(), 1);
  }
}

TEST_F(MessageTest, OverlongTextsAreCut) {
  auto* box = new MessageDlg();
  ASSERT_EQ(box->Build(display.get(), nullptr), 1);
  const std::wstring text(1000, L'w');
  box->Show(&man, text.c_str(), text.c_str(), 1);
  EXPECT_EQ(std::wcslen(box->Text()), 255u);
  EXPECT_EQ(std::wcslen(box->Title()), 255u);
}

}  // namespace
