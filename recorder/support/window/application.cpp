#include "os/application.h"

#include <vector>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "liba/error.h"

namespace os {

namespace {
Application* g_instance = nullptr;
// The longest class name a window search can match.
constexpr std::size_t kMaxClassName = 38;
}  // namespace

Application::Application(HINSTANCE instance_handle, const std::wstring& name)
    : instance_handle_(instance_handle), class_name_(L"SkinnerClass_" + name) {
  if (class_name_.size() > kMaxClassName) {
    liba::fatal_error(L"Application::Application", L"Application name is too long. Sorry.");
  }
  if (g_instance != nullptr) liba::fatal_error(L"Application::Application", L"instance != 0");
  g_instance = this;
  scheduler_ = new CActiveScheduler;
}

Application::~Application() {
  release_instance_lock();
  g_instance = nullptr;
  delete scheduler_;
}

Application* Application::instance() { return g_instance; }

bool Application::is_already_running(const std::wstring& command_line) {
  mutex_ = CreateMutexW(nullptr, FALSE, class_name_.c_str());
  if (mutex_ == nullptr) return false;
  // A second start waits here while the first is still starting up.
  WaitForSingleObject(mutex_, INFINITE);
  command_line_ = command_line;
  found_ = false;
  EnumWindows(&Application::enum_window, reinterpret_cast<LPARAM>(this));
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  return found_;
}

BOOL CALLBACK Application::enum_window(HWND hwnd, LPARAM param) {
  Application* self = reinterpret_cast<Application*>(param);
  // Read in full: a longer class name cut to 38 characters could otherwise
  // pass for ours.
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  if (self->class_name_ != name || GetParent(hwnd) != nullptr) return TRUE;
  self->found_ = true;
  // The text goes as UTF-16 without a terminator.
  const std::u16string text = ce::Utf16FromWide(self->command_line_);
  COPYDATASTRUCT copy{};
  copy.dwData = 0;
  copy.cbData = static_cast<DWORD>(text.size() * 2);
  copy.lpData = const_cast<char16_t*>(text.data());
  SendMessageW(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  return FALSE;
}

void Application::release_instance_lock() {
  SetCursor(nullptr);
  if (mutex_ != nullptr) {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
    mutex_ = nullptr;
  }
}

WaitCursor::WaitCursor() : previous_(GetCursor()) { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }

WaitCursor::~WaitCursor() { SetCursor(previous_); }

}  // namespace os
