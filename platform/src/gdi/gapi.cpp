// The game display and input calls, over the same screen GDI draws on.
#include <mutex>

#include "ce/gx.h"
#include "gdi/screen.h"
#include "kernel/not_implemented.h"

using namespace ce::gdi;

namespace {

// The screen a program opened; kept alive until it closes the display.
std::shared_ptr<Screen>& OpenedScreen() {
  static auto* screen = new std::shared_ptr<Screen>;
  return *screen;
}

Screen& TheScreen() {
  auto& opened = OpenedScreen();
  if (!opened) opened = Screen::Current();
  return *opened;
}

// Virtual-key codes of the buttons: the four directions, three application
// buttons and the action (Start) button, which sends Enter.
constexpr short kVkUp = 0x26;
constexpr short kVkDown = 0x28;
constexpr short kVkLeft = 0x25;
constexpr short kVkRight = 0x27;
constexpr short kVkA = 0xC1;
constexpr short kVkB = 0xC2;
constexpr short kVkC = 0xC3;
constexpr short kVkStart = 13;

}  // namespace

int GXOpenDisplay(HWND hwnd, DWORD flags) {
  (void)hwnd;
  (void)flags;
  std::lock_guard guard(GdiLock());
  auto& opened = OpenedScreen();
  if (opened && opened->gameApi().displayOpen) return 0;
  opened = Screen::Current();
  opened->gameApi().displayOpen = true;
  opened->gameApi().suspended = false;
  return 1;
}

int GXCloseDisplay() {
  std::lock_guard guard(GdiLock());
  auto& opened = OpenedScreen();
  if (!opened || !opened->gameApi().displayOpen) return 0;
  opened->gameApi().displayOpen = false;
  opened->gameApi().suspended = false;
  if (!opened->gameApi().inputOpen) opened.reset();
  return 1;
}

void* GXBeginDraw() {
  std::lock_guard guard(GdiLock());
  auto& opened = OpenedScreen();
  if (!opened || !opened->gameApi().displayOpen || opened->gameApi().suspended) return nullptr;
  return opened->view().origin;
}

int GXEndDraw() {
  std::lock_guard guard(GdiLock());
  auto& opened = OpenedScreen();
  if (!opened || !opened->gameApi().displayOpen || opened->gameApi().suspended) return 0;
  opened->PresentAll();
  return 1;
}

GXDisplayProperties GXGetDisplayProperties() {
  std::lock_guard guard(GdiLock());
  auto& opened = OpenedScreen();
  const std::shared_ptr<Screen> screen = opened ? opened : Screen::Current();
  const Surface& view = screen->view();
  GXDisplayProperties p{};
  p.cxWidth = static_cast<DWORD>(view.width);
  p.cyHeight = static_cast<DWORD>(view.height);
  p.cbxPitch = static_cast<long>(view.colStep);
  p.cbyPitch = static_cast<long>(view.rowStep);
  p.cBPP = screen->bitsPerPixel();
  p.ffFormat = kfDirect | (screen->bitsPerPixel() == 16 ? kfDirect565 : kfDirect888);
  return p;
}

int GXSuspend() {
  std::lock_guard guard(GdiLock());
  TheScreen().gameApi().suspended = true;
  return 1;
}

int GXResume() {
  std::lock_guard guard(GdiLock());
  TheScreen().gameApi().suspended = false;
  return 1;
}

int GXOpenInput() {
  std::lock_guard guard(GdiLock());
  Screen& screen = TheScreen();
  if (screen.gameApi().inputOpen) return 0;
  screen.gameApi().inputOpen = true;
  return 1;
}

int GXCloseInput() {
  std::lock_guard guard(GdiLock());
  auto& opened = OpenedScreen();
  if (!opened || !opened->gameApi().inputOpen) return 0;
  opened->gameApi().inputOpen = false;
  if (!opened->gameApi().displayOpen) opened.reset();
  return 1;
}

GXKeyList GXGetDefaultKeys(int options) {
  GXKeyList keys{};
  if (options != GX_NORMALKEYS) {
    ce::kernel::NotImplemented("GXGetDefaultKeys(landscape keys)");
    return keys;
  }
  keys.vkUp = kVkUp;
  keys.vkDown = kVkDown;
  keys.vkLeft = kVkLeft;
  keys.vkRight = kVkRight;
  keys.vkA = kVkA;
  keys.vkB = kVkB;
  keys.vkC = kVkC;
  keys.vkStart = kVkStart;
  return keys;
}
