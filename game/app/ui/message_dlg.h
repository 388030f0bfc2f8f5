// The two message boxes other screens push to tell the player something:
// MessageDlg (a title, a text and one answer, OK, or two, Yes and No) and
// PictureMessageDlg (a picture with a text and Continue). Both are centred
// panels; their answers are the "Home" and "Back" pictures, pressed by tap
// or by the "3" and "9" keys. The result reaches the screen below when the
// box closes: 1 for OK, Yes or Continue, 2 for No.
#pragma once

#include "ui/dlg.h"

class DlgMan;
class StaticText;
class ssInput;

class MessageDlg : public Dlg {
 public:
  static constexpr int kTextChars = 256;  // including the terminating zero
  // Child ids.
  static constexpr int kTextId = 6;
  static constexpr int kNegativeLabelId = 3;
  static constexpr int kPositiveLabelId = 5;
  static constexpr int kPositiveId = 4;
  static constexpr int kNegativeId = 2;

  MessageDlg();
  ~MessageDlg() override;
  // Creates the panel and its widgets; false when a creation fails.
  bool Build(ssDisplay* device, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;

  // Copies title and text (cut to their buffers) and sets up the answers:
  // 1 "OK" alone, 2 "No" and "Yes", any other value leaves both as built.
  virtual void SetMessage(const wchar_t* title, const wchar_t* text, int buttons);
  virtual void OnInitDialog();
  virtual void OnBack();
  virtual void OnOk();
  // SetMessage, then pushed on the stack with notify code 0.
  void Show(DlgMan* stack, const wchar_t* title, const wchar_t* text, int buttons);

  const wchar_t* Title() const { return m_Title; }
  const wchar_t* Text() const { return m_Text; }

 private:
  wchar_t m_Text[kTextChars] = {};
  wchar_t m_Title[kTextChars] = {};
  StaticText* m_TextLabel = nullptr;
};

class PictureMessageDlg : public Dlg {
 public:
  static constexpr int kTextChars = 256;
  static constexpr int kTextId = 4;
  static constexpr int kContinueId = 3;

  PictureMessageDlg();
  ~PictureMessageDlg() override;
  // Creates the panel and its widgets; false when a creation fails.
  bool Build(ssDisplay* device, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  virtual void OnInitDialog();
  virtual void OnContinue();

  // The opener writes the message after the build, before the push.
  void SetMessageText(const wchar_t* text);
  const wchar_t* Text() const { return m_Text; }

 private:
  wchar_t m_Text[kTextChars] = {};
  StaticText* m_TextLabel = nullptr;
};

namespace ui {

// The one way a screen tells the player something: builds a MessageDlg and
// pushes it on `stack` with title, text and answers (SetMessage's
// `buttons`). Nothing is shown when its widgets cannot all be made; false
// then.
bool ShowMessage(DlgMan* stack, ssDisplay* device, const wchar_t* title, const wchar_t* text, int buttons = 1);
// The same for a PictureMessageDlg with `text`.
bool ShowPictureMessage(DlgMan* stack, ssDisplay* device, const wchar_t* text);

}  // namespace ui
