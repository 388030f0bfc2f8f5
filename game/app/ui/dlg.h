// Dlg: the base of every menu screen. A screen is a full-screen Wnd whose
// children are its widgets; Dlg adds its life on the screen stack (started
// with message 272, ended with a result), key navigation of the focus
// between children, and up to seven key buttons: children that Enter, "3",
// "9" and the four direction keys press directly.
#pragma once

#include <cstdint>

#include "ui/wnd.h"

class DlgMan;

class Dlg : public Wnd {
 public:
  // Results: 8 while running; 1, 2 and 10 close the screen.
  static constexpr int kResultRunning = 8;
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;
  static constexpr int kResultClose = 10;

  Dlg();
  ~Dlg() override;

  // The default dialog procedure: paint, pen messages and key-ups.
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  // Clears the running flag; returns 1.
  int EndHook() override;
  // A hook that only the message boxes use; 0 here.
  virtual int MessageHook();
  // Paints the screen (Wnd::Paint); returns 1.
  virtual int Draw(const RECT& rect, int flag);

  // Called by the push: running, result 8, message 272 with the screen and
  // its spare value, then the first focus unless the initialisation chose one.
  void Start();
  void EndDialog(int result);
  void Cancel() { EndDialog(kResultCancel); }
  // The first child with that id, or null.
  Wnd* GetChild(int id) const;

  // Key buttons by child id: "3" and "9"; "3", "9" and Enter; the four
  // direction keys.
  void SetDefaultButtons(int three, int nine);
  void SetDefaultButtons(int three, int nine, int enter);
  void SetDirectionButtons(int up, int down, int left, int right);
  void SetKeyButtons(int three, int nine) { SetDefaultButtons(three, nine); }
  void SetKeyButtons(int three, int nine, int enter) { SetDefaultButtons(three, nine, enter); }
  void SetKeyButtons(int up, int down, int left, int right) { SetDirectionButtons(up, down, left, right); }

  // The default dialog procedure, for screens whose own procedure passes
  // on what they do not handle.
  LRESULT DefWndProc(UINT message, WPARAM p1, LPARAM p2) { return Dlg::WndProc(message, p1, p2); }

  // Moves the focus along the neighbour links (1 up, 2 down, 3 left, 4 right).
  void CycleFocus(int direction);
  // Gives the focus to the nearest focusable, visible child in a direction
  // (for screens without neighbour links); false when there is none.
  bool FocusNearestUp();
  bool FocusNearestDown();
  bool FocusNearestLeft();
  bool FocusNearestRight();
  // Makes child the focused child: SetFocus with the previous one, flag set.
  void FocusChild(Wnd* child);

  int Result() const { return m_Result; }
  bool Running() const { return m_Running != 0; }
  int NotifyCode() const { return m_NotifyCode; }
  DlgMan* Manager() const { return m_Manager; }
  DWORD StartTime() const { return m_StartTime; }
  void SetStartTime(DWORD time) { m_StartTime = time; }
  void SetAnyFocus(bool any) { m_AnyFocus = any ? 1 : 0; }
  Wnd* KeyButton3() const { return m_Button3; }
  Wnd* KeyButton9() const { return m_Button9; }
  Wnd* KeyButtonEnter() const { return m_ButtonEnter; }

 private:
  friend class DlgMan;
  // Presses a key button (Activate).
  static void Press(Wnd* button);
  // The nearest-child search behind the four FocusNearest operations.
  bool FocusNearest(int direction);
  void HandleKeyUp(int key, LPARAM p2);

  int m_NotifyCode = 0;
  std::uint8_t m_Running = 0;
  std::uint8_t m_AnyFocus = 0;
  int m_Result = 0;
  Wnd* m_Button9 = nullptr;
  Wnd* m_Button3 = nullptr;
  Wnd* m_ButtonEnter = nullptr;
  Wnd* m_ButtonUp = nullptr;
  Wnd* m_ButtonDown = nullptr;
  Wnd* m_ButtonLeft = nullptr;
  Wnd* m_ButtonRight = nullptr;
  DlgMan* m_Manager = nullptr;
  DWORD m_StartTime = 0;
};
