// The pop-up that shows what a held icon of the bar stands for: its name,
// path and parameters in a small yellow box below the icon (above it near
// the bottom of the screen). It closes by itself after five seconds, on a
// tap inside it, on any character, or when it loses the activation.
#pragma once

#include "ce/windows.h"

namespace tessivo {

class CIconDetailsPopup {
 public:
  static constexpr UINT kTemplate = 146;
  static constexpr UINT_PTR kCloseTimer = 1234;
  static constexpr UINT kCloseAfterMs = 5000;

  static CIconDetailsPopup& Instance();
  virtual ~CIconDetailsPopup();

  // Shows the selected icon's details below `y` (the icon's top), modally;
  // the end code, or -1 when the template is missing.
  INT_PTR Show(HWND parent, int y);
  HWND Window() const { return m_window; }

 private:
  CIconDetailsPopup() = default;
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Place(HWND hwnd);
  void Paint(HWND hwnd);
  void Close(HWND hwnd, INT_PTR code);

  HWND m_window = nullptr;
  HBRUSH m_brush = nullptr;
  HPEN m_pen = nullptr;
  int m_iconTop = 0;
  bool m_pressedInside = false;
  DWORD m_activatedAt = 0;
};

}  // namespace tessivo
