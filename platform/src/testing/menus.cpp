// The test seam over the menus area: the open popup, the last choice, the
// shell bars' buttons and the done button.
#include "ce/aygshell.h"
#include "ce/testing.h"
#include "menus/menus.h"

namespace ce::testing {

std::vector<MenuEntry> OpenMenuEntries() {
  std::vector<MenuEntry> entries;
  const auto popup = menus::CurrentPopup();
  if (!popup) return entries;
  for (std::size_t i = 0; i < popup->items.size(); ++i) {
    const menus::ItemView& item = popup->items[i];
    MenuEntry e;
    e.caption = menus::PlainCaption(item.text);
    e.id = item.popup() || item.separator() ? 0 : item.id;
    e.enabled = item.enabled();
    e.checked = item.checked();
    e.popup = item.popup();
    e.separator = item.separator();
    e.selected = static_cast<int>(i) == popup->selected;
    entries.push_back(std::move(e));
  }
  return entries;
}

bool ChooseMenuEntry(const std::wstring& caption) { return menus::ChooseOpenEntry(caption); }

std::optional<UINT> LastMenuCommand() { return menus::LastChosenCommand(); }

std::optional<std::vector<MenuBarButton>> MenuBarButtons(HWND bar) {
  const auto views = menus::BarButtons(bar);
  if (!views) return std::nullopt;
  std::vector<MenuBarButton> buttons;
  for (const menus::BarButtonView& v : *views) {
    MenuBarButton b;
    b.id = v.id;
    b.caption = menus::PlainCaption(v.text);
    b.enabled = (v.state & TBSTATE_ENABLED) != 0;
    b.checked = (v.state & TBSTATE_CHECKED) != 0;
    b.hidden = (v.state & TBSTATE_HIDDEN) != 0;
    b.indeterminate = (v.state & TBSTATE_INDETERMINATE) != 0;
    b.dropDown = v.popup != nullptr;
    b.image = v.image;
    buttons.push_back(std::move(b));
  }
  return buttons;
}

bool DoneButtonShown(HWND hwnd) { return menus::DoneButtonShown(hwnd); }

bool PressDoneButton(HWND hwnd) { return menus::PressDoneButton(hwnd); }

std::optional<TrayState> Tray() {
  const auto tray = menus::TrayNow();
  if (!tray) return std::nullopt;
  return TrayState{tray->refreshes, tray->caption};
}

}  // namespace ce::testing
