// The menus area inside the platform: menu objects behind their handles,
// the open popup (there is at most one tracking loop at a time), the shell's
// bars, and what tests and the script runner see of them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/windef.h"

namespace ce::menus {

// One item of a menu as it stands.
struct ItemView {
  std::wstring text;
  UINT id = 0;
  UINT type = 0;   // MFT_ flags: MFT_SEPARATOR, and MF_POPUP for a popup item
  UINT state = 0;  // MFS_ flags: MFS_GRAYED, MFS_CHECKED
  HMENU submenu = nullptr;
  bool separator() const;
  bool popup() const { return submenu != nullptr; }
  bool enabled() const;
  bool checked() const;
};

// A menu from the bytes of a standard menu template (see LoadMenuW),
// reading nothing outside them; null with ERROR_INVALID_DATA when they do
// not hold a valid template.
HMENU MenuFromTemplate(const void* bytes, std::size_t size);

// A copy of a menu's items; nothing when the handle is not a live menu.
std::optional<std::vector<ItemView>> ItemsOf(HMENU menu);

// Runs the modal loop of a popup menu on the calling thread. initParam is
// the lParam of the first WM_INITMENUPOPUP. Returns the command chosen, 0
// when cancelled. Without TPM_RETURNCMD the command also goes to the owner
// as a posted WM_COMMAND.
// byKey: opened from a key, so its first entry starts selected.
UINT Track(HMENU menu, UINT flags, int x, int y, HWND owner, LPARAM initParam, const RECT* exclude, bool byKey = false);

// The deepest open popup level's items and which one is selected (-1:
// none); empty when no popup is open.
struct OpenPopup {
  std::vector<ItemView> items;
  int selected = -1;
  RECT rect{};
};
std::optional<OpenPopup> CurrentPopup();
// Chooses the entry of the open popup (the deepest level) whose caption,
// without its '&' marks, is `caption` (compared without case), as the user
// would: a popup item opens its submenu. From any thread; false when no
// popup is open or none of its enabled entries has that caption.
bool ChooseOpenEntry(const std::wstring& caption);
// The last popup's outcome: its command, 0 when it was cancelled; nothing
// before the first.
std::optional<UINT> LastChosenCommand();

// --- The shell's bars ------------------------------------------------------------

struct BarButtonView {
  int id = 0;
  std::wstring text;
  BYTE state = 0;
  BYTE style = 0;
  HMENU popup = nullptr;
  int image = -2;  // the bar image it shows; I_IMAGENONE (-2): none
};
// The buttons of a bar window; nothing when it is not a bar.
std::optional<std::vector<BarButtonView>> BarButtons(HWND bar);
// The height of the bar along the bottom of the screen, in pixels.
int BarHeight();
// Makes the bar of a window from a menu's top-level items (the menu then
// belongs to the bar; null makes an empty bar), drawn on `face`, with the
// SHCMBF_ flags. Null on failure, with the last error set.
HWND CreateBarFromMenu(HWND parent, HMENU menu, DWORD flags, COLORREF face);

// Whether the done button of a window is shown, and what it sends.
bool DoneButtonShown(HWND hwnd);
bool PressDoneButton(HWND hwnd);

// The input panel: whether it is on, and turning it on or off (as
// SHSipPreference does).
bool SipOn();
bool SetSip(bool on);
// Where to tap on the screen, in order, to type `text` on the panel as it
// stands (Shift first where a character needs it; "\b", "\t" and "\r" are
// Backspace, Tab and Enter); nothing when the panel is down or a character
// is not on it.
std::optional<std::vector<POINT>> SipTapsFor(std::wstring_view text);

// The device setting platform_type is "Smartphone" (any letter case).
bool IsSmartphone();

// The shell's "tray" window on a Smartphone device: made with the
// program's first top-level window, on a thread of its own. TrayNow says
// what it was asked to show; nothing when there is none.
void EnsureTray();
struct TrayView {
  int refreshes = 0;
  std::wstring caption;
};
std::optional<TrayView> TrayNow();

// The shell's title bar of a Pocket PC device (not of a Smartphone, nor
// with the device setting title_bar = off): a window of the program's input
// thread, made with its first top-level window there (again after that
// thread ended), at the top of the screen, as
// wide as the screen and 26 pixels high at 96 DPI. It shows the foreground
// window's title and the clock, and hides while the foreground window has
// asked for the whole screen (SHFS_HIDETASKBAR). The window layer calls
// ForegroundChanged when the foreground window, its title or its
// full-screen state changes; TitleBarNow says what the bar shows.
void EnsureTitleBar();
void ForegroundChanged();
// Hands the tray, the title bar and ForegroundChanged to the window layer
// (called as the library starts).
void InstallShellWindows();
struct TitleBarView {
  HWND hwnd = nullptr;
  bool shown = true;
  std::wstring title;
  std::wstring clock;  // as last painted
  int paints = 0;
};
std::optional<TitleBarView> TitleBarNow();

// Caption text as shown: '&' marks removed ("&&" is one '&').
std::wstring PlainCaption(const std::wstring& text);

}  // namespace ce::menus
