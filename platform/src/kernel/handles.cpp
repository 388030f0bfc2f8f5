#include "kernel/handles.h"

#include <mutex>
#include <vector>

#include "ce/winbase.h"

namespace ce::kernel {
namespace {

// Values are ((generation << 20 | index + 1) << 2): never null, never
// INVALID_HANDLE_VALUE, never one of the registry's predefined keys
// (0x8000000x), and the low bits stay clear like a device handle's.
constexpr std::uint32_t kIndexBits = 20;
constexpr std::uint32_t kMaxEntries = (1u << kIndexBits) - 1;
constexpr std::uint32_t kGenerationMask = 0x1FF;  // keeps the value below 0x80000000

struct Entry {
  std::shared_ptr<KernelObject> object;
  std::uint32_t generation = 0;
};

struct Table {
  std::mutex lock;
  std::vector<Entry> entries;
  std::vector<std::uint32_t> freeList;
};

Table& TheTable() {
  static Table* table = new Table;  // never destroyed: handles may be closed during exit
  return *table;
}

HANDLE Encode(std::uint32_t index, std::uint32_t generation) {
  const std::uintptr_t value = ((static_cast<std::uintptr_t>(generation) << kIndexBits) | (index + 1)) << 2;
  return reinterpret_cast<HANDLE>(value);
}

bool Decode(HANDLE handle, std::uint32_t& index, std::uint32_t& generation) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value == 0 || (value & 3) != 0 || value >= 0x80000000u) return false;
  const std::uintptr_t body = value >> 2;
  const std::uint32_t slot = static_cast<std::uint32_t>(body & kMaxEntries);
  if (slot == 0) return false;
  index = slot - 1;
  generation = static_cast<std::uint32_t>(body >> kIndexBits);
  return true;
}

Entry* FindLive(Table& table, HANDLE handle) {
  std::uint32_t index = 0;
  std::uint32_t generation = 0;
  if (!Decode(handle, index, generation) || index >= table.entries.size()) return nullptr;
  Entry& entry = table.entries[index];
  if (!entry.object || entry.generation != generation) return nullptr;
  return &entry;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  if (!object) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  std::uint32_t index;
  if (!table.freeList.empty()) {
    index = table.freeList.back();
    table.freeList.pop_back();
  } else {
    if (table.entries.size() >= kMaxEntries) {
      SetLastError(ERROR_TOO_MANY_OPEN_FILES);
      return nullptr;
    }
    index = static_cast<std::uint32_t>(table.entries.size());
    table.entries.emplace_back();
  }
  Entry& entry = table.entries[index];
  entry.object = std::move(object);
  return Encode(index, entry.generation);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, HandleKind kind) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  Entry* entry = FindLive(table, handle);
  if (!entry || (kind != HandleKind::Any && entry->object->kind() != kind)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return entry->object;
}

bool RemoveHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> doomed;  // destroyed outside the table lock
  Table& table = TheTable();
  {
    std::lock_guard guard(table.lock);
    Entry* entry = FindLive(table, handle);
    if (!entry) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    doomed = std::move(entry->object);
    entry->object.reset();
    entry->generation = (entry->generation + 1) & kGenerationMask;
    std::uint32_t index = 0;
    std::uint32_t generation = 0;
    Decode(handle, index, generation);
    table.freeList.push_back(index);
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
