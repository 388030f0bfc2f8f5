// The logic half of every launcher dialog: the tool's title and the time it
// was activated, the virtual operations a dialog's messages reach, thin
// wrappers of the list controls, and the logic procedure all dialogs share.
// The window half (tool_window.h) derives from a logic class.
#pragma once

#include "ce/windows.h"

namespace suite {
class CStringHelper;
}

namespace tessivo {

// Menu commands, control ids and messages the dialogs share.
inline constexpr int kCmdDone = 40028;
inline constexpr int kCmdCancel = 40046;
// Deactivated later than this after its activation, a dialog closes.
inline constexpr DWORD kCloseOnDeactivateMs = 1000;

class CToolLogic {
 public:
  // titleId: the string loaded into the title when the dialog opens (0:
  // none).
  explicit CToolLogic(UINT titleId);
  virtual ~CToolLogic();
  CToolLogic(const CToolLogic&) = delete;
  CToolLogic& operator=(const CToolLogic&) = delete;

  // Loads the string resources the tool needs; nothing by default.
  virtual void LoadTexts() {}
  // Loads the title text and stores the tick count.
  virtual void StampOpenTime();
  virtual void OnPaint(HDC dc, HWND hwnd);
  virtual BOOL OnInitDialog(HWND hwnd);
  // Activated (state non-zero): the activation time becomes now.
  // Deactivated more than a second after that: WM_CLOSE to the dialog.
  virtual void OnActivate(HWND hwnd, WPARAM state);
  // IDOK, IDCANCEL and Done: ends the dialog with the id by default.
  virtual void OnOK(HWND hwnd, int id);

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
  DWORD ActivationTime() const { return m_activatedAt; }

  // The procedure every dialog's window procedure ends in.
  static INT_PTR LogicProc(CToolLogic* logic, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  void SetTitleId(UINT id) { m_titleId = id; }

  suite::CStringHelper* m_strings;
  UINT m_titleId;
  WCHAR m_title[64] = {};
  DWORD m_activatedAt = 0;
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
