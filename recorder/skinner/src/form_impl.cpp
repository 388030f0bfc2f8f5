#include "skinner/form_impl.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ce/aygshell.h"
#include "ce/imm.h"
#include "os/application.h"
#include "os/log.h"
#include "skinner/canvas.h"
#include "skinner/device_caps.h"
#include "skinner/form.h"

namespace skinner {

namespace {

// Hook results are ignored unless the hook swallows the message.
constexpr LRESULT kSwallowed = 0;

Point point_of(LPARAM lparam) {
  return {static_cast<std::int16_t>(LOWORD(lparam)), static_cast<std::int16_t>(HIWORD(lparam))};
}

bool read_flicker_mode() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Zentra", 0, 0, &key) != ERROR_SUCCESS) return false;
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof(value);
  const LONG result = RegQueryValueExW(key, L"Flicker", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) && value != 0;
}

std::wstring class_name() {
  if (auto* application = os::Application::instance()) return application->get_class_name();
  return L"SkinnerClass_Skinner";
}

HINSTANCE instance_handle() {
  if (auto* application = os::Application::instance()) return application->get_instance_handle();
  return GetModuleHandleW(nullptr);
}

}  // namespace

FormImpl::FormImpl(Form* parent, Form* form) : form_(form) {
  install_device_info();
  flicker_ = read_flicker_mode();
  if (is_smartphone())
    menu_manager_ = std::make_unique<MenuManagerImplSmartphone>();
  else
    menu_manager_ = std::make_unique<MenuManagerImplPocket>(is_shell_version5());
  const std::wstring name = class_name();
  WNDCLASSW window_class{};
  window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = instance_handle();
  window_class.lpszClassName = name.c_str();
  RegisterClassW(&window_class);  // already present after the first form
  DWORD style = WS_CLIPCHILDREN | WS_VISIBLE;
  if (parent != nullptr)
    style |= WS_POPUP;
  else if (!is_smartphone())
    style |= WS_SYSMENU;
  window_ =
      CreateWindowExW(0, name.c_str(), kLoadingText, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      parent != nullptr ? parent->get_window() : nullptr, nullptr, instance_handle(), nullptr);
  UpdateWindow(window_);
  subclass(window_);
}

FormImpl::~FormImpl() {
  if (window_ != nullptr) DestroyWindow(window_);
  unsubclass();
  if (back_buffer_ != nullptr) DeleteObject(back_buffer_);
  menu_manager_.reset();
}

void FormImpl::add_pending(Point position, Point size) {
  if (size.x <= 0 || size.y <= 0) return;
  if (pending_size_.x == 0 && pending_size_.y == 0) {
    pending_position_ = position;
    pending_size_ = size;
    return;
  }
  const std::int32_t left = std::min(pending_position_.x, position.x);
  const std::int32_t top = std::min(pending_position_.y, position.y);
  const std::int32_t right = std::max(pending_position_.x + pending_size_.x, position.x + size.x);
  const std::int32_t bottom = std::max(pending_position_.y + pending_size_.y, position.y + size.y);
  pending_position_ = {left, top};
  pending_size_ = {right - left, bottom - top};
}

void FormImpl::set_focus_if_activated() {
  os::get_log() << L"FormImpl::set_focus_if_activated\n";
  SetFocus(window_);
}

void FormImpl::after_message() {
  if (form_->get_menu_main() != nullptr) menu_manager_->update(*form_);
}

void FormImpl::pointer_down(int kind, Point point, bool double_tap) {
  if (!down_[0] && !down_[1] && !down_[2]) SetCapture(window_);
  last_up_ = {-1, -1};
  down_[kind] = true;
  double_click_[kind] = double_tap;
  form_->on_pointer_down(static_cast<PointerKind>(kind), point, double_tap);
}

void FormImpl::pointer_up(int kind, Point point) {
  last_up_ = point;
  int others = 0;
  for (int k = 0; k < 3; ++k)
    if (k != kind && down_[k]) ++others;
  // The last kind up lets the pen go; so does an up that finds no kind
  // down while the window still holds the pen (its press already ended),
  // so the window never keeps the pen with nothing pressed.
  if (others == 0 && GetCapture() == window_) ReleaseCapture();
  if (down_[kind]) {
    down_[kind] = false;
    form_->on_pointer_up(static_cast<PointerKind>(kind), point, double_click_[kind]);
  }
}

