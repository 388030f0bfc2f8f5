#include "kernel/handles.h"

#include <mutex>
#include <optional>

#include "ce/winbase.h"
#include "kernel/handle_table.h"

namespace ce::kernel {
namespace {

// Values are ((generation << 20 | index + 1) << 2): never null, never
// INVALID_HANDLE_VALUE, never one of the registry's predefined keys
// (0x8000000x), and the low bits stay clear like a device handle's.
constexpr std::uint32_t kIndexBits = 20;
constexpr std::uint32_t kMaxEntries = (1u << kIndexBits) - 1;
constexpr std::uint32_t kGenerationMask = 0x1FF;  // keeps the value below 0x80000000

struct Table {
  std::mutex lock;
  HandleTable<KernelObject> slots{kMaxEntries, kGenerationMask};
};

Table& TheTable() {
  static Table* table = new Table;  // never destroyed: handles may be closed during exit
  return *table;
}

HANDLE Encode(HandleTable<KernelObject>::Slot slot) {
  const std::uintptr_t value = ((static_cast<std::uintptr_t>(slot.generation) << kIndexBits) | (slot.index + 1)) << 2;
  return reinterpret_cast<HANDLE>(value);
}

std::optional<HandleTable<KernelObject>::Slot> Decode(HANDLE handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value == 0 || (value & 3) != 0 || value >= 0x80000000u) return std::nullopt;
  const std::uintptr_t body = value >> 2;
  const std::uint32_t slot = static_cast<std::uint32_t>(body & kMaxEntries);
  if (slot == 0) return std::nullopt;
  return HandleTable<KernelObject>::Slot{slot - 1, static_cast<std::uint32_t>(body >> kIndexBits)};
}

const std::shared_ptr<KernelObject>* FindLive(const Table& table, HANDLE handle) {
  const auto slot = Decode(handle);
  return slot ? table.slots.Find(*slot) : nullptr;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  if (!object) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  const auto slot = table.slots.Insert(std::move(object));
  if (!slot) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  return Encode(*slot);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, HandleKind kind) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  const std::shared_ptr<KernelObject>* object = FindLive(table, handle);
  if (!object || (kind != HandleKind::Any && (*object)->kind() != kind)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return *object;
}

bool RemoveHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> doomed;  // destroyed outside the table lock
  Table& table = TheTable();
  {
    std::lock_guard guard(table.lock);
    const auto slot = Decode(handle);
    if (slot) doomed = table.slots.Remove(*slot);
  }
  if (!doomed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

}  // namespace ce::kernel

BOOL CloseHandle(HANDLE handle) {
  if (handle == ce::kernel::kCurrentProcessPseudoHandle || handle == ce::kernel::kCurrentThreadPseudoHandle) {
    return TRUE;
  }
  return ce::kernel::RemoveHandle(handle) ? TRUE : FALSE;
}
