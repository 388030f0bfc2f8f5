// The library's start. The areas that stand above others hand them what they
// are called through (gdi/display.h, user/hooks.h), so no area calls up into
// one above it; this joins them, once, in this order, as the library is
// loaded. It is the first of the library's initialisers (priority 101) and
// only stores function pointers, so no program code, and no other
// initialiser, can make a screen or a window before it ran. The static
// variant of the library names the function to the linker (-u), since
// nothing else refers to it there.
#include "backend/display.h"
#include "controls/controls.h"
#include "menus/menus.h"

extern "C" void ce_start_library();

extern "C" [[gnu::constructor(101)]] void ce_start_library() {
  ce::backend::InstallDisplay();
  ce::controls::InstallStandardClasses();
  ce::menus::InstallShellWindows();
}
