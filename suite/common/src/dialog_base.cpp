#include "common/dialog_base.h"

#include "common/ui_helpers.h"

namespace suite {

HWND SetUpDialog(HWND hwnd, HINSTANCE module, const DialogSetup& setup) {
  if (setup.initFlags != 0) {
    SHINITDLGINFO init{SHIDIM_FLAGS, hwnd, setup.initFlags};
    SHInitDialog(&init);
  }
  HWND bar = nullptr;
  if (setup.menuBarId != 0) {
    SHMENUBARINFO info{};
    info.cbSize = sizeof(info);
    info.hwndParent = hwnd;
    info.nToolBarId = setup.menuBarId;
    info.hInstRes = module;
    if (SHCreateMenuBar(&info)) bar = info.hwndMB;
    if (bar != nullptr && setup.reportBackKey) {
      SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_ESCAPE,
                   MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    }
  }
  SetChildFonts(hwnd);
  return bar;
}

bool IsBackKeyUp(UINT message, LPARAM lParam) {
  return message == WM_HOTKEY && HIWORD(lParam) == VK_ESCAPE && (LOWORD(lParam) & MOD_KEYUP) != 0;
}

LPCDLGTEMPLATEW FindDialogTemplate(HINSTANCE module, UINT templateId) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  return loaded != nullptr ? static_cast<LPCDLGTEMPLATEW>(LockResource(loaded)) : nullptr;
}

INT_PTR RunDialogTemplate(HINSTANCE module, UINT templateId, HWND parent, DLGPROC procedure) {
  LPCDLGTEMPLATEW found = FindDialogTemplate(module, templateId);
  if (found == nullptr) return -1;
  return DialogBoxIndirectParamW(module, found, parent, procedure, 0);
}

HWND CreateDialogPage(HINSTANCE module, UINT templateId, HWND dialog, DLGPROC procedure, LPARAM index) {
  LPCDLGTEMPLATEW found = FindDialogTemplate(module, templateId);
  HWND page = found != nullptr ? CreateDialogIndirectParamW(module, found, dialog, procedure, index) : nullptr;
  if (page == nullptr) return nullptr;
  RECT client{};
  GetClientRect(dialog, &client);
  MoveWindow(page, 0, 0, client.right, client.bottom, FALSE);
  ShowWindow(page, SW_HIDE);
  return page;
}

void CDialogBase::StampOpenTime() { m_activatedAt = GetTickCount(); }

void CDialogBase::OnPaint(HDC, HWND) {}

BOOL CDialogBase::OnInitDialog(HWND) { return TRUE; }

void CDialogBase::OnActivate(HWND hwnd, WPARAM state) {
  if (LOWORD(state) != WA_INACTIVE) {
    m_activatedAt = GetTickCount();
    return;
  }
  // Unsigned difference: right across the tick count's wrap.
  if (GetTickCount() - m_activatedAt > kCloseOnDeactivateMs) PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

void CDialogBase::OnOK(HWND hwnd, int id) { EndDialog(hwnd, id); }

bool CDialogBase::WindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM lParam, INT_PTR* result) {
  if (!IsBackKeyUp(message, lParam)) return false;
  Cancel(hwnd);
  *result = TRUE;
  return true;
}

void CDialogBase::Cancel(HWND hwnd) { EndDialog(hwnd, 0); }

void CDialogBase::OnDestroy(HWND) {}

bool CDialogBase::IsDoneCommand(int) const { return false; }

INT_PTR CDialogBase::BroughtForwardResult() const { return 0; }

INT_PTR CDialogBase::ShowTemplate(UINT templateId, HWND parent, DLGPROC procedure) {
  if (m_dialog != nullptr) {
    // The low bit brings the dialog's active pop-up forward too.
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(m_dialog) | 1));
    return BroughtForwardResult();
  }
  StampOpenTime();
  return RunTemplate(templateId, parent, procedure);
}

INT_PTR CDialogBase::DialogProc(CDialogBase* dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) dialog->m_dialog = hwnd;
  if (message == WM_DESTROY) {
    dialog->m_dialog = nullptr;
    dialog->OnDestroy(hwnd);
    return 0;
  }
  INT_PTR result = 0;
  if (dialog->WindowMessage(hwnd, message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_ACTIVATE:
      dialog->OnActivate(hwnd, wParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc != nullptr) dialog->OnPaint(dc, hwnd);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE:
      // Handled here, so that the dialog manager does not turn it into
      // IDCANCEL as well and change the end code.
      EndDialog(hwnd, 1);
      return 1;
    case WM_INITDIALOG:
      dialog->OnInitDialog(hwnd);
      return 1;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL || dialog->IsDoneCommand(id)) {
        dialog->OnOK(hwnd, id);
        return 1;
      }
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace suite
