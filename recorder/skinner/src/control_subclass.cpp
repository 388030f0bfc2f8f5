#include "skinner/control_subclass.h"

#include <algorithm>
#include <map>
#include <vector>

namespace skinner {

namespace {

struct HookedWindow {
  WNDPROC previous = nullptr;
  std::vector<ControlSubclass*> hooks;  // in attachment order
};

std::map<HWND, HookedWindow>& hook_table() {
  static std::map<HWND, HookedWindow> table;
  return table;
}

}  // namespace

ControlSubclass::~ControlSubclass() { unsubclass(); }

LRESULT ControlSubclass::window_proc(UINT, WPARAM, LPARAM, bool&) { return 0; }

void ControlSubclass::subclass(HWND window) {
  if (window == nullptr) return;
  if (window_ != nullptr) unsubclass();
  window_ = window;
  auto& table = hook_table();
  auto found = table.find(window);
  if (found == table.end()) {
    HookedWindow entry;
    entry.previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWL_WNDPROC));
    SetWindowLongPtrW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlSubclass::dispatch));
    found = table.emplace(window, std::move(entry)).first;
  }
  found->second.hooks.push_back(this);
}

void ControlSubclass::unsubclass() {
  if (window_ == nullptr) return;
  HWND window = window_;
  window_ = nullptr;
  auto& table = hook_table();
  auto found = table.find(window);
  if (found == table.end()) return;
  auto& hooks = found->second.hooks;
  hooks.erase(std::remove(hooks.begin(), hooks.end(), this), hooks.end());
  if (hooks.empty()) {
    // The window may be gone already (destroyed); putting the procedure back
    // then fails harmlessly.
    if (IsWindow(window)) SetWindowLongPtrW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(found->second.previous));
    table.erase(found);
  }
}

std::size_t ControlSubclass::hook_count(HWND window) {
  auto& table = hook_table();
  auto found = table.find(window);
  return found == table.end() ? 0 : found->second.hooks.size();
}

LRESULT CALLBACK ControlSubclass::dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto& table = hook_table();
  auto found = table.find(window);
  if (found == table.end()) return 0;
  const WNDPROC previous = found->second.previous;
  // A hook may detach itself or others while it runs: call a copy, and
  // skip hooks that left meanwhile.
  const std::vector<ControlSubclass*> hooks = found->second.hooks;
  bool swallowed = false;
  LRESULT result = 0;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
    auto now = table.find(window);
    if (now == table.end()) break;
    const auto& live = now->second.hooks;
    if (std::find(live.begin(), live.end(), *it) == live.end()) continue;
    bool pass_on = true;
    const LRESULT answer = (*it)->window_proc(message, wparam, lparam, pass_on);
    if (!pass_on) {
      swallowed = true;
      result = answer;
    }
  }
  if (message == WM_DESTROY) {
    auto now = table.find(window);
    if (now != table.end()) {
      const std::vector<ControlSubclass*> left = now->second.hooks;
      for (auto it = left.rbegin(); it != left.rend(); ++it) (*it)->unsubclass();
    }
  }
  if (swallowed) return result;
  return CallWindowProcW(previous, window, message, wparam, lparam);
}

}  // namespace skinner
