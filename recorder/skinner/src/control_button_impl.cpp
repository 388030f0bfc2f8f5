#include "skinner/control_button_impl.h"

#include "ce/aygshell.h"
#include "os/log.h"
#include "skinner/control_button.h"
#include "skinner/device_caps.h"
#include "skinner/form.h"

namespace skinner {

namespace {

void set_title(ControlButtonImpl& impl) {
  if (Form* form = impl.get_form()) SetWindowTextW(form->get_window(), impl.get_button().get_text().c_str());
}

void post_close(ControlButtonImpl& impl) {
  if (Form* form = impl.get_form()) PostMessageW(form->get_window(), WM_CLOSE, 0, 0);
}

// The shell's OK button's press arrives as WM_COMMAND IDOK on the form
// window; it clicks the button and the window still sees the command.
LRESULT watch_for_ok(ControlButton& button, UINT message, WPARAM wparam) {
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) button.click_at_centre();
  return 0;
}

}  // namespace

Form* ControlButtonImpl::get_form() const { return Form::of(button_); }

std::unique_ptr<ControlButtonImpl> ControlButtonImpl::create(ControlButton& button) {
  const bool smartphone = is_smartphone();
  const bool shell5 = is_shell_version5();
  const std::int32_t action = button.get_action();
  if (smartphone) {
    switch (action) {
      case kActionCaption:
        return std::make_unique<ControlButtonImplCaptionSmartphone>(button);
      case 2:
      case 3:
      case 4:
      case 5:
      case 6:
      case 7:
      case 8:
      case 9:
      case kActionMinimize:
      case kActionMaximize:
        return std::make_unique<ControlButtonImpl>(button, false, false);
      case kActionClose:
        return std::make_unique<ControlButtonCloseSmartphone>(button);
      case kActionSysMenu:
        // Nothing stands for the system menu; the button is neither drawn
        // nor focused, but it still has an object to serve it.
        return std::make_unique<ControlButtonImpl>(button, false, false);
      case kActionOk:
        return std::make_unique<ControlButtonImplMenuSmartphone>(button, kRoleOk);
      case kActionCancel:
        return std::make_unique<ControlButtonImplMenuSmartphone>(button, kRoleMenu);
      default:
        // A named button that wants the focus becomes a soft-key entry; the
        // rest are drawn but never focused (no pen to leave them with).
        if (button.get_naming_mode() == NamingMode::Named && button.Control::get_want_focus())
          return std::make_unique<ControlButtonImplMenuSmartphone>(button, L"");
        return std::make_unique<ControlButtonImpl>(button, true, false);
    }
  }
  switch (action) {
    case kActionNothing:
      return std::make_unique<ControlButtonImpl>(button, true, true);
    case kActionCaption:
      return std::make_unique<ControlButtonImplCaptionPocket>(button);
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
      return std::make_unique<ControlButtonImpl>(button, false, false);
    case kActionClose:
      return std::make_unique<ControlButtonImplClosePocket>(button);
    case kActionMinimize:
    case kActionMaximize:
      return std::make_unique<ControlButtonImpl>(button, true, true);
    case kActionSysMenu:
      return std::make_unique<ControlButtonImpl>(button, false, false);
    case kActionOk:
      if (shell5) return std::make_unique<ControlButtonImplMenu5PocketOK>(button);
      return std::make_unique<ControlButtonImplOKPocket>(button);
    case kActionCancel:
      if (shell5) return std::make_unique<ControlButtonImplMenu5Pocket>(button, kRoleMenu, true, true);
      return std::make_unique<ControlButtonImpl>(button, true, true);
    default:
      return std::make_unique<ControlButtonImpl>(button, true, true);
  }
}

// The caption is drawn where the skin puts it (an owned form's title shows
// nowhere else) and is the window title too; it never takes the focus.
ControlButtonImplCaptionPocket::ControlButtonImplCaptionPocket(ControlButton& button)
    : ControlButtonImpl(button, true, false) {
  set_title(*this);
}

void ControlButtonImplCaptionPocket::set_text() { set_title(*this); }

ControlButtonImplCaptionSmartphone::ControlButtonImplCaptionSmartphone(ControlButton& button)
    : ControlButtonImpl(button, true, false) {
  ControlButtonImplCaptionSmartphone::set_text();
}

void ControlButtonImplCaptionSmartphone::set_text() {
  set_title(*this);
  if (HWND tray = FindWindowW(L"tray", L"tray")) PostMessageW(tray, WM_USER, 4, 0);
}

void ControlButtonImplClosePocket::click(const ClickInfo&) {
  os::get_log() << L"ControlButtonImplClosePocket WM_CLOSE sent\n";
  post_close(*this);
}

ControlButtonImplOKPocket::ControlButtonImplOKPocket(ControlButton& button) : ControlButtonImpl(button, false, false) {
  if (Form* form = get_form()) {
    SHDoneButton(form->get_window(), SHDB_SHOW);
    subclass(form->get_window());
  }
}

ControlButtonImplOKPocket::~ControlButtonImplOKPocket() {
  if (HWND window = get_hooked_window()) SHDoneButton(window, SHDB_HIDE);
  unsubclass();
}

LRESULT ControlButtonImplOKPocket::window_proc(UINT message, WPARAM wparam, LPARAM, bool&) {
  return watch_for_ok(get_button(), message, wparam);
}

ControlButtonImplMenuSmartphone::ControlButtonImplMenuSmartphone(ControlButton& button, std::wstring role,
                                                                 bool draws_itself, bool wants_focus)
    : ControlButtonImpl(button, draws_itself, wants_focus), role_(std::move(role)) {
  if (button.is_visible()) on_visible_changed(true);
}

ControlButtonImplMenuSmartphone::~ControlButtonImplMenuSmartphone() {
  if (registered_) {
    if (Form* form = get_form()) form->get_menu_manager().remove_item(this);
  }
}

void ControlButtonImplMenuSmartphone::on_visible_changed(bool visible) {
  Form* form = get_form();
  if (form == nullptr) return;
  if (visible) {
    form->get_menu_manager().add_item(this);
    registered_ = true;
  } else {
    form->get_menu_manager().remove_item(this);
    registered_ = false;
  }
}

void ControlButtonImplMenuSmartphone::refresh_menu() {
  if (Form* form = get_form()) form->refresh_menu();
}

void ControlButtonImplMenuSmartphone::get_menu_item(MenuItem& out) {
  ControlButton& button = get_button();
  out.command = button.get_name();
  out.caption = button.get_text();
  out.enabled = button.is_enabled();
  out.owner = &button;
}

std::int32_t ControlButtonImplMenuSmartphone::get_order() { return get_button().get_zorder() + 1000000; }

void ControlButtonCloseSmartphone::click(const ClickInfo&) {
  os::get_log() << L"ControlButtonCloseSmartphone WM_CLOSE sent\n";
  post_close(*this);
}

ControlButtonImplMenu5PocketOK::ControlButtonImplMenu5PocketOK(ControlButton& button)
    : ControlButtonImplMenu5Pocket(button, kRoleOk, false, false) {
  if (Form* form = get_form()) {
    SHDoneButton(form->get_window(), SHDB_SHOW);
    subclass(form->get_window());
  }
}

ControlButtonImplMenu5PocketOK::~ControlButtonImplMenu5PocketOK() {
  if (HWND window = get_hooked_window()) SHDoneButton(window, SHDB_HIDE);
  unsubclass();
}

LRESULT ControlButtonImplMenu5PocketOK::window_proc(UINT message, WPARAM wparam, LPARAM, bool&) {
  return watch_for_ok(get_button(), message, wparam);
}

}  // namespace skinner
