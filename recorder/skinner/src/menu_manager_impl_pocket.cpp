#include <algorithm>
#include <string>

#include "liba/error.h"
#include "os/log.h"
#include "skinner/control.h"
#include "skinner/form.h"
#include "skinner/menu_manager.h"
#include "skinner/menu_manager_impl.h"

namespace skinner {

namespace {

// The tool bar descriptions the shell's bar is made from, five a shell
// version; an id is taken from the back and given back when its bar goes.
std::vector<UINT>& toolbar_pool(bool shell_version5) {
  static std::vector<UINT> before5{117, 118, 119, 120, 121};
  static std::vector<UINT> version5{1117, 1118, 1119, 1120, 1121};
  return shell_version5 ? version5 : before5;
}

// The bar's own command ids start here; those below are the resource's.
constexpr std::size_t kFirstBarCommand = 100;

std::wstring without_ampersands(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text)
    if (c != L'&') out.push_back(c);
  return out;
}

void fill_popup_menu(HMENU menu, const VBCollection& entries, std::vector<std::wstring>& commands,
                     std::vector<Control*>& owners) {
  for (const MenuItem& entry : entries) {
    UINT flags = MF_STRING;
    if (!entry.enabled) flags |= MF_GRAYED;
    if (entry.checked) flags |= MF_CHECKED;
    std::wstring text = entry.caption;
    if (!entry.shortcut.empty()) text += L"\t" + entry.shortcut;
    if (!entry.items.empty()) {
      HMENU popup = CreatePopupMenu();
      fill_popup_menu(popup, entry.items, commands, owners);
      AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), text.c_str());
    } else {
      AppendMenuW(menu, flags, commands.size(), text.c_str());
      commands.push_back(entry.command);
      owners.push_back(entry.owner);
    }
    if (entry.separator_after) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  }
}

}  // namespace

bool stands_for_nothing(const MenuItem& soft_key) { return soft_key.items.empty() && soft_key.owner == nullptr; }

MenuManagerImplPocket::MenuManagerImplPocket(bool shell_version5) : shell_version5_(shell_version5) {}

MenuManagerImplPocket::~MenuManagerImplPocket() {
  if (bar_info_.hwndMB != nullptr) {
    delete_buttons();
    DestroyWindow(bar_info_.hwndMB);
  }
  if (toolbar_id_ != 0) {
    toolbar_pool(shell_version5_).push_back(toolbar_id_);
    os::get_log() << L"~MenuManagerImplPocket() returning id" << std::to_wstring(toolbar_id_) << L"\n";
  }
}

std::size_t MenuManagerImplPocket::free_toolbar_ids(bool shell_version5) { return toolbar_pool(shell_version5).size(); }

std::wstring MenuManagerImplPocket::track_popup_menu(Form& form, const VBCollection& entries, POINT point,
                                                     int horizontal, int vertical, Control** owner,
                                                     bool highlight_first) {
  std::vector<std::wstring> commands{L""};
  std::vector<Control*> owners{nullptr};
  HMENU menu = CreatePopupMenu();
  fill_popup_menu(menu, entries, commands, owners);
  UINT flags = TPM_RETURNCMD;
  flags |= horizontal == 1 ? TPM_CENTERALIGN : horizontal == 2 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  flags |= vertical == 1 ? TPM_VCENTERALIGN : vertical == 2 ? TPM_BOTTOMALIGN : TPM_TOPALIGN;
  ClientToScreen(form.get_window(), &point);
  // A popup highlights nothing until a key moves into it: the Down it
  // finds first in the queue puts the highlight on its first entry.
  if (highlight_first && GetMenuItemCount(menu) > 0) PostMessageW(form.get_window(), WM_KEYDOWN, VK_DOWN, 0);
  const BOOL chosen = TrackPopupMenuEx(menu, flags, point.x, point.y, form.get_window(), nullptr);
  DestroyMenu(menu);
  std::size_t id = chosen > 0 ? static_cast<std::size_t>(chosen) : 0;
  if (id >= commands.size()) id = 0;
  if (owner != nullptr) *owner = owners[id];
  return commands[id];
}

void MenuManagerImplPocket::build(Form& form) {
  auto& pool = toolbar_pool(shell_version5_);
  if (pool.empty()) liba::fatal_error(L"ControlMenuMainImpl", L"Add more tolbar ids to the resource file! :)");
  toolbar_id_ = pool.back();
  pool.pop_back();
  os::get_log() << L"MenuManagerImplPocket::build() creating " << std::to_wstring(toolbar_id_) << L"\n";
  bar_info_ = SHMENUBARINFO{};
  bar_info_.cbSize = sizeof(SHMENUBARINFO);
  bar_info_.hwndParent = form.get_window();
  // The bar's buttons are replaced by the items' at once, so it starts
  // empty rather than with the description's placeholder buttons.
  bar_info_.dwFlags = SHCMBF_EMPTYBAR;
  bar_info_.nToolBarId = toolbar_id_;
  bar_info_.hInstRes = GetModuleHandleW(nullptr);
  if (!SHCreateMenuBar(&bar_info_)) {
    os::get_log() << L"ERROR: SHCreateMenuBar failed\n";
    bar_info_.hwndMB = nullptr;
    return;
  }
  if (!shell_version5_) {
    os::get_log() << L"MenuManagerImplPocket::build() loading bitmaps\n";
    // The tool bar pictures are not among the program's resources: the
    // buttons show their captions only.
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HBITMAP bitmap = LoadBitmapW(instance, MAKEINTRESOURCEW(115));
    if (bitmap == nullptr) {
      os::get_log() << L"ERROR: LoadBitmap failed\n";
      os::get_log() << L"ERROR: Toolbar image failed to load\n";
    } else {
      DeleteObject(bitmap);
    }
    clear_bar();
  } else {
    os::get_log() << L"MenuManagerImplPocket::build() creating softbuttons\n";
  }
}

