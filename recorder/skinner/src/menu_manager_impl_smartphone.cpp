#include <string>
#include <utility>

#include "os/log.h"
#include "skinner/control.h"
#include "skinner/form.h"
#include "skinner/menu_manager.h"
#include "skinner/menu_manager_impl.h"

namespace skinner {

namespace {

void set_soft_key(HWND bar, int id, const std::wstring& caption, BYTE state) {
  std::wstring text = caption;
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_TEXT | TBIF_STATE;
  info.fsState = state;
  info.pszText = text.data();
  info.cchText = static_cast<int>(text.size());
  SendMessageW(bar, TB_SETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info));
}

}  // namespace

MenuManagerImplSmartphone::~MenuManagerImplSmartphone() {
  if (bar_info_.hwndMB != nullptr) DestroyWindow(bar_info_.hwndMB);
}

void MenuManagerImplSmartphone::create_menu_bar(Form& form) {
  bar_info_ = SHMENUBARINFO{};
  bar_info_.cbSize = sizeof(SHMENUBARINFO);
  bar_info_.hwndParent = form.get_window();
  bar_info_.nToolBarId = 18100;
  // The bar of the two soft keys comes from the shell's resource library,
  // loaded for the call only (the bar keeps its buttons).
  HMODULE shell = LoadLibraryExW(L"tapres.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  bar_info_.hInstRes = shell;
  bar_info_.dwFlags = shell != nullptr ? 0 : SHCMBF_EMPTYBAR;
  const BOOL made = SHCreateMenuBar(&bar_info_);
  if (shell != nullptr) FreeLibrary(shell);
  if (!made) {
    bar_info_.hwndMB = nullptr;
    return;
  }
  HWND bar = bar_info_.hwndMB;
  const int ids[2] = {kLeftSoftKey, kRightSoftKey};
  for (int i = 0; i < 2; ++i) {
    // Without the library (a test program far from it) the keys are made
    // here, as the library describes them.
    if (shell == nullptr) {
      TBBUTTON button{};
      button.iBitmap = I_IMAGENONE;
      button.idCommand = ids[i];
      button.fsStyle = BTNS_AUTOSIZE;
      button.iString = reinterpret_cast<INT_PTR>(L"");
      SendMessageW(bar, TB_INSERTBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
    }
    set_soft_key(bar, ids[i], L"", TBSTATE_INDETERMINATE);
  }
  SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_ESCAPE,
               MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
}

void MenuManagerImplSmartphone::update(Form& form) {
  if (!dirty_) return;
  dirty_ = false;
  if (bar_info_.hwndMB == nullptr) {
    if (!IsWindowVisible(form.get_window())) {
      dirty_ = true;
      return;
    }
    create_menu_bar(form);
    if (bar_info_.hwndMB == nullptr) return;
  }
  MenuManager& manager = form.get_menu_manager();
  MenuItem left(L"#FakeIdSoft1#", L"");
  manager.build_ok_soft_key(left);
  MenuItem right(L"#FakeIdSoft2#", L"");
  manager.build_soft_keys(right);
  for (auto [id, key] : {std::pair{kLeftSoftKey, &left}, std::pair{kRightSoftKey, &right}}) {
    if (stands_for_nothing(*key))
      set_soft_key(bar_info_.hwndMB, id, L"", 0);
    else
      set_soft_key(bar_info_.hwndMB, id, key->caption, TBSTATE_ENABLED);
  }
}

void MenuManagerImplSmartphone::on_command(Form& form, WPARAM wparam, LPARAM) {
  const int id = LOWORD(wparam);
  if (id != kLeftSoftKey && id != kRightSoftKey) return;
  MenuManager& manager = form.get_menu_manager();
  MenuItem entry(L"#FakeId#", L"");
  if (id == kLeftSoftKey)
    manager.build_ok_soft_key(entry);
  else
    manager.build_soft_keys(entry);
  if (entry.items.empty()) {
    if (entry.owner != nullptr) entry.owner->on_command(entry.owner, entry.command);
    return;
  }
  Point position{};
  Point size{};
  form.get_workarea(position, size, true);
  POINT at{id == kLeftSoftKey ? 0 : size.x, size.y + 1};
  Control* owner = nullptr;
  const std::wstring chosen =
      MenuManagerImplPocket::track_popup_menu(form, entry.items, at, id == kLeftSoftKey ? 0 : 2, 2, &owner);
  if (!chosen.empty() && owner != nullptr) owner->on_command(owner, chosen);
}

void MenuManagerImplSmartphone::on_hotkey(Form& form, WPARAM, LPARAM lparam) {
  if (HIWORD(lparam) != VK_ESCAPE) return;
  HWND focus = GetFocus();
  wchar_t name[11] = {};
  if (focus != nullptr && GetClassNameW(focus, name, 11) > 0) {
    std::wstring upper(name);
    for (auto& c : upper)
      if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (upper == L"EDIT" || upper == L"CAPEDIT") {
      SHSendBackToFocusWindow(WM_HOTKEY, 0, lparam);
      return;
    }
  }
  if (LOWORD(lparam) == 0x1000)
    form.on_key_up(KeyCode::Esc);
  else
    form.on_key_down(KeyCode::Esc);
}

void MenuManagerImplSmartphone::show(Form&, bool visible) {
  if (visible) dirty_ = true;
  if (bar_info_.hwndMB != nullptr) ShowWindow(bar_info_.hwndMB, visible ? SW_SHOW : SW_HIDE);
}

}  // namespace skinner
