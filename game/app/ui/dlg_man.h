// DlgMan: the stack of menu screens. Only the top screen receives input and
// is redrawn. The stack turns held keys into auto-repeat presses, closes a
// screen that has set its result and tells the screen below (message 793).
// Popped screens wait in a deferred list until the current event has been
// handled, so a screen may pop itself, or the whole stack, from inside its
// own handler.
#pragma once

#include <cstdint>
#include <vector>

#include "display/input.h"

class Dlg;

class DlgMan {
 public:
  DlgMan();
  virtual ~DlgMan();
  DlgMan(const DlgMan&) = delete;
  DlgMan& operator=(const DlgMan&) = delete;

  // Takes ownership of a built screen, makes it the top and starts it.
  void Push(Dlg* screen, int notifyCode);
  // Pops the top screen first, then pushes.
  void PushReplace(Dlg* screen, int notifyCode);
  // Inserts the screen at the bottom; the top stays the last index.
  void PushBottom(Dlg* screen, int notifyCode);
  // Moves the top screen to the deferred list. Returns the new top screen,
  // the popped one when none remains, or null for an empty stack.
  Dlg* Pop();
  void PopAll();
  void DeleteDeferred();
  // Closes the top screen when it has ended; 1 if it did.
  int CloseFinished();
  // Handles one event; returns the top index after it (-1 when empty). The
  // event's message may be changed by the key auto-repeat.
  int Dispatch(InputEvent& event);
  // Paints the top screen's dirty rectangle; returns 0.
  int DrawTop();
  // Makes the next DrawTop repaint the top screen whole.
  void InvalidateTop();

  // Look-ups by screen id.
  bool HasScreen(int id) const;
  bool TopIs(int id) const;
  Dlg* FindScreen(int id) const;
  bool NonEmpty() const { return m_Count != 0; }

  void SetRepeatTiming(DWORD firstDelay, DWORD slowInterval, DWORD fastInterval);

  int Count() const { return static_cast<int>(m_Count); }
  int TopIndex() const { return m_Top; }
  Dlg* Top() const;
  Dlg* At(int index) const;
  int DeferredCount() const { return static_cast<int>(m_Deferred.size()); }

 private:
  // The key auto-repeat: may turn a key-down into a key-up or drop a key-up.
  void Repeat(InputEvent& event);

  std::vector<Dlg*> m_Screens;  // bottom first, owned
  std::uint32_t m_Count = 0;
  int m_Top = -1;
  int m_RepeatStage = 0;
  DWORD m_FirstDelay = 1000;
  DWORD m_FastStart = 2000;
  DWORD m_SlowInterval = 250;
  DWORD m_FastInterval = 100;
  DWORD m_LastPress = 0;
  DWORD m_FastStageTime = 0;
  DWORD m_FirstRepeatTime = 0;
  // Popped screens awaiting deletion. Room for 32 is kept so that a normal
  // dispatch never allocates; more grow the list rather than overflow it.
  std::vector<Dlg*> m_Deferred;
};
