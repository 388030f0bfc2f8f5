// What a skinned button stands for on the platform, chosen by its "Action"
// and the device: the window title, the shell's close or OK button, an
// entry of the soft keys, or nothing. A variant that lets the platform show
// the part draws nothing and takes no taps.
#pragma once

#include <memory>
#include <string>

#include "skinner/control_subclass.h"
#include "skinner/listener.h"
#include "skinner/menu_manager.h"

namespace skinner {

class ControlButton;
class Form;

class ControlButtonImpl {
 public:
  ControlButtonImpl(ControlButton& button, bool draws_itself, bool wants_focus)
      : button_(button), draws_itself_(draws_itself), wants_focus_(wants_focus) {}
  ControlButtonImpl(const ControlButtonImpl&) = delete;
  ControlButtonImpl& operator=(const ControlButtonImpl&) = delete;
  virtual ~ControlButtonImpl() = default;

  // The variant for the button's action on this device.
  static std::unique_ptr<ControlButtonImpl> create(ControlButton& button);

  virtual void set_text() {}
  virtual void on_visible_changed(bool) {}
  virtual void click(const ClickInfo&) {}
  virtual void pointer_down(Point, bool) {}
  virtual void pointer_move(Point, bool) {}
  virtual void pointer_up(Point, bool) {}
  virtual void refresh_menu() {}

  bool draws_itself() const { return draws_itself_; }
  bool wants_focus() const { return wants_focus_; }
  ControlButton& get_button() const { return button_; }
  // The form the button is on; null when its host is no form.
  Form* get_form() const;

 private:
  ControlButton& button_;
  bool draws_itself_;
  bool wants_focus_;
};

// The button's caption is the window title, and the button is drawn where
// the skin puts it.
class ControlButtonImplCaptionPocket : public ControlButtonImpl {
 public:
  explicit ControlButtonImplCaptionPocket(ControlButton& button);
  void set_text() override;
};

// The same, and the shell's title bar is told to show it again.
class ControlButtonImplCaptionSmartphone : public ControlButtonImpl {
 public:
  explicit ControlButtonImplCaptionSmartphone(ControlButton& button);
  void set_text() override;
};

// A click closes the form.
class ControlButtonImplClosePocket : public ControlButtonImpl {
 public:
  explicit ControlButtonImplClosePocket(ControlButton& button) : ControlButtonImpl(button, true, true) {}
  void click(const ClickInfo& info) override;
};

// The shell's OK button in the title bar stands for the button.
class ControlButtonImplOKPocket : public ControlButtonImpl, public ControlSubclass {
 public:
  explicit ControlButtonImplOKPocket(ControlButton& button);
  ~ControlButtonImplOKPocket() override;
  LRESULT window_proc(UINT message, WPARAM wparam, LPARAM lparam, bool& pass_on) override;
};

// An entry of the soft keys while the button is visible.
class ControlButtonImplMenuSmartphone : public ControlButtonImpl, public MenuManager::Item {
 public:
  ControlButtonImplMenuSmartphone(ControlButton& button, std::wstring role, bool draws_itself = false,
                                  bool wants_focus = false);
  ~ControlButtonImplMenuSmartphone() override;

  void set_text() override { refresh_menu(); }
  void on_visible_changed(bool visible) override;
  void refresh_menu() override;
  void get_menu_item(MenuItem& out) override;
  bool is_submenu() override { return false; }
  std::wstring get_command() override { return role_; }
  std::int32_t get_order() override;

 private:
  std::wstring role_;
  bool registered_ = false;
};

// The right soft key's entry that closes the form.
class ControlButtonCloseSmartphone : public ControlButtonImplMenuSmartphone {
 public:
  explicit ControlButtonCloseSmartphone(ControlButton& button) : ControlButtonImplMenuSmartphone(button, L"") {}
  void click(const ClickInfo& info) override;
};

// A soft-key entry on a version 5 Pocket PC shell.
class ControlButtonImplMenu5Pocket : public ControlButtonImplMenuSmartphone {
 public:
  ControlButtonImplMenu5Pocket(ControlButton& button, std::wstring role, bool draws_itself, bool wants_focus)
      : ControlButtonImplMenuSmartphone(button, std::move(role), draws_itself, wants_focus) {}
};

// The left soft key and the title bar's OK button on a version 5 shell.
class ControlButtonImplMenu5PocketOK : public ControlButtonImplMenu5Pocket, public ControlSubclass {
 public:
  explicit ControlButtonImplMenu5PocketOK(ControlButton& button);
  ~ControlButtonImplMenu5PocketOK() override;
  LRESULT window_proc(UINT message, WPARAM wparam, LPARAM lparam, bool& pass_on) override;
};

}  // namespace skinner
