#include "skinner/control_menu_main.h"

#include "skinner/form.h"

namespace skinner {

namespace {

MenuManager* menu_of(const Control& control) {
  Form* form = Form::of(control);
  return form != nullptr ? &form->get_menu_manager() : nullptr;
}

}  // namespace

ControlMenuMain::ControlMenuMain(Container& container, const std::wstring& name, NamingMode mode)
    : Control(container, name, mode) {
  set_want_focus(false);
  if (Form* form = Form::of(*this)) form->register_menu_main(this);
}

ControlMenuMain::~ControlMenuMain() {
  if (Form* form = Form::of(*this)) form->unregister_menu_main(this);
}

MenuMainButton::MenuMainButton(Container& container, const std::wstring& name, const std::wstring& caption,
                               const std::wstring& role, std::int32_t zorder)
    : Control(container, name, NamingMode::NamedWithoutKind),
      caption_(caption),
      default_caption_(caption),
      role_(role) {
  set_zorder(zorder);
  set_want_focus(false);
  if (MenuManager* menu = menu_of(*this)) menu->add_item(this);
}

MenuMainButton::~MenuMainButton() {
  if (MenuManager* menu = menu_of(*this)) menu->remove_item(this);
}

void MenuMainButton::refresh() {
  if (Form* form = Form::of(*this)) form->refresh_menu();
}

void MenuMainButton::on_visible_changed(bool visible) {
  MenuManager* menu = menu_of(*this);
  if (menu == nullptr) return;
  if (visible)
    menu->add_item(this);
  else
    menu->remove_item(this);
}

void MenuMainButton::on_enabled_changed(bool) { refresh(); }

void MenuMainButton::load_properties() {
  // The entry is never placed on the form: only its caption comes from the
  // language.
  if (!caption_.empty()) caption_ = translate(get_name(), default_caption_);
  refresh();
}

void MenuMainButton::get_menu_item(MenuItem& out) {
  out.command = get_name();
  out.caption = caption_;
  out.shortcut = shortcut_;
  out.checked = checked_;
  out.separator_after = separator_after_;
  out.enabled = is_enabled();
  out.owner = this;
  out.image = image_;
}

void MenuMainButton::set_caption(const std::wstring& caption) {
  caption_ = caption;
  default_caption_ = caption;
  refresh();
}

void MenuMainButton::set_checked(bool checked) {
  checked_ = checked;
  refresh();
}

void MenuMainButton::set_separator_after(bool separator) {
  separator_after_ = separator;
  refresh();
}

void MenuMainButton::set_image(std::int32_t image) {
  image_ = image;
  refresh();
}

void MenuMainButton::set_shortcut(const std::wstring& shortcut) {
  shortcut_ = shortcut;
  refresh();
}

}  // namespace skinner
