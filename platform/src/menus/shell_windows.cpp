// The shell's windows as the window layer sees them: the tray and the title
// bar come with a program's first top-level window, and the title bar
// follows the foreground window.
#include "menus/menus.h"
#include "user/hooks.h"

namespace ce::menus {
namespace {

void BeforeTopLevel() {
  EnsureTray();
  EnsureTitleBar();
}

}  // namespace

void InstallShellWindows() { ce::user::SetShellWindows({&BeforeTopLevel, &ForegroundChanged}); }

}  // namespace ce::menus
