#include "skinner/form.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "liba/error.h"
#include "os/application.h"
#include "os/log.h"
#include "skinner/control_button.h"
#include "skinner/control_factory.h"
#include "skinner/control_frame.h"
#include "skinner/control_menu_main.h"
#include "skinner/device_caps.h"
#include "skinner/form_impl.h"

namespace skinner {

namespace {

std::vector<Form*>& live_forms() {
  static std::vector<Form*> forms;
  return forms;
}

constexpr const wchar_t* kClassPrefix = L"SkinnerClass_";

std::wstring window_text(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

Form* g_current = nullptr;
std::uint32_t g_next_timer = 1;

Control* make_button(Container& container, const std::wstring& name) { return new ControlButton(container, name); }
Control* make_frame(Container& container, const std::wstring& name) { return new ControlFrame(container, name); }

// A new skin or language on a handle: every open form on it reads its
// properties again.
void reload_forms(Properties& handle) {
  const std::vector<Form*> forms = live_forms();
  for (Form* form : forms) {
    const auto& now = live_forms();
    if (std::find(now.begin(), now.end(), form) == now.end()) continue;
    if (form->get_properties() == &handle) form->load_properties();
  }
}

// What the forms give the rest of the framework, set up with the first.
void install_form_services() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  set_control_maker(L"Button", &make_button);
  set_control_maker(L"ButtonSystem", &make_button);
  set_control_maker(L"Frame", &make_frame);
  Properties::set_form_reloader(&reload_forms);
}

}  // namespace

FormImplHolder::FormImplHolder(Form* parent, Form* form) : impl_(std::make_unique<FormImpl>(parent, form)) {}

FormImplHolder::~FormImplHolder() = default;

Form::Form(Form* parent, Properties* properties, const std::wstring& name, Listener* owner)
    : FormImplHolder(parent, this),
      Container(this, properties, name, NamingMode::Named, owner),
      menu_(this),
      parent_(parent) {
  install_form_services();
  live_forms().push_back(this);
}

Form::~Form() {
  auto& forms = live_forms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  if (g_current == this) g_current = nullptr;
  // The children go while the form is whole: their destructors still reach
  // it (menu items unregister, timers stop).
  delete_owned_controls();
  // From here on the form is coming apart: its window's messages (the
  // activation its destruction hands on, say) go by it.
  impl_->unsubclass();
}

Form* Form::of(const Control& control) { return dynamic_cast<Form*>(control.get_form()); }

const std::vector<Form*>& Form::forms() { return live_forms(); }
Form* Form::current() { return g_current; }
std::uint32_t Form::next_timer_id() { return g_next_timer; }

HWND Form::get_window() const { return impl_->get_window(); }

void Form::run() {
  Form* previous = g_current;
  g_current = this;
  running_ = true;
  load_properties();
  FormImpl::broadcast_sip_change();
  set_active(true);
  message_loop();
  set_active(false);
  running_ = false;
  // The previous form may have gone meanwhile (a nested form's owner
  // destroying it): only a live one becomes current again.
  const auto& forms = live_forms();
  if (std::find(forms.begin(), forms.end(), previous) == forms.end()) previous = nullptr;
  g_current = previous;
  if (previous != nullptr) previous->refresh_menu();
  FormImpl::broadcast_sip_change();
}

void Form::message_loop() {
  std::vector<HWND> disabled;
  if (parent_ != nullptr) {
    for (Form* other : live_forms()) {
      if (other == this) continue;
      HWND window = other->get_window();
      if (IsWindowEnabled(window)) {
        disabled.push_back(window);
        EnableWindow(window, FALSE);
      }
    }
  }
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // The queue ended: the thread's owner asked it to quit; leave the
      // request for the loops further out.
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!impl_->dispatch_message(message)) break;
  }
  for (HWND window : disabled) {
    // Only windows of forms still alive.
    for (Form* other : live_forms())
      if (other->get_window() == window) EnableWindow(window, TRUE);
  }
  if (parent_ != nullptr && IsWindowVisible(parent_->get_window())) {
    parent_->bring_to_front();
    // All of it: whatever this form covered is the owner's to show again.
    parent_->invalidate(Point{0, 0}, parent_->get_window_size());
  }
}

