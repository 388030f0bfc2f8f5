#include "os/active_scheduler.h"

#include <algorithm>
#include <list>

#include "ce/winbase.h"
#include "ce/winuser.h"
#include "liba/error.h"
#include "os/application.h"

struct CActiveScheduler::Impl {
  std::list<CActive*> pending;
  std::uint32_t count = 0;
  HWND window = nullptr;
};

namespace {

LRESULT CALLBACK SchedulerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == CActiveScheduler::kDispatchMessage) {
    if (os::Application* app = os::Application::instance()) {
      if (CActiveScheduler* scheduler = app->get_scheduler()) scheduler->dispatch(reinterpret_cast<CActive*>(wParam));
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HINSTANCE ApplicationInstance() {
  os::Application* app = os::Application::instance();
  return app != nullptr ? app->get_instance_handle() : nullptr;
}

}  // namespace

CActiveScheduler::CActiveScheduler() : impl_(new Impl) {
  WNDCLASSW wc{};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = &SchedulerProc;
  wc.hInstance = ApplicationInstance();
  wc.lpszClassName = L"CActiveSchedulerClass";
  RegisterClassW(&wc);
  impl_->window = CreateWindowExW(0, L"CActiveSchedulerClass", L"CActiveScheduler", WS_POPUP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 0, nullptr, nullptr, ApplicationInstance(), nullptr);
}

CActiveScheduler::~CActiveScheduler() {
  if (impl_->count != 0) liba::fatal_error(L"", L"Some active objects still live while scheduler is terminating");
  if (impl_->window != nullptr) DestroyWindow(impl_->window);
  delete impl_;
}

bool CActiveScheduler::add(CActive* object) {
  if (object == nullptr || object->pending) return false;
  object->pending = true;
  impl_->pending.push_back(object);
  ++impl_->count;
  if (PostMessageW(impl_->window, kDispatchMessage, reinterpret_cast<WPARAM>(object), 0)) return true;
  // Undone when the message cannot be posted, or the object would wait forever.
  impl_->pending.pop_back();
  --impl_->count;
  object->pending = false;
  return false;
}

bool CActiveScheduler::dispatch(CActive* object) {
  const auto it = std::find(impl_->pending.begin(), impl_->pending.end(), object);
  if (it == impl_->pending.end()) return false;
  impl_->pending.erase(it);
  --impl_->count;
  // Cleared before run, so that run may make the object pending again.
  object->pending = false;
  object->run();
  return true;
}

std::uint32_t CActiveScheduler::get_count() const { return impl_->count; }
HWND CActiveScheduler::get_window() const { return impl_->window; }
