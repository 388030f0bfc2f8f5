// The logic class of the bar's settings and icons dialogs: it holds the
// utility singleton beside the string helper, starts with an empty title
// and loads string 119 into it (at most 40 characters) when its dialog
// initialises. Opening stamps nothing and it paints nothing of its own; the
// dialogs built on it add the rest.
#pragma once

#include "tool_logic.h"

namespace suite {
class IssUtility;
}

namespace tessivo {

class CSettingsLogic : public CToolLogic {
 public:
  CSettingsLogic();
  void LoadTexts() override;
  void StampOpenTime() override {}
  void OnPaint(HDC, HWND) override {}
  BOOL OnInitDialog(HWND hwnd) override;

 protected:
  suite::IssUtility* m_utility;
};

}  // namespace tessivo
