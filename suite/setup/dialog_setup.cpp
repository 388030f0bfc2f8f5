#include "dialog_setup.h"

#include "ce/aygshell.h"
#include "setup_ids.h"

namespace setup {

HWND MakeMenuBar(HWND owner, HINSTANCE module, UINT id) {
  SHMENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  bar.hwndParent = owner;
  bar.nToolBarId = id;
  bar.hInstRes = module;
  return SHCreateMenuBar(&bar) ? bar.hwndMB : nullptr;
}

HWND SetUpFullScreenDialog(HWND dialog, HINSTANCE module, UINT menuBarId) {
  SHINITDLGINFO init{};
  init.dwMask = SHIDIM_FLAGS;
  init.hDlg = dialog;
  init.dwFlags = kFullScreenDialog;
  SHInitDialog(&init);
  return MakeMenuBar(dialog, module, menuBarId);
}

}  // namespace setup