void Form::close() {
  SendMessageW(get_window(), WM_CLOSE, 0, 0);
  os::get_log() << L"Form WM_CLOSE sent\n";
}

std::uint32_t Form::set_timer(double seconds) {
  const std::uint32_t id = g_next_timer++;
  double ms = seconds * 1000.0;
  if (!(ms >= 0.0)) ms = 0.0;
  if (ms > 4294967295.0) ms = 4294967295.0;
  SetTimer(get_window(), id, static_cast<UINT>(ms), nullptr);
  return id;
}

void Form::kill_timer(std::uint32_t id) {
  if (id == 0) return;
  KillTimer(get_window(), id);
}

void Form::register_menu_main(ControlMenuMain* menu) {
  if (menu_main_ != nullptr) liba::fatal_error(L"Form::register_menu_main", L"Menu main is already exists");
  menu_main_ = menu;
  refresh_menu();
}

void Form::unregister_menu_main(ControlMenuMain* menu) {
  if (menu != menu_main_) liba::fatal_error(L"Form::unregister_menu_main", L"Menus do not match");
  menu_main_ = nullptr;
  refresh_menu();
}

void Form::load_properties() {
  Container::load_properties();
  // A caption control of the skin names the window as it loads. A form
  // without one would keep the text its window was made with while it
  // shows ("Loading..."): it takes its parent's title instead, a form of
  // its own the application's name.
  if (window_text(get_window()) == FormImpl::kLoadingText) {
    std::wstring title;
    if (parent_ != nullptr) {
      title = window_text(parent_->get_window());
    } else if (auto* application = os::Application::instance()) {
      title = application->get_class_name();
      if (title.rfind(kClassPrefix, 0) == 0) title.erase(0, std::wcslen(kClassPrefix));
    }
    SetWindowTextW(get_window(), title.c_str());
  }
  background_ = read_picture(L"Background", Picture());
  start_position_ = read_int(L"StartPosition", start_position_);
  default_font_.parse(L"32 0 0 0 Tahoma");
  apply_start_position();
  invalidate(Point{0, 0}, get_window_size());
  refresh_menu();
}

void Form::get_workarea(Point& position, Point& size, bool use_sip) const {
  skinner::get_workarea(position, size, use_sip);
}

void Form::apply_start_position() {
  update_window_style();
  const Point design = get_design_size();
  const Point current_position = get_window_position();
  const Point current_size = get_window_size();
  Point area_position, area_size;
  get_workarea(area_position, area_size, true);
  auto centre = [](Point at, Point room, Point size) {
    return Point{at.x + static_cast<std::int32_t>((room.x - size.x) / 2.0),
                 at.y + static_cast<std::int32_t>((room.y - size.y) / 2.0)};
  };
  Point position, size;
  switch (start_position_) {
    case 0:
      size = design;
      position = read_scaled_point(L"Position", Point{0, 0});
      break;
    case 1:
      size = design;
      position = centre(area_position, area_size, design);
      break;
    case 2:
      size = design;
      if (parent_ != nullptr)
        position = centre(parent_->get_window_position(), parent_->get_window_size(), design);
      else
        position = centre(area_position, area_size, design);
      break;
    case 3:
    case 4:
    case 5:
      size = point_max(design, area_size);
      position = area_position;
      break;
    default:
      position = current_position;
      size = point_max(current_size, design);
      break;
  }
  move_window(position, size);
  set_rect(Point{0, 0}, size);
  // Laid out first: the lift goes by where the focused control now stands.
  const std::int32_t lift = lift_for_input_panel(position, area_position, area_size);
  if (lift != 0) move_window(Point{position.x, position.y - lift}, size);
}

