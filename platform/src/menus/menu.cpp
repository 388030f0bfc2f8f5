// Menu objects and the calls that build, change, read and destroy them.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <cwctype>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/handle_table.h"
#include "kernel/not_implemented.h"
#include "menus/menu_store.h"
#include "menus/menus.h"

namespace ce::menus {

bool ItemView::separator() const { return (type & MFT_SEPARATOR) != 0; }
bool ItemView::enabled() const { return (state & MFS_GRAYED) == 0 && !separator(); }
bool ItemView::checked() const { return (state & MFS_CHECKED) != 0; }

std::wstring PlainCaption(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&') {
      if (i + 1 < text.size() && text[i + 1] == L'&') out += L'&', ++i;
      continue;
    }
    if (text[i] == L'\t') break;  // an accelerator's name follows
    out += text[i];
  }
  return out;
}

namespace {

// Handle values: a tag in the top byte, then the slot and its generation.
constexpr std::uintptr_t kTag = 0x4D000000u;
constexpr std::uint32_t kMaxMenus = 0xFFFF;
constexpr std::uint32_t kGenerationMask = 0xFF;

struct Store {
  std::mutex lock;
  ce::kernel::HandleTable<Menu> table{kMaxMenus, kGenerationMask};
};

Store& St() {
  static auto* store = new Store;  // never destroyed: windows may take their menus with them during exit
  return *store;
}

HMENU HandleOf(ce::kernel::HandleTable<Menu>::Slot slot) {
  return reinterpret_cast<HMENU>(kTag | (std::uintptr_t{slot.index + 1} << 8) | slot.generation);
}

std::optional<ce::kernel::HandleTable<Menu>::Slot> SlotOf(HMENU menu) {
  const auto value = reinterpret_cast<std::uintptr_t>(menu);
  if ((value & 0xFF000000u) != kTag || value > 0xFFFFFFFFu) return std::nullopt;
  const auto index = static_cast<std::uint32_t>((value >> 8) & 0xFFFF);
  if (index == 0) return std::nullopt;
  return ce::kernel::HandleTable<Menu>::Slot{index - 1, static_cast<std::uint32_t>(value & kGenerationMask)};
}

HMENU NewMenu(bool popup) {
  auto menu = std::make_shared<Menu>();
  menu->popup = popup;
  std::lock_guard guard(St().lock);
  const auto slot = St().table.Insert(std::move(menu));
  if (!slot) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return HandleOf(*slot);
}

// Where an item is: its menu and index.
struct Place {
  Menu* menu = nullptr;
  std::size_t index = 0;
};

// By position in `menu`, or by command in it and its submenus (depth
// first, as the desktop does). Under the lock.
std::optional<Place> LocateLocked(Menu& menu, UINT item, bool byPosition, int depth = 0) {
  if (byPosition) {
    if (item >= menu.items.size()) return std::nullopt;
    return Place{&menu, item};
  }
  if (depth > 32) return std::nullopt;
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    Item& it = menu.items[i];
    if (it.submenu) {
      if (Menu* sub = FindLocked(it.submenu)) {
        if (auto inner = LocateLocked(*sub, item, false, depth + 1)) return inner;
      }
      continue;
    }
    if (!(it.type & MFT_SEPARATOR) && it.id == item) return Place{&menu, i};
  }
  return std::nullopt;
}

// Destroys a menu and the submenus of its popup items. Under the lock.
void DestroyLocked(HMENU handle, int depth = 0) {
  const auto slot = SlotOf(handle);
  if (!slot || depth > 32) return;
  auto menu = St().table.Remove(*slot);
  if (!menu) return;
  for (const Item& it : menu->items) {
    if (it.submenu) DestroyLocked(it.submenu, depth + 1);
  }
}

// Whether `inner` is `outer` or inside it (a popup must not contain itself).
bool ContainsLocked(HMENU outer, HMENU inner, int depth = 0) {
  if (outer == inner) return true;
  if (depth > 32) return true;  // too deep counts as a loop
  Menu* menu = FindLocked(outer);
  if (!menu) return false;
  for (const Item& it : menu->items) {
    if (it.submenu && ContainsLocked(it.submenu, inner, depth + 1)) return true;
  }
  return false;
}

constexpr UINT kKnownFlags = MF_BYPOSITION | MF_SEPARATOR | MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP |
                             MF_BITMAP | MF_OWNERDRAW | MF_MENUBARBREAK | MF_MENUBREAK | MF_USECHECKBITMAPS |
                             MF_HILITE | MF_DEFAULT | MF_RIGHTJUSTIFY;

