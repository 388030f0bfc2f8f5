#include "dialog_bases.h"

#include <atomic>

#include "ce/aygshell.h"
#include "common/iss_utility.h"
#include "common/module_state.h"
#include "common/string_helper.h"
#include "common/ui_helpers.h"
#include "obj_banks.h"

namespace pelmora {

namespace {
std::atomic<int> g_dialogsOpen{0};
}  // namespace

int DialogsOpen() { return g_dialogsOpen.load(); }

HINSTANCE DialogModule() {
  HINSTANCE module = suite::ModuleInstance();
  return module != nullptr ? module : GetModuleHandleW(nullptr);
}

CDialogCore::CDialogCore()
    : m_strings(suite::CStringHelper::GetInstance()), m_utility(suite::IssUtility::GetInstance()) {}

void CDialogCore::StampOpenTime() { m_openTick = GetTickCount(); }

void CDialogCore::OnInitDialog(HWND hwnd) {
  m_hWnd = hwnd;
  suite::SetChildFonts(hwnd);
  SHINITDLGINFO info{};
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = hwnd;
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN;
  SHInitDialog(&info);
}

void CDialogCore::OnActivate(HWND hwnd, WPARAM state) {
  if (LOWORD(state) != WA_INACTIVE) {
    m_openTick = GetTickCount();
  } else if (static_cast<DWORD>(GetTickCount() - m_openTick) > kCloseAfterMs) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  }
}

bool CDialogCore::IsBackKey(UINT message, LPARAM lParam) {
  return message == WM_HOTKEY && HIWORD(lParam) == VK_ESCAPE && (LOWORD(lParam) & kHotKeyUp) != 0;
}

INT_PTR CDialogCore::RunTemplate(HWND parent, int templateId, DLGPROC proc) {
  HINSTANCE module = DialogModule();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
  if (found == nullptr) return -1;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return -1;
  ++g_dialogsOpen;
  const INT_PTR result = DialogBoxIndirectParamW(module, static_cast<LPCDLGTEMPLATEW>(bytes), parent, proc, 0);
  if (--g_dialogsOpen == 0) RequestRedraw();
  return result;
}

INT_PTR CDialogCore::BaseProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_ACTIVATE:
      OnActivate(hwnd, wParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      OnPaint(dc, hwnd);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_CLOSE:
      // Handled here, so the dialog manager does not turn it into IDCANCEL.
      EndDialog(hwnd, 1);
      return 1;
    case WM_INITDIALOG:
      OnInitDialog(hwnd);
      return 1;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, LOWORD(wParam));
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}

void COptionsDialogBase::LoadStrings() {
  LoadStringW(DialogModule(), 10, m_title, 40);
  LoadStringW(DialogModule(), 19, m_noRepeat, 40);
}

BOOL COptionsDialogBase::IsChecked(HWND hwnd, int id) {
  return static_cast<BOOL>(SendDlgItemMessageW(hwnd, id, BM_GETSTATE, 0, 0) & 1);
}

void CDialogCore::DestroyPages(std::span<HWND> pages) {
  for (HWND& page : pages) {
    if (page != nullptr) DestroyWindow(page);
    page = nullptr;
  }
}

}  // namespace pelmora
