// Local memory blocks (LocalAlloc and the rest). Each live block is known
// by its address, so a stale or foreign handle is refused instead of being
// followed.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "ce/winbase.h"
#include "kernel/not_implemented.h"

namespace {

struct Block {
  SIZE_T size = 0;
  UINT locks = 0;
};

struct Blocks {
  std::mutex lock;
  std::unordered_map<void*, Block> live;
};

Blocks& B() {
  static Blocks* blocks = new Blocks;  // never destroyed: blocks may be freed during exit
  return *blocks;
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  if (flags & ~(LMEM_MOVEABLE | LMEM_ZEROINIT)) {
    ce::kernel::NotImplemented("LocalAlloc(flags)");
    return nullptr;
  }
  // At least one byte, so every block has an address of its own.
  void* memory = (flags & LMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
  if (!memory) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Blocks& b = B();
  std::lock_guard guard(b.lock);
  b.live[memory] = Block{bytes, 0};
  return memory;
}

HLOCAL LocalFree(HLOCAL mem) {
  if (!mem) return nullptr;
  Blocks& b = B();
  {
    std::lock_guard guard(b.lock);
    if (b.live.erase(mem) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return mem;
    }
  }
  std::free(mem);
  return nullptr;
}

LPVOID LocalLock(HLOCAL mem) {
  Blocks& b = B();
  std::lock_guard guard(b.lock);
  const auto it = b.live.find(mem);
  if (it == b.live.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  ++it->second.locks;
  return mem;
}

BOOL LocalUnlock(HLOCAL mem) {
  Blocks& b = B();
  std::lock_guard guard(b.lock);
  const auto it = b.live.find(mem);
  if (it == b.live.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (it->second.locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--it->second.locks > 0) return TRUE;
  SetLastError(NO_ERROR);
  return FALSE;
}

UINT LocalSize(HLOCAL mem) {
  Blocks& b = B();
  std::lock_guard guard(b.lock);
  const auto it = b.live.find(mem);
  if (it == b.live.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<UINT>(it->second.size);
}
