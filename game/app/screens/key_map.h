// KeyMapDlg: the picture of the device's keypad shown over the table with
// the "Show KeyMap" key. Each key's label names the action the key map binds
// to it. It is never pushed on the screen stack: the match builds it,
// initialises it, draws it over each frame and deletes it when hidden.
#pragma once

#include <cstdint>

#include "ui/dlg.h"

class ksMain;
class ssInput;

class KeyMapDlg final : public Dlg {
 public:
  static constexpr int kScreenId = 1020;
  static constexpr int kBack = 20;
  static constexpr int kUnbound = 30;

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  // Writes into each key's label the action bound to it.
  void Initialise();
  // The key-map index bound to a key code: the lowest index holding it, or
  // kUnbound when none does.
  static int ActionOfKey(const std::uint8_t* keys, std::uint32_t code);
  static const wchar_t* ActionName(int index);

  ksMain* m_App = nullptr;
  const std::uint8_t* m_Keys = nullptr;  // the 32 key-map bytes
};
