// Accelerator tables: loaded from a module's RT_ACCELERATOR resource (8-byte
// entries of flags, key and command, the last flagged 0x80) into a table
// behind an HACCEL, and matched against key messages.
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/handle_table.h"
#include "resources/resource_table.h"

namespace ce::resources {
namespace {

// Handle values are 1 << 43 | generation << 20 | (index + 1).
constexpr std::uintptr_t kAccelTag = std::uintptr_t{1} << 43;
constexpr std::uint32_t kMaxTables = (1u << 20) - 1;
constexpr std::uint32_t kGenerationMask = 0xFFFFF;
constexpr BYTE kLastEntry = 0x80;

struct AcceleratorTable {
  std::vector<ACCEL> entries;
};

struct Tables {
  std::mutex lock;
  ce::kernel::HandleTable<AcceleratorTable> table{kMaxTables, kGenerationMask};
};

Tables& TheTables() {
  static Tables* tables = new Tables;
  return *tables;
}

using Slot = ce::kernel::HandleTable<AcceleratorTable>::Slot;

std::optional<Slot> SlotOf(HACCEL handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value & ~((std::uintptr_t{1} << 40) - 1)) != kAccelTag) return std::nullopt;
  const auto index = static_cast<std::uint32_t>(value & 0xFFFFF);
  if (index == 0) return std::nullopt;
  return Slot{index - 1, static_cast<std::uint32_t>((value >> 20) & kGenerationMask)};
}

std::shared_ptr<AcceleratorTable> Find(HACCEL handle) {
  const auto slot = SlotOf(handle);
  if (!slot) return nullptr;
  Tables& tables = TheTables();
  std::lock_guard guard(tables.lock);
  const auto* found = tables.table.Find(*slot);
  return found ? *found : nullptr;
}

bool KeyDown(int key) { return GetKeyState(key) < 0; }

}  // namespace

std::optional<std::vector<ACCEL>> ParseAccelerators(std::span<const std::uint8_t> data) {
  std::vector<ACCEL> entries;
  for (std::size_t at = 0; at + 8 <= data.size(); at += 8) {
    const std::uint32_t flags = U16At(data, at);
    entries.push_back(ACCEL{static_cast<BYTE>(flags & ~kLastEntry), static_cast<WORD>(U16At(data, at + 2)),
                            static_cast<WORD>(U16At(data, at + 4))});
    if (flags & kLastEntry) return entries;
  }
  return std::nullopt;  // cut short before the entry marked last
}
}  // namespace ce::resources

using namespace ce::resources;

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName) {
  const auto table = TableOf(instance);
  if (!table) return nullptr;
  const auto data = table->Get(RT_ACCELERATOR, tableName);
  if (!data) return nullptr;
  auto entries = ParseAccelerators(*data);
  if (!entries) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  auto loaded = std::make_shared<AcceleratorTable>();
  loaded->entries = std::move(*entries);
  Tables& tables = TheTables();
  std::lock_guard guard(tables.lock);
  const auto slot = tables.table.Insert(std::move(loaded));
  if (!slot) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return reinterpret_cast<HACCEL>(kAccelTag | (std::uintptr_t{slot->generation} << 20) | (slot->index + 1));
}

BOOL DestroyAcceleratorTable(HACCEL accelerators) {
  std::shared_ptr<AcceleratorTable> removed;
  if (const auto slot = SlotOf(accelerators)) {
    Tables& tables = TheTables();
    std::lock_guard guard(tables.lock);
    removed = tables.table.Remove(*slot);
  }
  if (!removed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL accelerators, LPMSG msg) {
  const auto table = Find(accelerators);
  if (!table) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const bool keyDown = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
  const bool character = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
  if (!keyDown && !character) return 0;
  const bool shift = KeyDown(VK_SHIFT);
  const bool control = KeyDown(VK_CONTROL);
  const bool alt = KeyDown(VK_MENU) || msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSCHAR;
  for (const ACCEL& entry : table->entries) {
    const bool virtualKey = entry.fVirt & FVIRTKEY;
    if (entry.key != msg->wParam) continue;
    if (virtualKey) {
      if (!keyDown || ((entry.fVirt & FSHIFT) != 0) != shift || ((entry.fVirt & FCONTROL) != 0) != control ||
          ((entry.fVirt & FALT) != 0) != alt) {
        continue;
      }
    } else if (!character || ((entry.fVirt & FALT) != 0) != alt) {
      continue;
    }
    SendMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(MAKELONG(entry.cmd, 1)) & 0xFFFFFFFF, 0);
    return 1;
  }
  return 0;
}