void MenuManagerImplPocket::delete_buttons() {
  HWND bar = bar_info_.hwndMB;
  while (SendMessageW(bar, TB_BUTTONCOUNT, 0, 0) > 0) {
    // A drop-down's popup is ours: the bar forgets it with the button.
    TBBUTTON button{};
    if (SendMessageW(bar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button)) && button.dwData != 0)
      DestroyMenu(reinterpret_cast<HMENU>(button.dwData));
    if (!SendMessageW(bar, TB_DELETEBUTTON, 0, 0)) break;
  }
}

void MenuManagerImplPocket::clear_bar() {
  delete_buttons();
  commands_.assign(kFirstBarCommand, std::wstring());
  owners_.assign(kFirstBarCommand, nullptr);
  in_use_ = kFirstBarCommand;
}

void MenuManagerImplPocket::add_button(const MenuItem& entry, bool drop_down) {
  os::get_log() << L"wince_bug_resource_id=" << std::to_wstring(entry.image) << L" text=" << entry.caption << L" id="
                << entry.command << L"\n";
  int image = I_IMAGENONE;
  if (entry.image >= 0 && first_image_ >= 0) {
    if (entry.image < image_count_) {
      os::get_log() << L"Using bitmap with wince_bug_resource_id=" << std::to_wstring(entry.image) << L"\n";
      image = first_image_ + entry.image;
    } else {
      os::get_log() << L"ERROR: invalid toolbar image requested. wince_bug_resource_id=" << std::to_wstring(entry.image)
                    << L"\n";
    }
  }
  const std::wstring text = without_ampersands(entry.caption);
  TBBUTTON button{};
  button.iBitmap = image;
  button.idCommand = static_cast<int>(commands_.size());
  button.fsState = entry.enabled ? TBSTATE_ENABLED : 0;
  button.fsStyle = static_cast<BYTE>((text.empty() ? 0 : BTNS_AUTOSIZE) | (drop_down ? BTNS_WHOLEDROPDOWN : 0));
  HMENU popup = drop_down ? CreatePopupMenu() : nullptr;
  button.dwData = reinterpret_cast<DWORD_PTR>(popup);
  button.iString = reinterpret_cast<INT_PTR>(text.c_str());
  commands_.push_back(entry.command);
  owners_.push_back(entry.owner);
  HWND bar = bar_info_.hwndMB;
  const auto count = SendMessageW(bar, TB_BUTTONCOUNT, 0, 0);
  SendMessageW(bar, TB_INSERTBUTTON, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&button));
  if (entry.separator_after) {
    TBBUTTON separator{};
    separator.fsStyle = BTNS_SEP;
    SendMessageW(bar, TB_INSERTBUTTON, static_cast<WPARAM>(count + 1), reinterpret_cast<LPARAM>(&separator));
  }
}

void MenuManagerImplPocket::update(Form& form) {
  if (!dirty_) return;
  dirty_ = false;
  if (bar_info_.hwndMB == nullptr) {
    if (!IsWindowVisible(form.get_window()) || toolbar_id_ != 0) return;
    build(form);
  }
  if (bar_info_.hwndMB == nullptr) return;
  clear_bar();
  MenuManager& manager = form.get_menu_manager();
  if (!shell_version5_) {
    const auto items = manager.get_items();
    for (MenuManager::Item* item : items) {
      MenuItem entry;
      item->get_menu_item(entry);
      add_button(entry, item->is_submenu());
    }
  } else {
    MenuItem left(L"#FakeId#", L"");
    manager.build_ok_soft_key(left);
    MenuItem right(L"#FakeId#", L"");
    manager.build_soft_keys(right);
    for (MenuItem* key : {&left, &right}) {
      if (stands_for_nothing(*key)) {
        key->caption.clear();
        key->enabled = false;
      }
    }
    add_button(left, !left.items.empty());
    add_button(right, !right.items.empty());
  }
  in_use_ = commands_.size();
}

void MenuManagerImplPocket::on_init_menu_popup(Form& form, HMENU menu, LPARAM lparam) {
  const std::size_t id = LOWORD(lparam);
  if (id < kFirstBarCommand || id >= in_use_ || menu == nullptr) return;
  commands_.resize(in_use_);
  owners_.resize(in_use_);
  while (GetMenuItemCount(menu) > 0) {
    if (!DeleteMenu(menu, 0, MF_BYPOSITION)) break;
  }
  MenuManager& manager = form.get_menu_manager();
  MenuItem entry;
  if (!shell_version5_) {
    const auto items = manager.get_items();
    const std::size_t position = id - kFirstBarCommand;
    if (position >= items.size()) return;
    items[position]->get_menu_item(entry);
    manager.fill_popup(entry);
  } else {
    entry = MenuItem(L"#FakeId#", L"");
    if (id == kFirstBarCommand)
      manager.build_ok_soft_key(entry);
    else
      manager.build_soft_keys(entry);
  }
  fill_popup_menu(menu, entry.items, commands_, owners_);
}

void MenuManagerImplPocket::on_command(Form&, WPARAM wparam, LPARAM) {
  const std::size_t id = LOWORD(wparam);
  if (id < kFirstBarCommand || id >= commands_.size()) return;
  Control* owner = owners_[id];
  const std::wstring command = commands_[id];
  if (owner != nullptr) owner->on_command(owner, command);
}

void MenuManagerImplPocket::show(Form&, bool visible) {
  if (visible) dirty_ = true;
  if (bar_info_.hwndMB != nullptr) ShowWindow(bar_info_.hwndMB, visible ? SW_SHOW : SW_HIDE);
}

}  // namespace skinner
