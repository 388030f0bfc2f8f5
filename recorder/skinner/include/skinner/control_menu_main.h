// A form's menu on the shell's menu bar. ControlMenuMain, invisible, gives
// its form a main menu; MenuMainButton is one entry of it while visible (a
// tool bar button or a soft-key entry) whose command reaches the form like
// any control's; MenuMainSubMenu is an entry whose children its owner
// supplies each time the menu opens.
#pragma once

#include <cstdint>
#include <string>

#include "skinner/control.h"
#include "skinner/menu_manager.h"

namespace skinner {

class ControlMenuMain : public Control {
 public:
  ControlMenuMain(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);
  ~ControlMenuMain() override;
  void draw(Canvas&, const Rect&) override {}
};

class MenuMainButton : public Control, public MenuManager::Item {
 public:
  MenuMainButton(Container& container, const std::wstring& name, const std::wstring& caption, const std::wstring& role,
                 std::int32_t zorder);
  ~MenuMainButton() override;

  void on_visible_changed(bool visible) override;
  void on_enabled_changed(bool enabled) override;
  void load_properties() override;
  void draw(Canvas&, const Rect&) override {}
  bool hit_test(Point) const override { return false; }

  void get_menu_item(MenuItem& out) override;
  bool is_submenu() override { return false; }
  std::wstring get_command() override { return role_.empty() ? get_name() : role_; }
  std::int32_t get_order() override { return get_zorder(); }

  const std::wstring& get_caption() const { return caption_; }
  void set_caption(const std::wstring& caption);
  void set_checked(bool checked);
  void set_separator_after(bool separator);
  void set_image(std::int32_t image);
  void set_shortcut(const std::wstring& shortcut);

 private:
  void refresh();

  std::wstring caption_;
  // What the caption falls back to in a language without the entry's name:
  // the caption given by code, never an earlier language's text.
  std::wstring default_caption_;
  std::wstring shortcut_;
  bool separator_after_ = false;
  bool checked_ = false;
  std::int32_t image_ = -1;
  std::wstring role_;
};

class MenuMainSubMenu : public MenuMainButton {
 public:
  using MenuMainButton::MenuMainButton;
  bool is_submenu() override { return true; }
};

}  // namespace skinner
