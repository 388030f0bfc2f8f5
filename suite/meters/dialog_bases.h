// The three dialog bases of the meters plug-in: the modal run from a
// template in the plug-in's resources, the dialog procedure that turns the
// shared messages into virtual calls, the shell's full-screen set-up, and
// the rule that a dialog closes itself when it loses the activation more
// than a second after gaining it.
#pragma once

#include <span>

#include "ce/windows.h"

namespace suite {
class CStringHelper;
class IssUtility;
}  // namespace suite

namespace pelmora {

// Template numbers of the plug-in's dialogs.
inline constexpr int kNetworkInfoTemplate = 150;
inline constexpr int kOptionsTemplate = 500;
inline constexpr int kDrainlogTemplate = 157;
// The Back key arrives as WM_HOTKEY with VK_ESCAPE and this key-up flag.
inline constexpr WORD kHotKeyUp = 0x1000;
// A dialog deactivated later than this after its activation closes.
inline constexpr DWORD kCloseAfterMs = 1000;

// What every base holds and does.
class CDialogCore {
 public:
  virtual ~CDialogCore() = default;
  // Stores the tick of the opening (and of each activation).
  virtual void StampOpenTime();
  virtual void OnPaint(HDC, HWND) {}
  // Stores the window, sets the child fonts and sizes it the shell's way.
  virtual void OnInitDialog(HWND hwnd);
  // Activated: stamps the time. Deactivated more than a second after it:
  // posts WM_CLOSE, which ends the dialog with 1.
  virtual void OnActivate(HWND hwnd, WPARAM state);

  HWND Window() const { return m_hWnd; }
  // The Back key as the menu bar reports it.
  static bool IsBackKey(UINT message, LPARAM lParam);

 protected:
  CDialogCore();
  // Finds the dialog template by number in the plug-in module and runs it
  // modally; -1 when there is no such template.
  INT_PTR RunTemplate(HWND parent, int templateId, DLGPROC proc);
  // The shared handling of WM_ACTIVATE, WM_PAINT, WM_CLOSE, WM_INITDIALOG
  // and IDOK / IDCANCEL; 0 for anything else.
  INT_PTR BaseProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // Destroys the page windows a dialog made and forgets them.
  static void DestroyPages(std::span<HWND> pages);

  HWND m_hWnd = nullptr;
  DWORD m_openTick = 0;
  suite::CStringHelper* m_strings = nullptr;
  suite::IssUtility* m_utility = nullptr;
};

class CInfoDialogBase : public CDialogCore {
 public:
  virtual void LoadStrings() {}
};

class COptionsDialogBase : public CDialogCore {
 public:
  // The options title (string 10) and "No repeat" (string 19).
  virtual void LoadStrings();
  // Bit 0 of the button's state: 1 when checked.
  static BOOL IsChecked(HWND hwnd, int id);

 protected:
  wchar_t m_title[40] = {};
  wchar_t m_noRepeat[40] = {};
};

class CDrainlogWindowBase : public CDialogCore {};

// The plug-in module whose resources the dialogs use.
HINSTANCE DialogModule();
// How many of the plug-in's dialogs are running. While one covers the home
// screen the meters ask the host for no repaints (the host would paint its
// rows over the dialog); one repaint follows when the last one ends.
int DialogsOpen();

}  // namespace pelmora
