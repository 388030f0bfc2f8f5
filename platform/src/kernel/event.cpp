// Events, and the program's table of named objects.
#include <map>

#include "ce/winbase.h"
#include "kernel/sync_objects.h"

namespace ce::kernel {
namespace {

std::map<std::wstring, std::weak_ptr<Waitable>>& Names() {
  static auto* names = new std::map<std::wstring, std::weak_ptr<Waitable>>;
  return *names;
}

}  // namespace

bool EventObject::ModifyLocked(DWORD function) {
  switch (function) {
    case EVENT_SET:
      signaled_ = true;
      SignalLocked(*this);
      return true;
    case EVENT_RESET:
      signaled_ = false;
      return true;
    case EVENT_PULSE:
      // Releases the threads waiting at this moment (one for auto reset), then resets.
      signaled_ = true;
      SignalLocked(*this);
      signaled_ = false;
      return true;
    default:
      return false;
  }
}

std::shared_ptr<Waitable> FindNamedLocked(const std::wstring& name) {
  auto& names = Names();
  const auto it = names.find(name);
  if (it == names.end()) return nullptr;
  auto object = it->second.lock();
  if (!object) names.erase(it);
  return object;
}

void AddNamedLocked(const std::wstring& name, const std::shared_ptr<Waitable>& object) { Names()[name] = object; }

}  // namespace ce::kernel

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  const std::wstring key = name ? name : L"";
  if (key.size() > MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  auto lock = ce::kernel::LockScheduler();
  if (!key.empty()) {
    if (auto existing = ce::kernel::FindNamedLocked(key)) {
      if (existing->kind() != ce::kernel::HandleKind::Event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
      }
      HANDLE handle = ce::kernel::InsertHandle(existing);
      if (handle) SetLastError(ERROR_ALREADY_EXISTS);
      return handle;
    }
  }
  auto event = std::make_shared<ce::kernel::EventObject>(manualReset != FALSE, initialState != FALSE);
  HANDLE handle = ce::kernel::InsertHandle(event);
  if (!handle) return nullptr;
  if (!key.empty()) ce::kernel::AddNamedLocked(key, event);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL EventModify(HANDLE event, DWORD function) {
  const auto object = ce::kernel::LookupHandleAs<ce::kernel::EventObject>(event, ce::kernel::HandleKind::Event);
  if (!object) return FALSE;
  auto lock = ce::kernel::LockScheduler();
  if (!object->ModifyLocked(function)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL SetEvent(HANDLE event) { return EventModify(event, EVENT_SET); }
BOOL ResetEvent(HANDLE event) { return EventModify(event, EVENT_RESET); }
BOOL PulseEvent(HANDLE event) { return EventModify(event, EVENT_PULSE); }
