// The shell's calls around dialogs and activation: SHInitDialog, the done
// button, the standard WM_ACTIVATE and WM_SETTINGCHANGE handlers, and the
// Back key handed on to the focus window.
#include <map>
#include <mutex>

#include "ce/aygshell.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/not_implemented.h"
#include "menus/draw.h"
#include "menus/menus.h"

namespace {

std::mutex g_lock;
std::map<HWND, DWORD> g_doneButtons;  // window -> SHDB_SHOW or SHDB_SHOWCANCEL

}  // namespace

namespace ce::menus {

bool DoneButtonShown(HWND hwnd) {
  std::lock_guard guard(g_lock);
  return g_doneButtons.count(hwnd) != 0;
}

bool PressDoneButton(HWND hwnd) {
  DWORD state = 0;
  {
    std::lock_guard guard(g_lock);
    const auto it = g_doneButtons.find(hwnd);
    if (it == g_doneButtons.end()) return false;
    state = it->second;
  }
  if (!IsWindow(hwnd)) return false;
  SendMessageW(hwnd, WM_COMMAND, state == SHDB_SHOWCANCEL ? IDCANCEL : IDOK, 0);
  return true;
}

}  // namespace ce::menus

BOOL SHDoneButton(HWND hwnd, DWORD state) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::lock_guard guard(g_lock);
  // Windows that are gone are forgotten as the table is used.
  for (auto it = g_doneButtons.begin(); it != g_doneButtons.end();) {
    it = IsWindow(it->first) ? std::next(it) : g_doneButtons.erase(it);
  }
  switch (state) {
    case SHDB_SHOW:
    case SHDB_SHOWCANCEL:
      g_doneButtons[hwnd] = state;
      return TRUE;
    case SHDB_HIDE:
      g_doneButtons.erase(hwnd);
      return TRUE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

BOOL SHInitDialog(PSHINITDLGINFO info) {
  if (!info || !(info->dwMask & SHIDIM_FLAGS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsWindow(info->hDlg)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const DWORD flags = info->dwFlags;
  constexpr DWORD kKnown = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN |
                           SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_EMPTYMENU | SHIDIF_WANTSCROLLBAR;
  if (flags & ~kKnown) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (flags & SHIDIF_WANTSCROLLBAR) {
    ce::kernel::NotImplemented("SHInitDialog(SHIDIF_WANTSCROLLBAR)");
    return FALSE;
  }
  if ((flags & SHIDIF_DONEBUTTON) && !SHDoneButton(info->hDlg, SHDB_SHOW)) return FALSE;
  if ((flags & SHIDIF_SIPDOWN) && !ce::menus::SetSip(false)) return FALSE;
  if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
    // Below the task bar; above the menu bar unless told there is none.
    // SHIDIF_SIZEDLG also leaves room for the input panel when it is up.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const int top = height - GetSystemMetrics(SM_CYFULLSCREEN);
    const bool noBar = (flags & SHIDIF_FULLSCREENNOMENUBAR) != 0;
    int bottom = noBar ? height : height - ce::menus::BarHeight();
    if ((flags & SHIDIF_SIZEDLG) && !(flags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR))) {
      SIPINFO sip{};
      sip.cbSize = sizeof sip;
      if (SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0)) bottom = sip.rcVisibleDesktop.bottom;
    }
    MoveWindow(info->hDlg, 0, top, width, bottom - top, TRUE);
  }
  if ((flags & SHIDIF_EMPTYMENU) && !ce::menus::CreateBarFromMenu(info->hDlg, nullptr, 0, ce::menus::kBarFace)) {
    return FALSE;
  }
  return TRUE;
}

BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* info, DWORD flags) {
  if (!info || info->cbSize < sizeof(SHACTIVATEINFO) || (flags & ~SHA_INPUTDIALOG)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // The input panel's state is what a window keeps over deactivation.
  const bool active = LOWORD(wParam) != WA_INACTIVE;
  info->fActive = active ? 1 : 0;
  info->fSipUp = ce::menus::SipOn() ? 1 : 0;
  if (!active) info->fSipOnDeactivation = info->fSipUp;
  return TRUE;
}

BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* info) {
  if (!info || info->cbSize < sizeof(SHACTIVATEINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // The active window follows the input panel: it takes the visible
  // desktop, the screen between the task bar and the panel (or the bar).
  info->fSipUp = ce::menus::SipOn() ? 1 : 0;
  if (wParam == SPI_SETSIPINFO && GetActiveWindow() == hwnd) {
    SIPINFO sip{};
    sip.cbSize = sizeof sip;
    if (!SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0)) return FALSE;
    const RECT& r = sip.rcVisibleDesktop;
    MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
  return TRUE;
}

void SHSendBackToFocusWindow(UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_HOTKEY || HIWORD(lParam) != VK_TBACK) return;
  HWND focus = GetFocus();
  if (!focus) return;
  const bool up = (LOWORD(lParam) & MOD_KEYUP) != 0;
  // As a key of the device: a repeat count of 1, and the up flags.
  const LPARAM keyData = up ? static_cast<LPARAM>(0xC0000001u) : 1;
  PostMessageW(focus, up ? WM_KEYUP : WM_KEYDOWN, VK_BACK, keyData);
}
