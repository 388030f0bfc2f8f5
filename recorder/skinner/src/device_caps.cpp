#include "skinner/device_caps.h"

#include <optional>
#include <string>

#include "ce/aygshell.h"
#include "ce/windows.h"
#include "os/log.h"

namespace skinner {

namespace {

std::optional<bool> g_smartphone;
std::optional<bool> g_shell5;

}  // namespace

KeyCode key_code_from_virtual_key(std::uint32_t vk) {
  switch (vk) {
    case 0x08:
      return KeyCode::Backspace;
    case 0x09:
      return KeyCode::Tab;
    case 0x0D:
      return KeyCode::Enter;
    case 0x10:
      return KeyCode::Shift;
    case 0x11:
      return KeyCode::Ctrl;
    case 0x12:
      return KeyCode::Alt;
    case 0x1B:
      return KeyCode::Esc;
    case 0x20:
      return KeyCode::Space;
    case 0x21:
      return KeyCode::PageUp;
    case 0x22:
      return KeyCode::PageDown;
    case 0x23:
      return KeyCode::End;
    case 0x24:
      return KeyCode::Home;
    case 0x25:
      return KeyCode::Left;
    case 0x26:
      return KeyCode::Up;
    case 0x27:
      return KeyCode::Right;
    case 0x28:
      return KeyCode::Down;
    case 0x2D:
      return KeyCode::Insert;
    case 0x2E:
      return KeyCode::Delete;
    case 0x5D:
      return KeyCode::Apps;
    default:
      break;
  }
  if (vk >= 0x30 && vk <= 0x39) return static_cast<KeyCode>(46 + (vk - 0x30));
  if (vk >= 0x41 && vk <= 0x5A) return static_cast<KeyCode>(20 + (vk - 0x41));
  return KeyCode::None;
}

KeyCode get_action_key() { return KeyCode::Enter; }

bool is_smartphone() {
  if (!g_smartphone) {
    wchar_t buffer[100] = {};
    if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof(buffer), buffer, 0)) buffer[0] = 0;
    buffer[99] = 0;
    std::wstring text(buffer);
    os::get_log() << L"static_capability_is_smartphone=" << text << L"\n";
    for (auto& c : text)
      if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    g_smartphone = text == L"smartphone";
  }
  return *g_smartphone;
}

bool is_shell_version5() {
  if (!g_shell5) {
    if (is_smartphone()) {
      g_shell5 = true;
    } else {
      OSVERSIONINFOW info{};
      info.dwOSVersionInfoSize = sizeof(info);
      g_shell5 = GetVersionExW(&info) && info.dwMajorVersion > 4;
    }
  }
  return *g_shell5;
}

void forget_device_caps() {
  g_smartphone.reset();
  g_shell5.reset();
}

Point get_screen_size() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void get_workarea(Point& position, Point& size, bool use_sip) {
  const Point screen = get_screen_size();
  os::get_log() << L"Form::get_workarea0 current=" << (use_sip ? L"true" : L"false") << L"\n";
  os::get_log() << L"Form::get_workarea1\n";
  if (is_smartphone()) {
    int top = 0;
    switch (screen.x) {
      case 176:
        top = 20;
        break;
      case 240:
        top = 27;
        break;
      case 352:
        top = 40;
        break;
      case 480:
        top = 54;
        break;
      default:
        top = 0;
        break;
    }
    position = {0, top};
    size = {screen.x, screen.y - 2 * top};
    return;
  }
  // The shell's title bar above and menu bar below, as high as the shell
  // draws them: 26 pixels at 96 dots per inch, 52 on a 192-dot VGA screen.
  // A fixed height by screen width would leave unpainted bands on a VGA
  // screen of another density.
  const int top = GetSystemMetrics(SM_CYCAPTION);
  const int bottom = GetSystemMetrics(SM_CYMENU);
  position = {0, top};
  os::get_log() << L"Form::get_workarea2\n";
  if (use_sip) {
    SIPINFO info{};
    info.cbSize = sizeof(info);
    if (SHSipInfo(SPI_GETSIPINFO, 0, &info, 0) && (info.fdwFlags & SIPF_ON) != 0) {
      os::get_log() << L"Form::get_workarea3\n";
      size = {info.rcVisibleDesktop.right, info.rcVisibleDesktop.bottom - top};
      return;
    }
  }
  os::get_log() << L"Form::get_workarea4\n";
  size = {screen.x, screen.y - top - bottom};
  os::get_log() << L"Form::get_workarea5\n";
}

Point get_workarea_size() {
  Point position, size;
  get_workarea(position, size, false);
  return size;
}

void install_device_info() {
  DeviceInfo info;
  info.is_smartphone = &is_smartphone;
  info.get_screen_size = &get_screen_size;
  info.get_workarea = &get_workarea_size;
  set_device_info(info);
}

}  // namespace skinner