// An item from AppendMenuW's and InsertMenuW's arguments; false (with the
// last error) when they do not make one.
bool MakeItem(UINT flags, UINT_PTR newItemId, LPCWSTR newItem, HMENU into, Item* out) {
  if (flags & ~kKnownFlags) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (flags & (MF_BITMAP | MF_OWNERDRAW | MF_USECHECKBITMAPS | MF_MENUBARBREAK | MF_MENUBREAK)) {
    ce::kernel::NotImplemented("menu items other than text, separators and popups");
    return false;
  }
  Item item;
  item.state = (flags & (MF_GRAYED | MF_DISABLED)) ? MFS_GRAYED : 0;
  if (flags & MF_CHECKED) item.state |= MFS_CHECKED;
  if (flags & MF_SEPARATOR) {
    item.type = MFT_SEPARATOR;
    *out = std::move(item);
    return true;
  }
  if (flags & MF_POPUP) {
    const HMENU sub = reinterpret_cast<HMENU>(newItemId);
    if (!FindLocked(sub) || ContainsLocked(sub, into)) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return false;
    }
    item.submenu = sub;
  } else {
    item.id = static_cast<UINT>(newItemId & 0xFFFF);
  }
  if (newItem) item.text = newItem;
  *out = std::move(item);
  return true;
}

}  // namespace

Menu* FindLocked(HMENU handle) {
  const auto slot = SlotOf(handle);
  if (!slot) return nullptr;
  const auto* found = St().table.Find(*slot);
  return found ? found->get() : nullptr;
}

std::optional<std::vector<ItemView>> ItemsOf(HMENU handle) {
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu) return std::nullopt;
  std::vector<ItemView> items;
  items.reserve(menu->items.size());
  for (const Item& it : menu->items) items.push_back(ItemView{it.text, it.id, it.type, it.state, it.submenu});
  return items;
}

}  // namespace ce::menus

using namespace ce::menus;

HMENU CreateMenu() { return NewMenu(false); }

HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  std::lock_guard guard(St().lock);
  if (!FindLocked(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  DestroyLocked(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  std::lock_guard guard(St().lock);
  return FindLocked(menu) ? TRUE : FALSE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR newItemId, LPCWSTR newItem) {
  return InsertMenuW(menu, 0xFFFFFFFFu, flags | MF_BYPOSITION, newItemId, newItem);
}

BOOL InsertMenuW(HMENU handle, UINT position, UINT flags, UINT_PTR newItemId, LPCWSTR newItem) {
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  Item item;
  if (!MakeItem(flags, newItemId, newItem, handle, &item)) return FALSE;
  Menu* target = menu;
  std::size_t at = menu->items.size();
  if (flags & MF_BYPOSITION) {
    if (position < menu->items.size()) at = position;
  } else {
    const auto place = LocateLocked(*menu, position, false);
    if (!place) {
      SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
      return FALSE;
    }
    target = place->menu;
    at = place->index;
  }
  target->items.insert(target->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  return TRUE;
}

DWORD CheckMenuItem(HMENU handle, UINT item, UINT check) {
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return 0xFFFFFFFFu;
  }
  const auto place = LocateLocked(*menu, item, (check & MF_BYPOSITION) != 0);
  if (!place) return 0xFFFFFFFFu;
  Item& it = place->menu->items[place->index];
  const DWORD before = (it.state & MFS_CHECKED) ? MF_CHECKED : MF_UNCHECKED;
  it.state = (check & MF_CHECKED) ? (it.state | MFS_CHECKED) : (it.state & ~MFS_CHECKED);
  return before;
}

BOOL EnableMenuItem(HMENU handle, UINT item, UINT enable) {
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return -1;
  }
  const auto place = LocateLocked(*menu, item, (enable & MF_BYPOSITION) != 0);
  if (!place) return -1;
  Item& it = place->menu->items[place->index];
  const BOOL before = (it.state & MFS_GRAYED) ? MF_GRAYED : MF_ENABLED;
  it.state = (enable & (MF_GRAYED | MF_DISABLED)) ? (it.state | MFS_GRAYED) : (it.state & ~MFS_GRAYED);
  return before;
}

namespace {

BOOL TakeOut(HMENU handle, UINT position, UINT flags, bool destroySubmenu) {
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  const auto place = LocateLocked(*menu, position, (flags & MF_BYPOSITION) != 0);
  if (!place) {
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return FALSE;
  }
  const HMENU submenu = place->menu->items[place->index].submenu;
  place->menu->items.erase(place->menu->items.begin() + static_cast<std::ptrdiff_t>(place->index));
  if (destroySubmenu && submenu) DestroyLocked(submenu);
  return TRUE;
}

}  // namespace

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return TakeOut(menu, position, flags, true); }

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return TakeOut(menu, position, flags, false); }