void FormImpl::end_hold() {
  // The pen is one: a hold still waiting for its lift ends at the next of
  // its events (the lift, or a press whose lift went missing).
  if (down_[2]) pointer_up(2, hold_point_);
}

LRESULT FormImpl::window_proc(UINT message, WPARAM wparam, LPARAM lparam, bool& pass_on) {
  Form& form = *form_;
  const bool smartphone = is_smartphone();
  switch (message) {
    case WM_ERASEBKGND:
      pass_on = false;
      return 1;
    case WM_SIZE:
      pending_position_ = {0, 0};
      pending_size_ = form.get_window_size();
      if (back_buffer_ != nullptr) {
        DeleteObject(back_buffer_);
        back_buffer_ = nullptr;
      }
      InvalidateRect(window_, nullptr, FALSE);
      form.invalidate(pending_position_, pending_size_);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        os::get_log() << L"WM_ACTIVATE WA_INACTIVE\n";
        if (!smartphone) form.set_active(false);
      } else {
        os::get_log() << L"WM_ACTIVATE\n";
        if (!smartphone) {
          form.apply_start_position();
          form.set_active(true);
        } else if (form.acquire_native_focus()) {
          pass_on = false;
          after_message();
          return kSwallowed;
        }
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      if (smartphone) {
        HWND other = reinterpret_cast<HWND>(wparam);
        HWND parent = other != nullptr ? GetParent(other) : nullptr;
        const bool set = message == WM_SETFOCUS;
        os::get_log() << (set ? L"WM_SETFOCUS hwnd=" : L"WM_KILLFOCUS hwnd=")
                      << std::to_wstring(reinterpret_cast<std::uintptr_t>(window_))
                      << (set ? L" old_hwnd=" : L" new_hwnd=")
                      << std::to_wstring(reinterpret_cast<std::uintptr_t>(other)) << L" par="
                      << std::to_wstring(reinterpret_cast<std::uintptr_t>(parent)) << L"\n";
        if (set)
          os::get_log() << (parent == window_ ? L"WM_SETFOCUS from us\n" : L"WM_SETFOCUS from another app\n");
        else
          os::get_log() << (parent == window_ ? L"WM_KILLFOCUS to us\n" : L"WM_KILLFOCUS to another app\n");
      }
      if (message == WM_SETFOCUS) {
        pass_on = false;
        return kSwallowed;
      }
      break;
    }
    case WM_PAINT:
      paint();
      pass_on = false;
      return kSwallowed;
    case WM_CLOSE: {
      os::get_log() << L"WM_CLOSE received\n";
      pass_on = false;
      if (!form.can_close()) return kSwallowed;
      PostMessageW(window_, kMessageEndLoop, 0, 0);
      if (HWND owner = GetWindow(window_, GW_OWNER)) SetForegroundWindow(owner);
      ShowWindow(window_, SW_HIDE);
      return kSwallowed;
    }
    case WM_SETTINGCHANGE:
    case kMessageSettingChange:
      if (wparam == 0x3002 || wparam == SPI_SETWORKAREA) {
        form.on_command(nullptr, L"#ScreenResolution#");
        form.apply_start_position();
      } else if (wparam == SPI_SETSIPINFO) {
        form.apply_start_position();
      }
      break;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      // The text is only the other instance's command line; it brings the
      // form forward whatever it says.
      if (data != nullptr && data->dwData == 0) form.bring_to_front();
      break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (smartphone) form.on_key_down(key_code_from_virtual_key(static_cast<std::uint32_t>(wparam)));
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      form.on_key_up(key_code_from_virtual_key(static_cast<std::uint32_t>(wparam)));
      break;
    case WM_CHAR:
      if (smartphone && wparam > 0x1F && wparam <= 0xFFFF) form.on_text(static_cast<wchar_t>(wparam));
      break;
    case kMessageKey:
      if (!smartphone) {
        const auto key = key_code_from_virtual_key(static_cast<std::uint32_t>(wparam));
        if (lparam == 0) {
          form.on_key_down(key);
        } else if (!form.on_text(static_cast<wchar_t>(lparam))) {
          form.on_key_down(key);
        }
      }
      break;
    case WM_IME_COMPOSITION:
      if ((static_cast<DWORD>(lparam) & GCS_RESULTSTR) != 0) {
        HIMC context = ImmGetContext(window_);
        if (context != nullptr) {
          const LONG bytes = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
          if (bytes > 0) {
            std::wstring text(static_cast<std::size_t>(bytes) / sizeof(wchar_t), L'\0');
            const LONG got = ImmGetCompositionStringW(context, GCS_RESULTSTR, text.data(),
                                                      static_cast<DWORD>(text.size() * sizeof(wchar_t)));
            // Only what was actually written, never beyond the buffer.
            const std::size_t count =
                got > 0 ? std::min(text.size(), static_cast<std::size_t>(got) / sizeof(wchar_t)) : 0;
            for (std::size_t i = 0; i < count; ++i) form.on_text(text[i]);
          }
          ImmReleaseContext(window_, context);
        }
      }
      return 1;
    case WM_COMMAND:
      menu_manager_->on_command(form, wparam, lparam);
      break;
    case WM_TIMER:
      form.on_timer(static_cast<std::uint32_t>(wparam));
      break;
    case WM_INITMENUPOPUP:
      menu_manager_->on_init_menu_popup(form, reinterpret_cast<HMENU>(wparam), lparam);
      break;
    case WM_HOTKEY:
      menu_manager_->on_hotkey(form, wparam, lparam);
      break;
    case WM_MOUSEMOVE:
      // A hold is one event at one point: the pen's wandering is no drag.
      if (!down_[2]) form.on_pointer_move(point_of(lparam));
      break;
    case WM_LBUTTONDOWN: {
      const Point point = point_of(lparam);
      end_hold();
      if (form.wants_gestures(point)) {
        SHRGINFO info{};
        info.cbSize = sizeof(info);
        info.hwndClient = window_;
        info.ptDown = {point.x, point.y};
        info.dwFlags = SHRG_RETURNCMD;
        if (SHRecognizeGesture(&info) == GN_CONTEXTMENU) {
          // The hold's down now, its up (a context menu, say) once the pen
          // lifts: a menu opened while the pen is still down would take
          // that lift for a choice of whatever entry lies under it.
          hold_point_ = point;
          pointer_down(2, point, false);
          break;
        }
      }
      pointer_down(0, point, false);
      break;
    }
    case WM_LBUTTONDBLCLK:
      end_hold();
      pointer_down(0, point_of(lparam), true);
      break;
    case WM_LBUTTONUP:
      if (down_[2])
        end_hold();
      else
        pointer_up(0, point_of(lparam));
      break;
    case WM_CAPTURECHANGED:
      for (int kind = 0; kind < 3; ++kind) {
        if (!down_[kind]) continue;
        down_[kind] = false;
        form.on_pointer_up(static_cast<PointerKind>(kind), last_up_, double_click_[kind]);
      }
      break;
    default:
      break;
  }
  after_message();
  return 0;
}