std::int32_t Form::lift_for_input_panel(Point position, Point area_position, Point area_size) const {
  Point whole_position, whole_size;
  get_workarea(whole_position, whole_size, false);
  if (area_size.y >= whole_size.y) return 0;  // the input panel covers nothing
  // The control that has the keys: the focus followed into panels.
  Control* focused = get_focused();
  while (focused != nullptr && focused->get_panel_container() != nullptr &&
         focused->get_panel_container()->get_focused() != nullptr)
    focused = focused->get_panel_container()->get_focused();
  if (focused == nullptr || !focused->is_visible()) return 0;
  // Only a control that fits above the panel is brought up, no further than
  // its bottom needs; one taller than that (a whole list) stays where it is.
  const Rect rect = focused->get_rect();
  const std::int64_t bottom = std::int64_t{position.y} + rect.y + rect.height;
  const std::int64_t visible_bottom = std::int64_t{area_position.y} + area_size.y;
  if (bottom <= visible_bottom || rect.height > area_size.y) return 0;
  return static_cast<std::int32_t>(std::min<std::int64_t>(bottom - visible_bottom, INT32_MAX));
}

void Form::invalidate(Point position, Point size) {
  impl_->add_pending(position, size);
  const Point pending = impl_->get_pending_position();
  const Point pending_size = impl_->get_pending_size();
  RECT rect{pending.x, pending.y, pending.x + pending_size.x, pending.y + pending_size.y};
  InvalidateRect(get_window(), &rect, FALSE);
}

Point Form::get_window_size() const {
  RECT rect{};
  GetWindowRect(get_window(), &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

Point Form::get_window_position() const {
  RECT rect{};
  GetWindowRect(get_window(), &rect);
  return {rect.left, rect.top};
}

void Form::move_window(Point position, Point size) {
  MoveWindow(get_window(), position.x, position.y, size.x, size.y, TRUE);
}

void Form::update_window_style() {
  SHFullScreen(get_window(), SHFS_SHOWTASKBAR | (menu_main_ != nullptr ? SHFS_SHOWSIPBUTTON : SHFS_HIDESIPBUTTON));
}

void Form::set_sip(bool visible) {
  if (is_smartphone()) return;
  SHSipPreference(get_window(), visible ? SIP_UP : SIP_DOWN);
}

void Form::message_box(const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(get_window(), text.c_str(), caption.c_str(), MB_OK);
}

bool Form::is_key_pressed(KeyCode key) const {
  int virtual_key = 0;
  switch (key) {
    case KeyCode::Shift:
      virtual_key = VK_SHIFT;
      break;
    case KeyCode::Ctrl:
      virtual_key = VK_CONTROL;
      break;
    case KeyCode::Alt:
      virtual_key = VK_MENU;
      break;
    default:
      return false;
  }
  return (static_cast<unsigned short>(GetKeyState(virtual_key)) & 0x8000u) != 0;
}

void Form::refresh_menu() {
  if (menu_main_ == nullptr) return;
  impl_->get_menu_manager().invalidate(*this);
  static_cast<Control*>(menu_main_)->invalidate();
}

void Form::bring_to_front() {
  HWND window = get_window();
  if (IsWindowEnabled(window)) {
    SetForegroundWindow(window);
    return;
  }
  struct Search {
    HWND owner;
    HWND found;
  } search{window, nullptr};
  EnumWindows(
      [](HWND candidate, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (IsWindowEnabled(candidate) && GetParent(candidate) == s->owner) {
          s->found = candidate;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  if (search.found != nullptr) SetForegroundWindow(search.found);
}

void Form::on_picture_failed_to_load(const Picture& picture) {
  if (parent_ == nullptr) {
    const std::wstring caption = translate(L"on_picture_failed_to_load", L"Out of memory");
    std::wstring text;
    if (!picture.get_name().empty()) {
      // std::to_wstring of a double gives "%f": six decimals.
      text = L"name=" + picture.get_name() + L"\nscale=" + std::to_wstring(picture.get_scale()) + L"\nbase_path=" +
             picture.get_base_path();
    }
    message_box(caption, text);
  }
  if (running_) close();
  if (parent_ != nullptr) parent_->on_picture_failed_to_load(picture);
}

}  // namespace skinner