HMENU GetSubMenu(HMENU handle, int position) {
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu || position < 0 || static_cast<std::size_t>(position) >= menu->items.size()) return nullptr;
  return menu->items[static_cast<std::size_t>(position)].submenu;
}

int GetMenuItemCount(HMENU handle) {
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return -1;
  }
  return static_cast<int>(menu->items.size());
}

UINT GetMenuItemID(HMENU handle, int position) {
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu || position < 0 || static_cast<std::size_t>(position) >= menu->items.size()) return 0xFFFFFFFFu;
  const Item& it = menu->items[static_cast<std::size_t>(position)];
  return it.submenu ? 0xFFFFFFFFu : it.id;
}

namespace {

constexpr UINT kKnownMasks = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_TYPE | MIIM_DATA;

}  // namespace

BOOL GetMenuItemInfoW(HMENU handle, UINT item, BOOL byPosition, LPMENUITEMINFOW info) {
  if (!info || info->cbSize < sizeof(MENUITEMINFOW) || (info->fMask & ~kKnownMasks)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  const auto place = LocateLocked(*menu, item, byPosition != FALSE);
  if (!place) {
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return FALSE;
  }
  const Item& it = place->menu->items[place->index];
  if (info->fMask & MIIM_STATE) info->fState = it.state;
  if (info->fMask & MIIM_ID) info->wID = it.id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = it.submenu;
  if (info->fMask & MIIM_CHECKMARKS) info->hbmpChecked = info->hbmpUnchecked = nullptr;
  if (info->fMask & MIIM_DATA) info->dwItemData = it.data;
  if (info->fMask & MIIM_TYPE) {
    info->fType = it.type;
    const std::size_t length = it.text.size();
    if (!info->dwTypeData || info->cch == 0) {
      info->cch = static_cast<UINT>(length);
    } else {
      const std::size_t n = std::min<std::size_t>(length, info->cch - 1);
      it.text.copy(info->dwTypeData, n);
      info->dwTypeData[n] = L'\0';
      info->cch = static_cast<UINT>(n);
    }
  }
  return TRUE;
}

BOOL SetMenuItemInfoW(HMENU handle, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
  if (!info || info->cbSize < sizeof(MENUITEMINFOW) || (info->fMask & ~kKnownMasks)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((info->fMask & MIIM_TYPE) && (info->fType & ~(MFT_SEPARATOR | MFT_RADIOCHECK | MFT_RIGHTJUSTIFY))) {
    ce::kernel::NotImplemented("SetMenuItemInfoW(item types other than text and separators)");
    return FALSE;
  }
  if ((info->fMask & MIIM_CHECKMARKS) && (info->hbmpChecked || info->hbmpUnchecked)) {
    ce::kernel::NotImplemented("SetMenuItemInfoW(check-mark bitmaps)");
    return FALSE;
  }
  std::lock_guard guard(St().lock);
  Menu* menu = FindLocked(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  const auto place = LocateLocked(*menu, item, byPosition != FALSE);
  if (!place) {
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return FALSE;
  }
  if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu &&
      (!FindLocked(info->hSubMenu) || ContainsLocked(info->hSubMenu, handle))) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  Item& it = place->menu->items[place->index];
  if (info->fMask & MIIM_STATE) it.state = info->fState & (MFS_GRAYED | MFS_CHECKED | MFS_HILITE | MFS_DEFAULT);
  if (info->fMask & MIIM_ID) it.id = info->wID & 0xFFFF;
  if (info->fMask & MIIM_SUBMENU) it.submenu = info->hSubMenu;
  if (info->fMask & MIIM_DATA) it.data = info->dwItemData;
  if (info->fMask & MIIM_TYPE) {
    it.type = info->fType;
    if (!(it.type & MFT_SEPARATOR)) it.text = info->dwTypeData ? info->dwTypeData : L"";
  }
  return TRUE;
}
