// The native side of a form's menu: the shell's menu bar made from the
// form's registered items. Pocket PC shells before version 5 show one tool
// bar button per item; version 5 and Smartphone show two soft keys, the
// left one for the "OK" role and the right one for everything else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ce/aygshell.h"
#include "ce/windows.h"
#include "skinner/menu_item.h"

namespace skinner {

class Form;

class MenuManagerImpl {
 public:
  MenuManagerImpl() = default;
  MenuManagerImpl(const MenuManagerImpl&) = delete;
  MenuManagerImpl& operator=(const MenuManagerImpl&) = delete;
  virtual ~MenuManagerImpl() = default;

  virtual void on_command(Form& form, WPARAM wparam, LPARAM lparam) = 0;
  virtual void on_init_menu_popup(Form& form, HMENU menu, LPARAM lparam) = 0;
  virtual void on_hotkey(Form& form, WPARAM wparam, LPARAM lparam) = 0;
  virtual void invalidate(Form& form) = 0;
  virtual void update(Form& form) = 0;
  virtual void show(Form& form, bool visible) = 0;

  // The menu bar window, null before it is made.
  HWND get_bar() const { return bar_info_.hwndMB; }

 protected:
  SHMENUBARINFO bar_info_{};
};

// A soft key with no item behind it (a form whose items are all drawn
// buttons): it is shown without a caption and greyed, not as a key named
// "Action" or "Menu" that does nothing.
bool stands_for_nothing(const MenuItem& soft_key);

class MenuManagerImplPocket : public MenuManagerImpl {
 public:
  explicit MenuManagerImplPocket(bool shell_version5);
  ~MenuManagerImplPocket() override;

  void on_command(Form& form, WPARAM wparam, LPARAM lparam) override;
  void on_init_menu_popup(Form& form, HMENU menu, LPARAM lparam) override;
  void on_hotkey(Form&, WPARAM, LPARAM) override {}
  void invalidate(Form&) override { dirty_ = true; }
  void update(Form& form) override;
  void show(Form& form, bool visible) override;

  // Shows the entries as a popup menu at a point of the form (client
  // coordinates) with the alignments 0 left/top, 1 centre, 2 right/bottom;
  // answers the chosen entry's command (empty when nothing was chosen) and
  // its owner. With `highlight_first` the first entry opens highlighted, so
  // Enter chooses it at once.
  static std::wstring track_popup_menu(Form& form, const VBCollection& entries, POINT point, int horizontal,
                                       int vertical, Control** owner, bool highlight_first = false);

  // Tool bar ids left in the pools, for tests.
  static std::size_t free_toolbar_ids(bool shell_version5);

 private:
  void build(Form& form);
  void clear_bar();
  void delete_buttons();
  void add_button(const MenuItem& entry, bool drop_down);

  std::vector<std::wstring> commands_;
  std::vector<Control*> owners_;
  std::size_t in_use_ = 0;
  std::int32_t first_image_ = -1;
  std::int32_t image_count_ = 0;
  bool shell_version5_;
  bool dirty_ = true;
  UINT toolbar_id_ = 0;
};

class MenuManagerImplSmartphone : public MenuManagerImpl {
 public:
  MenuManagerImplSmartphone() = default;
  ~MenuManagerImplSmartphone() override;

  void on_command(Form& form, WPARAM wparam, LPARAM lparam) override;
  void on_init_menu_popup(Form&, HMENU, LPARAM) override {}
  void on_hotkey(Form& form, WPARAM wparam, LPARAM lparam) override;
  void invalidate(Form&) override { dirty_ = true; }
  void update(Form& form) override;
  void show(Form& form, bool visible) override;

  static constexpr int kLeftSoftKey = 18201;
  static constexpr int kRightSoftKey = 18200;

 private:
  void create_menu_bar(Form& form);

  bool dirty_ = true;
};

}  // namespace skinner