void FormImpl::paint() {
  Form& form = *form_;
  const Point window_size = form.get_window_size();
  form.set_rect(Point{0, 0}, window_size);
  PAINTSTRUCT paint_info{};
  HDC dc = BeginPaint(window_, &paint_info);
  RECT client{};
  GetClientRect(window_, &client);
  const Point client_size{client.right - client.left, client.bottom - client.top};
  if (!flicker_) {
    if (back_buffer_ == nullptr) {
      back_buffer_ = CreateCompatibleBitmap(dc, client_size.x, client_size.y);
      pending_position_ = {0, 0};
      pending_size_ = window_size;
    }
    if (back_buffer_ != nullptr) {
      HDCSelector selector(dc, back_buffer_);
      if (pending_size_.x != 0 || pending_size_.y != 0) {
        // Laid down again under every repaint: blended twice, an alpha
        // edge would grow solid.
        paint_base(selector.get(), pending_position_, pending_size_);
        CanvasImpl impl(selector.get(), pending_position_, pending_size_);
        Canvas canvas(&impl);
        form.get_background().draw(canvas, Point{0, 0}, window_size);
        form.draw(canvas, Rect::of(pending_position_, pending_size_));
        pending_size_ = {0, 0};
      }
      // Outside the region the window was asked to paint, the screen
      // already shows the back buffer: only that region is copied.
      const RECT& update = paint_info.rcPaint;
      const bool whole = update.right <= update.left || update.bottom <= update.top;
      const RECT copy = whole ? client : update;
      BitBlt(dc, copy.left, copy.top, copy.right - copy.left, copy.bottom - copy.top, selector.get(), copy.left,
             copy.top, SRCCOPY);
    }
  } else {
    const std::int32_t left = std::min(pending_position_.x, 0);
    const std::int32_t top = std::min(pending_position_.y, 0);
    const std::int32_t right = std::max(pending_position_.x + pending_size_.x, client_size.x);
    const std::int32_t bottom = std::max(pending_position_.y + pending_size_.y, client_size.y);
    const Point origin{left, top};
    const Point size{right - left, bottom - top};
    CanvasImpl impl(dc, origin, size);
    Canvas canvas(&impl);
    canvas.fill(origin, size, Colour{255, 0, 255, 255});
    form.get_background().draw(canvas, Point{0, 0}, window_size);
    form.draw(canvas, Rect::of(origin, size));
    pending_size_ = {0, 0};
  }
  EndPaint(window_, &paint_info);
}

