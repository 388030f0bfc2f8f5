// The launcher's layer of the suite's dialog framework: the tool's title
// loaded as the dialog opens, the dialogs run from the bar's module over the
// bar window, the menu bar's Done and Cancel commands, the reminder
// player's timers cleared with the window, thin wrappers of the list
// controls, and the header the tools paint. The dialogs derive from
// suite::CDialogWindow over a class of this layer.
#pragma once

#include "ce/windows.h"
#include "common/dialog_base.h"

namespace tessivo {

// Menu commands, control ids and messages the dialogs share.
inline constexpr int kCmdDone = 40028;
inline constexpr int kCmdCancel = 40046;
// The shell's set-up of the tool dialogs: done button, input panel down,
// full screen.
inline constexpr DWORD kToolDialogFlags = suite::kFullScreenDialogFlags;

// The shell's dialog set-up with the menu bar from the bar's module, the
// bar's font on every control, and the dialog brought forward. Returns the
// menu bar.
HWND SetUpToolWindow(HWND hwnd, const suite::DialogSetup& setup);

class CToolLogic : public suite::CDialogBase {
 public:
  // titleId: the string loaded into the title when the dialog opens (0:
  // none).
  explicit CToolLogic(UINT titleId);
  ~CToolLogic() override;

  // Loads the string resources the tool needs; nothing by default.
  virtual void LoadTexts() {}
  // Loads the title text and stores the tick count.
  void StampOpenTime() override;

  // Thin wrappers of the dialog's drop-down lists (by control id).
  static int AddListString(HWND dialog, int id, LPCWSTR text);
  static void SetListSelection(HWND dialog, int id, int index);
  static int GetListSelection(HWND dialog, int id);
  static int FindListString(HWND dialog, int id, LPCWSTR text);
  static void ResetList(HWND dialog, int id);
  // The selected item's text into buffer (capacity characters); FALSE when
  // nothing is selected or it does not fit.
  static BOOL GetListText(HWND dialog, int id, LPWSTR buffer, int capacity);

  LPCWSTR Title() const { return m_title; }

 protected:
  // The menu bar's Cancel (kCmdCancel) cancels, ahead of the Back key.
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  // Clears the reminder player's timers.
  void OnDestroy(HWND hwnd) override;
  // Done (kCmdDone).
  bool IsDoneCommand(int id) const override;
  // From the bar's module, over parent when it is a live window, else over
  // the bar window; -1 without a host.
  INT_PTR RunTemplate(UINT templateId, HWND parent, DLGPROC procedure) override;

  void SetTitleId(UINT id) { m_titleId = id; }

  UINT m_titleId;
  WCHAR m_title[64] = {};
};

// Copies the bar's header picture across the top of the dialog at its own
// height and draws title into it, centred and transparent, in the bar's
// font and title colour.
void PaintToolHeader(HDC dc, HWND hwnd, LPCWSTR title);
// The same with the dialog's own caption as the title.
void PaintCaptionHeader(HDC dc, HWND hwnd);
// A message box with the module's strings textId under captionId; 0 when
// either is missing.
int ShowToolMessage(HWND owner, UINT captionId, UINT textId, UINT type);
// The header's height in pixels (0 without a picture).
int ToolHeaderHeight();

}  // namespace tessivo
