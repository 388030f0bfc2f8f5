// KeyAssignDlg: the key assignment screen. Seventeen actions, each a
// choice list of the device's nineteen known keys. Leaving a list with a
// key that another action holds swaps the two actions' keys; Done writes
// the accepted keys into the key map and saves the preferences.
#pragma once

#include <array>
#include <cstdint>

#include "ui/dlg.h"

class ksMain;
class ssInput;
class ChoiceList;

class KeyAssignDlg final : public Dlg {
 public:
  enum Id { kCancel = 2, kDone = 3, kFirstList = 2000 };
  static constexpr int kScreenId = 1019;
  static constexpr int kKnownKeys = 19;
  static constexpr int kActions = 17;
  // The key-map entry each action list edits, in list order.
  static constexpr int kMapIndex[kActions] = {0, 1, 3, 6, 16, 15, 12, 19, 21, 22, 5, 13, 26, 20, 18, 23, 28};

  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  // The index of a key code among the known keys; 0 ("SK 1") when unknown.
  static int KeyIndexOf(std::uint32_t code);
  static std::uint32_t KeyCode(int index);
  ChoiceList* ActionList(int order) const { return m_Lists[static_cast<std::size_t>(order)]; }
  int Stored(int order) const { return m_Stored[static_cast<std::size_t>(order)]; }

  ksMain* m_App = nullptr;

 private:
  void OnInit();
  void Resolve(int order);
  void OnDone();

  std::uint8_t* m_KeyMap = nullptr;
  int m_NextListId = kFirstList;
  std::array<int, kActions> m_Stored{};
  std::array<ChoiceList*, kActions> m_Lists{};
};