void FormImpl::paint_base(HDC dc, Point position, Point size) {
  if (size.x <= 0 || size.y <= 0) return;
  // Beyond the owner's picture (or with no owner) the system's window
  // colour stands for whatever lies under the window.
  HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  RECT area{position.x, position.y, position.x + size.x, position.y + size.y};
  FillRect(dc, &area, brush);
  DeleteObject(brush);
  Form* owner = form_->get_parent();
  HBITMAP picture = owner != nullptr ? owner->get_impl().get_back_buffer() : nullptr;
  if (picture == nullptr) return;
  BITMAP info{};
  if (GetObjectW(picture, sizeof info, &info) == 0) return;
  // Both windows' client origins on the screen give the owner's pixel
  // under each of this form's.
  POINT mine{0, 0};
  POINT theirs{0, 0};
  ClientToScreen(window_, &mine);
  ClientToScreen(owner->get_window(), &theirs);
  const std::int64_t dx = std::int64_t{mine.x} - theirs.x;
  const std::int64_t dy = std::int64_t{mine.y} - theirs.y;
  // Only the part that lies inside the owner's picture is copied.
  const std::int64_t left = std::max<std::int64_t>(position.x, -dx);
  const std::int64_t top = std::max<std::int64_t>(position.y, -dy);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{position.x} + size.x, info.bmWidth - dx);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{position.y} + size.y, info.bmHeight - dy);
  if (right <= left || bottom <= top) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, picture);
  BitBlt(dc, static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
         static_cast<int>(bottom - top), source, static_cast<int>(left + dx), static_cast<int>(top + dy), SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

bool FormImpl::dispatch_message(MSG& message) {
  TranslateMessage(&message);
  DispatchMessageW(&message);
  if (message.message == kMessageEndLoop) return false;
  if (is_smartphone()) return true;
  if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) {
    MSG character{};
    const bool removed = PeekMessageW(&character, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE) != FALSE;
    const LPARAM text = removed && character.wParam >= 0x20 ? static_cast<LPARAM>(character.wParam) : 0;
    SendMessageW(message.hwnd, kMessageKey, message.wParam, text);
  } else if (message.message == WM_CHAR) {
    SendMessageW(message.hwnd, kMessageKey, message.wParam,
                 message.wParam >= 0x20 ? static_cast<LPARAM>(message.wParam) : 0);
  }
  return true;
}

void FormImpl::broadcast_sip_change() {
  const std::vector<Form*> forms = Form::forms();
  for (Form* form : forms) SendMessageW(form->get_window(), WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
}

}  // namespace skinner
