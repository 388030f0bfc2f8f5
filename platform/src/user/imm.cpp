// Input contexts: one per window, made on first use, holding the text last
// typed into the window as its result string.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ce/imm.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/not_implemented.h"
#include "user/input.h"

struct HIMC__ {
  HWND hwnd = nullptr;
  std::wstring result;
};

namespace {

struct Contexts {
  std::mutex lock;
  std::map<HWND, std::unique_ptr<HIMC__>> byWindow;
};

Contexts& X() {
  static Contexts* contexts = new Contexts;  // never destroyed: used during exit
  return *contexts;
}

// The window's context, made on first use; contexts of windows that are
// gone go first (lock held).
HIMC__* ContextLocked(Contexts& x, HWND hwnd) {
  std::erase_if(x.byWindow, [](const auto& entry) { return !IsWindow(entry.first); });
  auto& c = x.byWindow[hwnd];
  if (!c) {
    c = std::make_unique<HIMC__>();
    c->hwnd = hwnd;
  }
  return c.get();
}

// The context behind a handle, or null, also once its window is gone
// (lock held).
HIMC__* FindLocked(Contexts& x, HIMC context) {
  std::erase_if(x.byWindow, [](const auto& entry) { return !IsWindow(entry.first); });
  for (auto& [hwnd, c] : x.byWindow) {
    if (c.get() == context) return c.get();
  }
  return nullptr;
}

}  // namespace

namespace ce::user {

void NoteCommittedText(HWND hwnd, std::wstring_view text) {
  Contexts& x = X();
  std::lock_guard guard(x.lock);
  ContextLocked(x, hwnd)->result.assign(text);
}

}  // namespace ce::user

HIMC ImmGetContext(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  Contexts& x = X();
  std::lock_guard guard(x.lock);
  return ContextLocked(x, hwnd);
}

BOOL ImmReleaseContext(HWND hwnd, HIMC context) {
  Contexts& x = X();
  std::lock_guard guard(x.lock);
  HIMC__* c = FindLocked(x, context);
  if (!c || c->hwnd != hwnd) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;  // the context stays with its window
}

LONG ImmGetCompositionStringW(HIMC context, DWORD index, LPVOID buffer, DWORD bufferBytes) {
  Contexts& x = X();
  std::lock_guard guard(x.lock);
  HIMC__* c = FindLocked(x, context);
  if (!c) return IMM_ERROR_GENERAL;
  if (index == GCS_COMPSTR) return 0;
  if (index != GCS_RESULTSTR) {
    ce::kernel::NotImplemented("ImmGetCompositionStringW(index)");
    return IMM_ERROR_GENERAL;
  }
  const DWORD need = static_cast<DWORD>(c->result.size() * sizeof(wchar_t));
  if (!buffer || bufferBytes == 0) return static_cast<LONG>(need);
  const DWORD bytes =
      std::min(need, bufferBytes / static_cast<DWORD>(sizeof(wchar_t)) * static_cast<DWORD>(sizeof(wchar_t)));
  std::memcpy(buffer, c->result.data(), bytes);
  return static_cast<LONG>(bytes);
}
