// The two screens that make a career. CareerNicknameDlg ("Career -
// Nickname") holds the new career's nickname, game type and difficulty and
// opens CareerNewDlg ("Career - New") above itself at once, where the
// nickname is typed on the on-screen keyboard. Done appends the career,
// saves the careers and brings back a fresh career select screen.
#pragma once

#include "ui/dlg.h"

class ksMain;
class ssInput;
class ChoiceList;
class Keyboard;
class StaticText;

class CareerNicknameDlg final : public Dlg {
 public:
  enum Id { kGameType = 4, kDone = 9, kDifficulty = 11, kCancel = 14, kNickname = 16, kNicknameButton = 19 };
  static constexpr int kScreenId = 1002;
  // Starting money by difficulty.
  static constexpr std::int32_t kStartMoney[4] = {75, 150, 300, 675};

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  // The nickname label's text (what the keyboard screen accepted).
  void SetNickname(const wchar_t* text);
  const wchar_t* Nickname() const;

  ksMain* m_App = nullptr;

 private:
  void OpenKeyboard();
  void OnDone();
  void OnCancel();
  void Message(const wchar_t* title, const wchar_t* text);

  ChoiceList* m_GameType = nullptr;
  ChoiceList* m_Difficulty = nullptr;
  StaticText* m_Nickname = nullptr;
};

class CareerNewDlg final : public Dlg {
 public:
  enum Id { kKeyboard = 2, kDone = 9, kCancel = 14 };
  static constexpr int kScreenId = 1021;

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  Keyboard* Pad() const { return m_Keyboard; }

  ksMain* m_App = nullptr;
  CareerNicknameDlg* m_Owner = nullptr;

 private:
  void Accept();

  Keyboard* m_Keyboard = nullptr;
};
