// The clipboard: text (CF_UNICODETEXT) in local memory blocks. Headless it
// lives in the process; with the desktop back end running, text set here
// goes to the host's clipboard when the clipboard is closed, and text the
// host holds is what GetClipboardData gives.
#include <mutex>
#include <string>

#include "backend/sdl/desktop_glue.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "kernel/not_implemented.h"

namespace {

struct Clipboard {
  std::mutex lock;
  DWORD openThread = 0;  // 0: closed
  HWND owner = nullptr;
  HLOCAL text = nullptr;  // the CF_UNICODETEXT block, owned here
  bool toHost = false;    // set while open: the host gets it at close
  std::wstring fromHost;  // the host text the block was made from
};

Clipboard& C() {
  static Clipboard* clipboard = new Clipboard;  // never destroyed: used during exit
  return *clipboard;
}

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// Open by the calling thread (lock held).
bool OpenHereLocked(const Clipboard& c) { return c.openThread != 0 && c.openThread == GetCurrentThreadId(); }

// The text of a block: up to its first zero, within its size.
std::wstring TextOf(HLOCAL block) {
  const UINT bytes = LocalSize(block);
  const auto* chars = static_cast<const wchar_t*>(LocalLock(block));
  if (!chars) return {};
  std::wstring text;
  for (UINT i = 0; i < bytes / sizeof(wchar_t) && chars[i] != L'\0'; ++i) text.push_back(chars[i]);
  LocalUnlock(block);
  return text;
}

// A new block holding the text and its terminating zero.
HLOCAL BlockOf(const std::wstring& text) {
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (!block) return nullptr;
  auto* chars = static_cast<wchar_t*>(LocalLock(block));
  text.copy(chars, text.size());
  chars[text.size()] = L'\0';
  LocalUnlock(block);
  return block;
}

bool SupportedFormat(UINT format) {
  if (format == CF_UNICODETEXT) return true;
  ce::kernel::NotImplemented("clipboard format other than CF_UNICODETEXT");
  return false;
}

}  // namespace

BOOL OpenClipboard(HWND owner) {
  Clipboard& c = C();
  std::lock_guard guard(c.lock);
  const DWORD self = GetCurrentThreadId();
  if (c.openThread != 0 && c.openThread != self) return Fail(ERROR_ACCESS_DENIED);
  c.openThread = self;
  c.owner = owner;
  return TRUE;
}

BOOL CloseClipboard() {
  Clipboard& c = C();
  std::wstring text;
  bool toHost = false;
  {
    std::lock_guard guard(c.lock);
    if (!OpenHereLocked(c)) return Fail(ERROR_CLIPBOARD_NOT_OPEN);
    c.openThread = 0;
    toHost = c.toHost;
    c.toHost = false;
    if (toHost && c.text) text = TextOf(c.text);
  }
  if (toHost) ce::backend::sdl::SetClipboardText(ce::Utf8FromWide(text));
  return TRUE;
}

BOOL EmptyClipboard() {
  Clipboard& c = C();
  std::lock_guard guard(c.lock);
  if (!OpenHereLocked(c)) return Fail(ERROR_CLIPBOARD_NOT_OPEN);
  if (c.text) LocalFree(c.text);
  c.text = nullptr;
  c.fromHost.clear();
  c.toHost = true;  // an emptied clipboard is empty on the host too
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE mem) {
  if (!SupportedFormat(format)) return nullptr;
  if (!mem) {
    ce::kernel::NotImplemented("SetClipboardData(delayed rendering)");
    return nullptr;
  }
  SetLastError(NO_ERROR);
  if (LocalSize(mem) == 0 && GetLastError() == ERROR_INVALID_HANDLE) return nullptr;  // not a block
  Clipboard& c = C();
  std::lock_guard guard(c.lock);
  if (!OpenHereLocked(c)) {
    Fail(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  if (c.text && c.text != mem) LocalFree(c.text);
  c.text = mem;
  c.fromHost.clear();
  c.toHost = true;
  return mem;
}

HANDLE GetClipboardData(UINT format) {
  if (!SupportedFormat(format)) return nullptr;
  Clipboard& c = C();
  // The host's text, when there is a desktop: the clipboard keeps a block
  // of it, made again only when the host's text changed.
  const bool desktop = ce::backend::sdl::HasDesktop();
  const auto host = desktop ? ce::backend::sdl::ClipboardText() : std::nullopt;
  std::lock_guard guard(c.lock);
  if (!OpenHereLocked(c)) {
    Fail(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  if (desktop && !c.toHost) {
    if (!host || host->empty()) {
      if (c.text) LocalFree(c.text);
      c.text = nullptr;
      c.fromHost.clear();
    } else {
      const std::wstring text = ce::WideFromUtf8(*host);
      if (!c.text || text != c.fromHost) {
        if (c.text) LocalFree(c.text);
        c.text = BlockOf(text);
        c.fromHost = text;
      }
    }
  }
  if (!c.text) SetLastError(ERROR_NOT_FOUND);
  return c.text;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  if (format != CF_UNICODETEXT) return FALSE;
  Clipboard& c = C();
  if (ce::backend::sdl::HasDesktop()) {
    std::lock_guard guard(c.lock);
    if (c.toHost) return c.text != nullptr;  // set here, not yet handed over
  } else {
    std::lock_guard guard(c.lock);
    return c.text != nullptr;
  }
  const auto host = ce::backend::sdl::ClipboardText();
  return host && !host->empty();
}
