// The window half of a launcher dialog: one object of each window class,
// created on first use and reached by the class's static dialog procedure
// through a global pointer; the dialog window while it is open; Show, which
// brings an open dialog to the front instead of opening a second; and the
// menu commands every tool shares (Done, Cancel, the Back key).
#pragma once

#include <memory>

#include "tool_logic.h"

namespace tessivo {

// Flags of the shell's dialog set-up: done button, input panel down, full
// screen.
inline constexpr DWORD kToolDialogFlags = 13;

// What the tool dialogs' window classes share, outside the template.
struct ToolWindowSetup {
  UINT menuBarId = 0;
  bool reportBackKey = true;
  DWORD initFlags = kToolDialogFlags;  // 0: the logic sets the dialog up itself
};
// The shell's dialog set-up, the menu bar (with the Back key reported as
// WM_HOTKEY when asked), the bar's font on every control, and the dialog
// brought forward. Returns the menu bar.
HWND SetUpToolWindow(HWND hwnd, const ToolWindowSetup& setup);
// WM_HOTKEY for the Back key going up.
bool IsBackKeyUp(UINT message, LPARAM lParam);
// Finds template templateId in the module and runs it modally over parent
// (the bar window when parent is not a window). -1 when it cannot be run.
INT_PTR RunToolTemplate(UINT templateId, HWND parent, DLGPROC procedure);
// SetForegroundWindow on the dialog with the low bit set, which brings its
// active popup forward too.
void BringToolForward(HWND dialog);

template <class Logic, class Self>
class CToolWindow : public Logic {
 public:
  static Self* Instance() {
    if (!s_instance) s_instance.reset(new Self());
    return s_instance.get();
  }
  static Self* Existing() { return s_instance.get(); }
  static void DeleteInstance() { s_instance.reset(); }

  // Brings an open dialog forward; else stamps the opening and runs the
  // dialog. Returns its end code (0 when it was only brought forward).
  INT_PTR Show(HWND parent) {
    if (m_dialog != nullptr) {
      BringToolForward(m_dialog);
      return 0;
    }
    this->StampOpenTime();
    return RunToolTemplate(static_cast<Self*>(this)->TemplateId(), parent, &StaticProc);
  }
  HWND Window() const { return m_dialog; }

 protected:
  using Logic::Logic;

  // The window class's own messages, ahead of the logic procedure; true
  // when handled (result in *result).
  virtual bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    (void)wParam;
    if (message == WM_COMMAND && LOWORD(wParam) == kCmdCancel) {
      Cancel(hwnd);
      *result = TRUE;
      return true;
    }
    if (IsBackKeyUp(message, lParam)) {
      Cancel(hwnd);
      *result = TRUE;
      return true;
    }
    return false;
  }
  // Puts the copy taken at opening back, writes the settings, ends.
  virtual void Cancel(HWND hwnd) { EndDialog(hwnd, 0); }

  HWND m_dialog = nullptr;

 private:
  static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s_instance) return FALSE;
    CToolWindow* self = s_instance.get();  // the protected hooks are reached through the base
    if (message == WM_INITDIALOG) self->m_dialog = hwnd;
    if (message == WM_DESTROY) self->m_dialog = nullptr;
    INT_PTR result = 0;
    if (message != WM_DESTROY && self->WindowMessage(hwnd, message, wParam, lParam, &result)) return result;
    return CToolLogic::LogicProc(self, hwnd, message, wParam, lParam);
  }

  static inline std::unique_ptr<Self> s_instance;
};

}  // namespace tessivo
