// The kernel's one handle table. Each entry holds a typed kernel object, a
// generation and the object's reference; a handle value encodes index and
// generation, so a closed, stale or wrong-kind handle is refused with
// ERROR_INVALID_HANDLE instead of touching freed memory.
#pragma once

#include <memory>

#include "ce/minwindef.h"

namespace ce::kernel {

enum class HandleKind : std::uint8_t {
  Any = 0,
  File,
  Find,
  Thread,
  Process,
  Event,
  Mutex,
  Semaphore,
  RegistryKey,
  Module,
  Other,
};

// Base of every object a kernel handle can name. Objects are shared: a call
// that looked one up keeps it alive while CloseHandle removes the entry.
class KernelObject {
 public:
  explicit KernelObject(HandleKind kind) : kind_(kind) {}
  virtual ~KernelObject() = default;
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;

  HandleKind kind() const { return kind_; }

 private:
  HandleKind kind_;
};

// Adds the object to the table and returns its new handle, or null with
// ERROR_TOO_MANY_OPEN_FILES when the table is full.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle if it is live and of the kind asked for
// (HandleKind::Any accepts every kind); otherwise null with
// ERROR_INVALID_HANDLE set.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, HandleKind kind);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle, HandleKind kind) {
  return std::static_pointer_cast<T>(LookupHandle(handle, kind));
}

// Removes the entry; the object is destroyed once no caller still uses it.
// False with ERROR_INVALID_HANDLE when the handle is not live.
bool RemoveHandle(HANDLE handle);

// Pseudo handles (the current process and thread) are small fixed values
// outside the table's encoding; CloseHandle accepts them and does nothing.
// They are not INVALID_HANDLE_VALUE, which stays invalid everywhere.
inline HANDLE const kCurrentProcessPseudoHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(0x42));
inline HANDLE const kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(0x41));

}  // namespace ce::kernel
