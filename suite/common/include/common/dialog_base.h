// The suite's dialog framework, the part below the window class: the
// virtual operations a dialog's messages reach and the procedure they all
// end in, the shell's set-up of a full-screen dialog with its menu bar, the
// Back key as the menu bar reports it, and running a template from a
// module. CDialogWindow (dialog_window.h) adds one object per dialog class
// and its static procedure.
//
// What the shared procedure does: WM_INITDIALOG, WM_PAINT, WM_ACTIVATE and
// WM_DESTROY reach their operations; IDOK, IDCANCEL and the dialog's Done
// command reach OnOK; WM_CLOSE ends the dialog with 1 (a dialog deactivated
// more than a second after its activation posts it to itself); the Back key
// going up reaches Cancel. A dialog's own messages come first, through
// WindowMessage.
#pragma once

#include "ce/aygshell.h"
#include "ce/windows.h"

namespace suite {

// A dialog deactivated later than this after its activation closes.
inline constexpr DWORD kCloseOnDeactivateMs = 1000;
// The shell's set-up of a full-screen dialog: done button, input panel
// down, sized to the screen above the menu bar.
inline constexpr DWORD kFullScreenDialogFlags = SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN;

// What SetUpDialog does besides the child fonts.
struct DialogSetup {
  UINT menuBarId = 0;                        // 0: no menu bar
  bool reportBackKey = true;                 // the Back key comes as WM_HOTKEY
  DWORD initFlags = kFullScreenDialogFlags;  // 0: the dialog sets itself up
};
// The shell's dialog set-up, the menu bar from module (with the Back key
// reported as WM_HOTKEY when asked), and the child font on every control.
// Returns the menu bar (null without one).
HWND SetUpDialog(HWND hwnd, HINSTANCE module, const DialogSetup& setup);
// WM_HOTKEY for the Back key going up.
bool IsBackKeyUp(UINT message, LPARAM lParam);
// Template templateId of module; null when it is missing.
LPCDLGTEMPLATEW FindDialogTemplate(HINSTANCE module, UINT templateId);
// Runs template templateId of module modally over parent; -1 when the
// template is missing.
INT_PTR RunDialogTemplate(HINSTANCE module, UINT templateId, HWND parent, DLGPROC procedure);
// Makes template templateId a hidden child page of dialog covering its
// client area; procedure's WM_INITDIALOG gets `index`. Null when it cannot.
HWND CreateDialogPage(HINSTANCE module, UINT templateId, HWND dialog, DLGPROC procedure, LPARAM index);

class CDialogBase {
 public:
  CDialogBase() = default;
  virtual ~CDialogBase() = default;
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  // The activation time becomes now; done as the dialog opens.
  virtual void StampOpenTime();
  virtual void OnPaint(HDC dc, HWND hwnd);
  virtual BOOL OnInitDialog(HWND hwnd);
  // Activated: the activation time becomes now. Deactivated more than a
  // second after it: WM_CLOSE to the dialog.
  virtual void OnActivate(HWND hwnd, WPARAM state);
  // IDOK, IDCANCEL and the Done command: ends the dialog with the id.
  virtual void OnOK(HWND hwnd, int id);

  // The dialog window while it is open.
  HWND Window() const { return m_dialog; }
  DWORD ActivationTime() const { return m_activatedAt; }

  // The procedure of every dialog: the window is remembered from
  // WM_INITDIALOG to WM_DESTROY, WindowMessage comes first, then the
  // shared handling.
  static INT_PTR DialogProc(CDialogBase* dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // The dialog's own messages, ahead of the shared ones; true when handled
  // (the procedure's result in *result). The Back key going up: Cancel.
  virtual bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);
  // Ends the dialog with 0.
  virtual void Cancel(HWND hwnd);
  // WM_DESTROY, after the window is forgotten; nothing by default.
  virtual void OnDestroy(HWND hwnd);
  // A menu command that means what IDOK means (none by default).
  virtual bool IsDoneCommand(int id) const;
  // Runs the template modally over parent; -1 when it cannot be run.
  virtual INT_PTR RunTemplate(UINT templateId, HWND parent, DLGPROC procedure) = 0;
  // What ShowTemplate returns when it only brought the open dialog forward.
  virtual INT_PTR BroughtForwardResult() const;

  // Brings the open dialog forward (with its pop-ups); else stamps the
  // opening and runs the template.
  INT_PTR ShowTemplate(UINT templateId, HWND parent, DLGPROC procedure);

  HWND m_dialog = nullptr;
  DWORD m_activatedAt = 0;
};

}  // namespace suite
