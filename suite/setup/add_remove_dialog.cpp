#include "add_remove_dialog.h"

#include <memory>

#include "ce/aygshell.h"
#include "dialog_setup.h"
#include "home_layout_editor.h"
#include "menu_bar_hider.h"
#include "setup_ids.h"

namespace setup {
namespace {

std::unique_ptr<CAddRemoveDialog> g_instance;

}  // namespace

CAddRemoveDialog* CAddRemoveDialog::GetInstance() {
  if (!g_instance) g_instance.reset(new CAddRemoveDialog());
  return g_instance.get();
}

void CAddRemoveDialog::DeleteInstance() { g_instance.reset(); }

BOOL CAddRemoveDialog::Run(HWND parent, HINSTANCE module) {
  m_parent = parent;
  m_module = module;
  return DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_ADD_REMOVE), parent, DialogProc,
                         reinterpret_cast<LPARAM>(this)) == 1
             ? TRUE
             : FALSE;
}

INT_PTR CALLBACK CAddRemoveDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* self = reinterpret_cast<CAddRemoveDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  return self != nullptr ? self->OnMessage(dialog, message, wParam, lParam) : FALSE;
}

void CAddRemoveDialog::OnInit(HWND dialog) {
  m_menuBar = SetUpFullScreenDialog(dialog, m_module, IDM_ADD_REMOVE_BAR);
  // The Back key comes to the dialog as a hot key.
  if (m_menuBar != nullptr) SendMessageW(m_menuBar, SHCMBM_OVERRIDEKEY, VK_ESCAPE, kBackKeyOverride);
  m_remove = FALSE;
  m_choice = kChoiceBoth;
  CheckRadioButton(dialog, IDC_LAUNCHER, IDC_BOTH, IDC_BOTH);
  SetFocus(GetDlgItem(dialog, IDC_BOTH));
}

void CAddRemoveDialog::OnChosen(HWND dialog, BOOL remove) {
  m_remove = remove;
  if (IsDlgButtonChecked(dialog, IDC_LAUNCHER) == BST_CHECKED) {
    m_choice = kChoiceLauncher;
  } else if (IsDlgButtonChecked(dialog, IDC_METERS) == BST_CHECKED) {
    m_choice = kChoiceMeters;
  } else {
    m_choice = kChoiceBoth;
  }
  BOOL done = FALSE;
  {
    MenuBarHider hidden(m_menuBar);
    done = CHomeLayoutEditor::GetInstance()->Run(dialog, m_module, m_choice, m_remove);
  }
  EndDialog(dialog, done ? 1 : 0);
}

INT_PTR CAddRemoveDialog::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(dialog);
      return FALSE;  // the focus is set
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_ADD:
          OnChosen(dialog, FALSE);
          return TRUE;
        case IDM_REMOVE:
          OnChosen(dialog, TRUE);
          return TRUE;
        case IDOK:
        case IDCANCEL:
          // The shell's done button: nothing changes.
          EndDialog(dialog, 0);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_HOTKEY:
      if (HIWORD(lParam) == VK_ESCAPE && (LOWORD(lParam) & kHotKeyUp) != 0) EndDialog(dialog, 0);
      return TRUE;
    case WM_DESTROY:
      if (m_menuBar != nullptr) {
        DestroyWindow(m_menuBar);
        m_menuBar = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace setup
