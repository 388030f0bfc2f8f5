#include "tool_window.h"

#include "ce/aygshell.h"
#include "common/ui_helpers.h"
#include "tool_host.h"

namespace tessivo {

HWND SetUpToolWindow(HWND hwnd, const ToolWindowSetup& setup) {
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
    info.hInstRes = GetToolHost() != nullptr ? GetToolHost()->Module() : nullptr;
    if (SHCreateMenuBar(&info)) bar = info.hwndMB;
    if (bar != nullptr && setup.reportBackKey) {
      SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_ESCAPE,
                   MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    }
  }
  suite::SetChildFonts(hwnd);
  SetForegroundWindow(hwnd);
  return bar;
}

bool IsBackKeyUp(UINT message, LPARAM lParam) {
  return message == WM_HOTKEY && HIWORD(lParam) == VK_ESCAPE && (LOWORD(lParam) & MOD_KEYUP) != 0;
}

INT_PTR RunToolTemplate(UINT templateId, HWND parent, DLGPROC procedure) {
  ToolHost* host = GetToolHost();
  if (host == nullptr) return -1;
  // The parent may come from another program's message: only a live window
  // is taken.
  if (parent == nullptr || !IsWindow(parent)) parent = host->BarWindow();
  HINSTANCE module = host->Module();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
  if (found == nullptr) return -1;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return -1;
  return DialogBoxIndirectParamW(module, static_cast<LPCDLGTEMPLATEW>(bytes), parent, procedure, 0);
}

void BringToolForward(HWND dialog) {
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(dialog) | 1));
}

}  // namespace tessivo
